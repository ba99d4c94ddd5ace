// The clip draw dispatch and the render-list flush of GClipContainer: each frame the flush
// places the clips, and where something changed draws them in list order through the kernel
// tables, inside the dirty rectangles only.
//
// Two rules hold every draw inside what the flush reports, so that presenting the returned
// rectangle never leaves stale pixels on screen:
//  - a clip drawn whole is clipped to its own current rect: a sub-pixel clip's kernel would
//    otherwise also paint the one-pixel border its image carries for the bilinear mix, outside
//    the rect that placement made dirty;
//  - a clip drawn per dirty rectangle is clipped to the part of that rectangle it covers, and
//    the dirty rectangles never overlap, so no blended pixel is drawn twice in one frame.

#include <algorithm>
#include <utility>

#include "foundation/image/bitmap.h"
#include "foundation/image/dib_surface.h"
#include "graphics/blit/fills.h"
#include "graphics/blit/kernels.h"
#include "graphics/scene/clip_array.h"
#include "graphics/scene/clip_container.h"
#include "graphics/scene/rect_array.h"

namespace {

// How a clip is drawn; the flags pick among the dispatch's five operations and the placed
// redraws, which differ only in the modes they allow.
enum DrawPath : unsigned {
    kPathSubPixel = 1, // the clip's sub-pixel flag is set
    kPathNoMirror = 2, // every orientation drawn as 0; no mode 15
    kPathPerRect = 4,  // this draw is one dirty rectangle's part, not the whole clip
    kPathPlaced = 8,   // RedrawRegion and its kin: whole-pixel sub-pixel clips only 2, 3, 13, 14
};

// The kernel and position shift of one draw, or false when this path draws nothing for mode.
struct GKernelPick {
    GBlitKernel kernel = nullptr;
    int16_t shift = 0; // added to the rect's left and top
    GBlitArgs args;
};

constexpr int kDrawModeCount = dmIndexedMaskFaded + 1;

// The kernel of every draw mode and orientation under the plain rules, worked out at compile
// time: a draw picks its kernel with one load.
struct GModeKernels {
    GBlitKernel kernel[kDrawModeCount][kBlitOrientationCount] = {};

    constexpr GModeKernels()
    {
        for (int mode = 0; mode < kDrawModeCount; ++mode) {
            GBlitRule rule{};
            const bool drawn = BlitRuleForDrawMode(uint8_t(mode), rule);
            for (size_t orientation = 0; orientation < kBlitOrientationCount; ++orientation) {
                kernel[mode][orientation] = drawn ? GetBlitKernel(rule, uint8_t(orientation)) : nullptr;
            }
        }
    }
};
constexpr GModeKernels kModeKernels;

bool PickKernel(const GClip& clip, uint8_t mode, unsigned path, GKernelPick& pick)
{
    const bool noMirror = path & kPathNoMirror;
    const bool perRect = path & kPathPerRect;
    const uint8_t orientation = noMirror ? 0 : clip.GetOrientation();
    if (mode >= kDrawModeCount || orientation >= kBlitOrientationCount) {
        return false;
    }
    pick.args.alpha = clip.GetAlpha();
    pick.args.table = reinterpret_cast<const uint8_t*>(clip.GetPalette());
    if (!(path & kPathSubPixel)) {
        if (noMirror && perRect && mode > dmDarkenMask) {
            return false;
        }
    } else if (FixedFraction(clip.GetX()) == 0 && FixedFraction(clip.GetY()) == 0) {
        // The image's own top-left pixel sits one up and left of the rect (its border).
        switch (mode) {
        case dmPaletteMaskFaded:
            if ((noMirror && perRect) || (path & kPathPlaced)) {
                return false;
            }
            break;
        case dmPaletteMask:
            if (path & kPathPlaced) {
                return false;
            }
            break;
        case dmAlphaMask:
        case dmAlphaMaskFaded:
        case dmLightenMask:
        case dmDarkenMask:
            break;
        default:
            return false;
        }
        pick.shift = -1;
    } else {
        GBlitRule rule{};
        if (noMirror && mode == dmAlphaMaskFaded) {
            rule = GBlitRule::MaskAlpha;
        } else if (SubPixelBlitRuleForDrawMode(mode, rule)) {
            pick.args.fx = int16_t(FixedFraction(clip.GetX()));
            pick.args.fy = int16_t(FixedFraction(clip.GetY()));
        } else {
            return false;
        }
        pick.kernel = GetBlitKernel(rule, orientation);
        return pick.kernel != nullptr;
    }
    pick.kernel = kModeKernels.kernel[mode][orientation];
    return pick.kernel != nullptr;
}

} // namespace

// --- Dispatch ---

