// Image saving through stb_image_write. An output is written beside the
// file it replaces and takes its place only when whole.
#include "io/image_io.h"

#include <cstdio>
#include <cstdlib>

#include <stb/stb_image_write.h>

#include "base/error.h"
#include "common/ascii.h"
#include "io/stb_bridge.h"
#include "platform/platform.h"

OutputFormat output_format(const char *path)
{
    const char *ext = extension_of(path);
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
                          const unsigned char *rgb, int jpeg_quality)
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
        ok = stbi_write_jpg_to_func(sink_write, &sink, w, h, 3, rgb, jpeg_quality);
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

int save_image(const char *path, const Image &image, int jpeg_quality)
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
    const int ok = encode_to_file(path, format, image, rgb, jpeg_quality);
    std::free(rgb);
    if (!ok) {
        set_err("cannot encode '%s' (check the extension)", path);
        return 0;
    }
    return 1;
}
