// The resampler alone on one size, in a process of its own, so that two
// builds of the library can be timed against each other in turns:
//
//   imgthumb_resample SW SH DW DH REPS
//
// Resamples a SW x SH image of fixed pseudo-random pixels to DW x DH REPS
// times and prints the fastest and the median CPU time in milliseconds, and
// a hash of the results (equal hashes: equal bytes). It uses only the
// whole-image resize_image, which every build has.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "pixels/resample.h"

static double thread_cpu_ms()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

int main(int argc, char **argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s SW SH DW DH REPS\n", argv[0]);
        return 2;
    }
    const int32_t sw = std::atoi(argv[1]), sh = std::atoi(argv[2]), dw = std::atoi(argv[3]),
                  dh = std::atoi(argv[4]);
    const int reps = std::atoi(argv[5]);
    if (sw < 1 || sh < 1 || dw < 1 || dh < 1 || reps < 1) return 2;
    Image src{sw, sh, (unsigned char *)std::malloc((size_t)image_bytes(sw, sh))};
    if (!src.pixels) return 1;
    // A linear congruential sequence over a horizontal ramp: every byte
    // value occurs, and neighbouring pixels are alike, as in a photograph.
    uint32_t v = 12345;
    const size_t bytes = (size_t)image_bytes(sw, sh);
    for (size_t i = 0; i < bytes; i++) {
        v = v * 1664525u + 1013904223u;
        src.pixels[i] = (unsigned char)((v >> 24) / 2 + (i / 4 % (size_t)sw) * 100 / (size_t)sw);
    }
    std::vector<double> ms;
    uint64_t hash = 0;
    for (int r = 0; r < reps; r++) {
        const double start = thread_cpu_ms();
        Image out = resize_image(src, dw, dh);
        ms.push_back(thread_cpu_ms() - start);
        if (!out.pixels) return 1;
        if (r == 0)
            for (size_t i = 0; i < (size_t)image_bytes(dw, dh); i++) hash = hash * 131 + out.pixels[i];
        std::free(out.pixels);
    }
    std::free(src.pixels);
    std::sort(ms.begin(), ms.end());
    std::printf("%.3f %.3f %016llx\n", ms[0], ms[ms.size() / 2], (unsigned long long)hash);
    return 0;
}
