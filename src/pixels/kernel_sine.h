// The sine of the Lanczos kernel, correctly rounded: the double nearest to
// the exact sine (ties to even), computed in plain IEEE double and integer
// arithmetic. Any correct implementation gives the same double, so the
// kernel's weights are the same bits on every platform, whatever its math
// library does.
#pragma once

// Largest |x| the sine accepts. The kernel passes p = a * pi (0 <= a < 3,
// so p rounds to at most the double next to 3 pi) and p / 3.
constexpr double KERNEL_SINE_MAX = 10.0;

// sin(x) rounded to the nearest double, for |x| <= KERNEL_SINE_MAX; NaN for
// NaN and for larger |x|.
double kernel_sin(double x);

// The two ways kernel_sin computes, for its tests and its benchmark.
//
// The fast path: a double-double approximation and a rounding test. Returns
// 1 and stores the correctly rounded sine when the test decides (always for
// NaN, |x| > KERNEL_SINE_MAX and tiny |x|), 0 when the approximation lies too
// close to the midpoint between two doubles.
int kernel_sin_fast(double x, double *result);

// The double-double approximation itself, for 2^-26 <= |x| <= KERNEL_SINE_MAX:
// |hi + lo - sin x| <= KERNEL_SINE_FAST_ERROR * |hi|.
void kernel_sin_approx(double x, double *hi, double *lo);
constexpr double KERNEL_SINE_FAST_ERROR = 0x1p-64;

// The exact path: fixed-point arithmetic on 32-bit limbs with a rigorous
// error bound, its precision raised until the rounding is decided. Stores
// the number of fraction bits that decided in *bits (0 for the cases that
// need no arithmetic) when bits is not null.
double kernel_sin_exact(double x, int *bits);
