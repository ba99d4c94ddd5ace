#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "foundation/text/decimal_number.h"
#include "foundation/text/gstring.h"
#include "foundation/text/wstring.h"
#include "foundation/text/wstring_array.h"
#include "platform/text/code_page.h"

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
    EXPECT_EQ((std::vector<int>{WCharIsSpace(0xA0), WCharIsSpace(0x3000), WCharIsSpace('x'),
                                WCharIsAlpha(u'Ж'), WCharIsAlpha(u'é'), WCharIsAlpha(0xD7),
                                WCharIsAlnum('_'), WCharIsSpace(0x202F), WCharIsSpace(0x2030),
                                WCharIsSpace(0x2027)}),
              (std::vector<int>{1, 1, 0, 1, 1, 0, 0, 1, 0, 0}));
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
    EXPECT_EQ(U(a + "\xC6") + U("y" + a) + U(a + GWString(u"cd")), u"abЖyababcd");
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

// Wide text on either side of +, and null or empty texts appended, compared and assigned.
TEST(GWString, ConcatenationWithWideTextsAndNullsOnEitherSide)
{
    const GWString s(u"mid");
    EXPECT_EQ(U(u"<" + s) + U(s + u">") + U(u"" + s) + U(s + static_cast<const char16_t*>(nullptr)),
              u"<midmid>midmid");
    GWString t(u"ab");
    EXPECT_TRUE(t.Append(static_cast<const char16_t*>(nullptr)) && t.Append(static_cast<const char*>(nullptr)) &&
                t.Append(u"") && U(t) == u"ab");
    EXPECT_TRUE(t == u'a' ? false : GWString(u"a") == u'a');
    GString n("ab");
    EXPECT_TRUE(n.Append(static_cast<const char*>(nullptr)) && n.Append("") && std::string(n.c_str()) == "ab");
    EXPECT_EQ(std::string((n + static_cast<const char*>(nullptr)).c_str()), "ab");
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
    GWString unpadded(u"ab");
    unpadded.TrimLeft();
    EXPECT_EQ(U(unpadded), u"ab");
    // A narrow 0 adds nothing, a narrow 1 adds U+0001; a character goes in anywhere.
    unpadded.Append('\0');
    unpadded.Append('\x01');
    EXPECT_TRUE(unpadded.Insert(u"-", 1));
    EXPECT_EQ(U(unpadded), u"a-b\u0001");
    EXPECT_STREQ(GString('q').c_str(), "q");
    GWCharBuffer units;
    EXPECT_TRUE(units.Append(u'a') && units.Append(u'c') && units.Insert(u'b', 1) &&
                units.Insert(u'd', 9));
    EXPECT_EQ(std::u16string(units.GetData(), units.GetLength()), u"abcd");
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

    // Every kind of change drops the caches; the next call sees the new text.
    const std::pair<void (*)(GWString&), const char16_t*> changes[] = {
        {[](GWString& t) { t.AppendChar(u'!'); }, u"Жук!"}, {[](GWString& t) { t.Append('z'); }, u"Жукz"},
        {[](GWString& t) { t.MakeUpper(); }, u"ЖУК"},        {[](GWString& t) { t.MakeLower(); }, u"жук"},
        {[](GWString& t) { t.Reverse(); }, u"куЖ"},          {[](GWString& t) { t.Delete(0, 1); }, u"ук"},
        {[](GWString& t) { t.Insert(u"-", 1); }, u"Ж-ук"},   {[](GWString& t) { t.Replace(u"у", u"и"); }, u"Жик"},
        {[](GWString& t) { t.Clear(); }, u""},               {[](GWString& t) { t.AssignUtf8("ok"); }, u"ok"},
        {[](GWString& t) { t = u'q'; }, u"q"},
    };
    for (const auto& [change, after] : changes) {
        GWString t(u"Жук");
        t.GetWide();
        t.GetNarrow();
        change(t);
        EXPECT_EQ(std::u16string(t.GetWide()), after);
        EXPECT_STREQ(t.GetNarrow(), GWString(after).GetNarrow());
    }
    GWString padded(u" Жук ");
    padded.GetWide();
    padded.Trim();
    EXPECT_EQ(std::u16string(padded.GetWide()), u"Жук");

    s = u"€";
    EXPECT_EQ(std::string(s.GetNarrow()) + GWString(u"中").GetNarrow() + GWString().GetNarrow(), "\x88?");
    EXPECT_EQ(GWString().GetWide()[0], 0);
}

