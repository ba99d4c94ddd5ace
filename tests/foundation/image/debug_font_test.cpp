#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "foundation/image/debug_font.h"
#include "foundation/image/dib_surface.h"

namespace {

constexpr uint8_t kFill = 0x55;

struct Surface {
    std::unique_ptr<GDibSurface> s;
    int w, h, pitch, bpp;

    Surface(int width, int height, int bits = 24)
        : s(GDibSurface::Create(static_cast<int16_t>(width), static_cast<int16_t>(height), bits)), w(width),
          h(height), pitch(s->GetPitch()), bpp(bits / 8)
    {
        // The spare row is included: nothing may be drawn into it.
        std::memset(s->Lock(), kFill, static_cast<size_t>(pitch) * (h + 1));
        s->Unlock();
    }
    std::vector<uint8_t> Bytes()
    {
        const uint8_t* p = s->Lock();
        std::vector<uint8_t> v(p, p + static_cast<size_t>(pitch) * (h + 1));
        s->Unlock();
        return v;
    }
    // 0x00RRGGBB of pixel (x, y).
    uint32_t At(int x, int y)
    {
        const uint8_t* p = s->Lock() + y * pitch + x * bpp;
        const uint32_t c = p[0] | (p[1] << 8) | (p[2] << 16);
        s->Unlock();
        return c;
    }
};

constexpr uint32_t kUntouched = 0x555555;

GDebugFont MakeFont()
{
    GDebugFont font;
    BuildDebugFont(font);
    font.textColour = 0x123456;
    font.backgroundColour = 0xabcdef;
    return font;
}

bool GlyphBit(const GDebugFont& font, char c, int row, int col)
{
    return (font.glyphRows[(c - 32) * 10 + row] >> (6 - col)) & 1;
}

TEST(DebugFontTest, BuiltFont)
{
    GDebugFont font = MakeFont();
    std::set<std::string> shapes;
    for (int g = 0; g < 95; ++g) {
        std::string rows(reinterpret_cast<const char*>(font.glyphRows + g * 10), 10);
        for (unsigned char r : rows)
            EXPECT_EQ(r & 0x80, 0) << g; // 7 pixels per row
        shapes.insert(rows);
    }
    // Every character tells apart, so only the space is blank.
    EXPECT_EQ(shapes.size(), 95u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(font.glyphRows), 10), std::string(10, '\0'));
}

TEST(DebugFontTest, TransparentDrawsOnlyGlyphBitsOpaqueFillsTheCells)
{
    GDebugFont font = MakeFont();
    Surface surface(30, 20);
    font.DrawTransparent(surface.s.get(), 3, 2, "A ");
    EXPECT_EQ(surface.s->GetPixels(), nullptr); // unlocked afterwards
    int set = 0;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 30; ++x) {
            const bool inCell = x >= 3 && x < 10 && y >= 2 && y < 12;
            const bool bit = inCell && GlyphBit(font, 'A', y - 2, x - 3);
            ASSERT_EQ(surface.At(x, y), bit ? 0x123456u : kUntouched) << x << "," << y;
            set += bit;
        }
    }
    EXPECT_GT(set, 10);

    Surface opaque(30, 25);
    font.DrawOpaque(opaque.s.get(), 0, 0, "x\n \xff");
    for (int y = 0; y < 25; ++y) {
        for (int x = 0; x < 30; ++x) {
            uint32_t want = kUntouched;
            if (x < 7 && y < 10)
                want = GlyphBit(font, 'x', y, x) ? 0x123456u : 0xabcdefu;
            else if (x < 7 && y >= 10 && y < 20)
                want = 0xabcdefu; // a space in the opaque form
            // The byte 0xff has no glyph: its cell (7..13, 10..19) stays as it was.
            ASSERT_EQ(opaque.At(x, y), want) << x << "," << y;
        }
    }
}

