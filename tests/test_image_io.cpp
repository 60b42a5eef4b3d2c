// Reading image files into RGBA and writing thumbnails by extension.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "io/image_io.h"
#include "imgthumbnail.h"
#include "io/stb_bridge.h"
#include "support.h"

#include <stb/stb_image_write.h>

namespace {

std::string load_error(const std::string &path)
{
    Image img{7, 7, (unsigned char *)&img};
    EXPECT_EQ(load_image(path.c_str(), &img), 0) << path;
    // A failed load leaves the Image empty, so freeing it frees nothing.
    EXPECT_EQ(img.width, 0);
    EXPECT_EQ(img.height, 0);
    EXPECT_EQ(img.pixels, nullptr);
    return imgthumbnail_last_error();
}

Pixels load(const std::string &path)
{
    Image img;
    EXPECT_EQ(load_image(path.c_str(), &img), 1) << path << ": " << imgthumbnail_last_error();
    Pixels p;
    if (img.pixels) {
        p = from_image(img);
        std::free(img.pixels);
    }
    return p;
}

uint32_t crc32(const uint8_t *data, size_t n, uint32_t crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < n; i++) {
        crc ^= data[i];
        for (int k = 0; k < 8; k++) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put_chunk(std::vector<uint8_t> &png, const char *type, const std::vector<uint8_t> &data)
{
    const uint32_t n = (uint32_t)data.size();
    const uint8_t len[4] = {(uint8_t)(n >> 24), (uint8_t)(n >> 16), (uint8_t)(n >> 8), (uint8_t)n};
    png.insert(png.end(), len, len + 4);
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    const uint32_t c = crc32(body.data(), body.size());
    const uint8_t crc[4] = {(uint8_t)(c >> 24), (uint8_t)(c >> 16), (uint8_t)(c >> 8), (uint8_t)c};
    png.insert(png.end(), crc, crc + 4);
}

// An 8-bit palette PNG of w x h whose pixel (x, y) has palette index
// (x + y) % palette size.
std::vector<uint8_t> palette_png(int w, int h, const std::vector<std::array<uint8_t, 3>> &palette)
{
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    put_chunk(png, "IHDR", {0, 0, 0, (uint8_t)w, 0, 0, 0, (uint8_t)h, 8, 3, 0, 0, 0});
    std::vector<uint8_t> plte;
    for (auto &c : palette) plte.insert(plte.end(), c.begin(), c.end());
    put_chunk(png, "PLTE", plte);
    std::vector<uint8_t> raw;
    for (int y = 0; y < h; y++) {
        raw.push_back(0); // filter: none
        for (int x = 0; x < w; x++) raw.push_back((uint8_t)((x + y) % palette.size()));
    }
    int zlen = 0;
    unsigned char *z = stbi_zlib_compress(raw.data(), (int)raw.size(), &zlen, 8);
    put_chunk(png, "IDAT", std::vector<uint8_t>(z, z + zlen));
    std::free(z);
    put_chunk(png, "IEND", {});
    return png;
}

TEST(Load, DecoderFailuresAndTheirReasons)
{
    std::string dir = scratch_dir();
    write_text(dir + "/notes.txt", "this is not an image\n");
    write_bytes(dir + "/empty.png", {});
    std::vector<uint8_t> png = read_bytes((write_png(dir + "/good.png", gradient(20, 10)), dir + "/good.png"));
    png.resize(png.size() / 2);
    write_bytes(dir + "/truncated.png", png);

    EXPECT_EQ(load_error(dir + "/missing.png"), "cannot decode '" + dir + "/missing.png': can't fopen");
    EXPECT_EQ(load_error(""), "cannot decode '': can't fopen");
    EXPECT_EQ(load_error(dir + "/notes.txt"), "cannot decode '" + dir + "/notes.txt': unknown image type");
    EXPECT_EQ(load_error(dir + "/empty.png"), "cannot decode '" + dir + "/empty.png': unknown image type");
    // The decoder's own short reason, whatever it is, follows the path.
    std::string truncated = load_error(dir + "/truncated.png");
    EXPECT_EQ(truncated.rfind("cannot decode '" + dir + "/truncated.png': ", 0), 0u) << truncated;
    EXPECT_GT(truncated.size(), ("cannot decode '" + dir + "/truncated.png': ").size());
    // A directory is no image on any platform.
    EXPECT_EQ(load_error(dir).rfind("cannot decode '" + dir + "': ", 0), 0u);
}

// The decoder's reason for some damaged files quotes the file's own bytes:
// the message stays one line of plain text whatever they are, while the
// caller's path is quoted exactly as passed.
TEST(Load, ReasonsArePlainText)
{
    const std::string dir = scratch_dir();
    const std::vector<uint8_t> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<uint8_t> start = signature;
    put_chunk(start, "IHDR", {0, 0, 0, 2, 0, 0, 0, 2, 8, 2, 0, 0, 0});
    // A critical chunk named ESC [ 2 J (a terminal's "clear screen").
    std::vector<uint8_t> escape = start;
    put_chunk(escape, "\x1b[2J", {1, 2, 3});
    // A chunk whose length runs past the end: the next chunk's name reads as
    // four zero bytes, an empty reason.
    std::vector<uint8_t> runs_past = start;
    put_chunk(runs_past, "tEXt", {'a'});
    runs_past[runs_past.size() - 11] = 0x7F; // length 0x7F01
    // An unknown critical chunk whose name is text keeps its reason.
    std::vector<uint8_t> text_name = start;
    put_chunk(text_name, "ABCD", {});
    const struct {
        const char *name;
        std::vector<uint8_t> file;
        const char *reason;
    } cases[] = {
        {"escape.png", escape, "\\x1B[2J PNG chunk not known"},
        {"runs-past.png", runs_past, "unknown error"},
        {"text-name.png", text_name, "ABCD PNG chunk not known"},
        // The path's own bytes are the caller's: never escaped.
        {"caf\xC3\xA9 \x1b[0m.png", escape, "\\x1B[2J PNG chunk not known"},
    };
    for (const auto &c : cases) {
        const std::string path = dir + "/" + c.name;
        write_bytes(path, c.file);
        const std::string message = load_error(path);
        // Where the platform refuses such a name, the open fails instead.
        if (message.find("can't fopen") != std::string::npos) continue;
        EXPECT_EQ(message, "cannot decode '" + path + "': " + c.reason) << c.name;
    }
    const std::string missing = dir + "/\x1b[2J\xFF.png";
    EXPECT_EQ(load_error(missing), "cannot decode '" + missing + "': can't fopen");
}

TEST(Load, SideLimitIs32768)
{
    std::string dir = scratch_dir();
    Pixels wide = make_pixels(32768, 1, [](int x, int) { return std::array<int, 4>{x & 255, 1, 2, 255}; });
    write_png(dir + "/ok.png", wide);
    Pixels got = load(dir + "/ok.png");
    EXPECT_EQ(got.w, 32768);
    EXPECT_EQ(got.rgba, wide.rgba);

    Pixels tall = make_pixels(1, 32769, [](int, int y) { return std::array<int, 4>{y & 255, 0, 0, 255}; });
    write_png(dir + "/tall.png", tall);
    EXPECT_EQ(load_error(dir + "/tall.png"), "image too large: 1x32769");
    Pixels too_wide = make_pixels(32769, 1, [](int, int) { return std::array<int, 4>{0, 0, 0, 255}; });
    write_png(dir + "/wide.png", too_wide);
    EXPECT_EQ(load_error(dir + "/wide.png"), "image too large: 32769x1");
    // Through an operation: 0, the message, no output.
    EXPECT_EQ(imgthumbnail_square((dir + "/wide.png").c_str(), (dir + "/t.png").c_str(), 10), 0);
    EXPECT_STREQ(imgthumbnail_last_error(), "image too large: 32769x1");
    EXPECT_FALSE(path_exists(dir + "/t.png"));
}

TEST(Load, FormatComesFromContentNotName)
{
    std::string dir = scratch_dir();
    Pixels src = gradient(9, 5);
    write_png(dir + "/really-a-png.jpg", src);
    write_png(dir + "/no-extension", src);
    EXPECT_EQ(load(dir + "/really-a-png.jpg").rgba, src.rgba); // alpha kept
    EXPECT_EQ(load(dir + "/no-extension").rgba, src.rgba);
}

TEST(Load, EveryFormatBecomesRgba)
{
    std::string dir = scratch_dir();
    // Palette PNG: colours from the palette, alpha 255.
    write_bytes(dir + "/palette.png", palette_png(5, 3, {{10, 20, 30}, {200, 100, 0}, {0, 255, 7}}));
    Pixels pal = load(dir + "/palette.png");
    ASSERT_EQ(pal.w, 5);
    EXPECT_EQ(std::vector<uint8_t>(pal.at(0, 0), pal.at(0, 0) + 4), (std::vector<uint8_t>{10, 20, 30, 255}));
    EXPECT_EQ(std::vector<uint8_t>(pal.at(2, 2), pal.at(2, 2) + 4), (std::vector<uint8_t>{200, 100, 0, 255}));

    // RGB BMP and a grey PGM: alpha 255, grey gives R = G = B.
    Pixels rgb = make_pixels(4, 3, [](int x, int y) { return std::array<int, 4>{x * 60, y * 80, 33, 255}; });
    ASSERT_TRUE(stbi_write_bmp((dir + "/rgb.bmp").c_str(), 4, 3, 4, rgb.rgba.data()) != 0);
    EXPECT_EQ(load(dir + "/rgb.bmp").rgba, rgb.rgba);
    write_text(dir + "/grey.pgm", std::string("P5\n2 1\n255\n") + char(7) + char(200));
    EXPECT_EQ(load(dir + "/grey.pgm").rgba, (std::vector<uint8_t>{7, 7, 7, 255, 200, 200, 200, 255}));
}

TEST(Save, FlatteningOverWhite)
{
    const struct { int c, a, out; } table[] = {
        {0, 128, 127}, {200, 100, 233}, {128, 128, 191}, {10, 1, 254}, {0, 254, 1},
        {100, 255, 100}, {0, 0, 255}, {255, 0, 255}, {77, 0, 255}, {255, 255, 255},
    };
    for (auto t : table) {
        const unsigned char px[4] = {(unsigned char)t.c, (unsigned char)t.c, 0, (unsigned char)t.a};
        unsigned char rgb[3];
        flatten_over_white(px, 1, rgb);
        EXPECT_EQ(rgb[0], t.out) << t.c << "," << t.a;
        EXPECT_EQ(rgb[1], t.out);
    }
    // Exhaustively: equal to (255 - a) + (c * a + 127) / 255.
    for (int a = 0; a < 256; a++)
        for (int c = 0; c < 256; c++) {
            const unsigned char px[4] = {(unsigned char)c, 0, 0, (unsigned char)a};
            unsigned char rgb[3];
            flatten_over_white(px, 1, rgb);
            ASSERT_EQ(rgb[0], (255 - a) + (c * a + 127) / 255) << c << "," << a;
        }
}

enum Kind { PNG, JPEG, BMP, TGA };

Kind sniff(const std::vector<uint8_t> &b)
{
    if (b.size() > 8 && b[0] == 0x89 && b[1] == 'P') return PNG;
    if (b.size() > 3 && b[0] == 0xFF && b[1] == 0xD8) return JPEG;
    if (b.size() > 2 && b[0] == 'B' && b[1] == 'M') return BMP;
    return TGA;
}

TEST(Save, ExtensionChoosesTheFormat)
{
    const struct { const char *name; Kind kind; } table[] = {
        {"thumb.jpg", JPEG},     {"thumb.JPG", JPEG}, {"thumb.Jpeg", JPEG},     {"thumb.bmp", BMP},
        {"thumb.BmP", BMP},      {"thumb.tga", TGA},  {"thumb.TGA", TGA},       {"thumb.png", PNG},
        {"thumb.jpe", PNG},      {"thumb.gif", PNG},  {"thumb.webp", PNG},      {"thumb", PNG},
        {"thumb.", PNG},         {"thumb.png.jpg", JPEG}, {"thumb.jpg.png", PNG}, {"photos.old/thumb", PNG},
    };
    std::string dir = scratch_dir();
    Pixels src = gradient(6, 4);
    for (auto t : table) {
        std::string path = dir + "/" + t.name;
        if (std::string(t.name).find('/') != std::string::npos) {
            std::string sub = path.substr(0, path.rfind('/'));
            std::filesystem::create_directories(sub);
        }
        ASSERT_EQ(save_image(path.c_str(), as_image(src), JPEG_QUALITY_DEFAULT), 1) << t.name;
        EXPECT_EQ(sniff(read_bytes(path)), t.kind) << t.name;
    }
}

TEST(Save, PixelsAsWritten)
{
    std::string dir = scratch_dir();
    Pixels src = make_pixels(3, 2, [](int x, int y) {
        const std::array<int, 4> px[] = {{0, 0, 0, 128}, {200, 10, 99, 0}, {100, 150, 200, 255},
                                         {200, 200, 200, 100}, {1, 2, 3, 4}, {255, 255, 255, 255}};
        return px[y * 3 + x];
    });
    // PNG and TGA keep all four channels byte for byte.
    for (const char *name : {"/a.png", "/a.tga", "/a.TGA"}) {
        ASSERT_EQ(save_image((dir + name).c_str(), as_image(src), JPEG_QUALITY_DEFAULT), 1);
        EXPECT_EQ(read_pixels(dir + name).rgba, src.rgba) << name;
    }
    // BMP holds the flattened colours exactly, with alpha 255.
    ASSERT_EQ(save_image((dir + "/a.bmp").c_str(), as_image(src), JPEG_QUALITY_DEFAULT), 1);
    EXPECT_EQ(read_pixels(dir + "/a.bmp").rgba,
              (std::vector<uint8_t>{127, 127, 127, 255, 255, 255, 255, 255, 100, 150, 200, 255,
                                    233, 233, 233, 255, 251, 251, 251, 255, 255, 255, 255, 255}));
    // The Image handed in is untouched.
    EXPECT_EQ(src.rgba[3], 128);
}

TEST(Save, FailuresNameTheOutput)
{
    std::string dir = scratch_dir();
    Pixels src = gradient(4, 4);
    for (std::string path : {dir + "/missing-dir/t.png", dir + "/missing-dir/t.jpg", dir}) {
        EXPECT_EQ(save_image(path.c_str(), as_image(src), JPEG_QUALITY_DEFAULT), 0) << path;
        EXPECT_EQ(std::string(imgthumbnail_last_error()), "cannot encode '" + path + "' (check the extension)");
    }
    EXPECT_FALSE(path_exists(dir + "/missing-dir"));
}

#ifdef __linux__
TEST(Save, WriteErrorsAreFailures)
{
    // A full device accepts the open and fails the writes: that must be a
    // failure, and the device must not be removed.
    Pixels src = gradient(64, 64);
    EXPECT_EQ(save_image("/dev/full", as_image(src), JPEG_QUALITY_DEFAULT), 0);
    EXPECT_STREQ(imgthumbnail_last_error(), "cannot encode '/dev/full' (check the extension)");
    EXPECT_TRUE(path_exists("/dev/full"));
}
#endif

} // namespace
