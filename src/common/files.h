// Files and folders for the library and the command: what a path names,
// file identity, listing a folder, making folders. files_posix.cpp and
// files_win32.cpp make the system calls (the build compiles exactly one of
// the two); files.cpp holds what is the same on both. Paths are narrow
// strings handed to the system unchanged.
#pragma once

#include <cstdint>

// Separator of the paths the library and the command join.
#ifdef _WIN32
constexpr char PATH_SEP = '\\';
#else
constexpr char PATH_SEP = '/';
#endif

// True for a character that separates path components ('/' everywhere,
// '\\' too on Windows).
bool is_path_sep(char c);

// What a path names, following symbolic links.
enum PathKind { PATH_NONE = 0, PATH_FILE = 1, PATH_FOLDER = 2 };
PathKind path_kind(const char *path);

// What identifies a file or folder however its path is spelled: device and
// inode on POSIX, volume serial number and file index on Windows.
struct FileId {
    uint64_t volume;
    uint64_t index;
};

// 1 with *id filled when path exists and can be queried, else 0.
int file_id(const char *path, FileId *id);

inline bool same_file_id(const FileId &a, const FileId &b)
{
    return a.volume == b.volume && a.index == b.index;
}

// Called once per listing entry with its bare name (valid during the call)
// and whether it is a folder (a symbolic link counts as what it leads to).
typedef void (*FolderVisitor)(const char *name, bool is_folder, void *context);

// Lists the folder path: every entry is handed to visit in the platform's
// order, "." and ".." included where the platform lists them. On Windows the
// listing's pattern is path joined with '*' as the command joins paths: a
// separator between them unless path ends in one or in a drive's colon
// ("C:"), so "dir\" gives "dir\*" and "" gives "\*". On POSIX the folder is
// opened as path is spelled. 0 when it cannot be listed (visit is never
// called); 1 otherwise, also when the listing stops early on an error.
int list_folder(const char *path, FolderVisitor visit, void *context);

// Creates the one folder path (its parent must exist). 0 on success;
// otherwise the errno of the failure, EEXIST when path exists already as a
// folder or as anything else.
int make_folder(const char *path);

// Creates the folder path with its missing parents: one level at each
// separator of the platform, except a separator right after another one or
// after a ':' (a drive, "C:\"), and never at the first character. A level
// that cannot be made does not stop the walk; only the end counts: 1 when
// path is a folder afterwards, else 0.
int make_folders(const char *path);
