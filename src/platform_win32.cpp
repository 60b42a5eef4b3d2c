// The batch's file-system calls on Windows, through the narrow (ANSI) API
// so that paths reach the system exactly as the caller spelled them.
#include "platform.h"

#include <cerrno>
#include <direct.h>
#include <windows.h>

int list_dir(const char *pattern, DirVisitor visit, void *context)
{
    WIN32_FIND_DATAA entry;
    HANDLE h = FindFirstFileA(pattern, &entry);
    if (h == INVALID_HANDLE_VALUE) return 0;
    // FindNextFileA's 0 means the end or an error; either ends the listing.
    do {
        visit(entry.cFileName, context);
    } while (FindNextFileA(h, &entry));
    FindClose(h);
    return 1;
}

bool is_directory(const char *path)
{
    const DWORD attr = GetFileAttributesA(path);
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool path_exists(const char *path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

int make_dir(const char *path)
{
    if (_mkdir(path) == 0) return 0;
    // A failure always carries a reason; never let it read as success.
    return errno ? errno : EIO;
}

int file_id(const char *path, FileId *id)
{
    // Directories open only with backup semantics; no access right is asked
    // for and every sharing mode is allowed, so nothing else is disturbed.
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