TEST(GWString, Utf8OutInAndRoundTrips)
{
    EXPECT_EQ(Bytes(GWString(u"\u20AC").ToUtf8()), "\xE2\x82\xAC");
    EXPECT_EQ(GWString().ToUtf8(), nullptr);
    // A surrogate pair is one four-byte sequence; a lone half is written by itself.
    EXPECT_EQ(Bytes(GWString(u"\U0001F600").ToUtf8()), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Bytes(GWString(u"\xD800x").ToUtf8()), "\xED\xA0\x80x");
    // The units just outside the surrogate halves are ordinary characters, never joined.
    EXPECT_EQ(Bytes(GWString(u"\xD7FF\xDC00").ToUtf8()), "\xED\x9F\xBF\xED\xB0\x80");
    EXPECT_EQ(Bytes(GWString(u"\xDBFF\xE000").ToUtf8()), "\xED\xAF\xBF\xEE\x80\x80");

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
    // Copy assignment copies every element, to itself changes nothing; assigning none empties.
    GWStringArray c;
    c.Add(GWString(u"x"));
    const GWStringArray& same = c;
    c = same;
    b = c;
    c[0] = GWString(u"y");
    EXPECT_EQ(Parts(b) == Texts{u"x"} && Parts(c) == Texts{u"y"}, true);
    EXPECT_TRUE(c.Assign(nullptr, 3) && c.GetCount() == 0u);
    EXPECT_TRUE(b.Assign(&a[0], 0) && b.GetCount() == 0u);
    EXPECT_TRUE(a.Reserve(2));
    EXPECT_EQ(Parts(a), (Texts{u"0", u"1"}));
}

// The narrow and wide zero-terminated functions under one name, so that one typed test holds
// both to the same contract. Both sets are named alike: Str... and WStr....
#define TOLVANRISE_TEXT_FUNCTIONS(P)                                                \
    static constexpr auto Len = &P##Len;                                            \
    static constexpr auto FindChar = &P##FindChar;                                  \
    static constexpr auto IndexOfChar = &P##IndexOfChar, CountChar = &P##CountChar; \
    static constexpr auto Find = &P##Find;                                          \
    static constexpr auto Copy = &P##Copy, Append = &P##Append;                     \
    static constexpr auto CopyN = &P##CopyN, AppendN = &P##AppendN;                 \
    static constexpr auto InsertChar = &P##InsertChar;                              \
    static constexpr auto Compare = &P##Compare;                                    \
    static constexpr auto DifferN = &P##DifferN;                                    \
    static constexpr auto FromInt = &P##FromInt;                                    \
    static constexpr auto ToIntHex = &P##ToIntHex;                                  \
    static constexpr auto ToIntRadix = &P##ToIntRadix;

template <typename Char>
struct Fn;
template <>
struct Fn<char> {
    TOLVANRISE_TEXT_FUNCTIONS(Str)
};
template <>
struct Fn<char16_t> {
    TOLVANRISE_TEXT_FUNCTIONS(WStr)
};
#undef TOLVANRISE_TEXT_FUNCTIONS

template <typename Char>
class TextFunctions : public testing::Test {
protected:
    using F = Fn<Char>;
    // Bytes widened unit by unit (unsigned), so "\xe0" is U+00E0 on the wide side.
    static std::basic_string<Char> S(const char* bytes)
    {
        std::basic_string<Char> s;
        for (; *bytes; ++bytes)
            s.push_back(static_cast<Char>(static_cast<unsigned char>(*bytes)));
        return s;
    }
    std::basic_string<Char> Held() const { return std::basic_string<Char>(buf); }
    Char buf[16];
};

