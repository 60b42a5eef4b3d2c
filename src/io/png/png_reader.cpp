// The PNG reader: the decoder's chunk rules, ISA-L's inflate, the rows.
#include "io/png/png_reader.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include <isa-l/igzip_lib.h>
#include <stb/stb_image.h>

#include "io/png/png_unfilter.h"
#include "io/stb_bridge.h"

static const unsigned char SIGNATURE[8] = {137, 80, 78, 71, 13, 10, 26, 10};

static constexpr uint32_t chunk_type(char a, char b, char c, char d)
{
    return (uint32_t)(unsigned char)a << 24 | (uint32_t)(unsigned char)b << 16 | (uint32_t)(unsigned char)c << 8 |
           (uint32_t)(unsigned char)d;
}
static const uint32_t CHUNK_IHDR = chunk_type('I', 'H', 'D', 'R');
static const uint32_t CHUNK_PLTE = chunk_type('P', 'L', 'T', 'E');
static const uint32_t CHUNK_TRNS = chunk_type('t', 'R', 'N', 'S');
static const uint32_t CHUNK_IDAT = chunk_type('I', 'D', 'A', 'T');
static const uint32_t CHUNK_IEND = chunk_type('I', 'E', 'N', 'D');
static const uint32_t CHUNK_CGBI = chunk_type('C', 'g', 'B', 'I');
// A chunk whose name starts with a lower-case letter may be passed over.
static const uint32_t ANCILLARY_BIT = 1u << 29;
static const char UNKNOWN_CHUNK_TEXT[] = " PNG chunk not known";

static const uint32_t IHDR_LENGTH = 13;
// The decoder's limits: on a side, and on the samples (of four channels for
// a palette image) it decodes.
static const uint32_t MAX_SIDE = 1u << 24;
static const uint32_t MAX_SAMPLES = 1u << 30;
static const uint32_t MAX_PLTE_BYTES = PNG_PALETTE_ENTRIES * 3;
static const int PALETTE_COLOUR = 3;
static const int COLOUR_HAS_RGB = 2;
static const int COLOUR_HAS_ALPHA = 4;
static const int DEPTH_16 = 16;
// The factor that spreads a grey sample of 1, 2 or 4 bits over 0..255; the
// decoder also scales a grey or RGB tRNS value with it, of its low byte.
static const unsigned char DEPTH_SCALE[9] = {0, 0xff, 0x55, 0, 0x11, 0, 0, 0, 0x01};
static const unsigned LOW_BYTE = 0xff;

// zlib's header: the method, the dictionary flag, the check divisor.
static const int ZLIB_DEFLATE = 8;
static const int ZLIB_METHOD_MASK = 15;
static const int ZLIB_DICTIONARY = 32;
static const int ZLIB_CHECK = 31;
static const int ZLIB_HEADER_BYTES = 2;
// The decoder's bit reader fails a code that starts within its last 16 bits
// of input; after at least this many bytes beyond the stream's end, no
// code does.
static const uint64_t SAFE_TAIL_BYTES = 2;

static const size_t RAW_MIN = 65536;

static const int32_t ADAM7_X0[PNG_PASSES] = {0, 4, 0, 2, 0, 1, 0};
static const int32_t ADAM7_Y0[PNG_PASSES] = {0, 0, 4, 0, 2, 0, 1};
static const int32_t ADAM7_DX[PNG_PASSES] = {8, 8, 4, 4, 2, 2, 1};
static const int32_t ADAM7_DY[PNG_PASSES] = {8, 8, 8, 4, 4, 2, 2};

static int fail(PngReader *r, const char *reason)
{
    r->verdict = PNG_FAILED;
    r->reason = reason;
    return r->verdict;
}

static int doubt(PngReader *r)
{
    r->verdict = PNG_DOUBT;
    return r->verdict;
}

bool png_reader_is_png(const PngReader &r)
{
    return r.verdict != PNG_DOUBT || r.header_done;
}

const char *png_reader_reason(const PngReader &r)
{
    return r.reason ? r.reason : "";
}

// ---- Sizes -------------------------------------------------------------------------

