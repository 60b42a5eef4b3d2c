// The file-system calls that only the library makes: whether a name is
// taken, and the replacement of output files. platform_win32.cpp and
// platform_posix.cpp implement them; the build compiles exactly one of the
// two. (Listing, folders and file identity, which the command needs too, are
// in common/files.h.)
#pragma once

#include <cstddef>
#include <cstdio>

// Size, NUL included, of every path buffer the library formats into. A path
// that does not fit is refused: a cut path names some other file.
constexpr int PATH_BUF_SIZE = 4096;

// True when something exists at path: a file, a directory, or any other
// entry (on POSIX a symbolic link counts even when it leads nowhere).
bool path_exists(const char *path);

// ---- Output files -------------------------------------------------------------

// An output file being written. A regular file, or a name where nothing is
// yet, is written into a new temporary file in the same folder, which then
// takes its place in one step: a reader sees the old file or the new one,
// never a part, and a failed write leaves the old file as it was. Symbolic
// links are followed on POSIX, so a link stays and its target is replaced.
// Anything else (a device such as /dev/null, a FIFO) is written directly,
// and so is an output beside which no temporary file can be made (a folder
// closed to new files, a path at the system's length limit).
//
// Where the system offers it (Linux: O_TMPFILE), the new file has no name at
// all while it is written and gets one only once it is complete, so a
// process killed mid-write leaves nothing behind. Elsewhere it is a named
// temporary file, which a killed process leaves (the command removes those
// of its workers).
struct OutputFile {
    FILE *file;                 // open for binary writing
    char temp[PATH_BUF_SIZE];   // the temporary file; empty when writing directly
    char target[PATH_BUF_SIZE]; // the file that the temporary file replaces
    bool remove_on_failure;     // a direct write to a regular file
    bool unnamed;               // the file has no name yet (see above)
    bool target_new;            // nothing was at target when it was opened
};

// Opens path for writing. 0 (nothing created, nothing changed) when it
// cannot be written, where fopen with "wb" would fail.
int open_output(const char *path, OutputFile *out);

// Closes the output. When ok, and flushing and closing succeed, the
// temporary file takes the target's place: 1. Otherwise the temporary file is
// removed and the target is as it was before open_output: 0. (A regular file
// written in place, having lost its old content, is removed instead.)
int close_output(OutputFile *out, bool ok);

// The path of a temporary file in the folder of target (its first
// folder_len bytes), named for the process and a counter. The name is one
// that the batch never takes as an input (a leading dot, ending in .tmp).
// 0 when it does not fit in temp (PATH_BUF_SIZE bytes).
inline int temp_path_beside(const char *target, size_t folder_len, unsigned long pid, unsigned counter,
                            char *temp)
{
    const int n = std::snprintf(temp, PATH_BUF_SIZE, "%.*s.imgthumb-%lu-%u.tmp", (int)folder_len, target, pid,
                                counter);
    return n > 0 && n < PATH_BUF_SIZE;
}
