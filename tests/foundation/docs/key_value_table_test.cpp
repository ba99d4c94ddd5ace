#include "foundation/docs/parse_status.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "foundation/docs/data_doc_text.h"
#include "foundation/docs/ini_data_doc.h"
#include "foundation/files/xor_scramble.h"
#include "support/foundation_values.h"
#include "support/temp_files.h"

namespace fs = std::filesystem;

namespace {

using Entries = std::vector<std::string>;

int32_t Parse(GParseStatus& table, const std::string& text)
{
    return table.ParseText(text.data(), static_cast<uint32_t>(text.size()));
}

// Every entry as "key=value".
Entries All(GParseStatus& table)
{
    Entries out;
    for (uint32_t i = 0; table.GetAt(i); ++i)
        out.push_back(std::string(table.GetAt(i)->key.c_str()) + "=" + table.GetAt(i)->value.c_str());
    return out;
}

class PackFolder : public testing::Test {
protected:
    void WritePack(int number, std::string bytes, uint8_t key = 0)
    {
        if (key)
            XorScramble(bytes.data(), nullptr, static_cast<uint32_t>(bytes.size()), key);
        m_folder.WriteFile("Data" + std::to_string(number) + ".dat", bytes);
    }
    const char* Folder() const { return m_folder.Path().c_str(); }

    tolvanrise::test::TempFolder m_folder{"kv_packs_", fs::current_path()};
};

} // namespace

TEST(ParseStatus, Entries)
{
    const std::string text = "  speed = {fast}\nmode={a=b}";
    GParseStatus table;
    EXPECT_EQ((std::tuple{Parse(table, text), All(table)}),
              std::tuple(GParseStatus::kOk, Entries{"speed=fast", "mode=a=b"}));
    GParseStatus names;
    names.SetStoreValues(0);
    EXPECT_EQ((std::tuple{Parse(names, text), All(names)}),
              std::tuple(GParseStatus::kOk, Entries{"speed=", "mode="}));

    // Values keep blanks and line breaks; bytes above 127 are ordinary bytes; names lose
    // outer spaces only (a tab is part of the name).
    GParseStatus kept;
    EXPECT_EQ(Parse(kept, "msg = { two\r\nlines }\r\nnext={\xE0\xFF}   two words   = {v}\n\t tab={w}"), 0);
    EXPECT_EQ(All(kept), (Entries{"msg= two\r\nlines ", "next=\xE0\xFF", "two words=v", "\t tab=w"}));
    EXPECT_NE(kept.FindValue(GString("next")), nullptr);

    // Parsing again adds to the entries.
    Parse(table, "b={2}");
    EXPECT_EQ(tolvanrise::test::StringList(table.GetKeys()), (Entries{"speed", "mode", "b"}));

    std::string many;
    for (int i = 0; i < 600; ++i)
        many += "k" + std::to_string(i) + "={" + std::string(static_cast<size_t>(i), 'v') + "}\n";
    GParseStatus big;
    EXPECT_EQ((std::tuple{Parse(big, many), All(big).back(), big.GetCount()}),
              std::tuple(0, "k599=" + std::string(599, 'v'), 600u));
}

