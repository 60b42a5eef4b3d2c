// End-to-end benchmarks of the exported operations and of their floor.
#include "end_to_end.h"

#include <cstdlib>
#include <map>
#include <string>

#include <benchmark/benchmark.h>
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include "image_io.h"
#include "imgthumbnail.h"
#include "summary.h"

namespace {

enum OpKind { OP_SQUARE, OP_ASPECT };

struct Operation {
    const char *name;
    OpKind kind;
    int32_t size;
    int32_t ratio; // aspect only
    const char *ext;
    double limit; // end-to-end / floor; 0 when only reported
};

const int32_t THUMB_SIDE = 256;
const int32_t RATIO_4X3 = 1;
const double CENTRE_CROP_LIMIT = 1.05;
const int FLOOR_JPEG_QUALITY = 90;

const Operation OPERATIONS[] = {
    {"square256", OP_SQUARE, THUMB_SIDE, 0, "png", CENTRE_CROP_LIMIT},
    {"aspect256.4x3", OP_ASPECT, THUMB_SIDE, RATIO_4X3, "png", CENTRE_CROP_LIMIT},
    {"square256", OP_SQUARE, THUMB_SIDE, 0, "jpg", 0},
};

int run_operation(const Operation &op, const std::string &in, const std::string &out)
{
    switch (op.kind) {
    case OP_SQUARE:
        return imgthumbnail_square(in.c_str(), out.c_str(), op.size);
    case OP_ASPECT:
        return imgthumbnail_aspect(in.c_str(), out.c_str(), op.size, op.ratio);
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
// operation itself into a PNG (lossless) and read back.
std::map<std::string, Image> s_thumbs;

const Image &reference_thumbnail(const Operation &op, const BenchInput &in)
{
    const std::string key = std::string(op.name) + "|" + in.path;
    auto it = s_thumbs.find(key);
    if (it != s_thumbs.end()) return it->second;
    Image thumb{0, 0, nullptr};
    const std::string path = bench_out_path("ref-" + std::string(op.name) + "-" + file_label(in.label) + ".png");
    if (run_operation(op, in.path, path)) {
        int n = 0;
        thumb.pixels = stbi_load(path.c_str(), &thumb.width, &thumb.height, &n, 4);
    }
    return s_thumbs[key] = thumb;
}

void bench_floor(benchmark::State &state, const Operation &op, const BenchInput &in, const std::string &out)
{
    const Image &thumb = reference_thumbnail(op, in);
    if (!thumb.pixels) {
        state.SkipWithError(imgthumbnail_last_error());
        return;
    }
    const bool jpeg = std::string(op.ext) == "jpg";
    // Flattening is the library's own work, not the encoder's: done here once.
    unsigned char *rgb = nullptr;
    const int64_t n = (int64_t)thumb.width * thumb.height;
    if (jpeg) {
        rgb = (unsigned char *)std::malloc((size_t)(n * 3));
        flatten_over_white(thumb.pixels, n, rgb);
    }
    for (auto _ : state) {
        Image src;
        if (!load_image(in.path.c_str(), &src)) {
            state.SkipWithError(imgthumbnail_last_error());
            break;
        }
        std::free(src.pixels);
        const int ok = jpeg ? stbi_write_jpg(out.c_str(), thumb.width, thumb.height, 3, rgb, FLOOR_JPEG_QUALITY)
                            : save_image(out.c_str(), thumb);
        if (!ok) {
            state.SkipWithError("cannot encode");
            break;
        }
    }
    std::free(rgb);
}

void bench_operation(benchmark::State &state, const Operation &op, const BenchInput &in, const std::string &out)
{
    for (auto _ : state)
        if (!run_operation(op, in.path, out)) {
            state.SkipWithError(imgthumbnail_last_error());
            break;
        }
}

} // namespace

void register_end_to_end_benchmarks(const std::vector<BenchInput> &inputs)
{
    for (const BenchInput &in : inputs)
        for (const Operation &op : OPERATIONS) {
            const std::string id = std::string(op.name) + "." + op.ext + "/" + in.label;
            const std::string out = bench_out_path(std::string(op.name) + "-" + file_label(in.label) + "." + op.ext);
            const std::string floor_name = "floor/" + id, op_name = "op/" + id;
            add_benchmark(floor_name, [&op, in, out](benchmark::State &s) { bench_floor(s, op, in, out); });
            add_benchmark(op_name, [&op, in, out](benchmark::State &s) { bench_operation(s, op, in, out); });
            expect_ratio(id + " / floor", op_name, floor_name, op.limit);
        }
}
