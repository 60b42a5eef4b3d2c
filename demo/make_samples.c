/* Writes the project's sample images into a folder: small scenes in which
 * the thumbnail operations differ visibly, one file per input format.
 *
 *   balloon.png    a balloon off-centre on a plain sky (the smart crop finds it)
 *   panorama.jpg   a wide 4:1 landscape (the ratios cut it differently)
 *   portrait.bmp   a tall lighthouse, 24-bit BMP
 *   sticker.tga    a star with a soft shadow on a transparent background
 *                  (JPEG and BMP thumbnails flatten it over white)
 *   palette.png    an indexed-colour test card, 16 colours
 *   grey.jpg       a one-component grey JPEG, a moon in 8 x 8 blocks
 *
 * usage: imgthumb_make_samples FOLDER   (created when missing; its parent must exist) */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <errno.h>
#ifdef _WIN32
#include <direct.h>
#define make_folder(path) _mkdir(path)
#else
#include <sys/stat.h>
#define make_folder(path) mkdir(path, 0777)
#endif

#include <stb/stb_image_write.h>

#include "sample_encoders.h"

#define PI 3.14159265358979323846

/* Pixels are drawn by sampling the scene SS x SS times and averaging, which
 * gives the shapes smooth edges. */
#define SS 4

typedef void (*scene_fn)(double x, double y, double rgba[4]);

static double clamp01(double v)
{
    return v < 0 ? 0 : v > 1 ? 1 : v;
}

static double mix(double a, double b, double t)
{
    return a + (b - a) * t;
}

static void set_rgb(double c[4], double r, double g, double b)
{
    c[0] = r;
    c[1] = g;
    c[2] = b;
    c[3] = 1;
}

/* Renders a scene into w x h x channels bytes (3: RGB, 4: RGBA with the
 * colour un-premultiplied). Returns NULL when out of memory. */
static unsigned char *render(int w, int h, int channels, scene_fn scene)
{
    unsigned char *px = (unsigned char *)malloc((size_t)w * h * channels);
    int x, y, sx, sy, k;
    if (!px) return NULL;
    for (y = 0; y < h; y++)
        for (x = 0; x < w; x++) {
            double sum[4] = {0, 0, 0, 0}, c[4];
            unsigned char *p = px + ((size_t)y * w + x) * channels;
            for (sy = 0; sy < SS; sy++)
                for (sx = 0; sx < SS; sx++) {
                    scene(x + (sx + 0.5) / SS, y + (sy + 0.5) / SS, c);
                    for (k = 0; k < 3; k++) sum[k] += c[k] * c[3];
                    sum[3] += c[3];
                }
            for (k = 0; k < 3; k++) {
                double v = sum[3] > 0 ? sum[k] / sum[3] : 0;
                p[k] = (unsigned char)(clamp01(v) * 255 + 0.5);
            }
            if (channels == 4) p[3] = (unsigned char)(clamp01(sum[3] / (SS * SS)) * 255 + 0.5);
        }
    return px;
}

/* ---- balloon.png: 640 x 480 --------------------------------------------- */

