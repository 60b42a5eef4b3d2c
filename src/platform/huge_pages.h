// Large buffers that are filled right after they are allocated: where the
// system offers it, the kernel is asked to back them with huge pages, so
// that a fresh buffer costs a few dozen page faults instead of thousands.
// The request concerns that one buffer alone: nothing process-wide changes
// and nothing is kept.
#pragma once

#include <cstddef>

// A hint for the block at p of bytes bytes (from malloc); it changes no
// byte and cannot fail. Linux only, and only for a block of a few huge
// pages or more that has a mapping of its own (as the C library maps large
// blocks), so that the hint goes back to the system with the block.
void advise_huge_pages(void *p, size_t bytes);
