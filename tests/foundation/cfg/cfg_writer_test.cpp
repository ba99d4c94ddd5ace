// The cfg text writers: layout, quoting, memory output and file replacement.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "foundation/cfg/cfg_node.h"
#include "foundation/cfg/cfg_parser.h"
#include "foundation/cfg/cfg_writer.h"
#include "support/temp_files.h"

namespace {

using namespace tolvanrise::test;

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
TEST(CfgWriteText, LayoutAndQuoting)
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
    EXPECT_FALSE(Sample().SaveToMemory(nullptr, &size));
    EXPECT_FALSE(Sample().SaveToMemory(&buffer, nullptr));
    EXPECT_FALSE(GCfgNode().SaveToMemory(&buffer, &size)); // empty text
    EXPECT_EQ(size, 0u);

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
}

TEST(CfgWriteText, EmptyObjectsDoNotReadBackAndBareTokenClasses)
{
    GCfgNode node;
    node.AddObject("e", GCfgNode());
    GCfgNode inner;
    inner.AddObject("f", GCfgNode());
    node.AddObject("e", inner);
    const std::string text = WriteToStream(node, 3, 0);
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

TEST(CfgWriteText, BothQuotesCannotBeWrittenAndFilesAreReplacedWhole)
{
    std::string out;
    EXPECT_FALSE(CfgAppendText(out, "it's \"both\""));
    EXPECT_TRUE(out.empty());

    GCfgNode node;
    node.AddValue("a", "1");
    node.AddValue("b", "'\"");
    bool ok = true;
    EXPECT_EQ(WriteToStream(node, 3, 0, &ok), ""); // nothing at all is written
    EXPECT_FALSE(ok);
    std::string stream;
    EXPECT_FALSE(node.WriteStream(stream));
    std::unique_ptr<char[]> buffer;
    uint32_t size = 7;
    EXPECT_FALSE(node.SaveToMemory(&buffer, &size));
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(buffer, nullptr);

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
}

TEST(CfgWriteText, TooDeepIsRefused)
{
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

} // namespace
