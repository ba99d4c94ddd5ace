// Documents in the encodings translators and other programs write: each loads as the XML
// library reads it, reads back its values, saves and loads again unchanged.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "foundation/docs/xml_data_doc.h"
#include "foundation/docs/xml_nesting.h"
#include "foundation/text/wstring.h"
#include "support/temp_files.h"

namespace {

namespace fs = std::filesystem;

// "Привет" and "Жук" in each 8-bit code page, and "Grüße" in Latin-1.
constexpr char kHello1251[] = "\xCF\xF0\xE8\xE2\xE5\xF2";
constexpr char kBeetle1251[] = "\xC6\xF3\xEA";
constexpr char kHelloKoi8[] = "\xF0\xD2\xC9\xD7\xC5\xD4";
constexpr char kBeetleKoi8[] = "\xF6\xD5\xCB";
constexpr char kGreetingLatin1[] = "Gr\xFC\xDF" "e";

struct EncodedDocument {
    const char* name;
    std::string prolog;           // byte-order mark and declaration
    std::string attribute, text;  // the bytes as the file holds them
    std::u16string attributeRead, textRead;
};

// The encoding's name stands for the document in the test's full name.
void PrintTo(const EncodedDocument& document, std::ostream* os)
{
    *os << document.name;
}

// Values that are not well-formed UTF-8 read as Windows-1251, the engine's narrow code page:
// right for windows-1251 files, the 1251 letters of the bytes for any other 8-bit encoding.
std::u16string As1251(const char* bytes)
{
    return std::u16string(GWString(bytes).View());
}

const EncodedDocument kDocuments[] = {
    {"utf8_plain", "", "Привет", "Жук", u"Привет", u"Жук"},
    {"utf8_bom", "\xEF\xBB\xBF", "Привет", "Grüße", u"Привет", u"Grüße"},
    {"utf8_declared", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", "Привет", "Жук", u"Привет", u"Жук"},
    {"windows1251", "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n", kHello1251, kBeetle1251, u"Привет",
     u"Жук"},
    {"koi8r", "<?xml version='1.0' encoding='KOI8-R'?>\n", kHelloKoi8, kBeetleKoi8, As1251(kHelloKoi8),
     As1251(kBeetleKoi8)},
    {"latin1", "<!-- comment first --><?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"yes\"?>",
     kGreetingLatin1, kGreetingLatin1, As1251(kGreetingLatin1), As1251(kGreetingLatin1)},
};

class XmlEncodingTest : public testing::TestWithParam<EncodedDocument> {
protected:
    tolvanrise::test::TempFolder m_folder{"xml_encoding_", fs::current_path()};
};

void ExpectValues(GXmlDataDoc& doc, const EncodedDocument& d)
{
    GDataDoc* row = doc.GetChild("Dictionary") ? doc.GetChild("Dictionary")->GetChild("Row") : nullptr;
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(std::u16string(row->GetAttributeString("Key", "").View()), u"HELLO");
    EXPECT_EQ(std::u16string(row->GetAttributeString("Value", "").View()), d.attributeRead);
    EXPECT_EQ(std::u16string(row->GetString("").View()), d.textRead);
    EXPECT_EQ(row->GetAttributeInt("Count", 0), 12);
}

TEST_P(XmlEncodingTest, LoadsReadsSavesAndLoadsBack)
{
    const EncodedDocument& d = GetParam();
    const std::string bytes =
        d.prolog + "<Dictionary><Row Key=\"HELLO\" Value=\"" + d.attribute + "\" Count=\"12\">" + d.text + "</Row></Dictionary>";
    GXmlDataDoc doc;
    ASSERT_EQ(doc.Load(m_folder.WriteFile("in.xml", bytes).c_str(), 0), 1);
    ExpectValues(doc, d);

    // Saved, scrambled and dumped, the document keeps its bytes: the declaration tells the
    // next load to read them in the same mode.
    ASSERT_EQ(doc.Save(m_folder.Path("out.xml").c_str(), 0), 1);
    ASSERT_EQ(doc.DumpToDebugFile(m_folder.Path("keyed.xml").c_str(), 0x5A), 1);
    const std::string saved = tolvanrise::test::ReadFileBytes(m_folder.Path("out.xml"));
    EXPECT_NE(saved.find(d.attribute), std::string::npos);
    for (const auto& [file, key] : {std::pair{"out.xml", 0}, std::pair{"keyed.xml", 0x5A}}) {
        GXmlDataDoc again;
        ASSERT_EQ(again.Load(m_folder.Path(file).c_str(), static_cast<uint8_t>(key)), 1) << file;
        ExpectValues(again, d);
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, XmlEncodingTest, testing::ValuesIn(kDocuments),
                         [](const auto& info) { return std::string(info.param.name); });

// A lead byte of a multi-byte sequence (0xC2 and up) right before a quote loads only in the library's 8-bit mode
// (UTF-8 mode takes the quote as part of the character): which texts get that mode.
TEST(XmlEncodingDetection, LegacyModeOnlyWhereTheDeclarationAsksForIt)
{
    const struct {
        std::string prolog;
        int loads;
    } cases[] = {
        {"<?xml version=\"1.0\" encoding=\"koi8-r\"?>", 1},
        {"<?XML encoding = 'WINDOWS-1251' ?>", 1},
        {" <!-- a -->\n<!--b--><?xml version=\"1.0\" encoding=\"cp932\"?>", 1},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0},
        {"<?xml version=\"1.0\" encoding=\"utf8\"?>", 0},
        {"<?xml version=\"1.0\" encoding=\"\"?>", 0},
        {"<?xml version=\"1.0\"?>", 0},
        {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"koi8-r\"?>", 0},  // the byte-order mark wins
        {"", 0},
        {"<?xml-stylesheet encoding=\"koi8-r\"?>", 0},
        {"<?xml version=\"1.0\" myencoding=\"koi8-r\"?>", 0},
    };
    tolvanrise::test::TempFolder folder{"xml_encoding_", fs::current_path()};
    for (const auto& c : cases) {
        GXmlDataDoc doc;
        EXPECT_EQ(doc.Load(folder.WriteFile("a.xml", c.prolog + "<a b=\"\xCF\"/>").c_str(), 0), c.loads) << c.prolog;
    }
}

// The nesting guard follows the mode the text is parsed in: in UTF-8 steps "\xCF<" would be one
// character and the tags below it no elements, in byte steps each is a level deeper.
TEST(XmlEncodingDetection, NestingGuardStepsAsTheParserWill)
{
    std::string deep = "<?xml version=\"1.0\" encoding=\"koi8-r\"?>";
    for (int i = 0; i < 100000; ++i)
        deep += "<a>\xCF";
    EXPECT_LT(XmlNestingDepth(deep.data(), deep.size(), XmlStepping::kUtf8), kXmlMaxNesting);
    EXPECT_EQ(XmlNestingDepth(deep.data(), deep.size(), XmlStepping::kBytes), 100000u);
    tolvanrise::test::TempFolder folder{"xml_encoding_", fs::current_path()};
    GXmlDataDoc doc;
    EXPECT_EQ(doc.Load(folder.WriteFile("deep.xml", deep).c_str(), 0), 0);
}

// LoadFromText parses a text that declares an 8-bit encoding from its narrow form, so the
// values come back as they were given; such a document also saves and loads back.
TEST(XmlEncodingDetection, LoadFromTextFollowsTheDeclaration)
{
    GXmlDataDoc doc;
    ASSERT_EQ(doc.LoadFromText(GWString(u"<?xml version=\"1.0\" encoding=\"windows-1251\"?><m v=\"Ёлка\">Жук</m>")), 1);
    EXPECT_EQ(std::u16string(doc.GetChild("m")->GetAttributeString("v", "").View()), u"Ёлка");
    EXPECT_EQ(std::u16string(doc.GetChild("m")->GetString("").View()), u"Жук");

    // A value set afterwards is stored as UTF-8 and reads back as set.
    ASSERT_EQ(doc.GetChild("m")->SetAttributeString("w", GWString(u"Ёж")), 1);
    tolvanrise::test::TempFolder folder{"xml_encoding_", fs::current_path()};
    ASSERT_EQ(doc.Save(folder.Path("mixed.xml").c_str(), 0), 1);
    GXmlDataDoc again;
    ASSERT_EQ(again.Load(folder.Path("mixed.xml").c_str(), 0), 1);
    EXPECT_EQ(std::u16string(again.GetChild("m")->GetAttributeString("v", "").View()), u"Ёлка");
    EXPECT_EQ(std::u16string(again.GetChild("m")->GetAttributeString("w", "").View()), u"Ёж");
}

// Byte sequences that only look like UTF-8 are not decoded as such: overlong forms, surrogates,
// stray trail bytes and sequences cut short read as Windows-1251 text, byte for byte.
TEST(XmlEncodingDetection, MalformedUtf8ValuesReadAsNarrowText)
{
    const char* const values[] = {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\x80", "ab\xD0", "\xF4\x90\x80\x80",
                                  "\xF0\x9F\x98"};
    for (const char* value : values) {
        const std::string text = "<?xml version=\"1.0\" encoding=\"x-user\"?><m v=\"" + std::string(value) + "\">" +
                                 value + "</m>";
        GXmlDataDoc doc;
        ASSERT_EQ(doc.LoadFromText(GWString(text.c_str())), 1) << value;
        EXPECT_EQ(std::u16string(doc.GetChild("m")->GetAttributeString("v", "").View()), As1251(value));
        EXPECT_EQ(std::u16string(doc.GetChild("m")->GetString("").View()), As1251(value));
    }
    GXmlDataDoc emoji;
    ASSERT_EQ(emoji.LoadFromText(GWString::FromUtf8("<m>\xF0\x9F\x98\x80</m>")), 1);
    EXPECT_EQ(std::u16string(emoji.GetChild("m")->GetString("").View()), u"\U0001F600");
}

} // namespace
