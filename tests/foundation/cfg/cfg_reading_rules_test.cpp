// Two reading rules the settings readers share: floats are decimal only (C locale, no
// hexadecimal form), and an empty cfg object stores nothing.

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <tuple>

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

// Text, value, bytes the reading takes.
const std::tuple<const char*, float, size_t> kFloats[] = {
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

TEST(ReadingRules, FloatsAreDecimalOnlyInEveryReader)
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
}

TEST(ReadingRules, AnEmptyCfgObjectStoresNothing)
{
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
