// The data-document interface as callers see it: the same walk and the same reads through
// GDataDoc over every back end of this module, and the defaults of unsupported operations.
#include "foundation/docs/data_doc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/docs/cfg_data_doc.h"
#include "foundation/docs/ini_data_doc.h"
#include "foundation/docs/table_data_doc.h"
#include "foundation/files/xor_scramble.h"
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

// The back end's name stands for it in the test's full name (the factory's bytes would not).
void PrintTo(const BackEnd& backEnd, std::ostream* os)
{
    *os << backEnd.name;
}

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

// ---- table documents ----
using namespace tolvanrise::test;

namespace {

using Texts = std::vector<std::string>;

class TableDocTest : public testing::Test {
protected:
    std::string Write(const std::string& name, std::string bytes, uint8_t key = 0)
    {
        if (key)
            XorScramble(bytes.data(), nullptr, static_cast<uint32_t>(bytes.size()), key);
        return m_folder.WriteFile(name, bytes);
    }
    // Loads the text with header line 0.
    void LoadText(GTableDataDoc& doc, const std::string& text) { ASSERT_EQ(doc.Load(Write("t.csv", text).c_str(), 0), 1); }

    TempFolder m_folder{"table_doc_", fs::current_path()};
};

// One column read row by row through the walk ("?" for a missing field).
Texts Column(GTableDataDoc& doc, const char* name)
{
    Texts out;
    for (GDataDoc* row = doc.GetChild(nullptr); row; row = doc.GetNextSibling(row, nullptr))
        out.push_back(Narrow(doc.GetAttributeString(name, "?")));
    return out;
}

} // namespace

TEST_F(TableDocTest, HeaderRowsAndWalk)
{
    GTableDataDoc doc;
    LoadText(doc, "#Name;Level;Score\nAnna;3;120\nBoris;7;45.5\n");
    EXPECT_EQ(doc.GetColumnCount(), 3u);
    ASSERT_EQ(doc.GetChild(nullptr), &doc);
    EXPECT_EQ(doc.GetAttributeInt("Level", -1), 3);
    EXPECT_FLOAT_EQ(doc.GetAttributeFloat("Score", -1.0f), 120.0f);
    ASSERT_EQ(doc.GetNextSibling(&doc, nullptr), &doc);
    EXPECT_FLOAT_EQ(doc.GetAttributeFloat("Score", -1.0f), 45.5f);
    EXPECT_EQ(doc.GetNextSibling(&doc, nullptr), nullptr);
    // Past the end every read gives the default, however far the walk goes on.
    EXPECT_EQ(doc.GetAttributeInt("Level", -1), -1);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(doc.GetNextSibling(&doc, nullptr), nullptr);
    EXPECT_EQ(doc.GetCurrentRow(), 2);
    EXPECT_EQ(Column(doc, "Name"), (Texts{"Anna", "Boris"})); // GetChild starts again

    // CRLF, CR alone, blank lines and lines of blanks, a later '#' line, no final line end.
    LoadText(doc, "\r\n   \r\nName;Level\r\n\r\nAnna;1\r#comment;9\rBoris;2\n\t \nCyril;3");
    EXPECT_EQ(Column(doc, "Level"), (Texts{"1", "2", "3"}));

    // The header line number counts comments but not blank lines.
    const std::string path = Write("h.csv", "title line\n\n# a comment\n#A;B\n1;2\n");
    ASSERT_EQ(doc.LoadSection(path.c_str(), 2, 0, 0), 1);
    // Line 0 is an ordinary row, line 1 the comment, line 2 the header.
    EXPECT_EQ(Column(doc, "A"), (Texts{"title line", "1"}));
    EXPECT_EQ(Column(doc, "B"), (Texts{"?", "2"})); // row 0 has one field only

    // Without a header there is nothing to look up; the '#' lines are comments.
    ASSERT_EQ(doc.LoadSection(path.c_str(), -1, 0, 0), 1);
    EXPECT_EQ(doc.GetColumnCount(), 0u);
    EXPECT_EQ(Column(doc, "A"), (Texts{"?", "?"}));
}

TEST_F(TableDocTest, FieldsAndNumbers)
{
    GTableDataDoc doc;
    LoadText(doc, "#A;B;C\na;;b\na;b;\n x ; y \nonly\nf1;f2;f3;extra\nhit\tsoft;a\x01" "b");
    ASSERT_NE(doc.GetRowFields(1), nullptr);
    EXPECT_EQ((*doc.GetRowFields(1))[2], u"");
    EXPECT_EQ(doc.GetRowFields(6), nullptr);
    // Extra fields are kept but no column reaches them.
    EXPECT_EQ(doc.GetRowFields(4)->size(), 4u);
    // The line is trimmed, the fields inside it are not; tabs and control bytes stay.
    EXPECT_EQ(Column(doc, "A"), (Texts{"a", "a", "x ", "only", "f1", "hit\tsoft"}));
    EXPECT_EQ(Column(doc, "B"), (Texts{"", "b", " y", "?", "f2", "a\x01" "b"}));
    EXPECT_EQ(Column(doc, "D"), Texts(6, "?"));

    LoadText(doc, "#I;F\n12abc;2.5e1x\nabc;abc\n-7;-0.25\n010;0x10\n 4; 1.5\n");
    const int32_t ints[] = {12, 0, -7, 10, 4}; // the last line is trimmed before it is split
    const float floats[] = {25.0f, 0.0f, -0.25f, 0.0f, 1.5f}; // no hexadecimal form
    doc.GetChild(nullptr);
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(doc.GetAttributeInt("I", 99), ints[row]) << row;
        EXPECT_FLOAT_EQ(doc.GetAttributeFloat("F", 99.0f), floats[row]) << row;
        doc.GetNextSibling(&doc, nullptr);
    }
}

