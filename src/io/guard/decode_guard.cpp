// Pre-decode checks for the decoder's known holes. For each format the
// header is read into a small record first, the way the decoder reads it;
// a pure function then decides on that record (the decoder's limits, its
// known holes) whether the file passes, is refused, or needs a look at its
// pixel data. Where the decoder itself refuses a file, the check lets it
// through so that the decoder's reason stands.
#include "io/guard/decode_guard.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "io/stb_bridge.h"

// The decoder's default limit on a side.
static const int64_t DECODER_MAX_SIDE = 1 << 24;
// The decoder's buffers are sized in int: a larger byte count is refused by
// the decoder itself.
static const int64_t DECODER_MAX_BYTES = INT_MAX;

// Bytes read from the file at a time. Large blocks keep the JPEG check, which
// passes over all of the entropy-coded data, cheap next to the decoding.
static const size_t GUARD_BUFFER = 131072;

// ---- Reading -----------------------------------------------------------------

// A forward-only byte reader that, like the decoder, yields 0 past the end.
struct GuardReader {
    FILE *file;
    size_t pos, len;
    bool past_end;
    unsigned char buf[GUARD_BUFFER];
};

static bool refill(GuardReader *r)
{
    r->pos = 0;
    r->len = std::fread(r->buf, 1, GUARD_BUFFER, r->file);
    return r->len > 0;
}

static bool at_end(GuardReader *r)
{
    return r->pos == r->len && !refill(r);
}

static int get8(GuardReader *r)
{
    if (at_end(r)) {
        r->past_end = true;
        return 0;
    }
    return r->buf[r->pos++];
}

static int get16le(GuardReader *r)
{
    const int lo = get8(r);
    return lo | get8(r) << 8;
}

static int get16be(GuardReader *r)
{
    const int hi = get8(r);
    return hi << 8 | get8(r);
}

static uint32_t get32le(GuardReader *r)
{
    const uint32_t lo = (uint32_t)get16le(r);
    return lo | (uint32_t)get16le(r) << 16;
}

// Moves n bytes on; false when the file ends first.
static bool skip(GuardReader *r, int64_t n)
{
    while (n > 0) {
        if (at_end(r)) {
            r->past_end = true;
            return false;
        }
        const size_t step = (uint64_t)n < r->len - r->pos ? (size_t)n : r->len - r->pos;
        r->pos += step;
        n -= (int64_t)step;
    }
    return true;
}

// Moves on to the next byte equal to value, searching whole blocks at a
// time; false when the file ends first.
static bool find_byte(GuardReader *r, unsigned char value)
{
    for (;;) {
        if (at_end(r)) {
            r->past_end = true;
            return false;
        }
        const void *hit = std::memchr(r->buf + r->pos, value, r->len - r->pos);
        if (hit) {
            r->pos = (size_t)((const unsigned char *)hit - r->buf);
            return true;
        }
        r->pos = r->len;
    }
}

// ---- Decisions -----------------------------------------------------------------

// What a header decides beyond a plain verdict: which look at the pixel data
// settles the file.
enum DataCheck {
    DATA_NONE,       // the verdict stands
    DATA_PRESENT,    // after skipping `skip` bytes, `need` bytes must follow
    DATA_HDR_RUNS,   // the run-length scanlines must be sound
    DATA_BMP_INDICES, // after skipping `skip` bytes, every index must lie in the palette
    DATA_SIZE         // when `need` bytes follow `skip` bytes, refused for its size
};

struct Decision {
    GuardVerdict verdict;
    DataCheck check;
    int64_t skip, need;
    Size size; // the image's size, for DATA_SIZE
};

static Decision pass()
{
    return Decision{GuardVerdict{nullptr, Size{0, 0}}, DATA_NONE, 0, 0, Size{0, 0}};
}

static Decision refuse(const char *reason)
{
    Decision d = pass();
    d.verdict.reason = reason;
    return d;
}

static Decision look_at(DataCheck check, int64_t skip_bytes, int64_t need_bytes)
{
    Decision d = pass();
    d.check = check;
    d.skip = skip_bytes;
    d.need = need_bytes;
    return d;
}

// ---- PNM -----------------------------------------------------------------------

