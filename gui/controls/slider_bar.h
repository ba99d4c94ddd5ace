#pragma once
// GSliderBar: a value between a minimum and a maximum, shown as a thumb on a horizontal
// track. Right and Up raise it by a step, Left and Down lower it, Page Up and Page Down move
// it by a page (a tenth of the range, at least a step), Home and End go to the ends; a press
// on the track moves the thumb there and a drag follows the cursor. Every change of the value
// is reported to the dialog. Main thread only.

#include "gui/controls/base_control.h"

class GSliderBar : public GBaseControl {
public:
    explicit GSliderBar(std::string name);
    bool CanFocus() const override { return true; }
    int OnKeyDown(int32_t key) override;
    int OnLButtonDown(int32_t x, int32_t y) override;
    int OnLButtonDrag(int32_t x, int32_t y) override;

    // max below min is taken as min; the value is brought into the range.
    void SetRange(int32_t min, int32_t max);
    // At least 1.
    void SetStep(int32_t step);
    // Clamped and snapped to the step, without a report.
    void SetValue(int32_t value);
    int32_t GetValue() const { return m_value; }
    int32_t GetMin() const { return m_min; }
    int32_t GetMax() const { return m_max; }
    int32_t GetStep() const { return m_step; }
    int32_t GetPage() const;

    // The thumb's screen rectangle for the current value.
    GRect GetThumbRect() const;
    // The value a thumb centred at column x stands for.
    int32_t ValueAt(int32_t x) const;

private:
    int32_t Normalized(int64_t value) const;
    // Sets and reports when the value changes.
    void ChangeTo(int64_t value);
    int32_t ThumbWidth() const;

    int32_t m_min = 0;
    int32_t m_max = 100;
    int32_t m_step = 1;
    int32_t m_value = 0;
};
