// Checks the kernel's sine on every argument the kernel forms for a set of
// size pairs, and on the hardest arguments known, and writes every argument
// with its sine into OUTPUT_DIR/kernel_sine.txt (one "x sin(x) kind" line of
// IEEE bit patterns in hex each; kind h = hard case, s = sweep). The test
// suite runs it on Linux and under wine and compares the files byte for
// byte, and checks the file against an arbitrary-precision reference
// (check_kernel_sine.py).
//
// Every argument is checked here against the exact path (fixed point with a
// rigorous error bound), which decides the correctly rounded double by
// itself; kernel_sin must return exactly that.
//
// usage: kernel_sine_host OUTPUT_DIR          the suite's sweep (seconds)
//        kernel_sine_host OUTPUT_DIR full     the large sweep, no file (hours)
#include <algorithm>
#include <cmath>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "pixels/kernel_sine.h"
#include "kernel_sine_cases.h"

namespace {

// The kernel's own constants and arithmetic (lanczos_taps and lanczos3).
const double PI_D = 3.141592653589793;
const double KERNEL_CENTRE_EPS = 1e-9;
const double KERNEL_RADIUS = 3.0;
const int32_t MAX_SIDE = 4096;

uint64_t bits_of(double v)
{
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

double from_bits(uint64_t b)
{
    double v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

// The double `steps` representable steps away from a positive x.
double step_from(double x, int steps)
{
    return from_bits(bits_of(x) + (uint64_t)(int64_t)steps);
}

// Both arguments of lanczos3(d) for every tap of every output sample of an
// n -> m pass.
void kernel_arguments(int32_t n, int32_t m, std::vector<double> *out)
{
    const double s = (double)n / (double)m;
    for (int32_t i = 0; i < m; i++) {
        const double c = ((double)i + 0.5) * s - 0.5;
        const int32_t lo = (int32_t)std::floor(c) - 3;
        for (int32_t k = lo; k <= lo + 7; k++) {
            const double d = (double)k - c;
            const double a = d < 0 ? -d : d;
            if (!(a < KERNEL_RADIUS) || a < KERNEL_CENTRE_EPS) continue;
            const double p = a * PI_D;
            out->push_back(p);
            out->push_back(p / 3.0);
        }
    }
}

void sort_unique(std::vector<double> *v)
{
    std::sort(v->begin(), v->end());
    v->erase(std::unique(v->begin(), v->end()), v->end());
}

// Thumbnail sizes paired with every source size 1 ... 4096, and source sizes
// paired with every thumbnail size 1 ... 4096.
// The suite's sweep stays near a million arguments: a few seconds.
const int32_t SUITE_THUMB_SIZES[] = {1, 3, 16, 37, 100};
const int32_t SUITE_SOURCE_SIZES[] = {3, 12};
const int32_t SUITE_MAX_THUMB = 200;
const int32_t SUITE_EXTRA_THUMBS[] = {1000, 3903};
const int32_t FULL_THUMB_SIZES[] = {1,  2,  3,  4,  5,  6,   7,   8,   10,  12,  16,  20,  24,  32,  37, 40,
                                    48, 50, 64, 75, 80, 96, 100, 120, 128, 150, 160, 200, 256, 300, 400, 512};
const int32_t FULL_SOURCE_SIZES[] = {1, 2, 3, 5, 7, 12, 13, 40, 333};

// The arguments next to the multiples of pi/2 and pi/4 the domain holds (the
// deepest cancellations and the quadrant changes), the ends of the domain,
// the kernel's own landmarks, and the hardest cases known (closest to a
// midpoint between two doubles, or needing the exact path).
std::vector<double> hard_arguments()
{
    static const double NEAREST_MULTIPLES_OF_HALF_PI[] = {
        0x1.921fb54442d18p+0, 0x1.921fb54442d18p+1, 0x1.2d97c7f3321d2p+2,
        0x1.921fb54442d18p+2, 0x1.f6a7a2955385ep+2, 0x1.2d97c7f3321d2p+3,
    };
    const int NEAR = 16;
    std::vector<double> v;
    for (double m : NEAREST_MULTIPLES_OF_HALF_PI)
        for (int s = -NEAR; s <= NEAR; s++) v.push_back(step_from(m, s));
    for (int j = 0; j < 12; j += 2) {
        const double quarter = (double)(j + 1) * (PI_D / 4.0);
        for (int s = -4; s <= 4; s++) v.push_back(step_from(quarter, s));
    }
    const double ends[] = {0x1p-26, KERNEL_CENTRE_EPS * PI_D, KERNEL_CENTRE_EPS * PI_D / 3.0, 3.0 * PI_D, PI_D,
                           KERNEL_SINE_MAX};
    for (double e : ends)
        for (int s = -4; s <= 4; s++) v.push_back(step_from(e, s));
    for (int q = 1; q < 12; q++) {
        const double p = (q * 0.25) * PI_D;
        v.push_back(p);
        v.push_back(p / 3.0);
    }
    for (const KernelSineCase &c : KERNEL_SINE_HARD_CASES) v.push_back(c.x);
    v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return !(x <= KERNEL_SINE_MAX); }), v.end());
    sort_unique(&v);
    return v;
}

// The arguments whose sines lie closest to a midpoint between two doubles.
const int CLOSEST_KEPT = 12;

