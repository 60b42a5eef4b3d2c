// The PNG row filters undone one byte at a time.
#include "io/png/png_unfilter.h"

#include <cstdlib>
#include <cstring>

// The decoder's predictor: of left, above and upper left, the one nearest
// to left + above - upper left, ties going to left, then above.
static inline int paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    if (pb <= pc) return b;
    return c;
}

void png_unfilter_scalar(int filter, const unsigned char *raw, const unsigned char *prior, unsigned char *out,
                         size_t from, size_t n, int bpp)
{
    const size_t b = (size_t)bpp;
    size_t i = from;
    switch (filter) {
    case PNG_FILTER_NONE:
        if (n > i) std::memcpy(out + i, raw + i, n - i);
        break;
    case PNG_FILTER_SUB:
        for (; i < n && i < b; i++) out[i] = raw[i];
        for (; i < n; i++) out[i] = (unsigned char)(raw[i] + out[i - b]);
        break;
    case PNG_FILTER_UP:
        for (; i < n; i++) out[i] = (unsigned char)(raw[i] + prior[i]);
        break;
    case PNG_FILTER_AVG:
        for (; i < n && i < b; i++) out[i] = (unsigned char)(raw[i] + (prior[i] >> 1));
        for (; i < n; i++) out[i] = (unsigned char)(raw[i] + ((prior[i] + out[i - b]) >> 1));
        break;
    case PNG_FILTER_PAETH:
        for (; i < n && i < b; i++) out[i] = (unsigned char)(raw[i] + prior[i]);
        for (; i < n; i++) out[i] = (unsigned char)(raw[i] + paeth(out[i - b], prior[i], prior[i - b]));
        break;
    }
}
