// The bits of a JPEG scan, read from the file as the decoder reads them:
// stuffed zeros removed, fill bytes before a marker skipped, and zero bits
// once a marker (or the end of the file) is met. Unlike the decoder, the
// reader counts those zero bits, so that a scan which needs more data than
// it holds is seen and handed back rather than decoded from made-up bits.
//
// The fast path loads eight bytes at a time while none of them is 0xFF;
// the buffer then holds 56 to 63 bits.
#pragma once

#include <cstdint>
#include <cstdio>

// Markers met in a scan, besides the real ones (0x01..0xFE).
constexpr int JPEG_NO_MARKER = -1;
constexpr int JPEG_FILE_END = -2;
constexpr int JPEG_RST0 = 0xD0;
constexpr int JPEG_RST_COUNT = 8;
constexpr int JPEG_EOI = 0xD9;

// Bytes read from the file at a time.
constexpr int JPEG_CHUNK = 65536;
// Bits the fast path may need for one code and its value: a 16-bit code and
// 15 value bits.
constexpr int JPEG_SYMBOL_BITS = 31;

struct JpegBits {
    uint64_t buf;       // the next bits, the first at bit 63; below bit 64 - bits, bytes loaded ahead
    int bits;           // valid bits in buf (0..63)
    int fill;           // of them, the zero bits made up after a marker
    int marker;         // the marker that ended the data, or JPEG_NO_MARKER / JPEG_FILE_END
    bool fill_before;   // 0xFF fill bytes stood before that marker
    const uint8_t *p;   // the next byte of the chunk
    const uint8_t *safe;// p + 8 <= safe: eight bytes without 0xFF lie at p
    const uint8_t *end; // the end of the chunk's data
    uint8_t *chunk;     // JPEG_CHUNK bytes
    FILE *file;
    bool file_done;
};

// Starts reading with the bytes the header parser read ahead (copied into
// chunk), then the file from its position. chunk holds JPEG_CHUNK bytes.
void jpeg_bits_begin(JpegBits *b, FILE *file, uint8_t *chunk, const uint8_t *pending, int pending_len);

// Fills the buffer to 57 bits or more the slow way: byte by byte, at a
// 0xFF, near the end of the chunk, or past a marker.
void jpeg_bits_refill_slow(JpegBits *b);

inline uint64_t jpeg_load_be64(const uint8_t *p)
{
    return (uint64_t)p[0] << 56 | (uint64_t)p[1] << 48 | (uint64_t)p[2] << 40 | (uint64_t)p[3] << 32 |
           (uint64_t)p[4] << 24 | (uint64_t)p[5] << 16 | (uint64_t)p[6] << 8 | (uint64_t)p[7];
}

// Tops the buffer up to 56 bits or more. The loaded word's bytes beyond
// those taken stay below the valid bits; the next load puts the same bytes
// at the same place, so they are taken then as they are.
inline void jpeg_bits_refill(JpegBits *b)
{
    if (b->p + 8 <= b->safe) {
        b->buf |= jpeg_load_be64(b->p) >> b->bits;
        b->p += (63 - b->bits) >> 3;
        b->bits |= 56;
    } else {
        jpeg_bits_refill_slow(b);
    }
}

inline unsigned jpeg_bits_peek(const JpegBits *b, int n)
{
    return (unsigned)(b->buf >> (64 - n));
}

inline void jpeg_bits_skip(JpegBits *b, int n)
{
    b->buf <<= n;
    b->bits -= n;
}

// True while the bits used so far were all the file's.
inline bool jpeg_bits_real(const JpegBits *b)
{
    return b->bits >= b->fill;
}

// At the end of a restart interval: 1 when the data ran out exactly there
// (only the padding of its last byte unused) and restart marker n follows,
// then the reader starts afresh after it; 0 otherwise.
int jpeg_bits_restart(JpegBits *b, int n);

// At the end of the scan: 1 when the data ran out exactly there and the end
// marker follows at once, as the decoder reads it without fail (with fill
// bytes before it, the decoder's outcome depends on how far it read ahead).
int jpeg_bits_end(JpegBits *b);
