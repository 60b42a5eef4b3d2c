// The check before decoding a Radiance HDR file: its header as the decoder
// reads it, the decision on it, and the look at its scanlines.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "io/guard/guard_formats.h"

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
Decision decide_hdr(const HdrHeader &h)
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

GuardVerdict guard_hdr(GuardReader *r)
{
    const HdrHeader h = read_hdr_header(r);
    const Decision d = decide_hdr(h);
    if (d.check != DATA_HDR_RUNS) return check_data(r, d);
    GuardVerdict v = d.verdict;
    v.reason = check_hdr_runs(r, h);
    return v;
}
