#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
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

using Texts = std::vector<std::u16string>;

TEST(WCharClasses, BeyondAscii)
{
    // Spaces: no-break and ideographic; letters: Cyrillic, accented, not the multiplication sign.
    EXPECT_EQ((std::vector<int>{WCharIsSpace(0xA0), WCharIsSpace(0x3000), WCharIsSpace('x'), WCharIsAlpha(u'Ж'),
                                WCharIsAlpha(u'é'), WCharIsAlpha(0xD7), WCharIsAlnum('_')}),
              (std::vector<int>{1, 1, 0, 1, 1, 0, 0}));
    EXPECT_EQ(WCharToLower(u'Ё'), u'ё');
    // The division sign and CJK have no case.
    for (auto [c, upper] : {std::pair{0xFF, 0x178}, {u'ą', u'Ą'}, {u'ς', u'Σ'}, {u'ѣ', u'Ѣ'}, {0xF7, 0xF7}, {u'中', u'中'}})
        EXPECT_EQ(WCharToUpper(c), upper) << c;
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
    // From Windows-1251, numbers in several radixes, and doubles with 7 decimals.
    EXPECT_EQ((Texts{U(GWString("\xC6\xE0")), U(GWString('\xC6')), U(GWString(u'Ж')), U(GWString(-42, 10)),
                     U(GWString(255, 16)), U(GWString(-1, 16)), U(GWString(5, 2)), U(GWString(-1.25)),
                     U(GWString(1.0 / 3.0)), U(GWString(static_cast<const char*>(nullptr)))}),
              (Texts{u"Жа", u"Ж", u"Ж", u"-42", u"ff", u"ffffffff", u"101", u"-1.2500000", u"0.3333333", u""}));
    EXPECT_EQ(GWString(1e300).GetLength(), 309u); // 301 digits, the point and 7 decimals

    GWString s("x");
    s = u"long text";
    s = 'q';
    EXPECT_EQ(U(s), u"q");
    s = "\xE0";
    GWString t(s);
    GWString moved(std::move(t));
    s = s; // self-assignment keeps the text
    EXPECT_EQ(U(moved) + U(s), u"аа");
}

TEST(GWString, ConcatenationComparisonSearchAndSubstring)
{
    GWString a(u"ab");
    EXPECT_EQ(U(a + "\xC6") + U("y" + a), u"abЖyab");
    a.Append(a);
    EXPECT_EQ(U(a), u"abab");
    // Exact comparison, no folding.
    EXPECT_EQ((std::vector<bool>{GWString(u"Жук") == GWString("\xC6\xF3\xEA"), GWString(u"abc") != "abC",
                                 GWString(u"abc") != "ab", GWString(u"z") == 'z', GWString(u"zz") != 'z',
                                 GWString() == "", GWString() == static_cast<const char16_t*>(nullptr)}),
              std::vector<bool>(7, true));

    const GWString hello(u"hello");
    EXPECT_EQ((std::vector<int>{hello.Find(GWString(), 0), hello.Find(u"lo", 4), hello.Find(u"l", 3),
                                hello.Find(u"h", 100), hello.ReverseFind(u"l"), hello.ReverseFind(u"hello!"),
                                hello.ReverseFind(u""), hello.ReverseFind(u"hello"), GWString().Find(u"a")}),
              (std::vector<int>{-1, -1, 3, -1, 3, -1, -1, 0, -1}));
    // No wrap-around in start + count.
    EXPECT_EQ((Texts{U(hello.Mid(3, 5)), U(hello.Mid(3, 2)), U(hello.Mid(5, 0)), U(hello.Mid(1, UINT32_MAX))}),
              (Texts{u"", u"lo", u"", u""}));
}

TEST(GWString, EditingInPlaceAndReplacing)
{
    GWString s(u"hello");
    Texts seen;
    EXPECT_FALSE(s.Insert(GWString(u"!"), 5)); // at the length: nothing
    seen.push_back(U(s));
    s.Insert(GWString(u"XY"), 0);
    seen.push_back(U(s));
    s.Insert(s, 2);
    seen.push_back(U(s));
    s.Delete(4, 100);
    s.Delete(4, 1);
    seen.push_back(U(s));
    s.Delete(1, 2);
    seen.push_back(U(s));
    EXPECT_EQ(seen, (Texts{u"hello", u"XYhello", u"XYXYhellohello", u"XYXY", u"XY"}));

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
    seen = {U(c)};
    c.MakeLower();
    seen.push_back(U(c));
    c.Reverse();
    seen.push_back(U(c));
    EXPECT_EQ(seen, (Texts{u"ПРИВЕТ, WORLD", u"привет, world", u"dlrow ,тевирп"}));

    // Replace covers the end and does not rescan its output.
    struct Case {
        const char16_t* text;
        const char16_t* from;
        const char16_t* to;
        int count;
        const char16_t* result;
    };
    const Case cases[] = {
        {u"a-b-", u"-", u"+", 2, u"a+b+"},    // the occurrence at the very end is replaced too
        {u"xx", u"x", u"xx", 2, u"xxxx"},     // replacement holds the pattern: one pass, no loop
        {u"aaaa", u"aa", u"a", 2, u"aa"},     // left to right, without overlap
        {u"abc", u"", u"z", 0, u"abc"},       {u"abc", u"abcd", u"z", 0, u"abc"}, {u"abc", u"abc", u"", 1, u""},
        {u"line\\nline\\n", u"\\n", u"\r\n", 2, u"line\r\nline\r\n"},
    };
    for (const Case& c : cases) {
        GWString s(c.text);
        EXPECT_EQ(s.Replace(c.from, c.to), c.count) << U(GWString(c.text)).size();
        EXPECT_EQ(U(s), c.result);
    }
    GWString self(u"ab");
    EXPECT_EQ(self.Replace(self, self), 1);
    EXPECT_EQ(U(self), u"ab");
}

