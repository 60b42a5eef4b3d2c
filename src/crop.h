// Cutting a rectangle out of an Image.
#pragma once

#include "image.h"

// Copies the w x h region at (x, y) into a new tightly packed Image. The
// rectangle must lie inside the source (the callers clamp it). On allocation
// failure: "out of memory for WxH crop" and a null buffer.
Image sub_image(const Image &source, int32_t x, int32_t y, int32_t w, int32_t h);

// The same region for a caller that frees the source right afterwards: the
// rows are compacted inside the source's own buffer, which is then shrunk
// (or handed over whole when the region is the entire image), so no second
// full-size buffer is ever needed. The source is left empty either way.
Image sub_image_release(Image *source, int32_t x, int32_t y, int32_t w, int32_t h);
