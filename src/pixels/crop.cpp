// Region crop: one block copy per row, no per-pixel work.
#include "pixels/crop.h"

#include <cstdlib>
#include <cstring>

#include "base/error.h"

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

