// Resampling an image that arrives one row at a time, top to bottom, as a
// decoder produces it: the same bytes as resize_image on the whole image,
// with only the few source rows that the next output row reads held at any
// moment (the kernel reads at most six).
//
// Use: row_resampler_begin; then once for each of the sh source rows, in
// order, row_resampler_slot (write the row's sw pixels there, unless it is
// null: no output row reads that row) and row_resampler_push; then
// row_resampler_finish. row_resampler_discard frees everything on a path
// that gives up early.
#pragma once

#include <cstdint>

#include "pixels/image.h"
#include "pixels/resample_plan.h"

// Source rows held at once: every row an unfinished output row still reads.
constexpr int ROW_RING = LANCZOS_TAPS;

struct RowResampler {
    ResamplePlan plan;
    Image out;           // the result, filled row by row
    unsigned char *ring; // ROW_RING source rows of sw pixels; row y in slot y % ROW_RING
    TapSet *taps;        // the vertical taps of every output row
    unsigned char *read; // per source row: 1 when some output row reads it
    int32_t next_in;     // the source row that arrives next
    int32_t next_out;    // the output row finished next
};

// Prepares a resize from sw x sh to dw x dh (each >= 1). 1 on success; 0
// with "out of memory for %dx%d resize" or "out of memory for resize",
// nothing left allocated.
int row_resampler_begin(RowResampler *r, int32_t sw, int32_t sh, int32_t dw, int32_t dh);

// True when some output row reads source row y (0 <= y < sh). Known before
// any row arrives, so a decoder can leave work undone on rows no one reads.
bool row_resampler_reads(const RowResampler &r, int32_t y);

// Marks in used[x] (sw entries) the source columns some output pixel reads;
// the others are never looked at, whatever a row holds there.
void row_resampler_columns(const RowResampler &r, unsigned char *used);

// Where the next source row goes (sw * 4 bytes), or null when no output row
// reads it.
unsigned char *row_resampler_slot(RowResampler *r);

// Takes the next source row (written into its slot, if it had one) and
// finishes every output row whose taps have all arrived.
void row_resampler_push(RowResampler *r);

// Once all sh rows have arrived: the result, which the caller frees.
Image row_resampler_finish(RowResampler *r);

// Frees everything, the result included.
void row_resampler_discard(RowResampler *r);
