// Shared body of the fuzz targets.
#pragma once

#include <string>

#include "fuzz_input.h"

// Writes the file bytes to a private input file, runs op on it, checks the
// call contract (contract.h) and removes the output. Aborts on a broken
// contract, saying which part, so that the fuzzer keeps the input.
using FuzzOp = int (*)(const char *input, const char *output, const FuzzCall &call);
void fuzz_run(const uint8_t *data, size_t size, FuzzOp op);

// A path for a file of this run's own inside its scratch folder.
std::string fuzz_scratch_path(const char *name);

// Writes file bytes to the private input file and returns its path.
std::string fuzz_input_file(const uint8_t *file, size_t len);

// Removes the scratch folder (the standalone driver calls it at the end).
void fuzz_cleanup(void);
