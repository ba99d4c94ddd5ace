#include "graphics/animation/bitmap_clip.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "foundation/image/bitmap.h"
#include "graphics/blit/kernel_area.h"
#include "graphics/blit/kernels.h"
#include "graphics/math/cubic.h"
#include "graphics/math/masked_image.h"
#include "graphics/math/fixed_math.h"
#include "graphics/store/bitmap_table.h"

namespace {

// Buffers above this side (far beyond the screen) are not made: the picture is then sampled
// directly each frame, which touches only the pixels on screen.
constexpr int64_t kMaxBufferSide = 2048;

using GSourceView = GMaskedImageView;
using kernel_detail::BlockHolds;

// A sample: blue, green, red, mask.
struct GSample {
    int32_t c[3];
    int32_t m;
};

// Bilinear between the 2 x 2 pixels at (sx, sy): each row is blended by fx, then the rows by
// fy, every step floored. Needs 0 <= sx < w - 1 and 0 <= sy < h - 1.
struct GBilinearSampler {
    static constexpr int32_t kReach = 1; // pixels beyond the sample position it reads

    // All four masks 255: the sample is fully transparent.
    static bool Transparent(const GSourceView& s, int32_t sx, int32_t sy)
    {
        const uint8_t* m0 = s.mask + size_t(sy) * s.w + sx;
        return (m0[0] & m0[1] & m0[s.w] & m0[s.w + 1]) == 255;
    }

    static void Sample(const GSourceView& s, int32_t sx, int32_t sy, int32_t fx, int32_t fy,
                       GSample& out)
    {
        const uint8_t* p0 = s.pixels + size_t(sy) * s.pitch + size_t(sx) * 3;
        const uint8_t* p1 = p0 + s.pitch;
        for (int k = 0; k < 3; ++k) {
            const int32_t top = p0[k] + ((p0[k + 3] - p0[k]) * fx >> 8);
            const int32_t bottom = p1[k] + ((p1[k + 3] - p1[k]) * fx >> 8);
            out.c[k] = top + ((bottom - top) * fy >> 8);
        }
        const uint8_t* m0 = s.mask + size_t(sy) * s.w + sx;
        const uint8_t* m1 = m0 + s.w;
        const int32_t top = m0[0] + ((m0[1] - m0[0]) * fx >> 8);
        const int32_t bottom = m1[0] + ((m1[1] - m1[0]) * fx >> 8);
        out.m = top + ((bottom - top) * fy >> 8);
    }
};

// 4 x 4 pixels from (sx, sy): rows reduced with fx, then the row results (unclamped) with fy.
// The sample lies between the second and third pixel of each run.
struct GCubicSampler {
    static constexpr int32_t kReach = 3;
    static bool Transparent(const GSourceView&, int32_t, int32_t) { return false; }

