// The scan's bit reader: the slow path and the checks at restart markers
// and at the end of the scan.
#include "io/jpeg/jpeg_bits.h"

#include <cstring>

static const int JPEG_MARK = 0xFF;
static const int JPEG_STUFFED = 0x00;
static const int BYTE_BITS = 8;
// The slow path adds bytes while the buffer has room for a whole one.
static const int BUFFER_ROOM = 56;
// What marker_after_ff returns for a stuffed 0xFF data byte.
static const int DATA_FF = -3;

// Past a marker nothing more is data: the fast path stays off.
static void update_safe(JpegBits *b)
{
    if (b->marker != JPEG_NO_MARKER) {
        b->safe = b->p;
        return;
    }
    const void *ff = std::memchr(b->p, JPEG_MARK, (size_t)(b->end - b->p));
    b->safe = ff ? (const uint8_t *)ff : b->end;
}

// Moves the unread bytes to the chunk's start and reads more behind them.
// False when the file has nothing more.
static bool read_chunk(JpegBits *b)
{
    if (b->file_done) return false;
    const size_t keep = (size_t)(b->end - b->p);
    std::memmove(b->chunk, b->p, keep);
    const size_t n = std::fread(b->chunk + keep, 1, JPEG_CHUNK - keep, b->file);
    if (n == 0) b->file_done = true;
    b->p = b->chunk;
    b->end = b->chunk + keep + n;
    update_safe(b);
    return n > 0;
}

// The next byte of the file; -1 at its end.
static int next_byte(JpegBits *b)
{
    if (b->p == b->end && !read_chunk(b)) return -1;
    return *b->p++;
}

void jpeg_bits_begin(JpegBits *b, FILE *file, uint8_t *chunk, const uint8_t *pending, int pending_len)
{
    b->buf = 0;
    b->bits = 0;
    b->fill = 0;
    b->marker = JPEG_NO_MARKER;
    b->fill_before = false;
    b->chunk = chunk;
    b->file = file;
    b->file_done = false;
    std::memcpy(chunk, pending, (size_t)pending_len);
    b->p = chunk;
    b->end = chunk + pending_len;
    update_safe(b);
}

// The marker after a 0xFF just read, as the decoder reads one: fill bytes
// skipped; a stuffed zero makes the 0xFF a data byte (DATA_FF).
static int marker_after_ff(JpegBits *b, bool *filled)
{
    int d = next_byte(b);
    *filled = false;
    while (d == JPEG_MARK) {
        d = next_byte(b);
        *filled = true;
    }
    if (d == JPEG_STUFFED) return DATA_FF;
    return d < 0 ? JPEG_FILE_END : d;
}

void jpeg_bits_refill_slow(JpegBits *b)
{
    if (b->end - b->p < 8 && b->marker == JPEG_NO_MARKER) read_chunk(b);
    if (b->p + 8 <= b->safe) {
        jpeg_bits_refill(b);
        return;
    }
    // Drop what a fast load put below the valid bits: bytes are added one
    // by one from here.
    b->buf = b->bits ? b->buf & (~(uint64_t)0 << (64 - b->bits)) : 0;
    while (b->bits <= BUFFER_ROOM) {
        unsigned byte = 0;
        if (b->marker == JPEG_NO_MARKER) {
            const int c = next_byte(b);
            if (c < 0) {
                b->marker = JPEG_FILE_END;
            } else if (c != JPEG_MARK) {
                byte = (unsigned)c;
            } else {
                bool filled;
                const int m = marker_after_ff(b, &filled);
                if (m == DATA_FF) {
                    byte = JPEG_MARK;
                } else {
                    b->marker = m;
                    b->fill_before = filled;
                }
            }
        }
        if (b->marker != JPEG_NO_MARKER) b->fill += BYTE_BITS;
        b->buf |= (uint64_t)byte << (BUFFER_ROOM - b->bits);
        b->bits += BYTE_BITS;
    }
    if (b->safe < b->p + 8) update_safe(b);
}

// Real bits left over at the end of an interval or the scan: none but the
// padding of the last byte.
static bool only_padding_left(const JpegBits *b)
{
    const int real = b->bits - b->fill;
    return real >= 0 && real < BYTE_BITS;
}

// The marker that follows the data, read when the buffer stopped short of
// it: the very next byte must start it.
static bool reach_marker(JpegBits *b)
{
    if (b->marker != JPEG_NO_MARKER) return true;
    if (next_byte(b) != JPEG_MARK) return false;
    bool filled;
    const int m = marker_after_ff(b, &filled);
    if (m < 0) return false;
    b->marker = m;
    b->fill_before = filled;
    return true;
}

int jpeg_bits_restart(JpegBits *b, int n)
{
    if (!only_padding_left(b) || !reach_marker(b) || b->marker != JPEG_RST0 + n) return 0;
    b->buf = 0;
    b->bits = 0;
    b->fill = 0;
    b->marker = JPEG_NO_MARKER;
    b->fill_before = false;
    update_safe(b);
    return 1;
}

int jpeg_bits_end(JpegBits *b)
{
    return only_padding_left(b) && reach_marker(b) && b->marker == JPEG_EOI && !b->fill_before;
}
