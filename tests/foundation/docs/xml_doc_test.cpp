#include "foundation/docs/xml_data_doc.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "foundation/files/data_files.h"
#include "foundation/text/wstring.h"
#include "foundation/docs/xml_nesting.h"
#include "support/child_process.h"
#include "support/foundation_values.h"
#include "support/temp_files.h"

namespace fs = std::filesystem;
using namespace tolvanrise::test;

namespace {

class XmlDocTest : public testing::Test {
protected:
    void TearDown() override { ClearDataFolderPrefix(); }

    std::string Path(const std::string& name) const { return m_folder.Path(name); }
    std::string Write(const std::string& name, const std::string& bytes) { return m_folder.WriteFile(name, bytes); }
    std::string Read(const std::string& name) const { return ReadFileBytes(Path(name)); }
    // A document parsed from UTF-8 text.
    static void Parse(GXmlDataDoc& doc, const char* utf8)
    {
        ASSERT_EQ(doc.LoadFromText(GWString::FromUtf8(utf8)), 1) << utf8;
    }

    TempFolder m_folder{"xml_doc_", fs::current_path()};
};

TEST_F(XmlDocTest, EmptyRootGivesDefaultsLoadedOneReadsAndWalksElementsTextsAndAttributes)
{
    GXmlDataDoc doc;
    EXPECT_TRUE(doc.IsRoot() && !doc.IsLoaded());
    EXPECT_TRUE(doc.GetChild(nullptr) == nullptr && doc.GetFirstAttribute() == nullptr);
    EXPECT_EQ(std::pair(doc.GetInt(7), doc.GetAttributeInt("a", 3)), std::pair(7, 3));
    EXPECT_EQ(std::pair(doc.SetInt(1), doc.SetAttributeInt("a", 1)), std::pair(0, 0));
    EXPECT_TRUE(doc.Save(Path("out.xml").c_str(), 0) == 0 && !fs::exists(Path("out.xml")));

    const std::string file = Write("opts.xml",
                                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                   "<Options version=\"3\">\n"
                                   "  <Width>800</Width>\n"
                                   "  <Scale> 2.5 </Scale>\n"
                                   "  <Title>\xD0\x9F\xD1\x83\xD1\x81\xD0\xBA &amp; go</Title>\n"
                                   "  <Empty/>\n"
                                   "  <Font name=\"Arial\" size=\"12\" colour=\"0x1F\" octal=\"010\" zero=\"0\" "
                                   "neg=\"-5\" blank=\"\" x=\"x12\" ratio=\"0.25\" caption=\"\xC3\xA9t\xC3\xA9\"/>\n"
                                   "</Options>\n");
    ASSERT_EQ(doc.Load(file.c_str(), 0), 1);
    GDataDoc* options = doc.GetChild("Options");
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(Narrow(options->GetName()), "Options");
    // The root's current element follows its GetChild.
    EXPECT_EQ(doc.GetAttributeInt("version", 0), 3);

    EXPECT_EQ(std::pair(options->GetChild("Width")->GetInt(0), options->GetChild("Empty")->GetInt(-1)),
              std::pair(800, -1));
    EXPECT_FLOAT_EQ(options->GetChild("Scale")->GetFloat(0), 2.5f);
    EXPECT_EQ(Wide(options->GetChild("Title")->GetString("")) + u"|" +
                  Wide(options->GetChild("Empty")->GetString("none")),
              u"Пуск & go|none");
    EXPECT_EQ(options->GetChild("Missing"), nullptr);

    GDataDoc* font = options->GetChild("Font");
    ASSERT_NE(font, nullptr);
    for (auto [name, expected] : {std::pair{"name", u"Arial"}, {"caption", u"été"}, {"blank", u"d"}, {"missing", u"d"}})
        EXPECT_EQ(Wide(font->GetAttributeString(name, "d")), expected) << name;
    // A leading 0 means hexadecimal.
    for (auto [name, expected] : {std::pair{"size", 12}, {"colour", 31}, {"octal", 16}, {"zero", 0}, {"neg", -5},
                                  {"x", 0}, {"blank", 9}, {"missing", 9}})
        EXPECT_EQ(font->GetAttributeInt(name, 9), expected) << name;
    EXPECT_EQ(std::tuple(font->GetAttributeInt(nullptr, 9), font->GetAttributeFloat("ratio", 0),
                         font->GetAttributeFloat("missing", 4.f)),
              std::tuple(9, 0.25f, 4.f));

    // Sibling and attribute walks.
    Parse(doc, "<r><a i='1'/><!-- note --><a i='2'/><b/><a i='3'/></r>");
    GDataDoc* r = doc.GetChild(nullptr);
    ASSERT_NE(r, nullptr);
    int seen = 0;
    for (GDataDoc* a = r->GetChild("a"); a; a = r->GetNextSibling(a, "a"))
        seen += a->GetAttributeInt("i", 0);
    EXPECT_EQ(seen, 3); // the comment is passed over, the b ends the walk

    GDataDoc* last = r->GetNextSibling(r->GetChild("b"), nullptr);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->GetAttributeInt("i", 0), 3);
    // After the last child, after its own element, after none: nothing.
    EXPECT_TRUE(!r->GetNextSibling(last, nullptr) && !r->GetNextSibling(r, nullptr) &&
                !r->GetNextSibling(nullptr, nullptr));

