// Property tests: random trees written by every writer read back as equal trees.

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "foundation/cfg/cfg_node.h"
#include "support/temp_files.h"

namespace {

using tolvanrise::test::TempFolder;

class TreeMaker {
public:
    explicit TreeMaker(uint32_t seed) : m_rng(seed) {}

    // allowEmptyObjectLists: object entries without children, and empty children, which only
    // the binary form carries.
    GCfgNode Make(int depth, bool allowEmptyObjectLists)
    {
        GCfgNode node;
        const int valueEntries = Pick(0, 4);
        for (int i = 0; i < valueEntries; ++i) {
            const std::string name = Text();
            if (!node.FindValueList(name)) {
                node.GetOrAddValue(name);
                node.FindValueList(name)->clear();
            }
            const int count = Pick(0, 3);
            for (int k = 0; k < count; ++k)
                node.AddValue(name, Text());
        }
        const int objectEntries = depth > 0 ? Pick(0, 3) : 0;
        for (int i = 0; i < objectEntries; ++i) {
            const std::string name = Text();
            const int count = Pick(allowEmptyObjectLists ? 0 : 1, 3);
            if (count == 0) {
                // An entry with no children: add one and take it away again.
                node.AddObject(name, GCfgNode());
                node.FindObjectList(name)->clear();
            }
            for (int k = 0; k < count; ++k) {
                GCfgNode child = Make(depth - 1, allowEmptyObjectLists);
                if (!allowEmptyObjectLists && child == GCfgNode())
                    child.AddValue("v", "1");
                node.AddObject(name, child);
            }
        }
        return node;
    }

private:
    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }

    // Short texts drawn mostly from the bytes that matter to the reader: blanks, quotes,
    // braces, comment starters, separators, high bytes and zero. Cfg text has no escapes,
    // so a text never holds both quote characters.
    std::string Text()
    {
        static const std::string kSpecial =
            std::string(" \t\r\n\"'{}[]=:;,#/*._-+!?^\x80\x81\xFF") + std::string(1, '\0');
        const int length = Pick(0, 6);
        std::string text;
        for (int i = 0; i < length; ++i) {
            const int kind = Pick(0, 3);
            if (kind == 0)
                text += static_cast<char>('a' + Pick(0, 25));
            else if (kind == 1)
                text += static_cast<char>('0' + Pick(0, 9));
            else if (kind == 2)
                text += kSpecial[static_cast<size_t>(Pick(0, int(kSpecial.size()) - 1))];
            else
                text += static_cast<char>(Pick(0, 255));
        }
        if (text.find('"') != std::string::npos && text.find('\'') != std::string::npos) {
            for (char& c : text)
                if (c == '\'')
                    c = 'q';
        }
        return text;
    }

    std::mt19937 m_rng;
};

constexpr int kTrees = 300;

TEST(CfgRoundTrip, WriteStream)
{
    TreeMaker maker(1);
    for (int i = 0; i < kTrees; ++i) {
        const GCfgNode tree = maker.Make(3, false);
        std::string text;
        ASSERT_TRUE(tree.WriteStream(text, i % 3, 0));
        GCfgNode back;
        if (!text.empty()) {
            ASSERT_EQ(back.Parse(text.data(), text.size()), 1)
                << CfgErrorText(CfgErrorCode) << "\n" << text;
        }
        ASSERT_EQ(back, tree) << text;
    }
}

TEST(CfgRoundTrip, WriteTextToFile)
{
    TempFolder folder("cfg_roundtrip_test_");
    const std::string path = folder.Path("tree.cfg");
    TreeMaker maker(2);
    for (int i = 0; i < kTrees; ++i) {
        const GCfgNode tree = maker.Make(3, false);
        ASSERT_TRUE(tree.WriteText(path.c_str(), 3, 0));
        GCfgNode back;
        if (tree == GCfgNode()) {
            EXPECT_EQ(back.LoadFile(path.c_str()), 0);
            EXPECT_EQ(CfgErrorCode, kCfgEmptyFile);
            continue;
        }
        ASSERT_EQ(back.LoadFile(path.c_str()), 1) << CfgErrorText(CfgErrorCode);
        ASSERT_EQ(back, tree);
    }
}

TEST(CfgRoundTrip, SaveToMemory)
{
    TreeMaker maker(3);
    for (int i = 0; i < kTrees; ++i) {
        const GCfgNode tree = maker.Make(3, false);
        std::unique_ptr<char[]> buffer;
        uint32_t size = 0;
        const bool saved = tree.SaveToMemory(&buffer, &size);
        GCfgNode back;
        if (tree == GCfgNode()) {
            EXPECT_FALSE(saved);
            continue;
        }
        ASSERT_TRUE(saved);
        ASSERT_EQ(back.Parse(buffer.get(), size), 1) << CfgErrorText(CfgErrorCode);
        ASSERT_EQ(back, tree);
    }
}

TEST(CfgRoundTrip, Binary)
{
    TreeMaker maker(4);
    for (int i = 0; i < kTrees; ++i) {
        const GCfgNode tree = maker.Make(4, true);
        for (uint8_t key : {uint8_t(0), uint8_t(1), uint8_t(0xA5)}) {
            std::vector<uint8_t> bytes;
            ASSERT_TRUE(tree.SaveBinary(bytes, key));
            GCfgNode back;
            ASSERT_TRUE(back.LoadBinary(bytes.data(), bytes.size(), key));
            ASSERT_EQ(back, tree) << "key " << int(key);
        }
    }
}

TEST(CfgRoundTrip, BinaryFile)
{
    TempFolder folder("cfg_roundtrip_test_");
    const std::string path = folder.Path("tree.bin");
    TreeMaker maker(5);
    for (int i = 0; i < 50; ++i) {
        const GCfgNode tree = maker.Make(3, true);
        const uint8_t key = static_cast<uint8_t>(i * 37);
        ASSERT_TRUE(tree.SaveBinaryFile(path.c_str(), key));
        GCfgNode back;
        ASSERT_TRUE(back.LoadBinaryFile(path.c_str(), key));
        ASSERT_EQ(back, tree);
    }
}

// Text and binary agree: a tree read from text, saved in binary, reads back the same.
TEST(CfgRoundTrip, TextThenBinary)
{
    TreeMaker maker(6);
    for (int i = 0; i < 100; ++i) {
        const GCfgNode tree = maker.Make(3, false);
        std::string text;
        ASSERT_TRUE(tree.WriteStream(text));
        GCfgNode fromText;
        fromText.Parse(text.data(), text.size());
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(fromText.SaveBinary(bytes, 77));
        GCfgNode back;
        ASSERT_TRUE(back.LoadBinary(bytes.data(), bytes.size(), 77));
        ASSERT_EQ(back, tree);
    }
}

} // namespace
