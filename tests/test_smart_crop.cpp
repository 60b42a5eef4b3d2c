// The smart crop: the analysis image, the energy map, the window search,
// the region mapped back onto the source, and the whole operation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "pixels/crop.h"
#include "imgthumbnail.h"
#include "pixels/resample.h"
#include "thumbnail/smart_crop.h"
#include "support.h"

namespace {

const std::array<int, 4> BLACK{0, 0, 0, 255};
const std::array<int, 4> WHITE{255, 255, 255, 255};

// Varied bytes in every channel, alpha included, so that a pixel taken from
// the wrong place or a wrong rounding shows.
Pixels scrambled(int w, int h)
{
    return make_pixels(w, h, [](int x, int y) {
        const unsigned v = (unsigned)(x * 7919 + y * 104729) * 2654435761u;
        return std::array<int, 4>{(int)(v >> 24), (int)(v >> 16) & 255, (int)(v >> 8) & 255, (int)v & 255};
    });
}

// Black with white rectangles, each given as {x, y, w, h}.
Pixels black_with_white(int w, int h, std::vector<CropRect> squares)
{
    return make_pixels(w, h, [&](int x, int y) {
        for (const CropRect &r : squares)
            if (x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h) return WHITE;
        return BLACK;
    });
}

Pixels uniform(int w, int h)
{
    return make_pixels(w, h, [](int, int) { return std::array<int, 4>{90, 140, 200, 255}; });
}

Pixels analysis_of(Pixels &src)
{
    Image a = make_analysis_image(as_image(src));
    EXPECT_NE(a.pixels, nullptr);
    Pixels out = from_image(a);
    std::free(a.pixels);
    return out;
}

std::vector<float> energy_of(Pixels &analysis)
{
    float *e = make_energy_map(as_image(analysis));
    EXPECT_NE(e, nullptr);
    std::vector<float> out(e, e + (size_t)analysis.w * analysis.h);
    std::free(e);
    return out;
}

// The rounded mean of channel c over the source block [x0, x1) x [y0, y1).
int block_mean(const Pixels &p, int x0, int x1, int y0, int y1, int c)
{
    unsigned sum = 0, n = 0;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++, n++) sum += p.at(x, y)[c];
    return (int)((sum + n / 2) / n);
}

TEST(SmartLuminance, Bt601ValuesExactlyAsFloats)
{
    const struct { int r, g, b; float l; } table[] = {
        {255, 255, 255, 255.0f},
        {128, 128, 128, 128.0f},
        {255, 0, 0, 76.2449951171875f},
        {0, 255, 0, 149.68499755859375f},
        {0, 0, 255, 29.06999969482422f},
        {10, 20, 30, 18.149999618530273f},
        {0, 0, 0, 0.0f},
    };
    for (const auto &t : table)
        EXPECT_EQ(luminance((unsigned char)t.r, (unsigned char)t.g, (unsigned char)t.b), t.l)
            << t.r << "," << t.g << "," << t.b;
}

TEST(SmartAnalysis, SizesThroughTheScale)
{
    const struct { int w, h, aw, ah; } table[] = {
        {160, 100, 160, 100}, // at the limit: analysed as it is
        {1, 1, 1, 1},
        {161, 100, 160, 99},
        {2496, 117, 160, 7}, // 117 x (160 / 2496) + 0.5 lands just below 8
        {400, 1, 160, 1},    // 0.4 + 0.5 truncates to 0, raised to 1
        {1, 400, 1, 160},
        {320, 160, 160, 80},
        {300, 200, 160, 107},
        {161, 696, 37, 160},
    };
    for (const auto &t : table) {
        Pixels src = uniform(t.w, t.h);
        Pixels a = analysis_of(src);
        EXPECT_EQ(a.w, t.aw) << t.w << "x" << t.h;
        EXPECT_EQ(a.h, t.ah) << t.w << "x" << t.h;
    }
}

TEST(SmartAnalysis, SmallImageIsAByteCopy)
{
    Pixels src = scrambled(160, 100);
    Image a = make_analysis_image(as_image(src));
    ASSERT_NE(a.pixels, nullptr);
    EXPECT_NE(a.pixels, src.rgba.data());
    EXPECT_EQ(from_image(a).rgba, src.rgba);
    std::free(a.pixels);
}