    static void Sample(const GSourceView& s, int32_t sx, int32_t sy, int32_t fx, int32_t fy,
                       GSample& out)
    {
        int32_t v[4];
        CubicSample(s, sx, sy, fx, fy, v);
        out.c[0] = v[0], out.c[1] = v[1], out.c[2] = v[2];
        out.m = v[3];
    }
};

// Pixel rules of the walk. Put receives a sample inside the source; SkipRange the positions
// of a row outside it. A rule that skips transparent samples is spared their filtering.
// Blends (d + (c - d) k >> 16) or adds (min(255, d + c k >> 16)) with k = (255 - m) alpha.
template <bool Add>
struct GMixRule {
    static constexpr bool kSkipsTransparent = true;
    uint8_t* row = nullptr;
    int32_t alpha = 255;
    void Put(int32_t i, const GSample& s)
    {
        int32_t k = 255 - s.m;
        if (k <= 0)
            return;
        k *= alpha;
        uint8_t* d = row + size_t(i) * 3;
        for (int c = 0; c < 3; ++c) {
            if constexpr (Add)
                d[c] = uint8_t(std::min(255, d[c] + (s.c[c] * k >> 16)));
            else
                d[c] = uint8_t(d[c] + ((s.c[c] - d[c]) * k >> 16));
        }
    }
    void SkipRange(int32_t, int32_t) {}
};
using GBlendRule = GMixRule<false>;
using GAddRule = GMixRule<true>;

// Renders into the buffer: outside the source the pixel is black and transparent.
struct GStoreRule {
    static constexpr bool kSkipsTransparent = false;
    uint8_t* row = nullptr;
    uint8_t* maskRow = nullptr;
    void Put(int32_t i, const GSample& s)
    {
        uint8_t* d = row + size_t(i) * 3;
        d[0] = uint8_t(s.c[0]);
        d[1] = uint8_t(s.c[1]);
        d[2] = uint8_t(s.c[2]);
        maskRow[i] = uint8_t(s.m);
    }
    void SkipRange(int32_t from, int32_t to)
    {
        if (to <= from)
            return;
        std::memset(row + size_t(from) * 3, 0, size_t(to - from) * 3);
        std::memset(maskRow + from, 255, size_t(to - from));
    }
};

struct GInverseMap {
    int64_t a, b, c, d;
    int32_t hw, hh;
};

// The i of a row for which lo <= (p0 + i * step) >> 16 < hi, as a real interval (may be
// empty or unbounded).
void RowInterval(int64_t p0, int64_t step, int64_t lo, int64_t hi, double& first, double& last)
{
    const double a = double(lo) * 65536.0 - double(p0);
    const double b = double(hi) * 65536.0 - double(p0);
    if (step == 0) {
        const bool in = a <= 0 && b > 0;
        first = in ? -1e18 : 1e18;
        last = in ? 1e18 : -1e18;
        return;
    }
    first = std::min(a / double(step), b / double(step));
    last = std::max(a / double(step), b / double(step));
}

// The inverse walk over w x h target pixels whose first pixel is box position (bx0, by0):
// u = a X - c Y, v = d X + b Y with (X, Y) the box position less the half sizes; one pixel
// right adds (a, d), one row down (-c, b). The source pixel is (u >> 16) + hw, (v >> 16) + hh
// with 8-bit fractions. rowAt(j) points the rule at target row j.
//
// Along a row the pixels whose sample lies inside the source form one run (the intersection
// of two intervals), so each row finds its run first, from a slightly widened floating-point
// estimate trimmed with the exact test, and the loop over the run tests nothing.
template <class Sampler, class Rule, class RowAt>
void WalkInverse(const GSourceView& src, const GInverseMap& m, int32_t bx0, int32_t by0, int32_t w,
                 int32_t h, Rule& rule, RowAt rowAt)
{
    const int64_t hiX = int64_t(src.w) - Sampler::kReach - m.hw;
    const int64_t hiY = int64_t(src.h) - Sampler::kReach - m.hh;
    GSample sample;
    for (int32_t j = 0; j < h; ++j) {
        rowAt(rule, j);
        const int64_t X = int64_t(bx0) - m.hw;
        const int64_t Y = int64_t(by0) + j - m.hh;
        const int64_t u0 = m.a * X - m.c * Y;
        const int64_t v0 = m.d * X + m.b * Y;
        const auto inside = [&](int64_t i) {
            const int64_t su = (u0 + i * m.a) >> 16;
            const int64_t sv = (v0 + i * m.d) >> 16;
            return su >= -m.hw && su < hiX && sv >= -m.hh && sv < hiY;
        };
        double fu, lu, fv, lv;
        RowInterval(u0, m.a, -m.hw, hiX, fu, lu);
        RowInterval(v0, m.d, -m.hh, hiY, fv, lv);
        int64_t first = int64_t(std::clamp(std::ceil(std::max(fu, fv)) - 2, 0.0, double(w)));
        int64_t end = int64_t(std::clamp(std::floor(std::min(lu, lv)) + 3, 0.0, double(w)));
        while (first < end && !inside(first))
            ++first;
        while (end > first && !inside(end - 1))
            --end;
        rule.SkipRange(0, int32_t(first));
        int64_t u = u0 + first * m.a;
        int64_t v = v0 + first * m.d;
        for (int64_t i = first; i < end; ++i, u += m.a, v += m.d) {
            const int32_t sx = int32_t((u >> 16) + m.hw);
            const int32_t sy = int32_t((v >> 16) + m.hh);
            if constexpr (Rule::kSkipsTransparent) {
                if (Sampler::Transparent(src, sx, sy))
                    continue;
            }
            Sampler::Sample(src, sx, sy, int32_t(u >> 8) & 255, int32_t(v >> 8) & 255, sample);
            rule.Put(int32_t(i), sample);
        }
        rule.SkipRange(int32_t(end), w);
    }
}

bool ValidScale(int32_t s)
{
    return s >= kMinClipScale && s <= kMaxClipScale;
}

} // namespace

