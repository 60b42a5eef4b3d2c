// Image loading and saving through stb_image and stb_image_write. An input
// is opened once, checked and decoded from that one stream; an output is
// written beside the file it replaces and takes its place only when whole.
#include "image_io.h"

#include <cstdio>
#include <cstdlib>

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include "ascii.h"
#include "decode_guard.h"
#include "error.h"
#include "platform.h"
#include "stb_bridge.h"

// Quality of every JPEG thumbnail.
static const int JPEG_QUALITY = 90;

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
    const GuardVerdict verdict = decode_guard(f, LOAD_MAX_SIDE);
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
    if (w > LOAD_MAX_SIDE || h > LOAD_MAX_SIDE) {
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

OutputFormat output_format(const char *path)
{
    const char *ext = after_last_dot(path);
    if (!ext) return OUT_PNG;
    if (ascii_iequal(ext, "jpg") || ascii_iequal(ext, "jpeg")) return OUT_JPEG;
    if (ascii_iequal(ext, "bmp")) return OUT_BMP;
    if (ascii_iequal(ext, "tga")) return OUT_TGA;
    return OUT_PNG;
}

void flatten_over_white(const unsigned char *rgba, int64_t pixels, unsigned char *rgb)
{
    for (int64_t i = 0; i < pixels; i++, rgba += 4, rgb += 3) {
        // c over white at opacity a/255, rounded to nearest:
        // (c*a + 255*(255-a) + 127) / 255, always within 0..255.
        const uint32_t a = rgba[3];
        const uint32_t white = 255u * (255u - a) + 127u;
        rgb[0] = (unsigned char)((rgba[0] * a + white) / 255u);
        rgb[1] = (unsigned char)((rgba[1] * a + white) / 255u);
        rgb[2] = (unsigned char)((rgba[2] * a + white) / 255u);
    }
}

// The encoders write through this sink so that every failed write is seen:
// the plain file variants ignore fwrite's result and would report success
// for a thumbnail cut short by a full disk.
struct FileSink {
    FILE *file;
    bool failed;
};

static void sink_write(void *context, void *data, int size)
{
    FileSink *sink = (FileSink *)context;
    if (sink->failed || size <= 0) return;
    if (std::fwrite(data, 1, (size_t)size, sink->file) != (size_t)size) sink->failed = true;
}

// Runs one encoder into path, through the platform's output file: a
// failure anywhere leaves whatever was at path before.
static int encode_to_file(const char *path, OutputFormat format, const Image &image,
                          const unsigned char *rgb)
{
    const int w = image.width, h = image.height;
    // PNG is compressed in memory first, so running out of memory there
    // creates no file at all.
    unsigned char *png = nullptr;
    int png_len = 0;
    if (format == OUT_PNG) {
        png = png_encode_to_mem(image.pixels, w, h, 4, &png_len);
        if (!png) return 0;
    }
    OutputFile out;
    if (!open_output(path, &out)) {
        std::free(png);
        return 0;
    }
    FileSink sink{out.file, false};
    int ok = 1;
    switch (format) {
    case OUT_PNG:
        sink_write(&sink, png, png_len);
        break;
    case OUT_JPEG:
        ok = stbi_write_jpg_to_func(sink_write, &sink, w, h, 3, rgb, JPEG_QUALITY);
        break;
    case OUT_BMP:
        ok = stbi_write_bmp_to_func(sink_write, &sink, w, h, 3, rgb);
        break;
    case OUT_TGA:
        ok = stbi_write_tga_to_func(sink_write, &sink, w, h, 4, image.pixels);
        break;
    }
    std::free(png);
    return close_output(&out, ok && !sink.failed);
}

int save_image(const char *path, const Image &image)
{
    const OutputFormat format = output_format(path);
    unsigned char *rgb = nullptr;
    if (format == OUT_JPEG || format == OUT_BMP) {
        const int64_t n = (int64_t)image.width * image.height;
        rgb = (unsigned char *)std::malloc((size_t)(n * 3));
        if (!rgb) {
            set_err("out of memory");
            return 0;
        }
        flatten_over_white(image.pixels, n, rgb);
    }
    const int ok = encode_to_file(path, format, image, rgb);
    std::free(rgb);
    if (!ok) {
        set_err("cannot encode '%s' (check the extension)", path);
        return 0;
    }
    return 1;
}
