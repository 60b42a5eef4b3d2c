// Huge pages for large buffers (see huge_pages.h): transparent huge pages
// on Linux, asked for one region at a time (madvise); nothing elsewhere.
#include "platform/huge_pages.h"

#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>

// The size of a huge page on x86-64 and the common ARM kernels; only whole
// huge pages inside the block are asked for.
static const uintptr_t HUGE_PAGE = (uintptr_t)2 << 20;
// The C library maps every block above this size on its own, whatever its
// adaptive threshold has become, so the hint never touches the heap that
// smaller blocks share.
static const size_t OWN_MAPPING_MIN = (size_t)32 << 20;

void advise_huge_pages(void *p, size_t bytes)
{
    if (bytes < OWN_MAPPING_MIN) return;
    const uintptr_t first = ((uintptr_t)p + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
    const uintptr_t end = ((uintptr_t)p + bytes) & ~(HUGE_PAGE - 1);
    if (end > first) madvise((void *)first, end - first, MADV_HUGEPAGE);
}
#else
void advise_huge_pages(void *, size_t) {}
#endif
