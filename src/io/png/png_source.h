// The PNG reader behind the library's two ways of decoding: row by row,
// straight into the resampler (png_rows_*), and the whole image
// (png_decode_image), which also takes what the row way leaves: interlaced
// files, a PLTE among the IDAT chunks, and every palette image whatever
// befalls it.
//
// Where zlib's inflate leaves the outcome in doubt, the reader gathers the
// IDAT data and inflates it with the decoder's own inflate, into zeroed
// buffers: a stream that copies bytes it never wrote gets zeros, where the
// decoder's come from its heap. A palette image never goes to the decoder:
// the decoder reads an index past the end of a short PLTE from an
// uninitialised array on its stack, where the reader gives opaque black;
// where the decoder refuses the file, the reader refuses it with the
// decoder's reason. Every other file the reader does not read exactly as
// the decoder does goes back to the decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "io/png/png_reader.h"
#include "pixels/image.h"

// Begins reading f (at its start) for the row way. 1 when the row way
// takes the file: a non-interlaced PNG of sides up to max_side. Whatever
// the answer, png_rows_close releases the reader.
int png_rows_open(PngReader *r, FILE *f, int32_t max_side);
// The next row: its pixels x0 .. x0 + n - 1 into dst when dst is not null.
// 0 when the file must be read the whole-image way instead.
int png_rows_next(PngReader *r, unsigned char *dst, int32_t x0, int32_t n);
// 1 when the file is sound to its end and the rows handed out are its
// pixels; 0 when it must be read the whole-image way instead.
int png_rows_finish(PngReader *r);
void png_rows_close(PngReader *r);

// One reading of the whole of f from its start, the IDAT data inflated as
// it comes (zlib) or gathered first and inflated by the decoder's own
// inflate (in_memory): the reader's verdict, with the image on PNG_OK
// (without pixels above max_side). The caller ends r with png_reader_end.
int png_read_whole(PngReader *r, FILE *f, bool in_memory, int32_t max_side, Image *image);

// The whole image of f, read from its start. 1 with the image (an image of
// a side above max_side comes without pixels: the decoder decodes it, the
// caller refuses it); 0 when the decoder refuses the file, with its reason
// in reason (at most reason_size bytes; empty for none), or when memory
// runs out ("outofmem"); -1 when the file goes to the decoder. A file that
// the row way gave back (rows_refused) is read in memory at once unless it
// is a palette image. *is_png says whether f is a PNG file at all.
int png_decode_image(FILE *f, bool rows_refused, int32_t max_side, Image *image, char *reason,
                     size_t reason_size, bool *is_png);
