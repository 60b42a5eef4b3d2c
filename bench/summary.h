// Targets checked after the run: each compares two measurements taken in
// the same run (or one measurement with a time limit), from the fastest and
// from the median repetition. Other work on a shared machine stretches wall
// time, so the verdict goes by the process's CPU time (which includes the
// kernel's time for faulting in fresh memory); wall time is shown beside it.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

// Registers a benchmark timed in milliseconds of wall time (CPU time is kept
// too) that also reports its fastest repetition as the aggregate "min".
benchmark::internal::Benchmark *add_benchmark(const std::string &name,
                                              std::function<void(benchmark::State &)> fn);

// measured / reference at most max_ratio (0: printed, no target).
void expect_ratio(const std::string &title, const std::string &measured, const std::string &reference,
                  double max_ratio);
// measured at most max_ms milliseconds.
void expect_time(const std::string &title, const std::string &measured, double max_ms);

// The console output as usual, keeping each repetition's time per iteration
// (or, when only aggregates are reported, the "min" and "median" ones).
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &reports) override;
    // Seconds per iteration of each repetition, by benchmark name.
    std::map<std::string, std::vector<double>> cpu_seconds, real_seconds;
    // Aggregates by benchmark name and then aggregate name.
    std::map<std::string, std::map<std::string, double>> cpu_aggregate, real_aggregate;
};

// Prints every target with its figures; returns the number missed.
int print_summary(const SummaryReporter &reporter);
