// Bitmap fonts: the symbol table from descriptions (cfg node and data document), the glyph
// cutter on marker rows with leading and adjacent separators, per sheet format, and text.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "foundation/cfg/cfg_node.h"
#include "foundation/core/rect.h"
#include "foundation/docs/xml_data_doc.h"
#include "foundation/image/bitmap.h"
#include "foundation/image/dib_surface.h"
#include "foundation/image/colour_ramp.h"
#include "graphics/blit/kernels.h"
#include "graphics/fonts/bmp_font.h"
#include "graphics/fonts/bmp_text.h"
#include "graphics/fonts/old_font.h"
#include "graphics/scene/clip_array.h"
#include "graphics/scene/clip_container.h"
#include "graphics/store/bitmap_pool.h"
#include "support/font_sheets.h"

namespace {

using tolvanrise::test::MakeGlyphSheet;
using tolvanrise::test::MakePoolStore;
using tolvanrise::test::MakeSheet;

TEST(BmpFontSymbolsTest, TablesFromDescriptionsAndTheirReaders)
{
    GBmpFontSymbols table;
    EXPECT_EQ(std::make_tuple(table.GetCount(), table.FindCode('!'), table.FindCode(127), table.FindCode(u'Ж')),
              std::make_tuple(95, 0, 94, 0));

    struct Case {
        std::vector<int32_t> indexes;
        std::u16string symbols, base;
        int16_t count, baseAt;
        std::u16string codes; // by position, 0 for holes
    };
    const Case cases[] = {
        {{2, 0, 5}, u"abc", u"c", 6, 5, std::u16string(u"b\0a\0\0c", 6)},
        {{1, 0}, u"xyz", u"", 2, 0, u"yx"},                 // more codes than records
        {{0, 1, 2}, u"pq", u"q", 2, 1, u"pq"},              // more records than codes
        {{-1, 70000, 1}, u"abc", u"z", 2, 0, std::u16string(u"\0c", 2)}, // absurd indexes
        {{}, u"abc", u"", 95, 0, u""},                      // nothing given: the default
        {{-5}, u"a", u"", 95, 0, u""},
    };
    for (const Case& c : cases) {
        table.Build(c.indexes, c.symbols, c.base);
        std::u16string codes;
        for (size_t i = 0; i < c.codes.size(); ++i)
            codes += char16_t(table.GetIndex(int32_t(i)));
        EXPECT_EQ(std::make_tuple(table.GetCount(), table.GetBase(), codes),
                  std::make_tuple(c.count, c.baseAt, c.codes))
            << std::string(c.symbols.begin(), c.symbols.end());
    }
    table.Build({2, 0, 5}, u"abc", u"");
    EXPECT_EQ(std::make_tuple(table.FindCode('a'), table.FindCode('?')), std::make_tuple(2, 0));
    table.SetBaseCode('c');
    EXPECT_EQ(std::make_tuple(table.FindCode('?'), table.GetIndex(-1), table.GetIndex(6)), std::make_tuple(5, 0, 0));

    EXPECT_EQ(GBmpFont::ParseIndexes(u" 1, 2\t3\n-4,,x 99999999999 7z"),
              (std::vector<int32_t>{1, 2, 3, -4, INT_MAX, 7}));
    // A plus sign, a sign alone, separators at the end; saturation downwards.
    EXPECT_EQ(GBmpFont::ParseIndexes(u"+5 - -0 -99999999999 ,\n"),
              (std::vector<int32_t>{5, 0, INT_MIN}));

    // The description readers.
    GCfgNode node;
    std::string text = "Symbols = 'A\"B'; Indexes = [2, 0, 1]; BaseSymbol = B;";
    ASSERT_EQ(node.Parse(text.data(), text.size()), 1);
    GBmpFont::LoadDescription(node, table);
    EXPECT_EQ(std::make_tuple(table.FindCode('A'), table.FindCode('"'), table.GetBase()), std::make_tuple(2, 0, 1));

    GXmlDataDoc doc;
    ASSERT_EQ(doc.LoadFromText(GWString(u"<Font Symbols=\"&quot;ЖA\" BaseSymbol=\"A\"/>")), 1);
    GDataDoc* font = doc.GetChild("Font");
    ASSERT_NE(font, nullptr);
    GBmpFont::LoadDescription(*font, table); // no Indexes: glyphs 0 to 2 in order
    EXPECT_EQ(std::make_tuple(table.GetCount(), table.FindCode(u'Ж'), table.GetBase()), std::make_tuple(3, 1, 2));
}

// Glyph pool slot i compared with sheet columns from..from + width - 1, rows 1 and on.
void ExpectGlyph(GGraphicsResources& store, const GBmpFont& font, size_t i, int from, int width,
                 const GBitmap& sheet)
{
    const int bpp = sheet.GetFormat() == 12 ? 1 : 3;
    const int sheetWidth = sheet.GetWidth();
    ASSERT_LT(i, font.GetGlyphPoolSlots().size());
    const GBitmap* g = store.GetPool()->GetBitmap(font.GetGlyphPoolSlots()[i]);
    ASSERT_TRUE(g && g->GetWidth() == width && g->GetHeight() == sheet.GetHeight() - 1) << i;
    for (int y = 0; y < sheet.GetHeight() - 1; ++y)
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < bpp; ++c)
                EXPECT_EQ(g->GetPixels()[(y * width + x) * bpp + c],
                          sheet.GetPixels()[((y + 1) * sheetWidth + from + x) * bpp + c]);
            if (sheet.GetAlpha()) {
                EXPECT_EQ(g->GetAlpha()[y * width + x], sheet.GetAlpha()[(y + 1) * sheetWidth + from + x]);
            }
        }
}

