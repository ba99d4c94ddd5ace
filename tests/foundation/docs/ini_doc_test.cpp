#include "foundation/docs/ini_data_doc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "foundation/files/xor_scramble.h"
#include "support/foundation_values.h"
#include "support/temp_files.h"

namespace fs = std::filesystem;
using namespace tolvanrise::test;

namespace {

using Entries = std::vector<std::string>;

class IniDocTest : public testing::Test {
protected:
    std::string Write(const std::string& name, std::string bytes, uint8_t key = 0)
    {
        if (key)
            XorScramble(bytes.data(), nullptr, static_cast<uint32_t>(bytes.size()), key);
        return m_folder.WriteFile(name, bytes);
    }
    void LoadText(GIniDataDoc& doc, const std::string& text) { ASSERT_EQ(doc.Load(Write("o.ini", text).c_str(), 0), 1); }

    TempFolder m_folder{"ini_doc_", fs::current_path()};
};

// A section's entries as "key|value".
Entries Section(const GIniDataDoc& doc, uint32_t section)
{
    Entries out;
    if (const GIniDataDoc::Section* s = doc.GetSection(section))
        for (const auto& entry : *s)
            out.push_back(Narrow(GWString(entry.key)) + "|" + Narrow(GWString(entry.value)));
    return out;
}

} // namespace

TEST_F(IniDocTest, SectionsLinesKeysAndValues)
{
    GIniDataDoc doc;
    LoadText(doc, "a=1\n[Game]\nspeed=3\n");
    ASSERT_EQ(doc.GetSectionCount(), 2u);
    EXPECT_EQ(Section(doc, 0), Entries{"a|1"});
    EXPECT_EQ(Section(doc, 1), (Entries{"[Game]|", "speed|3"}));

    ASSERT_EQ(doc.GetChild(nullptr), &doc);
    EXPECT_EQ(doc.GetAttributeInt("a", 0), 1);
    EXPECT_EQ(doc.GetAttributeInt("speed", 0), 0);
    ASSERT_EQ(doc.GetNextSibling(&doc, nullptr), &doc);
    EXPECT_EQ(doc.GetAttributeInt("speed", 0), 3);
    EXPECT_EQ(Narrow(doc.GetAttributeString("[Game]", "?")), "");
    EXPECT_EQ(doc.GetNextSibling(&doc, nullptr), nullptr);
    EXPECT_EQ(doc.GetAttributeInt("speed", -1), -1);

    // Section 0 exists without entries; after a load the loader stands on the last section.
    LoadText(doc, "[Only]\nk=v\n");
    ASSERT_EQ(doc.GetSectionCount(), 2u);
    EXPECT_TRUE(doc.GetSection(0)->empty());
    EXPECT_EQ(doc.GetCurrentSection(), 1);
    EXPECT_EQ(Narrow(doc.GetAttributeString("k", "?")), "v");

    // Lines of nothing but '=' (after trimming) are skipped; a line without '=' is a key with
    // no value; keys and values are not trimmed inside the line.
    LoadText(doc, "a=b=c\n=x\nkey=\nk==v\n=\n===\n  =  \np = q\nlast");
    EXPECT_EQ(Section(doc, 0), (Entries{"a|b", "x|", "key|", "k|v", "p | q", "last|"}));

    LoadText(doc, "; c1\r\n# c2\r\n/ c3\r\n\\ c4\r\n  ;indented comment\rx=1;2#3\r\n\r\n\t\r\n[S]\r\ny=\t2\t\r\n");
    ASSERT_EQ(doc.GetSectionCount(), 2u);
    EXPECT_EQ(Section(doc, 0), Entries{"x|1;2#3"});
    // A tab inside a line stays there; the line's own ends are trimmed.
    EXPECT_EQ(Section(doc, 1), (Entries{"[S]|", "y|\t2"}));
    EXPECT_EQ(doc.GetAttributeInt("y", 0), 2);

    LoadText(doc, "speed = 3\nratio = 2.5\n");
    doc.GetChild(nullptr);
    EXPECT_EQ(doc.GetAttributeInt("speed", -1), -1);
    // The scan skips the value's leading blank.
    EXPECT_EQ(doc.GetAttributeInt("speed ", -1), 3);
    EXPECT_FLOAT_EQ(doc.GetAttributeFloat("ratio ", -1.0f), 2.5f);
    EXPECT_EQ(Narrow(doc.GetAttributeString("speed ", "?")), " 3");
}

