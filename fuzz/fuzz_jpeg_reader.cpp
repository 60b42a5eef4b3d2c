// Fuzz target: the JPEG row reader against the decoder on any file (see
// jpeg_differential.h). The first parameter byte chooses the rows and
// columns the reader is told are wanted (0: all); the file follows the
// parameter bytes. A disagreement aborts, saying what differed.
//
// Frames of more than FRAME_PIXELS_MAX pixels are passed over: from a few
// hundred bytes the decoder makes such a frame of made-up zero bits, which
// under the sanitizers takes it tens of seconds each of the several times
// the comparison decodes a file; the test suite covers large frames.
#include <cstdio>
#include <cstdlib>

#include <stb/stb_image.h>

#include "fuzz_common.h"
#include "io/image_io.h"
#include "jpeg_differential.h"

static const long long FRAME_PIXELS_MAX = 1ll << 22;

// The frame's size as the decoder's header parse finds it, after the
// checks before decoding (which keep the decoder from its known holes).
static bool frame_too_large(const std::string &input)
{
    InputFile in;
    if (!open_input(input.c_str(), &in)) return false;
    int w = 0, h = 0, n = 0;
    const bool large = std::fseek(in.file, 0, SEEK_SET) == 0 && stbi_info_from_file(in.file, &w, &h, &n) &&
                       (long long)w * h > FRAME_PIXELS_MAX;
    close_input(&in);
    return large;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzCall call = fuzz_split(data, size);
    const unsigned mask_seed = size ? data[0] : 0;
    const std::string input = fuzz_input_file(call.file, call.file_len);
    if (frame_too_large(input)) return 0;
    const JpegComparison c = compare_jpeg_decoders(input, call.file, call.file_len, mask_seed);
    if (!c.mismatch.empty()) {
        std::fprintf(stderr, "fuzz: %s\n", c.mismatch.c_str());
        std::abort();
    }
    return 0;
}
