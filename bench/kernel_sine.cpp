// The kernel's sine alone: nanoseconds per call of kernel_sin (fast path and,
// about once in 1,300 calls, the exact path), of the exact path by itself,
// of the platform's sin for comparison, and of the whole kernel lanczos3.
// The arguments are the kernel's own: a * pi and a * pi / 3 for a spread
// over [0, 3).
#include <cmath>
#include <vector>

#include <benchmark/benchmark.h>

#include "pixels/kernel_sine.h"
#include "pixels/resample.h"

namespace {

const int ARGUMENT_COUNT = 4096;
const double PI_D = 3.141592653589793;

const std::vector<double> &kernel_arguments()
{
    static std::vector<double> args;
    if (args.empty()) {
        for (int i = 0; i < ARGUMENT_COUNT / 2; i++) {
            const double p = (3.0 * (i + 0.37) / (ARGUMENT_COUNT / 2)) * PI_D;
            args.push_back(p);
            args.push_back(p / 3.0);
        }
    }
    return args;
}

template <typename F> void per_argument(benchmark::State &state, F f)
{
    const std::vector<double> &args = kernel_arguments();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f(args[i]));
        i = (i + 1) % args.size();
    }
}

void kernel_sine(benchmark::State &state)
{
    per_argument(state, [](double x) { return kernel_sin(x); });
}

void kernel_sine_exact_path(benchmark::State &state)
{
    per_argument(state, [](double x) { return kernel_sin_exact(x, nullptr); });
}

void platform_sine(benchmark::State &state)
{
    per_argument(state, [](double x) { return std::sin(x); });
}

void kernel_lanczos3(benchmark::State &state)
{
    per_argument(state, [](double x) { return lanczos3(x / PI_D); });
}

} // namespace

BENCHMARK(kernel_sine)->Name("kernel.sin");
BENCHMARK(kernel_sine_exact_path)->Name("kernel.sin_exact_path");
BENCHMARK(platform_sine)->Name("kernel.platform_sin");
BENCHMARK(kernel_lanczos3)->Name("kernel.lanczos3");