// The decoder's first guess at the inflated size: its output buffer
// starts there and doubles while it stays within an unsigned int.
static uint64_t first_guess(const PngReader &r)
{
    const uint64_t per_line = ((uint64_t)r.width * (uint64_t)r.depth + 7) / 8;
    return per_line * r.height * (uint64_t)r.channels + r.height;
}

static uint64_t output_limit(uint64_t guess)
{
    uint64_t limit = guess;
    while (limit <= UINT_MAX / 2) limit *= 2;
    return limit;
}

bool png_sizes_doubtful(const PngReader &r)
{
    const uint64_t sample_bytes = r.depth == DEPTH_16 ? 2 : 1;
    return (uint64_t)r.width * r.height * 4 * sample_bytes > (uint64_t)INT_MAX || first_guess(r) > (uint64_t)INT_MAX;
}

static void plan_passes(PngReader *r)
{
    r->pass_count = 0;
    for (int p = 0; p < (r->interlace ? PNG_PASSES : 1); p++) {
        const int32_t x0 = r->interlace ? ADAM7_X0[p] : 0, y0 = r->interlace ? ADAM7_Y0[p] : 0;
        const int32_t dx = r->interlace ? ADAM7_DX[p] : 1, dy = r->interlace ? ADAM7_DY[p] : 1;
        const uint32_t w = (uint32_t)(((int64_t)r->width - x0 + dx - 1) / dx);
        const uint32_t h = (uint32_t)(((int64_t)r->height - y0 + dy - 1) / dy);
        if (w == 0 || h == 0) continue;
        PngPass &pass = r->passes[r->pass_count++];
        pass = PngPass{x0, y0, dx, dy, w, h, ((uint64_t)r->channels * w * (uint64_t)r->depth + 7) >> 3};
    }
    r->bpp = r->depth < 8 ? 1 : r->channels * (r->depth / 8);
}

// ---- Chunks ------------------------------------------------------------------------

static int read_ihdr(PngReader *r, uint32_t length)
{
    if (r->header_done) return fail(r, "multiple IHDR");
    r->header_done = true;
    if (length != IHDR_LENGTH) return fail(r, "bad IHDR len");
    PngStream *s = &r->s;
    r->width = png_get32be(s);
    r->height = png_get32be(s);
    if (r->height > MAX_SIDE) return fail(r, "too large");
    if (r->width > MAX_SIDE) return fail(r, "too large");
    r->depth = png_get8(s);
    if (r->depth != 1 && r->depth != 2 && r->depth != 4 && r->depth != 8 && r->depth != DEPTH_16)
        return fail(r, "1/2/4/8/16-bit only");
    r->colour = png_get8(s);
    if (r->colour > 6) return fail(r, "bad ctype");
    if (r->colour == PALETTE_COLOUR && r->depth == DEPTH_16) return fail(r, "bad ctype");
    if (r->colour != PALETTE_COLOUR && (r->colour & 1)) return fail(r, "bad ctype");
    if (png_get8(s)) return fail(r, "bad comp method");
    if (png_get8(s)) return fail(r, "bad filter method");
    r->interlace = png_get8(s);
    if (r->interlace > 1) return fail(r, "bad interlace method");
    if (!r->width || !r->height) return fail(r, "0-pixel image");
    if (r->colour == PALETTE_COLOUR) {
        r->channels = 1;
        if (MAX_SAMPLES / r->width / 4 < r->height) return fail(r, "too large");
    } else {
        r->channels = (r->colour & COLOUR_HAS_RGB ? 3 : 1) + (r->colour & COLOUR_HAS_ALPHA ? 1 : 0);
        if (MAX_SAMPLES / r->width / (uint32_t)r->channels < r->height) return fail(r, "too large");
    }
    return PNG_PENDING;
}

static int read_plte(PngReader *r, uint32_t length)
{
    if (length > MAX_PLTE_BYTES) return fail(r, "invalid PLTE");
    r->palette_len = length / 3;
    if (r->palette_len * 3 != length) return fail(r, "invalid PLTE");
    if (r->palette_len > r->palette_filled) r->palette_filled = r->palette_len;
    for (uint32_t i = 0; i < r->palette_len; i++) {
        r->palette[i * 4 + 0] = (unsigned char)png_get8(&r->s);
        r->palette[i * 4 + 1] = (unsigned char)png_get8(&r->s);
        r->palette[i * 4 + 2] = (unsigned char)png_get8(&r->s);
        r->palette[i * 4 + 3] = 255;
    }
    // The decoder expands the palette after the last chunk: a PLTE among
    // or after the IDAT chunks recolours the rows already handed out.
    if (r->idat_total > 0) r->late_palette = true;
    return PNG_PENDING;
}

