// The floor of a thumbnail operation, as a process of its own: the bare
// decoder reads the input (four channels, as the library asks for) and the
// encoder writes the very thumbnail the library made, given as raw pixels.
// Nothing of the library takes part, so everything the library does beyond
// these two counts against it.
//
//   imgthumb_floor IN THUMB.rgba OUT.png
//
// THUMB.rgba holds the width and height (two little-endian 32-bit integers)
// and then the RGBA rows; imgthumb_pairs writes it.
#ifndef NDEBUG
#define NDEBUG
#endif
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

static const int RGBA = 4;

static unsigned char *read_raw(const char *path, int *w, int *h)
{
    FILE *f = std::fopen(path, "rb");
    if (!f) return nullptr;
    int32_t size[2];
    unsigned char *px = nullptr;
    if (std::fread(size, sizeof size, 1, f) == 1 && size[0] > 0 && size[1] > 0) {
        const size_t bytes = (size_t)size[0] * (size_t)size[1] * RGBA;
        px = (unsigned char *)std::malloc(bytes);
        if (px && std::fread(px, 1, bytes, f) != bytes) {
            std::free(px);
            px = nullptr;
        }
    }
    std::fclose(f);
    *w = size[0];
    *h = size[1];
    return px;
}

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s IN THUMB.rgba OUT.png\n", argv[0]);
        return 2;
    }
    int w = 0, h = 0, n = 0;
    unsigned char *decoded = stbi_load(argv[1], &w, &h, &n, RGBA);
    if (!decoded) {
        std::fprintf(stderr, "cannot decode %s: %s\n", argv[1], stbi_failure_reason());
        return 1;
    }
    stbi_image_free(decoded);
    unsigned char *thumb = read_raw(argv[2], &w, &h);
    if (!thumb) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 1;
    }
    const int ok = stbi_write_png(argv[3], w, h, RGBA, thumb, 0);
    std::free(thumb);
    if (!ok) {
        std::fprintf(stderr, "cannot encode %s\n", argv[3]);
        return 1;
    }
    return 0;
}
