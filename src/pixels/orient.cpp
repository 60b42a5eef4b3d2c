// Orientation moves: each upright row is read from the stored image along a
// row (orientations 1..4) or a column (5..8), forwards or backwards.
#include "pixels/orient.h"

#include <cstdlib>
#include <cstring>

#include "base/error.h"

// Per orientation 1..8: whether an upright row runs along a stored column,
// and whether the stored x and y run backwards. Upright pixel (x, y) is
// stored at (u, v) = (x, y), or (y, x) when swapped, with u counted from the
// right when mirrored in x and v from the bottom when mirrored in y.
static const int ORIENTATIONS = 8;
static const bool ORIENT_SWAP[ORIENTATIONS] = {false, false, false, false, true, true, true, true};
static const bool ORIENT_MIRROR_X[ORIENTATIONS] = {false, true, true, false, false, false, true, true};
static const bool ORIENT_MIRROR_Y[ORIENTATIONS] = {false, false, true, true, false, true, true, false};

static const int64_t PIXEL_BYTES = 4;

void oriented_size(int32_t w, int32_t h, int orientation, int32_t *ow, int32_t *oh)
{
    const bool swap = ORIENT_SWAP[orientation - 1];
    *ow = swap ? h : w;
    *oh = swap ? w : h;
}

Image orient_image(const Image &stored, int orientation)
{
    const int k = orientation - 1;
    const int32_t w = stored.width, h = stored.height;
    Image out{0, 0, nullptr};
    oriented_size(w, h, orientation, &out.width, &out.height);
    out.pixels = (unsigned char *)std::malloc((size_t)image_bytes(out.width, out.height));
    if (!out.pixels) {
        set_err("out of memory for %dx%d orientation", out.width, out.height);
        return out;
    }
    const int64_t stride = (int64_t)w * PIXEL_BYTES;
    unsigned char *dst = out.pixels;
    for (int32_t y = 0; y < out.height; y++) {
        // Where upright row y starts in the stored pixels, and the step from
        // one of its pixels to the next.
        int64_t start, step;
        if (ORIENT_SWAP[k]) {
            const int64_t sx = ORIENT_MIRROR_X[k] ? w - 1 - y : y;
            start = sx * PIXEL_BYTES + (ORIENT_MIRROR_Y[k] ? (h - 1) * stride : 0);
            step = ORIENT_MIRROR_Y[k] ? -stride : stride;
        } else {
            const int64_t sy = ORIENT_MIRROR_Y[k] ? h - 1 - y : y;
            start = sy * stride + (ORIENT_MIRROR_X[k] ? (w - 1) * PIXEL_BYTES : 0);
            step = ORIENT_MIRROR_X[k] ? -PIXEL_BYTES : PIXEL_BYTES;
        }
        for (int32_t x = 0; x < out.width; x++, dst += PIXEL_BYTES)
            std::memcpy(dst, stored.pixels + start + x * step, PIXEL_BYTES);
    }
    return out;
}
