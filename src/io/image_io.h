// The only ways image data enters or leaves the library.
#pragma once

#include "imgthumbnail.h"
#include "pixels/image.h"

#include <cstdio>

// An input file, opened once: the checks before decoding and every decoder
// read this one stream, so the bytes checked are the bytes decoded.
struct InputFile {
    FILE *file;
    const char *path;  // as the caller gave it, for the messages
    bool rows_refused; // a row decoder gave the file back: the decoder reads it
};

// Opens path and runs the checks before decoding on it. 1 with the file
// open; 0 with "cannot decode '%s': %s" or "image too large: %dx%d" and
// nothing open.
int open_input(const char *path, InputFile *in);

// Decodes the whole of an open input, from its start, into 8-bit RGBA: the
// row decoders where they take the file, else the decoder itself, with the
// same pixels either way. 1 on success (the caller frees the pixels); 0 with
// "cannot decode '%s': %s" (the reason always printable text) or "image too
// large: %dx%d", and *image left empty (0 x 0, no buffer).
int decode_input(InputFile *in, Image *image);

// A look at each row of the image as a row decoder writes it, for work that
// reads every pixel once while the row is fresh in the cache: begin with the
// size (0: no rows wanted), then each row, top to bottom. A decoder may give
// the file back after any row, and the decoder itself then makes the image:
// complete is set only when the rows seen are the whole image handed back.
struct RowWatch {
    int (*begin)(void *ctx, int32_t width, int32_t height);
    void (*row)(void *ctx, const unsigned char *pixels);
    void *ctx;
    bool complete;
};
// decode_input, with watch told of the rows where a row decoder makes them.
int decode_input_watched(InputFile *in, Image *image, RowWatch *watch);

void close_input(InputFile *in);

// open_input, decode_input and close_input in one.
int load_image(const char *path, Image *image);

// The JPEG quality of the seven functions' thumbnails, and the range the
// options interface accepts.
constexpr int JPEG_QUALITY_DEFAULT = 90;
constexpr int JPEG_QUALITY_MIN = 1;
constexpr int JPEG_QUALITY_MAX = 100;

// Encodes image into path, in the format its extension names (jpg/jpeg, bmp,
// tga, otherwise png); jpeg_quality (JPEG_QUALITY_MIN..JPEG_QUALITY_MAX) is
// read for JPEG only. 1 on success; 0 with "out of memory" or "cannot encode
// '%s' (check the extension)". The file at path is replaced in one step once
// the new one is complete; a failed write leaves what was there before and
// no partial file (devices and FIFOs are written directly).
int save_image(const char *path, const Image &image, int jpeg_quality);

// Output formats, chosen by the text after the path's last '.'.
enum OutputFormat { OUT_PNG, OUT_JPEG, OUT_BMP, OUT_TGA };
OutputFormat output_format(const char *path);

// JPEG and BMP carry no alpha: composite each pixel over white into a
// tightly packed RGB buffer of w x h x 3 bytes.
void flatten_over_white(const unsigned char *rgba, int64_t pixels, unsigned char *rgb);
