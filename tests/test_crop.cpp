// Cutting regions out of images.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "pixels/crop.h"
#include "support.h"

namespace {

// Pixel (x, y) of the fixture encodes its own position.
Pixels numbered(int w, int h)
{
    return make_pixels(w, h, [](int x, int y) { return std::array<int, 4>{x, y, x * 16 + y, 255 - x}; });
}

struct Region {
    int sw, sh, x, y, w, h;
};

TEST(Crop, RegionsCopyTheRightPixels)
{
    const Region cases[] = {
        {5, 4, 1, 2, 3, 2},  // the 5 x 4 example: (1,2),(2,2),(3,2) then (1,3),(2,3),(3,3)
        {5, 4, 0, 0, 5, 4},  // whole image
        {5, 4, 4, 3, 1, 1},  // one pixel in the corner
        {7, 9, 0, 3, 7, 4},  // full-width band
        {9, 2, 3, 0, 2, 2},  // full-height band
    };
    for (const Region &r : cases) {
        Pixels src = numbered(r.sw, r.sh);
        const std::vector<uint8_t> before = src.rgba;
        Image out = sub_image(as_image(src), r.x, r.y, r.w, r.h);
        EXPECT_EQ(src.rgba, before); // source untouched
        ASSERT_NE(out.pixels, nullptr);
        ASSERT_EQ(out.width, r.w);
        ASSERT_EQ(out.height, r.h);
        Pixels got = from_image(out);
        for (int y = 0; y < r.h; y++)
            for (int x = 0; x < r.w; x++)
                ASSERT_EQ(0, std::memcmp(got.at(x, y), src.at(r.x + x, r.y + y), 4))
                    << "region " << r.x << "," << r.y << " " << r.w << "x" << r.h << " at " << x << "," << y;
        std::free(out.pixels);
    }
}

} // namespace
