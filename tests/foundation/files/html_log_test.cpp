#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "foundation/files/html_log.h"
#include "support/temp_files.h"

using tolvanrise::test::ReadFileBytes;
using tolvanrise::test::TempFolder;

TEST(HtmlLog, HeadReportLinesAndClosingTotals)
{
    TempFolder folder("html_log_");
    const std::string path = folder.Path("html_log_basic.html");
    {
        GHtmlLog log(path.c_str());
        log.Printf("plain %d", 42);
        log.PrintError("first");
        log.PrintError("second");
        EXPECT_EQ(log.GetErrorCount(), 2);
    }
    const std::string text = ReadFileBytes(path);
    EXPECT_EQ(text.rfind("<HTML>\n<HEAD>  <TITLE> Tolvanrise Log file  </TITLE>  </HEAD>\n<BODY>\n"
                         "<FONT  STYLE='FONT-SIZE: 10pt'>\n<PRE>\n<B><FONT color= '0000ff'>Log file opened: ",
                         0),
              0u);
    // Each line: milliseconds right-aligned in seven columns, then "> ".
    EXPECT_TRUE(std::regex_search(text, std::regex("\n {0,6}[0-9]{1,7}> plain 42\n")));
    EXPECT_TRUE(std::regex_search(text, std::regex("[0-9]> <B><FONT color= 'ff0000'>Error:</FONT></B> second\n")));
    // The report: banners of 50 characters, the fallback processor lines, and separator lines
    // that are a stamped line followed by an empty one.
    for (const char* part : {"\n<B><FONT color= '0000ff'>Total Errors = 2\nLog file closed: ",
                             "> System********************************************\n",
                             "> Paths*********************************************\n", "   ProcessorType: ",
                             "> Screen resolution*********************************\n"})
        EXPECT_NE(text.find(part), std::string::npos) << part;
    EXPECT_EQ(text.find("Video card"), std::string::npos);
    EXPECT_TRUE(std::regex_search(text, std::regex("[0-9]> \n\n")));
}

TEST(HtmlLog, MessagesAreEscapedAndNeverCutOrDroppedSilently)
{
    TempFolder folder("html_log_");
    const std::string path = folder.Path("html_log_long.html");
    const std::string longText(40000, 'x');
    {
        GHtmlLog log(path.c_str());
        log.Printf("a<b & c");
        log.Printf("%s|end", longText.c_str());
    }
    const std::string text = ReadFileBytes(path);
    EXPECT_NE(text.find("> a&lt;b &amp; c\n"), std::string::npos);
    EXPECT_NE(text.find("> " + longText + "|end\n"), std::string::npos);

    // An unopenable file drops the lines silently.
    GHtmlLog log("/nonexistent-folder/for/sure/log.html");
    log.Printf("dropped");
    log.PrintError("not counted");
    EXPECT_EQ(log.GetErrorCount(), 0);
}
