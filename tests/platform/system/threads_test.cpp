#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <tuple>

#include "platform/system/threads.h"
#include "platform/system/time.h"

namespace {

using platform::AutoResetEvent;
using platform::Thread;
using platform::WaitResult;

TEST(PlatformThreads, EventResetsItselfAndCollapsesSets)
{
    AutoResetEvent event;
    EXPECT_FALSE(event.Wait(0));
    event.Set(), event.Set();
    EXPECT_TRUE(event.Wait(0) && !event.Wait(1));
}

TEST(PlatformThreads, QuitPostedBeforeTheWaitIsNeverLost)
{
    AutoResetEvent event, started;
    std::atomic<int> events{0};
    auto thread = Thread::Start([&](Thread& self) {
        started.Wait(); // the quit request is posted before this thread ever waits below
        while (self.WaitForEventOrQuit(event) == WaitResult::kEvent)
            ++events;
    });
    ASSERT_TRUE(thread);
    thread->PostQuit();
    started.Set();
    thread->Join();
    EXPECT_TRUE(events == 0 && thread->QuitRequested());
}

TEST(PlatformThreads, EventsReachTheWaiterUntilQuit)
{
    AutoResetEvent event;
    std::atomic<int> events{0};
    auto thread = Thread::Start([&](Thread& self) {
        while (self.WaitForEventOrQuit(event) == WaitResult::kEvent)
            ++events;
    });
    ASSERT_TRUE(thread);
    for (int i = 1; i <= 5; ++i) {
        event.Set();
        // Back waiting with the signal consumed: the body has counted it.
        ASSERT_TRUE(event.WaitUntilConsumed(5000));
        EXPECT_EQ(events.load(), i);
    }
    thread.reset(); // posts quit and joins
    EXPECT_EQ(events.load(), 5);
}

TEST(PlatformThreads, ConsumedWaitTimesOutWithoutAWaiter)
{
    AutoResetEvent event;
    event.Set();
    EXPECT_FALSE(event.WaitUntilConsumed(5));
}

TEST(PlatformThreads, RecursiveLockReentersOnOneThread)
{
    platform::RecursiveLock lock;
    std::lock_guard outer(lock);
    std::lock_guard inner(lock);
    std::atomic<bool> other{true};
    auto thread = Thread::Start([&](Thread&) { other = lock.try_lock(); });
    thread->Join();
    EXPECT_FALSE(other.load());
}

} // namespace

// ---- the clock ----
namespace {

TEST(PlatformTime, SystemClockIsMonotonic)
{
    ASSERT_FALSE(platform::IsTestClockSet());
    EXPECT_EQ(platform::GetHighResFrequency(), 1000000000);
    int64_t last = platform::GetHighResCounter();
    for (int i = 0; i < 1000; ++i) {
        const int64_t now = platform::GetHighResCounter();
        ASSERT_GE(now, last);
        last = now;
    }
    const uint32_t before = platform::GetTickMs();
    platform::SleepMs(2);
    EXPECT_GE(static_cast<int32_t>(platform::GetTickMs() - before), 2);
    platform::SleepMs(0);
}

TEST(PlatformTime, ManualClockDrivesEveryReading)
{
    {
        platform::ManualClock clock(1000);
        EXPECT_TRUE(platform::IsTestClockSet());
        EXPECT_EQ(std::make_tuple(platform::GetTickMs(), platform::GetHighResCounter(), platform::GetHighResFrequency()),
                  std::make_tuple(1u, int64_t{1000000}, int64_t{1000000000}));
        clock.AdvanceMs(30);
        EXPECT_EQ(platform::GetTickMs(), 31u);
        platform::SleepMs(250); // moves the clock instead of waiting
        EXPECT_EQ(std::make_tuple(platform::GetTickMs(), clock.GetUs()), std::make_tuple(281u, uint64_t{281000}));
    }
    EXPECT_FALSE(platform::IsTestClockSet());
}

TEST(PlatformTime, TickWrapsAt32Bits)
{
    platform::ManualClock clock((uint64_t{1} << 32) * 1000 - 5000);
    const uint32_t before = platform::GetTickMs();
    clock.AdvanceMs(10);
    const uint32_t after = platform::GetTickMs();
    EXPECT_EQ(std::make_pair(before, after), std::make_pair(0xfffffffbu, 5u));
    EXPECT_EQ(static_cast<int32_t>(after - before), 10); // the engine's signed difference
}

TEST(PlatformTime, CustomClockWithoutSleepHook)
{
    static uint64_t now = 42000;
    platform::TestClock clock;
    clock.nowUs = [](void*) { return now; };
    platform::SetTestClock(&clock);
    platform::SleepMs(1000); // returns at once, the clock is not moved
    EXPECT_EQ(platform::GetTickMs(), 42u);
    platform::TestClock empty;
    platform::SetTestClock(&empty); // no reading function: the system clock again
    EXPECT_FALSE(platform::IsTestClockSet());
}

} // namespace
