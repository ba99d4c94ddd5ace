#pragma once
// GClipContainer: the drawing context of one screen. It ties together the surface drawn into
// (the back buffer unless told otherwise), the bitmap store's table, the shared render list
// of clips and the shared dirty-rectangle list, and offers default handlers for every input
// event. Dialogs and the game's forms derive from it, override the input handlers and Update,
// and add their clips to its list.
//
// clip_container.cpp holds the container's bookkeeping and the placement pass: turning each
// clip's fixed-point position and anchor into its screen rectangle and adding what changed to
// the dirty list. clip_render.cpp draws: the per-clip dispatch to the kernels and the flush
// that turns the render list into a frame.
//
// Owns nothing it points to: the back buffer, the table and both lists outlive every
// container. Clips must be removed before they are destroyed. Main thread only.

#include <cstdint>
#include <memory>

#include "foundation/app/input_slots.h"
#include "foundation/core/rect.h"
#include "graphics/scene/clip.h"

class GBitmap;
class GBitmapTable;
class GClipArray;
class GDibSurface;
class GRectArray;

// Fills every pixel of a 24-bit image with colour 0x00RRGGBB, row by row one pitch apart
// (a surface's rows may be longer than 3 x width). Nothing when the image has no pixels.
void FillBitmap(GBitmap& bitmap, uint32_t colour);

// Anchor modes: which point of the image a clip's position names.
enum GAnchorMode : uint8_t {
    kAnchorTopLeft = 0,
    kAnchorCentre = 1,
    kAnchorTopRight = 2,
    kAnchorBottomLeft = 3,
    kAnchorBottomRight = 4,
    kAnchorOwnerPlaced = 5, // 5, 6 and above 7: the owner sets left and top
    kAnchorOwnerPlacedAlt = 6,
    kAnchorBottomCentre = 7,
};

// Background modes: only kBackgroundFill paints dirty areas before the clips are drawn.
enum GBackgroundMode : uint8_t {
    kBackgroundNone = 0,
    kBackgroundFill = 1,
};

class GClipContainer : public virtual GInputSlots {
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

    // --- Drawing one clip (the dispatch). Each runs inside a flush, with the target locked,
    // after placement has set the clip's rect and dirty state: dirty states 2 and 3 draw the
    // clip whole, 0 draws it once inside each dirty rectangle it crosses, 1 draws nothing.
    // The draw mode (6: the image's own format) and the orientation pick the kernel. A clip
    // whose slot is empty, or whose image lacks what its mode reads, draws nothing.

    // Clip without the sub-pixel flag.
    void DrawClip(GClip& clip);
    // Clip with the sub-pixel flag: the bilinear kernels at a fractional position, the plain
    // ones one pixel up and left of the rect at a whole-pixel one (modes 2, 3, 13, 14; at a
    // whole-pixel position 10 and 12 too).
    void DrawClipSubPixel(GClip& clip);
    // The two above with every orientation drawn as 0 and no mode 15; per dirty rectangle only
    // modes 0 to 14 draw. Used by RedrawDirtyNoMirror.
    void DrawClipNoMirror(GClip& clip);
    void DrawClipSubPixelNoMirror(GClip& clip);
    // Draw mode 11: a horizontal or vertical line in the line colour across the current rect,
    // from the corner the anchor names (0, 2, 3, 4; other anchors draw nothing).
    void DrawLineClip(GClip& clip);

    // --- The flush: one frame of the render list from the clip at `start` on (a negative
    // start covers the whole list, one past the end none).

    // Places every clip that is or was visible, and when anything is dirty locks the target,
    // fills the dirty areas (background mode 1), draws the clips in order, records what was
    // drawn as each dirty clip's previous state and unlocks. With addIo set, io itself is
    // redrawn too. Returns 1 with io = the union of the dirty rectangles (which covers every
    // pixel written), or 0 with io untouched and the target not touched when nothing changed.
    int RedrawDirty(GRect& io, uint8_t addIo, int16_t start);
    // The same for clips drawn without orientation and for line clips (mode 11, whose owner
    // sets the rect).
    int RedrawDirtyNoMirror(GRect& io, uint8_t addIo, int16_t start);
    // Redraws every visible clip whole at its anchor position, computed on the side (no clip
    // state changes), after filling the target in background mode 1. With a region, does what
    // RedrawRegion does.
    void RedrawAll(int16_t start, const GRect* region = nullptr);
    // Fills the part of the client bounds inside region with the background colour (whatever
    // the mode) and redraws the visible clips there, writing each plain clip's anchor rect to
    // its current rect. A region wholly outside the client bounds changes nothing.
    void RedrawRegion(int16_t start, const GRect* region);
    // Draws the visible clips into any 24-bit image, moved by (dx, dy), inside region (or
    // the whole image), without locking and without changing any clip.
    void DrawToBitmap(GBitmap* target, int16_t start, const GRect* region, int16_t dx, int16_t dy);

    // --- Events. The input handlers (OnActivate, keys, characters, mouse) are GInputSlots',
    // shared with the forms; each returns 1 ("handled") in the base.
    virtual int OnInit() { return 1; }
    // Calls GClip::Update on every clip of the list, including clips added during the pass.
    virtual int Update();
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
    // The one body of the four placements: the unchanged test, then the rect and the dirty
    // bookkeeping. withMode15 lets a draw-mode-15 clip keep the rect it set itself.
    void Place(GClip& clip, RectRule rule, bool withMode15);
    // The dirty bookkeeping by visibility once a clip is known to have changed: adds the rects
    // that need repainting and sets the dirty state. computeRect (may be null) runs first for
    // a visible clip; addPrevOnShow also repaints the previous rect of a clip just shown.
    template <class ComputeRect>
    void MarkChanged(GClip& clip, ComputeRect computeRect, bool addPrevOnShow);

    // The image a clip shows (none for mode 15) and its effective draw mode (6 becomes the
    // image's format); false when the clip's slot is empty.
    bool ResolveClip(const GClip& clip, const GBitmap*& image, uint8_t& mode) const;
    // The dispatch's one body; `path` holds the DrawPath flags of clip_render.cpp.
    void DrawClipPath(GBitmap* target, GClip& clip, unsigned path);
    // Calls draw(area, whole) for what the clip's dirty state asks: once with its own rect,
    // or once per dirty rectangle it crosses.
    template <class Draw>
    void ForEachDrawArea(const GClip& clip, Draw draw) const;
    // One visible clip drawn at its anchor position, inside bounds, moved by (dx, dy): the
    // step shared by RedrawAll, RedrawRegion and DrawToBitmap.
    void DrawPlaced(GBitmap* target, GClip& clip, const GRect& bounds, const GRect& customBounds,
                    int32_t dx, int32_t dy, bool keepRect);
    // The flush's body, for the plain and the no-mirror flavours.
    int Flush(GRect& io, uint8_t addIo, int16_t start, bool noMirror);
    int FirstIndex(int16_t start) const;

    uint8_t m_flag = 0;
    GDibSurface* m_target = nullptr;
    GDibSurface* m_backBuffer = nullptr;
    GBitmapTable* m_bitmapTable = nullptr;
    GClipArray* m_clips = nullptr;
    GRectArray* m_dirtyRects = nullptr;
    uint32_t m_backgroundColour = 0;
    uint8_t m_backgroundMode = 0;
};
