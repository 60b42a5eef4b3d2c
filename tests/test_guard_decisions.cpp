// The decisions of the checks before decoding, handed header records
// directly: each limit at its edge (the decoder's side limit of 2^24, its
// int byte counts, the library's largest side, the formats' own bounds), and
// the order in which the decoder applies them. The whole files that reach
// each hole are in test_hostile_files.cpp.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "imgthumbnail.h"
#include "io/guard/guard_formats.h"

namespace {

const int32_t MAX_SIDE = IMGTHUMBNAIL_MAX_INPUT_SIDE; // 32768
const int64_t SIDE_2_24 = 1 << 24;

// Every field of a decision, for comparing and for a readable failure.
std::string describe(const Decision &d)
{
    const char *checks[] = {"none", "present", "hdr runs", "bmp indices", "size"};
    return std::string("reason ") + (d.verdict.reason ? d.verdict.reason : "-") + ", too large " +
           std::to_string(d.verdict.too_large.width) + "x" + std::to_string(d.verdict.too_large.height) +
           ", look " + checks[d.check] + " skip " + std::to_string(d.skip) + " need " + std::to_string(d.need) +
           " size " + std::to_string(d.size.width) + "x" + std::to_string(d.size.height);
}

// Refused at once for its size, with no look at the data.
Decision too_large(int32_t w, int32_t h)
{
    Decision d = pass();
    d.verdict.too_large = Size{w, h};
    return d;
}

// Refused for its size once need bytes follow skip bytes.
Decision size_look(int64_t skip_bytes, int64_t need_bytes, int32_t w, int32_t h)
{
    Decision d = look_at(DATA_SIZE, skip_bytes, need_bytes);
    d.size = Size{w, h};
    return d;
}

template <typename Header> struct Case {
    const char *what;
    Header header;
    Decision expected;
};

// ---- PNM -----------------------------------------------------------------------

TEST(GuardDecisions, Pnm)
{
    const Case<PnmHeader> cases[] = {
        // {channels, width, height, maximum}
        {"8-bit PGM: every sample must be there", {1, 2, 3, 255}, look_at(DATA_PRESENT, 0, 6)},
        {"8-bit PPM", {3, 2, 3, 255}, look_at(DATA_PRESENT, 0, 18)},
        {"0 x 0: nothing to look for", {1, 0, 0, 255}, look_at(DATA_PRESENT, 0, 0)},
        {"maximum 256: 16-bit samples", {1, 2, 3, 256}, refuse("unsupported bit depth")},
        {"maximum 65535", {3, 2, 3, 65535}, refuse("unsupported bit depth")},
        {"maximum 65536: the decoder's own reason", {1, 2, 3, 65536}, pass()},
        {"maximum past int", {1, 2, 3, PNM_OVERFLOW}, refuse("max value > 65535")},
        // The decoder reads the maximum first, then the sizes.
        {"width past int", {1, PNM_OVERFLOW, 3, 255}, refuse("too large")},
        {"height past int", {3, 2, PNM_OVERFLOW, 255}, refuse("too large")},
        {"height past int, 16-bit", {1, 2, PNM_OVERFLOW, 65535}, refuse("too large")},
        {"width past int, maximum 65536", {1, PNM_OVERFLOW, 3, 65536}, pass()},
        {"width and maximum past int", {1, PNM_OVERFLOW, 3, PNM_OVERFLOW}, refuse("max value > 65535")},
        // The decoder's side limit.
        {"width 2^24", {1, SIDE_2_24, 1, 255}, look_at(DATA_PRESENT, 0, SIDE_2_24)},
        {"width 2^24 + 1", {1, SIDE_2_24 + 1, 1, 255}, pass()},
        {"height 2^24", {3, 1, SIDE_2_24, 255}, look_at(DATA_PRESENT, 0, 3 * SIDE_2_24)},
        {"height 2^24 + 1", {3, 1, SIDE_2_24 + 1, 255}, pass()},
        {"height 2^24 + 1, 16-bit", {1, 1, SIDE_2_24 + 1, 65535}, pass()},
        // The decoder's byte limit (INT_MAX is prime: the nearest sizes).
        {"PGM of 2^24 x 127 bytes", {1, SIDE_2_24, 127, 255}, look_at(DATA_PRESENT, 0, 2130706432)},
        {"PGM of 2^24 x 128 bytes, past INT_MAX", {1, SIDE_2_24, 128, 255}, pass()},
        {"PPM of 2^24 x 42 x 3 bytes", {3, SIDE_2_24, 42, 255}, look_at(DATA_PRESENT, 0, 2113929216)},
        {"PPM of 2^24 x 43 x 3 bytes, past INT_MAX", {3, SIDE_2_24, 43, 255}, pass()},
        {"16-bit PGM of 2^24 x 63 x 2 bytes", {1, SIDE_2_24, 63, 256}, refuse("unsupported bit depth")},
        {"16-bit PGM of 2^24 x 64 x 2 bytes, past INT_MAX", {1, SIDE_2_24, 64, 256}, pass()},
        // A side beyond the library's: the samples must be there all the same.
        {"32769 wide", {1, 32769, 1, 255}, look_at(DATA_PRESENT, 0, 32769)},
    };
    for (const auto &c : cases) EXPECT_EQ(describe(decide_pnm(c.header)), describe(c.expected)) << c.what;
}

// ---- HDR -----------------------------------------------------------------------

TEST(GuardDecisions, Hdr)
{
    const Case<HdrHeader> cases[] = {
        // {RGBE format line, size line read, width, height}
        {"not RGBE: the decoder's own reason", {false, false, 0, 0}, pass()},
        {"no size line the decoder reads", {true, false, 0, 0}, pass()},
        // Widths of 8 to 32767 are run-length coded, the others flat.
        {"width 7: flat", {true, true, 7, 3}, look_at(DATA_PRESENT, 0, 7 * 3 * 4)},
        {"width 8: run-length", {true, true, 8, 3}, look_at(DATA_HDR_RUNS, 0, 0)},
        {"width 32767: run-length", {true, true, 32767, 3}, look_at(DATA_HDR_RUNS, 0, 0)},
        {"width 32768: flat", {true, true, 32768, 3}, look_at(DATA_PRESENT, 0, 32768 * 3 * 4)},
        {"1 x 1", {true, true, 1, 1}, look_at(DATA_PRESENT, 0, 4)},
        {"width 0: the decoder's own reason", {true, true, 0, 3}, pass()},
        {"height 0", {true, true, 8, 0}, pass()},
        {"width -1", {true, true, -1, 3}, refuse("too large")},
        {"height -1", {true, true, 8, -1}, refuse("too large")},
        // The decoder's side limit, also where strtol would read a long
        // differently on Windows.
        {"width 2^24", {true, true, SIDE_2_24, 1}, look_at(DATA_PRESENT, 0, SIDE_2_24 * 4)},
        {"width 2^24 + 1", {true, true, SIDE_2_24 + 1, 1}, refuse("too large")},
        {"height 2^24", {true, true, 1, SIDE_2_24}, look_at(DATA_PRESENT, 0, SIDE_2_24 * 4)},
        {"height 2^24 + 1", {true, true, 8, SIDE_2_24 + 1}, refuse("too large")},
        {"height past 32 bits", {true, true, 8, 4294967297LL}, refuse("too large")},
        // The decoder's float image (16 bytes a pixel) within int.
        {"8192 x 16383 floats", {true, true, 8192, 16383}, look_at(DATA_HDR_RUNS, 0, 0)},
        {"8192 x 16384 floats, 2^31 bytes", {true, true, 8192, 16384}, pass()},
        {"32768 x 4095 floats", {true, true, 32768, 4095}, look_at(DATA_PRESENT, 0, 32768LL * 4095 * 4)},
        {"32768 x 4096 floats, 2^31 bytes", {true, true, 32768, 4096}, pass()},
    };
    for (const auto &c : cases) EXPECT_EQ(describe(decide_hdr(c.header)), describe(c.expected)) << c.what;
}

// ---- TGA -----------------------------------------------------------------------

// True-colour or grey: image type, pixel bits, sides, id length.
TgaHeader tga_direct(int type, int bits, int64_t w, int64_t h, int id_length = 0)
{
    return TgaHeader{id_length, 0, type, 0, 0, 0, w, h, bits};
}

// Colour-mapped with 8-bit indices: image type, the map's start, length and
// entry bits, sides, id length.
TgaHeader tga_mapped(int type, int start, int length, int entry_bits, int64_t w, int64_t h, int id_length = 0)
{
    return TgaHeader{id_length, 1, type, start, length, entry_bits, w, h, 8};
}

TEST(GuardDecisions, Tga)
{
    const Case<TgaHeader> cases[] = {
        // Uncompressed true colour and grey: every byte must be there,
        // whatever the sides.
        {"24-bit", tga_direct(2, 24, 3, 2), look_at(DATA_PRESENT, 0, 18)},
        {"24-bit after an id of 5 bytes", tga_direct(2, 24, 3, 2, 5), look_at(DATA_PRESENT, 5, 18)},
        {"32-bit", tga_direct(2, 32, 3, 2), look_at(DATA_PRESENT, 0, 24)},
        {"8-bit grey", tga_direct(3, 8, 3, 2), look_at(DATA_PRESENT, 0, 6)},
        {"16-bit grey", tga_direct(3, 16, 3, 2), look_at(DATA_PRESENT, 0, 12)},
        {"24-bit, 40000 wide", tga_direct(2, 24, 40000, 1), look_at(DATA_PRESENT, 0, 120000)},
        {"32-bit, 32768 x 16383", tga_direct(2, 32, 32768, 16383), look_at(DATA_PRESENT, 0, 2147352576)},
        {"32-bit, 32768 x 16384: 2^31 bytes", tga_direct(2, 32, 32768, 16384), pass()},
        {"pixel bits the decoder refuses: 0", tga_direct(2, 0, 3, 2), pass()},
        {"pixel bits the decoder refuses: 17", tga_direct(2, 17, 3, 2), pass()},
        // Read a pixel at a time: only a side beyond the library's counts.
        {"16-bit colour, small", tga_direct(2, 16, 3, 2), pass()},
        {"16-bit colour, 32768 wide", tga_direct(2, 16, 32768, 1), pass()},
        {"16-bit colour, 32769 wide", tga_direct(2, 16, 32769, 1), size_look(0, 0, 32769, 1)},
        {"15-bit colour, 32769 high", tga_direct(2, 15, 1, 32769), size_look(0, 0, 1, 32769)},
        {"run-length 24-bit, 32768 x 32768: past INT_MAX", tga_direct(10, 24, 32768, 32768), pass()},
        {"run-length 24-bit, 32768 wide", tga_direct(10, 24, 32768, 1), pass()},
        {"run-length 24-bit, 32769 wide", tga_direct(10, 24, 32769, 1), size_look(0, 0, 32769, 1)},
        {"run-length 24-bit, 32769 high, after an id", tga_direct(10, 24, 1, 32769, 7), size_look(7, 0, 1, 32769)},
        {"run-length 16-bit grey, 32769 wide", tga_direct(11, 16, 32769, 1), size_look(0, 0, 32769, 1)},
        {"run-length 32-bit, 32769 x 16383", tga_direct(10, 32, 32769, 16383), size_look(0, 0, 32769, 16383)},
        {"run-length 32-bit, 32769 x 16384: past INT_MAX", tga_direct(10, 32, 32769, 16384), pass()},
        {"run-length, width 0", tga_direct(10, 24, 0, 40000), pass()},
        {"run-length, height 0", tga_direct(10, 24, 40000, 0), pass()},
        // Colour-mapped: the map must be there in full first.
        {"colour-mapped, small", tga_mapped(1, 0, 2, 24, 3, 2), pass()},
        {"colour-mapped, 32768 high", tga_mapped(1, 0, 2, 24, 3, 32768), pass()},
        {"24-bit entries, 32769 high", tga_mapped(1, 0, 2, 24, 3, 32769), size_look(0, 6, 3, 32769)},
        {"after an id and the map's start", tga_mapped(1, 1, 2, 24, 3, 40000, 2), size_look(3, 6, 3, 40000)},
        {"256 entries of 32 bits", tga_mapped(1, 0, 256, 32, 40000, 1), size_look(0, 1024, 40000, 1)},
        {"8-bit entries", tga_mapped(1, 0, 3, 8, 40000, 1), size_look(0, 3, 40000, 1)},
        {"15-bit entries, read one at a time", tga_mapped(1, 0, 2, 15, 40000, 3), size_look(0, 0, 40000, 3)},
        {"16-bit entries after the map's start", tga_mapped(1, 4, 2, 16, 40000, 3), size_look(4, 0, 40000, 3)},
        {"run-length colour-mapped", tga_mapped(9, 0, 2, 24, 3, 40000), size_look(0, 6, 3, 40000)},
        {"an empty colour map", tga_mapped(1, 0, 0, 24, 3, 40000), pass()},
        {"entry bits the decoder refuses", tga_mapped(1, 0, 2, 12, 3, 40000), pass()},
        {"32-bit entries, 32769 x 16384: past INT_MAX", tga_mapped(1, 0, 2, 32, 32769, 16384), pass()},
    };
    for (const auto &c : cases)
        EXPECT_EQ(describe(decide_tga(c.header, MAX_SIDE)), describe(c.expected)) << c.what;
}

// ---- BMP -----------------------------------------------------------------------

// A 40-byte info header with a palette of the given entries before the
// pixels; a negative height is top-down.
BmpHeader bmp_info(int bits, int palette, int64_t w, int64_t h, int32_t compression = 0)
{
    return BmpHeader{14 + 40 + 4 * palette, 40, w, h, 1, bits, compression};
}

// An 8-bit BMP with an info header of the given size and 16 palette
// entries between the header and the pixels.
BmpHeader bmp_sized(int32_t header_size)
{
    return BmpHeader{14 + header_size + 4 * 16, header_size, 4, 4, 1, 8, 0};
}

TEST(GuardDecisions, Bmp)
{
    const Case<BmpHeader> cases[] = {
        // A palette the indices may overrun: each index is looked at, after
        // skipping from the end of the record (34 bytes into the file, 26
        // with a core header) to the pixels.
        {"8-bit, 16 colours", bmp_info(8, 16, 4, 4), look_at(DATA_BMP_INDICES, 84, 16)},
        {"8-bit, 255 colours", bmp_info(8, 255, 4, 4), look_at(DATA_BMP_INDICES, 1040, 255)},
        {"8-bit, 256 colours: every index lies in it", bmp_info(8, 256, 4, 4), pass()},
        {"8-bit, 257 colours: the decoder's own reason", bmp_info(8, 257, 4, 4), pass()},
        {"8-bit, no palette", bmp_info(8, 0, 4, 4), pass()},
        {"4-bit, 15 colours", bmp_info(4, 15, 4, 4), look_at(DATA_BMP_INDICES, 80, 15)},
        {"4-bit, 16 colours", bmp_info(4, 16, 4, 4), pass()},
        {"1-bit, 1 colour", bmp_info(1, 1, 4, 4), look_at(DATA_BMP_INDICES, 24, 1)},
        {"1-bit, 2 colours", bmp_info(1, 2, 4, 4), pass()},
        {"palette counted in whole entries", BmpHeader{14 + 40 + 11, 40, 4, 4, 1, 8, 0},
         look_at(DATA_BMP_INDICES, 31, 2)},
        {"compression -1, taken for none", bmp_info(8, 16, 4, 4, -1), look_at(DATA_BMP_INDICES, 84, 16)},
        {"run-length 8-bit: the decoder's own reading", bmp_info(8, 16, 4, 4, 1), pass()},
        {"width 0, 40000 rows", bmp_info(8, 2, 0, 40000), look_at(DATA_BMP_INDICES, 28, 2)},
        // Header kinds: the OS/2 core header (3-byte entries, counted as
        // if the header were 24 bytes) and Windows versions 1, 3, 4 and 5.
        {"core header, 16 entries", BmpHeader{14 + 24 + 3 * 16, 12, 4, 4, 1, 8, 0},
         look_at(DATA_BMP_INDICES, 60, 16)},
        {"56-byte header", bmp_sized(56), look_at(DATA_BMP_INDICES, 100, 16)},
        {"108-byte header", bmp_sized(108), look_at(DATA_BMP_INDICES, 152, 16)},
        {"124-byte header", bmp_sized(124), look_at(DATA_BMP_INDICES, 168, 16)},
        {"52-byte header, which the decoder refuses", bmp_sized(52), pass()},
        {"64-byte header", bmp_sized(64), pass()},
        {"negative pixel offset", BmpHeader{-1, 40, 4, 4, 1, 8, 0}, pass()},
        {"two planes", BmpHeader{54, 40, 40000, 1, 2, 24, 0}, pass()},
        // Layouts without masks of their own, beyond the library's side.
        {"24-bit, 32768 wide", bmp_info(24, 0, 32768, 1), pass()},
        {"24-bit, 32769 wide", bmp_info(24, 0, 32769, 1), too_large(32769, 1)},
        {"24-bit, 32769 rows", bmp_info(24, 0, 1, 32769), too_large(1, 32769)},
        {"24-bit, 32768 rows top-down", bmp_info(24, 0, 1, -32768), pass()},
        {"24-bit, 32769 rows top-down", bmp_info(24, 0, 1, -32769), too_large(1, 32769)},
        {"24-bit, compression -1", bmp_info(24, 0, 32769, 1, -1), too_large(32769, 1)},
        {"24-bit, compression 1", bmp_info(24, 0, 32769, 1, 1), pass()},
        {"24-bit, bytes between header and pixels", BmpHeader{58, 40, 32769, 1, 1, 24, 0}, pass()},
        {"24-bit, core header", BmpHeader{26, 12, 32769, 1, 1, 24, 0}, too_large(32769, 1)},
        {"32-bit", bmp_info(32, 0, 32769, 1), too_large(32769, 1)},
        {"32-bit, compression -1: needs masks", bmp_info(32, 0, 32769, 1, -1), pass()},
        {"32-bit, masks of its own", bmp_info(32, 0, 32769, 1, 3), pass()},
        {"32-bit, core header", BmpHeader{26, 12, 32769, 1, 1, 32, 0}, pass()},
        {"16-bit", bmp_info(16, 0, 32769, 1), pass()},
        {"8-bit, 40000 columns", bmp_info(8, 4, 40000, 2), too_large(40000, 2)},
        {"8-bit, full palette, 40000 columns", bmp_info(8, 256, 40000, 2), too_large(40000, 2)},
        {"24-bit, width 0, 40000 rows", bmp_info(24, 0, 0, 40000), pass()},
        // The decoder's limits come first.
        {"2^24 x 31", bmp_info(24, 0, SIDE_2_24, 31), too_large(1 << 24, 31)},
        {"2^24 x 32: 2^31 bytes", bmp_info(24, 0, SIDE_2_24, 32), pass()},
        {"width 2^24 + 1", bmp_info(24, 0, SIDE_2_24 + 1, 1), pass()},
        {"2^24 rows", bmp_info(8, 4, 1, SIDE_2_24), too_large(1, 1 << 24)},
        {"2^24 + 1 rows", bmp_info(8, 4, 1, SIDE_2_24 + 1), pass()},
        {"2^24 + 1 rows top-down", bmp_info(24, 0, 1, -SIDE_2_24 - 1), pass()},
        {"height INT32_MIN + 1", bmp_info(24, 0, 1, INT32_MIN + 1), pass()},
        // abs() of the most negative height is undefined, whatever the rest.
        {"height INT32_MIN", bmp_info(24, 0, 1, INT32_MIN), refuse("too large")},
        {"height INT32_MIN, 52-byte header", BmpHeader{130, 52, 1, INT32_MIN, 1, 8, 0}, refuse("too large")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(describe(decide_bmp(c.header, MAX_SIDE)), describe(c.expected)) << c.what;
}

// ---- JPEG ----------------------------------------------------------------------

// A Huffman table's class, id and counts of codes by length (from 1 bit).
HuffmanTableHeader huffman(int table_class, int id, const std::vector<int> &counts)
{
    HuffmanTableHeader t{table_class, id, {}};
    for (size_t i = 0; i < counts.size(); i++) t.counts[i] = counts[i];
    return t;
}

TEST(GuardDecisions, JpegHuffmanTable)
{
    const std::vector<int> all_255(JPEG_MAX_CODE_LENGTH, 255);
    const struct {
        const char *what;
        HuffmanTableHeader table;
        bool refused_by_decoder;
        const char *reason;
    } cases[] = {
        {"no codes", huffman(0, 0, {}), false, nullptr},
        {"255 codes", huffman(0, 0, {0, 0, 0, 0, 0, 0, 0, 0, 255}), false, nullptr},
        // 256 codes: the last one must be longer than the fast table's 9 bits.
        {"256 codes, the last of 2 bits", huffman(0, 0, {255, 1}), false, "bad huffman code"},
        {"256 codes, the last of 9 bits", huffman(1, 3, {0, 0, 0, 0, 0, 0, 0, 1, 255}), false, "bad huffman code"},
        {"256 codes, the last of 10 bits", huffman(0, 0, {0, 0, 0, 0, 0, 0, 0, 0, 255, 1}), false, nullptr},
        {"256 codes, the last of 16 bits",
         huffman(0, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 1}), false, nullptr},
        // More than 256 codes overrun the decoder's arrays.
        {"257 codes", huffman(0, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 2}), false, "bad DHT header"},
        {"257 codes, the last of 16 bits",
         huffman(0, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 255}), false, "bad DHT header"},
        {"4080 codes", huffman(0, 0, all_255), false, "bad DHT header"},
        // Classes 0 and 1, ids 0 to 3; the decoder refuses any other.
        {"class 2", huffman(2, 0, all_255), true, "bad DHT header"},
        {"id 4", huffman(0, 4, {255, 1}), true, "bad huffman code"},
        {"class 15, id 15", huffman(15, 15, {}), true, nullptr},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(huffman_table_refused_by_decoder(c.table), c.refused_by_decoder) << c.what;
        const char *reason = decide_huffman_table(c.table);
        EXPECT_EQ(std::string(reason ? reason : "-"), std::string(c.reason ? c.reason : "-")) << c.what;
    }
}

