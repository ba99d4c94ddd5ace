#include "foundation/docs/cfg_data_doc.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "foundation/text/wstring.h"
#include "support/temp_files.h"

namespace fs = std::filesystem;

namespace {

using tolvanrise::test::ReadFileBytes;
using tolvanrise::test::TempFolder;

class CfgDocTest : public testing::Test {
protected:
    TempFolder m_folder{"cfg_doc_", fs::current_path()};
};

std::string Str(const GWString& s)
{
    return s.GetNarrow();
}

} // namespace

TEST_F(CfgDocTest, NeverLoadedRootCannotSaveOrWrite)
{
    GCfgDataDoc doc;
    EXPECT_EQ(doc.GetKind(), GCfgDataDoc::kEmptyRoot);
    EXPECT_EQ(doc.GetIndex(), -1);
    EXPECT_EQ(doc.Save(m_folder.Path("out.cfg").c_str(), 0), 0);
    EXPECT_FALSE(fs::exists(m_folder.Path("out.cfg")));
    EXPECT_EQ(doc.GetChild("item"), nullptr);
    EXPECT_EQ(doc.SetAttributeInt("a", 1), 0);
    EXPECT_EQ(doc.GetAttributeInt("a", 3), 3);
    EXPECT_EQ(Str(doc.GetAttributeString("a", "d")), "d");
}

TEST_F(CfgDocTest, WalkOverObjectsOfOneName)
{
    GCfgDataDoc doc;
    ASSERT_EQ(doc.Load(m_folder.WriteFile("w.cfg", "item = { id = 1 }\nitem = { id = 2 }\nother = { id = 9 }\nitem = { id = 3 }\n").c_str(), 0), 1);
    EXPECT_EQ(doc.GetKind(), GCfgDataDoc::kLoadedRoot);
    std::vector<int32_t> ids;
    std::vector<GDataDoc*> nodes;
    for (GDataDoc* node = doc.GetChild("item"); node; node = doc.GetNextSibling(node, "item")) {
        ids.push_back(node->GetAttributeInt("id", -1));
        nodes.push_back(node);
    }
    EXPECT_EQ(ids, (std::vector<int32_t>{1, 2, 3}));
    auto* first = static_cast<GCfgDataDoc*>(nodes[0]);
    EXPECT_EQ(first->GetKind(), GCfgDataDoc::kNodeDoc);
    EXPECT_EQ(first->GetIndex(), 0);

    // Walking again hands out the same documents instead of piling up new ones.
    EXPECT_EQ(doc.GetChild("item"), nodes[0]);
    EXPECT_EQ(doc.GetNextSibling(nodes[1], nullptr), nodes[2]);
    EXPECT_EQ(doc.GetChild("missing"), nullptr);
    EXPECT_EQ(doc.GetChild(nullptr), nullptr);
    EXPECT_EQ(doc.GetNextSibling(nullptr, nullptr), nullptr);
    EXPECT_EQ(doc.GetNextSibling(&doc, nullptr), nullptr); // the root lies in no list

    // Node documents cannot load or save.
    EXPECT_EQ(nodes[0]->Load(m_folder.Path("w.cfg").c_str(), 0), 0);
    EXPECT_EQ(nodes[0]->Save(m_folder.Path("n.cfg").c_str(), 0), 0);
}

TEST_F(CfgDocTest, NestedObjectsAndForeignNodes)
{
    GCfgDataDoc doc;
    ASSERT_EQ(doc.Load(m_folder.WriteFile("n.cfg", "dlg = { ctl = { name = ok } ctl = { name = cancel } }").c_str(), 0), 1);
    GDataDoc* dialog = doc.GetChild("dlg");
    ASSERT_NE(dialog, nullptr);
    GDataDoc* control = dialog->GetChild("ctl");
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(Str(control->GetAttributeString("name", "")), "ok");
    GDataDoc* next = dialog->GetNextSibling(control, nullptr);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(Str(next->GetAttributeString("name", "")), "cancel");
    EXPECT_EQ(dialog->GetNextSibling(next, nullptr), nullptr);

    // A node of another document, or one that is no node at all, has no sibling here.
    GCfgDataDoc other;
    EXPECT_EQ(doc.GetNextSibling(&other, nullptr), nullptr);
}

TEST_F(CfgDocTest, IntegersHexAndDecimal)
{
    GCfgDataDoc doc;
    ASSERT_EQ(doc.Load(m_folder.WriteFile("i.cfg", "h = 0x10\nd = 10\no = 010\nn = -7\nt = 12abc\nw = abc\nu = 0X10\nbig = 0xFFFFFFFF\nl = [5, 6]\n").c_str(), 0), 1);
    EXPECT_EQ(doc.GetAttributeInt("h", 0), 16);
    EXPECT_EQ(doc.GetAttributeInt("d", 0), 10);
    EXPECT_EQ(doc.GetAttributeInt("o", 0), 10); // only "0x" means hexadecimal here
    EXPECT_EQ(doc.GetAttributeInt("n", 0), -7);
    EXPECT_EQ(doc.GetAttributeInt("t", 0), 12);
    EXPECT_EQ(doc.GetAttributeInt("w", 5), 0);
    EXPECT_EQ(doc.GetAttributeInt("u", 5), 0);
    EXPECT_EQ(doc.GetAttributeInt("big", 0), -1);
    EXPECT_EQ(doc.GetAttributeInt("l", 0), 5);
    EXPECT_EQ(doc.GetAttributeInt("missing", 77), 77);
    EXPECT_EQ(doc.GetAttributeInt(nullptr, 77), 77);
}

