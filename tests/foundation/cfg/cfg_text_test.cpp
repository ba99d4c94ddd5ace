// The cfg text reader and writers, the error codes and the getters of GCfgNode.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "foundation/cfg/cfg_node.h"
#include "foundation/cfg/cfg_parser.h"
#include "foundation/cfg/cfg_writer.h"
#include "foundation/docs/cfg_data_doc.h"
#include "foundation/docs/ini_data_doc.h"
#include "foundation/docs/table_data_doc.h"
#include "foundation/docs/xml_data_doc.h"
#include "foundation/text/decimal_number.h"
#include "foundation/text/wstring.h"
#include "support/failing_allocations.h"
#include "support/foundation_values.h"
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

// The tree of a text that must parse.
GCfgNode Parsed(std::string_view text)
{
    GCfgNode node;
    EXPECT_EQ(ParseExact(node, text), 1) << CfgErrorText(CfgErrorCode) << "\n" << text;
    return node;
}

int32_t ParseCode(std::string_view text)
{
    GCfgNode node;
    ParseExact(node, text);
    return CfgErrorCode;
}

using Strings = std::vector<std::string>;
using namespace tolvanrise::test;

// The tree as one line: value entries "name=[v,v]", then object entries "name{...}" per child.
std::string Dump(const GCfgNode& node)
{
    std::string out;
    for (const auto& [name, values] : node.GetValues()) {
        out += (out.empty() ? "" : " ") + std::string(CfgView(name)) + "=[";
        for (size_t i = 0; i < values.size(); ++i)
            out += (i ? "," : "") + std::string(values[i].View());
        out += "]";
    }
    for (const auto& [name, children] : node.GetObjects())
        for (const GCfgNode& child : children)
            out += (out.empty() ? "" : " ") + std::string(CfgView(name)) + "{" + Dump(child) + "}";
    return out;
}

