// The two font managers over the data folder the build makes (the store with the font sheets,
// the font list and descriptions, the scrambled TrueType file), and over damaged lists.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "foundation/files/html_log.h"
#include "foundation/files/scramble_keys.h"
#include "foundation/image/bitmap.h"
#include "graphics/fonts/bmp_font.h"
#include "graphics/fonts/bmp_text.h"
#include "graphics/fonts/old_font.h"
#include "graphics/scene/clip.h"
#include "graphics/fonts/ttf_font.h"
#include "graphics/store/bitmap_pool.h"
#include "graphics/store/graphics_resources.h"
#include "gui/bmp_font_manager.h"
#include "gui/old_font_manager.h"
#include "support/temp_files.h"

namespace {

using tolvanrise::test::ScopedCurrentFolder;
using tolvanrise::test::TempFolder;

class FontManagersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(here.Entered());
        store = GGraphicsResources::Create("800x600", 400, 0);
        ASSERT_NE(store, nullptr);
    }
    ScopedCurrentFolder here{TOLVANRISE_DATA_DIR};
    std::unique_ptr<GGraphicsResources> store;
};

TEST_F(FontManagersTest, MakesTheDataFoldersFonts)
{
    GBmpFontManager bitmapFonts;
    ASSERT_EQ(bitmapFonts.Init(store.get(), "fonts.xml"), 2);
    for (const char* name : {"Sans12", "Sans12Ramp"}) {
        GBmpFont* font = bitmapFonts.FindFont(name);
        ASSERT_NE(font, nullptr) << name;
        EXPECT_GE(font->GetGlyphPoolSlots().size(), 94u + 66u);
        int16_t w = 0, h = 0;
        EXPECT_TRUE(font->GetGlyphSize(u'Ж', w, h) && w > 5);
        EXPECT_NE(font->GetGlyphSlot(u'"'), font->GetGlyphSlot(u'\''));
        EXPECT_EQ(font->GetGlyphSlot(u'€'), font->GetGlyphSlot(u'?'));
    }
    EXPECT_EQ(bitmapFonts.FindFont("Sans12Ramp")->GetFormat(), 12);
    auto text = GBmpText::Create(bitmapFonts.FindFont("Sans12"), 32);
    text->SetText(u"Tolvanrise\\nЁлка");
    EXPECT_TRUE(text->GetCharCount() == 14 && text->GetWidth() > 50);

    const int16_t slot = bitmapFonts.FindFont("Sans12")->GetGlyphPoolSlots()[0];
    EXPECT_TRUE(bitmapFonts.DropFont("Sans12") && !bitmapFonts.DropFont("Sans12"));
    EXPECT_EQ(store->GetPool()->GetBitmap(slot), nullptr);

    GOldFontManager rasterFonts(store.get());
    GOldFontManager withoutStore(nullptr);
    // Every name and the store are needed; a second font of a name replaces the first.
    EXPECT_EQ((std::vector<int>{rasterFonts.AddFont("Small", "OLDFONT_SANS9", 3, 255, 33),
                                rasterFonts.AddFont("", "OLDFONT_SANS9", 3, 255, 33),
                                rasterFonts.AddFont(nullptr, "OLDFONT_SANS9", 3, 255, 33),
                                rasterFonts.AddFont("Other", "", 3, 255, 33),
                                rasterFonts.AddFont("Other", nullptr, 3, 255, 33),
                                rasterFonts.AddFont("Other", "NO_SUCH_SHEET", 3, 255, 33),
                                withoutStore.AddFont("Other", "OLDFONT_SANS9", 3, 255, 33),
                                rasterFonts.AddFont("Again", "OLDFONT_SANS9", 3, 255, 33)}),
              (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 1}));
    GOldFont* again = rasterFonts.FindFont("Again");
    EXPECT_EQ(rasterFonts.AddFont("Again", "OLDFONT_SANS9", 5, 255, 33), 1);
    EXPECT_TRUE(rasterFonts.FindFont("Again") && rasterFonts.FindFont("Again") != again);
    EXPECT_TRUE(!rasterFonts.FindFont("Other") && !rasterFonts.FindFont(nullptr) &&
                !withoutStore.FindFont("Other"));
    GOldFont* small = rasterFonts.FindFont("Small");
    ASSERT_NE(small, nullptr);
    EXPECT_TRUE(small->GetTextWidth("Tolvanrise") > 40 && small->GetHeight() > 9);
    std::unique_ptr<GBitmap> dst(GBitmap::Create(80, 20, 0, 2));
    std::memset(dst->GetPixels(), 0, 80 * 20 * 3);
    small->DrawText(dst.get(), 2, 2, "Tolvanrise", 0xFFFFFF, nullptr);
    int lit = 0;
    for (int i = 0; i < 80 * 20 * 3; ++i)
        lit += dst->GetPixels()[i] == 255;
    EXPECT_GT(lit, 60);

    rasterFonts.Clear();
    EXPECT_EQ(rasterFonts.FindFont("Small"), nullptr);

    GTtfFont outline;
    EXPECT_EQ(outline.LoadFromPack("DejaVuSans.ttf", kTrueTypeFontKey, 0), 1);
}