static void balloon_scene(double x, double y, double c[4])
{
    const double cx = 470, cy = 160, r = 72;
    double dx = x - cx, dy = y - cy;
    /* The envelope: a circle above its centre, tapering below it towards
     * the basket. */
    double fall = dy / (r * 1.35);
    double half = dy < 0 ? sqrt(fmax(0, r * r - dy * dy)) : r * sqrt(fmax(0, 1 - fall * fall)) * (1 - 0.45 * fall);
    set_rgb(c, 0.86, 0.91, 0.95); /* the plain sky: one colour, no energy */
    if (dy < r * 1.35 && fabs(dx) < half) {
        /* Eight vertical gores, alternately red and yellow, shaded to the side. */
        double u = dx / (half > 1 ? half : 1);
        int gore = (int)floor((asin(fmax(-1, fmin(1, u))) / PI + 0.5) * 8);
        double shade = 0.75 + 0.25 * sqrt(fmax(0, 1 - u * u));
        if (gore % 2) set_rgb(c, 0.93 * shade, 0.20 * shade, 0.16 * shade);
        else set_rgb(c, 0.98 * shade, 0.78 * shade, 0.20 * shade);
        return;
    }
    /* Ropes from the envelope to the basket. */
    if (dy >= r * 1.35 && dy < r * 1.35 + 22) {
        double t = (dy - r * 1.35) / 22;
        double left = mix(-22, -12, t), right = mix(22, 12, t);
        if (fabs(dx - left) < 1 || fabs(dx - right) < 1) {
            set_rgb(c, 0.30, 0.22, 0.15);
            return;
        }
    }
    if (dy >= r * 1.35 + 22 && dy < r * 1.35 + 42 && fabs(dx) < 14) {
        double weave = ((int)floor(dx / 4) + (int)floor(dy / 4)) % 2 ? 0.45 : 0.55;
        set_rgb(c, weave, weave * 0.7, weave * 0.4);
    }
}

/* ---- panorama.jpg: 1600 x 400 ------------------------------------------- */

static double ridge(double x, double base, double a, double f, double seed)
{
    return base - a * (0.55 * sin(x * f + seed) + 0.3 * sin(x * f * 2.7 + seed * 1.9) +
                       0.15 * sin(x * f * 6.1 + seed * 3.3));
}

/* Sky, sun and two mountain ranges, above the lake's shore line. */
static void landscape(double x, double y, double c[4])
{
    const double horizon = 300, sun_x = 1180, sun_y = 140;
    double t = clamp01(y / horizon), d;
    double far = ridge(x, 250, 70, 0.006, 1.0), near = ridge(x, 290, 45, 0.011, 4.0);
    if (y > near) {
        set_rgb(c, 0.18, 0.27, 0.20);
        return;
    }
    if (y > far) {
        set_rgb(c, 0.42, 0.46, 0.62);
        return;
    }
    set_rgb(c, mix(0.24, 0.99, t * t), mix(0.43, 0.76, t * t), mix(0.75, 0.55, t * t));
    d = sqrt((x - sun_x) * (x - sun_x) + (y - sun_y) * (y - sun_y));
    if (d < 38) {
        set_rgb(c, 1.0, 0.95, 0.75);
    } else {
        double glow = exp(-(d - 38) / 60) * 0.5;
        c[0] = mix(c[0], 1.0, glow);
        c[1] = mix(c[1], 0.9, glow);
        c[2] = mix(c[2], 0.6, glow);
    }
}

static void panorama_scene(double x, double y, double c[4])
{
    const double shore = 300;
    double mirrored;
    if (y < shore) {
        landscape(x, y, c);
        return;
    }
    /* The lake mirrors the land and sky, darker, with ripples. */
    mirrored = 2 * shore - y + 3 * sin(x * 0.05 + y * 0.9);
    landscape(x, fmax(0, fmin(shore - 0.5, mirrored)), c);
    c[0] *= 0.7;
    c[1] *= 0.75;
    c[2] *= 0.85;
}

/* ---- portrait.bmp: 360 x 800 -------------------------------------------- */

