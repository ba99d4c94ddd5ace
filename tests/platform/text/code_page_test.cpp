#include "platform/text/code_page.h"
#include "platform/text/system_fonts.h"
#include "support/scoped_env.h"
#include "support/temp_files.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <filesystem>
#include <string>
#include <utility>

using namespace platform;

namespace {

// The C library's converter as the reference for one byte; 0 when it has no mapping.
char16_t ReferenceCp1251(iconv_t cd, uint8_t byte)
{
    char in[1] = {static_cast<char>(byte)};
    char16_t out[2] = {};
    char *inPtr = in, *outPtr = reinterpret_cast<char*>(out);
    size_t inLeft = 1, outLeft = sizeof out;
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0)
        return 0;
    return out[0];
}

} // namespace

TEST(CodePage, TableMatchesTheSystemConverter)
{
    iconv_t cd = iconv_open("UTF-16LE", "CP1251");
    if (cd == reinterpret_cast<iconv_t>(-1))
        GTEST_SKIP() << "no CP1251 converter in this C library";
    int compared = 0;
    for (int b = 0; b < 256; ++b) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char16_t expected = ReferenceCp1251(cd, static_cast<uint8_t>(b));
        if (expected == 0 && b != 0)
            continue; // 0x98 is undefined in the code page
        EXPECT_EQ(Cp1251ToUtf16(static_cast<uint8_t>(b)), expected) << "byte " << b;
        ++compared;
    }
    iconv_close(cd);
    EXPECT_GE(compared, 255);
}

TEST(CodePage, KnownLetters)
{
    // Checked without the system converter too, which may be missing or leave 0x98 out.
    for (auto [byte, unit] : {std::pair{0xC0, u'\u0410'}, {0x88, u'\u20AC'}, {0x98, u'\u0098'}, {0xC6, u'\u0416'}, {0x97, u'\u2014'}}) {
        EXPECT_EQ(Cp1251ToUtf16(uint8_t(byte)), unit) << byte;
        EXPECT_EQ(Utf16ToCp1251(unit), byte) << byte;
    }
}

TEST(CodePage, EveryByteSurvivesEveryRoundTrip)
{
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    const std::u16string wide = AnsiToUtf16(bytes);
    const std::string utf8 = AnsiToUtf8(bytes);
    ASSERT_EQ(wide.size(), 256u);
    EXPECT_TRUE(Utf16ToAnsi(wide) == bytes && Utf8ToAnsi(utf8) == bytes && Utf8ToUtf16(utf8) == wide &&
                Utf16ToUtf8(wide) == utf8);

    // No two bytes share a character.
    for (int a = 0; a < 256; ++a)
        EXPECT_EQ(Utf16ToCp1251(Cp1251ToUtf16(static_cast<uint8_t>(a))), a);
}

TEST(CodePage, UnmappableCharactersBecomeOneQuestionMarkEach)
{
    // é, a CJK ideograph, a surrogate pair (U+1F600), a lone high and a lone low surrogate.
    std::u16string wide = u"a\u00E9b\u4E2D\U0001F600\xD800z\xDC00";
    EXPECT_EQ(Utf16ToAnsi(wide), "a?b???z?");
    EXPECT_EQ(Utf8ToAnsi("\xC3\xA9\xF0\x9F\x98\x80!"), "?" "?!");
    EXPECT_EQ(Utf16ToAnsi(u""), "");
}

TEST(CodePage, Utf8AndUtf16RoundTripAllScalarValues)
{
    std::u16string wide;
    for (char32_t c = 1; c < 0x110000; c += (c < 0x10000 ? 1 : 97)) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        if (c < 0x10000)
            wide += static_cast<char16_t>(c);
        else
            wide += {static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)), static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF))};
    }
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(wide)), wide);
    EXPECT_EQ(Utf16ToUtf8(u"\u0416\U0010FFFF"), "\xD0\x96\xF4\x8F\xBF\xBF");
}

TEST(CodePage, MalformedUtf8BecomesReplacementCharacters)
{
    // Overlong NUL and slash, an encoded surrogate, above U+10FFFF, cut short at the end and
    // before ASCII, stray bytes.
    const std::pair<const char*, std::u16string> cases[] = {
        {"\xC0\x80", u"\uFFFD\uFFFD"},           {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},   {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xE2\x82", u"\uFFFD"},                 {"\xE2\x82x", u"\uFFFDx"},
        {"\x80\xFF", u"\uFFFD\uFFFD"}};
    for (const auto& [utf8, utf16] : cases)
        EXPECT_EQ(Utf8ToUtf16(utf8), utf16) << utf8;
    EXPECT_EQ(Utf16ToUtf8(u"\xDC00\xD800"), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

// Font folders of our own in every place the search looks: the data home, ~/.fonts and each
// absolute XDG data folder, in that order; relative entries do not count.
TEST(SystemFonts, ExactNamesWinThenTheFirstFoldedOneInFolderOrder)
{
    tolvanrise::test::TempFolder dir("system_fonts_");
    tolvanrise::test::ScopedEnvVar dataHome("XDG_DATA_HOME", dir.Path("data"));
    tolvanrise::test::ScopedEnvVar home("HOME", dir.Path("home"));
    tolvanrise::test::ScopedEnvVar dataDirs("XDG_DATA_DIRS",
                                            "rel:" + dir.Path("d1") + "::" + dir.Path("d2"));
    for (const char* file :
         {"data/fonts/sub/Exact.ttf", "data/fonts/BOTH.ttf", "home/.fonts/other.TTF",
          "d1/fonts/X.ttf", "d2/fonts/Both.ttf", "d2/fonts/X.TTF", "d2/fonts/Case.TTF",
          "data/fonts/folder.ttf/inner", "rel/fonts/r.ttf"}) {
        std::filesystem::create_directories(std::filesystem::path(dir.Path(file)).parent_path());
        ASSERT_TRUE(tolvanrise::test::WriteFileBytes(dir.Path(file), "font")) << file;
    }
    tolvanrise::test::ScopedCurrentFolder here(dir.Path());

    const std::pair<const char*, std::string> rows[] = {
        {"Exact.ttf", dir.Path("data/fonts/sub/Exact.ttf")},
        {"c:\\windows\\fonts\\Exact.ttf", dir.Path("data/fonts/sub/Exact.ttf")},
        {"other.TTF", dir.Path("home/.fonts/other.TTF")},
        {"Both.ttf",
         dir.Path("d2/fonts/Both.ttf")}, // exact in a later folder beats folded in an earlier one
        {"x.ttf", dir.Path("d1/fonts/X.ttf")},
        {"case.ttf", dir.Path("d2/fonts/Case.TTF")},
        {"Exact.tt", ""},
        {"folder.ttf", ""},
        {"r.ttf", ""},
        {"fonts/", ""},
        {"", ""},
        {nullptr, ""}};
    for (auto [name, expected] : rows)
        EXPECT_EQ(FindSystemFontFile(name), expected) << (name ? name : "(null)");
}
