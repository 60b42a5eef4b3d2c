// What a worker that died leaves behind, and its removal. Where the system
// gives no unnamed files (Windows; Linux file systems without O_TMPFILE) the
// library writes each output as ".imgthumb-PID-N.tmp" beside it and renames
// that over the output once it is whole; a process killed in between leaves
// the temporary file. Only the parent, which knows each worker's process id
// and the folders it wrote into, can tell whose it is.
#pragma once

#include <cstddef>

// True when name is a temporary file of the process pid: exactly
// ".imgthumb-PID-N.tmp" with that PID and a decimal N.
bool is_leftover_of(const char *name, unsigned long pid);

// Removes the temporary files of the process pid (files, never folders) from
// the folder that is the first folder_len bytes of path (path up to its
// base name, so "" is the current folder). Nothing else is touched.
void remove_leftovers(const char *path, size_t folder_len, unsigned long pid);
