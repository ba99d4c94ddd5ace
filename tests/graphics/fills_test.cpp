// Rectangle fills and horizontal/vertical lines: clipping, degenerate shapes, byte order, and
// that nothing outside the surface or the clip rectangle is touched (surfaces are allocated to
// their exact size, so AddressSanitizer catches a stray write too).

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "foundation/bitmap.h"
#include "graphics/fills.h"
#include "foundation/rect.h"

namespace {

constexpr int kW = 16, kH = 10;
constexpr uint32_t kColour = 0xAA112233; // top byte must be ignored

class Fills : public testing::Test {
protected:
    void SetUp() override
    {
        GPixelBlock* block = GPixelBlock::Create(kW * kH * 3, nullptr);
        m_surface.reset(GBitmap::Create(kW, kH, 0, 0, block, nullptr));
        std::memset(m_surface->GetPixels(), 0, kW * kH * 3);
    }

    bool Painted(int x, int y) const
    {
        const uint8_t* p = m_surface->GetPixels() + (y * kW + x) * 3;
        return p[0] == 0x33 && p[1] == 0x22 && p[2] == 0x11;
    }
    bool Clear(int x, int y) const
    {
        const uint8_t* p = m_surface->GetPixels() + (y * kW + x) * 3;
        return p[0] == 0 && p[1] == 0 && p[2] == 0;
    }
    // Every pixel painted exactly when inside (l, t, r, b) inclusive.
    void ExpectPainted(int l, int t, int r, int b) const
    {
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const bool inside = x >= l && x <= r && y >= t && y <= b;
                ASSERT_EQ(inside ? Painted(x, y) : Clear(x, y), true) << "pixel " << x << "," << y;
            }
    }
    void ExpectNothing() const { ExpectPainted(0, 0, -1, -1); }

    std::unique_ptr<GBitmap> m_surface;
};

TEST_F(Fills, FillRectCoversItsInclusiveArea)
{
    FillRect(m_surface.get(), kColour, GRect{2, 3, 9, 4});
    ExpectPainted(2, 3, 9, 4);
}

TEST_F(Fills, FillRectWritesTheColourLowByteFirst)
{
    FillRect(m_surface.get(), 0x00ABCDEF, GRect{0, 0, 0, 0});
    const uint8_t* p = m_surface->GetPixels();
    EXPECT_EQ(p[0], 0xEF);
    EXPECT_EQ(p[1], 0xCD);
    EXPECT_EQ(p[2], 0xAB);
    EXPECT_EQ(p[3], 0);
}

TEST_F(Fills, FillRectClipsToTheSurface)
{
    FillRect(m_surface.get(), kColour, GRect{-5, -5, kW + 5, kH + 5});
    ExpectPainted(0, 0, kW - 1, kH - 1);
}

TEST_F(Fills, FillRectOverhangingEachEdge)
{
    FillRect(m_surface.get(), kColour, GRect{-3, 2, 1, 3});
    ExpectPainted(0, 2, 1, 3);
    SetUp();
    FillRect(m_surface.get(), kColour, GRect{kW - 2, kH - 1, kW + 30, kH + 30});
    ExpectPainted(kW - 2, kH - 1, kW - 1, kH - 1);
}

TEST_F(Fills, FillRectDegenerateAreasFillNothing)
{
    FillRect(m_surface.get(), kColour, GRect{kW, 0, kW + 4, 3}); // left = W
    FillRect(m_surface.get(), kColour, GRect{0, kH, 3, kH + 4}); // top = H
    FillRect(m_surface.get(), kColour, GRect{5, 0, 4, 3});       // right = left - 1
    FillRect(m_surface.get(), kColour, GRect{5, 5, 8, 4});       // bottom = top - 1
    FillRect(m_surface.get(), kColour, GRect{10, 8, -20, -20});  // inverted
    FillRect(m_surface.get(), kColour, GRect{-9, 0, -1, 3});     // wholly left of the surface
    ExpectNothing();
}

