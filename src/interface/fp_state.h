// The floating-point control state the library's arithmetic is exact in.
// A host may run with another: a program linked with -ffast-math sets
// flush-to-zero and denormals-are-zero at start-up, and some Windows
// programs lower the x87 precision or change the rounding. Each exported
// operation therefore runs in the default state and gives the host's back,
// exception flags included, before it returns.
#pragma once

struct FpState {
    unsigned mxcsr;
    unsigned short x87_control;
};

// Saves the caller's state and enters the default one: round to nearest,
// no flush-to-zero, all exceptions masked, x87 at 64-bit precision.
FpState enter_default_fp(void);

// Gives the caller's state back.
void leave_default_fp(FpState host);
