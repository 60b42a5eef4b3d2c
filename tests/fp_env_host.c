/* The thumbnail host of crosscheck_host.c, run in a hostile floating-point
 * state: what a program linked with -ffast-math (flush-to-zero,
 * denormals-are-zero) or one that lowers the x87 precision and changes the
 * rounding runs in. Its thumbnails must be the bytes of a normal run, and
 * the state must be the host's own again after every call.
 * usage: fp_env_host OUTPUT_DIR */
#include <stdio.h>
#include <xmmintrin.h>

#define main crosscheck_main
#include "crosscheck_host.c"
#undef main

enum {
    MXCSR_FLAGS = 0x3F,          /* exception flags: the host's own business */
    MXCSR_FLUSH_TO_ZERO = 0x8000,
    MXCSR_DENORMALS_ARE_ZERO = 0x40,
    MXCSR_ROUND_UP = 0x4000,
    MXCSR_MASK_ALL = 0x1F80,
    X87_SINGLE_PRECISION_ROUND_UP = 0x087F
};

static unsigned short x87_control(void)
{
    unsigned short cw;
    __asm__ volatile("fnstcw %0" : "=m"(cw));
    return cw;
}

int main(int argc, char **argv)
{
    unsigned hostile = MXCSR_MASK_ALL | MXCSR_FLUSH_TO_ZERO | MXCSR_DENORMALS_ARE_ZERO | MXCSR_ROUND_UP;
    unsigned short hostile_x87 = X87_SINGLE_PRECISION_ROUND_UP;
    int rc;
    _mm_setcsr(hostile);
    __asm__ volatile("fldcw %0" : : "m"(hostile_x87));
    rc = crosscheck_main(argc, argv);
    if ((_mm_getcsr() & ~MXCSR_FLAGS) != hostile || x87_control() != hostile_x87) {
        fprintf(stderr, "the host's floating-point state was not given back: MXCSR %#x, x87 %#x\n",
                _mm_getcsr(), x87_control());
        return 1;
    }
    return rc;
}
