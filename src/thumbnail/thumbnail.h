// What every thumbnail operation shares: the rectangle of the decoded image
// it keeps, and the last step, which scales that rectangle and writes the
// result: straight out of the decoded image, or out of the rows of a row
// decoder as they arrive, without the whole image ever being held.
#pragma once

#include <cstdint>

#include "io/row_source.h"
#include "pixels/image.h"

// A rectangle of an image, in pixels.
struct CropRect {
    int32_t x, y, w, h;
};

// The common end of every thumbnail operation: resample the region of source
// (which must lie inside it) to tw x th, free source, save the result to
// output (a JPEG at jpeg_quality) and free it. 1 with the message emptied, or 0 with the failing
// step's message; source is left empty either way. The resampler runs even
// when the region already has the thumbnail's size.
int resize_and_save(Image *source, const CropRect &region, int32_t tw, int32_t th, const char *output,
                    int jpeg_quality);

// The same resampling fed by a row decoder: every row of the image is
// decoded in turn (the decoder checks the whole file as the decoder itself
// would), and the rows of the region that the kernel reads go into the
// resampler. 1 with the thumbnail in *thumb (the caller frees it); 0 with
// the message when memory runs out; -1 when the row decoder gave the file
// back (nothing held: the whole-image way takes over).
int resize_rows(RowSource *src, const CropRect &region, int32_t tw, int32_t th, Image *thumb);

// Saves thumb to output (a JPEG at jpeg_quality) and frees it. 1 with the
// message emptied, or 0 with the save's message.
int save_thumbnail(Image *thumb, const char *output, int jpeg_quality);
