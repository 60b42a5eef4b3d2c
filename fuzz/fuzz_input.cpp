// Parameter decoding of a fuzz input.
#include "fuzz_input.h"

#include <cstring>

// Thumbnail sides the fuzzer mostly uses: small enough for thousands of runs
// a second, large enough to enlarge and to shrink.
static const int SMALL_SIDE_MAX = 48;
// Values on and beyond the argument checks' edges.
static const int EDGE_VALUES[] = {0, -1, 4097, -2147483647 - 1, 2147483647, 1, -7, 5000};
static const int EDGE_COUNT = (int)(sizeof EDGE_VALUES / sizeof EDGE_VALUES[0]);
// Ratio indexes: the four valid ones, and the edge values now and then.
static const int RATIO_COUNT = 4;
static const char *const EXTENSIONS[] = {"png", "jpg", "bmp", "tga"};
// One parameter byte with its top bit set picks an edge value instead.
static const int EDGE_FLAG = 0x80;

static int side_from(uint8_t byte)
{
    if (byte & EDGE_FLAG) return EDGE_VALUES[(byte & ~EDGE_FLAG) % EDGE_COUNT];
    return 1 + byte % SMALL_SIDE_MAX;
}

FuzzCall fuzz_split(const uint8_t *data, size_t size)
{
    uint8_t p[FUZZ_PARAM_BYTES] = {0, 0, 0};
    const size_t n = size < FUZZ_PARAM_BYTES ? size : FUZZ_PARAM_BYTES;
    std::memcpy(p, data, n);
    FuzzCall call;
    call.a = side_from(p[0]);
    call.b = side_from(p[1]);
    call.ratio = (p[1] & EDGE_FLAG) ? EDGE_VALUES[(p[1] & ~EDGE_FLAG) % EDGE_COUNT] : p[1] % RATIO_COUNT;
    call.ext = EXTENSIONS[p[2] % (sizeof EXTENSIONS / sizeof EXTENSIONS[0])];
    call.file = data + n;
    call.file_len = size - n;
    return call;
}