TEST_F(IniDocTest, NumbersHighBytesByteOrderMarkAndScrambling)
{
    // Numbers that are not numbers leave the default.
    GIniDataDoc doc;
    LoadText(doc, "n=abc\nf=x1.5\ni=-12px\nh=0x1F\nbig=99999999999\ne=1e3\n");
    doc.GetChild(nullptr);
    EXPECT_EQ((std::vector<int32_t>{doc.GetAttributeInt("n", 42), doc.GetAttributeInt("i", 0),
                                    doc.GetAttributeInt("h", 5), doc.GetAttributeInt("missing", 8),
                                    doc.GetAttributeInt(nullptr, 8)}),
              (std::vector<int32_t>{42, -12, 0, 8, 8}));
    EXPECT_EQ((std::vector<float>{doc.GetAttributeFloat("f", 4.5f), doc.GetAttributeFloat("e", 0.0f)}),
              (std::vector<float>{4.5f, 1000.0f}));
    EXPECT_EQ(Narrow(doc.GetAttributeString("missing", "dflt")), "dflt");

    // High bytes, a byte-order mark, scrambling.
    LoadText(doc, "\xE8\xEC\xFF=\xC0\xED\xED\xE0\n");
    EXPECT_EQ(Wide(doc.GetAttributeString("\xE8\xEC\xFF", "?")), u"\u0410\u043D\u043D\u0430");

    ASSERT_EQ(doc.Load(Write("bom.ini", "\xEF\xBB\xBF[S]\nname=\xD0\x90\n").c_str(), 0), 1);
    ASSERT_EQ(doc.GetSectionCount(), 2u);
    EXPECT_EQ(Section(doc, 1)[0], "[S]|");
    EXPECT_EQ(Wide(doc.GetAttributeString("name", "?")), u"\u0410");
    ASSERT_EQ(doc.LoadText(Write("u.ini", "name=\xD0\x90\n").c_str(), 1, 0), 1);
    EXPECT_EQ(Wide(doc.GetAttributeString("name", "?")), u"\u0410");

    ASSERT_EQ(doc.Load(Write("s.ini", "[Music]\nvolume=70\n", 0xA7).c_str(), 0xA7), 1);
    EXPECT_EQ(doc.GetAttributeInt("volume", 0), 70);
}

TEST_F(IniDocTest, SecondLoadStartsCleanAndFailedLoadKeepsTheOld)
{
    GIniDataDoc doc;
    // Empty: one section, nothing in it; read-only.
    EXPECT_TRUE(doc.GetChild(nullptr) == &doc && doc.GetNextSibling(&doc, nullptr) == nullptr);
    EXPECT_EQ((std::vector<int>{doc.GetAttributeInt("a", 6), doc.Save(m_folder.Path("x.ini").c_str(), 0),
                                doc.SetAttributeInt("a", 1)}),
              (std::vector<int>{6, 0, 0}));

    LoadText(doc, "a=1\n[X]\nb=2\n");
    ASSERT_EQ(doc.Load(Write("two.ini", "c=3\n").c_str(), 0), 1);
    EXPECT_EQ(Section(doc, 0), Entries{"c|3"});
    EXPECT_EQ(doc.GetSectionCount(), 1u);
    EXPECT_EQ(doc.Load(m_folder.Path("missing.ini").c_str(), 0), 0);
    EXPECT_EQ(doc.Load(Write("empty.ini", "").c_str(), 0), 0);
    EXPECT_EQ(Section(doc, 0), Entries{"c|3"});

    const std::string text = "[S]\nk=v";
    auto bytes = std::make_unique<uint8_t[]>(text.size());
    std::memcpy(bytes.get(), text.data(), text.size());
    ASSERT_EQ(doc.LoadTextFromBytes(bytes.get(), text.size(), 0), 1);
    EXPECT_EQ(Narrow(doc.GetAttributeString("k", "?")), "v");
    const uint8_t brackets[] = {'[', ']'};
    ASSERT_EQ(doc.LoadTextFromBytes(brackets, 2, 0), 1);
    EXPECT_EQ(doc.GetSectionCount(), 2u);
    const uint8_t open[] = {'['};
    ASSERT_EQ(doc.LoadTextFromBytes(open, 1, 0), 1);
    EXPECT_EQ(Section(doc, 0), Entries{"[|"});
}
