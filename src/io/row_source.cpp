// The row decoders behind one record: each call goes to the decoder that
// took the file.
#include "io/row_source.h"

#include <cstdio>
#include <cstdlib>

#include "io/jpeg/jpeg_rows.h"
#include "io/png/png_source.h"

int row_source_open(InputFile *in, RowSource *src)
{
    *src = RowSource{ROW_SOURCE_NONE, 0, 0, in, nullptr, nullptr};
    // A file given back once goes to the decoder from then on.
    if (in->rows_refused || std::fseek(in->file, 0, SEEK_SET) != 0) return 0;
    std::clearerr(in->file);
    src->png = (PngReader *)std::malloc(sizeof(PngReader));
    if (src->png) {
        if (png_rows_open(src->png, in->file, IMGTHUMBNAIL_MAX_INPUT_SIDE)) {
            src->kind = ROW_SOURCE_PNG;
            src->width = (int32_t)src->png->width;
            src->height = (int32_t)src->png->height;
            return 1;
        }
        png_rows_close(src->png);
        std::free(src->png);
        src->png = nullptr;
        if (std::fseek(in->file, 0, SEEK_SET) != 0) return 0;
        std::clearerr(in->file);
    }
    if ((src->jpeg = jpeg_rows_open(in, &src->width, &src->height))) {
        src->kind = ROW_SOURCE_JPEG;
        return 1;
    }
    return 0;
}

void row_source_want(RowSource *src, const unsigned char *rows, const unsigned char *cols)
{
    switch (src->kind) {
    case ROW_SOURCE_JPEG:
        jpeg_rows_want(src->jpeg, rows, cols);
        break;
    case ROW_SOURCE_PNG: // converts just the columns asked for, row by row
    case ROW_SOURCE_NONE:
        break;
    }
}

// A file the row decoder gives back mid-way.
static int refuse(RowSource *src)
{
    src->in->rows_refused = true;
    return 0;
}

int row_source_next(RowSource *src, unsigned char *dst, int32_t x0, int32_t n)
{
    switch (src->kind) {
    case ROW_SOURCE_JPEG:
        if (jpeg_rows_next(src->jpeg, dst, x0, n)) return 1;
        break;
    case ROW_SOURCE_NONE:
        break;
    case ROW_SOURCE_PNG:
        if (png_rows_next(src->png, dst, x0, n)) return 1;
        break;
    }
    return refuse(src);
}

int row_source_finish(RowSource *src)
{
    switch (src->kind) {
    case ROW_SOURCE_JPEG:
        if (jpeg_rows_finish(src->jpeg)) return 1;
        break;
    case ROW_SOURCE_NONE:
        break;
    case ROW_SOURCE_PNG:
        if (png_rows_finish(src->png)) return 1;
        break;
    }
    return refuse(src);
}

void row_source_close(RowSource *src)
{
    if (src->png) {
        png_rows_close(src->png);
        std::free(src->png);
        src->png = nullptr;
    }
    if (src->jpeg) {
        jpeg_rows_close(src->jpeg);
        src->jpeg = nullptr;
    }
    src->kind = ROW_SOURCE_NONE;
}

int row_source_whole_image(InputFile *in, Image *image, char *reason, size_t reason_size)
{
    *image = Image{0, 0, nullptr};
    reason[0] = '\0';
    bool is_png = false;
    const int png = png_decode_image(in->file, in->rows_refused, IMGTHUMBNAIL_MAX_INPUT_SIDE, image, reason,
                                     reason_size, &is_png);
    // A PNG the reader gives back goes to the decoder, not to the row way.
    if (png < 0 && is_png) in->rows_refused = true;
    return png;
}
