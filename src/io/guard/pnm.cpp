// The check before decoding a binary PGM or PPM: its header as the decoder
// reads it, the decision on it, and the look at the samples.
#include <climits>
#include <cstdint>

#include "io/guard/guard_formats.h"

// Largest sample value of 8-bit and of 16-bit files.
static const int64_t PNM_MAX_8BIT = 255;
static const int64_t PNM_MAX_16BIT = 65535;

static bool pnm_space(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static void pnm_skip_space(GuardReader *r, int *c)
{
    for (;;) {
        while (!at_end(r) && pnm_space(*c)) *c = get8(r);
        if (at_end(r) || *c != '#') return;
        while (!at_end(r) && *c != '\n' && *c != '\r') *c = get8(r);
    }
}

// A decimal header number. The decoder adds digits in a plain int, which
// overflows (undefined behaviour) on a long number; such a number is flagged
// instead.
static int64_t pnm_number(GuardReader *r, int *c)
{
    int64_t value = 0;
    while (!at_end(r) && *c >= '0' && *c <= '9') {
        if (value != PNM_OVERFLOW) value = value * 10 + (*c - '0');
        if (value > INT_MAX) value = PNM_OVERFLOW;
        *c = get8(r);
    }
    return value;
}

static PnmHeader read_pnm_header(GuardReader *r)
{
    PnmHeader h;
    get8(r); // 'P'
    h.channels = get8(r) == '6' ? 3 : 1;
    int c = get8(r);
    pnm_skip_space(r, &c);
    h.width = pnm_number(r, &c);
    pnm_skip_space(r, &c);
    h.height = pnm_number(r, &c);
    pnm_skip_space(r, &c);
    h.max_value = pnm_number(r, &c);
    return h;
}

// Binary PGM and PPM: 16-bit samples are converted as if they were 8-bit and
// then read past their buffer; short pixel data leaves heap bytes behind.
// In the decoder's order: the maximum, then the sizes.
Decision decide_pnm(const PnmHeader &h)
{
    if (h.max_value == PNM_OVERFLOW) return refuse("max value > 65535");
    if (h.max_value > PNM_MAX_16BIT) return pass();
    if (h.width == PNM_OVERFLOW || h.height == PNM_OVERFLOW) return refuse("too large");
    const int64_t sample_bytes = h.max_value > PNM_MAX_8BIT ? 2 : 1;
    const int64_t samples = h.channels * h.width * h.height;
    if (h.width > DECODER_MAX_SIDE || h.height > DECODER_MAX_SIDE || samples * sample_bytes > DECODER_MAX_BYTES)
        return pass();
    if (sample_bytes != 1) return refuse("unsupported bit depth");
    return look_at(DATA_PRESENT, 0, samples);
}

GuardVerdict guard_pnm(GuardReader *r)
{
    return check_data(r, decide_pnm(read_pnm_header(r)));
}
