/* Makes a fixed set of thumbnails through the public interface only, from
 * source images it writes itself, into the folder given as its argument.
 * The Linux and Windows builds of the library must produce the same bytes,
 * so the test suite runs this program on both and compares the folders. */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "crosscheck_png.h"
#include "crosscheck_jpeg.h"
#include "imgthumbnail.h"

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#endif

static unsigned char px_value(int x, int y, int c, int w, int h)
{
    /* Smooth gradients, a hard-edged disc and fine stripes: content whose
     * filtered values land everywhere between whole bytes. */
    int dx = x - w * 2 / 3, dy = y - h / 3, r = (w < h ? w : h) / 5;
    if (dx * dx + dy * dy < r * r) return (unsigned char)(c == 0 ? 250 : c == 1 ? 40 : 30);
    if (c == 0) return (unsigned char)(x * 255 / (w - 1));
    if (c == 1) return (unsigned char)(y * 255 / (h - 1));
    return (unsigned char)((x / 3 + y / 5) % 2 ? 200 : (x * y) % 256);
}

static int write_tga(const char *path, int w, int h)
{
    FILE *f = fopen(path, "wb");
    unsigned char hdr[18] = {0, 0, 2};
    int x, y;
    if (!f) return 0;
    hdr[12] = (unsigned char)(w & 255); hdr[13] = (unsigned char)(w >> 8);
    hdr[14] = (unsigned char)(h & 255); hdr[15] = (unsigned char)(h >> 8);
    hdr[16] = 32; hdr[17] = 8 | 0x20; /* 8 alpha bits, top-left origin */
    fwrite(hdr, 1, 18, f);
    for (y = 0; y < h; y++)
        for (x = 0; x < w; x++) {
            unsigned char p[4];
            p[0] = px_value(x, y, 2, w, h); p[1] = px_value(x, y, 1, w, h); p[2] = px_value(x, y, 0, w, h);
            p[3] = (unsigned char)(x < w / 4 ? (x * 255) / (w / 4) : 255); /* transparent left edge */
            fwrite(p, 1, 4, f);
        }
    return fclose(f) == 0;
}

static int write_ppm(const char *path, int w, int h)
{
    FILE *f = fopen(path, "wb");
    int x, y, c;
    if (!f) return 0;
    fprintf(f, "P6\n%d %d\n255\n", w, h);
    for (y = 0; y < h; y++)
        for (x = 0; x < w; x++)
            for (c = 0; c < 3; c++) fputc(px_value(x, y, c, w, h), f);
    return fclose(f) == 0;
}

static int s_failures;

/* dir/name, formatted into a fresh static slot (two are live at a time). */
static const char *path_in(const char *dir, const char *fmt, ...)
{
    static char slots[2][1024];
    static int next;
    char name[512];
    char *p = slots[next];
    va_list ap;
    next ^= 1;
    va_start(ap, fmt);
    vsnprintf(name, sizeof name, fmt, ap);
    va_end(ap);
    snprintf(p, sizeof slots[0], "%s/%s", dir, name);
    return p;
}

static void check(int ok, const char *what)
{
    if (!ok) {
        fprintf(stderr, "%s failed: %s\n", what, imgthumbnail_last_error());
        s_failures++;
    }
}

static int make_folder(const char *path)
{
#ifdef _WIN32
    return _mkdir(path) == 0;
#else
    return mkdir(path, 0777) == 0;
#endif
}

static int write_text_file(const char *path, const char *text)
{
    FILE *f = fopen(path, "wb");
    if (!f) return 0;
    fputs(text, f);
    return fclose(f) == 0;
}

/* A line of grey pixels (alpha 255) as a 32-bit TGA: a 1 x n column when
 * vertical, else an n x 1 row. */
