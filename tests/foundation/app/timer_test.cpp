#include <gtest/gtest.h>

#include "foundation/app/timer.h"
#include "platform/time.h"

namespace {

TEST(GTimerTest, HighResolutionReadsTheCounter)
{
    platform::ManualClock clock(5000000); // 5 s
    GTimer timer(true);
    EXPECT_TRUE(timer.IsHighResolution());
    EXPECT_DOUBLE_EQ(timer.GetStartTime(), 5000.0);
    clock.AdvanceUs(1500);
    EXPECT_DOUBLE_EQ(timer.QueryTimerMs(), 5001.5);
    EXPECT_DOUBLE_EQ(timer.GetLastReading(), 5001.5);
}

TEST(GTimerTest, LowResolutionReadsTheTick)
{
    platform::ManualClock clock(7000999);
    GTimer timer(false);
    EXPECT_FALSE(timer.IsHighResolution());
    EXPECT_DOUBLE_EQ(timer.GetStartTime(), 7000.0);
    clock.AdvanceMs(3);
    EXPECT_DOUBLE_EQ(timer.QueryTimerMs(), 7003.0);
}

TEST(GTimerTest, LowResolutionWrapsWithTheTick)
{
    // The tick is 32 bits: 2^32 ms later it reads small again, never negative.
    platform::ManualClock clock((uint64_t{1} << 32) * 1000 + 2000);
    GTimer timer(false);
    EXPECT_DOUBLE_EQ(timer.QueryTimerMs(), 2.0);
    clock.SetUs((uint64_t{1} << 32) * 1000 - 1000);
    EXPECT_DOUBLE_EQ(timer.QueryTimerMs(), 4294967295.0);
}

TEST(GTimerTest, Laps)
{
    platform::ManualClock clock;
    GTimer timer;
    EXPECT_DOUBLE_EQ(timer.StartLap(), 0.0);
    EXPECT_DOUBLE_EQ(timer.EndLap(), 0.0);
    EXPECT_EQ(timer.GetLapCount(), 1u);

    timer.StartLap();
    clock.AdvanceUs(2500);
    EXPECT_DOUBLE_EQ(timer.EndLap(), 2.5);
    clock.AdvanceMs(100); // between laps: not counted
    EXPECT_DOUBLE_EQ(timer.StartLap(), 2.5);
    clock.AdvanceMs(4);
    EXPECT_DOUBLE_EQ(timer.EndLap(), 6.5);
    EXPECT_EQ(timer.GetLapCount(), 3u);
    EXPECT_DOUBLE_EQ(timer.GetLapSum(), 6.5);

    EXPECT_DOUBLE_EQ(timer.Reset(), 0.0);
    EXPECT_EQ(timer.GetLapCount(), 0u);
    EXPECT_DOUBLE_EQ(timer.GetLapSum(), 0.0);
}

TEST(GTimerTest, SystemClockLapIsNearZero)
{
    GTimer timer;
    timer.StartLap();
    const double sum = timer.EndLap();
    EXPECT_GE(sum, 0.0);
    EXPECT_LT(sum, 1000.0); // only a sanity bound; nothing ran between
    EXPECT_EQ(timer.GetLapCount(), 1u);
}

} // namespace
