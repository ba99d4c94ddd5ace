#include "graphics/math/rotation.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "foundation/core/rect.h"
#include "foundation/image/bitmap.h"
#include "graphics/math/cubic.h"
#include "graphics/math/masked_image.h"
#include "graphics/math/vector2.h"
#include "graphics/store/bitmap_pool.h"
#include "graphics/store/graphics_resources.h"

namespace {

// Mask bytes by position, as the samplers read them.
struct GMaskedImage : GMaskedImageView {
    uint8_t Mask(int32_t x, int32_t y) const { return *MaskAt(x, y); }
};

struct GFiltered {
    int32_t c[3];
    int32_t m;
};

// 2 x 2 pixels from (sx, sy) with 8-bit weights.
struct GBilinear {
    static constexpr int32_t kBefore = 0;
    static constexpr int32_t kAfter = 1;
    static void Sample(const GMaskedImage& s, int32_t sx, int32_t sy, int32_t fx, int32_t fy,
                       GFiltered& out)
    {
        const int32_t w00 = (256 - fx) * (256 - fy);
        const int32_t w10 = fx * (256 - fy);
        const int32_t w11 = fx * fy;
        const int32_t w01 = (256 - fx) * fy;
        const uint8_t* p00 = s.Pixel(sx, sy);
        const uint8_t* p01 = s.Pixel(sx, sy + 1);
        for (int k = 0; k < 3; ++k)
            out.c[k] = (p00[k] * w00 + p00[k + 3] * w10 + p01[k + 3] * w11 + p01[k] * w01) >> 16;
        out.m = (s.Mask(sx, sy) * w00 + s.Mask(sx + 1, sy) * w10 + s.Mask(sx + 1, sy + 1) * w11 +
                 s.Mask(sx, sy + 1) * w01) >>
                16;
    }
};

// 4 x 4 pixels around (sx, sy), from one before to two after.
struct GCubic {
    static constexpr int32_t kBefore = 1;
    static constexpr int32_t kAfter = 2;
    static void Sample(const GMaskedImage& s, int32_t sx, int32_t sy, int32_t fx, int32_t fy,
                       GFiltered& out)
    {
        int32_t v[4];
        CubicSample(s, sx - 1, sy - 1, fx, fy, v);
        out.c[0] = v[0], out.c[1] = v[1], out.c[2] = v[2];
        out.m = v[3];
    }
};

// Target pixel (i, j) of the box -> source position in 16.16: the inverse turn about the pivot.
struct GTurnBack {
    double cosA, sinA;
    int32_t pivotX, pivotY;
    int32_t boxLeft, boxTop;

