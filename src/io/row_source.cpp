// The row decoders behind one record: each call goes to the decoder that
// took the file.
#include "io/row_source.h"

#include <cstdio>

#include "io/jpeg/jpeg_rows.h"

int row_source_open(InputFile *in, RowSource *src)
{
    *src = RowSource{ROW_SOURCE_NONE, 0, 0, in, nullptr};
    // A file given back once goes to the decoder from then on.
    if (in->rows_refused || std::fseek(in->file, 0, SEEK_SET) != 0) return 0;
    std::clearerr(in->file);
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
    }
    return refuse(src);
}

void row_source_close(RowSource *src)
{
    switch (src->kind) {
    case ROW_SOURCE_JPEG:
        jpeg_rows_close(src->jpeg);
        src->jpeg = nullptr;
        break;
    case ROW_SOURCE_NONE:
        break;
    }
    src->kind = ROW_SOURCE_NONE;
}
