// Where controls put their parts. The slider over random ranges, steps and sizes: a value is
// always one the keys can reach (a whole number of steps from the minimum, or the maximum), the
// thumb stays on the track and moves right as the value grows, from the left end at the minimum
// to the right end at the maximum, and a press on the thumb's middle gives back the value it
// shows. The tab headers share the control's width without a gap or an overlap.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "gui/controls/slider_bar.h"
#include "gui/controls/tab_control.h"

namespace {

TEST(SliderThumb, ValuesSnapToStepsAndTheThumbShowsAndGivesBackEachValue)
{
    std::mt19937 draw(5);
    for (int round = 0; round < 400; ++round) {
        GSliderBar slider("slider");
        const int32_t min = static_cast<int32_t>(draw() % 200) - 100;
        const int32_t max = min + static_cast<int32_t>(draw() % 120);
        const int32_t step = 1 + static_cast<int32_t>(draw() % 15);
        const int16_t left = static_cast<int16_t>(draw() % 50),
                      top = static_cast<int16_t>(draw() % 50);
        const int16_t width = static_cast<int16_t>(4 + draw() % 300),
                      height = static_cast<int16_t>(1 + draw() % 30);
        slider.SetRect(GRect{left, top, static_cast<int16_t>(left + width - 1),
                             static_cast<int16_t>(top + height - 1)});
        slider.SetRange(min, max);
        slider.SetStep(step);
        const std::string where = "round " + std::to_string(round) + " range " +
                                  std::to_string(min) + ".." + std::to_string(max) + " step " +
                                  std::to_string(step) + " width " + std::to_string(width);
        EXPECT_EQ(slider.GetPage(), std::max(step, (max - min) / 10)) << where;
        int previousLeft = -1;
        int reached = 0;
        for (int32_t wanted = min - 3; wanted <= max + 3; ++wanted) {
            slider.SetValue(wanted);
            const int32_t v = slider.GetValue();
            ASSERT_TRUE(v >= min && v <= max) << where << " value " << v;
            ASSERT_TRUE(v == max || (v - min) % step == 0) << where << " value " << v;
            // The nearest value the steps reach, never further than half a step (the last
            // stretch below the maximum may round up to it).
            const int32_t clamped = std::clamp(wanted, min, max);
            ASSERT_LE(std::abs(v - clamped) * 2, v == max ? 2 * step : step)
                << where << " wanted " << wanted;
            const GRect thumb = slider.GetThumbRect();
            ASSERT_TRUE(thumb.left >= left && thumb.right <= left + width - 1 && thumb.top == top &&
                        thumb.bottom == top + height - 1)
                << where << " value " << v;
            ASSERT_GE(thumb.left, previousLeft) << where << " value " << v;
            previousLeft = thumb.left;
            if (v == min && max > min) {
                ASSERT_EQ(thumb.left, left) << where;
            }
            if (v == max && max > min) {
                ASSERT_EQ(thumb.right, left + width - 1) << where;
            }
            reached += v == wanted;
            const int32_t pressed = slider.ValueAt((thumb.left + thumb.right + 1) / 2);
            // Each value has a column of its own when the track has two for every one.
            const int32_t travel = width - thumb.Width();
            if (travel >= 2 * (max - min) && max > min) {
                ASSERT_EQ(pressed, v) << where << " value " << v;
            }
            ASSERT_TRUE(slider.ValueAt(left - 50) == min &&
                        slider.ValueAt(left + width + 50) == (max > min && travel > 0 ? max : min))
                << where;
        }
        ASSERT_GE(reached, (max - min) / step) << where;
    }
}

TEST(TabHeaders, TheHeadersShareTheWidthAndEachColumnFindsItsTab)
{
    for (int tabs = 0; tabs <= 7; ++tabs)
        for (int16_t width = 1; width <= 60; ++width) {
            GTabControl control("tabs", nullptr);
            for (int i = 0; i < tabs; ++i)
                control.AddTab(GWString("t"), {});
            EXPECT_EQ(control.GetSelected(), tabs ? 0 : -1);
            const GRect rect{10, 20, static_cast<int16_t>(10 + width - 1), 35};
            control.SetRect(rect);
            const std::string where =
                std::to_string(tabs) + " tabs, width " + std::to_string(width);
            int next = rect.left;
            for (int i = 0; i < tabs; ++i) {
                const GRect tab = control.GetTabRect(i);
                ASSERT_TRUE(tab.left == next && tab.top == rect.top && tab.bottom == rect.bottom)
                    << where << " tab " << i;
                // Shared evenly: no two headers differ by more than a column.
                ASSERT_LE(std::abs(tab.Width() - width / tabs), 1) << where << " tab " << i;
                next = tab.right + 1;
            }
            if (tabs) {
                ASSERT_EQ(next, rect.right + 1) << where;
            }
            for (int x = rect.left - 1; x <= rect.right + 1; ++x)
                for (const int y :
                     {rect.top - 1, int(rect.top), int(rect.bottom), rect.bottom + 1}) {
                    const int at = control.TabAt(x, y);
                    if (x < rect.left || x > rect.right || y < rect.top || y > rect.bottom ||
                        !tabs) {
                        ASSERT_EQ(at, -1) << where << " at " << x << "," << y;
                        continue;
                    }
                    const GRect tab = control.GetTabRect(at);
                    ASSERT_TRUE(at >= 0 && x >= tab.left && x <= tab.right)
                        << where << " at " << x << "," << y;
                }
        }
}

// A track narrower than the thumb still has a whole thumb to grab, at its left end.
TEST(SliderThumb, ATrackNarrowerThanTheThumbKeepsAWholeThumb)
{
    for (int16_t width = 1; width <= 6; ++width)
        for (int16_t height = 1; height <= 30; ++height) {
            GSliderBar slider("slider");
            slider.SetRect(GRect{10, 10, static_cast<int16_t>(10 + width - 1),
                                 static_cast<int16_t>(10 + height - 1)});
            slider.SetValue(50);
            const GRect thumb = slider.GetThumbRect();
            EXPECT_GE(thumb.Width(), 4) << width << "x" << height;
            if (width <= 4) {
                EXPECT_EQ(thumb.left, 10) << width << "x" << height;
            }
        }
}

} // namespace
