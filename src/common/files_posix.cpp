// Files and folders on POSIX systems.
#include "common/files.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>

// Permissions asked for new folders; the process umask narrows them.
static const mode_t NEW_FOLDER_MODE = 0777;

PathKind path_kind(const char *path)
{
    struct stat st;
    if (stat(path, &st) != 0) return PATH_NONE;
    return S_ISDIR(st.st_mode) ? PATH_FOLDER : PATH_FILE;
}

int file_id(const char *path, FileId *id)
{
    struct stat st;
    if (stat(path, &st) != 0) return 0;
    id->volume = (uint64_t)st.st_dev;
    id->index = (uint64_t)st.st_ino;
    return 1;
}

int list_folder(const char *path, FolderVisitor visit, void *context)
{
    DIR *d = opendir(path);
    if (!d) return 0;
    char entry_path[PATH_MAX];
    // A read error ends the listing like its end does.
    for (struct dirent *e = readdir(d); e; e = readdir(d)) {
        bool is_folder = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            // The listing does not say, or the entry is a link: ask what it
            // leads to.
            std::snprintf(entry_path, sizeof entry_path, "%s/%s", path, e->d_name);
            is_folder = path_kind(entry_path) == PATH_FOLDER;
        }
        visit(e->d_name, is_folder, context);
    }
    closedir(d);
    return 1;
}

int make_folder(const char *path)
{
    if (mkdir(path, NEW_FOLDER_MODE) == 0) return 0;
    // A failure always carries a reason; never let it read as success.
    return errno ? errno : EIO;
}
