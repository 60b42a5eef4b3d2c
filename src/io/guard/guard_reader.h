// The byte reader of the checks before decoding: forward only over an open
// file, a large block at a time, and, like the decoder, yielding 0 past the
// end of the file (which it notes in past_end).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Bytes read from the file at a time. Large blocks keep the JPEG check, which
// passes over all of the entropy-coded data, cheap next to the decoding.
static const size_t GUARD_BUFFER = 131072;

// A forward-only byte reader that, like the decoder, yields 0 past the end.
struct GuardReader {
    FILE *file;
    size_t pos, len;
    bool past_end;
    unsigned char buf[GUARD_BUFFER];
};

// Sets r to read f from f's current position.
void start_reader(GuardReader *r, FILE *f);

// Reads the next block; false when the file has no more.
bool refill(GuardReader *r);

// The single-byte readers run once a byte over whole pixel arrays (a BMP's
// indices, an HDR's run counts): inline, so that each costs no call.
inline bool at_end(GuardReader *r)
{
    return r->pos == r->len && !refill(r);
}

inline int get8(GuardReader *r)
{
    if (at_end(r)) {
        r->past_end = true;
        return 0;
    }
    return r->buf[r->pos++];
}

inline int get16le(GuardReader *r)
{
    const int lo = get8(r);
    return lo | get8(r) << 8;
}

inline int get16be(GuardReader *r)
{
    const int hi = get8(r);
    return hi << 8 | get8(r);
}

inline uint32_t get32le(GuardReader *r)
{
    const uint32_t lo = (uint32_t)get16le(r);
    return lo | (uint32_t)get16le(r) << 16;
}

// Moves n bytes on; false when the file ends first.
bool skip(GuardReader *r, int64_t n);

// Moves on to the next byte equal to value, searching whole blocks at a
// time; false when the file ends first.
bool find_byte(GuardReader *r, unsigned char value);
