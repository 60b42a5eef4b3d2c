// The resampler's row kernels: the scalar ones, which handle any range of
// values, and the SSE2 ones beside them, which handle a leading run of
// whole blocks and return where the scalar kernel takes over. Without SSE2
// the block kernels do nothing and the scalar ones do all the work, with
// the same result to the last bit.
#pragma once

#include <cstdint>

#include "pixels/resample.h"
#include "pixels/simd.h"

// Channels of a pixel: R, G, B, A.
constexpr int RESAMPLE_CHANNELS = 4;
// Values a byte can take.
constexpr int BYTE_VALUES = 256;

// Pass 2's view of one output column: weights already rounded to single.
// Every column has all six taps; the unused ones weigh +0, and adding a +0
// or -0 product changes no accumulator but the sign of a zero, which no
// byte can see (negative values and zeros both give 0).
struct ColumnTaps {
    int32_t offset[LANCZOS_TAPS]; // float offset of the tap's pixel in a row
    float weight[LANCZOS_TAPS];
    float weight_sum;
};

// Products of every byte value with each tap's weight, one table per tap:
// (float)((double)b * w) for b = 0..255, the very values the vertical
// kernel forms. The six slots' lookups are added from slot 0 upwards.
struct ProductTables {
    float slot[LANCZOS_TAPS][BYTE_VALUES];
    const unsigned char *row[LANCZOS_TAPS]; // the source row each slot reads
};

// Intermediate values [from, to) of one row: products of byte and weight in
// double, rounded to single, summed in single in ascending tap order, then
// divided by the weight sum rounded to single.
void vertical_values(const unsigned char *const *rows, const double *weight, int count, float sum, int64_t from,
                     int64_t to, float *row);

// Entries [from, BYTE_VALUES) of one product table.
void product_table_values(double weight, int from, float *product);

// Values [from, count) of a run that starts first values into the rows, as
// vertical_values forms them, each product looked up.
void lookup_values(const ProductTables &pt, float sum, int64_t first, int64_t from, int64_t count, float *row);

// Output pixels [from, to) of one row, one channel at a time.
void horizontal_pixels(const float *row, const ColumnTaps *cols, int32_t from, int32_t to, unsigned char *out);

#if IMGTHUMB_SSE2
int64_t vertical_blocks(const unsigned char *const *rows, const double *weight, int count, float sum,
                        int64_t values, float *row);
int product_table_blocks(double weight, float *product);
int64_t lookup_blocks(const ProductTables &pt, float sum, int64_t first, int64_t count, float *row);
int32_t horizontal_blocks(const float *row, const ColumnTaps *cols, int32_t dw, unsigned char *out);
#else
inline int64_t vertical_blocks(const unsigned char *const *, const double *, int, float, int64_t, float *)
{
    return 0;
}
inline int product_table_blocks(double, float *)
{
    return 0;
}
inline int64_t lookup_blocks(const ProductTables &, float, int64_t, int64_t, float *)
{
    return 0;
}
inline int32_t horizontal_blocks(const float *, const ColumnTaps *, int32_t, unsigned char *)
{
    return 0;
}
#endif
