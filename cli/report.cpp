// Lines, progress bar and summary of a run.
#include "report.h"

#include <cstdio>
#include <cstring>

#include "platform.h"

// The bar is drawn for runs of more than this many files.
static const int PROGRESS_MIN_FILES = 4;
// Seconds between two redraws of the bar.
static const double REDRAW_INTERVAL = 0.1;
// Cells of the bar itself, at most and at least.
static const int BAR_CELLS_MAX = 40;
static const int BAR_CELLS_MIN = 10;
// Room for one drawn line of progress.
static const int LINE_SIZE = 512;
static const int SECONDS_PER_MINUTE = 60;
static const int SECONDS_PER_HOUR = 3600;

void report_start(Report *r, int total, const Options *o, double start)
{
    std::memset(r, 0, sizeof *r);
    r->total = total;
    r->quiet = o->quiet;
    r->verbose = o->verbose;
    r->bar = !o->quiet && total > PROGRESS_MIN_FILES && stderr_is_terminal();
    r->start = start;
}

static void clear_bar(Report *r)
{
    if (!r->drawn) return;
    std::fprintf(stderr, "\r%*s\r", r->drawn, "");
    r->drawn = 0;
}

// "1:05" or "1:02:05".
static void format_duration(char *out, size_t size, double seconds)
{
    const long s = (long)(seconds + 0.5);
    if (s >= SECONDS_PER_HOUR)
        std::snprintf(out, size, "%ld:%02ld:%02ld", s / SECONDS_PER_HOUR, s % SECONDS_PER_HOUR / SECONDS_PER_MINUTE,
                      s % SECONDS_PER_MINUTE);
    else
        std::snprintf(out, size, "%ld:%02ld", s / SECONDS_PER_MINUTE, s % SECONDS_PER_MINUTE);
}

static void draw_bar(Report *r, double now)
{
    r->last_draw = now;
    const double elapsed = now - r->start;
    const double rate = elapsed > 0 ? r->done / elapsed : 0;
    char left[32] = "-:--";
    if (rate > 0) format_duration(left, sizeof left, (r->total - r->done) / rate);
    char tail[128];
    const int tail_len = std::snprintf(tail, sizeof tail, " %d/%d  %.1f files/s  %s left", r->done, r->total, rate, left);
    // The line stays one column short of the width, so it never wraps.
    int cells = terminal_width() - 1 - tail_len - 2;
    if (cells > BAR_CELLS_MAX) cells = BAR_CELLS_MAX;
    if (cells < BAR_CELLS_MIN) cells = 0;
    char line[LINE_SIZE];
    int len = 0;
    if (cells > 0) {
        const int full = r->total > 0 ? (int)((long long)cells * r->done / r->total) : cells;
        line[len++] = '[';
        for (int i = 0; i < cells; i++) line[len++] = i < full ? '#' : '.';
        line[len++] = ']';
    }
    std::snprintf(line + len, sizeof line - (size_t)len, "%s", tail);
    len = (int)std::strlen(line);
    // Pad over what the previous drawing left.
    std::fprintf(stderr, "\r%s%*s", line, r->drawn > len ? r->drawn - len : 0, "");
    if (r->drawn < len) r->drawn = len;
    std::fflush(stderr);
}

void report_tick(Report *r)
{
    if (!r->bar) return;
    const double now = clock_seconds();
    if (now - r->last_draw >= REDRAW_INTERVAL || r->done == r->total) draw_bar(r, now);
}

void report_failed(Report *r, const char *input, const char *message)
{
    r->done++;
    r->failed++;
    if (!r->quiet) {
        clear_bar(r);
        std::fprintf(stderr, "%s: %s\n", input, *message ? message : "failed without a message");
    }
    report_tick(r);
}

void report_written(Report *r, const char *input, const char *output)
{
    r->done++;
    r->written++;
    if (r->verbose) {
        clear_bar(r);
        std::printf("%s -> %s\n", input, output);
        std::fflush(stdout);
    }
    report_tick(r);
}

void report_skipped(Report *r, const char *input, const char *output)
{
    r->done++;
    r->skipped++;
    if (r->verbose) {
        clear_bar(r);
        std::printf("%s -> %s exists, skipped\n", input, output);
        std::fflush(stdout);
    }
    report_tick(r);
}

int report_finish(Report *r, int stopped)
{
    clear_bar(r);
    const double seconds = clock_seconds() - r->start;
    if (stopped) {
        std::fprintf(stderr, "imgthumb: stopped: %d written, %d failed, %d skipped, %d left in %.1f s\n", r->written,
                     r->failed, r->skipped, r->total - r->done, seconds);
        return stopped;
    }
    std::fprintf(stderr, "imgthumb: %d written, %d failed, %d skipped in %.1f s\n", r->written, r->failed, r->skipped,
                 seconds);
    return r->failed ? 1 : 0;
}
