/* The tests' JPEG encoder (see jpeg_writer.h): an exact integer DCT, the
 * standard quantisation and Huffman tables (or tables made for the image by
 * the standard's procedure), restart markers, and progressive files made of
 * one DC scan and one AC scan per component. */
#include "jpeg_writer.h"

#include <stdlib.h>
#include <string.h>

enum {
    BLOCK = 64,
    SIDE = 8,
    MAX_COMP = 4,
    TABLES = 2, /* one for the first component, one for the others */
    SYMBOLS = 256,
    MAX_CODE_BITS = 16,
    LAST_COEF = 63,
    ZRL = 0xF0,
    EOB = 0x00,
    MARK = 0xFF,
    CENTRE = 128,
    BASE_SCALE = 12,  /* cosines are 4096ths */
    DC_LIMIT = 2047,
    AC_LIMIT = 1023
};

/* cos(k * pi / 16) in 4096ths, k = 0..8. */
static const int COS16[9] = {4096, 4017, 3784, 3406, 2896, 2276, 1567, 799, 0};
/* 1 / sqrt(2) in 4096ths. */
static const int INV_SQRT2 = 2896;

static const unsigned char ZIGZAG[BLOCK] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

/* The standard's example tables, in natural order. */
static const int LUMA_QUANT[BLOCK] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,  14, 13, 16, 24,  40,  57,
    69, 56, 14, 17, 22,  29,  51,  87,  80, 62, 18, 22, 37,  56,  68,  109, 103, 77, 24, 35,  55,  64,
    81, 104, 113, 92, 49, 64, 78,  87,  103, 121, 120, 101, 72, 92, 95, 98,  112, 100, 103, 99};
static const int CHROMA_QUANT[BLOCK] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

static const unsigned char DC_LUMA_BITS[MAX_CODE_BITS] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
static const unsigned char DC_CHROMA_BITS[MAX_CODE_BITS] = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
static const unsigned char DC_VALUES[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
static const unsigned char AC_LUMA_BITS[MAX_CODE_BITS] = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d};
static const unsigned char AC_LUMA_VALUES[162] = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71,
    0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72,
    0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37,
    0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59,
    0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3,
    0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3,
    0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2,
    0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};
static const unsigned char AC_CHROMA_BITS[MAX_CODE_BITS] = {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};
static const unsigned char AC_CHROMA_VALUES[162] = {
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13, 0x22,
    0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33, 0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1,
    0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18, 0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36,
    0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58,
    0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
    0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a,
    0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba,
    0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda,
    0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};

/* ---- Output bytes and bits ------------------------------------------------- */

typedef struct {
    unsigned char *p;
    size_t len, cap;
    int failed;
} Out;

static void put8(Out *o, int b)
{
    if (o->failed) return;
    if (o->len == o->cap) {
        size_t cap = o->cap ? o->cap * 2 : 4096;
        unsigned char *p = (unsigned char *)realloc(o->p, cap);
        if (!p) {
            o->failed = 1;
            return;
        }
        o->p = p;
        o->cap = cap;
    }
    o->p[o->len++] = (unsigned char)b;
}

static void put16(Out *o, int v)
{
    put8(o, (v >> 8) & 0xFF);
    put8(o, v & 0xFF);
}

static void put_marker(Out *o, int m)
{
    put8(o, MARK);
    put8(o, m);
}

/* A Huffman code per symbol, and what counting passes gather. */
typedef struct {
    unsigned char bits[MAX_CODE_BITS]; /* codes of each length, from 1 bit */
    unsigned char values[SYMBOLS];
    int count;
    unsigned code[SYMBOLS];
    int size[SYMBOLS];
    long freq[SYMBOLS];
} Huffman;

typedef struct {
    Out *out;
    unsigned long acc;
    int n;
    int counting; /* only count symbols */
} Bits;

static void put_bits(Bits *b, unsigned code, int len)
{
    if (b->counting || len == 0) return;
    b->acc = (b->acc << len) | (code & ((1ul << len) - 1));
    b->n += len;
    while (b->n >= 8) {
        const int byte = (int)((b->acc >> (b->n - 8)) & 0xFF);
        put8(b->out, byte);
        if (byte == MARK) put8(b->out, 0);
        b->n -= 8;
    }
    b->acc &= (1ul << b->n) - 1;
}

