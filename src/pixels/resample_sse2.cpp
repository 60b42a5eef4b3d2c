// The resampler's SSE2 row kernels. Each lane performs exactly the scalar
// kernel's operations in the scalar order: IEEE single and double
// operations round the same in a vector lane as in a scalar register, so
// these kernels give the scalar kernels' bits on every platform. Each one
// handles a leading run of whole blocks and returns where the scalar
// kernel takes over.
#include "pixels/resample_kernels.h"

#if IMGTHUMB_SSE2
#include <cstring>
#include <emmintrin.h>

// Channel values (bytes) the vertical kernel takes per step: one 16-byte load.
static const int VERTICAL_BLOCK = 16;
// Pixels the horizontal kernel finishes per step: one 16-byte store.
static const int HORIZONTAL_BLOCK = 4;
// Byte values a product table fills per step.
static const int TABLE_BLOCK = 4;

// Two bytes (widened to the low two 32-bit lanes of b) times w in double,
// each rounded to single: the low two lanes of the result.
static inline __m128 products_of_two(__m128i b, __m128d w)
{
    return _mm_cvtpd_ps(_mm_mul_pd(_mm_cvtepi32_pd(b), w));
}

// Four widened bytes times w, each product exactly as the scalar kernel
// forms it.
static inline __m128 products_of_four(__m128i b, __m128d w)
{
    const __m128 lo = products_of_two(b, w);
    const __m128 hi = products_of_two(_mm_shuffle_epi32(b, _MM_SHUFFLE(1, 0, 3, 2)), w);
    return _mm_movelh_ps(lo, hi);
}

// Sixteen channel values per step, four accumulators of four lanes each,
// then one pixel (four values) at a time: a short run of columns ends here
// instead of in the scalar loop.
int64_t vertical_blocks(const unsigned char *const *rows, const double *weight, int count, float sum,
                        int64_t values, float *row)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128 divisor = _mm_set1_ps(sum);
    int64_t q = 0;
    for (; q + VERTICAL_BLOCK <= values; q += VERTICAL_BLOCK) {
        __m128 acc0 = _mm_setzero_ps(), acc1 = acc0, acc2 = acc0, acc3 = acc0;
        for (int t = 0; t < count; t++) {
            const __m128i bytes = _mm_loadu_si128((const __m128i *)(rows[t] + q));
            const __m128i lo = _mm_unpacklo_epi8(bytes, zero), hi = _mm_unpackhi_epi8(bytes, zero);
            const __m128d w = _mm_set1_pd(weight[t]);
            acc0 = _mm_add_ps(acc0, products_of_four(_mm_unpacklo_epi16(lo, zero), w));
            acc1 = _mm_add_ps(acc1, products_of_four(_mm_unpackhi_epi16(lo, zero), w));
            acc2 = _mm_add_ps(acc2, products_of_four(_mm_unpacklo_epi16(hi, zero), w));
            acc3 = _mm_add_ps(acc3, products_of_four(_mm_unpackhi_epi16(hi, zero), w));
        }
        _mm_storeu_ps(row + q, _mm_div_ps(acc0, divisor));
        _mm_storeu_ps(row + q + 4, _mm_div_ps(acc1, divisor));
        _mm_storeu_ps(row + q + 8, _mm_div_ps(acc2, divisor));
        _mm_storeu_ps(row + q + 12, _mm_div_ps(acc3, divisor));
    }
    for (; q + RESAMPLE_CHANNELS <= values; q += RESAMPLE_CHANNELS) {
        __m128 acc = _mm_setzero_ps();
        for (int t = 0; t < count; t++) {
            int32_t word;
            std::memcpy(&word, rows[t] + q, sizeof word);
            const __m128i bytes = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero), zero);
            acc = _mm_add_ps(acc, products_of_four(bytes, _mm_set1_pd(weight[t])));
        }
        _mm_storeu_ps(row + q, _mm_div_ps(acc, divisor));
    }
    return q;
}

