// The PNG reader's rows for the resampler, and its whole images.
#include "io/png/png_source.h"

#include <cstdlib>
#include <cstring>

#include "io/png/png_convert.h"

static const int PALETTE_COLOUR = 3;

static bool palette_image(const PngReader &r)
{
    return r.header_done && r.colour == PALETTE_COLOUR;
}

int png_rows_open(PngReader *r, FILE *f, int32_t max_side)
{
    if (png_reader_begin(r, f, false) != PNG_PENDING) return 0;
    // CgBI files other than palette images go to the decoder anyway.
    if (r->interlace || r->cgbi) return 0;
    return r->width <= (uint32_t)max_side && r->height <= (uint32_t)max_side;
}

int png_rows_next(PngReader *r, unsigned char *dst, int32_t x0, int32_t n)
{
    const unsigned char *row = png_reader_row(r);
    if (!row) return 0;
    if (dst) png_convert_row(*r, r->palette, row, (uint32_t)x0, (uint32_t)n, dst);
    return 1;
}

int png_rows_finish(PngReader *r)
{
    // A late PLTE recoloured the rows already handed out.
    return png_reader_finish(r) == PNG_OK && !r->late_palette;
}

void png_rows_close(PngReader *r)
{
    png_reader_end(r);
}

// Every row of every pass into image (left without pixels: rows decoded
// only), then the verdict.
static int read_all_rows(PngReader *r, Image *image)
{
    const uint32_t w = r->width;
    unsigned char *line = nullptr;
    if (image->pixels && r->interlace) {
        line = (unsigned char *)std::malloc((size_t)w * 4);
        if (!line) return PNG_DOUBT;
    }
    const int64_t stride = (int64_t)w * 4;
    for (int p = 0; p < r->pass_count; p++) {
        const PngPass pass = r->passes[p];
        for (uint32_t y = 0; y < pass.height; y++) {
            const unsigned char *row = png_reader_row(r);
            if (!row) break;
            if (!image->pixels) continue;
            unsigned char *out = image->pixels + ((int64_t)pass.y0 + (int64_t)y * pass.dy) * stride;
            if (!line) {
                png_convert_row(*r, r->palette, row, 0, w, out);
                continue;
            }
            png_convert_row(*r, r->palette, row, 0, pass.width, line);
            for (uint32_t i = 0; i < pass.width; i++)
                std::memcpy(out + ((int64_t)pass.x0 + (int64_t)i * pass.dx) * 4, line + (size_t)i * 4, 4);
        }
    }
    std::free(line);
    return png_reader_finish(r);
}

int png_read_whole(PngReader *r, FILE *f, bool in_memory, int32_t max_side, Image *image)
{
    *image = Image{0, 0, nullptr};
    if (std::fseek(f, 0, SEEK_SET) != 0) return PNG_DOUBT;
    std::clearerr(f);
    const int begun = png_reader_begin(r, f, in_memory);
    if (begun != PNG_PENDING) return begun;
    const int32_t w = (int32_t)r->width, h = (int32_t)r->height;
    *image = Image{w, h, nullptr};
    if (w <= max_side && h <= max_side) {
        image->pixels = (unsigned char *)std::malloc((size_t)image_bytes(w, h));
        if (!image->pixels) return PNG_DOUBT;
    }
    const int v = read_all_rows(r, image);
    if (v != PNG_OK) {
        std::free(image->pixels);
        image->pixels = nullptr;
    }
    return v;
}

static void copy_reason(const char *text, char *reason, size_t size)
{
    std::strncpy(reason, text, size - 1);
    reason[size - 1] = '\0';
}

int png_decode_image(FILE *f, bool rows_refused, int32_t max_side, Image *image, char *reason, size_t reason_size,
                     bool *is_png)
{
    *image = Image{0, 0, nullptr};
    PngReader *r = (PngReader *)std::malloc(sizeof(PngReader));
    if (!r) return -1;
    int v = PNG_DOUBT;
    bool palette = false;
    if (rows_refused) {
        // The row way read this file already, to no sure end: a palette
        // image is read again as it comes, any other in memory below.
        png_reader_begin(r, f, false);
        palette = palette_image(*r);
        *is_png = png_reader_is_png(*r);
        png_reader_end(r);
    }
    if (!rows_refused || palette) {
        v = png_read_whole(r, f, false, max_side, image);
        *is_png = png_reader_is_png(*r);
        palette = palette_image(*r);
        png_reader_end(r);
    }
    // zlib's doubts are settled by the decoder's own inflate, into zeroed
    // buffers: a stream that copies from distance 0 (codes 30 and 31) reads
    // bytes it never wrote, which the decoder takes from its heap. A PLTE
    // among the IDAT chunks recolours rows already converted. Both read
    // again with every chunk read before the rows.
    if (*is_png && (v == PNG_DOUBT || (palette && v == PNG_OK && r->late_palette))) {
        std::free(image->pixels);
        v = png_read_whole(r, f, true, max_side, image);
        png_reader_end(r);
        // Only memory can have failed a palette image; any other goes to
        // the decoder when the reader still cannot tell.
        if (palette && v == PNG_DOUBT) {
            v = PNG_FAILED;
            r->reason = "outofmem";
        }
    }
    int result = -1;
    // Of a file other than a palette image, only the reader's pixels are
    // taken: its refusals are the decoder's to make.
    if (!*is_png || (!palette && v != PNG_OK)) {
        std::free(image->pixels);
        *image = Image{0, 0, nullptr};
    } else if (v == PNG_OK) {
        result = 1;
    } else {
        copy_reason(png_reader_reason(*r), reason, reason_size);
        *image = Image{0, 0, nullptr};
        result = 0;
    }
    std::free(r);
    return result;
}