/* Pads the last byte with one bits. */
static void flush_bits(Bits *b)
{
    if (b->n > 0) put_bits(b, (1u << (8 - b->n)) - 1, 8 - b->n);
}

static void put_symbol(Bits *b, Huffman *h, int symbol)
{
    if (b->counting) h->freq[symbol]++;
    else put_bits(b, h->code[symbol], h->size[symbol]);
}

static int magnitude_bits(int v)
{
    int n = 0;
    if (v < 0) v = -v;
    while (v) {
        n++;
        v >>= 1;
    }
    return n;
}

static void put_value(Bits *b, int v, int n)
{
    put_bits(b, (unsigned)(v < 0 ? v - 1 : v), n);
}

/* ---- Huffman tables --------------------------------------------------------- */

static void set_table(Huffman *h, const unsigned char *bits, const unsigned char *values)
{
    int i, n = 0;
    for (i = 0; i < MAX_CODE_BITS; i++) n += (h->bits[i] = bits[i]);
    memcpy(h->values, values, (size_t)n);
    h->count = n;
}

static void make_codes(Huffman *h)
{
    unsigned code = 0;
    int len, k = 0, i;
    memset(h->size, 0, sizeof h->size);
    for (len = 1; len <= MAX_CODE_BITS; len++) {
        for (i = 0; i < h->bits[len - 1]; i++, k++) {
            h->code[h->values[k]] = code++;
            h->size[h->values[k]] = len;
        }
        code <<= 1;
    }
}

/* The standard's procedure for code lengths from symbol counts, limited to
 * 16 bits, with one code point kept back so that no code is all ones. A
 * table no scan uses keeps the standard codes. */
static void optimal_table(Huffman *h)
{
    long freq[SYMBOLS + 1], used = 0;
    int size[SYMBOLS + 1], others[SYMBOLS + 1], bits[2 * MAX_CODE_BITS + 1];
    int i, j, n = 0;
    for (i = 0; i < SYMBOLS; i++) used += (freq[i] = h->freq[i]);
    if (!used) return;
    freq[SYMBOLS] = 1;
    for (i = 0; i <= SYMBOLS; i++) {
        size[i] = 0;
        others[i] = -1;
    }
    for (;;) {
        int c1 = -1, c2 = -1;
        long v = 0;
        for (i = 0; i <= SYMBOLS; i++)
            if (freq[i] && (c1 < 0 || freq[i] <= v)) {
                v = freq[i];
                c1 = i;
            }
        for (i = 0; i <= SYMBOLS; i++)
            if (freq[i] && i != c1 && (c2 < 0 || freq[i] <= v)) {
                v = freq[i];
                c2 = i;
            }
        if (c2 < 0) break;
        freq[c1] += freq[c2];
        freq[c2] = 0;
        size[c1]++;
        while (others[c1] >= 0) {
            c1 = others[c1];
            size[c1]++;
        }
        others[c1] = c2;
        size[c2]++;
        while (others[c2] >= 0) {
            c2 = others[c2];
            size[c2]++;
        }
    }
    memset(bits, 0, sizeof bits);
    for (i = 0; i <= SYMBOLS; i++)
        if (size[i]) bits[size[i]]++;
    for (i = 2 * MAX_CODE_BITS; i > MAX_CODE_BITS; i--)
        while (bits[i] > 0) {
            j = i - 2;
            while (bits[j] == 0) j--;
            bits[i] -= 2;
            bits[i - 1]++;
            bits[j + 1] += 2;
            bits[j]--;
        }
    i = MAX_CODE_BITS;
    while (bits[i] == 0) i--;
    bits[i]--; /* the code point kept back */
    for (i = 1; i <= MAX_CODE_BITS; i++) h->bits[i - 1] = (unsigned char)bits[i];
    for (i = 1; i <= 2 * MAX_CODE_BITS; i++)
        for (j = 0; j < SYMBOLS; j++)
            if (size[j] == i) h->values[n++] = (unsigned char)j;
    h->count = n;
}

