// Thumbnails with options, the one body behind every operation: the centred
// crop of a ratio (the seven functions' square and aspect), the box modes
// cover, fit and pad, and the smart crop; each optionally on the picture
// turned upright, never enlarged, with a JPEG quality of its own.
#pragma once

#include <cstdint>

#include "thumbnail/thumbnail.h"

enum ThumbMode {
    THUMB_COVER,  // W x H exactly: the largest centred region of shape W : H
    THUMB_FIT,    // the whole image inside W x H, its shape kept
    THUMB_PAD,    // fit, centred on a W x H canvas of the background colour
    THUMB_SMART,  // the smart crop's window, at exactly W x H
    THUMB_ASPECT, // the largest centred num : den region, one side width long
};
constexpr int THUMB_MODE_COUNT = 5;

struct ThumbOptions {
    ThumbMode mode;
    int32_t width, height;       // the box, 1..4096 each (aspect reads width only: its size)
    int32_t num, den;            // aspect only: the ratio, width : height, both positive
    bool rotate;                 // turn the pixels upright by the EXIF Orientation tag
    bool upscale;                // enlarge where the box asks for it
    int jpeg_quality;            // JPEG_QUALITY_MIN..JPEG_QUALITY_MAX
    unsigned char background[4]; // pad only: the canvas colour, RGBA
};

// What a mode makes of an upright w x h image: the region resampled, the
// size it is resampled to, and the canvas it ends on (the resampled size
// itself but for pad).
struct ThumbPlan {
    CropRect region;
    int32_t tw, th;
    int32_t canvas_w, canvas_h;
    int32_t at_x, at_y; // where the resampled region goes on the canvas
};

// The largest size of a w x h image's shape inside W x H: W wide when
// W * h <= H * w, else H high, the other side rounded to nearest (halves
// up) and at least 1.
void fit_size(int32_t w, int32_t h, int32_t W, int32_t H, int32_t *fw, int32_t *fh);

// The plan of every mode but smart (whose region follows from the pixels).
ThumbPlan plan_thumbnail(int32_t w, int32_t h, const ThumbOptions &opt);

// Loads input, turns it upright when asked, makes the thumbnail opt asks for
// and saves it to output. 1 on success (message emptied), 0 with the failing
// step's message. The rows of a row decoder go straight into the resampler
// unless the pixels must be turned or the mode needs them all (smart).
int options_thumbnail(const char *input, const char *output, const ThumbOptions &opt);