TEST(ParseStatus, StatusesFirstErrorPositionAndMessages)
{
    struct Case {
        std::string text;
        int32_t status;
        int32_t position;
        uint32_t entries;
    };
    const Case cases[] = {
        {"", 0, 0, 0},         {"a = {b}", 0, 0, 1},    {"a {b}", 2, 2, 0},          {"a = {b", 4, 6, 0},
        {"a = {b}}}", 3, 7, 1}, {"a = {b{c}}", 2, 6, 0}, {"a = }", 3, 4, 0},          {"}", 3, 0, 0},
        {"x={1} y={2} z={", 4, 15, 2},
        {"x={1} dangling", 0, 0, 1}, // a partial name at the end is dropped quietly
    };
    for (const Case& c : cases) {
        GParseStatus table;
        const int32_t status = Parse(table, c.text);
        EXPECT_EQ((std::vector<int64_t>{status, table.GetPosition(), table.GetCount()}),
                  (std::vector<int64_t>{c.status, c.position, c.entries}))
            << c.text;
    }
    // The first error stays.
    GParseStatus table;
    table.SetError(10, 3);
    table.SetError(2, 1);
    EXPECT_EQ(std::pair(table.GetStatus(), table.GetPosition()), std::pair(3, 10));

    // The buffer ends without a zero byte: the reader must stop at the given length.
    const char bytes[] = {'k', '=', '{', 'v', 0, 'w', '}', 'x', '=', '{', 'y'};
    GParseStatus open;
    EXPECT_EQ((std::tuple{open.ParseText(bytes, sizeof(bytes)), open.GetPosition(), All(open)}),
              std::tuple(GParseStatus::kLastEntryOpen, static_cast<int32_t>(sizeof(bytes)), Entries{"k=vw"}));
    EXPECT_EQ(open.ParseText(nullptr, 5), GParseStatus::kLastEntryOpen);

    GParseStatus message;
    EXPECT_STREQ(message.BuildMessage().c_str(), "\xCE\xF8\xE8\xE1\xEA\xE8 \xED\xE5 \xEE\xE1\xED\xE0\xF0\xF3\xE6\xE5\xED\xFB");
    Parse(message, "a = {b");
    EXPECT_STREQ(message.BuildMessage().c_str(),
                 "\xCD\xE5 \xE7\xE0\xE2\xE5\xF0\xF8\xE5\xED\xEE \xEF\xEE\xF1\xEB\xE5\xE4\xED\xE5\xE5 "
                 "\xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE5 \xCF\xEE\xE7\xE8\xF6\xE8\xFF 6");
    GParseStatus early;
    early.SetError(1, 3);
    // Positions below 2 are not shown.
    EXPECT_STREQ(early.BuildMessage().c_str(), "\xCB\xE8\xF8\xED\xED\xE8\xE9 \xF1\xE8\xEC\xE2\xEE\xEB '}'");
}

TEST_F(PackFolder, Packs)
{
    GParseStatus table;
    WritePack(8, "");
    for (int missing : {7, 8})
        EXPECT_EQ(table.LoadFromPack(missing, Folder(), 0, 1), GParseStatus::kFileNotFound) << missing;
    EXPECT_EQ(std::pair(table.GetPosition(), table.GetCount()), std::pair(0, 0u));

    WritePack(1, "name = {Anna}\nlevel={3}");
    WritePack(2, "name = {Boris}\r\n", 0x5A);
    EXPECT_EQ(table.LoadFromPack(1, Folder(), 0, 1), GParseStatus::kOk);
    EXPECT_EQ(All(table), (Entries{"name=Anna", "level=3"}));
    // A second load replaces the entries and the status of the first.
    EXPECT_EQ(table.LoadFromPack(2, Folder(), 0x5A, 1), GParseStatus::kOk);
    EXPECT_EQ(All(table), Entries{"name=Boris"});
    // The wrong key gives garbage, but never a crash; with names only, values stay empty.
    table.LoadFromPack(2, Folder(), 0x11, 1);
    EXPECT_EQ(table.LoadFromPack(1, Folder(), 0, 0), GParseStatus::kOk);
    EXPECT_EQ(All(table), (Entries{"name=", "level="}));
    EXPECT_EQ(table.GetStoreValues(), 0);

    // An error keeps the entries before it.
    WritePack(3, "a={1}\nb={2}}\nc={3}");
    EXPECT_EQ(table.LoadFromPack(3, Folder(), 0, 1), GParseStatus::kSurplusCloseBrace);
    EXPECT_EQ(std::pair(table.GetPosition(), table.GetCount()), std::pair(11, 2u));
    // The next load starts over: no error, no position, only its own entries.
    EXPECT_EQ(table.LoadFromPack(1, Folder(), 0, 1), GParseStatus::kOk);
    EXPECT_EQ((std::tuple{table.GetPosition(), All(table)}), (std::tuple{0, Entries{"name=Anna", "level=3"}}));
}

// ---- ini documents ----
using namespace tolvanrise::test;

namespace {

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
    EXPECT_EQ(std::pair(doc.GetAttributeInt("a", 0), doc.GetAttributeInt("speed", 0)), std::pair(1, 0));
    ASSERT_EQ(doc.GetNextSibling(&doc, nullptr), &doc);
    EXPECT_EQ(std::pair(doc.GetAttributeInt("speed", 0), Narrow(doc.GetAttributeString("[Game]", "?"))),
              std::pair(3, std::string()));
    EXPECT_EQ(doc.GetNextSibling(&doc, nullptr), nullptr);
    EXPECT_EQ(doc.GetAttributeInt("speed", -1), -1);

