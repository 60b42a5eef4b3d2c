// The library's PNG reader: the rules of the decoder (stb_image 2.27) for
// what a PNG file is, followed to the letter (which chunks it accepts, in
// which order, what it ignores, what it refuses and with which reason),
// with ISA-L's inflate (igzip), the filters undone by the kernels of png_unfilter.h
// and the samples turned into RGBA8 exactly as the decoder turns them. It
// reads the open file as the decoder does (png_stream.h), a block at a
// time, and hands out the image a row at a time: the whole decoded image
// is never held unless the caller keeps it.
//
// Where the decoder's outcome cannot be known from ISA-L's (ISA-L refuses
// some streams the decoder reads, such as distance codes 30 and 31, and the
// decoder reads a damaged stream's last bits its own way), the verdict is
// PNG_DOUBT: only the decoder's own inflate can tell. ISA-L refuses every
// stream the decoder refuses or reads to other bytes (length symbols 286
// and 287, code lengths past the symbols, codewords an incomplete code
// leaves out), so a stream it inflates to its end, with whole bytes after
// that end, is the decoder's.
//
// Use: png_reader_begin; png_reader_row for each row of each interlace
// pass in turn (png_reader_pass says which); png_reader_finish; then
// png_reader_end. The reader keeps no state outside its record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "io/png/png_stream.h"

enum PngVerdict {
    PNG_DOUBT = -1,  // the decoder alone knows
    PNG_FAILED = 0,  // the decoder refuses the file, with reason
    PNG_OK = 1,      // the decoder decodes it, to these pixels
    PNG_PENDING = 2, // not decided yet
};

// The decoder's palette: 256 entries of R, G, B, A.
constexpr int PNG_PALETTE_ENTRIES = 256;
constexpr int PNG_PALETTE_BYTES = PNG_PALETTE_ENTRIES * 4;
// Interlace passes of the Adam7 scheme.
constexpr int PNG_PASSES = 7;
// The longest reason, "XXXX PNG chunk not known".
constexpr size_t PNG_REASON_TEXT = 32;

// One interlace pass (the whole image when not interlaced), as the decoder
// lays it out: its size in pixels and the bytes of one row after its
// filter byte. Passes of no pixels are left out, as the decoder skips them.
struct PngPass {
    int32_t x0, y0, dx, dy; // where its pixels lie in the image
    uint32_t width, height;
    uint64_t row_bytes;
};

struct PngReader {
    PngStream s;
    // IHDR
    uint32_t width, height;
    int depth, colour, interlace;
    int channels;      // samples of a pixel in the data (1 for a palette index)
    bool header_done;  // IHDR read and checked
    bool cgbi;         // the decoder then reads the zlib data without its header
    // PLTE and tRNS, held as the decoder holds them
    unsigned char palette[PNG_PALETTE_BYTES];
    uint32_t palette_len;
    uint32_t palette_filled; // entries any PLTE wrote: the longest PLTE's
    bool has_trans;
    uint16_t trans16[3];
    unsigned char trans8[3];
    bool late_palette; // a PLTE after the image data began
    bool late_cgbi;    // a CgBI chunk after the image data began
    // IDAT
    uint32_t idat_total; // data bytes of every IDAT so far (the decoder's ioff)
    uint32_t idat_left;  // of the current IDAT chunk
    bool in_idat;
    bool iend;           // IEND reached
    bool data_in_memory; // the IDAT data is gathered whole for the decoder's inflate
    unsigned char *idat; // that data (idat_total bytes)
    uint32_t idat_cap;
    // the zlib stream: its two header bytes, then raw deflate data
    int zhead_len;
    unsigned char zhead[2];
    struct inflate_state *isal; // ISA-L's inflate, once begun
    bool z_ready, z_end, z_doubt;
    // a failure of the inflate stage: the decoder inflates before anything
    // else, so this reason goes before every row's
    const char *zlib_error;
    uint64_t after_end; // data bytes after the end of the deflate stream
    uint64_t inflated;  // bytes the stream has given
    uint64_t out_limit; // the most the decoder's output buffer grows to
    // raw rows: inflated bytes not yet taken, in raw[raw_pos, raw_len)
    unsigned char *raw;
    size_t raw_cap, raw_pos, raw_len;
    unsigned char *mem_raw; // the decoder's inflate output, when data_in_memory
    unsigned char *prior, *cur; // unfiltered rows (padded)
    unsigned char *zero;        // the row above the first of a pass
    // the rows handed out
    PngPass passes[PNG_PASSES];
    int pass_count, pass;
    uint32_t row;
    int bpp;
    // the first error in the rows, and its pass
    const char *row_error;
    int row_error_pass;
    bool rows_stopped;
    // the verdict on the chunks
    int verdict;
    const char *reason;
    char reason_text[PNG_REASON_TEXT];
};

// Reads the signature and the chunks up to the image data. PNG_PENDING with
// the header known when the rows may be read; otherwise the verdict. 0 from
// png_reader_taken when the file is no PNG at all.
int png_reader_begin(PngReader *r, FILE *f, bool data_in_memory);
bool png_reader_is_png(const PngReader &r);

// The next row of the current pass, unfiltered (row_bytes bytes); null when
// the rows end early (the verdict of png_reader_finish says why).
const unsigned char *png_reader_row(PngReader *r);

// Reads the rest of the file as the decoder would and gives the verdict:
// PNG_OK when every row was handed out and the file is sound.
int png_reader_finish(PngReader *r);

// The reason of a PNG_FAILED verdict ("" when the decoder gives none).
const char *png_reader_reason(const PngReader &r);

void png_reader_end(PngReader *r);

// Sizes the reader leaves to the decoder: the decoder's own int-sized
// buffers would overflow or fail.
bool png_sizes_doubtful(const PngReader &r);
