// The resampler's scalar row kernels: the definition of every value, one
// operation at a time. The SSE2 kernels must match them bit for bit.
#include "pixels/resample_kernels.h"

void vertical_values(const unsigned char *const *rows, const double *weight, int count, float sum, int64_t from,
                     int64_t to, float *row)
{
    for (int64_t q = from; q < to; q++) {
        float acc = 0.0f;
        for (int t = 0; t < count; t++) acc += (float)((double)rows[t][q] * weight[t]);
        row[q] = acc / sum;
    }
}

void product_table_values(double weight, int from, float *product)
{
    for (int b = from; b < BYTE_VALUES; b++) product[b] = (float)((double)b * weight);
}

void lookup_values(const ProductTables &pt, float sum, int64_t first, int64_t from, int64_t count, float *row)
{
    const float *p0 = pt.slot[0], *p1 = pt.slot[1], *p2 = pt.slot[2], *p3 = pt.slot[3], *p4 = pt.slot[4],
                *p5 = pt.slot[5];
    const unsigned char *r0 = pt.row[0] + first, *r1 = pt.row[1] + first, *r2 = pt.row[2] + first,
                        *r3 = pt.row[3] + first, *r4 = pt.row[4] + first, *r5 = pt.row[5] + first;
    for (int64_t q = from; q < count; q++)
        row[q] = (((((p0[r0[q]] + p1[r1[q]]) + p2[r2[q]]) + p3[r3[q]]) + p4[r4[q]]) + p5[r5[q]]) / sum;
}

// The byte of one finished channel value: negative values and zero give 0;
// otherwise min(v, 255) + 0.5, added in single precision, truncated. The
// + 0.5f in single precision is what lets 0.49999997 round up to 1.
static unsigned char to_byte(float v)
{
    if (v < 0.0f) return 0;
    return (unsigned char)(int)((v < 255.0f ? v : 255.0f) + 0.5f);
}

void horizontal_pixels(const float *row, const ColumnTaps *cols, int32_t from, int32_t to, unsigned char *out)
{
    for (int32_t k = from; k < to; k++) {
        const ColumnTaps &ct = cols[k];
        float acc[RESAMPLE_CHANNELS] = {0.0f, 0.0f, 0.0f, 0.0f};
        for (int t = 0; t < LANCZOS_TAPS; t++) {
            const float *p = row + ct.offset[t];
            const float w = ct.weight[t];
            for (int ch = 0; ch < RESAMPLE_CHANNELS; ch++) acc[ch] += w * p[ch];
        }
        for (int ch = 0; ch < RESAMPLE_CHANNELS; ch++)
            out[(int64_t)k * RESAMPLE_CHANNELS + ch] = to_byte(acc[ch] / ct.weight_sum);
    }
}
