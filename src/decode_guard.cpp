// Pre-decode checks for the decoder's known holes. Each check follows the
// decoder's own reading of its format closely enough to see what the decoder
// will do, and refuses only what it would mishandle. Where the decoder itself
// refuses a file, the check lets it through so that the decoder's reason
// stands.
#include "decode_guard.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image_io.h"
#include "stb_bridge.h"

// The decoder's default limit on a side.
static const int64_t DECODER_MAX_SIDE = 1 << 24;
// Its JPEG Huffman fast table covers codes up to this length; entry 255 of
// that table means "no code".
static const int JPEG_FAST_BITS = 9;
static const int JPEG_MAX_CODE_LENGTH = 16;
static const int JPEG_MAX_SYMBOLS = 256;
// Its HDR header lines are read into a buffer of this size.
static const int HDR_LINE_MAX = 1024;
// Below this width, or from this width on, its HDR scanlines are flat.
static const int HDR_RLE_MIN_WIDTH = 8;
static const int HDR_RLE_MAX_WIDTH = 32768;
static const int HDR_RUN_FLAG = 128;
static const int RGBE_BYTES = 4;
// The decoder's float image: four channels of single precision.
static const int HDR_FLOAT_PIXEL_BYTES = 4 * 4;
// Largest PNM sample value of 8-bit and of 16-bit files.
static const int64_t PNM_MAX_8BIT = 255;
static const int64_t PNM_MAX_16BIT = 65535;

// A BMP palette has at most this many entries.
static const int64_t BMP_MAX_PALETTE = 256;

static const size_t GUARD_BUFFER = 4096;

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

// ---- PNM ---------------------------------------------------------------------

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
// with -1 instead.
static int64_t pnm_number(GuardReader *r, int *c)
{
    int64_t value = 0;
    while (!at_end(r) && *c >= '0' && *c <= '9') {
        if (value >= 0) value = value * 10 + (*c - '0');
        if (value > INT_MAX) value = -1;
        *c = get8(r);
    }
    return value;
}

// Binary PGM and PPM: 16-bit samples are converted as if they were 8-bit and
// then read past their buffer; short pixel data leaves heap bytes behind.
static const char *check_pnm(GuardReader *r)
{
    get8(r);
    const int channels = get8(r) == '6' ? 3 : 1;
    int c = get8(r);
    pnm_skip_space(r, &c);
    const int64_t w = pnm_number(r, &c);
    pnm_skip_space(r, &c);
    const int64_t h = pnm_number(r, &c);
    pnm_skip_space(r, &c);
    const int64_t maxv = pnm_number(r, &c);
    // In the decoder's order: the maximum, then the sizes.
    if (maxv < 0) return "max value > 65535";
    if (maxv > PNM_MAX_16BIT) return nullptr;
    if (w < 0 || h < 0) return "too large";
    const int64_t sample_bytes = maxv > PNM_MAX_8BIT ? 2 : 1;
    if (w > DECODER_MAX_SIDE || h > DECODER_MAX_SIDE || channels * w * h * sample_bytes > INT_MAX) return nullptr;
    if (sample_bytes != 1) return "unsupported bit depth";
    return skip(r, channels * w * h) ? nullptr : "outofdata";
}

// ---- HDR -----------------------------------------------------------------------

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

