// The benchmark's inputs: photographs it makes itself at camera sizes
// (cached on disk between runs) and the files of a folder the user names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image.h"

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

// Photo-like RGBA content of any size, made in memory: smooth light, hard
// edged shapes, textured ground and sensor grain.
Image make_photo(int32_t w, int32_t h);

// The input's decoded pixels, decoded on first use and kept for the run.
const Image &decoded_input(const BenchInput &input);
