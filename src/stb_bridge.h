// What the library needs of the decoder and encoder beyond their public
// headers.
#pragma once

// Forgets the calling thread's last decoder failure reason.
void stb_clear_failure_reason(void);

// Defined by the encoder's implementation but not declared in its header:
// the PNG file image in a heap buffer (release with free), and its deflate.
extern "C" unsigned char *stbi_write_png_to_mem(const unsigned char *pixels, int stride_bytes, int x, int y,
                                                int n, int *out_len);
extern "C" unsigned char *stbi_zlib_compress(unsigned char *data, int data_len, int *out_len, int quality);