// Block edges along one axis: the widths repeated in turn until they cover
// total pixels.
std::vector<int> edges_from_widths(const std::vector<int> &widths, int total)
{
    std::vector<int> edges{0};
    for (size_t i = 0; edges.back() < total; i++) edges.push_back(edges.back() + widths[i % widths.size()]);
    EXPECT_EQ(edges.back(), total);
    return edges;
}

TEST(SmartAnalysis, EachPixelIsItsBlocksRoundedMean)
{
    std::vector<int> ones(159, 1);
    ones.push_back(2);
    std::vector<int> ones_rows(98, 1);
    ones_rows.push_back(2);
    const struct {
        const char *what;
        int w, h;
        std::vector<int> col_widths, row_widths;
        bool bright = false;
    } table[] = {
        // Only column 159 (source 159-160) and row 98 (source 98-99) merge
        // two source lines; the corner averages four pixels.
        {"161 x 100", 161, 100, ones, ones_rows},
        // Source columns 0-1, 2-4, 5-6, 7-9, ...
        {"400 x 1", 400, 1, {2, 3}, {1}},
        // Uneven blocks both ways: 2496 / 160 = 15.6, 117 / 7 = 16.7.
        {"2496 x 117", 2496, 117, {15, 16, 15, 16, 16}, {16, 17, 17, 16, 17, 17, 17}},
        // The widest blocks a side of 32768 gives (32768 / 160 = 204.8),
        // nearly white: the largest sums any block row adds up.
        {"32768 x 3, bright", 32768, 3, {204, 205, 205, 205, 205}, {3}, true},
    };
    for (const auto &t : table) {
        Pixels src = scrambled(t.w, t.h);
        if (t.bright)
            for (uint8_t &b : src.rgba) b = (uint8_t)(255 - b % 8);
        Pixels a = analysis_of(src);
        const std::vector<int> cols = edges_from_widths(t.col_widths, t.w);
        const std::vector<int> rows = edges_from_widths(t.row_widths, t.h);
        ASSERT_EQ(a.w, (int)cols.size() - 1) << t.what;
        ASSERT_EQ(a.h, (int)rows.size() - 1) << t.what;
        for (int y = 0; y < a.h; y++)
            for (int x = 0; x < a.w; x++)
                for (int c = 0; c < 4; c++)
                    ASSERT_EQ(a.at(x, y)[c], block_mean(src, cols[x], cols[x + 1], rows[y], rows[y + 1], c))
                        << t.what << ": " << x << "," << y << " channel " << c;
    }
}

TEST(SmartAnalysis, BlockMeansRoundHalvesUp)
{
    // 320 x 160 reduces by 2 x 2 blocks; three blocks carry the red values
    // {10, 10, 11, 11}, {10, 10, 10, 11} and {10, 11, 11, 11}, and their
    // alpha the same values, since alpha is averaged alike.
    const int quads[3][4] = {{10, 10, 11, 11}, {10, 10, 10, 11}, {10, 11, 11, 11}};
    Pixels src = make_pixels(320, 160, [&](int x, int y) {
        const int block = x / 2, corner = (y % 2) * 2 + x % 2;
        const int v = y < 2 && block < 3 ? quads[block][corner] : 0;
        return std::array<int, 4>{v, 0, 0, v};
    });
    Pixels a = analysis_of(src);
    ASSERT_EQ(a.w, 160);
    ASSERT_EQ(a.h, 80);
    const int expected[3] = {11, 10, 11};
    for (int b = 0; b < 3; b++) {
        EXPECT_EQ(a.at(b, 0)[0], expected[b]) << "block " << b;
        EXPECT_EQ(a.at(b, 0)[3], expected[b]) << "block " << b;
    }
}