// Largest sample value of 8-bit and of 16-bit files.
static const int64_t PNM_MAX_8BIT = 255;
static const int64_t PNM_MAX_16BIT = 65535;
// A header number the decoder would overflow on.
static const int64_t PNM_OVERFLOW = -1;

struct PnmHeader {
    int channels;
    int64_t width, height, max_value; // PNM_OVERFLOW when past int
};

static bool pnm_space(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static void pnm_skip_space(GuardReader *r, int *c)
{
    for (;;) {
        while (!at_end(r) && pnm_space(*c)) *c = get8(r);
        if (at_end(r) || *c != '#') return;
        while (!at_end(r) && *c != '\n' && *c != '\r') *c = get8(r);
    }
}

// A decimal header number. The decoder adds digits in a plain int, which
// overflows (undefined behaviour) on a long number; such a number is flagged
// instead.
static int64_t pnm_number(GuardReader *r, int *c)
{
    int64_t value = 0;
    while (!at_end(r) && *c >= '0' && *c <= '9') {
        if (value != PNM_OVERFLOW) value = value * 10 + (*c - '0');
        if (value > INT_MAX) value = PNM_OVERFLOW;
        *c = get8(r);
    }
    return value;
}

static PnmHeader read_pnm_header(GuardReader *r)
{
    PnmHeader h;
    get8(r); // 'P'
    h.channels = get8(r) == '6' ? 3 : 1;
    int c = get8(r);
    pnm_skip_space(r, &c);
    h.width = pnm_number(r, &c);
    pnm_skip_space(r, &c);
    h.height = pnm_number(r, &c);
    pnm_skip_space(r, &c);
    h.max_value = pnm_number(r, &c);
    return h;
}

// Binary PGM and PPM: 16-bit samples are converted as if they were 8-bit and
// then read past their buffer; short pixel data leaves heap bytes behind.
// In the decoder's order: the maximum, then the sizes.
static Decision decide_pnm(const PnmHeader &h)
{
    if (h.max_value == PNM_OVERFLOW) return refuse("max value > 65535");
    if (h.max_value > PNM_MAX_16BIT) return pass();
    if (h.width == PNM_OVERFLOW || h.height == PNM_OVERFLOW) return refuse("too large");
    const int64_t sample_bytes = h.max_value > PNM_MAX_8BIT ? 2 : 1;
    const int64_t samples = h.channels * h.width * h.height;
    if (h.width > DECODER_MAX_SIDE || h.height > DECODER_MAX_SIDE || samples * sample_bytes > DECODER_MAX_BYTES)
        return pass();
    if (sample_bytes != 1) return refuse("unsupported bit depth");
    return look_at(DATA_PRESENT, 0, samples);
}

// ---- HDR -----------------------------------------------------------------------

// The decoder reads header lines into a buffer of this size.
static const int HDR_LINE_MAX = 1024;
static const char HDR_RGBE_FORMAT[] = "FORMAT=32-bit_rle_rgbe";
static const char HDR_HEIGHT_TAG[] = "-Y ";
static const char HDR_WIDTH_TAG[] = "+X ";
static const size_t HDR_TAG_LEN = 3;
// Below this width, or from this width on, its scanlines are flat.
static const int64_t HDR_RLE_MIN_WIDTH = 8;
static const int64_t HDR_RLE_MAX_WIDTH = 32768;
// A run-length scanline starts with 2, 2 and the width's high byte, whose
// top bit is clear.
static const int HDR_RLE_MARK = 2;
static const int HDR_WIDTH_HIGH_BIT = 0x80;
static const int HDR_RUN_FLAG = 128;
static const int RGBE_BYTES = 4;
// The decoder's float image: four channels of single precision.
static const int64_t HDR_FLOAT_PIXEL_BYTES = 4 * 4;

struct HdrHeader {
    bool rgbe;       // the one pixel format the decoder reads
    bool sizes_read; // a "-Y h +X w" line, the one orientation it reads
    long long width, height;
};

// One header line, as the decoder cuts it.
static void hdr_line(GuardReader *r, char *line)
{
    int len = 0;
    int c = get8(r);
    while (!at_end(r) && c != '\n') {
        line[len++] = (char)c;
        if (len == HDR_LINE_MAX - 1) {
            while (!at_end(r) && get8(r) != '\n') {
            }
            break;
        }
        c = get8(r);
    }
    line[len] = '\0';
}

// The header's sizes go through strtol, whose range differs between
// platforms: read here in 64 bits.
static HdrHeader read_hdr_header(GuardReader *r)
{
    HdrHeader h{false, false, 0, 0};
    char line[HDR_LINE_MAX];
    hdr_line(r, line); // the magic line
    for (;;) {
        hdr_line(r, line);
        if (line[0] == '\0') break;
        if (std::strcmp(line, HDR_RGBE_FORMAT) == 0) h.rgbe = true;
    }
    if (!h.rgbe) return h;
    hdr_line(r, line);
    if (std::strncmp(line, HDR_HEIGHT_TAG, HDR_TAG_LEN) != 0) return h;
    char *token = line + HDR_TAG_LEN;
    h.height = std::strtoll(token, &token, 10);
    while (*token == ' ') ++token;
    if (std::strncmp(token, HDR_WIDTH_TAG, HDR_TAG_LEN) != 0) return h;
    h.width = std::strtoll(token + HDR_TAG_LEN, nullptr, 10);
    h.sizes_read = true;
    return h;
}

// Radiance HDR: a run-length packet of length 0 makes the decoder loop for
// ever (as does the end of the file, which reads as zeros), and flat pixel
// data that ends early is taken from uninitialised stack bytes.
static Decision decide_hdr(const HdrHeader &h)
{
    if (!h.rgbe || !h.sizes_read) return pass();
    if (h.width < 0 || h.height < 0 || h.width > DECODER_MAX_SIDE || h.height > DECODER_MAX_SIDE)
        return refuse("too large");
    if (h.width == 0 || h.height == 0 || h.width * h.height * HDR_FLOAT_PIXEL_BYTES > DECODER_MAX_BYTES)
        return pass();
    if (h.width < HDR_RLE_MIN_WIDTH || h.width >= HDR_RLE_MAX_WIDTH)
        return look_at(DATA_PRESENT, 0, h.width * h.height * RGBE_BYTES);
    return look_at(DATA_HDR_RUNS, 0, 0);
}

static const char *check_hdr_runs(GuardReader *r, const HdrHeader &h)
{
    const int64_t w = h.width;
    const int64_t flat_bytes = w * h.height * RGBE_BYTES;
    for (int64_t y = 0; y < h.height; y++) {
        const int c1 = get8(r), c2 = get8(r), len_hi = get8(r);
        if (c1 != HDR_RLE_MARK || c2 != HDR_RLE_MARK || (len_hi & HDR_WIDTH_HIGH_BIT)) {
            // Not run-length coded after all: the decoder reads the whole
            // image flat from here, this pixel being the first.
            get8(r);
            return skip(r, flat_bytes - RGBE_BYTES) && !r->past_end ? nullptr : "outofdata";
        }
        if ((len_hi << 8 | get8(r)) != w) return nullptr;
        for (int k = 0; k < RGBE_BYTES; k++) {
            for (int64_t x = 0; x < w;) {
                int count = get8(r);
                const bool run = count > HDR_RUN_FLAG;
                if (run) count -= HDR_RUN_FLAG;
                if (count == 0) return "corrupt";
                if (count > w - x) return nullptr;
                skip(r, run ? 1 : count);
                x += count;
            }
        }
    }
    return nullptr;
}

// ---- TGA -----------------------------------------------------------------------

// Image types from this one on are run-length coded versions of type - 8.
static const int TGA_RLE_TYPE_OFFSET = 8;
static const int TGA_GREY_TYPE = 3;

// Bits of a colour entry or pixel that the decoder reads as 16-bit RGB.
static const int TGA_RGB15_BITS = 15;
static const int TGA_RGB16_BITS = 16;

struct TgaHeader {
    int id_length, indexed, type;
    int palette_start, palette_length, palette_bits;
    int64_t width, height;
    int bits;
};

static TgaHeader read_tga_header(GuardReader *r)
{
    TgaHeader h;
    h.id_length = get8(r);
    h.indexed = get8(r);
    h.type = get8(r);
    h.palette_start = get16le(r);
    h.palette_length = get16le(r);
    h.palette_bits = get8(r);
    get16le(r); // x origin
    get16le(r); // y origin
    h.width = get16le(r);
    h.height = get16le(r);
    h.bits = get8(r);
    get8(r); // descriptor
    return h;
}

// Bytes per pixel (or per colour entry) as the decoder counts them, 0 for a
// size it refuses; *rgb16: read one at a time as 15- or 16-bit colour.
static int tga_channels(int bits, bool grey, bool *rgb16)
{
    *rgb16 = false;
    if (bits == 8) return 1;
    if (bits == TGA_RGB16_BITS && grey) return 2;
    if (bits == TGA_RGB15_BITS || bits == TGA_RGB16_BITS) {
        *rgb16 = true;
        return 3;
    }
    if (bits == 24 || bits == 32) return bits / 8;
    return 0;
}

// Uncompressed true-colour TGA rows are read in blocks without a check, so a
// short file leaves uninitialised heap bytes in the pixels. Every other
// layout is read a byte or a pixel at a time, with zeros past the end of the
// file: a small file whose header promises a side beyond max_side would keep
// the decoder busy with millions of pixels the file does not hold before the
// library refused the image for its size, so too_large says so at once (where
// the decoder would get that far: a colour map must be there in full).
static Decision decide_tga(const TgaHeader &h, int32_t max_side)
{
    const bool rle = h.type >= TGA_RLE_TYPE_OFFSET;
    const int type = rle ? h.type - TGA_RLE_TYPE_OFFSET : h.type;
    bool rgb16 = false;
    const int channels = h.indexed ? tga_channels(h.palette_bits, false, &rgb16)
                                   : tga_channels(h.bits, type == TGA_GREY_TYPE, &rgb16);
    if (channels == 0) return pass();
    const int64_t bytes = h.width * h.height * channels;
    if (bytes > DECODER_MAX_BYTES) return pass();
    if (!h.indexed && !rle && !rgb16) return look_at(DATA_PRESENT, h.id_length, bytes);
    if (h.width < 1 || h.height < 1 || (h.width <= max_side && h.height <= max_side)) return pass();
    if (h.indexed && h.palette_length == 0) return pass();
    // A colour map of 15- or 16-bit entries is read an entry at a time.
    const int64_t palette_bytes = h.indexed && !rgb16 ? (int64_t)h.palette_length * channels : 0;
    Decision d = look_at(DATA_SIZE, (int64_t)h.id_length + (h.indexed ? h.palette_start : 0), palette_bytes);
    d.size = Size{(int32_t)h.width, (int32_t)h.height};
    return d;
}

// ---- BMP -----------------------------------------------------------------------

static const int BMP_FILE_HEADER = 14;
// Info header sizes the decoder knows: the OS/2 core header, and the
// Windows headers of versions 1 (40), 2 (52, which it refuses), 3, 4 and 5.
static const int32_t BMP_CORE_HEADER = 12;
static const int32_t BMP_INFO_HEADER = 40;
static const int32_t BMP_V3_HEADER = 56;
static const int32_t BMP_V4_HEADER = 108;
static const int32_t BMP_V5_HEADER = 124;
// Bytes of the info header read for the record, per header kind.
static const int BMP_CORE_READ = 12;
static const int BMP_INFO_READ = 20;
// The decoder sizes the palette of a core header from the pixel offset less
// this many bytes (as if the header were 24 bytes long).
static const int BMP_CORE_PALETTE_BASE = BMP_FILE_HEADER + 24;
static const int BMP_CORE_ENTRY = 3;
static const int BMP_INFO_ENTRY = 4;
// A BMP palette has at most this many entries.
static const int64_t BMP_MAX_PALETTE = 256;
static const int64_t BMP_ROW_ALIGN = 4;
static const int BMP_RGBA_BYTES = 4;

struct BmpHeader {
    int32_t offset, header_size;
    int64_t width, height; // height as stored (negative: top-down)
    int planes, bits;
    int32_t compression;
};

static BmpHeader read_bmp_header(GuardReader *r)
{
    BmpHeader h;
    get16le(r); // "BM"
    get32le(r); // file size
    get32le(r); // reserved
    h.offset = (int32_t)get32le(r);
    h.header_size = (int32_t)get32le(r);
    if (h.header_size == BMP_CORE_HEADER) {
        h.width = get16le(r);
        h.height = get16le(r);
    } else {
        h.width = get32le(r);
        h.height = (int32_t)get32le(r);
    }
    h.planes = get16le(r);
    h.bits = get16le(r);
    h.compression = h.header_size == BMP_CORE_HEADER ? 0 : (int32_t)get32le(r);
    return h;
}

static bool bmp_paletted(const BmpHeader &h)
{
    return h.bits == 1 || h.bits == 4 || h.bits == 8;
}

// Palette entries as the decoder counts them.
static int64_t bmp_palette_size(const BmpHeader &h)
{
    if (h.header_size == BMP_CORE_HEADER) return (h.offset - BMP_CORE_PALETTE_BASE) / BMP_CORE_ENTRY;
    return (h.offset - BMP_FILE_HEADER - h.header_size) / BMP_INFO_ENTRY;
}

// BMP. The decoder's palette is an uninitialised array on the stack, so a
// pixel whose index lies beyond the palette the file gave turns stack bytes
// into colour: such a file is refused (a short palette that the pixels
// respect is fine). And a header that promises millions of rows the file
// does not hold keeps the decoder busy for a long time, as it seeks past the
// end of the file once per row: when the decoder would decode the file and
// the library then refuse it for its size anyway, too_large says so at once.
static Decision decide_bmp(const BmpHeader &h, int32_t max_side)
{
    // The decoder takes abs() of the height, undefined for the most negative.
    if (h.height == INT32_MIN) return refuse("too large");
    const int64_t w = h.width, rows = h.height < 0 ? -h.height : h.height;
    const int32_t hsz = h.header_size;
    if (h.offset < 0 || (hsz != BMP_CORE_HEADER && hsz != BMP_INFO_HEADER && hsz != BMP_V3_HEADER &&
                         hsz != BMP_V4_HEADER && hsz != BMP_V5_HEADER))
        return pass();
    // The layouts the decoder reads without channel masks of the file's own.
    // It takes a negative compression code for none at all, except where
    // 32-bit pixels would need masks.
    const bool paletted = bmp_paletted(h);
    const bool direct = (h.bits == 24 && h.compression <= 0) ||
                        (h.bits == 32 && hsz != BMP_CORE_HEADER && h.compression == 0);
    if (h.planes != 1 || !(direct || (paletted && h.compression <= 0))) return pass();
    const int64_t palette = paletted ? bmp_palette_size(h) : 0;
    if (paletted && (palette < 1 || palette > BMP_MAX_PALETTE)) return pass();
    if (!paletted && h.offset != BMP_FILE_HEADER + hsz) return pass();
    if (w > DECODER_MAX_SIDE || rows > DECODER_MAX_SIDE || w * rows * BMP_RGBA_BYTES > DECODER_MAX_BYTES)
        return pass();
    if (w > 0 && rows > 0 && (w > max_side || rows > max_side)) {
        Decision d = pass();
        d.verdict.too_large = Size{(int32_t)w, (int32_t)rows};
        return d;
    }
    if (!paletted || palette >= (1 << h.bits)) return pass();
    // From the end of the record to the pixels.
    const int read = BMP_FILE_HEADER + (hsz == BMP_CORE_HEADER ? BMP_CORE_READ : BMP_INFO_READ);
    return look_at(DATA_BMP_INDICES, h.offset - read, palette);
}

static const char *check_bmp_indices(GuardReader *r, const BmpHeader &h, int64_t palette)
{
    const int64_t w = h.width, rows = h.height < 0 ? -h.height : h.height;
    const int bpp = h.bits;
    const int64_t row_bytes = (w * bpp + 7) / 8;
    const int64_t pad = (BMP_ROW_ALIGN - row_bytes % BMP_ROW_ALIGN) % BMP_ROW_ALIGN;
    const int per_byte = 8 / bpp;
    const int mask = (1 << bpp) - 1;
    for (int64_t y = 0; y < rows; y++) {
        for (int64_t x = 0; x < w; x += per_byte) {
            const int v = get8(r);
            // Past the end every index reads as 0, which lies in the palette.
            if (r->past_end) return nullptr;
            for (int k = 0; k < per_byte && x + k < w; k++)
                if (((v >> (8 - bpp * (k + 1))) & mask) >= palette) return "bad palette";
        }
        skip(r, pad);
    }
    return nullptr;
}

// ---- JPEG ----------------------------------------------------------------------

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
// 16 bits, at most 256 symbols. Its fast table covers codes up to
// JPEG_FAST_BITS long; its entry 255 means "no code".
static const int JPEG_MAX_TABLE_CLASS = 1;
static const int JPEG_MAX_TABLE_ID = 3;
static const int JPEG_MAX_CODE_LENGTH = 16;
static const int JPEG_MAX_SYMBOLS = 256;
static const int JPEG_FAST_BITS = 9;

struct HuffmanTableHeader {
    int table_class, id;
    int counts[JPEG_MAX_CODE_LENGTH]; // codes of each length, from 1 bit
};

static HuffmanTableHeader read_huffman_table_header(GuardReader *r)
{
    HuffmanTableHeader t;
    const int q = get8(r);
    t.table_class = q >> 4;
    t.id = q & 15;
    for (int i = 0; i < JPEG_MAX_CODE_LENGTH; i++) t.counts[i] = get8(r);
    return t;
}

static bool huffman_table_refused_by_decoder(const HuffmanTableHeader &t)
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
static const char *decide_huffman_table(const HuffmanTableHeader &t)
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

// ---- The guard -----------------------------------------------------------------

static GuardVerdict check_data(GuardReader *r, const Decision &d, const void *header)
{
    GuardVerdict v = d.verdict;
    switch (d.check) {
    case DATA_NONE: break;
    case DATA_PRESENT:
        skip(r, d.skip);
        if (!skip(r, d.need)) v.reason = "outofdata";
        break;
    case DATA_HDR_RUNS: v.reason = check_hdr_runs(r, *(const HdrHeader *)header); break;
    case DATA_BMP_INDICES:
        skip(r, d.skip);
        v.reason = check_bmp_indices(r, *(const BmpHeader *)header, d.need);
        break;
    case DATA_SIZE:
        skip(r, d.skip);
        if (skip(r, d.need)) v.too_large = d.size;
        break;
    }
    return v;
}

// A format's header, the decision on it, then the look at the data that
// the decision asks for.
template <typename Header, typename Decide>
static GuardVerdict check_format(GuardReader *r, Header (*read)(GuardReader *), Decide decide)
{
    const Header h = read(r);
    const Decision d = decide(h);
    return d.verdict.reason ? d.verdict : check_data(r, d, &h);
}

static GuardVerdict check(GuardReader *r, DecoderFormat format, int32_t max_side)
{
    switch (format) {
    case DECODER_PNM: return check_format(r, read_pnm_header, decide_pnm);
    case DECODER_HDR: return check_format(r, read_hdr_header, decide_hdr);
    case DECODER_TGA:
        return check_format(r, read_tga_header, [max_side](const TgaHeader &h) { return decide_tga(h, max_side); });
    case DECODER_BMP:
        return check_format(r, read_bmp_header, [max_side](const BmpHeader &h) { return decide_bmp(h, max_side); });
    case DECODER_JPEG: return GuardVerdict{check_jpeg(r), Size{0, 0}};
    default: return pass().verdict;
    }
}

GuardVerdict decode_guard(FILE *f, int32_t max_side)
{
    const DecoderFormat format = stb_decoder_format(f);
    if (std::fseek(f, 0, SEEK_SET) != 0) return GuardVerdict{"can't fseek", Size{0, 0}};
    // The other decoders have no hole known to be reached with four channels.
    if (format != DECODER_PNM && format != DECODER_HDR && format != DECODER_TGA && format != DECODER_BMP &&
        format != DECODER_JPEG)
        return pass().verdict;
    // The reader's block is too large for some threads' stacks.
    GuardReader *r = (GuardReader *)std::malloc(sizeof(GuardReader));
    if (!r) return GuardVerdict{"outofmem", Size{0, 0}};
    r->file = f;
    r->pos = r->len = 0;
    r->past_end = false;
    const GuardVerdict verdict = check(r, format, max_side);
    std::free(r);
    return verdict;
}
