// The PNG row filters undone with SSE2: Up 16 bytes at a time, and Sub,
// Average and Paeth one pixel at a time for pixels of 3 and 4 bytes (RGB
// and RGBA at 8 bits), where the left neighbour's dependency allows no
// more. Integer arithmetic: the bytes are the scalar kernel's.
#include "io/png/png_unfilter.h"

#if IMGTHUMB_SSE2
#include <cstring>
#include <emmintrin.h>

static const size_t UP_BLOCK = 16;
// The pixel sizes the per-pixel kernels take.
static const int RGB_BYTES = 3;
static const int RGBA_BYTES = 4;

static inline __m128i load_pixel(const unsigned char *p)
{
    int32_t v;
    std::memcpy(&v, p, sizeof v);
    return _mm_cvtsi32_si128(v);
}

// Writes the pixel's bpp bytes; a 3-byte pixel writes a fourth, which the
// next pixel (or the row's padding) takes.
static inline void store_pixel(unsigned char *p, __m128i v)
{
    const int32_t x = _mm_cvtsi128_si32(v);
    std::memcpy(p, &x, sizeof x);
}

static size_t up_blocks(const unsigned char *raw, const unsigned char *prior, unsigned char *out, size_t n)
{
    size_t i = 0;
    for (; i + UP_BLOCK <= n; i += UP_BLOCK) {
        const __m128i r = _mm_loadu_si128((const __m128i *)(raw + i));
        const __m128i p = _mm_loadu_si128((const __m128i *)(prior + i));
        _mm_storeu_si128((__m128i *)(out + i), _mm_add_epi8(r, p));
    }
    return i;
}

// Whole pixels of a row; the left neighbour of the first is zero.
static size_t sub_pixels(const unsigned char *raw, unsigned char *out, size_t n, size_t bpp)
{
    __m128i left = _mm_setzero_si128();
    size_t i = 0;
    for (; i + bpp <= n; i += bpp) {
        left = _mm_add_epi8(load_pixel(raw + i), left);
        store_pixel(out + i, left);
    }
    return i;
}

// (above + left) >> 1 without overflow: the rounded-up average less the
// bit that rounding added.
static size_t avg_pixels(const unsigned char *raw, const unsigned char *prior, unsigned char *out, size_t n,
                         size_t bpp)
{
    const __m128i one = _mm_set1_epi8(1);
    __m128i left = _mm_setzero_si128();
    size_t i = 0;
    for (; i + bpp <= n; i += bpp) {
        const __m128i b = load_pixel(prior + i);
        const __m128i avg = _mm_sub_epi8(_mm_avg_epu8(b, left), _mm_and_si128(_mm_xor_si128(b, left), one));
        left = _mm_add_epi8(load_pixel(raw + i), avg);
        store_pixel(out + i, left);
    }
    return i;
}

static inline __m128i abs16(__m128i v)
{
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

// Paeth in 16-bit lanes: pa = |b - c|, pb = |a - c|, pc = |a + b - 2c|;
// a where pa <= pb and pa <= pc, else b where pb <= pc, else c.
static size_t paeth_pixels(const unsigned char *raw, const unsigned char *prior, unsigned char *out, size_t n,
                           size_t bpp)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i a = zero, c = zero; // left and upper left, widened
    size_t i = 0;
    for (; i + bpp <= n; i += bpp) {
        const __m128i b = _mm_unpacklo_epi8(load_pixel(prior + i), zero);
        const __m128i pa = abs16(_mm_sub_epi16(b, c));
        const __m128i pb = abs16(_mm_sub_epi16(a, c));
        const __m128i pc = abs16(_mm_add_epi16(_mm_sub_epi16(b, c), _mm_sub_epi16(a, c)));
        const __m128i not_a = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
        const __m128i take_c = _mm_cmpgt_epi16(pb, pc);
        const __m128i b_or_c = _mm_or_si128(_mm_and_si128(take_c, c), _mm_andnot_si128(take_c, b));
        const __m128i pred = _mm_or_si128(_mm_and_si128(not_a, b_or_c), _mm_andnot_si128(not_a, a));
        const __m128i v = _mm_add_epi8(load_pixel(raw + i), _mm_packus_epi16(pred, zero));
        store_pixel(out + i, v);
        a = _mm_unpacklo_epi8(v, zero);
        c = b;
    }
    return i;
}

size_t png_unfilter_blocks(int filter, const unsigned char *raw, const unsigned char *prior, unsigned char *out,
                           size_t n, int bpp)
{
    if (filter == PNG_FILTER_UP) return up_blocks(raw, prior, out, n);
    if (bpp != RGB_BYTES && bpp != RGBA_BYTES) return 0;
    switch (filter) {
    case PNG_FILTER_SUB: return sub_pixels(raw, out, n, (size_t)bpp);
    case PNG_FILTER_AVG: return avg_pixels(raw, prior, out, n, (size_t)bpp);
    case PNG_FILTER_PAETH: return paeth_pixels(raw, prior, out, n, (size_t)bpp);
    default: return 0;
    }
}
#endif
