// Checks made on an input file before the decoder sees it.
#pragma once

#include <cstdint>

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
// bytes. decode_guard reads the file the way the decoder will and refuses
// the files that would fall into one of them. A file that cannot be opened
// passes (the decoder reports that itself). Files that decode soundly pass
// unchanged, so their pixels are exactly the decoder's.
GuardVerdict decode_guard(const char *path);
