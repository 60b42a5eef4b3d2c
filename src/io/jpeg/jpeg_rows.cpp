// The JPEG row decoder (see jpeg_rows.h). The decoder itself decodes the
// whole scan into full component planes, then makes the output rows: each
// component's row upsampled from the plane row the output row lies in
// ("near") and its neighbour ("far"), as a small state machine per
// component picks them; then the colour conversion. Here the planes are
// two bands of one MCU row each, filled as the rows are asked for, and the
// same state machine picks the same rows in them: an output row draws on
// its own band and at most one row of the band above or below it, so two
// bands always hold what the next row needs.
#include "io/jpeg/jpeg_rows.h"

#include <cstdlib>
#include <cstring>

#include "io/jpeg/jpeg_bits.h"
#include "io/jpeg/jpeg_huffman.h"
#include "io/jpeg/jpeg_stb_bridge.h"
#include "io/stb_bridge.h"

static const int BLOCK_SIDE = 8;
static const int BLOCK_SHIFT = 3;
static const int BANDS_HELD = 2;
// The decoder's row buffer holds this many samples beyond the image's
// width: room for upsampling by 4 off the right edge.
static const int LINE_SLACK = 3;

// The decoder's position in a component's plane: which rows the next
// output row reads (line0, line1) and how far through the vertical
// expansion it is.
struct LineState {
    int ystep, ypos, line0, line1;
};

struct RowsComponent {
    int h, v, hs, vs;
    int w_lores, y_lores;       // the component's samples per row and rows, as the decoder counts them
    int rows_per_band;          // 8 v, or 8 for a lone component
    int mcu_cols, mcu_rows;     // its blocks in one MCU: h x v, or 1 x 1 for a lone component
    int stride;                 // bytes of a band row: whole blocks
    int block_cols, block_rows; // blocks of the whole plane
    unsigned char *band[BANDS_HELD];
    unsigned char *line;     // the upsampled row
    unsigned char *need_col; // per block column: some wanted pixel draws on it
    unsigned char *need_row; // per block row
    LineState lines;
    const JpegHuffLookup *dc, *ac;
    const uint16_t *dq;
    int pred; // DC prediction
};

struct JpegRows {
    JpegStb *stb;
    JpegScanHeader scan;
    JpegHuffLookup dc[JPEG_TABLES], ac[JPEG_TABLES];
    RowsComponent comp[JPEG_MAX_COMPONENTS];
    int ncomp;
    int width, height;
    int mcu_x, bands; // MCUs per band; bands in the image
    int decoded;      // bands decoded so far
    int todo, rst;    // MCUs left in the restart interval; the next marker's number
    bool failed;
    const unsigned char *zigzag;
    JpegBits bits;
    unsigned char *work; // the chunk, the bands, the rows and the marks
};

static LineState first_lines(const RowsComponent &c)
{
    return LineState{c.vs >> 1, 0, 0, 0};
}

// The plane rows the decoder reads for the current output row.
static void current_lines(const RowsComponent &c, const LineState &s, int *near, int *far)
{
    const bool y_bot = s.ystep >= (c.vs >> 1);
    *near = y_bot ? s.line1 : s.line0;
    *far = y_bot ? s.line0 : s.line1;
}

static void advance_lines(const RowsComponent &c, LineState *s)
{
    if (++s->ystep >= c.vs) {
        s->ystep = 0;
        s->line0 = s->line1;
        if (++s->ypos < c.y_lores) s->line1++;
    }
}

static int ceil_div(int a, int b)
{
    return (a + b - 1) / b;
}

// Sizes every component's plane as the decoder does, and its bands.
static void lay_out(JpegRows *r)
{
    const JpegScanHeader &s = r->scan;
    const int mcu_w = s.h_max * BLOCK_SIDE, mcu_h = s.v_max * BLOCK_SIDE;
    for (int i = 0; i < r->ncomp; i++) {
        RowsComponent &c = r->comp[i];
        c.h = s.comp[i].h;
        c.v = s.comp[i].v;
        c.hs = s.h_max / c.h;
        c.vs = s.v_max / c.v;
        c.w_lores = ceil_div(r->width * c.h, s.h_max);
        c.y_lores = ceil_div(r->height * c.v, s.v_max);
        if (r->ncomp == 1) {
            // A lone component's scan is coded block by block over the
            // component's own size, whatever its factors.
            c.mcu_cols = c.mcu_rows = 1;
            c.block_cols = ceil_div(c.w_lores, BLOCK_SIDE);
            c.block_rows = ceil_div(c.y_lores, BLOCK_SIDE);
        } else {
            c.mcu_cols = c.h;
            c.mcu_rows = c.v;
            c.block_cols = ceil_div(r->width, mcu_w) * c.h;
            c.block_rows = ceil_div(r->height, mcu_h) * c.v;
        }
        c.rows_per_band = c.mcu_rows * BLOCK_SIDE;
        c.stride = c.block_cols * BLOCK_SIDE;
        c.dc = &r->dc[s.comp[i].hd];
        c.ac = &r->ac[s.comp[i].ha];
        c.dq = s.dequant[s.comp[i].tq];
        c.lines = first_lines(c);
    }
    r->mcu_x = r->comp[0].block_cols / r->comp[0].mcu_cols;
    r->bands = r->comp[0].block_rows / r->comp[0].mcu_rows;
}

