// The parts of the file helpers that are the same on every platform.
#include "common/files.h"

#include <cstdlib>
#include <cstring>

bool is_path_sep(char c)
{
    return c == '/' || (PATH_SEP == '\\' && c == '\\');
}

int make_folders(const char *path)
{
    const size_t len = std::strlen(path);
    char *work = (char *)std::malloc(len + 1);
    if (!work) return 0;
    std::memcpy(work, path, len + 1);
    // Each level in turn. One that exists already is fine, and one that
    // cannot be made shows in the end: only the last level's state counts.
    for (size_t i = 1; i < len; i++) {
        if (!is_path_sep(work[i]) || is_path_sep(work[i - 1]) || work[i - 1] == ':') continue;
        const char sep = work[i];
        work[i] = '\0';
        make_folder(work);
        work[i] = sep;
    }
    make_folder(work);
    std::free(work);
    return path_kind(path) == PATH_FOLDER;
}
