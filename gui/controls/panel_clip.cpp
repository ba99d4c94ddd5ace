#include "gui/controls/panel_clip.h"

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