TEST(BmpFontCutTest, MarkerRowSeparatorsUnreadableSheetsAndFullPools)
{
    struct CutCase {
        const char* name;
        uint8_t format;
        int width, height;
        std::vector<int> separators;
        bool rowZero;
        std::vector<std::pair<int, int>> glyphs; // first column, width
    };
    const CutCase cases[] = {
        // A leading separator's column belongs to the first glyph.
        {"leading", 2, 10, 5, {0, 3, 7}, false, {{0, 3}, {4, 3}}},
        // Column 3 follows a separator directly, so it opens the glyph column 4 ends.
        {"adjacent, row 0", 0, 9, 4, {2, 3, 4, 8}, true, {{0, 2}, {3, 1}, {5, 3}}},
        // Format 12: the marker in the mask, index bytes and a mask of the glyph's own.
        {"format 12", 12, 7, 6, {4, 6}, false, {{0, 4}, {5, 1}}},
    };
    auto store = MakePoolStore(16);
    for (const CutCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto sheet = MakeSheet(c.format, c.width, c.height, c.separators, c.rowZero ? 0 : 1);
        auto font = GBmpFont::Create(sheet.get(), store.get(), nullptr, c.rowZero);
        ASSERT_NE(font, nullptr);
        ASSERT_EQ(font->GetGlyphPoolSlots().size(), c.glyphs.size());
        EXPECT_EQ(font->GetFormat(), c.format);
        for (size_t i = 0; i < c.glyphs.size(); ++i)
            ExpectGlyph(*store, *font, i, c.glyphs[i].first, c.glyphs[i].second, *sheet);
    }

    // Lookups: '!' is glyph 0, an unknown code the base symbol's, glyph numbers past the cut
    // glyphs none.
    auto indexed = MakeGlyphSheet(12, {4, 1}, 6);
    auto ramp = GBmpFont::Create(indexed.get(), store.get(), nullptr);
    int16_t w = 0, h = 0;
    const int32_t first = ramp->GetGlyphPoolSlots()[0] + store->GetLoadedSlots();
    EXPECT_EQ(std::make_tuple(ramp->GetGlyphSlot('!'), ramp->GetGlyphSlot(u'Ж'), ramp->GetGlyphSlot('#')),
              std::make_tuple(first, first, -1));
    EXPECT_TRUE(ramp->GetGlyphSize('"', w, h) && w == 1 && h == 5);
    EXPECT_FALSE(ramp->GetGlyphSize('#', w, h));

    const int16_t firstSlot = ramp->GetGlyphPoolSlots()[0];
    ramp->FreeGlyphs();
    EXPECT_TRUE(ramp->GetGlyphPoolSlots().empty() && !store->GetPool()->GetBitmap(firstSlot) &&
                ramp->GetGlyphSlot('!') == -1);

    // Unreadable sheets and full pools.
    auto small = MakePoolStore(2);
    auto flat = MakeSheet(2, 4, 1, {1});
    std::unique_ptr<GBitmap> alphaOnly(GBitmap::Create(4, 4, 0, 14));
    std::unique_ptr<GBitmap> unmasked(GBitmap::Create(4, 4, 0, 12)); // 12 needs its mask
    auto lying = MakeSheet(2, 4, 4, {1});
    lying->SetWidth(400); // blocks smaller than the size claims
    for (const GBitmap* sheet : {static_cast<GBitmap*>(nullptr), flat.get(), alphaOnly.get(), unmasked.get(), lying.get()})
        EXPECT_EQ(GBmpFont::Create(sheet, small.get(), nullptr), nullptr);
    EXPECT_EQ(small->GetPool()->GetBitmap(0), nullptr);

    // Two pool slots for three glyphs: the font keeps the two it could cut.
    auto three = MakeGlyphSheet(12, {1, 2, 3}, 3);
    auto partial = GBmpFont::Create(three.get(), small.get(), nullptr);
    ASSERT_NE(partial, nullptr);
    EXPECT_EQ(partial->GetGlyphPoolSlots().size(), 2u);
}

