// The cfg text reader, the error codes and the getters of GCfgNode.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/cfg/cfg_node.h"
#include "foundation/cfg/cfg_parser.h"
#include "foundation/files/xor_scramble.h"
#include "support/temp_files.h"

namespace {

// Parses from a heap block of exactly the text's size, with no terminator after it, so the
// sanitizer build catches any read past the end.
int ParseExact(GCfgNode& node, std::string_view text)
{
    std::unique_ptr<char[]> block(new char[text.size() ? text.size() : 1]);
    std::memcpy(block.get(), text.data(), text.size());
    return node.Parse(block.get(), text.size());
}

int32_t ParseCode(std::string_view text)
{
    GCfgNode node;
    ParseExact(node, text);
    return CfgErrorCode;
}

std::vector<std::string> Values(const GCfgNode& node, std::string_view path)
{
    std::vector<std::string> out;
    if (const GCfgValueEntry* entry = node.FindValue(path))
        for (const GCfgValue& v : entry->second)
            out.emplace_back(v.View());
    return out;
}

using Strings = std::vector<std::string>;
using tolvanrise::test::TempFolder;

TEST(CfgErrors, FixedTexts)
{
    const char* expected[] = {
        "No errors",
        "Can't open cfg file",
        "Empty cfg file",
        "Not enough memory for reading cfg file",
        "Can't read file",
        "No name of parameter or object",
        "Not close bracket } for object",
        "Not close bracket ] for array",
        "No value after name",
        "Wrong name of parameter or object in Get",
        "Conversion error in GetI or GetF",
        "Wrong format of the cfg file",
        "Not close \" for string \"..\"",
        "Not close ' for string '..'",
    };
    for (int i = 0; i < 14; ++i)
        EXPECT_STREQ(CfgErrorText(i), expected[i]) << i;
    EXPECT_STREQ(CfgErrorText(14), "");
    EXPECT_STREQ(CfgErrorText(-1), "");
}

TEST(CfgReader, SeparatorsAndOptionalEquals)
{
    GCfgNode node;
    ASSERT_EQ(ParseExact(node, "a = 1; b: 2, c 3"), 1);
    EXPECT_EQ(CfgErrorCode, 0);
    EXPECT_EQ(Values(node, "a"), Strings{"1"});
    EXPECT_EQ(Values(node, "b"), Strings{"2"});
    EXPECT_EQ(Values(node, "c"), Strings{"3"});
    EXPECT_EQ(node.GetValues().size(), 3u);
}

TEST(CfgReader, Comments)
{
    GCfgNode node;
    ASSERT_EQ(ParseExact(node, "# one\n// two\r\n/* outer /* inner */ still outer */ d = 4"), 1);
    EXPECT_EQ(node.GetValues().size(), 1u);
    EXPECT_EQ(Values(node, "d"), Strings{"4"});
    // Inside a bare token "//" is not a comment.
    GCfgNode token;
    ASSERT_EQ(ParseExact(token, "p = a//b q = x-1.5e+3"), 1);
    EXPECT_EQ(Values(token, "p"), Strings{"a//b"});
    EXPECT_EQ(Values(token, "q"), Strings{"x-1.5e+3"});
    // An unclosed block comment runs to the end.
    GCfgNode open;
    ASSERT_EQ(ParseExact(open, "a = 1 /* b = 2"), 1);
    EXPECT_FALSE(open.HasValue("b"));
}

TEST(CfgReader, QuotedTokensHaveNoEscapes)
{
    GCfgNode node;
    ASSERT_EQ(ParseExact(node, "t 'it''s'"), 1);
    EXPECT_EQ(Values(node, "t"), Strings{"it"});
    EXPECT_FALSE(node.HasValue("s"));
    GCfgNode spans;
    ASSERT_EQ(ParseExact(spans, "m = \"two\nlines\" 'x y' = \"a'b\""), 1);
    EXPECT_EQ(Values(spans, "m"), Strings{"two\nlines"});
    EXPECT_EQ(Values(spans, "x y"), Strings{"a'b"});
}

TEST(CfgReader, EmptyQuotedValue)
{
    GCfgNode single;
    ASSERT_EQ(ParseExact(single, "a = \"\"  b = '\"\"x'"), 1);
    EXPECT_FALSE(single.HasValue("a"));
    EXPECT_FALSE(single.HasValue("b"));
    GCfgNode array;
    ASSERT_EQ(ParseExact(array, "a = [\"\", '']"), 1);
    EXPECT_EQ(Values(array, "a"), (Strings{"", ""}));
}

TEST(CfgReader, ArraysAppendToTheName)
{
    GCfgNode node;
    ASSERT_EQ(ParseExact(node, "a = [1 2] b = 5 a = 3 e = []"), 1);
    EXPECT_EQ(Values(node, "a"), (Strings{"1", "2", "3"}));
    // [] keeps an entry with an empty list.
    ASSERT_TRUE(node.HasValue("e"));
    EXPECT_TRUE(node.FindValueList("e")->empty());
}

TEST(CfgReader, OpenArrayStopsAtTheEnd)
{
    GCfgNode node;
    ASSERT_EQ(ParseExact(node, "a = [1, 2"), 1);
    EXPECT_EQ(Values(node, "a"), (Strings{"1", "2"}));
    GCfgNode trailing;
    ASSERT_EQ(ParseExact(trailing, "a = [1 /* x */"), 1);
    EXPECT_EQ(Values(trailing, "a"), Strings{"1"});
    // Inside an object the array must close before the object does.
    EXPECT_EQ(ParseCode("o { a = [1 }"), kCfgArrayNotClosed);
}

TEST(CfgReader, Objects)
{
    GCfgNode node;
    ASSERT_EQ(ParseExact(node, "o { k = 1 } o = { k = 2 } e { /* nothing */ }"), 1);
    const GCfgNodeList* list = node.FindObjectList("o");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->size(), 2u);
    EXPECT_STREQ(node.Get("o.k", "-"), "1");
    EXPECT_STREQ((*list)[1].Get("k", "-"), "2");
    EXPECT_EQ(node.FindObjectList("e"), nullptr);
}