TEST(CfgReader, TextsTreesErrorCodesAndPartialReads)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        // Separators, and the optional '=' or ':'.
        {"a = 1; b: 2, c 3", "a=[1] b=[2] c=[3]"},
        // Comments nest; inside a bare token "//" is no comment; an open block runs to the end.
        {"# one\n// two\r\n/* outer /* inner */ still outer */ d = 4", "d=[4]"},
        {"p = a//b q = x-1.5e+3", "p=[a//b] q=[x-1.5e+3]"},
        {"a = 1 /* b = 2", "a=[1]"},
        // Quoted tokens have no escapes and may span lines; an empty one is no single value.
        {"t 'it''s'", "t=[it]"},
        {"m = \"two\nlines\" 'x y' = \"a'b\"", "m=[two\nlines] x y=[a'b]"},
        {"a = \"\"  b = '\"\"x'", ""},
        {"a = [\"\", '']", "a=[,]"},
        // Arrays append to the name; [] keeps an entry with an empty list; an open one stops at
        // the end.
        {"a = [1 2] b = 5 a = 3 e = []", "a=[1,2,3] b=[5] e=[]"},
        {"a = [1, 2", "a=[1,2]"},
        {"a = [1 /* x */", "a=[1]"},
        // Objects; an empty one stores nothing.
        {"o { k = 1 } o = { k = 2 } e { /* nothing */ }", "o{k=[1]} o{k=[2]}"},
        // Brace matching respects quotes and comments; an apostrophe inside a bare token opens
        // no quoted text.
        {"o { s = \"a}b\" t = '{' # }\n u = x }  v = 1", "v=[1] o{s=[a}b] t=[{] u=[x]}"},
        {"o { n = it's } w = 2", "w=[2] o{n=[it's]}"},
        {"\x81\xC0\xFF = \xE0\xE1", "\x81\xC0\xFF=[\xE0\xE1]"}, // high bytes are bare tokens
        {"a = 1 b =", "a=[1]"}, // a name without a value at the end stores nothing
    };
    for (const auto& [text, tree] : cases)
        EXPECT_EQ(Dump(Parsed(text)), tree) << text;

    const std::pair<std::string_view, int32_t> errors[] = {
        {"= 1", kCfgNoName}, {"a = \x80", kCfgNoName}, {"\x80 = 1", kCfgNoName},
        {"a\x80 = 1", kCfgNoName}, // a, then 0x80 cannot start a value
        {"a = 1 ]", kCfgNoName}, {"o { a = 1", kCfgObjectNotClosed}, {"o { a = \"}\" ", kCfgObjectNotClosed},
        {"o { a = \"x }", kCfgDoubleQuoteNotClosed}, {"a = \"xyz", kCfgDoubleQuoteNotClosed},
        {"a = 'xyz", kCfgSingleQuoteNotClosed}, {"a = [1 2 {", kCfgArrayNotClosed}, {"a = [1 \"2", kCfgArrayNotClosed},
        {"o { a = [1 }", kCfgArrayNotClosed}, // inside an object the array must close first
        {"a = b {", kCfgWrongFormat},
        {"a = b = c", kCfgWrongFormat},
        {"a=b=c", kCfgWrongFormat}, // the reader writes nothing into its text: the same code
    };
    for (const auto& [text, code] : errors) {
        EXPECT_EQ(ParseCode(text), code) << text;
        EXPECT_STRNE(CfgErrorText(code), "") << text;
    }
    EXPECT_EQ(std::string(CfgErrorText(14)) + CfgErrorText(-1), "");

    // A failed parse keeps what came before the fault.
    GCfgNode node;
    EXPECT_EQ((std::tuple{ParseExact(node, "a = 1 o { k = 2 x = \x80 } b = 3"), CfgErrorCode, Dump(node)}),
              std::tuple(0, kCfgNoName, "a=[1] o{k=[2]}"));
    // Reading again adds again.
    node = Parsed("a = 1 o { k = 1 }");
    ASSERT_EQ(ParseExact(node, "a = 1 o { k = 1 }"), 1);
    EXPECT_EQ(Dump(node), "a=[1,1] o{k=[1]} o{k=[1]}");
    // Null or empty text changes nothing, not even the code.
    GCfgNode none;
    CfgErrorCode = 7;
    EXPECT_EQ((std::vector<int>{none.Parse(nullptr, 5), none.Parse("a = 1", 0), CfgErrorCode,
                                none.ParseText(nullptr, nullptr)}),
              (std::vector<int>{0, 0, 7, 0}));
    EXPECT_EQ(none, GCfgNode());

    // A literal lives in read-only memory: writing into it would fault.
    static const char kText[] = "a = 1 o { b = [x y] } c = \"q\"";
    GCfgNode literal;
    ASSERT_EQ(literal.Parse(kText, sizeof kText - 1), 1);
    EXPECT_EQ(Dump(literal), "a=[1] c=[q] o{b=[x,y]}");
    // Only the first bytes of a longer text: nothing past the length is read.
    GCfgNode part;
    ASSERT_EQ(part.Parse("a = 12345", 6), 1);
    EXPECT_EQ(Dump(part), "a=[12]");
    // Bare tokens, quoted texts, comments and arrays cut off at the last byte.
    for (std::string_view cut : {"abc", "a = \"x", "a /", "a = [x", "# c", "/* c *", "o { a = 1 "})
        ParseCode(cut);
}

