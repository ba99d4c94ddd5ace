#pragma once
// GPanelClip: a flat rectangle with a one-pixel border, the background of the controls that
// have no picture of their own. A self-drawing clip (draw mode 15): the owner places its
// rectangle, and the flush asks it to draw inside each dirty area it crosses. Main thread only.

#include <cstdint>

#include "graphics/scene/clip.h"

class GPanelClip : public GClip {
public:
    GPanelClip();

    // Places the panel (inclusive pixels); the next flush redraws it when anything changed.
    void SetArea(const GRect& rect);
    // 0x00RRGGBB. A border equal to the fill shows no border.
    void SetColours(uint32_t fill, uint32_t border);
    uint32_t GetFill() const { return m_fill; }
    uint32_t GetBorder() const { return m_border; }

    void Draw(GBitmap* target, const GRect& clipRect) override;

private:
    uint32_t m_fill = 0;
    uint32_t m_border = 0;
};

// GCheckMarkClip: a tick drawn in the border colour inside the panel's rectangle, thick enough
// to read at a glance (an eighth of the side, at least two pixels); the fill is not drawn.
class GCheckMarkClip : public GPanelClip {
public:
    void Draw(GBitmap* target, const GRect& clipRect) override;
};

// GRingClip: a band of the border colour, a few pixels wide, along the inside of the
// rectangle; what lies within the band is not drawn over.
class GRingClip : public GPanelClip {
public:
    void SetBandWidth(int32_t width) { m_band = width; }
    void Draw(GBitmap* target, const GRect& clipRect) override;

private:
    int32_t m_band = 1;
};
