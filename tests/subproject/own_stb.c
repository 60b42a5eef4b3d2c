/* The parent project's own copy of the stb decoder and encoder: with the
 * library linked statically, both sets of symbols meet in one program. */
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

/* Used, so that nothing is left out of the link. */
int parent_decodes(const char *path)
{
    int w, h, n;
    unsigned char *px = stbi_load(path, &w, &h, &n, 4);
    stbi_image_free(px);
    return px != 0;
}