static int read_trns(PngReader *r, uint32_t length)
{
    if (r->idat_total > 0) return fail(r, "tRNS after IDAT");
    if (r->colour == PALETTE_COLOUR) {
        if (r->palette_len == 0) return fail(r, "tRNS before PLTE");
        if (length > r->palette_len) return fail(r, "bad tRNS len");
        for (uint32_t i = 0; i < length; i++) r->palette[i * 4 + 3] = (unsigned char)png_get8(&r->s);
        return PNG_PENDING;
    }
    if (!(r->channels & 1)) return fail(r, "tRNS with alpha");
    if (length != (uint32_t)r->channels * 2) return fail(r, "bad tRNS len");
    r->has_trans = true;
    for (int k = 0; k < r->channels; k++) {
        const uint32_t v = png_get16be(&r->s);
        if (r->depth == DEPTH_16)
            r->trans16[k] = (uint16_t)v;
        else
            r->trans8[k] = (unsigned char)((v & LOW_BYTE) * DEPTH_SCALE[r->depth]);
    }
    return PNG_PENDING;
}

// Gathers a chunk's data whole, as the decoder does, for its own inflate.
static int gather_idat(PngReader *r, uint32_t length)
{
    const uint64_t need = r->idat_total;
    if (need > r->idat_cap) {
        uint64_t cap = r->idat_cap ? r->idat_cap : 4096;
        while (cap < need) cap *= 2;
        unsigned char *p = (unsigned char *)std::realloc(r->idat, (size_t)cap);
        if (!p) return fail(r, "outofmem");
        r->idat = p;
        r->idat_cap = (uint32_t)cap;
    }
    uint32_t at = r->idat_total - length, left = length;
    while (left > 0) {
        const unsigned char *p;
        const size_t n = png_data_peek(&r->s, &p, left);
        if (n == 0) return fail(r, "outofdata");
        std::memcpy(r->idat + at, p, n);
        png_data_done(&r->s, n);
        at += (uint32_t)n;
        left -= (uint32_t)n;
    }
    return PNG_PENDING;
}

static int read_idat(PngReader *r, uint32_t length)
{
    if (r->colour == PALETTE_COLOUR && r->palette_len == 0) return fail(r, "no PLTE");
    // The decoder's running total is an int; it gives up without a reason.
    if ((int32_t)(r->idat_total + length) < (int32_t)r->idat_total) return fail(r, nullptr);
    r->idat_total += length;
    if (length == 0) return PNG_PENDING;
    if (r->data_in_memory) return gather_idat(r, length);
    r->in_idat = true;
    r->idat_left = length;
    return PNG_PENDING;
}

static int read_unknown(PngReader *r, uint32_t type, uint32_t length)
{
    if ((type & ANCILLARY_BIT) == 0) {
        // The decoder names the chunk, whatever its bytes (a 0 ends the text).
        for (int i = 0; i < 4; i++) r->reason_text[i] = (char)(type >> (24 - 8 * i));
        std::memcpy(r->reason_text + 4, UNKNOWN_CHUNK_TEXT, sizeof UNKNOWN_CHUNK_TEXT);
        return fail(r, r->reason_text);
    }
    png_skip(&r->s, (int)length);
    return PNG_PENDING;
}

