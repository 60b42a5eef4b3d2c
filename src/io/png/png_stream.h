// The bytes of a PNG file exactly as the decoder (stb_image) reads them from
// an open FILE: it looks at the file through a window of 128 bytes, reads
// zeros past the end, and a chunk length it takes for a negative int skips
// only what is left of that window. The reader has to see the same bytes
// at the same places, damage included, so it keeps the decoder's window and
// reads the file behind it through a large buffer of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The decoder's window onto a file.
constexpr int PNG_WINDOW = 128;
// The reader's own buffer behind the window.
constexpr size_t PNG_FILE_BUFFER = 65536;

struct PngStream {
    FILE *file;
    unsigned char *buf; // PNG_FILE_BUFFER bytes: the file from buf_pos on
    size_t buf_pos, buf_len;
    int64_t skip_ahead; // bytes still to pass over before the next read
    bool file_end;      // the file has no more bytes
    unsigned char window[PNG_WINDOW];
    int win_pos, win_len;
    bool window_end; // the window met the end of the file: every read is 0
};

// Starts reading f from its current position (the start of the file), as
// the decoder does. 0 when memory runs out.
int png_stream_open(PngStream *s, FILE *f);
void png_stream_close(PngStream *s);

int png_get8(PngStream *s);
uint32_t png_get16be(PngStream *s);
uint32_t png_get32be(PngStream *s);

// The decoder's skip, with its int count (negative: the rest of the window).
void png_skip(PngStream *s, int n);

// Chunk data read in bulk: up to max bytes of the next n, without copying.
// *p points at them; the count is 0 only at the end of the file. Consume
// them with png_data_done.
size_t png_data_peek(PngStream *s, const unsigned char **p, size_t max);
void png_data_done(PngStream *s, size_t n);
