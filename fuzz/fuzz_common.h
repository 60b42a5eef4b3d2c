// Shared body of the fuzz targets.
#pragma once

#include "fuzz_input.h"

// Writes the file bytes to a private input file, runs op on it, checks what
// every call must guarantee (a 1 has an empty message and an output file, a 0
// has a message and no output file) and removes the output. Aborts on a
// broken guarantee so that the fuzzer keeps the input.
using FuzzOp = int (*)(const char *input, const char *output, const FuzzCall &call);
void fuzz_run(const uint8_t *data, size_t size, FuzzOp op);
