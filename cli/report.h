// What a person sees: one line on stderr per failed file (its input path and
// the library's message as given), with -v a line on stdout per file
// written, a progress bar on stderr when it is a terminal, and a summary.
#pragma once

#include "options.h"

struct Report {
    int total, done, written, failed, skipped;
    bool quiet, verbose;
    bool bar;         // draw the progress bar
    int drawn;        // columns of the bar now on screen; 0 when none
    double start;     // clock_seconds() at the start of the run
    double last_draw;
};

void report_start(Report *r, int total, const Options *o, double start);
void report_failed(Report *r, const char *input, const char *message);
void report_written(Report *r, const char *input, const char *output);
void report_skipped(Report *r, const char *input, const char *output);
// Redraws the progress bar when it is due.
void report_tick(Report *r);
// Clears the bar and prints the summary; returns the exit status: 0 when
// nothing failed, else 1; or stopped, the status of a run that a stop
// request ended (its summary says so, and how many files were left).
int report_finish(Report *r, int stopped);