    GXmlDataDoc other;
    Parse(other, "<r><a/><a/></r>");
    GDataDoc* foreign = other.GetChild(nullptr)->GetChild("a");
    EXPECT_EQ(r->GetNextSibling(foreign, "a"), nullptr); // a node of another tree

    Parse(doc, "<e first='1' second='\xD0\x96' third='2.5'/>");
    GDataDoc* e = doc.GetChild("e");
    // Name, text (decoded as GetAttributeString decodes it), integer and float of each.
    std::vector<std::u16string> attributes;
    GDataDoc* a = nullptr;
    for (GDataDoc* next = e->GetFirstAttribute(); next; next = e->GetNextAttribute(next)) {
        a = next;
        attributes.push_back(Wide(a->GetName()) + u"=" + Wide(a->GetString("")) + u" " +
                       Wide(GWString(a->GetInt(0), 10)) + u" " + Wide(GWString(a->GetFloat(0))));
    }
    EXPECT_EQ(attributes, (std::vector<std::u16string>{u"first=1 1 1.0000000", u"second=Ж 0 0.0000000",
                                                 u"third=2.5 2 2.5000000"}));
    ASSERT_NE(a, nullptr);
    // Attribute nodes have no element: no children, no text to set.
    EXPECT_TRUE(a->GetChild(nullptr) == nullptr && static_cast<GXmlDataDoc*>(a)->AddChild("x") == nullptr);
    EXPECT_EQ(a->SetInt(3), 0);
    EXPECT_EQ(doc.GetChild("e")->GetFirstAttribute(), e->GetFirstAttribute());
}

