// Arguments of the kernel's sine that are hard to round, with their
// correctly rounded sines from an arbitrary-precision reference (mpmath at
// 320 bits, checked to lie far from any midpoint at that precision):
// the sines closest to a midpoint between two doubles found among the
// kernel's arguments and around them, and arguments whose double-double
// approximation cannot decide the rounding. check_kernel_sine.py
// regenerates and checks the expected values.
#pragma once

struct KernelSineCase {
    double x;
    double sine;
};

static const KernelSineCase KERNEL_SINE_HARD_CASES[] = {
    // The closest to a midpoint among the kernel's arguments of the suite's
    // sweep (kernel_sine_host): all need the exact path.
    {0x1.6b6281e4cf4dfp+1, 0x1.3133f7a115115p-2}, // 5.8e-07 ulp from a midpoint
    {0x1.2bef1885b67c2p+0, 0x1.d7bf2864cd1c1p-1}, // 1.65e-06 ulp from a midpoint
    {0x1.61bf80a9c3714p+0, 0x1.f6e2bcc0d0d31p-1}, // 2.04e-06 ulp from a midpoint
    {0x1.01e50f1b3712fp+3, 0x1.f5415993cd791p-1}, // 5.46e-06 ulp from a midpoint
    {0x1.9c3a3bc02fea1p-2, 0x1.912ee1afa1414p-2}, // 7.82e-06 ulp from a midpoint
    {0x1.1e83645a3c684p+2, -0x1.f1da785f71bc8p-1}, // 9.6e-06 ulp from a midpoint
    {0x1.1aeb372f91119p+0, 0x1.c97d0fda9a41bp-1}, // 1.16e-05 ulp from a midpoint
    {0x1.9bc65b68b71c9p-2, 0x1.90c4422e5356cp-2}, // 1.41e-05 ulp from a midpoint
    {0x1.352e1d7bba9eap+1, 0x1.53f4977fde420p-1}, // 1.41e-05 ulp from a midpoint
    {0x1.f053e434ec6d9p+1, -0x1.57b53b8cf7b5fp-1}, // 1.57e-05 ulp from a midpoint
    {0x1.a5e424a62da76p+2, 0x1.3745c0188fd60p-2}, // 1.73e-05 ulp from a midpoint
    {0x1.228d4abde64a6p+0, 0x1.d023805386f5cp-1}, // 1.74e-05 ulp from a midpoint
    // The closest found in the large sweep (kernel_sine_host OUTPUT_DIR full).
    {0x1.b78e552a94a17p+1, -0x1.2734fb3f46b55p-2}, // 2.49e-08 ulp from a midpoint
    {0x1.97d4b3168eaa3p-1, 0x1.6e0d32b657892p-1}, // 4.02e-08 ulp from a midpoint
    {0x1.9e5d1e95134bap+2, 0x1.854b0ad11f1acp-3}, // 4.57e-08 ulp from a midpoint
    {0x1.788e4d3578754p+1, 0x1.965f75ac40eb4p-3}, // 7.77e-08 ulp from a midpoint
    // Further arguments of the suite's sweep that need the exact path.
    {0x1.68c8b5c59e0d9p-5, 0x1.68aadb0a8267cp-5}, // 6.29e-05 ulp from a midpoint
    {0x1.1dbd9ef3b2cd2p-1, 0x1.0f231aa11ba11p-1}, // 7.66e-05 ulp from a midpoint
    {0x1.9409ea8c8286fp+0, 0x1.fffc55511b28dp-1}, // 0.000117 ulp from a midpoint
    {0x1.022b142f9c820p+1, 0x1.cde266543e2edp-1}, // 0.000215 ulp from a midpoint
    {0x1.6d0c71b79ce24p+1, 0x1.2478d5564936ap-2}, // 2.16e-05 ulp from a midpoint
    {0x1.17f0a88726a34p+2, -0x1.e2f9c417beb30p-1}, // 0.000341 ulp from a midpoint
    {0x1.b75b886bc443bp+2, 0x1.19593da35850bp-1}, // 0.000254 ulp from a midpoint
    {0x1.25b546e7d16e5p+3, 0x1.f38909574a1a8p-3}, // 0.000328 ulp from a midpoint
    // Known hard cases for the sine of small arguments: one within 2^-60
    // units in the last place of a midpoint, one right next to a double.
    {0x1.598bae9e632f6p-7, 0x1.598a0aea48996p-7}, // 8.34e-19 ulp from a midpoint
    // Built from sin x = x - x^3/6 + ... at the foot of the domain: x^3/6
    // is half a unit in the last place plus about 2^-53 of one.
    {0x1.7137449123ef6p-26, 0x1.7137449123ef6p-26}, // 9.53e-17 ulp from a midpoint
    {0x1.8db9cb7511e9ep-25, 0x1.8db9cb7511e9bp-25}, // 1.14e-16 ulp from a midpoint
    {0x1.e0000000001c2p-20, 0x1.dfffffffff02ep-20}, // 0.5 ulp from a midpoint
};