// Palettised sheets (formats 16 to 21): each glyph gets the sheet's palette and its own
// columns of index bytes (and of the mask where the format has one); a sheet whose pixel block
// is too small for its palette offset and indexes, or whose offset points into the palette,
// makes no font.
TEST(BmpFontCutTest, PalettisedSheetsGiveEachGlyphThePaletteAndItsIndexes)
{
    constexpr int kWidth = 7, kHeight = 4; // glyphs of 2 and 3 columns, separators at 2 and 6
    auto store = MakePoolStore(16);
    for (uint8_t format : {uint8_t(dmIndexed), uint8_t(dmIndexedMask)}) {
        SCOPED_TRACE(int(format));
        std::unique_ptr<GBitmap> sheet(GBitmap::Create(kWidth, kHeight, 0, format));
        ASSERT_TRUE(sheet && sheet->GetPixels());
        uint8_t* palette = sheet->GetPixels() + 2;
        for (int i = 0; i < kPalettisedPixelOffset - 2; ++i)
            palette[i] = uint8_t(i * 7 + 1);
        uint8_t* index = sheet->GetPixels() + kPalettisedPixelOffset;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                index[y * kWidth + x] =
                    (y == 1 && (x == 2 || x == 6)) ? 0 : uint8_t(1 + x + y * 10);
                if (sheet->GetAlpha())
                    sheet->GetAlpha()[y * kWidth + x] = uint8_t(200 - x - y * 10);
            }
        auto font = GBmpFont::Create(sheet.get(), store.get(), nullptr);
        ASSERT_NE(font, nullptr);
        ASSERT_EQ(font->GetGlyphPoolSlots().size(), 2u);
        const std::pair<int, int> glyphs[] = {{0, 2}, {3, 3}};
        for (size_t i = 0; i < 2; ++i) {
            const GBitmap* g = store->GetPool()->GetBitmap(font->GetGlyphPoolSlots()[i]);
            const auto [from, width] = glyphs[i];
            ASSERT_TRUE(g && g->GetWidth() == width && g->GetHeight() == kHeight - 1 &&
                        g->GetFormat() == format);
            EXPECT_EQ(0, std::memcmp(g->GetPixels() + 2, palette, kPalettisedPixelOffset - 2)) << i;
            for (int y = 0; y < kHeight - 1; ++y)
                for (int x = 0; x < width; ++x) {
                    EXPECT_EQ(g->GetPixels()[kPalettisedPixelOffset + y * width + x],
                              index[(y + 1) * kWidth + from + x])
                        << i << " " << x << "," << y;
                    if (format == dmIndexedMask) {
                        EXPECT_EQ(g->GetAlpha()[y * width + x],
                                  sheet->GetAlpha()[(y + 1) * kWidth + from + x]);
                    }
                }
        }
    }

    // Blocks of 1 byte, of the palette and all but the last index, and an offset inside the
    // palette.
    const uint32_t sizes[] = {1, kPalettisedPixelOffset + kWidth * kHeight - 1,
                              kPalettisedPixelOffset + kWidth * kHeight};
    const uint16_t offsets[] = {kPalettisedPixelOffset, kPalettisedPixelOffset,
                                kPalettisedPixelOffset - 1};
    for (int k = 0; k < 3; ++k) {
        std::unique_ptr<GPixelBlock> block = GPixelBlock::Create(sizes[k], nullptr);
        ASSERT_NE(block, nullptr);
        std::memset(block->GetData(), 5, sizes[k]);
        if (sizes[k] >= 2)
            std::memcpy(block->GetData(), &offsets[k], 2);
        auto sheet =
            GBitmap::CreateOnNewBlocks(kWidth, kHeight, 0, dmIndexed, std::move(block), nullptr);
        ASSERT_NE(sheet, nullptr);
        EXPECT_EQ(GBmpFont::Create(sheet.get(), store.get(), nullptr), nullptr) << k;
    }
}

