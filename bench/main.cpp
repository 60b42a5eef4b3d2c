// The benchmark program: stage timings, end-to-end operations against their
// floor, and a table of the targets at the end.
//
//   imgthumb_bench [--images=DIR] [--no-synthetic] [--prepare-only] [benchmark flags]
//
// DIR (or the IMGTHUMB_BENCH_IMAGES environment variable) adds every image
// file directly inside it to the synthetic photographs.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <benchmark/benchmark.h>

#include "end_to_end.h"
#include "inputs.h"
#include "stages.h"
#include "summary.h"

int main(int argc, char **argv)
{
    std::string user_dir;
    if (const char *env = std::getenv("IMGTHUMB_BENCH_IMAGES")) user_dir = env;
    bool synthetic = true, prepare_only = false;
    int kept = 1;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        if (std::strncmp(a, "--images=", 9) == 0)
            user_dir = a + 9;
        else if (std::strcmp(a, "--no-synthetic") == 0)
            synthetic = false;
        else if (std::strcmp(a, "--prepare-only") == 0)
            prepare_only = true;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    const std::vector<BenchInput> inputs = collect_inputs(synthetic, user_dir);
    if (prepare_only) {
        for (const BenchInput &in : inputs) std::printf("%s %dx%d %s\n", in.label.c_str(), in.width, in.height, in.path.c_str());
        return 0;
    }
    register_stage_benchmarks(inputs);
    register_end_to_end_benchmarks(inputs);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    print_summary(reporter);
    return 0;
}
