// The imgthumb command's operating-system calls on POSIX systems.
#include "platform.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sched.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

extern char **environ;

// Columns assumed when the terminal does not say.
static const int DEFAULT_COLUMNS = 80;
// Most arguments a worker is started with (the program's name and the end
// marker included).
static const int MAX_SPAWN_ARGS = 16;

// Exit status of a run stopped by a signal: 128 and the signal's number, as
// a shell reports a program the signal ended.
static const int SIGNAL_STATUS_BASE = 128;
// The signals that stop a run.
static const int STOP_SIGNALS[] = {SIGINT, SIGTERM};

// The program's own file, for starting workers.
static char s_self[PATH_MAX];
// The exit status a stop signal asked for; 0 while none came. Only the
// handler writes it.
static volatile sig_atomic_t s_stop_status = 0;

void platform_init(const char *argv0)
{
    // Writing to a worker that died must fail with EPIPE, not end the run.
    signal(SIGPIPE, SIG_IGN);
    const ssize_t n = readlink("/proc/self/exe", s_self, sizeof s_self - 1);
    if (n > 0)
        s_self[n] = '\0';
    else
        std::snprintf(s_self, sizeof s_self, "%s", argv0);
}

static int close_on_exec_pipe(int fds[2])
{
    if (pipe(fds) != 0) return 0;
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    fcntl(fds[1], F_SETFD, FD_CLOEXEC);
    return 1;
}

int proc_spawn_self(const char *const *args, Proc *p)
{
    const char *argv[MAX_SPAWN_ARGS];
    int argc = 0;
    argv[argc++] = s_self;
    for (int i = 0; args[i] && argc < MAX_SPAWN_ARGS - 1; i++) argv[argc++] = args[i];
    argv[argc] = nullptr;

    int to_child[2], from_child[2];
    if (!close_on_exec_pipe(to_child)) return 0;
    if (!close_on_exec_pipe(from_child)) {
        close(to_child[0]);
        close(to_child[1]);
        return 0;
    }
    // The child gets the read end as its standard input and the write end as
    // its standard output; dup2 clears close-on-exec on those two only, so no
    // other worker's pipe leaks into it.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, to_child[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, from_child[1], STDOUT_FILENO);
    // It starts with the stop signals blocked: a Ctrl-C at the terminal
    // reaches the whole process group, and must not end a worker before it
    // has set them aside (ignore_stop_requests).
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t held;
    sigemptyset(&held);
    for (const int sig : STOP_SIGNALS) sigaddset(&held, sig);
    posix_spawnattr_setsigmask(&attr, &held);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
    pid_t pid;
    const int rc = std::strchr(s_self, '/')
                       ? posix_spawn(&pid, s_self, &actions, &attr, (char *const *)argv, environ)
                       : posix_spawnp(&pid, s_self, &actions, &attr, (char *const *)argv, environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    close(to_child[0]);
    close(from_child[1]);
    if (rc != 0) {
        close(to_child[1]);
        close(from_child[0]);
        return 0;
    }
    p->id = pid;
    p->pid = (unsigned long)pid;
    p->to_child = to_child[1];
    p->from_child = from_child[0];
    return 1;
}

void proc_kill(Proc *p)
{
    kill((pid_t)p->id, SIGKILL);
}

int proc_end(Proc *p, char *why, size_t why_size)
{
    if (p->to_child != NO_CHANNEL) close((int)p->to_child);
    if (p->from_child != NO_CHANNEL) close((int)p->from_child);
    p->to_child = p->from_child = NO_CHANNEL;
    // WNOWAIT leaves the child unreaped: its id is not free for another
    // process until proc_release.
    siginfo_t info;
    std::memset(&info, 0, sizeof info);
    int r;
    do {
        r = waitid(P_PID, (id_t)p->id, &info, WEXITED | WNOWAIT);
    } while (r < 0 && errno == EINTR);
    if (r < 0) {
        std::snprintf(why, why_size, "lost (%s)", std::strerror(errno));
        return 0;
    }
    if (info.si_code == CLD_KILLED || info.si_code == CLD_DUMPED) {
        std::snprintf(why, why_size, "killed by signal %d", info.si_status);
        return 0;
    }
    const int code = info.si_code == CLD_EXITED ? info.si_status : -1;
    std::snprintf(why, why_size, "exit status %d", code);
    return code == 0;
}

void proc_release(Proc *p)
{
    int status;
    while (waitpid((pid_t)p->id, &status, 0) < 0 && errno == EINTR) {
    }
}

void keep_freed_memory()
{
#ifdef __GLIBC__
    // Every block from the heap (none mapped on its own, as blocks above
    // 32 MB otherwise are), and the heap never shrunk: a worker holds the
    // memory of its largest image, which it needs again for the next one.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
#endif
}

Channel chan_stdin()
{
    return STDIN_FILENO;
}

Channel chan_stdout()
{
    return STDOUT_FILENO;
}

int chan_write(Channel c, const void *data, size_t n)
{
    const char *at = (const char *)data;
    while (n > 0) {
        const ssize_t w = write((int)c, at, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return 0;
        at += w;
        n -= (size_t)w;
    }
    return 1;
}

long chan_read(Channel c, void *data, size_t n)
{
    for (;;) {
        const ssize_t r = read((int)c, data, n);
        if (r < 0 && errno == EINTR) continue;
        return (long)r;
    }
}

int chan_wait(const Channel *channels, int n, int timeout_ms)
{
    struct pollfd fds[MAX_WAIT_CHANNELS];
    const int count = n < MAX_WAIT_CHANNELS ? n : MAX_WAIT_CHANNELS;
    for (int i = 0; i < count; i++) {
        fds[i].fd = (int)channels[i];
        fds[i].events = POLLIN;
        fds[i].revents = 0;
    }
    if (poll(fds, (nfds_t)count, timeout_ms) <= 0) return -1;
    for (int i = 0; i < count; i++)
        if (fds[i].revents) return i;
    return -1;
}

unsigned long own_process_id()
{
    return (unsigned long)getpid();
}

void die_now()
{
    kill(getpid(), SIGKILL);
    _exit(EXIT_FAILURE);
}

static void on_stop_signal(int sig)
{
    s_stop_status = SIGNAL_STATUS_BASE + sig;
}

void catch_stop_requests()
{
    for (const int sig : STOP_SIGNALS) {
        struct sigaction old;
        if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
        struct sigaction sa;
        std::memset(&sa, 0, sizeof sa);
        sa.sa_handler = on_stop_signal;
        sigemptyset(&sa.sa_mask);
        // Writes to the terminal and reads from the workers resume after the
        // handler; poll never does, so the pool's wait ends at once.
        sa.sa_flags = SA_RESTART;
        sigaction(sig, &sa, nullptr);
    }
}

int stop_requested()
{
    return s_stop_status;
}

void ignore_stop_requests()
{
    // Ignored, a signal that came while they were blocked is dropped too.
    sigset_t held;
    sigemptyset(&held);
    for (const int sig : STOP_SIGNALS) {
        signal(sig, SIG_IGN);
        sigaddset(&held, sig);
    }
    sigprocmask(SIG_UNBLOCK, &held, nullptr);
}

int remove_file(const char *path)
{
    return unlink(path) == 0 || errno == ENOENT;
}

bool stderr_is_terminal()
{
    return isatty(STDERR_FILENO) != 0;
}

int terminal_width()
{
    struct winsize ws;
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    return DEFAULT_COLUMNS;
}

int cpu_count()
{
#ifdef __linux__
    // The CPUs this process may use, which a container or taskset narrows.
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
#endif
    const long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? (int)n : 1;
}

double clock_seconds()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}
