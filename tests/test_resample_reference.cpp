// The resampler's row kernels against a plain transcription of its
// arithmetic: two whole passes over a full intermediate, every operation in
// the defined order and precision. Sizes and contents are chosen to reach
// every path of the kernels (wide blocks and leftover pixels, five and six
// taps, reductions and enlargements, overshoots clamped at both ends).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "pixels/resample.h"
#include "support.h"

namespace {

// Taps of output sample i: every k with |k - c| < 3, ascending.
struct RefTap {
    int32_t index;
    double weight;
};

std::vector<RefTap> reference_taps(int32_t n, int32_t m, int32_t i)
{
    const double s = (double)n / (double)m;
    const double c = ((double)i + 0.5) * s - 0.5;
    std::vector<RefTap> taps;
    for (int32_t k = (int32_t)std::floor(c) - 3; k <= (int32_t)std::floor(c) + 4; k++) {
        const double d = (double)k - c;
        if (!(std::fabs(d) < 3.0)) continue;
        taps.push_back(RefTap{k < 0 ? 0 : (k > n - 1 ? n - 1 : k), lanczos3(d)});
    }
    return taps;
}

std::vector<uint8_t> reference_resize(const Pixels &src, int32_t dw, int32_t dh)
{
    const int32_t sw = src.w, sh = src.h;
    std::vector<float> mid((size_t)sw * dh * 4);
    for (int32_t i = 0; i < dh; i++) {
        const std::vector<RefTap> taps = reference_taps(sh, dh, i);
        for (int32_t j = 0; j < sw; j++)
            for (int ch = 0; ch < 4; ch++) {
                float acc = 0.0f;
                double sum = 0.0;
                for (const RefTap &t : taps) {
                    sum += t.weight;
                    acc += (float)((double)src.at(j, t.index)[ch] * t.weight);
                }
                mid[((size_t)i * sw + j) * 4 + ch] = acc / (float)sum;
            }
    }
    std::vector<uint8_t> out((size_t)dw * dh * 4);
    for (int32_t k = 0; k < dw; k++) {
        const std::vector<RefTap> taps = reference_taps(sw, dw, k);
        for (int32_t i = 0; i < dh; i++)
            for (int ch = 0; ch < 4; ch++) {
                float acc = 0.0f;
                double sum = 0.0;
                for (const RefTap &t : taps) {
                    sum += t.weight;
                    const float w = (float)t.weight;
                    acc += w * mid[((size_t)i * sw + t.index) * 4 + ch];
                }
                const float v = acc / (float)sum;
                out[((size_t)i * dw + k) * 4 + ch] = v < 0.0f ? 0 : (uint8_t)(int)((v < 255.0f ? v : 255.0f) + 0.5f);
            }
    }
    return out;
}

uint32_t scramble(uint32_t v)
{
    v ^= v >> 16;
    v *= 0x45d9f3bu;
    v ^= v >> 16;
    v *= 0x45d9f3bu;
    v ^= v >> 16;
    return v;
}

enum Content { NOISE, STRIPES, GRADIENT };

Pixels content(Content kind, int w, int h)
{
    switch (kind) {
    case NOISE: // every byte value, alpha included
        return make_pixels(w, h, [](int x, int y) {
            const uint32_t r = scramble((uint32_t)(x * 7919 + y * 104729 + 1));
            return std::array<int, 4>{(int)(r & 255), (int)((r >> 8) & 255), (int)((r >> 16) & 255),
                                      (int)(r >> 24)};
        });
    case STRIPES: // 0 next to 255 both ways: the kernel overshoots past both ends
        return make_pixels(w, h, [](int x, int y) {
            const int v = ((x / 2 + y) % 2) ? 255 : 0;
            return std::array<int, 4>{v, 255 - v, (x % 3) ? 255 : 0, (y % 2) ? 255 : 0};
        });
    case GRADIENT:
        break;
    }
    return gradient(w, h);
}

struct SizeCase {
    int sw, sh, dw, dh;
};

TEST(ResizeReference, KernelsMatchPlainArithmetic)
{
    const SizeCase cases[] = {
        {1, 1, 5, 3},     {2, 1, 3, 1},    {3, 2, 1, 1},     {7, 5, 3, 2},    {17, 13, 5, 4},
        {33, 7, 9, 11},   {64, 48, 16, 12}, {100, 80, 7, 5},  {12, 9, 37, 41}, {5, 3, 64, 9},
        {19, 23, 19, 23}, {250, 3, 31, 2}, {3, 250, 2, 31},  {41, 37, 40, 36}, {40, 36, 41, 37},
        {97, 61, 13, 29}, {6, 6, 130, 7},
        // Rows of 512 pixels and more take their products from tables:
        // six taps, five (a 3:1 reduction and the same size put every
        // centre on a sample) and a row length that is no multiple of 8.
        {700, 50, 3, 17}, {600, 90, 7, 30}, {513, 40, 513, 40}, {1031, 9, 64, 20},
        // Strong reductions form only the columns the output reads, in runs
        // of five (11:1) or six (10:1) columns with gaps between them,
        // below and above the row length that takes the tables.
        {1100, 8, 100, 3}, {1000, 12, 100, 5}, {2200, 8, 200, 3}, {2000, 30, 100, 7},
        // Enough values that a change in the order of the additions, which
        // moves a sum by one unit in the last place, reaches some byte.
        {1200, 900, 1100, 800},
    };
    for (const SizeCase &c : cases)
        for (Content kind : {NOISE, STRIPES, GRADIENT}) {
            Pixels src = content(kind, c.sw, c.sh);
            Image out = resize_image(as_image(src), c.dw, c.dh);
            ASSERT_NE(out.pixels, nullptr);
            const std::vector<uint8_t> expected = reference_resize(src, c.dw, c.dh);
            size_t differ = 0, first = 0;
            for (size_t i = expected.size(); i-- > 0;)
                if (out.pixels[i] != expected[i]) {
                    differ++;
                    first = i;
                }
            std::free(out.pixels);
            EXPECT_EQ(differ, 0u) << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh << ", content " << kind
                                  << ": first difference at byte " << first;
        }
}

} // namespace
