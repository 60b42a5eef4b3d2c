// Scratch files and the result checks shared by the fuzz targets.
#include "fuzz_common.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "imgthumbnail.h"

static std::string s_dir;

static const std::string &scratch()
{
    if (s_dir.empty()) {
        const char *tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/imgthumb-fuzz-XXXXXX";
        if (!mkdtemp(&pattern[0])) std::abort();
        s_dir = pattern;
    }
    return s_dir;
}

static bool exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

void fuzz_run(const uint8_t *data, size_t size, FuzzOp op)
{
    const FuzzCall call = fuzz_split(data, size);
    const std::string input = scratch() + "/input";
    const std::string output = scratch() + "/thumb." + call.ext;
    FILE *f = std::fopen(input.c_str(), "wb");
    if (!f) std::abort();
    if (call.file_len && std::fwrite(call.file, 1, call.file_len, f) != call.file_len) std::abort();
    if (std::fclose(f) != 0) std::abort();
    std::remove(output.c_str());

    const int ok = op(input.c_str(), output.c_str(), call);
    const char *message = imgthumbnail_last_error();
    if (ok == 1) {
        if (message[0] != '\0' || !exists(output)) std::abort();
    } else {
        if (ok != 0 || message[0] == '\0' || exists(output)) std::abort();
    }
    std::remove(output.c_str());
}
