/* A program built against an installed copy of the libraries, as a user's
 * program would be: only the installed headers and libraries are in reach.
 * usage: consumer IMAGE OUTPUT */
#include <stdio.h>
#include <string.h>

#include <imgthumbnail.h>
#include <imgthumbnail_ex.h>

int main(int argc, char **argv)
{
    const char *expected = "square: size 0 out of range 1..4096";
    if (argc != 3) {
        fprintf(stderr, "usage: %s IMAGE OUTPUT\n", argv[0]);
        return 2;
    }
    if (imgthumbnail_square(argv[1], argv[2], 0) != 0 || strcmp(imgthumbnail_last_error(), expected) != 0) {
        fprintf(stderr, "expected \"%s\", got \"%s\"\n", expected, imgthumbnail_last_error());
        return 1;
    }
    if (!imgthumbnail_aspect(argv[1], argv[2], 64, 1)) {
        fprintf(stderr, "aspect failed: %s\n", imgthumbnail_last_error());
        return 1;
    }
    {
        const char *expected_ex = "thumbnail: quality 0 out of range 1..100";
        imgthumbnail_ex_options o;
        imgthumbnail_ex_defaults(&o);
        o.mode = IMGTHUMBNAIL_EX_FIT;
        o.width = o.height = 48;
        o.quality = 0;
        if (imgthumbnail_ex_thumbnail(argv[1], argv[2], &o) != 0 || strcmp(imgthumbnail_ex_last_error(), expected_ex) != 0) {
            fprintf(stderr, "expected \"%s\", got \"%s\"\n", expected_ex, imgthumbnail_ex_last_error());
            return 1;
        }
        /* The options library overwrites the aspect thumbnail: the last word is its own. */
        o.quality = 80;
        if (!imgthumbnail_ex_thumbnail(argv[1], argv[2], &o)) {
            fprintf(stderr, "fit failed: %s\n", imgthumbnail_ex_last_error());
            return 1;
        }
    }
    printf("consumer: wrote %s\n", argv[2]);
    return 0;
}
