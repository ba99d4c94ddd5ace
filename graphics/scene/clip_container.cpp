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

namespace {

// The top-left corner of a w x h image placed by the clip's anchor mode. False for the
// owner-placed anchors, whose corner is the clip's current left and top.
bool AnchorCorner(const GClip& clip, int32_t w, int32_t h, int32_t& left, int32_t& top)
{
    const int32_t x = FixedWhole(clip.GetX());
    const int32_t y = FixedWhole(clip.GetY());
    left = clip.GetRect().left;
    top = clip.GetRect().top;
    switch (clip.GetAnchorMode()) {
    case kAnchorTopLeft:
        left = x;
        top = y;
        return true;
    case kAnchorCentre:
        left = x - w / 2;
        top = y - h / 2;
        return true;
    case kAnchorTopRight:
        left = x - w + 1;
        top = y;
        return true;
    case kAnchorBottomLeft:
        left = x;
        top = y - h + 1;
        return true;
    case kAnchorBottomRight:
        left = x - w + 1;
        top = y - h + 1;
        return true;
    case kAnchorBottomCentre:
        left = x - w / 2;
        top = y - h + 1;
        return true;
    default:
        return false; // the owner placed it
    }
}

} // namespace

GRect GClipContainer::AnchorRect(const GClip& clip, int32_t w, int32_t h)
{
    int32_t left = 0;
    int32_t top = 0;
    AnchorCorner(clip, w, h, left, top);
    GRect r;
    r.SetClamped(left, top, left + w - 1, top + h - 1);
    return r;
}

GRect GClipContainer::AnchorRectSubPixel(const GClip& clip, int32_t w, int32_t h)
{
    int32_t left = 0;
    int32_t top = 0;
    // The image carries a one-pixel border for the bilinear blit; its own top-left pixel is
    // drawn at (left - 1, top - 1). Bottom-left clips sit one more pixel right, as ever.
    if (AnchorCorner(clip, w, h, left, top)) {
        left += clip.GetAnchorMode() == kAnchorBottomLeft ? 2 : 1;
        top += 1;
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

namespace {

bool UsesPalette(const GClip& clip)
{
    return clip.GetDrawMode() == dmPaletteMaskFaded || clip.GetDrawMode() == dmPaletteMask;
}

// Which parts of a pose a placement looks at to call a clip unchanged. The frame is always
// compared by its whole part (the slot), visibility and alpha always exactly.
struct PoseView {
    enum Position : uint8_t { WholePixels, Exact, Ignored } position;
    bool orientation;
    bool palette;
    bool rect;
};

// True when two values agree in every bit from `shift` up: for 8, the same whole part of a
// 24.8 value (the whole part is the arithmetic shift, so the words agree above the low 8 bits).
constexpr bool SameFrom(int32_t a, int32_t b, int shift)
{
    return ((a ^ b) >> shift) == 0;
}

// The two poses are the same as far as `view` sees. Every frame asks this of every clip, and
// most clips have not changed: one pass of tests without early exits.
bool SameAsSeen(const GClipPose& now, const GClipPose& shown, const PoseView& view)
{
    bool same = (now.visible == shown.visible) & (now.alpha == shown.alpha) &
                SameFrom(now.frame, shown.frame, 8);
    if (view.position != PoseView::Ignored) {
        const int shift = view.position == PoseView::WholePixels ? 8 : 0;
        same &= SameFrom(now.x, shown.x, shift) & SameFrom(now.y, shown.y, shift);
    }
    if (view.orientation) {
        same &= now.orientation == shown.orientation;
    }
    if (view.palette) {
        same &= now.palette == shown.palette;
    }
    if (view.rect) {
        same &= now.rect == shown.rect;
    }
    return same;
}

bool Unchanged(const GClip& clip, const PoseView& view)
{
    return SameAsSeen(clip.Pose(), clip.ShownPose(), view);
}

} // namespace

void GClipContainer::Place(GClip& clip, RectRule rule, bool withMode15)
{
    // The plain placement sees whole pixels (and, with mode 15, orientation and the palette of
    // the palette modes); the sub-pixel one sees any change of the fraction.
    const bool plain = rule == RectRule::Plain;
    const PoseView view{plain ? PoseView::WholePixels : PoseView::Exact, plain && withMode15,
                        plain && withMode15 && UsesPalette(clip), false};
    if (Unchanged(clip, view)) {
        clip.SetDirtyState(kDirtyNone);
        return;
    }
    if (withMode15 && clip.GetDrawMode() == dmCustom) {
        // The clip set its own rect; the plain placement also repaints where a clip just shown
        // was last drawn.
        MarkChanged(clip, nullptr, plain);
        return;
    }
    MarkChanged(
        clip,
        [&] {
            const GBitmap* image = ClipImage(clip);
            // Without an image the rect is empty (right < left) at the anchor position, so the
            // clip adds nothing new to the dirty list and the area it left is still repainted.
            const int32_t w = image && image->GetWidth() > 0 ? image->GetWidth() : 0;
            const int32_t h = image && image->GetHeight() > 0 ? image->GetHeight() : 0;
            GRect r = plain ? AnchorRect(clip, w, h) : AnchorRectSubPixel(clip, w, h);
            if (!image) {
                r.left = std::max<int16_t>(r.left, INT16_MIN + 1);
                r.top = std::max<int16_t>(r.top, INT16_MIN + 1);
                r.right = int16_t(r.left - 1);
                r.bottom = int16_t(r.top - 1);
            }
            clip.SetRect(r);
        },
        false);
}

void GClipContainer::PlaceClip(GClip& clip)
{
    Place(clip, RectRule::Plain, true);
}

void GClipContainer::PlaceClipSubPixel(GClip& clip)
{
    Place(clip, RectRule::SubPixel, true);
}

void GClipContainer::PlaceClipNoMode15(GClip& clip)
{
    Place(clip, RectRule::Plain, false);
}

void GClipContainer::PlaceClipSubPixelNoMode15(GClip& clip)
{
    Place(clip, RectRule::SubPixel, false);
}

void GClipContainer::MarkClipDirty(GClip& clip)
{
    if (Unchanged(clip, PoseView{PoseView::Ignored, false, false, true})) {
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
