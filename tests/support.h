// Small fixtures shared by the tests: scratch folders, images written from a
// few lines of code, and files read back.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "pixels/image.h"

struct Pixels {
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;
    const uint8_t *at(int x, int y) const { return &rgba[((size_t)y * w + x) * 4]; }
};

// A fresh, empty folder for the running test, relative to the working
// directory (so it works the same under wine).
std::string scratch_dir();

// Builds w x h RGBA pixels from f(x, y) -> {r, g, b, a}.
template <typename F> Pixels make_pixels(int w, int h, F f)
{
    Pixels p;
    p.w = w;
    p.h = h;
    p.rgba.resize((size_t)w * h * 4);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            auto c = f(x, y);
            for (int k = 0; k < 4; k++) p.rgba[((size_t)y * w + x) * 4 + k] = (uint8_t)c[k];
        }
    return p;
}

// A smooth, colourful test picture with alpha: every channel varies.
Pixels gradient(int w, int h);

void write_png(const std::string &path, const Pixels &p);
void write_jpg(const std::string &path, const Pixels &p, int quality = 95);
// Loads any decodable file as RGBA; w = 0 when it does not decode.
Pixels read_pixels(const std::string &path);

std::vector<uint8_t> read_bytes(const std::string &path);
void write_bytes(const std::string &path, const std::vector<uint8_t> &bytes);
void write_text(const std::string &path, const std::string &text);
bool path_exists(const std::string &path);
bool is_directory(const std::string &path);

// An Image viewing p's pixels (not owned).
inline Image as_image(Pixels &p) { return Image{p.w, p.h, p.rgba.data()}; }
// Copies an Image's pixels (does not free them).
Pixels from_image(const Image &img);