TEST_F(XmlDocTest, NumberListsOfAnyLengthRoundTrip)
{
    GXmlDataDoc doc;
    Parse(doc, "<r><list/><list2>4;; 5 ;-6</list2></r>");
    GDataDoc* r = doc.GetChild("r");
    GDataDoc* list = r->GetChild("list");
    ASSERT_EQ(list->SetIntList(IntArray({1, 2, 3}), ","), 1);
    ASSERT_EQ(r->SetAttributeIntList("ids", IntArray({8, 9}), ";"), 1);
    EXPECT_EQ(Narrow(list->GetString("")) + " " + Narrow(r->GetAttributeString("ids", "")), "1,2,3 8;9");
    // The list readers add to what the array holds; runs of separators count as one.
    GIntArray ints = IntArray({7});
    ASSERT_EQ(list->GetIntList(ints, ", "), 1);
    ASSERT_EQ(r->GetChild("list2")->GetIntList(ints, "; "), 1);
    ASSERT_EQ(r->GetAttributeIntList("ids", ints, ";"), 1);
    EXPECT_EQ(r->GetAttributeIntList("missing", ints, ";"), 0);
    EXPECT_EQ(Ints(ints), (std::vector<intptr_t>{7, 1, 2, 3, 4, 5, -6, 8, 9}));

    ASSERT_EQ(list->SetFloatList(FloatArray({0.5f, -2.f}), " "), 1);
    EXPECT_EQ(Narrow(list->GetString("")), "0.500000 -2.000000");
    ASSERT_EQ(r->SetAttributeFloatList("f", FloatArray({1.5f}), ","), 1);
    GFloatArray floats;
    ASSERT_EQ(list->GetFloatList(floats, " "), 1);
    ASSERT_EQ(r->GetAttributeFloatList("f", floats, ","), 1);
    EXPECT_EQ(Floats(floats), (std::vector<float>{0.5f, -2.f, 1.5f}));
    ASSERT_EQ(list->SetIntList(GIntArray(), ","), 1);
    ints.Clear();
    EXPECT_TRUE(list->GetIntList(ints, ",") == 0 && ints.GetCount() == 0u); // an empty text reads no list

    GXmlDataDoc built;
    GXmlDataDoc* frames = built.AddChild("Frames");
    ASSERT_NE(frames, nullptr);
    GIntArray values;
    GFloatArray times;
    for (int i = 0; i < 20000; ++i) {
        values.PushBack(i * 7 - 50000);
        times.PushBack(static_cast<float>(i) / 4.f);
    }
    ASSERT_EQ(frames->SetIntList(values, ","), 1);
    ASSERT_EQ(frames->SetAttributeFloatList("times", times, ";"), 1);
    ASSERT_EQ(built.Save(Path("long.xml").c_str(), 0), 1);
    EXPECT_GT(Read("long.xml").size(), 200000u); // far past any fixed text buffer

    GXmlDataDoc again;
    ASSERT_EQ(again.Load(Path("long.xml").c_str(), 0), 1);
    GIntArray back;
    ASSERT_EQ(again.GetChild("Frames")->GetIntList(back, ","), 1);
    EXPECT_TRUE(Ints(back) == Ints(values));
    GFloatArray floatsBack;
    ASSERT_EQ(again.GetChild("Frames")->GetAttributeFloatList("times", floatsBack, ";"), 1);
    EXPECT_TRUE(Floats(floatsBack) == Floats(times));
}

// Every setter needs an element to write to and, for attributes, a name the parser could read
// back: without them it refuses (0) and nothing is written; with them it writes (1).
TEST_F(XmlDocTest, EverySetterRefusesWithoutAnElementOrAReadableName)
{
    GIntArray ints;
    ints.Add(1), ints.Add(2);
    GFloatArray floats;
    floats.Add(0.5f);
    const auto setters = [&](GDataDoc& d, const char* name) {
        return std::vector<int>{d.SetInt(1), d.SetFloat(1.5f), d.SetString(GWString(u"x")), d.SetIntList(ints, ","),
                                d.SetFloatList(floats, ","), d.SetAttributeInt(name, 1), d.SetAttributeFloat(name, 1.5f),
                                d.SetAttributeString(name, GWString(u"x")), d.SetAttributeIntList(name, ints, ","),
                                d.SetAttributeFloatList(name, floats, ",")};
    };
    GXmlDataDoc empty;
    EXPECT_EQ(setters(empty, "a"), std::vector<int>(10, 0));
    EXPECT_FALSE(empty.IsLoaded());

    GXmlDataDoc doc;
    Parse(doc, "<Top a='1'/>");
    GDataDoc* top = doc.GetChild("Top");
    ASSERT_NE(top, nullptr);
    for (const char* bad : {"", "1a", "\xEF\xBB\xBFx"}) {
        const std::vector<int> results = setters(*top, bad);
        EXPECT_EQ(std::vector<int>(results.begin() + 5, results.end()), std::vector<int>(5, 0)) << bad;
    }
    EXPECT_EQ(Narrow(top->GetAttributeString("a", "")), "1");
    EXPECT_EQ(setters(*top, "b"), std::vector<int>(10, 1));
    EXPECT_EQ(Narrow(top->GetAttributeString("b", "")), "0.500000"); // the float list, set last
}

