// The sweep after a dead worker, on a real folder: of a table of names, only
// the ".imgthumb-PID-N.tmp" files of the one process id go. Other ids (also
// those that begin or end with its digits), other shapes of the name, a
// folder of that name and the files of a subfolder stay. Swept once through
// a path with a folder and once as the current folder ("").
#include <cstdio>
#include <cstring>
#ifdef _WIN32
#include <direct.h>
#define change_folder _chdir
#else
#include <unistd.h>
#define change_folder chdir
#endif

#include "common/files.h"
#include "leftovers.h"

// The dead worker's process id.
static const unsigned long PID = 4242;

static const struct {
    const char *name;
    bool removed;
} NAMES[] = {
    {".imgthumb-4242-0.tmp", true},
    {".imgthumb-4242-17.tmp", true},
    {".imgthumb-4242-4294967295.tmp", true},
    {".imgthumb-42420-0.tmp", false},  // another process, whose id begins with these digits
    {".imgthumb-14242-0.tmp", false},  // and one whose id ends with them
    {".imgthumb-424-0.tmp", false},
    {".imgthumb-4242-.tmp", false},
    {".imgthumb-4242-x.tmp", false},
    {".imgthumb-4242-1x.tmp", false},
    {".imgthumb-4242--1.tmp", false},
    {".imgthumb-4242-0.tmp.png", false},
    {".imgthumb-4242-0.tmpx", false},
    {".imgthumb-4242-0", false},
    {"imgthumb-4242-0.tmp", false},
    {"x.imgthumb-4242-0.tmp", false},
    {".imgthumb--4242-0.tmp", false},
    {".imgthumb-+4242-0.tmp", false},
    {"balloon.png", false},
};
// A folder with a leftover's name, and a subfolder holding a leftover's name.
static const char FOLDER_NAMED_SO[] = ".imgthumb-4242-1.tmp";
static const char SUBFOLDER[] = "sub";
static const char IN_SUBFOLDER[] = "sub/.imgthumb-4242-2.tmp";

static int s_failures = 0;

static void make_file(const char *folder, const char *name)
{
    char path[1024];
    std::snprintf(path, sizeof path, "%s/%s", folder, name);
    std::FILE *f = std::fopen(path, "wb");
    if (f) std::fclose(f);
    if (!f) {
        std::printf("FAIL cannot create %s\n", path);
        s_failures++;
    }
}

static void fill(const char *folder)
{
    make_folders(folder);
    for (const auto &n : NAMES) make_file(folder, n.name);
    char path[1024];
    std::snprintf(path, sizeof path, "%s/%s", folder, FOLDER_NAMED_SO);
    make_folder(path);
    std::snprintf(path, sizeof path, "%s/%s", folder, SUBFOLDER);
    make_folder(path);
    make_file(folder, IN_SUBFOLDER);
}

static void expect(const char *folder, const char *name, PathKind kind, const char *how)
{
    char path[1024];
    std::snprintf(path, sizeof path, "%s/%s", folder, name);
    if (path_kind(path) != kind) {
        std::printf("FAIL %s: %s %s\n", how, path, kind == PATH_NONE ? "is still there" : "is gone");
        s_failures++;
    }
}

static void check(const char *folder, const char *how)
{
    for (const auto &n : NAMES) expect(folder, n.name, n.removed ? PATH_NONE : PATH_FILE, how);
    expect(folder, FOLDER_NAMED_SO, PATH_FOLDER, how);
    expect(folder, IN_SUBFOLDER, PATH_FILE, how);
}

int main(int argc, char **argv)
{
    const char *work = argc > 1 ? argv[1] : "leftover-sweep";
    char folder[1024], output[1024 + 64]; // the folder and a base name
    // The folder of an output path, as the pool gives it: up to the base name.
    std::snprintf(folder, sizeof folder, "%s/out", work);
    std::snprintf(output, sizeof output, "%s/balloon.png", folder);
    fill(folder);
    remove_leftovers(output, std::strlen(folder) + 1, PID);
    check(folder, "an output in a folder");

    // An output without a folder lies in the current one.
    std::snprintf(folder, sizeof folder, "%s/here", work);
    fill(folder);
    if (change_folder(folder) != 0) {
        std::printf("FAIL cannot enter %s\n", folder);
        return 1;
    }
    remove_leftovers("balloon.png", 0, PID);
    check(".", "an output in the current folder");

    const int cases = 2 * (int)(sizeof NAMES / sizeof NAMES[0] + 2);
    std::printf("%d names checked, %d failures\n", cases, s_failures);
    return s_failures ? 1 : 0;
}
