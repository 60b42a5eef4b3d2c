/* The image encoder for the sample generator, compiled once here. The
 * generator is its own program: it does not link the library, so these
 * definitions never meet the library's own copy. */
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
