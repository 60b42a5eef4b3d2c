// Decoders that hand an image over one row at a time, top to bottom, in
// 8-bit RGBA, with exactly the pixels the decoder itself (stb_image) gives
// for the same file: the library's own readers for the formats where that
// pays (PNG, JPEG). They take only the files they read exactly as the
// decoder does; any other file, and any file in which they meet something
// they do not handle the same way (damage included), goes back to the
// decoder, read again from its start, so results and messages stay the
// decoder's. They write no message.
//
// Use: row_source_open; row_source_want, if not every pixel is needed;
// row_source_next once for each of the height rows; row_source_finish,
// which reads what follows the last row as the decoder would (a file that
// ends wrongly fails there); row_source_close.
#pragma once

#include <cstddef>
#include <cstdint>

#include "io/image_io.h"

struct PngReader;
struct JpegRows;

enum RowSourceKind { ROW_SOURCE_NONE, ROW_SOURCE_PNG, ROW_SOURCE_JPEG };

struct RowSource {
    RowSourceKind kind;
    int32_t width, height; // 1..IMGTHUMBNAIL_MAX_INPUT_SIDE each
    InputFile *in;
    PngReader *png;  // the PNG reader's state, while kind is ROW_SOURCE_PNG
    JpegRows *jpeg;  // the JPEG reader's, while kind is ROW_SOURCE_JPEG
};

// Reads the file's header from the start of in. 1 when a row decoder takes
// the file: its width and height are known; 0 when the file goes to the
// decoder (nothing is held).
int row_source_open(InputFile *in, RowSource *src);

// Before the first row: which pixels will be read. rows[y] != 0 for every
// row that row_source_next will be given a dst for, cols[x] != 0 for every
// column of those rows that will be read (null: all rows, all columns).
// The decoder may leave the others' work undone; their bytes in dst are
// then unspecified.
void row_source_want(RowSource *src, const unsigned char *rows, const unsigned char *cols);

// Decodes the next row. With dst, writes its pixels x0 .. x0 + n - 1 (RGBA)
// there; with dst null the row is decoded only as far as later rows need.
// 0 when the file must go to the decoder instead.
int row_source_next(RowSource *src, unsigned char *dst, int32_t x0, int32_t n);

// After the last row: 1 when the rest of the file is as the decoder
// requires, 0 when the file must go to the decoder instead.
int row_source_finish(RowSource *src);

// Releases what the decoder holds. The input stays open.
void row_source_close(RowSource *src);

// The whole image of in (from its start) through the library's own readers,
// for the files they take whole: 1 with the image (pixels null when a side
// exceeds IMGTHUMBNAIL_MAX_INPUT_SIDE: the caller refuses it); 0 when the
// file is refused with the decoder's reason, written to reason (at most
// reason_size bytes; empty when the decoder gives none), which the caller
// reports (these files must not reach the decoder: see io/png/png_source.h);
// -1 when the file goes to the decoder.
int row_source_whole_image(InputFile *in, Image *image, char *reason, size_t reason_size);