static int write_grey_line(const char *path, const unsigned char *grey, int n, int vertical)
{
    FILE *f = fopen(path, "wb");
    unsigned char hdr[18] = {0, 0, 2};
    int w = vertical ? 1 : n, h = vertical ? n : 1, i;
    if (!f) return 0;
    hdr[12] = (unsigned char)(w & 255); hdr[13] = (unsigned char)(w >> 8);
    hdr[14] = (unsigned char)(h & 255); hdr[15] = (unsigned char)(h >> 8);
    hdr[16] = 32; hdr[17] = 8 | 0x20;
    fwrite(hdr, 1, 18, f);
    for (i = 0; i < n; i++) {
        unsigned char p[4];
        p[0] = p[1] = p[2] = grey[i];
        p[3] = 255;
        fwrite(p, 1, 4, f);
    }
    return fclose(f) == 0;
}

/* The same pseudo-random numbers on every platform (rand() differs). */
static unsigned long s_lcg = 20261210UL;
static unsigned long next_random(void)
{
    s_lcg = (s_lcg * 1103515245UL + 12345UL) & 0x7fffffffUL;
    return s_lcg >> 8;
}

enum { THIN_MAX_SOURCE = 40, THIN_MAX_TARGET = 4096 };

/* Thin images stretched and shrunk along their length, where one kernel
 * weight decides a whole output pixel. The first is the case where the
 * platform's sine once made the two builds differ (row 1217: 213 and 214). */
static void thin_images(const char *dir)
{
    static const unsigned char column12[12] = {0, 0, 0, 185, 209, 114, 0, 0, 0, 0, 0, 0};
    unsigned char grey[THIN_MAX_SOURCE];
    int n, vertical, i;
    if (!write_grey_line(path_in(dir, "column12.tga"), column12, 12, 1)) {
        fprintf(stderr, "cannot write column12.tga into %s\n", dir);
        s_failures++;
        return;
    }
    check(imgthumbnail_smart(path_in(dir, "column12.tga"), path_in(dir, "column12.smart1x3903.png"), 1, 3903),
          "thin");
    /* 1 x n -> 1 x m and n x 1 -> m x 1, n = 1 ... 40, m random in 1 ... 4096. */
    for (n = 1; n <= THIN_MAX_SOURCE; n++)
        for (vertical = 0; vertical < 2; vertical++) {
            const int m = 1 + (int)(next_random() % THIN_MAX_TARGET);
            for (i = 0; i < n; i++) grey[i] = (unsigned char)(next_random() % 256);
            if (!write_grey_line(path_in(dir, "thin%d_%d.tga", vertical, n), grey, n, vertical)) {
                fprintf(stderr, "cannot write a thin source into %s\n", dir);
                s_failures++;
                return;
            }
            check(imgthumbnail_smart(path_in(dir, "thin%d_%d.tga", vertical, n),
                                     path_in(dir, "thin%d_%d.to%d.png", vertical, n, m), vertical ? 1 : m,
                                     vertical ? m : 1),
                  "thin");
        }
}

/* A batch run over a folder holding a source of every accepted kind, in
 * odd letter cases, and entries it must pass over or fail on, into a folder
 * two levels down that the run creates. The sources come first from dir. */
static void batch_run(const char *dir)
{
    char src[1024], out[1024];
    snprintf(src, sizeof src, "%s", path_in(dir, "batch-src"));
    snprintf(out, sizeof out, "%s", path_in(dir, "batch/thumbs"));
    if (!make_folder(src) || !write_tga(path_in(src, "Wide.TGA"), 97, 61) ||
        !write_text_file(path_in(src, "notes.txt"), "not an image\n") ||
        !write_text_file(path_in(src, "broken.png"), "not an image either\n")) {
        fprintf(stderr, "cannot write the batch sources into %s\n", src);
        s_failures++;
        return;
    }
    check(imgthumbnail_aspect(path_in(src, "Wide.TGA"), path_in(src, "Photo.JPEG"), 150, 1), "batch source");
    check(imgthumbnail_square(path_in(dir, "tall.ppm"), path_in(src, "scan.BMP"), 80), "batch source");
    check(imgthumbnail_aspect(path_in(dir, "tall.ppm"), path_in(src, "archive.tar.png"), 90, 2), "batch source");
    check(imgthumbnail_square(path_in(dir, "tall.ppm"), path_in(src, ".hidden.png"), 20), "batch source");
    check(imgthumbnail_batch(src, out, 64), "batch");
}

