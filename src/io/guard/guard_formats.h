// The checks before decoding, one format at a time. Each format's header is
// read into a small record, the way the decoder reads it; a pure function
// then decides on that record (the decoder's limits, its known holes)
// whether the file passes, is refused, or needs a look at its pixel data,
// and the format's guard makes that look. Where the decoder itself refuses
// a file, the check lets it through so that the decoder's reason stands.
// The decisions are declared here so that tests can hand them records.
#pragma once

#include <climits>
#include <cstdint>

#include "io/guard/decode_guard.h"
#include "io/guard/guard_reader.h"

// The decoder's default limit on a side.
static const int64_t DECODER_MAX_SIDE = 1 << 24;
// The decoder's buffers are sized in int: a larger byte count is refused by
// the decoder itself.
static const int64_t DECODER_MAX_BYTES = INT_MAX;

// ---- Decisions -----------------------------------------------------------------

// What a header decides beyond a plain verdict: which look at the pixel data
// settles the file.
enum DataCheck {
    DATA_NONE,       // the verdict stands
    DATA_PRESENT,    // after skipping `skip` bytes, `need` bytes must follow
    DATA_HDR_RUNS,   // the run-length scanlines must be sound
    DATA_BMP_INDICES, // after skipping `skip` bytes, every index must lie in the palette
    DATA_SIZE         // when `need` bytes follow `skip` bytes, refused for its size
};

struct Decision {
    GuardVerdict verdict;
    DataCheck check;
    int64_t skip, need;
    Size size; // the image's size, for DATA_SIZE
};

inline Decision pass()
{
    return Decision{GuardVerdict{nullptr, Size{0, 0}}, DATA_NONE, 0, 0, Size{0, 0}};
}

inline Decision refuse(const char *reason)
{
    Decision d = pass();
    d.verdict.reason = reason;
    return d;
}

inline Decision look_at(DataCheck check, int64_t skip_bytes, int64_t need_bytes)
{
    Decision d = pass();
    d.check = check;
    d.skip = skip_bytes;
    d.need = need_bytes;
    return d;
}

// The verdict after the look that d asks for, where that look is one every
// format shares (DATA_NONE, DATA_PRESENT, DATA_SIZE); the format's own looks
// (DATA_HDR_RUNS, DATA_BMP_INDICES) are its guard's to make.
GuardVerdict check_data(GuardReader *r, const Decision &d);

// ---- PNM -----------------------------------------------------------------------

// A header number the decoder would overflow on.
static const int64_t PNM_OVERFLOW = -1;

struct PnmHeader {
    int channels;
    int64_t width, height, max_value; // PNM_OVERFLOW when past int
};

Decision decide_pnm(const PnmHeader &h);
GuardVerdict guard_pnm(GuardReader *r);

// ---- HDR -----------------------------------------------------------------------

struct HdrHeader {
    bool rgbe;       // the one pixel format the decoder reads
    bool sizes_read; // a "-Y h +X w" line, the one orientation it reads
    long long width, height;
};

Decision decide_hdr(const HdrHeader &h);
GuardVerdict guard_hdr(GuardReader *r);

// ---- TGA -----------------------------------------------------------------------

struct TgaHeader {
    int id_length, indexed, type;
    int palette_start, palette_length, palette_bits;
    int64_t width, height;
    int bits;
};

Decision decide_tga(const TgaHeader &h, int32_t max_side);
GuardVerdict guard_tga(GuardReader *r, int32_t max_side);

// ---- BMP -----------------------------------------------------------------------

struct BmpHeader {
    int32_t offset, header_size;
    int64_t width, height; // height as stored (negative: top-down)
    int planes, bits;
    int32_t compression;
};

Decision decide_bmp(const BmpHeader &h, int32_t max_side);
GuardVerdict guard_bmp(GuardReader *r, int32_t max_side);

// ---- JPEG ----------------------------------------------------------------------

// Codes of 1 to this many bits.
static const int JPEG_MAX_CODE_LENGTH = 16;

// The start of one Huffman table of a DHT segment.
struct HuffmanTableHeader {
    int table_class, id;
    int counts[JPEG_MAX_CODE_LENGTH]; // codes of each length, from 1 bit
};

// True for a table the decoder refuses itself (then its reason stands).
bool huffman_table_refused_by_decoder(const HuffmanTableHeader &t);
// The reason a table the decoder accepts is refused for; null when it passes.
const char *decide_huffman_table(const HuffmanTableHeader &t);
// The tables a JPEG scan reads, and those defined when it starts. The
// decoder keeps its quantisation and Huffman tables in memory it never
// clears, so a scan that reads a table the file never defined turns heap
// bytes into pixels (or into table lookups past its arrays).
constexpr int JPEG_TABLE_SLOTS = 4;
struct JpegScanComponent {
    int quant;            // the frame's quantisation table of the component
    int dc_table, ac_table; // the scan's Huffman tables for it
};
struct JpegTablesDefined {
    bool quant[JPEG_TABLE_SLOTS], dc[JPEG_TABLE_SLOTS], ac[JPEG_TABLE_SLOTS];
};
// One component of one scan: which tables it reads depends on the scan's
// kind. A sequential scan dequantises as it decodes and reads both Huffman
// tables; a progressive scan reads the DC table in its first DC pass, the
// AC table in AC passes, and dequantises only at the end (decide_jpeg_end).
// The table indices are 0..3 (the decoder refuses others first).
const char *decide_jpeg_scan_component(const JpegScanComponent &c, const JpegTablesDefined &t, bool progressive,
                                       int spectral_start, int approx_high);
// At the end of a progressive image: every component's quantisation table
// defined, and every component given its first DC pass, which is what
// clears its coefficients (otherwise they are heap bytes).
const char *decide_jpeg_end(int quant_table, bool had_first_dc_pass, const JpegTablesDefined &t);
GuardVerdict guard_jpeg(GuardReader *r);
