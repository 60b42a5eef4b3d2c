// The JPEG row decoder: baseline files (sequential Huffman, 8-bit, one or
// three components in one interleaved scan) decoded one MCU row at a time
// into two bands of component rows, and handed on as RGBA rows with the
// decoder's pixels: its parser, then this library's Huffman decoding, then
// the decoder's own dequantisation, inverse DCT, upsampling and colour
// conversion (see jpeg_stb_bridge.h). Anything else, and anything damaged
// or unusual, goes back to the decoder (see row_source.h).
//
// Only the blocks that wanted pixels draw on go through the inverse DCT;
// every block's codes are decoded all the same, so that damage anywhere in
// the scan is seen.
#pragma once

#include <cstdint>

#include "io/image_io.h"

struct JpegRows;

// Reads the header from the start of in (rewound by the caller). The reader
// with the image's size, or null when the file goes to the decoder.
JpegRows *jpeg_rows_open(InputFile *in, int32_t *width, int32_t *height);

// Before the first row: rows[y] != 0 for the rows whose pixels will be
// asked for, cols[x] != 0 for the columns that will be read (either may be
// null: all). Without it, every pixel is made. 0 when memory runs out (the
// file then goes to the decoder).
int jpeg_rows_want(JpegRows *r, const unsigned char *rows, const unsigned char *cols);

// The next row's pixels x0 .. x0 + n - 1 into dst (null: nothing wanted of
// this row). 0 when the file goes to the decoder.
int jpeg_rows_next(JpegRows *r, unsigned char *dst, int32_t x0, int32_t n);

// After the last row: 1 when the scan ends as the decoder requires.
int jpeg_rows_finish(JpegRows *r);

void jpeg_rows_close(JpegRows *r);
