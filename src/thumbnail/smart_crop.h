// Content-aware thumbnails: reduce the image to a small analysis image,
// measure its luminance edge energy, keep the window with the most energy
// (nearest the centre among equal totals) and scale that region to size.
#pragma once

#include <cstdint>

#include "pixels/image.h"
#include "thumbnail/thumbnail.h"

// Longest side of the analysis image; smaller images are analysed as they are.
constexpr int32_t ANALYSIS_MAX = 160;

// Two window sums this close count as equal, and the window nearer the
// centre wins.
constexpr double TIE_EPSILON = 1e-9;

// The BT.601 luminance of one pixel, in single precision.
float luminance(unsigned char r, unsigned char g, unsigned char b);

// The analysis image of source: a copy when neither side exceeds
// ANALYSIS_MAX, otherwise the rounded mean of each source block. On
// allocation failure: "out of memory" and a null buffer.
Image make_analysis_image(const Image &source);

// The analysis image made a source row at a time, while each row is fresh
// from the decoder: the same bytes as make_analysis_image of the whole
// source (integer block sums, the rows in order).
struct AnalysisRows {
    int32_t src_w, src_h;
    Image out;       // the analysis image being made
    int32_t rows_in; // source rows added so far
    int32_t y;       // the analysis row they are summed into
    int32_t col_lo[ANALYSIS_MAX], col_hi[ANALYSIS_MAX];
    int32_t row_lo[ANALYSIS_MAX], row_hi[ANALYSIS_MAX];
    uint32_t sums[ANALYSIS_MAX * 4];
};
// Begins for a width x height source. 0 when no rows are wanted: the
// source is no larger than ANALYSIS_MAX (it is its own analysis image), or
// no memory (nothing is set: make_analysis_image says it later).
int analysis_rows_begin(AnalysisRows *a, int32_t width, int32_t height);
// The next source row, top to bottom: width RGBA pixels.
void analysis_rows_add(AnalysisRows *a, const unsigned char *row);
// The analysis image once every source row came (the caller frees it);
// otherwise an empty image. Either way nothing stays allocated in a.
Image analysis_rows_take(AnalysisRows *a);

// The energy map of an analysis image: aw x ah floats, each the absolute
// luminance step to the right plus the one downwards. The caller frees it.
// Null with "out of memory" when a buffer cannot be allocated.
float *make_energy_map(const Image &analysis);

// A window position with the energy it holds and its squared distance from
// the centre.
struct SmartWindow {
    int32_t x, y;
    double sum;
    int32_t penalty;
};

// Searches every cw x ch window of the aw x ah energy map. 1 with the best
// window; 0 with "out of memory" when the summed-area table cannot be made.
int find_best_window(const float *energy, int32_t aw, int32_t ah, int32_t cw, int32_t ch,
                     SmartWindow *best);

// The source region under window (bx, by, cw x ch) of an aw x ah analysis
// image of a w x h source: widened outwards to whole pixels, at least one
// pixel each way and inside the source.
CropRect map_window_to_source(int32_t w, int32_t h, int32_t aw, int32_t ah, int32_t bx, int32_t by,
                              int32_t cw, int32_t ch);

// Everything the smart crop decided for one image and thumbnail size.
struct SmartChoice {
    int32_t aw, ah;     // analysis image size
    int32_t cw, ch;     // window size, in analysis pixels
    SmartWindow window; // the best window
    CropRect region;    // the region kept, in source pixels
};

// The choice for a decoded source and a width x height thumbnail (1..4096
// each). 1 on success; 0 with "out of memory". Nothing stays allocated.
int smart_choose(const Image &source, int32_t width, int32_t height, SmartChoice *choice);
// The same with the analysis image of source made already (a null buffer:
// its "out of memory" stands), which it frees.
int smart_choose_from(const Image &source, Image analysis, int32_t width, int32_t height, SmartChoice *choice);

// Body of imgthumbnail_smart once its arguments have been checked.
int smart_thumbnail(const char *input, const char *output, int32_t width, int32_t height);
