#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "foundation/image/bitmap.h"
#include "graphics/animation/bitmap_clip.h"
#include "graphics/store/bitmap_table.h"

namespace {

class Table : public GBitmapTable {
public:
    // A w x h image with a mask in slot 0, random bytes (masks mostly opaque, some edges soft).
    GBitmap* Put(int16_t w, int16_t h, uint32_t seed = 1) {
        m_image = GBitmap::Create(w, h, 0, 2);
        std::mt19937 rng(seed);
        for (int i = 0; m_image->GetPixels() && i < w * h * 3; ++i)
            m_image->GetPixels()[i] = uint8_t(rng());
        for (int i = 0; m_image->GetPixels() && i < w * h; ++i)
            m_image->GetAlpha()[i] = (rng() % 4 == 0) ? uint8_t(rng()) : 0;
        return m_image.get();
    }
    GBitmap* GetBitmap(int32_t slot) const override { return slot == 0 ? m_image.get() : nullptr; }
    int32_t GetSlotCount() const override { return 1; }

private:
    std::unique_ptr<GBitmap> m_image;
};

std::unique_ptr<GBitmap> Target(int16_t w, int16_t h, uint32_t seed) {
    std::unique_ptr<GBitmap> t(GBitmap::Create(w, h, 0, 0));
    std::mt19937 rng(seed);
    std::generate_n(t->GetPixels(), w * h * 3, [&] { return uint8_t(rng()); });
    return t;
}

struct ClipFixture {
    Table table;
    GBitmapClip clip;
    ClipFixture(int16_t w, int16_t h) {
        table.Put(w, h);
        clip.SetResources(&table), clip.SetVisible(true), clip.SetPosition(100 << 8, 80 << 8);
    }
    void Transform(int32_t angle, int32_t scale, int32_t sx = 256, int32_t sy = 256) {
        clip.SetAngle(angle), clip.SetScale(scale), clip.SetScaleX(sx), clip.SetScaleY(sy);
        clip.Update();
    }
};

TEST(BitmapClipTest, DocumentedBoundsAndRectangles) {
    ClipFixture f(100, 60);
    f.clip.SetPosition(400 << 8, 300 << 8);
    f.Transform(0, 256);
    EXPECT_EQ(f.clip.GetBounds(), (GRect{0, 0, 100, 60}));
    EXPECT_EQ(f.clip.GetRect(), (GRect{350, 270, 448, 328}));
    f.clip.SetBuffered(true);
    f.Transform(0, 512);
    EXPECT_EQ(f.clip.GetBounds(), (GRect{-50, -30, 150, 90}));
    ASSERT_NE(f.clip.GetBuffer(), nullptr);
    EXPECT_EQ(f.clip.GetBuffer()->GetWidth(), 235);
    f.Transform(-30, 256);
    EXPECT_EQ(f.clip.GetAngle(), 330);
    f.Transform(725, 256);
    EXPECT_EQ(f.clip.GetAngle(), 5);
}

// Every angle and several scales: the box is within a pixel of the exact turned box, the
// rectangle centred on the position, and a buffer holds the whole picture.
TEST(BitmapClipTest, BoundsFollowTheExactBoxAtEveryAngle) {
    ClipFixture f(37, 20);
    f.clip.SetBuffered(true);
    const int32_t scales[][3] = {{256, 256, 256}, {512, 256, 256}, {128, 256, 256},
                                 {256, 512, 128}, {300, 100, 700}};
    for (const auto& s : scales)
        for (int angle = 0; angle < 360; ++angle) {
            f.Transform(angle, s[0], s[1], s[2]);
            const GRect& b = f.clip.GetBounds();
            const double rad = angle * M_PI / 180.0, k = s[0] / 256.0;
            const double sx = s[1] / 256.0 * k, sy = s[2] / 256.0 * k;
            double lo = 1e9, hi = -1e9, top = 1e9, bottom = -1e9;
            for (double u : {-18.0, 19.0})
                for (double v : {-10.0, 10.0}) {
                    const double x = std::cos(rad) * sx * u - std::sin(rad) * sy * v + 18;
                    const double y = std::sin(rad) * sx * u + std::cos(rad) * sy * v + 10;
                    lo = std::min(lo, x), hi = std::max(hi, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
            EXPECT_LE(std::max({std::abs(b.left - lo), std::abs(b.right - hi), std::abs(b.top - top),
                                std::abs(b.bottom - bottom)}), 2.01) << angle << " " << s[0];
            const int bw = b.right - b.left, bh = b.bottom - b.top;
            const GRect& r = f.clip.GetRect();
            EXPECT_EQ((std::tuple(r.left, r.top, r.right)),
                      (std::tuple(100 - bw / 2, 80 - bh / 2, std::max<int>(r.left, r.left + bw - 2))));
            ASSERT_NE(f.clip.GetBuffer(), nullptr);
            EXPECT_TRUE(f.clip.GetBuffer()->GetWidth() >= bw && f.clip.GetBuffer()->GetHeight() >= bh);
        }
}

// The float reference of the same mapping: the source position from the clip's own 16.16
// coefficients, the filtering and blending in floating point.
struct Reference {
    const GBitmapClip& clip;
    const GBitmap& src;
    // False outside the source; else colour and mask at box position (bx, by).
    bool Sample(int bx, int by, double c[3], double& m) const {
        const int64_t X = bx - clip.GetHalfWidth(), Y = by - clip.GetHalfHeight();
        const int64_t u = clip.GetMapA() * X - clip.GetMapC() * Y;
        const int64_t v = clip.GetMapD() * X + clip.GetMapB() * Y;
        const int64_t sx = (u >> 16) + clip.GetHalfWidth(), sy = (v >> 16) + clip.GetHalfHeight();
        if (sx < 0 || sy < 0 || sx >= src.GetWidth() - 1 || sy >= src.GetHeight() - 1)
            return false;
        const double fx = ((u >> 8) & 255) / 256.0, fy = ((v >> 8) & 255) / 256.0;
        const int w = src.GetWidth();
        const auto mix = [&](auto at) {
            return (1 - fy) * ((1 - fx) * at(sx, sy) + fx * at(sx + 1, sy)) +
                   fy * ((1 - fx) * at(sx, sy + 1) + fx * at(sx + 1, sy + 1));
        };
        for (int k = 0; k < 3; ++k)
            c[k] = mix([&](int64_t x, int64_t y) { return double(src.GetPixels()[(y * w + x) * 3 + k]); });
        m = mix([&](int64_t x, int64_t y) { return double(src.GetAlpha()[y * w + x]); });
        return true;
    }
};

TEST(BitmapClipTest, DirectAndBufferedDrawsMatchTheFloatReference) {
    const int32_t transforms[][4] = {{30, 256, 256, 256}, {137, 512, 256, 256}, {200, 180, 256, 256},
                                     {275, 256, 400, 160}, {0, 300, 256, 256},  {90, 256, 256, 256}};
    const GRect clipRect{60, 50, 150, 115};
    int worstDirect = 0, worstBuffer = 0;
    for (bool additive : {false, true}) {
        for (const auto& t : transforms) {
            ClipFixture f(41, 29);
            f.clip.SetAdditive(additive);
            f.clip.SetAlpha(200);
            f.clip.SetBuffered(true);
            f.Transform(t[0], t[1], t[2], t[3]);
            const GBitmap& src = *f.table.GetBitmap(0);
            const GBitmap* buffer = f.clip.GetBuffer();
            ASSERT_NE(buffer, nullptr);
            const Reference ref{f.clip, src};
            const GRect& b = f.clip.GetBounds();
            // The buffer holds the filtered picture, transparent outside the source.
            for (int j = 0; j < b.bottom - b.top; ++j)
                for (int i = 0; i < b.right - b.left; ++i) {
                    double c[3], m;
                    const uint8_t* p = buffer->GetPixels() + (j * buffer->GetWidth() + i) * 3;
                    const uint8_t bm = buffer->GetAlpha()[j * buffer->GetWidth() + i];
                    if (!ref.Sample(b.left + i, b.top + j, c, m)) {
                        ASSERT_EQ(bm, 255);
                        continue;
                    }
                    for (int k = 0; k < 3; ++k)
                        worstBuffer = std::max(worstBuffer, int(std::abs(p[k] - std::floor(c[k]))));
                    worstBuffer = std::max(worstBuffer, int(std::abs(bm - std::floor(m))));
                }
            // The direct draw: only the clip's rectangle inside the clip area changes.
            f.clip.SetBuffered(false);
            auto target = Target(200, 160, 7), before = Target(200, 160, 7);
            f.clip.Draw(target.get(), &clipRect);
            GRect part;
            const bool overlaps = IntersectRects(part, f.clip.GetRect(), clipRect);
            for (int y = 0; y < 160; ++y)
                for (int x = 0; x < 200; ++x) {
                    const uint8_t* d = target->GetPixels() + (y * 200 + x) * 3;
                    const uint8_t* o = before->GetPixels() + (y * 200 + x) * 3;
                    double c[3], m;
                    const bool inside = overlaps && x >= part.left && x <= part.right &&
                                        y >= part.top && y <= part.bottom;
                    if (!inside || !ref.Sample(b.left + x - f.clip.GetRect().left,
                                               b.top + y - f.clip.GetRect().top, c, m)) {
                        ASSERT_EQ(std::memcmp(d, o, 3), 0) << x << "," << y;
                        continue;
                    }
                    const double k = (255 - m) * 200 / 65536.0;
                    for (int ch = 0; ch < 3; ++ch) {
                        const double want = additive ? std::min(255.0, o[ch] + c[ch] * k)
                                                     : o[ch] + (c[ch] - o[ch]) * k;
                        worstDirect = std::max(worstDirect, int(std::abs(d[ch] - std::floor(want))));
                    }
                }
        }
    }
    // Every integer step floors: the filtered sample sits at most one below the floored exact
    // value, and the blend onto the target floors once more.
    EXPECT_TRUE(worstBuffer <= 1 && worstDirect <= 2) << worstBuffer << " " << worstDirect;
}

TEST(BitmapClipTest, BufferLifecycle) {
    ClipFixture f(16, 16);
    f.clip.SetBuffered(true);
    f.Transform(45, 256);
    const GBitmap* first = f.clip.GetBuffer();
    ASSERT_NE(first, nullptr);
    std::vector<uint8_t> bilinear(first->GetPixels(), first->GetPixels() + 3 * first->GetWidth() * first->GetHeight());
    f.clip.CommitPrevious(); // as the flush does after drawing
    f.clip.SetX(f.clip.GetX() + 256 * 5); // moving re-renders nothing
    f.clip.Update();
    EXPECT_EQ(f.clip.GetBuffer(), first);
    f.clip.SetCubic(true);
    f.clip.Update();
    ASSERT_NE(f.clip.GetBuffer(), nullptr);
    EXPECT_NE(std::memcmp(f.clip.GetBuffer()->GetPixels(), bilinear.data(), bilinear.size()), 0);
    f.Transform(45, 300); // grows past the buffer scale: a new, larger buffer
    EXPECT_EQ(f.clip.GetBufferScale(), 300);
    f.Transform(45, 256, 256, 2048); // stretched beyond the diagonal: the box decides
    EXPECT_GE(f.clip.GetBuffer()->GetHeight(), f.clip.GetBounds().bottom - f.clip.GetBounds().top);
}

TEST(BitmapClipTest, DegenerateInputsDrawNothing) {
    auto target = Target(64, 64, 3), before = Target(64, 64, 3);
    const auto unchanged = [&] {
        return std::memcmp(target->GetPixels(), before->GetPixels(), 64 * 64 * 3) == 0;
    };
    const int32_t scales[][3] = {{0, 256, 256}, {256, 0, 256}, {256, 256, -5}, {70000, 256, 256}};
    for (const auto& s : scales)
        for (bool buffered : {false, true}) {
            ClipFixture f(20, 20);
            f.clip.SetPosition(32 << 8, 32 << 8);
            f.clip.SetBuffered(buffered);
            f.Transform(40, s[0], s[1], s[2]);
            f.clip.Draw(target.get(), nullptr);
            EXPECT_TRUE(unchanged()) << s[0] << " " << s[1] << " " << s[2];
        }
    // One-pixel images have no 2 x 2 neighbourhood; a missing slot has no image at all.
    for (int16_t side : {0, 1}) {
        ClipFixture f(side, side);
        f.clip.SetPosition(32 << 8, 32 << 8);
        f.Transform(10, 256);
        f.clip.Draw(target.get(), nullptr);
        f.clip.SetFrame(5 << 8);
        f.Transform(20, 256);
        f.clip.Draw(target.get(), nullptr);
        EXPECT_TRUE(unchanged());
    }
    // The smallest and largest scales map within range and stay inside the target.
    ClipFixture f(20, 20);
    f.clip.SetPosition(32 << 8, 32 << 8);
    f.Transform(10, kMaxClipScale);
    f.clip.Draw(target.get(), nullptr);
    f.Transform(10, kMinClipScale, kMinClipScale, kMinClipScale);
    f.clip.Draw(target.get(), nullptr);
}

TEST(BitmapClipTest, UnturnedPictureUsesThePlainKernels) {
    ClipFixture f(8, 6);
    f.clip.SetPosition(10 << 8, 10 << 8);
    f.Transform(0, 256, 128, 256);
    EXPECT_EQ(f.clip.GetBounds(), (GRect{2, 0, 6, 6})); // the box shrinks...
    auto target = Target(32, 32, 5);
    GBitmap* image = const_cast<GBitmap*>(f.table.GetBitmap(0));
    std::memset(image->GetAlpha(), 0, 8 * 6);
    f.clip.SetAlpha(255);
    f.clip.Draw(target.get(), nullptr);
    const GRect& r = f.clip.GetRect();
    // ...but the picture is drawn unscaled from the rectangle's corner.
    const uint8_t* d = target->GetPixels() + (r.top * 32 + r.left + 1) * 3;
    const uint8_t* s = image->GetPixels() + 3;
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(d[k], s[k], 1);
}

TEST(BitmapClipTest, AdditiveBlitSaturatesAndKeepsToTheClip) {
    std::unique_ptr<GBitmap> src(GBitmap::Create(4, 4, 0, 2));
    std::memset(src->GetPixels(), 200, 4 * 4 * 3);
    std::memset(src->GetAlpha(), 0, 16);
    src->GetAlpha()[5] = 255;
    auto target = Target(8, 8, 9), before = Target(8, 8, 9);
    const GRect clip{-3, 3, 4, 20};
    BlitMaskAdd(target.get(), src.get(), 2, 2, 255, &clip);
    for (int i = 0; i < 8 * 8 * 3; ++i) {
        const int x = i / 3 % 8, y = i / 24, o = before->GetPixels()[i];
        const bool drawn = x >= 2 && x <= 4 && y >= 3 && y <= 5 && !(x == 3 && y == 3);
        EXPECT_EQ(target->GetPixels()[i], drawn ? std::min(255, o + (200 * 255 * 255 >> 16)) : o) << x << "," << y;
    }
}

TEST(BitmapClipTest, SharpenAndAreaResize) {
    std::unique_ptr<GBitmap> flat(GBitmap::Create(6, 6, 0, 0));
    std::memset(flat->GetPixels(), 100, 6 * 6 * 3);
    flat->GetPixels()[(3 * 6 + 3) * 3] = 200;
    ASSERT_TRUE(SharpenImage(flat.get()));
    const auto at = [&](int x, int y) { return int(flat->GetPixels()[(y * 6 + x) * 3]); };
    // (3, 3) clamped; the first two columns and the last row are kept.
    EXPECT_EQ((std::vector<int>{at(3, 3), at(2, 3), at(2, 2), at(1, 3), at(3, 5)}),
              (std::vector<int>{255, (2048 * 100 - 246 * 500 - 9 * 400) >> 10,
                                (2048 * 100 - 246 * 400 - 9 * 500) >> 10, 100, 100}));

    std::unique_ptr<GBitmap> src(GBitmap::Create(4, 2, 0, 0));
    const uint8_t values[8] = {0, 40, 80, 120, 10, 50, 90, 130};
    for (int i = 0; i < 8; ++i)
        std::memset(src->GetPixels() + i * 3, values[i], 3);
    std::unique_ptr<GBitmap> half(GBitmap::Create(2, 1, 0, 0));
    ASSERT_TRUE(ResizeAreaAverage(src.get(), half.get()));
    EXPECT_EQ((std::pair(half->GetPixels()[0], half->GetPixels()[3])), (std::pair<uint8_t, uint8_t>(25, 105)));
    std::unique_ptr<GBitmap> twice(GBitmap::Create(8, 4, 0, 0));
    ASSERT_TRUE(ResizeAreaAverage(src.get(), twice.get()));
    EXPECT_EQ(twice->GetPixels()[(3 * 8 + 7) * 3], 130);
    EXPECT_FALSE(ResizeAreaAverage(src.get(), nullptr));
}

} // namespace