TEST(CfgReader, BraceMatchingRespectsQuotesAndComments)
{
    GCfgNode node;
    ASSERT_EQ(ParseExact(node, "o { s = \"a}b\" t = '{' # }\n u = x }  v = 1"), 1);
    EXPECT_STREQ(node.Get("o.s", "-"), "a}b");
    EXPECT_STREQ(node.Get("o.t", "-"), "{");
    EXPECT_STREQ(node.Get("o.u", "-"), "x");
    EXPECT_STREQ(node.Get("v", "-"), "1");
    // An apostrophe inside a bare token does not open a quoted text.
    GCfgNode bare;
    ASSERT_EQ(ParseExact(bare, "o { n = it's } w = 2"), 1);
    EXPECT_STREQ(bare.Get("o.n", "-"), "it's");
    EXPECT_STREQ(bare.Get("w", "-"), "2");
}

TEST(CfgReader, ErrorCodes)
{
    EXPECT_EQ(ParseCode("= 1"), kCfgNoName);
    EXPECT_EQ(ParseCode("a = \x80"), kCfgNoName);
    EXPECT_EQ(ParseCode("o { a = 1"), kCfgObjectNotClosed);
    EXPECT_EQ(ParseCode("o { a = \"}\" "), kCfgObjectNotClosed);
    EXPECT_EQ(ParseCode("o { a = \"x }"), kCfgDoubleQuoteNotClosed);
    EXPECT_EQ(ParseCode("a = [1 2 {"), kCfgArrayNotClosed);
    EXPECT_EQ(ParseCode("a = [1 \"2"), kCfgArrayNotClosed);
    EXPECT_EQ(ParseCode("a = b {"), kCfgWrongFormat);
    EXPECT_EQ(ParseCode("a = b = c"), kCfgWrongFormat);
    // The reader no longer writes into its text, so the compact form gives the same code.
    EXPECT_EQ(ParseCode("a=b=c"), kCfgWrongFormat);
    EXPECT_EQ(ParseCode("a = \"xyz"), kCfgDoubleQuoteNotClosed);
    EXPECT_EQ(ParseCode("a = 'xyz"), kCfgSingleQuoteNotClosed);
    EXPECT_EQ(ParseCode("a = 1 ]"), kCfgNoName);
    // A name without a value at the end stores nothing and is no error.
    GCfgNode node;
    EXPECT_EQ(ParseExact(node, "a = 1 b ="), 1);
    EXPECT_FALSE(node.HasValue("b"));
}