GBitmapClip::GBitmapClip()
{
    SetDrawMode(dmCustom);
    SetAlpha(255);
    SetPrevFrame(-256);
}

GBitmapClip::~GBitmapClip() = default;

const GBitmap* GBitmapClip::Source() const
{
    return m_resources ? m_resources->FindSlot(GetFrame() >> 8) : nullptr;
}

bool GBitmapClip::HasPicture() const
{
    return ValidScale(m_scale) && ValidScale(m_scaleX) && ValidScale(m_scaleY);
}

void GBitmapClip::ComputeMapping()
{
    if (!HasPicture()) {
        m_a = m_b = m_c = m_d = m_e = m_f = m_g = m_h = 0;
        return;
    }
    const int64_t cs = IntSin(450 - m_angle); // 65536 cos
    const int64_t sn = IntSin(360 - m_angle); // -65536 sin
    const int64_t inv = 65536 / m_scale;
    m_a = (cs * 256 / m_scaleX) * inv >> 8;
    m_b = (cs * 256 / m_scaleY) * inv >> 8;
    m_c = (sn * 256 / m_scaleX) * inv >> 8;
    m_d = (sn * 256 / m_scaleY) * inv >> 8;
    m_e = ((cs * m_scaleX) >> 8) * m_scale >> 8;
    m_f = ((cs * m_scaleY) >> 8) * m_scale >> 8;
    m_g = ((sn * m_scaleX) >> 8) * m_scale >> 8;
    m_h = ((sn * m_scaleY) >> 8) * m_scale >> 8;
}

void GBitmapClip::ComputeBoundsAndRect(const GBitmap* source)
{
    const int64_t w = source ? source->GetWidth() : 0;
    const int64_t h = source ? source->GetHeight() : 0;
    m_halfWidth = int32_t(w / 2);
    m_halfHeight = int32_t(h / 2);
    int64_t l = 0, t = 0, r = 0, b = 0;
    if (!HasPicture()) {
        // Nothing to show: an empty box.
    } else if (m_angle == 0) {
        const int64_t sw = (w * m_scaleX >> 8) * m_scale >> 9;
        const int64_t sh = (h * m_scaleY >> 8) * m_scale >> 9;
        l = m_halfWidth - sw;
        t = m_halfHeight - sh;
        r = m_halfWidth + sw;
        b = m_halfHeight + sh;
    } else {
        const int64_t cx[4] = {0, w, 0, w};
        const int64_t cy[4] = {0, 0, h, h};
        int64_t minX = INT64_MAX, minY = INT64_MAX, maxX = INT64_MIN, maxY = INT64_MIN;
        for (int i = 0; i < 4; ++i) {
            const int64_t u = cx[i] - m_halfWidth;
            const int64_t v = cy[i] - m_halfHeight;
            const int64_t x = m_e * u + m_h * v + int64_t(m_halfWidth) * 65536;
            const int64_t y = m_f * v - m_g * u + int64_t(m_halfHeight) * 65536;
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
        l = minX >> 16;
        t = minY >> 16;
        r = (maxX >> 16) + 1;
        b = (maxY >> 16) + 1;
    }
    const auto clamp16 = [](int64_t v) {
        return int16_t(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX));
    };
    m_bounds.Set(clamp16(l), clamp16(t), clamp16(r), clamp16(b));

    const int64_t bw = int64_t(m_bounds.right) - m_bounds.left;
    const int64_t bh = int64_t(m_bounds.bottom) - m_bounds.top;
    const int64_t left = int64_t(GetX() >> 8) - bw / 2;
    const int64_t top = int64_t(GetY() >> 8) - bh / 2;
    const int64_t right = std::max(left, left + bw - 2);
    const int64_t bottom = std::max(top, top + bh - 2);
    const auto clamp32 = [](int64_t v) {
        return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    };
    GetRect().SetClamped(clamp32(left), clamp32(top), clamp32(right), clamp32(bottom));
}