/* ---- Pixels into quantised blocks -------------------------------------------- */

typedef struct {
    int id, h, v, tq, table;
    int cx, cy;          /* samples per row, rows */
    int bw, bh;          /* blocks of the MCU-padded plane */
    unsigned char *plane; /* cx * cy samples */
    int *coef;           /* bw * bh blocks of quantised coefficients, zig-zag order */
    int pred;
} Comp;

typedef struct {
    const JpegWriterOptions *o;
    Comp comp[MAX_COMP];
    int nc, hmax, vmax, mcux, mcuy;
    int quant[TABLES][BLOCK]; /* natural order */
    Huffman dc[TABLES], ac[TABLES];
} Enc;

static int clamp255(int v)
{
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

/* Component c of pixel p. */
static int channel(const Enc *e, const unsigned char *p, int c)
{
    const int r = p[0], g = p[1], b = p[2];
    if (e->nc == 1) return r;
    if (e->nc == 3 && e->o->ycbcr) {
        if (c == 0) return clamp255((77 * r + 150 * g + 29 * b + 128) >> 8);
        if (c == 1) return clamp255(((-43 * r - 85 * g + 128 * b + 128) >> 8) + 128);
        return clamp255(((128 * r - 107 * g - 21 * b + 128) >> 8) + 128);
    }
    return p[c];
}

static int cosine(int u, int x)
{
    int a = ((2 * x + 1) * u) % 32;
    if (a > 16) a = 32 - a;
    return a <= 8 ? COS16[a] : -COS16[16 - a];
}

static long long round_shift(long long v, int shift)
{
    const long long half = 1ll << (shift - 1);
    return v >= 0 ? (v + half) >> shift : -((-v + half) >> shift);
}

static int round_div(int a, int b)
{
    return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
}

/* The exact DCT of 64 level-shifted samples, quantised, in zig-zag order. */
static void fdct_quantise(const int *f, const int *quant, int *out)
{
    long long tmp[SIDE][SIDE];
    int u, v, x, y;
    for (u = 0; u < SIDE; u++)
        for (y = 0; y < SIDE; y++) {
            long long s = 0;
            for (x = 0; x < SIDE; x++) s += (long long)cosine(u, x) * f[y * SIDE + x];
            tmp[u][y] = s;
        }
    for (v = 0; v < SIDE; v++)
        for (u = 0; u < SIDE; u++) {
            long long s = 0;
            int k, value;
            for (y = 0; y < SIDE; y++) s += (long long)cosine(v, y) * tmp[u][y];
            s *= (u ? COS16[0] : INV_SQRT2);
            s *= (v ? COS16[0] : INV_SQRT2);
            value = (int)round_shift(s, 4 * BASE_SCALE + 2);
            for (k = 0; ZIGZAG[k] != v * SIDE + u; k++) {
            }
            value = round_div(value, quant[v * SIDE + u]);
            if (k == 0) value = value > DC_LIMIT ? DC_LIMIT : value < -DC_LIMIT ? -DC_LIMIT : value;
            else value = value > AC_LIMIT ? AC_LIMIT : value < -AC_LIMIT ? -AC_LIMIT : value;
            out[k] = value;
        }
}

static int make_planes(Enc *e, const unsigned char *rgba)
{
    const JpegWriterOptions *o = e->o;
    int c;
    for (c = 0; c < e->nc; c++) {
        Comp *k = &e->comp[c];
        const int hs = e->hmax / k->h, vs = e->vmax / k->v;
        int x, y, bx, by;
        k->cx = (o->width * k->h + e->hmax - 1) / e->hmax;
        k->cy = (o->height * k->v + e->vmax - 1) / e->vmax;
        k->bw = e->mcux * k->h;
        k->bh = e->mcuy * k->v;
        k->plane = (unsigned char *)malloc((size_t)k->cx * k->cy);
        k->coef = (int *)malloc((size_t)k->bw * k->bh * BLOCK * sizeof(int));
        if (!k->plane || !k->coef) return 0;
        for (y = 0; y < k->cy; y++)
            for (x = 0; x < k->cx; x++) {
                int sum = 0, n = 0, i, j;
                for (j = y * vs; j < y * vs + vs && j < o->height; j++)
                    for (i = x * hs; i < x * hs + hs && i < o->width; i++, n++)
                        sum += channel(e, rgba + ((size_t)j * o->width + i) * 4, c);
                k->plane[(size_t)y * k->cx + x] = (unsigned char)((sum + n / 2) / n);
            }
        for (by = 0; by < k->bh; by++)
            for (bx = 0; bx < k->bw; bx++) {
                int f[BLOCK], i, j;
                for (j = 0; j < SIDE; j++)
                    for (i = 0; i < SIDE; i++) {
                        int sx = bx * SIDE + i, sy = by * SIDE + j;
                        if (sx >= k->cx) sx = k->cx - 1;
                        if (sy >= k->cy) sy = k->cy - 1;
                        f[j * SIDE + i] = k->plane[(size_t)sy * k->cx + sx] - CENTRE;
                    }
                fdct_quantise(f, e->quant[k->tq], k->coef + ((size_t)by * k->bw + bx) * BLOCK);
            }
    }
    return 1;
}

/* ---- Scans ----------------------------------------------------------------- */

/* Coefficients ss..se of one block (ss 0: the DC first). */
static void put_block(Bits *b, Enc *e, Comp *k, const int *coef, int ss, int se)
{
    int i, run = 0;
    if (ss == 0) {
        const int diff = coef[0] - k->pred, n = magnitude_bits(diff);
        k->pred = coef[0];
        put_symbol(b, &e->dc[k->table], n);
        put_value(b, diff, n);
        ss = 1;
    }
    for (i = ss; i <= se; i++) {
        int n;
        if (coef[i] == 0) {
            run++;
            continue;
        }
        while (run > 15) {
            put_symbol(b, &e->ac[k->table], ZRL);
            run -= 16;
        }
        n = magnitude_bits(coef[i]);
        put_symbol(b, &e->ac[k->table], (run << 4) | n);
        put_value(b, coef[i], n);
        run = 0;
    }
    if (run > 0) put_symbol(b, &e->ac[k->table], EOB);
}

typedef struct {
    int comps[MAX_COMP];
    int n, ss, se;
} Scan;

/* Restart marker after an interval, unless the scan is over. */
static void interval_done(Bits *b, Enc *e, long *done, long total, int *rst)
{
    int c;
    ++*done;
    if (!e->o->restart_interval || *done % e->o->restart_interval != 0 || *done == total) return;
    if (!b->counting) {
        flush_bits(b);
        put_marker(b->out, 0xD0 + (*rst & 7));
    }
    ++*rst;
    for (c = 0; c < e->nc; c++) e->comp[c].pred = 0;
}

static void put_scan_data(Bits *b, Enc *e, const Scan *s)
{
    long done = 0;
    int rst = 0, c;
    for (c = 0; c < e->nc; c++) e->comp[c].pred = 0;
    if (s->n == 1) {
        /* Block by block over the component's own size. */
        Comp *k = &e->comp[s->comps[0]];
        const int bw = (k->cx + SIDE - 1) / SIDE, bh = (k->cy + SIDE - 1) / SIDE;
        int bx, by;
        for (by = 0; by < bh; by++)
            for (bx = 0; bx < bw; bx++) {
                put_block(b, e, k, k->coef + ((size_t)by * k->bw + bx) * BLOCK, s->ss, s->se);
                interval_done(b, e, &done, (long)bw * bh, &rst);
            }
    } else {
        int mx, my, i, x, y;
        for (my = 0; my < e->mcuy; my++)
            for (mx = 0; mx < e->mcux; mx++) {
                for (i = 0; i < s->n; i++) {
                    Comp *k = &e->comp[s->comps[i]];
                    for (y = 0; y < k->v; y++)
                        for (x = 0; x < k->h; x++)
                            put_block(b, e, k,
                                      k->coef + ((size_t)(my * k->v + y) * k->bw + mx * k->h + x) * BLOCK, s->ss,
                                      s->se);
                }
                interval_done(b, e, &done, (long)e->mcux * e->mcuy, &rst);
            }
    }
    if (!b->counting) flush_bits(b);
}

static void put_scan_header(Out *o, const Enc *e, const Scan *s)
{
    int i;
    put_marker(o, 0xDA);
    put16(o, 6 + 2 * s->n);
    put8(o, s->n);
    for (i = 0; i < s->n; i++) {
        const Comp *k = &e->comp[s->comps[i]];
        put8(o, k->id);
        put8(o, (k->table << 4) | k->table);
    }
    put8(o, s->ss);
    put8(o, s->se);
    put8(o, 0);
}

/* The baseline file's one scan, or the progressive file's DC scan and its
 * AC scans; n of them. */
static int scans_of(const Enc *e, Scan *scans)
{
    int c, n = 0;
    scans[0].n = e->nc;
    for (c = 0; c < e->nc; c++) scans[0].comps[c] = c;
    scans[0].ss = 0;
    scans[0].se = e->o->progressive ? 0 : LAST_COEF;
    n = 1;
    if (e->o->progressive)
        for (c = 0; c < e->nc; c++, n++) {
            scans[n].n = 1;
            scans[n].comps[0] = c;
            scans[n].ss = 1;
            scans[n].se = LAST_COEF;
        }
    return n;
}

static void put_headers(Out *o, const Enc *e)
{
    const JpegWriterOptions *opt = e->o;
    int t, c, i;
    put_marker(o, 0xD8);
    if (opt->jfif) {
        static const unsigned char jfif[14] = {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
        put_marker(o, 0xE0);
        put16(o, 2 + (int)sizeof jfif);
        for (i = 0; i < (int)sizeof jfif; i++) put8(o, jfif[i]);
    }
    if (opt->adobe_transform != JPEG_WRITER_NO_ADOBE) {
        static const unsigned char adobe[11] = {'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0};
        put_marker(o, 0xEE);
        put16(o, 2 + (int)sizeof adobe + 1);
        for (i = 0; i < (int)sizeof adobe; i++) put8(o, adobe[i]);
        put8(o, opt->adobe_transform);
    }
    put_marker(o, 0xDB);
    put16(o, 2 + TABLES * (1 + BLOCK));
    for (t = 0; t < TABLES; t++) {
        put8(o, t);
        for (i = 0; i < BLOCK; i++) put8(o, e->quant[t][ZIGZAG[i]]);
    }
    put_marker(o, opt->progressive ? 0xC2 : 0xC0);
    put16(o, 8 + 3 * e->nc);
    put8(o, 8);
    put16(o, opt->height);
    put16(o, opt->width);
    put8(o, e->nc);
    for (c = 0; c < e->nc; c++) {
        put8(o, e->comp[c].id);
        put8(o, (e->comp[c].h << 4) | e->comp[c].v);
        put8(o, e->comp[c].tq);
    }
    put_marker(o, 0xC4);
    {
        int len = 2;
        for (t = 0; t < TABLES; t++) len += 2 * (1 + MAX_CODE_BITS) + e->dc[t].count + e->ac[t].count;
        put16(o, len);
    }
    for (t = 0; t < TABLES; t++)
        for (c = 0; c < 2; c++) {
            const Huffman *h = c ? &e->ac[t] : &e->dc[t];
            put8(o, (c << 4) | t);
            for (i = 0; i < MAX_CODE_BITS; i++) put8(o, h->bits[i]);
            for (i = 0; i < h->count; i++) put8(o, h->values[i]);
        }
    if (opt->restart_interval) {
        put_marker(o, 0xDD);
        put16(o, 4);
        put16(o, opt->restart_interval);
    }
}

JpegWriterOptions jpeg_writer_defaults(int width, int height)
{
    JpegWriterOptions o;
    int c;
    memset(&o, 0, sizeof o);
    o.width = width;
    o.height = height;
    o.components = 3;
    for (c = 0; c < MAX_COMP; c++) {
        o.h[c] = o.v[c] = 1;
        o.ids[c] = (unsigned char)(c + 1);
    }
    o.h[0] = o.v[0] = 2;
    o.quality = 75;
    o.jfif = 1;
    o.adobe_transform = JPEG_WRITER_NO_ADOBE;
    o.ycbcr = 1;
    return o;
}

static int options_valid(const JpegWriterOptions *o)
{
    int c, hmax = 1, vmax = 1;
    if (o->width < 1 || o->height < 1 || o->width > 65535 || o->height > 65535) return 0;
    if (o->components != 1 && o->components != 3 && o->components != 4) return 0;
    if (o->quality < 1 || o->quality > 100 || o->restart_interval < 0 || o->restart_interval > 65535) return 0;
    for (c = 0; c < o->components; c++) {
        if (o->h[c] < 1 || o->h[c] > 4 || o->v[c] < 1 || o->v[c] > 4) return 0;
        if (o->h[c] > hmax) hmax = o->h[c];
        if (o->v[c] > vmax) vmax = o->v[c];
    }
    for (c = 0; c < o->components; c++)
        if (hmax % o->h[c] || vmax % o->v[c]) return 0;
    return 1;
}

static void free_enc(Enc *e)
{
    int c;
    for (c = 0; c < MAX_COMP; c++) {
        free(e->comp[c].plane);
        free(e->comp[c].coef);
    }
}

unsigned char *jpeg_writer_encode(const JpegWriterOptions *o, const unsigned char *rgba, size_t *len)
{
    Enc e;
    Out out = {NULL, 0, 0, 0};
    Scan scans[1 + MAX_COMP];
    int c, t, i, nscans, scale;
    if (!options_valid(o)) return NULL;
    memset(&e, 0, sizeof e);
    e.o = o;
    e.nc = o->components;
    e.hmax = e.vmax = 1;
    for (c = 0; c < e.nc; c++) {
        Comp *k = &e.comp[c];
        k->id = o->ids[c];
        k->h = o->h[c];
        k->v = o->v[c];
        k->tq = k->table = c == 0 ? 0 : 1;
        if (k->h > e.hmax) e.hmax = k->h;
        if (k->v > e.vmax) e.vmax = k->v;
    }
    e.mcux = (o->width + SIDE * e.hmax - 1) / (SIDE * e.hmax);
    e.mcuy = (o->height + SIDE * e.vmax - 1) / (SIDE * e.vmax);
    scale = o->quality < 50 ? 5000 / o->quality : 200 - 2 * o->quality;
    for (i = 0; i < BLOCK; i++) {
        int q0 = (LUMA_QUANT[i] * scale + 50) / 100, q1 = (CHROMA_QUANT[i] * scale + 50) / 100;
        e.quant[0][i] = q0 < 1 ? 1 : q0 > 255 ? 255 : q0;
        e.quant[1][i] = q1 < 1 ? 1 : q1 > 255 ? 255 : q1;
    }
    if (!make_planes(&e, rgba)) {
        free_enc(&e);
        return NULL;
    }
    nscans = scans_of(&e, scans);
    for (t = 0; t < TABLES; t++) {
        set_table(&e.dc[t], t ? DC_CHROMA_BITS : DC_LUMA_BITS, DC_VALUES);
        set_table(&e.ac[t], t ? AC_CHROMA_BITS : AC_LUMA_BITS, t ? AC_CHROMA_VALUES : AC_LUMA_VALUES);
    }
    if (o->optimize) {
        Bits count = {&out, 0, 0, 1};
        for (i = 0; i < nscans; i++) put_scan_data(&count, &e, &scans[i]);
        for (t = 0; t < TABLES; t++) {
            optimal_table(&e.dc[t]);
            optimal_table(&e.ac[t]);
        }
    }
    for (t = 0; t < TABLES; t++) {
        make_codes(&e.dc[t]);
        make_codes(&e.ac[t]);
    }
    put_headers(&out, &e);
    for (i = 0; i < nscans; i++) {
        Bits b = {&out, 0, 0, 0};
        put_scan_header(&out, &e, &scans[i]);
        put_scan_data(&b, &e, &scans[i]);
    }
    put_marker(&out, 0xD9);
    free_enc(&e);
    if (out.failed) {
        free(out.p);
        return NULL;
    }
    *len = out.len;
    return out.p;
}
