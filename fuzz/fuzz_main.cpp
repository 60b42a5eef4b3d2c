// A main for the fuzz targets in builds without libFuzzer: runs the target
// once over every file named on the command line (every file directly in a
// named folder, in name order), so that every ordinary build compiles the
// targets and the test suite replays the seed corpus and the reproducers
// through them. A broken contract aborts, after the file's name is printed.
//   usage: fuzz_TARGET FILE_OR_FOLDER ...
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_common.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    std::vector<std::string> files;
    for (int i = 1; i < argc; i++) {
        std::error_code ec;
        if (fs::is_directory(argv[i], ec)) {
            std::vector<std::string> names;
            for (const auto &e : fs::directory_iterator(argv[i], ec))
                if (e.is_regular_file()) names.push_back(e.path().generic_string());
            std::sort(names.begin(), names.end());
            files.insert(files.end(), names.begin(), names.end());
        } else {
            files.push_back(argv[i]);
        }
    }
    for (const std::string &name : files) {
        std::ifstream f(name, std::ios::binary);
        if (!f) {
            std::fprintf(stderr, "cannot read %s\n", name.c_str());
            return 1;
        }
        const std::vector<uint8_t> data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        std::printf("%s\n", name.c_str());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    fuzz_cleanup();
    std::printf("%lu inputs, every contract kept\n", (unsigned long)files.size());
    return files.empty() ? 1 : 0;
}
