// Channel sums of a run of RGBA pixels, for averaging blocks of an image:
// the scalar kernel, and an SSE2 kernel beside it that takes the leading
// part of a run. Integer sums are exact, so grouping the additions
// differently gives the same totals.
#pragma once

#include <cstdint>

#include "pixels/simd.h"

// Adds the channels of the pixels [p, end) into s[0..3].
void add_pixels(const unsigned char *p, const unsigned char *end, uint32_t *s);

#if IMGTHUMB_SSE2
// Adds the leading whole groups of four pixels of [p, end) into s[0..3];
// returns where the rest begins.
const unsigned char *add_pixel_blocks(const unsigned char *p, const unsigned char *end, uint32_t *s);
#else
inline const unsigned char *add_pixel_blocks(const unsigned char *p, const unsigned char *, uint32_t *)
{
    return p;
}
#endif
