// How a fuzz input is laid out: a few parameter bytes, then the image file.
// Shared by the fuzz targets and by the test suite's replay of the corpus.
#pragma once

#include <cstddef>
#include <cstdint>

struct FuzzCall {
    int a;           // size, or width for the smart crop
    int b;           // height for the smart crop
    int ratio;       // ratio index for the aspect crop
    const char *ext; // output extension, which picks the encoder
    const uint8_t *file;
    size_t file_len;
};

// How many leading bytes the parameters take.
constexpr size_t FUZZ_PARAM_BYTES = 3;

// Splits an input into parameters and file bytes. Numbers are mostly small
// thumbnail sides so that a run stays fast, sometimes out of range.
FuzzCall fuzz_split(const uint8_t *data, size_t size);
