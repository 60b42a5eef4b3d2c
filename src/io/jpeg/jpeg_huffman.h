// Huffman decoding of baseline JPEG blocks: the coefficients the decoder
// itself finds, faster. Codes of up to JPEG_FAST_BITS bits are found with
// one lookup, which for most AC codes also yields the run and the value that
// follows; longer codes are found by their length, as canonical codes are.
//
// Where the decoder's own block decoding would fail (no such code, a DC
// magnitude above 15) or would read past the block (a run beyond the 64th
// coefficient, which it folds onto the last), the block is refused and the
// file goes to the decoder.
#pragma once

#include <cstdint>

#include "io/jpeg/jpeg_bits.h"
#include "io/jpeg/jpeg_stb_bridge.h"

constexpr int JPEG_FAST_BITS = 10;
constexpr int JPEG_MAX_CODE_BITS = 16;

// A lookup entry: the bits it takes (0: look the code up the long way),
// what it is, and its symbol or run and value.
constexpr uint32_t JPEG_ENTRY_BITS = 0x1F;
constexpr int JPEG_KIND_SHIFT = 5;
constexpr uint32_t JPEG_KIND_MASK = 7;
constexpr int JPEG_SYMBOL_SHIFT = 8;
constexpr uint32_t JPEG_SYMBOL_MASK = 0xFF;
constexpr int JPEG_VALUE_SHIFT = 16;
enum JpegEntryKind : uint32_t {
    JPEG_LONG,      // the code is longer than the lookup
    JPEG_COEF,      // a whole coefficient: run (AC) and value
    JPEG_SYMBOL,    // a code alone: its magnitude bits follow
    JPEG_BLOCK_END, // AC end of block (any zero magnitude but a run of 16)
    JPEG_ZERO_RUN,  // AC run of 16 zeros
};

struct JpegHuffLookup {
    uint32_t fast[1 << JPEG_FAST_BITS];
    // For each length L: one past the last code of length L, shifted to 16
    // bits; and the first symbol's index minus the first code.
    uint32_t maxcode[JPEG_MAX_CODE_BITS + 1];
    int delta[JPEG_MAX_CODE_BITS + 1];
    uint8_t symbol[JPEG_MAX_SYMBOLS];
};

// The lookup of a table the decoder built (ac: an AC table, whose entries
// also take runs and values).
void jpeg_huff_build(const JpegHuffmanTable &t, bool ac, JpegHuffLookup *out);

// Largest DC value the reader takes; beyond it the decoder's products would
// overflow, and no 8-bit image comes near it.
constexpr int JPEG_DC_LIMIT = 32767;
constexpr int JPEG_LAST_COEF = 63;
constexpr int JPEG_MAX_MAGNITUDE = 15;
constexpr int JPEG_ZRL = 0xF0;
constexpr int JPEG_ZRL_RUN = 16;
constexpr int JPEG_NIBBLE = 4;
constexpr int JPEG_NIBBLE_MASK = 15;

inline uint32_t jpeg_entry_bits(uint32_t e)
{
    return e & JPEG_ENTRY_BITS;
}

inline uint32_t jpeg_entry_kind(uint32_t e)
{
    return (e >> JPEG_KIND_SHIFT) & JPEG_KIND_MASK;
}

inline int jpeg_entry_symbol(uint32_t e)
{
    return (int)((e >> JPEG_SYMBOL_SHIFT) & JPEG_SYMBOL_MASK);
}

inline int jpeg_entry_value(uint32_t e)
{
    return (int)(int16_t)(e >> JPEG_VALUE_SHIFT);
}

// The value of n magnitude bits v, as JPEG extends them.
inline int jpeg_extend(unsigned v, int n)
{
    return v < (1u << (n - 1)) ? (int)v - (1 << n) + 1 : (int)v;
}

inline int jpeg_receive_extend(JpegBits *b, int n)
{
    const unsigned v = jpeg_bits_peek(b, n);
    jpeg_bits_skip(b, n);
    return jpeg_extend(v, n);
}

