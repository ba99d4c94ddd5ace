#include "graphics/scene/clip_container.h"

#include <algorithm>
#include <new>
#include <type_traits>

#include "foundation/image/bitmap.h"
#include "foundation/image/dib_surface.h"
#include "foundation/core/register_object.h"
#include "graphics/blit/fills.h"
#include "graphics/store/bitmap_table.h"
#include "graphics/scene/clip_array.h"
#include "graphics/scene/rect_array.h"

void FillBitmap(GBitmap& bitmap, uint32_t colour)
{
    GRect all;
    GetBitmapBoundsRect(bitmap, all);
    FillRect(&bitmap, colour, all);
}

std::unique_ptr<GClipContainer> GClipContainer::Create(GDibSurface* backBuffer, GBitmapTable* table,
                                                       GClipArray* clips, GRectArray* dirtyRects)
{
    std::unique_ptr<GClipContainer> container(new (std::nothrow) GClipContainer);
    if (!container) {
        return nullptr;
    }
    RegisterObject(container.get());
    container->Init(backBuffer, table, clips, dirtyRects);
    return container;
}

int GClipContainer::Init(GDibSurface* backBuffer, GBitmapTable* table, GClipArray* clips,
                         GRectArray* dirtyRects)
{
    m_backBuffer = backBuffer;
    m_bitmapTable = table;
    m_clips = clips;
    m_dirtyRects = dirtyRects;
    m_target = backBuffer;
    return OnInit();
}

void GClipContainer::SetTarget(GDibSurface* surface)
{
    m_target = surface ? surface : m_backBuffer;
}

int GClipContainer::AddClip(GClip* clip)
{
    return m_clips && m_clips->Add(clip) >= 0 ? 1 : 0;
}

int GClipContainer::RemoveClip(GClip* clip)
{
    if (!m_clips) {
        return 0;
    }
    const int at = m_clips->Find(clip);
    if (at >= 0) {
        m_clips->RemoveRange(at, 1);
    }
    return m_clips->GetCount();
}

void GClipContainer::ClearTarget(bool lock)
{
    if (!m_target) {
        return;
    }
    if (lock) {
        m_target->Lock();
    }
    if (m_backgroundMode == kBackgroundFill) {
        FillBitmap(*m_target, m_backgroundColour);
    }
    if (lock) {
        m_target->Unlock();
    }
}

void GClipContainer::GetClientBounds(GRect& out) const
{
    out = GRect{};
    if (m_backBuffer) {
        GetBitmapBoundsRect(*m_backBuffer, out);
    }
}

int GClipContainer::Update()
{
    if (!m_clips) {
        return 1;
    }
    // The count is read again after every call: a clip's update may add clips.
    for (int i = 0; i < m_clips->GetCount(); ++i) {
        m_clips->GetAt(i)->Update();
    }
    return 1;
}

GBitmap* GClipContainer::ClipImage(const GClip& clip) const
{
    return m_bitmapTable ? m_bitmapTable->FindSlot(clip.GetSlot()) : nullptr;
}

void GClipContainer::AddDirty(const GRect& rect)
{
    if (m_dirtyRects) {
        m_dirtyRects->AddMerged(rect);
    }
}

// --- Placement ---

GRect GClipContainer::AnchorRect(const GClip& clip, int32_t w, int32_t h)
{
    const int32_t x = FixedWhole(clip.GetX());
    const int32_t y = FixedWhole(clip.GetY());
    int32_t left = clip.GetRect().left;
    int32_t top = clip.GetRect().top;
    switch (clip.GetAnchorMode()) {
    case kAnchorTopLeft:
        left = x;
        top = y;
        break;
    case kAnchorCentre:
        left = x - w / 2;
        top = y - h / 2;
        break;
    case kAnchorTopRight:
        left = x - w + 1;
        top = y;
        break;
    case kAnchorBottomLeft:
        left = x;
        top = y - h + 1;
        break;
    case kAnchorBottomRight:
        left = x - w + 1;
        top = y - h + 1;
        break;
    case kAnchorBottomCentre:
        left = x - w / 2;
        top = y - h + 1;
        break;
    default:
        break; // the owner placed it
    }
    GRect r;
    r.SetClamped(left, top, left + w - 1, top + h - 1);
    return r;
}

GRect GClipContainer::AnchorRectSubPixel(const GClip& clip, int32_t w, int32_t h)
{
    const int32_t x = FixedWhole(clip.GetX());
    const int32_t y = FixedWhole(clip.GetY());
    int32_t left = clip.GetRect().left;
    int32_t top = clip.GetRect().top;
    // The image carries a one-pixel border for the bilinear blit; its own top-left pixel is
    // drawn at (left - 1, top - 1).
    switch (clip.GetAnchorMode()) {
    case kAnchorTopLeft:
        left = x + 1;
        top = y + 1;
        break;
    case kAnchorCentre:
        left = x + 1 - w / 2;
        top = y + 1 - h / 2;
        break;
    case kAnchorTopRight:
        left = x - w + 2;
        top = y + 1;
        break;
    case kAnchorBottomLeft:
        left = x + 2;
        top = y - h + 2;
        break; // one right of top-left, as ever
    case kAnchorBottomRight:
        left = x - w + 2;
        top = y - h + 2;
        break;
    case kAnchorBottomCentre:
        left = x + 1 - w / 2;
        top = y - h + 2;
        break;
    default:
        break;
    }
    const int32_t right = left + w - 3 + (FixedFraction(clip.GetX()) ? 1 : 0);
    const int32_t bottom = top + h - 3 + (FixedFraction(clip.GetY()) ? 1 : 0);
    GRect r;
    r.SetClamped(left, top, right, bottom);
    return r;
}