static void portrait_scene(double x, double y, double c[4])
{
    const double cx = 180, top = 170, foot = 640;
    double half = mix(42, 66, clamp01((y - top) / (foot - top)));
    double t = y / 800;
    set_rgb(c, mix(0.55, 0.93, t), mix(0.72, 0.86, t), mix(0.92, 0.80, t));
    if (y > 600) { /* the sea, with a few bands of waves */
        double wave = 0.04 * sin(x * 0.08 + y * 0.6);
        set_rgb(c, 0.12 + wave, 0.36 + wave, 0.55 + wave);
    }
    if (y > foot - 10 && fabs(x - cx) < 120 - (y - foot) * 0.3 && y < 760) {
        set_rgb(c, 0.35, 0.32, 0.30); /* the rock */
        return;
    }
    if (y >= top && y < foot && fabs(x - cx) < half) { /* the tower, in bands */
        int band = (int)floor((y - top) / 78);
        double shade = 0.8 + 0.2 * (1 - fabs(x - cx) / half);
        if (band % 2) set_rgb(c, 0.97 * shade, 0.97 * shade, 0.95 * shade);
        else set_rgb(c, 0.80 * shade, 0.12 * shade, 0.12 * shade);
        return;
    }
    if (y >= top - 16 && y < top && fabs(x - cx) < 58) { /* the gallery */
        set_rgb(c, 0.15, 0.15, 0.17);
        return;
    }
    if (y >= top - 70 && y < top - 16 && fabs(x - cx) < 34) { /* the lantern */
        double glass = fabs(x - cx) < 28 ? 1 : 0;
        set_rgb(c, glass ? 1.0 : 0.15, glass ? 0.88 : 0.15, glass ? 0.35 : 0.17);
        return;
    }
    if (y >= top - 100 && y < top - 70 && fabs(x - cx) < 34 * (y - (top - 100)) / 30 + 1) {
        set_rgb(c, 0.15, 0.15, 0.17); /* the cap */
        return;
    }
    /* Beams of light from the lantern. */
    if (y < top - 16 && fabs(x - cx) > 34) {
        double dy = fabs(y - (top - 43)) / (fabs(x - cx) - 20);
        if (dy < 0.12) c[0] = mix(c[0], 1, 0.35), c[1] = mix(c[1], 0.95, 0.35), c[2] = mix(c[2], 0.7, 0.35);
    }
}

/* ---- sticker.tga: 400 x 400 with alpha ---------------------------------- */

/* Distance-like test for a five-pointed star centred at (cx, cy): < 0 inside. */
static double star(double x, double y, double cx, double cy, double outer, double inner)
{
    double a = atan2(y - cy, x - cx) + PI / 2, r = sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
    double sector = 2 * PI / 5, u = fmod(a + 10 * PI, sector) / sector;
    /* The edge runs straight from an outer point to an inner one. */
    double tip = fabs(u - 0.5) * 2; /* 1 at an outer point, 0 between two */
    double edge = inner + (outer - inner) * tip * tip;
    return r - edge;
}

static void sticker_scene(double x, double y, double c[4])
{
    double s = star(x, y, 200, 205, 180, 78);
    double shadow = star(x - 10, y - 14, 200, 205, 180, 78);
    if (s < 0) {
        double rim = s > -9 ? 1 : 0;
        double light = clamp01(0.8 + (200 - y) / 500 + (200 - x) / 900);
        if (rim) set_rgb(c, 0.70, 0.42, 0.05);
        else set_rgb(c, 1.0 * light, 0.80 * light, 0.15 * light);
        return;
    }
    /* A soft shadow: partly transparent black that fades out. */
    set_rgb(c, 0.05, 0.05, 0.1);
    c[3] = shadow < 0 ? 0.45 : 0.45 * exp(-shadow / 9);
    if (c[3] < 0.01) c[3] = 0;
}

/* ---- palette.png: 240 x 160, 16 colours --------------------------------- */

static const unsigned char PALETTE[16 * 3] = {
    255, 255, 255,  250, 225, 40,  40, 215, 230,  60, 200, 70,  230, 60, 200,  225, 40, 40,  40, 70, 220,  20, 20, 20,
    0, 0, 0,  36, 36, 36,  73, 73, 73,  109, 109, 109,  146, 146, 146,  182, 182, 182,  219, 219, 219,  255, 140, 0};

