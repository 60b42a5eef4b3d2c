// The library's own file-system calls on POSIX systems.
#include "platform/platform.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool path_exists(const char *path)
{
    // lstat: a dangling link still occupies the name, and writing through it
    // would create a file somewhere else.
    struct stat st;
    return lstat(path, &st) == 0;
}

// ---- Output files -------------------------------------------------------------

// Permissions asked for new files, as fopen asks; the umask narrows them.
static const mode_t NEW_FILE_MODE = 0666;
// The permission bits a replaced file passes on to its replacement.
static const mode_t PERMISSION_BITS = 0777;
// Links followed before giving up, as the system's own limit does.
static const int MAX_LINK_DEPTH = 40;
// Names tried for a temporary file before giving up.
static const int TEMP_ATTEMPTS = 100;
// Room for "/proc/self/fd/" and any descriptor number.
static const size_t PROC_FD_PATH_SIZE = 32;

// Numbers the temporary files of this process; threads take turns.
static std::atomic<unsigned> s_temp_counter{0};

enum OutputKind { OUTPUT_NEW, OUTPUT_REGULAR, OUTPUT_OTHER };

// Length of the folder part of path, its last '/' included.
static size_t folder_length(const char *path)
{
    const char *slash = std::strrchr(path, '/');
    return slash ? (size_t)(slash - path) + 1 : 0;
}

// Follows the symbolic links from path to the name they end at (in target)
// and says what is there.
static OutputKind resolve_output(const char *path, char *target)
{
    const size_t len = std::strlen(path);
    if (len >= PATH_BUF_SIZE) return OUTPUT_OTHER;
    std::memcpy(target, path, len + 1);
    for (int depth = 0; depth < MAX_LINK_DEPTH; depth++) {
        struct stat st;
        if (lstat(target, &st) != 0) return errno == ENOENT ? OUTPUT_NEW : OUTPUT_OTHER;
        if (S_ISREG(st.st_mode)) return OUTPUT_REGULAR;
        if (!S_ISLNK(st.st_mode)) return OUTPUT_OTHER;
        char link[PATH_BUF_SIZE];
        const ssize_t n = readlink(target, link, sizeof link - 1);
        if (n < 0) return OUTPUT_OTHER;
        link[n] = '\0';
        // A relative link is read from the folder that holds it.
        const size_t folder = link[0] == '/' ? 0 : folder_length(target);
        if (folder + (size_t)n >= PATH_BUF_SIZE) return OUTPUT_OTHER;
        std::memcpy(target + folder, link, (size_t)n + 1);
    }
    return OUTPUT_OTHER;
}

