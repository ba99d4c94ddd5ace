#pragma once
// GClip: one drawable thing on screen, a positioned reference to an image of the bitmap store
// (or, in draw mode 15, something that draws itself). Every control image, sprite and board
// object is a clip held in a clip container's list.
//
// Positions and the frame are 24.8 fixed point: x >> 8 is the pixel column, frame >> 8 the
// bitmap-store slot. The "previous" fields describe what is on screen now; only the
// render-list flush writes them, after drawing the clip. Placement (GClipContainer) compares
// current with previous to decide what is dirty and writes the current rect and dirty state.
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
    bool IsVisible() const { return m_visible; }
    void SetVisible(bool visible) { m_visible = visible; }
    uint8_t GetDrawMode() const { return m_drawMode; }
    void SetDrawMode(uint8_t mode) { m_drawMode = mode; }
    bool IsSubPixel() const { return m_subPixel; }
    void SetSubPixel(bool subPixel) { m_subPixel = subPixel; }
    uint8_t GetAlpha() const { return m_alpha; }
    void SetAlpha(uint8_t alpha) { m_alpha = alpha; }

    // 24.8: whole part = bitmap-store slot.
    int32_t GetFrame() const { return m_frame; }
    void SetFrame(int32_t frame) { m_frame = frame; }
    int32_t GetSlot() const { return FixedWhole(m_frame); }
    void SetSlot(int32_t slot) { m_frame = FixedFromInt(slot); }

    // 24.8 position.
    int32_t GetX() const { return m_x; }
    int32_t GetY() const { return m_y; }
    void SetX(int32_t x) { m_x = x; }
    void SetY(int32_t y) { m_y = y; }
    void SetPosition(int32_t x, int32_t y)
    {
        m_x = x;
        m_y = y;
    }

    // Line clips (draw mode 11): colour in the form the line kernels take.
    uint32_t GetLineColour() const { return m_lineColour; }
    void SetLineColour(uint32_t colour) { m_lineColour = colour; }
    // Draw modes 10 and 12: 256 colours of 4 bytes that stand in for the image's palette.
    const uint32_t* GetPalette() const { return m_palette; }
    void SetPalette(const uint32_t* palette) { m_palette = palette; }

    // 0 as stored, 1 mirrored left to right, 2 upside down, 3 both.
    uint8_t GetOrientation() const { return m_orientation; }
    void SetOrientation(uint8_t orientation) { m_orientation = orientation; }
    uint8_t GetDirtyState() const { return m_dirtyState; }
    void SetDirtyState(uint8_t state) { m_dirtyState = state; }

    // Screen area covered now. Placement computes it, except for anchors 5 and 6 (the owner
    // sets left and top) and draw mode 15 (the clip sets it whole).
    GRect& GetRect() { return m_rect; }
    const GRect& GetRect() const { return m_rect; }
    void SetRect(const GRect& rect) { m_rect = rect; }

    bool WasVisible() const { return m_prevVisible; }
    void SetPrevVisible(bool visible) { m_prevVisible = visible; }
    int32_t GetPrevX() const { return m_prevX; }
    int32_t GetPrevY() const { return m_prevY; }
    void SetPrevX(int32_t x) { m_prevX = x; }
    int32_t GetPrevFrame() const { return m_prevFrame; }
    void SetPrevFrame(int32_t frame) { m_prevFrame = frame; }
    uint8_t GetPrevAlpha() const { return m_prevAlpha; }
    void SetPrevAlpha(uint8_t alpha) { m_prevAlpha = alpha; }
    const GRect& GetPrevRect() const { return m_prevRect; }
    void SetPrevRect(const GRect& rect) { m_prevRect = rect; }
    const uint32_t* GetPrevPalette() const { return m_prevPalette; }
    void SetPrevPalette(const uint32_t* palette) { m_prevPalette = palette; }
    uint8_t GetPrevOrientation() const { return m_prevOrientation; }
    void SetPrevOrientation(uint8_t orientation) { m_prevOrientation = orientation; }

private:
    uint8_t m_anchorMode = 0;
    uint8_t m_flag = 0;
    bool m_visible = false;
    uint8_t m_drawMode = dmImageFormat;
    bool m_subPixel = false;
    uint8_t m_alpha = 0;
    int32_t m_frame = 0;
    int32_t m_x = 0;
    int32_t m_y = 0;
    uint32_t m_lineColour = 0;
    const uint32_t* m_palette = nullptr;
    uint8_t m_orientation = 0;
    uint8_t m_dirtyState = kDirtyNone;
    bool m_prevVisible = false;
    int32_t m_prevX = 0;
    int32_t m_prevY = 0;
    int32_t m_prevFrame = 0;
    uint8_t m_prevAlpha = 0;
    GRect m_rect;
    GRect m_prevRect;
    const uint32_t* m_prevPalette = nullptr;
    uint8_t m_prevOrientation = 0;
};