// Which tables a scan of each kind reads. Defined here: quantisation table
// 0, DC table 0 and AC table 1.
TEST(GuardDecisions, JpegTablesAScanReads)
{
    JpegTablesDefined t = {};
    t.quant[0] = true;
    t.dc[0] = true;
    t.ac[1] = true;
    const struct {
        const char *what;
        JpegScanComponent c;
        bool progressive;
        int spectral_start, approx_high;
        const char *reason;
    } cases[] = {
        {"sequential, all defined", {0, 0, 1}, false, 0, 0, nullptr},
        {"sequential, quantisation table undefined", {1, 0, 1}, false, 0, 0, "bad DQT table"},
        {"sequential, DC table undefined", {0, 3, 1}, false, 0, 0, "bad DC huff"},
        {"sequential, AC table undefined", {0, 0, 0}, false, 0, 0, "bad AC huff"},
        // Progressive: the quantisation tables are read only at the end.
        {"first DC pass", {2, 0, 2}, true, 0, 0, nullptr},
        {"first DC pass, DC table undefined", {0, 2, 1}, true, 0, 0, "bad DC huff"},
        {"DC refinement reads no table", {2, 2, 2}, true, 0, 1, nullptr},
        {"AC pass", {2, 2, 1}, true, 1, 0, nullptr},
        {"AC refinement, AC table undefined", {0, 0, 3}, true, 5, 2, "bad AC huff"},
        {"AC pass, AC table undefined", {0, 0, 0}, true, 63, 0, "bad AC huff"},
    };
    for (const auto &c : cases) {
        const char *reason = decide_jpeg_scan_component(c.c, t, c.progressive, c.spectral_start, c.approx_high);
        EXPECT_EQ(std::string(reason ? reason : "-"), std::string(c.reason ? c.reason : "-")) << c.what;
    }
    EXPECT_EQ(decide_jpeg_end(0, true, t), nullptr);
    EXPECT_STREQ(decide_jpeg_end(3, true, t), "bad DQT table");
    EXPECT_STREQ(decide_jpeg_end(0, false, t), "bad SOS"); // its coefficients never cleared
}

} // namespace
