// The malloc, calloc and realloc wrappers behind fail_allocation.
#include "fail_alloc.h"

#include <cstddef>

extern "C" void *__real_malloc(size_t size);
extern "C" void *__real_realloc(void *p, size_t size);
extern "C" void *__real_calloc(size_t count, size_t size);

static bool s_counting = false;
static int s_seen = 0;
static int s_fail_at = 0;

void fail_allocation(int n)
{
    s_seen = 0;
    s_fail_at = n;
    s_counting = true;
}

int stop_failing(void)
{
    s_counting = false;
    return s_seen;
}

// True when the allocation being made is the one chosen to fail.
static bool this_one_fails(void)
{
    if (!s_counting) return false;
    return ++s_seen == s_fail_at;
}

extern "C" void *__wrap_malloc(size_t size)
{
    return this_one_fails() ? nullptr : __real_malloc(size);
}

extern "C" void *__wrap_realloc(void *p, size_t size)
{
    return this_one_fails() ? nullptr : __real_realloc(p, size);
}

// The compiler turns a malloc followed by clearing the block into calloc.
extern "C" void *__wrap_calloc(size_t count, size_t size)
{
    return this_one_fails() ? nullptr : __real_calloc(count, size);
}
