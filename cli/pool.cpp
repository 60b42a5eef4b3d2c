// The worker pool (the parent's side) and the worker mode (the child's side).
// The parent keeps every worker busy with one file at a time: it sends the
// operation and the input and output paths, waits for whichever worker
// answers first, passes its result on and gives it the next file.
#include "pool.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "imgthumbnail_ex.h"
#include "inputs.h"
#include "leftovers.h"
#include "platform.h"
#include "records.h"

// How long the parent waits for a result before it lets the progress redraw
// (and looks whether it was asked to stop).
static const int TICK_MS = 100;
// Room for how a worker ended, and for the message that reports it.
static const size_t WHY_SIZE = 96;
static const size_t DIED_SIZE = 192;
// Folders noted for a worker at first; the list doubles when full.
static const int FIRST_FOLDERS = 8;

struct Slot {
    Proc proc;
    bool alive;
    int job;  // the job it is making; -1 when idle
    // The folders of the outputs it was given, each as the first of its jobs
    // there (the folder is that output's path up to its base name). What it
    // leaves when it dies is in these.
    int *folders;
    int n_folders, folders_capacity;
};

struct Pool {
    const Operation *op;
    const PoolJob *jobs;
    Slot slots[MAX_WAIT_CHANNELS];
    int n_slots;
};

// A worker's command line: the flag alone; the operation comes with each file.
static const char *const WORKER_ARGS[] = {WORKER_FLAG, nullptr};

static void start_worker(Slot *s)
{
    s->job = -1;
    s->n_folders = 0;
    s->alive = proc_spawn_self(WORKER_ARGS, &s->proc) != 0;
}

static size_t folder_length(const char *output)
{
    return (size_t)(base_name(output) - output);
}

// Notes the folder of job's output for the worker s. The jobs of one folder
// come together, so a folder is new when it is not the last one noted (a
// folder named twice on the command line is swept twice, which is harmless).
static void note_folder(const Pool *pool, Slot *s, int job)
{
    const char *output = pool->jobs[job].output;
    const size_t len = folder_length(output);
    if (s->n_folders > 0) {
        const char *last = pool->jobs[s->folders[s->n_folders - 1]].output;
        if (folder_length(last) == len && std::memcmp(last, output, len) == 0) return;
    }
    if (s->n_folders == s->folders_capacity) {
        const int capacity = s->folders_capacity ? s->folders_capacity * 2 : FIRST_FOLDERS;
        int *grown = (int *)std::realloc(s->folders, sizeof(int) * (size_t)capacity);
        // Out of memory, the folder goes unswept should the worker die.
        if (!grown) return;
        s->folders = grown;
        s->folders_capacity = capacity;
    }
    s->folders[s->n_folders++] = job;
}

// Collects the worker s, which has ended or is ending, into why. One that
// ended with a job in hand, or not normally, may have been cut short
// mid-write (whatever its exit status says: on Windows a console event can
// end a process with status 0): its temporary files are removed from its
// folders while its process id is still its own.
static void end_worker(const Pool *pool, Slot *s, char *why, size_t why_size)
{
    const bool normal = proc_end(&s->proc, why, why_size) != 0;
    if (!normal || s->job >= 0)
        for (int i = 0; i < s->n_folders; i++) {
            const char *output = pool->jobs[s->folders[i]].output;
            remove_leftovers(output, folder_length(output), s->proc.pid);
        }
    proc_release(&s->proc);
    s->alive = false;
}

static int send_job(const Pool *pool, Slot *s, int index)
{
    const PoolJob *job = &pool->jobs[index];
    return send_record(s->proc.to_child, pool->op, (uint32_t)sizeof *pool->op) &&
           send_record(s->proc.to_child, job->input, (uint32_t)std::strlen(job->input)) &&
           send_record(s->proc.to_child, job->output, (uint32_t)std::strlen(job->output));
}

// Gives job index to the idle worker s. A worker that died while idle is
// replaced once and the job tried again; 0 when no worker took it.
static int hand_out(const Pool *pool, Slot *s, int index)
{
    char why[WHY_SIZE];
    for (int attempt = 0; attempt < 2 && s->alive; attempt++) {
        // Noted first: a worker that dies on this file may have begun it.
        note_folder(pool, s, index);
        if (send_job(pool, s, index)) {
            s->job = index;
            return 1;
        }
        end_worker(pool, s, why, sizeof why);
        start_worker(s);
    }
    return 0;
}

