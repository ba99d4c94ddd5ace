#include "foundation/docs/parse_status.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "foundation/files/xor_scramble.h"
#include "support/temp_files.h"

namespace fs = std::filesystem;

namespace {

int32_t Parse(GParseStatus& table, const std::string& text)
{
    return table.ParseText(text.data(), static_cast<uint32_t>(text.size()));
}

std::string Key(GParseStatus& table, uint32_t i)
{
    return table.GetAt(i) ? table.GetAt(i)->key.c_str() : "<none>";
}

std::string Value(GParseStatus& table, uint32_t i)
{
    return table.GetAt(i) ? table.GetAt(i)->value.c_str() : "<none>";
}

class PackFolder : public testing::Test {
protected:
    void WritePack(int number, std::string bytes, uint8_t key = 0)
    {
        if (key)
            XorScramble(bytes.data(), nullptr, static_cast<uint32_t>(bytes.size()), key);
        m_folder.WriteFile("Data" + std::to_string(number) + ".dat", bytes);
    }
    const std::string& Folder() const { return m_folder.Path(); }

    tolvanrise::test::TempFolder m_folder{"kv_packs_", fs::current_path()};
};

} // namespace

TEST(ParseStatus, SetErrorKeepsTheFirstError)
{
    GParseStatus table;
    table.SetError(10, 3);
    table.SetError(2, 1);
    EXPECT_EQ(table.GetStatus(), 3);
    EXPECT_EQ(table.GetPosition(), 10);
}

TEST(ParseStatus, EntriesWithAndWithoutValues)
{
    const std::string text = "  speed = {fast}\nmode={a=b}";
    GParseStatus table;
    EXPECT_EQ(Parse(table, text), GParseStatus::kOk);
    ASSERT_EQ(table.GetCount(), 2u);
    EXPECT_EQ(Key(table, 0), "speed");
    EXPECT_EQ(Value(table, 0), "fast");
    EXPECT_EQ(Key(table, 1), "mode");
    EXPECT_EQ(Value(table, 1), "a=b");

    GParseStatus names;
    names.SetStoreValues(0);
    EXPECT_EQ(Parse(names, text), GParseStatus::kOk);
    ASSERT_EQ(names.GetCount(), 2u);
    EXPECT_EQ(Key(names, 0), "speed");
    EXPECT_EQ(Value(names, 0), "");
    EXPECT_EQ(Key(names, 1), "mode");
    EXPECT_EQ(Value(names, 1), "");
}

TEST(ParseStatus, ValuesKeepBlanksAndLineBreaks)
{
    GParseStatus table;
    EXPECT_EQ(Parse(table, "msg = { two\r\nlines }\r\nnext={\xE0\xFF}"), GParseStatus::kOk);
    ASSERT_EQ(table.GetCount(), 2u);
    EXPECT_EQ(Value(table, 0), " two\r\nlines ");
    // Bytes above 127 are ordinary bytes.
    EXPECT_EQ(Value(table, 1), "\xE0\xFF");
    GString wanted("next");
    ASSERT_NE(table.FindValue(wanted), nullptr);
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
        {"", 0, 0, 0},
        {"a = {b}", 0, 0, 1},
        {"a {b}", 2, 2, 0},
        {"a = {b", 4, 6, 0},
        {"a = {b}}}", 3, 7, 1},
        {"a = {b{c}}", 2, 6, 0},
        {"a = }", 3, 4, 0},
        {"x={1} y={2} z={", 4, 15, 2},
        {"x={1} dangling", 0, 0, 1}, // a partial name at the end is dropped quietly
        {"}", 3, 0, 0},
    };
    for (const Case& c : cases) {
        GParseStatus table;
        EXPECT_EQ(Parse(table, c.text), c.status) << c.text;
        EXPECT_EQ(table.GetPosition(), c.position) << c.text;
        EXPECT_EQ(table.GetCount(), c.entries) << c.text;
    }
}

TEST(ParseStatus, NamesLoseOuterBlanksOnly)
{
    GParseStatus table;
    EXPECT_EQ(Parse(table, "   two words   = {v}\n\t tab={w}"), 0);
    ASSERT_EQ(table.GetCount(), 2u);
    EXPECT_EQ(Key(table, 0), "two words");
    // Only byte 32 is trimmed; a tab is part of the name.
    EXPECT_EQ(Key(table, 1), "\t tab");
}

