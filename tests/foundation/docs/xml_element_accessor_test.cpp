// The XML element accessor: reads of attributes and texts with defaults, the stand-in element
// of one call, lists cut at separators without passing the caller's capacity, and writes read
// back.

#include <gtest/gtest.h>

#include <tinyxml.h>

#include <string>

#include "foundation/docs/xml_data_doc.h"
#include "foundation/docs/xml_element_accessor.h"
#include "foundation/text/wstring.h"

namespace {

TEST(XmlElementAccessor, ReadsAttributesAndTextsWithDefaults)
{
    TiXmlDocument doc;
    doc.Parse("<a n='42' f='2.5' s='text' bad='x7' list='1, 2,,3' empty=''>-17xyz<b>ignored</b></a>"
              "<c>3.25e1</c><d><!-- no text --></d>");
    TiXmlElement* a = doc.FirstChildElement("a");
    TiXmlElement* c = doc.FirstChildElement("c");
    TiXmlElement* d = doc.FirstChildElement("d");
    GXmlElementAccessor accessor(a);
    EXPECT_EQ(accessor.GetAttributeInt("n", -1), 42);
    EXPECT_EQ(accessor.GetAttributeInt("bad", -1), -1);
    EXPECT_EQ(accessor.GetAttributeInt("missing", -1), -1);
    EXPECT_EQ(accessor.GetAttributeInt(nullptr, -1), -1);
    EXPECT_DOUBLE_EQ(accessor.GetAttributeDouble("f", 0), 2.5);
    EXPECT_STREQ(accessor.GetAttributeString("s", "none"), "text");
    EXPECT_STREQ(accessor.GetAttributeString("empty", "none"), "");
    EXPECT_STREQ(accessor.GetAttributeString(nullptr, "none"), "none");
    EXPECT_EQ(accessor.SetAttributeDouble(nullptr, 1.0), 0);
    EXPECT_EQ(accessor.GetTextInt(0), -17);
    EXPECT_STREQ(accessor.GetText("none"), "-17xyz");
    EXPECT_DOUBLE_EQ(accessor.GetTextDouble(0, c), 32.5); // the element of one call
    EXPECT_EQ(accessor.GetTextInt(5, d), 5);
    EXPECT_STREQ(accessor.GetText("none", d), "none");
    EXPECT_EQ(accessor.GetTextInt(9, c), 3);

    int32_t values[3] = {9, 9, 9};
    EXPECT_EQ(accessor.GetAttributeIntList("list", values, 3, ", "), 3);
    EXPECT_TRUE(values[0] == 1 && values[1] == 2 && values[2] == 3);
    int32_t two[2] = {};
    EXPECT_EQ(accessor.GetAttributeIntList("list", two, 2, ", "), 2); // never past the capacity
    EXPECT_EQ(accessor.GetAttributeIntList("list", nullptr, 2, ", "), 0);
    EXPECT_EQ(accessor.GetAttributeIntList("missing", values, 3, ","), 0);

    GXmlElementAccessor empty;
    EXPECT_EQ(empty.GetAttributeInt("n", 7), 7);
    EXPECT_EQ(empty.SetAttributeInt("n", 1), 0);
    EXPECT_EQ(empty.GetAttributeInt("n", 7, a), 42);
}

TEST(XmlElementAccessor, WritesReadBack)
{
    TiXmlDocument doc;
    doc.Parse("<a><!-- first --></a>");
    GXmlElementAccessor accessor(doc.FirstChildElement("a"));
    EXPECT_EQ(accessor.SetAttributeInt("n", -5) + accessor.SetAttributeDouble("f", 0.25) +
                  accessor.SetAttributeString("s", "x y") +
                  accessor.SetAttributeString(nullptr, "z"),
              3);
    const int32_t ints[] = {1, -2, 3};
    const double doubles[] = {0.5, 1.5};
    EXPECT_EQ(accessor.SetAttributeIntList("li", ints, 3, ","), 1);
    EXPECT_EQ(accessor.SetAttributeDoubleList("ld", doubles, 2, ";"), 1);
    EXPECT_EQ(accessor.SetAttributeIntList("none", ints, 0, ","), 1);
    EXPECT_EQ(accessor.GetAttributeInt("n", 0), -5);
    EXPECT_DOUBLE_EQ(accessor.GetAttributeDouble("f", 0), 0.25);
    EXPECT_STREQ(accessor.GetAttributeString("li", ""), "1,-2,3");
    EXPECT_STREQ(accessor.GetAttributeString("ld", ""), "0.500000;1.500000");
    EXPECT_STREQ(accessor.GetAttributeString("none", "x"), "");
    double back[2] = {};
    EXPECT_EQ(accessor.GetAttributeDoubleList("ld", back, 2, ";"), 2);
    EXPECT_TRUE(back[0] == 0.5 && back[1] == 1.5);

    // The text goes before the comment that was the first child, and is replaced in place.
    EXPECT_EQ(accessor.SetTextInt(12), 1);
    EXPECT_EQ(accessor.GetTextInt(0), 12);
    EXPECT_EQ(accessor.SetTextIntList(ints, 3, ", "), 1);
    EXPECT_STREQ(accessor.GetText(""), "1, -2, 3");
    int32_t read[3] = {};
    EXPECT_EQ(accessor.GetTextIntList(read, 3, ", "), 3);
    EXPECT_EQ(read[1], -2);
    EXPECT_EQ(accessor.SetTextDouble(2.5), 1);
    EXPECT_DOUBLE_EQ(accessor.GetTextDouble(0), 2.5);
    EXPECT_EQ(accessor.SetText("plain"), 1);
    EXPECT_STREQ(accessor.GetText(""), "plain");
    TiXmlPrinter printer;
    doc.Accept(&printer);
    const std::string printed = printer.CStr();
    EXPECT_LT(printed.find("plain"), printed.find("<!-- first -->"));
    EXPECT_EQ(printed.find("12"), std::string::npos); // replaced, not added
}

TEST(XmlElementAccessor, AttachesToANodeDocumentsElement)
{
    GXmlDataDoc root;
    ASSERT_EQ(root.LoadFromText(GWString("<Options><Sound Volume='70'/></Options>")), 1);
    GDataDoc* options = root.GetChild("Options");
    ASSERT_NE(options, nullptr);
    GDataDoc* sound = options->GetChild("Sound");
    ASSERT_NE(sound, nullptr);
    GXmlElementAccessor accessor;
    accessor.Attach(*static_cast<GXmlDataDoc*>(sound));
    EXPECT_EQ(accessor.GetAttributeInt("Volume", 0), 70);
    accessor.Attach(*static_cast<GXmlDataDoc*>(sound->GetFirstAttribute()));
    EXPECT_EQ(accessor.GetElement(), nullptr);
}

} // namespace

