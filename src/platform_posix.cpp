// The batch's file-system calls on POSIX systems.
#include "platform.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

// Permissions asked for new directories; the process umask narrows them.
static const mode_t NEW_DIR_MODE = 0777;
// Length of the "*" that closes every listing pattern.
static const size_t PATTERN_WILDCARD_LEN = 1;

int list_dir(const char *pattern, DirVisitor visit, void *context)
{
    // opendir wants the directory itself: the pattern without its '*'. The
    // separator left at the end makes a regular file fail as it should.
    char dir[PATH_BUF_SIZE];
    const size_t len = std::strlen(pattern);
    if (len < PATTERN_WILDCARD_LEN || len >= sizeof dir) return 0;
    std::memcpy(dir, pattern, len - PATTERN_WILDCARD_LEN);
    dir[len - PATTERN_WILDCARD_LEN] = '\0';

    DIR *d = opendir(dir);
    if (!d) return 0;
    // A read error ends the listing like its end does.
    for (struct dirent *e = readdir(d); e; e = readdir(d)) visit(e->d_name, context);
    closedir(d);
    return 1;
}

bool is_directory(const char *path)
{
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool path_exists(const char *path)
{
    // lstat: a dangling link still occupies the name, and writing through it
    // would create a file somewhere else.
    struct stat st;
    return lstat(path, &st) == 0;
}

int make_dir(const char *path)
{
    if (mkdir(path, NEW_DIR_MODE) == 0) return 0;
    // A failure always carries a reason; never let it read as success.
    return errno ? errno : EIO;
}

int file_id(const char *path, FileId *id)
{
    struct stat st;
    if (stat(path, &st) != 0) return 0;
    id->volume = (uint64_t)st.st_dev;
    id->index = (uint64_t)st.st_ino;
    return 1;
}
