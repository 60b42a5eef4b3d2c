// The seven exported functions: argument checks in their fixed order, then
// the operation's body. Also home of the last-error message.
#include "imgthumbnail.h"

#include <cstdarg>
#include <cstdio>

#include "aspect.h"
#include "batch.h"
#include "error.h"
#include "smart_crop.h"

// Zero-filled at load time, so the message starts empty.
static char s_err[ERR_MAX + 1];

// Largest thumbnail side any operation accepts.
static const int SIZE_MAX_PX = 4096;

const char *set_err(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    // vsnprintf cuts at sizeof - 1 characters and always terminates.
    std::vsnprintf(s_err, sizeof s_err, fmt, ap);
    va_end(ap);
    return s_err;
}

void clear_err(void)
{
    s_err[0] = '\0';
}

// True when v lies in 1..SIZE_MAX_PX; otherwise writes the size message.
static bool size_ok(const char *op, int v)
{
    if (v >= 1 && v <= SIZE_MAX_PX) return true;
    set_err("%s: size %d out of range 1..%d", op, v, SIZE_MAX_PX);
    return false;
}

extern "C" {

IMGTHUMBNAIL_API int imgthumbnail_init(void)
{
    clear_err();
    return 1;
}

IMGTHUMBNAIL_API void imgthumbnail_cleanup(void)
{
    clear_err();
}

IMGTHUMBNAIL_API const char *imgthumbnail_last_error(void)
{
    return s_err;
}

IMGTHUMBNAIL_API int imgthumbnail_square(const char *input, const char *output, int size)
{
    if (!input || !output) {
        set_err("square: NULL input/output");
        return 0;
    }
    if (!size_ok("square", size)) return 0;
    return op_aspect_common(input, output, size, 1, 1);
}

IMGTHUMBNAIL_API int imgthumbnail_aspect(const char *input, const char *output, int size, int ratio)
{
    if (!input || !output) {
        set_err("aspect: NULL input/output");
        return 0;
    }
    if (!size_ok("aspect", size)) return 0;
    if (ratio < 0 || ratio >= ASPECT_COUNT) {
        set_err("aspect: ratio %d out of range 0..3", ratio);
        return 0;
    }
    return op_aspect_common(input, output, size, ASPECT_NUM[ratio], ASPECT_DEN[ratio]);
}

IMGTHUMBNAIL_API int imgthumbnail_smart(const char *input, const char *output, int width, int height)
{
    if (!input || !output) {
        set_err("smart: NULL input/output");
        return 0;
    }
    // Both sides are reported as "size"; the width is tested first.
    if (!size_ok("smart", width)) return 0;
    if (!size_ok("smart", height)) return 0;
    return smart_thumbnail(input, output, width, height);
}

IMGTHUMBNAIL_API int imgthumbnail_batch(const char *input_dir, const char *output_dir, int size)
{
    if (!input_dir || !output_dir) {
        set_err("batch: NULL input_dir/output_dir");
        return 0;
    }
    if (!size_ok("batch", size)) return 0;
    return batch_thumbnails(input_dir, output_dir, size);
}

} // extern "C"
