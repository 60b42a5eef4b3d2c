// The check before decoding a JPEG file, one pass over its markers: every
// Huffman table it holds, read as the decoder reads it and decided on, and
// every table a scan reads defined before the decoder reads it.
#include <cstdint>

#include "io/guard/guard_formats.h"

static const int JPEG_MARK = 0xFF;
static const int JPEG_SOS = 0xDA;
static const int JPEG_DHT = 0xC4;
static const int JPEG_DQT = 0xDB;
// The frames the decoder reads: baseline, extended sequential, progressive.
static const int JPEG_SOF0 = 0xC0;
static const int JPEG_SOF1 = 0xC1;
static const int JPEG_SOF2 = 0xC2;
// A frame of the decoder's has one to four components.
static const int JPEG_MAX_COMPONENTS = 4;
// Quantisation entries of 8 or 16 bits, 64 of them.
static const int JPEG_QUANT_ENTRIES = 64;
static const int JPEG_MAX_QUANT_PRECISION = 1;
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

// The tables of one DHT segment of len bytes; each one read is marked
// defined.
static const char *check_dht(GuardReader *r, int64_t len, JpegTablesDefined *defined)
{
    while (len > 0 && !r->past_end) {
        const HuffmanTableHeader t = read_huffman_table_header(r);
        if (huffman_table_refused_by_decoder(t)) return nullptr;
        if (const char *reason = decide_huffman_table(t)) return reason;
        (t.table_class == 0 ? defined->dc : defined->ac)[t.id] = true;
        const int n = huffman_symbols(t);
        skip(r, n);
        len -= 1 + JPEG_MAX_CODE_LENGTH + n;
    }
    return nullptr;
}

// The tables of one DQT segment of len bytes, marked defined.
static void read_dqt(GuardReader *r, int64_t len, JpegTablesDefined *defined)
{
    while (len > 0 && !r->past_end) {
        const int q = get8(r);
        const int precision = q >> 4, id = q & 15;
        // The decoder refuses the file here: nothing more to learn.
        if (precision > JPEG_MAX_QUANT_PRECISION || id >= JPEG_TABLE_SLOTS) {
            skip(r, len - 1);
            return;
        }
        defined->quant[id] = true;
        const int bytes = JPEG_QUANT_ENTRIES * (precision + 1);
        skip(r, bytes);
        len -= 1 + bytes;
    }
}

const char *decide_jpeg_scan_component(const JpegScanComponent &c, const JpegTablesDefined &t, bool progressive,
                                       int spectral_start, int approx_high)
{
    if (!progressive) {
        if (!t.quant[c.quant]) return "bad DQT table";
        if (!t.dc[c.dc_table]) return "bad DC huff";
        if (!t.ac[c.ac_table]) return "bad AC huff";
        return nullptr;
    }
    if (spectral_start == 0) return approx_high == 0 && !t.dc[c.dc_table] ? "bad DC huff" : nullptr;
    return t.ac[c.ac_table] ? nullptr : "bad AC huff";
}

const char *decide_jpeg_end(int quant_table, bool had_first_dc_pass, const JpegTablesDefined &t)
{
    if (!t.quant[quant_table]) return "bad DQT table";
    return had_first_dc_pass ? nullptr : "bad SOS";
}

// The decoder's frame, as far as the tables go: its first SOF alone counts.
struct JpegFrame {
    bool seen, progressive;
    int count;
    int id[JPEG_MAX_COMPONENTS], quant[JPEG_MAX_COMPONENTS];
    bool first_dc_pass[JPEG_MAX_COMPONENTS];
};

static void read_frame(GuardReader *r, int64_t len, int marker, JpegFrame *f)
{
    const int64_t header = 6; // precision, height, width, component count
    f->seen = true;
    f->progressive = marker == JPEG_SOF2;
    skip(r, header - 1);
    f->count = get8(r);
    int64_t left = len - header;
    // The decoder refuses any other count: then nothing is checked.
    if (f->count < 1 || f->count > JPEG_MAX_COMPONENTS) f->count = 0;
    for (int i = 0; i < f->count; i++) {
        f->id[i] = get8(r);
        get8(r); // sampling factors
        f->quant[i] = get8(r);
        f->first_dc_pass[i] = false;
        // A table index past 3 is the decoder's own refusal ("bad TQ").
        if (f->quant[i] >= JPEG_TABLE_SLOTS) f->count = 0;
        left -= 3;
    }
    skip(r, left);
}

// One scan header: each of its components' tables decided on.
static const char *check_scan(GuardReader *r, int64_t len, JpegFrame *f, const JpegTablesDefined &defined)
{
    const int n = get8(r);
    int selector[JPEG_MAX_COMPONENTS], tables[JPEG_MAX_COMPONENTS];
    if (n < 1 || n > JPEG_MAX_COMPONENTS) {
        skip(r, len - 1);
        return nullptr; // the decoder refuses the count
    }
    for (int i = 0; i < n; i++) {
        selector[i] = get8(r);
        tables[i] = get8(r);
    }
    const int spectral_start = get8(r);
    get8(r); // spectral end
    const int approx_high = get8(r) >> 4;
    skip(r, len - (1 + 2 * n + 3));
    if (r->past_end) return nullptr;
    for (int i = 0; i < n; i++) {
        int which = 0;
        while (which < f->count && f->id[which] != selector[i]) which++;
        const int dc = tables[i] >> 4, ac = tables[i] & 15;
        // No such component, or a table index the decoder refuses itself.
        if (which == f->count || dc >= JPEG_TABLE_SLOTS || ac >= JPEG_TABLE_SLOTS) return nullptr;
        const JpegScanComponent c{f->quant[which], dc, ac};
        if (const char *reason = decide_jpeg_scan_component(c, defined, f->progressive, spectral_start, approx_high))
            return reason;
        if (spectral_start == 0 && approx_high == 0) f->first_dc_pass[which] = true;
    }
    return nullptr;
}

static const char *check_end(const JpegFrame &f, const JpegTablesDefined &defined)
{
    if (!f.progressive) return nullptr;
    for (int i = 0; i < f.count; i++)
        if (const char *reason = decide_jpeg_end(f.quant[i], f.first_dc_pass[i], defined)) return reason;
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
// image whose components come in scans of their own. And every table a scan
// reads, defined by the time the decoder reads it.
static const char *check_jpeg(GuardReader *r)
{
    next_marker(r, false); // SOI
    bool in_scan = false;
    JpegTablesDefined defined = {};
    JpegFrame frame = {};
    for (;;) {
        const int m = next_marker(r, in_scan);
        if (m < 0 || m == JPEG_EOI) return frame.seen ? check_end(frame, defined) : nullptr;
        if (jpeg_standalone(m)) continue;
        const int64_t len = get16be(r) - JPEG_LENGTH_BYTES;
        const char *reason = nullptr;
        if (m == JPEG_DHT) {
            reason = check_dht(r, len, &defined);
        } else if (m == JPEG_DQT) {
            read_dqt(r, len, &defined);
        } else if ((m == JPEG_SOF0 || m == JPEG_SOF1 || m == JPEG_SOF2) && !frame.seen) {
            read_frame(r, len, m, &frame);
        } else if (m == JPEG_SOS && frame.seen) {
            reason = check_scan(r, len, &frame, defined);
        } else {
            skip(r, len);
        }
        if (reason) return reason;
        in_scan = m == JPEG_SOS;
    }
}

GuardVerdict guard_jpeg(GuardReader *r)
{
    return GuardVerdict{check_jpeg(r), Size{0, 0}};
}
