/* The options library's host built the way Visual Studio builds one:
 * compiled in MSVC mode and linked by Microsoft's kind of linker against
 * quintaro-imgthumbnail-ex.lib alone, with no C runtime (as msvc_host.c).
 * Run from a folder holding the DLL and in.png; writes out.png.
 * Exit code: 0 when all went as expected, else the number of the failed step. */
#include "imgthumbnail_ex.h"

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
    imgthumbnail_ex_options o;
    imgthumbnail_ex_defaults(&o);
    if (o.struct_size != (int)sizeof o || o.quality != IMGTHUMBNAIL_EX_QUALITY_DEFAULT) return 1;
    o.mode = IMGTHUMBNAIL_EX_PAD;
    o.width = 64;
    o.height = 48;
    o.quality = 0;
    if (imgthumbnail_ex_thumbnail("in.png", "out.png", &o) != 0) return 2;
    if (!same_text(imgthumbnail_ex_last_error(), "thumbnail: quality 0 out of range 1..100")) return 3;
    o.quality = 75;
    if (imgthumbnail_ex_thumbnail("in.png", "out.png", &o) != 1) return 4;
    if (!same_text(imgthumbnail_ex_last_error(), "")) return 5;
    return 0;
}
