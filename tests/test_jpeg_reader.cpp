// The JPEG row reader gives exactly the decoder's pixels, or leaves the file
// to the decoder: on generated files of every layout the decoder reads
// (sampling factors, sizes from 1 x 1, restart intervals, standard and
// optimised Huffman tables, qualities 5 to 100, grey, YCbCr and RGB), on
// the kinds it must leave to the decoder, and on damaged files. Each file
// is decoded by the decoder alone, through decode_input and by the reader
// directly (every pixel, and only some rows and columns); see
// fuzz/jpeg_differential.h. Thumbnails made through the reader's rows are
// those of the whole decoded image.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <stb/stb_image.h>

#include "imgthumbnail.h"
#include "jpeg_differential.h"
#include "jpeg_writer.h"
#include "support.h"
#include "thumbnail/aspect.h"
#include "thumbnail/smart_crop.h"

namespace {

// Smooth light, hard edges and fine texture, so that every coefficient
// band carries something.
Pixels photo(int w, int h)
{
    return make_pixels(w, h, [&](int x, int y) {
        const uint32_t n = (uint32_t)(x * 7919 + y * 104729) * 2654435761u;
        const int grain = (int)(n >> 28) - 8;
        const bool disc = (x - w / 3) * (x - w / 3) + (y - h / 2) * (y - h / 2) < (w * h) / 9;
        return std::array<int, 4>{disc ? 230 : (x * 255) / (w > 1 ? w - 1 : 1) + grain,
                                  (y * 255) / (h > 1 ? h - 1 : 1) - grain, ((x / 2 + y / 3) % 4) * 60 + grain, 255};
    });
}

std::vector<uint8_t> encode(const JpegWriterOptions &o, const Pixels &p)
{
    size_t len = 0;
    unsigned char *data = jpeg_writer_encode(&o, p.rgba.data(), &len);
    EXPECT_NE(data, nullptr);
    std::vector<uint8_t> file(data, data + (data ? len : 0));
    std::free(data);
    return file;
}

// Compares the three decodings of file (see jpeg_differential.h), every
// pixel and then a subset; returns whether the reader took it.
bool compare(const std::string &dir, const std::vector<uint8_t> &file, const std::string &what, unsigned seed = 7)
{
    const std::string path = dir + "/input.jpg";
    write_bytes(path, file);
    bool took = false;
    for (const unsigned mask : {0u, seed}) {
        const JpegComparison c = compare_jpeg_decoders(path, file.data(), file.size(), mask);
        EXPECT_TRUE(c.mismatch.empty()) << what << (mask ? " (some pixels wanted)" : "") << ": " << c.mismatch;
        took = c.reader_took;
    }
    return took;
}

struct Layout {
    const char *name;
    int components;
    int h[3], v[3];
};

const Layout LAYOUTS[] = {
    {"grey", 1, {1}, {1}},
    {"grey with factors 2x2", 1, {2}, {2}},
    {"4:4:4", 3, {1, 1, 1}, {1, 1, 1}},
    {"4:2:2", 3, {2, 1, 1}, {1, 1, 1}},
    {"4:4:0", 3, {1, 1, 1}, {2, 1, 1}},
    {"4:2:0", 3, {2, 1, 1}, {2, 1, 1}},
    {"4:1:1", 3, {4, 1, 1}, {1, 1, 1}},
    {"1x4", 3, {1, 1, 1}, {4, 1, 1}},
    {"4x2 luma", 3, {4, 1, 1}, {2, 1, 1}},
    {"3x1 luma", 3, {3, 1, 1}, {1, 1, 1}},
    {"4x4 luma", 3, {4, 1, 1}, {4, 1, 1}},
    {"mixed 2x2, 2x1, 1x2", 3, {2, 2, 1}, {2, 1, 2}},
    {"mixed 4x2, 2x1, 1x1", 3, {4, 2, 1}, {2, 1, 1}},
    {"chroma above luma 1x1, 2x2, 1x1", 3, {1, 2, 1}, {1, 2, 1}},
};

struct Colour {
    const char *name;
    int jfif, adobe, ycbcr;
    unsigned char ids[3];
};

// The three ways the decoder takes three components as R, G, B or as
// YCbCr: by the JFIF segment, by Adobe's transform flag, by the ids.
const Colour COLOURS[] = {
    {"YCbCr with JFIF", 1, JPEG_WRITER_NO_ADOBE, 1, {1, 2, 3}},
    {"RGB by Adobe transform 0", 0, 0, 0, {1, 2, 3}},
    {"RGB by ids R, G, B", 0, JPEG_WRITER_NO_ADOBE, 0, {'R', 'G', 'B'}},
    {"YCbCr without markers", 0, JPEG_WRITER_NO_ADOBE, 1, {1, 2, 3}},
    {"YCbCr by Adobe transform 1", 0, 1, 1, {1, 2, 3}},
};

const int SIZES[][2] = {{1, 1},   {1, 9},   {9, 1},   {2, 2},   {7, 7},   {8, 8},   {16, 16},
                        {17, 13}, {31, 33}, {33, 9},  {65, 40}, {100, 75}, {129, 67}};
const int QUALITIES[] = {5, 30, 75, 90, 100};
const int RESTARTS[] = {0, 1, 3, 0, 2};

JpegWriterOptions options(const Layout &l, int w, int h, int n)
{
    JpegWriterOptions o = jpeg_writer_defaults(w, h);
    o.components = l.components;
    for (int c = 0; c < l.components; c++) {
        o.h[c] = l.h[c];
        o.v[c] = l.v[c];
    }
    const Colour &col = COLOURS[n % (sizeof COLOURS / sizeof COLOURS[0])];
    o.jfif = col.jfif;
    o.adobe_transform = col.adobe;
    o.ycbcr = col.ycbcr;
    std::memcpy(o.ids, col.ids, sizeof col.ids);
    o.quality = QUALITIES[n % (sizeof QUALITIES / sizeof QUALITIES[0])];
    o.restart_interval = RESTARTS[(n / 3) % (sizeof RESTARTS / sizeof RESTARTS[0])];
    o.optimize = (n / 2) % 2;
    return o;
}

std::string describe(const Layout &l, const JpegWriterOptions &o)
{
    return std::string(l.name) + " " + std::to_string(o.width) + "x" + std::to_string(o.height) + " q" +
           std::to_string(o.quality) + " restart " + std::to_string(o.restart_interval) +
           (o.optimize ? " optimised" : " standard tables") + (l.components == 3 ? (o.ycbcr ? " YCbCr" : " RGB") : "");
}

TEST(JpegReader, EveryBaselineLayoutIsReadWithTheDecodersPixels)
{
    const std::string dir = scratch_dir();
    int n = 0;
    for (const Layout &l : LAYOUTS)
        for (const auto &s : SIZES) {
            const JpegWriterOptions o = options(l, s[0], s[1], n++);
            EXPECT_TRUE(compare(dir, encode(o, photo(s[0], s[1])), describe(l, o), (unsigned)n))
                << describe(l, o) << ": the reader gave the file to the decoder";
        }
}

// Every quality and both kinds of table, on the common layout, restarts
// after every MCU.
TEST(JpegReader, QualitiesAndTablesOfEveryKind)
{
    const std::string dir = scratch_dir();
    for (int q = 5; q <= 100; q += 5)
        for (const int optimize : {0, 1}) {
            JpegWriterOptions o = jpeg_writer_defaults(57, 43);
            o.quality = q;
            o.optimize = optimize;
            o.restart_interval = q % 10 ? 1 : 0;
            EXPECT_TRUE(compare(dir, encode(o, photo(57, 43)), describe(LAYOUTS[5], o)));
        }
}

// A file larger than the reader's read buffer, shifted by a comment of
// 0 to 11 bytes: stuffed bytes and restart markers fall across the
// buffer's ends at every place.
TEST(JpegReader, FilesLargerThanTheReadBuffer)
{
    const std::string dir = scratch_dir();
    JpegWriterOptions o = jpeg_writer_defaults(440, 330);
    o.quality = 100;
    o.h[0] = o.v[0] = 1;
    o.restart_interval = 1;
    const std::vector<uint8_t> file = encode(o, photo(440, 330));
    ASSERT_GT(file.size(), (size_t)2 * 65536);
    const size_t COMMENT_HEADER = 4;
    for (size_t shift = 0; shift < 12; shift++) {
        std::vector<uint8_t> comment = {0xFF, 0xFE, 0, (uint8_t)(COMMENT_HEADER - 2 + shift)};
        comment.resize(COMMENT_HEADER + shift, 'x');
        std::vector<uint8_t> shifted = file;
        shifted.insert(shifted.begin() + 2, comment.begin(), comment.end());
        EXPECT_TRUE(compare(dir, shifted, "shifted by " + std::to_string(shift), (unsigned)shift + 1));
    }
}

// Finds the first scan's entropy-coded data: [*begin, *end) ends at the
// next marker that is no restart.
void scan_data(const std::vector<uint8_t> &f, size_t *begin, size_t *end)
{
    size_t i = 2;
    while (i + 3 < f.size() && !(f[i] == 0xFF && f[i + 1] == 0xDA)) i += 2 + (f[i + 2] << 8 | f[i + 3]);
    *begin = i + 2 + (f[i + 2] << 8 | f[i + 3]);
    size_t j = *begin;
    while (j + 1 < f.size() && !(f[j] == 0xFF && f[j + 1] != 0 && (f[j + 1] < 0xD0 || f[j + 1] > 0xD7))) j++;
    *end = j;
}

// The baseline frame header's byte at offset from its marker's 0xFF
// replaced: 1 is the frame's kind, 4 its sample precision.
const size_t FRAME_KIND = 1, FRAME_PRECISION = 4;
std::vector<uint8_t> with_frame_byte(std::vector<uint8_t> f, size_t offset, uint8_t value)
{
    for (size_t i = 0; i + offset < f.size(); i++)
        if (f[i] == 0xFF && f[i + 1] == 0xC0) {
            f[i + offset] = value;
            break;
        }
    return f;
}

// The file's second restart marker renumbered.
std::vector<uint8_t> with_second_restart(std::vector<uint8_t> f, uint8_t marker)
{
    int seen = 0;
    for (size_t i = 0; i + 1 < f.size(); i++)
        if (f[i] == 0xFF && f[i + 1] >= 0xD0 && f[i + 1] <= 0xD7 && ++seen == 2) {
            f[i + 1] = marker;
            break;
        }
    return f;
}

// Bytes inserted at position at.
std::vector<uint8_t> inserted(std::vector<uint8_t> f, size_t at, std::vector<uint8_t> bytes)
{
    f.insert(f.begin() + (std::ptrdiff_t)at, bytes.begin(), bytes.end());
    return f;
}

TEST(JpegReader, FilesReadAnotherWayGoToTheDecoder)
{
    const std::string dir = scratch_dir();
    const Pixels p = photo(45, 29);
    JpegWriterOptions base = jpeg_writer_defaults(45, 29);
    base.restart_interval = 2;
    const std::vector<uint8_t> baseline = encode(base, p);
    JpegWriterOptions progressive = base;
    progressive.progressive = 1;
    JpegWriterOptions grey_progressive = progressive;
    grey_progressive.components = 1;
    JpegWriterOptions cmyk = base;
    cmyk.components = 4;
    cmyk.jfif = 0;
    cmyk.adobe_transform = 0;
    JpegWriterOptions ycck = cmyk;
    ycck.adobe_transform = 2;
    JpegWriterOptions four_plain = cmyk;
    four_plain.adobe_transform = JPEG_WRITER_NO_ADOBE;
    JpegWriterOptions no_jfif = base;
    no_jfif.jfif = 0;
    const std::vector<uint8_t> bare = encode(no_jfif, p);
    size_t begin, end, bare_begin, bare_end;
    scan_data(baseline, &begin, &end);
    scan_data(bare, &bare_begin, &bare_end);
    const struct {
        const char *what;
        std::vector<uint8_t> file;
    } cases[] = {
        {"progressive", encode(progressive, p)},
        {"progressive grey", encode(grey_progressive, p)},
        {"CMYK (Adobe transform 0)", encode(cmyk, p)},
        {"YCCK (Adobe transform 2)", encode(ycck, p)},
        {"four components without Adobe", encode(four_plain, p)},
        {"arithmetic coding (SOF9)", with_frame_byte(baseline, FRAME_KIND, 0xC9)},
        {"lossless (SOF3)", with_frame_byte(baseline, FRAME_KIND, 0xC3)},
        {"12-bit samples", with_frame_byte(baseline, FRAME_PRECISION, 12)},
        {"a comment between the scan and the end", inserted(baseline, end, {0xFF, 0xFE, 0, 4, 'h', 'i'})},
        // The decoder reads it before it converts the colours: R, G, B.
        {"an Adobe segment after the scan",
         inserted(bare, bare_end, {0xFF, 0xEE, 0, 14, 'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, 0})},
        {"fill bytes before the end marker", inserted(baseline, end, {0xFF, 0xFF})},
        {"a restart marker after the last MCU", inserted(baseline, end, {0xFF, 0xD5})},
        {"a DNL segment after the scan", inserted(baseline, end, {0xFF, 0xDC, 0, 4, 0, 29})},
        {"a byte of data after the scan's last", inserted(baseline, end, {0x3C})},
        {"restart markers out of order", with_second_restart(baseline, 0xD5)},
    };
    for (const auto &c : cases) EXPECT_FALSE(compare(dir, c.file, c.what)) << c.what << ": taken by the reader";
    // The extended sequential frame is read as the baseline one.
    EXPECT_TRUE(compare(dir, with_frame_byte(baseline, FRAME_KIND, 0xC1), "SOF1"));
    // Bytes after the end marker are never read.
    EXPECT_TRUE(compare(dir, inserted(baseline, baseline.size(), {0xFF, 0xD8, 1, 2, 3}), "trailing bytes"));
}

TEST(JpegReader, DamagedFilesEndAsTheDecoderEndsThem)
{
    const std::string dir = scratch_dir();
    JpegWriterOptions plain = jpeg_writer_defaults(47, 35);
    JpegWriterOptions restarts = plain;
    restarts.restart_interval = 1;
    restarts.optimize = 1;
    JpegWriterOptions grey = plain;
    grey.components = 1;
    grey.restart_interval = 3;
    grey.quality = 95;
    int taken = 0, cases = 0;
    for (const JpegWriterOptions &o : {plain, restarts, grey}) {
        const std::vector<uint8_t> good = encode(o, photo(47, 35));
        size_t begin, end;
        scan_data(good, &begin, &end);
        const std::string what = describe(LAYOUTS[o.components == 1 ? 0 : 5], o);
        // Cut short: in the headers, all through the scan, just before the end.
        for (size_t len = 0; len < good.size(); len += (len < begin ? 29 : 37)) {
            taken += compare(dir, std::vector<uint8_t>(good.begin(), good.begin() + (std::ptrdiff_t)len),
                             what + " cut to " + std::to_string(len) + " bytes", (unsigned)len);
            cases++;
        }
        for (size_t cut = 1; cut <= 4; cut++) {
            taken += compare(dir, std::vector<uint8_t>(good.begin(), good.end() - (std::ptrdiff_t)cut),
                             what + " without its last " + std::to_string(cut) + " bytes");
            cases++;
        }
        // Flipped bits all through the scan: bad codes, markers where data
        // was, restart markers out of order, runs past the block's end.
        const uint8_t flips[] = {0x01, 0x10, 0x80, 0xFF};
        for (size_t at = begin; at < end; at += 23)
            for (const uint8_t f : flips) {
                std::vector<uint8_t> bad = good;
                bad[at] ^= f;
                taken += compare(dir, bad, what + " with byte " + std::to_string(at) + " xor " + std::to_string(f),
                                 (unsigned)at);
                cases++;
            }
    }
    // Most damage is the decoder's to report; some leaves a stream that
    // decodes (to the decoder's pixels, as compared).
    EXPECT_LT(taken, cases);
}

// The reader's rows into the resampler (square and aspect) make the very
// thumbnails of the whole image decoded by the decoder, also when the
// reader leaves out the blocks no output pixel reads.
TEST(JpegReader, ThumbnailsFromRowsAreThoseOfTheWholeImage)
{
    const std::string dir = scratch_dir();
    const struct {
        int w, h, ratio, size;
        int layout;
    } cases[] = {
        {640, 480, 0, 100, 5}, {301, 199, 2, 64, 3}, {33, 1000, 0, 7, 0},  {1000, 37, 1, 50, 6},
        {13, 9, 3, 50, 5},     {517, 300, 0, 256, 11}, {250, 250, 0, 249, 13}, {96, 64, 1, 300, 2},
    };
    for (const auto &c : cases) {
        JpegWriterOptions o = options(LAYOUTS[c.layout], c.w, c.h, c.w);
        const std::vector<uint8_t> file = encode(o, photo(c.w, c.h));
        const std::string in = dir + "/in.jpg", rows = dir + "/rows.png", whole = dir + "/whole.png";
        write_bytes(in, file);
        const int num = ASPECT_NUM[c.ratio], den = ASPECT_DEN[c.ratio];
        ASSERT_EQ(c.ratio == 0 ? imgthumbnail_square(in.c_str(), rows.c_str(), c.size)
                               : imgthumbnail_aspect(in.c_str(), rows.c_str(), c.size, c.ratio),
                  1)
            << imgthumbnail_last_error();
        int w = 0, h = 0, n = 0;
        Image src{0, 0, stbi_load_from_memory(file.data(), (int)file.size(), &w, &h, &n, 4)};
        ASSERT_NE(src.pixels, nullptr);
        src.width = w;
        src.height = h;
        const CropRect r = aspect_crop_rect(w, h, num, den);
        int32_t tw, th;
        aspect_thumb_size(r.w, r.h, c.size, num, den, &tw, &th);
        ASSERT_EQ(resize_and_save(&src, r, tw, th, whole.c_str(), JPEG_QUALITY_DEFAULT), 1);
        EXPECT_EQ(read_bytes(rows), read_bytes(whole)) << c.w << "x" << c.h << " " << LAYOUTS[c.layout].name;
    }
}

// The smart crop sums its analysis image from the reader's rows as they
// come; a file the reader gives back part way (its scan cut short) is analysed from
// the decoder's image instead. Either way the thumbnail is the one made
// from the whole decoded image.
TEST(JpegReader, SmartThumbnailsFromRowsAreThoseOfTheWholeImage)
{
    const std::string dir = scratch_dir();
    const struct {
        int w, h, layout;
        double cut; // the share of the file kept; 1: all of it
        int tw, th;
    } cases[] = {
        {640, 480, 5, 1, 64, 48},  {1000, 37, 6, 1, 50, 20}, {33, 1000, 0, 1, 16, 64}, {517, 300, 11, 1, 300, 200},
        {161, 161, 3, 1, 40, 40},  {160, 90, 5, 1, 32, 32},  {640, 480, 5, 0.6, 64, 48},
    };
    for (const auto &c : cases) {
        JpegWriterOptions o = options(LAYOUTS[c.layout], c.w, c.h, c.w);
        std::vector<uint8_t> file = encode(o, photo(c.w, c.h));
        if (c.cut < 1) {
            // Cut short, then ended: the decoder fills in the missing blocks.
            file.resize((size_t)((double)file.size() * c.cut));
            file.insert(file.end(), {0xFF, 0xD9});
        }
        const std::string in = dir + "/in.jpg", rows = dir + "/rows.png", whole = dir + "/whole.png";
        write_bytes(in, file);
        const std::string what = std::to_string(c.w) + "x" + std::to_string(c.h) + " kept " + std::to_string(c.cut);
        ASSERT_EQ(imgthumbnail_smart(in.c_str(), rows.c_str(), c.tw, c.th), 1) << what << ": " << imgthumbnail_last_error();
        int w = 0, h = 0, n = 0;
        Image src{0, 0, stbi_load_from_memory(file.data(), (int)file.size(), &w, &h, &n, 4)};
        ASSERT_NE(src.pixels, nullptr) << what;
        src.width = w;
        src.height = h;
        SmartChoice choice;
        ASSERT_EQ(smart_choose(src, c.tw, c.th, &choice), 1) << what;
        ASSERT_EQ(resize_and_save(&src, choice.region, c.tw, c.th, whole.c_str(), JPEG_QUALITY_DEFAULT), 1) << what;
        EXPECT_EQ(read_bytes(rows), read_bytes(whole)) << what << " " << LAYOUTS[c.layout].name;
    }
}

} // namespace
