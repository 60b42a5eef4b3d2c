// Fuzz target: the JPEG row reader against the decoder on any file (see
// jpeg_differential.h). The first parameter byte chooses the rows and
// columns the reader is told are wanted (0: all); the file follows the
// parameter bytes. A disagreement aborts, saying what differed.
#include <cstdio>
#include <cstdlib>

#include "fuzz_common.h"
#include "jpeg_differential.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzCall call = fuzz_split(data, size);
    const unsigned mask_seed = size ? data[0] : 0;
    const std::string input = fuzz_input_file(call.file, call.file_len);
    const JpegComparison c = compare_jpeg_decoders(input, call.file, call.file_len, mask_seed);
    if (!c.mismatch.empty()) {
        std::fprintf(stderr, "fuzz: %s\n", c.mismatch.c_str());
        std::abort();
    }
    return 0;
}
