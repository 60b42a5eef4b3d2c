// The smart crop's kept region, asked of the library's internals: the same
// choice imgthumbnail_smart makes, for the same decoded image and size.
#include "smart_region.h"

#include <cstdlib>

#include "io/image_io.h"
#include "thumbnail/smart_crop.h"

int smart_kept_region(const char *input, int width, int height, KeptRegion *region)
{
    Image source;
    if (!load_image(input, &source)) return 0;
    SmartChoice choice;
    int ok = smart_choose(source, width, height, &choice);
    std::free(source.pixels);
    if (!ok) return 0;
    region->x = choice.region.x;
    region->y = choice.region.y;
    region->w = choice.region.w;
    region->h = choice.region.h;
    return 1;
}
