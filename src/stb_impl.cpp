// The decoder and encoder implementations, compiled once into the library
// in their default configuration and kept internal (hidden visibility, not
// in the export list).
//
// Assertions inside the decoder would end the host process on a corrupt
// file, so this unit is always built without them.
#ifndef NDEBUG
#define NDEBUG
#endif

#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "stb_bridge.h"

void stb_clear_failure_reason(void)
{
    // The decoder never clears its reason on success, so a failure that
    // leaves none would otherwise show an older call's reason.
    stbi__g_failure_reason = nullptr;
}
