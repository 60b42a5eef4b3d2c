// The checks before decoding: the file's format as the decoder will class
// it, that format's guard (io/guard/<format>.cpp), and the look at the pixel
// data that the formats share. Each guard reads its header into a record,
// decides on the record (io/guard/guard_formats.h), then reads on where the
// decision asks.
#include "io/guard/decode_guard.h"

#include <cstdio>
#include <cstdlib>

#include "io/guard/guard_formats.h"
#include "io/stb_bridge.h"

GuardVerdict check_data(GuardReader *r, const Decision &d)
{
    GuardVerdict v = d.verdict;
    switch (d.check) {
    case DATA_PRESENT:
        skip(r, d.skip);
        if (!skip(r, d.need)) v.reason = "outofdata";
        break;
    case DATA_SIZE:
        skip(r, d.skip);
        if (skip(r, d.need)) v.too_large = d.size;
        break;
    case DATA_NONE: break;
    // Looks that need the format's record: made by the format's guard.
    case DATA_HDR_RUNS:
    case DATA_BMP_INDICES: break;
    }
    return v;
}

static GuardVerdict check(GuardReader *r, DecoderFormat format, int32_t max_side)
{
    switch (format) {
    case DECODER_PNM: return guard_pnm(r);
    case DECODER_HDR: return guard_hdr(r);
    case DECODER_TGA: return guard_tga(r, max_side);
    case DECODER_BMP: return guard_bmp(r, max_side);
    case DECODER_JPEG: return guard_jpeg(r);
    default: return pass().verdict;
    }
}

GuardVerdict decode_guard(FILE *f, int32_t max_side)
{
    const DecoderFormat format = stb_decoder_format(f);
    if (std::fseek(f, 0, SEEK_SET) != 0) return GuardVerdict{"can't fseek", Size{0, 0}};
    // The other decoders have no hole known to be reached with four channels.
    if (format != DECODER_PNM && format != DECODER_HDR && format != DECODER_TGA && format != DECODER_BMP &&
        format != DECODER_JPEG)
        return pass().verdict;
    // The reader's block is too large for some threads' stacks.
    GuardReader *r = (GuardReader *)std::malloc(sizeof(GuardReader));
    if (!r) return GuardVerdict{"outofmem", Size{0, 0}};
    start_reader(r, f);
    const GuardVerdict verdict = check(r, format, max_side);
    std::free(r);
    return verdict;
}
