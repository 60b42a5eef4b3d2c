// The library's own file-system calls on Windows, through the narrow (ANSI)
// API so that paths reach the system exactly as the caller spelled them.
#include "platform/platform.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

bool path_exists(const char *path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// ---- Output files -------------------------------------------------------------

// Names tried for a temporary file before giving up.
static const int TEMP_ATTEMPTS = 100;

// Numbers the temporary files of this process; threads take turns.
static std::atomic<unsigned> s_temp_counter{0};

enum OutputKind { OUTPUT_NEW, OUTPUT_REGULAR, OUTPUT_OTHER };

// Length of the folder part of path: up to its last separator or the colon
// of a drive ("C:thumb.png").
static size_t folder_length(const char *path)
{
    size_t len = 0;
    for (size_t i = 0; path[i]; i++)
        if (path[i] == '\\' || path[i] == '/' || path[i] == ':') len = i + 1;
    return len;
}

// What is at path: nothing yet, a file on disk, or anything else (a folder,
// a device such as NUL, a pipe, or a link, which is written through as it
// stands). *attributes: the file's attributes, when it is one.
static OutputKind classify_output(const char *path, DWORD *attributes)
{
    *attributes = 0;
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND ? OUTPUT_NEW : OUTPUT_OTHER;
    BY_HANDLE_FILE_INFORMATION info;
    const bool disk = GetFileType(h) == FILE_TYPE_DISK;
    const bool known = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    const DWORD not_plain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    if (!disk || !known || (info.dwFileAttributes & not_plain)) return OUTPUT_OTHER;
    *attributes = info.dwFileAttributes;
    return OUTPUT_REGULAR;
}

// Creates a new, empty temporary file beside target, exclusively. Its
// descriptor, or -1 with errno.
static int create_temp(const char *target, char *temp)
{
    const size_t folder = folder_length(target);
    for (int attempt = 0; attempt < TEMP_ATTEMPTS; attempt++) {
        if (!temp_path_beside(target, folder, (unsigned long)GetCurrentProcessId(), s_temp_counter.fetch_add(1), temp)) {
            errno = ENAMETOOLONG;
            return -1;
        }
        // The narrow calls take paths of fewer than MAX_PATH characters.
        if (std::strlen(temp) >= MAX_PATH) {
            errno = ENAMETOOLONG;
            return -1;
        }
        const int fd = _open(temp, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

int open_output(const char *path, OutputFile *out)
{
    out->file = nullptr;
    out->temp[0] = '\0';
    out->remove_on_failure = false;
    const size_t len = std::strlen(path);
    DWORD attributes = 0;
    const OutputKind kind = len < PATH_BUF_SIZE ? classify_output(path, &attributes) : OUTPUT_OTHER;
    // fopen would not open a read-only file for writing, whoever asks.
    if (attributes & FILE_ATTRIBUTE_READONLY) return 0;
    if (kind != OUTPUT_OTHER) {
        std::memcpy(out->target, path, len + 1);
        const int fd = create_temp(out->target, out->temp);
        if (fd >= 0) {
            if ((out->file = _fdopen(fd, "wb")) != nullptr) return 1;
            _close(fd);
            DeleteFileA(out->temp);
            return 0;
        }
        out->temp[0] = '\0';
        // No temporary file can be made beside the output (a folder closed
        // to new files, a path at the system's length limit): the output is
        // written in place, as fopen would, and removed if the write fails.
        if (errno != EACCES && errno != ENAMETOOLONG) return 0;
        out->remove_on_failure = true;
    }
    out->file = std::fopen(path, "wb");
    return out->file != nullptr;
}

int close_output(OutputFile *out, bool ok)
{
    if (std::fflush(out->file) != 0) ok = false;
    if (std::fclose(out->file) != 0) ok = false;
    out->file = nullptr;
    if (out->temp[0]) {
        if (ok && MoveFileExA(out->temp, out->target, MOVEFILE_REPLACE_EXISTING)) return 1;
        DeleteFileA(out->temp);
        return 0;
    }
    if (ok) return 1;
    // A partial file written in place is no thumbnail; a device is left be.
    DWORD attributes = 0;
    if (out->remove_on_failure && classify_output(out->target, &attributes) == OUTPUT_REGULAR)
        DeleteFileA(out->target);
    return 0;
}