using CharTypes = testing::Types<char, char16_t>;
TYPED_TEST_SUITE(TextFunctions, CharTypes);

TYPED_TEST(TextFunctions, SearchCopyAppendInsertCompareAndNumbers)
{
    using F = typename TestFixture::F;
    const auto s = this->S("abcb");
    const auto aab = this->S("aab");
    // Offsets into s (aab for the last), -1 for none.
    auto at = [](const TypeParam* p, const std::basic_string<TypeParam>& in) { return p ? p - in.c_str() : -1; };
    EXPECT_EQ((std::vector<ptrdiff_t>{at(F::FindChar(s.c_str(), 0), s), at(F::FindChar(s.c_str(), 'b'), s),
                                      at(F::Find(s.c_str(), this->S("").c_str()), s),
                                      at(F::Find(s.c_str(), this->S("cb").c_str()), s),
                                      at(F::Find(s.c_str(), this->S("cbx").c_str()), s),
                                      at(F::Find(aab.c_str(), this->S("ab").c_str()), aab)}),
              (std::vector<ptrdiff_t>{-1, 1, 0, 2, -1, 1}));
    EXPECT_EQ(F::Find(this->S("").c_str(), this->S("a").c_str()), nullptr);
    EXPECT_EQ(F::IndexOfChar(this->S("abc").c_str(), 'x'), 3u);
    EXPECT_EQ(F::CountChar(this->S("a;b;;c").c_str(), ';'), 3u);

    auto* dst = this->buf;
    std::fill(std::begin(this->buf), std::end(this->buf), TypeParam('z'));
    std::vector<std::basic_string<TypeParam>> seen;
    F::CopyN(dst, this->S("abcdef").c_str(), 3);
    seen.push_back(this->Held());
    F::CopyN(dst, this->S("ab").c_str(), 5);
    seen.push_back(this->Held());
    F::AppendN(dst, this->S("cdef").c_str(), 4);
    F::AppendN(dst, this->S("xy").c_str(), 2); // already longer than n: nothing added or cut
    seen.push_back(this->Held());
    F::Copy(dst, this->S("12").c_str());
    F::Append(dst, this->S("34").c_str());
    EXPECT_EQ(F::Len(dst), 4u);
    F::InsertChar(dst, 'x', 0);
    F::InsertChar(dst, 'y', 5);
    F::InsertChar(dst, 'q', 9); // past the end: refused
    seen.push_back(this->Held());
    EXPECT_EQ(seen, (decltype(seen){this->S("abc"), this->S("ab"), this->S("abcd"), this->S("x1234y")}));

    auto cmp = [this](const char* a, const char* b) { return F::Compare(this->S(a).c_str(), this->S(b).c_str()); };
    auto differ = [this](const char* a, const char* b, int n) {
        return F::DifferN(this->S(a).c_str(), this->S(b).c_str(), n);
    };
    // Units compare unsigned.
    EXPECT_EQ((std::vector<int>{cmp("abc", "abc"), cmp("ab", "abc"), cmp("ab", "a"), cmp("\xe0", "a")}),
              (std::vector<int>{0, -1, 1, 1}));
    EXPECT_EQ((std::vector<int>{differ("ab", "abc", 5), differ("abc", "ab", 5), differ("abc", "abd", 2),
                                differ("abc", "abd", 3), differ("a", "b", 0)}),
              (std::vector<int>{0, 1, 0, 1, 0}));

    // INT32_MIN's 11 characters and the terminator fill the 12 units callers provide.
    for (auto [value, text] : {std::pair{0, "0"}, {-907, "-907"}, {INT32_MAX, "2147483647"},
                               {INT32_MIN, "-2147483648"}}) {
        F::FromInt(this->buf, value);
        EXPECT_EQ(this->Held(), this->S(text));
    }
    for (auto [text, value] : {std::pair{"-1f", -31}, {"FFg", 255}, {"ffffffff", -1}})
        EXPECT_EQ(F::ToIntHex(this->S(text).c_str()), value) << text;
    // Any radix but 10 reads hexadecimal.
    for (auto [radix, value] : {std::pair{10, 10}, {16, 16}, {8, 16}})
        EXPECT_EQ(F::ToIntRadix(this->S("10").c_str(), nullptr, radix), value) << radix;
}

