// The resampler fed row by row. Output row i reads source rows lo_i..hi_i
// (its first and last clamped taps), at most six apart, and both bounds
// grow with i. Once row y has arrived, every output row with hi_i <= y is
// made; the next one then has hi > y, so it reads nothing below y - 5, and
// a ring of six rows holds all it needs. Each output row is made by the
// very code, on the very values, that resize_image uses.
#include "pixels/row_resampler.h"

#include <cstdlib>
#include <cstring>

#include "base/error.h"

static const int CHANNELS = RESAMPLE_CHANNELS;

static unsigned char *ring_row(const RowResampler &r, int32_t y)
{
    return r.ring + (int64_t)(y % ROW_RING) * r.plan.sw * CHANNELS;
}

int row_resampler_begin(RowResampler *r, int32_t sw, int32_t sh, int32_t dw, int32_t dh)
{
    r->ring = nullptr;
    if (!resample_plan_begin(sw, sh, dw, dh, &r->plan, &r->out)) return 0;
    // One block: the ring, the taps of every output row, the read marks.
    const size_t ring_bytes = (size_t)image_bytes(sw, ROW_RING);
    const size_t taps_bytes = (size_t)dh * sizeof(TapSet);
    r->ring = (unsigned char *)std::malloc(ring_bytes + taps_bytes + (size_t)sh);
    if (!r->ring) {
        resample_plan_end(&r->plan);
        std::free(r->out.pixels);
        r->out.pixels = nullptr;
        set_err("out of memory for resize");
        return 0;
    }
    // The ring takes 24 bytes a column, so the taps after it stay aligned
    // for their doubles.
    r->taps = (TapSet *)(r->ring + ring_bytes);
    r->read = r->ring + ring_bytes + taps_bytes;
    std::memset(r->read, 0, (size_t)sh);
    for (int32_t i = 0; i < dh; i++) {
        lanczos_taps(sh, dh, i, &r->taps[i]);
        for (int t = 0; t < r->taps[i].count; t++) r->read[r->taps[i].index[t]] = 1;
    }
    r->next_in = 0;
    r->next_out = 0;
    return 1;
}

bool row_resampler_reads(const RowResampler &r, int32_t y)
{
    return r.read[y] != 0;
}

void row_resampler_columns(const RowResampler &r, unsigned char *used)
{
    std::memset(used, 0, (size_t)r.plan.sw);
    for (int32_t s = 0; s < r.plan.span_count; s++) {
        const ColumnSpan &span = r.plan.spans[s];
        std::memset(used + span.source / CHANNELS, 1, (size_t)(span.count / CHANNELS));
    }
}

unsigned char *row_resampler_slot(RowResampler *r)
{
    if (!r->read[r->next_in]) return nullptr;
    return ring_row(*r, r->next_in);
}

void row_resampler_push(RowResampler *r)
{
    const int32_t arrived = r->next_in++;
    while (r->next_out < r->plan.dh) {
        const TapSet &taps = r->taps[r->next_out];
        if (taps.index[taps.count - 1] > arrived) break;
        const unsigned char *rows[LANCZOS_TAPS];
        for (int t = 0; t < LANCZOS_TAPS; t++) rows[t] = ring_row(*r, taps.index[t]);
        resample_output_row(r->plan, taps, rows, r->out.pixels + (int64_t)r->next_out * r->plan.dw * CHANNELS);
        r->next_out++;
    }
}

Image row_resampler_finish(RowResampler *r)
{
    const Image out = r->out;
    resample_plan_end(&r->plan);
    std::free(r->ring);
    r->ring = nullptr;
    r->out.pixels = nullptr;
    return out;
}

void row_resampler_discard(RowResampler *r)
{
    std::free(row_resampler_finish(r).pixels);
}