TEST(GWString, NumbersAndCachedCopies)
{
    // Text, radix, value; the narrow reading wraps, this one saturates.
    const std::tuple<const char16_t*, int, int> ints[] = {
        {u"  -17abc", 10, -17}, {u"ff", 16, 255}, {u"0x1F", 16, 31}, {u"0x1F", 0, 31}, {u"017", 0, 15},
        {u"0xg", 16, 0},        {u"4294967296", 10, INT32_MAX},      {u"12", 1, 0},    {u"", 10, 0}};
    for (auto [text, radix, value] : ints)
        EXPECT_EQ(GWString(text).ToInt(radix), value) << radix;
    for (auto [text, value] : {std::pair{u" 2.5e2x", 250.0}, {u"abc", 0.0}, {u"1.5\u0416", 1.5}})
        EXPECT_DOUBLE_EQ(GWString(text).ToDouble(), value);
    // "%.7f" and back.
    EXPECT_DOUBLE_EQ(GWString(GWString(3.1415926).GetWide()).ToDouble(), 3.1415926);

    // Cached copies stay valid until the text changes.
    GWString s(u"Жук");
    const char* narrow = s.GetNarrow();
    const char16_t* wide = s.GetWide();
    // Asking again, for either form, neither frees nor moves the first results.
    EXPECT_TRUE(s.GetNarrow() == narrow && s.GetWide() == wide);
    EXPECT_STREQ(narrow, "\xC6\xF3\xEA");
    EXPECT_EQ(std::u16string(wide), u"Жук");

    // The string's own caches can be fed back into it.
    s.Append(s.GetNarrow());
    s = s.GetWide();
    s = s.GetNarrow();
    s.Append(s.GetWide());
    EXPECT_EQ(U(s), u"ЖукЖукЖукЖук");

    // A change drops the caches; the next call sees the new text.
    s = u"€";
    EXPECT_EQ(std::string(s.GetNarrow()) + GWString(u"中").GetNarrow() + GWString().GetNarrow(), "\x88?");
    EXPECT_EQ(GWString().GetWide()[0], 0);
}

TEST(GWString, Utf8OutAndIn)
{
    EXPECT_EQ(Bytes(GWString(u"\u20AC").ToUtf8()), "\xE2\x82\xAC");
    EXPECT_EQ(GWString().ToUtf8(), nullptr);
    // A surrogate pair is one four-byte sequence; a lone half is written by itself.
    EXPECT_EQ(Bytes(GWString(u"\U0001F600").ToUtf8()), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Bytes(GWString(u"\xD800x").ToUtf8()), "\xED\xA0\x80x");

    // Sequences cut short by the terminator end the text there; nothing past the zero is
    // read (the bytes after it would otherwise be taken as continuation bytes).
    const char cut3[] = {'a', '\xE2', '\x82', 0, '\x80', 0};
    const char cut2[] = {'\xD0', 0, '\x96', 0};
    const char cut4[] = {'\xF0', '\x9F', 0, '\x98', '\x80', 0};
    const std::tuple<const char*, uint32_t, std::u16string> cases[] = {
        {"a\xC3\xA9\xE2\x82\xAC", 6, u"a\u00E9\u20AC"}, {"\xF0\x9F\x98\x80!", 5, u"\U0001F600!"}, {"", 0, u""},
        {nullptr, 0, u""}, {cut3, 3, u"a"}, {cut2, 1, u""}, {cut4, 2, u""}};
    for (const auto& [bytes, read, text] : cases) {
        GWString s(u"old");
        EXPECT_EQ(s.AssignUtf8(bytes), read);
        EXPECT_EQ(U(s), text);
    }
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

Texts Parts(const GWStringArray& array)
{
    Texts parts;
    for (uint32_t i = 0; i < array.GetCount(); ++i)
        parts.push_back(U(array[i]));
    return parts;
}

TEST(GWStringArray, SplitCopyAndAliasing)
{
    // Empty parts are dropped; an empty separator gives the whole text.
    auto split = [](const GWString& text, const GWString& separator) { return Parts(text.Split(separator)); };
    EXPECT_EQ(split(u"==a==b=c==", u"=="), (Texts{u"a", u"b=c"}));
    EXPECT_EQ(split(u"key=value", u"="), (Texts{u"key", u"value"}));
    EXPECT_EQ(split(GWString(), u";"), Texts{});
    EXPECT_EQ(split(u";;;", u";"), Texts{});
    EXPECT_EQ(split(u"whole", GWString()), Texts{u"whole"});

    GWStringArray a;
    for (int i = 0; i < 300; ++i)
        EXPECT_TRUE(a.Add(GWString(i, 10)));
    // Adding one of the array's own elements while the add grows the array.
    while (a.GetCount() < a.GetCapacity())
        a.Add(GWString());
    EXPECT_TRUE(a.Add(a[7]));
    EXPECT_EQ(U(a[a.GetCount() - 1]) + U(a[255]), u"7255");
    EXPECT_EQ(a.GetAt(a.GetCount()), nullptr);

    GWStringArray b(a);
    b.Assign(&b[10], 3); // a source inside the array itself
    EXPECT_EQ(Parts(b), (Texts{u"10", u"11", u"12"}));
    b = GWStringArray();
    EXPECT_EQ(b.GetCount(), 0u);
    EXPECT_TRUE(a.Reserve(2));
    EXPECT_EQ(Parts(a), (Texts{u"0", u"1"}));
}

} // namespace
