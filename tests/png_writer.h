// A small PNG writer for the tests: images of any colour type, bit depth
// and interlace, each row with the filter asked for, the zlib stream from
// zlib at a chosen level, and the chunks in any order, any of them damaged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A filter for every row: 0..4, or FILTER_CYCLE for each in turn.
constexpr int FILTER_CYCLE = 5;

struct PngImageSpec {
    uint32_t width, height;
    int depth, colour;
    bool interlace;
    int filter;
    uint32_t seed; // of the pseudo-random, smoothly varying samples
};

// The scanlines, each behind its filter byte, in the order of the passes.
Bytes png_scanlines(const PngImageSpec &spec);

// A zlib stream of data (level 0 gives stored blocks).
Bytes zlib_stream(const Bytes &data, int level);

struct PngChunk {
    std::string type; // four letters, any bytes
    Bytes data;
    bool bad_crc;
};

PngChunk ihdr_chunk(const PngImageSpec &spec);
// The signature, then the chunks.
Bytes png_file(const std::vector<PngChunk> &chunks);
// IHDR, PLTE (when not empty), tRNS (when not empty), the zlib data in
// IDAT chunks of at most idat_size bytes, IEND.
std::vector<PngChunk> png_chunks(const PngImageSpec &spec, const Bytes &zlib, const Bytes &plte, const Bytes &trns,
                                 size_t idat_size);
// A PLTE of n entries.
Bytes palette_of(int n, uint32_t seed);
