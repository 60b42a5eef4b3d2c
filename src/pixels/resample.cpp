// Lanczos-3 resampler. The arithmetic is fixed to the last bit: double
// kernel and weight sums, single-precision accumulators, taps added in
// ascending order, every operation rounded on its own (no FMA, no excess
// precision). Reordering any of it moves results that lie next to a half.
//
// Pass 1 forms only the intermediate columns that pass 2's taps reach: when
// shrinking, an output column reads just its five or six nearest source
// columns, so a frame reduced to a thumbnail needs a fraction of them. The
// values it does form are the very ones a full pass would, bit for bit.
//
// The row kernels work on several channel values at once with SSE2 (part of
// every x86-64 processor) and fall back to plain loops elsewhere and for the
// pixels left over at the end of a row. Each lane performs exactly the
// scalar operations in the scalar order: IEEE single and double operations
// round the same in a vector lane as in a scalar register, so the two paths
// give the same bits on every platform.
#include "pixels/resample.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/error.h"
#include "pixels/kernel_sine.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define RESAMPLE_SSE2 1
#else
#define RESAMPLE_SSE2 0
#endif

static const double PI_D = 3.141592653589793;
// Below this distance from a sample the kernel is exactly 1.
static const double KERNEL_CENTRE_EPS = 1e-9;
static const double KERNEL_RADIUS = 3.0;
static const int CHANNELS = 4;
// Channel values (bytes) the vertical kernel takes per step: one 16-byte load.
static const int VERTICAL_BLOCK = 16;
// Pixels the horizontal kernel finishes per step: one 16-byte store.
static const int HORIZONTAL_BLOCK = 4;

double lanczos3(double x)
{
    const double a = std::fabs(x);
    if (a >= KERNEL_RADIUS) return 0.0;
    if (a < KERNEL_CENTRE_EPS) return 1.0;
    const double p = a * PI_D;
    const double q = p / 3.0;
    // The correctly rounded sine, not the platform's: the weights are then
    // the same bits on every platform (see kernel_sine.cpp).
    return (kernel_sin(p) / p) * (kernel_sin(q) / q);
}

void lanczos_taps(int32_t n, int32_t m, int32_t i, TapSet *taps)
{
    const double s = (double)n / (double)m;
    const double c = ((double)i + 0.5) * s - 0.5;
    const int32_t lo = (int32_t)std::floor(c) - 3;
    int count = 0;
    double sum = 0.0;
    for (int32_t k = lo; k <= lo + 7 && count < LANCZOS_TAPS; k++) {
        const double d = (double)k - c;
        if (!(std::fabs(d) < KERNEL_RADIUS)) continue;
        const double w = lanczos3(d);
        taps->index[count] = k < 0 ? 0 : (k > n - 1 ? n - 1 : k);
        taps->weight[count] = w;
        sum += w;
        count++;
    }
    taps->count = count;
    taps->weight_sum = sum;
    for (int t = count; t < LANCZOS_TAPS; t++) {
        taps->index[t] = 0;
        taps->weight[t] = 0.0;
    }
}

// Pass 2's view of one output column: weights already rounded to single.
// Every column has all six taps; the unused ones weigh +0, and adding a +0
// or -0 product changes no accumulator but the sign of a zero, which no
// byte can see (negative values and zeros both give 0).
struct ColumnTaps {
    int32_t offset[LANCZOS_TAPS]; // float offset of the tap's pixel in a row
    float weight[LANCZOS_TAPS];
    float weight_sum;
};

// The byte of one finished channel value: negative values and zero give 0;
// otherwise min(v, 255) + 0.5, added in single precision, truncated. The
// + 0.5f in single precision is what lets 0.49999997 round up to 1.
static unsigned char to_byte(float v)
{
    if (v < 0.0f) return 0;
    return (unsigned char)(int)((v < 255.0f ? v : 255.0f) + 0.5f);
}

// Intermediate values [from, to) of one row: products of byte and weight in
// double, rounded to single, summed in single in ascending tap order, then
// divided by the weight sum rounded to single.
static void vertical_values(const unsigned char *const *rows, const double *weight, int count, float sum,
                            int64_t from, int64_t to, float *row)
{
    for (int64_t q = from; q < to; q++) {
        float acc = 0.0f;
        for (int t = 0; t < count; t++) acc += (float)((double)rows[t][q] * weight[t]);
        row[q] = acc / sum;
    }
}