// A name is taken for an attribute exactly when the XML library reads it back from markup:
// random names of letters, digits, punctuation, high bytes and byte-order-mark starts.
TEST_F(XmlDocTest, NamesAreTakenExactlyWhenTheParserReadsThemBack)
{
    const std::vector<std::string> pieces = {"a", "Z", "_", "-", ".", ":", "0", "9", " ", "=", "'",
                                             "\xC3\xA9", "\xEF\xBB\xBF", "\xEF\xBF\xBE", "\xEF\xBF\xBF",
                                             "\xEF\xBF\xBD", "\x7F", "/", "@"};
    std::mt19937 rng(31);
    std::vector<std::string> names = {"", "\xEF\xBB", "\xEF"};
    for (int i = 0; i < 3000; ++i) {
        std::string name;
        for (size_t n = 1 + rng() % 3; n > 0; --n)
            name += pieces[rng() % pieces.size()];
        names.push_back(name);
    }
    for (const std::string& name : names) {
        GXmlDataDoc doc;
        Parse(doc, "<T/>");
        const int taken = doc.GetChild("T")->SetAttributeInt(name.c_str(), 7);
        TiXmlDocument reference;
        reference.Parse(("<T " + name + "='7'/>").c_str(), nullptr, TIXML_ENCODING_UTF8);
        const TiXmlElement* t = reference.Error() ? nullptr : reference.FirstChildElement("T");
        const char* back = t ? t->Attribute(name.c_str()) : nullptr;
        const bool readable = back && std::string(back) == "7";
        ASSERT_EQ(taken == 1, readable) << '"' << name << '"';
    }
}

TEST_F(XmlDocTest, SettersAndSaveLoadRoundTrip)
{
    GXmlDataDoc doc;
    GXmlDataDoc* top = doc.AddChild("Settings");
    ASSERT_NE(top, nullptr);
    ASSERT_EQ((std::vector<int>{top->AddChild("Name")->SetString(GWString(u"Игрок <1> & \"co\"")),
                                top->AddChild("Level")->SetInt(-42), top->AddChild("Speed")->SetFloat(0.5f),
                                top->SetAttributeInt("count", 3), top->SetAttributeFloat("ratio", 0.5f),
                                top->SetAttributeFloat("big", 1234567.f),
                                top->SetAttributeString("title", GWString(u"€ 'quoted'")),
                                top->SetAttributeString("empty", GWString())}),
              std::vector<int>(8, 1));
    EXPECT_EQ(Narrow(top->GetAttributeString("ratio", "")), "0.5"); // the library's short double format
    EXPECT_EQ(Narrow(top->GetAttributeString("big", "")), "1.23457e+06");
    EXPECT_EQ(Narrow(doc.GetChild("Settings")->GetChild("Speed")->GetString("")), "0.500000");
    // Setting a text keeps child elements and puts the text first.
    ASSERT_EQ(top->SetInt(9), 1);
    EXPECT_NE(top->GetChild("Name"), nullptr);

    ASSERT_EQ(doc.Save(Path("s.xml").c_str(), 0), 1);
    GXmlDataDoc back;
    ASSERT_EQ(back.Load(Path("s.xml").c_str(), 0), 1);
    GDataDoc* s = back.GetChild("Settings");
    ASSERT_NE(s, nullptr);
    // Escaped texts decode; an empty attribute reads as the default.
    EXPECT_EQ(Wide(s->GetChild("Name")->GetString("")) + u"|" + Wide(s->GetAttributeString("title", "")) + u"|" +
                  Wide(s->GetAttributeString("empty", "default")),
              u"Игрок <1> & \"co\"|€ 'quoted'|default");
    EXPECT_EQ(std::pair(s->GetChild("Level")->GetInt(0), s->GetInt(0)), std::pair(-42, 9));

    // Saving what was loaded gives the same bytes again.
    ASSERT_EQ(back.Save(Path("s2.xml").c_str(), 0), 1);
    EXPECT_EQ(Read("s2.xml"), Read("s.xml"));
}