TEST(CfgReader, NestingIsBoundedFileCodesAndLineCounter)
{
    auto repeat = [](const char* part, int n) {
        std::string out;
        while (n-- > 0)
            out += part;
        return out;
    };
    const std::string deep = repeat("o { ", kCfgMaxDepth) + "k = 1 " + repeat("} ", kCfgMaxDepth);
    EXPECT_STREQ(Parsed(deep).Get(repeat("o.", kCfgMaxDepth) + "k", "-"), "1");

    const std::string tooDeep = "o { " + deep + " }";
    EXPECT_EQ(ParseCode(tooDeep), kCfgWrongFormat);
    // Hundreds of thousands of braces are refused without exhausting the stack.
    EXPECT_EQ(ParseCode(std::string(200000, '{')), kCfgNoName);
    EXPECT_EQ(ParseCode("o" + std::string(200000, '{')), kCfgObjectNotClosed);
    EXPECT_EQ(ParseCode(repeat("o{", 100000) + std::string(100000, '}')), kCfgWrongFormat);

    TempFolder folder("cfg_text_test_");
    GCfgNode node;
    for (auto [path, code] : {std::pair{folder.Path("missing.cfg"), kCfgCannotOpen},
                              {folder.WriteFile("empty.cfg", ""), kCfgEmptyFile},
                              {folder.WriteFile("bad.cfg", "a = 1\nb = 'x"), kCfgSingleQuoteNotClosed}}) {
        EXPECT_EQ(node.LoadFile(path.c_str()), 0);
        EXPECT_EQ(CfgErrorCode, code) << path;
    }
    EXPECT_TRUE(node.LoadFile(nullptr) == 0 && CfgErrorCode == kCfgCannotOpen);

    // Line feeds between tokens and at the end of line comments count; those in block
    // comments and quoted texts do not.
    const std::string text = "a = 1\n# c\nb = \"x\ny\"\n/* p\nq */ c = 2\n\n";
    ASSERT_EQ(node.LoadFile(folder.WriteFile("lines.cfg", text).c_str()), 1);
    // Seven line feeds, two not counted.
    EXPECT_EQ((std::tuple{CfgErrorCode, CfgLineNumber}), std::tuple(0, 1 + 7 - 2));
    EXPECT_STREQ(node.Get("b", "-"), "x\ny");

    // Parse does not reset the counter; objects count each line once.
    CfgLineNumber = 10;
    GCfgNode more = Parsed("o {\n a = 1\n}\n");
    EXPECT_EQ(CfgLineNumber, 13);

    // Zero bytes are text inside quotes, and nothing outside them.
    GCfgNode zero;
    ASSERT_EQ(zero.LoadFile(folder.WriteFile("zero.cfg", std::string("a = \"x\0y\"", 9)).c_str()), 1);
    EXPECT_EQ(zero.FindValueList("a")->front().View(), std::string_view("x\0y", 3));
    EXPECT_EQ(ParseCode(std::string("a = x\0", 6)), kCfgNoName);
}

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

// Every getter call as text: 's' Get, 'i' GetI, 'f' GetF (defaults read from the text).
// kUntouched stands for "the call left the error code as it was".
constexpr int32_t kUntouched = 99;
struct GetterCase {
    char getter;
    const char* key;
    const char* dflt;
    const char* expected;
    int32_t code;
};

// Success leaves the code alone; "e" is an empty list; upper-case X is no hexadecimal prefix; a
// comma is no decimal point; floats have no hexadecimal form; 'o' passes only the integer test.
const GetterCase kGetterCases[] = {
    {'s', "f", "-", "1.5", kUntouched},         {'s', "missing", "dflt", "dflt", kCfgWrongName},
    {'s', "e", "dflt", "dflt", kCfgWrongName},  {'s', "q.r", "dflt", "dflt", kCfgWrongName},
    {'i', "hex", "-1", "31", kCfgOk},           {'i', "off", "-1", "0", kCfgOk},
    {'i', "x", "-1", "-1", kCfgConversion},     {'i', "missing", "-1", "-1", kCfgConversion},
    {'i', "neg", "0", "-12", kCfgOk},           {'i', "big", "-1", "0", kCfgOk},
    {'i', "plus", "0", "7", kCfgOk},            {'i', "f", "0", "1", kCfgOk},
    {'i', "g", "9", "9", kCfgConversion},       {'f', "f", "0", "1.5", kCfgOk},
    {'f', "g", "0", "0.25", kCfgOk},            {'f', "h", "0", "-25", kCfgOk},
    {'f', "comma", "0", "1", kCfgOk},           {'f', "plus", "0", "7", kCfgOk},
    {'f', "hf", "0", "0", kCfgOk},              {'f', "huge", "0", "inf", kCfgOk},
    {'f', "tiny", "5", "0", kCfgOk},            {'f', "x", "2.5", "2.5", kCfgConversion},
    {'f', "off", "2.5", "2.5", kCfgConversion}, {'f', "missing", "3", "3", kCfgConversion},
};

