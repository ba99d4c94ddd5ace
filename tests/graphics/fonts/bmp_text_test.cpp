// Bitmap text: the layout rules as a table (anchors, lines at backslash-n, vertical texts,
// justified lines, fixed size), clip counts, draw modes, and the colour ramp a format-12 glyph
// is drawn through.

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "foundation/image/colour_ramp.h"
#include "graphics/blit/kernels.h"
#include "graphics/fonts/bmp_font.h"
#include "graphics/fonts/bmp_text.h"
#include "graphics/scene/clip_array.h"
#include "graphics/scene/clip_container.h"
#include "support/font_sheets.h"

namespace {

using tolvanrise::test::MakeGlyphSheet;
using tolvanrise::test::MakePoolStore;

class BmpTextTest : public ::testing::Test {
protected:
    // A 3 wide, B 5, Z 4; every glyph 6 high; unknown codes draw A.
    std::unique_ptr<GBmpFont> MakeFont(uint8_t format)
    {
        auto symbols = std::make_unique<GBmpFontSymbols>();
        symbols->Build({0, 1, 2}, u"ABZ", u"A");
        auto sheet = MakeGlyphSheet(format, {3, 5, 4}, 7);
        return GBmpFont::Create(sheet.get(), store.get(), std::move(symbols));
    }
    int32_t Slot(char16_t c) const { return font->GetGlyphSlot(c); }