struct Tally {
    long checked = 0, wrong = 0, exact_path = 0;
    int max_bits = 0;
    double closest_distance[CLOSEST_KEPT]; // in units in the last place, ascending
    double closest_x[CLOSEST_KEPT];
    int closest_count = 0;
};

// Distance of sin x from the nearest midpoint, in units in the last place of
// the rounded y, measured on the double-double approximation: within about
// 2^-15 units of the truth (its error bound), so below that it only picks
// candidates; check_kernel_sine.py --cases gives their exact distances.
double midpoint_distance(double x, double y)
{
    double hi, lo;
    kernel_sin_approx(x, &hi, &lo);
    const double off = (hi - y) + lo;
    const double gap = std::fabs(std::nextafter(y, off > 0 ? 2.0 : -2.0) - y);
    return 0.5 - std::fabs(off) / gap;
}

void keep_if_close(Tally *t, double x, double y)
{
    const double d = midpoint_distance(x, y);
    if (t->closest_count == CLOSEST_KEPT && d >= t->closest_distance[CLOSEST_KEPT - 1]) return;
    for (int j = 0; j < t->closest_count; j++)
        if (t->closest_x[j] == x) return; // met again in another size pair
    int i = t->closest_count < CLOSEST_KEPT ? t->closest_count++ : CLOSEST_KEPT - 1;
    for (; i > 0 && t->closest_distance[i - 1] > d; i--) {
        t->closest_distance[i] = t->closest_distance[i - 1];
        t->closest_x[i] = t->closest_x[i - 1];
    }
    t->closest_distance[i] = d;
    t->closest_x[i] = x;
}

// kernel_sin(x) against the exact path; returns kernel_sin(x).
double check_one(double x, Tally *t)
{
    double fast;
    int bits;
    const double y = kernel_sin(x);
    const double exact = kernel_sin_exact(x, &bits);
    t->checked++;
    if (!kernel_sin_fast(x, &fast)) t->exact_path++;
    if (bits > t->max_bits) t->max_bits = bits;
    if (bits_of(y) != bits_of(exact)) {
        t->wrong++;
        if (t->wrong <= 10)
            std::fprintf(stderr, "kernel_sin(%016" PRIx64 ") = %016" PRIx64 ", correctly rounded %016" PRIx64 "\n",
                         bits_of(x), bits_of(y), bits_of(exact));
    }
    return y;
}

void report(const char *what, const Tally &t)
{
    std::printf("%s: %ld arguments, %ld wrong, %ld needed the exact path, at most %d bits\n", what, t.checked,
                t.wrong, t.exact_path, t.max_bits);
    for (int i = 0; i < t.closest_count; i++)
        std::printf("  closest: x = %016" PRIx64 ", %.3g ulp from a midpoint\n", bits_of(t.closest_x[i]),
                    t.closest_distance[i]);
    std::fflush(stdout);
}

int full_sweep()
{
    Tally t;
    std::vector<double> args;
    for (int32_t n = 1; n <= MAX_SIDE; n++) {
        args.clear();
        for (int32_t m : FULL_THUMB_SIZES) kernel_arguments(n, m, &args);
        sort_unique(&args);
        for (double x : args) keep_if_close(&t, x, check_one(x, &t));
    }
    report("every source size to the thumbnail sizes", t);
    long wrong = t.wrong;
    for (int32_t n : FULL_SOURCE_SIZES) {
        Tally u;
        for (int32_t m = 1; m <= MAX_SIDE; m++) {
            args.clear();
            kernel_arguments(n, m, &args);
            sort_unique(&args);
            for (double x : args) keep_if_close(&u, x, check_one(x, &u));
        }
        char what[64];
        std::snprintf(what, sizeof what, "source size %d to every thumbnail size", (int)n);
        report(what, u);
        wrong += u.wrong;
    }
    return wrong ? 1 : 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "full") != 0)) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR [full]\n", argv[0]);
        return 2;
    }
    if (argc == 3) return full_sweep();

    const std::vector<double> hard = hard_arguments();
    std::vector<double> sweep;
    for (int32_t n = 1; n <= MAX_SIDE; n++)
        for (int32_t m : SUITE_THUMB_SIZES) kernel_arguments(n, m, &sweep);
    for (int32_t n : SUITE_SOURCE_SIZES) {
        for (int32_t m = 1; m <= SUITE_MAX_THUMB; m++) kernel_arguments(n, m, &sweep);
        for (int32_t m : SUITE_EXTRA_THUMBS) kernel_arguments(n, m, &sweep);
    }
    sort_unique(&sweep);

    char path[4096];
    std::snprintf(path, sizeof path, "%s/kernel_sine.txt", argv[1]);
    FILE *f = std::fopen(path, "wb");
    if (!f) {
        std::fprintf(stderr, "cannot write %s\n", path);
        return 1;
    }
    Tally th, ts;
    for (double x : hard)
        std::fprintf(f, "%016" PRIx64 " %016" PRIx64 " h\n", bits_of(x), bits_of(check_one(x, &th)));
    for (double x : sweep)
        std::fprintf(f, "%016" PRIx64 " %016" PRIx64 " s\n", bits_of(x), bits_of(check_one(x, &ts)));
    if (std::fclose(f) != 0) {
        std::fprintf(stderr, "cannot write %s\n", path);
        return 1;
    }
    report("hard cases", th);
    report("kernel arguments", ts);
    return th.wrong + ts.wrong ? 1 : 0;
}
