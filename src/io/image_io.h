// The only ways image data enters or leaves the library.
#pragma once

#include "imgthumbnail.h"
#include "pixels/image.h"

// Decodes path into 8-bit RGBA, checking and decoding one open of the file.
// 1 on success (the caller frees the pixels); 0 with "cannot decode '%s': %s"
// (the reason always printable text) or "image too large: %dx%d", and *image
// left empty (0 x 0, no buffer).
int load_image(const char *path, Image *image);

// Encodes image into path, in the format its extension names (jpg/jpeg, bmp,
// tga, otherwise png). 1 on success; 0 with "out of memory" or "cannot encode
// '%s' (check the extension)". The file at path is replaced in one step once
// the new one is complete; a failed write leaves what was there before and
// no partial file (devices and FIFOs are written directly).
int save_image(const char *path, const Image &image);

// Output formats, chosen by the text after the path's last '.'.
enum OutputFormat { OUT_PNG, OUT_JPEG, OUT_BMP, OUT_TGA };
OutputFormat output_format(const char *path);

// JPEG and BMP carry no alpha: composite each pixel over white into a
// tightly packed RGB buffer of w x h x 3 bytes.
void flatten_over_white(const unsigned char *rgba, int64_t pixels, unsigned char *rgb);
