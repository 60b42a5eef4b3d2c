// Huge pages for large buffers (see huge_pages.h): transparent huge pages
// on Linux, asked for one region at a time (madvise); nothing elsewhere.
#include "platform/huge_pages.h"

#include <cstdint>

#ifdef __linux__
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <sys/mman.h>

// The size of a huge page on x86-64 and the common ARM kernels; only whole
// huge pages inside the block are asked for.
static const uintptr_t HUGE_PAGE = (uintptr_t)2 << 20;
// Smaller blocks gain too little to pay for the look at the mappings.
static const size_t HUGE_PAGES_MIN = 2 * HUGE_PAGE;
// The C library maps a large block on its own: the block then starts this
// far into a page (after the chunk's header), in an anonymous mapping.
static const uintptr_t PAGE = 4096;
static const uintptr_t OWN_MAPPING_OFFSET = 2 * sizeof(size_t);
static const int MAPS_LINE = 4096;

// True when the block at p has a mapping of its own, as the C library
// gives large blocks: the hint then goes with the block when it is freed.
// A block inside the heap (a host may have the C library keep every block
// there) or in another allocator's shared region is left alone, since the
// hint would outlive it there.
static bool own_mapping(uintptr_t p)
{
    if ((p & (PAGE - 1)) != OWN_MAPPING_OFFSET) return false;
    FILE *maps = std::fopen("/proc/self/maps", "r");
    if (!maps) return false;
    char line[MAPS_LINE];
    bool own = false;
    while (std::fgets(line, sizeof line, maps)) {
        uintptr_t lo = 0, hi = 0;
        int end_of_fields = 0;
        // start-end perms offset dev inode [path]
        if (std::sscanf(line, "%" SCNxPTR "-%" SCNxPTR " %*s %*s %*s %*s%n", &lo, &hi, &end_of_fields) < 2 ||
            end_of_fields == 0)
            continue;
        if (p < lo || p >= hi) continue;
        const char *rest = line + end_of_fields;
        rest += std::strspn(rest, " \t");
        // Named regions ([heap], files) are not a block's own.
        own = *rest == '\n' || *rest == '\0';
        break;
    }
    std::fclose(maps);
    return own;
}

void advise_huge_pages(void *p, size_t bytes)
{
    if (bytes < HUGE_PAGES_MIN || !own_mapping((uintptr_t)p)) return;
    const uintptr_t first = ((uintptr_t)p + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
    const uintptr_t end = ((uintptr_t)p + bytes) & ~(HUGE_PAGE - 1);
    if (end > first) madvise((void *)first, end - first, MADV_HUGEPAGE);
}
#else
void advise_huge_pages(void *, size_t) {}
#endif
