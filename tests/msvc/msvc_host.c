/* A host built the way Visual Studio builds one: compiled in MSVC mode and
 * linked by Microsoft's kind of linker against quintaro-imgthumbnail.lib
 * alone. It needs no C runtime (none of Microsoft's is at hand here): its
 * own entry point, whose result is the exit code, and its own comparison.
 * Run from a folder holding the DLL and in.png; writes out.png.
 * Exit code: 0 when all went as expected, else the number of the failed step. */
#include "imgthumbnail.h"

static int same_text(const char *a, const char *b)
{
    while (*a && *a == *b) {
        a++;
        b++;
    }
    return *a == *b;
}

int host_main(void)
{
    if (imgthumbnail_init() != 1) return 1;
    if (imgthumbnail_square("in.png", "out.png", 0) != 0) return 2;
    if (!same_text(imgthumbnail_last_error(), "square: size 0 out of range 1..4096")) return 3;
    if (imgthumbnail_aspect("in.png", "out.png", 96, 4) != 0) return 4;
    if (!same_text(imgthumbnail_last_error(), "aspect: ratio 4 out of range 0..3")) return 5;
    if (imgthumbnail_smart("in.png", "out.png", 64, 48) != 1) return 6;
    if (!same_text(imgthumbnail_last_error(), "")) return 7;
    imgthumbnail_cleanup();
    return 0;
}
