// An index past the end of a short PLTE: the decoder colours such pixels
// from an uninitialised array on its stack, so its thumbnails carried stack
// bytes and changed from call to call. The library gives opaque black
// there, on every way a palette image can be read: rows into the
// resampler, the whole image, interlaced, recoloured by a late PLTE, and
// where zlib leaves the outcome to the decoder's own inflate.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "imgthumbnail.h"
#include "io/image_io.h"
#include "png_differential.h"
#include "png_writer.h"
#include "support.h"

namespace {

const int SIDE = 16;
const int ENTRIES = 8;

// 16 x 16, colour type 3, a PLTE of 8 entries, every row the indices 0..15.
Bytes short_palette_png(bool interlace, int variant)
{
    const PngImageSpec s{SIDE, SIDE, 8, 3, interlace, 0, 1};
    Bytes raw;
    const int rows = interlace ? 0 : SIDE;
    for (int y = 0; y < rows; y++) {
        raw.push_back(0);
        for (int x = 0; x < SIDE; x++) raw.push_back((uint8_t)x);
    }
    if (interlace) {
        // Pass by pass, each row the indices of its columns.
        static const int P[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                    {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
        for (const auto &p : P)
            for (int y = p[1]; y < SIDE; y += p[3]) {
                raw.push_back(0);
                for (int x = p[0]; x < SIDE; x += p[2]) raw.push_back((uint8_t)x);
            }
    }
    Bytes z = zlib_stream(raw, 6);
    const Bytes plte = palette_of(ENTRIES, 3);
    std::vector<PngChunk> c = {ihdr_chunk(s), {"PLTE", plte, false}, {"IDAT", z, false}, {"IEND", {}, false}};
    if (variant == 1) {
        // One byte after the deflate data: zlib cannot tell what the
        // decoder's bit reader makes of the end, its own inflate decides.
        z.resize(z.size() - 3);
        c[2].data = z;
    } else if (variant == 2) {
        // A PLTE among the IDAT chunks: the last one colours the image.
        const size_t half = z.size() / 2;
        c = {ihdr_chunk(s), {"PLTE", palette_of(ENTRIES, 9), false},
             {"IDAT", Bytes(z.begin(), z.begin() + (long)half), false}, {"PLTE", plte, false},
             {"IDAT", Bytes(z.begin() + (long)half, z.end()), false}, {"IEND", {}, false}};
    } else if (variant == 3) {
        c.insert(c.begin() + 2, PngChunk{"tRNS", {10, 20, 30}, false});
    }
    return png_file(c);
}

void expect_black_past_the_palette(const Image &img, const Bytes &plte_alpha)
{
    const Bytes plte = palette_of(ENTRIES, 3);
    for (int y = 0; y < SIDE; y++)
        for (int x = 0; x < SIDE; x++) {
            const unsigned char *p = img.pixels + (y * SIDE + x) * 4;
            if (x < ENTRIES) {
                EXPECT_EQ(std::memcmp(p, plte.data() + x * 3, 3), 0) << x << "," << y;
                EXPECT_EQ(p[3], x < (int)plte_alpha.size() ? plte_alpha[x] : 255) << x << "," << y;
            } else {
                const unsigned char black[4] = {0, 0, 0, 255};
                EXPECT_EQ(std::memcmp(p, black, 4), 0) << x << "," << y;
            }
        }
}

TEST(PngPalette, IndexPastAShortPaletteIsOpaqueBlackOnEveryPath)
{
    const std::string dir = scratch_dir();
    const char *const NAMES[] = {"plain", "zlib in doubt", "late PLTE", "tRNS"};
    for (int interlace = 0; interlace < 2; interlace++)
        for (int variant = 0; variant < 4; variant++) {
            const std::string what = std::string(NAMES[variant]) + (interlace ? ", interlaced" : "");
            const std::string in = dir + "/short" + std::to_string(interlace) + std::to_string(variant) + ".png";
            const Bytes file = short_palette_png(interlace != 0, variant);
            const DifferentialResult d = png_differential(file, in);
            EXPECT_EQ(d.failure, "") << what;
            write_bytes(in, file);
            Image img{0, 0, nullptr};
            if (!d.stb_ok) {
                // The decoder refuses it: so does the library, with its reason.
                EXPECT_EQ(load_image(in.c_str(), &img), 0) << what;
                continue;
            }
            ASSERT_EQ(load_image(in.c_str(), &img), 1) << what << ": " << imgthumbnail_last_error();
            expect_black_past_the_palette(img, variant == 3 ? Bytes{10, 20, 30} : Bytes{});
            std::free(img.pixels);
            // The same thumbnail every time (rows into the resampler, or the
            // whole image where the row way gives the file back).
            Bytes first;
            for (int i = 0; i < 3; i++) {
                const std::string out = dir + "/thumb" + std::to_string(i) + ".png";
                ASSERT_EQ(imgthumbnail_square(in.c_str(), out.c_str(), SIDE), 1) << imgthumbnail_last_error();
                const Bytes t = read_bytes(out);
                if (i == 0) first = t;
                EXPECT_EQ(t, first) << what << ", call " << i;
            }
            // The smart crop reads the whole image.
            ASSERT_EQ(imgthumbnail_smart(in.c_str(), (dir + "/smart.png").c_str(), 8, 8), 1);
        }
}

} // namespace
