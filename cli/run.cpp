// A run: collect the files, settle what must not be written (a name taken
// twice, an output that is an input, an existing output under
// --no-clobber), then let the workers make the rest and report each result.
#include "run.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/ascii.h"
#include "common/files.h"
#include "imgthumbnail.h"
#include "inputs.h"
#include "platform.h"
#include "pool.h"
#include "report.h"

// Output names compared as the file system compares them: Windows ignores
// the case of letters, POSIX file systems do not.
static int compare_keys(const char *a, const char *b)
{
#ifdef _WIN32
    return ascii_icompare(a, b);
#else
    return std::strcmp(a, b);
#endif
}

static void fail_item(Item *item, char *message)
{
    item->state = ITEM_FAILED;
    item->message = message;
}

// Two items with one output: the first taken keeps it, each later one fails
// with a message that names the first.
static void settle_collisions(ItemList *list, int *order)
{
    int n = 0;
    for (int i = 0; i < list->count; i++)
        if (list->items[i].state == ITEM_TODO) order[n++] = i;
    const Item *items = list->items;
    std::sort(order, order + n, [items](int a, int b) {
        const int c = compare_keys(items[a].key, items[b].key);
        return c != 0 ? c < 0 : a < b;
    });
    int group = 0;  // where the run of equal outputs began
    for (int k = 1; k < n; k++) {
        if (compare_keys(items[order[group]].key, items[order[k]].key) != 0) {
            group = k;
            continue;
        }
        Item *later = &list->items[order[k]];
        const Item *winner = &list->items[order[group]];
        fail_item(later, format_string("output '%s' is already the output of '%s'", later->output, winner->input));
    }
}

struct InputId {
    FileId id;
    int item;
};

static bool id_less(const FileId &a, const FileId &b)
{
    return a.volume != b.volume ? a.volume < b.volume : a.index < b.index;
}

// An output that is the same file as any input of the run, however either
// is spelled, is never written: the input stays untouched.
static void settle_inputs_as_outputs(ItemList *list)
{
    InputId *ids = (InputId *)std::malloc(sizeof(InputId) * (size_t)(list->count ? list->count : 1));
    if (!ids) return;
    int n = 0;
    for (int i = 0; i < list->count; i++)
        if (file_id(list->items[i].input, &ids[n].id)) ids[n++].item = i;
    std::sort(ids, ids + n, [](const InputId &a, const InputId &b) { return id_less(a.id, b.id); });
    for (int i = 0; i < list->count; i++) {
        Item *item = &list->items[i];
        InputId probe;
        if (item->state != ITEM_TODO || !file_id(item->output, &probe.id)) continue;
        const InputId *found = std::lower_bound(
            ids, ids + n, probe, [](const InputId &a, const InputId &b) { return id_less(a.id, b.id); });
        if (found == ids + n || id_less(probe.id, found->id)) continue;
        fail_item(item, format_string("output '%s' is the same file as the input '%s'; not written", item->output,
                                      list->items[found->item].input));
    }
    std::free(ids);
}

// --no-clobber leaves every existing output alone; otherwise an output
// inside a subfolder of the output folder gets its folder.
static void settle_outputs(ItemList *list, const Options *o)
{
    const char *made = nullptr;  // the last folder made: items of one folder come together
    for (int i = 0; i < list->count; i++) {
        Item *item = &list->items[i];
        if (item->state != ITEM_TODO) continue;
        if (o->no_clobber && path_kind(item->output) != PATH_NONE) {
            item->state = ITEM_SKIPPED;
            continue;
        }
        if (!item->folder || (made && std::strcmp(made, item->folder) == 0)) continue;
        made = item->folder;
        if (!make_folders(item->folder))
            fail_item(item, format_string("cannot create the folder '%s'", item->folder));
    }
}

struct RunState {
    ItemList *list;
    const int *job_item;  // the item of each job
    Report *report;
};

static void on_result(void *context, int job, int ok, const char *message)
{
    RunState *run = (RunState *)context;
    Item *item = &run->list->items[run->job_item[job]];
    item->state = ok ? ITEM_WRITTEN : ITEM_FAILED;
    if (ok)
        report_written(run->report, item->input, item->output);
    else
        report_failed(run->report, item->input, message);
}

static void on_tick(void *context)
{
    report_tick(((RunState *)context)->report);
}

int run_thumbnails(const Options *o)
{
    const double start = clock_seconds();
    if (o->out_dir && !make_folders(o->out_dir)) {
        std::fprintf(stderr, "imgthumb: cannot create the output folder '%s'\n", o->out_dir);
        return 1;
    }
    ItemList list;
    if (!collect_items(o, &list)) {
        free_items(&list);
        std::fprintf(stderr, "imgthumb: out of memory\n");
        return 1;
    }
    int *order = (int *)std::malloc(sizeof(int) * (size_t)(list.count ? list.count : 1));
    PoolJob *jobs = (PoolJob *)std::malloc(sizeof(PoolJob) * (size_t)(list.count ? list.count : 1));
    if (!order || !jobs) {
        std::free(order);
        std::free(jobs);
        free_items(&list);
        std::fprintf(stderr, "imgthumb: out of memory\n");
        return 1;
    }
    settle_collisions(&list, order);
    settle_inputs_as_outputs(&list);
    settle_outputs(&list, o);

    Report report;
    report_start(&report, list.count, o, start);
    // What was settled before any work is reported first, in the order taken;
    // the rest are the workers' jobs (order[] now maps a job to its item).
    int n_jobs = 0;
    for (int i = 0; i < list.count; i++) {
        Item *item = &list.items[i];
        if (item->state == ITEM_FAILED)
            report_failed(&report, item->input, item->message ? item->message : "out of memory");
        else if (item->state == ITEM_SKIPPED)
            report_skipped(&report, item->input, item->output);
        else {
            jobs[n_jobs].input = item->input;
            jobs[n_jobs].output = item->output;
            order[n_jobs++] = i;
        }
    }
    RunState run = {&list, order, &report};
    const PoolEvents events = {on_result, on_tick, &run};
    const int stopped = run_pool(o, jobs, n_jobs, &events);
    const int status = report_finish(&report, stopped);
    std::free(order);
    std::free(jobs);
    free_items(&list);
    return status;
}

int run_batch(const Options *o)
{
    if (imgthumbnail_batch(o->batch_in, o->batch_out, o->op.batch_size)) return 0;
    std::fprintf(stderr, "%s: %s\n", o->batch_in, imgthumbnail_last_error());
    return 1;
}
