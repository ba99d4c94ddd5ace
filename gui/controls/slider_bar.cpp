#include "gui/controls/slider_bar.h"

#include <algorithm>

#include "foundation/app/key_codes.h"
#include "gui/controls/st_animators.h"

GSliderBar::GSliderBar(std::string name) : GBaseControl(std::move(name))
{
    SetAnimator(std::make_unique<GStSliderBarAnimator>());
}

void GSliderBar::SetRange(int32_t min, int32_t max)
{
    m_min = min;
    m_max = std::max(min, max);
    m_value = Normalized(m_value);
    Changed();
}

void GSliderBar::SetStep(int32_t step)
{
    m_step = std::max(1, step);
    m_value = Normalized(m_value);
    Changed();
}

void GSliderBar::SetValue(int32_t value)
{
    m_value = Normalized(value);
    Changed();
}

int32_t GSliderBar::GetPage() const
{
    const int64_t range = int64_t(m_max) - m_min;
    return static_cast<int32_t>(std::max<int64_t>(m_step, range / 10));
}

int32_t GSliderBar::Normalized(int64_t value) const
{
    value = std::clamp<int64_t>(value, m_min, m_max);
    // Steps count from the minimum; the maximum stays reachable when the range is not a
    // whole number of steps.
    if (value != m_max) {
        const int64_t steps = (value - m_min + m_step / 2) / m_step;
        value = std::min<int64_t>(m_max, m_min + steps * m_step);
    }
    return static_cast<int32_t>(value);
}

void GSliderBar::ChangeTo(int64_t value)
{
    const int32_t normalized = Normalized(value);
    if (normalized == m_value)
        return;
    m_value = normalized;
    Changed();
    Report();
}

int GSliderBar::OnKeyDown(int32_t key)
{
    switch (VirtualKeyToKeyCode(key)) {
    case kKeyRight:
    case kKeyUp:
        ChangeTo(int64_t(m_value) + m_step);
        return 1;
    case kKeyLeft:
    case kKeyDown:
        ChangeTo(int64_t(m_value) - m_step);
        return 1;
    case kKeyUpRight:
        ChangeTo(int64_t(m_value) + GetPage());
        return 1; // Page Up
    case kKeyDownRight:
        ChangeTo(int64_t(m_value) - GetPage());
        return 1; // Page Down
    case kKeyHome:
        ChangeTo(m_min);
        return 1;
    case kKeyEnd:
        ChangeTo(m_max);
        return 1;
    default:
        return 0;
    }
}

int GSliderBar::OnLButtonDown(int32_t x, int32_t y)
{
    GBaseControl::OnLButtonDown(x, y);
    ChangeTo(ValueAt(x));
    return 1;
}

int GSliderBar::OnLButtonDrag(int32_t x, int32_t)
{
    ChangeTo(ValueAt(x));
    return 1;
}

int32_t GSliderBar::ThumbWidth() const
{
    const GRect& r = GetRect();
    return std::clamp<int32_t>(r.Height() / 2, 4, std::max(4, r.Width()));
}

GRect GSliderBar::GetThumbRect() const
{
    const GRect& r = GetRect();
    const int32_t travel = std::max(0, r.Width() - ThumbWidth());
    const int64_t range = int64_t(m_max) - m_min;
    const int32_t offset =
        range > 0 ? static_cast<int32_t>((int64_t(m_value) - m_min) * travel / range) : 0;
    GRect thumb;
    thumb.SetClamped(r.left + offset, r.top, r.left + offset + ThumbWidth() - 1, r.bottom);
    return thumb;
}

int32_t GSliderBar::ValueAt(int32_t x) const
{
    const GRect& r = GetRect();
    const int32_t travel = r.Width() - ThumbWidth();
    const int64_t range = int64_t(m_max) - m_min;
    if (travel <= 0 || range <= 0)
        return m_min;
    const int64_t along = std::clamp<int64_t>(int64_t(x) - r.left - ThumbWidth() / 2, 0, travel);
    return Normalized(m_min + (along * range + travel / 2) / travel);
}
