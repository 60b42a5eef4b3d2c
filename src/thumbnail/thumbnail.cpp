// The last step of every thumbnail operation: resample the region kept and
// write the thumbnail.
#include "thumbnail/thumbnail.h"

#include <cstdlib>

#include "base/error.h"
#include "io/image_io.h"
#include "pixels/resample.h"
#include "pixels/row_resampler.h"

int save_thumbnail(Image *thumb, const char *output, int jpeg_quality)
{
    const int ok = save_image(output, *thumb, jpeg_quality);
    std::free(thumb->pixels);
    *thumb = Image{0, 0, nullptr};
    if (!ok) return 0;
    clear_err();
    return 1;
}

int resize_and_save(Image *source, const CropRect &region, int32_t tw, int32_t th, const char *output,
                    int jpeg_quality)
{
    // Straight from the decoded rows: the region is never copied out.
    Image thumb = resize_image(image_region(*source, region.x, region.y, region.w, region.h), tw, th);
    std::free(source->pixels);
    *source = Image{0, 0, nullptr};
    if (!thumb.pixels) return 0;
    return save_thumbnail(&thumb, output, jpeg_quality);
}

// Tells the row decoder which pixels of the image the resampler reads, so
// that it can leave the work of the others undone. Without memory for the
// marks it simply makes every pixel.
static void want_region(RowSource *src, const RowResampler &r, const CropRect &region)
{
    unsigned char *rows = (unsigned char *)std::calloc((size_t)src->height + (size_t)src->width, 1);
    if (!rows) return;
    unsigned char *cols = rows + src->height;
    for (int32_t y = 0; y < region.h; y++) rows[region.y + y] = row_resampler_reads(r, y);
    row_resampler_columns(r, cols + region.x);
    row_source_want(src, rows, cols);
    std::free(rows);
}

int resize_rows(RowSource *src, const CropRect &region, int32_t tw, int32_t th, Image *thumb)
{
    RowResampler r;
    if (!row_resampler_begin(&r, region.w, region.h, tw, th)) return 0;
    want_region(src, r, region);
    for (int32_t y = 0; y < src->height; y++) {
        const bool in_region = y >= region.y && y < region.y + region.h;
        unsigned char *slot = in_region ? row_resampler_slot(&r) : nullptr;
        if (!row_source_next(src, slot, region.x, region.w)) {
            row_resampler_discard(&r);
            return -1;
        }
        if (in_region) row_resampler_push(&r);
    }
    if (!row_source_finish(src)) {
        row_resampler_discard(&r);
        return -1;
    }
    *thumb = row_resampler_finish(&r);
    return 1;
}
