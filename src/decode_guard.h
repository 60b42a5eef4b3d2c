// Checks made on an input file before the decoder sees it.
#pragma once

// The decoder has known holes that a crafted file reaches: endless loops,
// reads past its buffers, and pixels made of uninitialised heap or stack
// bytes. decode_guard reads the file the way the decoder will and returns a
// short reason, in the decoder's own style, when the file would fall into
// one of them; nullptr when the file may be decoded (including when it
// cannot be opened: the decoder reports that itself). Files that decode
// soundly pass unchanged, so their pixels are exactly the decoder's.
const char *decode_guard(const char *path);
