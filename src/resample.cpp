// Lanczos-3 resampler. The arithmetic is fixed to the last bit: double
// kernel and weight sums, single-precision accumulators, taps added in
// ascending order, every operation rounded on its own (no FMA, no excess
// precision). Reordering any of it moves results that lie next to a half.
#include "resample.h"

#include <cmath>
#include <cstdlib>

#include "error.h"

static const double PI_D = 3.141592653589793;
// Below this distance from a sample the kernel is exactly 1.
static const double KERNEL_CENTRE_EPS = 1e-9;
static const double KERNEL_RADIUS = 3.0;

double lanczos3(double x)
{
    const double a = std::fabs(x);
    if (a >= KERNEL_RADIUS) return 0.0;
    if (a < KERNEL_CENTRE_EPS) return 1.0;
    const double p = a * PI_D;
    const double q = p / 3.0;
    return (std::sin(p) / p) * (std::sin(q) / q);
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
struct ColumnTaps {
    int32_t offset[LANCZOS_TAPS]; // float offset of the tap's pixel in a row
    float weight[LANCZOS_TAPS];
    float weight_sum;
};

// One intermediate row (sw pixels, four floats each) from the source rows
// that output row i draws on: products in double, rounded to single, summed
// in single in ascending tap order, then divided by the rounded weight sum.
static void vertical_row(const Image &src, const TapSet &taps, float *row)
{
    const int64_t stride = (int64_t)src.width * 4;
    const unsigned char *rows[LANCZOS_TAPS];
    for (int t = 0; t < LANCZOS_TAPS; t++) rows[t] = src.pixels + taps.index[t] * stride;
    const float sum = (float)taps.weight_sum;
    const int count = taps.count;
    for (int64_t q = 0; q < stride; q++) {
        float acc = 0.0f;
        for (int t = 0; t < count; t++) acc += (float)((double)rows[t][q] * taps.weight[t]);
        row[q] = acc / sum;
    }
}

// Bytes of one output row from one intermediate row.
static void horizontal_row(const float *row, const ColumnTaps *cols, int32_t dw, unsigned char *out)
{
    for (int32_t k = 0; k < dw; k++) {
        const ColumnTaps &ct = cols[k];
        float acc[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        for (int t = 0; t < LANCZOS_TAPS; t++) {
            const float *p = row + ct.offset[t];
            const float w = ct.weight[t];
            for (int ch = 0; ch < 4; ch++) acc[ch] += w * p[ch];
        }
        for (int ch = 0; ch < 4; ch++) {
            const float v = acc[ch] / ct.weight_sum;
            // Kernel overshoots clamp; + 0.5f is added in single precision so
            // that 0.49999997 still truncates up to 1, as the format requires.
            unsigned char b = 0;
            if (!(v < 0.0f)) b = (unsigned char)(int)((v < 255.0f ? v : 255.0f) + 0.5f);
            out[(int64_t)k * 4 + ch] = b;
        }
    }
}

Image resize_image(const Image &source, int32_t dw, int32_t dh)
{
    Image out{dw, dh, nullptr};
    out.pixels = (unsigned char *)std::malloc((size_t)image_bytes(dw, dh));
    if (!out.pixels) {
        set_err("out of memory for %dx%d resize", dw, dh);
        return out;
    }
    const int32_t sw = source.width, sh = source.height;
    // The horizontal pass of output row i reads only intermediate row i, so
    // one intermediate row is enough; with it live the column taps.
    const size_t row_bytes = (size_t)sw * 4 * sizeof(float);
    const size_t cols_bytes = (size_t)dw * sizeof(ColumnTaps);
    unsigned char *work = (unsigned char *)std::malloc(row_bytes + cols_bytes);
    if (!work) {
        std::free(out.pixels);
        out.pixels = nullptr;
        set_err("out of memory for resize");
        return out;
    }
    float *row = (float *)work;
    ColumnTaps *cols = (ColumnTaps *)(work + row_bytes);
    for (int32_t k = 0; k < dw; k++) {
        TapSet taps;
        lanczos_taps(sw, dw, k, &taps);
        for (int t = 0; t < LANCZOS_TAPS; t++) {
            cols[k].offset[t] = taps.index[t] * 4;
            cols[k].weight[t] = (float)taps.weight[t];
        }
        cols[k].weight_sum = (float)taps.weight_sum;
    }
    for (int32_t i = 0; i < dh; i++) {
        TapSet taps;
        lanczos_taps(sh, dh, i, &taps);
        vertical_row(source, taps, row);
        horizontal_row(row, cols, dw, out.pixels + (int64_t)i * dw * 4);
    }
    std::free(work);
    return out;
}