TEST_F(TableDocTest, EncodingsAndScrambling)
{
    // Windows-1251 Cyrillic: every byte is above 127, and none is a control byte.
    GTableDataDoc doc;
    LoadText(doc, "#\xC8\xEC\xFF;\xD3\xF0\xEE\xE2\xE5\xED\xFC\n\xC0\xED\xED\xE0;5\n");
    doc.GetChild(nullptr);
    EXPECT_EQ(Wide(doc.GetAttributeString("\xC8\xEC\xFF", "?")), u"\u0410\u043D\u043D\u0430");
    EXPECT_EQ(doc.GetAttributeInt("\xD3\xF0\xEE\xE2\xE5\xED\xFC", 0), 5);

    const std::string text = "#Name;Level\n\xD0\x90\xD0\xBD\xD0\xBD\xD0\xB0;1\n";
    ASSERT_EQ(doc.LoadSection(Write("u.csv", text).c_str(), 0, 1, 0), 1);
    doc.GetChild(nullptr);
    EXPECT_EQ(Wide(doc.GetAttributeString("Name", "?")), u"\u0410\u043D\u043D\u0430");
    // With a byte-order mark the header is still found and the text is read as UTF-8.
    ASSERT_EQ(doc.Load(Write("b.csv", "\xEF\xBB\xBF" + text).c_str(), 0), 1);
    doc.GetChild(nullptr);
    EXPECT_EQ(Wide(doc.GetAttributeString("Name", "?")), u"\u0410\u043D\u043D\u0430");
    EXPECT_EQ(doc.GetAttributeInt("Level", 0), 1);

    const std::string path = Write("s.csv", "#file;volume\nhit.ogg;80\n", 0x3C);
    ASSERT_EQ(doc.Load(path.c_str(), 0x3C), 1);
    EXPECT_EQ(Column(doc, "file")[0] + Column(doc, "volume")[0], "hit.ogg80");
    // Read plain (or with another key) it is noise, but it still loads without harm.
    EXPECT_EQ(doc.Load(path.c_str(), 0), 1);
    doc.GetChild(nullptr);
    EXPECT_EQ(doc.GetAttributeInt("volume", -3), -3);
}

TEST_F(TableDocTest, SecondLoadStartsCleanAndFailedLoadKeepsTheOld)
{
    GTableDataDoc doc;
    // Empty: defaults, no rows, nothing to save.
    EXPECT_TRUE(doc.GetChild("x") == &doc && doc.GetNextSibling(&doc, nullptr) == nullptr);
    EXPECT_EQ((std::vector<int>{doc.GetAttributeInt("A", 4), doc.Save(m_folder.Path("out.csv").c_str(), 0),
                                doc.SetAttributeInt("A", 1)}),
              (std::vector<int>{4, 0, 0}));
    EXPECT_FALSE(fs::exists(m_folder.Path("out.csv")));
    LoadText(doc, "#A\n");
    EXPECT_EQ(doc.GetRowCount(), 0u);
    EXPECT_EQ(doc.GetAttributeString("A", nullptr).GetLength(), 0u);

    LoadText(doc, "#A\n1\n2\n");
    ASSERT_EQ(doc.Load(Write("second.csv", "#B\n9\n").c_str(), 0), 1);
    EXPECT_TRUE(doc.GetColumnCount() == 1u && doc.GetCurrentRow() == -1 && Column(doc, "A") == Texts{"?"});
    // The last is a folder.
    const std::string empty = Write("empty.csv", "");
    for (const std::string& bad : {m_folder.Path("missing.csv"), empty, std::string(), m_folder.Path()})
        EXPECT_EQ(doc.Load(bad.empty() ? nullptr : bad.c_str(), 0), 0) << bad;
    EXPECT_EQ(Column(doc, "B"), Texts{"9"});

    // An exact-size heap block: reading one byte past it would be caught by the sanitizers.
    const std::string text = "#A;B\n1;2";
    auto bytes = std::make_unique<uint8_t[]>(text.size());
    std::memcpy(bytes.get(), text.data(), text.size());
    ASSERT_EQ(doc.LoadSectionFromBytes(bytes.get(), text.size(), 0, 0), 1);
    EXPECT_EQ(Column(doc, "B"), Texts{"2"});
    EXPECT_EQ(doc.LoadSectionFromBytes(bytes.get(), 0, 0, 0) + doc.LoadSectionFromBytes(nullptr, 4, 0, 0), 0);
}
