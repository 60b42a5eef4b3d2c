// The region of a source image that imgthumbnail_smart keeps, for the
// contact sheet's outline.
#pragma once

struct KeptRegion {
    int x, y, w, h; // in source pixels; x, y is the top-left corner
};

// The region that a width x height smart thumbnail of input keeps. Returns 1
// with *region filled in, or 0 when the region cannot be told (the image
// does not load, or this build of the library does not say).
int smart_kept_region(const char *input, int width, int height, KeptRegion *region);