bool GBitmapClip::PrepareBuffer(const GBitmap* source)
{
    const int64_t bw = int64_t(m_bounds.right) - m_bounds.left;
    const int64_t bh = int64_t(m_bounds.bottom) - m_bounds.top;
    if (m_buffer &&
        (m_scale > m_bufferScale || bw > m_buffer->GetWidth() || bh > m_buffer->GetHeight()))
        m_buffer.reset();
    if (m_buffer)
        return false;
    if (!source || !HasPicture())
        return false;
    m_bufferScale = std::max(m_scale, 256);
    const uint32_t w = uint32_t(source->GetWidth());
    const uint32_t h = uint32_t(source->GetHeight());
    int64_t side = ((int64_t(ISqrt(w * w + h * h)) + 1) * m_bufferScale >> 8) + 1;
    // The per-axis scales can stretch the picture beyond the diagonal: the box decides too.
    side = std::max({side, bw, bh});
    if (side > kMaxBufferSide)
        return false;
    m_buffer = GBitmap::Create(int16_t(side), int16_t(side), 0, dmAlphaMask);
    if (m_buffer && (!m_buffer->GetPixels() || !m_buffer->GetAlpha()))
        m_buffer.reset();
    return m_buffer != nullptr;
}

void GBitmapClip::RenderBuffer(const GBitmap* source)
{
    GSourceView src;
    if (!m_buffer)
        return;
    const int32_t side = m_buffer->GetWidth();
    uint8_t* pixels = m_buffer->GetPixels();
    uint8_t* mask = m_buffer->GetAlpha();
    if (!src.Bind(source)) {
        std::memset(pixels, 0, size_t(side) * side * 3);
        std::memset(mask, 255, size_t(side) * side);
        return;
    }
    const int32_t bw = int32_t(m_bounds.right) - m_bounds.left;
    const int32_t bh = int32_t(m_bounds.bottom) - m_bounds.top;
    const GInverseMap map{m_a, m_b, m_c, m_d, m_halfWidth, m_halfHeight};
    GStoreRule rule;
    const auto rowAt = [&](GStoreRule& r, int32_t j) {
        r.row = pixels + size_t(j) * side * 3;
        r.maskRow = mask + size_t(j) * side;
    };
    if (m_cubic)
        WalkInverse<GCubicSampler>(src, map, m_bounds.left, m_bounds.top, bw, bh, rule, rowAt);
    else
        WalkInverse<GBilinearSampler>(src, map, m_bounds.left, m_bounds.top, bw, bh, rule, rowAt);
}