TEST_F(XmlDocTest, ScrambledSaveByteOrderMarkAndDebugDump)
{
    GXmlDataDoc doc;
    Parse(doc, "<Fonts><Font name='Big' size='24'/><Font name='Small' size='10'/></Fonts>");
    ASSERT_EQ(doc.Save(Path("plain.xml").c_str(), 0), 1);
    ASSERT_EQ(doc.Save(Path("keyed.xml").c_str(), 0x5A), 1);
    const std::string keyed = Read("keyed.xml");
    // Exactly the printed text, nothing after.
    EXPECT_TRUE(keyed.size() == Read("plain.xml").size() && keyed.find("Font") == std::string::npos);

    GXmlDataDoc back;
    ASSERT_EQ(back.Load(Path("keyed.xml").c_str(), 0x5A), 1);
    ASSERT_EQ(back.Save(Path("again.xml").c_str(), 0), 1);
    EXPECT_EQ(Read("again.xml"), Read("plain.xml"));
    GXmlDataDoc wrongKey;
    EXPECT_EQ(wrongKey.Load(Path("keyed.xml").c_str(), 0x11) + wrongKey.Load(Path("keyed.xml").c_str(), 0), 0);

    // A byte-order mark is kept; the debug dump writes plain and keyed copies.
    Write("bom.xml", "\xEF\xBB\xBF<a v='1'/>");
    ASSERT_EQ(doc.Load(Path("bom.xml").c_str(), 0), 1);
    EXPECT_EQ(doc.GetChild("a")->GetAttributeInt("v", 0), 1);
    ASSERT_EQ(doc.Save(Path("out.xml").c_str(), 0), 1);
    EXPECT_EQ(Read("out.xml").rfind("\xEF\xBB\xBF<a", 0), 0u);

    const std::string prefix = m_folder.Path() + "/";
    ASSERT_LT(prefix.size(), kDataFolderPrefixSize);
    std::strcpy(DataFolderPrefix, prefix.c_str());
    Parse(doc, "<a>text</a>");
    ASSERT_EQ(doc.DumpToDebugFile("dump.bin", 3), 1);
    EXPECT_EQ(Read("debug.txt"), "<a>text</a>\n");
    ASSERT_EQ(back.Load("dump.bin", 3), 1); // names take the data-folder prefix both ways
    EXPECT_EQ(Narrow(back.GetChild("a")->GetString("")), "text");
}

TEST_F(XmlDocTest, BadFilesAndDeepNestingAreRefused)
{
    GXmlDataDoc doc;
    Parse(doc, "<ok/>");
    ASSERT_NE(doc.GetChild("ok"), nullptr);
    // Node documents go with the old tree.
    EXPECT_TRUE(doc.Load(Path("missing.xml").c_str(), 0) == 0 && !doc.IsLoaded() && doc.GetNodeDocCount() == 0u &&
                doc.GetChild(nullptr) == nullptr);

    for (const char* bad : {"", "   ", "<a>", "<a></b>", "<a x='1' x='2'/>", "<a x=\"1/>", "text only",
                            "<a>\xE0"}) {
        Write("bad.xml", bad);
        EXPECT_EQ(doc.Load(Path("bad.xml").c_str(), 0), 0) << bad;
        EXPECT_FALSE(doc.IsLoaded());
    }
    EXPECT_TRUE(doc.Load(nullptr, 0) + doc.Load("", 0) + doc.LoadFromText(GWString(u"<m>")) == 0 && !doc.IsLoaded());

    // Deep nesting is refused before the parser recurses.
    auto repeat = [](const char* part, uint32_t n) {
        std::string out;
        while (n--)
            out += part;
        return out;
    };
    ASSERT_EQ(doc.Load(Write("ok.xml", repeat("<n>", kXmlMaxNesting) + repeat("</n>", kXmlMaxNesting)).c_str(), 0), 1);

    // Far deeper than the parser's recursion could survive.
    const std::string deep = repeat("<n>", 200000);
    EXPECT_EQ(doc.Load(Write("deep.xml", deep).c_str(), 0), 0);
    EXPECT_EQ(XmlNestingDepth(deep.data(), deep.size()), 200000u);

    // An element added below the limit is refused too.
    GXmlDataDoc built;
    GXmlDataDoc* node = built.AddChild("n");
    for (uint32_t i = 1; i < kXmlMaxNesting; ++i)
        node = node->AddChild("n");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->AddChild("n"), nullptr);
}

// The deepest element of what the XML library parsed (it keeps what it read before an error).
uint32_t LibraryDepth(const std::string& text)
{
    std::string padded = text;
    padded.append(8, '\0');
    TiXmlDocument document;
    document.Parse(padded.c_str(), nullptr, TIXML_ENCODING_UTF8);
    uint32_t deepest = 0;
    std::vector<std::pair<const TiXmlNode*, uint32_t>> pending{{&document, 0}};
    while (!pending.empty()) {
        auto [node, depth] = pending.back();
        pending.pop_back();
        deepest = std::max(deepest, depth);
        for (const TiXmlElement* child = node->FirstChildElement(); child; child = child->NextSiblingElement())
            pending.emplace_back(child, depth + 1);
    }
    return deepest;
}

