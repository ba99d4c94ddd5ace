#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "platform/threads.h"

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
