#include "foundation/text/dictionary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/text/wstring.h"
#include "foundation/docs/xml_data_doc.h"

namespace {

std::u16string U(const GWString& s)
{
    return std::u16string(s.View());
}

// A language file as the game reads it: the node document of its "Dictionary" element.
GDataDoc* LoadDictionary(GXmlDataDoc& doc, const char* utf8)
{
    if (doc.LoadFromText(GWString::FromUtf8(utf8)) != 1)
        return nullptr;
    return doc.GetChild("Dictionary");
}

const char* const kLanguage =
    "<Dictionary>"
    "<Row Key='start' Value='\xD0\x9D\xD0\xB0\xD1\x87\xD0\xB0\xD1\x82\xD1\x8C'/>"
    "<Row Key='two_lines' Value='first\\nsecond\\n'/>"
    "<!-- comments between rows are passed over -->"
    "<Row Key='start' Value='shadowed'/>"
    "<Row Key='' Value='empty key'/>"
    "<Row Key='no_value'/>"
    "<Other Key='after' Value='not a row'/>"
    "<Row Key='after' Value='cut off'/>"
    "</Dictionary>";

TEST(Dictionary, TranslatesRowsAndTurnsEscapesIntoLineBreaks)
{
    GXmlDataDoc doc;
    GDataDoc* node = LoadDictionary(doc, kLanguage);
    ASSERT_NE(node, nullptr);
    GDictionary dictionary;
    ASSERT_EQ(dictionary.SetDataDoc(node), 1);

    // The first row of a key wins; exact keys only; the walk ends at the first element that is
    // not a row.
    std::vector<std::u16string> seen;
    for (const char16_t* key : {u"start", u"two_lines", u"no_value", u"", u"Start", u"after", u"unknown \\n key"})
        seen.push_back(U(dictionary.Translate(GWString(key))));
    EXPECT_EQ(seen, (std::vector<std::u16string>{u"Начать", u"first\r\nsecond\r\n", u"", u"empty key", u"Start",
                                                u"after", u"unknown \\n key"}));
    EXPECT_EQ(dictionary.GetEntryCount(), 4u);

    // An escape at the end, and next to other backslashes.
    ASSERT_EQ(dictionary.SetDataDoc(LoadDictionary(doc, "<Dictionary><Row Key='k' Value='a\\nb\\\\n\\n'/></Dictionary>")), 1);
    EXPECT_EQ(U(dictionary.Translate(GWString(u"k"))), u"a\r\nb\\\r\n\r\n");
}

TEST(Dictionary, TableOutlivesItsDocumentAndIsRebuiltOnHandOver)
{
    GXmlDataDoc doc;
    GDictionary dictionary;
    dictionary.SetDataDoc(LoadDictionary(doc, kLanguage));
    const uint32_t nodeDocs = doc.GetNodeDocCount();
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(U(dictionary.Translate(GWString(u"start"))), u"Начать");
    EXPECT_EQ(doc.GetNodeDocCount(), nodeDocs); // lookups do not walk the document

    // Reloading the document releases the node document the dictionary was given; the
    // dictionary keeps answering from its own table.
    ASSERT_NE(LoadDictionary(doc, "<Dictionary><Row Key='start' Value='Go'/></Dictionary>"), nullptr);
    EXPECT_EQ(U(dictionary.Translate(GWString(u"start"))), u"Начать");
    dictionary.SetDataDoc(doc.GetChild("Dictionary"));
    EXPECT_EQ(U(dictionary.Translate(GWString(u"start"))) + U(dictionary.Translate(GWString(u"two_lines"))),
              u"Gotwo_lines");

    // Rows added to the document show after the next hand-over.
    auto* node = static_cast<GXmlDataDoc*>(doc.GetChild("Dictionary"));
    GXmlDataDoc* row = node->AddChild("Row");
    row->SetAttributeString("Key", GWString(u"new"));
    row->SetAttributeString("Value", GWString(u"Новый"));
    dictionary.SetDataDoc(node);
    EXPECT_EQ(U(dictionary.Translate(GWString(u"new"))), u"Новый");

    // Without a document keys translate to themselves.
    EXPECT_EQ(dictionary.SetDataDoc(nullptr), 1);
    EXPECT_EQ(U(dictionary.Translate(GWString(u"start"))), u"start");
    EXPECT_EQ(U(dictionary.Translate(GWString())), u"");
}

TEST(Dictionary, LargeTable)
{
    std::string text = "<Dictionary>";
    for (int i = 0; i < 5000; ++i)
        text += "<Row Key='k" + std::to_string(i) + "' Value='v" + std::to_string(i) + "'/>";
    text += "</Dictionary>";
    GXmlDataDoc doc;
    GDictionary dictionary;
    dictionary.SetDataDoc(LoadDictionary(doc, text.c_str()));
    EXPECT_EQ(dictionary.GetEntryCount(), 5000u);
    EXPECT_EQ(U(dictionary.Translate(GWString(u"k4999"))) + U(dictionary.Translate(GWString(u"k0"))), u"v4999v0");
}

} // namespace
