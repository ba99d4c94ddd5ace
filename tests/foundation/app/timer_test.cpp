#include <gtest/gtest.h>

#include "foundation/app/timer.h"
#include "platform/time.h"

namespace {

TEST(GTimerTest, HighResolutionReadsTheCounterLowResolutionTheTick)
{
    platform::ManualClock clock(5000999); // 5 s and 999 us
    GTimer high(true);
    GTimer low(false);
    EXPECT_TRUE(high.IsHighResolution());
    EXPECT_FALSE(low.IsHighResolution());
    EXPECT_DOUBLE_EQ(high.GetStartTime(), 5000.999);
    EXPECT_DOUBLE_EQ(low.GetStartTime(), 5000.0);
    clock.AdvanceUs(1500);
    EXPECT_DOUBLE_EQ(high.QueryTimerMs(), 5002.499);
    EXPECT_DOUBLE_EQ(high.GetLastReading(), 5002.499);
    EXPECT_DOUBLE_EQ(low.QueryTimerMs(), 5002.0);
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

} // namespace
