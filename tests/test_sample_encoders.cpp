// The sample generator's own encoders: the files they write decode to
// exactly the pixels they were given, in the kind the samples stand for.
#include <gtest/gtest.h>

#include <vector>

#include "sample_encoders.h"
#include "support.h"

namespace {

TEST(SampleEncoders, GreyJpegHasOneComponentAndExactShades)
{
    std::string dir = scratch_dir();
    // 3 x 2 blocks: both ends of the range, mid grey, and jumps in both
    // directions between neighbours (DC differences of every sign and size).
    const unsigned char shades[6] = {0, 255, 128, 1, 200, 37};
    std::string path = dir + "/grey.jpg";
    ASSERT_EQ(write_flat_block_grey_jpeg(path.c_str(), 3, 2, shades), 1);

    std::vector<uint8_t> bytes = read_bytes(path);
    // The frame header (SOF0) declares one component.
    size_t sof = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i++)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) sof = i;
    ASSERT_GT(sof, 0u);
    EXPECT_EQ(bytes[sof + 9], 1) << "components";

    Pixels p = read_pixels(path);
    ASSERT_EQ(p.w, 24);
    ASSERT_EQ(p.h, 16);
    for (int y = 0; y < p.h; y++)
        for (int x = 0; x < p.w; x++) {
            const uint8_t *px = p.at(x, y);
            uint8_t v = shades[(y / 8) * 3 + x / 8];
            ASSERT_EQ(px[0], v) << x << "," << y;
            ASSERT_EQ(px[1], v);
            ASSERT_EQ(px[2], v);
            ASSERT_EQ(px[3], 255);
        }
}

TEST(SampleEncoders, PalettePngIsIndexedAndDecodesToItsColours)
{
    std::string dir = scratch_dir();
    const unsigned char palette[3 * 3] = {255, 0, 0, 0, 128, 255, 17, 34, 51};
    // 300 x 250 indices: more than one stored deflate block of 65535 bytes.
    const int w = 300, h = 250;
    std::vector<unsigned char> idx((size_t)w * h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) idx[(size_t)y * w + x] = (unsigned char)((x / 7 + y / 5) % 3);
    std::string path = dir + "/palette.png";
    ASSERT_EQ(write_palette_png(path.c_str(), w, h, idx.data(), palette, 3), 1);

    std::vector<uint8_t> bytes = read_bytes(path);
    ASSERT_GT(bytes.size(), 33u);
    EXPECT_EQ(bytes[24], 8) << "bit depth";
    EXPECT_EQ(bytes[25], 3) << "colour type: indexed";

    Pixels p = read_pixels(path);
    ASSERT_EQ(p.w, w);
    ASSERT_EQ(p.h, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const unsigned char *c = palette + 3 * idx[(size_t)y * w + x];
            const uint8_t *px = p.at(x, y);
            ASSERT_TRUE(px[0] == c[0] && px[1] == c[1] && px[2] == c[2] && px[3] == 255) << x << "," << y;
        }
}

TEST(SampleEncoders, RefuseWhatTheyCannotWrite)
{
    std::string dir = scratch_dir();
    const unsigned char shade = 0, palette[3] = {0, 0, 0};
    std::string missing = dir + "/no-such-folder/x";
    EXPECT_EQ(write_flat_block_grey_jpeg(missing.c_str(), 1, 1, &shade), 0);
    EXPECT_EQ(write_palette_png(missing.c_str(), 1, 1, &shade, palette, 1), 0);
    EXPECT_EQ(write_palette_png((dir + "/p.png").c_str(), 1, 1, &shade, palette, 0), 0);
    EXPECT_FALSE(path_exists(dir + "/p.png"));
}

} // namespace