bool GClipContainer::ResolveClip(const GClip& clip, const GBitmap*& image, uint8_t& mode) const
{
    mode = clip.GetDrawMode();
    if (mode == dmCustom) {
        return true; // such a clip uses its frame in its own way
    }
    image = ClipImage(clip);
    if (!image) {
        return false; // an empty slot or a negative frame: nothing to show
    }
    if (mode == dmImageFormat) {
        mode = image->GetFormat();
    }
    return true;
}

template <class Draw>
void GClipContainer::ForEachDrawArea(const GClip& clip, Draw draw) const
{
    const uint8_t state = clip.GetDirtyState();
    if (state & kDirtyShow) {
        draw(clip.GetRect(), true);
    } else if (state == kDirtyNone && m_dirtyRects) {
        for (int i = 0; i < m_dirtyRects->GetCount(); ++i) {
            GRect part;
            if (IntersectRects(part, clip.GetRect(), m_dirtyRects->GetAt(i))) {
                draw(part, false);
            }
        }
    }
}

void GClipContainer::DrawClipPath(GBitmap* target, GClip& clip, unsigned path)
{
    if (!target) {
        return;
    }
    const GBitmap* image = nullptr;
    uint8_t mode = 0;
    if (!ResolveClip(clip, image, mode)) {
        return;
    }
    if (mode == dmCustom) {
        if (path & kPathNoMirror) {
            return;
        }
        GRect all;
        GetBitmapBoundsRect(*target, all);
        ForEachDrawArea(
            clip, [&](const GRect& area, bool whole) { clip.Draw(target, whole ? all : area); });
        return;
    }
    const GRect& rect = clip.GetRect();
    ForEachDrawArea(clip, [&](const GRect& area, bool whole) {
        GKernelPick pick;
        if (PickKernel(clip, mode, whole ? path : path | kPathPerRect, pick)) {
            pick.kernel(target, image, int16_t(rect.left + pick.shift),
                        int16_t(rect.top + pick.shift), pick.args, &area);
        }
    });
}

void GClipContainer::DrawClip(GClip& clip)
{
    DrawClipPath(m_target, clip, 0);
}

void GClipContainer::DrawClipSubPixel(GClip& clip)
{
    DrawClipPath(m_target, clip, kPathSubPixel);
}

void GClipContainer::DrawClipNoMirror(GClip& clip)
{
    DrawClipPath(m_target, clip, kPathNoMirror);
}

void GClipContainer::DrawClipSubPixelNoMirror(GClip& clip)
{
    DrawClipPath(m_target, clip, kPathSubPixel | kPathNoMirror);
}

void GClipContainer::DrawLineClip(GClip& clip)
{
    const GRect& r = clip.GetRect();
    int16_t x1 = r.left, y1 = r.top, x2 = r.right, y2 = r.bottom;
    switch (clip.GetAnchorMode()) {
    case kAnchorTopLeft:
        break;
    case kAnchorTopRight:
        std::swap(x1, x2);
        break;
    case kAnchorBottomLeft:
        std::swap(y1, y2);
        break;
    case kAnchorBottomRight:
        std::swap(x1, x2);
        std::swap(y1, y2);
        break;
    default:
        return;
    }
    ForEachDrawArea(clip, [&](const GRect& area, bool whole) {
        if (whole) {
            DrawLine(m_target, x1, y1, x2, y2, clip.GetLineColour());
        } else {
            DrawLineClipped(m_target, x1, y1, x2, y2, clip.GetLineColour(), area);
        }
    });
}

// --- Flush ---

int GClipContainer::FirstIndex(int16_t start) const
{
    return std::max<int>(start, 0);
}

int GClipContainer::Flush(GRect& io, uint8_t addIo, int16_t start, bool noMirror)
{
    if (!m_dirtyRects) {
        return 0;
    }
    m_dirtyRects->Clear();
    if (addIo) {
        m_dirtyRects->Add(io);
    }
    const int first = FirstIndex(start);
    const int count = m_clips ? m_clips->GetCount() : 0;
    for (int i = first; i < count; ++i) {
        GClip& clip = *m_clips->GetAt(i);
        if (!clip.IsVisible() && !clip.WasVisible()) {
            clip.SetDirtyState(kDirtyNone);
        } else if (noMirror && clip.GetDrawMode() == dmLine) {
            MarkClipDirty(clip);
        } else if (clip.IsSubPixel()) {
            noMirror ? PlaceClipSubPixelNoMode15(clip) : PlaceClipSubPixel(clip);
        } else {
            noMirror ? PlaceClipNoMode15(clip) : PlaceClip(clip);
        }
    }
    const int dirtyCount = m_dirtyRects->GetCount();
    if (dirtyCount == 0) {
        return 0;
    }

    if (m_target) {
        m_target->Lock();
        if (m_backgroundMode == kBackgroundFill) {
            for (int i = 0; i < dirtyCount; ++i) {
                FillRect(m_target, m_backgroundColour, m_dirtyRects->GetAt(i));
            }
        }
        for (int i = first; i < count; ++i) {
            GClip& clip = *m_clips->GetAt(i);
            if (!clip.IsVisible() && !clip.WasVisible()) {
                continue;
            }
            if (noMirror && clip.GetDrawMode() == dmLine) {
                DrawLineClip(clip);
            } else {
                const unsigned path = (clip.IsSubPixel() ? unsigned(kPathSubPixel) : 0u) |
                                      (noMirror ? unsigned(kPathNoMirror) : 0u);
                DrawClipPath(m_target, clip, path);
            }
            if (clip.GetDirtyState() != kDirtyNone) {
                clip.CommitPrevious(!noMirror);
            }
        }
        m_target->Unlock();
    }

    io = m_dirtyRects->GetAt(0);
    for (int i = 1; i < dirtyCount; ++i) {
        UnionRects(io, io, m_dirtyRects->GetAt(i));
    }
    return 1;
}

