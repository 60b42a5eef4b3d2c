// Paired benchmarks and the table of targets printed at the end of a run.
#include "summary.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <limits>

namespace {

struct Expectation {
    std::string name;
    bool paired;  // else a time limit
    double limit; // ratio or milliseconds; 0: no target
};

std::vector<Expectation> s_expectations;

const double MS_PER_SECOND = 1000.0;
const double NS_PER_MS = 1e6;
// Iterations of a paired benchmark per repetition: one with each body
// first, so that neither always runs on what the other left behind (caches,
// heap, memory the system has not yet taken back).
const int PAIRED_ITERATIONS = 2;

struct Stopwatch {
    double cpu_ms;
    std::chrono::steady_clock::time_point wall;
};

Stopwatch start_stopwatch()
{
    Stopwatch s;
    s.cpu_ms = thread_cpu_ms();
    s.wall = std::chrono::steady_clock::now();
    return s;
}

// Milliseconds of CPU and of wall time since s.
void read_stopwatch(const Stopwatch &s, double *cpu_ms, double *wall_ms)
{
    *cpu_ms = thread_cpu_ms() - s.cpu_ms;
    *wall_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - s.wall).count();
}

struct CallTime {
    double cpu_ms, wall_ms;
};

// The two calls of one iteration of a paired benchmark.
struct PairTime {
    CallTime op, ref;
};

// Every pair timed in the run, by benchmark name.
std::map<std::string, std::vector<PairTime>> s_pairs;

bool timed_call(const Body &body, CallTime *t, std::string *error)
{
    const Stopwatch s = start_stopwatch();
    if (!body(error)) return false;
    read_stopwatch(s, &t->cpu_ms, &t->wall_ms);
    return true;
}

double median_of(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The fastest and the median value of one figure of a benchmark, from its
// repetitions or else from its aggregates.
bool figure(const SummaryReporter &r, const std::string &name, const std::string &which, double *fastest,
            double *median)
{
    auto reps = r.repetitions.find(name);
    if (reps != r.repetitions.end()) {
        auto it = reps->second.find(which);
        if (it == reps->second.end() || it->second.empty()) return false;
        *fastest = *std::min_element(it->second.begin(), it->second.end());
        *median = median_of(it->second);
        return true;
    }
    auto agg = r.aggregates.find(name);
    if (agg == r.aggregates.end() || !agg->second.count("min") || !agg->second.count("median")) return false;
    const auto &mins = agg->second.at("min");
    const auto &medians = agg->second.at("median");
    if (!mins.count(which) || !medians.count(which)) return false;
    *fastest = mins.at(which);
    *median = medians.at(which);
    return true;
}

} // namespace

double thread_cpu_ms()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return (double)now.tv_sec * MS_PER_SECOND + (double)now.tv_nsec / NS_PER_MS;
}

benchmark::internal::Benchmark *add_benchmark(const std::string &name,
                                              std::function<void(benchmark::State &)> fn)
{
    return benchmark::RegisterBenchmark(name.c_str(), fn)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->ComputeStatistics("min", [](const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); });
}

void add_paired_benchmark(const std::string &name, Body measured, Body reference, double max_ratio)
{
    add_benchmark(name, [name, measured, reference](benchmark::State &state) {
        const double none = std::numeric_limits<double>::infinity();
        double op_fastest = none, ref_fastest = none;
        std::string error;
        bool measured_first = true;
        for (auto _ : state) {
            PairTime p;
            const bool ok = measured_first
                                ? timed_call(measured, &p.op, &error) && timed_call(reference, &p.ref, &error)
                                : timed_call(reference, &p.ref, &error) && timed_call(measured, &p.op, &error);
            measured_first = !measured_first;
            if (!ok) {
                state.SkipWithError(error.c_str());
                return;
            }
            s_pairs[name].push_back(p);
            op_fastest = std::min(op_fastest, p.op.cpu_ms);
            ref_fastest = std::min(ref_fastest, p.ref.cpu_ms);
        }
        state.counters["op_ms"] = op_fastest;
        state.counters["ref_ms"] = ref_fastest;
    })->Iterations(PAIRED_ITERATIONS);
    s_expectations.push_back(Expectation{name, true, max_ratio});
}

