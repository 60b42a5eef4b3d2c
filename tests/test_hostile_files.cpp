// Hostile and damaged input files: the fuzz corpus and every reproducer ever
// found, replayed through the three thumbnail operations, and the checks that
// keep the decoder out of its known holes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "contract.h"
#include "fuzz_input.h"
#include "io/image_io.h"
#include "imgthumbnail.h"
#include "support.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> files_in(const std::string &dir)
{
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir))
        if (e.is_regular_file()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string decode_error(const std::string &path, const std::string &reason)
{
    return "cannot decode '" + path + "': " + reason;
}

// A message pattern with the path in place of its %s, if it has one.
std::string with_path(std::string pattern, const std::string &path)
{
    const size_t at = pattern.find("%s");
    if (at != std::string::npos) pattern.replace(at, 2, path);
    return pattern;
}

// What every call promises, whatever the file (the contract the fuzz
// targets check); the output is removed for the next call.
void expect_call_contract(int result, const std::string &input, const std::string &output, const std::string &what)
{
    const char *broken = call_contract_broken(result, input, output);
    EXPECT_EQ(broken, nullptr) << what << ": " << (broken ? broken : "") << " (\"" << imgthumbnail_last_error() << "\")";
    std::remove(output.c_str());
}

struct Replay {
    std::string input;   // the image file, written from the fuzz input
    std::string output;  // thumbnail path with the extension the input picked
    FuzzCall call;
    std::vector<uint8_t> bytes;
};

Replay prepare(const std::string &dir, const std::string &fuzz_input)
{
    Replay r;
    r.bytes = read_bytes(fuzz_input);
    r.call = fuzz_split(r.bytes.data(), r.bytes.size());
    r.input = dir + "/input";
    r.output = dir + "/thumb." + r.call.ext;
    write_bytes(r.input, std::vector<uint8_t>(r.call.file, r.call.file + r.call.file_len));
    return r;
}

// The three operations on one replayed input; returns their results.
std::vector<int> run_all(const Replay &r, const std::string &name)
{
    const char *in = r.input.c_str(), *out = r.output.c_str();
    std::vector<int> results;
    results.push_back(imgthumbnail_square(in, out, r.call.a));
    expect_call_contract(results.back(), r.input, r.output, name + " square");
    results.push_back(imgthumbnail_aspect(in, out, r.call.a, r.call.ratio));
    expect_call_contract(results.back(), r.input, r.output, name + " aspect");
    results.push_back(imgthumbnail_smart(in, out, r.call.a, r.call.b));
    expect_call_contract(results.back(), r.input, r.output, name + " smart");
    return results;
}

TEST(HostileFiles, SeedCorpusMakesThumbnails)
{
    const std::string dir = scratch_dir();
    const auto names = files_in(IMGTHUMB_FUZZ_DIR "/corpus");
    ASSERT_GE(names.size(), 9u) << "one seed per input format at least";
    for (const std::string &name : names) {
        const Replay r = prepare(dir, IMGTHUMB_FUZZ_DIR "/corpus/" + name);
        const auto results = run_all(r, name);
        EXPECT_EQ(results, (std::vector<int>{1, 1, 1})) << name;
        // The checks before decoding let every well-formed file through
        // untouched: the Image holds exactly the decoder's pixels.
        Image img;
        ASSERT_EQ(load_image(r.input.c_str(), &img), 1) << name << ": " << imgthumbnail_last_error();
        EXPECT_EQ(from_image(img).rgba, read_pixels(r.input).rgba) << name;
        std::free(img.pixels);
    }
}

// The decoder's known holes, each refused before decoding with a reason in
// the decoder's style, and the headers that only promise a huge image; any
// other reproducer only has to keep the contract.
TEST(HostileFiles, EveryReproducerFailsCleanly)
{
    const std::string decode = "cannot decode '%s': ";
    const std::map<std::string, std::string> known = {
        {"hdr-zero-length-run", decode + "corrupt"},                 // endless loop
        {"hdr-truncated-flat", decode + "outofdata"},                // stack bytes in the pixels
        {"pnm-16bit", decode + "unsupported bit depth"},             // read past the buffer
        {"pnm-truncated", decode + "outofdata"},                     // heap bytes in the pixels
        {"tga-truncated", decode + "outofdata"},                     // heap bytes in the pixels
        {"bmp-short-palette", decode + "bad palette"},               // stack bytes in the pixels
        {"jpeg-huffman-overflow", decode + "bad DHT header"},        // writes past the tables
        {"jpeg-huffman-fast-collision", decode + "bad huffman code"}, // assertion
        {"pic-truncated-packets", decode + "bad file"},              // null result converted
        // Scans that read a quantisation table the file never defines.
        {"jpeg-undefined-quant-table-72f068e0", decode + "bad DQT table"}, // heap bytes in the pixels
        {"jpeg-dc-product-overflow-9545f921", decode + "bad DQT table"},   // the same, over 4864 rows
        // A corrupt entropy-coded stream whose bit count runs negative.
        {"jpeg-negative-bit-count-290ba24c", decode + "unknown marker"},
        // Millions of missing rows, each a seek past the end in the decoder.
        {"bmp-million-rows-eebc8870", "image too large: 12x3997705"},
        {"bmp-million-rows-negative-compression-c2a49406", "image too large: 12x3801097"},
        // A colour-mapped TGA of 2048 x 37085 in 131 bytes: every pixel read
        // past the end, slowly, before the size was refused.
        {"tga-colour-mapped-huge-2321cbc5", "image too large: 2048x37085"},
        // A GIF whose canvas of 1545 x 35073 the decoder allocates and clears
        // before its corrupt data fails: slow, but the decoder's reason stands.
        {"gif-huge-canvas-ba4b2e1f", decode + "unknown code"},
    };
    const std::string dir = scratch_dir();
    const auto names = files_in(IMGTHUMB_FUZZ_DIR "/crashes");
    for (const auto &k : known)
        EXPECT_NE(std::find(names.begin(), names.end(), k.first), names.end()) << k.first << " is missing";
    for (const std::string &name : names) {
        const Replay r = prepare(dir, IMGTHUMB_FUZZ_DIR "/crashes/" + name);
        const auto results = run_all(r, name);
        const auto k = known.find(name);
        if (k == known.end()) continue;
        for (int result : results) EXPECT_EQ(result, 0) << name;
        EXPECT_EQ(imgthumbnail_last_error(), with_path(k->second, r.input)) << name;
    }
}

// ---- The checks on small, exact fixtures ---------------------------------------

std::vector<uint8_t> bytes_of(const std::string &text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<uint8_t> le32(uint32_t v) { return {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)}; }

// A 40-byte-header BMP of w x h pixels at bpp bits with the given palette
// size and pixel bytes (rows already padded).
std::vector<uint8_t> bmp(int w, int h, int bpp, int palette, const std::vector<uint8_t> &row, int compression = 0)
{
    const uint32_t offset = 14 + 40 + 4 * (uint32_t)palette;
    std::vector<uint8_t> b = bytes_of("BM") + le32(offset + (uint32_t)row.size()) + le32(0) + le32(offset) +
                             le32(40) + le32((uint32_t)w) + le32((uint32_t)h) +
                             std::vector<uint8_t>{1, 0, (uint8_t)bpp, 0} + le32((uint32_t)compression) +
                             le32((uint32_t)row.size()) + le32(0) + le32(0) + le32((uint32_t)palette) + le32(0);
    for (int i = 0; i < palette; i++) b = b + std::vector<uint8_t>{(uint8_t)(i * 60), 10, 20, 0};
    return b + row;
}

// An uncompressed 24-bit TGA header for w x h, top-down.
std::vector<uint8_t> tga24(int w, int h)
{
    return {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, (uint8_t)w, 0, (uint8_t)h, 0, 24, 0x20};
}

// A run-length HDR header for w x h.
std::string hdr(const std::string &sizes)
{
    return "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n" + sizes + "\n";
}

struct GuardCase {
    const char *what;
    std::vector<uint8_t> file;
    const char *reason; // nullptr: decodes
};

TEST(HostileFiles, ChecksRefuseOnlyWhatTheDecoderMishandles)
{
    const std::vector<uint8_t> rgb_row3 = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    const std::vector<uint8_t> hdr_scan = {2, 2, 0, 8, 136, 100, 136, 110, 136, 120, 136, 130};
    const GuardCase cases[] = {
        // Paletted BMP: only an index beyond the palette is refused.
        {"1-bit, one colour, unset bits", bmp(7, 1, 1, 1, {0x00, 0, 0, 0}), nullptr},
        {"1-bit, one colour, a set bit", bmp(7, 1, 1, 1, {0x02, 0, 0, 0}), "bad palette"},
        {"1-bit, one colour, set bits in the padding", bmp(7, 1, 1, 1, {0x01, 0xFF, 0xFF, 0xFF}), nullptr},
        {"4-bit, three colours, index 2", bmp(3, 1, 4, 3, {0x21, 0x00, 0, 0}), nullptr},
        {"4-bit, three colours, index 3 in the low nibble", bmp(2, 1, 4, 3, {0x03, 0, 0, 0}), "bad palette"},
        {"8-bit, full palette", bmp(2, 1, 8, 256, {255, 0, 0, 0}), nullptr},
        {"8-bit, 16 colours, index 16", bmp(2, 1, 8, 16, {3, 16, 0, 0}), "bad palette"},
        {"8-bit, pixels missing", bmp(4, 1, 8, 2, {}), nullptr}, // read as index 0
        // Uncompressed TGA: all pixel bytes present, or refused.
        {"TGA exact", tga24(3, 1) + rgb_row3, nullptr},
        {"TGA with trailing bytes", tga24(3, 1) + rgb_row3 + std::vector<uint8_t>{7, 7}, nullptr},
        {"TGA one byte short", tga24(3, 1) + std::vector<uint8_t>(rgb_row3.begin(), rgb_row3.end() - 1),
         "outofdata"},
        // Binary PNM: 8-bit samples, all present.
        {"PGM exact", bytes_of("P5 2 2 255\n") + std::vector<uint8_t>{1, 2, 3, 4}, nullptr},
        {"PGM one sample short", bytes_of("P5 2 2 255\n") + std::vector<uint8_t>{1, 2, 3}, "outofdata"},
        {"PGM 9-bit", bytes_of("P5 1 1 256\n") + std::vector<uint8_t>{0, 1}, "unsupported bit depth"},
        {"PGM beyond 16-bit", bytes_of("P5 1 1 65536\n") + std::vector<uint8_t>{0, 1}, "max value > 65535"},
        {"PGM width past int", bytes_of("P5 99999999999 1 255\n"), "too large"},
        {"PGM maximum past int", bytes_of("P5 1 1 99999999999\n"), "max value > 65535"},
        {"PGM 0 x 0", bytes_of("P5 0 0 255\n"), "0-pixel image"},
        // Radiance HDR: run lengths of 0 and sizes beyond the decoder's range.
        {"HDR one run-length scanline", bytes_of(hdr("-Y 1 +X 8")) + hdr_scan, nullptr},
        {"HDR scanline cut short", bytes_of(hdr("-Y 1 +X 8")) + std::vector<uint8_t>(hdr_scan.begin(), hdr_scan.end() - 2),
         "corrupt"},
        {"HDR second scanline missing", bytes_of(hdr("-Y 2 +X 8")) + hdr_scan, "outofdata"}, // read as flat
        {"HDR height past 32 bits", bytes_of(hdr("-Y 4294967297 +X 8")) + hdr_scan, "too large"},
        {"HDR negative width", bytes_of(hdr("-Y 1 +X -8")), "too large"},
        {"HDR width 0", bytes_of(hdr("-Y 1 +X 0")), "0-pixel image"},
        {"HDR flat, complete", bytes_of(hdr("-Y 1 +X 2")) + std::vector<uint8_t>{200, 100, 50, 128, 1, 2, 3, 129},
         nullptr},
        {"HDR flat, one pixel short", bytes_of(hdr("-Y 1 +X 2")) + std::vector<uint8_t>{200, 100, 50, 128},
         "outofdata"},
        // A side of 0, where the decoder hands back an empty buffer.
        {"BMP 0 x 1", bmp(0, 1, 8, 2, {}), "0-pixel image"},
    };
    const std::string dir = scratch_dir();
    const std::string path = dir + "/f";
    for (const GuardCase &c : cases) {
        write_bytes(path, c.file);
        Image img{0, 0, nullptr};
        const int ok = load_image(path.c_str(), &img);
        if (c.reason) {
            EXPECT_EQ(ok, 0) << c.what;
            EXPECT_EQ(imgthumbnail_last_error(), decode_error(path, c.reason)) << c.what;
            EXPECT_EQ(img.pixels, nullptr) << c.what;
        } else {
            EXPECT_EQ(ok, 1) << c.what << ": " << imgthumbnail_last_error();
            if (ok) EXPECT_EQ(from_image(img).rgba, read_pixels(path).rgba) << c.what;
        }
        std::free(img.pixels);
    }
}

// A TGA header: id length, colour map type, image type, colour map start,
// length and entry bits, width, height, pixel bits; top-down.
std::vector<uint8_t> tga(int id, int cmap, int type, int start, int length, int entry_bits, int w, int h, int bits)
{
    return {(uint8_t)id, (uint8_t)cmap, (uint8_t)type, (uint8_t)start, (uint8_t)(start >> 8), (uint8_t)length,
            (uint8_t)(length >> 8), (uint8_t)entry_bits, 0, 0, 0, 0, (uint8_t)w, (uint8_t)(w >> 8), (uint8_t)h,
            (uint8_t)(h >> 8), (uint8_t)bits, 0x20};
}

// A BMP or TGA header that promises a side beyond the library's limit is
// refused for its size before the decoder spends its time on pixels the file
// does not hold, with the message the decoded size would have given. A
// header the decoder itself refuses keeps the decoder's reason.
TEST(HostileFiles, HugeHeadersAreRefusedForTheirSize)
{
    const struct {
        const char *what;
        std::vector<uint8_t> file;
        std::string message; // %s: the path
    } cases[] = {
        {"24-bit, 40000 rows", bmp(3, 40000, 24, 0, {}), "image too large: 3x40000"},
        {"24-bit, 40000 rows, bottom up", bmp(3, -40000, 24, 0, {}), "image too large: 3x40000"},
        {"8-bit, 40000 columns", bmp(40000, 2, 8, 4, {}), "image too large: 40000x2"},
        {"32768 rows pass the limit", bmp(1, 32768, 24, 0, {}), ""},
        {"run-length coded", bmp(3, 40000, 8, 4, {}, 1), "cannot decode '%s': BMP RLE"},
        {"TGA colour-mapped, 40000 rows", tga(0, 1, 1, 0, 2, 24, 3, 40000, 8) + std::vector<uint8_t>(6, 9),
         "image too large: 3x40000"},
        {"TGA colour-mapped, id and map start skipped", tga(2, 1, 1, 1, 2, 24, 3, 40000, 8) + std::vector<uint8_t>(9, 9),
         "image too large: 3x40000"},
        {"TGA colour map cut short", tga(0, 1, 1, 0, 2, 24, 3, 40000, 8) + std::vector<uint8_t>(5, 9),
         "cannot decode '%s': bad palette"},
        {"TGA colour map of 15-bit entries", tga(0, 1, 1, 0, 2, 15, 40000, 3, 8), "image too large: 40000x3"},
        {"TGA run-length true colour", tga(0, 0, 10, 0, 0, 0, 40000, 2, 24), "image too large: 40000x2"},
        {"TGA 16-bit colour", tga(0, 0, 2, 0, 0, 0, 2, 40000, 16), "image too large: 2x40000"},
        {"TGA uncompressed, cut short", tga(0, 0, 2, 0, 0, 0, 40000, 1, 24), "cannot decode '%s': outofdata"},
        {"TGA 32768 columns pass the limit", tga(0, 0, 10, 0, 0, 0, 32768, 1, 24), ""},
    };
    const std::string dir = scratch_dir();
    const std::string path = dir + "/f";
    for (const auto &c : cases) {
        write_bytes(path, c.file);
        Image img{0, 0, nullptr};
        const int ok = load_image(path.c_str(), &img);
        const std::string expected = with_path(c.message, path);
        EXPECT_EQ(ok, expected.empty() ? 1 : 0) << c.what;
        EXPECT_EQ(imgthumbnail_last_error(), expected) << c.what;
        std::free(img.pixels);
        imgthumbnail_cleanup();
    }
}

uint32_t fnv1a(const std::vector<uint8_t> &bytes)
{
    uint32_t h = 2166136261u;
    for (uint8_t b : bytes) h = (h ^ b) * 16777619u;
    return h;
}

// A PSD with alpha whose colours were never matted over white drives the
// decoder's matte removal out of the byte range: a float-to-byte conversion
// that C leaves undefined. It is no memory fault, and every build must still
// make the same pixels of it.
TEST(HostileFiles, UnmattedPsdDecodesAlikeEverywhere)
{
    const std::string dir = scratch_dir();
    const Replay r = prepare(dir, IMGTHUMB_FUZZ_DIR "/crashes/psd-unmatted-alpha-fc458a38");
    Image img;
    ASSERT_EQ(load_image(r.input.c_str(), &img), 1) << imgthumbnail_last_error();
    const Pixels p = from_image(img);
    std::free(img.pixels);
    EXPECT_EQ(p.w, 12);
    EXPECT_EQ(p.h, 9);
    EXPECT_EQ(fnv1a(p.rgba), 4175918855u);
}

} // namespace
