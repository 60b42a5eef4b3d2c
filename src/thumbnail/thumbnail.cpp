// The last step of every thumbnail operation.
#include "thumbnail/thumbnail.h"

#include <cstdlib>

#include "base/error.h"
#include "io/image_io.h"
#include "pixels/resample.h"

int resize_and_save(Image *source, const CropRect &region, int32_t tw, int32_t th, const char *output)
{
    // Straight from the decoded rows: the region is never copied out.
    Image thumb = resize_image(image_region(*source, region.x, region.y, region.w, region.h), tw, th);
    std::free(source->pixels);
    *source = Image{0, 0, nullptr};
    if (!thumb.pixels) return 0;

    const int ok = save_image(output, thumb);
    std::free(thumb.pixels);
    if (!ok) return 0;
    clear_err();
    return 1;
}
