#include "graphics/scene/clip.h"

#include <utility>

void GClip::NormalizeRect()
{
    const bool swapX = m_now.rect.left > m_now.rect.right;
    const bool swapY = m_now.rect.top > m_now.rect.bottom;
    if (swapX) {
        std::swap(m_now.rect.left, m_now.rect.right);
    }
    if (swapY) {
        std::swap(m_now.rect.top, m_now.rect.bottom);
    }
    m_anchorMode = swapX ? (swapY ? 4 : 2) : (swapY ? 3 : 0);
}

void GClip::MarkMoved()
{
    // Any previous x whose whole part differs from the current one will do; -1.0 is far from
    // every place a clip is normally drawn, and 0 serves the clips that happen to be there.
    m_shown.x = FixedWhole(m_now.x) == -1 ? 0 : -kFixedOne;
}

void GClip::CommitPrevious(bool withPaletteAndOrientation)
{
    if (withPaletteAndOrientation) {
        m_shown = m_now;
        return;
    }
    GClipPose shown = m_now;
    shown.palette = m_shown.palette;
    shown.orientation = m_shown.orientation;
    m_shown = shown;
}
