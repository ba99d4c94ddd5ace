// The data-document interface as callers see it: the same walk and the same reads through
// GDataDoc over every back end of this module, and the defaults of unsupported operations.
#include "foundation/docs/data_doc.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/docs/cfg_data_doc.h"
#include "foundation/docs/ini_data_doc.h"
#include "foundation/docs/table_data_doc.h"
#include "foundation/text/wstring.h"
#include "foundation/files/xor_scramble.h"
#include "support/temp_files.h"

namespace fs = std::filesystem;

namespace {

struct BackEnd {
    const char* name;
    std::function<std::unique_ptr<GDataDoc>()> make;
    // Three levels named lvl with attributes name (text), stars (integer) and time (float).
    std::string levels;
    // Whether GetChild hands out a node document other than the document itself.
    bool separateNodes;
    // The implemented attribute list reads.
    bool lists;
};

std::vector<BackEnd> BackEnds()
{
    return {
        {"table", [] { return std::make_unique<GTableDataDoc>(); },
         "#name;stars;time\r\n\xC0\xED\xED\xE0;3;1.5\r\nBob;0x10;2\r\nCy;-1;abc\r\n", false, false},
        {"ini", [] { return std::make_unique<GIniDataDoc>(); },
         "[lvl]\nname=\xC0\xED\xED\xE0\nstars=3\ntime=1.5\n[lvl]\nname=Bob\nstars=0x10\ntime=2\n"
         "[lvl]\nname=Cy\nstars=-1\ntime=abc\n",
         false, false},
        {"cfg", [] { return std::make_unique<GCfgDataDoc>(); },
         "lvl = { name = \xC0\xED\xED\xE0 stars = 3 time = 1.5 }\nlvl = { name = Bob stars = 0x10 time = 2 }\n"
         "lvl = { name = Cy stars = -1 time = abc }\n",
         true, true},
    };
}

class DataDocTest : public testing::TestWithParam<BackEnd> {
protected:
    std::string Write(const std::string& bytes, uint8_t key = 0)
    {
        std::string out = bytes;
        if (key)
            XorScramble(out.data(), nullptr, static_cast<uint32_t>(out.size()), key);
        return m_folder.WriteFile("doc.txt", out);
    }

    tolvanrise::test::TempFolder m_folder{"data_doc_", fs::current_path()};
};

struct Level {
    std::u16string name;
    int32_t stars;
    float time;
};

GDataDoc* FirstLevel(GDataDoc& doc)
{
    GDataDoc* node = doc.GetChild("lvl");
    // The INI back end keeps the entries before the first header in a section 0 of their own.
    if (node && node->GetAttributeString("name", "").IsEmpty())
        node = doc.GetNextSibling(node, "lvl");
    return node;
}

std::vector<Level> Walk(GDataDoc& doc)
{
    std::vector<Level> levels;
    for (GDataDoc* node = FirstLevel(doc); node; node = doc.GetNextSibling(node, "lvl")) {
        levels.push_back({std::u16string(node->GetAttributeString("name", "?").View()),
                          node->GetAttributeInt("stars", -99), node->GetAttributeFloat("time", -9.0f)});
    }
    return levels;
}

} // namespace

TEST_P(DataDocTest, SameWalkOverEveryBackEnd)
{
    std::unique_ptr<GDataDoc> doc = GetParam().make();
    ASSERT_EQ(doc->Load(Write(GetParam().levels).c_str(), 0), 1);
    const std::vector<Level> levels = Walk(*doc);
    ASSERT_EQ(levels.size(), 3u);
    EXPECT_EQ(levels[0].name, u"\u0410\u043D\u043D\u0430");
    EXPECT_EQ(levels[0].stars, 3);
    EXPECT_FLOAT_EQ(levels[0].time, 1.5f);
    EXPECT_EQ(levels[1].name, u"Bob");
    EXPECT_FLOAT_EQ(levels[1].time, 2.0f);
    EXPECT_EQ(levels[2].stars, -1);
    // Only the cfg back end reads "0x" as hexadecimal; the others stop at the 'x'.
    EXPECT_EQ(levels[1].stars, GetParam().separateNodes ? 16 : 0);
    // A float that is not a number: 0 by the text-to-double reading, the default by a scan.
    EXPECT_FLOAT_EQ(levels[2].time, std::string(GetParam().name) == "ini" ? -9.0f : 0.0f);

    GDataDoc* first = doc->GetChild("lvl");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first == doc.get(), !GetParam().separateNodes);
}

TEST_P(DataDocTest, ScrambledLoad)
{
    std::unique_ptr<GDataDoc> doc = GetParam().make();
    if (std::string(GetParam().name) == "cfg")
        GTEST_SKIP() << "cfg documents with a key use the binary form (cfg_doc_test)";
    ASSERT_EQ(doc->Load(Write(GetParam().levels, 0xC3).c_str(), 0xC3), 1);
    EXPECT_EQ(Walk(*doc).size(), 3u);
}

TEST_P(DataDocTest, MissingThingsGiveDefaults)
{
    std::unique_ptr<GDataDoc> doc = GetParam().make();
    EXPECT_EQ(doc->Load(m_folder.Path("missing").c_str(), 0), 0);
    ASSERT_EQ(doc->Load(Write(GetParam().levels).c_str(), 0), 1);
    GDataDoc* node = FirstLevel(*doc);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->GetAttributeInt("nope", 12), 12);
    EXPECT_FLOAT_EQ(node->GetAttributeFloat("nope", 1.25f), 1.25f);
    EXPECT_EQ(std::string(node->GetAttributeString("nope", "dflt").GetNarrow()), "dflt");
    EXPECT_TRUE(node->GetAttributeString("nope", nullptr).IsEmpty());
    EXPECT_EQ(node->GetAttributeInt(nullptr, 12), 12);

    // Operations no back end of this module implements.
    EXPECT_EQ(node->GetInt(5), 5);
    EXPECT_FLOAT_EQ(node->GetFloat(5.5f), 5.5f);
    EXPECT_EQ(std::string(node->GetString("s").GetNarrow()), "s");
    GIntArray ints;
    GFloatArray floats;
    EXPECT_EQ(node->GetIntList(ints, ","), 0);
    EXPECT_EQ(node->GetFloatList(floats, ","), 0);
    EXPECT_EQ(node->SetInt(1), 0);
    EXPECT_EQ(node->SetFloat(1), 0);
    EXPECT_EQ(node->SetString(GWString("x")), 0);
    EXPECT_EQ(node->SetIntList(ints, ","), 0);
    EXPECT_EQ(node->SetFloatList(floats, ","), 0);
    EXPECT_EQ(node->GetFirstAttribute(), nullptr);
    EXPECT_EQ(node->GetNextAttribute(node), nullptr);
    EXPECT_TRUE(node->GetName().IsEmpty());

    // Lists and setters: the cfg back end implements them, the read-only ones do not.
    EXPECT_EQ(node->GetAttributeIntList("nope", ints, ","), 0);
    ints.Add(1);
    EXPECT_EQ(node->SetAttributeIntList("stars", ints, ","), GetParam().lists ? 1 : 0);
    EXPECT_EQ(node->SetAttributeInt("stars", 4), GetParam().lists ? 1 : 0);
    EXPECT_EQ(node->GetAttributeInt("stars", 0), GetParam().lists ? 4 : 3);
}

INSTANTIATE_TEST_SUITE_P(BackEnds, DataDocTest, testing::ValuesIn(BackEnds()),
                         [](const testing::TestParamInfo<BackEnd>& info) { return std::string(info.param.name); });
