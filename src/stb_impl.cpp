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

// The JPEG test without the decoder's allocation: a start-of-image marker,
// perhaps after fill bytes, exactly as its header scan reads it.
static int jpeg_soi_test(stbi__context *s)
{
    int x = stbi__get8(s);
    int soi = 0;
    if (x == 0xff) {
        while (x == 0xff) x = stbi__get8(s);
        soi = stbi__SOI(x);
    }
    stbi__rewind(s);
    return soi;
}

DecoderFormat stb_decoder_format(FILE *f)
{
    stbi__context s;
    stbi__start_file(&s, f);
    if (stbi__png_test(&s)) return DECODER_PNG;
    if (stbi__bmp_test(&s)) return DECODER_BMP;
    if (stbi__gif_test(&s)) return DECODER_GIF;
    if (stbi__psd_test(&s)) return DECODER_PSD;
    if (stbi__pic_test(&s)) return DECODER_PIC;
    if (jpeg_soi_test(&s)) return DECODER_JPEG;
    if (stbi__pnm_test(&s)) return DECODER_PNM;
    if (stbi__hdr_test(&s)) return DECODER_HDR;
    if (stbi__tga_test(&s)) return DECODER_TGA;
    return DECODER_NONE;
}
