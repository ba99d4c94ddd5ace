// Raster font: metrics read from the sheet's mask row, measuring, centring and the three
// pixel rules against hand-computed bytes, clipping (also of damaged sheets).

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <tuple>

#include "foundation/core/rect.h"
#include "foundation/image/bitmap.h"
#include "graphics/fonts/old_font.h"

namespace {

using Image = std::unique_ptr<GBitmap>;

// 'A' in columns 0-4 (all ink), 'B' in columns 5-9 with the mask row {0, 100, 255, 0, 200};
// both with left 1, width 5, right 1; heights 2 + 1.
constexpr uint8_t kMaskB[5] = {0, 100, 255, 0, 200};

Image Sheet(int width = 20, uint16_t h1 = 2, uint16_t h2 = 1, uint16_t sourceXB = 6)
{
    Image sheet(GBitmap::Create(static_cast<int16_t>(width), 4, 0, 2));
    uint8_t* a = sheet->GetAlpha();
    std::memset(a, 255, static_cast<size_t>(width) * 4);
    const uint16_t header[] = {h1, h2, 1, 1, 5, 1, sourceXB, 1, 5, 1};
    std::memcpy(a, header, std::min<size_t>(sizeof header, width));
    for (int row = 1; row < 4; ++row) {
        std::memset(a + row * width, 0, 5);
        if (width >= 10)
            std::memcpy(a + row * width + 5, kMaskB, 5);
    }
    return sheet;
}

Image Target(int width, uint8_t fill)
{
    Image dst(GBitmap::Create(static_cast<int16_t>(width), 6, 0, 2));
    std::memset(dst->GetPixels(), fill, static_cast<size_t>(width) * 6 * 3);
    std::memset(dst->GetAlpha(), 77, static_cast<size_t>(width) * 6);
    return dst;
}

const uint8_t* Px(const GBitmap& image, int x, int y)
{
    return image.GetPixels() + y * image.GetPitch() + x * 3;
}

class OldFontTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(font.InitFromResource(sheet.get(), 4, 'B', 'A')); }
    Image sheet = Sheet();
    GOldFont font;
};

TEST_F(OldFontTest, MeasuresByAdvancesAndCentres)
{
    // Uncovered codes ("C@") add nothing; -9 / 2 rounds toward zero.
    EXPECT_EQ(std::make_tuple(font.GetHeight(), font.GetSecondHeight(), font.GetTextWidth("A B"),
                              font.GetTextWidth("AC@B"), font.GetTextWidthN("AB", 1), font.CenterX("A", 0, 20),
                              font.CenterX("AB", 0, 5), font.CenterY(10, 20)),
              std::make_tuple(3, 1, 18, 14, 7, 6, -4, 13));
    font.SetSpacing(0, 2);
    EXPECT_EQ(font.GetTextWidth("AB"), 14);
}

TEST_F(OldFontTest, DrawRulesGiveHandComputedBytes)
{
    Image ink = Target(30, 200), blend = Target(30, 200), alpha = Target(30, 0);
    font.DrawText(ink.get(), 0, 1, "AB", 0x112233, nullptr);
    font.DrawTextBlend(blend.get(), 0, 0, "B", 0x000000, nullptr);
    font.DrawTextAlpha(alpha.get(), 0, 0, "B", 0x0000FF, 255, nullptr);
    // Image, x, y, byte (0..2 colour, 3 the mask), value.
    const std::tuple<const GBitmap*, int, int, int, int> probes[] = {
        {ink.get(), 1, 1, 0, 0x33}, {ink.get(), 1, 1, 2, 0x11}, {ink.get(), 1, 1, 3, 0},
        {ink.get(), 9, 3, 0, 0x33}, {ink.get(), 9, 3, 3, 100}, // B column 1, m 100
        {ink.get(), 10, 2, 0, 200}, {ink.get(), 10, 2, 3, 77}, // m 255: untouched
        {ink.get(), 0, 1, 0, 200}, {ink.get(), 1, 4, 0, 200},  // left bearing, below the glyph rows
        {blend.get(), 1, 0, 0, 0}, {blend.get(), 2, 0, 0, 78}, {blend.get(), 5, 0, 0, 156}, // (200 * m) >> 8
        // 255 * 65025 >> 16, not 255; w = 155 * 255; the alpha rule leaves the mask alone.
        {alpha.get(), 1, 0, 0, 253}, {alpha.get(), 2, 0, 0, 153}, {alpha.get(), 2, 0, 2, 0},
        {alpha.get(), 1, 0, 3, 77}};
    for (auto [image, x, y, byte, value] : probes)
        EXPECT_EQ(byte == 3 ? image->GetAlpha()[y * 30 + x] : Px(*image, x, y)[byte], value)
            << x << "," << y << " byte " << byte;

    Image none = Target(30, 9);
    font.DrawTextAlpha(none.get(), 0, 0, "AB", 0xFFFFFF, 0, nullptr);
    for (int x = 0; x < 30; ++x)
        EXPECT_EQ(Px(*none, x, 0)[1], 9);
}

