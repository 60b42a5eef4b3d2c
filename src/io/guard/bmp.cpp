// The check before decoding a BMP file: its header as the decoder reads it,
// the decision on it, and the look at its palette indices.
#include <cstdint>

#include "io/guard/guard_formats.h"

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
Decision decide_bmp(const BmpHeader &h, int32_t max_side)
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

GuardVerdict guard_bmp(GuardReader *r, int32_t max_side)
{
    const BmpHeader h = read_bmp_header(r);
    const Decision d = decide_bmp(h, max_side);
    if (d.check != DATA_BMP_INDICES) return check_data(r, d);
    GuardVerdict v = d.verdict;
    skip(r, d.skip);
    v.reason = check_bmp_indices(r, h, d.need);
    return v;
}