TEST(NarrowOnly, CharClassesAndStrFunctions)
{
    for (int c : {9, 10, 11, 12, 13, 32})
        EXPECT_EQ(CharIsSpace(c), 1) << c;
    // Cyrillic bytes of the narrow code page belong to no class and keep their case.
    EXPECT_EQ((std::vector<int>{CharIsSpace(8), CharIsSpace(0xa0), CharIsAlnum('5'), CharIsAlnum('_'),
                                CharIsAlpha(0xc0)}),
              (std::vector<int>{0, 0, 1, 0, 0}));
    EXPECT_EQ((std::vector<int>{CharToUpper(0xe0), CharToLower(0xc0), CharToUpper('a'), CharToLower('Z'),
                                CharToUpper('[')}),
              (std::vector<int>{0xe0, 0xc0, 'A', 'z', '['}));

    char s[16] = "abcdef";
    StrDeleteChars(s, 1, 2);
    EXPECT_STREQ(s, "adef");
    StrDeleteChars(s, 4, 1); // at the end: nothing
    StrDeleteChars(s, 2, 50); // more than is left: the tail goes, no read past it
    EXPECT_STREQ(s, "ad");

    EXPECT_EQ((std::vector<int>{BytesDiffer("a\0b", "a\0c", 3), BytesDiffer("a\0b", "a\0c", 2),
                                BytesDiffer("a", "b", -1)}),
              (std::vector<int>{1, 0, 0}));
    // Narrow reading wraps modulo 2^32; the wide one saturates.
    EXPECT_EQ((std::vector<int32_t>{StrToInt("-12x"), StrToInt("+"), StrToInt("x1"), StrToInt("4294967297"),
                                    WStrToInt(u"  -12x"), WStrToInt(u"+"), WStrToInt(u"99999999999"),
                                    WStrToInt(u"-99999999999")}),
              (std::vector<int32_t>{-12, 0, 0, 1, -12, 0, INT32_MAX, INT32_MIN}));
}

