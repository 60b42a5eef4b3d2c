/* A JPEG encoder for the tests: every layout a decoder must read, made on the
 * spot from a few options, the same bytes on every platform (integer
 * arithmetic only). Sampling factors per component, restart intervals,
 * standard or optimised Huffman tables, any quality, one, three or four
 * components, JFIF and Adobe segments, and progressive files (spectral
 * selection) for the paths that must go to the decoder. Not a good encoder:
 * a correct one. */
#ifndef IMGTHUMB_JPEG_WRITER_H
#define IMGTHUMB_JPEG_WRITER_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

enum { JPEG_WRITER_NO_ADOBE = -1 };

typedef struct {
    int width, height;
    int components;        /* 1, 3 or 4 */
    int h[4], v[4];        /* sampling factors, 1..4; the largest must be a multiple of each */
    int quality;           /* 1..100: the standard tables scaled as the common encoders scale them */
    int restart_interval;  /* MCUs between restart markers; 0: none */
    int optimize;          /* Huffman tables made for the image, not the standard ones */
    int jfif;              /* a JFIF segment */
    int adobe_transform;   /* an Adobe segment with this transform (0, 1, 2), or JPEG_WRITER_NO_ADOBE */
    int ycbcr;             /* three components: RGB converted to YCbCr (else R, G, B as they are) */
    int progressive;       /* a DC scan, then one AC scan per component */
    unsigned char ids[4];  /* component identifiers */
} JpegWriterOptions;

/* Baseline defaults: YCbCr with JFIF, 2 x 2 luma (4:2:0), quality 75. */
JpegWriterOptions jpeg_writer_defaults(int width, int height);

/* Encodes width x height RGBA pixels (rows top to bottom): one component
 * takes R, three take R, G, B (or their YCbCr), four take R, G, B, A as
 * they are. Returns the file in a heap buffer (free it), null when memory
 * runs out or the options are out of range. */
unsigned char *jpeg_writer_encode(const JpegWriterOptions *o, const unsigned char *rgba, size_t *len);

#ifdef __cplusplus
}
#endif

#endif