namespace {

// Lists of both kinds, in attributes and in texts: written with the separator between values
// only, read back cut at any separator character with runs, leading and trailing separators
// adding no value; an element with no text or attribute, a null text or no element give none.
TEST(XmlElementAccessor, ListsOfIntsAndDoublesRoundTripInAttributesAndTexts)
{
    TiXmlDocument doc;
    doc.Parse("<a><b/></a><c/>");
    TiXmlElement* a = doc.FirstChildElement("a");
    TiXmlElement* c = doc.FirstChildElement("c");
    GXmlElementAccessor accessor(a);
    const int32_t ints[] = {7, -8, 0, 2147483647};
    const double doubles[] = {0.25, -3.5, 1e3};
    ASSERT_EQ(accessor.SetTextDoubleList(doubles, 3, "; "), 1);
    EXPECT_STREQ(accessor.GetText(""), "0.250000; -3.500000; 1000.000000");
    ASSERT_EQ(accessor.SetAttributeIntList("i", ints, 4, " "), 1);
    EXPECT_EQ(accessor.SetTextIntList(ints, 2, ",", c), 1); // the stand-in element gets the text
    EXPECT_STREQ(accessor.GetText("", c), "7,-8");
    EXPECT_EQ(accessor.SetTextDoubleList(doubles, 1, ",", nullptr), 1);
    GXmlElementAccessor none;
    EXPECT_EQ(none.SetTextDoubleList(doubles, 1, ","), 0);

    TiXmlDocument cut;
    cut.Parse("<t d=';;0.5;;-2;' i=' 1  2 x3 '>;1.5;; 2.5 ;</t><e/>");
    GXmlElementAccessor reader(cut.FirstChildElement("t"));
    TiXmlElement* e = cut.FirstChildElement("e");
    double d[4] = {9, 9, 9, 9};
    EXPECT_EQ(reader.GetTextDoubleList(d, 4, "; "), 2);
    EXPECT_TRUE(d[0] == 1.5 && d[1] == 2.5 && d[2] == 9);
    EXPECT_EQ(reader.GetTextDoubleList(d, 1, "; "), 1);
    EXPECT_EQ(reader.GetAttributeDoubleList("d", d, 4, ";"), 2);
    EXPECT_TRUE(d[0] == 0.5 && d[1] == -2);
    int32_t i[4] = {9, 9, 9, 9};
    EXPECT_EQ(reader.GetAttributeIntList("i", i, 4, " "), 3); // a token that is no number reads 0
    EXPECT_TRUE(i[0] == 1 && i[1] == 2 && i[2] == 0 && i[3] == 9);
    for (TiXmlElement* empty : {e, static_cast<TiXmlElement*>(nullptr)}) {
        GXmlElementAccessor other(empty);
        EXPECT_EQ(other.GetTextDoubleList(d, 4, ";") + other.GetTextIntList(i, 4, ";") +
                      other.GetAttributeDoubleList("d", d, 4, ";"),
                  0);
    }
    EXPECT_EQ(reader.GetTextDoubleList(d, 0, ";") + reader.GetTextDoubleList(nullptr, 4, ";"), 0);
    EXPECT_EQ(reader.GetAttributeInt("d", 5), 5); // not a number: the default
    EXPECT_EQ(reader.GetTextInt(6, e), 6);
}

} // namespace