void expect_time(const std::string &name, double max_ms)
{
    s_expectations.push_back(Expectation{name, false, max_ms});
}

void SummaryReporter::ReportRuns(const std::vector<Run> &reports)
{
    for (const Run &run : reports) {
        if (run.error_occurred || run.iterations <= 0) continue;
        std::map<std::string, double> figures;
        figures["cpu"] = run.cpu_accumulated_time / (double)run.iterations * MS_PER_SECOND;
        figures["wall"] = run.real_accumulated_time / (double)run.iterations * MS_PER_SECOND;
        for (const auto &c : run.counters) figures[c.first] = c.second.value;
        const std::string &name = run.run_name.function_name;
        if (run.run_type == Run::RT_Iteration) {
            for (const auto &f : figures) repetitions[name][f.first].push_back(f.second);
        } else if (run.aggregate_unit == benchmark::StatisticUnit::kTime) {
            aggregates[name][run.aggregate_name] = figures;
        }
    }
    ConsoleReporter::ReportRuns(reports);
}

int print_summary(const SummaryReporter &r)
{
    int missed = 0, shown = 0;
    std::printf("\nTargets, by CPU time. Pairs: 'ms' and 'ref ms' are the fastest calls and 'fastest' their\n"
                "ratio; 'median' (the verdict) and 'wall' are medians of the ratios of adjacent calls, over\n"
                "'pairs' pairs. Time limits: the fastest and the median repetition, and the fastest wall time.\n");
    std::printf("%-48s %9s %9s %9s %9s %9s %7s %5s\n", "", "ms", "ref ms", "fastest", "median", "wall", "limit",
                "pairs");
    for (const Expectation &e : s_expectations) {
        char ms[32], ref[32] = "-", fastest[32], median[32], wall[32], limit[32] = "-", pairs[32] = "-";
        bool ok;
        if (e.paired) {
            auto it = s_pairs.find(e.name);
            if (it == s_pairs.end() || it->second.empty()) continue;
            std::vector<double> cpu_ratios, wall_ratios;
            double op = std::numeric_limits<double>::infinity(), rf = op;
            for (const PairTime &p : it->second) {
                cpu_ratios.push_back(p.op.cpu_ms / p.ref.cpu_ms);
                wall_ratios.push_back(p.op.wall_ms / p.ref.wall_ms);
                op = std::min(op, p.op.cpu_ms);
                rf = std::min(rf, p.ref.cpu_ms);
            }
            const double ratio = median_of(cpu_ratios);
            ok = e.limit <= 0 || ratio <= e.limit;
            std::snprintf(ms, sizeof ms, "%.2f", op);
            std::snprintf(ref, sizeof ref, "%.2f", rf);
            std::snprintf(fastest, sizeof fastest, "%.3fx", op / rf);
            std::snprintf(median, sizeof median, "%.3fx", ratio);
            std::snprintf(wall, sizeof wall, "%.3fx", median_of(wall_ratios));
            if (e.limit > 0) std::snprintf(limit, sizeof limit, "%.2fx", e.limit);
            std::snprintf(pairs, sizeof pairs, "%zu", it->second.size());
        } else {
            double cpu, cpu_med, wall_ms, wall_med;
            if (!figure(r, e.name, "cpu", &cpu, &cpu_med) || !figure(r, e.name, "wall", &wall_ms, &wall_med))
                continue;
            ok = cpu <= e.limit;
            std::snprintf(ms, sizeof ms, "%.2f", cpu);
            std::snprintf(fastest, sizeof fastest, "%.2fms", cpu);
            std::snprintf(median, sizeof median, "%.2fms", cpu_med);
            std::snprintf(wall, sizeof wall, "%.2fms", wall_ms);
            std::snprintf(limit, sizeof limit, "%.1fms", e.limit);
        }
        shown++;
        missed += !ok;
        std::printf("%-48s %9s %9s %9s %9s %9s %7s %5s  %s\n", e.name.c_str(), ms, ref, fastest, median, wall,
                    limit, pairs, e.limit <= 0 ? "" : ok ? "met" : "MISSED");
    }
    if (!shown) std::printf("(no target's benchmark ran)\n");
    return missed;
}
