// Stage benchmarks: decode, crop, resample, flatten, encode, each alone on
// pixels prepared outside the timed loop.
#include "stages.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>

#include <benchmark/benchmark.h>

#include "thumbnail/aspect.h"
#include "pixels/crop.h"
#include "io/image_io.h"
#include "pixels/resample.h"
#include "thumbnail/smart_crop.h"
#include "summary.h"

namespace {

const double MEGA = 1e6;
// The resampler's targets, both at least the factor asked for faster than
// before pass 1 skipped the columns nobody reads (8.2 and 4.8 ms, the
// fastest repetition on the machine of bench/README.md): a 3172 x 3172
// square (the square crop of an 18 MP 16:9 frame) and the whole 5640 x 3172
// frame to 256 x 256; and the 12 x 9 -> 4096 x 4096 enlargement within a
// factor of one memset of its result buffer.
const int32_t REDUCE_SIDE = 3172;
const int32_t FRAME_W = 5640, FRAME_H = 3172;
const int32_t THUMB_SIDE = 256;
const int32_t LARGE_THUMB_SIDE = 1024;
// A window well inside the analysis image: the search visits thousands of
// positions.
const int32_t SMALL_WINDOW_SIDE = 64;
const double REDUCE_LIMIT_MS = 4.8 / 1.6;
const double FRAME_LIMIT_MS = 8.2 / 2.5;
const int32_t TINY_W = 12, TINY_H = 9, HUGE_SIDE = 4096;
const double ENLARGE_LIMIT = 1.5;
// The biggest enlargement the aspect operation makes: 4000 x 3000 at 16:9
// and size 4096 crops 4000 x 2250 and enlarges it to 4096 x 2304.
const int32_t WIDE_W = 4000, WIDE_H = 2250, WIDE_THUMB_W = 4096, WIDE_THUMB_H = 2304;
const int FILL_BYTE = 0x5a;

// Images made once for the whole run and never freed.
std::map<std::string, Image> s_images;

const Image &photo(int32_t w, int32_t h)
{
    const std::string key = "photo" + std::to_string(w) + "x" + std::to_string(h);
    auto it = s_images.find(key);
    if (it != s_images.end()) return it->second;
    return s_images[key] = make_photo(w, h);
}

// The square region of an input's decoded pixels, as the square operation
// resamples it.
ImageRegion square_region(const BenchInput &in)
{
    const Image &src = decoded_input(in);
    const CropRect r = aspect_crop_rect(src.width, src.height, 1, 1);
    return image_region(src, r.x, r.y, r.w, r.h);
}

// The smart crop's analysis image and energy map of an input, made once.
const Image &analysis_of(const BenchInput &in)
{
    const std::string key = "analysis:" + in.path;
    auto it = s_images.find(key);
    if (it != s_images.end()) return it->second;
    return s_images[key] = make_analysis_image(decoded_input(in));
}

std::map<std::string, float *> s_energy;

const float *energy_of(const BenchInput &in)
{
    float *&e = s_energy[in.path];
    if (!e) e = make_energy_map(analysis_of(in));
    return e;
}

// The window search for a side x side thumbnail (the window is clipped to
// the analysis image, as the smart crop does).
void bench_search(benchmark::State &state, const BenchInput &in, int32_t side)
{
    const Image &a = analysis_of(in);
    const float *energy = energy_of(in);
    const int32_t cw = side < a.width ? side : a.width, ch = side < a.height ? side : a.height;
    for (auto _ : state) {
        SmartWindow best;
        if (!find_best_window(energy, a.width, a.height, cw, ch, &best)) {
            state.SkipWithError("out of memory");
            break;
        }
        benchmark::DoNotOptimize(best);
    }
}

// The resampler's speed in source and result megapixels per second.
void count_pixels(benchmark::State &state, const ImageRegion &src, int32_t dw, int32_t dh)
{
    state.counters["src_MP/s"] = benchmark::Counter((double)src.width * src.height / MEGA,
                                                    benchmark::Counter::kIsIterationInvariantRate);
    state.counters["dst_MP/s"] = benchmark::Counter((double)dw * dh / MEGA,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

void bench_resize(benchmark::State &state, const ImageRegion &src, int32_t dw, int32_t dh)
{
    if (!src.pixels) {
        state.SkipWithError("source image unavailable");
        return;
    }
    for (auto _ : state) {
        Image out = resize_image(src, dw, dh);
        benchmark::DoNotOptimize(out.pixels);
        std::free(out.pixels);
    }
    count_pixels(state, src, dw, dh);
}

// A stage benchmark of one input's decoded pixels; skipped when the input
// does not decode.
benchmark::internal::Benchmark *add_input_benchmark(const std::string &name, const BenchInput &in,
                                                    std::function<void(benchmark::State &)> fn)
{
    return add_benchmark(name, [in, fn](benchmark::State &state) {
        if (!decoded_input(in).pixels) {
            state.SkipWithError("the input does not decode");
            return;
        }
        fn(state);
    });
}

void register_input_stages(const BenchInput &in)
{
    add_benchmark("decode/" + in.label, [in](benchmark::State &state) {
        for (auto _ : state) {
            Image img;
            if (!load_image(in.path.c_str(), &img)) {
                state.SkipWithError("cannot decode");
                break;
            }
            std::free(img.pixels);
        }
    });
    add_input_benchmark("crop.copy/" + in.label, in, [in](benchmark::State &state) {
        const Image &src = decoded_input(in);
        const CropRect r = aspect_crop_rect(src.width, src.height, 1, 1);
        for (auto _ : state) {
            Image crop = sub_image(src, r.x, r.y, r.w, r.h);
            benchmark::DoNotOptimize(crop.pixels);
            std::free(crop.pixels);
        }
    });
    add_input_benchmark("smart.analysis/" + in.label, in, [in](benchmark::State &state) {
        const Image &src = decoded_input(in);
        for (auto _ : state) {
            Image a = make_analysis_image(src);
            benchmark::DoNotOptimize(a.pixels);
            std::free(a.pixels);
        }
    });
    add_input_benchmark("smart.energy/" + in.label, in, [in](benchmark::State &state) {
        const Image &a = analysis_of(in);
        for (auto _ : state) {
            float *e = make_energy_map(a);
            benchmark::DoNotOptimize(e);
            std::free(e);
        }
    });
    add_input_benchmark("smart.search.256x256/" + in.label, in,
                  [in](benchmark::State &state) { bench_search(state, in, THUMB_SIDE); });
    add_input_benchmark("smart.search.64x64/" + in.label, in,
                  [in](benchmark::State &state) { bench_search(state, in, SMALL_WINDOW_SIDE); });
    add_input_benchmark("resize.256/" + in.label, in,
        [in](benchmark::State &state) { bench_resize(state, square_region(in), THUMB_SIDE, THUMB_SIDE); });
    add_input_benchmark("resize.1024/" + in.label, in, [in](benchmark::State &state) {
        bench_resize(state, square_region(in), LARGE_THUMB_SIDE, LARGE_THUMB_SIDE);
    });
}

void bench_encode(benchmark::State &state, const char *name, int32_t w, int32_t h)
{
    const Image &thumb = photo(w, h);
    const std::string path = bench_out_path(name);
    for (auto _ : state)
        if (!save_image(path.c_str(), thumb, JPEG_QUALITY_DEFAULT)) {
            state.SkipWithError("cannot encode");
            break;
        }
}

void bench_flatten(benchmark::State &state, int32_t w, int32_t h)
{
    const Image &img = photo(w, h);
    const int64_t n = (int64_t)w * h;
    // As save_image does it: a fresh buffer for every thumbnail.
    for (auto _ : state) {
        unsigned char *rgb = (unsigned char *)std::malloc((size_t)(n * 3));
        flatten_over_white(img.pixels, n, rgb);
        benchmark::DoNotOptimize(rgb);
        std::free(rgb);
    }
    state.counters["MP/s"] = benchmark::Counter((double)n / MEGA, benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace

void register_stage_benchmarks(const std::vector<BenchInput> &inputs)
{
    for (const BenchInput &in : inputs) register_input_stages(in);

    const std::string reduce = "resize.3172x3172_to_256x256";
    add_benchmark(reduce, [](benchmark::State &state) {
        bench_resize(state, whole_image(photo(REDUCE_SIDE, REDUCE_SIDE)), THUMB_SIDE, THUMB_SIDE);
    });
    expect_time(reduce, REDUCE_LIMIT_MS);

    // A whole 18 MP 16:9 frame to a thumbnail: pass 1 needs about a quarter
    // of its columns.
    const std::string frame = "resize.5640x3172_to_256x256";
    add_benchmark(frame, [](benchmark::State &state) {
        bench_resize(state, whole_image(photo(FRAME_W, FRAME_H)), THUMB_SIDE, THUMB_SIDE);
    });
    expect_time(frame, FRAME_LIMIT_MS);

    add_benchmark("resize.4000x2250_to_4096x2304", [](benchmark::State &state) {
        bench_resize(state, whole_image(photo(WIDE_W, WIDE_H)), WIDE_THUMB_W, WIDE_THUMB_H);
    });

    add_benchmark("resize.12x9_to_4096x4096", [](benchmark::State &state) {
        bench_resize(state, whole_image(photo(TINY_W, TINY_H)), HUGE_SIDE, HUGE_SIDE);
    });
    // Against what its result alone costs: allocating it and writing it once
    // (every buffer this large is fresh memory from the system).
    add_paired_benchmark(
        "pair/resize.12x9_to_4096x4096_vs_memset",
        [](std::string *error) {
            Image out = resize_image(photo(TINY_W, TINY_H), HUGE_SIDE, HUGE_SIDE);
            if (!out.pixels) *error = "out of memory";
            std::free(out.pixels);
            return out.pixels != nullptr;
        },
        [](std::string *error) {
            unsigned char *p = (unsigned char *)std::malloc((size_t)image_bytes(HUGE_SIDE, HUGE_SIDE));
            if (!p) {
                *error = "out of memory";
                return false;
            }
            // Not zero: a zero fill of fresh memory may become a calloc,
            // which touches nothing.
            std::memset(p, FILL_BYTE, (size_t)image_bytes(HUGE_SIDE, HUGE_SIDE));
            benchmark::DoNotOptimize(p);
            std::free(p);
            return true;
        },
        ENLARGE_LIMIT);

    add_benchmark("flatten.256x256", [](benchmark::State &state) { bench_flatten(state, THUMB_SIDE, THUMB_SIDE); });
    add_benchmark("flatten.4096x2304", [](benchmark::State &state) { bench_flatten(state, WIDE_THUMB_W, WIDE_THUMB_H); });
    add_benchmark("encode.png.256x256",
        [](benchmark::State &state) { bench_encode(state, "encode-256.png", THUMB_SIDE, THUMB_SIDE); });
    add_benchmark("encode.jpg.256x256",
        [](benchmark::State &state) { bench_encode(state, "encode-256.jpg", THUMB_SIDE, THUMB_SIDE); });
    add_benchmark("encode.png.1024x1024", [](benchmark::State &state) {
        bench_encode(state, "encode-1024.png", LARGE_THUMB_SIDE, LARGE_THUMB_SIDE);
    });
    add_benchmark("encode.jpg.1024x1024", [](benchmark::State &state) {
        bench_encode(state, "encode-1024.jpg", LARGE_THUMB_SIDE, LARGE_THUMB_SIDE);
    });
}
