// Turning stored pixels upright: the eight EXIF orientations as moves of
// whole pixels (mirrors, half and quarter turns), exact by nature.
#pragma once

#include "pixels/image.h"

// The upright size of a w x h image stored with orientation 1..8: the
// quarter turns and the diagonal mirrors (5..8) swap the sides.
void oriented_size(int32_t w, int32_t h, int orientation, int32_t *ow, int32_t *oh);

// A new Image holding stored's pixels as the picture is seen upright, for
// orientation 1..8 (1 copies). On allocation failure: "out of memory for
// %dx%d orientation" with the upright size, and a null buffer. stored is
// not changed.
Image orient_image(const Image &stored, int orientation);
