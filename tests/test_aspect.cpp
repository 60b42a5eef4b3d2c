// Centre-crop thumbnails: the crop rectangle, the thumbnail size, and the
// whole operation from file to file.
#include <gtest/gtest.h>

#include <cstdlib>

#include "thumbnail/aspect.h"
#include "pixels/crop.h"
#include "imgthumbnail.h"
#include "pixels/resample.h"
#include "support.h"

namespace {

struct AspectCase {
    int w, h, ratio, size;
    CropRect crop;
    int tw, th;
};

TEST(Aspect, WorkedCropsAndSizes)
{
    // ratio index: 0 = 1:1, 1 = 4:3, 2 = 16:9, 3 = 3:2
    const AspectCase table[] = {
        {1000, 500, 1, 200, {166, 0, 667, 500}, 200, 150},
        {640, 480, 0, 100, {80, 0, 480, 480}, 100, 100},
        {500, 1000, 0, 128, {0, 250, 500, 500}, 128, 128},
        {600, 1200, 2, 320, {0, 431, 600, 338}, 320, 180},
        {1200, 800, 1, 150, {66, 0, 1067, 800}, 150, 113},
        {800, 600, 3, 300, {0, 33, 800, 533}, 300, 200},
        {1920, 1080, 2, 256, {0, 0, 1920, 1080}, 256, 144},
        {4000, 3000, 2, 4096, {0, 375, 4000, 2250}, 4096, 2304},
        {50, 40, 0, 200, {5, 0, 40, 40}, 200, 200},
        {1, 1, 2, 100, {0, 0, 1, 1}, 100, 56},
        {32768, 1, 3, 10, {16383, 0, 2, 1}, 10, 7},
        {1, 32768, 2, 10, {0, 16383, 1, 1}, 10, 6},
    };
    for (const AspectCase &c : table) {
        CropRect r = aspect_crop_rect(c.w, c.h, ASPECT_NUM[c.ratio], ASPECT_DEN[c.ratio]);
        EXPECT_EQ(r.x, c.crop.x) << c.w << "x" << c.h;
        EXPECT_EQ(r.y, c.crop.y) << c.w << "x" << c.h;
        EXPECT_EQ(r.w, c.crop.w) << c.w << "x" << c.h;
        EXPECT_EQ(r.h, c.crop.h) << c.w << "x" << c.h;
        int tw = 0, th = 0;
        aspect_thumb_size(r.w, r.h, c.size, ASPECT_NUM[c.ratio], ASPECT_DEN[c.ratio], &tw, &th);
        EXPECT_EQ(tw, c.tw) << c.w << "x" << c.h;
        EXPECT_EQ(th, c.th) << c.w << "x" << c.h;
    }
}

TEST(Aspect, ThumbnailSizesAtTheLimits)
{
    // For size 1, 2, 3, 4 and 4096, per ratio: the heights (widths equal size).
    const int heights[4][5] = {{1, 2, 3, 4, 4096}, {1, 2, 2, 3, 3072}, {1, 1, 2, 2, 2304}, {1, 1, 2, 3, 2731}};
    const int sizes[5] = {1, 2, 3, 4, 4096};
    for (int r = 0; r < 4; r++)
        for (int i = 0; i < 5; i++) {
            int tw = 0, th = 0;
            aspect_thumb_size(100, 50, sizes[i], ASPECT_NUM[r], ASPECT_DEN[r], &tw, &th);
            EXPECT_EQ(tw, sizes[i]);
            EXPECT_EQ(th, heights[r][i]) << "ratio " << r << " size " << sizes[i];
        }
    // A ratio taller than wide fixes the height instead.
    int tw = 0, th = 0;
    aspect_thumb_size(30, 40, 100, 3, 4, &tw, &th);
    EXPECT_EQ(tw, 75);
    EXPECT_EQ(th, 100);
}

TEST(Aspect, EndToEndMatchesCropThenResize)
{
    std::string dir = scratch_dir();
    const struct { int w, h, ratio, size; } cases[] = {
        {100, 50, 1, 20},  // 4:3 reduction from a wide image
        {50, 40, 0, 200},  // square enlargement
        {30, 70, 2, 64},   // 16:9 from a tall image
        {1, 1, 2, 100},    // 1 x 1 gives the ratio's shape
    };
    for (auto c : cases) {
        Pixels src = gradient(c.w, c.h);
        std::string in = dir + "/in.png", out = dir + "/out.png";
        write_png(in, src);
        ASSERT_EQ(imgthumbnail_aspect(in.c_str(), out.c_str(), c.size, c.ratio), 1) << imgthumbnail_last_error();
        EXPECT_STREQ(imgthumbnail_last_error(), "");

        CropRect r = aspect_crop_rect(c.w, c.h, ASPECT_NUM[c.ratio], ASPECT_DEN[c.ratio]);
        Image crop = sub_image(as_image(src), r.x, r.y, r.w, r.h);
        int tw, th;
        aspect_thumb_size(r.w, r.h, c.size, ASPECT_NUM[c.ratio], ASPECT_DEN[c.ratio], &tw, &th);
        Image thumb = resize_image(crop, tw, th);
        Pixels expected = from_image(thumb);
        std::free(crop.pixels);
        std::free(thumb.pixels);

        Pixels got = read_pixels(out);
        EXPECT_EQ(got.w, c.size);
        EXPECT_EQ(got.h, th);
        EXPECT_EQ(got.rgba, expected.rgba) << c.w << "x" << c.h;
    }
}

TEST(Aspect, SquareIsRatioOneToOne)
{
    std::string dir = scratch_dir();
    write_png(dir + "/in.png", gradient(37, 23));
    ASSERT_EQ(imgthumbnail_square((dir + "/in.png").c_str(), (dir + "/sq.png").c_str(), 16), 1);
    ASSERT_EQ(imgthumbnail_aspect((dir + "/in.png").c_str(), (dir + "/as.png").c_str(), 16, 0), 1);
    EXPECT_EQ(read_bytes(dir + "/sq.png"), read_bytes(dir + "/as.png"));
    EXPECT_EQ(read_pixels(dir + "/sq.png").w, 16);
    EXPECT_EQ(read_pixels(dir + "/sq.png").h, 16);
}

TEST(Aspect, FailuresLeaveNoOutput)
{
    std::string dir = scratch_dir();
    write_text(dir + "/bad.jpg", "not a jpeg");
    write_png(dir + "/good.png", gradient(10, 10));
    struct { std::string in, out, message; } cases[] = {
        {dir + "/bad.jpg", dir + "/o1.png", "cannot decode '" + dir + "/bad.jpg': unknown image type"},
        {dir + "/none.png", dir + "/o2.png", "cannot decode '" + dir + "/none.png': can't fopen"},
        {dir, dir + "/o3.png", ""},
        {dir + "/good.png", dir + "/no/such/dir/o4.png",
         "cannot encode '" + dir + "/no/such/dir/o4.png' (check the extension)"},
        {dir + "/good.png", dir, "cannot encode '" + dir + "' (check the extension)"},
    };
    for (auto &c : cases) {
        EXPECT_EQ(imgthumbnail_square(c.in.c_str(), c.out.c_str(), 8), 0) << c.in;
        if (!c.message.empty()) EXPECT_EQ(std::string(imgthumbnail_last_error()), c.message);
        else EXPECT_EQ(std::string(imgthumbnail_last_error()).rfind("cannot decode '" + dir + "': ", 0), 0u);
        if (c.out != dir) EXPECT_FALSE(path_exists(c.out)) << c.out;
    }
}

} // namespace
