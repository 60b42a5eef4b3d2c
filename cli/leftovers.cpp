// Removing the temporary files a dead worker left beside its outputs.
#include "leftovers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/files.h"
#include "inputs.h"
#include "platform.h"

// The library's name for a temporary output file, ".imgthumb-PID-N.tmp"
// (PID and N in decimal; documented with the library's functions).
static const char LEFTOVER_PREFIX[] = ".imgthumb-";
static const char LEFTOVER_SUFFIX[] = ".tmp";
// Room for the prefix and a process id of up to 64 bits.
static const size_t PID_PREFIX_SIZE = 40;

static bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

bool is_leftover_of(const char *name, unsigned long pid)
{
    char prefix[PID_PREFIX_SIZE];
    const int n = std::snprintf(prefix, sizeof prefix, "%s%lu-", LEFTOVER_PREFIX, pid);
    if (n <= 0 || (size_t)n >= sizeof prefix || std::strncmp(name, prefix, (size_t)n) != 0) return false;
    const char *p = name + n;
    if (!is_digit(*p)) return false;
    while (is_digit(*p)) p++;
    return std::strcmp(p, LEFTOVER_SUFFIX) == 0;
}

struct Sweep {
    const char *folder;  // the folder's path as its files are named: "" or ending in a separator
    int folder_len;
    unsigned long pid;
};

// A file can be removed while its folder is being listed; the listing goes
// on with the other entries.
static void remove_if_leftover(const char *name, bool is_folder, void *context)
{
    const Sweep *sweep = (const Sweep *)context;
    if (is_folder || !is_leftover_of(name, sweep->pid)) return;
    char *path = format_string("%.*s%s", sweep->folder_len, sweep->folder, name);
    if (path) remove_file(path);
    std::free(path);
}

void remove_leftovers(const char *path, size_t folder_len, unsigned long pid)
{
    Sweep sweep = {path, (int)folder_len, pid};
    if (folder_len == 0) {
        list_folder(".", remove_if_leftover, &sweep);
        return;
    }
    char *folder = format_string("%.*s", (int)folder_len, path);
    if (folder) list_folder(folder, remove_if_leftover, &sweep);
    std::free(folder);
}
