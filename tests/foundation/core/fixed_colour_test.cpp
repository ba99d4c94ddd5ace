#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "foundation/image/colour_ramp.h"
#include "foundation/core/fixed.h"
#include "foundation/core/rect.h"
#include "foundation/image/bitmap.h"

namespace {

uint32_t Grey(int v)
{
    return static_cast<uint32_t>(v) * 0x010101u;
}

TEST(GFixedTest, RoundingArithmeticNoOverflowOrDivisionByZero)
{
    // Halves go up (1.5 and -1.5); no overflow adding the half.
    for (auto [raw, rounded] : {std::pair{384, 2}, {383, 1}, {-384, -1}, {-385, -2}, {INT32_MAX, 8388608}})
        EXPECT_EQ(GFixed(raw).ToInt(), rounded) << raw;
    EXPECT_EQ(GFixed::FromInt(7).ToInt(), 7);

    const GFixed a = GFixed::FromInt(3);
    const GFixed half(128);
    GFixed x = GFixed::FromInt(2);
    x.AddAssign(half).MultiplyAssign(GFixed::FromInt(2));
    EXPECT_EQ((std::vector<int32_t>{GFixed::FromInt(-3).value, GFixed::Add(a, half).value,
                                    GFixed::Subtract(half, a).value,
                                    GFixed::Multiply(GFixed(384), GFixed::FromInt(-2)).value,
                                    GFixed::Multiply(half, half).value, GFixed::Divide(a, GFixed::FromInt(2)).value,
                                    GFixed::Divide(GFixed(7), GFixed(2)).value,
                                    GFixed::Divide(GFixed(-7), GFixed(2)).value, x.value}),
              (std::vector<int32_t>{-768, 896, -640, -768, 64, 384, 896, -896, 1280}));

    // 50000 * 50000 does not fit 24.8; a 32-bit product would wrap to garbage.
    EXPECT_EQ(GFixed::Multiply(GFixed::FromInt(50000), GFixed::FromInt(50000)).value, INT32_MAX);
    EXPECT_EQ(GFixed::Multiply(GFixed::FromInt(50000), GFixed::FromInt(-50000)).value, INT32_MIN);
    // Products whose 32-bit intermediate would overflow but whose result fits.
    EXPECT_EQ(GFixed::Multiply(GFixed::FromInt(300), GFixed::FromInt(300)).value, 90000 * 256);
    EXPECT_EQ(GFixed::Divide(GFixed::FromInt(1), GFixed(0)).value, INT32_MAX);
    EXPECT_EQ(GFixed::Divide(GFixed::FromInt(-1), GFixed(0)).value, INT32_MIN);
    EXPECT_EQ(GFixed::Divide(GFixed(0), GFixed(0)).value, 0);
    EXPECT_EQ(GFixed::Divide(GFixed(INT32_MIN), GFixed(-1)).value, INT32_MAX);
    // a << 8 would overflow 32 bits, the quotient does not.
    EXPECT_EQ(GFixed::Divide(GFixed::FromInt(100000), GFixed::FromInt(1000)).value, 100 * 256);
}

TEST(ColourRampTest, BrightnessAndGreyScaleRamps)
{
    // 1/3 rounds down, 2/3 up.
    for (auto [colour, level] : {std::pair{0u, 0}, {0xffffffu, 255}, {0xff0000u, 85}, {0x010000u, 0}, {0x010100u, 1},
                                 {0xfffffeu, 255}})
        EXPECT_EQ(ColourBrightness(colour), level) << std::hex << colour;

    // Ramps that must come out as the plain grey scale, the last entry defined, not left over.
    uint32_t table[256];
    const auto expectGreys = [&](const char* what) {
        SCOPED_TRACE(what);
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(table[i], Grey(i)) << i;
    };
    BuildColourRampToWhite(0, table);
    expectGreys("to white from black");
    BuildColourRampBlackToWhite(Grey(128), table);
    expectGreys("black to white through grey");
    for (uint32_t& t : table)
        t = 0xdeadbeef;
    BuildColourRampBlackToWhite(0xffffff, table);
    expectGreys("black to white of full brightness");
}

TEST(ColourRampTest, RampEndsAndColourAtBrightness)
{
    uint32_t table[256];
    BuildColourRampToWhite(0x204080, table);
    EXPECT_EQ(table[0], 0x204080u);
    for (int i = 1; i < 256; ++i)
        for (int shift : {0, 8, 16})
            ASSERT_GE((table[i] >> shift) & 0xff, (table[i - 1] >> shift) & 0xff) << i;
    EXPECT_EQ(table[255], 0xffffffu);

    BuildColourRampBlackToWhite(0xfffffe, table);
    EXPECT_EQ(table[0], 0u);
    EXPECT_EQ(table[255], 0xfffffeu); // the ramp ends at the colour itself
    for (uint32_t t : table)
        ASSERT_EQ(t >> 24, 0u);
    BuildColourRampBlackToWhite(0, table);
    EXPECT_EQ(table[1], 0u);
    for (int i = 2; i < 255; ++i)
        ASSERT_GE(table[i], table[i - 1]);
    EXPECT_EQ(table[254], Grey(254));
    EXPECT_EQ(table[255], 0xffffffu);

    // Colour, level, result. Brightness 255 of white would divide by zero: the colour is
    // already as bright as it gets. Out-of-range levels are clamped instead of overflowing the
    // channels, and the top byte is ignored.
    const uint32_t cases[][3] = {{0xff0000, 85, 0xff0000},
                                 {0xff0000, 170, 0xff8080},
                                 {0xff0000, 255, 0xffffff},
                                 {0xff0000, 42, 0x7e0000},
                                 {0xff0000, 0, 0},
                                 {Grey(100), 100, Grey(100)},
                                 {0, 0, 0},
                                 {0, 255, 0xffffff},
                                 {0xffffff, 255, 0xffffff},
                                 {0xfffffe, 255, 0xfffffe},
                                 {0xffffff, 0, 0},
                                 {0xffffff, 128, Grey(128)},
                                 {0x336699, 1000, 0xffffff},
                                 {0x336699, uint32_t(-5), 0},
                                 {0xff336699, 255, 0xffffff},
                                 {0xfffffe, 1000, 0xfffffe},
                                 {0x808080, 256, 0xffffff}};
    for (const auto& [colour, level, expected] : cases)
        EXPECT_EQ(ColourAtBrightness(colour, int(level)), expected) << std::hex << colour << " " << level;
}

} // namespace

