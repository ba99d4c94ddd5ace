#pragma once
// GBitmapClip: the clip that draws itself (draw mode 15). An image of the bitmap store,
// centred on the clip position, turned by whole degrees, scaled as a whole (scale) and along
// each axis (scale x, scale y), blended with the global alpha or added onto the target, and
// placed with sub-pixel precision.
//
// Update computes the inverse mapping (target step -> source step, 16.16), the transformed
// picture's box and the clip's screen rectangle. Draw either samples the source directly
// (bilinear, through the inverse mapping) or, with the buffered flag, renders the picture once
// into a private buffer (bilinear or cubic) and blits that with the plain mask kernels until
// the transform changes.
//
// Scales are 8.8 (256 = 1). A scale outside 1..65536 (1/256 to 256 times) describes no
// picture: the clip then draws nothing. Every draw stays inside the clip's current rectangle,
// the clip rectangle given and the target. Sources must be 24-bit images with a mask; others
// draw nothing.
//
// Owns its buffer; observes the bitmap table. Main thread only.

#include <cstdint>
#include <memory>

#include "foundation/core/rect.h"
#include "graphics/scene/clip.h"

class GBitmap;
class GBitmapTable;

constexpr int32_t kMinClipScale = 1;
constexpr int32_t kMaxClipScale = 65536;

class GBitmapClip : public GClip {
public:
    GBitmapClip();
    ~GBitmapClip() override;

    void Update() override;
    void Draw(GBitmap* target, const GRect& clipRect) override { Draw(target, &clipRect); }
    // clipRect null: the whole target.
    void Draw(GBitmap* target, const GRect* clipRect);

    void SetResources(const GBitmapTable* resources) { m_resources = resources; }
    const GBitmapTable* GetResources() const { return m_resources; }

    bool IsAdditive() const { return m_additive != 0; }
    void SetAdditive(bool on) { m_additive = on; }
    bool IsBuffered() const { return m_buffered != 0; }
    void SetBuffered(bool on) { m_buffered = on; }
    bool IsCubic() const { return m_cubic != 0; }
    void SetCubic(bool on) { m_cubic = on; }
    int32_t GetAngle() const { return m_angle; }
    void SetAngle(int32_t degrees) { m_angle = degrees; }
    int32_t GetScale() const { return m_scale; }
    void SetScale(int32_t scale) { m_scale = scale; }
    int32_t GetScaleX() const { return m_scaleX; }
    int32_t GetScaleY() const { return m_scaleY; }
    void SetScaleX(int32_t scale) { m_scaleX = scale; }
    void SetScaleY(int32_t scale) { m_scaleY = scale; }
    // Copies both coordinates into the clip position (24.8).
    void SetXY(int32_t x, int32_t y) { SetPosition(x, y); }

    // The transformed picture's box relative to the source's top-left pixel, from the last
    // update: left and top inclusive, right and bottom one past.
    const GRect& GetBounds() const { return m_bounds; }
    const GBitmap* GetBuffer() const { return m_buffer.get(); }
    int32_t GetBufferScale() const { return m_bufferScale; }
    // Inverse mapping a, b, c, d (16.16) of the last update.
    int64_t GetMapA() const { return m_a; }
    int64_t GetMapB() const { return m_b; }
    int64_t GetMapC() const { return m_c; }
    int64_t GetMapD() const { return m_d; }
    int32_t GetHalfWidth() const { return m_halfWidth; }
    int32_t GetHalfHeight() const { return m_halfHeight; }

private:
    const GBitmap* Source() const;
    bool HasPicture() const;
    void ComputeMapping();
    void ComputeBoundsAndRect(const GBitmap* source);
    // Creates the buffer when there is none or the picture outgrew it; true when it is new.
    bool PrepareBuffer(const GBitmap* source);
    void RenderBuffer(const GBitmap* source);
    void DrawDirect(GBitmap* target, const GBitmap* source, const GRect& part);

    uint32_t m_additive = 0;
    uint32_t m_buffered = 0;
    uint32_t m_cubic = 0;
    int32_t m_angle = 0;
    int32_t m_scale = 256;
    int32_t m_scaleX = 256;
    int32_t m_scaleY = 256;
    int32_t m_halfWidth = 0;
    int32_t m_halfHeight = 0;
    int32_t m_prevAngle = -1;
    int32_t m_prevScale = 256;
    int32_t m_prevScaleX = -1;
    int32_t m_prevScaleY = -1;
    uint32_t m_prevCubic = 0;
    GRect m_bounds;
    int32_t m_bufferScale = 256;
    // 16.16, kept in 64 bits: at the smallest scales a step is 2^32.
    int64_t m_a = 0, m_b = 0, m_c = 0, m_d = 0;
    int64_t m_e = 0, m_f = 0, m_g = 0, m_h = 0;
    GRect m_drawingLimit; // area of the direct draw in progress
    std::unique_ptr<GBitmap> m_buffer;
    const GBitmapTable* m_resources = nullptr;
};

// The additive blit: the source placed at (x, y), each unmasked pixel added with weight
// (255 - m) * alpha / 65536, saturating at 255. clip (inclusive) null: the whole source.
void BlitMaskAdd(GBitmap* dst, const GBitmap* src, int32_t x, int32_t y, uint8_t alpha,
                 const GRect* clip);

// Sharpens a 24-bit image in place: every pixel but the first two rows and columns and the
// last row and column becomes (2048 c - 246 x edge neighbours - 9 x corner neighbours) >> 10,
// clamped. False (nothing changed) for other images or when memory runs out.
bool SharpenImage(GBitmap* image);

// Resizes a 24-bit image into another of any size by area averaging: each target pixel is
// the mean of the source area it covers, weighted by coverage in 4.12 fixed point. False for
// images without 24-bit pixels.
bool ResizeAreaAverage(const GBitmap* src, GBitmap* dst);
