// The lookups of the baseline Huffman decoder, built from the tables the
// decoder's parser built (code lengths in canonical order).
#include "io/jpeg/jpeg_huffman.h"

#include <cstring>

static uint32_t entry(JpegEntryKind kind, int bits, int symbol, int value)
{
    return (uint32_t)bits | (uint32_t)kind << JPEG_KIND_SHIFT | (uint32_t)symbol << JPEG_SYMBOL_SHIFT |
           (uint32_t)(uint16_t)(int16_t)value << JPEG_VALUE_SHIFT;
}

// The entry for lookup index i, which starts with the code of symbol rs,
// len bits long.
static uint32_t fast_entry(bool ac, int rs, int len, uint32_t i)
{
    const int s = ac ? rs & JPEG_NIBBLE_MASK : rs;
    const int run = ac ? rs >> JPEG_NIBBLE : 0;
    if (ac && s == 0) return entry(rs == JPEG_ZRL ? JPEG_ZERO_RUN : JPEG_BLOCK_END, len, 0, 0);
    if (s > JPEG_MAX_MAGNITUDE || len + s > JPEG_FAST_BITS) return entry(JPEG_SYMBOL, len, rs, 0);
    if (s == 0) return entry(JPEG_COEF, len, 0, 0);
    const unsigned bits = (i >> (JPEG_FAST_BITS - len - s)) & ((1u << s) - 1);
    return entry(JPEG_COEF, len + s, run, jpeg_extend(bits, s));
}

void jpeg_huff_build(const JpegHuffmanTable &t, bool ac, JpegHuffLookup *out)
{
    std::memset(out->fast, 0, sizeof out->fast);
    uint32_t codes[JPEG_MAX_SYMBOLS];
    uint32_t code = 0;
    int k = 0;
    for (int len = 1; len <= JPEG_MAX_CODE_BITS; len++) {
        out->delta[len] = k - (int)code;
        while (k < t.count && t.length[k] == len) codes[k++] = code++;
        out->maxcode[len] = code << (JPEG_MAX_CODE_BITS - len);
        code <<= 1;
    }
    out->maxcode[0] = 0;
    out->delta[0] = 0;
    for (int i = 0; i < t.count; i++) {
        out->symbol[i] = t.symbol[i];
        const int len = t.length[i];
        if (len > JPEG_FAST_BITS) continue;
        const uint32_t first = codes[i] << (JPEG_FAST_BITS - len);
        for (uint32_t j = 0; j < (1u << (JPEG_FAST_BITS - len)); j++)
            out->fast[first + j] = fast_entry(ac, t.symbol[i], len, first + j);
    }
}