TEST_F(CfgDocTest, FloatsStringsAndLists)
{
    GCfgDataDoc doc;
    ASSERT_EQ(doc.Load(m_folder.WriteFile("f.cfg", "f = 2.5\nbad = x\ns = \"two words\"\nc = \xC0\xE1\nil = [1, 0x10, -3]\nfl = [0.5, 1.5]\nmix = [1, z]\n").c_str(), 0), 1);
    EXPECT_FLOAT_EQ(doc.GetAttributeFloat("f", 0), 2.5f);
    EXPECT_FLOAT_EQ(doc.GetAttributeFloat("bad", 9), 0.0f);
    EXPECT_FLOAT_EQ(doc.GetAttributeFloat("missing", 9), 9.0f);
    EXPECT_EQ(Str(doc.GetAttributeString("s", "")), "two words");
    EXPECT_EQ(doc.GetAttributeString("c", "").View(), u"\u0410\u0431");
    EXPECT_EQ(Str(doc.GetAttributeString("missing", "dflt")), "dflt");

    GIntArray ints;
    ints.Add(99);
    ASSERT_EQ(doc.GetAttributeIntList("il", ints, ","), 1);
    ASSERT_EQ(ints.GetCount(), 3u); // emptied first, then filled
    EXPECT_EQ(ints[0], 1);
    EXPECT_EQ(ints[1], 16);
    EXPECT_EQ(ints[2], -3);
    GFloatArray floats;
    ASSERT_EQ(doc.GetAttributeFloatList("fl", floats, nullptr), 1);
    ASSERT_EQ(floats.GetCount(), 2u);
    EXPECT_FLOAT_EQ(floats[1], 1.5f);

    ASSERT_EQ(doc.GetAttributeIntList("mix", ints, ","), 0);
    EXPECT_EQ(ints.GetCount(), 0u);
    ints.Add(4);
    EXPECT_EQ(doc.GetAttributeIntList("missing", ints, ","), 0);
    EXPECT_EQ(ints.GetCount(), 1u); // untouched when the entry is missing
}

TEST_F(CfgDocTest, DottedNamesArePlainNames)
{
    GCfgDataDoc doc;
    ASSERT_EQ(doc.Load(m_folder.WriteFile("d.cfg", "\"a.b\" = [1, 2]\na = { b = [7] }\n").c_str(), 0), 1);
    GIntArray ints;
    ASSERT_EQ(doc.GetAttributeIntList("a.b", ints, ","), 1);
    ASSERT_EQ(ints.GetCount(), 2u);
    EXPECT_EQ(ints[1], 2);
    EXPECT_EQ(doc.GetAttributeInt("a.b", 0), 1);
    EXPECT_EQ(doc.GetChild("a.b"), nullptr);
}

