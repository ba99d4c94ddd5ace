#pragma once
// The process's clocks: a 32-bit millisecond tick (monotonic, wraps after about 49.7 days),
// a high-resolution counter with its frequency, and a millisecond sleep. Any thread may call
// them.
//
// Tests can replace the system clock for the whole process with a test clock, so that loop
// timing runs without real waiting: every reading comes from the test clock and SleepMs
// goes to its sleep hook. ManualClock is the ready-made one.

#include <atomic>
#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start, wrapping modulo 2^32; compare readings by their
// signed 32-bit difference.
uint32_t GetTickMs();

// A count that only grows, and its counts per second (never 0; the same with a test clock,
// so a reader may keep it).
int64_t GetHighResCounter();
int64_t GetHighResFrequency();

// Returns after at least ms milliseconds (at once for 0).
void SleepMs(uint32_t ms);

// A test clock: nowUs gives microseconds since any start; sleepMs (may be null: sleeps
// return at once) is what SleepMs does instead of waiting.
struct TestClock {
    uint64_t (*nowUs)(void* user) = nullptr;
    void (*sleepMs)(void* user, uint32_t ms) = nullptr;
    void* user = nullptr;
};

// Installs a copy of *clock for every thread; null (or a clock without nowUs) goes back to
// the system clock. Install and remove it while no other thread reads the time.
void SetTestClock(const TestClock* clock);
bool IsTestClockSet();

// A clock that moves only when told to, or when something sleeps on it (a sleep advances it
// by the time asked). It installs itself while it lives; one at a time.
class ManualClock {
public:
    explicit ManualClock(uint64_t startUs = 0);
    ~ManualClock();
    ManualClock(const ManualClock&) = delete;
    ManualClock& operator=(const ManualClock&) = delete;

    void AdvanceUs(uint64_t us) { m_nowUs.fetch_add(us); }
    void AdvanceMs(uint32_t ms) { AdvanceUs(uint64_t{ms} * 1000); }
    void SetUs(uint64_t us) { m_nowUs.store(us); }
    uint64_t GetUs() const { return m_nowUs.load(); }

private:
    std::atomic<uint64_t> m_nowUs;
};

} // namespace platform
