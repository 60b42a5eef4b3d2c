// What both resamplers (the whole-image one and the one fed row by row)
// share: the work that depends only on an output column, made once per
// resize, and the making of one output row from the source rows its taps
// read.
#pragma once

#include <cstdint>

#include "pixels/resample.h"
#include "pixels/resample_kernels.h"

// A run of consecutive source columns that pass 2 reads, in channel values:
// where it starts in a source row and in the packed intermediate row.
struct ColumnSpan {
    int64_t source, packed, count;
};

// One resize from sw x sh to dw x dh: the column taps, the runs of source
// columns they reach, and the one intermediate row, all in one block.
struct ResamplePlan {
    int32_t sw, sh, dw, dh;
    unsigned char *work; // the block that holds everything below
    float *row;          // one intermediate row, the columns in use packed
    ColumnTaps *cols;    // the taps of every output column
    ColumnSpan *spans;   // the runs of source columns in use
    int32_t span_count;
    int64_t packed_values; // values of the packed intermediate row
};

// Allocates the result (dw x dh) and the plan. 1 on success; 0 with "out of
// memory for %dx%d resize" or "out of memory for resize", nothing allocated.
int resample_plan_begin(int32_t sw, int32_t sh, int32_t dw, int32_t dh, ResamplePlan *plan, Image *out);

// Frees the plan (not the result).
void resample_plan_end(ResamplePlan *plan);

// Output row i of the result into out_row (dw pixels): taps are lanczos_taps
// (sh, dh, i) and rows[t] the first byte of the source row of tap t.
void resample_output_row(const ResamplePlan &plan, const TapSet &taps, const unsigned char *const *rows,
                         unsigned char *out_row);
