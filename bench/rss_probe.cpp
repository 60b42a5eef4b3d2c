// One measurement per process for the peak-memory comparison: either decode
// an image and nothing else, or make one square thumbnail of it.
//
//   imgthumb_rss_probe decode IN
//   imgthumb_rss_probe square IN OUT SIZE
//
// Prints the image's width and height; /usr/bin/time reports the peak.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <stb/stb_image.h>

#include "image_io.h"
#include "imgthumbnail.h"

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "decode") == 0) {
        Image img;
        if (!load_image(argv[2], &img)) {
            std::fprintf(stderr, "%s\n", imgthumbnail_last_error());
            return 1;
        }
        std::printf("%d %d\n", img.width, img.height);
        std::free(img.pixels);
        return 0;
    }
    if (argc == 5 && std::strcmp(argv[1], "square") == 0) {
        int w = 0, h = 0, n = 0;
        if (!stbi_info(argv[2], &w, &h, &n) || !imgthumbnail_square(argv[2], argv[3], std::atoi(argv[4]))) {
            std::fprintf(stderr, "%s\n", imgthumbnail_last_error());
            return 1;
        }
        std::printf("%d %d\n", w, h);
        return 0;
    }
    std::fprintf(stderr, "usage: %s decode IN | square IN OUT SIZE\n", argv[0]);
    return 2;
}
