// The Image record shared by every step: 8-bit RGBA, rows top to bottom,
// no padding. A step that cannot allocate returns the requested size with a
// null buffer; whoever holds an Image releases its buffer with free().
#pragma once

#include <cstdint>

struct Image {
    int32_t width;
    int32_t height;
    unsigned char *pixels;
};

// Byte size of a w x h RGBA buffer, in 64-bit arithmetic.
inline int64_t image_bytes(int32_t w, int32_t h)
{
    return (int64_t)w * (int64_t)h * 4;
}