// Reads the answer of the worker s about its job; 0 when it sent none in
// whole (it died, or was ended).
static int read_result(Slot *s, int *ok, char **message)
{
    char *status = nullptr;
    uint32_t size = 0;
    const int got = recv_record(s->proc.from_child, &status, &size) && size == 1 &&
                    recv_record(s->proc.from_child, message, &size);
    if (got) *ok = status[0] == 1;
    std::free(status);
    return got;
}

// Reads the answer of the worker s about its job; 0 when the worker died
// instead (it is then collected and replaced, and *died says how it ended).
static int take_result(const Pool *pool, Slot *s, int *ok, char **message, char *died, size_t died_size)
{
    if (read_result(s, ok, message)) return 1;
    char why[WHY_SIZE];
    end_worker(pool, s, why, sizeof why);
    std::snprintf(died, died_size, "worker process died while making this thumbnail (%s)", why);
    start_worker(s);
    return 0;
}

// A stop: every busy worker is ended at once, wherever it is in its file;
// the idle ones are let go. A result a worker sent in whole before it ended
// still counts; the file it was making is neither written nor failed.
static void stop_workers(Pool *pool, const PoolEvents *events)
{
    for (int i = 0; i < pool->n_slots; i++) {
        Slot *s = &pool->slots[i];
        if (s->alive && s->job >= 0) proc_kill(&s->proc);
    }
    char why[WHY_SIZE];
    for (int i = 0; i < pool->n_slots; i++) {
        Slot *s = &pool->slots[i];
        if (!s->alive) continue;
        int ok = 0;
        char *message = nullptr;
        if (s->job >= 0 && read_result(s, &ok, &message)) events->result(events->context, s->job, ok, message);
        std::free(message);
        end_worker(pool, s, why, sizeof why);
    }
}

int run_pool(const Options *o, const PoolJob *jobs, int n_jobs, const PoolEvents *events)
{
    if (n_jobs <= 0) return 0;
    Pool *pool = (Pool *)std::calloc(1, sizeof(Pool));
    if (!pool) {
        for (int j = 0; j < n_jobs; j++) events->result(events->context, j, 0, "out of memory for the worker pool");
        return 0;
    }
    // Stop requests are the parent's alone. The workers ignore SIGINT and
    // SIGTERM (Ctrl-C and Ctrl-Break on Windows), and start with them held
    // off until they do: a terminal sends Ctrl-C to every process of its
    // group, and a worker that died of it on its own would race the parent,
    // which could take the death for a failure of its file and start
    // another worker. The handler only notes the request; the wait below
    // sees it within a tick, and the parent ends the busy workers at once
    // (SIGKILL, TerminateProcess). That is safe mid-write: the library
    // replaces an output in one step, so the output is the old file or the
    // new one, and the write cut short leaves a file without a name, which
    // the system drops, or a temporary file, which end_worker removes.
    // Letting each worker finish its file would take as long as the
    // largest image.
    catch_stop_requests();
    pool->op = &o->op;
    pool->jobs = jobs;
    pool->n_slots = o->jobs < n_jobs ? o->jobs : n_jobs;
    if (pool->n_slots > MAX_WAIT_CHANNELS) pool->n_slots = MAX_WAIT_CHANNELS;
    for (int i = 0; i < pool->n_slots; i++) start_worker(&pool->slots[i]);

    int next = 0;
    int stopped = 0;
    Channel waiting[MAX_WAIT_CHANNELS];
    int waiting_slot[MAX_WAIT_CHANNELS];
    char died[DIED_SIZE];
    for (;;) {
        if ((stopped = stop_requested()) != 0) break;
        // Every idle worker gets the next file.
        for (int i = 0; i < pool->n_slots && next < n_jobs; i++) {
            Slot *s = &pool->slots[i];
            if (s->alive && s->job < 0 && hand_out(pool, s, next)) next++;
        }
        int n_waiting = 0;
        for (int i = 0; i < pool->n_slots; i++) {
            if (pool->slots[i].job < 0) continue;
            waiting[n_waiting] = pool->slots[i].proc.from_child;
            waiting_slot[n_waiting++] = i;
        }
        if (n_waiting == 0) {
            // Nothing in hand: either all is done, or no worker could be
            // started to take the rest.
            for (; next < n_jobs; next++)
                events->result(events->context, next, 0, "no worker process could be started for this file");
            break;
        }
        const int ready = chan_wait(waiting, n_waiting, TICK_MS);
        // A worker that ends as the stop comes is ended by it, and its file
        // is not counted as failed.
        if ((stopped = stop_requested()) != 0) break;
        if (ready < 0) {
            events->tick(events->context);
            continue;
        }
        Slot *s = &pool->slots[waiting_slot[ready]];
        const int job = s->job;
        int ok = 0;
        char *message = nullptr;
        if (take_result(pool, s, &ok, &message, died, sizeof died)) {
            s->job = -1;
            events->result(events->context, job, ok, message);
        } else {
            events->result(events->context, job, 0, died);
        }
        std::free(message);
    }
    if (stopped) {
        stop_workers(pool, events);
    } else {
        // Closing a worker's input tells it to end.
        char why[WHY_SIZE];
        for (int i = 0; i < pool->n_slots; i++)
            if (pool->slots[i].alive) end_worker(pool, &pool->slots[i], why, sizeof why);
    }
    for (int i = 0; i < pool->n_slots; i++) std::free(pool->slots[i].folders);
    std::free(pool);
    return stopped;
}