namespace {

// Rectangles moved, sized and measured against 64-bit arithmetic saturated at the 16-bit edges;
// an image's bounds start at its top-left pixel.
TEST(GRectTest, SizeOffsetAndAreaFollowWideArithmeticSaturated)
{
    std::mt19937 rng(43);
    auto coordinate = [&]() -> int32_t {
        const int32_t edges[] = {INT16_MIN, INT16_MIN + 1, -1, 0, 1, INT16_MAX - 1, INT16_MAX, 70000, -70000};
        return rng() % 3 ? int32_t(rng() % 200) - 100 : edges[rng() % std::size(edges)];
    };
    auto clamp = [](int64_t v) { return int16_t(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX)); };
    for (int i = 0; i < 20000; ++i) {
        GRect r;
        r.SetClamped(coordinate(), coordinate(), coordinate(), coordinate());
        const GRect before = r;
        const int32_t a = coordinate(), b = coordinate();
        const int64_t width = int64_t(before.right) - before.left + 1, height = int64_t(before.bottom) - before.top + 1;
        const int64_t area = width <= 0 || height <= 0 ? 0 : width * height;
        ASSERT_EQ(r.Area(), area);
        r.Offset(a, b);
        ASSERT_EQ(r, (GRect{clamp(int64_t(before.left) + a), clamp(int64_t(before.top) + b),
                            clamp(int64_t(before.right) + a), clamp(int64_t(before.bottom) + b)}));
        r = before;
        r.SetSize(a, b);
        ASSERT_EQ(r, (GRect{before.left, before.top, clamp(int64_t(before.left) + a - 1),
                            clamp(int64_t(before.top) + b - 1)}));
    }
    GRect full;
    full.Set(INT16_MIN, INT16_MIN, INT16_MAX, INT16_MAX);
    EXPECT_EQ(full.Area(), int64_t(1) << 32);
    std::unique_ptr<GBitmap> image(GBitmap::Create(7, 3, 0, 0));
    GRect bounds{5, 5, 5, 5};
    GetBitmapBoundsRect(*image, bounds);
    EXPECT_EQ(bounds, (GRect{0, 0, 6, 2}));
}

} // namespace