static int write_palette_sample(const char *path)
{
    const int w = 240, h = 160;
    unsigned char *idx = (unsigned char *)malloc((size_t)w * h);
    int x, y, ok;
    if (!idx) return 0;
    for (y = 0; y < h; y++)
        for (x = 0; x < w; x++) {
            unsigned char v;
            if (y < 100) v = (unsigned char)(x * 8 / w);                 /* colour bars */
            else if (y < 124) v = (unsigned char)(8 + x * 7 / w);        /* grey steps */
            else if (y < 136) v = (unsigned char)(((x / 6) % 2) ? 7 : 0); /* fine stripes */
            else v = (unsigned char)((x / 20 + y / 12) % 2 ? 15 : 6);     /* checks */
            idx[(size_t)y * w + x] = v;
        }
    ok = write_palette_png(path, w, h, idx, PALETTE, 16);
    free(idx);
    return ok;
}

/* ---- grey.jpg: 320 x 240, one component --------------------------------- */

static int write_grey_sample(const char *path)
{
    const int bw = 40, bh = 30;
    unsigned char shades[40 * 30];
    int bx, by;
    for (by = 0; by < bh; by++)
        for (bx = 0; bx < bw; bx++) {
            double x = bx + 0.5, y = by + 0.5;
            double d = sqrt((x - 25) * (x - 25) + (y - 13) * (y - 13));
            double v = 20 + y * 1.5; /* the night sky, lighter towards the ground */
            if (d < 9.5) {
                /* The moon, lit from the left, with two craters. */
                double crater = (sqrt((x - 23) * (x - 23) + (y - 10) * (y - 10)) < 2.2 ||
                                 sqrt((x - 28) * (x - 28) + (y - 16) * (y - 16)) < 1.6) ? 40 : 0;
                v = 235 - (x - 16) * 5 - crater;
            }
            if (by >= 25) v = 70 + ((bx * 7 + by * 3) % 5) * 8; /* the ground */
            shades[by * bw + bx] = (unsigned char)(v < 0 ? 0 : v > 255 ? 255 : v);
        }
    return write_flat_block_grey_jpeg(path, bw, bh, shades);
}

/* ------------------------------------------------------------------------- */

static char s_path[4096];

static const char *join(const char *dir, const char *name)
{
    snprintf(s_path, sizeof s_path, "%s/%s", dir, name);
    return s_path;
}

/* Renders and writes one sample with stb_image_write. */
static int write_scene(const char *dir, const char *name, int w, int h, int channels, scene_fn scene)
{
    unsigned char *px = render(w, h, channels, scene);
    const char *ext = strrchr(name, '.') + 1;
    const char *path = join(dir, name);
    int ok;
    if (!px) return 0;
    if (strcmp(ext, "png") == 0) ok = stbi_write_png(path, w, h, channels, px, 0);
    else if (strcmp(ext, "jpg") == 0) ok = stbi_write_jpg(path, w, h, channels, px, 90);
    else if (strcmp(ext, "bmp") == 0) ok = stbi_write_bmp(path, w, h, channels, px);
    else ok = stbi_write_tga(path, w, h, channels, px);
    free(px);
    return ok;
}

int main(int argc, char **argv)
{
    const char *dir;
    int failures = 0;
    if (argc != 2) {
        fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    dir = argv[1];
    if (make_folder(dir) != 0 && errno != EEXIST) {
        perror(dir);
        return 1;
    }
    if (!write_scene(dir, "balloon.png", 640, 480, 3, balloon_scene)) failures++, perror(s_path);
    if (!write_scene(dir, "panorama.jpg", 1600, 400, 3, panorama_scene)) failures++, perror(s_path);
    if (!write_scene(dir, "portrait.bmp", 360, 800, 3, portrait_scene)) failures++, perror(s_path);
    if (!write_scene(dir, "sticker.tga", 400, 400, 4, sticker_scene)) failures++, perror(s_path);
    if (!write_palette_sample(join(dir, "palette.png"))) failures++, perror(s_path);
    if (!write_grey_sample(join(dir, "grey.jpg"))) failures++, perror(s_path);
    if (failures) {
        fprintf(stderr, "%d sample images could not be written into %s\n", failures, dir);
        return 1;
    }
    return 0;
}