void GBitmapClip::Update()
{
    if (!IsVisible() && !WasVisible())
        return;
    // Most clips are updated every frame with an angle long in range: no division for them.
    if (m_angle < 0 || m_angle >= 360) {
        m_angle %= 360;
        if (m_angle < 0)
            m_angle += 360;
    }
    if (m_angle == m_prevAngle && GetX() == GetPrevX() && GetY() == GetPrevY() &&
        m_scale == m_prevScale && GetFrame() == GetPrevFrame() && m_scaleX == m_prevScaleX &&
        m_scaleY == m_prevScaleY && m_cubic == m_prevCubic) {
        // Nothing moved.
    } else {
        bool changed = m_cubic != m_prevCubic;
        if (GetFrame() != GetPrevFrame() || changed) {
            m_buffer.reset();
            changed = true;
        }
        if (changed || m_angle != m_prevAngle || m_scale != m_prevScale ||
            m_scaleX != m_prevScaleX || m_scaleY != m_prevScaleY) {
            ComputeMapping();
            changed = true;
            SetPrevFrame(-256);
        }
        const GBitmap* source = Source();
        ComputeBoundsAndRect(source);
        if (m_buffered) {
            // A new buffer is always rendered: it must never show what its memory held.
            if (PrepareBuffer(source) || changed)
                RenderBuffer(source);
        }
    }
    m_prevCubic = m_cubic;
    m_prevAngle = m_angle;
    m_prevScale = m_scale;
    m_prevScaleX = m_scaleX;
    m_prevScaleY = m_scaleY;
}

void GBitmapClip::Draw(GBitmap* target, const GRect* clipRect)
{
    if (!target || !target->GetPixels() || !HasPicture())
        return;
    const int32_t tw = target->GetWidth();
    const int32_t th = target->GetHeight();
    if (tw <= 0 || th <= 0)
        return;
    GRect area;
    if (clipRect) {
        area.Set(std::max<int16_t>(clipRect->left, 0), std::max<int16_t>(clipRect->top, 0),
                 int16_t(std::min<int32_t>(clipRect->right, tw - 1)),
                 int16_t(std::min<int32_t>(clipRect->bottom, th - 1)));
    } else {
        area.Set(0, 0, int16_t(tw - 1), int16_t(th - 1));
    }
    GRect part;
    if (area.IsEmpty() || GetRect().IsEmpty() || !IntersectRects(part, GetRect(), area))
        return;
    const GBitmap* source = Source();
    const int16_t L = GetRect().left;
    const int16_t T = GetRect().top;
    const int16_t fx = int16_t(GetX() & 255);
    const int16_t fy = int16_t(GetY() & 255);
    const uint8_t alpha = GetAlpha();

    if (m_buffered && m_buffer) {
        if (IsSubPixel())
            BlitMaskAlphaSubPixel(target, m_buffer.get(), L, T, fx, fy, alpha, &part);
        else if (m_additive)
            BlitMaskAdd(target, m_buffer.get(), L, T, alpha, &part);
        else
            BlitMaskAlpha(target, m_buffer.get(), L, T, alpha, &part);
        return;
    }
    if (!source)
        return;
    if (m_angle == 0 && m_scale == 256) {
        // The picture covers its rectangle but for the last column and row. That edge is the
        // rectangle's own: an area that cuts the picture elsewhere (a dirty rectangle over
        // part of it) takes nothing more off, or each partial redraw would leave a seam.
        GRect drawn = GetRect();
        if (drawn.right > drawn.left)
            --drawn.right;
        if (drawn.bottom > drawn.top)
            --drawn.bottom;
        if (!IntersectRects(part, drawn, area))
            return;
        using SubPixelKernel = void (*)(GBitmap*, const GBitmap*, int16_t, int16_t, int16_t,
                                        int16_t, uint8_t, const GRect*);
        using AlphaKernel =
            void (*)(GBitmap*, const GBitmap*, int16_t, int16_t, uint8_t, const GRect*);
        static constexpr SubPixelKernel kSubPixel[4] = {
            BlitMaskAlphaSubPixel, BlitMaskAlphaSubPixelMirror, BlitMaskAlphaSubPixelFlip,
            BlitMaskAlphaSubPixelFlipMirror};
        static constexpr AlphaKernel kAlpha[4] = {BlitMaskAlpha, BlitMaskAlphaMirror,
                                                  BlitMaskAlphaFlip, BlitMaskAlphaFlipMirror};
        const uint8_t o = GetOrientation();
        if (o > 3)
            return;
        if (IsSubPixel())
            kSubPixel[o](target, source, L, T, fx, fy, alpha, &part);
        else
            kAlpha[o](target, source, L, T, alpha, &part);
        return;
    }
    DrawDirect(target, source, part);
}

