// The resampler fed row by row gives resize_image's bytes: rows arrive top
// to bottom, the rows no output row reads are never written (their slots
// keep whatever was there), and the ring of six rows holds all that the
// next output row needs, for reductions, enlargements and everything
// between.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "pixels/resample.h"
#include "pixels/row_resampler.h"
#include "support.h"

namespace {

struct SizeCase {
    int sw, sh, dw, dh;
};

// Feeds p's rows to a row resampler; unread rows are never written, and a
// row that is written gets stale bytes first so that a missing write shows.
Pixels resize_by_rows(const Pixels &p, int dw, int dh, int *rows_read)
{
    RowResampler r;
    EXPECT_EQ(row_resampler_begin(&r, p.w, p.h, dw, dh), 1);
    *rows_read = 0;
    for (int y = 0; y < p.h; y++) {
        unsigned char *slot = row_resampler_slot(&r);
        EXPECT_EQ(slot != nullptr, row_resampler_reads(r, y)) << "row " << y;
        if (slot) {
            std::memcpy(slot, p.at(0, y), (size_t)p.w * 4);
            ++*rows_read;
        }
        row_resampler_push(&r);
    }
    Image out = row_resampler_finish(&r);
    Pixels result = from_image(out);
    std::free(out.pixels);
    return result;
}

TEST(RowResampler, SameBytesAsTheWholeImage)
{
    const SizeCase cases[] = {
        {1, 1, 1, 1},       {1, 1, 7, 5},       {2, 1, 3, 1},     {5, 4, 5, 4},      {17, 13, 3, 2},
        {64, 48, 64, 48},   {640, 480, 100, 75}, {480, 640, 7, 300}, {3, 400, 3, 9},  {300, 7, 256, 256},
        {1000, 999, 1, 1},  {37, 1000, 20, 41},  {9, 10, 40, 43},  {2048, 12, 16, 1}, {6, 6, 4096, 1},
    };
    for (const SizeCase &c : cases) {
        const Pixels p = gradient(c.sw, c.sh);
        Image whole = resize_image(Image{p.w, p.h, const_cast<uint8_t *>(p.rgba.data())}, c.dw, c.dh);
        ASSERT_NE(whole.pixels, nullptr);
        int rows_read = 0;
        const Pixels rows = resize_by_rows(p, c.dw, c.dh, &rows_read);
        EXPECT_EQ(0, std::memcmp(rows.rgba.data(), whole.pixels, rows.rgba.size()))
            << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh;
        std::free(whole.pixels);
    }
}

// A 12-fold reduction reads six of every twelve rows, and never more than
// the six-row ring.
TEST(RowResampler, ReadsOnlyTheRowsTheKernelReaches)
{
    const Pixels p = gradient(24, 1200);
    int rows_read = 0;
    resize_by_rows(p, 2, 100, &rows_read);
    EXPECT_EQ(rows_read, 600);
}

TEST(RowResampler, DiscardFreesAPartialRun)
{
    const Pixels p = gradient(50, 40);
    RowResampler r;
    ASSERT_EQ(row_resampler_begin(&r, p.w, p.h, 10, 8), 1);
    for (int y = 0; y < 13; y++) {
        if (unsigned char *slot = row_resampler_slot(&r)) std::memcpy(slot, p.at(0, y), (size_t)p.w * 4);
        row_resampler_push(&r);
    }
    row_resampler_discard(&r); // the leak checkers see anything left
}

} // namespace
