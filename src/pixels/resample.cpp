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
// The row kernels live in resample_scalar.cpp and, beside them, in
// resample_sse2.cpp; this file plans a resize and drives them.
#include "pixels/resample.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/error.h"
#include "pixels/kernel_sine.h"
#include "pixels/resample_plan.h"

static const double PI_D = 3.141592653589793;
// Below this distance from a sample the kernel is exactly 1.
static const double KERNEL_CENTRE_EPS = 1e-9;
static const double KERNEL_RADIUS = 3.0;
static const int CHANNELS = RESAMPLE_CHANNELS;
// A row forms its values through product tables (see below) from this many
// values on: fewer do not pay for making the tables.
static const int64_t TABLE_MIN_VALUES = 2048;

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

// Looking a product up costs less than converting, multiplying and
// rounding it, once a row forms enough values to pay for making the tables.
//
// The tables fill six slots whose lookups are added from slot 0 upwards.
// The accumulator's first addition, 0.0f + the first product, is made once
// per byte value: with six taps slot 0 holds 0.0f + product of tap 0; with
// five, slot 0 holds zeros and slots 1..5 the products of taps 0..4, so the
// sums are again (0.0f + p0) + p1 + ... in that order.
static void make_product_tables(const unsigned char *const *rows, const TapSet &taps, ProductTables *pt)
{
    const int first = LANCZOS_TAPS - taps.count; // slot of tap 0
    for (int s = 0; s < first; s++) {
        for (int b = 0; b < BYTE_VALUES; b++) pt->slot[s][b] = 0.0f;
        pt->row[s] = rows[0];
    }
    for (int t = 0; t < taps.count; t++) {
        float *product = pt->slot[first + t];
        product_table_values(taps.weight[t], product_table_blocks(taps.weight[t], product), product);
        pt->row[first + t] = rows[t];
    }
    if (first == 0)
        for (int b = 0; b < BYTE_VALUES; b++) pt->slot[0][b] = 0.0f + pt->slot[0][b];
}

// The intermediate values of the columns in the plan's spans, packed one run
// after the other, from the source rows that one output row draws on.
static void vertical_row(const ResamplePlan &plan, const TapSet &taps, const unsigned char *const *rows)
{
    const float sum = (float)taps.weight_sum;
    if (plan.packed_values >= TABLE_MIN_VALUES) {
        ProductTables pt;
        make_product_tables(rows, taps, &pt);
        for (int32_t s = 0; s < plan.span_count; s++) {
            const ColumnSpan &span = plan.spans[s];
            float *out = plan.row + span.packed;
            lookup_values(pt, sum, span.source, lookup_blocks(pt, sum, span.source, span.count, out), span.count,
                          out);
        }
        return;
    }
    for (int32_t s = 0; s < plan.span_count; s++) {
        const ColumnSpan &span = plan.spans[s];
        const unsigned char *span_rows[LANCZOS_TAPS];
        for (int t = 0; t < LANCZOS_TAPS; t++) span_rows[t] = rows[t] + span.source;
        float *out = plan.row + span.packed;
        const int64_t done = vertical_blocks(span_rows, taps.weight, taps.count, sum, span.count, out);
        vertical_values(span_rows, taps.weight, taps.count, sum, done, span.count, out);
    }
}

void resample_output_row(const ResamplePlan &plan, const TapSet &taps, const unsigned char *const *rows,
                         unsigned char *out_row)
{
    vertical_row(plan, taps, rows);
    horizontal_pixels(plan.row, plan.cols, horizontal_blocks(plan.row, plan.cols, plan.dw, out_row), plan.dw,
                      out_row);
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

int resample_plan_begin(int32_t sw, int32_t sh, int32_t dw, int32_t dh, ResamplePlan *plan, Image *out)
{
    *out = Image{dw, dh, nullptr};
    out->pixels = (unsigned char *)std::malloc((size_t)image_bytes(dw, dh));
    if (!out->pixels) {
        set_err("out of memory for %dx%d resize", dw, dh);
        return 0;
    }
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
        std::free(out->pixels);
        out->pixels = nullptr;
        set_err("out of memory for resize");
        return 0;
    }
    // In order of alignment: floats in groups of four, 64-bit spans, then
    // 32-bit and byte entries.
    plan->sw = sw;
    plan->sh = sh;
    plan->dw = dw;
    plan->dh = dh;
    plan->work = work;
    plan->row = (float *)work;
    plan->spans = (ColumnSpan *)(work + row_bytes);
    plan->cols = (ColumnTaps *)(work + row_bytes + spans_bytes);
    int32_t *packed_at = (int32_t *)(work + row_bytes + spans_bytes + cols_bytes);
    unsigned char *used = work + row_bytes + spans_bytes + cols_bytes + packed_at_bytes;
    plan_columns(sw, dw, plan->cols, used, packed_at, plan->spans, &plan->span_count, &plan->packed_values);
    return 1;
}

void resample_plan_end(ResamplePlan *plan)
{
    std::free(plan->work);
    plan->work = nullptr;
}

Image resize_image(const ImageRegion &source, int32_t dw, int32_t dh)
{
    ResamplePlan plan;
    Image out;
    if (!resample_plan_begin(source.width, source.height, dw, dh, &plan, &out)) return out;
    for (int32_t i = 0; i < dh; i++) {
        TapSet taps;
        lanczos_taps(source.height, dh, i, &taps);
        const unsigned char *rows[LANCZOS_TAPS];
        for (int t = 0; t < LANCZOS_TAPS; t++) rows[t] = source.pixels + taps.index[t] * source.stride;
        resample_output_row(plan, taps, rows, out.pixels + (int64_t)i * dw * CHANNELS);
    }
    resample_plan_end(&plan);
    return out;
}

Image resize_image(const Image &source, int32_t dw, int32_t dh)
{
    return resize_image(whole_image(source), dw, dh);
}
