// Channel sums of a run of RGBA pixels with SSE2: sixteen-bit lanes added
// for as long as they cannot overflow, then widened into the totals.
#include "pixels/pixel_sums.h"

#if IMGTHUMB_SSE2
#include <emmintrin.h>

static const int RGBA_CHANNELS = 4;
// Pixels per 16-byte load, and loads a 16-bit lane takes before it could
// overflow: each lane adds one channel of two pixels per load, and
// 2 * 128 * 255 < 65536.
static const int PIXELS_PER_LOAD = 4;
static const int64_t LOADS_PER_FLUSH = 128;

const unsigned char *add_pixel_blocks(const unsigned char *p, const unsigned char *end, uint32_t *s)
{
    const int64_t load_bytes = PIXELS_PER_LOAD * RGBA_CHANNELS;
    if (end - p < load_bytes) return p;
    const __m128i zero = _mm_setzero_si128();
    __m128i total = _mm_setzero_si128();
    while (end - p >= load_bytes) {
        int64_t loads = (end - p) / load_bytes;
        if (loads > LOADS_PER_FLUSH) loads = LOADS_PER_FLUSH;
        // Sixteen-bit lanes: channel c of the even pixels in lane c, of the
        // odd ones in lane 4 + c.
        __m128i acc = zero;
        for (int64_t i = 0; i < loads; i++, p += load_bytes) {
            const __m128i px = _mm_loadu_si128((const __m128i *)p);
            acc = _mm_add_epi16(acc, _mm_unpacklo_epi8(px, zero));
            acc = _mm_add_epi16(acc, _mm_unpackhi_epi8(px, zero));
        }
        total = _mm_add_epi32(total, _mm_unpacklo_epi16(acc, zero));
        total = _mm_add_epi32(total, _mm_unpackhi_epi16(acc, zero));
    }
    uint32_t t[RGBA_CHANNELS];
    _mm_storeu_si128((__m128i *)t, total);
    for (int c = 0; c < RGBA_CHANNELS; c++) s[c] += t[c];
    return p;
}
#endif
