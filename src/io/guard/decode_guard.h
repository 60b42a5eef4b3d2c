// Checks made on an input file before the decoder sees it.
#pragma once

#include <cstdint>
#include <cstdio>

struct Size {
    int32_t width, height;
};

// What the checks found. A reason: the file is refused as undecodable, with
// that short reason in the decoder's style. A too_large size (sides of 1 or
// more): the decoder would decode the file, slowly, and the library would
// then refuse it for that size. Neither: the file may be decoded.
struct GuardVerdict {
    const char *reason;
    Size too_large;
};

// The decoder has known holes that a crafted file reaches: endless loops,
// reads past its buffers, and pixels made of uninitialised heap or stack
// bytes. decode_guard reads the open file f from its current position the
// way the decoder will and refuses the files that would fall into one of
// them; the caller then rewinds f and hands that same stream to the decoder,
// so the bytes checked are the bytes decoded. max_side is the largest side
// the caller accepts after decoding. Files that decode soundly pass
// unchanged, so their pixels are exactly the decoder's.
GuardVerdict decode_guard(FILE *f, int32_t max_side);
