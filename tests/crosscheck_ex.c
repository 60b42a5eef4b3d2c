/* Makes a fixed set of thumbnails through the options library's public
 * interface only, into the folder given as its argument: every mode, the
 * eight orientations in JPEG and PNG files, no upscaling, JPEG qualities and
 * pad backgrounds, into every output format. The Linux and Windows builds
 * must write the same bytes, so the test suite runs this program on both and
 * compares the folders. */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "imgthumbnail_ex.h"

static int s_failures;

static unsigned char px_value(int x, int y, int c, int w, int h)
{
    /* Gradients, a hard-edged disc and stripes, off-centre so that every
     * turn and mirror shows. */
    int dx = x - w / 4, dy = y - h / 3, r = (w < h ? w : h) / 5;
    if (dx * dx + dy * dy < r * r) return (unsigned char)(c == 0 ? 240 : c == 1 ? 30 : 60);
    if (c == 0) return (unsigned char)(x * 255 / (w - 1));
    if (c == 1) return (unsigned char)(y * 255 / (h - 1));
    return (unsigned char)((x / 3 + y / 7) % 2 ? 210 : (x * y) % 256);
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
            p[3] = (unsigned char)(y < h / 5 ? (y * 255) / (h / 5) : 255); /* transparent top edge */
            fwrite(p, 1, 4, f);
        }
    return fclose(f) == 0;
}

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

static void make(const char *in, const char *out, const imgthumbnail_ex_options *o)
{
    if (!imgthumbnail_ex_thumbnail(in, out, o)) {
        fprintf(stderr, "%s failed: %s\n", out, imgthumbnail_ex_last_error());
        s_failures++;
    }
}

static imgthumbnail_ex_options box(int mode, int w, int h)
{
    imgthumbnail_ex_options o;
    imgthumbnail_ex_defaults(&o);
    o.mode = mode;
    o.width = w;
    o.height = h;
    return o;
}

/* The file at path with extra bytes put in at offset. */
static int insert_bytes(const char *path, long offset, const unsigned char *extra, size_t n)
{
    FILE *f = fopen(path, "rb");
    unsigned char *buf;
    long len;
    int ok;
    if (!f) return 0;
    fseek(f, 0, SEEK_END);
    len = ftell(f);
    fseek(f, 0, SEEK_SET);
    buf = (unsigned char *)malloc((size_t)len);
    ok = buf && fread(buf, 1, (size_t)len, f) == (size_t)len;
    fclose(f);
    if (ok && (f = fopen(path, "wb")) != NULL) {
        ok = fwrite(buf, 1, (size_t)offset, f) == (size_t)offset && fwrite(extra, 1, n, f) == n &&
             fwrite(buf + offset, 1, (size_t)(len - offset), f) == (size_t)(len - offset);
        ok = fclose(f) == 0 && ok;
    } else {
        ok = 0;
    }
    free(buf);
    return ok;
}

static unsigned long crc32(const unsigned char *p, size_t n)
{
    unsigned long c = 0xFFFFFFFFUL;
    size_t i;
    int k;
    for (i = 0; i < n; i++) {
        c ^= p[i];
        for (k = 0; k < 8; k++) c = (c >> 1) ^ (0xEDB88320UL & (0UL - (c & 1UL)));
    }
    return c ^ 0xFFFFFFFFUL;
}

/* A TIFF holding one Orientation entry, little- or big-endian. */
enum { TIFF_BYTES = 26 };
static void orientation_tiff(unsigned char *t, int orientation, int big)
{
    static const unsigned char le[TIFF_BYTES] = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 1, 3, 0, 1, 0, 0, 0};
    static const unsigned char be[TIFF_BYTES] = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 1, 0x12, 0, 3, 0, 0, 0, 1};
    memcpy(t, big ? be : le, TIFF_BYTES);
    t[big ? 19 : 18] = (unsigned char)orientation;
}

/* A copy of a PNG with an eXIf chunk after IHDR (or before IEND when late). */
static int tag_png(const char *path, int orientation, int late)
{
    unsigned char chunk[12 + TIFF_BYTES];
    unsigned long crc;
    FILE *f = fopen(path, "rb");
    long len;
    if (!f) return 0;
    fseek(f, 0, SEEK_END);
    len = ftell(f);
    fclose(f);
    chunk[0] = chunk[1] = chunk[2] = 0;
    chunk[3] = TIFF_BYTES;
    memcpy(chunk + 4, "eXIf", 4);
    orientation_tiff(chunk + 8, orientation, orientation % 2);
    crc = crc32(chunk + 4, 4 + TIFF_BYTES);
    chunk[8 + TIFF_BYTES] = (unsigned char)(crc >> 24);
    chunk[9 + TIFF_BYTES] = (unsigned char)(crc >> 16);
    chunk[10 + TIFF_BYTES] = (unsigned char)(crc >> 8);
    chunk[11 + TIFF_BYTES] = (unsigned char)crc;
    return insert_bytes(path, late ? len - 12 : 33, chunk, sizeof chunk);
}