// Reads chunks until image data is to be read (in_idat), IEND, or a failure.
static int next_chunks(PngReader *r)
{
    while (r->verdict == PNG_PENDING) {
        const uint32_t length = png_get32be(&r->s);
        const uint32_t type = png_get32be(&r->s);
        int v = PNG_PENDING;
        if (type == CHUNK_CGBI) {
            r->cgbi = true;
            if (r->idat_total > 0 && !r->data_in_memory) r->late_cgbi = true;
            png_skip(&r->s, (int)length);
        } else if (type == CHUNK_IHDR) {
            v = read_ihdr(r, length);
        } else if (!r->header_done) {
            v = fail(r, "first not IHDR");
        } else if (type == CHUNK_PLTE) {
            v = read_plte(r, length);
        } else if (type == CHUNK_TRNS) {
            v = read_trns(r, length);
        } else if (type == CHUNK_IDAT) {
            v = read_idat(r, length);
            if (v == PNG_PENDING && r->in_idat) return v;
        } else if (type == CHUNK_IEND) {
            if (r->idat_total == 0) return fail(r, "no IDAT");
            r->iend = true;
            return PNG_PENDING;
        } else {
            v = read_unknown(r, type, length);
        }
        if (v != PNG_PENDING) return v;
        png_get32be(&r->s); // the CRC, unchecked
    }
    return r->verdict;
}

// The next bytes of image data, or 0 when there are none (IEND, or the
// chunks failed).
static size_t data_peek(PngReader *r, const unsigned char **p)
{
    while (!r->in_idat || r->idat_left == 0) {
        if (r->in_idat) {
            r->in_idat = false;
            png_get32be(&r->s); // the CRC
        }
        if (r->iend || r->verdict != PNG_PENDING || next_chunks(r) != PNG_PENDING || r->iend) return 0;
    }
    const size_t n = png_data_peek(&r->s, p, r->idat_left);
    if (n == 0) {
        fail(r, "outofdata");
        return 0;
    }
    return n;
}

static void data_done(PngReader *r, size_t n)
{
    png_data_done(&r->s, n);
    r->idat_left -= (uint32_t)n;
}

// ---- Inflating ---------------------------------------------------------------------

// The decoder checks the zlib header its own way (any window size).
static const char *zlib_header_error(const unsigned char *h)
{
    const int cmf = h[0], flg = h[1];
    if ((cmf * 256 + flg) % ZLIB_CHECK != 0) return "bad zlib header";
    if (flg & ZLIB_DICTIONARY) return "no preset dict";
    if ((cmf & ZLIB_METHOD_MASK) != ZLIB_DEFLATE) return "bad compression";
    return nullptr;
}

static bool inflate_started(PngReader *r)
{
    if (r->z_ready) return true;
    if (!r->cgbi) {
        while (r->zhead_len < ZLIB_HEADER_BYTES) {
            const unsigned char *p;
            if (data_peek(r, &p) == 0) return false;
            r->zhead[r->zhead_len++] = *p;
            data_done(r, 1);
        }
        if (const char *e = zlib_header_error(r->zhead)) {
            r->zlib_error = e;
            return false;
        }
    }
    r->isal = (inflate_state *)std::malloc(sizeof(inflate_state));
    if (!r->isal) {
        r->z_doubt = true;
        return false;
    }
    isal_inflate_init(r->isal);
    r->isal->crc_flag = ISAL_DEFLATE;
    r->z_ready = true;
    return true;
}

// More inflated bytes at raw + raw_len; false when the stream gives no more
// (its end, a failure, or no more data).
static bool inflate_more(PngReader *r)
{
    if (r->mem_raw || r->z_end || r->z_doubt || r->zlib_error || r->verdict != PNG_PENDING) return false;
    if (!inflate_started(r)) return false;
    if (r->raw_pos > 0) {
        std::memmove(r->raw, r->raw + r->raw_pos, r->raw_len - r->raw_pos);
        r->raw_len -= r->raw_pos;
        r->raw_pos = 0;
    }
    inflate_state *z = r->isal;
    z->next_out = r->raw + r->raw_len;
    z->avail_out = (uint32_t)(r->raw_cap - r->raw_len);
    const uint32_t room = z->avail_out;
    while (z->avail_out > 0) {
        const unsigned char *p;
        const size_t n = data_peek(r, &p);
        if (n == 0) break;
        z->next_in = (uint8_t *)p;
        z->avail_in = (uint32_t)n;
        const int ret = isal_inflate(z);
        // After a failure ISA-L may leave avail_in wrapped below zero.
        const size_t taken = z->avail_in > n ? n : n - z->avail_in;
        if (z->block_state == ISAL_BLOCK_FINISH) {
            // Whole bytes still in the bit buffer lie after the stream's end:
            // they go back to the data.
            const size_t held = (size_t)(z->read_in_length > 0 ? z->read_in_length / 8 : 0);
            if (z->tmp_in_size != 0 || held > taken) {
                data_done(r, taken);
                r->z_doubt = true;
                break;
            }
            data_done(r, taken - held);
            r->z_end = true;
            break;
        }
        data_done(r, taken);
        if (ret != ISAL_DECOMP_OK) {
            r->z_doubt = true;
            break;
        }
    }
    const size_t made = room - z->avail_out;
    r->raw_len += made;
    r->inflated += made;
    if (r->inflated > r->out_limit) {
        // The decoder's output buffer cannot grow that far.
        r->zlib_error = "outofmem";
        r->raw_len = r->raw_pos;
        return false;
    }
    return made > 0;
}

