/* PNG sources of every kind, written here without a compression library
 * (stored and fixed-Huffman deflate blocks, computed checksums), and their
 * thumbnails: the Linux and Windows builds must make the same bytes. */
#include "crosscheck_png.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "imgthumbnail.h"

enum { MAX_RAW = 1 << 20, MAX_PNG = 2 * MAX_RAW, ADLER_MOD = 65521 };

static unsigned long crc_of(const unsigned char *p, size_t n)
{
    unsigned long c = 0xffffffffUL;
    size_t i;
    int k;
    for (i = 0; i < n; i++) {
        c ^= p[i];
        for (k = 0; k < 8; k++) c = (c >> 1) ^ (0xedb88320UL & (0UL - (c & 1)));
    }
    return c ^ 0xffffffffUL;
}

struct Out {
    unsigned char *p;
    size_t n;
    unsigned long bits;
    int nbits;
};

static void put8(struct Out *o, unsigned v) { o->p[o->n++] = (unsigned char)v; }
static void put32(struct Out *o, unsigned long v)
{
    put8(o, (unsigned)(v >> 24) & 255); put8(o, (unsigned)(v >> 16) & 255);
    put8(o, (unsigned)(v >> 8) & 255); put8(o, (unsigned)v & 255);
}
/* Deflate bits, least significant first; Huffman codes are given reversed. */
static void put_bits(struct Out *o, unsigned long v, int n)
{
    o->bits |= v << o->nbits;
    o->nbits += n;
    while (o->nbits >= 8) { put8(o, (unsigned)(o->bits & 255)); o->bits >>= 8; o->nbits -= 8; }
}
static void put_code(struct Out *o, unsigned code, int len)
{
    unsigned rev = 0;
    int i;
    for (i = 0; i < len; i++) rev |= ((code >> i) & 1u) << (len - 1 - i);
    put_bits(o, rev, len);
}

/* The zlib stream of raw: stored blocks, or one block of fixed-Huffman
 * literals. */
static void zlib_of(struct Out *o, const unsigned char *raw, size_t n, int fixed)
{
    unsigned long a = 1, b = 0;
    size_t i;
    put8(o, 0x78); put8(o, 0x01);
    if (fixed) {
        put_bits(o, 1, 1); put_bits(o, 1, 2);
        for (i = 0; i < n; i++) {
            if (raw[i] < 144) put_code(o, 0x30u + raw[i], 8);
            else put_code(o, 0x190u + (raw[i] - 144u), 9);
        }
        put_code(o, 0, 7);
        if (o->nbits) put_bits(o, 0, 8 - o->nbits);
    } else {
        size_t at = 0;
        do {
            size_t len = n - at > 65535 ? 65535 : n - at;
            put8(o, at + len == n ? 1 : 0);
            put8(o, (unsigned)(len & 255)); put8(o, (unsigned)(len >> 8));
            put8(o, (unsigned)(~len & 255)); put8(o, (unsigned)((~len >> 8) & 255));
            memcpy(o->p + o->n, raw + at, len);
            o->n += len;
            at += len;
        } while (at < n);
    }
    for (i = 0; i < n; i++) { a = (a + raw[i]) % ADLER_MOD; b = (b + a) % ADLER_MOD; }
    put32(o, (b << 16) | a);
}

static void chunk(struct Out *o, const char *type, const unsigned char *data, size_t n)
{
    size_t start;
    put32(o, (unsigned long)n);
    start = o->n;
    memcpy(o->p + o->n, type, 4);
    o->n += 4;
    if (n) memcpy(o->p + o->n, data, n);
    o->n += n;
    put32(o, crc_of(o->p + start, n + 4));
}

static unsigned sample(int x, int y, int c, int depth)
{
    unsigned max = depth == 16 ? 65535u : (1u << depth) - 1u;
    unsigned v = (unsigned)(x * 37 + y * 19 + c * 71) * (max / 97 + 1) + (unsigned)((x * y + c) % 7) * (max / 50 + 1);
    return v % (max + 1);
}

