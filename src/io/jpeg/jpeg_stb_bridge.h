// What the JPEG row reader takes from the decoder (stb_image) itself: its
// marker and header parsing, up to the first scan's header, with its
// acceptance rules; and its own kernels for the inverse DCT, the chroma
// upsampling and the colour conversion, so that every pixel is computed by
// the decoder's code on the decoder's values. All of it is compiled inside
// the decoder's translation unit (jpeg_stb_bridge.inc, included by
// stb_impl.cpp), where its internals are visible.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int JPEG_MAX_COMPONENTS = 4;
constexpr int JPEG_TABLES = 4; // Huffman and quantisation table slots
constexpr int JPEG_BLOCK = 64; // coefficients of an 8 x 8 block
constexpr int JPEG_MAX_SYMBOLS = 256;
// Bytes the decoder's parser reads ahead of its position (its buffer).
constexpr int JPEG_LOOKAHEAD = 128;

// A Huffman table as the decoder built it: the code length of every symbol
// in canonical order (codes are assigned in that order), and the symbols.
struct JpegHuffmanTable {
    int count; // symbols; 0 when the file never defined the table
    unsigned char length[JPEG_MAX_SYMBOLS];
    unsigned char symbol[JPEG_MAX_SYMBOLS];
};

struct JpegComponentInfo {
    int h, v;   // sampling factors, 1..4
    int tq;     // quantisation table
    int hd, ha; // the scan's DC and AC Huffman tables
};

// The frame and the first scan as the decoder's parser left them.
struct JpegScanHeader {
    int width, height;
    int components; // 1 or 3 (the reader takes no other count)
    JpegComponentInfo comp[JPEG_MAX_COMPONENTS];
    int h_max, v_max;
    int scan_components;
    int order[JPEG_MAX_COMPONENTS]; // the scan's components, frame indices
    int restart_interval;           // MCUs between restart markers; 0: none
    bool rgb;                       // three components taken as R, G, B as they are
    // Dequantisation factors in natural (row-major) order.
    uint16_t dequant[JPEG_TABLES][JPEG_BLOCK];
    JpegHuffmanTable dc[JPEG_TABLES], ac[JPEG_TABLES];
    // The start of the entropy-coded data, read by the parser before the
    // file's position.
    unsigned char pending[JPEG_LOOKAHEAD];
    int pending_len;
};

// The decoder's parser and its kernel choice, held while a file is read.
struct JpegStb;

// Parses f from its current position (the file's start) with the decoder's
// own code up to the header of the first scan, and checks every limit the
// decoder applies before it decodes pixels. Returns the parser with *scan
// filled, or null when the file is one the row reader leaves to the decoder:
// the decoder refuses it, it is progressive, it has four components, its
// first scan does not hold every component once, a table it uses was never
// defined, or memory ran out. Release with jpeg_stb_free.
JpegStb *jpeg_stb_parse(FILE *f, JpegScanHeader *scan);
void jpeg_stb_free(JpegStb *p);

// The decoder's inverse DCT of one block of dequantised coefficients in
// natural order (16-byte aligned) into 8 rows of 8 samples.
void jpeg_stb_idct(const JpegStb *p, unsigned char *out, int stride, short *coef);

// One row of component c at full resolution, by the decoder's upsampler for
// that component's factors: near is the row the output row lies in, far its
// neighbour above or below (both w_lores samples); out has room for
// w_lores * (h_max / h) samples. Returns the row (out, or near itself when
// nothing is to be done).
const unsigned char *jpeg_stb_upsample(const JpegStb *p, int c, unsigned char *out, const unsigned char *near,
                                       const unsigned char *far, int w_lores);

// count RGBA pixels from the full-resolution rows of the components
// (planes[k], from the same first pixel), as the decoder converts them.
void jpeg_stb_colour(const JpegStb *p, unsigned char *out, const unsigned char *const *planes, int count);

// Where coefficient k of the zig-zag order lies in a block (k < 64).
const unsigned char *jpeg_stb_dezigzag(void);