TEST(CfgReader, HighBytesAreBareTokens)
{
    GCfgNode node;
    ASSERT_EQ(ParseExact(node, "\x81\xC0\xFF = \xE0\xE1"), 1);
    EXPECT_STREQ(node.Get("\x81\xC0\xFF", "-"), "\xE0\xE1");
    EXPECT_EQ(ParseCode("\x80 = 1"), kCfgNoName);
    EXPECT_EQ(ParseCode("a\x80 = 1"), kCfgNoName); // a, then 0x80 cannot start a value
}

TEST(CfgReader, FailedParseKeepsWhatCameBefore)
{
    GCfgNode node;
    EXPECT_EQ(ParseExact(node, "a = 1 o { k = 2 x = \x80 } b = 3"), 0);
    EXPECT_EQ(CfgErrorCode, kCfgNoName);
    EXPECT_STREQ(node.Get("a", "-"), "1");
    EXPECT_STREQ(node.Get("o.k", "-"), "2");
    EXPECT_FALSE(node.HasValue("b"));
}

TEST(CfgReader, ReadOnlyAndUnterminatedText)
{
    // A literal lives in read-only memory: writing into it would fault.
    static const char kText[] = "a = 1 o { b = [x y] } c = \"q\"";
    GCfgNode node;
    ASSERT_EQ(node.Parse(kText, sizeof kText - 1), 1);
    EXPECT_STREQ(node.Get("o.b", "-"), "x");
    // Only the first bytes of a longer text: nothing past the length is read.
    GCfgNode part;
    ASSERT_EQ(part.Parse("a = 12345", 6), 1);
    EXPECT_STREQ(part.Get("a", "-"), "12");
    // Bare tokens, quoted texts, comments and arrays cut off at the last byte.
    for (std::string_view cut : {"abc", "a = \"x", "a /", "a = [x", "# c", "/* c *", "o { a = 1 "}) {
        GCfgNode n;
        ParseExact(n, cut);
    }
}

TEST(CfgReader, ParseNullOrEmptyChangesNothing)
{
    GCfgNode node;
    CfgErrorCode = 7;
    EXPECT_EQ(node.Parse(nullptr, 5), 0);
    EXPECT_EQ(node.Parse("a = 1", 0), 0);
    EXPECT_EQ(CfgErrorCode, 7);
    EXPECT_EQ(node, GCfgNode());
    EXPECT_EQ(node.ParseText(nullptr, nullptr), 0);
}

TEST(CfgReader, ReadingTwiceAddsTwice)
{
    GCfgNode node;
    ASSERT_EQ(ParseExact(node, "a = 1 o { k = 1 }"), 1);
    ASSERT_EQ(ParseExact(node, "a = 1 o { k = 1 }"), 1);
    EXPECT_EQ(Values(node, "a"), (Strings{"1", "1"}));
    EXPECT_EQ(node.FindObjectList("o")->size(), 2u);
}

TEST(CfgReader, NestingIsBounded)
{
    std::string deep;
    for (int i = 0; i < kCfgMaxDepth; ++i)
        deep += "o { ";
    deep += "k = 1 ";
    for (int i = 0; i < kCfgMaxDepth; ++i)
        deep += "} ";
    GCfgNode ok;
    ASSERT_EQ(ParseExact(ok, deep), 1);
    std::string path;
    for (int i = 0; i < kCfgMaxDepth; ++i)
        path += "o.";
    EXPECT_STREQ(ok.Get(path + "k", "-"), "1");

    const std::string tooDeep = "o { " + deep + " }";
    EXPECT_EQ(ParseCode(tooDeep), kCfgWrongFormat);
    // Hundreds of thousands of braces are refused without exhausting the stack.
    EXPECT_EQ(ParseCode(std::string(200000, '{')), kCfgNoName);
    EXPECT_EQ(ParseCode("o" + std::string(200000, '{')), kCfgObjectNotClosed);
    std::string named;
    for (int i = 0; i < 100000; ++i)
        named += "o{";
    named += std::string(100000, '}');
    EXPECT_EQ(ParseCode(named), kCfgWrongFormat);
}