// Creates a new, empty temporary file beside target, exclusively: a name in
// use by anyone else is never opened. Its descriptor, or -1 with errno.
static int create_temp(const char *target, char *temp)
{
    const size_t folder = folder_length(target);
    for (int attempt = 0; attempt < TEMP_ATTEMPTS; attempt++) {
        if (!temp_path_beside(target, folder, (unsigned long)getpid(), s_temp_counter.fetch_add(1), temp)) {
            errno = ENAMETOOLONG;
            return -1;
        }
        const int fd = open(temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, NEW_FILE_MODE);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// An unnamed file in target's folder (O_TMPFILE): nothing of it can be seen
// until name_unnamed links it. Its descriptor, or -1 where the system or
// the file system has no unnamed files, or /proc (through which it gets its
// name) is missing.
static int create_unnamed(const char *target)
{
#ifdef O_TMPFILE
    char folder[PATH_BUF_SIZE];
    const size_t len = folder_length(target);
    if (len == 0) {
        folder[0] = '.';
        folder[1] = '\0';
    } else {
        std::memcpy(folder, target, len);
        folder[len] = '\0';
    }
    const int fd = open(folder, O_TMPFILE | O_WRONLY | O_CLOEXEC | O_NOCTTY, NEW_FILE_MODE);
    if (fd < 0) return -1;
    char proc[PROC_FD_PATH_SIZE];
    struct stat st;
    if (std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd) >= (int)sizeof proc || stat(proc, &st) != 0) {
        close(fd);
        return -1;
    }
    return fd;
#else
    (void)target;
    return -1;
#endif
}

// Gives the complete unnamed file behind fd its name: straight the target's
// when nothing was there, else a temporary name beside it that then
// replaces the target in one step. 1 on success; 0 with nothing changed.
static int name_unnamed(int fd, OutputFile *out)
{
    char proc[PROC_FD_PATH_SIZE];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
    if (out->target_new) {
        if (linkat(AT_FDCWD, proc, AT_FDCWD, out->target, AT_SYMLINK_FOLLOW) == 0) return 1;
        // Someone made a file there meanwhile: it is replaced like any other.
        if (errno != EEXIST) return 0;
    }
    const size_t folder = folder_length(out->target);
    for (int attempt = 0; attempt < TEMP_ATTEMPTS; attempt++) {
        if (!temp_path_beside(out->target, folder, (unsigned long)getpid(), s_temp_counter.fetch_add(1), out->temp))
            return 0;
        if (linkat(AT_FDCWD, proc, AT_FDCWD, out->temp, AT_SYMLINK_FOLLOW) == 0) {
            if (rename(out->temp, out->target) == 0) return 1;
            unlink(out->temp);
            return 0;
        }
        if (errno != EEXIST) return 0;
    }
    return 0;
}

// The new file as a stream: 1, or 0 with fd closed.
static int open_stream(int fd, OutputKind kind, const struct stat &old, OutputFile *out)
{
    if ((kind != OUTPUT_REGULAR || fchmod(fd, old.st_mode & PERMISSION_BITS) == 0) &&
        (out->file = fdopen(fd, "wb")) != nullptr)
        return 1;
    close(fd);
    return 0;
}

int open_output(const char *path, OutputFile *out)
{
    out->file = nullptr;
    out->temp[0] = '\0';
    out->remove_on_failure = false;
    out->unnamed = false;
    out->target_new = false;
    OutputKind kind = resolve_output(path, out->target);
    struct stat old = {};
    if (kind == OUTPUT_REGULAR) {
        // fopen would truncate this very file: it must be writable by this
        // process, and its replacement gets its permissions.
        const int fd = open(out->target, O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return 0;
        const bool known = fstat(fd, &old) == 0;
        close(fd);
        if (!known) return 0;
        if (!S_ISREG(old.st_mode)) kind = OUTPUT_OTHER;
    }
    if (kind != OUTPUT_OTHER) {
        out->target_new = kind == OUTPUT_NEW;
        int fd = create_unnamed(out->target);
        if (fd >= 0) {
            out->unnamed = true;
            return open_stream(fd, kind, old, out);
        }
        fd = create_temp(out->target, out->temp);
        if (fd >= 0) {
            if (open_stream(fd, kind, old, out)) return 1;
            unlink(out->temp);
            return 0;
        }
        out->temp[0] = '\0';
        // No temporary file can be made beside the output (a folder closed
        // to new files, a path at the system's length limit): the output is
        // written in place, as fopen would, and removed if the write fails.
        if (errno != EACCES && errno != EPERM && errno != ENAMETOOLONG) return 0;
        out->remove_on_failure = true;
    }
    out->file = std::fopen(path, "wb");
    return out->file != nullptr;
}

int close_output(OutputFile *out, bool ok)
{
    if (std::fflush(out->file) != 0) ok = false;
    // An unnamed file is named through a descriptor of its own, once the
    // stream's close has said that everything reached the file.
    const int keep = out->unnamed && ok ? dup(fileno(out->file)) : -1;
    if (std::fclose(out->file) != 0) ok = false;
    out->file = nullptr;
    if (out->unnamed) {
        // Not named, it vanishes with its last descriptor.
        const int named = keep >= 0 && ok && name_unnamed(keep, out);
        if (keep >= 0) close(keep);
        return named;
    }
    if (out->temp[0]) {
        if (ok && rename(out->temp, out->target) == 0) return 1;
        unlink(out->temp);
        return 0;
    }
    if (ok) return 1;
    // A partial file written in place is no thumbnail; a device is left be.
    struct stat st;
    if (out->remove_on_failure && lstat(out->target, &st) == 0 && S_ISREG(st.st_mode)) unlink(out->target);
    return 0;
}