void GBitmapClip::DrawDirect(GBitmap* target, const GBitmap* source, const GRect& part)
{
    GSourceView src;
    if (!src.Bind(source) || target->GetBytesPerPixel() != 3)
        return;
    const GInverseMap map{m_a, m_b, m_c, m_d, m_halfWidth, m_halfHeight};
    const int32_t bx0 = m_bounds.left + (part.left - GetRect().left);
    const int32_t by0 = m_bounds.top + (part.top - GetRect().top);
    uint8_t* first = target->GetPixels() + size_t(part.left) * 3;
    const int32_t pitch = target->GetPitch();
    const int32_t top = part.top;
    const auto walk = [&](auto& rule) {
        WalkInverse<GBilinearSampler>(
            src, map, bx0, by0, part.Width(), part.Height(), rule,
            [&](auto& r, int32_t j) { r.row = first + size_t(top + j) * pitch; });
    };
    m_drawingLimit = part;
    if (m_additive) {
        GAddRule rule;
        rule.alpha = GetAlpha();
        walk(rule);
    } else {
        GBlendRule rule;
        rule.alpha = GetAlpha();
        walk(rule);
    }
}

void BlitMaskAdd(GBitmap* dst, const GBitmap* src, int32_t x, int32_t y, uint8_t alpha,
                 const GRect* clip)
{
    GSourceView s;
    if (!dst || !dst->GetPixels() || dst->GetBytesPerPixel() != 3 || !s.Bind(src))
        return;
    // The drawn area: the clip (or the whole placement), cut to the placement and the target.
    int32_t l = clip ? clip->left : x;
    int32_t t = clip ? clip->top : y;
    int32_t r = clip ? clip->right : x + s.w - 1;
    int32_t b = clip ? clip->bottom : y + s.h - 1;
    l = std::max({l, x, 0});
    t = std::max({t, y, 0});
    r = std::min({r, x + s.w - 1, int32_t(dst->GetWidth()) - 1});
    b = std::min({b, y + s.h - 1, int32_t(dst->GetHeight()) - 1});
    GAddRule rule;
    rule.alpha = alpha;
    for (int32_t ty = t; ty <= b; ++ty) {
        rule.row = dst->GetPixels() + size_t(ty) * dst->GetPitch() + size_t(l) * 3;
        const uint8_t* p = s.pixels + size_t(ty - y) * s.pitch + size_t(l - x) * 3;
        const uint8_t* m = s.mask + size_t(ty - y) * s.w + (l - x);
        for (int32_t i = 0; i <= r - l; ++i)
            rule.Put(i, GSample{{p[3 * i], p[3 * i + 1], p[3 * i + 2]}, m[i]});
    }
}