TEST(CfgLoadFile, CodesAndLineCounter)
{
    TempFolder folder("cfg_text_test_");
    GCfgNode node;
    EXPECT_EQ(node.LoadFile(folder.Path("missing.cfg").c_str()), 0);
    EXPECT_EQ(CfgErrorCode, kCfgCannotOpen);
    EXPECT_EQ(node.LoadFile(folder.WriteFile("empty.cfg", "").c_str()), 0);
    EXPECT_EQ(CfgErrorCode, kCfgEmptyFile);
    EXPECT_EQ(node.LoadFile(nullptr), 0);
    EXPECT_EQ(CfgErrorCode, kCfgCannotOpen);

    // Line feeds between tokens and at the end of line comments count; those in block
    // comments and quoted texts do not.
    const std::string text = "a = 1\n# c\nb = \"x\ny\"\n/* p\nq */ c = 2\n\n";
    ASSERT_EQ(node.LoadFile(folder.WriteFile("lines.cfg", text).c_str()), 1);
    EXPECT_EQ(CfgErrorCode, 0);
    EXPECT_EQ(CfgLineNumber, 1 + 7 - 2); // seven line feeds, two not counted
    EXPECT_STREQ(node.Get("b", "-"), "x\ny");

    // Parse does not reset the counter; objects count each line once.
    CfgLineNumber = 10;
    GCfgNode more;
    ASSERT_EQ(ParseExact(more, "o {\n a = 1\n}\n"), 1);
    EXPECT_EQ(CfgLineNumber, 13);

    EXPECT_EQ(node.LoadFile(folder.WriteFile("bad.cfg", "a = 1\nb = 'x").c_str()), 0);
    EXPECT_EQ(CfgErrorCode, kCfgSingleQuoteNotClosed);
}

TEST(CfgLoadFile, ScrambledTextIsReadAfterUnscrambling)
{
    // Callers keep scrambled cfg text and hand the reader the plain bytes.
    const std::string plain = "Font { Name = main Size = 12 }";
    std::vector<char> stored(plain.size());
    ASSERT_EQ(XorScramble(plain.data(), stored.data(), uint32_t(plain.size()), 0x6B), 1);
    TempFolder folder("cfg_text_test_");
    const std::string path = folder.WriteFile("font.cfg", std::string_view(stored.data(), stored.size()));
    GCfgNode raw;
    EXPECT_EQ(raw.LoadFile(path.c_str()), 0); // the scrambled bytes are no cfg text
    std::vector<char> text(stored);
    XorScramble(text.data(), nullptr, uint32_t(text.size()), 0x6B);
    GCfgNode node;
    ASSERT_EQ(node.Parse(text.data(), text.size()), 1);
    EXPECT_EQ(node.GetI("Font.Size", 0), 12);
}

TEST(CfgLoadFile, ZeroBytesInQuotedTexts)
{
    TempFolder folder("cfg_text_test_");
    GCfgNode node;
    const std::string text("a = \"x\0y\"", 9);
    ASSERT_EQ(node.LoadFile(folder.WriteFile("zero.cfg", text).c_str()), 1);
    EXPECT_EQ(node.FindValueList("a")->front().View(), std::string_view("x\0y", 3));
    EXPECT_EQ(ParseCode(std::string("a = x\0", 6)), kCfgNoName);
}

// ---- Paths and getters ----

class CfgGetters : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(ParseExact(m_node, "hex = 0x1f  off = off  x = x  neg = -12abc  big = 0X10 "
                                     "f = 1.5  g = .25  h = -2.5e1  comma = \"1,5\"  plus = +7 "
                                     "hf = 0x10  huge = 1e999  tiny = 1e-999 "
                                     "list = [1, 0x10, -3, x, \"\"]  fl = [1.5 .5 y] "
                                     "a { b { c = 5 } } a { b { c = 6 } d = 7 } e = [] "),
                  1);
    }
    GCfgNode m_node;
};

TEST_F(CfgGetters, DottedPaths)
{
    EXPECT_TRUE(m_node.HasObject("a"));
    EXPECT_TRUE(m_node.HasObject("a.b"));
    EXPECT_TRUE(m_node.HasValue("a.b.c"));
    EXPECT_FALSE(m_node.HasValue("a.d")); // only the first child of "a" is searched
    EXPECT_FALSE(m_node.HasValue("a.x.c"));
    EXPECT_TRUE(m_node.HasValue("e"));     // exists with an empty list
    EXPECT_EQ(m_node.GetI("a.b.c", 0), 5);
    ASSERT_NE(m_node.FindValue("a.b.c"), nullptr);
    EXPECT_EQ(CfgView(m_node.FindValue("a.b.c")->first), "c");
    ASSERT_NE(m_node.FindObject("a.b"), nullptr);
    EXPECT_EQ(m_node.FindObject("a.b")->second.size(), 1u);
    EXPECT_EQ(m_node.FindObject("a.q"), nullptr);
    EXPECT_EQ(m_node.FindValueList("a.b.c"), nullptr); // plain names only
}

