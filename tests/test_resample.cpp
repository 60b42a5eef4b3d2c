// The Lanczos-3 resampler, bit for bit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "pixels/crop.h"
#include "pixels/resample.h"
#include "support.h"

namespace {

using Px = std::array<int, 4>;

Pixels row_of(int w, int h, const std::vector<Px> &px)
{
    return make_pixels(w, h, [&](int x, int y) { return px[(size_t)y * w + x]; });
}

std::vector<Px> resize_to(Pixels src, int dw, int dh)
{
    Image out = resize_image(as_image(src), dw, dh);
    std::vector<Px> result;
    if (!out.pixels) return result;
    for (int i = 0; i < dw * dh; i++)
        result.push_back({out.pixels[i * 4], out.pixels[i * 4 + 1], out.pixels[i * 4 + 2], out.pixels[i * 4 + 3]});
    std::free(out.pixels);
    return result;
}

TEST(Lanczos3, KernelValues)
{
    const struct { double x, v; } table[] = {
        {0.25, 0.8900670517}, {0.5, 0.6079271019}, {0.75, 0.2701898230}, {1.25, -0.1328710184},
        {1.5, -0.1350949115}, {2.5, 0.0243170841}, {2.75, 0.0073559260},
    };
    EXPECT_EQ(lanczos3(0.0), 1.0);
    EXPECT_EQ(lanczos3(5e-10), 1.0);
    for (auto t : table) {
        EXPECT_NEAR(lanczos3(t.x), t.v, 5e-11) << t.x;
        EXPECT_EQ(lanczos3(-t.x), lanczos3(t.x)) << t.x;
    }
    // Integers are not exact zeros in double, and take part as taps.
    EXPECT_NE(lanczos3(1.0), 0.0);
    EXPECT_NEAR(lanczos3(1.0), 3.2e-17, 1e-17);
    EXPECT_NEAR(lanczos3(-2.0), -1.6e-17, 1e-17);
    EXPECT_EQ(lanczos3(3.0), 0.0);
    EXPECT_EQ(lanczos3(-7.5), 0.0);
}

TEST(Lanczos3, TapsAndClamping)
{
    // 4 -> 2: centre 0.5 has six taps -2..3, clamped to 0,0,0,1,2,3.
    TapSet t;
    lanczos_taps(4, 2, 0, &t);
    ASSERT_EQ(t.count, 6);
    const int idx0[] = {0, 0, 0, 1, 2, 3};
    for (int i = 0; i < 6; i++) EXPECT_EQ(t.index[i], idx0[i]);
    EXPECT_NEAR(t.weight_sum, 0.9942985488, 1e-10);
    lanczos_taps(4, 2, 1, &t);
    const int idx1[] = {0, 1, 2, 3, 3, 3};
    for (int i = 0; i < 6; i++) EXPECT_EQ(t.index[i], idx1[i]);
    // Same size: the centre lies on a sample, five taps, sum close to 1.
    lanczos_taps(10, 10, 4, &t);
    EXPECT_EQ(t.count, 5);
    EXPECT_EQ(t.weight[2], 1.0);
    // 2 -> 4 enlargement: first centre -0.25.
    lanczos_taps(2, 4, 0, &t);
    EXPECT_EQ(t.count, 6);
    EXPECT_EQ(t.index[0], 0);
    EXPECT_EQ(t.index[5], 1);
}

struct Worked {
    const char *name;
    int sw, sh;
    std::vector<Px> src;
    int dw, dh;
    std::vector<Px> expected;
};

TEST(Resize, WorkedResults)
{
    const Px B = {0, 0, 0, 255}, W = {255, 255, 255, 255}, T = {0, 0, 0, 0};
    const std::vector<Px> four = {{0, 10, 255, 255}, {100, 20, 0, 255}, {200, 30, 255, 255}, {255, 40, 0, 255}};
    std::vector<Px> six_six(6, B), white_then_black(11, B);
    six_six.insert(six_six.end(), 6, W);
    white_then_black.insert(white_then_black.begin(), W);
    const Worked cases[] = {
        {"4x1 to 2x1", 4, 1, four, 2, 1, {{40, 14, 93, 255}, {236, 36, 162, 255}}},
        {"1x4 to 1x2", 1, 4, four, 1, 2, {{40, 14, 93, 255}, {236, 36, 162, 255}}},
        {"2x1 to 3x1, value one step below a half", 2, 1, {T, W}, 3, 1, {T, {127, 127, 127, 127}, W}},
        {"2x1 to 4x1, overshoots clamp", 2, 1, {B, W}, 4, 1, {B, {54, 54, 54, 255}, {201, 201, 201, 255}, W}},
        {"2x1 to 5x1", 2, 1, {T, W}, 5, 1,
         {T, {18, 18, 18, 18}, {127, 127, 127, 127}, {237, 237, 237, 237}, W}},
        {"4x1 halves to 2x1", 4, 1, {B, B, W, W}, 2, 1, {B, W}},
        {"12x1 halves do not blend", 12, 1, six_six, 2, 1, {B, W}},
        {"12x1 one white column", 12, 1, white_then_black, 2, 1, {{6, 6, 6, 255}, B}},
        {"3x1 to 2x1", 3, 1, {T, {100, 100, 100, 100}, {200, 200, 200, 200}}, 2, 1,
         {{15, 15, 15, 15}, {185, 185, 185, 185}}},
        {"2x2 to 1x1", 2, 2, {B, {100, 100, 100, 255}, {200, 200, 200, 255}, W}, 1, 1, {{139, 139, 139, 255}}},
        {"1x1 to 3x2", 1, 1, {{100, 150, 200, 255}}, 3, 2, std::vector<Px>(6, {100, 150, 200, 255})},
    };
    for (const Worked &c : cases) {
        EXPECT_EQ(resize_to(row_of(c.sw, c.sh, c.src), c.dw, c.dh), c.expected) << c.name;
    }
}

TEST(Resize, SameSizeIsIdentity)
{
    for (auto wh : {std::pair<int, int>{1, 1}, {7, 3}, {64, 48}, {5, 97}}) {
        Pixels src = gradient(wh.first, wh.second);
        Image out = resize_image(as_image(src), src.w, src.h);
        ASSERT_NE(out.pixels, nullptr);
        EXPECT_EQ(from_image(out).rgba, src.rgba) << wh.first << "x" << wh.second;
        std::free(out.pixels);
    }
}

TEST(Resize, OnePixelFillsAnySize)
{
    Pixels src = make_pixels(1, 1, [](int, int) { return Px{12, 34, 56, 78}; });
    for (auto wh : {std::pair<int, int>{1, 1}, {2, 9}, {300, 1}, {17, 33}}) {
        std::vector<Px> out = resize_to(src, wh.first, wh.second);
        ASSERT_EQ(out.size(), (size_t)wh.first * wh.second);
        for (const Px &p : out) ASSERT_EQ(p, (Px{12, 34, 56, 78}));
    }
}

TEST(Resize, SourceIsUntouched)
{
    Pixels src = gradient(33, 21);
    const std::vector<uint8_t> before = src.rgba;
    std::free(resize_image(as_image(src), 10, 40).pixels);
    EXPECT_EQ(src.rgba, before);
}

// A region read where it lies gives the bytes its copy gives: the rows and
// columns around it, which differ from every pixel inside, never count.
TEST(Resize, RegionInPlaceEqualsItsCopy)
{
    const struct {
        int sw, sh, x, y, w, h, dw, dh;
    } cases[] = {
        {40, 30, 0, 0, 40, 30, 7, 5},         // the whole image
        {40, 30, 5, 3, 30, 20, 64, 50},       // enlarged
        {40, 30, 39, 29, 1, 1, 3, 2},         // one corner pixel
        {300, 40, 13, 7, 260, 30, 9, 3},      // strong reduction: runs of columns with gaps
        {1200, 20, 150, 2, 1040, 17, 256, 4}, // long rows: the product tables
        {50, 900, 20, 10, 30, 880, 8, 16},    // tall and narrow
    };
    for (const auto &c : cases) {
        Pixels src = make_pixels(c.sw, c.sh, [&c](int x, int y) {
            const bool inside = x >= c.x && x < c.x + c.w && y >= c.y && y < c.y + c.h;
            const int v = (x * 37 + y * 11) % 256;
            return inside ? std::array<int, 4>{v, 255 - v, (x * y) % 256, 255} : std::array<int, 4>{255, 0, 255, 0};
        });
        const std::vector<uint8_t> before = src.rgba;
        const Image whole = as_image(src);
        Image in_place = resize_image(image_region(whole, c.x, c.y, c.w, c.h), c.dw, c.dh);
        Image copy = sub_image(whole, c.x, c.y, c.w, c.h);
        Image from_copy = resize_image(copy, c.dw, c.dh);
        ASSERT_NE(in_place.pixels, nullptr);
        ASSERT_NE(from_copy.pixels, nullptr);
        EXPECT_EQ(from_image(in_place).rgba, from_image(from_copy).rgba)
            << c.w << "x" << c.h << " at " << c.x << "," << c.y << " -> " << c.dw << "x" << c.dh;
        EXPECT_EQ(src.rgba, before);
        std::free(in_place.pixels);
        std::free(copy.pixels);
        std::free(from_copy.pixels);
    }
}

} // namespace
