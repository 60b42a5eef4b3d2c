// The options library's exported functions: the defaults, the argument
// checks in their fixed order, then the engine's one body, run in the
// default floating-point state.
#include "imgthumbnail_ex.h"

#include "base/error.h"
#include "imgthumbnail.h"
#include "interface/message.h"
#include "interface/fp_state.h"
#include "io/image_io.h"
#include "thumbnail/aspect.h"
#include "thumbnail/options.h"

// The public numbers are the engine's.
static_assert(IMGTHUMBNAIL_EX_MAX_SIZE == IMGTHUMBNAIL_MAX_SIZE, "one size limit");
static_assert(IMGTHUMBNAIL_EX_QUALITY_MIN == JPEG_QUALITY_MIN && IMGTHUMBNAIL_EX_QUALITY_MAX == JPEG_QUALITY_MAX &&
                  IMGTHUMBNAIL_EX_QUALITY_DEFAULT == JPEG_QUALITY_DEFAULT,
              "one quality range");
static_assert(IMGTHUMBNAIL_EX_COVER == THUMB_COVER && IMGTHUMBNAIL_EX_FIT == THUMB_FIT &&
                  IMGTHUMBNAIL_EX_PAD == THUMB_PAD && IMGTHUMBNAIL_EX_SMART == THUMB_SMART &&
                  IMGTHUMBNAIL_EX_ASPECT == THUMB_ASPECT && IMGTHUMBNAIL_EX_MODE_COUNT == THUMB_MODE_COUNT,
              "the engine's modes");
static_assert(IMGTHUMBNAIL_EX_RATIO_COUNT == ASPECT_COUNT && IMGTHUMBNAIL_EX_RATIO_16_9 == IMGTHUMBNAIL_RATIO_16_9,
              "the seven functions' ratios");
// Nine 32-bit fields and nothing between them, for every binding's layout.
static_assert(sizeof(imgthumbnail_ex_options) == 9 * 4, "no padding");

static const imgthumbnail_ex_options DEFAULTS = {
    (int)sizeof(imgthumbnail_ex_options), IMGTHUMBNAIL_EX_COVER, 0, 0, IMGTHUMBNAIL_EX_RATIO_1_1, 1, 1,
    IMGTHUMBNAIL_EX_QUALITY_DEFAULT, 0};

// The background's four bytes, 0xRRGGBBAA, red in the top one.
static const int CHANNELS = 4;
static const int BYTE_BITS = 8;
static const unsigned BYTE_MASK = 0xFFu;

// True when v lies in lo..hi; otherwise writes the field's message.
static bool in_range(const char *field, int v, int lo, int hi)
{
    if (v >= lo && v <= hi) return true;
    set_err("thumbnail: %s %d out of range %d..%d", field, v, lo, hi);
    return false;
}

static bool options_ok(const imgthumbnail_ex_options &o)
{
    if (o.struct_size != (int)sizeof(imgthumbnail_ex_options)) {
        set_err("thumbnail: options size %d, expected %d", o.struct_size, (int)sizeof(imgthumbnail_ex_options));
        return false;
    }
    if (!in_range("mode", o.mode, 0, IMGTHUMBNAIL_EX_MODE_COUNT - 1)) return false;
    if (!in_range("width", o.width, 1, IMGTHUMBNAIL_EX_MAX_SIZE)) return false;
    // ASPECT's height follows from its ratio.
    if (o.mode != IMGTHUMBNAIL_EX_ASPECT && !in_range("height", o.height, 1, IMGTHUMBNAIL_EX_MAX_SIZE)) return false;
    if (o.mode == IMGTHUMBNAIL_EX_ASPECT && !in_range("ratio", o.ratio, 0, IMGTHUMBNAIL_EX_RATIO_COUNT - 1))
        return false;
    return in_range("rotate", o.rotate, 0, 1) && in_range("upscale", o.upscale, 0, 1) &&
           in_range("quality", o.quality, IMGTHUMBNAIL_EX_QUALITY_MIN, IMGTHUMBNAIL_EX_QUALITY_MAX);
}

static ThumbOptions engine_options(const imgthumbnail_ex_options &o)
{
    ThumbOptions t;
    t.mode = (ThumbMode)o.mode;
    t.width = o.width;
    t.height = o.mode == IMGTHUMBNAIL_EX_ASPECT ? o.width : o.height;
    t.num = o.mode == IMGTHUMBNAIL_EX_ASPECT ? ASPECT_NUM[o.ratio] : 1;
    t.den = o.mode == IMGTHUMBNAIL_EX_ASPECT ? ASPECT_DEN[o.ratio] : 1;
    t.rotate = o.rotate != 0;
    t.upscale = o.upscale != 0;
    t.jpeg_quality = o.quality;
    for (int i = 0; i < CHANNELS; i++)
        t.background[i] = (unsigned char)((o.background >> (BYTE_BITS * (CHANNELS - 1 - i))) & BYTE_MASK);
    return t;
}

extern "C" {

IMGTHUMBNAIL_EX_API void imgthumbnail_ex_defaults(imgthumbnail_ex_options *options)
{
    if (options) *options = DEFAULTS;
}

IMGTHUMBNAIL_EX_API int imgthumbnail_ex_thumbnail(const char *input, const char *output,
                                                  const imgthumbnail_ex_options *options)
{
    if (!input || !output) {
        set_err("thumbnail: NULL input/output");
        return 0;
    }
    if (!options) {
        set_err("thumbnail: NULL options");
        return 0;
    }
    if (!options_ok(*options)) return 0;
    const ThumbOptions opt = engine_options(*options);
    FpState host = enter_default_fp();
    const int ok = options_thumbnail(input, output, opt);
    leave_default_fp(host);
    return ok;
}

IMGTHUMBNAIL_EX_API const char *imgthumbnail_ex_last_error(void)
{
    return message_buffer();
}

} // extern "C"
