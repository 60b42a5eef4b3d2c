// Writes the fuzz seed corpus (small, well-formed files of every input
// format the decoder reads) and the known hostile files, each as a fuzz
// input: FUZZ_PARAM_BYTES parameter bytes followed by the file.
//
// usage: make_seeds CORPUS_DIR HOSTILE_DIR
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <stb/stb_image_write.h>

#include "fuzz_input.h"
#include "io/stb_bridge.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Seeds are small so that every mutation decodes quickly.
const int SEED_W = 12;
const int SEED_H = 9;
// Parameters of the seeds: a 10-pixel square or 4:3 thumbnail, a 10 x 7
// smart crop, output format chosen by the last byte.
const uint8_t SEED_SIDE = 9;   // side_from gives 1 + 9
const uint8_t SEED_HEIGHT = 6; // 1 + 6; as a ratio index, 6 % 4 = 2

struct Rgba {
    uint8_t r, g, b, a;
};

// A picture with edges, gradients and some transparency.
Rgba seed_pixel(int x, int y, int w, int h)
{
    const uint8_t r = (uint8_t)(x * 255 / (w - 1));
    const uint8_t g = (uint8_t)(y * 255 / (h - 1));
    const uint8_t b = (uint8_t)(((x / 3 + y / 2) & 1) ? 220 : 30);
    const uint8_t a = (uint8_t)(x == 0 ? 0 : (x == 1 ? 128 : 255));
    return Rgba{r, g, b, a};
}

void put(Bytes &b, std::initializer_list<int> values)
{
    for (int v : values) b.push_back((uint8_t)v);
}
void put16le(Bytes &b, int v) { put(b, {v & 255, (v >> 8) & 255}); }
void put32le(Bytes &b, uint32_t v) { put(b, {(int)(v & 255), (int)(v >> 8 & 255), (int)(v >> 16 & 255), (int)(v >> 24)}); }
void put16be(Bytes &b, int v) { put(b, {(v >> 8) & 255, v & 255}); }
void put32be(Bytes &b, uint32_t v) { put(b, {(int)(v >> 24), (int)(v >> 16 & 255), (int)(v >> 8 & 255), (int)(v & 255)}); }
void put_text(Bytes &b, const std::string &s) { b.insert(b.end(), s.begin(), s.end()); }

void append_cb(void *context, void *data, int size)
{
    Bytes *b = (Bytes *)context;
    b->insert(b->end(), (uint8_t *)data, (uint8_t *)data + size);
}

std::vector<uint8_t> rgba_pixels(int w, int h, int channels)
{
    std::vector<uint8_t> px;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const Rgba c = seed_pixel(x, y, w, h);
            const uint8_t all[4] = {c.r, c.g, c.b, c.a};
            if (channels == 1) px.push_back(c.g);
            else px.insert(px.end(), all, all + channels);
        }
    return px;
}

// ---- PNG ---------------------------------------------------------------