TEST(XmlNesting, FollowsTheParsersReading)
{
    const std::pair<std::string, uint32_t> cases[] = {
        {"", 0}, {"<a/>", 1}, {"<a><b><c/></b></a>", 3}, {"<a></a><b><c></c></b>", 2},
        {"<a x='<b>' y=\"/>\"><c>", 2},    // markup inside values
        {"<a><!-- <b><c><d> --><e>", 2},  // inside a comment
        {"<a><![CDATA[<b><c>]]><d>", 2},  // inside CDATA
        {"<a>\xE0<b><c><d>", 3},          // a UTF-8 lead byte swallows a '<'
        {"<a>&#x3c;b>&lt;c><d>", 2},      // entities are text
        {"\xEF\xBB\xBF <a><b>", 2},       // byte-order mark and white space
        {"<?xml version='1.0'?><a><b>", 2}, {"<!DOCTYPE a><a><b>", 2}, {"<a x=1><b>", 2},
        {"<a><b x=1'><c><d>", 2},         // the parser gives up at the quote
        {"text<a><b>", 0},                // text ends a document
        {"<a></a   ><b></b\xEF\xBB\xBF><c><d/>", 2},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(XmlNestingDepth(text.data(), text.size()), expected) << text;
        EXPECT_EQ(LibraryDepth(text), expected) << text;
    }
}

// Random markup of tags, ends, comments, CDATA, quotes, declarations and UTF-8 lead bytes: the
// guard never counts below the depth the parser reaches. Random well-formed trees whose values,
// comments, CDATA and texts hold markup characters: the guard counts that depth exactly.
TEST(XmlNesting, FollowsTheParsersReadingOnRandomMarkup)
{
    const char* const pieces[] = {"<a>", "<b x='1'>", "</a>", "</b>", "<c/>", "<!--", "-->", "<![CDATA[", "]]>",
                                  "'", "\"", "=", "\xE0", "\xF0", "\xC3", "&lt;", "<?x ", "?>", "<!D", ">", " ",
                                  "t", "<", "/", "\xEF\xBB\xBF"};
    const char* const fillers[] = {"<!-- <a><b> -->", "<![CDATA[<a><b>]]>", "t&lt;x&gt;", "\xC3\xA9", " ",
                                   "<?pi <a>?>"};
    std::mt19937 rng(37);
    for (int i = 0; i < 3000; ++i) {
        std::string text = i % 3 ? "<r>" : "";
        for (size_t n = rng() % 16; n > 0; --n)
            text += pieces[rng() % std::size(pieces)];
        ASSERT_GE(XmlNestingDepth(text.data(), text.size()), LibraryDepth(text)) << text;
    }
    // depth: the deepest level the tree reaches.
    std::function<std::string(int, int, uint32_t&)> tree = [&](int level, int budget, uint32_t& deepest) {
        deepest = std::max<uint32_t>(deepest, uint32_t(level));
        const std::string name = level % 2 ? "n" : "m";
        std::string out = "<" + name + (rng() % 2 ? " v='<x>' w=\"/>\"" : "") + ">";
        if (rng() % 4 == 0)
            return out.substr(0, out.size() - 1) + "/>";
        for (int k = int(rng() % 4); k > 0 && budget > 0; --k, --budget) {
            if (rng() % 2)
                out += tree(level + 1, budget - 1, deepest);
            else
                out += fillers[rng() % std::size(fillers)];
        }
        return out + "</" + name + ">";
    };
    for (int i = 0; i < 1000; ++i) {
        uint32_t deepest = 0;
        const std::string text = (i % 2 ? "<?xml version='1.0'?>" : "") + tree(1, 12, deepest);
        ASSERT_EQ(LibraryDepth(text), deepest) << text;
        ASSERT_EQ(XmlNestingDepth(text.data(), text.size()), deepest) << text;
    }
}

