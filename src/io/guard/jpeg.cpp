// The check before decoding a JPEG file: every Huffman table it holds, read
// as the decoder reads it and decided on, found by a pass over the markers.
#include <cstdint>

#include "io/guard/guard_formats.h"

static const int JPEG_MARK = 0xFF;
static const int JPEG_SOS = 0xDA;
static const int JPEG_DHT = 0xC4;
static const int JPEG_EOI = 0xD9;
// Markers without a length: TEM, reserved 0x01, the restarts and SOI. A
// stuffed zero after 0xFF in entropy-coded data reads like one.
static const int JPEG_STUFFED = 0x00;
static const int JPEG_TEM = 0x01;
static const int JPEG_RST0 = 0xD0;
static const int JPEG_SOI = 0xD8;
static const int JPEG_LENGTH_BYTES = 2;
// The decoder's Huffman tables: classes 0 and 1, ids 0 to 3, codes of 1 to
// 16 bits (JPEG_MAX_CODE_LENGTH), at most 256 symbols. Its fast table
// covers codes up to JPEG_FAST_BITS long; its entry 255 means "no code".
static const int JPEG_MAX_TABLE_CLASS = 1;
static const int JPEG_MAX_TABLE_ID = 3;
static const int JPEG_MAX_SYMBOLS = 256;
static const int JPEG_FAST_BITS = 9;

static HuffmanTableHeader read_huffman_table_header(GuardReader *r)
{
    HuffmanTableHeader t;
    const int q = get8(r);
    t.table_class = q >> 4;
    t.id = q & 15;
    for (int i = 0; i < JPEG_MAX_CODE_LENGTH; i++) t.counts[i] = get8(r);
    return t;
}

bool huffman_table_refused_by_decoder(const HuffmanTableHeader &t)
{
    return t.table_class > JPEG_MAX_TABLE_CLASS || t.id > JPEG_MAX_TABLE_ID;
}

static int huffman_symbols(const HuffmanTableHeader &t)
{
    int n = 0;
    for (int i = 0; i < JPEG_MAX_CODE_LENGTH; i++) n += t.counts[i];
    return n;
}

// The decoder does not bound the number of codes in a table (more than 256
// write past its arrays), and gives a table of 256 codes whose last code is
// short an entry 255 in its fast table, which it takes for "no code" (an
// assertion fails, or a code of the wrong length is decoded).
const char *decide_huffman_table(const HuffmanTableHeader &t)
{
    int last_length = 0;
    for (int i = 0; i < JPEG_MAX_CODE_LENGTH; i++)
        if (t.counts[i]) last_length = i + 1;
    const int n = huffman_symbols(t);
    if (n > JPEG_MAX_SYMBOLS) return "bad DHT header";
    if (n == JPEG_MAX_SYMBOLS && last_length <= JPEG_FAST_BITS) return "bad huffman code";
    return nullptr;
}

// The tables of one DHT segment of len bytes.
static const char *check_dht(GuardReader *r, int64_t len)
{
    while (len > 0 && !r->past_end) {
        const HuffmanTableHeader t = read_huffman_table_header(r);
        if (huffman_table_refused_by_decoder(t)) return nullptr;
        if (const char *reason = decide_huffman_table(t)) return reason;
        const int n = huffman_symbols(t);
        skip(r, n);
        len -= 1 + JPEG_MAX_CODE_LENGTH + n;
    }
    return nullptr;
}

static bool jpeg_standalone(int m)
{
    return m == JPEG_STUFFED || m == JPEG_TEM || (m >= JPEG_RST0 && m <= JPEG_SOI);
}

// The next marker code: the byte after a run of 0xFF. Stray bytes are
// passed over, and within entropy-coded data so are stuffed zeros and
// restart markers, so that no table the decoder could read is missed.
static int next_marker(GuardReader *r, bool in_scan)
{
    for (;;) {
        if (!find_byte(r, JPEG_MARK)) return -1;
        int b = get8(r);
        while (b == JPEG_MARK) b = get8(r);
        if (r->past_end) return -1;
        if (in_scan && jpeg_standalone(b)) continue;
        return b;
    }
}

// Every Huffman table of the file, wherever it stands: the decoder also
// reads tables between the scans of a progressive image, and of a baseline
// image whose components come in scans of their own.
static const char *check_jpeg(GuardReader *r)
{
    next_marker(r, false); // SOI
    bool in_scan = false;
    for (;;) {
        const int m = next_marker(r, in_scan);
        if (m < 0 || m == JPEG_EOI) return nullptr;
        if (jpeg_standalone(m)) continue;
        const int64_t len = get16be(r) - JPEG_LENGTH_BYTES;
        if (m == JPEG_DHT) {
            if (const char *reason = check_dht(r, len)) return reason;
        } else {
            skip(r, len);
        }
        in_scan = m == JPEG_SOS;
    }
}

GuardVerdict guard_jpeg(GuardReader *r)
{
    return GuardVerdict{check_jpeg(r), Size{0, 0}};
}
