// The decoder's view of a PNG file: its window, and the file behind it.
#include "io/png/png_stream.h"

#include <cstdlib>
#include <cstring>

int png_stream_open(PngStream *s, FILE *f)
{
    s->file = f;
    s->buf = (unsigned char *)std::malloc(PNG_FILE_BUFFER);
    s->buf_pos = s->buf_len = 0;
    s->skip_ahead = 0;
    s->file_end = false;
    s->win_pos = s->win_len = 0;
    s->window_end = false;
    return s->buf != nullptr;
}

void png_stream_close(PngStream *s)
{
    std::free(s->buf);
    s->buf = nullptr;
}

// Makes file bytes available in buf; false at the end of the file.
static bool fill(PngStream *s)
{
    while (s->buf_pos == s->buf_len || s->skip_ahead > 0) {
        if (s->buf_pos < s->buf_len) {
            const size_t step = (uint64_t)s->skip_ahead < s->buf_len - s->buf_pos ? (size_t)s->skip_ahead
                                                                                  : s->buf_len - s->buf_pos;
            s->buf_pos += step;
            s->skip_ahead -= (int64_t)step;
            continue;
        }
        if (s->file_end) return false;
        // A skip past the end of the file reads nothing after it, as a seek
        // beyond the end does.
        s->buf_pos = 0;
        s->buf_len = std::fread(s->buf, 1, PNG_FILE_BUFFER, s->file);
        if (s->buf_len < PNG_FILE_BUFFER) s->file_end = true;
        if (s->buf_len == 0) return false;
    }
    return true;
}

// The decoder's read callback: up to n bytes of the file.
static size_t file_read(PngStream *s, unsigned char *dst, size_t n)
{
    size_t done = 0;
    while (done < n && fill(s)) {
        size_t step = s->buf_len - s->buf_pos;
        if (step > n - done) step = n - done;
        std::memcpy(dst + done, s->buf + s->buf_pos, step);
        s->buf_pos += step;
        done += step;
    }
    return done;
}

int png_get8(PngStream *s)
{
    if (s->win_pos < s->win_len) return s->window[s->win_pos++];
    if (s->window_end) return 0;
    const size_t n = file_read(s, s->window, PNG_WINDOW);
    s->win_pos = 1;
    if (n == 0) {
        // The decoder stops reading the file here: its window holds one 0.
        s->window_end = true;
        s->win_len = 1;
        return 0;
    }
    s->win_len = (int)n;
    return s->window[0];
}

uint32_t png_get16be(PngStream *s)
{
    const uint32_t hi = (uint32_t)png_get8(s);
    return hi << 8 | (uint32_t)png_get8(s);
}

uint32_t png_get32be(PngStream *s)
{
    const uint32_t hi = png_get16be(s);
    return hi << 16 | png_get16be(s);
}

void png_skip(PngStream *s, int n)
{
    if (n == 0) return;
    const int left = s->win_len - s->win_pos;
    if (n < 0 || left >= n) {
        s->win_pos = n < 0 ? s->win_len : s->win_pos + n;
        return;
    }
    s->win_pos = s->win_len;
    s->skip_ahead += n - left;
}

size_t png_data_peek(PngStream *s, const unsigned char **p, size_t max)
{
    // What is left in the window first, then the file itself: the decoder
    // reads a chunk's data in one block that way, whether or not its window
    // has met the end of the file.
    if (s->win_pos < s->win_len) {
        const size_t left = (size_t)(s->win_len - s->win_pos);
        *p = s->window + s->win_pos;
        return left < max ? left : max;
    }
    if (!fill(s)) return 0;
    const size_t left = s->buf_len - s->buf_pos;
    *p = s->buf + s->buf_pos;
    return left < max ? left : max;
}

void png_data_done(PngStream *s, size_t n)
{
    if (s->win_pos < s->win_len)
        s->win_pos += (int)n;
    else
        s->buf_pos += n;
}