int product_table_blocks(double weight, float *product)
{
    const __m128d w = _mm_set1_pd(weight);
    const __m128i step = _mm_set1_epi32(TABLE_BLOCK);
    __m128i bytes = _mm_setr_epi32(0, 1, 2, 3);
    int b = 0;
    for (; b + TABLE_BLOCK <= BYTE_VALUES; b += TABLE_BLOCK, bytes = _mm_add_epi32(bytes, step))
        _mm_storeu_ps(product + b, products_of_four(bytes, w));
    return b;
}

// Every byte is loaded on its own, straight into an index: fewer
// instructions than taking words apart in registers. Four sums at a time
// are divided together.
int64_t lookup_blocks(const ProductTables &pt, float sum, int64_t first, int64_t count, float *row)
{
    const float *p0 = pt.slot[0], *p1 = pt.slot[1], *p2 = pt.slot[2], *p3 = pt.slot[3], *p4 = pt.slot[4],
                *p5 = pt.slot[5];
    const unsigned char *r0 = pt.row[0] + first, *r1 = pt.row[1] + first, *r2 = pt.row[2] + first,
                        *r3 = pt.row[3] + first, *r4 = pt.row[4] + first, *r5 = pt.row[5] + first;
    const __m128 divisor = _mm_set1_ps(sum);
    int64_t q = 0;
    for (; q + RESAMPLE_CHANNELS <= count; q += RESAMPLE_CHANNELS) {
        float v[RESAMPLE_CHANNELS];
#pragma GCC unroll 4
        for (int j = 0; j < RESAMPLE_CHANNELS; j++)
            v[j] = ((((p0[r0[q + j]] + p1[r1[q + j]]) + p2[r2[q + j]]) + p3[r3[q + j]]) + p4[r4[q + j]]) +
                   p5[r5[q + j]];
        _mm_storeu_ps(row + q, _mm_div_ps(_mm_setr_ps(v[0], v[1], v[2], v[3]), divisor));
    }
    return q;
}

// One output pixel, its four channels in the four lanes, as truncated
// integers: t = min(v, 255) + 0.5 for every v, so that a negative v gives
// at most 0 and the saturating packs below turn it into the byte 0, as the
// scalar test v < 0 does.
static inline __m128i horizontal_pixel(const float *row, const ColumnTaps &ct)
{
    __m128 acc = _mm_setzero_ps();
#pragma GCC unroll 6
    for (int t = 0; t < LANCZOS_TAPS; t++)
        acc = _mm_add_ps(acc, _mm_mul_ps(_mm_set1_ps(ct.weight[t]), _mm_loadu_ps(row + ct.offset[t])));
    const __m128 v = _mm_div_ps(acc, _mm_set1_ps(ct.weight_sum));
    // minps(v, 255) is v < 255 ? v : 255, the scalar comparison.
    const __m128 t = _mm_add_ps(_mm_min_ps(v, _mm_set1_ps(255.0f)), _mm_set1_ps(0.5f));
    return _mm_cvttps_epi32(t);
}

// Four output pixels per step, stored as sixteen bytes at once.
int32_t horizontal_blocks(const float *row, const ColumnTaps *cols, int32_t dw, unsigned char *out)
{
    int32_t k = 0;
    for (; k + HORIZONTAL_BLOCK <= dw; k += HORIZONTAL_BLOCK) {
        const __m128i p01 = _mm_packs_epi32(horizontal_pixel(row, cols[k]), horizontal_pixel(row, cols[k + 1]));
        const __m128i p23 = _mm_packs_epi32(horizontal_pixel(row, cols[k + 2]), horizontal_pixel(row, cols[k + 3]));
        _mm_storeu_si128((__m128i *)(out + (int64_t)k * RESAMPLE_CHANNELS), _mm_packus_epi16(p01, p23));
    }
    return k;
}
#endif
