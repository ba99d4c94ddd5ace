#include "foundation/docs/table_data_doc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "foundation/text/wstring.h"
#include "foundation/files/xor_scramble.h"
#include "support/temp_files.h"

namespace fs = std::filesystem;

namespace {

using tolvanrise::test::TempFolder;

class TableDocTest : public testing::Test {
protected:
    std::string Write(const std::string& name, std::string bytes, uint8_t key = 0)
    {
        if (key)
            XorScramble(bytes.data(), nullptr, static_cast<uint32_t>(bytes.size()), key);
        return m_folder.WriteFile(name, bytes);
    }

    // Loads the text with header line 0 and walks to row 0.
    void LoadText(GTableDataDoc& doc, const std::string& text)
    {
        ASSERT_EQ(doc.Load(Write("t.csv", text).c_str(), 0), 1);
        ASSERT_EQ(doc.GetChild(nullptr), &doc);
    }

    TempFolder m_folder{"table_doc_", fs::current_path()};
};

std::string Str(const GWString& s)
{
    return s.GetNarrow();
}

} // namespace

TEST_F(TableDocTest, HeaderRowsAndWalk)
{
    GTableDataDoc doc;
    LoadText(doc, "#Name;Level;Score\nAnna;3;120\nBoris;7;45.5\n");
    EXPECT_EQ(doc.GetColumnCount(), 3u);
    EXPECT_EQ(doc.GetRowCount(), 2u);
    EXPECT_EQ(Str(doc.GetAttributeString("Name", "?")), "Anna");
    EXPECT_EQ(doc.GetAttributeInt("Level", -1), 3);
    EXPECT_FLOAT_EQ(doc.GetAttributeFloat("Score", -1.0f), 120.0f);
    ASSERT_EQ(doc.GetNextSibling(&doc, nullptr), &doc);
    EXPECT_EQ(Str(doc.GetAttributeString("Name", "?")), "Boris");
    EXPECT_FLOAT_EQ(doc.GetAttributeFloat("Score", -1.0f), 45.5f);
    EXPECT_EQ(doc.GetNextSibling(&doc, nullptr), nullptr);
    // Past the end every read gives the default, however far the walk goes on.
    EXPECT_EQ(doc.GetAttributeInt("Level", -1), -1);
    EXPECT_EQ(Str(doc.GetAttributeString("Name", "none")), "none");
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(doc.GetNextSibling(&doc, nullptr), nullptr);
    EXPECT_EQ(doc.GetCurrentRow(), 2);
    // GetChild starts again.
    doc.GetChild("ignored");
    EXPECT_EQ(Str(doc.GetAttributeString("Name", "?")), "Anna");
}

TEST_F(TableDocTest, LineEndsBlankLinesAndComments)
{
    GTableDataDoc doc;
    // CRLF, CR alone, blank lines and lines of blanks, and a later '#' line.
    LoadText(doc, "\r\n   \r\nName;Level\r\n\r\nAnna;1\r#comment;9\rBoris;2\n\t \nCyril;3");
    ASSERT_EQ(doc.GetRowCount(), 3u);
    EXPECT_EQ(Str(doc.GetAttributeString("Name", "")), "Anna");
    doc.GetNextSibling(&doc, nullptr);
    EXPECT_EQ(Str(doc.GetAttributeString("Name", "")), "Boris");
    doc.GetNextSibling(&doc, nullptr);
    // The last line needs no line end.
    EXPECT_EQ(doc.GetAttributeInt("Level", 0), 3);
}

TEST_F(TableDocTest, HeaderLineNumberCountsCommentsButNotBlankLines)
{
    GTableDataDoc doc;
    const std::string path = Write("h.csv", "title line\n\n# a comment\n#A;B\n1;2\n");
    ASSERT_EQ(doc.LoadSection(path.c_str(), 2, 0, 0), 1);
    // Line 0 is an ordinary row, line 1 the comment, line 2 the header.
    ASSERT_EQ(doc.GetRowCount(), 2u);
    doc.GetChild(nullptr);
    EXPECT_EQ(Str(doc.GetAttributeString("A", "?")), "title line");
    EXPECT_EQ(doc.GetAttributeInt("B", -1), -1); // row 0 has one field only
    doc.GetNextSibling(&doc, nullptr);
    EXPECT_EQ(doc.GetAttributeInt("B", -1), 2);

    // Without a header there is nothing to look up.
    GTableDataDoc headless;
    ASSERT_EQ(headless.LoadSection(path.c_str(), -1, 0, 0), 1);
    EXPECT_EQ(headless.GetColumnCount(), 0u);
    EXPECT_EQ(headless.GetRowCount(), 2u); // the '#' lines are comments
    headless.GetChild(nullptr);
    EXPECT_EQ(headless.GetAttributeInt("A", 5), 5);
}