int main(int argc, char **argv)
{
    static const char *exts[] = {"png", "jpg", "bmp", "tga"};
    static const char *inputs[] = {"wide.tga", "tall.ppm", "photo.jpg"};
    static const int squares[] = {1, 37, 256};
    const char *dir;
    int i, e, r, s;
    if (argc != 2) {
        fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    dir = argv[1];
    if (!write_tga(path_in(dir, "wide.tga"), 640, 427) || !write_ppm(path_in(dir, "tall.ppm"), 300, 500)) {
        fprintf(stderr, "cannot write the source images into %s\n", dir);
        return 1;
    }
    /* A JPEG source made by the library itself (flattened, quality 90). */
    check(imgthumbnail_aspect(path_in(dir, "wide.tga"), path_in(dir, "photo.jpg"), 600, 3), "photo.jpg");

    for (i = 0; i < 3; i++) {
        char in[1024];
        snprintf(in, sizeof in, "%s", path_in(dir, "%s", inputs[i]));
        for (e = 0; e < 4; e++) {
            for (s = 0; s < 3; s++)
                check(imgthumbnail_square(in, path_in(dir, "%s.square%d.%s", inputs[i], squares[s], exts[e]),
                                          squares[s]), "square");
            for (r = 0; r < 4; r++)
                check(imgthumbnail_aspect(in, path_in(dir, "%s.aspect%d.%s", inputs[i], r, exts[e]), 200, r),
                      "aspect");
        }
        /* Enlargements. */
        check(imgthumbnail_aspect(in, path_in(dir, "%s.aspect2.4096.png", inputs[i]), 4096, 2), "enlarge");
        check(imgthumbnail_square(in, path_in(dir, "%s.square1500.jpg", inputs[i]), 1500), "enlarge");
    }

    /* Smart crops: reduced sources (longer side above 160), sources analysed
     * as they are, both with hard edges and stripes, and uniform sources,
     * where only the centring decides. */
    {
        static const char *smart_inputs[] = {"wide.tga", "tall.ppm", "photo.jpg", "small.tga", "small.ppm",
                                             "flat.ppm", "flat_small.ppm"};
        static const int smart_sizes[][2] = {{64, 48}, {100, 100}, {200, 30}, {30, 200}, {1, 1}, {500, 300}};
        static const struct { const char *name; int w, h; } flats[] = {{"flat.ppm", 900, 301}, {"flat_small.ppm", 21, 10}};
        int f, k;
        if (!write_tga(path_in(dir, "small.tga"), 150, 97) || !write_ppm(path_in(dir, "small.ppm"), 120, 160)) {
            fprintf(stderr, "cannot write the small source images into %s\n", dir);
            return 1;
        }
        for (f = 0; f < 2; f++) {
            FILE *flat = fopen(path_in(dir, "%s", flats[f].name), "wb");
            if (!flat) {
                fprintf(stderr, "cannot write %s into %s\n", flats[f].name, dir);
                return 1;
            }
            fprintf(flat, "P6\n%d %d\n255\n", flats[f].w, flats[f].h);
            for (k = 0; k < flats[f].w * flats[f].h; k++) fputc(90, flat), fputc(140, flat), fputc(200, flat);
            if (fclose(flat) != 0) return 1;
        }
        for (i = 0; i < 7; i++) {
            char in[1024];
            snprintf(in, sizeof in, "%s", path_in(dir, "%s", smart_inputs[i]));
            for (s = 0; s < 6; s++)
                check(imgthumbnail_smart(in, path_in(dir, "%s.smart%dx%d.png", smart_inputs[i], smart_sizes[s][0],
                                                     smart_sizes[s][1]),
                                         smart_sizes[s][0], smart_sizes[s][1]),
                      "smart");
            check(imgthumbnail_smart(in, path_in(dir, "%s.smart.jpg", smart_inputs[i]), 120, 90), "smart jpg");
        }
    }
    thin_images(dir);
    batch_run(dir);
    s_failures += crosscheck_png(dir);
    s_failures += crosscheck_jpeg(dir);
    return s_failures ? 1 : 0;
}
