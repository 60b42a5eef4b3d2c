// The worker pool (the parent's side) and the worker mode (the child's side).
// The parent keeps every worker busy with one file at a time: it sends the
// input and output paths, waits for whichever worker answers first, passes
// its result on and gives it the next file.
#include "pool.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "imgthumbnail.h"
#include "platform.h"
#include "records.h"

// How long the parent waits for a result before it lets the progress redraw.
static const int TICK_MS = 100;
// Room for a worker's command line: the flag, the operation and two numbers.
static const int WORKER_ARGS = 5;
static const int NUMBER_TEXT = 16;
// Room for how a worker ended, and for the message that reports it.
static const size_t WHY_SIZE = 96;
static const size_t DIED_SIZE = 192;

struct Slot {
    Proc proc;
    bool alive;
    int job;  // the job it is making; -1 when idle
};

struct Pool {
    const char *args[WORKER_ARGS + 1];
    char numbers[2][NUMBER_TEXT];
    Slot slots[MAX_WAIT_CHANNELS];
    int n_slots;
};

static void start_worker(Pool *pool, Slot *s)
{
    s->job = -1;
    s->alive = proc_spawn_self(pool->args, &s->proc) != 0;
}

static int send_job(Slot *s, const PoolJob *job)
{
    return send_record(s->proc.to_child, job->input, (uint32_t)std::strlen(job->input)) &&
           send_record(s->proc.to_child, job->output, (uint32_t)std::strlen(job->output));
}

// Gives job to the idle worker s. A worker that died while idle is replaced
// once and the job tried again; 0 when no worker took it.
static int hand_out(Pool *pool, Slot *s, const PoolJob *job, int index)
{
    char why[WHY_SIZE];
    for (int attempt = 0; attempt < 2 && s->alive; attempt++) {
        if (send_job(s, job)) {
            s->job = index;
            return 1;
        }
        proc_finish(&s->proc, why, sizeof why);
        start_worker(pool, s);
    }
    return 0;
}

// Reads the answer of the worker s about its job; 0 when the worker died
// instead (it is then reaped and replaced, and *died says how it ended).
static int take_result(Pool *pool, Slot *s, int *ok, char **message, char *died, size_t died_size)
{
    char *status = nullptr;
    uint32_t size = 0;
    if (recv_record(s->proc.from_child, &status, &size) && size == 1 &&
        recv_record(s->proc.from_child, message, &size)) {
        *ok = status[0] == 1;
        std::free(status);
        return 1;
    }
    std::free(status);
    char why[WHY_SIZE];
    proc_finish(&s->proc, why, sizeof why);
    std::snprintf(died, died_size, "worker process died while making this thumbnail (%s)", why);
    start_worker(pool, s);
    return 0;
}

void run_pool(const Options *o, const PoolJob *jobs, int n_jobs, const PoolEvents *events)
{
    if (n_jobs <= 0) return;
    Pool *pool = (Pool *)std::calloc(1, sizeof(Pool));
    if (!pool) {
        for (int j = 0; j < n_jobs; j++) events->result(events->context, j, 0, "out of memory for the worker pool");
        return;
    }
    // The workers' command line: the flag, the operation and its sizes.
    const int a = o->op == OP_SMART ? o->width : o->size;
    const int b = o->op == OP_SMART ? o->height : o->op == OP_ASPECT ? o->ratio : 0;
    std::snprintf(pool->numbers[0], NUMBER_TEXT, "%d", a);
    std::snprintf(pool->numbers[1], NUMBER_TEXT, "%d", b);
    pool->args[0] = WORKER_FLAG;
    pool->args[1] = operation_name(o->op);
    pool->args[2] = pool->numbers[0];
    pool->args[3] = pool->numbers[1];
    pool->args[4] = nullptr;

    pool->n_slots = o->jobs < n_jobs ? o->jobs : n_jobs;
    if (pool->n_slots > MAX_WAIT_CHANNELS) pool->n_slots = MAX_WAIT_CHANNELS;
    for (int i = 0; i < pool->n_slots; i++) start_worker(pool, &pool->slots[i]);

    int next = 0;
    Channel waiting[MAX_WAIT_CHANNELS];
    int waiting_slot[MAX_WAIT_CHANNELS];
    char died[DIED_SIZE];
    for (;;) {
        // Every idle worker gets the next file.
        for (int i = 0; i < pool->n_slots && next < n_jobs; i++) {
            Slot *s = &pool->slots[i];
            if (s->alive && s->job < 0 && hand_out(pool, s, &jobs[next], next)) next++;
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
    // Closing a worker's input tells it to end.
    char why[WHY_SIZE];
    for (int i = 0; i < pool->n_slots; i++)
        if (pool->slots[i].alive) proc_finish(&pool->slots[i].proc, why, sizeof why);
    std::free(pool);
}

// ---- The worker mode ------------------------------------------------------------

static int make_thumbnail(Operation op, int a, int b, const char *input, const char *output)
{
    switch (op) {
    case OP_SQUARE: return imgthumbnail_square(input, output, a);
    case OP_ASPECT: return imgthumbnail_aspect(input, output, a, b);
    case OP_SMART: return imgthumbnail_smart(input, output, a, b);
    case OP_BATCH: break;
    }
    return 0;
}

int worker_main(int argc, char **argv)
{
    if (argc < 3) return EXIT_FAILURE;
    int op = OP_SQUARE;
    while (op < OP_BATCH && std::strcmp(argv[0], operation_name((Operation)op)) != 0) op++;
    if (op == OP_BATCH) return EXIT_FAILURE;
    const int a = std::atoi(argv[1]);
    const int b = std::atoi(argv[2]);
    const char *dies_on = std::getenv(WORKER_DIES_ON_ENV);
    keep_freed_memory();

    const Channel in = chan_stdin();
    const Channel out = chan_stdout();
    // Until the parent closes the pipe: one file in, one result out.
    for (;;) {
        char *input = nullptr, *output = nullptr;
        uint32_t size;
        if (!recv_record(in, &input, &size)) break;
        if (!recv_record(in, &output, &size)) {
            std::free(input);
            break;
        }
        if (dies_on && *dies_on && std::strstr(input, dies_on)) die_now();
        const int ok = make_thumbnail((Operation)op, a, b, input, output);
        // The message is read right after the call, before anything else
        // can replace it.
        const char *message = ok ? "" : imgthumbnail_last_error();
        const unsigned char status = ok ? 1 : 0;
        const int sent = send_record(out, &status, 1) && send_record(out, message, (uint32_t)std::strlen(message));
        std::free(input);
        std::free(output);
        if (!sent) break;
    }
    return EXIT_SUCCESS;
}