// Bitmap text: the layout rules as a table (anchors, lines at backslash-n, vertical texts,
// justified lines, fixed size), clip counts, draw modes, and the colour ramp a format-12 glyph
// is drawn through.
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
        {"centre", with([](auto& f) { f.anchor = kTextCentre; }), u"AB", {{95, 47}, {99, 47}}, 10, 6},
        {"top-right", with([](auto& f) { f.anchor = kTextTopRight; }), u"AB", {{90, 50}, {94, 50}}, 10, 6},
        {"bottom-left", with([](auto& f) { f.anchor = kTextBottomLeft; }), u"AB", {{100, 44}, {104, 44}}, 10, 6},
        {"bottom-right", with([](auto& f) { f.anchor = kTextBottomRight; }), u"AB", {{90, 44}, {94, 44}}, 10, 6},
        {"bad anchor", with([](auto& f) { f.anchor = GTextAnchor(9); }), u"AB", {{100, 50}, {104, 50}}, 10, 6},
        {"space", base, u"A B", {{100, 50}, {110, 50}}, 16, 6},
        {"lines", base, u"AB\\nZ", {{100, 50}, {104, 50}, {100, 58}}, 10, 12},
        {"lone backslash", base, u"A\\B", {{100, 50}, {104, 50}, {108, 50}}, 14, 6},
        {"vertical", with([](auto& f) { f.vertical = true; }), u"AB", {{100, 50}, {100, 57}}, 5, 14},
        {"vertical centred", with([](auto& f) { f.vertical = true; f.anchor = kTextCentre; }), u"AB",
         {{99, 43}, {98, 50}}, 5, 14},
        {"vertical right", with([](auto& f) { f.vertical = true; f.anchor = kTextTopRight; }), u"AB",
         {{97, 50}, {95, 57}}, 5, 14},
        {"vertical lines", with([](auto& f) { f.vertical = true; }), u"A\\nB",
         {{100, 50}, {105, 50}}, 8, 7},
        {"fixed size", with([](auto& f) { f.fixedSize = true; f.fixedWidth = 8; f.fixedHeight = 9; }),
         u"AB", {{100, 50}, {109, 50}}, 18, 9},
        {"justified", with([](auto& f) { f.anchor = kTextJustified; }), u"A B", {{97, 47}, {112, 47}}, 16, 6,
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

TEST_F(BmpTextTest, RectangleClipsFramesDrawModesAndColourRamp)
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
    EXPECT_EQ((std::tuple{text->GetCharCount(), text->GetClip(1).GetSlot(), text->GetClip(2).GetSlot()}),
              (std::tuple{int16_t(3), Slot('A'), Slot('Z')}));

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

    // Draw modes and the colour ramp.
    auto modes = GBmpText::Create(font.get(), 2);
    EXPECT_EQ(modes->GetClip(0).GetDrawMode(), 2);
    modes->SetAlpha(90);
    EXPECT_EQ((std::pair(modes->GetClip(1).GetDrawMode(), modes->GetClip(1).GetAlpha())),
              (std::pair<uint8_t, uint8_t>(3, 90)));
    modes->SetDrawModeOverride(13);
    EXPECT_EQ(modes->GetClip(0).GetDrawMode(), 13);

    auto rampFont = MakeFont(12);
    auto ramp = GBmpText::Create(rampFont.get(), 2);
    EXPECT_EQ(ramp->GetClip(0).GetDrawMode(), 12);
    ramp->SetColor(0x804020);
    EXPECT_EQ(ramp->GetColor(), 0x804020u);
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

// Raster font: metrics read from the sheet's mask row, measuring, centring and the three
// pixel rules against hand-computed bytes, clipping (also of damaged sheets).
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

TEST_F(OldFontTest, DrawRulesGiveHandComputedBytesClippedToRectangleAndDestination)
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

    // Codes the font does not cover draw nothing and take no room, as in the measures.
    Image skipped = Target(30, 200);
    font.DrawText(skipped.get(), 0, 1, "AC@B", 0x112233, nullptr);
    EXPECT_EQ(0, std::memcmp(skipped->GetPixels(), ink->GetPixels(), 30 * 6 * 3));

    Image none = Target(30, 9);
    font.DrawTextAlpha(none.get(), 0, 0, "AB", 0xFFFFFF, 0, nullptr);
    for (int x = 0; x < 30; ++x)
        EXPECT_EQ(Px(*none, x, 0)[1], 9);

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

TEST_F(OldFontTest, DrawsOntoTheBackBufferWhichKeepsItsOwnMemory)
{
    // The back buffer has no pixel block; only its lock gives the pixels.
    std::unique_ptr<GDibSurface> screen = GDibSurface::Create(30, 6, 24);
    ASSERT_TRUE(screen && screen->GetPixelBlock() == nullptr);
    font.DrawTextAlpha(screen.get(), 0, 0, "B", 0x0000FF, 255, nullptr); // not locked: nothing
    uint8_t* pixels = screen->Lock();
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[1 * 3], 0);
    font.DrawTextAlpha(screen.get(), 0, 0, "B", 0x0000FF, 255, nullptr);
    EXPECT_EQ(std::make_tuple(pixels[1 * 3], pixels[2 * 3], pixels[2 * 3 + 2]), std::make_tuple(253, 153, 0));
    screen->Unlock();
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

namespace {

// Another font lays the same text out again in its own glyphs, widths and draw mode; the
// position reads back as set; showing a shown text again changes no clip.
TEST_F(BmpTextTest, AnotherFontLaysTheTextOutAgain)
{
    auto text = GBmpText::Create(font.get(), 4);
    text->SetPosition(10 << 8, 20 << 8);
    text->SetText(u"AB");
    EXPECT_EQ(std::make_tuple(text->GetWidth(), text->GetClip(1).GetSlot(),
                              int(text->GetClip(0).GetDrawMode())),
              std::make_tuple(int16_t(8), Slot('B'), 2));
    auto wide = std::make_unique<GBmpFontSymbols>();
    wide->Build({0, 1}, u"AB", u"A");
    auto sheet = MakeGlyphSheet(12, {6, 4}, 5);
    auto other = GBmpFont::Create(sheet.get(), store.get(), std::move(wide));
    ASSERT_NE(other, nullptr);
    text->SetFont(other.get());
    EXPECT_EQ(text->GetFont(), other.get());
    EXPECT_EQ(std::make_tuple(text->GetWidth(), text->GetHeight(), text->GetClip(1).GetSlot(),
                              int(text->GetClip(0).GetDrawMode())),
              std::make_tuple(int16_t(10), int16_t(4), other->GetGlyphSlot('B'), 12));
    EXPECT_EQ(text->GetClip(1).GetX() - text->GetClip(0).GetX(), 6 << 8);
    int32_t x = 0, y = 0;
    text->GetPosition(x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(10 << 8, 20 << 8));
    text->GetClip(0).SetVisible(false); // hidden from outside: showing the shown text leaves it
    text->SetVisible(true);
    EXPECT_FALSE(text->GetClip(0).IsVisible());
    text->SetFont(font.get()); // the fixture's font goes after this one
}

} // namespace