TEST_F(CfgDocTest, SettersAndTextRoundTrip)
{
    GCfgDataDoc doc;
    ASSERT_EQ(doc.Load(m_folder.WriteFile("r.cfg", "v = 0\nkeep = [a, b]\nobj = { x = 1 }\n").c_str(), 0), 1);
    GIntArray list;
    list.Add(1);
    list.Add(2);
    list.Add(3);
    EXPECT_EQ(doc.SetAttributeIntList("v", list, ","), 1);
    EXPECT_EQ(doc.SetAttributeInt("n", -5), 1);
    EXPECT_EQ(doc.SetAttributeFloat("f", 0.25f), 1);
    EXPECT_EQ(doc.SetAttributeString("s", GWString(u"\u0410 b")), 1);
    GFloatArray floats;
    EXPECT_EQ(doc.SetAttributeFloatList("fl", floats, ","), 0); // empty: nothing changes
    floats.Add(1.5f);
    EXPECT_EQ(doc.SetAttributeFloatList("fl", floats, ","), 1);
    EXPECT_EQ(doc.SetAttributeInt("", 1), 0);
    EXPECT_EQ(doc.SetAttributeInt(nullptr, 1), 0);
    GDataDoc* obj = doc.GetChild("obj");
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->SetAttributeInt("x", 42), 1);

    ASSERT_EQ(doc.Save(m_folder.Path("r.cfg").c_str(), 0), 1);
    const std::string text = ReadFileBytes(m_folder.Path("r.cfg"));
    EXPECT_NE(text.find("v = [1, 2, 3]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("f = 0.250000\n"), std::string::npos) << text;
    EXPECT_NE(text.find("s = \"\xC0 b\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("   x = 42\n"), std::string::npos) << text;

    GCfgDataDoc again;
    ASSERT_EQ(again.Load(m_folder.Path("r.cfg").c_str(), 0), 1);
    EXPECT_TRUE(*again.GetNode() == *doc.GetNode());
    EXPECT_EQ(again.GetAttributeInt("n", 0), -5);
    EXPECT_EQ(again.GetAttributeString("s", "").View(), u"\u0410 b");
    EXPECT_EQ(again.GetChild("obj")->GetAttributeInt("x", 0), 42);
}

TEST_F(CfgDocTest, ScrambledBinaryRoundTrip)
{
    GCfgDataDoc doc;
    ASSERT_EQ(doc.Load(m_folder.WriteFile("b.cfg", "title = secretword\nitem = { id = 1 }\nitem = { id = 2 nested = { z = deep } }\n").c_str(), 0), 1);
    ASSERT_EQ(doc.Save(m_folder.Path("b.bin").c_str(), 0x5D), 1);
    const std::string bytes = ReadFileBytes(m_folder.Path("b.bin"));
    EXPECT_EQ(bytes.substr(0, 3), "CFG");
    EXPECT_EQ(bytes.find("secretword"), std::string::npos);
    EXPECT_EQ(bytes.find("deep"), std::string::npos);

    GCfgDataDoc back;
    ASSERT_EQ(back.Load(m_folder.Path("b.bin").c_str(), 0x5D), 1);
    EXPECT_TRUE(*back.GetNode() == *doc.GetNode());
    GDataDoc* second = back.GetNextSibling(back.GetChild("item"), nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(Str(second->GetChild("nested")->GetAttributeString("z", "")), "deep");

    // A text file is no binary file, and a binary file is no text.
    GCfgDataDoc wrong;
    EXPECT_EQ(wrong.Load(m_folder.Path("b.cfg").c_str(), 0x5D), 0);
    EXPECT_EQ(wrong.GetKind(), GCfgDataDoc::kEmptyRoot);
}

TEST_F(CfgDocTest, FailedLoadLeavesNothingToSaveOverTheFile)
{
    const std::string good = m_folder.WriteFile("g.cfg", "a = 1\n");
    const std::string broken = m_folder.WriteFile("x.cfg", "a = 1\nb = { c = 2\n");
    GCfgDataDoc doc;
    ASSERT_EQ(doc.Load(good.c_str(), 0), 1);

    EXPECT_EQ(doc.Load(broken.c_str(), 0), 0);
    EXPECT_EQ(doc.GetKind(), GCfgDataDoc::kEmptyRoot);
    EXPECT_EQ(doc.GetAttributeInt("a", -1), -1);
    // The half-read tree is not written back over the broken file.
    EXPECT_EQ(doc.Save(broken.c_str(), 0), 0);
    EXPECT_EQ(ReadFileBytes(m_folder.Path("x.cfg")), "a = 1\nb = { c = 2\n");

    EXPECT_EQ(doc.Load(m_folder.Path("missing.cfg").c_str(), 0), 0);
    EXPECT_EQ(doc.Load(m_folder.WriteFile("e.cfg", "").c_str(), 0), 0);
    EXPECT_EQ(doc.Load(nullptr, 0), 0);
}

TEST_F(CfgDocTest, FailedSaveReportsFailureAndKeepsTheOldFile)
{
    const std::string path = m_folder.WriteFile("k.cfg", "a = 1\n");
    GCfgDataDoc doc;
    ASSERT_EQ(doc.Load(path.c_str(), 0), 1);
    // A text holding both quote characters has no cfg text form.
    ASSERT_EQ(doc.SetAttributeString("q", GWString("say \"it's\"")), 1);
    EXPECT_EQ(doc.Save(path.c_str(), 0), 0);
    EXPECT_EQ(ReadFileBytes(m_folder.Path("k.cfg")), "a = 1\n");
    // The binary form carries any bytes.
    EXPECT_EQ(doc.Save(m_folder.Path("k.bin").c_str(), 9), 1);

    // No folder to write into.
    EXPECT_EQ(doc.Save(m_folder.Path("no/such/folder/k.cfg").c_str(), 9), 0);
    ASSERT_EQ(doc.SetAttributeString("q", GWString("plain")), 1);
    EXPECT_EQ(doc.Save(m_folder.Path("no/such/folder/k.cfg").c_str(), 0), 0);
    EXPECT_EQ(doc.Save(nullptr, 0), 0);
    EXPECT_EQ(doc.Save("", 0), 0);
    EXPECT_EQ(doc.Save(path.c_str(), 0), 1);
}

TEST_F(CfgDocTest, ReloadReplacesTreeAndNodeDocuments)
{
    GCfgDataDoc doc;
    ASSERT_EQ(doc.Load(m_folder.WriteFile("1.cfg", "o = { v = 1 }\n").c_str(), 0), 1);
    ASSERT_NE(doc.GetChild("o"), nullptr);
    ASSERT_EQ(doc.Load(m_folder.WriteFile("2.cfg", "o = { v = 2 }\no = { v = 3 }\n").c_str(), 0), 1);
    GDataDoc* first = doc.GetChild("o");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetAttributeInt("v", 0), 2);
    EXPECT_EQ(doc.GetNextSibling(first, nullptr)->GetAttributeInt("v", 0), 3);
}
