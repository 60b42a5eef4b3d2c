// Separable Lanczos-3 resampling of an Image to an exact size.
#pragma once

#include "pixels/image.h"

// Most taps any output sample uses: |k - c| < 3 admits five or six.
constexpr int LANCZOS_TAPS = 6;

// The three-lobe Lanczos kernel, in double precision.
double lanczos3(double x);

// The taps of one output sample along one axis: clamped source indices and
// their kernel weights in ascending source order. Unused trailing slots have
// weight 0 and index 0, which leaves every sum unchanged.
struct TapSet {
    int32_t index[LANCZOS_TAPS];
    double weight[LANCZOS_TAPS];
    int count;
    double weight_sum; // the weights added in ascending order, in double
};

// Taps of output sample i when n source samples map onto m output samples.
void lanczos_taps(int32_t n, int32_t m, int32_t i, TapSet *taps);

// A rectangle of an image's pixels read where they lie: pixel (x, y) of the
// region is the four bytes at pixels + y * stride + x * 4.
struct ImageRegion {
    const unsigned char *pixels; // the region's top-left pixel
    int32_t width, height;
    int64_t stride; // bytes from one row to the next
};

// The w x h region of image at (x, y), which must lie inside it.
ImageRegion image_region(const Image &image, int32_t x, int32_t y, int32_t w, int32_t h);

// The region that covers the whole of image.
ImageRegion whole_image(const Image &image);

// Resamples source (sw x sh >= 1) to dw x dh (>= 1) into a new Image: a
// vertical pass into single-precision rows, then a horizontal pass into
// bytes. On allocation failure: "out of memory for %dx%d resize" or "out of
// memory for resize", and a null buffer. The source is not changed.
Image resize_image(const ImageRegion &source, int32_t dw, int32_t dh);

// The same for a whole image.
Image resize_image(const Image &source, int32_t dw, int32_t dh);
