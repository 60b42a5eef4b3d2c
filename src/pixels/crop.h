// Cutting a rectangle out of an Image.
#pragma once

#include "pixels/image.h"

// Copies the w x h region at (x, y) into a new tightly packed Image. The
// rectangle must lie inside the source (the callers clamp it). On allocation
// failure: "out of memory for WxH crop" and a null buffer.
Image sub_image(const Image &source, int32_t x, int32_t y, int32_t w, int32_t h);