TEST(GStringTest, SizesBuffersAssignmentAliasingTrimmedAppendCompareAndCase)
{
    GString empty;
    EXPECT_TRUE(*empty.c_str() == '\0' && empty.GetEnd() == nullptr);
    empty.SetEmpty(); // no buffer: nothing to do
    EXPECT_EQ(empty.GetData(), nullptr);

    GString s("abc");
    EXPECT_EQ(s.GetEnd(), s.GetData() + 3);
    EXPECT_TRUE(s.Append("de"));
    EXPECT_EQ(std::pair(std::string(s.c_str()), s.GetSize()), std::pair(std::string("abcde"), 6u));
    s.SetEmpty();
    EXPECT_TRUE(s.GetData() != nullptr && s.GetSize() == 1u);

    EXPECT_TRUE(empty.Reserve(0)); // 0 asks for the usual size; no text reads as ""
    EXPECT_STREQ(empty.c_str(), "");
    GString t("abcdef");
    EXPECT_TRUE(t.Reserve(32) && std::string(t.c_str()) == "abcdef");
    // Below the size: the text is cut and still terminated inside the new buffer.
    EXPECT_TRUE(t.Reserve(4));
    EXPECT_EQ(std::string(t.GetData(), t.GetSize()), std::string("abc\0", 4));

    EXPECT_TRUE(t.Allocate(10));
    EXPECT_EQ(std::pair(t.GetSize(), t.GetData()[9]), std::pair(10u, '\0'));
    // A shorter text in the same buffer: allocating its capacity again gives the whole size, zeroed.
    t = "abc";
    EXPECT_TRUE(t.Allocate(10));
    EXPECT_EQ(std::pair(t.GetSize(), std::string(t.GetData(), 10)), std::pair(10u, std::string(10, '\0')));
    EXPECT_TRUE(t.Allocate(0) && t.GetData() == nullptr);

    GString a("long enough text");
    const char* buffer = a.GetData();
    a = "short";
    EXPECT_TRUE(a.GetData() == buffer && a.GetSize() == 6u); // a larger buffer is reused
    a = a.c_str(); // its own buffer
    EXPECT_STREQ(a.c_str(), "short");
    a = a.c_str() + 2; // overlapping tail of its own buffer
    a = a;
    EXPECT_STREQ(a.c_str(), "ort");
    a = "";
    EXPECT_EQ(a.GetData(), nullptr);

    // No buffer from an empty string or a null text.
    GString b("xyz");
    const GString none;
    b = none;
    EXPECT_EQ(b.GetData(), nullptr);
    b = "xyz";
    b = static_cast<const char*>(nullptr);
    EXPECT_EQ(b.GetData(), nullptr);

    GString c("abc");
    GString d(c);
    EXPECT_NE(d.GetData(), c.GetData());
    GString e(std::move(c));
    EXPECT_TRUE(std::string(e.c_str()) == "abc" && c.GetData() == nullptr);

    GString u("ab");
    EXPECT_TRUE(u.Append(u) && u.GetSize() == 5u);
    EXPECT_TRUE(u.Append(u.c_str() + 1));
    EXPECT_EQ(std::string((u + u).c_str()) + "|" + (u + "!").c_str(), "ababbabababbab|ababbab!");

    GString trimmed;
    EXPECT_TRUE(trimmed.AppendCharTrimmed(' ') && trimmed.IsEmpty());
    for (char ch : {'a', ' ', '\0'})
        EXPECT_TRUE(trimmed.AppendCharTrimmed(ch));
    EXPECT_EQ(std::pair(std::string(trimmed.c_str()), trimmed.GetSize()), std::pair(std::string("a "), 3u));

    GString none1, none2, x("x"), y("y");
    EXPECT_EQ((std::vector<int>{GString::Compare(none1, none2), GString::Compare(none1, x), GString::Compare(x, none1),
                                GString::Compare(x, y), GString::Compare(x, GString("x"))}),
              (std::vector<int>{0, -1, 1, -1, 0}));

    GString mixed("Ab\xc0z1");
    mixed.MakeUpper();
    EXPECT_STREQ(mixed.c_str(), "AB\xc0Z1");
    mixed.MakeLower();
    EXPECT_STREQ(mixed.c_str(), "ab\xc0z1");
    none1.MakeUpper();
    EXPECT_EQ(none1.GetData(), nullptr);
}

} // namespace

