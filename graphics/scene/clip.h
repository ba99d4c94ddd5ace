#pragma once
// GClip: one drawable thing on screen, a positioned reference to an image of the bitmap store
// (or, in draw mode 15, something that draws itself). Every control image, sprite and board
// object is a clip held in a clip container's list.
//
// Positions and the frame are 24.8 fixed point: x >> 8 is the pixel column, frame >> 8 the
// bitmap-store slot. A clip holds its pose twice: as it is now and as it was last drawn (the
// "previous" accessors read the shown pose); only the render-list flush writes the shown pose,
// after drawing the clip. Placement (GClipContainer) compares the two to decide what is dirty
// and writes the current rect and dirty state.
//
// Owns nothing; the palette of draw modes 10 and 12 belongs to whoever sets it. Main thread
// only.

#include <cstdint>

#include "foundation/core/rect.h"
#include "foundation/image/bitmap.h"

// Result of the last placement.
enum GDirtyState : uint8_t {
    kDirtyNone = 0, // unchanged
    kDirtyHide = 1, // only the area it left needs repainting
    kDirtyShow = 2, // only the area it now covers
    kDirtyBoth = 3,
};

// 24.8 fixed point helpers. Whole parts shift arithmetically, so -1/256 is in pixel -1.
constexpr int32_t kFixedOne = 256;
constexpr int32_t FixedWhole(int32_t v)
{
    return v >> 8;
}
constexpr int32_t FixedFraction(int32_t v)
{
    return v & 0xFF;
}
constexpr int32_t FixedFromInt(int32_t v)
{
    return int32_t(uint32_t(v) << 8);
}

// What placement and the flush compare between frames: everything about a clip that moves
// pixels on screen when it changes.
struct GClipPose {
    bool visible = false;
    uint8_t alpha = 0;
    uint8_t orientation = 0;
    int32_t frame = 0; // 24.8
    int32_t x = 0;     // 24.8
    int32_t y = 0;     // 24.8
    const uint32_t* palette = nullptr;
    GRect rect;

    bool operator==(const GClipPose&) const = default;
};

class GClip {
public:
    GClip() = default;
    GClip(const GClip&) = delete;
    GClip& operator=(const GClip&) = delete;
    virtual ~GClip() = default;

    // A byte property for derived classes; the drawing code does not read it.
    virtual void SetFlag(uint8_t flag) { m_flag = flag; }
    // Called once per frame by the container before placement.
    virtual void Update() {}
    // Draw mode 15 only: draws itself into target, touching nothing outside clipRect.
    virtual void Draw(GBitmap* target, const GRect& clipRect) {}

    // When left > right (top > bottom) swaps them, and records in the anchor mode which corner
    // the first point named: nothing swapped 0, left/right 2, top/bottom 3, both 4.
    void NormalizeRect();

    // Makes the next placement see this clip as moved, so it is redrawn whole (used when
    // the clip changes its place in the drawing order).
    void MarkMoved();

    // Copies the current state into the previous one after the clip has been drawn. The plain
    // flush also records palette and orientation; the flush without orientation does not.
    void CommitPrevious(bool withPaletteAndOrientation = true);

    uint8_t GetAnchorMode() const { return m_anchorMode; }
    void SetAnchorMode(uint8_t mode) { m_anchorMode = mode; }
    uint8_t GetFlag() const { return m_flag; }
    bool IsVisible() const { return m_now.visible; }
    void SetVisible(bool visible) { m_now.visible = visible; }
    uint8_t GetDrawMode() const { return m_drawMode; }
    void SetDrawMode(uint8_t mode) { m_drawMode = mode; }
    bool IsSubPixel() const { return m_subPixel; }
    void SetSubPixel(bool subPixel) { m_subPixel = subPixel; }
    uint8_t GetAlpha() const { return m_now.alpha; }
    void SetAlpha(uint8_t alpha) { m_now.alpha = alpha; }

    // 24.8: whole part = bitmap-store slot.
    int32_t GetFrame() const { return m_now.frame; }
    void SetFrame(int32_t frame) { m_now.frame = frame; }
    int32_t GetSlot() const { return FixedWhole(m_now.frame); }
    void SetSlot(int32_t slot) { m_now.frame = FixedFromInt(slot); }

    // 24.8 position.
    int32_t GetX() const { return m_now.x; }
    int32_t GetY() const { return m_now.y; }
    void SetX(int32_t x) { m_now.x = x; }
    void SetY(int32_t y) { m_now.y = y; }
    void SetPosition(int32_t x, int32_t y)
    {
        m_now.x = x;
        m_now.y = y;
    }

    // Line clips (draw mode 11): colour in the form the line kernels take.
    uint32_t GetLineColour() const { return m_lineColour; }
    void SetLineColour(uint32_t colour) { m_lineColour = colour; }
    // Draw modes 10 and 12: 256 colours of 4 bytes that stand in for the image's palette.
    const uint32_t* GetPalette() const { return m_now.palette; }
    void SetPalette(const uint32_t* palette) { m_now.palette = palette; }

    // 0 as stored, 1 mirrored left to right, 2 upside down, 3 both.
    uint8_t GetOrientation() const { return m_now.orientation; }
    void SetOrientation(uint8_t orientation) { m_now.orientation = orientation; }
    uint8_t GetDirtyState() const { return m_dirtyState; }
    void SetDirtyState(uint8_t state) { m_dirtyState = state; }

    // Screen area covered now. Placement computes it, except for anchors 5 and 6 (the owner
    // sets left and top) and draw mode 15 (the clip sets it whole).
    GRect& GetRect() { return m_now.rect; }
    const GRect& GetRect() const { return m_now.rect; }
    void SetRect(const GRect& rect) { m_now.rect = rect; }

    bool WasVisible() const { return m_shown.visible; }
    void SetPrevVisible(bool visible) { m_shown.visible = visible; }
    int32_t GetPrevX() const { return m_shown.x; }
    int32_t GetPrevY() const { return m_shown.y; }
    void SetPrevX(int32_t x) { m_shown.x = x; }
    int32_t GetPrevFrame() const { return m_shown.frame; }
    void SetPrevFrame(int32_t frame) { m_shown.frame = frame; }
    uint8_t GetPrevAlpha() const { return m_shown.alpha; }
    void SetPrevAlpha(uint8_t alpha) { m_shown.alpha = alpha; }
    const GRect& GetPrevRect() const { return m_shown.rect; }
    void SetPrevRect(const GRect& rect) { m_shown.rect = rect; }
    const uint32_t* GetPrevPalette() const { return m_shown.palette; }
    void SetPrevPalette(const uint32_t* palette) { m_shown.palette = palette; }
    uint8_t GetPrevOrientation() const { return m_shown.orientation; }
    void SetPrevOrientation(uint8_t orientation) { m_shown.orientation = orientation; }

    // The pose as it is now and as it was last drawn.
    const GClipPose& Pose() const { return m_now; }
    const GClipPose& ShownPose() const { return m_shown; }

private:
    uint8_t m_anchorMode = 0;
    uint8_t m_flag = 0;
    uint8_t m_drawMode = dmImageFormat;
    bool m_subPixel = false;
    uint8_t m_dirtyState = kDirtyNone;
    uint32_t m_lineColour = 0;
    GClipPose m_now;
    GClipPose m_shown;
};
