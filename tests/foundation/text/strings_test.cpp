#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <utility>

#include "foundation/text/gstring.h"

namespace {

TEST(CharClasses, AsciiOnly)
{
    for (int c : {9, 10, 11, 12, 13, 32})
        EXPECT_EQ(CharIsSpace(c), 1) << c;
    EXPECT_EQ(CharIsSpace(8), 0);
    EXPECT_EQ(CharIsSpace(0xa0), 0);
    EXPECT_EQ(CharIsAlnum('5'), 1);
    EXPECT_EQ(CharIsAlnum('_'), 0);
    // Cyrillic bytes of the narrow code page belong to no class and keep their case.
    EXPECT_EQ(CharIsAlpha(0xc0), 0);
    EXPECT_EQ(CharToUpper(0xe0), 0xe0);
    EXPECT_EQ(CharToLower(0xc0), 0xc0);
    EXPECT_EQ(CharToUpper('a'), 'A');
    EXPECT_EQ(CharToLower('Z'), 'z');
    EXPECT_EQ(CharToUpper('['), '[');
}

TEST(StrFunctions, Search)
{
    EXPECT_EQ(StrIndexOfChar("abc", 'x'), 3u);
    EXPECT_EQ(StrFindChar("abc", 0), nullptr);
    const char* s = "abcb";
    EXPECT_EQ(StrFindChar(s, 'b'), s + 1);
    EXPECT_EQ(StrCountChar("a;b;;c", ';'), 3u);
    EXPECT_EQ(StrFind(s, ""), s);
    EXPECT_EQ(StrFind("", "a"), nullptr);
    EXPECT_EQ(StrFind(s, "cb"), s + 2);
    EXPECT_EQ(StrFind(s, "cbx"), nullptr);
    const char* t = "aab";
    EXPECT_EQ(StrFind(t, "ab"), t + 1);
}

TEST(StrFunctions, CopyAndAppend)
{
    char dst[16];
    std::memset(dst, 'z', sizeof dst);
    StrCopyN(dst, "abcdef", 3);
    EXPECT_STREQ(dst, "abc");
    StrCopyN(dst, "ab", 5);
    EXPECT_STREQ(dst, "ab");
    StrAppendN(dst, "cdef", 4);
    EXPECT_STREQ(dst, "abcd");
    // Already longer than n: nothing is added and nothing is cut.
    StrAppendN(dst, "xy", 2);
    EXPECT_STREQ(dst, "abcd");
    StrCopy(dst, "12");
    StrAppend(dst, "34");
    EXPECT_STREQ(dst, "1234");
    EXPECT_EQ(StrLen(dst), 4u);
}

TEST(StrFunctions, InsertAndDelete)
{
    char s[16] = "abcdef";
    StrDeleteChars(s, 1, 2);
    EXPECT_STREQ(s, "adef");
    StrDeleteChars(s, 4, 1); // at the end: nothing
    EXPECT_STREQ(s, "adef");
    StrDeleteChars(s, 2, 50); // more than is left: the tail goes, no read past it
    EXPECT_STREQ(s, "ad");
    StrInsertChar(s, 'x', 0);
    EXPECT_STREQ(s, "xad");
    StrInsertChar(s, 'y', 3);
    EXPECT_STREQ(s, "xady");
    StrInsertChar(s, 'q', 9); // past the end: refused
    EXPECT_STREQ(s, "xady");
}

TEST(StrFunctions, Compare)
{
    EXPECT_EQ(StrCompare("abc", "abc"), 0);
    EXPECT_EQ(StrCompare("ab", "abc"), -1);
    EXPECT_EQ(StrCompare("\xe0", "a"), 1); // unsigned bytes
    EXPECT_EQ(StrDifferN("ab", "abc", 5), 0);
    EXPECT_EQ(StrDifferN("abc", "ab", 5), 1);
    EXPECT_EQ(StrDifferN("abc", "abd", 2), 0);
    EXPECT_EQ(StrDifferN("abc", "abd", 3), 1);
    EXPECT_EQ(BytesDiffer("a\0b", "a\0c", 3), 1);
    EXPECT_EQ(BytesDiffer("a\0b", "a\0c", 2), 0);
    EXPECT_EQ(BytesDiffer("a", "b", -1), 0);
}

TEST(StrFunctions, Numbers)
{
    char buf[12];
    for (auto [value, text] : {std::pair{0, "0"}, {-907, "-907"}, {INT32_MAX, "2147483647"},
                               {INT32_MIN, "-2147483648"}}) { // 11 characters and the terminator fill 12 bytes
        StrFromInt(buf, value);
        EXPECT_STREQ(buf, text);
    }

    EXPECT_EQ(StrToInt("-12x"), -12);
    EXPECT_EQ(StrToInt("+"), 0);
    EXPECT_EQ(StrToInt("x1"), 0);
    EXPECT_EQ(StrToInt("4294967297"), 1); // wraps modulo 2^32
    EXPECT_EQ(StrToIntHex("-1f"), -31);
    EXPECT_EQ(StrToIntHex("FFg"), 255);
    EXPECT_EQ(StrToIntHex("ffffffff"), -1);
    EXPECT_EQ(StrToIntRadix("10", nullptr, 10), 10);
    EXPECT_EQ(StrToIntRadix("10", nullptr, 16), 16);
    EXPECT_EQ(StrToIntRadix("10", nullptr, 8), 16);
}

TEST(GStringTest, SizesFollowTheText)
{
    GString empty;
    EXPECT_STREQ(empty.c_str(), "");
    EXPECT_EQ(empty.GetEnd(), nullptr);
    empty.SetEmpty(); // no buffer: nothing to do
    EXPECT_EQ(empty.GetData(), nullptr);

    GString s("abc");
    EXPECT_EQ(s.GetEnd(), s.GetData() + 3);
    EXPECT_TRUE(s.Append("de"));
    EXPECT_STREQ(s.c_str(), "abcde");
    EXPECT_EQ(s.GetSize(), 6u);
    EXPECT_EQ(s.GetCapacity(), 6u);
    s.SetEmpty();
    EXPECT_NE(s.GetData(), nullptr);
    EXPECT_EQ(s.GetSize(), 1u);
}

TEST(GStringTest, Reserve)
{
    GString s;
    EXPECT_TRUE(s.Reserve(0));
    EXPECT_EQ(s.GetCapacity(), 256u);
    EXPECT_EQ(s.GetSize(), 0u);
    EXPECT_STREQ(s.c_str(), "");

    GString t("abcdef");
    EXPECT_TRUE(t.Reserve(32));
    EXPECT_STREQ(t.c_str(), "abcdef");
    EXPECT_EQ(t.GetSize(), 7u);
    // Below the size: the text is cut and still terminated inside the new buffer.
    EXPECT_TRUE(t.Reserve(4));
    EXPECT_EQ(t.GetCapacity(), 4u);
    EXPECT_EQ(t.GetSize(), 4u);
    EXPECT_STREQ(t.c_str(), "abc");
    EXPECT_EQ(t.GetData()[3], 0);
}

TEST(GStringTest, Allocate)
{
    GString s("hello");
    EXPECT_TRUE(s.Allocate(10));
    EXPECT_EQ(s.GetSize(), 10u);
    EXPECT_EQ(s.GetData()[9], 0);
    EXPECT_TRUE(s.Allocate(0));
    EXPECT_EQ(s.GetData(), nullptr);
}

TEST(GStringTest, Assignment)
{
    GString a("long enough text");
    const char* buffer = a.GetData();
    a = "short";
    EXPECT_STREQ(a.c_str(), "short");
    EXPECT_EQ(a.GetData(), buffer); // a larger buffer is reused
    EXPECT_EQ(a.GetSize(), 6u);

    a = a.c_str(); // its own buffer
    EXPECT_STREQ(a.c_str(), "short");
    a = a.c_str() + 2; // overlapping tail of its own buffer
    EXPECT_STREQ(a.c_str(), "ort");
    a = a;
    EXPECT_STREQ(a.c_str(), "ort");

    a = "";
    EXPECT_EQ(a.GetData(), nullptr);
    EXPECT_EQ(a.GetCapacity(), 0u);

    GString b("xyz");
    GString none;
    b = none;
    EXPECT_EQ(b.GetData(), nullptr);
    b = static_cast<const char*>(nullptr);
    EXPECT_EQ(b.GetData(), nullptr);

    GString c("abc");
    GString d(c);
    EXPECT_STREQ(d.c_str(), "abc");
    EXPECT_NE(d.GetData(), c.GetData());
    GString e(std::move(c));
    EXPECT_STREQ(e.c_str(), "abc");
    EXPECT_EQ(c.GetData(), nullptr);
}

TEST(GStringTest, SelfAppend)
{
    GString s("ab");
    EXPECT_TRUE(s.Append(s));
    EXPECT_STREQ(s.c_str(), "abab");
    EXPECT_EQ(s.GetSize(), 5u);
    EXPECT_TRUE(s.Append(s.c_str() + 1));
    EXPECT_STREQ(s.c_str(), "ababbab");
    GString t = s + s;
    EXPECT_STREQ(t.c_str(), "ababbabababbab");
}

TEST(GStringTest, AppendCharTrimmed)
{
    GString s;
    EXPECT_TRUE(s.AppendCharTrimmed(' '));
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_TRUE(s.AppendCharTrimmed('a'));
    EXPECT_TRUE(s.AppendCharTrimmed(' '));
    EXPECT_TRUE(s.AppendCharTrimmed(0));
    EXPECT_STREQ(s.c_str(), "a ");
    EXPECT_EQ(s.GetSize(), 3u);
}

TEST(GStringTest, Compare)
{
    GString none1, none2, x("x"), y("y");
    EXPECT_EQ(GString::Compare(none1, none2), 0);
    EXPECT_EQ(GString::Compare(none1, x), -1);
    EXPECT_EQ(GString::Compare(x, none1), 1);
    EXPECT_EQ(GString::Compare(x, y), -1);
    EXPECT_EQ(GString::Compare(x, GString("x")), 0);
}

TEST(GStringTest, CaseMapping)
{
    GString s("Ab\xc0z1");
    s.MakeUpper();
    EXPECT_STREQ(s.c_str(), "AB\xc0Z1");
    s.MakeLower();
    EXPECT_STREQ(s.c_str(), "ab\xc0z1");
    GString none;
    none.MakeUpper();
    EXPECT_EQ(none.GetData(), nullptr);
}

} // namespace