/* A JPEG with an APP1 "Exif" segment right after its start of image. */
static int tag_jpg(const char *path, int orientation)
{
    unsigned char seg[10 + TIFF_BYTES] = {0xFF, 0xE1, 0, 8 + TIFF_BYTES, 'E', 'x', 'i', 'f', 0, 0};
    orientation_tiff(seg + 10, orientation, orientation > 4);
    return insert_bytes(path, 2, seg, sizeof seg);
}

static int copy_file(const char *from, const char *to)
{
    unsigned char buf[4096];
    size_t n;
    int ok = 1;
    FILE *a = fopen(from, "rb"), *b = a ? fopen(to, "wb") : NULL;
    if (!b) {
        if (a) fclose(a);
        return 0;
    }
    while ((n = fread(buf, 1, sizeof buf, a)) > 0) ok = ok && fwrite(buf, 1, n, b) == n;
    fclose(a);
    return fclose(b) == 0 && ok;
}

int main(int argc, char **argv)
{
    static const char *exts[] = {"png", "jpg", "bmp", "tga"};
    static const struct { int mode, w, h; } boxes[] = {
        {IMGTHUMBNAIL_EX_COVER, 160, 90}, {IMGTHUMBNAIL_EX_COVER, 37, 37}, {IMGTHUMBNAIL_EX_FIT, 200, 200},
        {IMGTHUMBNAIL_EX_FIT, 64, 300},   {IMGTHUMBNAIL_EX_PAD, 120, 120}, {IMGTHUMBNAIL_EX_PAD, 301, 77},
        {IMGTHUMBNAIL_EX_SMART, 96, 64},  {IMGTHUMBNAIL_EX_ASPECT, 150, 0}};
    static const unsigned backgrounds[] = {0, 0x2060A0FFu, 0xFF800040u};
    static const int qualities[] = {1, 35, 90, 100};
    const char *dir;
    imgthumbnail_ex_options o;
    int i, b, e, u, r, q;
    if (argc != 2) {
        fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    dir = argv[1];
    if (!write_tga(path_in(dir, "src.tga"), 211, 133)) {
        fprintf(stderr, "cannot write the source image into %s\n", dir);
        return 1;
    }
    /* The stored pixels as PNG and JPEG, made by the library itself (1 : 1). */
    o = box(IMGTHUMBNAIL_EX_FIT, 211, 133);
    make(path_in(dir, "src.tga"), path_in(dir, "src.png"), &o);
    make(path_in(dir, "src.tga"), path_in(dir, "src.jpg"), &o);

    /* Every orientation, in both containers, tagged before and after the
     * image data; then each box of every mode, with and without turning. */
    for (i = 1; i <= 8; i++) {
        char png[1024], jpg[1024];
        snprintf(png, sizeof png, "%s", path_in(dir, "o%d.png", i));
        snprintf(jpg, sizeof jpg, "%s", path_in(dir, "o%d.jpg", i));
        if (!copy_file(path_in(dir, "src.png"), png) || !tag_png(png, i, i > 4) ||
            !copy_file(path_in(dir, "src.jpg"), jpg) || !tag_jpg(jpg, i)) {
            fprintf(stderr, "cannot write the tagged sources into %s\n", dir);
            return 1;
        }
        for (b = 0; b < (int)(sizeof boxes / sizeof boxes[0]); b++) {
            o = box(boxes[b].mode, boxes[b].w, boxes[b].h);
            o.ratio = i % IMGTHUMBNAIL_EX_RATIO_COUNT;
            make(png, path_in(dir, "o%d.png.%d.png", i, b), &o);
            make(jpg, path_in(dir, "o%d.jpg.%d.%s", i, b, exts[b % 4]), &o);
            o.rotate = 0;
            make(jpg, path_in(dir, "o%d.jpg.%d.still.png", i, b), &o);
        }
    }
    /* Enlarged or not, every output format, the pad backgrounds. */
    for (u = 0; u < 2; u++)
        for (e = 0; e < 4; e++)
            for (b = 0; b < (int)(sizeof boxes / sizeof boxes[0]); b++)
                for (r = 0; r < 3; r++) {
                    o = box(boxes[b].mode, boxes[b].w * 2, boxes[b].h * 2);
                    o.upscale = u;
                    o.background = backgrounds[r];
                    o.ratio = r;
                    make(path_in(dir, "src.tga"), path_in(dir, "big.u%d.%d.%d.%s", u, b, r, exts[e]), &o);
                }
    /* The JPEG qualities, on the pad canvas and a turned photo. */
    for (q = 0; q < 4; q++) {
        o = box(IMGTHUMBNAIL_EX_PAD, 180, 140);
        o.quality = qualities[q];
        o.background = 0x336699C0u;
        make(path_in(dir, "src.tga"), path_in(dir, "q%d.pad.jpg", qualities[q]), &o);
        o.mode = IMGTHUMBNAIL_EX_COVER;
        make(path_in(dir, "o6.jpg"), path_in(dir, "q%d.cover.jpg", qualities[q]), &o);
    }
    return s_failures ? 1 : 0;
}