static size_t work_bytes(const JpegRows &r)
{
    size_t n = JPEG_CHUNK;
    for (int i = 0; i < r.ncomp; i++) {
        const RowsComponent &c = r.comp[i];
        n += (size_t)BANDS_HELD * c.stride * c.rows_per_band + (size_t)r.width + LINE_SLACK + c.block_cols +
             c.block_rows;
    }
    return n;
}

static void hand_out_work(JpegRows *r)
{
    unsigned char *p = r->work + JPEG_CHUNK;
    for (int i = 0; i < r->ncomp; i++) {
        RowsComponent &c = r->comp[i];
        const size_t band_bytes = (size_t)c.stride * c.rows_per_band;
        for (int b = 0; b < BANDS_HELD; b++) {
            c.band[b] = p;
            p += band_bytes;
        }
        // Blocks left out hold zeros, never stale bytes of another call.
        std::memset(c.band[0], 0, BANDS_HELD * band_bytes);
        c.line = p;
        p += r->width + LINE_SLACK;
        c.need_col = p;
        p += c.block_cols;
        c.need_row = p;
        p += c.block_rows;
    }
}

JpegRows *jpeg_rows_open(InputFile *in, int32_t *width, int32_t *height)
{
    if (stb_decoder_format(in->file) != DECODER_JPEG || std::fseek(in->file, 0, SEEK_SET) != 0) return nullptr;
    std::clearerr(in->file);
    JpegRows *r = (JpegRows *)std::malloc(sizeof(JpegRows));
    if (!r) return nullptr;
    r->work = nullptr;
    r->stb = jpeg_stb_parse(in->file, &r->scan);
    // Larger images are the decoder's, then refused for their size.
    if (!r->stb || r->scan.width > IMGTHUMBNAIL_MAX_INPUT_SIDE || r->scan.height > IMGTHUMBNAIL_MAX_INPUT_SIDE) {
        jpeg_rows_close(r);
        return nullptr;
    }
    r->width = r->scan.width;
    r->height = r->scan.height;
    r->ncomp = r->scan.components;
    lay_out(r);
    r->work = (unsigned char *)std::malloc(work_bytes(*r));
    if (!r->work) {
        jpeg_rows_close(r);
        return nullptr;
    }
    hand_out_work(r);
    for (int i = 0; i < r->ncomp; i++) {
        const JpegComponentInfo &c = r->scan.comp[i];
        jpeg_huff_build(r->scan.dc[c.hd], false, &r->dc[c.hd]);
        jpeg_huff_build(r->scan.ac[c.ha], true, &r->ac[c.ha]);
        r->comp[i].pred = 0;
    }
    r->zigzag = jpeg_stb_dezigzag();
    r->decoded = 0;
    r->todo = r->scan.restart_interval;
    r->rst = 0;
    r->failed = false;
    jpeg_bits_begin(&r->bits, in->file, r->work, r->scan.pending, r->scan.pending_len);
    jpeg_rows_want(r, nullptr, nullptr);
    *width = r->width;
    *height = r->height;
    return r;
}

int jpeg_rows_want(JpegRows *r, const unsigned char *rows, const unsigned char *cols)
{
    for (int i = 0; i < r->ncomp; i++) {
        RowsComponent &c = r->comp[i];
        std::memset(c.need_row, 0, (size_t)c.block_rows);
        std::memset(c.need_col, 0, (size_t)c.block_cols);
        LineState s = first_lines(c);
        for (int y = 0; y < r->height; y++) {
            if (!rows || rows[y]) {
                int near, far;
                current_lines(c, s, &near, &far);
                c.need_row[near >> BLOCK_SHIFT] = 1;
                c.need_row[far >> BLOCK_SHIFT] = 1;
            }
            advance_lines(c, &s);
        }
        // The upsamplers read a sample's neighbours on either side.
        for (int x = 0; x < r->width; x++) {
            if (cols && !cols[x]) continue;
            const int s0 = x / c.hs;
            const int lo = s0 > 0 ? s0 - 1 : 0, hi = s0 + 1 < c.w_lores ? s0 + 1 : c.w_lores - 1;
            for (int t = lo; t <= hi; t++) c.need_col[t >> BLOCK_SHIFT] = 1;
        }
    }
    return 1;
}