TEST_F(FontManagersTest, RefusesMissingListsConfigurationsAndSheets)
{
    TempFolder folder;
    folder.WriteFile("nocfg.xml", "<FontManager Config=\"none.cfg\"><Font Name=\"A\" Sheet=\"X\"/></FontManager>");
    folder.WriteFile("fonts.cfg", "A { Symbols = AB; } B { Symbols = C; }");
    folder.WriteFile("list.xml", "<FontManager Config=\"" + folder.Path("fonts.cfg") +
                                     "\"><Font Name=\"A\" Sheet=\"NO_SUCH_SHEET\"/>"
                                     "<Font Name=\"B\" Sheet=\"FONT_SANS12\"/>"
                                     "<Font Name=\"Missing\" Sheet=\"FONT_SANS12\"/></FontManager>");
    GHtmlLog log(folder.Path("log.html").c_str());
    GBmpFontManager fonts;
    for (auto [with, list] : {std::pair{store.get(), folder.Path("absent.xml")}, {store.get(), folder.Path("nocfg.xml")},
                              {(GGraphicsResources*)nullptr, std::string("fonts.xml")}})
        EXPECT_EQ(fonts.Init(with, list.c_str(), &log), 0) << list;
    EXPECT_EQ(fonts.Init(store.get(), folder.Path("list.xml").c_str(), &log), 1);
    ASSERT_NE(fonts.FindFont("B"), nullptr);
    EXPECT_TRUE(fonts.FindFont("B")->GetSymbols().FindCode('C') == 0 && !fonts.FindFont("A"));
    EXPECT_EQ(log.GetErrorCount(), 5);

    // A font listed twice is made twice, the second replacing the first with its glyphs; a
    // later list replaces the whole set, and a failed one leaves nothing.
    folder.WriteFile("twice.xml", "<FontManager Config=\"" + folder.Path("fonts.cfg") +
                                      "\"><Font Name=\"B\" Sheet=\"FONT_SANS12\"/>"
                                      "<Font Name=\"A\" Sheet=\"FONT_SANS12\" MarkerRow=\"0\"/>"
                                      "<Font Name=\"B\" Sheet=\"FONT_SANS12\"/></FontManager>");
    auto usedSlots = [pool = store->GetPool()] {
        int used = 0;
        for (int16_t slot = 0; slot < pool->GetCount(); ++slot)
            used += pool->GetBitmap(slot) != nullptr;
        return used;
    };
    const int slotsBefore = usedSlots();
    EXPECT_EQ(fonts.Init(store.get(), folder.Path("twice.xml").c_str(), &log), 2);
    EXPECT_EQ(fonts.FindFont("B")->GetName(), GWString("B"));
    EXPECT_EQ(fonts.Init(store.get(), folder.Path("list.xml").c_str(), &log), 1);
    EXPECT_EQ(usedSlots(), slotsBefore); // the dropped fonts' glyphs are gone
    EXPECT_EQ(fonts.Init(store.get(), folder.Path("absent.xml").c_str(), &log), 0);
    EXPECT_TRUE(fonts.GetCount() == 0 && !fonts.FindFont("B"));
}

// The manager says why a list did not give every font it names: the first problem met, which
// the game shows before it refuses to start; a list that gives them all leaves it empty.
TEST_F(FontManagersTest, TellsTheFirstReasonAFontOfTheListWasNotMade)
{
    TempFolder folder;
    folder.WriteFile("fonts.cfg", "A { Symbols = AB; } B { Symbols = C; }");
    const std::string config = "<FontManager Config=\"" + folder.Path("fonts.cfg") + "\">";
    // A sheet of solid colour has no separator: it cuts no glyph.
    const int16_t pool = store->CreateBitmap(8, 4, 0, 0, nullptr, nullptr, -1);
    GBitmap* solid = store->GetBitmap(store->AbsoluteSlotOfPoolSlot(pool));
    ASSERT_NE(solid, nullptr);
    std::memset(solid->GetPixels(), 0x7f, size_t(solid->GetPitch()) * 4);
    solid->SetName("SOLID");
    const struct {
        const char* list; // the Font elements, or a whole file when it has no '<'
        int made;
        std::string problem;
    } cases[] = {
        {"<Font Name=\"B\" Sheet=\"FONT_SANS12\"/>", 1, ""},
        {"", 0, "The font list " + folder.Path("list.xml") + " names no font"},
        {"<Font Name=\"A\" Sheet=\"SOLID\"/><Font Name=\"B\" Sheet=\"FONT_SANS12\"/>", 1,
         "Cannot make the bitmap font A from SOLID"},
        {"<Font Name=\"B\" Sheet=\"FONT_SANS12\"/><Font Name=\"C\" Sheet=\"FONT_SANS12\"/>"
         "<Font Name=\"A\" Sheet=\"SOLID\"/>",
         1, "Cannot make the bitmap font C from FONT_SANS12"},
        {"not xml", 0, "Cannot read the font list " + folder.Path("list.xml")},
    };
    GBmpFontManager fonts;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        const std::string list(c.list);
        folder.WriteFile("list.xml", list.find('<') == 0 || list.empty() ? config + list + "</FontManager>" : list);
        EXPECT_EQ(fonts.Init(store.get(), folder.Path("list.xml").c_str()), c.made);
        EXPECT_EQ(fonts.GetProblem(), c.problem);
    }
}

} // namespace