template <class ComputeRect>
void GClipContainer::MarkChanged(GClip& clip, ComputeRect computeRect, bool addPrevOnShow)
{
    const bool visible = clip.IsVisible();
    const bool wasVisible = clip.WasVisible();
    if (visible) {
        if constexpr (!std::is_null_pointer_v<ComputeRect>) {
            computeRect();
        }
        AddDirty(clip.GetRect());
        if (wasVisible || addPrevOnShow) {
            AddDirty(clip.GetPrevRect());
        }
        clip.SetDirtyState(wasVisible ? kDirtyBoth : kDirtyShow);
    } else if (wasVisible) {
        AddDirty(clip.GetPrevRect());
        clip.SetDirtyState(kDirtyHide);
    } else {
        // Invisible now and before: nothing is on screen and nothing will be.
        clip.SetDirtyState(kDirtyNone);
    }
}

void GClipContainer::PlaceChanged(GClip& clip, RectRule rule, bool customCase, bool addPrevOnShow)
{
    const bool custom = customCase && clip.GetDrawMode() == dmCustom;
    auto computeRect = [&] {
        const GBitmap* image = ClipImage(clip);
        // Without an image the rect is empty (right < left) at the anchor position, so the
        // clip adds nothing new to the dirty list and the area it left is still repainted.
        const int32_t w = image && image->GetWidth() > 0 ? image->GetWidth() : 0;
        const int32_t h = image && image->GetHeight() > 0 ? image->GetHeight() : 0;
        GRect r = rule == RectRule::Plain ? AnchorRect(clip, w, h) : AnchorRectSubPixel(clip, w, h);
        if (!image) {
            r.left = std::max<int16_t>(r.left, INT16_MIN + 1);
            r.top = std::max<int16_t>(r.top, INT16_MIN + 1);
            r.right = int16_t(r.left - 1);
            r.bottom = int16_t(r.top - 1);
        }
        clip.SetRect(r);
    };

    if (custom) {
        MarkChanged(clip, nullptr, addPrevOnShow);
    } else {
        MarkChanged(clip, computeRect, false);
    }
}

namespace {

bool SameWhole(int32_t a, int32_t b)
{
    return FixedWhole(a) == FixedWhole(b);
}

bool UsesPalette(const GClip& clip)
{
    return clip.GetDrawMode() == dmPaletteMaskFaded || clip.GetDrawMode() == dmPaletteMask;
}

// The unchanged test of the plain placement.
bool PlainUnchanged(const GClip& c, bool withOrientationAndPalette)
{
    if (c.IsVisible() != c.WasVisible() || !SameWhole(c.GetFrame(), c.GetPrevFrame()) ||
        !SameWhole(c.GetX(), c.GetPrevX()) || !SameWhole(c.GetY(), c.GetPrevY()) ||
        c.GetAlpha() != c.GetPrevAlpha()) {
        return false;
    }
    if (!withOrientationAndPalette) {
        return true;
    }
    return c.GetOrientation() == c.GetPrevOrientation() &&
           (!UsesPalette(c) || c.GetPalette() == c.GetPrevPalette());
}

// The sub-pixel placement sees any change of the fraction.
bool SubPixelUnchanged(const GClip& c)
{
    return c.IsVisible() == c.WasVisible() && SameWhole(c.GetFrame(), c.GetPrevFrame()) &&
           c.GetX() == c.GetPrevX() && c.GetY() == c.GetPrevY() && c.GetAlpha() == c.GetPrevAlpha();
}

} // namespace

void GClipContainer::PlaceClip(GClip& clip)
{
    if (PlainUnchanged(clip, true)) {
        clip.SetDirtyState(kDirtyNone);
        return;
    }
    PlaceChanged(clip, RectRule::Plain, true, true);
}

void GClipContainer::PlaceClipSubPixel(GClip& clip)
{
    if (SubPixelUnchanged(clip)) {
        clip.SetDirtyState(kDirtyNone);
        return;
    }
    PlaceChanged(clip, RectRule::SubPixel, true, false);
}

void GClipContainer::PlaceClipNoMode15(GClip& clip)
{
    if (PlainUnchanged(clip, false)) {
        clip.SetDirtyState(kDirtyNone);
        return;
    }
    PlaceChanged(clip, RectRule::Plain, false, false);
}

void GClipContainer::PlaceClipSubPixelNoMode15(GClip& clip)
{
    if (SubPixelUnchanged(clip)) {
        clip.SetDirtyState(kDirtyNone);
        return;
    }
    PlaceChanged(clip, RectRule::SubPixel, false, false);
}

void GClipContainer::MarkClipDirty(GClip& clip)
{
    if (clip.IsVisible() == clip.WasVisible() && SameWhole(clip.GetFrame(), clip.GetPrevFrame()) &&
        !clip.GetRect().NotEquals(clip.GetPrevRect()) && clip.GetAlpha() == clip.GetPrevAlpha()) {
        clip.SetDirtyState(kDirtyNone);
        return;
    }
    // A line's rectangle holds its two end points, in whichever order they were written; the
    // pixels it touches lie in their bounding box.
    const auto box = [](GRect r) {
        if (r.left > r.right)
            std::swap(r.left, r.right);
        if (r.top > r.bottom)
            std::swap(r.top, r.bottom);
        return r;
    };
    const bool visible = clip.IsVisible();
    const bool wasVisible = clip.WasVisible();
    if (visible)
        AddDirty(box(clip.GetRect()));
    if (wasVisible)
        AddDirty(box(clip.GetPrevRect()));
    clip.SetDirtyState(visible      ? (wasVisible ? kDirtyBoth : kDirtyShow)
                       : wasVisible ? kDirtyHide
                                    : kDirtyNone);
}
