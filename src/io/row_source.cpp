// The row decoders behind one record: each call goes to the decoder that
// took the file.
#include "io/row_source.h"

#include <cstdio>

int row_source_open(InputFile *in, RowSource *src)
{
    *src = RowSource{ROW_SOURCE_NONE, 0, 0, in};
    // A file given back once goes to the decoder from then on.
    if (in->rows_refused || std::fseek(in->file, 0, SEEK_SET) != 0) return 0;
    std::clearerr(in->file);
    return 0;
}

// A file the row decoder gives back mid-way.
static int refuse(RowSource *src)
{
    src->in->rows_refused = true;
    return 0;
}

int row_source_next(RowSource *src, unsigned char *, int32_t, int32_t)
{
    switch (src->kind) {
    case ROW_SOURCE_NONE:
        break;
    }
    return refuse(src);
}

int row_source_finish(RowSource *src)
{
    switch (src->kind) {
    case ROW_SOURCE_NONE:
        break;
    }
    return refuse(src);
}

void row_source_close(RowSource *src)
{
    src->kind = ROW_SOURCE_NONE;
}
