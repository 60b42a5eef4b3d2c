// Benchmarks of the exported operations from file to file, and of their
// floor: the bare decoder reading the input and the encoder writing the same
// thumbnail, nothing else. Both run inside this process, after each other;
// imgthumb_pairs measures the same as fresh processes, which is what the
// targets go by.
#pragma once

#include <vector>

#include "inputs.h"

void register_end_to_end_benchmarks(const std::vector<BenchInput> &inputs);
