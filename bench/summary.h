// Registration helpers and the targets checked after the run.
//
// A target either limits one benchmark's time or compares two bodies that a
// paired benchmark calls next to each other, so that both see the same
// conditions. Other work on a shared machine stretches wall time and, less,
// CPU time (which includes the kernel's time for faulting in fresh memory),
// and the stretch drifts over a run: a pair's verdict goes by the median of
// the CPU-time ratios of its adjacent calls. The ratio of the fastest calls
// and the wall-time figures are shown beside it; a time limit goes by the
// fastest repetition.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

// The calling thread's CPU time in milliseconds (kernel time included).
double thread_cpu_ms();

// Registers a benchmark timed in milliseconds of wall time (CPU time is kept
// too) that also reports its fastest repetition as the aggregate "min".
benchmark::internal::Benchmark *add_benchmark(const std::string &name,
                                              std::function<void(benchmark::State &)> fn);

// One timed body of a paired benchmark: true on success, or false with the
// reason in *error.
using Body = std::function<bool(std::string *error)>;

// Registers name, whose every iteration calls measured and reference once
// each, in turns first; the console shows each repetition's fastest calls
// (counters op_ms, ref_ms, in CPU time). The target: the median ratio of
// measured to reference at most max_ratio (0: printed, no target).
void add_paired_benchmark(const std::string &name, Body measured, Body reference, double max_ratio);

// The benchmark's time at most max_ms milliseconds.
void expect_time(const std::string &name, double max_ms);

// The console output as usual, keeping what the targets need: each
// repetition's times and counters, or, when only aggregates are reported,
// their "min" and "median".
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &reports) override;
    // By benchmark name, then by figure ("cpu", "wall" or a counter): the
    // value of each repetition.
    std::map<std::string, std::map<std::string, std::vector<double>>> repetitions;
    // By benchmark name, then aggregate name ("min", "median"), then figure.
    std::map<std::string, std::map<std::string, std::map<std::string, double>>> aggregates;
};

// Prints every target with its figures; returns the number missed.
int print_summary(const SummaryReporter &reporter);