TEST_F(CfgGetters, TableListsAndDottedPaths)
{
    for (const GetterCase& c : kGetterCases) {
        CfgErrorCode = kUntouched;
        std::string got;
        if (c.getter == 's') {
            got = m_node.Get(c.key, c.dflt);
        } else if (c.getter == 'i') {
            got = std::to_string(m_node.GetI(c.key, std::atoi(c.dflt)));
        } else {
            char text[32];
            std::snprintf(text, sizeof text, "%g", m_node.GetF(c.key, std::strtof(c.dflt, nullptr)));
            got = text;
        }
        EXPECT_EQ(got, c.expected) << c.getter << " " << c.key;
        EXPECT_EQ(CfgErrorCode, c.code) << c.getter << " " << c.key;
    }

    // Each list getter empties the array first; an entry that does not convert reads 0.
    GIntArray ints = IntArray({99});
    EXPECT_EQ((std::tuple{m_node.GetIList("list", ints), CfgErrorCode, Ints(ints)}),
              std::tuple(kCfgConversion, kCfgConversion, std::vector<intptr_t>{1, 16, -3, 0, 0}));
    EXPECT_EQ((std::tuple{m_node.GetIList("a.b.c", ints), Ints(ints)}), std::tuple(0, std::vector<intptr_t>{5}));
    EXPECT_EQ((std::tuple{m_node.GetIList("missing", ints), ints.GetCount()}), std::tuple(kCfgWrongName, 0u));

    GFloatArray floats;
    EXPECT_EQ((std::tuple{m_node.GetFList("fl", floats), Floats(floats)}),
              std::tuple(kCfgConversion, std::vector<float>{1.5f, 0.5f, 0.0f}));
    EXPECT_EQ((std::tuple{m_node.GetFList("e", floats), floats.GetCount()}), std::tuple(0, 0u));

    GStringArray texts;
    EXPECT_EQ((std::tuple{m_node.GetValueList("list", texts), StringList(texts)}),
              std::tuple(0, Strings{"1", "0x10", "-3", "x", ""}));
    EXPECT_EQ((std::tuple{m_node.GetValueList("nope", texts), texts.GetCount()}), std::tuple(kCfgWrongName, 0u));

    // Dotted paths.
    // Only the first child of "a" is searched; "e" exists with an empty list.
    EXPECT_EQ((std::vector<bool>{m_node.HasObject("a"), m_node.HasObject("a.b"), m_node.HasValue("a.b.c"),
                                 m_node.HasValue("a.d"), m_node.HasValue("a.x.c"), m_node.HasValue("e")}),
              (std::vector<bool>{true, true, true, false, false, true}));
    EXPECT_EQ(m_node.GetI("a.b.c", 0), 5);
    ASSERT_TRUE(m_node.FindValue("a.b.c") && m_node.FindObject("a.b"));
    EXPECT_EQ(std::pair(CfgView(m_node.FindValue("a.b.c")->first), m_node.FindObject("a.b")->second.size()),
              std::pair(std::string_view("c"), size_t{1}));
    EXPECT_TRUE(!m_node.FindObject("a.q") && !m_node.FindValueList("a.b.c")); // plain names only
}

