// The kernel's sine, correctly rounded (round to nearest, ties to even) for
// every |x| <= KERNEL_SINE_MAX.
//
// Why correctly rounded: the kernel's weights must be the same bits on every
// platform, and a platform's sin is not (glibc's is within one unit in the
// last place, mingw-w64's runs the x87 fsin with a short pi). The correctly
// rounded value does not depend on the algorithm, so it is the one result
// that every correct implementation, and an arbitrary-precision reference,
// agree on.
//
// How: Ziv's strategy in two steps.
//  1. Fast path. Reduce x by the nearest multiple k of pi/2 (Cody-Waite, pi/2
//     in four parts), evaluate sin or cos of the reduced r by Taylor series in
//     double-double (the first three terms; the small rest in double), and
//     round. The approximation y = hi + lo has a proven relative error below
//     2^-68 (derivation at kernel_sin_approx); the test accepts the rounding
//     only when every real number within KERNEL_SINE_FAST_ERROR = 2^-64 of y
//     rounds to the same double. The factor 16 covers any slip in the
//     derivation.
//  2. Exact path, when the test fails (sin x within about 2^-11 units in the
//     last place of a midpoint between two doubles: measured, one call in
//     1,270 of the kernel's arguments; it costs about 15 fast calls).
//     The same reduction and series in fixed point on 32-bit limbs, with an
//     interval [S - E, S + E] that provably holds sin x; when both ends round
//     to the same double, so does sin x. Otherwise the precision doubles,
//     from 128 to 2048 fraction bits.
//
// Why the exact path always decides: for a double x != 0, sin x is
// transcendental (Lindemann-Weierstrass), so it never equals a midpoint
// between two doubles (a rational number), and some finite precision
// separates the two. The domain is finite, so one precision serves all of
// it; by the usual estimate (about 2^57 doubles in the domain, each landing
// at a uniformly spread distance from a midpoint) the closest is about
// 2^-57 units in the last place away, which needs about 53 + 57 + 60 (the
// deepest cancellation, next to 3 pi/2: r >= 2^-53.86) = 170 fraction bits;
// 2048 leaves an enormous margin. The hardest arguments the test suite
// knows need 256 bits at most.
//
// All double arithmetic here must round each operation to double: no FMA
// contraction (the build sets -ffp-contract=off), no fast-math, no x87 excess
// precision (checked below). Only +, -, *, / and integer operations are used;
// no platform math function.
#include "pixels/kernel_sine.h"

#include <cfloat>
#include <cstdint>
#include <cstring>

#if !defined(FLT_EVAL_METHOD) || FLT_EVAL_METHOD != 0
#error "the kernel's sine needs every double operation rounded to double (SSE2, no excess precision)"
#endif