static int paeth(int a, int b, int c)
{
    int p = a + b - c, pa = abs(p - a), pb = abs(p - b), pc = abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

struct Kind { int colour, depth, interlace, fixed, trns, palette_entries; };

/* One PNG file of the kind: w x h, every row filtered in turn with 0..4. */
static int write_png(const char *path, int w, int h, const struct Kind *k)
{
    static const int P[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    int ch = k->colour == 3 ? 1 : (k->colour & 2 ? 3 : 1) + (k->colour & 4 ? 1 : 0);
    int bpp = k->depth < 8 ? 1 : ch * k->depth / 8, p, row_no = 0;
    unsigned char *raw = (unsigned char *)calloc(MAX_RAW, 1), *png = (unsigned char *)malloc(MAX_PNG);
    unsigned char row[4096], prior[4096], ihdr[13], plte[768];
    size_t n = 0;
    struct Out o;
    FILE *f;
    int ok = 0;
    if (!raw || !png) goto done;
    for (p = 0; p < (k->interlace ? 7 : 1); p++) {
        int x0 = k->interlace ? P[p][0] : 0, y0 = k->interlace ? P[p][1] : 0;
        int dx = k->interlace ? P[p][2] : 1, dy = k->interlace ? P[p][3] : 1, x, y, c;
        int pw = (w - x0 + dx - 1) / dx, ph = (h - y0 + dy - 1) / dy;
        size_t bytes = ((size_t)ch * (size_t)pw * (size_t)k->depth + 7) / 8, i;
        if (pw <= 0 || ph <= 0) continue;
        memset(prior, 0, bytes);
        for (y = 0; y < ph; y++) {
            int filter = row_no++ % 5;
            memset(row, 0, bytes);
            for (x = 0; x < pw; x++)
                for (c = 0; c < ch; c++) {
                    unsigned v = sample(x0 + x * dx, y0 + y * dy, c, k->depth);
                    size_t s = (size_t)x * (size_t)ch + (size_t)c;
                    if (k->colour == 3) v = (unsigned)((x0 + x * dx) % (1 << (k->depth < 8 ? k->depth : 5)));
                    if (k->depth == 16) { row[s * 2] = (unsigned char)(v >> 8); row[s * 2 + 1] = (unsigned char)v; }
                    else if (k->depth == 8) row[s] = (unsigned char)v;
                    else row[s * (size_t)k->depth / 8] |= (unsigned char)(v << (8 - k->depth - (int)(s * (size_t)k->depth % 8)));
                }
            raw[n++] = (unsigned char)filter;
            for (i = 0; i < bytes; i++) {
                int a = i >= (size_t)bpp ? row[i - (size_t)bpp] : 0, b = prior[i], cc = i >= (size_t)bpp ? prior[i - (size_t)bpp] : 0;
                int pred = filter == 1 ? a : filter == 2 ? b : filter == 3 ? (a + b) / 2 : filter == 4 ? paeth(a, b, cc) : 0;
                raw[n++] = (unsigned char)(row[i] - pred);
            }
            memcpy(prior, row, bytes);
        }
    }
    o.p = png; o.n = 0; o.bits = 0; o.nbits = 0;
    memcpy(png, "\x89PNG\r\n\x1a\n", 8);
    o.n = 8;
    ihdr[0] = 0; ihdr[1] = 0; ihdr[2] = (unsigned char)(w >> 8); ihdr[3] = (unsigned char)w;
    ihdr[4] = 0; ihdr[5] = 0; ihdr[6] = (unsigned char)(h >> 8); ihdr[7] = (unsigned char)h;
    ihdr[8] = (unsigned char)k->depth; ihdr[9] = (unsigned char)k->colour;
    ihdr[10] = 0; ihdr[11] = 0; ihdr[12] = (unsigned char)k->interlace;
    chunk(&o, "IHDR", ihdr, 13);
    if (k->colour == 3) {
        int i;
        for (i = 0; i < k->palette_entries * 3; i++) plte[i] = (unsigned char)(i * 53 + 17);
        chunk(&o, "PLTE", plte, (size_t)k->palette_entries * 3);
        if (k->trns) chunk(&o, "tRNS", (const unsigned char *)"\x00\x40\x80", 3);
    } else if (k->trns) {
        unsigned char t[6];
        int c;
        for (c = 0; c < ch; c++) {
            unsigned v = sample(0, 0, c, k->depth);
            t[c * 2] = (unsigned char)(v >> 8); t[c * 2 + 1] = (unsigned char)v;
        }
        chunk(&o, "tRNS", t, (size_t)ch * 2);
    }
    {
        struct Out z;
        z.p = (unsigned char *)malloc(MAX_PNG); z.n = 0; z.bits = 0; z.nbits = 0;
        if (!z.p) goto done;
        zlib_of(&z, raw, n, k->fixed);
        /* Two IDAT chunks, split anywhere. */
        chunk(&o, "IDAT", z.p, z.n / 3);
        chunk(&o, "IDAT", z.p + z.n / 3, z.n - z.n / 3);
        free(z.p);
    }
    chunk(&o, "IEND", NULL, 0);
    f = fopen(path, "wb");
    if (f) ok = fwrite(png, 1, o.n, f) == o.n && fclose(f) == 0;
done:
    free(raw);
    free(png);
    return ok;
}

int crosscheck_png(const char *dir)
{
    static const struct Kind KINDS[] = {
        {0, 1, 0, 0, 0, 0}, {0, 2, 1, 1, 1, 0}, {0, 4, 0, 1, 0, 0}, {0, 8, 1, 0, 1, 0}, {0, 16, 0, 1, 1, 0},
        {2, 8, 0, 1, 1, 0}, {2, 8, 1, 0, 0, 0}, {2, 16, 1, 1, 1, 0}, {3, 1, 0, 0, 0, 2}, {3, 2, 1, 1, 0, 4},
        {3, 4, 0, 1, 1, 16}, {3, 8, 1, 0, 0, 32}, {4, 8, 0, 0, 0, 0}, {4, 16, 1, 1, 0, 0}, {6, 8, 0, 1, 0, 0},
        {6, 8, 1, 0, 0, 0}, {6, 16, 0, 0, 0, 0},
        /* Short palettes: indices run past the PLTE. */
        {3, 8, 0, 1, 0, 8}, {3, 8, 1, 0, 0, 8}, {3, 4, 0, 0, 1, 5},
    };
    char in[1024], out[1100];
    int failures = 0;
    size_t i;
    for (i = 0; i < sizeof KINDS / sizeof KINDS[0]; i++) {
        const struct Kind *k = &KINDS[i];
        snprintf(in, sizeof in, "%s/png_c%d_d%d_i%d_f%d_t%d_p%d.png", dir, k->colour, k->depth, k->interlace,
                 k->fixed, k->trns, k->palette_entries);
        if (!write_png(in, 45 + (int)i, 31 + 2 * (int)i, k)) {
            fprintf(stderr, "cannot write %s\n", in);
            failures++;
            continue;
        }
        snprintf(out, sizeof out, "%s.square37.png", in);
        if (!imgthumbnail_square(in, out, 37)) failures++, fprintf(stderr, "%s: %s\n", in, imgthumbnail_last_error());
        snprintf(out, sizeof out, "%s.aspect2.tga", in);
        if (!imgthumbnail_aspect(in, out, 120, 2)) failures++, fprintf(stderr, "%s: %s\n", in, imgthumbnail_last_error());
        snprintf(out, sizeof out, "%s.smart.png", in);
        if (!imgthumbnail_smart(in, out, 30, 20)) failures++, fprintf(stderr, "%s: %s\n", in, imgthumbnail_last_error());
    }
    /* The reproducer of the short palette: 16 x 16, 8 entries, indices 0..15. */
    {
        static const struct Kind reproducer = {3, 8, 0, 0, 0, 8};
        snprintf(in, sizeof in, "%s/short_palette_16.png", dir);
        if (!write_png(in, 16, 16, &reproducer)) return failures + 1;
        for (i = 0; i < 3; i++) {
            snprintf(out, sizeof out, "%s/short_palette_16.square16.%d.png", dir, (int)i);
            if (!imgthumbnail_square(in, out, 16)) failures++;
        }
    }
    return failures;
}