TEST(SmartEnergy, StepsAreChargedToTheLeftAndUpperPixel)
{
    const struct {
        const char *what;
        Pixels image;
        std::vector<float> energy;
    } table[] = {
        {"black black white white", black_with_white(4, 1, {{2, 0, 2, 1}}), {0, 255, 0, 0}},
        {"checker 2 x 2", black_with_white(2, 2, {{1, 0, 1, 1}, {0, 1, 1, 1}}), {510, 255, 255, 0}},
        {"white column", black_with_white(3, 3, {{1, 0, 1, 3}}), {255, 255, 0, 255, 255, 0, 255, 255, 0}},
        {"uniform", uniform(5, 3), std::vector<float>(15, 0.0f)},
        {"one pixel", uniform(1, 1), {0}},
        {"red beside black", make_pixels(2, 1, [](int x, int) { return std::array<int, 4>{x ? 255 : 0, 0, 0, 255}; }),
         {76.2449951171875f, 0}},
    };
    for (auto t : table) EXPECT_EQ(energy_of(t.image), t.energy) << t.what;
}

TEST(SmartEnergy, AlphaTakesNoPart)
{
    Pixels opaque = scrambled(9, 7);
    Pixels clear = opaque;
    for (size_t i = 3; i < clear.rgba.size(); i += 4) clear.rgba[i] = (uint8_t)(i * 13);
    EXPECT_EQ(energy_of(opaque), energy_of(clear));
}

struct WindowCase {
    const char *what;
    Pixels source;
    int width, height;
    int aw, ah, cw, ch;
    int bx, by;
    double sum;
    int penalty;
    CropRect region;
};

void expect_choice(const WindowCase &t)
{
    Pixels src = t.source;
    SmartChoice c;
    ASSERT_EQ(smart_choose(as_image(src), t.width, t.height, &c), 1) << t.what;
    EXPECT_EQ(c.aw, t.aw) << t.what;
    EXPECT_EQ(c.ah, t.ah) << t.what;
    EXPECT_EQ(c.cw, t.cw) << t.what;
    EXPECT_EQ(c.ch, t.ch) << t.what;
    EXPECT_EQ(c.window.x, t.bx) << t.what;
    EXPECT_EQ(c.window.y, t.by) << t.what;
    EXPECT_EQ(c.window.sum, t.sum) << t.what;
    EXPECT_EQ(c.window.penalty, t.penalty) << t.what;
    EXPECT_EQ(c.region.x, t.region.x) << t.what;
    EXPECT_EQ(c.region.y, t.region.y) << t.what;
    EXPECT_EQ(c.region.w, t.region.w) << t.what;
    EXPECT_EQ(c.region.h, t.region.h) << t.what;
}

TEST(SmartWindow, WorkedSearches)
{
    const WindowCase table[] = {
        {"uniform 300 x 200, reduced", uniform(300, 200), 100, 100, 160, 107, 100, 100, 30, 3, 0, 0, {56, 5, 188, 188}},
        // Windows holding more of the square replace the best even when
        // farther from the centre; of those holding all of it, the nearest.
        {"one square", black_with_white(40, 30, {{28, 4, 6, 6}}), 10, 10, 40, 30, 10, 10, 24, 3, 24 * 255, 130,
         {24, 3, 10, 10}},
        // Two equal sums at equal distance: the one visited first stays.
        {"two squares", black_with_white(40, 30, {{6, 11, 4, 4}, {31, 11, 4, 4}}), 10, 10, 40, 30, 10, 10, 5, 10,
         16 * 255, 100, {5, 10, 10, 10}},
        {"square in a reduced image", black_with_white(640, 480, {{440, 60, 80, 80}}), 64, 48, 160, 120, 64, 48, 66,
         14, 80 * 255, 808, {264, 56, 256, 192}},
        {"thumbnail taller than the image", black_with_white(120, 80, {{10, 10, 5, 5}}), 100, 100, 120, 80, 100, 80, 9,
         0, 20 * 255, 1, {9, 0, 100, 80}},
        {"uniform 800 x 400, squeezed", uniform(800, 400), 100, 100, 160, 80, 100, 80, 30, 0, 0, 0, {150, 0, 500, 400}},
        {"uniform 800 x 400, whole image", uniform(800, 400), 200, 100, 160, 80, 160, 80, 0, 0, 0, 0, {0, 0, 800, 400}},
    };
    for (const WindowCase &t : table) expect_choice(t);
}

