// The benchmark's inputs: photographs it makes itself at camera sizes
// (cached on disk between runs) and the files of a folder the user names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pixels/image.h"

struct BenchInput {
    std::string path;  // the file on disk
    std::string label; // its short name inside benchmark names
    int32_t width;
    int32_t height;
};

// Folder of cached inputs and written thumbnails (IMGTHUMB_BENCH_DATA, or
// the build tree's bench-data).
std::string bench_data_dir();
// A path for an output file of the run.
std::string bench_out_path(const std::string &name);

// The synthetic photographs (made when missing) when synthetic is set, then
// every decodable file directly inside user_dir (none when it is empty).
std::vector<BenchInput> collect_inputs(bool synthetic, const std::string &user_dir);

// How a synthetic photograph is stored.
enum PhotoKind { PHOTO_JPEG, PHOTO_PNG_RGB, PHOTO_PNG_RGBA };

// The photographs the operations are measured on against their floor: a
// 5640 x 3172 JPEG, a 4000 x 3000 PNG and a 1920 x 1200 RGBA PNG (a cut-out
// with a soft transparent rim), made when missing.
std::vector<BenchInput> floor_inputs();

// Photo-like RGBA content of any size, made in memory: smooth light, hard
// edged shapes, textured ground and sensor grain.
Image make_photo(int32_t w, int32_t h);

// The input's decoded pixels, decoded on first use and kept for the run.
const Image &decoded_input(const BenchInput &input);
