// Content-aware thumbnails: keep the window with the most edge energy.
#pragma once

#include <cstdint>

// Body of imgthumbnail_smart once its arguments have been checked.
int smart_thumbnail(const char *input, const char *output, int32_t width, int32_t height);