TEST_F(CfgGetters, Get)
{
    CfgErrorCode = 3;
    EXPECT_STREQ(m_node.Get("f", "-"), "1.5");
    EXPECT_EQ(CfgErrorCode, 3); // success leaves the code alone
    EXPECT_STREQ(m_node.Get("missing", "dflt"), "dflt");
    EXPECT_EQ(CfgErrorCode, kCfgWrongName);
    CfgErrorCode = 0;
    EXPECT_STREQ(m_node.Get("e", "dflt"), "dflt"); // empty list
    EXPECT_EQ(CfgErrorCode, kCfgWrongName);
    CfgErrorCode = 0;
    EXPECT_STREQ(m_node.Get("q.r", "dflt"), "dflt");
    EXPECT_EQ(CfgErrorCode, kCfgWrongName);
}

TEST_F(CfgGetters, GetI)
{
    EXPECT_EQ(m_node.GetI("hex", -1), 31);
    EXPECT_EQ(CfgErrorCode, 0);
    EXPECT_EQ(m_node.GetI("off", -1), 0);
    EXPECT_EQ(CfgErrorCode, 0);
    EXPECT_EQ(m_node.GetI("x", -1), -1);
    EXPECT_EQ(CfgErrorCode, kCfgConversion);
    EXPECT_EQ(m_node.GetI("missing", -1), -1);
    EXPECT_EQ(CfgErrorCode, kCfgConversion);
    EXPECT_EQ(m_node.GetI("neg", 0), -12);
    EXPECT_EQ(m_node.GetI("big", -1), 0); // upper-case X is no hexadecimal prefix
    EXPECT_EQ(m_node.GetI("plus", 0), 7);
    EXPECT_EQ(m_node.GetI("f", 0), 1);
    EXPECT_EQ(m_node.GetI("g", 9), 9);
    EXPECT_EQ(CfgErrorCode, kCfgConversion);
}

TEST_F(CfgGetters, GetFUsesTheDecimalPoint)
{
    EXPECT_FLOAT_EQ(m_node.GetF("f", 0), 1.5f);
    EXPECT_EQ(CfgErrorCode, 0);
    EXPECT_FLOAT_EQ(m_node.GetF("g", 0), 0.25f);
    EXPECT_FLOAT_EQ(m_node.GetF("h", 0), -25.0f);
    EXPECT_FLOAT_EQ(m_node.GetF("comma", 0), 1.0f); // a comma is no decimal point
    EXPECT_FLOAT_EQ(m_node.GetF("plus", 0), 7.0f);
    EXPECT_FLOAT_EQ(m_node.GetF("hf", 0), 0.0f); // no hexadecimal form
    EXPECT_TRUE(std::isinf(m_node.GetF("huge", 0)));
    EXPECT_EQ(m_node.GetF("tiny", 5), 0.0f);
    EXPECT_FLOAT_EQ(m_node.GetF("x", 2.5f), 2.5f);
    EXPECT_EQ(CfgErrorCode, kCfgConversion);
    EXPECT_FLOAT_EQ(m_node.GetF("off", 2.5f), 2.5f); // 'o' passes only the integer test
    EXPECT_EQ(CfgErrorCode, kCfgConversion);
    EXPECT_FLOAT_EQ(m_node.GetF("missing", 3.0f), 3.0f);
    EXPECT_EQ(CfgErrorCode, kCfgConversion);
}