bool SharpenImage(GBitmap* image)
{
    if (!image || image->GetBytesPerPixel() != 3 || !image->GetPixels())
        return false;
    const int32_t w = image->GetWidth();
    const int32_t h = image->GetHeight();
    const int32_t pitch = image->GetPitch();
    uint8_t* pixels = image->GetPixels();
    if (w <= 0 || h <= 0 || !BlockHolds(image->GetPixelBlock(), pixels, size_t(pitch) * h))
        return false;
    std::vector<uint8_t> copy;
    try {
        copy.assign(pixels, pixels + size_t(pitch) * h);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (int32_t y = 2; y < h - 1; ++y) {
        for (int32_t x = 2; x < w - 1; ++x) {
            for (int c = 0; c < 3; ++c) {
                const auto at = [&](int32_t dx, int32_t dy) {
                    return int32_t(pixels[size_t(y + dy) * pitch + size_t(x + dx) * 3 + c]);
                };
                const int32_t edges = at(-1, 0) + at(1, 0) + at(0, -1) + at(0, 1);
                const int32_t corners = at(-1, -1) + at(1, -1) + at(-1, 1) + at(1, 1);
                copy[size_t(y) * pitch + size_t(x) * 3 + c] =
                    uint8_t(ClampByte((2048 * at(0, 0) - 246 * edges - 9 * corners) >> 10));
            }
        }
    }
    std::memcpy(pixels, copy.data(), copy.size());
    return true;
}

namespace {

// For each target index along one axis, the source indices its footprint covers and their
// weights in 4.12 fixed point (summing to 4096).
struct GCoverage {
    std::vector<int32_t> first; // per target index: offset into the entries
    std::vector<int32_t> source;
    std::vector<int32_t> weight;
};

GCoverage AxisCoverage(int32_t srcSize, int32_t dstSize)
{
    GCoverage cov;
    const double step = double(srcSize) / dstSize;
    for (int32_t t = 0; t < dstSize; ++t) {
        cov.first.push_back(int32_t(cov.source.size()));
        const double a = t * step;
        const double b = a + step;
        int32_t sum = 0;
        const int32_t s0 = int32_t(a);
        const int32_t s1 = std::min(srcSize - 1, int32_t(std::ceil(b)) - 1);
        for (int32_t s = s0; s <= s1; ++s) {
            const double overlap = std::min(b, s + 1.0) - std::max(a, double(s));
            const int32_t wgt = int32_t(overlap / step * 4096.0 + 0.5);
            cov.source.push_back(s);
            cov.weight.push_back(wgt);
            sum += wgt;
        }
        cov.weight.back() += 4096 - sum; // rounding goes to the last covered pixel
    }
    cov.first.push_back(int32_t(cov.source.size()));
    return cov;
}

} // namespace

bool ResizeAreaAverage(const GBitmap* src, GBitmap* dst)
{
    if (!src || !dst || src->GetBytesPerPixel() != 3 || dst->GetBytesPerPixel() != 3 ||
        !src->GetPixels() || !dst->GetPixels())
        return false;
    const int32_t sw = src->GetWidth(), sh = src->GetHeight();
    const int32_t dw = dst->GetWidth(), dh = dst->GetHeight();
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0 ||
        !BlockHolds(src->GetPixelBlock(), src->GetPixels(), size_t(src->GetPitch()) * sh) ||
        !BlockHolds(dst->GetPixelBlock(), dst->GetPixels(), size_t(dst->GetPitch()) * dh))
        return false;
    try {
        const GCoverage cx = AxisCoverage(sw, dw);
        const GCoverage cy = AxisCoverage(sh, dh);
        for (int32_t ty = 0; ty < dh; ++ty) {
            uint8_t* out = dst->GetPixels() + size_t(ty) * dst->GetPitch();
            for (int32_t tx = 0; tx < dw; ++tx) {
                int64_t acc[3] = {0, 0, 0};
                for (int32_t j = cy.first[ty]; j < cy.first[ty + 1]; ++j) {
                    const uint8_t* row = src->GetPixels() + size_t(cy.source[j]) * src->GetPitch();
                    for (int32_t i = cx.first[tx]; i < cx.first[tx + 1]; ++i) {
                        const int64_t wgt = int64_t(cy.weight[j]) * cx.weight[i];
                        const uint8_t* p = row + size_t(cx.source[i]) * 3;
                        for (int c = 0; c < 3; ++c)
                            acc[c] += wgt * p[c];
                    }
                }
                for (int c = 0; c < 3; ++c)
                    out[size_t(tx) * 3 + c] =
                        uint8_t(ClampByte(int32_t((acc[c] + (1 << 23)) >> 24)));
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}
