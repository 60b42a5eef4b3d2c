// Benchmarks of the exported operations from file to file, and of their
// floor: decoding the input and encoding the same thumbnail, nothing else.
#pragma once

#include <vector>

#include "inputs.h"

void register_end_to_end_benchmarks(const std::vector<BenchInput> &inputs);
