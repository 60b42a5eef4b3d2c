// Fuzz target: any input as a PNG file, read every way the library reads
// one (the reader inflating as it reads and with the decoder's inflate, its
// rows for the resampler, the library's loading) and compared with the
// decoder itself: the same pixels, or the same refusal with the same
// reason. An index past a short PLTE is the one difference intended (the
// reader's opaque black where the decoder reads its stack). Aborts on any
// other difference, saying what differs.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_common.h"
#include "fuzz_input.h"
#include "png_differential.h"

static const char SIGNATURE[] = "\x89PNG\r\n\x1a\n";
static const size_t SIGNATURE_BYTES = 8;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string path = fuzz_scratch_path("input.png");
    // The corpus's layout: the parameter bytes of the other targets (unused
    // here), then the file. A file without the PNG signature gets one, so
    // that mutations land in the chunks.
    const FuzzCall call = fuzz_split(data, size);
    Bytes file;
    if (call.file_len < SIGNATURE_BYTES || std::memcmp(call.file, SIGNATURE, SIGNATURE_BYTES) != 0)
        file.assign(SIGNATURE, SIGNATURE + SIGNATURE_BYTES);
    file.insert(file.end(), call.file, call.file + call.file_len);
    const DifferentialResult r = png_differential(file, path);
    std::remove(path.c_str());
    if (!r.failure.empty()) {
        std::fprintf(stderr, "fuzz_png_reader: %s\n", r.failure.c_str());
        std::abort();
    }
    return 0;
}
