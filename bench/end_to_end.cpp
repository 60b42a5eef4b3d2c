// End-to-end benchmarks of the exported operations and of their floor.
#include "end_to_end.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include "thumbnail/aspect.h"
#include "io/image_io.h"
#include "imgthumbnail.h"
#include "pixels/resample.h"
#include "thumbnail/smart_crop.h"
#include "summary.h"

namespace {

// The batch runs over a folder that holds the one input and writes its
// square thumbnail as PNG into another.
enum OpKind { OP_SQUARE, OP_ASPECT, OP_SMART, OP_BATCH };

struct Operation {
    const char *name;
    OpKind kind;
    int32_t width;
    int32_t height_or_ratio; // smart: the height; aspect: the ratio index
    const char *ext;
    double limit; // end-to-end / floor; 0 when only reported
};

const int32_t THUMB_SIDE = 256;
const int32_t RATIO_4X3 = 1;
const double CENTRE_CROP_LIMIT = 1.02;
const double SMART_LIMIT = 1.06;
const int FLOOR_JPEG_QUALITY = 90;

const Operation OPERATIONS[] = {
    {"square256", OP_SQUARE, THUMB_SIDE, 0, "png", CENTRE_CROP_LIMIT},
    {"aspect256.4x3", OP_ASPECT, THUMB_SIDE, RATIO_4X3, "png", CENTRE_CROP_LIMIT},
    {"smart256x256", OP_SMART, THUMB_SIDE, THUMB_SIDE, "png", SMART_LIMIT},
    {"square256", OP_SQUARE, THUMB_SIDE, 0, "jpg", 0},
    {"batch256", OP_BATCH, THUMB_SIDE, 0, "png", 0},
};

// The files (for the batch, the folders) one operation reads and writes.
struct OpPaths {
    std::string in, out;
};

int run_operation(const Operation &op, const OpPaths &p)
{
    switch (op.kind) {
    case OP_SQUARE:
        return imgthumbnail_square(p.in.c_str(), p.out.c_str(), op.width);
    case OP_ASPECT:
        return imgthumbnail_aspect(p.in.c_str(), p.out.c_str(), op.width, op.height_or_ratio);
    case OP_SMART:
        return imgthumbnail_smart(p.in.c_str(), p.out.c_str(), op.width, op.height_or_ratio);
    case OP_BATCH:
        return imgthumbnail_batch(p.in.c_str(), p.out.c_str(), op.width);
    }
    return 0;
}

std::string file_label(const std::string &label)
{
    std::string s = label;
    for (char &c : s)
        if (c == '/' || c == '\\' || c == ':') c = '_';
    return s;
}

// The thumbnail the operation makes of the input, made once through the
// operation itself (the batch's through the square operation) into a PNG,
// which is lossless, and read back.
std::map<std::string, Image> s_thumbs;

const Image &reference_thumbnail(const Operation &op, const BenchInput &in)
{
    const std::string key = std::string(op.name) + "|" + in.path;
    auto it = s_thumbs.find(key);
    if (it != s_thumbs.end()) return it->second;
    Image thumb{0, 0, nullptr};
    const std::string path = bench_out_path("ref-" + std::string(op.name) + "-" + file_label(in.label) + ".png");
    Operation maker = op;
    if (op.kind == OP_BATCH) maker.kind = OP_SQUARE;
    if (run_operation(maker, OpPaths{in.path, path})) {
        int n = 0;
        thumb.pixels = stbi_load(path.c_str(), &thumb.width, &thumb.height, &n, 4);
    }
    return s_thumbs[key] = thumb;
}

// The thumbnail over white as RGB when the operation writes JPEG, else empty.
std::map<std::string, std::vector<unsigned char>> s_flattened;

const std::vector<unsigned char> &flattened(const Operation &op, const BenchInput &in, const Image &thumb)
{
    std::vector<unsigned char> &rgb = s_flattened[std::string(op.name) + "." + op.ext + "|" + in.path];
    if (rgb.empty() && std::string(op.ext) == "jpg") {
        const int64_t n = (int64_t)thumb.width * thumb.height;
        rgb.resize((size_t)n * 3);
        flatten_over_white(thumb.pixels, n, rgb.data());
    }
    return rgb;
}

// Decoding the input and encoding the operation's thumbnail: what no
// implementation can avoid.
bool run_floor(const Operation &op, const BenchInput &in, const std::string &out, std::string *error)
{
    const Image &thumb = reference_thumbnail(op, in);
    if (!thumb.pixels) {
        *error = imgthumbnail_last_error();
        return false;
    }
    // The bare decoder: the library's checks before decoding are its own
    // work and count against it.
    int w = 0, h = 0, n = 0;
    unsigned char *decoded = stbi_load(in.path.c_str(), &w, &h, &n, 4);
    if (!decoded) {
        *error = "cannot decode";
        return false;
    }
    stbi_image_free(decoded);
    // Flattening is the library's own work, not the encoder's: made once.
    const std::vector<unsigned char> &rgb = flattened(op, in, thumb);
    const int ok = rgb.empty() ? save_image(out.c_str(), thumb, JPEG_QUALITY_DEFAULT)
                               : stbi_write_jpg(out.c_str(), thumb.width, thumb.height, 3, rgb.data(), FLOOR_JPEG_QUALITY);
    if (!ok) *error = "cannot encode";
    return ok != 0;
}

// The steps of one square or smart thumbnail, each timed on its own inside
// the run (CPU time, the fastest of each step over the repetition's
// iterations): where the time above the floor goes. The floor is decode +
// free + encode; resize (and the smart crop's choice) are the rest.
enum Step { STEP_DECODE, STEP_CHOOSE, STEP_RESIZE, STEP_FREE, STEP_ENCODE, STEP_COUNT };
const char *const STEP_NAMES[STEP_COUNT] = {"decode", "choose", "resize", "free", "encode"};
const int STEPS_ITERATIONS = 4;

void bench_steps(benchmark::State &state, const Operation &op, const BenchInput &in, const std::string &out)
{
    double fastest[STEP_COUNT];
    for (double &f : fastest) f = std::numeric_limits<double>::infinity();
    for (auto _ : state) {
        double t[STEP_COUNT + 1];
        t[STEP_DECODE] = thread_cpu_ms();
        Image src;
        if (!load_image(in.path.c_str(), &src)) {
            state.SkipWithError(imgthumbnail_last_error());
            return;
        }
        t[STEP_CHOOSE] = thread_cpu_ms();
        CropRect r = aspect_crop_rect(src.width, src.height, 1, 1);
        SmartChoice choice;
        if (op.kind == OP_SMART) {
            if (!smart_choose(src, op.width, op.height_or_ratio, &choice)) {
                std::free(src.pixels);
                state.SkipWithError(imgthumbnail_last_error());
                return;
            }
            r = choice.region;
        }
        t[STEP_RESIZE] = thread_cpu_ms();
        Image thumb = resize_image(image_region(src, r.x, r.y, r.w, r.h), op.width,
                                   op.kind == OP_SMART ? op.height_or_ratio : op.width);
        t[STEP_FREE] = thread_cpu_ms();
        std::free(src.pixels);
        t[STEP_ENCODE] = thread_cpu_ms();
        const int ok = thumb.pixels && save_image(out.c_str(), thumb, JPEG_QUALITY_DEFAULT);
        std::free(thumb.pixels);
        t[STEP_COUNT] = thread_cpu_ms();
        if (!ok) {
            state.SkipWithError(imgthumbnail_last_error());
            return;
        }
        for (int i = 0; i < STEP_COUNT; i++) fastest[i] = std::min(fastest[i], t[i + 1] - t[i]);
    }
    for (int i = 0; i < STEP_COUNT; i++) state.counters[std::string(STEP_NAMES[i]) + "_ms"] = fastest[i];
}

// A folder holding only the input (a hard link to it where possible), and
// an output folder, for the batch.
OpPaths batch_folders(const BenchInput &in)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(bench_data_dir()) / "batch" / file_label(in.label);
    const fs::path linked = dir / "in" / fs::path(in.path).filename();
    std::error_code ec;
    fs::create_directories(linked.parent_path(), ec);
    if (!fs::exists(linked, ec)) {
        fs::create_hard_link(in.path, linked, ec);
        if (ec) fs::copy_file(in.path, linked, ec);
    }
    return OpPaths{linked.parent_path().string(), (dir / "out").string()};
}

} // namespace

void register_end_to_end_benchmarks(const std::vector<BenchInput> &inputs)
{
    for (const BenchInput &in : inputs)
        for (const Operation &op : OPERATIONS) {
            const std::string id = std::string(op.name) + "." + op.ext + "/" + in.label;
            const std::string out = bench_out_path(std::string(op.name) + "-" + file_label(in.label) + "." + op.ext);
            const OpPaths paths = op.kind == OP_BATCH ? batch_folders(in) : OpPaths{in.path, out};
            if ((op.kind == OP_SQUARE && std::string(op.ext) == "png") || op.kind == OP_SMART)
                add_benchmark("steps/" + id,
                              [&op, in, out](benchmark::State &s) { bench_steps(s, op, in, out); })
                    ->Iterations(STEPS_ITERATIONS);
            add_paired_benchmark(
                "pair/" + id,
                [&op, paths](std::string *error) {
                    if (run_operation(op, paths)) return true;
                    *error = imgthumbnail_last_error();
                    return false;
                },
                [&op, in, out](std::string *error) { return run_floor(op, in, out, error); }, op.limit);
        }
}
