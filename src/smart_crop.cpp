// Smart crop (not built yet).
#include "smart_crop.h"

#include "error.h"

int smart_thumbnail(const char *input, const char *output, int32_t width, int32_t height)
{
    (void)input; (void)output; (void)width; (void)height;
    set_err("smart: not available yet");
    return 0;
}
