// Image loading through stb_image. An input is opened once, checked and
// decoded from that one stream.
#include "io/image_io.h"

#include <cstdio>
#include <cstdlib>

#include <stb/stb_image.h>

#include "base/error.h"
#include "io/guard/decode_guard.h"
#include "io/stb_bridge.h"

// Longest decoder reason passed on, after escaping (the message is cut
// shorter still).
static const size_t REASON_BUF = ERR_MAX + 1;
// Printable ASCII, the bytes a reason keeps as they are.
static const unsigned char FIRST_PRINTABLE = 0x20;
static const unsigned char LAST_PRINTABLE = 0x7E;
// "\xHH", without the terminating NUL: one hex digit per 4-bit half.
static const size_t ESCAPE_LEN = 4;
static const unsigned HALF_BITS = 4;
static const unsigned HALF_MASK = 0xF;

// The decoder's reason as one line of plain text: its reasons for some
// damaged files quote the file's own bytes (a PNG chunk name), which may be
// anything, even nothing. Bytes outside printable ASCII become \xHH; no
// reason, or an empty one, is "unknown error".
static const char *printable_reason(const char *reason, char *buf)
{
    if (!reason || !reason[0]) return "unknown error";
    static const char HEX[] = "0123456789ABCDEF";
    size_t n = 0;
    for (const unsigned char *p = (const unsigned char *)reason; *p; p++) {
        if (*p >= FIRST_PRINTABLE && *p <= LAST_PRINTABLE) {
            if (n + 1 >= REASON_BUF) break;
            buf[n++] = (char)*p;
        } else {
            if (n + ESCAPE_LEN >= REASON_BUF) break;
            buf[n++] = '\\';
            buf[n++] = 'x';
            buf[n++] = HEX[*p >> HALF_BITS];
            buf[n++] = HEX[*p & HALF_MASK];
        }
    }
    buf[n] = '\0';
    return buf;
}

// The guard and the decoder read the same open file, so the bytes that
// were checked are the bytes that are decoded.
static int load_from_stream(const char *path, FILE *f, Image *image)
{
    const GuardVerdict verdict = decode_guard(f, IMGTHUMBNAIL_MAX_INPUT_SIDE);
    if (verdict.reason) {
        set_err("cannot decode '%s': %s", path, verdict.reason);
        return 0;
    }
    if (verdict.too_large.width > 0) {
        set_err("image too large: %dx%d", verdict.too_large.width, verdict.too_large.height);
        return 0;
    }
    if (std::fseek(f, 0, SEEK_SET) != 0) {
        set_err("cannot decode '%s': %s", path, "can't fseek");
        return 0;
    }
    std::clearerr(f);
    stb_clear_failure_reason();
    int w = 0, h = 0, channels = 0;
    unsigned char *pixels = stbi_load_from_file(f, &w, &h, &channels, 4);
    if (!pixels) {
        char reason[REASON_BUF];
        set_err("cannot decode '%s': %s", path, printable_reason(stbi_failure_reason(), reason));
        return 0;
    }
    // Some of the decoder's formats accept a side of 0 and hand back an
    // empty buffer; every Image the library passes on has sides of 1 or more.
    if (w < 1 || h < 1) {
        std::free(pixels);
        set_err("cannot decode '%s': %s", path, "0-pixel image");
        return 0;
    }
    if (w > IMGTHUMBNAIL_MAX_INPUT_SIDE || h > IMGTHUMBNAIL_MAX_INPUT_SIDE) {
        std::free(pixels);
        set_err("image too large: %dx%d", w, h);
        return 0;
    }
    *image = Image{w, h, pixels};
    return 1;
}

int load_image(const char *path, Image *image)
{
    *image = Image{0, 0, nullptr};
    FILE *f = std::fopen(path, "rb");
    if (!f) {
        set_err("cannot decode '%s': %s", path, "can't fopen");
        return 0;
    }
    const int ok = load_from_stream(path, f, image);
    std::fclose(f);
    return ok;
}

