// Scratch files and the contract check shared by the fuzz targets.
#include "fuzz_common.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "contract.h"

namespace fs = std::filesystem;

// Scratch folders tried before giving up (each run of a target takes one).
static const int SCRATCH_ATTEMPTS = 10000;

static std::string s_dir;

[[noreturn]] static void fail(const char *what)
{
    std::fprintf(stderr, "fuzz: %s\n", what);
    std::abort();
}

// A folder of this process's own under the system's temporary folder.
static const std::string &scratch()
{
    if (s_dir.empty()) {
        std::error_code ec;
        const fs::path tmp = fs::temp_directory_path(ec);
        if (ec) fail("no temporary folder");
        for (int i = 0; i < SCRATCH_ATTEMPTS && s_dir.empty(); i++) {
            const fs::path dir = tmp / ("imgthumb-fuzz-" + std::to_string(i));
            if (fs::create_directory(dir, ec)) s_dir = dir.generic_string();
        }
        if (s_dir.empty()) fail("no scratch folder");
    }
    return s_dir;
}

std::string fuzz_input_file(const uint8_t *file, size_t len)
{
    const std::string input = scratch() + "/input";
    FILE *f = std::fopen(input.c_str(), "wb");
    if (!f) fail("cannot write the input file");
    if (len && std::fwrite(file, 1, len, f) != len) fail("short input write");
    if (std::fclose(f) != 0) fail("cannot close the input file");
    return input;
}

void fuzz_run(const uint8_t *data, size_t size, FuzzOp op)
{
    const FuzzCall call = fuzz_split(data, size);
    const std::string input = fuzz_input_file(call.file, call.file_len);
    const std::string output = scratch() + "/thumb." + call.ext;
    std::remove(output.c_str());

    const int ok = op(input.c_str(), output.c_str(), call);
    if (const char *broken = call_contract_broken(ok, input, output)) fail(broken);
    std::remove(output.c_str());
}

std::string fuzz_scratch_path(const char *name)
{
    return scratch() + "/" + name;
}

void fuzz_cleanup(void)
{
    std::error_code ec;
    if (!s_dir.empty()) fs::remove_all(s_dir, ec);
    s_dir.clear();
}
