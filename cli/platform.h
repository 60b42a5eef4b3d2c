// The operating-system calls that only the imgthumb command makes: worker
// processes and the pipes to them, stop requests (signals, console events),
// removing a file, the terminal, the number of CPUs and a clock. platform_posix.cpp and platform_win32.cpp implement them; the build
// compiles exactly one of the two. Files and folders are the helpers it
// shares with the library (common/files.h). Paths are narrow strings handed
// to the system unchanged (UTF-8 on Windows, where the program's manifest
// selects the UTF-8 code page).
#pragma once

#include <cstddef>
#include <cstdint>

// Once, first thing in main: remembers the program's own file (for starting
// workers) and sets up the process (broken pipes become write errors).
void platform_init(const char *argv0);

// ---- Worker processes and their pipes ----------------------------------------

// One end of a pipe: a file descriptor on POSIX, a HANDLE on Windows.
typedef intptr_t Channel;
constexpr Channel NO_CHANNEL = -1;

struct Proc {
    intptr_t id;        // process id on POSIX, process HANDLE on Windows
    unsigned long pid;  // the process id, which the library names its temporary files by
    Channel to_child;   // the child's standard input
    Channel from_child; // the child's standard output
};

// Starts this program again with args (a NULL-terminated list, without the
// program's name); its standard input and output are pipes to the caller,
// its standard error is the caller's. It starts with the stop requests of
// the terminal held off, until it calls ignore_stop_requests. 1 on success,
// else 0.
int proc_spawn_self(const char *const *args, Proc *p);

// Ends the child at once, as SIGKILL does (TerminateProcess on Windows),
// wherever it is in its work; proc_end then collects it.
void proc_kill(Proc *p);

// Closes both pipes (so a waiting child sees the end of its input), waits
// for the child to end and describes how it ended into why ("exit status 0",
// "killed by signal 9", ...). 1 when it ended normally with status 0. Its
// process id stays taken (an unreaped child on POSIX, an open handle on
// Windows) until proc_release, so no other process can have it meanwhile.
int proc_end(Proc *p, char *why, size_t why_size);

// Gives up the ended child's process id.
void proc_release(Proc *p);

// In a worker, once: keep memory the library frees for its next thumbnail
// instead of handing it back to the system. Each thumbnail allocates
// buffers the size of its image; fresh pages for every one cost more
// system time than the decoding of a JPEG. Where the C library offers no
// such setting, nothing changes.
void keep_freed_memory();

// A worker's own ends: its standard input and output, in binary mode.
Channel chan_stdin();
Channel chan_stdout();

// Writes all n bytes; 1 on success, 0 when the reader is gone or on error.
int chan_write(Channel c, const void *data, size_t n);

// Reads up to n bytes: the count read, 0 at the end (the writer is gone),
// -1 on error.
long chan_read(Channel c, void *data, size_t n);

// Most channels chan_wait watches at once (so also the most workers).
constexpr int MAX_WAIT_CHANNELS = 64;

// Waits at most timeout_ms for one of the n channels to have data or to be
// at its end; returns its index, or -1 when the time ran out.
int chan_wait(const Channel *channels, int n, int timeout_ms);

// This process's id.
unsigned long own_process_id();

// Ends this process at once, as a crash would: no clean-up, no exit code of
// its own choosing (used only by the tests' worker hook).
void die_now();

// ---- Stop requests ---------------------------------------------------------------

// From now on SIGINT and SIGTERM (on Windows Ctrl-C and Ctrl-Break at the
// console) only note that the run is to stop, for stop_requested. A signal
// this process was started with ignored (a background job of a shell
// without job control) stays ignored.
void catch_stop_requests();

// 0 while no stop was requested; else the exit status the request asks for:
// 130 for SIGINT, Ctrl-C and Ctrl-Break, 143 for SIGTERM.
int stop_requested();

// In a worker, first thing: stop requests are the parent's to act on, and
// they no longer end this process (it ends when the parent ends it).
void ignore_stop_requests();

// ---- Files -------------------------------------------------------------------------

// Removes the file path; 1 when it is gone.
int remove_file(const char *path);

// ---- Terminal, CPUs, clock -----------------------------------------------------

// True when standard error is an interactive terminal (a console on Windows).
bool stderr_is_terminal();

// Columns of the terminal on standard error; 80 when unknown.
int terminal_width();

// Processors this process may run on (at least 1).
int cpu_count();

// Seconds from an arbitrary start, monotonic.
double clock_seconds();
