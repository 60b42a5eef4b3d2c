// Fuzz target: arbitrary file bytes through the largest centred square.
#include "fuzz_common.h"
#include "imgthumbnail.h"

static int run(const char *input, const char *output, const FuzzCall &call)
{
    return imgthumbnail_square(input, output, call.a);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz_run(data, size, run);
    return 0;
}