// ---- Rows --------------------------------------------------------------------------

static void stop_rows(PngReader *r, const char *error)
{
    r->rows_stopped = true;
    if (error) {
        r->row_error = error;
        r->row_error_pass = r->pass;
    }
}

const unsigned char *png_reader_row(PngReader *r)
{
    if (r->rows_stopped || r->pass >= r->pass_count || r->verdict != PNG_PENDING) return nullptr;
    const PngPass &pass = r->passes[r->pass];
    const size_t need = 1 + (size_t)pass.row_bytes;
    while (r->raw_len - r->raw_pos < need) {
        if (!inflate_more(r)) {
            stop_rows(r, nullptr);
            return nullptr;
        }
    }
    const unsigned char *raw = r->raw + r->raw_pos;
    const int filter = raw[0];
    if (filter > PNG_FILTER_LAST) {
        stop_rows(r, "invalid filter");
        return nullptr;
    }
    // Below 8 bits the decoder unpacks a row in place, which needs it to
    // take no more bytes than pixels (it refuses RGB and RGBA of 4 bits).
    if (r->depth < 8 && pass.row_bytes > pass.width) {
        stop_rows(r, "invalid width");
        return nullptr;
    }
    const unsigned char *prior = r->row == 0 ? r->zero : r->prior;
    png_unfilter_row(filter, raw + 1, prior, r->cur, (size_t)pass.row_bytes, r->bpp);
    r->raw_pos += need;
    unsigned char *row = r->cur;
    r->cur = r->prior;
    r->prior = row;
    if (++r->row == pass.height) {
        r->row = 0;
        r->pass++;
    }
    return row;
}

// ---- Verdict -----------------------------------------------------------------------

// The rest of the stream and of the chunks, as the decoder reads them.
static void read_to_end(PngReader *r)
{
    if (!r->mem_raw) {
        // Inflated bytes beyond the rows are counted, not kept.
        while (r->verdict == PNG_PENDING) {
            r->raw_pos = r->raw_len = 0;
            if (!inflate_more(r)) break;
        }
        while (r->verdict == PNG_PENDING && !r->iend) {
            const unsigned char *p;
            const size_t n = data_peek(r, &p);
            if (n == 0) break;
            if (r->z_end) r->after_end += n;
            data_done(r, n);
        }
    }
}

static int rows_verdict(PngReader *r)
{
    uint64_t need = 0;
    for (int p = 0; p < r->pass_count; p++) {
        need += (r->passes[p].row_bytes + 1) * r->passes[p].height;
        // Each pass first makes sure of its bytes, then reads its rows.
        if (r->row_error && r->row_error_pass < p) break;
        if (r->inflated < need) return fail(r, "not enough pixels");
    }
    if (r->row_error) return fail(r, r->row_error);
    if (r->pass < r->pass_count) return doubt(r); // rows left unread
    r->verdict = PNG_OK;
    return PNG_OK;
}

int png_reader_finish(PngReader *r)
{
    if (r->verdict != PNG_PENDING) return r->verdict;
    read_to_end(r);
    if (r->verdict != PNG_PENDING) return r->verdict;
    // The decoder reads CgBI files without the zlib header, and can swap
    // their colours (off by default); they go to it.
    if ((r->cgbi && r->colour != PALETTE_COLOUR) || r->late_cgbi) return doubt(r);
    if (!r->mem_raw) {
        if (!r->cgbi && r->idat_total <= (uint32_t)ZLIB_HEADER_BYTES) return fail(r, "bad zlib header");
        if (r->zlib_error) return fail(r, r->zlib_error);
        if (r->z_doubt || !r->z_end || r->after_end < SAFE_TAIL_BYTES) return doubt(r);
    }
    return rows_verdict(r);
}

