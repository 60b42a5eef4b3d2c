// PNG samples to RGBA8.
#include "io/png/png_convert.h"

#include <cstring>

static const int GREY = 0, RGB = 2, PALETTE = 3, GREY_ALPHA = 4;
static const unsigned char OPAQUE = 255, CLEAR = 0;
static const unsigned char DEPTH_SCALE[9] = {0, 0xff, 0x55, 0, 0x11, 0, 0, 0, 0x01};

// Sample k of a row packed at depth bits (1, 2 or 4), highest bits first.
static inline unsigned packed_sample(const unsigned char *row, uint64_t k, int depth)
{
    const uint64_t bit = k * (uint64_t)depth;
    const unsigned shift = 8u - (unsigned)depth - (unsigned)(bit & 7);
    return (unsigned)(row[bit >> 3] >> shift) & ((1u << depth) - 1u);
}

static inline void put(unsigned char *d, unsigned r, unsigned g, unsigned b, unsigned a)
{
    d[0] = (unsigned char)r;
    d[1] = (unsigned char)g;
    d[2] = (unsigned char)b;
    d[3] = (unsigned char)a;
}

static void convert_8(const PngReader &r, const unsigned char *palette, const unsigned char *row, uint32_t x0,
                      uint32_t n, unsigned char *dst)
{
    const unsigned char *t = r.trans8;
    switch (r.colour) {
    case GREY:
        for (uint32_t i = 0; i < n; i++, dst += 4) {
            const unsigned v = row[x0 + i];
            put(dst, v, v, v, r.has_trans && v == t[0] ? CLEAR : OPAQUE);
        }
        break;
    case RGB: {
        const unsigned char *s = row + (uint64_t)x0 * 3;
        if (!r.has_trans) {
            for (uint32_t i = 0; i < n; i++, s += 3, dst += 4) put(dst, s[0], s[1], s[2], OPAQUE);
            break;
        }
        for (uint32_t i = 0; i < n; i++, s += 3, dst += 4)
            put(dst, s[0], s[1], s[2], s[0] == t[0] && s[1] == t[1] && s[2] == t[2] ? CLEAR : OPAQUE);
        break;
    }
    case PALETTE:
        for (uint32_t i = 0; i < n; i++, dst += 4) std::memcpy(dst, palette + row[x0 + i] * 4, 4);
        break;
    case GREY_ALPHA: {
        const unsigned char *s = row + (uint64_t)x0 * 2;
        for (uint32_t i = 0; i < n; i++, s += 2, dst += 4) put(dst, s[0], s[0], s[0], s[1]);
        break;
    }
    default: std::memcpy(dst, row + (uint64_t)x0 * 4, (size_t)n * 4); break;
    }
}

static inline unsigned sample16(const unsigned char *s)
{
    return (unsigned)s[0] << 8 | s[1];
}

static void convert_16(const PngReader &r, const unsigned char *row, uint32_t x0, uint32_t n, unsigned char *dst)
{
    const uint16_t *t = r.trans16;
    const unsigned char *s = row + (uint64_t)x0 * (uint64_t)r.channels * 2;
    for (uint32_t i = 0; i < n; i++, dst += 4, s += r.channels * 2) {
        switch (r.colour) {
        case GREY: put(dst, s[0], s[0], s[0], r.has_trans && sample16(s) == t[0] ? CLEAR : OPAQUE); break;
        case RGB: {
            const bool clear =
                r.has_trans && sample16(s) == t[0] && sample16(s + 2) == t[1] && sample16(s + 4) == t[2];
            put(dst, s[0], s[2], s[4], clear ? CLEAR : OPAQUE);
            break;
        }
        case GREY_ALPHA: put(dst, s[0], s[0], s[0], s[2]); break;
        default: put(dst, s[0], s[2], s[4], s[6]); break;
        }
    }
}

static void convert_packed(const PngReader &r, const unsigned char *palette, const unsigned char *row, uint32_t x0,
                           uint32_t n, unsigned char *dst)
{
    const int d = r.depth;
    const unsigned scale = r.colour == GREY ? DEPTH_SCALE[d] : 1;
    const unsigned char *t = r.trans8;
    const uint64_t c = (uint64_t)r.channels;
    for (uint32_t i = 0; i < n; i++, dst += 4) {
        const uint64_t k = ((uint64_t)x0 + i) * c;
        switch (r.colour) {
        case GREY: {
            const unsigned v = (unsigned char)(packed_sample(row, k, d) * scale);
            put(dst, v, v, v, r.has_trans && v == t[0] ? CLEAR : OPAQUE);
            break;
        }
        case RGB: {
            const unsigned cr = packed_sample(row, k, d), cg = packed_sample(row, k + 1, d),
                           cb = packed_sample(row, k + 2, d);
            put(dst, cr, cg, cb, r.has_trans && cr == t[0] && cg == t[1] && cb == t[2] ? CLEAR : OPAQUE);
            break;
        }
        case PALETTE: std::memcpy(dst, palette + packed_sample(row, k, d) * 4, 4); break;
        case GREY_ALPHA: {
            const unsigned v = packed_sample(row, k, d);
            put(dst, v, v, v, packed_sample(row, k + 1, d));
            break;
        }
        default:
            put(dst, packed_sample(row, k, d), packed_sample(row, k + 1, d), packed_sample(row, k + 2, d),
                packed_sample(row, k + 3, d));
            break;
        }
    }
}

void png_convert_row(const PngReader &r, const unsigned char *palette, const unsigned char *row, uint32_t x0,
                     uint32_t n, unsigned char *dst)
{
    if (r.depth == 8)
        convert_8(r, palette, row, x0, n, dst);
    else if (r.depth == 16)
        convert_16(r, row, x0, n, dst);
    else
        convert_packed(r, palette, row, x0, n, dst);
}
