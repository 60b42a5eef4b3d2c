/* JPEG sources of every kind the decoder reads, made by the tests' encoder
 * (the same bytes on every platform), and their thumbnails through the
 * public interface: the layouts the library's row reader takes (grey, every
 * sampling kind, restart markers, optimised tables, RGB) and those it
 * leaves to the decoder (progressive, CMYK, YCCK). */
#include "crosscheck_jpeg.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "imgthumbnail.h"
#include "jpeg_writer.h"

enum { SRC_W = 203, SRC_H = 150, PATH_MAX_LEN = 1024 };

typedef struct {
    const char *name;
    int components;
    int h0, v0, h1, v1;  /* the first and second components' factors */
    int restart, optimize, progressive, quality;
    int jfif, adobe, ycbcr;
} JpegKind;

static const JpegKind KINDS[] = {
    {"grey", 1, 1, 1, 1, 1, 0, 0, 0, 85, 1, JPEG_WRITER_NO_ADOBE, 1},
    {"grey-restart", 1, 1, 1, 1, 1, 1, 1, 0, 40, 1, JPEG_WRITER_NO_ADOBE, 1},
    {"444", 3, 1, 1, 1, 1, 0, 0, 0, 95, 1, JPEG_WRITER_NO_ADOBE, 1},
    {"422", 3, 2, 1, 1, 1, 0, 1, 0, 75, 1, JPEG_WRITER_NO_ADOBE, 1},
    {"440", 3, 1, 2, 1, 1, 5, 0, 0, 75, 1, JPEG_WRITER_NO_ADOBE, 1},
    {"420", 3, 2, 2, 1, 1, 0, 0, 0, 90, 1, JPEG_WRITER_NO_ADOBE, 1},
    {"420-restart-optimised", 3, 2, 2, 1, 1, 2, 1, 0, 60, 1, JPEG_WRITER_NO_ADOBE, 1},
    {"411", 3, 4, 1, 1, 1, 0, 0, 0, 75, 1, JPEG_WRITER_NO_ADOBE, 1},
    {"mixed", 3, 2, 2, 2, 1, 0, 0, 0, 75, 1, JPEG_WRITER_NO_ADOBE, 1},
    {"rgb", 3, 1, 1, 1, 1, 0, 0, 0, 90, 0, 0, 0},
    {"q5", 3, 2, 2, 1, 1, 0, 0, 0, 5, 1, JPEG_WRITER_NO_ADOBE, 1},
    {"q100", 3, 1, 1, 1, 1, 0, 1, 0, 100, 1, JPEG_WRITER_NO_ADOBE, 1},
    {"progressive", 3, 2, 2, 1, 1, 0, 0, 1, 75, 1, JPEG_WRITER_NO_ADOBE, 1},
    {"cmyk", 4, 1, 1, 1, 1, 0, 0, 0, 75, 0, 0, 0},
    {"ycck", 4, 2, 2, 1, 1, 0, 0, 0, 75, 0, 2, 0},
};

static unsigned char *source_pixels(void)
{
    unsigned char *px = (unsigned char *)malloc((size_t)SRC_W * SRC_H * 4);
    int x, y;
    if (!px) return NULL;
    for (y = 0; y < SRC_H; y++)
        for (x = 0; x < SRC_W; x++) {
            unsigned char *p = px + ((size_t)y * SRC_W + x) * 4;
            const int dx = x - SRC_W / 3, dy = y - SRC_H / 2;
            const int disc = dx * dx + dy * dy < 40 * 40;
            p[0] = (unsigned char)(disc ? 240 : x * 255 / (SRC_W - 1));
            p[1] = (unsigned char)(disc ? 30 : y * 255 / (SRC_H - 1));
            p[2] = (unsigned char)((x / 3 + y / 5) % 2 ? 200 : (x * y) % 256);
            p[3] = (unsigned char)(255 - (x + y) % 64);
        }
    return px;
}

static int write_kind(const char *path, const JpegKind *k, const unsigned char *px)
{
    JpegWriterOptions o = jpeg_writer_defaults(SRC_W, SRC_H);
    unsigned char *file;
    size_t len = 0;
    FILE *f;
    int ok;
    o.components = k->components;
    o.h[0] = k->h0;
    o.v[0] = k->v0;
    o.h[1] = k->h1;
    o.v[1] = k->v1;
    o.restart_interval = k->restart;
    o.optimize = k->optimize;
    o.progressive = k->progressive;
    o.quality = k->quality;
    o.jfif = k->jfif;
    o.adobe_transform = k->adobe;
    o.ycbcr = k->ycbcr;
    file = jpeg_writer_encode(&o, px, &len);
    f = file ? fopen(path, "wb") : NULL;
    ok = f && fwrite(file, 1, len, f) == len;
    if (f && fclose(f) != 0) ok = 0;
    free(file);
    return ok;
}

static int report(int ok, const char *what, const char *path)
{
    if (ok) return 0;
    fprintf(stderr, "%s of %s failed: %s\n", what, path, imgthumbnail_last_error());
    return 1;
}

int crosscheck_jpeg(const char *dir)
{
    unsigned char *px = source_pixels();
    int failures = 0;
    size_t i;
    if (!px) return 1;
    for (i = 0; i < sizeof KINDS / sizeof KINDS[0]; i++) {
        char in[PATH_MAX_LEN], out[PATH_MAX_LEN];
        snprintf(in, sizeof in, "%s/jpeg-%s.jpg", dir, KINDS[i].name);
        if (!write_kind(in, &KINDS[i], px)) {
            fprintf(stderr, "cannot write %s\n", in);
            failures++;
            continue;
        }
        snprintf(out, sizeof out, "%s.square64.png", in);
        failures += report(imgthumbnail_square(in, out, 64), "square", in);
        snprintf(out, sizeof out, "%s.aspect2.png", in);
        failures += report(imgthumbnail_aspect(in, out, 100, 2), "aspect", in);
        snprintf(out, sizeof out, "%s.square300.jpg", in);
        failures += report(imgthumbnail_square(in, out, 300), "enlarging square", in);
        snprintf(out, sizeof out, "%s.smart48x40.png", in);
        failures += report(imgthumbnail_smart(in, out, 48, 40), "smart", in);
    }
    free(px);
    return failures;
}
