#include "foundation/docs/parse_status.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

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
    EXPECT_EQ(Parse(table, text), GParseStatus::kOk);
    EXPECT_EQ(All(table), (Entries{"speed=fast", "mode=a=b"}));
    GParseStatus names;
    names.SetStoreValues(0);
    EXPECT_EQ(Parse(names, text), GParseStatus::kOk);
    EXPECT_EQ(All(names), (Entries{"speed=", "mode="}));

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
    EXPECT_EQ(Parse(big, many), 0);
    EXPECT_EQ(All(big).back(), "k599=" + std::string(599, 'v'));
    EXPECT_EQ(big.GetCount(), 600u);
}

TEST(ParseStatus, StatusesAndFirstErrorPosition)
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
    EXPECT_EQ(open.ParseText(bytes, sizeof(bytes)), GParseStatus::kLastEntryOpen);
    EXPECT_EQ(open.GetPosition(), static_cast<int32_t>(sizeof(bytes)));
    EXPECT_EQ(All(open), Entries{"k=vw"});
    EXPECT_EQ(open.ParseText(nullptr, 5), GParseStatus::kLastEntryOpen);
}

TEST(ParseStatus, Messages)
{
    GParseStatus table;
    EXPECT_STREQ(table.BuildMessage().c_str(), "\xCE\xF8\xE8\xE1\xEA\xE8 \xED\xE5 \xEE\xE1\xED\xE0\xF0\xF3\xE6\xE5\xED\xFB");
    Parse(table, "a = {b");
    EXPECT_STREQ(table.BuildMessage().c_str(),
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
}
