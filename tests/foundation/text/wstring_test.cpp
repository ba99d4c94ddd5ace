#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/text/wstring.h"
#include "foundation/text/wstring_array.h"
#include "platform/code_page.h"

namespace {

std::u16string U(const GWString& s)
{
    return std::u16string(s.View());
}

std::string Bytes(const std::unique_ptr<char[]>& p)
{
    return p ? std::string(p.get()) : std::string("<null>");
}

TEST(WCharClasses, BeyondAscii)
{
    EXPECT_EQ(WCharIsSpace(0xA0), 1);
    EXPECT_EQ(WCharIsSpace(0x3000), 1);
    EXPECT_EQ(WCharIsSpace('x'), 0);
    EXPECT_EQ(WCharIsAlpha(u'Ж'), 1);
    EXPECT_EQ(WCharIsAlpha(u'é'), 1);
    EXPECT_EQ(WCharIsAlpha(0xD7), 0); // multiplication sign
    EXPECT_EQ(WCharIsAlnum('_'), 0);
    EXPECT_EQ(WCharToLower(u'Ё'), u'ё');
    EXPECT_EQ(WCharToUpper(0xFF), 0x178);
    EXPECT_EQ(WCharToUpper(u'ą'), u'Ą');
    EXPECT_EQ(WCharToUpper(u'ς'), u'Σ');
    EXPECT_EQ(WCharToUpper(u'ѣ'), u'Ѣ');
    EXPECT_EQ(WCharToUpper(0xF7), 0xF7); // division sign has no case
    EXPECT_EQ(WCharToUpper(u'中'), u'中');
    // Every capital maps back to itself through its small letter.
    for (int c = 0; c < 0x10000; ++c) {
        const int lower = WCharToLower(c);
        if (lower != c) {
            ASSERT_EQ(WCharToUpper(lower), c) << std::hex << c;
        }
    }
}

TEST(GWString, ConstructionAndConversion)
{
    EXPECT_EQ(GWString().GetCapacity(), 0u);
    EXPECT_EQ(U(GWString("\xC6\xE0")), u"Жа"); // Windows-1251
    EXPECT_EQ(U(GWString('\xC6')), u"Ж");
    EXPECT_EQ(U(GWString(u'Ж')), u"Ж");
    EXPECT_EQ(U(GWString(-42, 10)), u"-42");
    EXPECT_EQ(U(GWString(255, 16)), u"ff");
    EXPECT_EQ(U(GWString(-1, 16)), u"ffffffff");
    EXPECT_EQ(U(GWString(5, 2)), u"101");
    EXPECT_EQ(U(GWString(-1.25)), u"-1.2500000");
    EXPECT_EQ(U(GWString(1.0 / 3.0)), u"0.3333333");
    EXPECT_EQ(GWString(1e300).GetLength(), 309u); // 301 digits, the point and 7 decimals
    EXPECT_EQ(U(GWString(static_cast<const char*>(nullptr))), u"");

    GWString s("x");
    s = u"long text";
    s = 'q';
    EXPECT_EQ(U(s), u"q");
    s = "\xE0";
    EXPECT_EQ(U(s), u"а");
    GWString t(s);
    GWString moved(std::move(t));
    EXPECT_EQ(U(moved), u"а");
    s = s; // self-assignment keeps the text
    EXPECT_EQ(U(s), u"а");
}

TEST(GWString, ConcatenationAndComparison)
{
    GWString a(u"ab");
    EXPECT_EQ(U(a + "\xC6"), u"abЖ");
    EXPECT_EQ(U("y" + a), u"yab");
    a.Append(a);
    EXPECT_EQ(U(a), u"abab");

    EXPECT_TRUE(GWString(u"Жук") == GWString("\xC6\xF3\xEA"));
    EXPECT_TRUE(GWString(u"abc") != "abC"); // exact, no folding
    EXPECT_TRUE(GWString(u"abc") != "ab");
    EXPECT_TRUE(GWString(u"z") == 'z');
    EXPECT_TRUE(GWString(u"zz") != 'z');
    EXPECT_TRUE(GWString() == "");
    EXPECT_TRUE(GWString() == static_cast<const char16_t*>(nullptr));
}

TEST(GWString, SearchAndSubstring)
{
    const GWString hello(u"hello");
    EXPECT_EQ(hello.Find(GWString(), 0), -1);
    EXPECT_EQ(hello.Find(u"lo", 4), -1);
    EXPECT_EQ(hello.Find(u"l", 3), 3);
    EXPECT_EQ(hello.Find(u"h", 100), -1);
    EXPECT_EQ(hello.ReverseFind(u"l"), 3);
    EXPECT_EQ(hello.ReverseFind(u"hello!"), -1);
    EXPECT_EQ(hello.ReverseFind(u""), -1);
    EXPECT_EQ(hello.ReverseFind(u"hello"), 0);
    EXPECT_EQ(GWString().Find(u"a"), -1);
    EXPECT_EQ(U(hello.Mid(3, 5)), u"");
    EXPECT_EQ(U(hello.Mid(3, 2)), u"lo");
    EXPECT_EQ(U(hello.Mid(5, 0)), u"");
    EXPECT_EQ(U(hello.Mid(1, UINT32_MAX)), u""); // no wrap-around in start + count
}

TEST(GWString, EditingInPlace)
{
    GWString s(u"hello");
    EXPECT_FALSE(s.Insert(GWString(u"!"), 5)); // at the length: nothing
    EXPECT_EQ(U(s), u"hello");
    s.Insert(GWString(u"XY"), 0);
    EXPECT_EQ(U(s), u"XYhello");
    s.Insert(s, 2);
    EXPECT_EQ(U(s), u"XYXYhellohello");
    s.Delete(4, 100);
    EXPECT_EQ(U(s), u"XYXY");
    s.Delete(4, 1);
    EXPECT_EQ(U(s), u"XYXY");
    s.Delete(1, 2);
    EXPECT_EQ(U(s), u"XY");

    GWString t(u" \t\u3000 mid dle \r\n");
    t.TrimLeft();
    EXPECT_EQ(U(t), u"mid dle \r\n");
    t.TrimRight();
    EXPECT_EQ(U(t), u"mid dle");
    GWString blank(u"   ");
    blank.Trim();
    EXPECT_TRUE(blank.IsEmpty());

    GWString c(u"Привет, World");
    c.MakeUpper();
    EXPECT_EQ(U(c), u"ПРИВЕТ, WORLD");
    c.MakeLower();
    EXPECT_EQ(U(c), u"привет, world");
    c.Reverse();
    EXPECT_EQ(U(c), u"dlrow ,тевирп");
}

TEST(GWString, ReplaceCoversTheEndAndDoesNotRescanItsOutput)
{
    GWString s(u"a-b-");
    EXPECT_EQ(s.Replace(u"-", u"+"), 2);
    EXPECT_EQ(U(s), u"a+b+"); // the occurrence at the very end is replaced too

    GWString t(u"xx");
    EXPECT_EQ(t.Replace(u"x", u"xx"), 2); // replacement holds the pattern: one pass, no loop
    EXPECT_EQ(U(t), u"xxxx");

    GWString u(u"aaaa");
    EXPECT_EQ(u.Replace(u"aa", u"a"), 2); // left to right, without overlap
    EXPECT_EQ(U(u), u"aa");

    GWString v(u"abc");
    EXPECT_EQ(v.Replace(u"", u"z"), 0);
    EXPECT_EQ(v.Replace(u"abcd", u"z"), 0);
    EXPECT_EQ(v.Replace(u"abc", u""), 1);
    EXPECT_TRUE(v.IsEmpty());

    GWString w(u"line\\nline\\n");
    EXPECT_EQ(w.Replace(u"\\n", u"\r\n"), 2);
    EXPECT_EQ(U(w), u"line\r\nline\r\n");

    GWString self(u"ab");
    EXPECT_EQ(self.Replace(self, self), 1);
    EXPECT_EQ(U(self), u"ab");
}

TEST(GWString, Numbers)
{
    EXPECT_EQ(GWString(u"  -17abc").ToInt(), -17);
    EXPECT_EQ(GWString(u"ff").ToInt(16), 255);
    EXPECT_EQ(GWString(u"0x1F").ToInt(16), 31);
    EXPECT_EQ(GWString(u"0x1F").ToInt(0), 31);
    EXPECT_EQ(GWString(u"017").ToInt(0), 15);
    EXPECT_EQ(GWString(u"0xg").ToInt(16), 0);
    EXPECT_EQ(GWString(u"4294967296").ToInt(), INT32_MAX);
    EXPECT_EQ(GWString(u"12").ToInt(1), 0);
    EXPECT_EQ(GWString().ToInt(), 0);
    EXPECT_DOUBLE_EQ(GWString(u" 2.5e2x").ToDouble(), 250.0);
    EXPECT_DOUBLE_EQ(GWString(u"abc").ToDouble(), 0.0);
    EXPECT_DOUBLE_EQ(GWString(u"1.5\u0416").ToDouble(), 1.5);
    // "%.7f" and back.
    EXPECT_DOUBLE_EQ(GWString(GWString(3.1415926).GetWide()).ToDouble(), 3.1415926);
}

TEST(GWString, CachedCopiesStayValidUntilTheTextChanges)
{
    GWString s(u"Жук");
    const char* narrow = s.GetNarrow();
    const char16_t* wide = s.GetWide();
    // Asking again, for either form, neither frees nor moves the first results.
    EXPECT_EQ(s.GetNarrow(), narrow);
    EXPECT_EQ(s.GetWide(), wide);
    EXPECT_STREQ(narrow, "\xC6\xF3\xEA");
    EXPECT_EQ(std::u16string(wide), u"Жук");

    // The string's own caches can be fed back into it.
    s.Append(s.GetNarrow());
    EXPECT_EQ(U(s), u"ЖукЖук");
    s = s.GetWide();
    EXPECT_EQ(U(s), u"ЖукЖук");
    s = s.GetNarrow();
    EXPECT_EQ(U(s), u"ЖукЖук");
    s.Append(s.GetWide());
    EXPECT_EQ(U(s), u"ЖукЖукЖукЖук");

    // A change drops the caches; the next call sees the new text.
    s = u"€";
    EXPECT_STREQ(s.GetNarrow(), "\x88");
    EXPECT_STREQ(GWString(u"中").GetNarrow(), "?");
    EXPECT_STREQ(GWString().GetNarrow(), "");
    EXPECT_EQ(GWString().GetWide()[0], 0);
}

TEST(GWString, Utf8Out)
{
    EXPECT_EQ(Bytes(GWString(u"\u20AC").ToUtf8()), "\xE2\x82\xAC");
    EXPECT_EQ(GWString().ToUtf8(), nullptr);
    // A surrogate pair is one four-byte sequence; a lone half is written by itself.
    EXPECT_EQ(Bytes(GWString(u"\U0001F600").ToUtf8()), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Bytes(GWString(u"\xD800x").ToUtf8()), "\xED\xA0\x80x");
}

TEST(GWString, Utf8In)
{
    GWString s;
    EXPECT_EQ(s.AssignUtf8("a\xC3\xA9\xE2\x82\xAC"), 6u);
    EXPECT_EQ(U(s), u"a\u00E9\u20AC");
    EXPECT_EQ(s.AssignUtf8("\xF0\x9F\x98\x80!"), 5u);
    EXPECT_EQ(U(s), u"\U0001F600!");
    EXPECT_EQ(s.AssignUtf8(""), 0u);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(s.AssignUtf8(nullptr), 0u);

    // Sequences cut short by the terminator end the text there; nothing past the zero is
    // read (the bytes after it would otherwise be taken as continuation bytes).
    const char cut3[] = {'a', '\xE2', '\x82', 0, '\x80', 0};
    EXPECT_EQ(s.AssignUtf8(cut3), 3u);
    EXPECT_EQ(U(s), u"a");
    const char cut2[] = {'\xD0', 0, '\x96', 0};
    EXPECT_EQ(s.AssignUtf8(cut2), 1u);
    EXPECT_TRUE(s.IsEmpty());
    const char cut4[] = {'\xF0', '\x9F', 0, '\x98', '\x80', 0};
    EXPECT_EQ(s.AssignUtf8(cut4), 2u);
    EXPECT_TRUE(s.IsEmpty());
}

TEST(GWString, RoundTrips)
{
    // Every BMP unit that is not a surrogate survives UTF-8 out and in.
    std::u16string all;
    for (char32_t c = 1; c < 0x10000; ++c) {
        if (c < 0xD800 || c > 0xDFFF)
            all.push_back(static_cast<char16_t>(c));
    }
    all += u"\U0001F600\U0010FFFF";
    const GWString text{std::u16string_view(all)};
    const std::unique_ptr<char[]> utf8 = text.ToUtf8();
    ASSERT_NE(utf8, nullptr);
    EXPECT_EQ(std::string(utf8.get()), platform::Utf16ToUtf8(all)); // the same as the platform's encoder
    EXPECT_EQ(U(GWString::FromUtf8(utf8.get())), all);

    // Every byte of Windows-1251 survives narrow in and out.
    std::string bytes;
    for (int b = 1; b < 256; ++b)
        bytes.push_back(static_cast<char>(b));
    const GWString wide(bytes.c_str());
    EXPECT_EQ(wide.GetLength(), 255u);
    EXPECT_EQ(std::string(wide.GetNarrow()), bytes);
    EXPECT_EQ(U(wide), platform::AnsiToUtf16(bytes));
}

TEST(GWString, Split)
{
    // Empty parts are dropped; an empty separator gives the whole text.
    auto split = [](const GWString& text, const GWString& separator) {
        std::vector<std::u16string> parts;
        const GWStringArray array = text.Split(separator);
        for (uint32_t i = 0; i < array.GetCount(); ++i)
            parts.push_back(U(array[i]));
        return parts;
    };
    using Parts = std::vector<std::u16string>;
    EXPECT_EQ(split(GWString(u"==a==b=c=="), GWString(u"==")), (Parts{u"a", u"b=c"}));
    EXPECT_EQ(split(GWString(u"key=value"), GWString(u"=")), (Parts{u"key", u"value"}));
    EXPECT_EQ(split(GWString(), GWString(u";")), Parts{});
    EXPECT_EQ(split(GWString(u";;;"), GWString(u";")), Parts{});
    EXPECT_EQ(split(GWString(u"whole"), GWString()), Parts{u"whole"});
}

TEST(GWStringArray, CopyAndAliasing)
{
    GWStringArray a;
    for (int i = 0; i < 300; ++i)
        EXPECT_TRUE(a.Add(GWString(i, 10)));
    // Adding one of the array's own elements while the add grows the array.
    while (a.GetCount() < a.GetCapacity())
        a.Add(GWString());
    EXPECT_TRUE(a.Add(a[7]));
    EXPECT_EQ(U(a[a.GetCount() - 1]), u"7");
    EXPECT_EQ(U(a[255]), u"255");
    EXPECT_EQ(a.GetAt(a.GetCount()), nullptr);

    GWStringArray b(a);
    EXPECT_EQ(U(b[100]), u"100");
    b.Assign(&b[10], 3); // a source inside the array itself
    ASSERT_EQ(b.GetCount(), 3u);
    EXPECT_EQ(U(b[0]), u"10");
    EXPECT_EQ(U(b[2]), u"12");
    b = GWStringArray();
    EXPECT_EQ(b.GetCount(), 0u);
    EXPECT_TRUE(a.Reserve(2));
    EXPECT_EQ(a.GetCount(), 2u);
    EXPECT_EQ(U(a[1]), u"1");
}

} // namespace
