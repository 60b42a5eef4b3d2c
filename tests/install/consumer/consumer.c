/* A program built against an installed copy of the library, as a user's
 * program would be: only the installed header and library are in reach.
 * usage: consumer IMAGE OUTPUT */
#include <stdio.h>
#include <string.h>

#include <imgthumbnail.h>

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
    printf("consumer: wrote %s\n", argv[2]);
    return 0;
}
