// Image loading through stb_image. An input is opened once, checked and
// decoded from that one stream.
#include "io/image_io.h"

#include <cstdio>
#include <cstdlib>

#include <stb/stb_image.h>

#include "base/error.h"
#include "io/guard/decode_guard.h"
#include "io/row_source.h"
#include "io/stb_bridge.h"
#include "platform/huge_pages.h"

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

int open_input(const char *path, InputFile *in)
{
    in->path = path;
    in->rows_refused = false;
    in->file = std::fopen(path, "rb");
    if (!in->file) {
        set_err("cannot decode '%s': %s", path, "can't fopen");
        return 0;
    }
    const GuardVerdict verdict = decode_guard(in->file, IMGTHUMBNAIL_MAX_INPUT_SIDE);
    if (verdict.reason) {
        set_err("cannot decode '%s': %s", path, verdict.reason);
    } else if (verdict.too_large.width > 0) {
        set_err("image too large: %dx%d", verdict.too_large.width, verdict.too_large.height);
    } else {
        return 1;
    }
    close_input(in);
    return 0;
}

void close_input(InputFile *in)
{
    if (in->file) std::fclose(in->file);
    in->file = nullptr;
}

static int rewind_input(InputFile *in)
{
    if (std::fseek(in->file, 0, SEEK_SET) != 0) {
        set_err("cannot decode '%s': %s", in->path, "can't fseek");
        return 0;
    }
    std::clearerr(in->file);
    return 1;
}

// Every image handed on has sides of 1 to IMGTHUMBNAIL_MAX_INPUT_SIDE.
static int check_decoded_size(const InputFile &in, int w, int h)
{
    // Some of the decoder's formats accept a side of 0 and hand back an
    // empty buffer.
    if (w < 1 || h < 1) {
        set_err("cannot decode '%s': %s", in.path, "0-pixel image");
        return 0;
    }
    if (w > IMGTHUMBNAIL_MAX_INPUT_SIDE || h > IMGTHUMBNAIL_MAX_INPUT_SIDE) {
        set_err("image too large: %dx%d", w, h);
        return 0;
    }
    return 1;
}

// The whole image through a row decoder: 1 with the image; -1 when the
// decoder hands the file back (nothing kept, the input to be read again
// from its start). Without memory for the image the file goes back too:
// the decoder then fails where and as it fails on its own.
static int decode_by_rows(InputFile *in, Image *image, RowWatch *watch)
{
    RowSource src;
    if (!row_source_open(in, &src)) return -1;
    const int32_t w = src.width, h = src.height;
    const size_t bytes = (size_t)image_bytes(w, h);
    unsigned char *pixels = (unsigned char *)std::malloc(bytes);
    if (!pixels) {
        row_source_close(&src);
        return -1;
    }
    // Every page of the image is written once, right away.
    advise_huge_pages(pixels, bytes);
    const int64_t stride = (int64_t)w * 4;
    const bool watched = watch && watch->begin(watch->ctx, w, h);
    bool whole = true;
    for (int32_t y = 0; y < h && whole; y++) {
        whole = row_source_next(&src, pixels + y * stride, 0, w) != 0;
        if (whole && watched) watch->row(watch->ctx, pixels + y * stride);
    }
    whole = whole && row_source_finish(&src);
    row_source_close(&src);
    if (!whole) {
        std::free(pixels);
        return -1;
    }
    *image = Image{w, h, pixels};
    if (watched) watch->complete = true;
    return 1;
}

int decode_input(InputFile *in, Image *image)
{
    return decode_input_watched(in, image, nullptr);
}

int decode_input_watched(InputFile *in, Image *image, RowWatch *watch)
{
    *image = Image{0, 0, nullptr};
    if (watch) watch->complete = false;
    if (!rewind_input(in)) return 0;
    char reason[REASON_BUF];
    const int whole = row_source_whole_image(in, image, reason, sizeof reason);
    if (whole == 0) {
        char text[REASON_BUF];
        set_err("cannot decode '%s': %s", in->path, printable_reason(reason, text));
        return 0;
    }
    if (whole > 0) {
        if (check_decoded_size(*in, image->width, image->height)) return 1;
        std::free(image->pixels);
        *image = Image{0, 0, nullptr};
        return 0;
    }
    if (!rewind_input(in)) return 0;
    if (decode_by_rows(in, image, watch) > 0) return 1;
    if (!rewind_input(in)) return 0;
    stb_clear_failure_reason();
    int w = 0, h = 0, channels = 0;
    unsigned char *pixels = stbi_load_from_file(in->file, &w, &h, &channels, 4);
    if (!pixels) {
        char reason[REASON_BUF];
        set_err("cannot decode '%s': %s", in->path, printable_reason(stbi_failure_reason(), reason));
        return 0;
    }
    if (!check_decoded_size(*in, w, h)) {
        std::free(pixels);
        return 0;
    }
    *image = Image{w, h, pixels};
    return 1;
}

int load_image(const char *path, Image *image)
{
    *image = Image{0, 0, nullptr};
    InputFile in;
    if (!open_input(path, &in)) return 0;
    const int ok = decode_input(&in, image);
    close_input(&in);
    return ok;
}