TEST_F(TableDocTest, FieldsSplitAtEverySemicolonAndAreNotTrimmed)
{
    GTableDataDoc doc;
    LoadText(doc, "#A;B;C\na;;b\na;b;\n x ; y \nonly\nf1;f2;f3;extra");
    const auto* row0 = doc.GetRowFields(0);
    ASSERT_NE(row0, nullptr);
    ASSERT_EQ(row0->size(), 3u);
    EXPECT_EQ((*row0)[1], u"");
    ASSERT_EQ(doc.GetRowFields(1)->size(), 3u);
    EXPECT_EQ((*doc.GetRowFields(1))[2], u"");
    EXPECT_EQ(doc.GetRowFields(5), nullptr);

    EXPECT_EQ(Str(doc.GetAttributeString("B", "?")), "");
    doc.GetNextSibling(&doc, nullptr);
    doc.GetNextSibling(&doc, nullptr);
    // The line is trimmed, the fields inside it are not.
    EXPECT_EQ(Str(doc.GetAttributeString("A", "?")), "x ");
    EXPECT_EQ(Str(doc.GetAttributeString("B", "?")), " y");
    doc.GetNextSibling(&doc, nullptr);
    EXPECT_EQ(Str(doc.GetAttributeString("B", "short")), "short");
    doc.GetNextSibling(&doc, nullptr);
    // Extra fields are kept but no column reaches them.
    EXPECT_EQ(doc.GetRowFields(4)->size(), 4u);
    EXPECT_EQ(Str(doc.GetAttributeString("C", "?")), "f3");
    EXPECT_EQ(Str(doc.GetAttributeString("D", "?")), "?");
}

TEST_F(TableDocTest, NumbersReadAsFarAsTheyGo)
{
    GTableDataDoc doc;
    LoadText(doc, "#I;F\n12abc;2.5e1x\nabc;abc\n-7;-0.25\n010;0x10\n 4; 1.5\n");
    const int32_t ints[] = {12, 0, -7, 10, 4}; // the last line is trimmed before it is split
    const float floats[] = {25.0f, 0.0f, -0.25f, 0.0f, 1.5f};
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(doc.GetAttributeInt("I", 99), ints[row]) << row;
        EXPECT_FLOAT_EQ(doc.GetAttributeFloat("F", 99.0f), floats[row]) << row;
        doc.GetNextSibling(&doc, nullptr);
    }
}

TEST_F(TableDocTest, TabsAndOtherControlBytesStayInTheirField)
{
    GTableDataDoc doc;
    LoadText(doc, "#Name;Sound\nhit\tsoft;a\x01" "b\n");
    ASSERT_EQ(doc.GetRowCount(), 1u);
    EXPECT_EQ(Str(doc.GetAttributeString("Name", "?")), "hit\tsoft");
    EXPECT_EQ(doc.GetAttributeString("Sound", "?").View(), u"a\x01" "b");
}

TEST_F(TableDocTest, HighBytesAreTextNotControlBytes)
{
    // Windows-1251 Cyrillic: every byte is above 127.
    GTableDataDoc doc;
    LoadText(doc, "#\xC8\xEC\xFF;\xD3\xF0\xEE\xE2\xE5\xED\xFC\n\xC0\xED\xED\xE0;5\n");
    EXPECT_EQ(doc.GetAttributeString("\xC8\xEC\xFF", "?").View(), u"\u0410\u043D\u043D\u0430");
    EXPECT_EQ(doc.GetAttributeInt("\xD3\xF0\xEE\xE2\xE5\xED\xFC", 0), 5);
}