// A code longer than the lookup: its symbol, or -1 when the bits start no
// code of the table.
inline int jpeg_huff_long(JpegBits *b, const JpegHuffLookup *h)
{
    const unsigned look = jpeg_bits_peek(b, JPEG_MAX_CODE_BITS);
    int len = JPEG_FAST_BITS + 1;
    while (len <= JPEG_MAX_CODE_BITS && look >= h->maxcode[len]) len++;
    if (len > JPEG_MAX_CODE_BITS) return -1;
    const int index = (int)(look >> (JPEG_MAX_CODE_BITS - len)) + h->delta[len];
    jpeg_bits_skip(b, len);
    return h->symbol[index];
}

// The symbol of an entry that is no whole coefficient: taken from the
// entry, or found the long way (-1: no code).
inline int jpeg_entry_or_long(JpegBits *b, const JpegHuffLookup *h, uint32_t e)
{
    if (jpeg_entry_kind(e) == JPEG_LONG) return jpeg_huff_long(b, h);
    jpeg_bits_skip(b, (int)jpeg_entry_bits(e));
    return jpeg_entry_symbol(e);
}

// Decodes one block as the decoder does: the DC difference added to *pred,
// then the AC coefficients. With STORE, writes every coefficient times its
// factor (truncated to 16 bits, as the decoder stores it) at its place in
// natural order into coef, which the caller has zeroed. false when the
// block goes to the decoder (see above).
template <bool STORE>
inline bool jpeg_decode_block(JpegBits *b, const JpegHuffLookup *dc, const JpegHuffLookup *ac, int *pred,
                              short *coef, const uint16_t *dq, const uint8_t *zigzag)
{
    if (b->bits < JPEG_SYMBOL_BITS) jpeg_bits_refill(b);
    uint32_t e = dc->fast[jpeg_bits_peek(b, JPEG_FAST_BITS)];
    int diff;
    if (jpeg_entry_kind(e) == JPEG_COEF) {
        jpeg_bits_skip(b, (int)jpeg_entry_bits(e));
        diff = jpeg_entry_value(e);
    } else {
        const int t = jpeg_entry_or_long(b, dc, e);
        if (t < 0 || t > JPEG_MAX_MAGNITUDE) return false;
        diff = t ? jpeg_receive_extend(b, t) : 0;
    }
    const int dcv = *pred + diff;
    if (dcv > JPEG_DC_LIMIT || dcv < -JPEG_DC_LIMIT) return false;
    *pred = dcv;
    if (STORE) coef[0] = (short)(dcv * dq[0]);

    int k = 1;
    while (k <= JPEG_LAST_COEF) {
        if (b->bits < JPEG_SYMBOL_BITS) jpeg_bits_refill(b);
        e = ac->fast[jpeg_bits_peek(b, JPEG_FAST_BITS)];
        const uint32_t kind = jpeg_entry_kind(e);
        int value;
        if (kind == JPEG_COEF) {
            jpeg_bits_skip(b, (int)jpeg_entry_bits(e));
            k += jpeg_entry_symbol(e);
            value = jpeg_entry_value(e);
        } else if (kind == JPEG_BLOCK_END) {
            jpeg_bits_skip(b, (int)jpeg_entry_bits(e));
            break;
        } else if (kind == JPEG_ZERO_RUN) {
            jpeg_bits_skip(b, (int)jpeg_entry_bits(e));
            k += JPEG_ZRL_RUN;
            continue;
        } else {
            const int rs = jpeg_entry_or_long(b, ac, e);
            if (rs < 0) return false;
            const int s = rs & JPEG_NIBBLE_MASK;
            if (s == 0) {
                if (rs != JPEG_ZRL) break;
                k += JPEG_ZRL_RUN;
                continue;
            }
            k += rs >> JPEG_NIBBLE;
            value = jpeg_receive_extend(b, s);
        }
        if (k > JPEG_LAST_COEF) return false;
        if (STORE) {
            const int z = zigzag[k];
            coef[z] = (short)(value * dq[z]);
        }
        k++;
    }
    return true;
}