TEST(SmartWindow, UniformImagesKeepTheCentre)
{
    const WindowCase table[] = {
        {"20 x 11, 7 x 4", uniform(20, 11), 7, 4, 20, 11, 7, 4, 7, 3, 0, 0, {7, 3, 7, 4}},
        {"21 x 10, 6 x 5", uniform(21, 10), 6, 5, 21, 10, 6, 5, 7, 3, 0, 0, {7, 3, 6, 5}},
        {"1 x 1", uniform(1, 1), 50, 30, 1, 1, 1, 1, 0, 0, 0, 0, {0, 0, 1, 1}},
        {"12 x 9, larger thumbnail", uniform(12, 9), 4096, 4096, 12, 9, 12, 9, 0, 0, 0, 0, {0, 0, 12, 9}},
        {"400 x 1", uniform(400, 1), 100, 50, 160, 1, 100, 1, 30, 0, 0, 0, {75, 0, 250, 1}},
        // 37 x (161 / 37) rounds up past 161: the region's right edge is
        // clamped back onto the image.
        {"161 x 696", uniform(161, 696), 100, 100, 37, 160, 37, 100, 0, 30, 0, 0, {0, 130, 161, 436}},
    };
    for (const WindowCase &t : table) expect_choice(t);
}

TEST(SmartWindow, TieToleranceFollowsTheCurrentBest)
{
    // A 5 x 1 map searched with 1 x 1 windows: penalties 4, 1, 0, 1, 4.
    const struct {
        const char *what;
        std::vector<float> energy;
        int bx;
        double sum;
    } table[] = {
        {"all equal: the centre", {0, 0, 0, 0, 0}, 2, 0},
        {"more by less than the tolerance", {0, 0, 0, 0, 5e-10f}, 2, 0},
        {"more by more than the tolerance", {0, 0, 0, 0, 2e-9f}, 4, (double)2e-9f},
        // (1) replaces (0) by distance with 0.8e-9 more; (2) is nearer and
        // within the tolerance of (1); (3) beats (2) by 1.5e-9; (4), measured
        // from (3), falls below the tolerance.
        {"tolerance moves with the best", {0, 0.8e-9f, 0, 1.5e-9f, 0}, 3, (double)1.5e-9f},
        {"farther but clearly more", {7, 0, 0, 0, 0}, 0, 7},
    };
    for (const auto &t : table) {
        SmartWindow best;
        ASSERT_EQ(find_best_window(t.energy.data(), 5, 1, 1, 1, &best), 1) << t.what;
        EXPECT_EQ(best.x, t.bx) << t.what;
        EXPECT_EQ(best.y, 0) << t.what;
        EXPECT_NEAR(best.sum, t.sum, 1e-18) << t.what;
    }
}

TEST(SmartWindow, TableRoundingDecidesNearTies)
{
    // A 160 x 160 checkerboard of 509.99997 and values below 1e-12: every
    // 100 x 100 window holds the same large total within far less than the
    // tolerance, so exact sums would keep the centre (30, 30). At totals of
    // about 5e6 the table's rounding is larger than the tolerance and picks
    // the window; another grouping of the table or of the window sums picks
    // another one.
    const int side = ANALYSIS_MAX;
    std::vector<float> energy((size_t)side * side);
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++)
            energy[(size_t)y * side + x] = (x + y) % 2 == 0 ? 509.99997f : 1e-13f * (float)((x * 7 + y * 3) % 11);
    SmartWindow best;
    ASSERT_EQ(find_best_window(energy.data(), side, side, 100, 100, &best), 1);
    EXPECT_EQ(best.x, 34);
    EXPECT_EQ(best.y, 60);
}

