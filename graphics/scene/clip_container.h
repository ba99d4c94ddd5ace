#pragma once
// GClipContainer: the drawing context of one screen. It ties together the surface drawn into
// (the back buffer unless told otherwise), the bitmap store's table, the shared render list
// of clips and the shared dirty-rectangle list, and offers default handlers for every input
// event. Dialogs and the game's forms derive from it, override the input handlers and Update,
// and add their clips to its list.
//
// This file holds the container's bookkeeping and the placement pass: turning each clip's
// fixed-point position and anchor into its screen rectangle and adding what changed to the
// dirty list. Drawing the clips (dispatch and flush) builds on it.
//
// Owns nothing it points to: the back buffer, the table and both lists outlive every
// container. Clips must be removed before they are destroyed. Main thread only.

#include <cstdint>
#include <memory>

#include "graphics/scene/clip.h"
#include "foundation/core/rect.h"

class GBitmap;
class GBitmapTable;
class GClipArray;
class GDibSurface;
class GRectArray;

// Fills every pixel of a 24-bit image with colour 0x00RRGGBB, row by row one pitch apart
// (a surface's rows may be longer than 3 x width). Nothing when the image has no pixels.
void FillBitmap(GBitmap& bitmap, uint32_t colour);

class GClipContainer {
public:
    GClipContainer() = default;
    GClipContainer(const GClipContainer&) = delete;
    GClipContainer& operator=(const GClipContainer&) = delete;
    virtual ~GClipContainer() = default;

    // Constructs and initialises a plain container (the result of Init is not checked).
    static std::unique_ptr<GClipContainer> Create(GDibSurface* backBuffer, GBitmapTable* table,
                                                  GClipArray* clips, GRectArray* dirtyRects);
    // Stores the four pointers, makes the back buffer the target and returns OnInit().
    int Init(GDibSurface* backBuffer, GBitmapTable* table, GClipArray* clips,
             GRectArray* dirtyRects);

    // The surface drawn into; null goes back to the back buffer.
    void SetTarget(GDibSurface* surface);

    // Appends to the render list: 1, or 0 when the list is full (the clip is then not drawn).
    int AddClip(GClip* clip);
    // Removes the first occurrence, keeping the order of the rest; returns the count left
    // (unchanged when the clip is not in the list).
    int RemoveClip(GClip* clip);

    // When the background mode is 1, fills the whole target with the background colour. With
    // lock set, the target is locked around the fill.
    void ClearTarget(bool lock);

    // (0, 0, width - 1, height - 1) of the back buffer, whose size is the window's client area.
    void GetClientBounds(GRect& out) const;

    // --- Placement. Each sets the clip's dirty state and adds the areas that changed to the
    // dirty list; none writes the clip's previous fields. A clip whose slot holds no image is
    // placed with an empty current rect (so only the area it left is repainted).

    // Clip without the sub-pixel flag.
    void PlaceClip(GClip& clip);
    // Clip with the sub-pixel flag: its rect is inset by the one-pixel border of its image
    // and grows by one pixel along an axis where the position has a fraction.
    void PlaceClipSubPixel(GClip& clip);
    // For clips whose owner sets the current rect: compares rect, frame, visibility, alpha.
    void MarkClipDirty(GClip& clip);
    // As the two above without the draw-mode-15 case; the plain one also ignores orientation
    // and palette in its unchanged test.
    void PlaceClipNoMode15(GClip& clip);
    void PlaceClipSubPixelNoMode15(GClip& clip);

    // The screen rect of a clip for an image of w x h pixels, by its anchor mode; anchors 5, 6
    // and above 7 keep the clip's current left and top. Nothing of the clip is changed.
    static GRect AnchorRect(const GClip& clip, int32_t w, int32_t h);
    static GRect AnchorRectSubPixel(const GClip& clip, int32_t w, int32_t h);

    // --- Events. Every input handler returns 1 ("handled") in the base.
    virtual int OnInit() { return 1; }
    virtual int OnActivate() { return 1; }
    // Calls GClip::Update on every clip of the list, including clips added during the pass.
    virtual int Update();
    virtual int OnKeyDown(int32_t keyCode) { return 1; }
    virtual int OnKeyUp(int32_t keyCode) { return 1; }
    virtual int OnChar(int32_t character) { return 1; }
    virtual int OnLButtonDown(int32_t x, int32_t y) { return 1; }
    virtual int OnLButtonDblClk(int32_t x, int32_t y) { return 1; }
    virtual int OnRButtonDblClk(int32_t x, int32_t y) { return 1; }
    virtual int OnLButtonUp(int32_t x, int32_t y) { return 1; }
    virtual int OnMouseMove(int32_t x, int32_t y) { return 1; }
    virtual int OnPlainEvent() { return 1; }
    virtual int OnMouseEvent(int32_t x, int32_t y) { return 1; }
    virtual int OnRButtonDown(int32_t x, int32_t y) { return 1; }
    virtual int OnRButtonUp(int32_t x, int32_t y) { return 1; }
    virtual void SetFlag(uint8_t flag) { m_flag = flag; }
    // Told when a clip group joins or leaves the list.
    virtual void OnNotify(int32_t a, int32_t b, int32_t c) {}

    uint8_t GetFlag() const { return m_flag; }
    GDibSurface* GetTarget() const { return m_target; }
    GDibSurface* GetBackBuffer() const { return m_backBuffer; }
    GBitmapTable* GetBitmapTable() const { return m_bitmapTable; }
    GClipArray* GetClips() const { return m_clips; }
    GRectArray* GetDirtyRects() const { return m_dirtyRects; }
    // 0x00RRGGBB.
    uint32_t GetBackgroundColour() const { return m_backgroundColour; }
    void SetBackgroundColour(uint32_t colour) { m_backgroundColour = colour; }
    // 1: dirty areas are filled with the background colour before drawing; else no fill.
    uint8_t GetBackgroundMode() const { return m_backgroundMode; }
    void SetBackgroundMode(uint8_t mode) { m_backgroundMode = mode; }

protected:
    // The image a clip of any mode but 15 shows; null when the slot is empty.
    GBitmap* ClipImage(const GClip& clip) const;
    void AddDirty(const GRect& rect);

private:
    enum class RectRule { Plain, SubPixel };
    // Steps shared by every placement once the clip is known to have changed.
    void PlaceChanged(GClip& clip, RectRule rule, bool customCase, bool addPrevOnShow);

    uint8_t m_flag = 0;
    GDibSurface* m_target = nullptr;
    GDibSurface* m_backBuffer = nullptr;
    GBitmapTable* m_bitmapTable = nullptr;
    GClipArray* m_clips = nullptr;
    GRectArray* m_dirtyRects = nullptr;
    uint32_t m_backgroundColour = 0;
    uint8_t m_backgroundMode = 0;
};
