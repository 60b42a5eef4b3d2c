// The call contract shared by the fuzz targets and the tests.
#include "contract.h"

#include <filesystem>
#include <system_error>

#include "imgthumbnail.h"

namespace fs = std::filesystem;

// Printable ASCII, the only bytes a message over plain paths may hold.
static const unsigned char FIRST_PRINTABLE = 0x20;
static const unsigned char LAST_PRINTABLE = 0x7E;

static bool printable(const char *text)
{
    for (const unsigned char *p = (const unsigned char *)text; *p; p++)
        if (*p < FIRST_PRINTABLE || *p > LAST_PRINTABLE) return false;
    return true;
}

const char *call_contract_broken(int result, const std::string &input, const std::string &output)
{
    const char *message = imgthumbnail_last_error();
    std::error_code ec;
    const bool written = fs::exists(fs::path(output), ec);
    if (result == 1) {
        if (message[0] != '\0') return "a success with a message";
        if (!written) return "a success without an output file";
    } else {
        if (result != 0) return "a result other than 0 or 1";
        if (message[0] == '\0') return "a failure without a message";
        if (written) return "a failure that left an output file";
        if (!printable(message)) return "a message that is not plain text";
    }
    const fs::path folder = fs::path(output).parent_path();
    const fs::path in_name = fs::path(input).filename(), out_name = fs::path(output).filename();
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const fs::path name = it->path().filename();
        if (name != in_name && name != out_name) return "a stray file beside the output";
    }
    if (ec) return "an output folder that cannot be listed";
    return nullptr;
}
