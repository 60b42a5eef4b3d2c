// The byte reader of the checks before decoding: the block reads and the
// moves over many bytes at once (the single bytes are read inline, in the
// header).
#include "io/guard/guard_reader.h"

#include <cstring>

void start_reader(GuardReader *r, FILE *f)
{
    r->file = f;
    r->pos = r->len = 0;
    r->past_end = false;
}

bool refill(GuardReader *r)
{
    r->pos = 0;
    r->len = std::fread(r->buf, 1, GUARD_BUFFER, r->file);
    return r->len > 0;
}

bool skip(GuardReader *r, int64_t n)
{
    while (n > 0) {
        if (at_end(r)) {
            r->past_end = true;
            return false;
        }
        const size_t step = (uint64_t)n < r->len - r->pos ? (size_t)n : r->len - r->pos;
        r->pos += step;
        n -= (int64_t)step;
    }
    return true;
}

bool find_byte(GuardReader *r, unsigned char value)
{
    for (;;) {
        if (at_end(r)) {
            r->past_end = true;
            return false;
        }
        const void *hit = std::memchr(r->buf + r->pos, value, r->len - r->pos);
        if (hit) {
            r->pos = (size_t)((const unsigned char *)hit - r->buf);
            return true;
        }
        r->pos = r->len;
    }
}
