// Property tests: random trees written by every writer read back as equal trees.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
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
        for (int i = Pick(0, 4); i > 0; --i) {
            const std::string name = Text();
            if (!node.FindValueList(name)) {
                node.GetOrAddValue(name);
                node.FindValueList(name)->clear();
            }
            for (int k = Pick(0, 3); k > 0; --k)
                node.AddValue(name, Text());
        }
        for (int i = depth > 0 ? Pick(0, 3) : 0; i > 0; --i) {
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
        std::string text;
        for (int i = Pick(0, 6); i > 0; --i) {
            switch (Pick(0, 3)) {
            case 0: text += static_cast<char>('a' + Pick(0, 25)); break;
            case 1: text += static_cast<char>('0' + Pick(0, 9)); break;
            case 2: text += kSpecial[static_cast<size_t>(Pick(0, int(kSpecial.size()) - 1))]; break;
            default: text += static_cast<char>(Pick(0, 255));
            }
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

// Each writer's trip: write the tree and read it into back (an empty tree may be refused;
// back then stays empty).
using Trip = void (*)(const GCfgNode& tree, int i, const std::string& path, GCfgNode& back);
struct Writer {
    const char* name;
    bool emptyObjectLists; // only the binary form carries object entries without children
    Trip trip;
};

const Writer kWriters[] = {
    {"stream", false,
     [](const GCfgNode& tree, int i, const std::string&, GCfgNode& back) {
         std::string text;
         ASSERT_TRUE(tree.WriteStream(text, i % 3, 0));
         if (!text.empty()) {
             ASSERT_EQ(back.Parse(text.data(), text.size()), 1) << CfgErrorText(CfgErrorCode) << "\n" << text;
         }
     }},
    {"text file", false,
     [](const GCfgNode& tree, int, const std::string& path, GCfgNode& back) {
         ASSERT_TRUE(tree.WriteText(path.c_str(), 3, 0));
         const bool empty = tree == GCfgNode();
         ASSERT_EQ(back.LoadFile(path.c_str()), empty ? 0 : 1) << CfgErrorText(CfgErrorCode);
         if (empty) {
             EXPECT_EQ(CfgErrorCode, kCfgEmptyFile);
         }
     }},
    {"memory", false,
     [](const GCfgNode& tree, int, const std::string&, GCfgNode& back) {
         std::unique_ptr<char[]> buffer;
         uint32_t size = 0;
         const bool saved = tree.SaveToMemory(&buffer, &size);
         ASSERT_EQ(saved, tree != GCfgNode()); // empty text is no save
         if (saved) {
             ASSERT_EQ(back.Parse(buffer.get(), size), 1) << CfgErrorText(CfgErrorCode);
         }
     }},
    {"binary", true,
     [](const GCfgNode& tree, int i, const std::string&, GCfgNode& back) {
         std::vector<uint8_t> bytes;
         ASSERT_TRUE(tree.SaveBinary(bytes, uint8_t(i * 37)));
         ASSERT_TRUE(back.LoadBinary(bytes.data(), bytes.size(), uint8_t(i * 37)));
     }},
    {"binary file", true,
     [](const GCfgNode& tree, int i, const std::string& path, GCfgNode& back) {
         ASSERT_TRUE(tree.SaveBinaryFile(path.c_str(), uint8_t(i * 53)));
         ASSERT_TRUE(back.LoadBinaryFile(path.c_str(), uint8_t(i * 53)));
     }},
    // Text and binary agree: a tree read from text, saved in binary, reads back the same.
    {"text then binary", false,
     [](const GCfgNode& tree, int, const std::string&, GCfgNode& back) {
         std::string text;
         ASSERT_TRUE(tree.WriteStream(text));
         GCfgNode fromText;
         fromText.Parse(text.data(), text.size());
         std::vector<uint8_t> bytes;
         ASSERT_TRUE(fromText.SaveBinary(bytes, 77));
         ASSERT_TRUE(back.LoadBinary(bytes.data(), bytes.size(), 77));
     }},
};

TEST(CfgRoundTrip, EveryWriter)
{
    TempFolder folder("cfg_roundtrip_test_");
    const std::string path = folder.Path("tree");
    uint32_t seed = 0;
    for (const Writer& writer : kWriters) {
        TreeMaker maker(++seed);
        for (int i = 0; i < 300; ++i) {
            const GCfgNode tree = maker.Make(3, writer.emptyObjectLists);
            GCfgNode back;
            writer.trip(tree, i, path, back);
            if (HasFatalFailure())
                return;
            ASSERT_EQ(back, tree) << writer.name << " tree " << i;
        }
    }
}

} // namespace
