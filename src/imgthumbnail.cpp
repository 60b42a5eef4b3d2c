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

// The floating-point control state the library's arithmetic is exact in.
// A host may run with another: a program linked with -ffast-math sets
// flush-to-zero and denormals-are-zero at start-up, some Windows programs
// lower the x87 precision or change the rounding, and mingw's sin works in
// x87 long double. Each operation therefore runs in the default state and
// gives the host's back, exception flags included, before it returns.
#if defined(__x86_64__) || (defined(__i386__) && defined(__SSE__))
#include <xmmintrin.h>

// SSE: all exceptions masked, round to nearest, no flush-to-zero, no
// denormals-are-zero.
static const unsigned MXCSR_DEFAULT = 0x1F80;
// x87: all exceptions masked, 64-bit precision, round to nearest.
static const unsigned short X87_CONTROL_DEFAULT = 0x037F;

struct fp_state {
    unsigned mxcsr;
    unsigned short x87_control;
};

static fp_state enter_default_fp(void)
{
    fp_state host;
    host.mxcsr = _mm_getcsr();
    __asm__ volatile("fnstcw %0" : "=m"(host.x87_control));
    _mm_setcsr(MXCSR_DEFAULT);
    __asm__ volatile("fldcw %0" : : "m"(X87_CONTROL_DEFAULT));
    return host;
}

static void leave_default_fp(fp_state host)
{
    __asm__ volatile("fldcw %0" : : "m"(host.x87_control));
    _mm_setcsr(host.mxcsr);
}
#else
struct fp_state {
};

static fp_state enter_default_fp(void)
{
    return fp_state();
}

static void leave_default_fp(fp_state)
{
}
#endif

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
    fp_state host = enter_default_fp();
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
    fp_state host = enter_default_fp();
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
    fp_state host = enter_default_fp();
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
    fp_state host = enter_default_fp();
    int ok = batch_thumbnails(input_dir, output_dir, size);
    leave_default_fp(host);
    return ok;
}

} // extern "C"
