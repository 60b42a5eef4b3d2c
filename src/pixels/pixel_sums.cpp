// Channel sums of a run of RGBA pixels, one pixel at a time after the
// vector kernel's share.
#include "pixels/pixel_sums.h"

static const int RGBA_CHANNELS = 4;

void add_pixels(const unsigned char *p, const unsigned char *end, uint32_t *s)
{
    for (p = add_pixel_blocks(p, end, s); p < end; p += RGBA_CHANNELS) {
        s[0] += p[0];
        s[1] += p[1];
        s[2] += p[2];
        s[3] += p[3];
    }
}
