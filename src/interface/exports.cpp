// The seven exported functions: argument checks in their fixed order, then
// the operation's body, run in the default floating-point state.
#include "imgthumbnail.h"

#include "base/error.h"
#include "batch/batch.h"
#include "interface/fp_state.h"
#include "interface/message.h"
#include "thumbnail/aspect.h"
#include "thumbnail/smart_crop.h"

// True when v lies in 1..IMGTHUMBNAIL_MAX_SIZE; otherwise writes the size
// message.
static bool size_ok(const char *op, int v)
{
    if (v >= 1 && v <= IMGTHUMBNAIL_MAX_SIZE) return true;
    set_err("%s: size %d out of range 1..%d", op, v, IMGTHUMBNAIL_MAX_SIZE);
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
    return message_buffer();
}

IMGTHUMBNAIL_API int imgthumbnail_square(const char *input, const char *output, int size)
{
    if (!input || !output) {
        set_err("square: NULL input/output");
        return 0;
    }
    if (!size_ok("square", size)) return 0;
    FpState host = enter_default_fp();
    int ok = op_aspect_common(input, output, size, 1, 1);
    leave_default_fp(host);
    return ok;
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
    FpState host = enter_default_fp();
    int ok = op_aspect_common(input, output, size, ASPECT_NUM[ratio], ASPECT_DEN[ratio]);
    leave_default_fp(host);
    return ok;
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
    FpState host = enter_default_fp();
    int ok = smart_thumbnail(input, output, width, height);
    leave_default_fp(host);
    return ok;
}

IMGTHUMBNAIL_API int imgthumbnail_batch(const char *input_dir, const char *output_dir, int size)
{
    if (!input_dir || !output_dir) {
        set_err("batch: NULL input_dir/output_dir");
        return 0;
    }
    if (!size_ok("batch", size)) return 0;
    FpState host = enter_default_fp();
    int ok = batch_thumbnails(input_dir, output_dir, size);
    leave_default_fp(host);
    return ok;
}

} // extern "C"
