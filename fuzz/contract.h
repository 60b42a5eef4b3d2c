// What every thumbnail call promises whatever its input, checked the same
// way by the fuzz targets and by the test suite's replay of their corpus.
#pragma once

#include <string>

// The promise, after a call that read input and wrote (or failed to write)
// output: 1 with an empty message and the output file in place, or 0 with a
// message and no output file; a message is one line of printable ASCII
// text (the paths are plain); and the output's folder holds nothing but the
// input and the output (no partial or temporary file). nullptr when kept,
// otherwise which part was broken.
const char *call_contract_broken(int result, const std::string &input, const std::string &output);
