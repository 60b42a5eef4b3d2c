// The imgthumb command's operating-system calls on Windows. Paths go through
// the narrow (ANSI) API: the program's manifest makes its code page UTF-8
// (Windows 10 version 1903 and later), so arguments, folder listings and the
// paths handed to the library are UTF-8 and reach every file name.
#include "platform.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <windows.h>

// Columns assumed when the console does not say.
static const int DEFAULT_COLUMNS = 80;
// Longest command line a worker is started with.
static const size_t MAX_COMMAND_LINE = 32768;
// Pause between two looks at the workers' pipes (anonymous pipes cannot be
// waited on).
static const DWORD PIPE_POLL_MS = 1;
// Exit code of a worker ended abruptly: by itself through die_now, or by
// the parent through proc_kill.
static const UINT DIED_EXIT_CODE = 0xDEAD;
// The exit status of a run stopped from the console, the one a POSIX shell
// gives a program ended by SIGINT.
static const int INTERRUPTED_STATUS = 130;
// Exit codes from here up are exceptions (0xC0000005: access violation).
static const DWORD FIRST_EXCEPTION_CODE = 0xC0000000u;

// The program's own file, for starting workers.
static char s_self[MAX_PATH * 4];
// The console's output code page before the program changed it.
static UINT s_console_cp;
// The exit status a console event asked for; 0 while none came. Written by
// the thread the system runs the handler on, read by the pool.
static volatile sig_atomic_t s_stop_status = 0;

static void restore_console()
{
    SetConsoleOutputCP(s_console_cp);
}

void platform_init(const char *argv0)
{
    const DWORD n = GetModuleFileNameA(nullptr, s_self, sizeof s_self);
    if (n == 0 || n >= sizeof s_self) std::snprintf(s_self, sizeof s_self, "%s", argv0);
    // Paths are printed as UTF-8: let the console show them as such.
    if (stderr_is_terminal() && GetACP() == CP_UTF8) {
        s_console_cp = GetConsoleOutputCP();
        if (s_console_cp != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) std::atexit(restore_console);
    }
}

