// The tests' PNG writer.
#include "png_writer.h"

#include <cstdlib>
#include <zlib.h>

static const uint32_t ADAM7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                     {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

static uint32_t mix(uint32_t v)
{
    v ^= v >> 16;
    v *= 0x7feb352dU;
    v ^= v >> 15;
    v *= 0x846ca68bU;
    return v ^ (v >> 16);
}

// A sample of the given bits: a gradient with noise, so that every filter
// has something to predict.
static uint32_t sample(const PngImageSpec &s, uint32_t x, uint32_t y, int c)
{
    const uint32_t max = s.depth == 16 ? 65535u : (1u << s.depth) - 1;
    const uint32_t grad = (x * 7 + y * 3 + (uint32_t)c * 50) * (max / 64 + 1);
    const uint32_t noise = mix(s.seed ^ (x * 1315423911u) ^ (y * 2654435761u) ^ (uint32_t)c) % (max / 8 + 2);
    return (grad + noise) % (max + 1);
}

static int channels_of(int colour)
{
    return colour == 3 ? 1 : (colour & 2 ? 3 : 1) + (colour & 4 ? 1 : 0);
}

static int paeth(int a, int b, int c)
{
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

Bytes png_scanlines(const PngImageSpec &s)
{
    const int ch = channels_of(s.colour);
    const size_t bpp = s.depth < 8 ? 1 : (size_t)ch * (size_t)(s.depth / 8);
    Bytes out;
    int row_index = 0;
    for (int p = 0; p < (s.interlace ? 7 : 1); p++) {
        const uint32_t x0 = s.interlace ? ADAM7[p][0] : 0, y0 = s.interlace ? ADAM7[p][1] : 0;
        const uint32_t dx = s.interlace ? ADAM7[p][2] : 1, dy = s.interlace ? ADAM7[p][3] : 1;
        const uint32_t w = s.width > x0 ? (s.width - x0 + dx - 1) / dx : 0;
        const uint32_t h = s.height > y0 ? (s.height - y0 + dy - 1) / dy : 0;
        if (w == 0 || h == 0) continue;
        const size_t bytes = ((size_t)ch * w * (size_t)s.depth + 7) / 8;
        Bytes prior(bytes, 0);
        for (uint32_t j = 0; j < h; j++) {
            Bytes row(bytes, 0);
            for (uint32_t i = 0; i < w; i++)
                for (int c = 0; c < ch; c++) {
                    const uint32_t v = sample(s, x0 + i * dx, y0 + j * dy, c);
                    const size_t k = (size_t)i * (size_t)ch + (size_t)c;
                    if (s.depth == 16) {
                        row[k * 2] = (uint8_t)(v >> 8);
                        row[k * 2 + 1] = (uint8_t)v;
                    } else if (s.depth == 8) {
                        row[k] = (uint8_t)v;
                    } else {
                        const size_t bit = k * (size_t)s.depth;
                        row[bit / 8] |= (uint8_t)(v << (8 - s.depth - bit % 8));
                    }
                }
            const int f = s.filter == FILTER_CYCLE ? row_index % 5 : s.filter;
            row_index++;
            out.push_back((uint8_t)f);
            for (size_t k = 0; k < bytes; k++) {
                const int a = k >= bpp ? row[k - bpp] : 0, b = prior[k], c = k >= bpp ? prior[k - bpp] : 0;
                const int pred = f == 1 ? a : f == 2 ? b : f == 3 ? (a + b) / 2 : f == 4 ? paeth(a, b, c) : 0;
                out.push_back((uint8_t)(row[k] - pred));
            }
            prior = row;
        }
    }
    return out;
}

Bytes zlib_stream(const Bytes &data, int level)
{
    uLongf len = compressBound((uLong)data.size());
    Bytes out(len);
    if (compress2(out.data(), &len, data.data(), (uLong)data.size(), level) != Z_OK) std::abort();
    out.resize(len);
    return out;
}

static void put32(Bytes &b, uint32_t v)
{
    for (int i = 3; i >= 0; i--) b.push_back((uint8_t)(v >> (8 * i)));
}

PngChunk ihdr_chunk(const PngImageSpec &s)
{
    Bytes d;
    put32(d, s.width);
    put32(d, s.height);
    d.push_back((uint8_t)s.depth);
    d.push_back((uint8_t)s.colour);
    d.push_back(0);
    d.push_back(0);
    d.push_back(s.interlace ? 1 : 0);
    return PngChunk{"IHDR", d, false};
}

Bytes png_file(const std::vector<PngChunk> &chunks)
{
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    for (const PngChunk &c : chunks) {
        put32(png, (uint32_t)c.data.size());
        Bytes body(c.type.begin(), c.type.end());
        body.insert(body.end(), c.data.begin(), c.data.end());
        png.insert(png.end(), body.begin(), body.end());
        const uint32_t crc = (uint32_t)crc32(0, body.data(), (uInt)body.size());
        put32(png, c.bad_crc ? ~crc : crc);
    }
    return png;
}

std::vector<PngChunk> png_chunks(const PngImageSpec &spec, const Bytes &zlib, const Bytes &plte, const Bytes &trns,
                                 size_t idat_size)
{
    std::vector<PngChunk> chunks = {ihdr_chunk(spec)};
    if (!plte.empty()) chunks.push_back(PngChunk{"PLTE", plte, false});
    if (!trns.empty()) chunks.push_back(PngChunk{"tRNS", trns, false});
    for (size_t at = 0; at < zlib.size(); at += idat_size) {
        const size_t n = zlib.size() - at < idat_size ? zlib.size() - at : idat_size;
        chunks.push_back(PngChunk{"IDAT", Bytes(zlib.begin() + (long)at, zlib.begin() + (long)(at + n)), false});
    }
    chunks.push_back(PngChunk{"IEND", {}, false});
    return chunks;
}

Bytes palette_of(int n, uint32_t seed)
{
    Bytes p;
    for (int i = 0; i < n * 3; i++) p.push_back((uint8_t)mix(seed + (uint32_t)i));
    return p;
}