TEST_F(TableDocTest, Utf8FlagAndByteOrderMark)
{
    const std::string text = "#Name;Level\n\xD0\x90\xD0\xBD\xD0\xBD\xD0\xB0;1\n";
    GTableDataDoc flagged;
    ASSERT_EQ(flagged.LoadSection(Write("u.csv", text).c_str(), 0, 1, 0), 1);
    flagged.GetChild(nullptr);
    EXPECT_EQ(flagged.GetAttributeString("Name", "?").View(), u"\u0410\u043D\u043D\u0430");

    // With a byte-order mark the header is still found and the text is read as UTF-8.
    GTableDataDoc marked;
    ASSERT_EQ(marked.Load(Write("b.csv", "\xEF\xBB\xBF" + text).c_str(), 0), 1);
    EXPECT_EQ(marked.GetColumnCount(), 2u);
    marked.GetChild(nullptr);
    EXPECT_EQ(marked.GetAttributeString("Name", "?").View(), u"\u0410\u043D\u043D\u0430");
    EXPECT_EQ(marked.GetAttributeInt("Level", 0), 1);
}

TEST_F(TableDocTest, ScrambledLoad)
{
    const std::string text = "#file;volume\nhit.ogg;80\n";
    const std::string path = Write("s.csv", text, 0x3C);
    GTableDataDoc doc;
    ASSERT_EQ(doc.Load(path.c_str(), 0x3C), 1);
    doc.GetChild(nullptr);
    EXPECT_EQ(Str(doc.GetAttributeString("file", "?")), "hit.ogg");
    EXPECT_EQ(doc.GetAttributeInt("volume", 0), 80);

    // Read plain (or with another key) it is noise, but it still loads without harm.
    GTableDataDoc plain;
    EXPECT_EQ(plain.Load(path.c_str(), 0), 1);
    plain.GetChild(nullptr);
    EXPECT_EQ(plain.GetAttributeInt("volume", -3), -3);
}

TEST_F(TableDocTest, SecondLoadStartsCleanAndFailedLoadKeepsTheOld)
{
    GTableDataDoc doc;
    LoadText(doc, "#A\n1\n2\n");
    ASSERT_EQ(doc.Load(Write("second.csv", "#B\n9\n").c_str(), 0), 1);
    EXPECT_EQ(doc.GetRowCount(), 1u);
    EXPECT_EQ(doc.GetColumnCount(), 1u);
    EXPECT_EQ(doc.GetCurrentRow(), -1);
    doc.GetChild(nullptr);
    EXPECT_EQ(doc.GetAttributeInt("B", 0), 9);
    EXPECT_EQ(doc.GetAttributeInt("A", -1), -1);

    EXPECT_EQ(doc.Load(m_folder.Path("missing.csv").c_str(), 0), 0);
    EXPECT_EQ(doc.Load(Write("empty.csv", "").c_str(), 0), 0);
    EXPECT_EQ(doc.Load(nullptr, 0), 0);
    EXPECT_EQ(doc.Load(m_folder.Path().c_str(), 0), 0); // a folder
    EXPECT_EQ(doc.GetRowCount(), 1u);
    EXPECT_EQ(doc.GetAttributeInt("B", 0), 9);
}

TEST_F(TableDocTest, EmptyDocumentAndUnsupportedOperations)
{
    GTableDataDoc doc;
    EXPECT_EQ(doc.GetChild("x"), &doc);
    EXPECT_EQ(doc.GetAttributeInt("A", 4), 4);
    EXPECT_EQ(doc.GetNextSibling(&doc, nullptr), nullptr);

    LoadText(doc, "#A\n");
    EXPECT_EQ(doc.GetRowCount(), 0u);
    EXPECT_EQ(doc.GetAttributeString("A", nullptr).GetLength(), 0u);

    EXPECT_EQ(doc.Save(m_folder.Path("out.csv").c_str(), 0), 0);
    EXPECT_FALSE(fs::exists(m_folder.Path("out.csv")));
    EXPECT_EQ(doc.SetAttributeInt("A", 1), 0);
}

TEST_F(TableDocTest, BytesWithoutTerminator)
{
    // An exact-size heap block: reading one byte past it would be caught by the sanitizers.
    const std::string text = "#A;B\n1;2";
    auto bytes = std::make_unique<uint8_t[]>(text.size());
    std::memcpy(bytes.get(), text.data(), text.size());
    GTableDataDoc doc;
    ASSERT_EQ(doc.LoadSectionFromBytes(bytes.get(), text.size(), 0, 0), 1);
    doc.GetChild(nullptr);
    EXPECT_EQ(doc.GetAttributeInt("B", 0), 2);
    EXPECT_EQ(doc.LoadSectionFromBytes(bytes.get(), 0, 0, 0), 0);
    EXPECT_EQ(doc.LoadSectionFromBytes(nullptr, 4, 0, 0), 0);
}
