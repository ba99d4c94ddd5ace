#include "graphics/scene/clip.h"

#include <utility>

void GClip::NormalizeRect()
{
    const bool swapX = m_rect.left > m_rect.right;
    const bool swapY = m_rect.top > m_rect.bottom;
    if (swapX) {
        std::swap(m_rect.left, m_rect.right);
    }
    if (swapY) {
        std::swap(m_rect.top, m_rect.bottom);
    }
    m_anchorMode = swapX ? (swapY ? 4 : 2) : (swapY ? 3 : 0);
}

void GClip::MarkMoved()
{
    // Any previous x whose whole part differs from the current one will do; -1.0 is far from
    // every place a clip is normally drawn, and 0 serves the clips that happen to be there.
    m_prevX = FixedWhole(m_x) == -1 ? 0 : -kFixedOne;
}

void GClip::CommitPrevious(bool withPaletteAndOrientation)
{
    m_prevAlpha = m_alpha;
    m_prevFrame = m_frame;
    m_prevVisible = m_visible;
    m_prevX = m_x;
    m_prevY = m_y;
    m_prevRect = m_rect;
    if (withPaletteAndOrientation) {
        m_prevPalette = m_palette;
        m_prevOrientation = m_orientation;
    }
}
