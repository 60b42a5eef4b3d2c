// Fuzz target: arbitrary file bytes through a centred region of one of the four ratios (or an invalid ratio).
#include "fuzz_common.h"
#include "imgthumbnail.h"

static int run(const char *input, const char *output, const FuzzCall &call)
{
    return imgthumbnail_aspect(input, output, call.a, call.ratio);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_run(data, size, run);
    return 0;
}