uint32_t crc32(const uint8_t *data, size_t n)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; i++) {
        crc ^= data[i];
        for (int k = 0; k < 8; k++) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void png_chunk(Bytes &png, const char *type, const Bytes &data)
{
    put32be(png, (uint32_t)data.size());
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    put32be(png, crc32(body.data(), body.size()));
}

// A PNG from raw scanlines (each already led by its filter byte).
Bytes png_file(int w, int h, int depth, int colour, const Bytes &raw, const Bytes &plte, const Bytes &trns)
{
    Bytes png;
    put(png, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'});
    Bytes ihdr;
    put32be(ihdr, (uint32_t)w);
    put32be(ihdr, (uint32_t)h);
    put(ihdr, {depth, colour, 0, 0, 0});
    png_chunk(png, "IHDR", ihdr);
    if (!plte.empty()) png_chunk(png, "PLTE", plte);
    if (!trns.empty()) png_chunk(png, "tRNS", trns);
    int zlen = 0;
    unsigned char *z = stbi_zlib_compress((unsigned char *)raw.data(), (int)raw.size(), &zlen, 8);
    png_chunk(png, "IDAT", Bytes(z, z + zlen));
    std::free(z);
    png_chunk(png, "IEND", {});
    return png;
}

Bytes png_rgba()
{
    Bytes b;
    const auto px = rgba_pixels(SEED_W, SEED_H, 4);
    stbi_write_png_to_func(append_cb, &b, SEED_W, SEED_H, 4, px.data(), 0);
    return b;
}

Bytes png_palette()
{
    const int colours = 5;
    Bytes plte, trns, raw;
    for (int i = 0; i < colours; i++) put(plte, {i * 50, 255 - i * 40, (i * 97) & 255});
    put(trns, {0, 128});
    for (int y = 0; y < SEED_H; y++) {
        raw.push_back(0);
        for (int x = 0; x < SEED_W; x++) raw.push_back((uint8_t)((x + y) % colours));
    }
    return png_file(SEED_W, SEED_H, 8, 3, raw, plte, trns);
}

Bytes png_grey16()
{
    Bytes raw;
    for (int y = 0; y < SEED_H; y++) {
        raw.push_back(1); // filter: sub
        for (int x = 0; x < SEED_W; x++) put16be(raw, x == 0 ? y * 5000 : 700);
    }
    return png_file(SEED_W, SEED_H, 16, 0, raw, {}, {});
}

// ---- JPEG, BMP and TGA from the encoder ---------------------------------

Bytes jpeg_rgb()
{
    Bytes b;
    const auto px = rgba_pixels(SEED_W * 2, SEED_H * 2, 3);
    stbi_write_jpg_to_func(append_cb, &b, SEED_W * 2, SEED_H * 2, 3, px.data(), 90);
    return b;
}

Bytes jpeg_grey()
{
    Bytes b;
    const auto px = rgba_pixels(SEED_W, SEED_H, 1);
    stbi_write_jpg_to_func(append_cb, &b, SEED_W, SEED_H, 1, px.data(), 75);
    return b;
}

// ---- EXIF Orientation tags, in JPEG and PNG --------------------------------

// A TIFF structure whose first IFD holds Make and Orientation, in either
// byte order: the bytes the orientation reader parses.
Bytes exif_tiff(int orientation, bool big)
{
    Bytes t;
    put_text(t, big ? "MM" : "II");
    auto p16 = [&](int v) { big ? put16be(t, v) : put16le(t, v); };
    auto p32 = [&](uint32_t v) { big ? put32be(t, v) : put32le(t, v); };
    p16(42);
    p32(8);
    p16(2);
    p16(271), p16(2), p32(4), put_text(t, "cam");
    t.push_back(0);
    p16(274), p16(3), p32(1), p16(orientation), p16(0);
    p32(0); // no next IFD
    return t;
}

// The RGB JPEG with an APP1 "Exif" segment right after its start of image.
Bytes jpeg_exif(int orientation, bool big)
{
    Bytes jpg = jpeg_rgb(), app1 = {0xFF, 0xE1, 0, 0};
    put_text(app1, std::string("Exif\0\0", 6));
    const Bytes tiff = exif_tiff(orientation, big);
    app1.insert(app1.end(), tiff.begin(), tiff.end());
    app1[2] = (uint8_t)((app1.size() - 2) >> 8);
    app1[3] = (uint8_t)(app1.size() - 2);
    jpg.insert(jpg.begin() + 2, app1.begin(), app1.end());
    return jpg;
}

// The RGBA PNG with an eXIf chunk after IHDR, or before IEND when late.
Bytes png_exif(int orientation, bool late)
{
    const size_t after_ihdr = 33, iend = 12;
    Bytes png = png_rgba(), chunk;
    png_chunk(chunk, "eXIf", exif_tiff(orientation, !late));
    png.insert(late ? png.end() - (std::ptrdiff_t)iend : png.begin() + (std::ptrdiff_t)after_ihdr, chunk.begin(),
               chunk.end());
    return png;
}
Bytes jpeg_exif_6() { return jpeg_exif(6, false); }
Bytes jpeg_exif_8() { return jpeg_exif(8, true); }
Bytes png_exif_5() { return png_exif(5, false); }
Bytes png_exif_late_3() { return png_exif(3, true); }

Bytes bmp_rgb()
{
    Bytes b;
    const auto px = rgba_pixels(SEED_W, SEED_H, 3);
    stbi_write_bmp_to_func(append_cb, &b, SEED_W, SEED_H, 3, px.data());
    return b;
}

Bytes tga_rle()
{
    Bytes b;
    const auto px = rgba_pixels(SEED_W, SEED_H, 4);
    stbi_write_tga_to_func(append_cb, &b, SEED_W, SEED_H, 4, px.data());
    return b;
}

// ---- BMP by hand -----------------------------------------------------------

// BMP file and info headers (40-byte info header unless hsz says otherwise).
void bmp_header(Bytes &b, int w, int h, int bpp, int palette_entries, int hsz, int compress, uint32_t data_bytes)
{
    const int extra = (hsz == 40 && compress == 3) ? 12 : 0;
    const uint32_t offset = 14u + (uint32_t)hsz + (uint32_t)extra + (uint32_t)palette_entries * 4u;
    put(b, {'B', 'M'});
    put32le(b, offset + data_bytes);
    put32le(b, 0);
    put32le(b, offset);
    put32le(b, (uint32_t)hsz);
    put32le(b, (uint32_t)w);
    put32le(b, (uint32_t)h);
    put16le(b, 1);
    put16le(b, bpp);
    put32le(b, (uint32_t)compress);
    put32le(b, data_bytes);
    put32le(b, 2835);
    put32le(b, 2835);
    put32le(b, (uint32_t)palette_entries);
    put32le(b, 0);
}

// A paletted BMP whose pixel (x, y) has index f(x, y); rows bottom-up.
template <typename F> Bytes bmp_paletted(int w, int h, int bpp, int entries, F index)
{
    const int row_bytes = ((w * bpp + 31) / 32) * 4;
    Bytes b;
    bmp_header(b, w, h, bpp, entries, 40, 0, (uint32_t)(row_bytes * h));
    for (int i = 0; i < entries; i++) put(b, {(i * 40) & 255, (i * 90) & 255, 255 - ((i * 30) & 255), 0});
    for (int y = h - 1; y >= 0; y--) {
        Bytes row((size_t)row_bytes, 0);
        for (int x = 0; x < w; x++) {
            const int v = index(x, y);
            const int bit = x * bpp;
            row[(size_t)bit / 8] |= (uint8_t)(v << (8 - bpp - bit % 8));
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

Bytes bmp_8bit() { return bmp_paletted(SEED_W, SEED_H, 8, 16, [](int x, int y) { return (x + y) % 16; }); }
Bytes bmp_4bit() { return bmp_paletted(SEED_W, SEED_H, 4, 16, [](int x, int y) { return (x * y) % 16; }); }
Bytes bmp_1bit() { return bmp_paletted(SEED_W, SEED_H, 1, 2, [](int x, int y) { return (x / 2 + y) & 1; }); }

// 32-bit BMP with a V4 header and explicit channel masks, top-down rows.
Bytes bmp_32bit_masks()
{
    const int hsz = 108;
    Bytes b;
    bmp_header(b, SEED_W, -SEED_H, 32, 0, hsz, 3, (uint32_t)(SEED_W * SEED_H * 4));
    put32le(b, 0x00FF0000u);
    put32le(b, 0x0000FF00u);
    put32le(b, 0x000000FFu);
    put32le(b, 0xFF000000u);
    put32le(b, 0x73524742u); // colour space "sRGB"
    for (int i = 0; i < 12; i++) put32le(b, 0);
    for (int y = 0; y < SEED_H; y++)
        for (int x = 0; x < SEED_W; x++) {
            const Rgba c = seed_pixel(x, y, SEED_W, SEED_H);
            put(b, {c.b, c.g, c.r, c.a});
        }
    return b;
}

// 16-bit BMP, 5-5-5 by default masks.
Bytes bmp_16bit()
{
    const int row_bytes = ((SEED_W * 16 + 31) / 32) * 4;
    Bytes b;
    bmp_header(b, SEED_W, SEED_H, 16, 0, 40, 0, (uint32_t)(row_bytes * SEED_H));
    for (int y = SEED_H - 1; y >= 0; y--) {
        for (int x = 0; x < SEED_W; x++) {
            const Rgba c = seed_pixel(x, y, SEED_W, SEED_H);
            put16le(b, ((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3));
        }
        for (int p = SEED_W * 2; p < row_bytes; p++) b.push_back(0);
    }
    return b;
}

// ---- TGA by hand -----------------------------------------------------------

void tga_header(Bytes &b, int id_len, int cmap_type, int type, int cmap_len, int cmap_bits, int w, int h, int bpp,
                int descriptor)
{
    put(b, {id_len, cmap_type, type});
    put16le(b, 0);
    put16le(b, cmap_len);
    b.push_back((uint8_t)cmap_bits);
    put16le(b, 0);
    put16le(b, 0);
    put16le(b, w);
    put16le(b, h);
    put(b, {bpp, descriptor});
}

Bytes tga_uncompressed_rgb()
{
    Bytes b;
    tga_header(b, 3, 0, 2, 0, 0, SEED_W, SEED_H, 24, 0x20);
    put_text(b, "id!");
    for (int y = 0; y < SEED_H; y++)
        for (int x = 0; x < SEED_W; x++) {
            const Rgba c = seed_pixel(x, y, SEED_W, SEED_H);
            put(b, {c.b, c.g, c.r});
        }
    return b;
}

Bytes tga_indexed()
{
    const int colours = 6;
    Bytes b;
    tga_header(b, 0, 1, 1, colours, 24, SEED_W, SEED_H, 8, 0);
    for (int i = 0; i < colours; i++) put(b, {i * 40, 200 - i * 30, (i * 77) & 255});
    for (int y = 0; y < SEED_H; y++)
        for (int x = 0; x < SEED_W; x++) b.push_back((uint8_t)((x * x + y) % colours));
    return b;
}

Bytes tga_grey_rle()
{
    Bytes b;
    tga_header(b, 0, 0, 11, 0, 0, SEED_W, SEED_H, 8, 0x20);
    for (int y = 0; y < SEED_H; y++) {
        put(b, {0x80 | (SEED_W / 2 - 1), y * 20}); // a run of half a row
        b.push_back((uint8_t)(SEED_W / 2 - 1));    // then literal pixels
        for (int x = SEED_W / 2; x < SEED_W; x++) b.push_back((uint8_t)(x * 20));
    }
    return b;
}

// ---- GIF -------------------------------------------------------------------

// LZW codes packed least significant bit first.
struct BitPacker {
    Bytes out;
    uint32_t acc = 0;
    int bits = 0;
    void code(int c, int size)
    {
        acc |= (uint32_t)c << bits;
        bits += size;
        while (bits >= 8) {
            out.push_back((uint8_t)(acc & 255));
            acc >>= 8;
            bits -= 8;
        }
    }
    void flush()
    {
        if (bits > 0) out.push_back((uint8_t)(acc & 255));
        acc = 0;
        bits = 0;
    }
};

// A GIF with a four-colour table and one transparent colour. The LZW data is
// literal codes only, with a clear code before the table could grow, so the
// code size never changes.
Bytes gif_file()
{
    const int min_code = 2, clear = 1 << min_code, end = clear + 1, code_size = min_code + 1;
    const int literals_per_clear = 2;
    Bytes b;
    put_text(b, "GIF89a");
    put16le(b, SEED_W);
    put16le(b, SEED_H);
    put(b, {0xF1, 0, 0}); // global table of 4 colours
    put(b, {0, 0, 0, 255, 0, 0, 0, 255, 0, 250, 250, 250});
    put(b, {0x21, 0xF9, 4, 0x01, 0, 0, 3, 0}); // transparent index 3
    put(b, {0x2C});
    put16le(b, 0);
    put16le(b, 0);
    put16le(b, SEED_W);
    put16le(b, SEED_H);
    b.push_back(0);
    b.push_back((uint8_t)min_code);
    BitPacker lzw;
    int n = 0;
    for (int y = 0; y < SEED_H; y++)
        for (int x = 0; x < SEED_W; x++) {
            if (n++ % literals_per_clear == 0) lzw.code(clear, code_size);
            lzw.code((x / 3 + y) % 4, code_size);
        }
    lzw.code(end, code_size);
    lzw.flush();
    const size_t block = 255;
    for (size_t i = 0; i < lzw.out.size(); i += block) {
        const size_t len = lzw.out.size() - i < block ? lzw.out.size() - i : block;
        b.push_back((uint8_t)len);
        b.insert(b.end(), lzw.out.begin() + (long)i, lzw.out.begin() + (long)(i + len));
    }
    put(b, {0, 0x3B});
    return b;
}

// ---- PSD -------------------------------------------------------------------

Bytes psd_header(int channels)
{
    Bytes b;
    put_text(b, "8BPS");
    put16be(b, 1);
    put(b, {0, 0, 0, 0, 0, 0});
    put16be(b, channels);
    put32be(b, SEED_H);
    put32be(b, SEED_W);
    put16be(b, 8);
    put16be(b, 3);  // RGB
    put32be(b, 0);  // colour mode data
    put32be(b, 0);  // image resources
    put32be(b, 0);  // layers and masks
    return b;
}

uint8_t psd_sample(int x, int y, int channel)
{
    const Rgba c = seed_pixel(x, y, SEED_W, SEED_H);
    const uint8_t all[4] = {c.r, c.g, c.b, c.a};
    return all[channel];
}

Bytes psd_raw()
{
    const int channels = 4;
    Bytes b = psd_header(channels);
    put16be(b, 0);
    for (int c = 0; c < channels; c++)
        for (int y = 0; y < SEED_H; y++)
            for (int x = 0; x < SEED_W; x++) b.push_back(psd_sample(x, y, c));
    return b;
}

// PackBits rows: each row is one literal run of its first half and one
// repeat of its last sample.
Bytes psd_rle()
{
    const int channels = 3, half = SEED_W / 2;
    Bytes b = psd_header(channels);
    put16be(b, 1);
    const int row_len = 1 + half + 2;
    for (int i = 0; i < channels * SEED_H; i++) put16be(b, row_len);
    for (int c = 0; c < channels; c++)
        for (int y = 0; y < SEED_H; y++) {
            b.push_back((uint8_t)(half - 1));
            for (int x = 0; x < half; x++) b.push_back(psd_sample(x, y, c));
            put(b, {257 - (SEED_W - half), psd_sample(SEED_W - 1, y, c)});
        }
    return b;
}

// ---- HDR -------------------------------------------------------------------

Bytes hdr_header(int w, int h)
{
    Bytes b;
    put_text(b, "#?RADIANCE\n# made for the fuzz corpus\nFORMAT=32-bit_rle_rgbe\n\n");
    put_text(b, "-Y " + std::to_string(h) + " +X " + std::to_string(w) + "\n");
    return b;
}

Rgba rgbe(int x, int y) { return Rgba{(uint8_t)(128 + x * 9), (uint8_t)(128 + y * 12), 200, (uint8_t)(126 + (x & 3))}; }

// Fewer than eight columns: stored flat.
Bytes hdr_flat()
{
    const int w = 6;
    Bytes b = hdr_header(w, SEED_H);
    for (int y = 0; y < SEED_H; y++)
        for (int x = 0; x < w; x++) {
            const Rgba c = rgbe(x, y);
            put(b, {c.r, c.g, c.b, c.a});
        }
    return b;
}

// Eight columns or more: run-length coded scanlines, one component at a
// time, as one literal dump of the first half and one run of the rest.
Bytes hdr_rle()
{
    const int w = 16, half = w / 2;
    Bytes b = hdr_header(w, SEED_H);
    for (int y = 0; y < SEED_H; y++) {
        put(b, {2, 2, w >> 8, w & 255});
        for (int k = 0; k < 4; k++) {
            b.push_back((uint8_t)half);
            for (int x = 0; x < half; x++) {
                const Rgba c = rgbe(x, y);
                const uint8_t all[4] = {c.r, c.g, c.b, c.a};
                b.push_back(all[k]);
            }
            const Rgba c = rgbe(half, y);
            const uint8_t all[4] = {c.r, c.g, c.b, c.a};
            put(b, {128 + (w - half), all[k]});
        }
    }
    return b;
}

// ---- PIC -------------------------------------------------------------------

Bytes pic_header(int w, int h)
{
    Bytes b;
    put(b, {0x53, 0x80, 0xF6, 0x34});
    put32be(b, 0x40533333u); // version 3.3 as a float
    std::string comment = "fuzz corpus";
    comment.resize(80, '\0');
    put_text(b, comment);
    put_text(b, "PICT");
    put16be(b, w);
    put16be(b, h);
    put32be(b, 0x3F800000u); // ratio 1.0
    put16be(b, 3);           // both fields
    put16be(b, 0);
    return b;
}

// Colour in a mixed run-length packet, alpha in an uncompressed one.
Bytes pic_file()
{
    Bytes b = pic_header(SEED_W, SEED_H);
    put(b, {1, 8, 2, 0xE0}); // chained, 8 bits, mixed RLE, R G B
    put(b, {0, 8, 0, 0x10}); // last, 8 bits, uncompressed, A
    const int half = SEED_W / 2;
    for (int y = 0; y < SEED_H; y++) {
        b.push_back((uint8_t)(half - 1)); // raw run of half the row
        for (int x = 0; x < half; x++) {
            const Rgba c = seed_pixel(x, y, SEED_W, SEED_H);
            put(b, {c.r, c.g, c.b});
        }
        const Rgba c = seed_pixel(half, y, SEED_W, SEED_H);
        put(b, {127 + (SEED_W - half), c.r, c.g, c.b}); // repeat the rest
        for (int x = 0; x < SEED_W; x++) b.push_back(seed_pixel(x, y, SEED_W, SEED_H).a);
    }
    return b;
}

// ---- PNM -------------------------------------------------------------------

// A binary PNM of the seed picture: P6 colour or P5 grey.
Bytes pnm(const std::string &magic, const std::string &comment, int maxv, int channels)
{
    Bytes b;
    put_text(b, magic + "\n" + comment + std::to_string(SEED_W) + " " + std::to_string(SEED_H) + "\n" +
                    std::to_string(maxv) + "\n");
    const auto px = rgba_pixels(SEED_W, SEED_H, channels);
    b.insert(b.end(), px.begin(), px.end());
    return b;
}

Bytes ppm() { return pnm("P6", "", 255, 3); }
Bytes pgm() { return pnm("P5", "# grey\n", 200, 1); }

// ---- Hostile files: the decoder's known holes ------------------------------

// A file without its last n bytes.
Bytes cut(Bytes b, size_t n)
{
    b.resize(b.size() - n);
    return b;
}

// Run-length HDR whose scanline has a zero-length dump: the decoder would
// loop for ever on it.
Bytes hostile_hdr_zero_run()
{
    const int w = 16;
    Bytes b = hdr_header(w, 2);
    put(b, {2, 2, w >> 8, w & 255});
    put(b, {128 + w, 140}); // red: one full run
    put(b, {0});            // green: a dump of no bytes
    return b;
}

// Flat HDR cut short: the decoder would turn stack bytes into pixels.
Bytes hostile_hdr_truncated_flat() { return cut(hdr_flat(), 4 * 5); }

// 16-bit binary PGM: converted as 8-bit, then read past its buffer.
Bytes hostile_pnm_16bit()
{
    Bytes b;
    put_text(b, "P5\n4 3\n65535\n");
    for (int i = 0; i < 4 * 3; i++) put16be(b, i * 5000);
    return b;
}

// PPM with fewer samples than its header promises: the rest of the pixel
// buffer would be uninitialised heap.
Bytes hostile_pnm_truncated() { return cut(ppm(), 3 * SEED_W * 2); }

// PIC whose packet data ends early: the decoder converts a null result when
// asked for other than four channels.
Bytes hostile_pic_truncated()
{
    const Bytes whole = pic_file();
    return cut(whole, whole.size() - (pic_header(SEED_W, SEED_H).size() + 8 + 10));
}

// Uncompressed TGA cut short: the unread rows would be heap bytes.
Bytes hostile_tga_truncated() { return cut(tga_uncompressed_rgb(), 3 * SEED_W * 4); }

// 8-bit BMP with a 4-entry palette whose pixels use index 200: the decoder
// would read its uninitialised palette on the stack.
Bytes hostile_bmp_short_palette()
{
    return bmp_paletted(SEED_W, SEED_H, 8, 4, [](int x, int y) { return (x + y) % 3 == 0 ? 200 : x % 4; });
}

// A JPEG with a DHT segment, inserted just before the scan, that replaces
// table 0 of the class with the given counts per code length; its values are
// 0, 1, 2, ... When first_code is not empty, the scan data starts with it.
Bytes jpeg_with_table(int table_class, const int counts[16], const Bytes &first_code)
{
    Bytes jpg = jpeg_rgb();
    // Placed just before the scan so that it replaces the encoder's table.
    size_t sos = 2;
    while (sos + 1 < jpg.size() && !(jpg[sos] == 0xFF && jpg[sos + 1] == 0xDA)) sos++;
    Bytes dht;
    int n = 0;
    for (int i = 0; i < 16; i++) n += counts[i];
    put(dht, {0xFF, 0xC4});
    put16be(dht, 2 + 17 + n);
    dht.push_back((uint8_t)(table_class << 4));
    for (int i = 0; i < 16; i++) dht.push_back((uint8_t)counts[i]);
    for (int i = 0; i < n; i++) dht.push_back((uint8_t)i);
    jpg.insert(jpg.begin() + (long)sos, dht.begin(), dht.end());
    const size_t scan = sos + dht.size();
    const size_t data = scan + 2 + ((size_t)jpg[scan + 2] << 8 | jpg[scan + 3]);
    std::copy(first_code.begin(), first_code.end(), jpg.begin() + (long)data);
    return jpg;
}

// More than 256 codes in one table: the decoder writes past its table.
Bytes hostile_jpeg_huffman_overflow()
{
    const int counts[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255, 255, 255, 255, 255};
    return jpeg_with_table(1, counts, {});
}

// 256 DC codes with the last one short enough for the fast table, where
// index 255 means "not there", and a scan that starts with that code
// (111111110, the 0xFF stuffed): the decoder asserts (or, without asserts,
// decodes a code of the wrong length).
Bytes hostile_jpeg_huffman_fast_collision()
{
    const int counts[16] = {0, 0, 0, 0, 0, 0, 0, 255, 1, 0, 0, 0, 0, 0, 0, 0};
    return jpeg_with_table(0, counts, {0xFF, 0x00, 0x00});
}

bool write_input(const std::string &dir, const std::string &name, const Bytes &file, int format)
{
    Bytes input = {SEED_SIDE, SEED_HEIGHT, (uint8_t)format};
    static_assert(FUZZ_PARAM_BYTES == 3, "the seeds' parameter bytes");
    input.insert(input.end(), file.begin(), file.end());
    const std::string path = dir + "/" + name;
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(input.data(), 1, input.size(), f) == input.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR HOSTILE_DIR\n", argv[0]);
        return 2;
    }
    const std::string corpus = argv[1], hostile = argv[2];
    struct Seed {
        const char *name;
        Bytes (*make)();
    };
    const Seed seeds[] = {
        {"png-rgba", png_rgba},           {"png-palette", png_palette}, {"png-grey16", png_grey16},
        {"jpeg-rgb", jpeg_rgb},           {"jpeg-grey", jpeg_grey},     {"bmp-rgb", bmp_rgb},
        {"bmp-8bit", bmp_8bit},           {"bmp-4bit", bmp_4bit},       {"bmp-1bit", bmp_1bit},
        {"bmp-32bit-masks", bmp_32bit_masks}, {"bmp-16bit", bmp_16bit}, {"tga-rle", tga_rle},
        {"tga-rgb", tga_uncompressed_rgb}, {"tga-indexed", tga_indexed}, {"tga-grey-rle", tga_grey_rle},
        {"gif", gif_file},                {"psd-raw", psd_raw},         {"psd-rle", psd_rle},
        {"hdr-flat", hdr_flat},           {"hdr-rle", hdr_rle},         {"pic", pic_file},
        {"ppm", ppm},                     {"pgm", pgm},
        // Four, so that the hostile files after them keep their output formats.
        {"jpeg-exif-6", jpeg_exif_6},     {"jpeg-exif-8", jpeg_exif_8}, {"png-exif-5", png_exif_5},
        {"png-exif-late-3", png_exif_late_3},
    };
    const Seed hostiles[] = {
        {"hdr-zero-length-run", hostile_hdr_zero_run},
        {"hdr-truncated-flat", hostile_hdr_truncated_flat},
        {"pnm-16bit", hostile_pnm_16bit},
        {"pnm-truncated", hostile_pnm_truncated},
        {"pic-truncated-packets", hostile_pic_truncated},
        {"tga-truncated", hostile_tga_truncated},
        {"bmp-short-palette", hostile_bmp_short_palette},
        {"jpeg-huffman-overflow", hostile_jpeg_huffman_overflow},
        {"jpeg-huffman-fast-collision", hostile_jpeg_huffman_fast_collision},
    };
    const int formats = 4; // the output extensions a fuzz input can pick
    int i = 0;
    for (const Seed &s : seeds)
        if (!write_input(corpus, s.name, s.make(), i++ % formats)) return 1;
    for (const Seed &s : hostiles)
        if (!write_input(hostile, s.name, s.make(), i++ % formats)) return 1;
    return 0;
}
