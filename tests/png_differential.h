// The PNG reader against the decoder on one file: the decoder from memory,
// the reader's two ways of inflating, its rows for the resampler, and the
// library's loading, which must all agree with the decoder. Shared by the
// PNG tests.
#pragma once

#include <string>

#include "png_writer.h"

struct DifferentialResult {
    int streamed;   // the reader's verdict, inflating as it reads (PngVerdict)
    int in_memory;  // the same with the decoder's inflate
    bool rows;      // the row way took the file to its end
    bool stb_ok;
    std::string failure; // what disagreed, empty when all agree
};

// Runs every way over file (written to path) and compares each with the
// decoder. An index past a short PLTE may be anything in the decoder's
// pixels; the reader's must be opaque black there.
DifferentialResult png_differential(const Bytes &file, const std::string &path);
