// Two reading rules every settings reader shares: floats are decimal only (C locale, no
// hexadecimal form), and an empty cfg object stores nothing.

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>

#include "foundation/cfg/cfg_node.h"
#include "foundation/docs/cfg_data_doc.h"
#include "foundation/docs/ini_data_doc.h"
#include "foundation/docs/table_data_doc.h"
#include "foundation/docs/xml_data_doc.h"
#include "foundation/text/decimal_number.h"
#include "foundation/text/wstring.h"
#include "support/temp_files.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

struct FloatCase {
    const char* text;
    float value;
    size_t used; // bytes ReadDecimalDouble takes
};

const FloatCase kFloatCases[] = {
    {"0x10", 0.0f, 1},     {"0X1p4", 0.0f, 1},   {"-0x8", 0.0f, 2},    {"2.5x", 2.5f, 3},
    {"+1.5", 1.5f, 4},     {".5", 0.5f, 2},      {"1e3", 1000.0f, 3},  {"7e", 7.0f, 1},
    {"1e400", kInf, 5},    {"-1e400", -kInf, 6}, {"1e-400", 0.0f, 6},  {"0.0001e-999", 0.0f, 11},
    {"inf", kInf, 3},      {"--1", 0.0f, 0},     {"+-1", 0.0f, 0},     {" \t12", 12.0f, 4},
};

class ReadingRulesTest : public testing::Test {
protected:
    tolvanrise::test::TempFolder m_folder{"reading_rules_", std::filesystem::current_path()};
};

TEST_F(ReadingRulesTest, FloatsAreDecimalOnlyInEveryReader)
{
    for (const FloatCase& c : kFloatCases) {
        SCOPED_TRACE(c.text);
        double read = -1.0;
        EXPECT_EQ(text::ReadDecimalDouble(c.text, read), c.used);
        EXPECT_EQ(static_cast<float>(read), c.value);
        const std::string text(c.text);
        // GetF's first-byte test: a digit, a sign or a point.
        const bool passesCfgTest = (text[0] >= '0' && text[0] <= '9') ||
                                   std::string("+-.").find(text[0]) != std::string::npos;

        GCfgNode node;
        node.AddValue("v", text);
        EXPECT_EQ(node.GetF("v", 99.0f), passesCfgTest ? c.value : 99.0f);
        GFloatArray list;
        ASSERT_EQ(node.GetFList("v", list) == 0, passesCfgTest);
        EXPECT_EQ(list[0], c.value);

        GCfgDataDoc cfgDoc;
        ASSERT_EQ(cfgDoc.Load(m_folder.WriteFile("f.cfg", "v = '" + text + "'\n").c_str(), 0), 1);
        EXPECT_EQ(cfgDoc.GetAttributeFloat("v", 99.0f), c.value);

        GTableDataDoc table;
        ASSERT_EQ(table.Load(m_folder.WriteFile("f.csv", "#F\n" + text + "\n").c_str(), 0), 1);
        table.GetChild(nullptr);
        EXPECT_EQ(table.GetAttributeFloat("F", 99.0f), c.value);

        GXmlDataDoc xml;
        const std::string markup = "<e f='" + text + "'>" + text + "</e>";
        ASSERT_EQ(xml.LoadFromText(GWString::FromUtf8(markup.c_str())), 1);
        GDataDoc* e = xml.GetChild("e");
        EXPECT_EQ(e->GetAttributeFloat("f", 99.0f), c.value);
        EXPECT_EQ(e->GetFloat(99.0f), c.value);

        GIniDataDoc ini;
        ASSERT_EQ(ini.Load(m_folder.WriteFile("f.ini", "f=" + text + "\n").c_str(), 0), 1);
        ini.GetChild(nullptr);
        EXPECT_EQ(ini.GetAttributeFloat("f", 99.0f), c.used ? c.value : 99.0f);
    }
}

struct ObjectCase {
    const char* text;
    size_t children; // of the object list "o"; 0: no entry at all
};

const ObjectCase kObjectCases[] = {
    {"o { }", 0},       {"o = {}", 0},     {"o : { /* nothing */ }", 0}, {"o {\n # c\n\t}", 0},
    {"o { // c\n }", 0}, {"o { k = 1 }", 1}, {"o { } o { k = 1 } o { }", 1}, {"o { i { } }", 1},
};

TEST_F(ReadingRulesTest, AnEmptyObjectStoresNothing)
{
    for (const ObjectCase& c : kObjectCases) {
        SCOPED_TRACE(c.text);
        const std::string text(c.text);
        GCfgNode node;
        ASSERT_EQ(node.Parse(text.data(), text.size()), 1) << CfgErrorText(CfgErrorCode);
        EXPECT_EQ(node.HasObject("o"), c.children > 0);
        EXPECT_FALSE(node.HasObject("o.i"));
        const GCfgNodeList* list = node.FindObjectList("o");
        EXPECT_EQ(list ? list->size() : 0u, c.children);

        GCfgDataDoc doc;
        ASSERT_EQ(doc.Load(m_folder.WriteFile("o.cfg", "a = 1\n" + text).c_str(), 0), 1);
        EXPECT_EQ(doc.GetChild("o") != nullptr, c.children > 0);
    }
}

} // namespace
