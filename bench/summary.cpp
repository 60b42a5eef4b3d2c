// The comparison table printed at the end of a benchmark run.
#include "summary.h"

#include <algorithm>
#include <cstdio>

namespace {

struct Expectation {
    std::string title, measured, reference; // reference empty: a time limit
    double limit;
};

std::vector<Expectation> s_expectations;

const double MS_PER_SECOND = 1000.0;

struct Figures {
    double fastest, median;
};

using Repetitions = std::map<std::string, std::vector<double>>;
using Aggregates = std::map<std::string, std::map<std::string, double>>;

bool figures(const Repetitions &by_name, const Aggregates &aggregates, const std::string &name, Figures *f)
{
    auto it = by_name.find(name);
    if (it == by_name.end() || it->second.empty()) {
        auto a = aggregates.find(name);
        if (a == aggregates.end() || !a->second.count("min") || !a->second.count("median")) return false;
        f->fastest = a->second.at("min");
        f->median = a->second.at("median");
        return true;
    }
    std::vector<double> v = it->second;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    f->fastest = v.front();
    f->median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    return true;
}

} // namespace

benchmark::internal::Benchmark *add_benchmark(const std::string &name,
                                              std::function<void(benchmark::State &)> fn)
{
    return benchmark::RegisterBenchmark(name.c_str(), fn)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->ComputeStatistics("min", [](const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); });
}

void expect_ratio(const std::string &title, const std::string &measured, const std::string &reference,
                  double max_ratio)
{
    s_expectations.push_back(Expectation{title, measured, reference, max_ratio});
}

void expect_time(const std::string &title, const std::string &measured, double max_ms)
{
    s_expectations.push_back(Expectation{title, measured, "", max_ms});
}

void SummaryReporter::ReportRuns(const std::vector<Run> &reports)
{
    for (const Run &run : reports) {
        if (run.error_occurred || run.iterations <= 0) continue;
        const std::string &name = run.run_name.function_name;
        const double cpu = run.cpu_accumulated_time / (double)run.iterations;
        const double real = run.real_accumulated_time / (double)run.iterations;
        if (run.run_type == Run::RT_Iteration) {
            cpu_seconds[name].push_back(cpu);
            real_seconds[name].push_back(real);
        } else if (run.aggregate_unit == benchmark::StatisticUnit::kTime) {
            cpu_aggregate[name][run.aggregate_name] = cpu;
            real_aggregate[name][run.aggregate_name] = real;
        }
    }
    ConsoleReporter::ReportRuns(reports);
}

int print_summary(const SummaryReporter &r)
{
    int missed = 0, shown = 0;
    std::printf("\nTargets, from CPU time: the fastest repetition (median beside it); wall: fastest wall time\n");
    std::printf("%-46s %9s %9s %8s %8s %8s %7s\n", "", "cpu ms", "ref ms", "fastest", "median", "wall", "limit");
    for (const Expectation &e : s_expectations) {
        Figures mc, mr, rc{0, 0}, rr{0, 0};
        if (!figures(r.cpu_seconds, r.cpu_aggregate, e.measured, &mc) ||
            !figures(r.real_seconds, r.real_aggregate, e.measured, &mr))
            continue;
        const bool timed = e.reference.empty();
        if (!timed && (!figures(r.cpu_seconds, r.cpu_aggregate, e.reference, &rc) ||
                       !figures(r.real_seconds, r.real_aggregate, e.reference, &rr)))
            continue;
        shown++;
        char limit[32] = "-", fastest[32], median[32], wall[32], ref[32] = "-";
        bool ok;
        if (timed) {
            ok = mc.fastest * MS_PER_SECOND <= e.limit;
            std::snprintf(fastest, sizeof fastest, "%.2fms", mc.fastest * MS_PER_SECOND);
            std::snprintf(median, sizeof median, "%.2fms", mc.median * MS_PER_SECOND);
            std::snprintf(wall, sizeof wall, "%.2fms", mr.fastest * MS_PER_SECOND);
            std::snprintf(limit, sizeof limit, "%.1fms", e.limit);
        } else {
            ok = e.limit <= 0 || mc.fastest / rc.fastest <= e.limit;
            std::snprintf(ref, sizeof ref, "%.2f", rc.fastest * MS_PER_SECOND);
            std::snprintf(fastest, sizeof fastest, "%.3fx", mc.fastest / rc.fastest);
            std::snprintf(median, sizeof median, "%.3fx", mc.median / rc.median);
            std::snprintf(wall, sizeof wall, "%.3fx", mr.fastest / rr.fastest);
            if (e.limit > 0) std::snprintf(limit, sizeof limit, "%.2fx", e.limit);
        }
        missed += !ok;
        const bool reported = timed || e.limit > 0;
        std::printf("%-46s %9.2f %9s %8s %8s %8s %7s  %s\n", e.title.c_str(), mc.fastest * MS_PER_SECOND, ref,
                    fastest, median, wall, limit, !reported ? "" : ok ? "met" : "MISSED");
    }
    if (!shown) std::printf("(no target's measurements ran)\n");
    return missed;
}
