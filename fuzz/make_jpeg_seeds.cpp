// Writes the JPEG fuzz target's seed corpus: small files of the layouts the
// row reader takes (every sampling kind, restart markers, optimised tables,
// grey, RGB) and of those it leaves to the decoder (progressive, CMYK), each
// as a fuzz input: FUZZ_PARAM_BYTES parameter bytes (the first one picks
// the wanted rows and columns) followed by the file.
//
// usage: make_jpeg_seeds CORPUS_DIR
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "jpeg_writer.h"

namespace {

struct Seed {
    const char *name;
    int w, h;
    int components;
    int h0, v0; // the first component's factors (the others 1 x 1)
    int restart, optimize, progressive, quality;
    int jfif, adobe, ycbcr;
    unsigned char mask;
};

const Seed SEEDS[] = {
    {"jpeg-420-restart-1", 24, 16, 3, 2, 2, 1, 0, 0, 75, 1, JPEG_WRITER_NO_ADOBE, 1, 0},
    {"jpeg-420-odd-size", 33, 17, 3, 2, 2, 0, 0, 0, 90, 1, JPEG_WRITER_NO_ADOBE, 1, 7},
    {"jpeg-422-optimised", 20, 12, 3, 2, 1, 2, 1, 0, 50, 1, JPEG_WRITER_NO_ADOBE, 1, 0},
    {"jpeg-440", 12, 20, 3, 1, 2, 0, 1, 0, 30, 1, JPEG_WRITER_NO_ADOBE, 1, 3},
    {"jpeg-411", 40, 8, 3, 4, 1, 3, 0, 0, 75, 1, JPEG_WRITER_NO_ADOBE, 1, 0},
    {"jpeg-444-rgb", 16, 16, 3, 1, 1, 0, 1, 0, 95, 0, 0, 0, 0},
    {"jpeg-grey-restart-3", 17, 9, 1, 1, 1, 3, 0, 0, 75, 1, JPEG_WRITER_NO_ADOBE, 1, 5},
    {"jpeg-grey-factors-2x2", 9, 9, 1, 2, 2, 0, 1, 0, 100, 1, JPEG_WRITER_NO_ADOBE, 1, 0},
    {"jpeg-1x1", 1, 1, 3, 2, 2, 0, 0, 0, 5, 1, JPEG_WRITER_NO_ADOBE, 1, 0},
    {"jpeg-progressive", 16, 16, 3, 2, 2, 0, 0, 1, 75, 1, JPEG_WRITER_NO_ADOBE, 1, 0},
    {"jpeg-cmyk", 16, 8, 4, 1, 1, 0, 0, 0, 75, 0, 0, 0, 0},
};

// A few edges, a gradient and fine texture.
std::vector<unsigned char> seed_pixels(int w, int h)
{
    std::vector<unsigned char> px((size_t)w * h * 4);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            unsigned char *p = &px[((size_t)y * w + x) * 4];
            p[0] = (unsigned char)(x * 255 / (w > 1 ? w - 1 : 1));
            p[1] = (unsigned char)(y * 255 / (h > 1 ? h - 1 : 1));
            p[2] = (unsigned char)(((x / 3 + y / 2) & 1) ? 220 : 30);
            p[3] = (unsigned char)(x * 37 + y * 11);
        }
    return px;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    for (const Seed &s : SEEDS) {
        JpegWriterOptions o = jpeg_writer_defaults(s.w, s.h);
        o.components = s.components;
        o.h[0] = s.h0;
        o.v[0] = s.v0;
        o.restart_interval = s.restart;
        o.optimize = s.optimize;
        o.progressive = s.progressive;
        o.quality = s.quality;
        o.jfif = s.jfif;
        o.adobe_transform = s.adobe;
        o.ycbcr = s.ycbcr;
        const std::vector<unsigned char> px = seed_pixels(s.w, s.h);
        size_t len = 0;
        unsigned char *file = jpeg_writer_encode(&o, px.data(), &len);
        const std::string path = std::string(argv[1]) + "/" + s.name;
        FILE *f = file ? std::fopen(path.c_str(), "wb") : nullptr;
        const unsigned char params[FUZZ_PARAM_BYTES] = {s.mask, 0, 0};
        const bool ok = f && std::fwrite(params, 1, sizeof params, f) == sizeof params &&
                        std::fwrite(file, 1, len, f) == len;
        std::free(file);
        if (!f || std::fclose(f) != 0 || !ok) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
