// The check before decoding a TGA file: its header as the decoder reads it,
// the decision on it, and the look at its pixels or colour map.
#include <cstdint>

#include "io/guard/guard_formats.h"

// Image types from this one on are run-length coded versions of type - 8.
static const int TGA_RLE_TYPE_OFFSET = 8;
static const int TGA_GREY_TYPE = 3;

// Bits of a colour entry or pixel that the decoder reads as 16-bit RGB.
static const int TGA_RGB15_BITS = 15;
static const int TGA_RGB16_BITS = 16;

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
Decision decide_tga(const TgaHeader &h, int32_t max_side)
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

GuardVerdict guard_tga(GuardReader *r, int32_t max_side)
{
    return check_data(r, decide_tga(read_tga_header(r), max_side));
}