namespace {

// Random edits of a GWString against the same edits of a std::u16string, by each operation's
// contract; after every step the text, its length and its cached wide copy agree with the model.
TEST(GWString, RandomEditsFollowAPlainStringModel)
{
    const char16_t alphabet[] = {u'a', u'b', u' ', u'\t', u'Ж', u'ж', u'Z'};
    std::mt19937 rng(17);
    auto pick = [&](size_t n) { return n ? size_t(rng() % n) : size_t(0); };
    auto word = [&](size_t most) {
        std::u16string w;
        for (size_t n = pick(most + 1); n > 0; --n)
            w.push_back(alphabet[pick(std::size(alphabet))]);
        return w;
    };
    auto isSpace = [](char16_t c) { return c == u' ' || c == u'\t'; };
    GWString s;
    std::u16string m;
    for (int step = 0; step < 6000; ++step) {
        const std::u16string w = word(3);
        const uint32_t i = uint32_t(pick(m.size() + 2)), n = uint32_t(pick(4));
        const int op = int(pick(12));
        SCOPED_TRACE(testing::Message() << "step " << step << " op " << op);
        switch (op) {
        case 0: {
            const bool done = s.Insert(GWString(w), i);
            const bool expect = i < m.size() && !w.empty();
            ASSERT_EQ(done, expect);
            if (expect)
                m.insert(i, w);
            break;
        }
        case 1:
            s.Delete(i, n);
            if (i < m.size())
                m.erase(i, n);
            break;
        case 2: {
            const GWString replacement(word(2));
            int32_t count = 0;
            std::u16string out;
            size_t done = 0;
            for (size_t at = w.empty() || w.size() > m.size() ? std::u16string::npos : m.find(w);
                 at != std::u16string::npos; at = m.find(w, done)) {
                out += m.substr(done, at - done) + std::u16string(replacement.View());
                done = at + w.size();
                ++count;
            }
            ASSERT_EQ(s.Replace(GWString(w), replacement), count);
            if (count)
                m = out + m.substr(done);
            break;
        }
        case 3: {
            const size_t left = m.find_first_not_of(u" \t");
            m = left == std::u16string::npos ? u"" : m.substr(left);
            s.TrimLeft();
            break;
        }
        case 4:
            while (!m.empty() && isSpace(m.back()))
                m.pop_back();
            s.TrimRight();
            break;
        case 5:
            for (char16_t& c : m)
                c = c == u'a' ? u'A' : c == u'b' ? u'B' : c == u'z' ? u'Z' : c == u'ж' ? u'Ж' : c;
            s.MakeUpper();
            break;
        case 6:
            for (char16_t& c : m)
                c = c == u'A' ? u'a' : c == u'B' ? u'b' : c == u'Z' ? u'z' : c == u'Ж' ? u'ж' : c;
            s.MakeLower();
            break;
        case 7:
            std::reverse(m.begin(), m.end());
            s.Reverse();
            break;
        case 8:
            m += w;
            ASSERT_TRUE(s.Append(GWString(w)) || w.empty());
            break;
        case 9: {
            const int32_t expect = w.empty() || i >= m.size() ? -1 : int32_t(int64_t(m.find(w, i)));
            ASSERT_EQ(s.Find(GWString(w), i), expect);
            const int32_t last = w.empty() || w.size() > m.size() ? -1 : int32_t(int64_t(m.rfind(w)));
            ASSERT_EQ(s.ReverseFind(GWString(w)), last);
            break;
        }
        case 10: {
            const bool inside = i < m.size() && size_t(i) + n <= m.size();
            ASSERT_EQ(U(s.Mid(i, n)), inside ? m.substr(i, n) : u"");
            ASSERT_EQ(s.GetAt(i), i < m.size() ? m[i] : u'\0');
            break;
        }
        default:
            if (m.size() > 40) {
                m.clear();
                s.Clear();
            }
        }
        ASSERT_EQ(U(s), m);
        ASSERT_EQ(s.GetLength(), m.size());
        ASSERT_EQ(std::u16string(s.GetWide()), m);
        std::string narrow; // Windows-1251 of the model: its two Cyrillic letters and ASCII
        for (char16_t c : m)
            narrow.push_back(c == u'Ж' ? '\xC6' : c == u'ж' ? '\xE6' : char(c));
        ASSERT_EQ(std::string(s.GetNarrow()), narrow);
    }
}

// The unit buffer under GWString: finding a unit in a range, inserting anywhere (past the end
// appends), deleting clipped at the end.
TEST(GWCharBuffer, FindInsertAndDeleteFollowAPlainStringModel)
{
    std::mt19937 rng(5);
    GWCharBuffer b;
    std::u16string m;
    EXPECT_EQ(b.Find(u'a', 0, 5), -1);
    for (int step = 0; step < 3000; ++step) {
        const char16_t c = char16_t(u'a' + rng() % 3);
        const uint32_t i = uint32_t(rng() % (m.size() + 3)), j = uint32_t(rng() % (m.size() + 3));
        switch (rng() % 4) {
        case 0:
            ASSERT_TRUE(b.Insert(c, i));
            m.insert(std::min<size_t>(i, m.size()), 1, c);
            break;
        case 1:
            b.Delete(i, j % 4);
            if (i < m.size())
                m.erase(i, j % 4);
            break;
        case 2: {
            size_t found = std::u16string::npos;
            for (size_t k = i; k < std::min<size_t>(j, m.size()) && found == std::u16string::npos; ++k)
                if (m[k] == c)
                    found = k;
            ASSERT_EQ(b.Find(c, i, j), found == std::u16string::npos ? -1 : int32_t(found)) << step;
            break;
        }
        default:
            ASSERT_TRUE(b.Append(c));
            m.push_back(c);
        }
        ASSERT_EQ(std::u16string(b.GetData() ? b.GetData() : u"", b.GetLength()), m) << step;
    }
}

} // namespace