TEST(SmartWindow, MappingBackWidensAndClamps)
{
    const struct {
        int w, h, aw, ah, bx, by, cw, ch;
        CropRect region;
    } table[] = {
        {300, 200, 160, 107, 30, 3, 100, 100, {56, 5, 188, 188}}, // 56.25 -> 56, 192.52 -> 193
        {40, 30, 40, 30, 24, 3, 10, 10, {24, 3, 10, 10}},          // a copy maps one to one
        {161, 696, 37, 160, 0, 30, 37, 100, {0, 130, 161, 436}},   // right edge past the image
        {400, 1, 160, 1, 159, 0, 1, 1, {397, 0, 3, 1}},            // the last block
    };
    for (const auto &t : table) {
        CropRect r = map_window_to_source(t.w, t.h, t.aw, t.ah, t.bx, t.by, t.cw, t.ch);
        EXPECT_EQ(r.x, t.region.x) << t.w << "x" << t.h;
        EXPECT_EQ(r.y, t.region.y) << t.w << "x" << t.h;
        EXPECT_EQ(r.w, t.region.w) << t.w << "x" << t.h;
        EXPECT_EQ(r.h, t.region.h) << t.w << "x" << t.h;
    }
}

// The thumbnail the operation should write: the chosen region of the
// source, resampled to width x height.
Pixels expected_thumbnail(Pixels src, int width, int height)
{
    SmartChoice c;
    EXPECT_EQ(smart_choose(as_image(src), width, height, &c), 1);
    Image crop = sub_image(as_image(src), c.region.x, c.region.y, c.region.w, c.region.h);
    Image thumb = resize_image(crop, width, height);
    Pixels out = from_image(thumb);
    std::free(crop.pixels);
    std::free(thumb.pixels);
    return out;
}

TEST(SmartThumbnail, WritesTheChosenRegionAtExactlyTheSize)
{
    std::string dir = scratch_dir();
    const struct {
        const char *what;
        Pixels source;
        int width, height;
        const char *ext;
    } cases[] = {
        {"reduced, with an edge", black_with_white(640, 480, {{440, 60, 80, 80}}), 64, 48, "png"},
        {"reduced, region stretched", scrambled(300, 200), 20, 90, "png"},
        {"analysed as it is", gradient(90, 70), 30, 30, "png"},
        {"region of the thumbnail's size", black_with_white(40, 30, {{28, 4, 6, 6}}), 10, 10, "png"},
        {"one pixel", uniform(1, 1), 3, 2, "png"},
        {"one row", scrambled(400, 1), 100, 50, "png"},
        // Lossless and far quicker to write than a 4096 x 4096 PNG.
        {"enlarged to the limit", gradient(12, 9), 4096, 4096, "tga"},
    };
    for (auto &c : cases) {
        const std::string in = dir + "/in.png", out = dir + "/out." + c.ext;
        write_png(in, c.source);
        imgthumbnail_smart(nullptr, nullptr, 1, 1); // leaves a message to be emptied
        ASSERT_EQ(imgthumbnail_smart(in.c_str(), out.c_str(), c.width, c.height), 1)
            << c.what << ": " << imgthumbnail_last_error();
        EXPECT_STREQ(imgthumbnail_last_error(), "") << c.what;
        Pixels got = read_pixels(out);
        EXPECT_EQ(got.w, c.width) << c.what;
        EXPECT_EQ(got.h, c.height) << c.what;
        EXPECT_TRUE(got.rgba == expected_thumbnail(c.source, c.width, c.height).rgba) << c.what;
    }
}

TEST(SmartThumbnail, FailuresKeepTheFailingStepsMessage)
{
    std::string dir = scratch_dir();
    write_text(dir + "/bad.png", "not an image");
    write_png(dir + "/good.png", gradient(30, 20));
    const struct { std::string in, out, message; } cases[] = {
        {dir + "/bad.png", dir + "/o1.png", "cannot decode '" + dir + "/bad.png': unknown image type"},
        {dir + "/none.png", dir + "/o2.png", "cannot decode '" + dir + "/none.png': can't fopen"},
        {"", dir + "/o3.png", "cannot decode '': can't fopen"},
        {dir + "/good.png", dir + "/no/such/dir/o4.png",
         "cannot encode '" + dir + "/no/such/dir/o4.png' (check the extension)"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(imgthumbnail_smart(c.in.c_str(), c.out.c_str(), 8, 8), 0) << c.in;
        EXPECT_EQ(std::string(imgthumbnail_last_error()), c.message);
        EXPECT_FALSE(path_exists(c.out)) << c.out;
    }
}

} // namespace
