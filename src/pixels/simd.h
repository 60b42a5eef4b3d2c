// Which vector kernels the build carries. The SSE2 kernels (part of every
// x86-64 processor) are built unless the build asks for the scalar kernels
// alone (the CMake option IMGTHUMB_SIMD=OFF defines IMGTHUMB_NO_SIMD). Both
// give the same bytes: every vector lane performs exactly the scalar
// operations in the scalar order, and a build of each is compared.
#pragma once

#if !defined(IMGTHUMB_NO_SIMD) && (defined(__SSE2__) || defined(_M_X64))
#define IMGTHUMB_SSE2 1
#else
#define IMGTHUMB_SSE2 0
#endif