// The text a tree holds: every entry name and value text, here and in every child; the
// estimate of its memory is never below that and grows with every entry.
TEST(CfgNodeBuild, TextLengthCountsNamesAndValuesAtEveryDepth)
{
    GCfgNode empty;
    EXPECT_EQ(empty.TextLength(), 0u);
    const char kText[] = "ab = [xyz 12]\nobj { c = \"hello\"\n inner { dd = 1 } }\nobj { }\n";
    GCfgNode node;
    ASSERT_EQ(node.Parse(kText, sizeof kText - 1), 1);
    // ab, xyz, 12; obj (the empty one stores nothing) with c, hello, inner, dd, 1.
    const uint64_t expected = 2 + 3 + 2 + 3 + 1 + 5 + 5 + 2 + 1;
    EXPECT_EQ(node.TextLength(), expected);
    const uint64_t before = node.MemorySize();
    EXPECT_GE(before, node.TextLength());
    GCfgNode more;
    const char kMore[] = "ab = [xyz 12]\nobj { c = \"hello\"\n inner { dd = 1 } }\nobj { }\nlonger_name = 1234567\n";
    ASSERT_EQ(more.Parse(kMore, sizeof kMore - 1), 1);
    EXPECT_EQ(more.TextLength(), expected + 11 + 7);
    EXPECT_GE(more.MemorySize(), before + 11 + 7);
}

TEST(CfgNodeBuild, AddRemoveCopyClearAndSort)
{
    GCfgNode node;
    for (const char* name : {"b", "\xC0", "ab", "a", "B"})
        node.AddValue(name, "1");
    EXPECT_EQ(Dump(node), "B=[1] a=[1] ab=[1] b=[1] \xC0=[1]"); // names order by unsigned bytes
    node.Clear();
    node.AddValue("v", "1");
    node.AddValue("v", "2");
    node.GetOrAddValue("w") = "new";
    node.GetOrAddValue("v") = "first";
    EXPECT_EQ(Dump(node), "v=[first,2] w=[new]");
    node.RemoveValue("v");
    node.RemoveValue("absent");

    GCfgNode child;
    child.AddValue("k", "1");
    node.AddObject("c", child).AddValue("k", "2");
    EXPECT_EQ(Dump(child), "k=[1]"); // a copy was added
    // Adding a child of the same list to that list is safe; the same name may head a value
    // entry and an object entry.
    node.AddObject("c", node.FindObjectList("c")->front());
    node.AddValue("c", "text");
    EXPECT_EQ(Dump(node), "c=[text] w=[new] c{k=[1,2]} c{k=[1,2]}");

    node = Parsed("s = [b, \xE0, a, B, ab] o { t = [2 1] }");
    GCfgNode copy(node);
    EXPECT_EQ(copy, node);
    EXPECT_EQ(copy.GetSeed(), node.GetSeed());
    copy.FindObjectList("o")->front().AddValue("extra", "1");
    EXPECT_FALSE(node.HasValue("o.extra")); // deep copy

    node.SortValues();
    EXPECT_EQ(Dump(node), "s=[B,a,ab,b,\xE0] o{t=[2,1]}"); // children are left alone

    node.SetSeed(1234);
    node.Clear();
    EXPECT_EQ(node, GCfgNode());
    EXPECT_EQ(node.GetSeed(), 1234u);

    // A value that cannot take a text says so and is left empty, never stale: no memory for the
    // copy, or a text past 32-bit sizes (only reserved, never touched; skipped where the
    // system will not lend that much address space).
    GCfgValue value("old");
    {
        FailArrayAllocationsAfter fail(0);
        EXPECT_FALSE(value.Set("new text"));
    }
    EXPECT_TRUE(value.IsEmpty());
    const std::unique_ptr<char[]> huge(new (std::nothrow) char[size_t{UINT32_MAX}]);
    if (huge) {
        value = "old";
        EXPECT_FALSE(value.Set(std::string_view(huge.get(), UINT32_MAX)));
        EXPECT_TRUE(value.IsEmpty());
    }
}