// A restart marker between two intervals, the MCU just decoded ending one.
static bool after_mcu(JpegRows *r, bool last)
{
    if (r->scan.restart_interval == 0 || --r->todo > 0 || last) return true;
    if (!jpeg_bits_restart(&r->bits, r->rst)) return false;
    r->rst = (r->rst + 1) % JPEG_RST_COUNT;
    r->todo = r->scan.restart_interval;
    for (int i = 0; i < r->ncomp; i++) r->comp[i].pred = 0;
    return true;
}

// The block of c at block column bx and block row by (of the whole plane),
// whose first sample row in the band is row0. Blocks no wanted pixel draws
// on are decoded only.
static bool block(JpegRows *r, RowsComponent &c, int bx, int by, unsigned char *row0)
{
    if (!c.need_row[by] || !c.need_col[bx])
        return jpeg_decode_block<false>(&r->bits, c.dc, c.ac, &c.pred, nullptr, c.dq, r->zigzag);
    alignas(16) short coef[JPEG_BLOCK];
    std::memset(coef, 0, sizeof coef);
    if (!jpeg_decode_block<true>(&r->bits, c.dc, c.ac, &c.pred, coef, c.dq, r->zigzag)) return false;
    jpeg_stb_idct(r->stb, row0 + bx * BLOCK_SIDE, c.stride, coef);
    return true;
}

static bool decode_band(JpegRows *r)
{
    const int b = r->decoded;
    const int slot = b % BANDS_HELD;
    const bool last_band = b == r->bands - 1;
    for (int i = 0; i < r->mcu_x; i++) {
        for (int k = 0; k < r->scan.scan_components; k++) {
            RowsComponent &c = r->comp[r->scan.order[k]];
            for (int y = 0; y < c.mcu_rows; y++) {
                unsigned char *row0 = c.band[slot] + (size_t)y * BLOCK_SIDE * c.stride;
                for (int x = 0; x < c.mcu_cols; x++)
                    if (!block(r, c, i * c.mcu_cols + x, b * c.mcu_rows + y, row0)) return false;
            }
        }
        if (!after_mcu(r, last_band && i == r->mcu_x - 1)) return false;
    }
    r->decoded++;
    // Data that ran out part way is the decoder's to fill with zeros.
    return jpeg_bits_real(&r->bits);
}

// Row y of component c, in the bands held.
static const unsigned char *plane_row(const JpegRows &r, const RowsComponent &c, int y)
{
    const int band = y / c.rows_per_band;
    if (band >= r.decoded || band < r.decoded - BANDS_HELD) return nullptr;
    return c.band[band % BANDS_HELD] + (size_t)(y % c.rows_per_band) * c.stride;
}

int jpeg_rows_next(JpegRows *r, unsigned char *dst, int32_t x0, int32_t n)
{
    if (r->failed) return 0;
    int near[JPEG_MAX_COMPONENTS], far[JPEG_MAX_COMPONENTS];
    int need = 0;
    for (int i = 0; i < r->ncomp; i++) {
        current_lines(r->comp[i], r->comp[i].lines, &near[i], &far[i]);
        const int last = near[i] > far[i] ? near[i] : far[i];
        const int band = last / r->comp[i].rows_per_band;
        if (band > need) need = band;
    }
    while (r->decoded <= need)
        if (!decode_band(r)) {
            r->failed = true;
            return 0;
        }
    if (dst) {
        const unsigned char *planes[JPEG_MAX_COMPONENTS];
        for (int i = 0; i < r->ncomp; i++) {
            RowsComponent &c = r->comp[i];
            const unsigned char *a = plane_row(*r, c, near[i]), *b = plane_row(*r, c, far[i]);
            if (!a || !b) {
                r->failed = true;
                return 0;
            }
            planes[i] = jpeg_stb_upsample(r->stb, i, c.line, a, b, c.w_lores) + x0;
        }
        // The conversion from column x0 on gives the bytes of the whole
        // row's: each pixel is converted on its own, and the decoder's
        // vector kernel gives its scalar kernel's bytes for every input.
        jpeg_stb_colour(r->stb, dst, planes, n);
    }
    for (int i = 0; i < r->ncomp; i++) advance_lines(r->comp[i], &r->comp[i].lines);
    return 1;
}

int jpeg_rows_finish(JpegRows *r)
{
    while (!r->failed && r->decoded < r->bands)
        if (!decode_band(r)) r->failed = true;
    return !r->failed && jpeg_bits_end(&r->bits);
}

void jpeg_rows_close(JpegRows *r)
{
    if (!r) return;
    if (r->stb) jpeg_stb_free(r->stb);
    std::free(r->work);
    std::free(r);
}
