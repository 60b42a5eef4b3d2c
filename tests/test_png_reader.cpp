// The PNG reader against the decoder (stb_image), file by file: generated
// images of every colour type, depth, filter and interlace; the chunk
// layouts where decoders differ; and damage of every kind. The reader must
// give the decoder's pixels or the decoder's reason, and take the sound
// files itself (a reader that gave everything back would pass no case).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "imgthumbnail.h"
#include "io/image_io.h"
#include "io/png/png_reader.h"
#include "png_differential.h"
#include "png_writer.h"
#include "support.h"

namespace {

struct Kind {
    int colour, depth;
};
// Every colour type at every depth the decoder reads, the ones the PNG
// format forbids but the decoder decodes (RGB and alpha types below 8 bits)
// included.
const Kind KINDS[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {2, 1}, {2, 2}, {3, 1},
                      {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {4, 1}, {4, 2}, {4, 4}, {6, 8}, {6, 16},
                      {6, 1}, {6, 2}};

PngImageSpec spec_of(Kind k, bool interlace, int filter, uint32_t w = 13, uint32_t h = 11)
{
    return PngImageSpec{w, h, k.depth, k.colour, interlace, filter, (uint32_t)(k.colour * 100 + k.depth)};
}

// A full palette for the depth, so that every index has its entry.
Bytes full_palette(const PngImageSpec &s)
{
    return s.colour == 3 ? palette_of(s.depth == 8 ? 256 : 1 << s.depth, s.seed) : Bytes{};
}

Bytes file_of(const PngImageSpec &s, const Bytes &trns = {}, int level = 6, size_t idat = 1 << 20)
{
    return png_file(png_chunks(s, zlib_stream(png_scanlines(s), level), full_palette(s), trns, idat));
}

// A tRNS that some pixels match: the value of the first sample.
Bytes matching_trns(const PngImageSpec &s)
{
    const Bytes raw = png_scanlines(s);
    Bytes t;
    const int n = s.colour == 2 ? 3 : 1;
    for (int c = 0; c < n; c++) {
        if (s.depth == 16) {
            t.push_back(raw[1 + c * 2]);
            t.push_back(raw[2 + c * 2]);
        } else {
            t.push_back(0x12); // the decoder compares only the low byte
            t.push_back(s.depth == 8 ? raw[1 + c] : (uint8_t)(raw[1] >> (8 - s.depth)));
        }
    }
    return t;
}

class PngReaderTest : public ::testing::Test {
protected:
    std::string dir = scratch_dir();
    std::string path = dir + "/in.png";

    // The file must decode alike everywhere, and the reader must take it
    // (row way too, when not interlaced).
    void expect_taken(const Bytes &file, const std::string &what, bool rows = true)
    {
        const DifferentialResult r = png_differential(file, path);
        EXPECT_EQ(r.failure, "") << what;
        EXPECT_TRUE(r.stb_ok) << what;
        EXPECT_EQ(r.streamed, PNG_OK) << what;
        EXPECT_EQ(r.in_memory, PNG_OK) << what;
        if (rows) EXPECT_TRUE(r.rows) << what;
    }
    // The file must be refused alike everywhere, the reader giving the
    // decoder's reason itself.
    void expect_refused(const Bytes &file, const std::string &what)
    {
        const DifferentialResult r = png_differential(file, path);
        EXPECT_EQ(r.failure, "") << what;
        EXPECT_FALSE(r.stb_ok) << what;
        EXPECT_EQ(r.streamed, PNG_FAILED) << what;
    }
    // Any outcome, as long as every way agrees with the decoder.
    DifferentialResult expect_agreement(const Bytes &file, const std::string &what)
    {
        const DifferentialResult r = png_differential(file, path);
        EXPECT_EQ(r.failure, "") << what;
        return r;
    }
};

TEST_F(PngReaderTest, EveryKindFilterAndInterlaceDecodesAsTheDecoderDoes)
{
    for (const Kind k : KINDS)
        for (int interlace = 0; interlace < 2; interlace++)
            for (int filter = 0; filter <= FILTER_CYCLE; filter++) {
                const PngImageSpec s = spec_of(k, interlace != 0, filter);
                const std::string what = "colour " + std::to_string(k.colour) + " depth " + std::to_string(k.depth) +
                                         " interlace " + std::to_string(interlace) + " filter " +
                                         std::to_string(filter);
                // RGB and RGBA of 4 bits are refused by the decoder.
                expect_taken(file_of(s), what, !interlace);
                if ((k.colour == 0 || k.colour == 2) && k.depth >= 8 - 7 * (k.colour == 0))
                    expect_taken(file_of(s, matching_trns(s)), what + " tRNS", !interlace);
            }
}

TEST_F(PngReaderTest, SizesFromOnePixelToWideRowsAndStoredOrBestCompression)
{
    const uint32_t SIZES[][2] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {8, 8}, {17, 3}, {300, 7}, {5, 260}};
    for (const auto &wh : SIZES)
        for (const Kind k : {Kind{2, 8}, Kind{6, 8}, Kind{3, 1}, Kind{0, 16}})
            for (int level : {0, 1, 9}) {
                const PngImageSpec s = spec_of(k, wh[0] % 2 == 1, FILTER_CYCLE, wh[0], wh[1]);
                expect_taken(file_of(s, {}, level), std::to_string(wh[0]) + "x" + std::to_string(wh[1]) +
                                                        " level " + std::to_string(level),
                             !s.interlace);
            }
}

TEST_F(PngReaderTest, TransparencyCompares16BitValuesWholeAndOthersByTheirLowByte)
{
    // Grey 8 bits, tRNS 0x01C8: the decoder matches samples of 0xC8.
    PngImageSpec s = spec_of(Kind{0, 8}, false, 0, 4, 1);
    Bytes raw = {0, 0xC8, 0x01, 0xC8, 0x00};
    std::vector<PngChunk> c = {ihdr_chunk(s), {"tRNS", {0x01, 0xC8}, false},
                               {"IDAT", zlib_stream(raw, 6), false}, {"IEND", {}, false}};
    expect_taken(png_file(c), "grey tRNS low byte");
    // 16-bit RGB: only the full value matches; the high bytes are kept.
    s = spec_of(Kind{2, 16}, false, 0, 2, 1);
    raw = {0, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0x12, 0x35, 0x56, 0x78, 0x9A, 0xBC};
    c = {ihdr_chunk(s), {"tRNS", {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}, false}, {"IDAT", zlib_stream(raw, 6), false},
         {"IEND", {}, false}};
    expect_taken(png_file(c), "rgb16 tRNS");
}

// The places where decoders part ways, each the decoder's way.
TEST_F(PngReaderTest, ChunkLayoutsTheDecoderAccepts)
{
    const PngImageSpec s = spec_of(Kind{3, 8}, false, FILTER_CYCLE, 20, 9);
    const Bytes z = zlib_stream(png_scanlines(s), 6);
    const Bytes plte = full_palette(s), other = palette_of(256, 7), short_plte = palette_of(40, 9);
    const PngChunk ihdr = ihdr_chunk(s), iend{"IEND", {}, false};
    auto idat = [&](size_t from, size_t to) {
        return PngChunk{"IDAT", Bytes(z.begin() + (long)from, z.begin() + (long)std::min(to, z.size())), false};
    };
    const size_t half = z.size() / 2;
    struct Case {
        const char *what;
        std::vector<PngChunk> chunks;
    };
    const Case CASES[] = {
        {"IDAT split by other chunks", {ihdr, {"PLTE", plte, false}, idat(0, half), {"tEXt", {'a', 0, 'b'}, false},
                                        {"IDAT", {}, false}, idat(half, z.size()), iend}},
        {"one-byte IDATs", [&] {
             std::vector<PngChunk> v = {ihdr, {"PLTE", plte, false}};
             for (size_t i = 0; i < z.size(); i++) v.push_back(idat(i, i + 1));
             v.push_back(iend);
             return v;
         }()},
        {"two PLTE, the last wins", {ihdr, {"PLTE", other, false}, {"PLTE", plte, false}, idat(0, z.size()), iend}},
        {"PLTE after IDAT wins", {ihdr, {"PLTE", other, false}, idat(0, half), {"PLTE", plte, false},
                                  idat(half, z.size()), iend}},
        {"a short PLTE after a full one keeps its entries",
         {ihdr, {"PLTE", plte, false}, {"PLTE", short_plte, false}, idat(0, z.size()), iend}},
        {"tRNS after an empty IDAT", {ihdr, {"PLTE", plte, false}, {"IDAT", {}, false}, {"tRNS", {1, 2, 3}, false},
                                       idat(0, z.size()), iend}},
        {"CRCs all wrong", {{"IHDR", ihdr.data, true}, {"PLTE", plte, true}, {"IDAT", z, true}, {"IEND", {}, true}}},
        {"unknown ancillary chunks", {ihdr, {"zzZz", {1, 2, 3}, false}, {"PLTE", plte, false}, {"gAMA", {0, 1, 2, 3}, false},
                                      {"sRGB", {0}, false}, {"iCCP", {'x', 0, 0, 1, 2}, false}, idat(0, z.size()), iend}},
        {"CgBI before IHDR is passed over", {{"CgBI", {0, 1, 2, 3}, false}, ihdr, {"PLTE", plte, false},
                                             {"IDAT", Bytes(z.begin() + 2, z.end()), false}, iend}},
        {"bytes after IEND", {ihdr, {"PLTE", plte, false}, idat(0, z.size()), iend, {"IDAT", {1, 2}, false}}},
    };
    for (const Case &c : CASES) {
        const bool late_palette = std::strstr(c.what, "after IDAT") != nullptr;
        const DifferentialResult r = png_differential(png_file(c.chunks), path);
        EXPECT_EQ(r.failure, "") << c.what;
        EXPECT_TRUE(r.stb_ok) << c.what;
        EXPECT_EQ(r.streamed == PNG_OK || r.in_memory == PNG_OK, true) << c.what;
        // A late PLTE recolours rows handed out: the row way gives it back.
        EXPECT_EQ(r.rows, !late_palette && std::strstr(c.what, "CgBI") == nullptr) << c.what;
    }
}

TEST_F(PngReaderTest, ZlibStreamsOtherDecodersRefuse)
{
    const PngImageSpec s = spec_of(Kind{2, 8}, false, FILTER_CYCLE, 16, 8);
    const Bytes raw = png_scanlines(s);
    Bytes z = zlib_stream(raw, 6);
    // A window field above 7 (the check bits made right again).
    Bytes wide = z;
    wide[0] = (uint8_t)(0xF0 | (wide[0] & 0x0F));
    wide[1] = (uint8_t)(wide[1] & 0xE0);
    wide[1] = (uint8_t)(wide[1] + (31 - (wide[0] * 256 + wide[1]) % 31) % 31);
    expect_taken(png_file(png_chunks(s, wide, {}, {}, 1 << 20)), "window field 15");
    // A wrong Adler-32.
    Bytes adler = z;
    adler[adler.size() - 1] ^= 0x55;
    expect_taken(png_file(png_chunks(s, adler, {}, {}, 1 << 20)), "bad adler");
    // More data in the stream than the image needs.
    Bytes more = raw;
    more.insert(more.end(), 500, 7);
    expect_taken(png_file(png_chunks(s, zlib_stream(more, 6), {}, {}, 1 << 20)), "extra data in the stream");
    // Bytes after the zlib stream within the last IDAT.
    Bytes tail = z;
    tail.insert(tail.end(), {1, 2, 3, 4, 5});
    expect_taken(png_file(png_chunks(s, tail, {}, {}, 1 << 20)), "bytes after the stream");
    // A CgBI file (raw deflate, no zlib header) other than a palette image
    // goes to the decoder.
    std::vector<PngChunk> cgbi = png_chunks(s, Bytes(z.begin() + 2, z.end()), {}, {}, 1 << 20);
    cgbi.insert(cgbi.begin(), PngChunk{"CgBI", {0x50, 0, 0x20, 2}, false});
    const DifferentialResult r = expect_agreement(png_file(cgbi), "CgBI");
    EXPECT_TRUE(r.stb_ok);
    EXPECT_EQ(r.streamed, PNG_DOUBT);
    EXPECT_FALSE(r.rows);
}

TEST_F(PngReaderTest, FilesTheDecoderRefusesAreRefusedWithItsReason)
{
    const PngImageSpec s = spec_of(Kind{3, 8}, false, FILTER_CYCLE, 12, 6);
    const Bytes z = zlib_stream(png_scanlines(s), 6), plte = full_palette(s);
    const PngChunk ihdr = ihdr_chunk(s), iend{"IEND", {}, false}, idat{"IDAT", z, false};
    auto ihdr_with = [&](size_t at, uint8_t v) {
        PngChunk c = ihdr;
        c.data[at] = v;
        return c;
    };
    const PngImageSpec g = spec_of(Kind{6, 8}, false, 0, 12, 6);
    const Bytes gz = zlib_stream(png_scanlines(g), 6);
    struct Case {
        const char *reason;
        std::vector<PngChunk> chunks;
    };
    const Case CASES[] = {
        {"multiple IHDR", {ihdr, ihdr, {"PLTE", plte, false}, idat, iend}},
        {"first not IHDR", {{"PLTE", plte, false}, ihdr, idat, iend}},
        {"first not IHDR", {{"tEXt", {1}, false}, ihdr, idat, iend}},
        {"bad IHDR len", {{"IHDR", Bytes(14, 1), false}, idat, iend}},
        {"too large", {ihdr_with(0, 0x02), {"PLTE", plte, false}, idat, iend}},
        {"1/2/4/8/16-bit only", {ihdr_with(8, 3), {"PLTE", plte, false}, idat, iend}},
        {"bad ctype", {ihdr_with(9, 7), idat, iend}},
        {"bad ctype", {ihdr_with(9, 5), idat, iend}},
        {"bad comp method", {ihdr_with(10, 1), idat, iend}},
        {"bad filter method", {ihdr_with(11, 1), idat, iend}},
        {"bad interlace method", {ihdr_with(12, 2), idat, iend}},
        {"0-pixel image", {ihdr_with(7, 0), idat, iend}},
        {"invalid PLTE", {ihdr, {"PLTE", Bytes(10, 1), false}, idat, iend}},
        {"invalid PLTE", {ihdr, {"PLTE", Bytes(771, 1), false}, idat, iend}},
        {"tRNS before PLTE", {ihdr, {"tRNS", {1}, false}, {"PLTE", plte, false}, idat, iend}},
        {"bad tRNS len", {ihdr, {"PLTE", palette_of(3, 1), false}, {"tRNS", {1, 2, 3, 4}, false}, idat, iend}},
        {"tRNS after IDAT", {ihdr, {"PLTE", plte, false}, idat, {"tRNS", {1}, false}, iend}},
        {"tRNS with alpha", {ihdr_chunk(g), {"tRNS", {0, 1, 0, 2, 0, 3}, false}, {"IDAT", gz, false}, iend}},
        {"no PLTE", {ihdr, idat, iend}},
        {"no PLTE", {ihdr, {"PLTE", {}, false}, idat, iend}},
        {"no IDAT", {ihdr, {"PLTE", plte, false}, iend}},
        {"no IDAT", {ihdr, {"PLTE", plte, false}, {"IDAT", {}, false}, iend}},
        {"AbCd PNG chunk not known", {ihdr, {"PLTE", plte, false}, {"AbCd", {1, 2}, false}, idat, iend}},
        {"", {ihdr, {"PLTE", plte, false}, idat}}, // no IEND: zeros read as a chunk named by 0 bytes
        {"bad zlib header", {ihdr, {"PLTE", plte, false}, {"IDAT", {0x78}, false}, iend}},
        {"bad zlib header", {ihdr, {"PLTE", plte, false}, {"IDAT", {0x78, 0x9c}, false}, iend}},
        {"bad zlib header", {ihdr, {"PLTE", plte, false}, {"IDAT", {0x78, 0x9d, 0, 0}, false}, iend}},
        {"no preset dict", {ihdr, {"PLTE", plte, false}, {"IDAT", {0x78, 0xbb, 0, 0, 0, 0, 0}, false}, iend}},
        {"bad compression", {ihdr, {"PLTE", plte, false}, {"IDAT", {0x79, 0x98, 0, 0}, false}, iend}},
        {"not enough pixels",
         {ihdr, {"PLTE", plte, false}, {"IDAT", zlib_stream(Bytes(20, 0), 6), false}, iend}},
        {"invalid filter", {ihdr, {"PLTE", plte, false}, {"IDAT", zlib_stream(Bytes(13 * 6, 9), 6), false}, iend}},
        {"invalid width", {ihdr_chunk(spec_of(Kind{2, 4}, false, 0, 12, 6)),
                           {"IDAT", zlib_stream(Bytes(7 * 6 * 2, 0), 6), false}, iend}},
        {"outofdata", {ihdr, {"PLTE", plte, false}, idat, iend, {"IDAT", Bytes(0), false}}},
    };
    for (const Case &c : CASES) {
        Bytes file = png_file(c.chunks);
        if (std::strcmp(c.reason, "outofdata") == 0) {
            // An IDAT whose data the file does not hold.
            file = png_file({ihdr, {"PLTE", plte, false}, idat});
            const Bytes longer = {0, 0, 0x10, 0, 'I', 'D', 'A', 'T', 1, 2, 3};
            file.insert(file.end(), longer.begin(), longer.end());
        }
        const DifferentialResult r = png_differential(file, path);
        EXPECT_EQ(r.failure, "") << c.reason;
        EXPECT_FALSE(r.stb_ok) << c.reason;
        EXPECT_EQ(r.streamed, PNG_FAILED) << c.reason;
    }
}

// Damage everywhere: every way must agree with the decoder, and the
// reader must settle most of it itself.
TEST_F(PngReaderTest, TruncationsAndDamagedBytesAgreeWithTheDecoder)
{
    for (const Kind k : {Kind{2, 8}, Kind{3, 4}, Kind{0, 16}, Kind{6, 8}})
        for (int interlace = 0; interlace < 2; interlace++) {
            const PngImageSpec s = spec_of(k, interlace != 0, FILTER_CYCLE, 9, 7);
            const Bytes good = file_of(s, {}, 6, 40);
            int settled = 0, cases = 0;
            for (size_t n = 0; n < good.size(); n += 3) {
                const DifferentialResult r =
                    expect_agreement(Bytes(good.begin(), good.begin() + (long)n), "cut at " + std::to_string(n));
                settled += r.streamed != PNG_DOUBT;
                cases++;
            }
            for (size_t at = 8; at < good.size(); at++)
                for (uint8_t x : {0x01, 0xFF}) {
                    Bytes bad = good;
                    bad[at] ^= x;
                    const DifferentialResult r =
                        expect_agreement(bad, "byte " + std::to_string(at) + " ^ " + std::to_string(x));
                    settled += r.streamed != PNG_DOUBT || r.in_memory != PNG_DOUBT;
                    cases++;
                }
            EXPECT_GT(settled * 10, cases * 6) << "the reader gives too much back";
        }
}

TEST_F(PngReaderTest, FilterBytesOfEveryValue)
{
    const PngImageSpec s = spec_of(Kind{2, 8}, false, 0, 6, 4);
    Bytes raw = png_scanlines(s);
    for (int f = 0; f < 256; f += 3) {
        Bytes bad = raw;
        bad[(1 + 18) * 2] = (uint8_t)f; // the third row's filter byte
        const Bytes file = png_file(png_chunks(s, zlib_stream(bad, 6), {}, {}, 1 << 20));
        const DifferentialResult r = expect_agreement(file, "filter " + std::to_string(f));
        EXPECT_EQ(r.streamed, f <= 4 ? PNG_OK : PNG_FAILED) << f;
    }
}

// Deflate bits, least significant first; Huffman codes most significant
// bit first, as the format packs them.
struct BitWriter {
    Bytes out;
    int used = 0;
    void bit(int b)
    {
        if (used == 0) out.push_back(0);
        out.back() |= (uint8_t)(b << used);
        used = (used + 1) % 8;
    }
    void value(uint32_t v, int n)
    {
        for (int i = 0; i < n; i++) bit((v >> i) & 1);
    }
    void code(uint32_t c, int n)
    {
        for (int i = n - 1; i >= 0; i--) bit((c >> i) & 1);
    }
    void literal(uint8_t b) { code(0x30u + b, 8); } // fixed code, 0..143
    void align() { used = 0; } // on to the next byte
    // A stored block that is not the last: a row's filter byte 0, then
    // n - 1 bytes of a ramp.
    void stored_row(uint32_t n)
    {
        value(0, 3);
        align();
        for (uint32_t v : {n, n ^ 0xFFFFu}) {
            out.push_back((uint8_t)v);
            out.push_back((uint8_t)(v >> 8));
        }
        out.push_back(0);
        for (uint32_t i = 1; i < n; i++) out.push_back((uint8_t)(i * 7));
    }
    // Under a code-length code with 1 -> "10" and 18 -> "0": literal 0 of
    // length 1, then literals 1..255 of length 0 (runs of 138 and 117).
    void literal_lengths_0_to_255()
    {
        code(2, 2);
        code(0, 1);
        value(127, 7);
        code(0, 1);
        value(106, 7);
    }
    // A block header of dynamic codes up to its code-length code: hlit
    // and hdist symbols, the code-length code's lengths in header order.
    void dynamic_header(int hlit, int hdist, const std::vector<int> &precode)
    {
        value(1, 1);
        value(2, 2);
        value((uint32_t)(hlit - 257), 5);
        value((uint32_t)(hdist - 1), 5);
        value((uint32_t)(precode.size() - 4), 4);
        for (int len : precode) value((uint32_t)len, 3);
    }
};

// A fixed-Huffman stream whose one copy uses distance code 30: zlib
// refuses it, the decoder takes it as distance 0 and copies bytes of its
// output buffer it never wrote, from its heap. The library inflates such a
// stream into a zeroed buffer, so the copy gives zeros, the same on every
// call: through the whole-image way and the row way alike.
TEST_F(PngReaderTest, CopiesFromDistanceZeroGiveZeros)
{
    BitWriter w;
    w.value(1, 1); // the last block
    w.value(1, 2); // fixed codes
    w.literal(0);  // row 0: filter none, 10, then three copied bytes
    w.literal(10);
    w.code(1, 7);  // length 3
    w.code(30, 5); // distance code 30
    for (uint8_t b : {0, 20, 30, 40, 50}) w.literal(b); // row 1
    w.code(0, 7); // end of block
    Bytes z = {0x78, 0x01};
    z.insert(z.end(), w.out.begin(), w.out.end());
    z.insert(z.end(), {0, 0, 0, 0}); // an Adler-32 the decoder never checks
    const PngImageSpec s{4, 2, 8, 0, false, 0, 1};
    const Bytes file = png_file(png_chunks(s, z, {}, {}, 1 << 20));
    expect_agreement(file, "distance code 30");
    write_bytes(path, file);
    const uint8_t grey[8] = {10, 0, 0, 0, 20, 30, 40, 50};
    std::string first;
    for (uint8_t dirt : {0xAA, 0x55}) {
        // Freed blocks full of dirt, for the decoder's buffers to reuse.
        std::vector<void *> blocks;
        for (size_t n = 16; n <= 4096; n += 16) {
            blocks.push_back(std::malloc(n));
            std::memset(blocks.back(), dirt, n);
        }
        for (void *b : blocks) std::free(b);
        Image img;
        ASSERT_EQ(load_image(path.c_str(), &img), 1) << imgthumbnail_last_error();
        ASSERT_EQ(img.width * img.height, 8);
        for (int i = 0; i < 8; i++) {
            const uint8_t want[4] = {grey[i], grey[i], grey[i], 255};
            EXPECT_EQ(std::memcmp(img.pixels + i * 4, want, 4), 0) << "pixel " << i << ", dirt " << (int)dirt;
        }
        std::free(img.pixels);
        const std::string out = dir + "/thumb.png";
        ASSERT_EQ(imgthumbnail_square(path.c_str(), out.c_str(), 4), 1) << imgthumbnail_last_error();
        const Bytes thumb = read_bytes(out);
        const std::string t(thumb.begin(), thumb.end());
        if (first.empty()) first = t;
        EXPECT_EQ(t, first) << "dirt " << (int)dirt;
    }
}

// Streams that inflaters other than the decoder's read their own way, each
// where the bytes already written do not give it away (a copy from far back
// is within them): the decoder refuses them or reads them to other bytes,
// and so must every way of the library. libdeflate 1.14, for one, inflates
// every one of them without an error, to exactly the bytes the row needs
// and with the stream's end well before the data's. ISA-L (like zlib)
// refuses them all, so the reader doubts each one and the decoder's inflate
// settles it.
TEST_F(PngReaderTest, StreamsOtherInflatersReadDifferentlyGoTheDecodersWay)
{
    // After a stored row of 30000 bytes, length symbol 286 or 287: length 0
    // for the decoder (the row stays short), 258 elsewhere.
    auto rare_length = [](int symbol) {
        BitWriter w;
        w.stored_row(30000);
        w.value(1, 1);
        w.value(1, 2);
        w.code(0xC0u + (uint32_t)(symbol - 280), 8);
        w.code(0, 5); // distance 1
        w.code(0, 7); // end of block
        return w.out;
    };
    // Code lengths that run past the block's symbols: 258 of them, the
    // last a repeat of three. The decoder refuses it; an inflater that
    // drops the surplus reads 17 zero bytes.
    auto overrun = [] {
        BitWriter w;
        // The code-length code: 18 -> 0, 1 -> 10, 16 -> 11.
        w.dynamic_header(257, 1, {2, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2});
        w.literal_lengths_0_to_255();
        w.code(2, 2);   // symbol 256: length 1
        w.code(3, 2);   // the distance's length and two more: a repeat of 3
        w.value(0, 2);
        for (int i = 0; i < 17; i++) w.code(0, 1); // the row: 17 zeros
        w.code(1, 1);   // end of block
        return w.out;
    };
    // A distance code of one codeword ("0"), the copy using the other: the
    // decoder refuses it, an inflater that reads it as the one distance
    // copies three zeros.
    auto missing_codeword = [] {
        BitWriter w;
        // The code-length code: 18 -> 0, 1 -> 10, 2 -> 11.
        w.dynamic_header(258, 1, {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2});
        w.literal_lengths_0_to_255();
        w.code(3, 2); // symbols 256 and 257: length 2
        w.code(3, 2);
        w.code(2, 2); // the one distance: length 1
        w.code(0, 1); // the row: filter 0, 0, then a copy of 3
        w.code(0, 1);
        w.code(3, 2);
        w.code(1, 1); // the distance codeword the code leaves out
        w.code(2, 2); // end of block
        return w.out;
    };
    struct Case {
        const char *what;
        Bytes deflate;
        uint32_t width; // of one grey row, as many bytes as the other inflaters make
    };
    const Case CASES[] = {
        {"length symbol 286", rare_length(286), 30000 + 258 - 1},
        {"length symbol 287", rare_length(287), 30000 + 258 - 1},
        {"code lengths past the symbols", overrun(), 16},
        {"a codeword the distance code leaves out", missing_codeword(), 4},
    };
    for (const Case &c : CASES) {
        Bytes z = {0x78, 0x01};
        z.insert(z.end(), c.deflate.begin(), c.deflate.end());
        z.insert(z.end(), {0, 0, 0, 0});
        const PngImageSpec s{c.width, 1, 8, 0, false, 0, 1};
        const DifferentialResult r = expect_agreement(png_file(png_chunks(s, z, {}, {}, 1 << 20)), c.what);
        EXPECT_FALSE(r.stb_ok) << c.what;
        EXPECT_EQ(r.streamed, PNG_DOUBT) << c.what;
        EXPECT_FALSE(r.rows) << c.what;
    }
    // Distance codes 30 and 31 after 30000 bytes: distance 0 for the
    // decoder (bytes it never wrote: zeros from the library), 24577 and
    // up, reading 13 more bits, elsewhere.
    for (uint32_t code : {30u, 31u}) {
        BitWriter w;
        w.stored_row(30000);
        w.value(1, 1);
        w.value(1, 2);
        w.code(1, 7); // length 3
        w.code(code, 5);
        w.value(0, 13); // the decoder's end of block, and others' extra bits
        w.code(0, 7);
        Bytes z = {0x78, 0x01};
        z.insert(z.end(), w.out.begin(), w.out.end());
        z.insert(z.end(), {0, 0, 0, 0});
        const PngImageSpec s{30002, 1, 8, 0, false, 0, 1};
        const std::string what = "distance code " + std::to_string(code);
        const DifferentialResult r = expect_agreement(png_file(png_chunks(s, z, {}, {}, 1 << 20)), what);
        EXPECT_TRUE(r.stb_ok) << what;
        Image img;
        ASSERT_EQ(load_image(path.c_str(), &img), 1) << imgthumbnail_last_error();
        ASSERT_EQ(img.width, 30002);
        for (int i = 0; i < 30002; i++) {
            const uint8_t v = i < 29999 ? (uint8_t)((i + 1) * 7) : 0;
            const uint8_t want[4] = {v, v, v, 255};
            ASSERT_EQ(std::memcmp(img.pixels + (size_t)i * 4, want, 4), 0) << what << ", pixel " << i;
        }
        std::free(img.pixels);
    }
}

} // namespace
