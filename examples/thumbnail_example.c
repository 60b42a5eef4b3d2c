/* A host program for quintaro-imgthumbnail: one thumbnail of each kind.
 * Copy it as a starting point.
 *
 * usage: thumbnail_example IMAGE OUTPUT_FOLDER
 *
 * Writes into OUTPUT_FOLDER (created when missing):
 *   batch/        a 96 x 96 thumbnail of every image in IMAGE's folder
 *   square.png    the largest centred square, 128 x 128
 *   aspect.jpg    the largest centred 16:9 region, 320 pixels wide
 *   smart.png     the 200 x 300 crop with the most detail
 *
 * Build it against an installed library with either
 *   cc thumbnail_example.c $(pkg-config --cflags --libs quintaro-imgthumbnail)
 * or, in CMake, find_package(quintaro-imgthumbnail) and link
 * quintaro::imgthumbnail. */
#include <stdio.h>
#include <string.h>

#include "imgthumbnail.h"

/* Prints what a call did. The library's message is read right after the
 * failed call: the next call would replace it. */
static int report(int ok, const char *what, const char *path)
{
    if (ok)
        printf("%s: wrote %s\n", what, path);
    else
        fprintf(stderr, "%s failed: %s\n", what, imgthumbnail_last_error());
    return ok;
}

int main(int argc, char **argv)
{
    char folder[1024], path[1100];
    const char *image, *out, *slash;
    size_t n;
    int failures = 0;

    if (argc != 3) {
        fprintf(stderr, "usage: %s IMAGE OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    image = argv[1];
    out = argv[2];

    /* The folder that holds IMAGE, for the batch ("." when IMAGE has none). */
    slash = strrchr(image, '/');
    if (strrchr(image, '\\') > slash) slash = strrchr(image, '\\');
    n = slash ? (size_t)(slash - image) : 0;
    if (n >= sizeof folder) {
        fprintf(stderr, "path too long: %s\n", image);
        return 2;
    }
    if (slash == image) n = 1; /* the root folder keeps its separator */
    if (slash) {
        memcpy(folder, image, n);
        folder[n] = '\0';
    } else {
        strcpy(folder, ".");
    }

    imgthumbnail_init(); /* optional: it only empties the last message */

    /* The batch creates its output folder and every missing folder above
     * it, so it runs first and the single thumbnails then land beside it. */
    snprintf(path, sizeof path, "%s/batch", out);
    failures += !report(imgthumbnail_batch(folder, path, 96), "batch", path);

    snprintf(path, sizeof path, "%s/square.png", out);
    failures += !report(imgthumbnail_square(image, path, 128), "square", path);

    /* Ratios: 0 is 1:1, 1 is 4:3, 2 is 16:9, 3 is 3:2. The output format
     * follows the extension: .jpg/.jpeg, .bmp, .tga, anything else PNG. */
    snprintf(path, sizeof path, "%s/aspect.jpg", out);
    failures += !report(imgthumbnail_aspect(image, path, 320, 2), "aspect", path);

    snprintf(path, sizeof path, "%s/smart.png", out);
    failures += !report(imgthumbnail_smart(image, path, 200, 300), "smart", path);

    imgthumbnail_cleanup();
    return failures ? 1 : 0;
}
