// The worker pool and the workers. Parallel work means processes: the
// command starts N copies of itself in a hidden worker mode, hands each one
// file at a time over a pipe, and reads back the result and the library's
// message. Only the parent prints. (The options library the workers call
// would allow threads, but a process that crashes on a hostile file, or is
// ended mid-write by a stop, takes only its own file with it.) A worker that dies costs the file it was making (reported as
// failed, with how it died) and is replaced, and the parent removes what it
// left. A stop request (SIGINT, SIGTERM, Ctrl-C) ends the workers and the run.
#pragma once

#include "options.h"

// The hidden first argument that starts a worker.
constexpr const char *WORKER_FLAG = "--worker";

// For tests only, honoured only in worker mode. A worker whose input path
// contains the text of the first dies as a crash mid-write would: it leaves
// a temporary file beside the output, named as the library names its own,
// and ends itself abruptly. One whose input path contains the text of the
// second leaves that file and then waits, as in a write that takes for
// ever, until the parent ends it or closes its input.
constexpr const char *WORKER_DIES_ON_ENV = "IMGTHUMB_TEST_WORKER_DIES_ON";
constexpr const char *WORKER_STALLS_ON_ENV = "IMGTHUMB_TEST_WORKER_STALLS_ON";

// One file to make a thumbnail of, and where the thumbnail goes.
struct PoolJob {
    const char *input;
    const char *output;
};

struct PoolEvents {
    // One call per job, in the order results arrive; message is the
    // library's ("" on success) or says how the worker died.
    void (*result)(void *context, int job, int ok, const char *message);
    // Called now and then while waiting (to redraw the progress).
    void (*tick)(void *context);
    void *context;
};

// Makes every job's thumbnail with the operation of o on up to o->jobs
// worker processes. Returns 0 when every job has had its result; or, when a
// stop was requested, once the workers are ended, with the exit status the
// stop asks for (jobs without a result then are neither written nor failed).
int run_pool(const Options *o, const PoolJob *jobs, int n_jobs, const PoolEvents *events);

// The worker mode, until the parent closes the pipe. Returns the exit status.
int worker_main();
