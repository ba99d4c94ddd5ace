#pragma once
// The fastest repetition of each benchmark, which the tables compare: a "min" statistic beside
// Google Benchmark's own, and a console reporter that hands each one on, per iteration and in
// nanoseconds of CPU and of wall time, by benchmark name.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace bench {

inline void AddFastestStatistic(benchmark::internal::Benchmark* b)
{
    b->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
}

// Google Benchmark initialised from the command line, with the repetitions shuffled among all
// measurements unless it says otherwise.
inline void InitializeInterleaved(int argc, char** argv)
{
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    std::vector<char*> args(argv, argv + argc);
    args.insert(args.begin() + 1, interleave);
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
}

// A benchmark that runs body once per iteration, timed in microseconds over seven repetitions
// of at least 0.2 s each, reporting only the aggregates (with the fastest among them).
template <class Body>
void RegisterRepeated(const std::string& name, Body body)
{
    auto run = [body](benchmark::State& state) {
        for (auto _ : state)
            body();
        benchmark::ClobberMemory();
    };
    AddFastestStatistic(benchmark::RegisterBenchmark(name.c_str(), run)
                            ->Unit(benchmark::kMicrosecond)
                            ->MinTime(0.2)
                            ->Repetitions(7)
                            ->ReportAggregatesOnly(true));
}

class FastestReporter : public benchmark::ConsoleReporter {
public:
    using Sink = std::function<void(const std::string& name, double cpuNs, double realNs)>;
    explicit FastestReporter(Sink sink) : m_sink(std::move(sink)) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Aggregate || run.aggregate_name != "min")
                continue;
            const double unit = Nanoseconds(run.time_unit);
            m_sink(run.run_name.function_name, run.GetAdjustedCPUTime() * unit, run.GetAdjustedRealTime() * unit);
        }
    }

private:
    static double Nanoseconds(benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kSecond: return 1e9;
        case benchmark::kMillisecond: return 1e6;
        case benchmark::kMicrosecond: return 1e3;
        default: return 1.0;
        }
    }

    Sink m_sink;
};

} // namespace bench