TEST(DebugFontTest, PartlyOutsideCellsAreSkipped)
{
    GDebugFont font = MakeFont();
    Surface surface(40, 30);
    // From x = -10 the cells at -10 and -3 stick out; the third starts at 4.
    font.DrawOpaque(surface.s.get(), -10, 0, "MMMM");
    EXPECT_EQ((std::vector<uint32_t>{surface.At(0, 0), surface.At(3, 9), surface.At(4, 0), surface.At(17, 9),
                                     surface.At(18, 0)}),
              (std::vector<uint32_t>{kUntouched, kUntouched, 0xabcdefu, 0xabcdefu, kUntouched}));
    // Text wholly inside is whole: the last cell reaches the edge.
    Surface exact(21, 10);
    font.DrawOpaque(exact.s.get(), 0, 0, "abc");
    for (int x = 0; x < 21; ++x)
        ASSERT_NE(exact.At(x, 9), kUntouched) << x;
}

TEST(DebugFontTest, ClippedToTheSurface)
{
    GDebugFont font = MakeFont();
    const std::string block = "HHHHHHHHHHHHHHH\nHHHHHHHHHHHHHHH\nHHHHHHHHHHHHHHH\nHHHHHHHHHHHHHHH";
    const int xs[] = {INT_MIN, -1000, -13, -7, -1, 0, 1, 5, 16, 20, 21, 1000, INT_MAX};
    const int ys[] = {INT_MIN, -25, -10, -9, 0, 3, 14, 15, 30, INT_MAX};
    for (int bits : {24, 32}) {
        for (int x : xs) {
            for (int y : ys) {
                Surface surface(21, 15, bits);
                font.DrawOpaque(surface.s.get(), x, y, block.c_str());
                const std::vector<uint8_t> after = surface.Bytes();
                // Padding bytes of each row, the fourth byte of 32-bit pixels and the spare
                // row are never written.
                for (int row = 0; row <= 15; ++row) {
                    for (int b = 0; b < surface.pitch; ++b) {
                        const bool pixelByte = row < 15 && b < 21 * surface.bpp && b % surface.bpp < 3;
                        if (!pixelByte) {
                            ASSERT_EQ(after[row * surface.pitch + b], kFill) << x << "," << y << " row " << row;
                        }
                    }
                }
                // Every drawn pixel lies in a cell wholly inside the surface.
                for (int py = 0; py < 15; ++py) {
                    for (int px = 0; px < 21; ++px) {
                        if (surface.At(px, py) == kUntouched)
                            continue;
                        const int64_t cellX = (int64_t{px} - x) >= 0 ? (int64_t{px} - x) / 7 : -1;
                        const int64_t cellY = (int64_t{py} - y) >= 0 ? (int64_t{py} - y) / 10 : -1;
                        ASSERT_TRUE(cellX >= 0 && cellY >= 0) << px << "," << py;
                        ASSERT_TRUE(x + cellX * 7 >= 0 && x + cellX * 7 + 7 <= 21) << px;
                        ASSERT_TRUE(y + cellY * 10 >= 0 && y + cellY * 10 + 10 <= 15) << py;
                    }
                }
            }
        }
    }
}

TEST(DebugFontTest, PrintfKeepsToTheBuffer)
{
    GDebugFont font = MakeFont();
    Surface surface(50, 12);
    const std::string longText(1000, 'W');
    font.PrintfTransparent(surface.s.get(), 0, 0, "%s", longText.c_str());
    EXPECT_EQ(std::strlen(font.buffer), 255u);
    font.PrintfOpaque(surface.s.get(), 0, 0, "%d fps", 60);
    EXPECT_STREQ(font.buffer, "60 fps");
    EXPECT_EQ(surface.At(0, 0), 0xabcdefu);
    font.PrintfOpaque(surface.s.get(), 0, 0, nullptr);
    EXPECT_STREQ(font.buffer, "");

    // Nothing to draw on, or nothing to draw.
    font.DrawOpaque(nullptr, 0, 0, "x");
    GDibSurface empty(10, 10); // no pixel memory
    font.DrawOpaque(&empty, 0, 0, "x");
    Surface untouched(10, 10);
    font.DrawOpaque(untouched.s.get(), 0, 0, nullptr);
    EXPECT_EQ(untouched.At(0, 0), kUntouched);
}

} // namespace
