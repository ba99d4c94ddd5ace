// TrueType font: the shared FreeType library's lifetime, loading from scrambled data files
// and from the system font folders, and measuring and drawing compared with glyphs rendered
// by FreeType directly (clipped on every side).

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/files/scramble_keys.h"
#include "foundation/files/xor_scramble.h"
#include "foundation/image/bitmap.h"
#include "graphics/blit/kernels.h"
#include "graphics/fonts/ttf_font.h"
#include "graphics/store/bitmap_pool.h"
#include "support/font_sheets.h"
#include "support/scoped_env.h"
#include "support/temp_files.h"

namespace {

using tolvanrise::test::ReadFileBytes;
using tolvanrise::test::ScopedCurrentFolder;
using tolvanrise::test::ScopedEnvVar;
using tolvanrise::test::TempFolder;

const char* const kFacePath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// What the font must draw: each glyph rendered by FreeType at the pen, covered pixels in the
// colour with mask 255 - coverage, pixels outside the image left alone.
void ReferenceDraw(const std::u16string& text, int size, uint32_t colour, int x, int y,
                   GBitmap& dst, int* width = nullptr)
{
    FT_Library library;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    FT_Face face;
    ASSERT_EQ(FT_New_Face(library, kFacePath, 0, &face), 0);
    ASSERT_EQ(FT_Set_Char_Size(face, size * 64, 0, 96, 96), 0);
    int penX = x;
    const int penY = int(face->size->metrics.ascender >> 6) + y;
    for (char16_t c : text) {
        ASSERT_EQ(FT_Load_Glyph(face, FT_Get_Char_Index(face, c), 0), 0);
        ASSERT_EQ(FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL), 0);
        const FT_Bitmap& b = face->glyph->bitmap;
        for (int r = 0; r < int(b.rows); ++r)
            for (int col = 0; col < int(b.width); ++col) {
                const int dx = penX + face->glyph->bitmap_left + col;
                const int dy = penY - face->glyph->bitmap_top + r;
                const uint8_t cover = b.buffer[r * b.pitch + col];
                if (cover == 0 || dx < 0 || dy < 0 || dx >= dst.GetWidth() || dy >= dst.GetHeight())
                    continue;
                uint8_t* p = dst.GetPixels() + dy * dst.GetPitch() + dx * 3;
                p[0] = uint8_t(colour);
                p[1] = uint8_t(colour >> 8);
                p[2] = uint8_t(colour >> 16);
                dst.GetAlpha()[dy * dst.GetWidth() + dx] = uint8_t(255 - cover);
            }
        penX += int(face->glyph->advance.x >> 6);
    }
    if (width)
        *width = penX - x;
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

std::unique_ptr<GBitmap> Canvas(uint8_t format = 2)
{
    std::unique_ptr<GBitmap> image(GBitmap::Create(60, 30, 0, format));
    std::memset(image->GetPixels(), 0x11, 60 * 30 * 3);
    if (image->GetAlpha())
        std::memset(image->GetAlpha(), 0xEE, 60 * 30);
    return image;
}

bool SameImage(const GBitmap& a, const GBitmap& b)
{
    return std::memcmp(a.GetPixels(), b.GetPixels(), 60 * 30 * 3) == 0 &&
           std::memcmp(a.GetAlpha(), b.GetAlpha(), 60 * 30) == 0;
}

TEST(TtfFontTest, SharedLibraryLifetime)
{
    EXPECT_EQ(GTtfFont::GetInstanceCount(), 0);
    EXPECT_FALSE(GTtfFont::HasLibrary());
    auto first = std::make_unique<GTtfFont>();
    EXPECT_TRUE(GTtfFont::HasLibrary());
    {
        GTtfFont second;
        EXPECT_EQ(GTtfFont::GetInstanceCount(), 2);
        EXPECT_EQ(second.LoadFromFile(kFacePath, 0), 1);
    }
    EXPECT_TRUE(GTtfFont::HasLibrary()); // kept for the first font
    EXPECT_EQ(first->LoadFromFile(kFacePath, 0), 1);
    first.reset();
    EXPECT_EQ(GTtfFont::GetInstanceCount(), 0);
    EXPECT_FALSE(GTtfFont::HasLibrary());
}

TEST(TtfFontTest, LoadsScrambledPacksAndSystemFonts)
{
    TempFolder folder;
    std::string bytes = ReadFileBytes(kFacePath);
    ASSERT_FALSE(bytes.empty());
    XorScramble(bytes.data(), nullptr, uint32_t(bytes.size()), kTrueTypeFontKey);
    folder.WriteFile("face.ttf", bytes);
    folder.WriteFile("junk.ttf", "not a font at all");
    std::filesystem::create_directories(folder.Path("fonts/truetype/sub"));
    std::filesystem::copy_file(kFacePath, folder.Path("fonts/truetype/sub/TolvanriseFace.ttf"));
    ScopedCurrentFolder here(folder.Path());
    ScopedEnvVar dataHome("XDG_DATA_HOME", folder.Path());

    GTtfFont font;
    EXPECT_EQ(font.LoadFromPack("face.ttf", kTrueTypeFontKey, 0), 1);
    EXPECT_TRUE(font.HasFace());
    EXPECT_EQ(font.LoadFromPack("face.ttf", kTrueTypeFontKey ^ 1, 0), 0); // wrong key
    EXPECT_FALSE(font.HasFace());
    EXPECT_NE(font.GetLastError(), 0);
    EXPECT_EQ(font.LoadFromPack("junk.ttf", 0, 0), 0);
    EXPECT_EQ(font.LoadFromPack("missing.ttf", kTrueTypeFontKey, 0), 0);
    EXPECT_EQ(font.LoadFromPack("face.ttf", kTrueTypeFontKey, 7), 0); // no such face
    EXPECT_FALSE(font.HasFace());
    EXPECT_EQ(font.DrawTextW(u"A", Canvas().get(), 12, 0, 0, 0), -1);

    EXPECT_EQ(font.LoadFromFile("no/such/folder/TolvanriseFace.ttf", 0), 1);
    EXPECT_EQ(font.LoadFromFile("no/such/folder/NoSuchTolvanriseFace.ttf", 0), 0);
    EXPECT_FALSE(font.HasFace());
}

// A face answers for the characters it maps; no face maps nothing, and no path loads nothing.
TEST(TtfFontTest, HasGlyphFollowsTheFacesCharacterMap)
{
    GTtfFont font;
    EXPECT_FALSE(font.HasGlyph('A'));
    EXPECT_EQ(font.LoadFromFile(nullptr, 0), 0);
    ASSERT_EQ(font.LoadFromFile(kFacePath, 0), 1);
    for (auto [code, mapped] :
         {std::pair{uint32_t('A'), true}, {uint32_t(u'Ж'), true}, {0x10FFFDu, false}, {0u, false}})
        EXPECT_EQ(font.HasGlyph(code), mapped) << code;
}

TEST(TtfFontTest, DrawsAndMeasuresAsFreeTypeRenders)
{
    GTtfFont font;
    ASSERT_EQ(font.LoadFromFile(kFacePath, 0), 1);
    const std::u16string text = u"Tolvé Жy";
    int width = -1, height = -1;
    const GWString wide(text);
    font.MeasureText(wide, 12, &width, &height, {});
    EXPECT_EQ(font.GetCharSize(), 768);
    int advance = 0;
    auto sink = Canvas();
    ReferenceDraw(text, 12, 0, 0, 0, *sink, &advance);
    EXPECT_EQ(width, advance);
    EXPECT_TRUE(height > 12 && height < 24) << height;

    struct Place { int x, y; };
    for (const Place p : {Place{2, 3}, Place{-7, -5}, Place{40, 20}, Place{-1000, 0}, Place{0, 500}}) {
        SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
        auto ours = Canvas();
        auto theirs = Canvas();
        EXPECT_EQ(font.DrawTextW(wide, ours.get(), 12, 0x8040C0, p.x, p.y), -1);
        ReferenceDraw(text, 12, 0x8040C0, p.x, p.y, *theirs);
        EXPECT_TRUE(SameImage(*ours, *theirs));
        if (p.x == -1000) {
            EXPECT_TRUE(SameImage(*ours, *Canvas())); // wholly outside: nothing changes
        }
    }

    // Formats other than 2 and 3 are not drawn into; monochrome coverage is all or nothing.
    auto plain = Canvas(0);
    font.DrawTextW(wide, plain.get(), 12, 0, 0, 0);
    EXPECT_EQ(plain->GetPixels()[3 * 60 * 10 + 3 * 5], 0x11);
    font.GetOptions().renderMode = 0;
    auto mono = Canvas();
    font.DrawTextW(u"W", mono.get(), 20, 0, 0, 0);
    for (int i = 0; i < 60 * 30; ++i)
        ASSERT_TRUE(mono->GetAlpha()[i] == 0 || mono->GetAlpha()[i] == 0xEE) << i;
}

// Glyph rows wide enough for the eight-pixel groups (stems, bowls and antialiased edges mixed),
// in every instruction set, clipped on each side, as FreeType renders them.
TEST(TtfFontTest, LargeGlyphsDrawAsFreeTypeRendersInEveryInstructionSet)
{
    GTtfFont font;
    ASSERT_EQ(font.LoadFromFile(kFacePath, 0), 1);
    const std::u16string text = u"Wm@%";
    const GWString wide(text);
    const GKernelIsa before = GetKernelIsa();
    for (GKernelIsa isa : {GKernelIsa::Scalar, GKernelIsa::Avx2})
        for (int size : {18, 28})
            for (auto [x, y] : {std::pair{1, -2}, std::pair{-9, 4}, std::pair{25, -12}}) {
                SCOPED_TRACE("isa " + std::to_string(int(isa)) + " size " + std::to_string(size) +
                             " at " + std::to_string(x) + "," + std::to_string(y));
                SetKernelIsa(isa);
                auto ours = Canvas();
                auto theirs = Canvas();
                font.DrawTextW(wide, ours.get(), int16_t(size), 0x3060A0, x, y);
                ReferenceDraw(text, size, 0x3060A0, x, y, *theirs);
                EXPECT_TRUE(SameImage(*ours, *theirs));
            }
    SetKernelIsa(before);
}

TEST(TtfFontTest, RendersIntoNewPoolImages)
{
    GTtfFont font;
    ASSERT_EQ(font.LoadFromFile(kFacePath, 0), 1);
    EXPECT_EQ(font.DrawTextW(u"Hi", nullptr, 16, 0xFFFFFF, 0, 0), -1); // no store
    auto store = tolvanrise::test::MakePoolStore(1);
    font.SetStore(store.get());
    const int16_t slot = font.DrawTextW(u"Hi", nullptr, 16, 0xFFFFFF, 0, 0);
    ASSERT_GE(slot, 0);
    const GBitmap* image = store->GetBitmap(slot);
    ASSERT_NE(image, nullptr);
    int w = 0, h = 0;
    font.MeasureText(u"Hi", 16, &w, &h, {});
    EXPECT_EQ((std::tuple<int, int, int>(image->GetWidth(), image->GetHeight(), image->GetFormat())),
              std::tuple(w, h, 2));
    const uint8_t* mask = image->GetAlpha();
    EXPECT_NE(std::find(mask, mask + w * h, 0), mask + w * h);     // full coverage: opaque
    EXPECT_NE(std::find(mask, mask + w * h, 255), mask + w * h);   // none: transparent
    EXPECT_EQ(font.DrawTextW(u"Hi", nullptr, 16, 0, 0, 0), -1); // the pool is full
}

// The face's file with one big-endian 16-bit field of a table overwritten (FreeType checks no
// table checksums), written as a plain pack.
std::string Damaged(const char* tag, uint32_t offset, uint16_t value)
{
    std::string bytes = ReadFileBytes(kFacePath);
    auto u16 = [&](size_t at) {
        return uint32_t(uint8_t(bytes[at]) << 8 | uint8_t(bytes[at + 1]));
    };
    auto u32 = [&](size_t at) { return u16(at) << 16 | u16(at + 2); };
    for (uint32_t t = 0; t < u16(4); ++t) {
        const size_t record = 12 + 16 * size_t(t);
        if (bytes.compare(record, 4, tag) != 0)
            continue;
        const size_t at = u32(record + 8) + offset;
        bytes[at] = char(value >> 8);
        bytes[at + 1] = char(value);
    }
    return bytes;
}

uint32_t GlyphIndex(char16_t c)
{
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) != 0)
        return 0;
    uint32_t index = 0;
    if (FT_New_Face(library, kFacePath, 0, &face) == 0) {
        index = FT_Get_Char_Index(face, c);
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return index;
}

