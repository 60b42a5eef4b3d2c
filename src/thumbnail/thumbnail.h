// What every thumbnail operation shares: the rectangle of the decoded image
// it keeps, and the last step, which scales that rectangle straight out of
// the decoded pixels and writes the result.
#pragma once

#include <cstdint>

#include "pixels/image.h"

// A rectangle of an image, in pixels.
struct CropRect {
    int32_t x, y, w, h;
};

// The common end of every thumbnail operation: resample the region of source
// (which must lie inside it) to tw x th, free source, save the result to
// output and free it. 1 with the message emptied, or 0 with the failing
// step's message; source is left empty either way. The resampler runs even
// when the region already has the thumbnail's size.
int resize_and_save(Image *source, const CropRect &region, int32_t tw, int32_t th, const char *output);
