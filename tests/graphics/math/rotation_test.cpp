#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "foundation/core/rect.h"
#include "foundation/image/bitmap.h"
#include "graphics/blit/kernels.h"
#include "graphics/math/rotation.h"
#include "graphics/math/vector2.h"
#include "graphics/store/bitmap_pool.h"
#include "graphics/store/graphics_resources.h"
#include "support/font_sheets.h"

namespace {

std::unique_ptr<GBitmap> Image(int16_t w, int16_t h, uint8_t format, uint32_t seed) {
    std::unique_ptr<GBitmap> image(GBitmap::Create(w, h, 0, format));
    std::mt19937 rng(seed);
    for (int i = 0; i < w * h * 3; ++i)
        image->GetPixels()[i] = uint8_t(rng());
    for (int i = 0; image->GetAlpha() && i < w * h; ++i)
        image->GetAlpha()[i] = rng() % 5 == 0 ? 255 : (rng() % 5 == 0 ? uint8_t(rng()) : 0);
    return image;
}

bool Same(const GBitmap& a, const GBitmap& b) {
    return std::memcmp(a.GetPixels(), b.GetPixels(), size_t(a.GetPitch()) * a.GetHeight()) == 0;
}

TEST(VectorRotationTest, QuarterTurnsAndNegativeAngles) {
    const int32_t cases[][3] = {{90, 0, -1}, {0, 1, 0}, {-90, 0, 1}, {180, -1, 0}, {-270, 0, -1}, {450, 0, -1}};
    for (const auto& c : cases) {
        GVector2 v(1, 0);
        v.Rotate(c[0]);
        EXPECT_TRUE(v.x == float(c[1]) && v.y == float(c[2])) << c[0] << ": " << v.x << "," << v.y;
    }
    EXPECT_TRUE(FloatSin(360) == 0 && FloatCos(0) == 1 && FloatSin(-30) == -0.5f && FloatCos(-180) == -1);
}

TEST(RotationTest, BoxesOfQuarterTurns) {
    GRotatedBox box;
    ASSERT_TRUE(GetRotatedBox(10, 6, 90, -1, -1, box));
    EXPECT_TRUE(box.left == 2 && box.top == -2 && box.width == 6 && box.height == 10);
    ASSERT_TRUE(GetRotatedBox(10, 6, 0, 0, 0, box));
    EXPECT_TRUE(box.left == 0 && box.top == 0 && box.width == 10 && box.height == 6);
    ASSERT_TRUE(GetRotatedBox(10, 6, 45, 0, 0, box));
    EXPECT_EQ(box.width, 13); // x from -4.24 to 7.07, widened to whole pixels
    EXPECT_FALSE(GetRotatedBox(0, 6, 45, 0, 0, box));
}

TEST(RotationTest, CopyThenMaskBlitEqualsTheDraw) {
    const auto pool = tolvanrise::test::MakePoolStore(4);
    GGraphicsResources& store = *pool;
    auto source = Image(23, 17, 2, 3);
    const GRect clip{3, 2, 40, 30};
    for (int degrees : {0, 30, 90, 135, -60, 300}) {
        int16_t slot = -1;
        ASSERT_EQ(RotateCopy(store, source.get(), degrees, 5, 4, &slot), 1);
        const GBitmap* turned = store.GetPool()->GetBitmap(slot);
        ASSERT_NE(turned, nullptr);
        auto viaCopy = Image(48, 36, 0, 9), direct = Image(48, 36, 0, 9);
        BlitMask(viaCopy.get(), turned, -2, 3, &clip);
        DrawRotatedBilinear(direct.get(), source.get(), -2, 3, degrees, 5, 4, &clip);
        EXPECT_TRUE(Same(*viaCopy, *direct)) << degrees;
        // The float walk lands on the same source pixels almost everywhere.
        auto floating = Image(48, 36, 0, 9);
        DrawRotatedFloat(floating.get(), source.get(), -2, 3, degrees, 5, 4, &clip);
        int differing = 0;
        for (int i = 0; i < 48 * 36 * 3; ++i)
            differing += std::abs(floating->GetPixels()[i] - direct->GetPixels()[i]) > 2;
        EXPECT_LT(differing, 48 * 36 * 3 / 20) << degrees;
        store.GetPool()->FreeBitmap(slot);
    }
    // Turned by 0, an opaque picture is copied exactly (one row and column fewer: no
    // neighbours there).
    std::memset(source->GetAlpha(), 0, 23 * 17);
    int16_t slot = -1;
    ASSERT_EQ(RotateCopy(store, source.get(), 0, -1, -1, &slot, false), 1);
    const GBitmap* copy = store.GetPool()->GetBitmap(slot);
    EXPECT_EQ(std::memcmp(copy->GetPixels(), source->GetPixels(), 22 * 3), 0);
    auto plain = Image(5, 5, 0, 1); // no mask: refused
    EXPECT_EQ(RotateCopy(store, plain.get(), 10, -1, -1, &slot), 0);
}

TEST(RotationTest, CubicKeepsAConstantPicture) {
    auto source = Image(12, 12, 2, 4);
    std::memset(source->GetPixels(), 77, 12 * 12 * 3);
    std::memset(source->GetAlpha(), 0, 12 * 12);
    auto target = Image(20, 20, 0, 5), before = Image(20, 20, 0, 5);
    DrawRotatedCubic(target.get(), source.get(), 2, 2, 20, -1, -1);
    int drawn = 0, other = 0;
    for (int i = 0; i < 20 * 20 * 3; ++i)
        if (target->GetPixels()[i] != before->GetPixels()[i])
            ++(target->GetPixels()[i] == 77 ? drawn : other);
    EXPECT_TRUE(drawn > 100 && other == 0) << drawn << " " << other;
}

// Each source pixel lands where the turn says, by the mask rule, and nothing outside the
// clip changes.
TEST(RotationTest, QuarterTurnBlitsAgainstTheirMapping) {
    using Blit = void (*)(GBitmap*, const GBitmap*, int32_t, int32_t, const GRect*);
    const struct {
        Blit blit;
        int kind;
    } blits[] = {{BlitMaskQuarterTurn, 0}, {BlitMaskQuarterTurnBack, 1}, {BlitMaskTransposed, 2}};
    auto source = Image(7, 4, 2, 6);
    const int W = 7, H = 4;
    const GRect clip{1, 0, 8, 7};
    for (const auto& b : blits)
        for (auto [x, y] : {std::pair{2, 1}, std::pair{-1, -3}, std::pair{5, 4}}) {
            auto target = Image(10, 9, 0, 8), expected = Image(10, 9, 0, 8);
            b.blit(target.get(), source.get(), x, y, &clip);
            for (int r = 0; r < H; ++r)
                for (int c = 0; c < W; ++c) {
                    const int tx = b.kind == 0 ? x + H - 1 - r : x + r;
                    const int ty = b.kind == 1 ? y + W - 1 - c : y + c;
                    if (tx < clip.left || tx > clip.right || ty < clip.top || ty > clip.bottom ||
                        tx >= 10 || ty >= 9 || tx < 0 || ty < 0)
                        continue;
                    const int m = source->GetAlpha()[r * W + c];
                    if (m == 255)
                        continue;
                    uint8_t* d = expected->GetPixels() + (ty * 10 + tx) * 3;
                    const uint8_t* s = source->GetPixels() + (r * W + c) * 3;
                    for (int k = 0; k < 3; ++k)
                        d[k] = uint8_t(((d[k] - s[k]) * m >> 8) + s[k]);
                }
            EXPECT_TRUE(Same(*target, *expected)) << b.kind << " at " << x << "," << y;
        }
}

} // namespace
