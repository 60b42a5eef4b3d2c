/* The palette PNG and flat-block grey JPEG encoders of the sample generator.
 * Both are deliberately minimal: the PNG stores its pixels in uncompressed
 * deflate blocks, and the JPEG codes nothing but DC coefficients. */
#include "sample_encoders.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* ---- PNG ---------------------------------------------------------------- */

static unsigned long s_crc_table[256];
static int s_crc_ready;

static unsigned long crc32_update(unsigned long crc, const unsigned char *p, size_t n)
{
    size_t i;
    if (!s_crc_ready) {
        unsigned long c;
        int k, b;
        for (k = 0; k < 256; k++) {
            c = (unsigned long)k;
            for (b = 0; b < 8; b++) c = (c & 1) ? 0xEDB88320UL ^ (c >> 1) : c >> 1;
            s_crc_table[k] = c;
        }
        s_crc_ready = 1;
    }
    for (i = 0; i < n; i++) crc = s_crc_table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

static void put_be32(unsigned char *p, unsigned long v)
{
    p[0] = (unsigned char)(v >> 24);
    p[1] = (unsigned char)(v >> 16);
    p[2] = (unsigned char)(v >> 8);
    p[3] = (unsigned char)v;
}

static int write_chunk(FILE *f, const char *type, const unsigned char *data, size_t n)
{
    unsigned char head[8], tail[4];
    unsigned long crc;
    put_be32(head, (unsigned long)n);
    memcpy(head + 4, type, 4);
    crc = crc32_update(0xFFFFFFFFUL, head + 4, 4);
    crc = crc32_update(crc, data, n) ^ 0xFFFFFFFFUL;
    put_be32(tail, crc);
    return fwrite(head, 1, 8, f) == 8 && (n == 0 || fwrite(data, 1, n, f) == n) && fwrite(tail, 1, 4, f) == 4;
}

int write_palette_png(const char *path, int w, int h, const unsigned char *indices,
                      const unsigned char *palette, int colours)
{
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    /* A stored deflate block holds at most 65535 bytes. */
    const size_t block_max = 65535;
    size_t raw_len = (size_t)h * ((size_t)w + 1);
    size_t blocks = (raw_len + block_max - 1) / block_max;
    size_t zlen = 2 + raw_len + blocks * 5 + 4;
    unsigned char *raw, *z, *q;
    unsigned char ihdr[13];
    unsigned long a = 1, b = 0;
    size_t i, done;
    FILE *f;
    int ok;

    if (w < 1 || h < 1 || colours < 1 || colours > 256) return 0;
    raw = (unsigned char *)malloc(raw_len);
    z = (unsigned char *)malloc(zlen);
    if (!raw || !z) {
        free(raw);
        free(z);
        return 0;
    }
    /* Every row starts with filter type 0 (none). */
    for (i = 0; i < (size_t)h; i++) {
        raw[i * ((size_t)w + 1)] = 0;
        memcpy(raw + i * ((size_t)w + 1) + 1, indices + i * (size_t)w, (size_t)w);
    }
    q = z;
    *q++ = 0x78; /* deflate, 32 KiB window */
    *q++ = 0x01; /* no preset dictionary; 0x7801 is a multiple of 31 */
    for (done = 0; done < raw_len;) {
        size_t n = raw_len - done < block_max ? raw_len - done : block_max;
        *q++ = (unsigned char)(done + n == raw_len); /* BFINAL, BTYPE 00 */
        *q++ = (unsigned char)(n & 0xFF);
        *q++ = (unsigned char)(n >> 8);
        *q++ = (unsigned char)(~n & 0xFF);
        *q++ = (unsigned char)((~n >> 8) & 0xFF);
        memcpy(q, raw + done, n);
        q += n;
        done += n;
    }
    for (i = 0; i < raw_len; i++) {
        a = (a + raw[i]) % 65521UL;
        b = (b + a) % 65521UL;
    }
    put_be32(q, (b << 16) | a);

    put_be32(ihdr, (unsigned long)w);
    put_be32(ihdr + 4, (unsigned long)h);
    ihdr[8] = 8;  /* bits per index */
    ihdr[9] = 3;  /* colour type: indexed */
    ihdr[10] = 0; /* deflate */
    ihdr[11] = 0; /* adaptive filtering */
    ihdr[12] = 0; /* not interlaced */

    f = fopen(path, "wb");
    ok = f != NULL;
    if (ok) {
        ok = fwrite(signature, 1, 8, f) == 8 && write_chunk(f, "IHDR", ihdr, 13) &&
             write_chunk(f, "PLTE", palette, (size_t)colours * 3) && write_chunk(f, "IDAT", z, zlen) &&
             write_chunk(f, "IEND", NULL, 0);
        ok = (fclose(f) == 0) && ok;
    }
    free(raw);
    free(z);
    return ok;
}

/* ---- JPEG --------------------------------------------------------------- */

/* The DC quantiser: a flat block of shade v has the DC coefficient
 * 8 x (v - 128), so with this step the stored value is v - 128 itself and
 * nothing is lost. */
#define DC_STEP 8

struct bit_writer {
    FILE *f;
    unsigned long bits;
    int count;
    int ok;
};

static void put_byte(struct bit_writer *w, unsigned char c)
{
    if (fputc(c, w->f) == EOF) w->ok = 0;
    /* A 0xFF inside entropy-coded data must be followed by a zero byte so
     * that no decoder takes it for a marker. */
    if (c == 0xFF && fputc(0, w->f) == EOF) w->ok = 0;
}

static void put_bits(struct bit_writer *w, unsigned long value, int n)
{
    w->bits = (w->bits << n) | (value & ((1UL << n) - 1));
    w->count += n;
    while (w->count >= 8) {
        put_byte(w, (unsigned char)(w->bits >> (w->count - 8)));
        w->count -= 8;
    }
    w->bits &= (1UL << w->count) - 1;
}

int write_flat_block_grey_jpeg(const char *path, int bw, int bh, const unsigned char *shades)
{
    static const unsigned char jfif[] = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
    /* DC table: the nine magnitude categories 0..8 get the 4-bit codes
     * 0000..1000 (nine codes of length 4, canonical order). AC table: one
     * symbol, end-of-block, with the 1-bit code 0. */
    static const unsigned char dht[] = {
        0xFF, 0xC4, 0, 2 + 2 * 17 + 9 + 1,
        0x00, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8,
        0x10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00};
    static const unsigned char sos[] = {0xFF, 0xDA, 0, 8, 1, 1, 0x00, 0, 63, 0};
    unsigned char dqt[5 + 64], sof[13];
    struct bit_writer w;
    int prev = 0, bx, by, i;
    int width = bw * 8, height = bh * 8;

    if (bw < 1 || bh < 1 || width > 65535 || height > 65535) return 0;
    dqt[0] = 0xFF;
    dqt[1] = 0xDB;
    dqt[2] = 0;
    dqt[3] = 67;
    dqt[4] = 0; /* 8-bit table 0 */
    for (i = 0; i < 64; i++) dqt[5 + i] = DC_STEP;
    sof[0] = 0xFF;
    sof[1] = 0xC0; /* baseline */
    sof[2] = 0;
    sof[3] = 11;
    sof[4] = 8;
    sof[5] = (unsigned char)(height >> 8);
    sof[6] = (unsigned char)height;
    sof[7] = (unsigned char)(width >> 8);
    sof[8] = (unsigned char)width;
    sof[9] = 1;     /* one component */
    sof[10] = 1;    /* its id */
    sof[11] = 0x11; /* no subsampling */
    sof[12] = 0;    /* quantisation table 0 */

    w.f = fopen(path, "wb");
    if (!w.f) return 0;
    w.bits = 0;
    w.count = 0;
    w.ok = fwrite(jfif, 1, sizeof jfif, w.f) == sizeof jfif && fwrite(dqt, 1, sizeof dqt, w.f) == sizeof dqt &&
           fwrite(sof, 1, sizeof sof, w.f) == sizeof sof && fwrite(dht, 1, sizeof dht, w.f) == sizeof dht &&
           fwrite(sos, 1, sizeof sos, w.f) == sizeof sos;
    for (by = 0; by < bh; by++)
        for (bx = 0; bx < bw; bx++) {
            int dc = shades[by * bw + bx] - 128;
            int diff = dc - prev, mag = diff < 0 ? -diff : diff, cat = 0;
            while (mag >> cat) cat++;
            put_bits(&w, (unsigned long)cat, 4);
            /* Negative differences are sent as diff - 1 in cat bits. */
            if (cat) put_bits(&w, (unsigned long)(diff < 0 ? diff - 1 : diff), cat);
            put_bits(&w, 0, 1); /* end of block: every AC coefficient is zero */
            prev = dc;
        }
    if (w.count) put_bits(&w, 0x7F, 8 - w.count); /* pad the last byte with ones */
    if (fputc(0xFF, w.f) == EOF || fputc(0xD9, w.f) == EOF) w.ok = 0;
    if (fclose(w.f) != 0) w.ok = 0;
    return w.ok;
}
