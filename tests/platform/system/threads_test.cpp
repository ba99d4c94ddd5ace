#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <tuple>

#include <SDL2/SDL.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "platform/files/paths.h"
#include "platform/system/system_info.h"
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
    event.Set(); // a wait without a time limit takes the signal the same way
    EXPECT_TRUE(event.Wait(-1) && !event.Wait(0));
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
        while (self.WaitForEventOrQuit(event) == WaitResult::kEvent) {
            ++events;
            std::this_thread::sleep_for(std::chrono::milliseconds(2)); // back only later
        }
    });
    ASSERT_TRUE(thread);
    for (int i = 1; i <= 5; ++i) {
        event.Set();
        // Back waiting with the signal consumed: the body has counted it. No time limit:
        // the waiter's return is what ends this wait.
        ASSERT_TRUE(event.WaitUntilConsumed(-1));
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
    // A waiter that came and went is no waiter: nothing consumes the next signal.
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(1));
    EXPECT_FALSE(event.WaitUntilConsumed(5));
    auto thread = Thread::Start([&](Thread& self) { self.WaitForEventOrQuit(event); });
    ASSERT_TRUE(thread);
    event.Set();
    thread->Join();
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

namespace {

// "key : value" lines as a map, the first of each key kept.
std::map<std::string, std::string> KeyValues(const char* path)
{
    std::map<std::string, std::string> values;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        auto trim = [](std::string text) {
            text.erase(0, text.find_first_not_of(" \t"));
            text.erase(text.find_last_not_of(" \t") + 1);
            return text;
        };
        values.emplace(trim(line.substr(0, colon)), trim(line.substr(colon + 1)));
    }
    return values;
}

TEST(PlatformSystemInfo, ReadingsAgreeWithTheSystemsOwnSources)
{
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    unsigned parts[3] = {};
    std::sscanf(names.release, "%u.%u.%u", &parts[0], &parts[1], &parts[2]);
    const platform::SystemVersion version = platform::GetSystemVersion();
    EXPECT_EQ(std::tuple(version.major, version.minor, version.build, version.name),
              std::tuple(parts[0], parts[1], parts[2],
                         std::string(names.sysname) + " " + names.release + " " + names.version));
    EXPECT_EQ(platform::GetSystemMajorVersion(), parts[0]);

    // "model name" must not be read as "model".
    auto cpu = KeyValues("/proc/cpuinfo");
    const platform::ProcessorInfo processor = platform::GetProcessorInfo();
    const uint32_t revision =
        (std::stoul("0" + cpu["model"]) & 0xff) << 8 | (std::stoul("0" + cpu["stepping"]) & 0xff);
    EXPECT_EQ(std::tuple(processor.count, processor.level, processor.revision),
              std::tuple(uint32_t(sysconf(_SC_NPROCESSORS_ONLN)),
                         uint32_t(std::stoul("0" + cpu["cpu family"])), revision));

    auto kb = [mem = KeyValues("/proc/meminfo")](const char* key) mutable {
        return std::stoull("0" + mem[key]) * 1024;
    };
    const platform::MemoryInfo memory = platform::GetMemoryInfo();
    EXPECT_EQ(std::tuple(memory.totalPhysical, memory.totalPaging, memory.totalVirtual),
              std::tuple(kb("MemTotal"), kb("SwapTotal"), kb("CommitLimit")));
    ASSERT_GT(memory.totalPhysical, 0u);
    EXPECT_TRUE(memory.availablePhysical > 0 && memory.availablePhysical <= memory.totalPhysical);
    EXPECT_LE(memory.availablePaging, memory.totalPaging);
    EXPECT_LE(memory.availableVirtual, memory.totalVirtual);
    // What may still be committed is the limit less what is committed (none when that is
    // more), near what the system said a moment before: others commit and free meanwhile.
    const double room = double(kb("CommitLimit")) - double(kb("Committed_AS"));
    EXPECT_NEAR(double(memory.availableVirtual), std::max(room, 0.0), 256.0 * 1024 * 1024);
    EXPECT_EQ(memory.loadPercent,
              (memory.totalPhysical - memory.availablePhysical) * 100 / memory.totalPhysical);

    std::string commandLine;
    for (const std::string& arg : testing::internal::GetArgvs())
        commandLine += (commandLine.empty() ? "" : " ") + arg;
    EXPECT_EQ(platform::GetCommandLine(), commandLine);
    EXPECT_EQ(platform::GetCurrentFolder(), std::filesystem::current_path().string());
}

TEST(PlatformSystemInfo, ClocksAndTheDisplayFollowTheSystem)
{
    const int32_t before = platform::GetProcessMs();
    platform::SleepMs(5);
    const int32_t after = platform::GetProcessMs();
    EXPECT_TRUE(before >= 0 && after - before >= 5 && after - before < 5000)
        << before << " " << after;

    // The local time of the second it was taken in (retried when the second turned meanwhile).
    for (int attempt = 0; attempt < 3; ++attempt) {
        const time_t start = time(nullptr);
        const platform::LocalTime now = platform::GetLocalTime();
        if (time(nullptr) != start)
            continue;
        tm parts{};
        localtime_r(&start, &parts);
        EXPECT_EQ(std::tuple(now.year, now.month, now.day, now.hour, now.minute, now.second),
                  std::tuple(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                             parts.tm_min, parts.tm_sec));
        break;
    }

    // Zeros while the display backend is down, its current mode once up.
    ASSERT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
    const platform::DisplayInfo down = platform::GetDisplayInfo();
    EXPECT_EQ(std::tuple(down.width, down.height, down.bitsPerPixel), std::tuple(0, 0, 0));
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_DisplayMode mode{};
    ASSERT_EQ(SDL_GetCurrentDisplayMode(0, &mode), 0);
    const platform::DisplayInfo up = platform::GetDisplayInfo();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    EXPECT_EQ(std::tuple(up.width, up.height, up.bitsPerPixel),
              std::tuple(mode.w, mode.h, int32_t(SDL_BITSPERPIXEL(mode.format))));
    EXPECT_GT(up.width, 0);
}

} // namespace