    GTurnBack(int32_t degrees, int32_t px, int32_t py, const GRotatedBox& box)
        : cosA(FloatCos(degrees)), sinA(FloatSin(degrees)), pivotX(px), pivotY(py),
          boxLeft(box.left), boxTop(box.top)
    {
    }
};

void ResolvePivot(int32_t w, int32_t h, int32_t& px, int32_t& py)
{
    if (px == -1 && py == -1) {
        px = w / 2;
        py = h / 2;
    }
}

// Walks box pixels i0..i0+w-1, j0..j0+h-1, turning each back; fixed point unless Float.
template <class Sampler, bool Float, class Sink>
void TurnWalk(const GMaskedImage& src, const GTurnBack& t, int32_t i0, int32_t j0, int32_t w,
              int32_t h, Sink& sink)
{
    const int64_t ca = std::llround(t.cosA * 65536.0);
    const int64_t sa = std::llround(t.sinA * 65536.0);
    GFiltered f;
    for (int32_t j = 0; j < h; ++j) {
        sink.Row(j);
        const int64_t Y = int64_t(t.boxTop) + j0 + j - t.pivotY;
        for (int32_t i = 0; i < w; ++i) {
            const int64_t X = int64_t(t.boxLeft) + i0 + i - t.pivotX;
            int64_t u, v;
            if constexpr (Float) {
                u = int64_t(std::floor((X * t.cosA + Y * t.sinA + t.pivotX) * 256.0));
                v = int64_t(std::floor((-X * t.sinA + Y * t.cosA + t.pivotY) * 256.0));
            } else {
                u = (ca * X + sa * Y + (int64_t(t.pivotX) << 16)) >> 8;
                v = (-sa * X + ca * Y + (int64_t(t.pivotY) << 16)) >> 8;
            }
            const int64_t sx = u >> 8;
            const int64_t sy = v >> 8;
            if (sx >= Sampler::kBefore && sx < src.w - Sampler::kAfter && sy >= Sampler::kBefore &&
                sy < src.h - Sampler::kAfter) {
                Sampler::Sample(src, int32_t(sx), int32_t(sy), int32_t(u & 255), int32_t(v & 255),
                                f);
                sink.Put(i, f);
            } else {
                sink.Skip(i);
            }
        }
    }
}

struct GCopySink {
    uint8_t* pixels;
    uint8_t* mask;
    int32_t w;
    bool withMask;
    uint8_t* row = nullptr;
    uint8_t* maskRow = nullptr;
    void Row(int32_t j)
    {
        row = pixels + size_t(j) * w * 3;
        maskRow = mask + size_t(j) * w;
    }
    void Put(int32_t i, const GFiltered& f)
    {
        for (int k = 0; k < 3; ++k)
            row[size_t(i) * 3 + k] = uint8_t(f.c[k]);
        if (withMask)
            maskRow[i] = uint8_t(f.m);
    }
    void Skip(int32_t i)
    {
        std::memset(row + size_t(i) * 3, 0, 3);
        if (withMask)
            maskRow[i] = 255;
    }
};

struct GMaskSink {
    uint8_t* first; // target pixel of box pixel (i0, j0)
    int32_t pitch;
    uint8_t* row = nullptr;
    void Row(int32_t j) { row = first + size_t(j) * pitch; }
    void Put(int32_t i, const GFiltered& f)
    {
        if (f.m >= 255)
            return;
        uint8_t* d = row + size_t(i) * 3;
        for (int k = 0; k < 3; ++k)
            d[k] = uint8_t(((d[k] - f.c[k]) * f.m >> 8) + f.c[k]);
    }
    void Skip(int32_t) {}
};

// The target area of a w x h picture at (x, y): cut to the target and the clip. False when
// nothing is left; else the first picture pixel (i0, j0) and the size.
bool ClipPlacement(const GBitmap* target, const GRect* clip, int32_t x, int32_t y, int32_t w,
                   int32_t h, int32_t& i0, int32_t& j0, int32_t& cw, int32_t& ch)
{
    int64_t l = x, t = y, r = int64_t(x) + w - 1, b = int64_t(y) + h - 1;
    l = std::max<int64_t>(l, 0);
    t = std::max<int64_t>(t, 0);
    r = std::min<int64_t>(r, target->GetWidth() - 1);
    b = std::min<int64_t>(b, target->GetHeight() - 1);
    if (clip) {
        l = std::max<int64_t>(l, clip->left);
        t = std::max<int64_t>(t, clip->top);
        r = std::min<int64_t>(r, clip->right);
        b = std::min<int64_t>(b, clip->bottom);
    }
    if (r < l || b < t)
        return false;
    i0 = int32_t(l - x);
    j0 = int32_t(t - y);
    cw = int32_t(r - l + 1);
    ch = int32_t(b - t + 1);
    return true;
}

bool DrawableTarget(const GBitmap* target)
{
    return target && target->GetBytesPerPixel() == 3 && target->GetPixels() &&
           target->GetPixelBlock()->GetSize() >=
               uint64_t(std::max<int32_t>(target->GetPitch(), 0)) *
                   std::max<int16_t>(target->GetHeight(), 0);
}

template <class Sampler, bool Float>
void DrawRotated(GBitmap* target, const GBitmap* source, int32_t x, int32_t y, int32_t degrees,
                 int32_t pivotX, int32_t pivotY, const GRect* clip)
{
    GMaskedImage src;
    GRotatedBox box;
    if (!DrawableTarget(target) || !src.Bind(source))
        return;
    ResolvePivot(src.w, src.h, pivotX, pivotY);
    if (!GetRotatedBox(src.w, src.h, degrees, pivotX, pivotY, box))
        return;
    int32_t i0, j0, cw, ch;
    if (!ClipPlacement(target, clip, x, y, box.width, box.height, i0, j0, cw, ch))
        return;
    GMaskSink sink{target->GetPixels() + size_t(y + j0) * target->GetPitch() + size_t(x + i0) * 3,
                   target->GetPitch()};
    TurnWalk<Sampler, Float>(src, GTurnBack(degrees, pivotX, pivotY, box), i0, j0, cw, ch, sink);
}

// Target (tx, ty) relative to the placement -> source column and row.
struct GQuarterClockwise {
    static int32_t Width(int32_t, int32_t h) { return h; }
    static int32_t Height(int32_t w, int32_t) { return w; }
    static void Source(int32_t i, int32_t j, int32_t w, int32_t h, int32_t& c, int32_t& r)
    {
        r = h - 1 - i;
        c = j;
    }
};
struct GQuarterBack {
    static int32_t Width(int32_t, int32_t h) { return h; }
    static int32_t Height(int32_t w, int32_t) { return w; }
    static void Source(int32_t i, int32_t j, int32_t w, int32_t h, int32_t& c, int32_t& r)
    {
        r = i;
        c = w - 1 - j;
    }
};
struct GTransposed {
    static int32_t Width(int32_t, int32_t h) { return h; }
    static int32_t Height(int32_t w, int32_t) { return w; }
    static void Source(int32_t i, int32_t j, int32_t w, int32_t h, int32_t& c, int32_t& r)
    {
        r = i;
        c = j;
    }
};

template <class Turn>
void BlitQuarter(GBitmap* target, const GBitmap* source, int32_t x, int32_t y, const GRect* clip)
{
    GMaskedImage src;
    if (!DrawableTarget(target) || !src.Bind(source))
        return;
    int32_t i0, j0, cw, ch;
    if (!ClipPlacement(target, clip, x, y, Turn::Width(src.w, src.h), Turn::Height(src.w, src.h),
                       i0, j0, cw, ch))
        return;
    for (int32_t j = 0; j < ch; ++j) {
        uint8_t* d =
            target->GetPixels() + size_t(y + j0 + j) * target->GetPitch() + size_t(x + i0) * 3;
        for (int32_t i = 0; i < cw; ++i, d += 3) {
            int32_t c, r;
            Turn::Source(i0 + i, j0 + j, src.w, src.h, c, r);
            const int32_t m = src.Mask(c, r);
            if (m == 255)
                continue;
            const uint8_t* s = src.Pixel(c, r);
            for (int k = 0; k < 3; ++k)
                d[k] = uint8_t(((d[k] - s[k]) * m >> 8) + s[k]);
        }
    }
}

} // namespace

