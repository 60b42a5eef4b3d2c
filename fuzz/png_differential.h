// The PNG reader against the decoder on one file: the reader's two ways of
// inflating, its rows for the resampler and the library's loading must all
// agree with the decoder (stbi_load_from_memory, and stbi_load_from_file on
// the same file, as the library calls it: the two differ only where a chunk
// length past 2^31 skips the rest of the decoder's file window). Shared by
// the PNG tests and the differential fuzz target.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct DifferentialResult {
    int streamed;   // the reader's verdict, inflating as it reads (PngVerdict)
    int in_memory;  // the same with the decoder's inflate
    bool rows;      // the row way took the file to its end
    bool stb_ok;
    bool stb_out_of_memory; // the decoder ran out of memory: nothing to compare
    std::string failure;    // what disagreed, empty when all agree
};

// Runs every way over file (written to path) and compares each with the
// decoder. The one difference intended: an index past a short PLTE may be
// anything in the decoder's pixels (its stack's bytes); the reader's must
// be opaque black there. Where the decoder's inflate copies bytes it never
// wrote (distance codes 30 and 31), its pixels are its heap's: then only
// the verdicts are compared.
DifferentialResult png_differential(const Bytes &file, const std::string &path);
