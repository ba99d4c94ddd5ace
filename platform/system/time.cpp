#include "platform/system/time.h"

#include <cerrno>
#include <ctime>

namespace platform {
namespace {

TestClock g_testClockSlot;
std::atomic<const TestClock*> g_testClock{nullptr};

uint64_t MonotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

} // namespace

uint32_t GetTickMs()
{
    if (const TestClock* clock = g_testClock.load(std::memory_order_acquire))
        return static_cast<uint32_t>(clock->nowUs(clock->user) / 1000);
    return static_cast<uint32_t>(MonotonicNs() / 1000000);
}

int64_t GetHighResCounter()
{
    if (const TestClock* clock = g_testClock.load(std::memory_order_acquire))
        return static_cast<int64_t>((clock->nowUs(clock->user) * 1000) & INT64_MAX);
    return static_cast<int64_t>(MonotonicNs() & INT64_MAX);
}

int64_t GetHighResFrequency()
{
    return 1000000000;
}

void SleepMs(uint32_t ms)
{
    if (const TestClock* clock = g_testClock.load(std::memory_order_acquire)) {
        if (clock->sleepMs)
            clock->sleepMs(clock->user, ms);
        return;
    }
    if (ms == 0)
        return;
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    // A signal cuts the sleep short; carry on with what is left.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void SetTestClock(const TestClock* clock)
{
    if (!clock || !clock->nowUs) {
        g_testClock.store(nullptr, std::memory_order_release);
        return;
    }
    g_testClock.store(nullptr, std::memory_order_release);
    g_testClockSlot = *clock;
    g_testClock.store(&g_testClockSlot, std::memory_order_release);
}

bool IsTestClockSet()
{
    return g_testClock.load(std::memory_order_acquire) != nullptr;
}

// ---------------------------------------------------------------------------------------

ManualClock::ManualClock(uint64_t startUs) : m_nowUs(startUs)
{
    TestClock clock;
    clock.nowUs = [](void* user) { return static_cast<ManualClock*>(user)->GetUs(); };
    clock.sleepMs = [](void* user, uint32_t ms) { static_cast<ManualClock*>(user)->AdvanceMs(ms); };
    clock.user = this;
    SetTestClock(&clock);
}

ManualClock::~ManualClock()
{
    SetTestClock(nullptr);
}

} // namespace platform
