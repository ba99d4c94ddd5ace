// The binary cfg form: exact layout, the scrambling streams and the checks on bad input.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "foundation/cfg/cfg_binary.h"
#include "foundation/cfg/cfg_node.h"
#include "foundation/cfg/cfg_parser.h"
#include "support/temp_files.h"

namespace {

using Bytes = std::vector<uint8_t>;
using tolvanrise::test::ReadFileByteVector;
using tolvanrise::test::TempFolder;

void PutU32(Bytes& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The stream written out longhand, independent of the library's code.
struct Stream {
    uint32_t seed;
    uint8_t Next()
    {
        seed = seed * 1103515245u + 12345u;
        return static_cast<uint8_t>((seed >> 16) & 0xFF);
    }
};

void PutText(Bytes& out, std::string_view text, Stream* stream = nullptr)
{
    PutU32(out, static_cast<uint32_t>(text.size()));
    for (char c : text)
        out.push_back(static_cast<uint8_t>(c) ^ (stream ? stream->Next() : 0));
}

Bytes Magic() { return Bytes{'C', 'F', 'G'}; }

// A plain (unscrambled) file: the magic, then counts and texts in order.
struct Item {
    Item(uint32_t n) : count(n) {}
    Item(const char* t) : text(t) {}
    uint32_t count = 0;
    const char* text = nullptr;
};

Bytes Record(std::initializer_list<Item> items)
{
    Bytes out = Magic();
    for (const Item& item : items)
        item.text ? PutText(out, item.text) : PutU32(out, item.count);
    return out;
}

GCfgNode Sample()
{
    GCfgNode node;
    node.AddValue("a", "1");
    node.GetOrAddValue("b");
    node.FindValueList("b")->clear();
    GCfgNode child;
    child.AddValue("k", "2");
    node.AddObject("c", child);
    return node;
}

// Sample() written out longhand; key 0 leaves the texts plain.
Bytes SampleBytes(uint8_t key)
{
    Stream root{key};
    Stream* stream = key ? &root : nullptr;
    Bytes expected = Magic();
    PutU32(expected, 2);
    PutText(expected, "a", stream);
    PutU32(expected, 1);
    PutText(expected, "1", stream);
    PutText(expected, "b", stream);
    PutU32(expected, 0);
    PutU32(expected, 1);
    PutText(expected, "c", stream);
    PutU32(expected, 1);
    // The child's stream starts from the parent's state where the child begins.
    Stream child{CfgChildSeed(root.seed, 0)};
    PutU32(expected, 1);
    PutText(expected, "k", key ? &child : nullptr);
    PutU32(expected, 1);
    PutText(expected, "2", key ? &child : nullptr);
    PutU32(expected, 0);
    return expected;
}

// Reading back is the round-trip tests' part; here the bytes are compared with the longhand.
TEST(CfgBinary, LayoutAndDistinctChildStreams)
{
    Bytes plain;
    ASSERT_TRUE(Sample().SaveBinary(plain, 0));
    EXPECT_EQ(plain, SampleBytes(0));

    const uint8_t key = 0x5A;
    const GCfgNode tree = Sample();
    Bytes bytes;
    ASSERT_TRUE(tree.SaveBinary(bytes, key));
    EXPECT_EQ(bytes, SampleBytes(key));

    // Saving changes nothing in the tree, so a second save gives the same bytes.
    const uint32_t seedBefore = tree.GetSeed();
    Bytes again;
    ASSERT_TRUE(tree.SaveBinary(again, key));
    EXPECT_TRUE(again == bytes && tree.GetSeed() == seedBefore && tree == Sample());

    GCfgNode back;
    ASSERT_TRUE(back.LoadBinary(bytes.data(), bytes.size(), key));
    EXPECT_EQ(back.GetSeed(), key);

    // Another key reads other texts.
    GCfgNode wrong;
    EXPECT_TRUE(wrong.LoadBinary(bytes.data(), bytes.size(), key + 1) && !(wrong == tree));

    // Two identical children must not come out as identical twinBytes.
    GCfgNode twins;
    GCfgNode child;
    child.AddValue("name", "value");
    twins.AddObject("o", child);
    twins.AddObject("o", child);
    Bytes twinBytes;
    ASSERT_TRUE(twins.SaveBinary(twinBytes, 9));
    const size_t childSize = 4 + 4 + 4 + 4 + 4 + 5 + 4;
    ASSERT_EQ(twinBytes.size(), 3 + 4 + 4 + 4 + 1 + 4 + 2 * childSize);
    EXPECT_NE(Bytes(twinBytes.end() - 2 * childSize, twinBytes.end() - childSize),
              Bytes(twinBytes.end() - childSize, twinBytes.end()));
}

// depth objects "o" inside each other, the innermost empty.
Bytes Nested(int depth)
{
    Bytes bytes = Magic();
    for (int i = 0; i < depth; ++i) {
        for (uint32_t v : {0u, 1u})
            PutU32(bytes, v);
        PutText(bytes, "o");
        PutU32(bytes, 1);
    }
    PutU32(bytes, 0);
    PutU32(bytes, 0);
    return bytes;
}

TEST(CfgBinary, MagicTruncationsCountsLengthsAndNestingAreCheckedAndScrambling)
{
    Bytes bytes;
    ASSERT_TRUE(Sample().SaveBinary(bytes, 0));
    bytes[0] = 'X';
    GCfgNode node;
    EXPECT_FALSE(node.LoadBinary(bytes.data(), bytes.size(), 0));
    EXPECT_EQ(node, GCfgNode());
    EXPECT_FALSE(node.LoadBinary(bytes.data(), 2, 0) || node.LoadBinary(nullptr, 10, 0));

    bytes.clear();
    ASSERT_TRUE(Sample().SaveBinary(bytes, 3));
    for (size_t n = 0; n < bytes.size(); ++n) {
        // A block of exactly n bytes, so reading past it is caught by the sanitizers.
        std::unique_ptr<uint8_t[]> block(new uint8_t[n ? n : 1]);
        std::memcpy(block.get(), bytes.data(), n);
        GCfgNode node;
        EXPECT_FALSE(node.LoadBinary(block.get(), n, 3)) << n;
    }
    // Cut inside the child: the root's values are there already.
    GCfgNode partial;
    EXPECT_FALSE(partial.LoadBinary(bytes.data(), bytes.size() - 2, 3));
    EXPECT_TRUE(std::string(partial.Get("a", "-")) == "1" && partial.HasObject("c"));

    // Counts and lengths far beyond the bytes that follow are refused before any allocation,
    // also where the bytes after an overlong length would read as a well-formed rest.
    for (const Bytes& bad : {Record({0xFFFFFFFFu}), Record({1u, 0x7FFFFFFFu, 0u}), Record({1u, "a", 1000000u, 0u}),
                             Record({0u, 1u, "o", 0x40000000u, 0u, 0u}), Record({1u, 0x7FFFFFF0u, 0u, 0u}),
                             Record({1u, "a", 1u, 0x7FFFFFF0u, 0u})}) {
        GCfgNode node;
        EXPECT_FALSE(node.LoadBinary(bad.data(), bad.size(), 0));
    }
    // Zero-length names and texts are fine; bytes after the top loaded are ignored.
    Bytes empties = Record({1u, "", 1u, "", 0u});
    empties.push_back(0xEE);
    GCfgNode loaded;
    ASSERT_TRUE(loaded.LoadBinary(empties.data(), empties.size(), 0));
    EXPECT_TRUE(loaded.FindValueList("") && loaded.FindValueList("")->size() == 1u);

    // Nesting is bounded.
    GCfgNode ok;
    const Bytes deepest = Nested(kCfgMaxDepth);
    EXPECT_TRUE(ok.LoadBinary(deepest.data(), deepest.size(), 0));
    GCfgNode tooDeep;
    const Bytes deeper = Nested(kCfgMaxDepth + 1);
    EXPECT_FALSE(tooDeep.LoadBinary(deeper.data(), deeper.size(), 0));
    const Bytes extreme = Nested(100000);
    EXPECT_FALSE(tooDeep.LoadBinary(extreme.data(), extreme.size(), 0));

    // The writer refuses what the reader would refuse.
    GCfgNode wrapper;
    wrapper.AddObject("o", ok);
    Bytes out;
    EXPECT_FALSE(wrapper.SaveBinary(out, 0));
    EXPECT_TRUE(ok.SaveBinary(out, 0));

    node.SetSeed(1234);
    bytes = {1, 2, 3, 4, 5};
    const Bytes original = bytes;
    EXPECT_EQ(node.ScrambleBuffer(bytes.data(), 5), bytes.data());
    Stream stream{1234};
    Bytes expected = original;
    for (uint8_t& b : expected)
        b ^= stream.Next();
    EXPECT_TRUE(bytes == expected && node.GetSeed() == stream.seed); // the seed stays advanced

    const uint32_t before = node.GetSeed();
    node.ScrambleBuffer(bytes.data(), 0);
    node.ScrambleBuffer(bytes.data(), -3);
    char empty[1] = {0};
    node.ScrambleString(empty);
    EXPECT_TRUE(node.GetSeed() == before && node.ScrambleString(nullptr) == nullptr);

    // Strings take the same stream.
    char text[] = "\x01\x02\x03\x04\x05";
    node.SetSeed(1234);
    node.ScrambleString(text);
    EXPECT_EQ(Bytes(text, text + 5), expected);
}

TEST(CfgBinaryFile, SaveLoadAndAFailedSaveKeepsTheOldFile)
{
    TempFolder folder("cfg_binary_test_");
    const std::string path = folder.Path("tree.cfg");
    ASSERT_TRUE(Sample().SaveBinaryFile(path.c_str(), 0x33));
    Bytes expected;
    ASSERT_TRUE(Sample().SaveBinary(expected, 0x33));
    EXPECT_EQ(ReadFileByteVector(path), expected);

    // Into an open stream.
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(Sample().SaveBinaryFile(nullptr, 0x33, stream));
    EXPECT_EQ(std::ftell(stream), long(expected.size()));
    std::fclose(stream);

    GCfgNode none;
    folder.WriteFile("empty.cfg", "");
    EXPECT_FALSE(none.LoadBinaryFile(folder.Path("missing.cfg").c_str(), 0) ||
                 none.LoadBinaryFile(folder.Path("empty.cfg").c_str(), 0) || Sample().SaveBinaryFile(nullptr, 0));

    const std::string keep = folder.Path("keep.cfg");
    ASSERT_TRUE(Sample().SaveBinaryFile(keep.c_str(), 0));
    const Bytes old = ReadFileByteVector(keep);

    // A tree the reader would refuse is not written at all.
    GCfgNode leaf;
    for (int i = 0; i <= kCfgMaxDepth; ++i) {
        GCfgNode parent;
        parent.AddObject("o", std::move(leaf));
        leaf = std::move(parent);
    }
    EXPECT_FALSE(leaf.SaveBinaryFile(keep.c_str(), 0));
    EXPECT_EQ(ReadFileByteVector(keep), old);

    EXPECT_FALSE(Sample().SaveBinaryFile(folder.Path("no/such/x.cfg").c_str(), 0));
    std::filesystem::create_directories(folder.Path("dir.cfg"));
    EXPECT_FALSE(Sample().SaveBinaryFile(folder.Path("dir.cfg").c_str(), 0));
}

// Property tests: random trees written by every writer read back as equal trees.

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