#if RESAMPLE_SSE2
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

// Sixteen channel values per step, four accumulators of four lanes each.
static int64_t vertical_blocks(const unsigned char *const *rows, const double *weight, int count, float sum,
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
    // Then one pixel (four values) at a time: a short run of columns ends
    // here instead of in the scalar loop.
    for (; q + CHANNELS <= values; q += CHANNELS) {
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
#endif

// Products of every byte value with each tap's weight, one table per tap:
// (float)((double)b * w) for b = 0..255, the very values the kernel forms.
// Looking a product up costs less than converting, multiplying and
// rounding it, once a row forms enough values to pay for making the tables.
//
// The tables fill six slots whose lookups are added from slot 0 upwards.
// The accumulator's first addition, 0.0f + the first product, is made once
// per byte value: with six taps slot 0 holds 0.0f + product of tap 0; with
// five, slot 0 holds zeros and slots 1..5 the products of taps 0..4, so the
// sums are again (0.0f + p0) + p1 + ... in that order.
static const int BYTE_VALUES = 256;
static const int64_t TABLE_MIN_VALUES = 2048;

struct ProductTables {
    float slot[LANCZOS_TAPS][BYTE_VALUES];
    const unsigned char *row[LANCZOS_TAPS]; // the source row each slot reads
};

static void make_product_table(double weight, float *product)
{
    int b = 0;
#if RESAMPLE_SSE2
    const __m128d w = _mm_set1_pd(weight);
    const __m128i step = _mm_set1_epi32(4);
    __m128i bytes = _mm_setr_epi32(0, 1, 2, 3);
    for (; b < BYTE_VALUES; b += 4, bytes = _mm_add_epi32(bytes, step))
        _mm_storeu_ps(product + b, products_of_four(bytes, w));
#endif
    for (; b < BYTE_VALUES; b++) product[b] = (float)((double)b * weight);
}

static void make_product_tables(const unsigned char *const *rows, const TapSet &taps, ProductTables *pt)
{
    const int first = LANCZOS_TAPS - taps.count; // slot of tap 0
    for (int s = 0; s < first; s++) {
        for (int b = 0; b < BYTE_VALUES; b++) pt->slot[s][b] = 0.0f;
        pt->row[s] = rows[0];
    }
    for (int t = 0; t < taps.count; t++) {
        make_product_table(taps.weight[t], pt->slot[first + t]);
        pt->row[first + t] = rows[t];
    }
    if (first == 0)
        for (int b = 0; b < BYTE_VALUES; b++) pt->slot[0][b] = 0.0f + pt->slot[0][b];
}

// The values [0, count) of one run, as vertical_values forms them, each
// product looked up. Every byte is loaded on its own, straight into an
// index: fewer instructions than taking words apart in registers. Four
// sums at a time are divided together where SSE2 is at hand.
static void lookup_values(const ProductTables &pt, float sum, int64_t first, int64_t count, float *row)
{
    const float *p0 = pt.slot[0], *p1 = pt.slot[1], *p2 = pt.slot[2], *p3 = pt.slot[3], *p4 = pt.slot[4],
                *p5 = pt.slot[5];
    const unsigned char *r0 = pt.row[0] + first, *r1 = pt.row[1] + first, *r2 = pt.row[2] + first,
                        *r3 = pt.row[3] + first, *r4 = pt.row[4] + first, *r5 = pt.row[5] + first;
    int64_t q = 0;
#if RESAMPLE_SSE2
    const __m128 divisor = _mm_set1_ps(sum);
    for (; q + CHANNELS <= count; q += CHANNELS) {
        float v[CHANNELS];
#pragma GCC unroll 4
        for (int j = 0; j < CHANNELS; j++)
            v[j] = ((((p0[r0[q + j]] + p1[r1[q + j]]) + p2[r2[q + j]]) + p3[r3[q + j]]) + p4[r4[q + j]]) +
                   p5[r5[q + j]];
        _mm_storeu_ps(row + q, _mm_div_ps(_mm_setr_ps(v[0], v[1], v[2], v[3]), divisor));
    }
#endif
    for (; q < count; q++)
        row[q] = (((((p0[r0[q]] + p1[r1[q]]) + p2[r2[q]]) + p3[r3[q]]) + p4[r4[q]]) + p5[r5[q]]) / sum;
}

// A run of consecutive source columns that pass 2 reads, in channel values:
// where it starts in a source row and in the packed intermediate row.
struct ColumnSpan {
    int64_t source, packed, count;
};

// The intermediate values of the columns in spans, packed one run after
// the other, from the source rows that one output row draws on.
static void vertical_row(const ImageRegion &src, const TapSet &taps, const ColumnSpan *spans, int32_t span_count,
                         int64_t packed_values, float *row)
{
    const unsigned char *rows[LANCZOS_TAPS];
    for (int t = 0; t < LANCZOS_TAPS; t++) rows[t] = src.pixels + taps.index[t] * src.stride;
    const float sum = (float)taps.weight_sum;
    if (packed_values >= TABLE_MIN_VALUES) {
        ProductTables pt;
        make_product_tables(rows, taps, &pt);
        for (int32_t s = 0; s < span_count; s++)
            lookup_values(pt, sum, spans[s].source, spans[s].count, row + spans[s].packed);
        return;
    }
    for (int32_t s = 0; s < span_count; s++) {
        const ColumnSpan &span = spans[s];
        const unsigned char *span_rows[LANCZOS_TAPS];
        for (int t = 0; t < LANCZOS_TAPS; t++) span_rows[t] = rows[t] + span.source;
        float *out = row + span.packed;
        int64_t done = 0;
#if RESAMPLE_SSE2
        done = vertical_blocks(span_rows, taps.weight, taps.count, sum, span.count, out);
#endif
        vertical_values(span_rows, taps.weight, taps.count, sum, done, span.count, out);
    }
}

// Output pixels [from, to) of one row, one channel at a time.
static void horizontal_pixels(const float *row, const ColumnTaps *cols, int32_t from, int32_t to,
                              unsigned char *out)
{
    for (int32_t k = from; k < to; k++) {
        const ColumnTaps &ct = cols[k];
        float acc[CHANNELS] = {0.0f, 0.0f, 0.0f, 0.0f};
        for (int t = 0; t < LANCZOS_TAPS; t++) {
            const float *p = row + ct.offset[t];
            const float w = ct.weight[t];
            for (int ch = 0; ch < CHANNELS; ch++) acc[ch] += w * p[ch];
        }
        for (int ch = 0; ch < CHANNELS; ch++) out[(int64_t)k * CHANNELS + ch] = to_byte(acc[ch] / ct.weight_sum);
    }
}

#if RESAMPLE_SSE2
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
static int32_t horizontal_blocks(const float *row, const ColumnTaps *cols, int32_t dw, unsigned char *out)
{
    int32_t k = 0;
    for (; k + HORIZONTAL_BLOCK <= dw; k += HORIZONTAL_BLOCK) {
        const __m128i p01 = _mm_packs_epi32(horizontal_pixel(row, cols[k]), horizontal_pixel(row, cols[k + 1]));
        const __m128i p23 = _mm_packs_epi32(horizontal_pixel(row, cols[k + 2]), horizontal_pixel(row, cols[k + 3]));
        _mm_storeu_si128((__m128i *)(out + (int64_t)k * CHANNELS), _mm_packus_epi16(p01, p23));
    }
    return k;
}
#endif

// Bytes of one output row from one intermediate row.
static void horizontal_row(const float *row, const ColumnTaps *cols, int32_t dw, unsigned char *out)
{
    int32_t done = 0;
#if RESAMPLE_SSE2
    done = horizontal_blocks(row, cols, dw, out);
#endif
    horizontal_pixels(row, cols, done, dw, out);
}

ImageRegion image_region(const Image &image, int32_t x, int32_t y, int32_t w, int32_t h)
{
    const int64_t stride = (int64_t)image.width * CHANNELS;
    return ImageRegion{image.pixels + (int64_t)y * stride + (int64_t)x * CHANNELS, w, h, stride};
}

ImageRegion whole_image(const Image &image)
{
    return image_region(image, 0, 0, image.width, image.height);
}

// The taps of every output column, and the runs of source columns they
// reach (their union, ascending), packed into one intermediate row of
// *packed_values values. used and packed_at are scratch of sw entries.
static void plan_columns(int32_t sw, int32_t dw, ColumnTaps *cols, unsigned char *used, int32_t *packed_at,
                         ColumnSpan *spans, int32_t *span_count, int64_t *packed_values)
{
    std::memset(used, 0, (size_t)sw);
    for (int32_t k = 0; k < dw; k++) {
        TapSet taps;
        lanczos_taps(sw, dw, k, &taps);
        for (int t = 0; t < LANCZOS_TAPS; t++) {
            // An unused slot weighs +0 and may read any value that exists:
            // the one of the first tap. Offsets hold source columns for now.
            cols[k].offset[t] = taps.index[t < taps.count ? t : 0];
            cols[k].weight[t] = (float)taps.weight[t];
            used[cols[k].offset[t]] = 1;
        }
        cols[k].weight_sum = (float)taps.weight_sum;
    }
    int32_t packed = 0, n = 0;
    for (int32_t j = 0; j < sw; j++) {
        if (!used[j]) continue;
        if (j > 0 && used[j - 1]) {
            spans[n - 1].count += CHANNELS;
        } else {
            spans[n] = ColumnSpan{(int64_t)j * CHANNELS, (int64_t)packed * CHANNELS, CHANNELS};
            n++;
        }
        packed_at[j] = packed++;
    }
    *span_count = n;
    *packed_values = (int64_t)packed * CHANNELS;
    for (int32_t k = 0; k < dw; k++)
        for (int t = 0; t < LANCZOS_TAPS; t++) cols[k].offset[t] = packed_at[cols[k].offset[t]] * CHANNELS;
}

Image resize_image(const ImageRegion &source, int32_t dw, int32_t dh)
{
    Image out{dw, dh, nullptr};
    out.pixels = (unsigned char *)std::malloc((size_t)image_bytes(dw, dh));
    if (!out.pixels) {
        set_err("out of memory for %dx%d resize", dw, dh);
        return out;
    }
    const int32_t sw = source.width, sh = source.height;
    // The horizontal pass of output row i reads only intermediate row i, so
    // one intermediate row is enough (room for every column; only the
    // columns in use are written); with it live the column taps, the runs
    // of columns (no more than one per output column) and the scratch that
    // finds them.
    const int32_t max_spans = sw < dw ? sw : dw;
    const size_t row_bytes = (size_t)sw * CHANNELS * sizeof(float);
    const size_t cols_bytes = (size_t)dw * sizeof(ColumnTaps);
    const size_t spans_bytes = (size_t)max_spans * sizeof(ColumnSpan);
    const size_t packed_at_bytes = (size_t)sw * sizeof(int32_t);
    unsigned char *work =
        (unsigned char *)std::malloc(row_bytes + cols_bytes + spans_bytes + packed_at_bytes + (size_t)sw);
    if (!work) {
        std::free(out.pixels);
        out.pixels = nullptr;
        set_err("out of memory for resize");
        return out;
    }
    // In order of alignment: floats in groups of four, 64-bit spans, then
    // 32-bit and byte entries.
    float *row = (float *)work;
    ColumnSpan *spans = (ColumnSpan *)(work + row_bytes);
    ColumnTaps *cols = (ColumnTaps *)(work + row_bytes + spans_bytes);
    int32_t *packed_at = (int32_t *)(work + row_bytes + spans_bytes + cols_bytes);
    unsigned char *used = work + row_bytes + spans_bytes + cols_bytes + packed_at_bytes;
    int32_t span_count;
    int64_t packed_values;
    plan_columns(sw, dw, cols, used, packed_at, spans, &span_count, &packed_values);
    for (int32_t i = 0; i < dh; i++) {
        TapSet taps;
        lanczos_taps(sh, dh, i, &taps);
        vertical_row(source, taps, spans, span_count, packed_values, row);
        horizontal_row(row, cols, dw, out.pixels + (int64_t)i * dw * CHANNELS);
    }
    std::free(work);
    return out;
}

Image resize_image(const Image &source, int32_t dw, int32_t dh)
{
    return resize_image(whole_image(source), dw, dh);
}
