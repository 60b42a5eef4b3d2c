/* Two image encoders the sample generator needs and stb_image_write does not
 * have: an indexed-colour (palette) PNG, and a one-component grey JPEG
 * (stb_image_write always writes three colour components, even from grey
 * input, so a decoder would never take its grey path). */
#ifndef IMGTHUMB_SAMPLE_ENCODERS_H
#define IMGTHUMB_SAMPLE_ENCODERS_H

#ifdef __cplusplus
extern "C" {
#endif

/* Writes w x h palette indices (one byte each, rows top to bottom) with
 * colours palette[3 * i .. 3 * i + 2] as an 8-bit indexed PNG. colours is
 * 1..256. Returns 1 on success, 0 when the file cannot be written. */
int write_palette_png(const char *path, int w, int h, const unsigned char *indices,
                      const unsigned char *palette, int colours);

/* Writes a baseline single-component JPEG of (bw * 8) x (bh * 8) pixels in
 * which block (bx, by) is one flat shade, shades[by * bw + bx]. Flat blocks
 * need only their DC coefficient, which is stored losslessly, so a decoder
 * gives back exactly these shades. Returns 1 on success, 0 otherwise. */
int write_flat_block_grey_jpeg(const char *path, int bw, int bh, const unsigned char *shades);

#ifdef __cplusplus
}
#endif

#endif