TEST(ParseStatus, TextNeedsNoTerminatorAndMayHoldZeroBytes)
{
    // The buffer ends without a zero byte: the reader must stop at the given length.
    const char bytes[] = {'k', '=', '{', 'v', 0, 'w', '}', 'x', '=', '{', 'y'};
    GParseStatus table;
    EXPECT_EQ(table.ParseText(bytes, sizeof(bytes)), GParseStatus::kLastEntryOpen);
    EXPECT_EQ(table.GetPosition(), static_cast<int32_t>(sizeof(bytes)));
    ASSERT_EQ(table.GetCount(), 1u);
    EXPECT_EQ(Value(table, 0), "vw");
    EXPECT_EQ(table.ParseText(nullptr, 5), GParseStatus::kLastEntryOpen);
}

TEST(ParseStatus, ParseAddsToExistingEntries)
{
    GParseStatus table;
    Parse(table, "a={1}");
    Parse(table, "b={2}");
    ASSERT_EQ(table.GetCount(), 2u);
    GStringArray keys = table.GetKeys();
    ASSERT_EQ(keys.GetCount(), 2u);
    EXPECT_STREQ(keys[0].c_str(), "a");
    EXPECT_STREQ(keys[1].c_str(), "b");
}

TEST(ParseStatus, LongValueAndManyEntries)
{
    std::string text;
    for (int i = 0; i < 600; ++i)
        text += "k" + std::to_string(i) + "={" + std::string(static_cast<size_t>(i), 'v') + "}\n";
    GParseStatus table;
    EXPECT_EQ(Parse(table, text), 0);
    ASSERT_EQ(table.GetCount(), 600u);
    EXPECT_EQ(Key(table, 599), "k599");
    EXPECT_EQ(Value(table, 599).size(), 599u);
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

TEST_F(PackFolder, MissingPackIsStatusOne)
{
    GParseStatus table;
    EXPECT_EQ(table.LoadFromPack(7, Folder().c_str(), 0, 1), GParseStatus::kFileNotFound);
    EXPECT_EQ(table.GetPosition(), 0);
    EXPECT_EQ(table.GetCount(), 0u);
    WritePack(8, "");
    EXPECT_EQ(table.LoadFromPack(8, Folder().c_str(), 0, 1), GParseStatus::kFileNotFound);
}

TEST_F(PackFolder, PlainAndScrambledPacks)
{
    WritePack(1, "name = {Anna}\nlevel={3}");
    WritePack(2, "name = {Boris}\r\n", 0x5A);

    GParseStatus table;
    EXPECT_EQ(table.LoadFromPack(1, Folder().c_str(), 0, 1), GParseStatus::kOk);
    ASSERT_EQ(table.GetCount(), 2u);
    EXPECT_EQ(Value(table, 0), "Anna");
    EXPECT_EQ(Value(table, 1), "3");

    // A second load replaces the entries and the status of the first.
    EXPECT_EQ(table.LoadFromPack(2, Folder().c_str(), 0x5A, 1), GParseStatus::kOk);
    ASSERT_EQ(table.GetCount(), 1u);
    EXPECT_EQ(Value(table, 0), "Boris");

    // The wrong key gives garbage, but never a crash; with names only, values stay empty.
    table.LoadFromPack(2, Folder().c_str(), 0x11, 1);
    EXPECT_EQ(table.LoadFromPack(1, Folder().c_str(), 0, 0), GParseStatus::kOk);
    ASSERT_EQ(table.GetCount(), 2u);
    EXPECT_EQ(Value(table, 0), "");
    EXPECT_EQ(table.GetStoreValues(), 0);
}

TEST_F(PackFolder, ErrorInPackKeepsEarlierEntries)
{
    WritePack(3, "a={1}\nb={2}}\nc={3}");
    GParseStatus table;
    EXPECT_EQ(table.LoadFromPack(3, Folder().c_str(), 0, 1), GParseStatus::kSurplusCloseBrace);
    EXPECT_EQ(table.GetPosition(), 11);
    EXPECT_EQ(table.GetCount(), 2u);
}