bool GetRotatedBox(int32_t width, int32_t height, int32_t degrees, int32_t pivotX, int32_t pivotY,
                   GRotatedBox& box)
{
    if (width <= 0 || height <= 0)
        return false;
    ResolvePivot(width, height, pivotX, pivotY);
    const double c = FloatCos(degrees);
    const double s = FloatSin(degrees);
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    const double xs[4] = {0.0, double(width), 0.0, double(width)};
    const double ys[4] = {0.0, 0.0, double(height), double(height)};
    for (int i = 0; i < 4; ++i) {
        const double u = xs[i] - pivotX;
        const double v = ys[i] - pivotY;
        const double x = u * c - v * s + pivotX;
        const double y = u * s + v * c + pivotY;
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    // Table values are floats: a corner that should land on a whole pixel may miss it by a
    // hair, which must not widen the box by a pixel.
    constexpr double kSlack = 1e-4;
    box.left = int32_t(std::floor(minX + kSlack));
    box.top = int32_t(std::floor(minY + kSlack));
    box.width = std::max(1, int32_t(std::ceil(maxX - kSlack)) - box.left);
    box.height = std::max(1, int32_t(std::ceil(maxY - kSlack)) - box.top);
    return true;
}

int RotateCopy(GGraphicsResources& store, const GBitmap* source, int32_t degrees, int32_t pivotX,
               int32_t pivotY, int16_t* slot, bool withMask)
{
    GMaskedImage src;
    GRotatedBox box;
    if (!slot || !src.Bind(source))
        return 0;
    ResolvePivot(src.w, src.h, pivotX, pivotY);
    if (!GetRotatedBox(src.w, src.h, degrees, pivotX, pivotY, box) || box.width > 32767 ||
        box.height > 32767)
        return 0;
    const int16_t made = store.CreateBitmap(uint16_t(box.width), uint16_t(box.height), 0, 2,
                                            nullptr, nullptr, *slot);
    GBitmap* image = made >= 0 ? store.GetPool()->GetBitmap(made) : nullptr;
    if (!image || !image->GetPixels() || !image->GetAlpha())
        return 0;
    *slot = made;
    GCopySink sink{image->GetPixels(), image->GetAlpha(), box.width, withMask};
    TurnWalk<GBilinear, false>(src, GTurnBack(degrees, pivotX, pivotY, box), 0, 0, box.width,
                               box.height, sink);
    return 1;
}

void DrawRotatedBilinear(GBitmap* target, const GBitmap* source, int32_t x, int32_t y,
                         int32_t degrees, int32_t pivotX, int32_t pivotY, const GRect* clip)
{
    DrawRotated<GBilinear, false>(target, source, x, y, degrees, pivotX, pivotY, clip);
}

void DrawRotatedCubic(GBitmap* target, const GBitmap* source, int32_t x, int32_t y, int32_t degrees,
                      int32_t pivotX, int32_t pivotY, const GRect* clip)
{
    DrawRotated<GCubic, false>(target, source, x, y, degrees, pivotX, pivotY, clip);
}

void DrawRotatedFloat(GBitmap* target, const GBitmap* source, int32_t x, int32_t y, int32_t degrees,
                      int32_t pivotX, int32_t pivotY, const GRect* clip)
{
    DrawRotated<GBilinear, true>(target, source, x, y, degrees, pivotX, pivotY, clip);
}

void BlitMaskQuarterTurn(GBitmap* target, const GBitmap* source, int32_t x, int32_t y,
                         const GRect* clip)
{
    BlitQuarter<GQuarterClockwise>(target, source, x, y, clip);
}

void BlitMaskQuarterTurnBack(GBitmap* target, const GBitmap* source, int32_t x, int32_t y,
                             const GRect* clip)
{
    BlitQuarter<GQuarterBack>(target, source, x, y, clip);
}

void BlitMaskTransposed(GBitmap* target, const GBitmap* source, int32_t x, int32_t y,
                        const GRect* clip)
{
    BlitQuarter<GTransposed>(target, source, x, y, clip);
}