TEST_F(XmlDocTest, NodeDocumentsAreReusedAndEmptiedWithTheirElements)
{
    GXmlDataDoc doc;
    Parse(doc, "<Dictionary><Row Key='a' Value='1'/><Row Key='b' Value='2'/><Row Key='c' Value='3'/></Dictionary>");
    GDataDoc* dictionary = doc.GetChild("Dictionary");
    auto walk = [&] {
        int sum = 0;
        for (GDataDoc* row = dictionary->GetChild("Row"); row; row = dictionary->GetNextSibling(row, "Row"))
            sum += row->GetAttributeInt("Value", 0);
        for (GDataDoc* a = dictionary->GetChild(nullptr)->GetFirstAttribute(); a; a = dictionary->GetNextAttribute(a))
            sum += 0;
        return sum;
    };
    EXPECT_EQ(walk(), 6);
    const uint32_t count = doc.GetNodeDocCount();
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(walk(), 6);
    EXPECT_EQ(doc.GetNodeDocCount(), count);
    EXPECT_EQ(count, 6u); // the dictionary, three rows, two attributes of the first row

    // Removed elements leave no node document pointing at them.
    Parse(doc, "<r><a n='1'><b n='2'><c n='3'/></b></a><d n='4'/></r>");
    GDataDoc* r = doc.GetChild("r");
    auto* a = static_cast<GXmlDataDoc*>(r->GetChild("a"));
    GDataDoc* b = a->GetChild("b");
    GDataDoc* c = b->GetChild("c");
    GDataDoc* attribute = c->GetFirstAttribute();
    GDataDoc* d = r->GetNextSibling(a, nullptr);
    ASSERT_TRUE(attribute && d);
    const uint32_t before = doc.GetNodeDocCount();

    ASSERT_EQ(static_cast<GXmlDataDoc*>(b)->RemoveCurrent(), 1);
    // The removed element's document and those below it stand for nothing now.
    for (GDataDoc* gone : {b, c, attribute}) {
        EXPECT_TRUE(gone->GetName().IsEmpty() && gone->GetChild(nullptr) == nullptr);
        EXPECT_EQ((std::vector<int>{gone->GetAttributeInt("n", -1), gone->GetInt(-1), gone->SetInt(1),
                                    static_cast<GXmlDataDoc*>(gone)->RemoveCurrent()}),
                  (std::vector<int>{-1, -1, 0, 0}));
    }
    EXPECT_TRUE(r->GetNextSibling(b, nullptr) == nullptr && a->GetChild(nullptr) == nullptr);
    EXPECT_EQ(std::pair(a->GetAttributeInt("n", 0), d->GetAttributeInt("n", 0)), std::pair(1, 4));
    EXPECT_EQ(doc.GetNodeDocCount(), before); // kept, emptied, until the root reloads

    // New elements (which may reuse the freed memory) get fresh node documents.
    for (int i = 0; i < 50; ++i) {
        GXmlDataDoc* fresh = a->AddChild("b");
        ASSERT_TRUE(fresh && fresh != b && fresh != c);
        fresh->SetAttributeInt("n", i);
        EXPECT_EQ(fresh->GetAttributeInt("n", -1), i);
    }
    EXPECT_EQ(b->GetAttributeInt("n", -1), -1);

    // A top-level element has no parent element.
    EXPECT_EQ(static_cast<GXmlDataDoc*>(r)->RemoveCurrent() + doc.RemoveCurrent(), 0);
    ASSERT_EQ(doc.Save(Path("after.xml").c_str(), 0), 1);
    EXPECT_EQ(Read("after.xml").find("<c"), std::string::npos);
    // Reloading lets go of every node document, the retired ones included.
    Parse(doc, "<r/>");
    EXPECT_EQ(doc.GetNodeDocCount(), 0u);
}