// A damaged face must not size glyphs or text images beyond a few ems of the size: the glyphs
// it scales out of all proportion draw nothing and do not advance, the others draw as before.
TEST(TtfFontTest, DamagedFacesNeitherDrawNorSizeHugeGlyphs)
{
    struct Case {
        const char* name;
        std::string bytes;
        std::u16string text;
        std::u16string drawnAs; // what the sound face draws in its place, at the same place
        bool samePlace;
    };
    const uint32_t t = GlyphIndex(u'T');
    ASSERT_NE(t, 0u);
    const Case cases[] = {
        {"units per em 16", Damaged("head", 18, 16), u"Tg", u"", true},
        {"advance of T", Damaged("hmtx", 4 * t, 0xFFFF), u"oTo", u"oo", true},
        {"ascender", Damaged("hhea", 4, 0x7FFF), u"o", u"o", false},
    };
    TempFolder folder;
    ScopedCurrentFolder here(folder.Path());
    GTtfFont sound;
    ASSERT_EQ(sound.LoadFromFile(kFacePath, 0), 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        folder.WriteFile("face.ttf", c.bytes);
        GTtfFont font;
        ASSERT_EQ(font.LoadFromPack("face.ttf", 0, 0), 1);
        // 40 points are 53 pixels an em: no height may reach past nine ems.
        const int bound = 9 * 53;
        int w = -1, h = -1, soundW = -1, soundH = -1;
        font.MeasureText(GWString(c.text), 40, &w, &h, {});
        sound.MeasureText(GWString(c.drawnAs), 40, &soundW, &soundH, {});
        EXPECT_EQ(w, soundW);
        EXPECT_LE(h, bound);
        if (c.samePlace) {
            auto ours = Canvas();
            auto theirs = Canvas();
            font.DrawTextW(GWString(c.text), ours.get(), 12, 0x8040C0, 1, 2);
            sound.DrawTextW(GWString(c.drawnAs), theirs.get(), 12, 0x8040C0, 1, 2);
            EXPECT_TRUE(SameImage(*ours, *theirs));
        }

        auto store = tolvanrise::test::MakePoolStore(1);
        font.SetStore(store.get());
        const int16_t slot = font.DrawTextW(GWString(c.text + u"W"), nullptr, 40, 0xFFFFFF, 0, 0);
        const GBitmap* image = slot >= 0 ? store->GetBitmap(slot) : nullptr;
        if (image) {
            EXPECT_LE(image->GetWidth(), 4 * bound);
            EXPECT_LE(image->GetHeight(), bound);
        }
    }
}

} // namespace
