// Fuzz target: arbitrary file bytes through the options body, turned upright
// by whatever EXIF Orientation tag they carry, in a mode, box and JPEG
// quality taken from the parameter bytes.
#include "fuzz_common.h"
#include "imgthumbnail.h"
#include "io/image_io.h"
#include "thumbnail/options.h"

// The box sides the options library accepts (it checks them before the
// body runs).
static int32_t side(int v)
{
    return v < 1 || v > IMGTHUMBNAIL_MAX_SIZE ? 1 : v;
}

static int run(const char *input, const char *output, const FuzzCall &call)
{
    const unsigned pick = (unsigned)(call.a + call.b + call.ratio);
    const ThumbOptions opt{(ThumbMode)(pick % THUMB_MODE_COUNT),
                           side(call.a),
                           side(call.b),
                           4,
                           3,
                           true,
                           (pick / THUMB_MODE_COUNT) % 2 == 0,
                           JPEG_QUALITY_MIN + (int)(pick % JPEG_QUALITY_MAX),
                           {(unsigned char)call.a, (unsigned char)call.b, 0, (unsigned char)call.ratio}};
    return options_thumbnail(input, output, opt);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_run(data, size, run);
    return 0;
}
