#pragma once
// CPU-time clocks for the benchmarks: the shared machines these run on preempt us often, and
// a preempted span of wall time would be charged to whichever side happened to run.
// CLOCK_THREAD_CPUTIME_ID counts the calling thread only; CLOCK_PROCESS_CPUTIME_ID adds the
// work a measured call hands to other threads.

#include <chrono>
#include <cstdint>
#include <ctime>

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

} // namespace bench
