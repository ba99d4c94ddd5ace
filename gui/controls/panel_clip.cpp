#include "gui/controls/panel_clip.h"

#include <algorithm>
#include <cstdlib>

#include "graphics/blit/fills.h"

GPanelClip::GPanelClip()
{
    SetDrawMode(dmCustom);
    SetAnchorMode(5);
}

void GPanelClip::SetArea(const GRect& rect)
{
    if (rect == GetRect())
        return;
    // A panel that only changes size keeps its position, which placement would see as
    // unchanged: mark it moved so the old and the new area are both repainted.
    SetRect(rect);
    SetPosition(FixedFromInt(rect.left), FixedFromInt(rect.top));
    MarkMoved();
}

void GPanelClip::SetColours(uint32_t fill, uint32_t border)
{
    if (fill == m_fill && border == m_border)
        return;
    m_fill = fill;
    m_border = border;
    MarkMoved();
}

void GPanelClip::Draw(GBitmap* target, const GRect& clipRect)
{
    const GRect& rect = GetRect();
    GRect area;
    if (!target || rect.IsEmpty() || !IntersectRects(area, rect, clipRect))
        return;
    FillRect(target, m_fill, area);
    if (m_border == m_fill)
        return;
    DrawLineClipped(target, rect.left, rect.top, rect.right, rect.top, m_border, area);
    DrawLineClipped(target, rect.left, rect.bottom, rect.right, rect.bottom, m_border, area);
    DrawLineClipped(target, rect.left, rect.top, rect.left, rect.bottom, m_border, area);
    DrawLineClipped(target, rect.right, rect.top, rect.right, rect.bottom, m_border, area);
}

void GCheckMarkClip::Draw(GBitmap* target, const GRect& clipRect)
{
    const GRect& r = GetRect();
    GRect area;
    if (!target || r.IsEmpty() || !IntersectRects(area, r, clipRect))
        return;
    // A short stroke down to the bottom third, then a long one up to the top-right corner, each
    // a square pen of the thickness stepped one pixel at a time along it.
    const int side = std::min<int>(r.Width(), r.Height());
    const int pen = std::max(2, side / 8);
    const int reach = side - pen;
    const int points[3][2] = {{0, reach / 2}, {reach / 3, reach}, {reach, 0}};
    for (int stroke = 0; stroke < 2; ++stroke) {
        const int* from = points[stroke];
        const int* to = points[stroke + 1];
        const int steps = std::max(std::abs(to[0] - from[0]), std::abs(to[1] - from[1]));
        for (int i = 0; i <= steps; ++i) {
            const int x = r.left + from[0] + (to[0] - from[0]) * i / std::max(steps, 1);
            const int y = r.top + from[1] + (to[1] - from[1]) * i / std::max(steps, 1);
            GRect dot;
            if (IntersectRects(
                    dot, GRect{int16_t(x), int16_t(y), int16_t(x + pen - 1), int16_t(y + pen - 1)},
                    area))
                FillRect(target, GetBorder(), dot);
        }
    }
}

void GRingClip::Draw(GBitmap* target, const GRect& clipRect)
{
    const GRect& r = GetRect();
    if (!target || r.IsEmpty())
        return;
    const int32_t band = std::max<int32_t>(1, m_band);
    const GRect sides[] = {
        {r.left, r.top, r.right, int16_t(std::min<int32_t>(r.bottom, r.top + band - 1))},
        {r.left, int16_t(std::max<int32_t>(r.top, r.bottom - band + 1)), r.right, r.bottom},
        {r.left, r.top, int16_t(std::min<int32_t>(r.right, r.left + band - 1)), r.bottom},
        {int16_t(std::max<int32_t>(r.left, r.right - band + 1)), r.top, r.right, r.bottom}};
    for (const GRect& side : sides) {
        GRect area;
        if (IntersectRects(area, side, clipRect))
            FillRect(target, GetBorder(), area);
    }
}
