/* Photo-like test images for the command's benchmark: COUNT PNG and COUNT
 * baseline JPEG files of 2 to 12 megapixels (evenly spread, in four shapes:
 * 4:3, 3:2, 16:9 and 3:4), each a landscape of sky, hills, a few soft
 * objects and sensor grain, so that they compress and decode like
 * photographs rather than flat drawings. The same files on every run.
 *
 * usage: make_photos FOLDER [COUNT]     writes FOLDER/png/ and FOLDER/jpeg/
 *                                       (both must exist) */
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

enum { CHANNELS = 3, JPEG_QUALITY = 90, DEFAULT_COUNT = 200, BLOBS = 7 };
static const double MIN_MP = 2.0, MAX_MP = 12.0;
static const double SHAPES[] = {4.0 / 3.0, 3.0 / 2.0, 16.0 / 9.0, 3.0 / 4.0};
/* Grain: each channel moves by up to this much, as a camera's noise does. */
static const int GRAIN = 5;
static const double PI = 3.14159265358979323846;

static uint32_t s_rng;

static uint32_t next_random(void)
{
    s_rng = s_rng * 1664525u + 1013904223u;
    return s_rng >> 8;
}

static double uniform(void) /* 0..1 */
{
    return (double)next_random() / (double)(1u << 24);
}

static unsigned char clamp_byte(double v)
{
    return v < 0 ? 0 : v > 255 ? 255 : (unsigned char)v;
}

static void draw(unsigned char *px, int w, int h)
{
    /* Sky and ground colours, a horizon line of rolling hills. */
    double sky_top[3], sky_low[3], ground[3];
    for (int c = 0; c < 3; c++) {
        sky_top[c] = 40 + 120 * uniform();
        sky_low[c] = 150 + 100 * uniform();
        ground[c] = 30 + 140 * uniform();
    }
    int *horizon = malloc(sizeof(int) * (size_t)w);
    double f1 = 1 + 3 * uniform(), f2 = 5 + 9 * uniform(), p1 = 2 * PI * uniform(), p2 = 2 * PI * uniform();
    double base = h * (0.45 + 0.2 * uniform());
    for (int x = 0; x < w; x++) {
        double t = (double)x / w;
        horizon[x] = (int)(base + h * 0.08 * sin(2 * PI * f1 * t + p1) + h * 0.02 * sin(2 * PI * f2 * t + p2));
    }
    for (int y = 0; y < h; y++) {
        double t = (double)y / h;
        unsigned char *row = px + (size_t)y * w * CHANNELS;
        for (int x = 0; x < w; x++) {
            const int below = y > horizon[x];
            for (int c = 0; c < 3; c++) {
                double v = below ? ground[c] * (0.7 + 0.5 * t) : sky_top[c] + (sky_low[c] - sky_top[c]) * t;
                row[x * CHANNELS + c] = clamp_byte(v);
            }
        }
    }
    free(horizon);
    /* Soft round objects (trees, boulders, a sun). */
    for (int b = 0; b < BLOBS; b++) {
        const double cx = w * uniform(), cy = h * (0.3 + 0.6 * uniform());
        const double r = (w < h ? w : h) * (0.03 + 0.12 * uniform());
        double col[3];
        for (int c = 0; c < 3; c++) col[c] = 255 * uniform();
        int y0 = (int)(cy - r), y1 = (int)(cy + r), x0 = (int)(cx - r), x1 = (int)(cx + r);
        if (y0 < 0) y0 = 0;
        if (x0 < 0) x0 = 0;
        if (y1 > h) y1 = h;
        if (x1 > w) x1 = w;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++) {
                const double d = sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)) / r;
                if (d >= 1) continue;
                const double a = d < 0.8 ? 1.0 : (1 - d) / 0.2; /* a soft edge */
                unsigned char *p = px + ((size_t)y * w + x) * CHANNELS;
                for (int c = 0; c < 3; c++) p[c] = clamp_byte(p[c] * (1 - a) + col[c] * a * (0.8 + 0.2 * (1 - d)));
            }
    }
    /* Grain on every pixel. */
    const size_t n = (size_t)w * h * CHANNELS;
    for (size_t i = 0; i < n; i++) {
        const int g = (int)(next_random() % (2 * GRAIN + 1)) - GRAIN;
        px[i] = clamp_byte(px[i] + g);
    }
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: make_photos FOLDER [COUNT]\n");
        return 2;
    }
    const int count = argc > 2 ? atoi(argv[2]) : DEFAULT_COUNT;
    char path[4096];
    for (int kind = 0; kind < 2; kind++) {
        for (int i = 0; i < count; i++) {
            s_rng = 0x9e3779b9u * (uint32_t)(i + 1) + (uint32_t)kind;
            const double mp = MIN_MP + (MAX_MP - MIN_MP) * (count > 1 ? (double)i / (count - 1) : 0);
            const double shape = SHAPES[i % (int)(sizeof SHAPES / sizeof SHAPES[0])];
            const int w = (int)(sqrt(mp * 1e6 * shape) + 0.5), h = (int)(w / shape + 0.5);
            unsigned char *px = malloc((size_t)w * h * CHANNELS);
            if (!px) return 1;
            draw(px, w, h);
            int ok;
            if (kind == 0) {
                snprintf(path, sizeof path, "%s/png/photo-%03d.png", argv[1], i);
                ok = stbi_write_png(path, w, h, CHANNELS, px, 0);
            } else {
                snprintf(path, sizeof path, "%s/jpeg/photo-%03d.jpg", argv[1], i);
                ok = stbi_write_jpg(path, w, h, CHANNELS, px, JPEG_QUALITY);
            }
            free(px);
            if (!ok) {
                fprintf(stderr, "cannot write %s\n", path);
                return 1;
            }
        }
    }
    return 0;
}
