// The few file-system calls the batch needs that differ between Windows and
// POSIX. platform_win32.cpp and platform_posix.cpp implement them; the build
// compiles exactly one of the two.
#pragma once

#include <cstdint>

// Separator of the paths the batch joins.
#ifdef _WIN32
constexpr char PATH_SEP = '\\';
#else
constexpr char PATH_SEP = '/';
#endif

// Size, NUL included, of every path buffer the batch formats into. A path
// that does not fit is refused: a cut path names some other file.
constexpr int PATH_BUF_SIZE = 4096;

// Called once per listing entry with its bare name (valid during the call).
typedef void (*DirVisitor)(const char *name, void *context);

// Lists the directory that pattern names, which is the directory, PATH_SEP
// and '*' (the form the Windows listing takes). Every entry is handed to
// visit in the platform's order, "." and ".." included where the platform
// lists them. 0 when the directory cannot be listed (visit is never called);
// 1 otherwise, also when the listing stops early on an error.
int list_dir(const char *pattern, DirVisitor visit, void *context);

// True when path exists and is a directory.
bool is_directory(const char *path);

// True when something exists at path: a file, a directory, or any other
// entry (on POSIX a symbolic link counts even when it leads nowhere).
bool path_exists(const char *path);

// Creates the one directory path (its parent must exist). 0 on success;
// otherwise the errno of the failure, EEXIST when path exists already as a
// directory or as anything else.
int make_dir(const char *path);
typedef int (*MakeDirFn)(const char *path);

// What identifies a file or directory however its path is spelled: device
// and inode on POSIX, volume serial number and file index on Windows.
struct FileId {
    uint64_t volume;
    uint64_t index;
};

// 1 with *id filled when path exists and can be queried, else 0.
int file_id(const char *path, FileId *id);