std::string WriteToStream(const GCfgNode& node, int width, int level, bool* ok = nullptr)
{
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    const bool written = node.WriteText(nullptr, width, level, file);
    if (ok)
        *ok = written;
    std::rewind(file);
    const std::string text = ReadStreamBytes(file);
    std::fclose(file);
    return text;
}

GCfgNode Sample()
{
    GCfgNode node;
    node.AddValue("a", "1");
    node.AddValue("b", "x");
    node.AddValue("b", "y");
    GCfgNode child;
    child.AddValue("k", "2");
    node.AddObject("c", child);
    return node;
}

// Reading the output back is the round-trip tests' part; here the layout is compared.
TEST(CfgWriteText, LayoutQuotingEmptyObjectsAndBareTokenClasses)
{
    EXPECT_EQ(WriteToStream(Sample(), 3, 0), "a = 1\nb = [x, y]\nc = {\n   k = 2\n}\n");
    EXPECT_EQ(WriteToStream(Sample(), 2, 1), "  a = 1\n  b = [x, y]\n  c = {\n    k = 2\n  }\n");

    // The compact layout, appended to a string or saved to memory.
    std::string out = "keep:";
    EXPECT_TRUE(Sample().WriteStream(out, 0, 0));
    EXPECT_EQ(out, "keep:a=1\nb=[x, y]\nc = {\nk=2\n}\n");
    std::string indented;
    EXPECT_TRUE(Sample().WriteStream(indented, 1, 1));
    EXPECT_EQ(indented, " a=1\n b=[x, y]\n c = {\n  k=2\n }\n");
    std::unique_ptr<char[]> buffer;
    uint32_t size = 0;
    ASSERT_TRUE(Sample().SaveToMemory(&buffer, &size));
    EXPECT_EQ(std::string(buffer.get(), size), out.substr(5));
    EXPECT_FALSE(Sample().SaveToMemory(nullptr, &size) || Sample().SaveToMemory(&buffer, nullptr));
    EXPECT_TRUE(!GCfgNode().SaveToMemory(&buffer, &size) && size == 0u); // empty text

    GCfgNode node;
    node.AddValue("blank", "two words");
    node.AddValue("empty", "");
    node.AddValue("'name", "v");
    node.AddValue("dq", "say \"hi\"");
    node.AddValue("slash", "//not a comment");
    node.AddValue("star", "/*x");
    node.AddValue("bare", "it's/ok");
    node.AddValue("pair", "\"\"x");
    node.AddValue("brace", "}");
    node.GetOrAddValue("none");
    node.FindValueList("none")->clear();
    // Empty, "\"\"x" and no value cannot be carried by a single value and go out as lists.
    EXPECT_EQ(WriteToStream(node, 0, 0), "\"'name\" = v\nbare = it's/ok\nblank = \"two words\"\nbrace = \"}\"\n"
                                         "dq = 'say \"hi\"'\nempty = [\"\"]\nnone = []\npair = ['\"\"x']\n"
                                         "slash = \"//not a comment\"\nstar = \"/*x\"\n");

    // Empty objects do not read back.
    GCfgNode empties;
    empties.AddObject("e", GCfgNode());
    GCfgNode inner;
    inner.AddObject("f", GCfgNode());
    empties.AddObject("e", inner);
    const std::string text = WriteToStream(empties, 3, 0);
    EXPECT_EQ(text, "e = {\n}\ne = {\n   f = {\n   }\n}\n");
    GCfgNode back;
    ASSERT_EQ(back.Parse(text.data(), text.size()), 1);
    GCfgNode expected;
    expected.AddObject("e", GCfgNode());
    EXPECT_EQ(back, expected);

    for (const char* bare : {"abc", "x-1.5e+3", "a'b", "\x81\xFF", "a//b", "/a"})
        EXPECT_EQ(CfgIsBareToken(bare), 1) << bare;
    for (const char* quoted : {"", "'a", "\x80", "a b", "a=b", "//a", "/*a"})
        EXPECT_EQ(CfgIsBareToken(quoted), 0) << quoted;
}

