// What the library needs of the decoder and encoder beyond their public
// headers.
#pragma once

#include <cstdio>

// Forgets the calling thread's last decoder failure reason.
void stb_clear_failure_reason(void);

// Defined by the encoder's implementation but not declared in its header:
// the PNG file image in a heap buffer (release with free), and its deflate.
extern "C" unsigned char *stbi_write_png_to_mem(const unsigned char *pixels, int stride_bytes, int x, int y,
                                                int n, int *out_len);
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
