// Files and folders on Windows, through the narrow (ANSI) API so that paths
// reach the system exactly as the caller spelled them.
#include "common/files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <direct.h>
#include <windows.h>

// Longest listing pattern formed: the longest path the system's file calls
// take at all (the narrow ones stop far sooner, and fail on their own).
static const size_t PATTERN_MAX = 32768;

PathKind path_kind(const char *path)
{
    const DWORD attr = GetFileAttributesA(path);
    if (attr == INVALID_FILE_ATTRIBUTES) return PATH_NONE;
    return (attr & FILE_ATTRIBUTE_DIRECTORY) ? PATH_FOLDER : PATH_FILE;
}

int file_id(const char *path, FileId *id)
{
    // Folders open only with backup semantics; no access right is asked for
    // and every sharing mode is allowed, so nothing else is disturbed.
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION info;
    const BOOL ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!ok) return 0;
    id->volume = info.dwVolumeSerialNumber;
    id->index = ((uint64_t)info.nFileIndexHigh << 32) | info.nFileIndexLow;
    return 1;
}

int list_folder(const char *path, FolderVisitor visit, void *context)
{
    char pattern[PATTERN_MAX];
    const size_t len = std::strlen(path);
    const bool joined = len > 0 && (is_path_sep(path[len - 1]) || path[len - 1] == ':');
    const int n = std::snprintf(pattern, sizeof pattern, "%s%s*", path, joined ? "" : "\\");
    if (n <= 0 || (size_t)n >= sizeof pattern) return 0;
    WIN32_FIND_DATAA entry;
    HANDLE h = FindFirstFileA(pattern, &entry);
    if (h == INVALID_HANDLE_VALUE) return 0;
    // FindNextFileA's 0 means the end or an error; either ends the listing.
    do {
        visit(entry.cFileName, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0, context);
    } while (FindNextFileA(h, &entry));
    FindClose(h);
    return 1;
}

int make_folder(const char *path)
{
    if (_mkdir(path) == 0) return 0;
    // A failure always carries a reason; never let it read as success.
    return errno ? errno : EIO;
}
