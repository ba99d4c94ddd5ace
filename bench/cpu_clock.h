#pragma once
// CPU-time clocks for the benchmarks: the shared machines these run on preempt us often, and
// a preempted span of wall time would be charged to whichever side happened to run.
// CLOCK_THREAD_CPUTIME_ID counts the calling thread only; CLOCK_PROCESS_CPUTIME_ID adds the
// work a measured call hands to other threads.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>

namespace bench {

template <clockid_t kClock>
struct CpuClock {
    using duration = std::chrono::nanoseconds;
    using time_point = std::chrono::time_point<CpuClock, duration>;
    static time_point now()
    {
        timespec ts{};
        clock_gettime(kClock, &ts);
        return time_point(duration(int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec));
    }
};

inline double Seconds(std::chrono::nanoseconds d)
{
    return std::chrono::duration<double>(d).count();
}

// For benchmarks whose every iteration renders one second of sound: the share of a core each
// side took, and ours over the peer's.
inline void ReportCoreShares(benchmark::State& state, std::chrono::nanoseconds ours,
                             std::chrono::nanoseconds peer, const char* peerName)
{
    const double n = static_cast<double>(state.iterations());
    state.counters["ours_core_%"] = Seconds(ours) / n * 100;
    state.counters[std::string(peerName) + "_core_%"] = Seconds(peer) / n * 100;
    state.counters[std::string("ours/") + peerName] = Seconds(ours) / Seconds(peer);
}

} // namespace bench