namespace {

// Below this |x|, sin x rounds to x: sin x = x - x^3/6 + ... with
// x^3/6 < |x| * 2^-54.58, less than half the gap below x, even when x is a
// power of two (where the gap below is |x| * 2^-53).
const double TINY = 0x1p-26;

// 2/pi rounded, to choose k = nearest integer to x / (pi/2). Any k with
// |x - k pi/2| <= 0.8 serves; k <= 6 in the domain.
const double TWO_OVER_PI = 0x1.45f306dc9c883p-1;

// pi/2 = PIO2_1 + PIO2_2 + PIO2_3 + PIO2_4 + d, |d| < 2^-203. The first three
// have at most 50 significant bits, so k * PIO2_i is exact for k < 8.
const double PIO2_1 = 0x1.921fb54442d18p+0;
const double PIO2_2 = 0x1.1a62633145c00p-54;
const double PIO2_3 = 0x1.b839a25204980p-104;
const double PIO2_4 = 0x1.044533e63a010p-150;

// ---- Double-double arithmetic ------------------------------------------------
// A value hi + lo with |lo| <= half an ulp of hi. Error bounds: Joldes,
// Muller and Popescu, "Tight and rigorous error bounds for basic building
// blocks of double-word arithmetic" (2017), with u = 2^-53.

struct Dd {
    double hi, lo;
};

// a + b = s + e exactly (Knuth).
inline Dd two_sum(double a, double b)
{
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// a + b = s + e exactly, when |a| >= |b| or a = 0 (Dekker).
inline Dd fast_two_sum(double a, double b)
{
    const double s = a + b;
    return {s, b - (s - a)};
}

// a * b = p + e exactly (Dekker, with Veltkamp's split into 26-bit halves).
const double SPLITTER = 134217729.0; // 2^27 + 1
inline Dd two_prod(double a, double b)
{
    const double p = a * b;
    double t = SPLITTER * a;
    const double ah = t - (t - a), al = a - ah;
    t = SPLITTER * b;
    const double bh = t - (t - b), bl = b - bh;
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

// Relative error <= 7u^2 (DWTimesDW1).
inline Dd dd_mul(Dd a, Dd b)
{
    const Dd p = two_prod(a.hi, b.hi);
    return fast_two_sum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

// a + b for |b| <= |a| / 2 (no cancellation): relative error at most
// 2u^2 (|a| + |b|) / |a + b| <= 6u^2.
inline Dd dd_add(Dd a, Dd b)
{
    const Dd s = two_sum(a.hi, b.hi);
    return fast_two_sum(s.hi, s.lo + (a.lo + b.lo));
}

// ---- Taylor coefficients -------------------------------------------------------
// sin r = r * (1 + z * (S1 + z * (S2 + ...))), cos r = 1 + z * (C1 + z * (C2 + ...)),
// z = r^2, Sj = (-1)^j / (2j+1)!, Cj = (-1)^j / (2j)!, up to j = 11 (the
// rest is below 2^-86 of the result for |r| <= 0.8). The first DD_TERMS
// coefficients are double-doubles (hi, lo rounded to nearest from 400-bit
// values), the others doubles. |r| <= 0.8, so z <= 0.64.
const int DD_TERMS = 3;
const int SERIES_TERMS = 11;
const Dd SIN_DD[DD_TERMS] = {
    {-0x1.5555555555555p-3, -0x1.5555555555555p-57},
    {0x1.1111111111111p-7, 0x1.1111111111111p-63},
    {-0x1.a01a01a01a01ap-13, -0x1.a01a01a01a01ap-73},
};
const double SIN_D[SERIES_TERMS - DD_TERMS] = {
    0x1.71de3a556c734p-19, -0x1.ae64567f544e4p-26, 0x1.6124613a86d09p-33, -0x1.ae7f3e733b81fp-41,
    0x1.952c77030ad4ap-49, -0x1.2f49b46814157p-57, 0x1.71b8ef6dcf572p-66, -0x1.761b41316381ap-75,
};
const Dd COS_DD[DD_TERMS] = {
    {-0x1p-1, 0.0},
    {0x1.5555555555555p-5, 0x1.5555555555555p-59},
    {-0x1.6c16c16c16c17p-10, 0x1.f49f49f49f49fp-65},
};
const double COS_D[SERIES_TERMS - DD_TERMS] = {
    0x1.a01a01a01a01ap-16, -0x1.27e4fb7789f5cp-22, 0x1.1eed8eff8d898p-29, -0x1.93974a8c07c9dp-37,
    0x1.ae7f3e733b81fp-45, -0x1.6827863b97d97p-53, 0x1.e542ba4020225p-62, -0x1.0ce396db7f853p-70,
};

// 1 + z * (c[0] + z * (c[1] + ...)): the tail in double, the head in
// double-double.
Dd series(Dd z, const Dd *head, const double *tail)
{
    double t = tail[SERIES_TERMS - DD_TERMS - 1];
    for (int j = SERIES_TERMS - DD_TERMS - 2; j >= 0; j--) t = tail[j] + z.hi * t;
    Dd acc = {t, 0.0};
    for (int j = DD_TERMS - 1; j >= 0; j--) acc = dd_add(head[j], dd_mul(z, acc));
    return dd_add(Dd{1.0, 0.0}, dd_mul(z, acc));
}

double magnitude(double v)
{
    return v < 0.0 ? -v : v;
}

// ---- Fixed-point numbers of 32-bit limbs -----------------------------------------
// A Fixed of n fraction limbs holds the integer A of n + 1 limbs, least
// significant first, and stands for A * 2^(-32n): limb[n] is the integer part.
const int LIMB_BITS = 32;
const int MAX_FRACTION_LIMBS = 64;
const int FIRST_FRACTION_LIMBS = 4;

struct Fixed {
    uint32_t limb[MAX_FRACTION_LIMBS + 1];
};

// The fraction of pi/2 (pi/2 = 1.921fb544...), most significant limb first,
// truncated: its first n limbs are within 2^(-32n) below the fraction.
const uint32_t PIO2_FRACTION[MAX_FRACTION_LIMBS] = {
    0x921fb544, 0x42d18469, 0x898cc517, 0x01b839a2, 0x52049c11, 0x14cf98e8, 0x04177d4c, 0x76273644,
    0xa29410f3, 0x1c6809bb, 0xdf2a3367, 0x9a748636, 0x605614db, 0xe4be286e, 0x9fc26ada, 0xdaa3848b,
    0xc90b6aec, 0xc4bcfd8d, 0xe89885d3, 0x4c6fdad6, 0x17feb96d, 0xe80d6fdb, 0xdc70d7f6, 0xb5133f4b,
    0x5d3e4822, 0xf8963fcc, 0x9250cca3, 0xd9c8b67b, 0x8400f971, 0x42c77e0b, 0x31b4906c, 0x38aba734,
    0xd22c7f51, 0xfa499ebf, 0x06caba47, 0xb9475b2c, 0x38c5e6ac, 0x410aa577, 0x3daa520e, 0xe12d2cda,
    0xce186a9c, 0x95793009, 0xe2e8d811, 0x943042f8, 0x6520bc8c, 0x5c6d9c77, 0xc73cee58, 0x301d0c07,
    0x364f0745, 0xd80f451f, 0x6b8abbe0, 0xde98a593, 0xbc5797ed, 0x2ab02e30, 0x732a92f9, 0xd52ad5ca,
    0x2ba44c31, 0x31f40a20, 0x2ae51cb5, 0x1555885b, 0x5a662e1a, 0x08a0f467, 0x50aa4357, 0xbe3974c9,
};

void fixed_set_small(Fixed *a, int n, uint32_t integer)
{
    std::memset(a->limb, 0, sizeof(uint32_t) * (size_t)(n + 1));
    a->limb[n] = integer;
}

bool fixed_is_zero(const Fixed &a, int n)
{
    for (int i = 0; i <= n; i++)
        if (a.limb[i]) return false;
    return true;
}

int fixed_compare(const Fixed &a, const Fixed &b, int n)
{
    for (int i = n; i >= 0; i--)
        if (a.limb[i] != b.limb[i]) return a.limb[i] < b.limb[i] ? -1 : 1;
    return 0;
}

// r = a + b (no overflow in this file's uses: values stay below 16).
void fixed_add(const Fixed &a, const Fixed &b, int n, Fixed *r)
{
    uint64_t carry = 0;
    for (int i = 0; i <= n; i++) {
        const uint64_t s = (uint64_t)a.limb[i] + b.limb[i] + carry;
        r->limb[i] = (uint32_t)s;
        carry = s >> LIMB_BITS;
    }
}

// r = a - b, for a >= b.
void fixed_sub(const Fixed &a, const Fixed &b, int n, Fixed *r)
{
    uint64_t borrow = 0;
    for (int i = 0; i <= n; i++) {
        const uint64_t d = (uint64_t)a.limb[i] - b.limb[i] - borrow;
        r->limb[i] = (uint32_t)d;
        borrow = (d >> LIMB_BITS) & 1;
    }
}

// r = a * b truncated to n fraction limbs (at most one unit below the
// exact product). r may be a or b.
void fixed_mul(const Fixed &a, const Fixed &b, int n, Fixed *r)
{
    uint32_t full[2 * (MAX_FRACTION_LIMBS + 1)];
    std::memset(full, 0, sizeof(uint32_t) * (size_t)(2 * (n + 1)));
    for (int i = 0; i <= n; i++) {
        uint64_t carry = 0;
        for (int j = 0; j <= n; j++) {
            const uint64_t t = (uint64_t)a.limb[i] * b.limb[j] + full[i + j] + carry;
            full[i + j] = (uint32_t)t;
            carry = t >> LIMB_BITS;
        }
        full[i + n + 1] = (uint32_t)carry;
    }
    for (int i = 0; i <= n; i++) r->limb[i] = full[i + n];
}

// a /= d, truncated (at most one unit below the exact quotient).
void fixed_div_small(Fixed *a, int n, uint32_t d)
{
    uint64_t rem = 0;
    for (int i = n; i >= 0; i--) {
        const uint64_t cur = (rem << LIMB_BITS) | a->limb[i];
        a->limb[i] = (uint32_t)(cur / d);
        rem = cur % d;
    }
}

// a *= k.
void fixed_mul_small(Fixed *a, int n, uint32_t k)
{
    uint64_t carry = 0;
    for (int i = 0; i <= n; i++) {
        const uint64_t t = (uint64_t)a->limb[i] * k + carry;
        a->limb[i] = (uint32_t)t;
        carry = t >> LIMB_BITS;
    }
}

// Bit i of A (0 = least significant).
int fixed_bit(const Fixed &a, int i)
{
    return (int)((a.limb[i / LIMB_BITS] >> (i % LIMB_BITS)) & 1u);
}

// 2^e as a double, for normal results (-1022 <= e <= 1023): built from its bits.
const int DOUBLE_EXPONENT_BIAS = 1023;
const int DOUBLE_FRACTION_BITS = 52;
double power_of_two(int e)
{
    const uint64_t bits = (uint64_t)(e + DOUBLE_EXPONENT_BIAS) << DOUBLE_FRACTION_BITS;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// A * 2^(-32n) rounded to the nearest double, ties to even. A is nonzero
// and the result normal (here between 2^-64 and 2).
double fixed_to_double(const Fixed &a, int n)
{
    int top = n;
    while (a.limb[top] == 0) top--;
    int high = top * LIMB_BITS + LIMB_BITS - 1;
    while (!fixed_bit(a, high)) high--;
    const int low = high - DOUBLE_FRACTION_BITS; // lowest bit kept
    uint64_t mantissa = 0;
    for (int i = high; i >= low && i >= 0; i--) mantissa = (mantissa << 1) | (uint64_t)fixed_bit(a, i);
    if (low > 0) {
        const int half = fixed_bit(a, low - 1);
        bool sticky = false;
        for (int i = low - 2; i >= 0 && !sticky; i--) sticky = fixed_bit(a, i) != 0;
        if (half && (sticky || (mantissa & 1))) mantissa++;
    }
    const int scale = (low > 0 ? low : 0) - n * LIMB_BITS;
    return (double)mantissa * power_of_two(scale);
}

// |x| * 2^(32n) exactly, for 2^-26 <= |x| < 16 (its lowest bit is at 2^-78
// or above, n >= 3).
void fixed_from_double(double x, int n, Fixed *a)
{
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const int exponent = (int)((bits >> DOUBLE_FRACTION_BITS) & 0x7ff) - DOUBLE_EXPONENT_BIAS;
    const uint64_t mantissa = (bits & ((1ull << DOUBLE_FRACTION_BITS) - 1)) | (1ull << DOUBLE_FRACTION_BITS);
    fixed_set_small(a, n, 0);
    const int shift = exponent - DOUBLE_FRACTION_BITS + n * LIMB_BITS; // position of the mantissa's bit 0
    for (int i = 0; i <= DOUBLE_FRACTION_BITS; i++)
        if ((mantissa >> i) & 1) a->limb[(shift + i) / LIMB_BITS] |= 1u << ((shift + i) % LIMB_BITS);
}

int quadrant(double ax)
{
    return (int)(ax * TWO_OVER_PI + 0.5);
}

// One attempt of the exact path at n fraction limbs: 1 and *result =
// f(|r|) rounded (f = sin or cos) when the interval decides the rounding,
// else 0 (*result then holds the rounded midpoint of the interval). Either
// way *r_negative tells whether r = x - k pi/2 < 0: |r| >= 2^-53.86 exceeds
// the reduction's error by far, so the comparison decides it.
//
// Interval, in units of 2^(-32n):
//  - reduction: pi/2 truncated lies within one unit below pi/2, so the
//    computed r is within k <= 6 units of x - k pi/2; sin and cos move by at
//    most as much;
//  - series: every term t_j = t_(j-1) z / d_j is computed with two
//    truncations (product, quotient) from a truncated z; its error e_j obeys
//    e_j <= (e_(j-1) + 1) / d_j + 2 <= 5 (d_j >= 2, z and t below 1); J terms
//    add at most 5J;
//  - the series stops at the first term that comes out zero, whose exact
//    value is then at most 5 units; as the terms alternate and decrease
//    (z <= 0.64), the rest of the series is smaller still.
// Total at most 5J + 16 units; E = 8J + 32 is used.
int exact_attempt(double ax, int k, int n, double *result, bool *r_negative)
{
    Fixed r, t;
    fixed_from_double(ax, n, &r);
    fixed_set_small(&t, n, 1);
    for (int i = 0; i < n; i++) t.limb[n - 1 - i] = PIO2_FRACTION[i];
    fixed_mul_small(&t, n, (uint32_t)k);
    *r_negative = fixed_compare(r, t, n) < 0;
    if (*r_negative) {
        fixed_sub(t, r, n, &r);
    } else {
        fixed_sub(r, t, n, &r);
    }
    Fixed z, sum, term;
    fixed_mul(r, r, n, &z);
    const bool cosine = (k & 1) != 0;
    if (cosine) {
        fixed_set_small(&sum, n, 1);
        fixed_set_small(&term, n, 1);
    } else {
        sum = r;
        term = r;
    }
    int terms = 0;
    for (uint32_t j = 1;; j++) {
        fixed_mul(term, z, n, &term);
        fixed_div_small(&term, n, cosine ? (2 * j - 1) * (2 * j) : (2 * j) * (2 * j + 1));
        if (fixed_is_zero(term, n)) break;
        terms++;
        if (j & 1) {
            fixed_sub(sum, term, n, &sum);
        } else {
            fixed_add(sum, term, n, &sum);
        }
    }
    Fixed e, low, high;
    fixed_set_small(&e, n, 0);
    e.limb[0] = (uint32_t)(8 * terms + 32);
    *result = fixed_to_double(sum, n);
    if (fixed_compare(sum, e, n) <= 0) return 0;
    fixed_sub(sum, e, n, &low);
    fixed_add(sum, e, n, &high);
    return fixed_to_double(low, n) == fixed_to_double(high, n);
}

} // namespace

void kernel_sin_approx(double x, double *hi, double *lo)
{
    // Error bound, relative to sin x, for 2^-26 <= |x| <= 10:
    //
    // Reduction. For k >= 1, x >= pi/4 - tiny > 0.5, so x and k * PIO2_1 are
    // multiples of 2^-53 and t = x - k PIO2_1 (|t| < 1) is exact; s + e =
    // t - k PIO2_2 is exact (two_sum). w = (e - k PIO2_3) - k PIO2_4 rounds
    // twice, by at most 2^-52 (|e| + |k PIO2_3| + |k PIO2_4|) <=
    // 2^-105 |r| + 2^-151, plus 2^-200 from k * PIO2_4 and 6 * 2^-203 from
    // the parts of pi/2 left out. r = rh + rl = s + w exactly (two_sum). So
    // |rh + rl - (x - k pi/2)| <= 2^-105 |r| + 2^-150. The nearest double to
    // a multiple of pi/2 (k = 1 ... 6) is 2^-53.86 away from it, so
    // |r| >= 2^-53.86 and the relative error is below 2^-96. (k = 0: r = x.)
    //
    // Series (|r| <= 0.8, z <= 0.64). z = r^2 within 2^-101. Every
    // double-double step c + z * acc adds at most 13u^2 and loses no digits
    // (|z * acc| < |c| / 18); the DD_TERMS steps together stay below 2^-99.
    // The double tail starts at the term of order 2 * DD_TERMS + 2, at most
    // 2^-17.35 of the result (cos r at r = 0.8: 0.8^8 / 8! / cos 0.8; for
    // sin, 2^-21), and is computed within 4u (its Horner steps lose no
    // digits either, z rounded to double adds u), so it adds at most
    // 2^-68.35. Truncation after 11 terms: below 2^-86 (the first term
    // left out: 0.8^24 / 24! / cos 0.8 for cos, less for sin; the terms
    // alternate and decrease). The final
    // 1 + z * acc (at least cos 0.8 = 0.69) and r * poly add 2^-101 each.
    //
    // Total below 2^-68; KERNEL_SINE_FAST_ERROR allows 2^-64.
    const double ax = magnitude(x);
    const int k = quadrant(ax);
    Dd r;
    if (k == 0) {
        r = Dd{ax, 0.0};
    } else {
        const double kd = (double)k;
        const double t = ax - kd * PIO2_1;
        const Dd s = two_sum(t, -(kd * PIO2_2));
        const double w = (s.lo - kd * PIO2_3) - kd * PIO2_4;
        r = two_sum(s.hi, w);
    }
    const Dd z = dd_mul(r, r);
    Dd y = (k & 1) ? series(z, COS_DD, COS_D) : dd_mul(r, series(z, SIN_DD, SIN_D));
    // sin(x) = sin r, cos r, -sin r, -cos r for k = 0, 1, 2, 3 (mod 4); odd in x.
    const bool negative = ((k & 2) != 0) != (x < 0.0);
    *hi = negative ? -y.hi : y.hi;
    *lo = negative ? -y.lo : y.lo;
}

int kernel_sin_fast(double x, double *result)
{
    const double ax = magnitude(x);
    if (!(ax <= KERNEL_SINE_MAX)) { // NaN or out of the domain
        *result = (x - x) / (x - x);
        return 1;
    }
    if (ax < TINY) {
        *result = x;
        return 1;
    }
    double hi, lo;
    kernel_sin_approx(x, &hi, &lo);
    // sin x lies within err_true < 2^-68 |hi| of hi + lo. With err = 2^-64
    // |hi| (exact: a power of two times hi), lo - err and lo + err round by
    // less than 2^-104 |hi|, so the two sums below bracket sin x; as rounding
    // to nearest is monotone, when they round alike sin x rounds the same.
    const double err = KERNEL_SINE_FAST_ERROR * magnitude(hi);
    const double below = hi + (lo - err), above = hi + (lo + err);
    if (below != above) return 0;
    *result = below;
    return 1;
}

double kernel_sin_exact(double x, int *bits)
{
    if (bits) *bits = 0;
    const double ax = magnitude(x);
    if (!(ax <= KERNEL_SINE_MAX)) return (x - x) / (x - x);
    if (ax < TINY) return x;
    const int k = quadrant(ax);
    // sin(x) = +-f(|r|), f = sin or cos, r = x - k pi/2.
    double y = 0.0;
    bool r_negative = false;
    int n = FIRST_FRACTION_LIMBS;
    for (;; n *= 2) {
        if (exact_attempt(ax, k, n, &y, &r_negative) || n == MAX_FRACTION_LIMBS) break;
    }
    if (bits) *bits = n * LIMB_BITS;
    bool negative = (k & 2) != 0;
    if (!(k & 1) && r_negative) negative = !negative;
    if (x < 0.0) negative = !negative;
    return negative ? -y : y;
}

double kernel_sin(double x)
{
    double y;
    if (kernel_sin_fast(x, &y)) return y;
    return kernel_sin_exact(x, nullptr);
}
