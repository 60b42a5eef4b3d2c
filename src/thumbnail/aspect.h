// Centre-crop thumbnails: the largest centred region of a ratio, scaled so
// that one side equals the requested size.
#pragma once

#include <cstdint>

#include "imgthumbnail.h"
#include "thumbnail/thumbnail.h"

// Ratios selectable by imgthumbnail_aspect, width : height, in the order of
// its ratio indices.
constexpr int ASPECT_COUNT = IMGTHUMBNAIL_RATIO_COUNT;
extern const int32_t ASPECT_NUM[ASPECT_COUNT];
extern const int32_t ASPECT_DEN[ASPECT_COUNT];

// The centred crop of ratio num:den inside a w x h image.
CropRect aspect_crop_rect(int32_t w, int32_t h, int32_t num, int32_t den);

// The thumbnail size for a crop of cw x ch at ratio num:den and side size.
void aspect_thumb_size(int32_t cw, int32_t ch, int32_t size, int32_t num, int32_t den,
                       int32_t *tw, int32_t *th);

// Load input, cut the centred num:den region, resample it and save it to
// output. 1 on success (message emptied), 0 with the failing step's message.
int op_aspect_common(const char *input, const char *output, int32_t size, int32_t num, int32_t den);