// Radiance HDR: a run-length packet of length 0 makes the decoder loop for
// ever (as does the end of the file, which reads as zeros), and flat pixel
// data that ends early is taken from uninitialised stack bytes. The header's
// sizes go through strtol, whose range differs between platforms.
static const char *check_hdr(GuardReader *r)
{
    char line[HDR_LINE_MAX];
    hdr_line(r, line);
    bool rgbe = false;
    for (;;) {
        hdr_line(r, line);
        if (line[0] == '\0') break;
        if (std::strcmp(line, "FORMAT=32-bit_rle_rgbe") == 0) rgbe = true;
    }
    if (!rgbe) return nullptr;
    hdr_line(r, line);
    if (std::strncmp(line, "-Y ", 3) != 0) return nullptr;
    char *token = line + 3;
    const long long h = std::strtoll(token, &token, 10);
    while (*token == ' ') ++token;
    if (std::strncmp(token, "+X ", 3) != 0) return nullptr;
    const long long w = std::strtoll(token + 3, nullptr, 10);
    if (w < 0 || h < 0 || w > DECODER_MAX_SIDE || h > DECODER_MAX_SIDE) return "too large";
    if (w == 0 || h == 0 || w * h * HDR_FLOAT_PIXEL_BYTES > INT_MAX) return nullptr;

    const int64_t flat_bytes = w * h * RGBE_BYTES;
    if (w < HDR_RLE_MIN_WIDTH || w >= HDR_RLE_MAX_WIDTH)
        return skip(r, flat_bytes) ? nullptr : "outofdata";
    for (int64_t y = 0; y < h; y++) {
        const int c1 = get8(r), c2 = get8(r), len_hi = get8(r);
        if (c1 != 2 || c2 != 2 || (len_hi & 0x80)) {
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

// Uncompressed true-colour TGA rows are read in blocks without a check, so a
// short file leaves uninitialised heap bytes in the pixels.
static const char *check_tga(GuardReader *r)
{
    const int offset = get8(r), indexed = get8(r);
    int type = get8(r);
    get16le(r); // palette start
    get16le(r); // palette length
    get8(r);    // palette entry bits
    get16le(r); // x origin
    get16le(r); // y origin
    const int64_t w = get16le(r), h = get16le(r);
    const int bits = get8(r);
    get8(r); // descriptor
    const bool rle = type >= 8;
    if (rle) type -= 8;
    if (indexed || rle) return nullptr;
    // Bytes per pixel as the decoder counts them; 15- and 16-bit colour
    // pixels are read one at a time and need no check.
    int channels = 0;
    if (bits == 8) channels = 1;
    else if (bits == 16 && type == 3) channels = 2;
    else if (bits == 24 || bits == 32) channels = bits / 8;
    else return nullptr;
    if (w * h * channels > INT_MAX) return nullptr;
    skip(r, offset);
    return skip(r, w * h * channels) ? nullptr : "outofdata";
}

// ---- BMP -----------------------------------------------------------------------

// BMP. The decoder's palette is an uninitialised array on the stack, so a
// pixel whose index lies beyond the palette the file gave turns stack bytes
// into colour: such a file is refused (a short palette that the pixels
// respect is fine). And a header that promises millions of rows the file
// does not hold keeps the decoder busy for a long time, as it seeks past the
// end of the file once per row: when the decoder would decode the file and
// the library then refuse it for its size anyway, *too_large says so at once.
static const char *check_bmp(GuardReader *r, Size *too_large)
{
    get16le(r); // "BM"
    get32le(r); // file size
    get32le(r); // reserved
    const int32_t offset = (int32_t)get32le(r);
    const int32_t hsz = (int32_t)get32le(r);
    int64_t w, h;
    if (hsz == 12) {
        w = get16le(r);
        h = get16le(r);
    } else {
        w = get32le(r);
        h = (int32_t)get32le(r);
    }
    // The decoder takes abs() of the height, undefined for the most negative.
    if (h == INT32_MIN) return "too large";
    if (h < 0) h = -h;
    const int planes = get16le(r);
    const int bpp = get16le(r);
    const int32_t compression = hsz == 12 ? 0 : (int32_t)get32le(r);
    if (offset < 0 || (hsz != 12 && hsz != 40 && hsz != 56 && hsz != 108 && hsz != 124)) return nullptr;
    // The layouts the decoder reads without channel masks of the file's own.
    // It takes a negative compression code for none at all, except where
    // 32-bit pixels would need masks.
    const bool paletted = bpp == 1 || bpp == 4 || bpp == 8;
    const bool direct = (bpp == 24 && compression <= 0) || (bpp == 32 && hsz != 12 && compression == 0);
    if (planes != 1 || !(direct || (paletted && compression <= 0))) return nullptr;
    const int header_read = hsz == 12 ? 12 : 20; // of the info header, so far
    skip(r, hsz - header_read);
    const int file_header = 14;
    const int entry = hsz == 12 ? 3 : 4;
    int64_t palette = 0;
    if (paletted) {
        palette = hsz == 12 ? (offset - file_header - 24) / 3 : (offset - file_header - hsz) >> 2;
        if (palette < 1 || palette > BMP_MAX_PALETTE) return nullptr;
    } else if (offset != file_header + hsz) {
        return nullptr;
    }
    if (w > DECODER_MAX_SIDE || h > DECODER_MAX_SIDE || w * h * 4 > INT_MAX) return nullptr;
    if (w > 0 && h > 0 && (w > LOAD_MAX_SIDE || h > LOAD_MAX_SIDE)) {
        *too_large = Size{(int32_t)w, (int32_t)h};
        return nullptr;
    }
    if (!paletted || palette >= (1 << bpp)) return nullptr;
    skip(r, palette * entry + (offset - file_header - hsz - palette * entry));

    const int64_t row_bytes = (w * bpp + 7) / 8;
    const int64_t pad = (4 - row_bytes % 4) % 4;
    const int per_byte = 8 / bpp;
    const int mask = (1 << bpp) - 1;
    for (int64_t y = 0; y < h; y++) {
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

// One DHT segment. The decoder does not bound the number of codes in a table
// (more than 256 write past its arrays), and gives a table of 256 codes whose
// last code is short an entry 255 in its fast table, which it takes for "no
// code" (an assertion fails, or a code of the wrong length is decoded).
static const char *check_dht(GuardReader *r, int64_t len)
{
    while (len > 0 && !r->past_end) {
        const int q = get8(r);
        if ((q >> 4) > 1 || (q & 15) > 3) return nullptr; // the decoder refuses it
        int counts[JPEG_MAX_CODE_LENGTH];
        int n = 0, last_length = 0;
        for (int i = 0; i < JPEG_MAX_CODE_LENGTH; i++) {
            counts[i] = get8(r);
            n += counts[i];
            if (counts[i]) last_length = i + 1;
        }
        if (n > JPEG_MAX_SYMBOLS) return "bad DHT header";
        if (n == JPEG_MAX_SYMBOLS && last_length <= JPEG_FAST_BITS) return "bad huffman code";
        skip(r, n);
        len -= 1 + JPEG_MAX_CODE_LENGTH + n;
    }
    return nullptr;
}

static bool jpeg_standalone(int m)
{
    return m == 0x00 || m == 0x01 || (m >= 0xD0 && m <= 0xD8);
}

// The next marker code: the byte after a run of 0xFF. Stray bytes are
// passed over, and within entropy-coded data so are stuffed zeros and
// restart markers, so that no table the decoder could read is missed.
static int next_marker(GuardReader *r, bool in_scan)
{
    for (;;) {
        int b = get8(r);
        if (r->past_end) return -1;
        if (b != 0xFF) continue;
        while (b == 0xFF) b = get8(r);
        if (r->past_end) return -1;
        if (in_scan && jpeg_standalone(b)) continue;
        return b;
    }
}

// Every Huffman table of the file, wherever it stands: the decoder also
// reads tables between the scans of a progressive image.
static const char *check_jpeg(GuardReader *r)
{
    const int SOS = 0xDA, DHT = 0xC4, EOI = 0xD9;
    next_marker(r, false); // SOI
    bool in_scan = false;
    for (;;) {
        const int m = next_marker(r, in_scan);
        if (m < 0 || m == EOI) return nullptr;
        if (jpeg_standalone(m)) continue;
        const int64_t len = get16be(r) - 2;
        if (m == DHT) {
            if (const char *reason = check_dht(r, len)) return reason;
        } else {
            skip(r, len);
        }
        in_scan = m == SOS;
    }
}

GuardVerdict decode_guard(const char *path)
{
    GuardVerdict verdict{nullptr, Size{0, 0}};
    GuardReader r;
    r.file = std::fopen(path, "rb");
    if (!r.file) return verdict;
    const DecoderFormat format = stb_decoder_format(r.file);
    if (std::fseek(r.file, 0, SEEK_SET) == 0) {
        r.pos = r.len = 0;
        r.past_end = false;
        switch (format) {
        case DECODER_PNM: verdict.reason = check_pnm(&r); break;
        case DECODER_HDR: verdict.reason = check_hdr(&r); break;
        case DECODER_TGA: verdict.reason = check_tga(&r); break;
        case DECODER_BMP: verdict.reason = check_bmp(&r, &verdict.too_large); break;
        case DECODER_JPEG: verdict.reason = check_jpeg(&r); break;
        default: break;
        }
    }
    std::fclose(r.file);
    return verdict;
}