    std::unique_ptr<GGraphicsResources> store = MakePoolStore(16);
    std::unique_ptr<GBmpFont> font = MakeFont(2);
};

struct LayoutCase {
    const char* name;
    GBmpTextFormat format;
    const char16_t* text;
    std::vector<std::pair<int, int>> clips; // whole-pixel positions of the used clips
    int16_t width, height;
    const char16_t* before = nullptr; // laid out first (anchor 0) to set the kept rectangle
};

TEST_F(BmpTextTest, LayoutRules)
{
    GBmpTextFormat base;
    base.spacing = 1;
    base.lineSpacing = 2;
    auto with = [&](auto change) {
        GBmpTextFormat f = base;
        change(f);
        return f;
    };
    const LayoutCase cases[] = {
        {"top-left", base, u"AB", {{100, 50}, {104, 50}}, 10, 6},
        {"centre", with([](auto& f) { f.anchor = 1; }), u"AB", {{95, 47}, {99, 47}}, 10, 6},
        {"top-right", with([](auto& f) { f.anchor = 2; }), u"AB", {{90, 50}, {94, 50}}, 10, 6},
        {"bottom-left", with([](auto& f) { f.anchor = 3; }), u"AB", {{100, 44}, {104, 44}}, 10, 6},
        {"bottom-right", with([](auto& f) { f.anchor = 4; }), u"AB", {{90, 44}, {94, 44}}, 10, 6},
        {"bad anchor", with([](auto& f) { f.anchor = 9; }), u"AB", {{100, 50}, {104, 50}}, 10, 6},
        {"space", base, u"A B", {{100, 50}, {110, 50}}, 16, 6},
        {"lines", base, u"AB\\nZ", {{100, 50}, {104, 50}, {100, 58}}, 10, 12},
        {"lone backslash", base, u"A\\B", {{100, 50}, {104, 50}, {108, 50}}, 14, 6},
        {"vertical", with([](auto& f) { f.vertical = true; }), u"AB", {{100, 50}, {100, 57}}, 5, 14},
        {"vertical centred", with([](auto& f) { f.vertical = true; f.anchor = 1; }), u"AB",
         {{99, 43}, {98, 50}}, 5, 14},
        {"vertical right", with([](auto& f) { f.vertical = true; f.anchor = 2; }), u"AB",
         {{97, 50}, {95, 57}}, 5, 14},
        {"vertical lines", with([](auto& f) { f.vertical = true; }), u"A\\nB",
         {{100, 50}, {105, 50}}, 8, 7},
        {"fixed size", with([](auto& f) { f.fixedSize = true; f.fixedWidth = 8; f.fixedHeight = 9; }),
         u"AB", {{100, 50}, {109, 50}}, 18, 9},
        {"justified", with([](auto& f) { f.anchor = 5; }), u"A B", {{97, 47}, {112, 47}}, 16, 6,
         u"AAAAA"},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto text = GBmpText::Create(font.get(), 8);
        text->SetPosition(100 << 8, 50 << 8);
        if (c.before) {
            text->SetFormat(base);
            text->SetText(c.before);
        }
        text->SetFormat(c.format);
        text->SetText(c.text);
        // The visible clips' pixel positions, then the size.
        std::vector<std::pair<int, int>> shown;
        for (int16_t i = 0; i < 8 && text->GetClip(i).IsVisible(); ++i)
            shown.emplace_back(text->GetClip(i).GetX() >> 8, text->GetClip(i).GetY() >> 8);
        shown.emplace_back(text->GetWidth(), text->GetHeight());
        auto expected = c.clips;
        expected.emplace_back(c.width, c.height);
        EXPECT_EQ(shown, expected);
        EXPECT_EQ(text->GetCharCount(), int16_t(c.clips.size()));
    }
}

TEST_F(BmpTextTest, RectangleClipsAndFrames)
{
    auto text = GBmpText::Create(font.get(), 3);
    ASSERT_EQ(GBmpText::Create(nullptr, 3), nullptr);
    text->SetPosition(100 << 8, 50 << 8);
    text->SetText(u"AB");
    const GRect r = text->GetRect();
    EXPECT_EQ(std::vector<int>({r.left, r.top, r.right, r.bottom}),
              std::vector<int>({97, 47, 110, 58}));
    text->SetPosition(110 << 8, 40 << 8);
    EXPECT_EQ((std::pair(text->GetRect().left, text->GetClip(1).GetY())), (std::pair<int16_t, int32_t>(107, 40 << 8)));

    // Cut at the clip count; an unknown character shows the base symbol.
    text->SetText(u"B?ZAB");
    EXPECT_EQ(text->GetCharCount(), 3);
    EXPECT_EQ((std::pair(text->GetClip(1).GetSlot(), text->GetClip(2).GetSlot())), (std::pair(Slot('A'), Slot('Z'))));

    int16_t w = 0, h = 0;
    text->Measure(u"A\\nA", w, h);
    EXPECT_EQ((std::pair(w, h)), (std::pair<int16_t, int16_t>(3, 12)));
    EXPECT_EQ(text->GetText().GetLength(), 5u); // the text before the measuring
    text->SetNumber(-42);
    EXPECT_EQ(text->GetCharCount(), 3);

    text->SetVisible(false);
    text->SetText(u"AB");
    EXPECT_FALSE(text->GetClip(0).IsVisible());
    text->SetVisible(true);
    EXPECT_FALSE(text->GetClip(2).IsVisible()); // holds no glyph

    // A glyph number with no glyph takes its clip but draws nothing.
    text->GetFont()->GetSymbols().Build({0, 7}, u"AQ", u"");
    text->SetText(u"QA");
    EXPECT_EQ(text->GetCharCount(), 2);
    EXPECT_EQ((std::pair(text->GetClip(0).IsVisible(), text->GetClip(0).GetFrame())), (std::pair(false, -256)));

    GClipArray list;
    ASSERT_TRUE(list.Init(8));
    GClipContainer container;
    container.Init(nullptr, store.get(), &list, nullptr);
    text->AddToContainer(container);
    EXPECT_EQ(list.GetCount(), 3);
    text->RemoveFromContainer(container);
    EXPECT_EQ(list.GetCount(), 0);
}

TEST_F(BmpTextTest, DrawModesAndColourRamp)
{
    auto text = GBmpText::Create(font.get(), 2);
    EXPECT_EQ(text->GetClip(0).GetDrawMode(), 2);
    text->SetAlpha(90);
    EXPECT_EQ((std::pair(text->GetClip(1).GetDrawMode(), text->GetClip(1).GetAlpha())),
              (std::pair<uint8_t, uint8_t>(3, 90)));
    text->SetDrawModeOverride(13);
    EXPECT_EQ(text->GetClip(0).GetDrawMode(), 13);

    auto rampFont = MakeFont(12);
    auto ramp = GBmpText::Create(rampFont.get(), 2);
    EXPECT_EQ(ramp->GetClip(0).GetDrawMode(), 12);
    ramp->SetColor(0x804020);
    const uint32_t* table = ramp->GetColourRamp();
    EXPECT_EQ(ramp->GetClip(0).GetPalette(), table);
    uint32_t expected[256];
    BuildColourRampToWhite(0x804020, expected);
    EXPECT_EQ(0, std::memcmp(table, expected, sizeof expected));

    // The glyph of Z drawn as its clip would be: each index byte picks its ramp entry, the
    // mask blends it over the destination.
    ramp->SetText(u"Z");
    const GBitmap* glyph = store->GetBitmap(ramp->GetClip(0).GetSlot());
    ASSERT_NE(glyph, nullptr);
    GBlitRule rule{};
    ASSERT_TRUE(BlitRuleForDrawMode(ramp->GetClip(0).GetDrawMode(), rule));
    std::unique_ptr<GBitmap> dst(GBitmap::Create(8, 8, 0, 0));
    std::memset(dst->GetPixels(), 0x40, 8 * 8 * 3);
    GetBlitKernel(rule, 0)(dst.get(), glyph, 0, 0, GBlitArgs{.table = reinterpret_cast<const uint8_t*>(table)},
                           nullptr);
    for (int y = 0; y < glyph->GetHeight(); ++y)
        for (int x = 0; x < glyph->GetWidth(); ++x) {
            const uint8_t index = glyph->GetPixels()[y * glyph->GetWidth() + x];
            const int m = glyph->GetAlpha()[y * glyph->GetWidth() + x];
            const uint8_t* d = dst->GetPixels() + y * dst->GetPitch() + x * 3;
            for (int c = 0; c < 3; ++c) {
                const int s = (table[index] >> (8 * c)) & 0xFF;
                const int want = m == 255 ? 0x40 : s + (((0x40 - s) * m) >> 8);
                EXPECT_EQ(d[c], want) << x << "," << y << " channel " << c;
            }
        }
    ramp->SetAlpha(10);
    EXPECT_EQ(ramp->GetClip(0).GetDrawMode(), 10);
}

} // namespace
