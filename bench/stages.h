// Benchmarks of the library's stages, one at a time.
#pragma once

#include <vector>

#include "inputs.h"

void register_stage_benchmarks(const std::vector<BenchInput> &inputs);