// ---- The worker mode ------------------------------------------------------------

// Reads the next file's operation into *op; 0 when the parent is done (or
// sent something that is no operation of this program).
static int recv_operation(Channel c, Operation *op)
{
    char *data = nullptr;
    uint32_t size = 0;
    const int ok = recv_record(c, &data, &size) && size == sizeof *op;
    if (ok) std::memcpy(op, data, sizeof *op);
    std::free(data);
    return ok && op->kind >= OP_SQUARE && op->kind < OP_BATCH;
}

// Which file a test hook picks: its input path holds the variable's text.
static bool hook_picks(const char *hook, const char *input)
{
    return hook && *hook && std::strstr(input, hook);
}

// The test hooks' stand-in for the library's temporary file of a write in
// progress, beside output and named as the library names it.
static void leave_temporary_file(const char *output)
{
    char *temp = format_string("%.*s.imgthumb-%lu-0.tmp", (int)folder_length(output), output, own_process_id());
    std::FILE *f = temp ? std::fopen(temp, "wb") : nullptr;
    if (f) {
        std::fputs("a part of a thumbnail", f);
        std::fclose(f);
    }
    std::free(temp);
}

// Waits until the parent closes the worker's input (or ends the worker).
static void wait_for_end(Channel in)
{
    char byte;
    while (chan_read(in, &byte, 1) > 0) {
    }
}

int worker_main()
{
    // Stop requests are the parent's (see run_pool).
    ignore_stop_requests();
    const char *dies_on = std::getenv(WORKER_DIES_ON_ENV);
    const char *stalls_on = std::getenv(WORKER_STALLS_ON_ENV);
    keep_freed_memory();

    const Channel in = chan_stdin();
    const Channel out = chan_stdout();
    // Until the parent closes the pipe: one file in, one result out.
    for (;;) {
        Operation op;
        char *input = nullptr, *output = nullptr;
        uint32_t size;
        if (!recv_operation(in, &op) || !recv_record(in, &input, &size)) break;
        if (!recv_record(in, &output, &size)) {
            std::free(input);
            break;
        }
        if (hook_picks(dies_on, input) || hook_picks(stalls_on, input)) {
            leave_temporary_file(output);
            if (hook_picks(stalls_on, input)) wait_for_end(in);
            die_now();
        }
        const int ok = imgthumbnail_ex_thumbnail(input, output, &op.thumbnail);
        const char *message = ok ? "" : imgthumbnail_ex_last_error();
        const unsigned char status = ok ? 1 : 0;
        const int sent = send_record(out, &status, 1) && send_record(out, message, (uint32_t)std::strlen(message));
        std::free(input);
        std::free(output);
        if (!sent) break;
    }
    return EXIT_SUCCESS;
}
