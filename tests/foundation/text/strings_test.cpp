#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "foundation/text/gstring.h"
#include "foundation/text/wstring.h"

namespace {

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

TYPED_TEST(TextFunctions, SearchCopyAppendInsert)
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

    using F = typename TestFixture::F;
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
}

TYPED_TEST(TextFunctions, CompareAndNumbers)
{
    using F = typename TestFixture::F;
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

    using F = typename TestFixture::F;
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

TEST(GStringTest, SizesAndBuffers)
{
    GString empty;
    EXPECT_STREQ(empty.c_str(), "");
    EXPECT_EQ(empty.GetEnd(), nullptr);
    empty.SetEmpty(); // no buffer: nothing to do
    EXPECT_EQ(empty.GetData(), nullptr);

    GString s("abc");
    EXPECT_EQ(s.GetEnd(), s.GetData() + 3);
    EXPECT_TRUE(s.Append("de"));
    EXPECT_EQ(std::pair(std::string(s.c_str()), s.GetSize()), std::pair(std::string("abcde"), 6u));
    s.SetEmpty();
    EXPECT_NE(s.GetData(), nullptr);
    EXPECT_EQ(s.GetSize(), 1u);

    EXPECT_TRUE(empty.Reserve(0)); // 0 asks for the usual size; no text reads as ""
    EXPECT_STREQ(empty.c_str(), "");
    GString t("abcdef");
    EXPECT_TRUE(t.Reserve(32));
    EXPECT_STREQ(t.c_str(), "abcdef");
    // Below the size: the text is cut and still terminated inside the new buffer.
    EXPECT_TRUE(t.Reserve(4));
    EXPECT_EQ(std::string(t.GetData(), t.GetSize()), std::string("abc\0", 4));

    EXPECT_TRUE(t.Allocate(10));
    EXPECT_EQ(std::pair(t.GetSize(), t.GetData()[9]), std::pair(10u, '\0'));
    EXPECT_TRUE(t.Allocate(0));
    EXPECT_EQ(t.GetData(), nullptr);
}

TEST(GStringTest, AssignmentAliasingTrimmedAppendCompareAndCase)
{
    GString a("long enough text");
    const char* buffer = a.GetData();
    a = "short";
    EXPECT_EQ(a.GetData(), buffer); // a larger buffer is reused
    EXPECT_EQ(a.GetSize(), 6u);
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
    EXPECT_STREQ(e.c_str(), "abc");
    EXPECT_EQ(c.GetData(), nullptr);

    GString s("ab");
    EXPECT_TRUE(s.Append(s));
    EXPECT_EQ(s.GetSize(), 5u);
    EXPECT_TRUE(s.Append(s.c_str() + 1));
    EXPECT_EQ(std::string((s + s).c_str()) + "|" + (s + "!").c_str(), "ababbabababbab|ababbab!");

    GString trimmed;
    EXPECT_TRUE(trimmed.AppendCharTrimmed(' '));
    EXPECT_TRUE(trimmed.IsEmpty());
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
