// Undoing the PNG row filters, as the decoder does: every filter works on
// bytes, its left neighbour bpp bytes back (bpp is the bytes of a whole
// pixel, 1 below 8 bits a pixel), its upper neighbour in the row above,
// which is all zeros for the first row of an image or of an interlace pass.
// The scalar kernel handles any row; the SSE2 one beside it handles a
// leading run of the filters and pixel sizes that pay, and says where the
// scalar kernel takes over. Both give the same bytes (integer arithmetic).
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixels/simd.h"

enum PngFilter { PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH };
// Filter types above this are invalid.
constexpr int PNG_FILTER_LAST = PNG_FILTER_PAETH;
// Bytes a row buffer holds beyond its row: the vector kernels read and
// write a whole 4-byte pixel where a 3-byte one ends.
constexpr size_t PNG_ROW_PADDING = 16;

// Bytes [from, n) of out from the filtered bytes raw and the row above.
void png_unfilter_scalar(int filter, const unsigned char *raw, const unsigned char *prior, unsigned char *out,
                         size_t from, size_t n, int bpp);

#if IMGTHUMB_SSE2
// Bytes [0, k) of out; returns k.
size_t png_unfilter_blocks(int filter, const unsigned char *raw, const unsigned char *prior, unsigned char *out,
                           size_t n, int bpp);
#else
inline size_t png_unfilter_blocks(int, const unsigned char *, const unsigned char *, unsigned char *, size_t, int)
{
    return 0;
}
#endif

// One row: n bytes of out.
inline void png_unfilter_row(int filter, const unsigned char *raw, const unsigned char *prior, unsigned char *out,
                             size_t n, int bpp)
{
    png_unfilter_scalar(filter, raw, prior, out, png_unfilter_blocks(filter, raw, prior, out, n, bpp), n, bpp);
}