int proc_spawn_self(const char *const *args, Proc *p)
{
    static char command[MAX_COMMAND_LINE];
    int len = std::snprintf(command, sizeof command, "\"%s\"", s_self);
    for (int i = 0; args[i] && len > 0 && (size_t)len < sizeof command; i++)
        len += std::snprintf(command + len, sizeof command - (size_t)len, " \"%s\"", args[i]);
    if (len <= 0 || (size_t)len >= sizeof command) return 0;

    // Both pipes are made inheritable, then the parent's ends are taken back,
    // so the child inherits only its own two ends (the parent starts one
    // child at a time).
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE in_read, in_write, out_read, out_write;
    if (!CreatePipe(&in_read, &in_write, &inherit, 0)) return 0;
    if (!CreatePipe(&out_read, &out_write, &inherit, 0)) {
        CloseHandle(in_read);
        CloseHandle(in_write);
        return 0;
    }
    SetHandleInformation(in_write, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
    HANDLE err = INVALID_HANDLE_VALUE;
    const HANDLE own_err = GetStdHandle(STD_ERROR_HANDLE);
    if (own_err && own_err != INVALID_HANDLE_VALUE)
        DuplicateHandle(GetCurrentProcess(), own_err, GetCurrentProcess(), &err, 0, TRUE, DUPLICATE_SAME_ACCESS);

    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in_read;
    si.hStdOutput = out_write;
    si.hStdError = err;
    PROCESS_INFORMATION pi;
    // A process group of its own starts the worker with Ctrl-C turned off
    // (Ctrl-Break it sets aside itself, in ignore_stop_requests): the console
    // sends both to every process attached to it.
    const BOOL ok = CreateProcessA(s_self, command, nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP, nullptr, nullptr,
                                   &si, &pi);
    CloseHandle(in_read);
    CloseHandle(out_write);
    if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
    if (!ok) {
        CloseHandle(in_write);
        CloseHandle(out_read);
        return 0;
    }
    CloseHandle(pi.hThread);
    p->id = (intptr_t)pi.hProcess;
    p->pid = pi.dwProcessId;
    p->to_child = (Channel)in_write;
    p->from_child = (Channel)out_read;
    return 1;
}

void proc_kill(Proc *p)
{
    TerminateProcess((HANDLE)p->id, DIED_EXIT_CODE);
}

int proc_end(Proc *p, char *why, size_t why_size)
{
    if (p->to_child != NO_CHANNEL) CloseHandle((HANDLE)p->to_child);
    if (p->from_child != NO_CHANNEL) CloseHandle((HANDLE)p->from_child);
    p->to_child = p->from_child = NO_CHANNEL;
    // The handle stays open until proc_release: while it is, the process id
    // is not given to another process.
    const HANDLE h = (HANDLE)p->id;
    WaitForSingleObject(h, INFINITE);
    DWORD code = 0;
    const BOOL known = GetExitCodeProcess(h, &code);
    if (!known)
        std::snprintf(why, why_size, "lost");
    else if (code >= FIRST_EXCEPTION_CODE)
        std::snprintf(why, why_size, "exception 0x%08lX", (unsigned long)code);
    else
        std::snprintf(why, why_size, "exit code %lu", (unsigned long)code);
    return known && code == 0;
}

void proc_release(Proc *p)
{
    CloseHandle((HANDLE)p->id);
}

void keep_freed_memory()
{
    // The Windows heap keeps and reuses what it is given back on its own.
}

Channel chan_stdin()
{
    return (Channel)GetStdHandle(STD_INPUT_HANDLE);
}

Channel chan_stdout()
{
    return (Channel)GetStdHandle(STD_OUTPUT_HANDLE);
}

int chan_write(Channel c, const void *data, size_t n)
{
    const char *at = (const char *)data;
    while (n > 0) {
        DWORD done = 0;
        const DWORD chunk = n > 0x10000000u ? 0x10000000u : (DWORD)n;
        if (!WriteFile((HANDLE)c, at, chunk, &done, nullptr) || done == 0) return 0;
        at += done;
        n -= done;
    }
    return 1;
}

long chan_read(Channel c, void *data, size_t n)
{
    DWORD done = 0;
    const DWORD chunk = n > 0x10000000u ? 0x10000000u : (DWORD)n;
    if (!ReadFile((HANDLE)c, data, chunk, &done, nullptr))
        return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    return (long)done;
}

int chan_wait(const Channel *channels, int n, int timeout_ms)
{
    const ULONGLONG end = GetTickCount64() + (ULONGLONG)(timeout_ms < 0 ? 0 : timeout_ms);
    for (;;) {
        for (int i = 0; i < n; i++) {
            DWORD avail = 0;
            // A pipe whose writer is gone fails here: its end is "ready" too.
            if (!PeekNamedPipe((HANDLE)channels[i], nullptr, 0, nullptr, &avail, nullptr) || avail > 0) return i;
        }
        if (GetTickCount64() >= end) return -1;
        Sleep(PIPE_POLL_MS);
    }
}

unsigned long own_process_id()
{
    return GetCurrentProcessId();
}

void die_now()
{
    TerminateProcess(GetCurrentProcess(), DIED_EXIT_CODE);
    std::abort();
}

static BOOL WINAPI on_console_event(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    s_stop_status = INTERRUPTED_STATUS;
    return TRUE;
}

void catch_stop_requests()
{
    // A process started with Ctrl-C ignored is never handed the event.
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

int stop_requested()
{
    return s_stop_status;
}

static BOOL WINAPI ignore_console_event(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

void ignore_stop_requests()
{
    SetConsoleCtrlHandler(nullptr, TRUE);
    SetConsoleCtrlHandler(ignore_console_event, TRUE);
}

int remove_file(const char *path)
{
    return DeleteFileA(path) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool stderr_is_terminal()
{
    DWORD mode;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

int terminal_width()
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
    return DEFAULT_COLUMNS;
}

int cpu_count()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? (int)info.dwNumberOfProcessors : 1;
}

double clock_seconds()
{
    LARGE_INTEGER now, freq;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&freq);
    return (double)now.QuadPart / (double)freq.QuadPart;
}