namespace {

// The decimal reader against the C library's reading in the C locale, on random texts of
// digits, points, exponents, signs and blanks: the same bytes read and the same value, also
// where the magnitude leaves the double range either way.
TEST(DecimalNumber, ReadsWhatTheCLibraryReads)
{
    const char alphabet[] = "0123456789000.eE+-  \t";
    std::mt19937 rng(23);
    std::vector<std::string> texts = {"1e400", "-1e400", "1e-400", "0.000e999999999999", "1234e-330",
                                      "00012.5e+2x", ".5", "-.", "1e", "1e+", " \t\n+7", "+-1", "Inf",
                                      "-infinity", "nan", "9" + std::string(400, '9'),
                                      "0." + std::string(400, '0') + "1"};
    for (int i = 0; i < 20000; ++i) {
        std::string t;
        for (size_t n = rng() % 12; n > 0; --n)
            t.push_back(alphabet[rng() % (sizeof alphabet - 1)]);
        if (rng() % 8 == 0)
            t += "e" + std::to_string(int(rng() % 800) - 400);
        texts.push_back(t);
    }
    for (const std::string& t : texts) {
        double value = -1;
        const size_t read = text::ReadDecimalDouble(t, value);
        char* end = nullptr;
        const double expected = std::strtod(t.c_str(), &end);
        const size_t expectedRead = size_t(end - t.c_str());
        ASSERT_EQ(read, expectedRead) << '"' << t << '"';
        if (std::isnan(expected))
            ASSERT_TRUE(std::isnan(value)) << t;
        else
            ASSERT_EQ(value, expected) << '"' << t << '"';
        const double alone = text::DecimalToDouble(t);
        ASSERT_TRUE(alone == value || (std::isnan(alone) && std::isnan(value))) << t;
    }
    double hex = -1;
    EXPECT_EQ(std::make_pair(text::ReadDecimalDouble("0x10", hex), hex), std::make_pair(size_t(1), 0.0)); // no hex form
}

} // namespace

namespace {

// Integers read as the C library's strtol reads them, saturated at the 32-bit range, in every
// radix (0 choosing by prefix); a radix outside 2 to 36 reads nothing.
TEST(GWString, ToIntReadsWhatStrtolReads)
{
    const char alphabet[] = "0123456789abfzAFxX+- \t";
    std::mt19937 rng(29);
    for (int i = 0; i < 20000; ++i) {
        std::string t;
        for (size_t n = rng() % 14; n > 0; --n)
            t.push_back(alphabet[rng() % (sizeof alphabet - 1)]);
        if (i % 5 == 0)
            t = (rng() % 2 ? "-" : "") + std::string(rng() % 2 ? "0x" : "") + std::to_string(rng() % 3000000000u);
        const int radices[] = {0, 2, 8, 10, 16, 36};
        const int radix = radices[rng() % 6];
        const long long wide = std::strtoll(t.c_str(), nullptr, radix);
        const int32_t expected = int32_t(std::clamp<long long>(wide, INT32_MIN, INT32_MAX));
        ASSERT_EQ(GWString(t.c_str()).ToInt(radix), expected) << '"' << t << "\" radix " << radix;
    }
    for (int radix : {1, 37, -16})
        EXPECT_EQ(GWString("12").ToInt(radix), 0) << radix;
}

} // namespace