int GClipContainer::RedrawDirty(GRect& io, uint8_t addIo, int16_t start)
{
    return Flush(io, addIo, start, false);
}

int GClipContainer::RedrawDirtyNoMirror(GRect& io, uint8_t addIo, int16_t start)
{
    return Flush(io, addIo, start, true);
}

void GClipContainer::DrawPlaced(GBitmap* target, GClip& clip, const GRect& bounds,
                                const GRect& customBounds, int32_t dx, int32_t dy, bool keepRect)
{
    const GBitmap* image = nullptr;
    uint8_t mode = 0;
    if (!ResolveClip(clip, image, mode)) {
        return;
    }
    if (mode == dmCustom) {
        clip.Draw(target, customBounds);
        return;
    }
    const bool subPixel = clip.IsSubPixel();
    GRect rect = subPixel ? AnchorRectSubPixel(clip, image->GetWidth(), image->GetHeight())
                          : AnchorRect(clip, image->GetWidth(), image->GetHeight());
    if (keepRect && !subPixel) {
        clip.SetRect(rect);
    }
    rect.Offset(dx, dy);
    GRect part;
    GKernelPick pick;
    if (IntersectRects(part, rect, bounds) &&
        PickKernel(clip, mode, subPixel ? kPathSubPixel | kPathPlaced : 0, pick)) {
        pick.kernel(target, image, int16_t(rect.left + pick.shift), int16_t(rect.top + pick.shift),
                    pick.args, &part);
    }
}

void GClipContainer::RedrawAll(int16_t start, const GRect* region)
{
    if (region) {
        RedrawRegion(start, region);
        return;
    }
    if (!m_target) {
        return;
    }
    m_target->Lock();
    if (m_backgroundMode == kBackgroundFill) {
        FillBitmap(*m_target, m_backgroundColour);
    }
    GRect client;
    GetClientBounds(client);
    GRect all;
    GetBitmapBoundsRect(*m_target, all);
    const int count = m_clips ? m_clips->GetCount() : 0;
    for (int i = FirstIndex(start); i < count; ++i) {
        GClip& clip = *m_clips->GetAt(i);
        if (clip.IsVisible()) {
            DrawPlaced(m_target, clip, all, client, 0, 0, false);
        }
    }
    m_target->Unlock();
}

void GClipContainer::RedrawRegion(int16_t start, const GRect* region)
{
    const int count = m_clips ? m_clips->GetCount() : 0;
    if (!region || !m_target || start >= count) {
        return;
    }
    GRect client;
    GetClientBounds(client);
    GRect inside;
    if (!IntersectRects(inside, client, *region)) {
        return; // nothing of the region is on screen
    }
    m_target->Lock();
    FillRect(m_target, m_backgroundColour, inside);
    for (int i = FirstIndex(start); i < count; ++i) {
        GClip& clip = *m_clips->GetAt(i);
        if (clip.IsVisible()) {
            DrawPlaced(m_target, clip, inside, client, 0, 0, true);
        }
    }
    m_target->Unlock();
}

void GClipContainer::DrawToBitmap(GBitmap* target, int16_t start, const GRect* region, int16_t dx,
                                  int16_t dy)
{
    const int count = m_clips ? m_clips->GetCount() : 0;
    if (!target || start >= count) {
        return;
    }
    GRect all;
    GetBitmapBoundsRect(*target, all);
    GRect inside = all;
    if (region && !IntersectRects(inside, all, *region)) {
        return; // nothing of the region is on the image
    }
    if (m_backgroundMode == kBackgroundFill) {
        FillRect(target, m_backgroundColour, inside);
    }
    for (int i = FirstIndex(start); i < count; ++i) {
        GClip& clip = *m_clips->GetAt(i);
        if (clip.IsVisible()) {
            DrawPlaced(target, clip, inside, all, dx, dy, false);
        }
    }
}
