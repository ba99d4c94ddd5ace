#include <gtest/gtest.h>

#include <vector>

#include "foundation/app/timer.h"
#include "platform/time.h"

namespace {

TEST(GTimerTest, HighResolutionReadsTheCounterLowResolutionTheWrappingTick)
{
    platform::ManualClock clock(5000999); // 5 s and 999 us
    GTimer high(true);
    GTimer low(false);
    EXPECT_TRUE(high.IsHighResolution() && !low.IsHighResolution());
    const std::vector<double> starts{high.GetStartTime(), low.GetStartTime()};
    clock.AdvanceUs(1500);
    const std::vector<double> reads{high.QueryTimerMs(), high.GetLastReading(), low.QueryTimerMs()};
    EXPECT_EQ(starts, (std::vector<double>{5000.999, 5000.0}));
    EXPECT_EQ(reads, (std::vector<double>{5002.499, 5002.499, 5002.0}));

    // The tick is 32 bits: 2^32 ms later it reads small again, never negative.
    clock.SetUs((uint64_t{1} << 32) * 1000 + 2000);
    GTimer timer(false);
    EXPECT_DOUBLE_EQ(timer.QueryTimerMs(), 2.0);
    clock.SetUs((uint64_t{1} << 32) * 1000 - 1000);
    EXPECT_DOUBLE_EQ(timer.QueryTimerMs(), 4294967295.0);
}

TEST(GTimerTest, Laps)
{
    platform::ManualClock clock;
    GTimer timer;
    // Each call's answer in order; the time between laps is not counted.
    std::vector<double> seen{timer.StartLap(), timer.EndLap(), timer.StartLap()};
    clock.AdvanceUs(2500);
    seen.push_back(timer.EndLap());
    clock.AdvanceMs(100);
    seen.push_back(timer.StartLap());
    clock.AdvanceMs(4);
    seen.insert(seen.end(), {timer.EndLap(), double(timer.GetLapCount()), timer.GetLapSum(), timer.Reset(),
                             double(timer.GetLapCount()), timer.GetLapSum()});
    EXPECT_EQ(seen, (std::vector<double>{0, 0, 0, 2.5, 2.5, 6.5, 3, 6.5, 0, 0, 0}));
}

} // namespace
