#pragma once
// What every benchmark table rests on: one clock (the CPU time of the measuring thread, which
// Google Benchmark reports as cpu_time and which a preempted span of wall time does not
// inflate), the machine's load beside it, and each measurement's spread over its repetitions:
// the median decides, the fastest and slowest repetitions are printed next to it.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <sched.h>

namespace bench {

inline const char* const kClockName = "CPU time of the measuring thread (CLOCK_THREAD_CPUTIME_ID)";

// The three load averages of /proc/loadavg, or "?" where it cannot be read.
inline std::string LoadAverage()
{
    std::FILE* f = std::fopen("/proc/loadavg", "r");
    if (!f)
        return "?";
    double a = 0, b = 0, c = 0;
    const int n = std::fscanf(f, "%lf %lf %lf", &a, &b, &c);
    std::fclose(f);
    if (n != 3)
        return "?";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f %.2f", a, b, c);
    return text;
}

// The cores this process may run on, as a list ("7" when pinned to one).
inline std::string Affinity()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return "?";
    std::string cores;
    for (int i = 0; i < CPU_SETSIZE; ++i)
        if (CPU_ISSET(i, &set))
            cores += (cores.empty() ? "" : ",") + std::to_string(i);
    return cores;
}

// The lines every table starts with: the clock, the cores and the load.
inline void PrintClockHeader(const char* when)
{
    std::printf("clock: %s; cores %s; load average %s (%s)\n", kClockName, Affinity().c_str(),
                LoadAverage().c_str(), when);
}

// The fastest and slowest repetitions beside Google Benchmark's median.
inline void AddSpreadStatistics(benchmark::internal::Benchmark* b)
{
    b->ComputeStatistics(
        "min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
    b->ComputeStatistics(
        "max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); });
}

struct Spread {
    double min = 0, median = 0, max = 0;
};

// One measurement over its repetitions: CPU nanoseconds per iteration, and each counter.
struct Measured {
    Spread cpuNs;
    std::map<std::string, Spread> counters;
};

// A console reporter that also keeps, by benchmark name, the min, median and max of every
// measurement that was repeated.
class SpreadReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Aggregate)
                continue;
            double Spread::*field = run.aggregate_name == "min"      ? &Spread::min
                                    : run.aggregate_name == "median" ? &Spread::median
                                    : run.aggregate_name == "max"    ? &Spread::max
                                                                     : nullptr;
            if (!field)
                continue;
            Measured& m = m_results[run.run_name.function_name];
            m.cpuNs.*field = run.GetAdjustedCPUTime() * Nanoseconds(run.time_unit);
            for (const auto& [name, counter] : run.counters)
                m.counters[name].*field = counter.value;
        }
    }

    // Zeros for a name that was not measured.
    const Measured& Get(const std::string& name) const
    {
        static const Measured none;
        auto it = m_results.find(name);
        return it == m_results.end() ? none : it->second;
    }

private:
    static double Nanoseconds(benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kSecond:
            return 1e9;
        case benchmark::kMillisecond:
            return 1e6;
        case benchmark::kMicrosecond:
            return 1e3;
        default:
            return 1.0;
        }
    }

    std::map<std::string, Measured> m_results;
};

} // namespace bench