TEST(CfgWriteText, BothQuotesOrTooDeepCannotBeWrittenAndFilesAreReplacedWhole)
{
    std::string out;
    EXPECT_FALSE(CfgAppendText(out, "it's \"both\""));
    EXPECT_TRUE(out.empty());

    GCfgNode node;
    node.AddValue("a", "1");
    node.AddValue("b", "'\"");
    bool ok = true;
    // Nothing at all is written.
    EXPECT_EQ((std::tuple{WriteToStream(node, 3, 0, &ok), ok}), std::tuple(std::string(), false));
    std::string stream;
    EXPECT_FALSE(node.WriteStream(stream));
    std::unique_ptr<char[]> buffer;
    uint32_t size = 7;
    EXPECT_TRUE(!node.SaveToMemory(&buffer, &size) && size == 0u && buffer == nullptr);

    TempFolder folder("cfg_writer_test_");
    const std::string path = folder.Path("out.cfg");
    ASSERT_TRUE(Sample().WriteText(path.c_str(), 3, 0));
    const std::string before = ReadFileBytes(path);
    EXPECT_EQ(before, "a = 1\nb = [x, y]\nc = {\n   k = 2\n}\n");

    // A save that fails leaves the old file whole.
    GCfgNode bad;
    bad.AddValue("q", "'\"");
    EXPECT_FALSE(bad.WriteText(path.c_str()));
    EXPECT_EQ(ReadFileBytes(path), before);
    // A folder that does not exist is reported.
    EXPECT_FALSE(Sample().WriteText(folder.Path("no/such/dir.cfg").c_str()));
    EXPECT_FALSE(std::filesystem::exists(folder.Path("no")));
    // A folder in the place of the file is not replaced.
    std::filesystem::create_directories(folder.Path("taken.cfg"));
    EXPECT_FALSE(Sample().WriteText(folder.Path("taken.cfg").c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(folder.Path("taken.cfg")));

    // Too deep is refused.
    GCfgNode leaf;
    leaf.AddValue("k", "1");
    for (int i = 0; i <= kCfgMaxDepth; ++i) {
        GCfgNode parent;
        parent.AddObject("o", std::move(leaf));
        leaf = std::move(parent);
    }
    std::string text;
    EXPECT_FALSE(leaf.WriteStream(text));
    // One level less is written and read back.
    GCfgNode shallower = leaf.FindObjectList("o")->front();
    text.clear();
    ASSERT_TRUE(shallower.WriteStream(text));
    GCfgNode back;
    ASSERT_EQ(back.Parse(text.data(), text.size()), 1);
    EXPECT_EQ(back, shallower);
}

// Two reading rules the settings readers share: floats are decimal only (C locale, no
// hexadecimal form), and an empty cfg object stores nothing.
constexpr float kInf = std::numeric_limits<float>::infinity();

// Out of range only below: a run of zeros before or after the point moves the leading digit,
// never turns the underflow into an infinity.
const std::string kZeroRun(400, '0');
const std::string kLeadingZeros = kZeroRun + "1e-400";
const std::string kFractionZeros = "0." + kZeroRun + "1e5";

// Text, value, bytes the reading takes.
const std::tuple<const char*, float, size_t> kFloats[] = {
    {kLeadingZeros.c_str(), 0.0f, 406}, {kFractionZeros.c_str(), 0.0f, 405},
    {"0x10", 0.0f, 1},  {"0X1p4", 0.0f, 1},   {"-0x8", 0.0f, 2},   {"2.5x", 2.5f, 3},
    {"+1.5", 1.5f, 4},  {".5", 0.5f, 2},      {"1e3", 1000.0f, 3}, {"7e", 7.0f, 1},
    {"1e400", kInf, 5}, {"-1e400", -kInf, 6}, {"1e-400", 0.0f, 6}, {"0.0001e-999", 0.0f, 11},
    {"inf", kInf, 3},   {"--1", 0.0f, 0},     {"+-1", 0.0f, 0},    {" \t12", 12.0f, 4},
};

// Text, children of "o".
const std::tuple<const char*, size_t> kObjects[] = {
    {"o { }", 0},        {"o = {}", 0},      {"o : { /* c */ }", 0},         {"o {\n # c\n\t}", 0},
    {"o { // c\n }", 0}, {"o { k = 1 }", 1}, {"o { } o { k = 1 } o { }", 1}, {"o { i { } }", 1},
};

TEST(ReadingRules, FloatsAreDecimalOnlyInEveryReaderAndAnEmptyCfgObjectStoresNothing)
{
    tolvanrise::test::TempFolder folder("reading_rules_");
    for (const auto& [text, value, used] : kFloats) {
        SCOPED_TRACE(text);
        double read = -1.0;
        EXPECT_EQ(text::ReadDecimalDouble(text, read), used);
        EXPECT_EQ(static_cast<float>(read), value);

        const std::string s(text);
        GCfgNode node;
        node.AddValue("v", s);
        // GetF first asks for a digit, a sign or a point.
        EXPECT_EQ(node.GetF("v", 99.0f), std::strchr("+-.0123456789", s[0]) ? value : 99.0f);

        GCfgDataDoc cfg;
        GTableDataDoc table;
        GIniDataDoc ini;
        GXmlDataDoc xml;
        ASSERT_EQ(cfg.Load(folder.WriteFile("f.cfg", "v = '" + s + "'").c_str(), 0), 1);
        ASSERT_EQ(table.Load(folder.WriteFile("f.csv", "#v\n" + s + "\n").c_str(), 0), 1);
        ASSERT_EQ(ini.Load(folder.WriteFile("f.ini", "v=" + s + "\n").c_str(), 0), 1);
        const std::string markup = "<e v='" + s + "'>" + s + "</e>";
        ASSERT_EQ(xml.LoadFromText(GWString::FromUtf8(markup.c_str())), 1);
        table.GetChild(nullptr);
        ini.GetChild(nullptr);
        GDataDoc* element = xml.GetChild("e");
        for (GDataDoc* doc :
             {static_cast<GDataDoc*>(&cfg), static_cast<GDataDoc*>(&table), element})
            EXPECT_EQ(doc->GetAttributeFloat("v", 99.0f), value);
        EXPECT_EQ(element->GetFloat(99.0f), value);
        // The "%f" scan of the INI document keeps the default when no number begins the text.
        EXPECT_EQ(ini.GetAttributeFloat("v", 99.0f), used ? value : 99.0f);
    }

    // A NaN in any spelling reads as the one quiet NaN: the text's sign does not carry over.
    for (const char* nan : {"nan", "-nan", "-NaN"}) {
        GCfgDataDoc cfg;
        ASSERT_EQ(cfg.Load(folder.WriteFile("n.cfg", std::string("v = '") + nan + "'").c_str(), 0), 1);
        const float read = cfg.GetAttributeFloat("v", 0.0f);
        EXPECT_TRUE(std::isnan(read) && !std::signbit(read)) << nan;
    }

    for (const auto& [text, children] : kObjects) {
        GCfgNode node;
        ASSERT_EQ(node.Parse(text, std::strlen(text)), 1) << text;
        EXPECT_EQ(node.HasObject("o"), children > 0) << text;
        EXPECT_FALSE(node.HasObject("o.i")) << text;
        const GCfgNodeList* list = node.FindObjectList("o");
        EXPECT_EQ(list ? list->size() : 0u, children) << text;
    }
}

} // namespace