TEST_F(OldFontTest, ClipsToRectangleAndDestination)
{
    // Start left of the clip: A loses its columns 1 and 2, B still starts at 8.
    Image dst = Target(30, 200);
    const GRect clip{3, 0, 30, 6};
    font.DrawText(dst.get(), 0, 0, "AB", 0, &clip);
    EXPECT_EQ(std::make_tuple(Px(*dst, 2, 0)[0], Px(*dst, 3, 0)[0], Px(*dst, 8, 0)[0]), std::make_tuple(200, 0, 0));

    // A start point outside the destination ignores the caller's rectangle.
    Image outside = Target(30, 200);
    const GRect far{20, 0, 30, 6};
    font.DrawText(outside.get(), -3, 0, "A", 0, &far);
    EXPECT_EQ(std::make_tuple(Px(*outside, 0, 0)[0], Px(*outside, 2, 0)[0], Px(*outside, 3, 0)[0]),
              std::make_tuple(0, 0, 200));

    // Without a rectangle a long text stops at the right edge instead of running into the
    // next row (column 0 of row 2 is never ink here).
    Image narrow = Target(10, 200);
    font.DrawText(narrow.get(), 0, 1, "ABABAB", 0, nullptr);
    EXPECT_EQ(std::make_tuple(Px(*narrow, 0, 2)[0], Px(*narrow, 9, 1)[0]), std::make_tuple(200, 0));
    // A caller's rectangle beyond the destination is cut to it as well.
    const GRect wide{0, 0, 400, 400};
    font.DrawText(narrow.get(), 0, 3, "ABABAB", 0, &wide);
    EXPECT_EQ(Px(*narrow, 0, 4)[0], 200);
}

TEST(OldFontSheetTest, DamagedSheetsAreClampedOrRefused)
{
    GOldFont font;
    Image plain(GBitmap::Create(20, 4, 0, 0));
    EXPECT_FALSE(font.InitFromResource(plain.get(), 4, 'B', 'A')); // no mask block
    EXPECT_EQ(font.GetTextWidth("A B"), 4);
    Image dst = Target(30, 200);
    font.DrawText(dst.get(), 0, 0, "AB", 0, nullptr);
    EXPECT_EQ(Px(*dst, 1, 0)[0], 200);

    Image shortRow = Sheet(12); // room for the header and one record
    ASSERT_TRUE(font.InitFromResource(shortRow.get(), 4, 'B', 'A'));
    EXPECT_EQ(font.GetTextWidth("AB"), 7);

    Image tall = Sheet(20, 40, 9); // heights beyond the mask rows
    ASSERT_TRUE(font.InitFromResource(tall.get(), 4, 'B', 'A'));
    EXPECT_EQ(font.GetHeight(), 3);

    Image past = Sheet(20, 2, 1, 18); // B's columns 17..21 on a 20-wide sheet
    ASSERT_TRUE(font.InitFromResource(past.get(), 4, 'B', 'A'));
    ASSERT_NE(font.GetGlyph('B'), nullptr);
    EXPECT_TRUE(font.GetGlyph('B')->width == 3 && !font.GetGlyph('C'));
    font.DrawText(dst.get(), 0, 0, "B", 0, nullptr);
}

} // namespace
