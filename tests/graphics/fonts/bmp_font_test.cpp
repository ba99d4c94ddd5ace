// Bitmap fonts: the symbol table from descriptions (cfg node and data document), and the
// glyph cutter on marker rows with leading and adjacent separators, per sheet format.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <tuple>

#include "foundation/cfg/cfg_node.h"
#include "foundation/docs/xml_data_doc.h"
#include "graphics/fonts/bmp_font.h"
#include "graphics/store/bitmap_pool.h"
#include "support/font_sheets.h"

namespace {

using tolvanrise::test::MakeGlyphSheet;
using tolvanrise::test::MakePoolStore;
using tolvanrise::test::MakeSheet;

TEST(BmpFontSymbolsTest, TablesFromDescriptions)
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
}

TEST(BmpFontSymbolsTest, DescriptionReaders)
{
    GCfgNode node;
    std::string text = "Symbols = 'A\"B'; Indexes = [2, 0, 1]; BaseSymbol = B;";
    ASSERT_EQ(node.Parse(text.data(), text.size()), 1);
    GBmpFontSymbols table;
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

TEST(BmpFontCutTest, MarkerRowSeparators)
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
}

TEST(BmpFontCutTest, UnreadableSheetsAndFullPools)
{
    auto store = MakePoolStore(2);
    EXPECT_EQ(GBmpFont::Create(nullptr, store.get(), nullptr), nullptr);
    auto flat = MakeSheet(2, 4, 1, {1});
    EXPECT_EQ(GBmpFont::Create(flat.get(), store.get(), nullptr), nullptr);
    std::unique_ptr<GBitmap> alphaOnly(GBitmap::Create(4, 4, 0, 14));
    EXPECT_EQ(GBmpFont::Create(alphaOnly.get(), store.get(), nullptr), nullptr);
    std::unique_ptr<GBitmap> unmasked(GBitmap::Create(4, 4, 0, 12)); // 12 needs its mask
    EXPECT_EQ(GBmpFont::Create(unmasked.get(), store.get(), nullptr), nullptr);
    auto lying = MakeSheet(2, 4, 4, {1});
    lying->SetWidth(400); // blocks smaller than the size claims
    EXPECT_EQ(GBmpFont::Create(lying.get(), store.get(), nullptr), nullptr);
    EXPECT_EQ(store->GetPool()->GetBitmap(0), nullptr);

    // Two pool slots for three glyphs: the font keeps the two it could cut.
    auto three = MakeGlyphSheet(12, {1, 2, 3}, 3);
    auto font = GBmpFont::Create(three.get(), store.get(), nullptr);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->GetGlyphPoolSlots().size(), 2u);
}

} // namespace
