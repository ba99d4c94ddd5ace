#include "foundation/docs/cfg_data_doc.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/foundation_values.h"
#include "support/temp_files.h"

namespace fs = std::filesystem;
using namespace tolvanrise::test;

namespace {

class CfgDocTest : public testing::Test {
protected:
    // A document loaded from the given text (written to name).
    void LoadText(GCfgDataDoc& doc, const char* name, const char* text)
    {
        ASSERT_EQ(doc.Load(m_folder.WriteFile(name, text).c_str(), 0), 1) << text;
    }
    TempFolder m_folder{"cfg_doc_", fs::current_path()};
};

} // namespace

TEST_F(CfgDocTest, WalksOverObjectsOfOneNameAndNested)
{
    // A root never loaded cannot save or write.
    GCfgDataDoc doc;
    EXPECT_EQ(doc.GetKind(), GCfgDataDoc::kEmptyRoot);
    EXPECT_EQ(std::pair(doc.Save(m_folder.Path("out.cfg").c_str(), 0), doc.SetAttributeInt("a", 1)), std::pair(0, 0));
    EXPECT_FALSE(fs::exists(m_folder.Path("out.cfg")));
    EXPECT_EQ(doc.GetChild("item"), nullptr);
    EXPECT_EQ(Narrow(doc.GetAttributeString("a", "d")), "d");

    LoadText(doc, "w.cfg", "item = { id = 1 }\nitem = { id = 2 }\nother = { id = 9 }\nitem = { id = 3 }\n");
    EXPECT_EQ(doc.GetKind(), GCfgDataDoc::kLoadedRoot);
    std::vector<int32_t> ids;
    std::vector<GDataDoc*> nodes;
    for (GDataDoc* node = doc.GetChild("item"); node; node = doc.GetNextSibling(node, "item")) {
        ids.push_back(node->GetAttributeInt("id", -1));
        nodes.push_back(node);
    }
    EXPECT_EQ(ids, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(static_cast<GCfgDataDoc*>(nodes[0])->GetKind(), GCfgDataDoc::kNodeDoc);
    EXPECT_EQ(static_cast<GCfgDataDoc*>(nodes[0])->GetIndex(), 0);
    // Walking again hands out the same documents instead of piling up new ones.
    EXPECT_EQ(doc.GetChild("item"), nodes[0]);
    EXPECT_EQ(doc.GetNextSibling(nodes[1], nullptr), nodes[2]);
    // The root lies in no list; the last is a node of another document.
    GCfgDataDoc other;
    for (GDataDoc* none : {doc.GetChild("missing"), doc.GetChild(nullptr), doc.GetNextSibling(nullptr, nullptr),
                           doc.GetNextSibling(&doc, nullptr), doc.GetNextSibling(&other, nullptr)})
        EXPECT_EQ(none, nullptr);
    // Node documents cannot load or save.
    EXPECT_EQ(nodes[0]->Load(m_folder.Path("w.cfg").c_str(), 0), 0);
    EXPECT_EQ(nodes[0]->Save(m_folder.Path("n.cfg").c_str(), 0), 0);

    LoadText(doc, "n.cfg", "dlg = { ctl = { name = ok } ctl = { name = cancel } }");
    GDataDoc* dialog = doc.GetChild("dlg");
    ASSERT_NE(dialog, nullptr);
    std::vector<std::string> names;
    for (GDataDoc* control = dialog->GetChild("ctl"); control; control = dialog->GetNextSibling(control, nullptr))
        names.push_back(Narrow(control->GetAttributeString("name", "")));
    EXPECT_EQ(names, (std::vector<std::string>{"ok", "cancel"}));
}

TEST_F(CfgDocTest, AttributeReads)
{
    GCfgDataDoc doc;
    LoadText(doc, "i.cfg",
             "h = 0x10\nd = 10\no = 010\nn = -7\nt = 12abc\nw = abc\nu = 0X10\nbig = 0xFFFFFFFF\nl = [5, 6]\n"
             "f = 2.5\nbad = x\ns = \"two words\"\nc = \xC0\xE1\nil = [1, 0x10, -3]\nfl = [0.5, 1.5]\n"
             "mix = [1, z]\n\"a.b\" = [1, 2]\na = { b = [7] }\n");
    // Only "0x" means hexadecimal here; "a.b" is a plain name.
    for (auto [name, expected] : {std::pair{"h", 16}, {"d", 10}, {"o", 10}, {"n", -7}, {"t", 12}, {"w", 0},
                                  {"u", 0}, {"big", -1}, {"l", 5}, {"missing", 77}, {"a.b", 1}})
        EXPECT_EQ(doc.GetAttributeInt(name, 77), expected) << name;
    EXPECT_EQ(doc.GetAttributeInt(nullptr, 77), 77);
    EXPECT_EQ(doc.GetChild("a.b"), nullptr);
    EXPECT_EQ((std::vector<float>{doc.GetAttributeFloat("f", 0), doc.GetAttributeFloat("bad", 9),
                                  doc.GetAttributeFloat("missing", 9)}),
              (std::vector<float>{2.5f, 0.0f, 9.0f}));
    EXPECT_EQ(Wide(doc.GetAttributeString("s", "")) + u"|" + Wide(doc.GetAttributeString("c", "")) + u"|" +
                  Wide(doc.GetAttributeString("missing", "dflt")),
              u"two words|\u0410\u0431|dflt");

    GIntArray ints = IntArray({99});
    ASSERT_EQ(doc.GetAttributeIntList("il", ints, ","), 1);
    EXPECT_EQ(Ints(ints), (std::vector<intptr_t>{1, 16, -3})); // emptied first, then filled
    ASSERT_EQ(doc.GetAttributeIntList("a.b", ints, ","), 1);
    EXPECT_EQ(Ints(ints), (std::vector<intptr_t>{1, 2}));
    GFloatArray floats;
    ASSERT_EQ(doc.GetAttributeFloatList("fl", floats, nullptr), 1);
    EXPECT_EQ(Floats(floats), (std::vector<float>{0.5f, 1.5f}));
    ASSERT_EQ(doc.GetAttributeIntList("mix", ints, ","), 0);
    EXPECT_EQ(ints.GetCount(), 0u);
    ASSERT_EQ(doc.GetAttributeFloatList("mix", floats, nullptr), 0);
    EXPECT_EQ(floats.GetCount(), 0u);
    ints.Add(4);
    EXPECT_EQ(doc.GetAttributeIntList("missing", ints, ","), 0);
    EXPECT_EQ(ints.GetCount(), 1u); // untouched when the entry is missing
}

TEST_F(CfgDocTest, SettersTextAndScrambledBinaryRoundTrips)
{
    GCfgDataDoc doc;
    LoadText(doc, "r.cfg", "v = 0\nkeep = [a, b]\nobj = { x = 1 }\n");
    ASSERT_NE(doc.GetChild("obj"), nullptr);
    // An empty list changes nothing; a name is needed.
    EXPECT_EQ((std::vector<int>{doc.SetAttributeIntList("v", IntArray({1, 2, 3}), ","), doc.SetAttributeInt("n", -5),
                                doc.SetAttributeFloat("f", 0.25f), doc.SetAttributeString("s", GWString(u"\u0410 b")),
                                doc.SetAttributeFloatList("fl", GFloatArray(), ","),
                                doc.SetAttributeFloatList("fl", FloatArray({1.5f}), ","), doc.SetAttributeInt("", 1),
                                doc.SetAttributeInt(nullptr, 1), doc.GetChild("obj")->SetAttributeInt("x", 42)}),
              (std::vector<int>{1, 1, 1, 1, 0, 1, 0, 0, 1}));

    ASSERT_EQ(doc.Save(m_folder.Path("r.cfg").c_str(), 0), 1);
    const std::string text = ReadFileBytes(m_folder.Path("r.cfg"));
    for (const char* line : {"v = [1, 2, 3]\n", "f = 0.250000\n", "s = \"\xC0 b\"\n", "   x = 42\n"})
        EXPECT_NE(text.find(line), std::string::npos) << text;
    GCfgDataDoc again;
    ASSERT_EQ(again.Load(m_folder.Path("r.cfg").c_str(), 0), 1);
    EXPECT_TRUE(*again.GetNode() == *doc.GetNode());

    LoadText(doc, "b.cfg", "title = secretword\nitem = { id = 1 }\nitem = { id = 2 nested = { z = deep } }\n");
    ASSERT_EQ(doc.Save(m_folder.Path("b.bin").c_str(), 0x5D), 1);
    const std::string bytes = ReadFileBytes(m_folder.Path("b.bin"));
    EXPECT_EQ(bytes.substr(0, 3), "CFG");
    EXPECT_EQ(bytes.find("secretword"), std::string::npos);
    EXPECT_EQ(bytes.find("deep"), std::string::npos);

    GCfgDataDoc back;
    ASSERT_EQ(back.Load(m_folder.Path("b.bin").c_str(), 0x5D), 1);
    EXPECT_TRUE(*back.GetNode() == *doc.GetNode());
    // A text file is no binary file.
    GCfgDataDoc wrong;
    EXPECT_EQ(wrong.Load(m_folder.Path("b.cfg").c_str(), 0x5D), 0);
    EXPECT_EQ(wrong.GetKind(), GCfgDataDoc::kEmptyRoot);
}

// Names that hold a dot are plain names to the document: their lists read whole. Lists under a
// name that is not there read nothing and leave the caller's array alone; no setter takes an
// empty name.
TEST_F(CfgDocTest, DottedNamesReadAsPlainNamesAndEmptyNamesAreRefused)
{
    GCfgDataDoc doc;
    LoadText(doc, "d.cfg", "a.b = [1, -2, 0x10]\nf.g = [0.5, 2]\nplain = [3, 4]\n");
    GIntArray ints;
    GFloatArray floats;
    ASSERT_EQ(doc.GetAttributeIntList("a.b", ints, ","), 1);
    EXPECT_EQ(Ints(ints), (std::vector<intptr_t>{1, -2, 16}));
    ASSERT_EQ(doc.GetAttributeFloatList("f.g", floats, ","), 1);
    EXPECT_EQ(Floats(floats), (std::vector<float>{0.5f, 2.0f}));
    ASSERT_EQ(doc.GetAttributeIntList("plain", ints, ","), 1);
    EXPECT_EQ(ints.GetCount(), 2u);
    EXPECT_EQ(doc.GetAttributeIntList("a.c", ints, ",") + doc.GetAttributeFloatList("x.y", floats, ",") +
                  doc.GetAttributeIntList(nullptr, ints, ","),
              0);
    EXPECT_TRUE(ints.GetCount() == 2u && floats.GetCount() == 2u);
    EXPECT_EQ((std::vector<int>{doc.SetAttributeFloat("", 1.5f), doc.SetAttributeString("", GWString(u"x")),
                                doc.SetAttributeIntList("", ints, ","), doc.SetAttributeFloatList("", floats, ","),
                                doc.SetAttributeIntList("e", GIntArray(), ",")}),
              std::vector<int>(5, 0));
    EXPECT_EQ(doc.GetAttributeInt("e", 7), 7);
}

TEST_F(CfgDocTest, FailedLoadsAndSavesKeepTheOldFile)
{
    const std::string broken = m_folder.WriteFile("x.cfg", "a = 1\nb = { c = 2\n");
    GCfgDataDoc doc;
    LoadText(doc, "g.cfg", "a = 1\n");
    EXPECT_EQ(doc.Load(broken.c_str(), 0), 0);
    EXPECT_EQ(doc.GetKind(), GCfgDataDoc::kEmptyRoot);
    EXPECT_EQ(doc.GetAttributeInt("a", -1), -1);
    // The half-read tree is not written back over the broken file.
    EXPECT_EQ(doc.Save(broken.c_str(), 0), 0);
    EXPECT_EQ(ReadFileBytes(broken), "a = 1\nb = { c = 2\n");
    EXPECT_EQ(doc.Load(m_folder.Path("missing.cfg").c_str(), 0), 0);
    EXPECT_EQ(doc.Load(m_folder.WriteFile("e.cfg", "").c_str(), 0), 0);
    EXPECT_EQ(doc.Load(nullptr, 0), 0);

    // A reload replaces the tree and its node documents.
    LoadText(doc, "1.cfg", "o = { v = 1 }\n");
    ASSERT_NE(doc.GetChild("o"), nullptr);
    LoadText(doc, "2.cfg", "o = { v = 2 }\no = { v = 3 }\n");
    GDataDoc* first = doc.GetChild("o");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetAttributeInt("v", 0), 2);
    EXPECT_EQ(doc.GetNextSibling(first, nullptr)->GetAttributeInt("v", 0), 3);

    const std::string path = m_folder.WriteFile("k.cfg", "a = 1\n");
    ASSERT_EQ(doc.Load(path.c_str(), 0), 1);
    // A text holding both quote characters has no cfg text form; the binary form carries it.
    ASSERT_EQ(doc.SetAttributeString("q", GWString("say \"it's\"")), 1);
    EXPECT_EQ(doc.Save(path.c_str(), 0), 0);
    EXPECT_EQ(ReadFileBytes(path), "a = 1\n");
    EXPECT_EQ(doc.Save(m_folder.Path("k.bin").c_str(), 9), 1);
    // No folder to write into.
    EXPECT_EQ(doc.Save(m_folder.Path("no/such/folder/k.cfg").c_str(), 9), 0);
    ASSERT_EQ(doc.SetAttributeString("q", GWString("plain")), 1);
    const std::string noFolder = m_folder.Path("no/such/folder/k.cfg");
    for (const char* bad : {noFolder.c_str(), "", static_cast<const char*>(nullptr)})
        EXPECT_EQ(doc.Save(bad, 0), 0) << (bad ? bad : "null");
    EXPECT_EQ(doc.Save(path.c_str(), 0), 1);
}
