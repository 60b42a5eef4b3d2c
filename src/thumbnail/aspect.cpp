// Centre-crop thumbnails shared by imgthumbnail_square and imgthumbnail_aspect.
#include "thumbnail/aspect.h"

#include "io/image_io.h"
#include "thumbnail/options.h"

const int32_t ASPECT_NUM[ASPECT_COUNT] = {1, 4, 16, 3};
const int32_t ASPECT_DEN[ASPECT_COUNT] = {1, 3, 9, 2};

// x / d rounded to the nearest integer, halves upwards (x, d > 0).
static int32_t div_round(int32_t x, int32_t d)
{
    return (x + d / 2) / d;
}

static int32_t clamp_side(int32_t v, int32_t limit)
{
    if (v < 1) v = 1;
    if (v > limit) v = limit;
    return v;
}

CropRect aspect_crop_rect(int32_t w, int32_t h, int32_t num, int32_t den)
{
    int32_t cw, ch;
    if (den * w > num * h) { // wider than the ratio: keep the full height
        cw = div_round(num * h, den);
        ch = h;
    } else {
        cw = w;
        ch = div_round(den * w, num);
    }
    cw = clamp_side(cw, w);
    ch = clamp_side(ch, h);
    // An odd margin leaves the extra pixel on the right or at the bottom.
    return CropRect{(w - cw) / 2, (h - ch) / 2, cw, ch};
}

void aspect_thumb_size(int32_t cw, int32_t ch, int32_t size, int32_t num, int32_t den,
                       int32_t *tw, int32_t *th)
{
    int32_t W, H;
    if (cw < ch) {
        H = size;
        W = div_round(num * size, den);
    } else {
        W = size;
        H = div_round(den * size, num);
    }
    *tw = W < 1 ? 1 : W;
    *th = H < 1 ? 1 : H;
}

int op_aspect_common(const char *input, const char *output, int32_t size, int32_t num, int32_t den)
{
    // The stored pixel order, enlarged as the size asks, at the one JPEG
    // quality of the seven functions.
    const ThumbOptions opt{THUMB_ASPECT, size, size, num, den, false, true, JPEG_QUALITY_DEFAULT, {0, 0, 0, 0}};
    return options_thumbnail(input, output, opt);
}