    // Section 0 exists without entries; after a load the loader stands on the last section.
    LoadText(doc, "[Only]\nk=v\n");
    EXPECT_EQ((std::tuple{doc.GetSectionCount(), Section(doc, 0), doc.GetCurrentSection(),
                          Narrow(doc.GetAttributeString("k", "?"))}),
              std::tuple(2u, Entries{}, 1, std::string("v")));

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

TEST_F(IniDocTest, NumbersHighBytesByteOrderMarkScramblingAndReloads)
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

    // A second load starts clean and a failed load keeps the old.
    GIniDataDoc fresh;
    // Empty: one section, nothing in it; read-only.
    EXPECT_TRUE(fresh.GetChild(nullptr) == &fresh && fresh.GetNextSibling(&fresh, nullptr) == nullptr);
    EXPECT_EQ((std::vector<int>{fresh.GetAttributeInt("a", 6), fresh.Save(m_folder.Path("x.ini").c_str(), 0),
                                fresh.SetAttributeInt("a", 1)}),
              (std::vector<int>{6, 0, 0}));

    LoadText(fresh, "a=1\n[X]\nb=2\n");
    ASSERT_EQ(fresh.Load(Write("two.ini", "c=3\n").c_str(), 0), 1);
    EXPECT_EQ(Section(fresh, 0), Entries{"c|3"});
    EXPECT_EQ(fresh.GetSectionCount(), 1u);
    EXPECT_EQ(fresh.Load(m_folder.Path("missing.ini").c_str(), 0), 0);
    EXPECT_EQ(fresh.Load(Write("empty.ini", "").c_str(), 0), 0);
    EXPECT_EQ(Section(fresh, 0), Entries{"c|3"});

    const std::string text = "[S]\nk=v";
    auto bytes = std::make_unique<uint8_t[]>(text.size());
    std::memcpy(bytes.get(), text.data(), text.size());
    ASSERT_EQ(fresh.LoadTextFromBytes(bytes.get(), text.size(), 0), 1);
    EXPECT_EQ(Narrow(fresh.GetAttributeString("k", "?")), "v");
    const uint8_t brackets[] = {'[', ']'};
    ASSERT_EQ(fresh.LoadTextFromBytes(brackets, 2, 0), 1);
    EXPECT_EQ(fresh.GetSectionCount(), 2u);
    const uint8_t open[] = {'['};
    ASSERT_EQ(fresh.LoadTextFromBytes(open, 1, 0), 1);
    EXPECT_EQ(Section(fresh, 0), Entries{"[|"});

    // The readings the documents share say what they did: a scan without a number says so and
    // keeps the value; a file that cannot be read, or is empty, gives false and no bytes.
    int32_t scannedInt = 7;
    float scannedFloat = 7.0f;
    EXPECT_EQ((std::vector<bool>{datadoc::ScanInt("x", scannedInt), datadoc::ScanFloat("-", scannedFloat),
                                 datadoc::ScanInt(" -3", scannedInt), datadoc::ScanFloat(" .5", scannedFloat)}),
              (std::vector<bool>{false, false, true, true}));
    EXPECT_EQ(std::pair(scannedInt, scannedFloat), std::pair(-3, 0.5f));
    const std::string emptyFile = Write("none.ini", "");
    const std::string missingFile = m_folder.Path("missing.ini");
    std::vector<const char*> unreadable{nullptr, "", missingFile.c_str(), emptyFile.c_str()};
    // A kernel status file claims a whole page and holds one line: the read comes up short.
    const char* const shortFile = "/sys/devices/system/cpu/online";
    if (fs::is_regular_file(shortFile))
        unreadable.push_back(shortFile);
    for (const char* name : unreadable) {
        std::vector<uint8_t> read{1};
        EXPECT_FALSE(datadoc::ReadFileBytes(name, 0, read)) << (name ? name : "null");
        EXPECT_TRUE(read.empty());
    }
    std::vector<uint8_t> read;
    EXPECT_TRUE(datadoc::ReadFileBytes(Write("one.ini", "a", 0x21).c_str(), 0x21, read));
    EXPECT_EQ(read, std::vector<uint8_t>{'a'});
}
