// Rectangle fills and horizontal/vertical lines: clipping, degenerate shapes, byte order, and
// that nothing outside the surface or the clip rectangle is touched (surfaces are allocated to
// their exact size, so AddressSanitizer catches a stray write too).

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "foundation/image/bitmap.h"
#include "graphics/blit/fills.h"
#include "foundation/core/rect.h"

namespace {

constexpr int kW = 16, kH = 10;
constexpr uint32_t kColour = 0xAA112233; // top byte must be ignored
constexpr GRect kNothing{0, 0, -1, -1};

class Fills : public testing::Test {
protected:
    void SetUp() override
    {
        m_surface = GBitmap::CreateOnNewBlocks(kW, kH, 0, 0, GPixelBlock::Create(kW * kH * 3, nullptr), nullptr);
        std::memset(m_surface->GetPixels(), 0, kW * kH * 3);
    }

    // Every pixel painted exactly when inside `area` (inclusive), black elsewhere.
    void ExpectPainted(const GRect& area) const
    {
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const uint8_t* p = m_surface->GetPixels() + (y * kW + x) * 3;
                const bool inside = x >= area.left && x <= area.right && y >= area.top && y <= area.bottom;
                ASSERT_EQ(std::memcmp(p, inside ? "\x33\x22\x11" : "\0\0\0", 3), 0) << "pixel " << x << "," << y;
            }
    }

    // Each case starts from a black surface: the calls draw, then the painted area is checked.
    struct Case {
        const char* what;
        std::vector<std::function<void(GBitmap*)>> draws;
        GRect painted;
    };
    void Run(const std::vector<Case>& cases)
    {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            SetUp();
            for (const auto& draw : c.draws)
                draw(m_surface.get());
            ExpectPainted(c.painted);
        }
    }

    std::unique_ptr<GBitmap> m_surface;
};

auto Fill(GRect r) { return [r](GBitmap* s) { FillRect(s, kColour, r); }; }
auto Line(int x0, int y0, int x1, int y1)
{
    return [=](GBitmap* s) { DrawLine(s, int16_t(x0), int16_t(y0), int16_t(x1), int16_t(y1), kColour); };
}
auto Clipped(int x0, int y0, int x1, int y1, GRect clip)
{
    return [=](GBitmap* s) {
        DrawLineClipped(s, int16_t(x0), int16_t(y0), int16_t(x1), int16_t(y1), kColour, clip);
    };
}

TEST_F(Fills, FillRectClipsAndRefusesDegenerateAreas)
{
    Run({
        {"inclusive area", {Fill({2, 3, 9, 4})}, {2, 3, 9, 4}},
        {"beyond every edge", {Fill({-5, -5, kW + 5, kH + 5})}, {0, 0, kW - 1, kH - 1}},
        {"over the left edge", {Fill({-3, 2, 1, 3})}, {0, 2, 1, 3}},
        {"over the bottom right", {Fill({kW - 2, kH - 1, kW + 30, kH + 30})}, {kW - 2, kH - 1, kW - 1, kH - 1}},
        // 32767 - (-32768) + 1 does not fit 16 bits; the fill must not wrap to nothing.
        {"whole coordinate range", {Fill({-32768, -32768, 32767, 32767})}, {0, 0, kW - 1, kH - 1}},
        {"degenerate",
         {Fill({kW, 0, kW + 4, 3}), Fill({0, kH, 3, kH + 4}), Fill({5, 0, 4, 3}), Fill({5, 5, 8, 4}),
          Fill({10, 8, -20, -20}), Fill({-9, 0, -1, 3})},
         kNothing},
    });
    for (int w = 1; w <= kW; ++w) // every copy chunk of a row
        Run({{"row", {Fill({0, 1, int16_t(w - 1), 1})}, {0, 1, int16_t(w - 1), 1}}});
}

TEST_F(Fills, FillRectWritesTheColourLowByteFirst)
{
    FillRect(m_surface.get(), 0x00ABCDEF, GRect{0, 0, 0, 0});
    EXPECT_EQ(std::vector<uint8_t>(m_surface->GetPixels(), m_surface->GetPixels() + 4),
              (std::vector<uint8_t>{0xEF, 0xCD, 0xAB, 0}));
}

TEST_F(Fills, DrawLineDrawsOnlyStraightLinesInsideTheSurface)
{
    Run({
        {"horizontal, right to left", {Line(10, 5, 3, 5)}, {3, 5, 10, 5}},
        {"vertical, upwards", {Line(4, 8, 4, 2)}, {4, 2, 4, 8}},
        {"single pixel", {Line(4, 4, 4, 4)}, {4, 4, 4, 4}},
        {"slanted", {Line(0, 0, 5, 5)}, kNothing},
        {"horizontal past both ends", {Line(-4, 2, 30, 2)}, {0, 2, kW - 1, 2}},
        {"vertical past both ends", {Line(3, -100, 3, 100)}, {3, 0, 3, kH - 1}},
        {"off the surface", {Line(-1, -1, -1, 5), Line(0, kH, 5, kH)}, kNothing},
    });
}

TEST_F(Fills, DrawLineClippedKeepsToTheRectangle)
{
    Run({
        // Rows 20..30 on a 10-row surface: nothing is left.
        {"vertical, rectangle below", {Clipped(7, 0, 7, 100, {0, 20, 50, 30})}, kNothing},
        {"vertical", {Clipped(7, 0, 7, 100, {0, 2, 50, 6})}, {7, 2, 7, 6}},
        {"vertical, rectangle beside", {Clipped(7, 0, 7, 100, {8, 0, 50, 200})}, kNothing},
        {"horizontal", {Clipped(12, 3, 1, 3, {4, 0, 9, 9})}, {4, 3, 9, 3}},
        {"horizontal outside",
         {Clipped(0, 3, 15, 3, {0, 4, 15, 9}), Clipped(0, 3, 15, 3, {0, 0, 15, 2}),
          Clipped(5, 3, 8, 3, {9, 0, 15, 9})},
         kNothing},
        {"rectangle beyond the surface", {Clipped(-50, 9, 50, 9, {-100, -100, 100, 100})}, {0, 9, kW - 1, 9}},
        {"inverted rectangle, slanted line",
         {Clipped(2, 2, 2, 6, {5, 5, 1, 1}), Clipped(2, 2, 6, 6, {0, 0, 15, 9})},
         kNothing},
    });
}

TEST(FillsWithoutPixels, SurfacesWithoutMemoryAreLeftAlone)
{
    std::unique_ptr<GBitmap> none(GBitmap::Create(-4, 3, 0, 0));
    FillRect(none.get(), kColour, GRect{0, 0, 3, 3});
    DrawLine(none.get(), 0, 0, 3, 0, kColour);
    DrawLineClipped(none.get(), 0, 0, 3, 0, kColour, GRect{0, 0, 3, 3});
    FillRect(nullptr, kColour, GRect{0, 0, 3, 3});
    EXPECT_EQ(none->GetPixels(), nullptr);
}

} // namespace