TEST_F(Fills, FillRectSpanningTheWholeCoordinateRange)
{
    // 32767 - (-32768) + 1 does not fit 16 bits; the fill must not wrap to nothing.
    FillRect(m_surface.get(), kColour, GRect{-32768, -32768, 32767, 32767});
    ExpectPainted(0, 0, kW - 1, kH - 1);
}

TEST_F(Fills, FillRectLongRowsUseEveryCopyChunk)
{
    for (int w = 1; w <= kW; ++w) {
        SetUp();
        FillRect(m_surface.get(), kColour, GRect{0, 1, int16_t(w - 1), 1});
        ExpectPainted(0, 1, w - 1, 1);
    }
}

TEST_F(Fills, DrawLineHorizontalInEitherDirection)
{
    DrawLine(m_surface.get(), 10, 5, 3, 5, kColour);
    ExpectPainted(3, 5, 10, 5);
}

TEST_F(Fills, DrawLineVerticalAndSinglePixel)
{
    DrawLine(m_surface.get(), 4, 8, 4, 2, kColour);
    ExpectPainted(4, 2, 4, 8);
    SetUp();
    DrawLine(m_surface.get(), 4, 4, 4, 4, kColour);
    ExpectPainted(4, 4, 4, 4);
}

TEST_F(Fills, DrawLineSlantedDrawsNothing)
{
    DrawLine(m_surface.get(), 0, 0, 5, 5, kColour);
    ExpectNothing();
}

TEST_F(Fills, DrawLineOffTheSurfaceIsClippedToIt)
{
    DrawLine(m_surface.get(), -4, 2, 30, 2, kColour);
    ExpectPainted(0, 2, kW - 1, 2);
    SetUp();
    DrawLine(m_surface.get(), 3, -100, 3, 100, kColour);
    ExpectPainted(3, 0, 3, kH - 1);
    SetUp();
    DrawLine(m_surface.get(), -1, -1, -1, 5, kColour);
    DrawLine(m_surface.get(), 0, kH, 5, kH, kColour);
    ExpectNothing();
}

TEST_F(Fills, DrawLineClippedVertical)
{
    // x = 7 from 0 to 100, clipped to rows 20..30: on a 10-row surface, nothing is left.
    DrawLineClipped(m_surface.get(), 7, 0, 7, 100, kColour, GRect{0, 20, 50, 30});
    ExpectNothing();
    DrawLineClipped(m_surface.get(), 7, 0, 7, 100, kColour, GRect{0, 2, 50, 6});
    ExpectPainted(7, 2, 7, 6);
    SetUp();
    DrawLineClipped(m_surface.get(), 7, 0, 7, 100, kColour, GRect{8, 0, 50, 200});
    ExpectNothing();
}

TEST_F(Fills, DrawLineClippedHorizontal)
{
    DrawLineClipped(m_surface.get(), 12, 3, 1, 3, kColour, GRect{4, 0, 9, 9});
    ExpectPainted(4, 3, 9, 3);
    SetUp();
    DrawLineClipped(m_surface.get(), 0, 3, 15, 3, kColour, GRect{0, 4, 15, 9});
    DrawLineClipped(m_surface.get(), 0, 3, 15, 3, kColour, GRect{0, 0, 15, 2});
    DrawLineClipped(m_surface.get(), 5, 3, 8, 3, kColour, GRect{9, 0, 15, 9});
    ExpectNothing();
}

TEST_F(Fills, DrawLineClippedRectangleBeyondTheSurface)
{
    DrawLineClipped(m_surface.get(), -50, 9, 50, 9, kColour, GRect{-100, -100, 100, 100});
    ExpectPainted(0, 9, kW - 1, 9);
    SetUp();
    DrawLineClipped(m_surface.get(), 2, 2, 2, 6, kColour, GRect{5, 5, 1, 1}); // inverted
    DrawLineClipped(m_surface.get(), 2, 2, 6, 6, kColour, GRect{0, 0, 15, 9}); // slanted
    ExpectNothing();
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