TEST_F(XmlDocTest, BuildingTreesAndSavesThatFailOrWouldNotLoadAgainKeepTheOldFile)
{
    GXmlDataDoc doc;
    for (const char* bad : {"", "1st", "has space"})
        EXPECT_EQ(doc.AddChild(bad), nullptr) << bad;
    GXmlDataDoc* list = doc.AddChild("List");
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(doc.IsLoaded());
    GXmlDataDoc* second = list->AddChild("Item");
    GXmlDataDoc* first = list->InsertChildBefore(second, "Item");
    GXmlDataDoc* third = list->InsertChildAfter(second, "Item");
    ASSERT_TRUE(first && third);
    first->SetInt(1);
    second->SetInt(2);
    third->SetInt(3);
    // Not children of the list or of the item.
    EXPECT_TRUE(!list->InsertChildBefore(list, "Item") && !second->InsertChildBefore(first, "Item"));
    EXPECT_EQ(std::pair(list->SetAttributeInt("bad name", 1), list->SetAttributeInt(nullptr, 1)), std::pair(0, 0));
    // A name led by a byte order mark (or a non-character) would be skipped as space when read
    // back.
    EXPECT_EQ(std::pair(list->SetAttributeInt("\xEF\xBB\xBFid", 1),
                        list->SetAttributeInt("\xEF\xBF\xBEid", 1)),
              std::pair(0, 0));
    EXPECT_EQ((std::vector<int>{first->IsSameNode(list->GetChild("Item")), first->IsSameNode(second),
                                doc.IsSameNode(&doc), first->IsSameNode(nullptr)}),
              (std::vector<int>{1, 0, 1, 0}));
    EXPECT_EQ(Narrow(doc.GetChild(nullptr)->GetName()), "List");

    ASSERT_EQ(doc.Save(Path("built.xml").c_str(), 0), 1);
    EXPECT_EQ(Read("built.xml"), "<List>\n    <Item>1</Item>\n    <Item>2</Item>\n    <Item>3</Item>\n</List>\n");
    fs::remove(Path("built.xml"));

    Parse(doc, "<a>first</a>");
    ASSERT_EQ(doc.Save(Path("keep.xml").c_str(), 0), 1);
    const std::string before = Read("keep.xml");

    // A save into a folder that does not exist fails and says so.
    EXPECT_EQ(doc.Save(Path("no/such/folder.xml").c_str(), 0), 0);
    // A node document has no tree of its own to save.
    EXPECT_EQ(doc.GetChild("a")->Save(Path("keep.xml").c_str(), 0), 0);

    // A save that runs out of room half-way (here: a file size limit) fails and leaves the
    // old file whole.
    GIntArray many;
    for (int i = 0; i < 5000; ++i)
        many.PushBack(i);
    doc.GetChild("a")->SetIntList(many, ",");
    const int status = RunInChild(
        [&] { return doc.Save(Path("keep.xml").c_str(), 0) == 0 ? 0 : 1; }, {.maxFileBytes = 1000});
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save should report its failure";
    EXPECT_EQ(Read("keep.xml"), before);
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(m_folder.Path()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 1u) << "no temporary file left behind";

    // Refused: an unquoted value read byte by byte may end in a UTF-8 lead byte; printed in quotes,
    // that byte would swallow the closing quote when the file is read again.
    Write("stray.xml", "<a v=x\xDA />");
    ASSERT_EQ(doc.Load(Path("stray.xml").c_str(), 0), 1);
    Write("keep.xml", "<old/>");
    EXPECT_EQ(doc.Save(Path("keep.xml").c_str(), 0) + doc.Save(Path("keep.xml").c_str(), 7), 0);
    EXPECT_EQ(Read("keep.xml"), "<old/>");
    // Replacing the value mends it.
    ASSERT_EQ(doc.GetChild("a")->SetAttributeString("v", GWString(u"x\u00DA")), 1);
    ASSERT_EQ(doc.Save(Path("keep.xml").c_str(), 0), 1);
    GXmlDataDoc back;
    ASSERT_EQ(back.Load(Path("keep.xml").c_str(), 0), 1);
    EXPECT_EQ(Wide(back.GetChild("a")->GetAttributeString("v", "")), u"x\u00DA");

    Parse(doc, "<a><![CDATA[<raw> & text]]></a>");
    GDataDoc* a = doc.GetChild("a");
    EXPECT_EQ(Narrow(a->GetString("")), "<raw> & text");
    ASSERT_EQ(a->SetString(GWString(u"x]]>y")), 1);
    ASSERT_EQ(doc.Save(Path("c.xml").c_str(), 0), 1);
    ASSERT_EQ(back.Load(Path("c.xml").c_str(), 0), 1);
    EXPECT_EQ(Narrow(back.GetChild("a")->GetString("")), "x]]>y");
}

} // namespace
