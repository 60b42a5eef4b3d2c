// Region crop: one block copy per row, no per-pixel work.
#include "crop.h"

#include <cstdlib>
#include <cstring>

#include "error.h"

Image sub_image(const Image &source, int32_t x, int32_t y, int32_t w, int32_t h)
{
    Image out{w, h, nullptr};
    out.pixels = (unsigned char *)std::malloc((size_t)image_bytes(w, h));
    if (!out.pixels) {
        set_err("out of memory for %dx%d crop", w, h);
        return out;
    }
    const int64_t src_stride = (int64_t)source.width * 4;
    const int64_t row_bytes = (int64_t)w * 4;
    const unsigned char *from = source.pixels + ((int64_t)y * source.width + x) * 4;
    for (int32_t r = 0; r < h; r++)
        std::memcpy(out.pixels + r * row_bytes, from + r * src_stride, (size_t)row_bytes);
    return out;
}

Image sub_image_release(Image *source, int32_t x, int32_t y, int32_t w, int32_t h)
{
    Image out{w, h, source->pixels};
    const int32_t sw = source->width;
    *source = Image{0, 0, nullptr};
    // When the region is the top of the image at full width its rows are
    // already in place. Otherwise row r moves from ((y + r) * sw + x) * 4 to
    // r * w * 4, which is never later in the buffer (w <= sw), so copying the
    // rows in order never overwrites a row still to be moved.
    if (!(x == 0 && y == 0 && w == sw)) {
        const int64_t src_stride = (int64_t)sw * 4;
        const int64_t row_bytes = (int64_t)w * 4;
        const unsigned char *from = out.pixels + ((int64_t)y * sw + x) * 4;
        for (int32_t r = 0; r < h; r++)
            std::memmove(out.pixels + r * row_bytes, from + r * src_stride, (size_t)row_bytes);
    }
    // Give back the tail; a shrink that the heap refuses keeps the old block.
    void *smaller = std::realloc(out.pixels, (size_t)image_bytes(w, h));
    if (smaller) out.pixels = (unsigned char *)smaller;
    return out;
}