// ---- The decoder's own inflate -------------------------------------------------------

// The decoder's inflate over the whole IDAT data, into zeroed buffers
// grown as its own buffer grows (a stream that copies from distance 0
// reads the buffer's bytes: zeros here, never stale memory).
static int inflate_in_memory(PngReader *r)
{
    uint64_t size = first_guess(*r);
    for (;;) {
        if (size > (uint64_t)INT_MAX - PNG_ROW_PADDING) return fail(r, "outofmem");
        unsigned char *out = (unsigned char *)std::calloc((size_t)size + PNG_ROW_PADDING, 1);
        if (!out) return fail(r, "outofmem");
        stb_clear_failure_reason();
        const int n = r->cgbi ? stbi_zlib_decode_noheader_buffer((char *)out, (int)size, (const char *)r->idat,
                                                                 (int)r->idat_total)
                              : stbi_zlib_decode_buffer((char *)out, (int)size, (const char *)r->idat,
                                                        (int)r->idat_total);
        if (n >= 0) {
            r->mem_raw = out;
            r->raw = out;
            r->raw_pos = 0;
            r->raw_len = (size_t)n;
            r->inflated = (uint64_t)n;
            return PNG_PENDING;
        }
        std::free(out);
        const char *reason = stbi_failure_reason();
        if (!reason || std::strcmp(reason, "output buffer limit") != 0) return fail(r, reason);
        if (size > UINT_MAX / 2) return fail(r, "outofmem");
        size *= 2;
    }
}

// ---- Opening -----------------------------------------------------------------------

static int prepare_rows(PngReader *r)
{
    plan_passes(r);
    uint64_t longest = 0;
    for (int p = 0; p < r->pass_count; p++)
        if (r->passes[p].row_bytes > longest) longest = r->passes[p].row_bytes;
    const size_t row = (size_t)longest + PNG_ROW_PADDING;
    r->prior = (unsigned char *)std::malloc(row);
    r->cur = (unsigned char *)std::malloc(row);
    r->zero = (unsigned char *)std::calloc(row, 1);
    if (!r->prior || !r->cur || !r->zero) return doubt(r);
    std::memset(r->prior, 0, row);
    std::memset(r->cur, 0, row);
    if (r->data_in_memory) return inflate_in_memory(r);
    r->raw_cap = 2 * (size_t)(longest + 1) > RAW_MIN ? 2 * (size_t)(longest + 1) : RAW_MIN;
    r->raw = (unsigned char *)std::calloc(r->raw_cap + PNG_ROW_PADDING, 1);
    if (!r->raw) return doubt(r);
    return PNG_PENDING;
}

int png_reader_begin(PngReader *r, FILE *f, bool data_in_memory)
{
    std::memset(r, 0, sizeof *r);
    r->verdict = PNG_PENDING;
    r->data_in_memory = data_in_memory;
    // Entries no PLTE fills are opaque black (the decoder's are whatever its
    // stack held).
    for (int i = 0; i < PNG_PALETTE_ENTRIES; i++) r->palette[i * 4 + 3] = 255;
    if (!png_stream_open(&r->s, f)) return doubt(r);
    for (unsigned char b : SIGNATURE)
        if (png_get8(&r->s) != b) return doubt(r);
    if (next_chunks(r) != PNG_PENDING) return r->verdict;
    if (png_sizes_doubtful(*r)) return doubt(r);
    r->out_limit = output_limit(first_guess(*r));
    return prepare_rows(r);
}

void png_reader_end(PngReader *r)
{
    std::free(r->isal);
    r->isal = nullptr;
    r->z_ready = false;
    png_stream_close(&r->s);
    std::free(r->idat);
    std::free(r->prior);
    std::free(r->cur);
    std::free(r->zero);
    if (r->raw != r->mem_raw) std::free(r->raw);
    std::free(r->mem_raw);
    r->idat = r->prior = r->cur = r->zero = r->raw = r->mem_raw = nullptr;
}
