// The kernel's sine: correctly rounded on the hardest arguments known (the
// expected values come from mpmath), both of its paths agree, and the
// resampler's result that the platform's sine once changed between Linux and
// Windows. The sweep over the kernel's arguments runs in kernel_sine_host.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>

#include "pixels/kernel_sine.h"
#include "kernel_sine_cases.h"
#include "pixels/resample.h"
#include "support.h"

namespace {

uint64_t bits_of(double v)
{
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

TEST(KernelSine, HardCasesAreCorrectlyRounded)
{
    int needed_exact_path = 0;
    for (const KernelSineCase &c : KERNEL_SINE_HARD_CASES) {
        EXPECT_EQ(bits_of(kernel_sin(c.x)), bits_of(c.sine)) << std::hexfloat << c.x;
        EXPECT_EQ(bits_of(kernel_sin_exact(c.x, nullptr)), bits_of(c.sine)) << std::hexfloat << c.x;
        double fast;
        if (kernel_sin_fast(c.x, &fast)) {
            EXPECT_EQ(bits_of(fast), bits_of(c.sine)) << std::hexfloat << c.x;
        } else {
            needed_exact_path++;
        }
    }
    // The table holds arguments that the fast path must hand on.
    EXPECT_GE(needed_exact_path, 3);
}

TEST(KernelSine, FastAndExactPathsAgree)
{
    // Arguments spread over the whole domain, as the kernel forms them
    // (a * pi and a * pi / 3), and uniformly.
    std::mt19937_64 random(14);
    std::uniform_real_distribution<double> a(0.0, 3.0), x(-KERNEL_SINE_MAX, KERNEL_SINE_MAX);
    const int COUNT = 4000;
    for (int i = 0; i < COUNT; i++) {
        const double p = a(random) * 3.141592653589793;
        for (double arg : {p, p / 3.0, x(random)}) {
            double fast;
            if (kernel_sin_fast(arg, &fast))
                ASSERT_EQ(bits_of(fast), bits_of(kernel_sin_exact(arg, nullptr))) << std::hexfloat << arg;
        }
    }
}

TEST(KernelSine, OddTinyAndOutOfDomain)
{
    for (double x : {0.3, 1.5707963267948966, 3.141592653589793, 9.42477796076938}) {
        EXPECT_EQ(bits_of(kernel_sin(-x)), bits_of(-kernel_sin(x))) << x;
    }
    // Below 2^-26 the sine rounds to x itself, signed zeros included.
    for (double x : {0.0, -0.0, 1e-300, 0x1.fffffffffffffp-27, -3e-9})
        EXPECT_EQ(bits_of(kernel_sin(x)), bits_of(x)) << x;
    EXPECT_TRUE(std::isnan(kernel_sin(std::nextafter(KERNEL_SINE_MAX, 11.0))));
    EXPECT_TRUE(std::isnan(kernel_sin(-100.0)));
    EXPECT_TRUE(std::isnan(kernel_sin(std::nan(""))));
    EXPECT_FALSE(std::isnan(kernel_sin(KERNEL_SINE_MAX)));
}

TEST(KernelSine, ThinColumnIsTheSameOnEveryPlatform)
{
    // A 1 x 12 column, rows 3 ... 5 grey, stretched to 3903 rows: with the
    // platform's sine, row 1217 was 213 on Linux and 214 on Windows; the
    // correctly rounded weights give 214.
    const int ROW_1217 = 214;
    const uint8_t grey[12] = {0, 0, 0, 185, 209, 114, 0, 0, 0, 0, 0, 0};
    Pixels src = make_pixels(1, 12, [&](int, int y) { return std::array<int, 4>{grey[y], grey[y], grey[y], 255}; });
    Image out = resize_image(as_image(src), 1, 3903);
    ASSERT_NE(out.pixels, nullptr);
    EXPECT_EQ(out.pixels[1217 * 4], ROW_1217);
    std::free(out.pixels);
}

} // namespace
