// Entering and leaving the default floating-point state around an
// operation. Only x86 has such state to set; elsewhere both are no-ops.
#include "interface/fp_state.h"

#if defined(__x86_64__) || (defined(__i386__) && defined(__SSE__))
#include <xmmintrin.h>

// SSE: all exceptions masked, round to nearest, no flush-to-zero, no
// denormals-are-zero.
static const unsigned MXCSR_DEFAULT = 0x1F80;
// x87: all exceptions masked, 64-bit precision, round to nearest.
static const unsigned short X87_CONTROL_DEFAULT = 0x037F;

FpState enter_default_fp(void)
{
    FpState host;
    host.mxcsr = _mm_getcsr();
    __asm__ volatile("fnstcw %0" : "=m"(host.x87_control));
    _mm_setcsr(MXCSR_DEFAULT);
    __asm__ volatile("fldcw %0" : : "m"(X87_CONTROL_DEFAULT));
    return host;
}

void leave_default_fp(FpState host)
{
    __asm__ volatile("fldcw %0" : : "m"(host.x87_control));
    _mm_setcsr(host.mxcsr);
}
#else
FpState enter_default_fp(void)
{
    return FpState{0, 0};
}

void leave_default_fp(FpState)
{
}
#endif
