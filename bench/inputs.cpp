// Synthetic photographs and user folders for the benchmark.
#include "inputs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

namespace fs = std::filesystem;

namespace {

struct SynthSize {
    const char *label;
    int32_t width, height;
};

// Typical sensor sizes: 12 and 18 megapixels at 3:2 and at 16:9. The square
// crop of the 18 MP 16:9 frame is the resampler's 3172 x 3172 case.
const SynthSize SYNTH_SIZES[] = {
    {"12mp-3x2", 4240, 2832},
    {"18mp-3x2", 5184, 3456},
    {"12mp-16x9", 4608, 2592},
    {"18mp-16x9", 5639, 3172},
};

// The inputs measured against the bare floor, one of each kind a camera or
// an editor writes: an 18 MP 16:9 baseline JPEG (4:2:0, which the encoder
// uses up to quality 90), a 12 MP RGB PNG and a 2 MP RGBA PNG.
struct FloorPhoto {
    const char *name;
    int32_t width, height;
    PhotoKind kind;
};
const FloorPhoto FLOOR_PHOTOS[] = {
    {"floor-5640x3172.jpg", 5640, 3172, PHOTO_JPEG},
    {"floor-4000x3000.png", 4000, 3000, PHOTO_PNG_RGB},
    {"floor-1920x1200-rgba.png", 1920, 1200, PHOTO_PNG_RGBA},
};

// A camera's everyday setting: baseline JPEG at this quality.
const int PHOTO_JPEG_QUALITY = 90;
const int SHAPE_COUNT = 24;
const int GRAIN_AMPLITUDE = 6;
const int TEXTURE_AMPLITUDE = 40;
const double TWO_PI = 6.283185307179586;

uint32_t mix_bits(uint32_t v)
{
    v ^= v >> 16;
    v *= 0x7feb352du;
    v ^= v >> 15;
    v *= 0x846ca68bu;
    v ^= v >> 16;
    return v;
}

int noise(uint32_t x, uint32_t y, uint32_t c, int amplitude)
{
    const uint32_t h = mix_bits(x * 0x9e3779b1u ^ mix_bits(y * 0x85ebca77u + c));
    return (int)(h % (uint32_t)(2 * amplitude + 1)) - amplitude;
}

unsigned char clamp_byte(int v)
{
    return (unsigned char)(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Fills channels-per-pixel bytes (3 or 4; alpha is opaque).
void paint_photo(int32_t w, int32_t h, int channels, unsigned char *px)
{
    // Light that changes smoothly across the frame, separable so that an
    // 18 MP frame takes well under a second.
    std::vector<float> col(static_cast<size_t>(w) * 3), row(static_cast<size_t>(h) * 3);
    for (int32_t x = 0; x < w; x++)
        for (int c = 0; c < 3; c++)
            col[(size_t)x * 3 + c] = (float)(40.0 * std::sin(TWO_PI * x / w * (1.3 + 0.4 * c) + c));
    for (int32_t y = 0; y < h; y++)
        for (int c = 0; c < 3; c++)
            row[(size_t)y * 3 + c] = (float)(110.0 + 30.0 * c - 60.0 * y / h + 25.0 * std::cos(TWO_PI * y / h * 2.1 + c));
    const int32_t horizon = h * 3 / 5;
    for (int32_t y = 0; y < h; y++) {
        unsigned char *p = px + (size_t)y * w * channels;
        for (int32_t x = 0; x < w; x++, p += channels) {
            for (int c = 0; c < 3; c++) {
                int v = (int)(col[(size_t)x * 3 + c] + row[(size_t)y * 3 + c]);
                if (y >= horizon) v = v / 2 + 40 + noise((uint32_t)x / 3, (uint32_t)y / 3, (uint32_t)c, TEXTURE_AMPLITUDE);
                p[c] = clamp_byte(v + noise((uint32_t)x, (uint32_t)y, (uint32_t)c, GRAIN_AMPLITUDE));
            }
            if (channels == 4) p[3] = 255;
        }
    }
    // Objects with hard edges: discs and boxes of flat colour plus grain.
    const int32_t side = std::min(w, h);
    for (int s = 0; s < SHAPE_COUNT; s++) {
        const uint32_t r = mix_bits((uint32_t)s + 1u);
        const int32_t cx = (int32_t)(r % (uint32_t)w), cy = (int32_t)((r >> 8) % (uint32_t)h);
        const int32_t radius = side / 40 + (int32_t)((r >> 4) % (uint32_t)(side / 8));
        const int colour[3] = {(int)(r & 255), (int)((r >> 11) & 255), (int)((r >> 21) & 255)};
        const bool disc = (s % 2) == 0;
        for (int32_t y = std::max(0, cy - radius); y < std::min(h, cy + radius); y++)
            for (int32_t x = std::max(0, cx - radius); x < std::min(w, cx + radius); x++) {
                const int64_t dx = x - cx, dy = y - cy;
                if (disc && dx * dx + dy * dy >= (int64_t)radius * radius) continue;
                unsigned char *p = px + ((size_t)y * w + x) * channels;
                for (int c = 0; c < 3; c++)
                    p[c] = clamp_byte(colour[c] + noise((uint32_t)x, (uint32_t)y, (uint32_t)c, GRAIN_AMPLITUDE));
            }
    }
}

bool file_exists(const std::string &path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

// A cut-out, as a product shot on a transparent ground: opaque inside an
// ellipse that fills most of the frame, fading to clear over its rim.
void cut_out(int32_t w, int32_t h, unsigned char *rgba)
{
    const double inner = 0.8; // relative radius where the fade begins
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++) {
            const double dx = (x + 0.5) / w * 2.0 - 1.0, dy = (y + 0.5) / h * 2.0 - 1.0;
            const double d = std::sqrt(dx * dx + dy * dy);
            const double a = d <= inner ? 1.0 : (d >= 1.0 ? 0.0 : (1.0 - d) / (1.0 - inner));
            rgba[((size_t)y * w + x) * 4 + 3] = (unsigned char)(a * 255.0 + 0.5);
        }
}

// Writes the photograph under a temporary name first, so that an
// interrupted run never leaves a truncated file in the cache.
bool write_photo(const std::string &path, int32_t w, int32_t h, PhotoKind kind)
{
    const int channels = kind == PHOTO_PNG_RGBA ? 4 : 3;
    std::vector<unsigned char> px((size_t)w * h * channels);
    paint_photo(w, h, channels, px.data());
    if (kind == PHOTO_PNG_RGBA) cut_out(w, h, px.data());
    const std::string part = path + ".part";
    const int ok = kind == PHOTO_JPEG ? stbi_write_jpg(part.c_str(), w, h, 3, px.data(), PHOTO_JPEG_QUALITY)
                                      : stbi_write_png(part.c_str(), w, h, channels, px.data(), 0);
    std::error_code ec;
    if (ok) fs::rename(part, path, ec);
    return ok && !ec;
}

// The photograph name in the cache, made when missing; false when it cannot
// be written.
bool cached_photo(const std::string &name, int32_t w, int32_t h, PhotoKind kind, BenchInput *input)
{
    const fs::path dir = fs::path(bench_data_dir()) / "images";
    std::error_code ec;
    fs::create_directories(dir, ec);
    const std::string path = (dir / name).string();
    if (!file_exists(path)) {
        std::fprintf(stderr, "making %s (%dx%d)...\n", path.c_str(), w, h);
        if (!write_photo(path, w, h, kind)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return false;
        }
    }
    *input = BenchInput{path, name, w, h};
    return true;
}

std::map<std::string, Image> s_decoded;

} // namespace

std::string bench_data_dir()
{
    const char *env = std::getenv("IMGTHUMB_BENCH_DATA");
    return env && *env ? env : IMGTHUMB_BENCH_DATA;
}

std::string bench_out_path(const std::string &name)
{
    const fs::path dir = fs::path(bench_data_dir()) / "out";
    std::error_code ec;
    fs::create_directories(dir, ec);
    return (dir / name).string();
}

Image make_photo(int32_t w, int32_t h)
{
    Image img{w, h, (unsigned char *)std::malloc((size_t)image_bytes(w, h))};
    if (img.pixels) paint_photo(w, h, 4, img.pixels);
    return img;
}

std::vector<BenchInput> floor_inputs()
{
    std::vector<BenchInput> inputs;
    for (const FloorPhoto &p : FLOOR_PHOTOS) {
        BenchInput in;
        if (cached_photo(p.name, p.width, p.height, p.kind, &in)) inputs.push_back(in);
    }
    return inputs;
}

std::vector<BenchInput> collect_inputs(bool synthetic, const std::string &user_dir)
{
    std::vector<BenchInput> inputs;
    if (synthetic) {
        for (const SynthSize &s : SYNTH_SIZES)
            for (const char *ext : {"jpg", "png"}) {
                BenchInput in;
                if (cached_photo(std::string(s.label) + "." + ext, s.width, s.height,
                                 ext[0] == 'j' ? PHOTO_JPEG : PHOTO_PNG_RGB, &in))
                    inputs.push_back(in);
            }
    }
    if (!user_dir.empty()) {
        std::vector<fs::path> files;
        std::error_code ec;
        for (const auto &entry : fs::directory_iterator(user_dir, ec))
            if (entry.is_regular_file()) files.push_back(entry.path());
        if (ec) std::fprintf(stderr, "cannot list %s: %s\n", user_dir.c_str(), ec.message().c_str());
        std::sort(files.begin(), files.end());
        for (const fs::path &f : files) {
            int w = 0, h = 0, n = 0;
            if (!stbi_info(f.string().c_str(), &w, &h, &n)) {
                std::fprintf(stderr, "skipping %s: not an image the decoder reads\n", f.string().c_str());
                continue;
            }
            inputs.push_back(BenchInput{f.string(), "user:" + f.filename().string(), w, h});
        }
    }
    return inputs;
}

const Image &decoded_input(const BenchInput &input)
{
    auto it = s_decoded.find(input.path);
    if (it != s_decoded.end()) return it->second;
    int w = 0, h = 0, n = 0;
    unsigned char *px = stbi_load(input.path.c_str(), &w, &h, &n, 4);
    return s_decoded[input.path] = Image{w, h, px};
}
