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
#include "support/foundation_values.h"
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
    std::string Write(const std::string& bytes) { return m_folder.WriteFile("doc.txt", bytes); }

    tolvanrise::test::TempFolder m_folder{"data_doc_", fs::current_path()};
};


GDataDoc* FirstLevel(GDataDoc& doc)
{
    GDataDoc* node = doc.GetChild("lvl");
    // The INI back end keeps the entries before the first header in a section 0 of their own.
    if (node && node->GetAttributeString("name", "").IsEmpty())
        node = doc.GetNextSibling(node, "lvl");
    return node;
}

// Each level as "name stars time".
std::vector<std::u16string> Walk(GDataDoc& doc)
{
    std::vector<std::u16string> levels;
    for (GDataDoc* node = FirstLevel(doc); node; node = doc.GetNextSibling(node, "lvl")) {
        levels.push_back(tolvanrise::test::Wide(node->GetAttributeString("name", "?")) + u" " +
                         tolvanrise::test::Wide(GWString(node->GetAttributeInt("stars", -99), 10)) + u" " +
                         tolvanrise::test::Wide(GWString(node->GetAttributeFloat("time", -9.0f))));
    }
    return levels;
}

} // namespace

TEST_P(DataDocTest, SameWalkOverEveryBackEnd)
{
    std::unique_ptr<GDataDoc> doc = GetParam().make();
    ASSERT_EQ(doc->Load(Write(GetParam().levels).c_str(), 0), 1);
    // Only the cfg back end reads "0x" as hexadecimal; the others stop at the 'x'. A float that
    // is not a number: 0 by the text-to-double reading, the default by a scan.
    const bool cfg = GetParam().separateNodes;
    const bool ini = std::string(GetParam().name) == "ini";
    EXPECT_EQ(Walk(*doc), (std::vector<std::u16string>{u"\u0410\u043D\u043D\u0430 3 1.5000000",
                                                       cfg ? u"Bob 16 2.0000000" : u"Bob 0 2.0000000",
                                                       ini ? u"Cy -1 -9.0000000" : u"Cy -1 0.0000000"}));

    GDataDoc* first = doc->GetChild("lvl");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first == doc.get(), !GetParam().separateNodes);
}

// Missing attributes are each back end's own tests; these are the interface's defaults.
TEST_P(DataDocTest, UnimplementedOperationsGiveDefaults)
{
    std::unique_ptr<GDataDoc> doc = GetParam().make();
    ASSERT_EQ(doc->Load(Write(GetParam().levels).c_str(), 0), 1);
    GDataDoc* node = FirstLevel(*doc);
    ASSERT_NE(node, nullptr);
    EXPECT_TRUE(node->GetAttributeString("nope", nullptr).IsEmpty());

    // Operations no back end of this module implements.
    GIntArray ints;
    GFloatArray floats;
    EXPECT_EQ(tolvanrise::test::Narrow(node->GetString("s")) + " " + std::to_string(node->GetInt(5)) + " " +
                  std::to_string(node->GetFloat(5.5f)),
              "s 5 5.500000");
    EXPECT_EQ((std::vector<int>{node->GetIntList(ints, ","), node->GetFloatList(floats, ","), node->SetInt(1),
                                node->SetFloat(1), node->SetString(GWString("x")), node->SetIntList(ints, ","),
                                node->SetFloatList(floats, ",")}),
              std::vector<int>(7, 0));
    EXPECT_TRUE(node->GetFirstAttribute() == nullptr && node->GetNextAttribute(node) == nullptr);
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
