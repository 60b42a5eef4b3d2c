// What the library needs of the decoder and encoder beyond their public
// headers.
#pragma once

#include <cstdio>

// Forgets the calling thread's last decoder failure reason.
void stb_clear_failure_reason(void);

// The PNG file image of w x h pixels of the given channel count (rows
// packed), exactly as the encoder writes it, in a heap buffer (release with
// free); null when memory runs out anywhere in the encoder, with nothing
// left allocated.
unsigned char *png_encode_to_mem(const unsigned char *pixels, int w, int h, int channels, int *out_len);

// Defined by the encoder's implementation but not declared in its header:
// its deflate, in a heap buffer (release with free).
extern "C" unsigned char *stbi_zlib_compress(unsigned char *data, int data_len, int *out_len, int quality);

// The decoder that stbi_load hands a file to, found by the decoder's own
// format tests in the decoder's own order (so a file that looks like two
// formats is classed as the decoder will class it).
enum DecoderFormat {
    DECODER_NONE, DECODER_PNG, DECODER_BMP, DECODER_GIF, DECODER_PSD, DECODER_PIC,
    DECODER_JPEG, DECODER_PNM, DECODER_HDR, DECODER_TGA
};

// Reads the start of f (from its current position); the caller rewinds it.
DecoderFormat stb_decoder_format(FILE *f);