TEST_F(CfgGetters, Lists)
{
    GIntArray ints;
    ints.PushBack(99);
    EXPECT_EQ(m_node.GetIList("list", ints), kCfgConversion);
    EXPECT_EQ(CfgErrorCode, kCfgConversion);
    ASSERT_EQ(ints.GetCount(), 5u);
    const intptr_t expected[] = {1, 16, -3, 0, 0};
    for (uint32_t i = 0; i < 5; ++i)
        EXPECT_EQ(ints[i], expected[i]) << i;
    EXPECT_EQ(m_node.GetIList("a.b.c", ints), 0);
    ASSERT_EQ(ints.GetCount(), 1u);
    EXPECT_EQ(ints[0], 5);
    EXPECT_EQ(m_node.GetIList("missing", ints), kCfgWrongName);
    EXPECT_EQ(ints.GetCount(), 0u);

    GFloatArray floats;
    EXPECT_EQ(m_node.GetFList("fl", floats), kCfgConversion);
    ASSERT_EQ(floats.GetCount(), 3u);
    EXPECT_FLOAT_EQ(floats[0], 1.5f);
    EXPECT_FLOAT_EQ(floats[1], 0.5f);
    EXPECT_FLOAT_EQ(floats[2], 0.0f);
    EXPECT_EQ(m_node.GetFList("e", floats), 0);
    EXPECT_EQ(floats.GetCount(), 0u);

    GStringArray texts;
    EXPECT_EQ(m_node.GetValueList("list", texts), 0);
    ASSERT_EQ(texts.GetCount(), 5u);
    EXPECT_STREQ(texts[1].c_str(), "0x10");
    EXPECT_STREQ(texts[4].c_str(), "");
    EXPECT_EQ(m_node.GetValueList("nope", texts), kCfgWrongName);
    EXPECT_EQ(texts.GetCount(), 0u);
}

// ---- Building and maintenance ----

TEST(CfgNodeBuild, NamesOrderByUnsignedBytes)
{
    GCfgNode node;
    for (const char* name : {"b", "\xC0", "ab", "a", "B"})
        node.AddValue(name, "1");
    std::vector<std::string> order;
    for (const auto& entry : node.GetValues())
        order.emplace_back(CfgView(entry.first));
    EXPECT_EQ(order, (Strings{"B", "a", "ab", "b", "\xC0"}));
}

TEST(CfgNodeBuild, AddersAndRemove)
{
    GCfgNode node;
    node.AddValue("v", "1");
    node.AddValue("v", "2");
    EXPECT_EQ(Values(node, "v"), (Strings{"1", "2"}));
    node.GetOrAddValue("w") = "new";
    EXPECT_STREQ(node.Get("w", "-"), "new");
    node.GetOrAddValue("v") = "first";
    EXPECT_EQ(Values(node, "v"), (Strings{"first", "2"}));
    node.RemoveValue("v");
    node.RemoveValue("absent");
    EXPECT_FALSE(node.HasValue("v"));

    GCfgNode child;
    child.AddValue("k", "1");
    GCfgNode& added = node.AddObject("c", child);
    added.AddValue("k", "2");
    EXPECT_EQ(Values(child, "k"), Strings{"1"}); // a copy was added
    // Adding a child of the same list to that list is safe.
    node.AddObject("c", node.FindObjectList("c")->front());
    EXPECT_EQ(node.FindObjectList("c")->size(), 2u);
    EXPECT_EQ((*node.FindObjectList("c"))[1], (*node.FindObjectList("c"))[0]);
    // The same name may head a value entry and an object entry.
    node.AddValue("c", "text");
    EXPECT_STREQ(node.Get("c", "-"), "text");
    EXPECT_STREQ(node.Get("c.k", "-"), "1");
}

TEST(CfgNodeBuild, CopyClearAndSort)
{
    GCfgNode node;
    ASSERT_EQ(ParseExact(node, "s = [b, \xE0, a, B, ab] o { t = [2 1] }"), 1);
    GCfgNode copy(node);
    EXPECT_EQ(copy, node);
    EXPECT_EQ(copy.GetSeed(), node.GetSeed());
    copy.FindObjectList("o")->front().AddValue("extra", "1");
    EXPECT_FALSE(node.HasValue("o.extra")); // deep copy

    node.SortValues();
    EXPECT_EQ(Values(node, "s"), (Strings{"B", "a", "ab", "b", "\xE0"}));
    EXPECT_EQ(Values(node, "o.t"), (Strings{"2", "1"})); // children are left alone

    node.SetSeed(1234);
    node.Clear();
    EXPECT_EQ(node, GCfgNode());
    EXPECT_EQ(node.GetSeed(), 1234u);
}

} // namespace
