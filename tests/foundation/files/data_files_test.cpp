#include "foundation/files/data_files.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "foundation/files/html_log.h"
#include "foundation/files/shared_data_folder.h"
#include "foundation/files/xor_scramble.h"
#include "foundation/text/gstring.h"
#include "platform/window/message_box.h"
#include "support/child_process.h"
#include "support/scoped_env.h"
#include "support/temp_files.h"

namespace fs = std::filesystem;
using namespace tolvanrise::test;

namespace {

std::vector<std::string> g_alerts;

bool RecordAlert(const platform::MessageBoxRequest& request, platform::MessageBoxAnswer& answer)
{
    EXPECT_STREQ(request.titleUtf8, "Alert");
    EXPECT_EQ(request.buttons, platform::MessageBoxButtons::kOk);
    EXPECT_EQ(request.icon, platform::MessageBoxIcon::kInformation);
    g_alerts.push_back(request.textUtf8);
    answer = platform::MessageBoxAnswer::kOk;
    return true;
}

std::string Scrambled(const std::string& plain, int number)
{
    std::string out = plain;
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(out[i] ^ static_cast<uint8_t>(number + i));
    return out;
}

std::string Pattern(size_t n, int seed)
{
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<char>((i * 31 + static_cast<size_t>(seed)) & 0xFF);
    return bytes;
}

// Each test runs inside a fresh folder under the working folder, with the alerts recorded
// instead of shown and an empty prefix.
class DataFilesTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_inFolder.Entered());
        ClearDataFolderPrefix();
        g_alerts.clear();
        platform::SetMessageBoxBackend(&RecordAlert);
    }
    void TearDown() override
    {
        platform::SetMessageBoxBackend(nullptr);
        ClearDataFolderPrefix();
    }

    TempFolder m_folder{"data_files_", fs::current_path()};
    ScopedCurrentFolder m_inFolder{m_folder.Path()};
};

} // namespace

TEST_F(DataFilesTest, RecordXorWrapsFilesAreNeverWorldWritableAndRoundTripUnderPrefix)
{
    // Byte i is combined with (number + i) mod 256: after 255 comes 0.
    const std::string zeros(300, '\0');
    const mode_t oldMask = ::umask(0);
    int written = 0;
    for (int number : {0, 9999, 300})
        written += WriteUserRecordFile(number, zeros.data(), 300);
    ::umask(oldMask);
    ASSERT_EQ(written, 3);
    for (int number : {0, 9999, 300}) {
        char name[16];
        std::snprintf(name, sizeof name, "%08d.bin", number);
        EXPECT_EQ(ReadFileBytes(name), Scrambled(zeros, number)) << name;
        struct stat st;
        ASSERT_EQ(::stat(name, &st), 0);
        EXPECT_EQ(st.st_mode & 0022, 0u) << name;
    }
    EXPECT_TRUE(g_alerts.empty());

    ASSERT_EQ(::mkdir("pre", 0755), 0);
    ASSERT_EQ(::mkdir("pre/Profiles", 0755), 0);
    std::strcpy(DataFolderPrefix, "pre/");
    const std::string plain = Pattern(8160, 3);
    ASSERT_EQ(WriteUserRecordFile(0, plain.data(), 8160, "PROFILES"), 1);
    EXPECT_EQ(ReadFileBytes("pre/Profiles/00000000.bin"), Scrambled(plain, 0));

    std::string back(8160, 'x');
    ASSERT_EQ(ReadUserRecordFile(0, back.data(), 8160, "profiles"), 1);
    EXPECT_EQ(back, plain);
    std::string simple(8160, 'x');
    ReadUserRecordFileSimple(0, simple.data(), 8160, "Profiles");
    EXPECT_EQ(simple, plain);
    EXPECT_TRUE(g_alerts.empty());
    EXPECT_EQ(FolderEntries("pre/Profiles"), std::set<std::string>{"00000000.bin"});

    // The name is the number in eight digits; a wider number keeps all its digits.
    ASSERT_EQ(WriteUserRecordFile(123456789, plain.data(), 10), 1);
    EXPECT_TRUE(fs::exists("pre/123456789.bin"));
}

TEST_F(DataFilesTest, RecordFilesOfAnotherSizeMissingEmptyOrWithLongNames)
{
    // Short: the rest of the buffer is zero. Long: the tail is ignored.
    for (auto [stored, warning] : {std::pair{100, "less"}, {130, "more"}}) {
        const std::string plain = Pattern(size_t(stored), stored);
        WriteFileBytes("00009999.bin", Scrambled(plain, 9999));
        std::string buffer(120, 'x');
        g_alerts.clear();
        EXPECT_EQ(ReadUserRecordFile(9999, buffer.data(), 120), 1);
        EXPECT_EQ(buffer, (plain + std::string(20, '\0')).substr(0, 120));
        EXPECT_EQ(g_alerts, std::vector<std::string>{"WARNING! Incorrect version file 00009999.bin!\nFile size is " +
                                                     std::string(warning) + " then buffer's size!"});
    }

    g_alerts.clear();
    char buffer[16];
    EXPECT_EQ(ReadUserRecordFile(5, buffer, sizeof buffer), 0); // a missing file is not reported
    WriteFileBytes("00000005.bin", "");
    EXPECT_EQ(ReadUserRecordFile(5, buffer, sizeof buffer), 0);
    // A folder of the record's name is not a record.
    ASSERT_EQ(::mkdir("00000006.bin", 0755), 0);
    EXPECT_EQ(ReadUserRecordFile(6, buffer, sizeof buffer), 0);
    EXPECT_EQ(WriteUserRecordFile(6, buffer, sizeof buffer), 0);
    EXPECT_EQ(g_alerts, std::vector<std::string>{"File 00000005.bin cannot be read! ReadFile function: 0 bytes read"});

    // The simple read stops silently at the end of the file; a missing file changes nothing.
    const std::string plain = Pattern(10, 1);
    WriteFileBytes("00000007.bin", Scrambled(plain, 7));
    std::string text(16, 'x');
    ReadUserRecordFileSimple(7, text.data(), 16);
    ReadUserRecordFileSimple(8, text.data(), 16);
    EXPECT_EQ(text, plain + "xxxxxx");
    EXPECT_EQ(g_alerts.size(), 1u);

    // Long names do not overflow.
    const std::string subfolder(3000, 'a');
    std::string prefix(kDataFolderPrefixSize - 1, 'p');
    std::memcpy(DataFolderPrefix, prefix.c_str(), prefix.size() + 1);
    char byte = 1;
    EXPECT_EQ(WriteUserRecordFile(1, &byte, 1, subfolder.c_str()), 0);
    EXPECT_EQ(ReadUserRecordFile(1, &byte, 1, subfolder.c_str()), 0);
    EXPECT_EQ(ReadWholeFile(subfolder.c_str()), nullptr);
}

// The write runs into the file-size limit after 100 of its 8160 bytes, or into a read-only folder.
TEST_F(DataFilesTest, RecordWriteFailingHalfwayOrIntoAReadOnlyFolderKeepsThePreviousFile)
{
    ASSERT_EQ(::mkdir("PROFILES", 0755), 0);
    const std::string first = Pattern(8160, 5);
    ASSERT_EQ(WriteUserRecordFile(0, first.data(), 8160, "PROFILES"), 1);
    const std::string before = ReadFileBytes("PROFILES/00000000.bin");

    const int status = RunInChild(
        [] {
            const std::string second = Pattern(8160, 6);
            int result = WriteUserRecordFile(0, second.data(), 8160, "PROFILES");
            bool alerted = g_alerts == std::vector<std::string>{"PROFILES/00000000.bin: Error in WriteFile!"};
            return result == 0 && alerted ? 0 : 1;
        },
        {.maxFileBytes = 100});
    ASSERT_TRUE(status != -1 && WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write should fail and say so";
    EXPECT_EQ(ReadFileBytes("PROFILES/00000000.bin"), before);
    EXPECT_EQ(FolderEntries("PROFILES"), std::set<std::string>{"00000000.bin"}) << "no temporary left";
    std::string back(8160, '\0');
    ASSERT_EQ(ReadUserRecordFile(0, back.data(), 8160, "PROFILES"), 1);
    EXPECT_EQ(back, first);

    // Into a read-only folder (root ignores folder permissions).
    if (::geteuid() != 0) {
        ASSERT_EQ(::mkdir("ro", 0755), 0);
        ASSERT_EQ(WriteUserRecordFile(2, first.data(), 50, "ro"), 1);
        const std::string small = ReadFileBytes("ro/00000002.bin");
        ASSERT_EQ(::chmod("ro", 0555), 0);
        EXPECT_EQ(WriteUserRecordFile(2, Pattern(50, 9).data(), 50, "ro"), 0);
        EXPECT_EQ(ReadFileBytes("ro/00000002.bin"), small);
        EXPECT_EQ(FolderEntries("ro"), std::set<std::string>{"00000002.bin"});
    }
}

// What a caller is told about each record it could not write or read: the reason in the
// player's words, the outcome, and the warnings kept back for a quiet caller instead of shown.
TEST_F(DataFilesTest, RecordFailuresAndQuietWarningsSayWhatHappened)
{
    WriteFileBytes("plain", "x");
    ASSERT_EQ(::mkdir("00000004.bin", 0755), 0);
    const char byte = 7;
    struct Write { int32_t number; const char* subfolder; const void* data; const char* reason; };
    for (const Write& w : {Write{4, nullptr, &byte, "a folder stands in its place"},
                           Write{4, "plain", &byte, "a file stands in the folder's place"},
                           Write{4, "missing", &byte, "the folder is missing and cannot be made"},
                           Write{5, nullptr, nullptr, "no data"}}) {
        std::string failure;
        EXPECT_EQ(WriteUserRecordFile(w.number, w.data, 1, w.subfolder, &failure), 0) << w.reason;
        EXPECT_EQ(failure, w.reason);
    }
    EXPECT_TRUE(g_alerts.empty()); // a caller that asks for the reason is not shown a box
    WriteFileBytes("00000008.bin", "abc");
    EXPECT_EQ(ReadUserRecordFile(8, nullptr, 3), 0); // no buffer to read into

    ASSERT_EQ(::mkfifo("00000009.bin", 0644), 0);
    WriteFileBytes("00000010.bin", "");
    WriteFileBytes("00000011.bin", Scrambled("abc", 11));
    struct Read { int32_t number; GRecordRead outcome; const char* reason; const char* warnings; };
    for (const Read& r : {Read{4, GRecordRead::kUnreadable, "a folder stands in its place", ""},
                          Read{9, GRecordRead::kUnreadable, "it is not a plain file", ""},
                          Read{10, GRecordRead::kUnreadable, "0 bytes read",
                               "File 00000010.bin cannot be read! ReadFile function: 0 bytes read"},
                          Read{11, GRecordRead::kOtherSize, "",
                               "WARNING! Incorrect version file 00000011.bin!\nFile size is less then buffer's size!"},
                          Read{12, GRecordRead::kMissing, "", ""}}) {
        GRecordReadInfo info;
        info.quiet = true;
        info.warnings = "old";
        char buffer[5];
        const int read = ReadUserRecordFile(r.number, buffer, sizeof buffer, nullptr, &info);
        EXPECT_EQ(std::make_tuple(read, info.outcome, info.reason, info.warnings, info.quiet),
                  std::make_tuple(r.outcome == GRecordRead::kOtherSize ? 1 : 0, r.outcome, std::string(r.reason),
                                  std::string(r.warnings), true))
            << r.number;
    }
    EXPECT_TRUE(g_alerts.empty());

    // Kept aside beside itself, replacing an older copy; nothing there is nothing to keep.
    ASSERT_EQ(::mkdir("PROFILES", 0755), 0);
    EXPECT_EQ(UserRecordFileName(3, "PROFILES"), "PROFILES/00000003.bin");
    WriteFileBytes("PROFILES/00000003.bin.damaged", "older");
    WriteFileBytes("PROFILES/00000003.bin", "broken");
    std::string reason;
    EXPECT_EQ(KeepUserRecordAside(3, "PROFILES", &reason), 1);
    EXPECT_EQ(ReadFileBytes("PROFILES/00000003.bin.damaged"), "broken");
    WriteFileBytes("PROFILES/00000003.bin", "newer");
    EXPECT_EQ(KeepUserRecordAside(3, "PROFILES", &reason), 1);
    EXPECT_EQ(ReadFileBytes("PROFILES/00000003.bin.damaged"), "newer");
    EXPECT_EQ(KeepUserRecordAside(13, "PROFILES", &reason), 1);
    EXPECT_EQ(FolderEntries("PROFILES"), (std::set<std::string>{"00000003.bin", "00000003.bin.damaged"}));
}

// The cache's entries in order as "number[/folder]=text".
std::vector<std::string> Entries(const GDataPackCache& cache)
{
    std::vector<std::string> out;
    for (uint32_t i = 0; i < cache.GetCount(); ++i) {
        const char* folder = cache.GetFolderAt(i);
        out.push_back(std::to_string(cache.GetNumberAt(i)) + (folder ? std::string("/") + folder : "") + "=" +
                      reinterpret_cast<const char*>(cache.GetDataAt(i)));
    }
    return out;
}

using Packs = std::vector<std::string>;

TEST_F(DataFilesTest, PackLoadHandsEachPackOutOnceMatchesFoldersExactlyAndKeepsTheCacheInOrder)
{
    WriteFileBytes("Data1.dat", "first pack");
    std::unique_ptr<GDataPackCache> cache = GDataPackCache::Create(4);
    ASSERT_NE(cache, nullptr);
    uint32_t size = 0;
    const uint8_t* data = cache->Load(1, &size);
    ASSERT_NE(data, nullptr);
    // A zero after the bytes.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), size + 1), std::string("first pack\0", 11));
    size = 77;
    EXPECT_TRUE(cache->Load(1, &size) == nullptr && size == 77u);
    EXPECT_EQ(Entries(*cache), Packs{"1=first pack"});
    cache->Unload(1);
    EXPECT_FALSE(cache->IsCached(1));
    EXPECT_NE(cache->Load(1), nullptr);

    WriteFileBytes("Data3.dat", "plain");
    ASSERT_EQ(::mkdir("packs", 0755), 0);
    WriteFileBytes("packs/Data3.dat", "in folder");
    cache = GDataPackCache::Create(4);
    ASSERT_NE(cache->Load(3, nullptr, "packs"), nullptr);
    // Exact comparison; no folder matches only packs loaded without one.
    EXPECT_EQ((std::vector<bool>{cache->IsCached(3, "packs"), cache->IsCached(3, "PACKS"), cache->IsCached(3)}),
              (std::vector<bool>{true, false, false}));
    ASSERT_NE(cache->Load(3), nullptr);
    EXPECT_EQ(Entries(*cache), (Packs{"3/packs=in folder", "3=plain"}));
    cache->Unload(3);
    // The folder name is resolved on disk like any other name, but kept as given.
    ASSERT_NE(cache->Load(3, nullptr, "PACKS"), nullptr);
    EXPECT_EQ(Entries(*cache), (Packs{"3/packs=in folder", "3/PACKS=in folder"}));

    // Unloads and failed loads keep the cache in order.
    ASSERT_EQ(::mkdir("f", 0755), 0);
    WriteFileBytes("Data1.dat", "one");
    WriteFileBytes("Data2.dat", "two");
    WriteFileBytes("f/Data3.dat", "three");
    cache = GDataPackCache::Create(3);
    const uint8_t* three = nullptr;
    ASSERT_TRUE(cache->Load(1) && cache->Load(2) && (three = cache->Load(3, nullptr, "f")));
    EXPECT_EQ(cache->Load(4), nullptr) << "full";
    cache->Unload(2);
    EXPECT_EQ(cache->GetDataAt(1), three); // moved, not copied
    cache->Unload(9); // no match: nothing happens
    cache->Unload(3); // a folder-less unload does not take the folder's pack
    EXPECT_EQ(Entries(*cache), (Packs{"1=one", "3/f=three"}));
    cache->Unload(3, "f");
    cache->Unload(1);
    EXPECT_EQ(cache->GetCount(), 0u);

    // Failed loads leave the cache as it was.
    WriteFileBytes("Data5.dat", "");
    ASSERT_EQ(::mkdir("Data6.dat", 0755), 0);
    cache = GDataPackCache::Create(2);
    size = 99;
    EXPECT_TRUE(cache->Load(4, &size) == nullptr && size == 99u) << "a missing pack leaves the size alone";
    EXPECT_TRUE(cache->Load(5, &size) == nullptr && size == 0u);
    EXPECT_TRUE(cache->Load(6) == nullptr && cache->GetCount() == 0u);

    cache->Clear();
    EXPECT_EQ(cache->GetCapacity(), 0u);
    WriteFileBytes("Data4.dat", "x");
    EXPECT_EQ(cache->Load(4), nullptr);
    EXPECT_TRUE(cache->Init(1));
    EXPECT_NE(cache->Load(4), nullptr);
    EXPECT_EQ(GDataPackCache::Create(0)->Load(4), nullptr);
}

TEST_F(DataFilesTest, ReadWholeFileAddsAZeroAndReportsTheLength)
{
    ASSERT_EQ(::mkdir("Sub", 0755), 0);
    WriteFileBytes("Sub/text.xml", std::string("<a>\0b", 5));
    std::strcpy(DataFolderPrefix, "SUB\\");
    uint32_t length = 0;
    std::unique_ptr<char[]> block = ReadWholeFile("TEXT.XML", &length);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::string(block.get(), length + 1), std::string("<a>\0b\0", 6));

    length = 42;
    EXPECT_TRUE(ReadWholeFile("missing", &length) == nullptr && length == 42u);
    WriteFileBytes("Sub/empty", "");
    EXPECT_TRUE(ReadWholeFile("empty", &length) == nullptr && length == 0u);
    EXPECT_NE(ReadWholeFile("text.xml"), nullptr);

    // Blocks are read whole or not at all.
    std::FILE* file = std::fopen("Sub/text.xml", "rb");
    ASSERT_NE(file, nullptr);
    char buffer[8] = {};
    EXPECT_EQ(ReadBlock(file, buffer, 3), 1);
    EXPECT_EQ(std::string(buffer, 3), "<a>");
    EXPECT_EQ(ReadBlock(file, buffer, 0), 1);
    EXPECT_EQ(ReadBlock(file, buffer, 4), 0) << "only two bytes are left";
    EXPECT_EQ(ReadBlock(nullptr, buffer, 4), 0);
    std::fclose(file);
}

TEST_F(DataFilesTest, KeyedFilesLogLinesFoldersProgramPathAndPrefix)
{
    const std::string plain = "keyed bytes";
    const uint32_t key = 0x01020304; // 1 + 2 + 3 + 4 = 10
    ASSERT_EQ(WriteKeyedFile("keyed.bin", plain.data(), static_cast<uint32_t>(plain.size()), key), 1);
    std::string xored = plain;
    for (char& c : xored)
        c = static_cast<char>(c ^ 10);
    EXPECT_EQ(ReadFileBytes("keyed.bin"), xored);

    ASSERT_EQ(AppendKeyedFile("KEYED.BIN", "!!", 2, key), 1);
    std::string back(plain.size() + 2, '\0');
    ASSERT_EQ(ReadKeyedFile("keyed.bin", back.data(), static_cast<uint32_t>(back.size()), key), 1);
    EXPECT_EQ(back, plain + "!!");
    EXPECT_EQ(ReadKeyedFile("keyed.bin", back.data(), 100, key), 0) << "shorter than asked";

    // Bytes summing to 256 wrap to a key byte of 0: stored as they are.
    ASSERT_EQ(WriteKeyedFile("wrap.bin", "ab", 2, 0x80800000), 1);
    EXPECT_EQ(ReadFileBytes("wrap.bin"), "ab");
    ASSERT_EQ(WriteKeyedFile("raw.bin", "raw", 3, 0), 1);
    ASSERT_EQ(AppendKeyedFile("raw.bin", "+", 1, 0), 1);
    EXPECT_EQ(ReadFileBytes("raw.bin"), "raw+");
    char three[3];
    EXPECT_EQ(ReadKeyedFile("raw.bin", three, 3, 0), 1);
    EXPECT_EQ(std::string(three, 3), "raw");
    EXPECT_EQ(ReadKeyedFile("none.bin", three, 3, 0), 0);
    // Without a buffer only an empty read succeeds.
    EXPECT_EQ((std::vector<int>{ReadKeyedFile("raw.bin", nullptr, 3, key), ReadKeyedFile("raw.bin", nullptr, 0, 0)}),
              (std::vector<int>{0, 1}));
    EXPECT_EQ(WriteKeyedFile("nofolder/x.bin", "x", 1, 0), 0);

    AppendLogLine("log.txt", "first");
    AppendLogLine("LOG.TXT", "second");
    AppendLogLine("nofolder/log.txt", "lost"); // nothing happens
    EXPECT_EQ(ReadFileBytes("log.txt"), "first\nsecond\n");

    std::strcpy(DataFolderPrefix, "./");
    EXPECT_TRUE(CreateDataSubfolder("PROFILES"));
    EXPECT_FALSE(CreateDataSubfolder("profiles")) << "exists already";
    WriteFileBytes("PROFILES/a.bin", "a");
    EXPECT_FALSE(RemoveDataFolder("Profiles")) << "not empty";
    EXPECT_TRUE(DeleteDataFile("profiles\\A.BIN"));
    EXPECT_FALSE(DeleteDataFile("profiles\\A.BIN"));
    EXPECT_TRUE(RemoveDataFolder("Profiles"));
    EXPECT_FALSE(fs::exists("PROFILES"));

    GString path;
    GetProgramFolderPath(path, "Tolvanrise.html");
    const fs::path text = path.c_str();
    EXPECT_TRUE(text.is_absolute());
    EXPECT_EQ(text.filename(), "Tolvanrise.html");
    EXPECT_TRUE(fs::exists(text.parent_path() / "test_foundation_data_files"));

    std::strcpy(DataFolderPrefix, "somewhere/");
    ClearDataFolderPrefix();
    EXPECT_STREQ(DataFolderPrefix, "");
}

TEST_F(DataFilesTest, AlertsFormatTheirNumbersAndTextConverts)
{
    ShowAlert("Cannot find bitmap X");
    ShowAlertHex(0xBEEF);
    ShowAlertDec(-12);
    ShowAlert("\xCE\xF8\xE8\xE1\xEA\xE0"); // "Ошибка" in the narrow code page
    EXPECT_EQ(g_alerts, (std::vector<std::string>{"Cannot find bitmap X", "BEEF", "-12",
                                                  "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0"}));

    std::unique_ptr<char16_t[]> wide = AnsiToWide("\xCF\xF0\xE8\xE2\xE5\xF2!"); // "Привет!"
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(std::u16string(wide.get()), u"\u041F\u0440\u0438\u0432\u0435\u0442!");
    EXPECT_STREQ(WideToAnsi(wide.get()).get(), "\xCF\xF0\xE8\xE2\xE5\xF2!");
    EXPECT_STREQ(WideToAnsi(u"\u4E2Dx").get(), "?x");
    EXPECT_TRUE(AnsiToWide(nullptr) == nullptr && WideToAnsi(nullptr) == nullptr);
    EXPECT_EQ(AnsiToWide("")[0], 0);
}

TEST(XorScrambleTest, RunningKeyItsOwnInverseInPlaceAndEdges)
{
    std::vector<uint8_t> plain(1000), scrambled(1000), back(1000);
    for (size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<uint8_t>(i * 37 + 11);
    for (int key : {0x5a, 250, 0xfe}) {
        EXPECT_EQ(XorScramble(plain.data(), scrambled.data(), 1000, uint8_t(key)), 1);
        // Byte i is combined with key + i; after 255 comes 0.
        for (size_t i = 0; i < plain.size(); ++i)
            ASSERT_EQ(scrambled[i], plain[i] ^ static_cast<uint8_t>(key + i)) << key << " byte " << i;
        EXPECT_EQ(XorScramble(scrambled.data(), back.data(), 1000, uint8_t(key)), 1);
        EXPECT_EQ(back, plain);
        // An int key uses its low byte.
        XorScrambleInt(plain.data(), back.data(), 1000, key + 0x1200 - (key == 0xfe ? 0x1300 : 0));
        EXPECT_EQ(back, scrambled) << key;
    }

    uint8_t data[3] = {1, 2, 3};
    EXPECT_EQ(XorScramble(data, nullptr, 3, 1), 1);
    EXPECT_EQ(std::vector<uint8_t>(data, data + 3), (std::vector<uint8_t>{0, 0, 0}));
    XorScramble(data, data, 3, 1);
    EXPECT_EQ(data[2], 3);
    EXPECT_EQ((std::vector<int>{XorScramble(data, nullptr, 0, 77), data[0], XorScramble(nullptr, data, 3, 1),
                                XorScramble(nullptr, nullptr, 0, 1)}),
              (std::vector<int>{1, 1, 0, 0}));
}

TEST(HtmlLog, HeadReportLinesClosingTotalsEscapingAndNoSilentCuts)
{
    TempFolder folder("html_log_");
    const std::string path = folder.Path("html_log_basic.html");
    {
        GHtmlLog log(path.c_str());
        log.Printf("plain %d", 42);
        // On disk at once, so that a crash loses nothing written so far.
        EXPECT_NE(ReadFileBytes(path).find("> plain 42\n"), std::string::npos);
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

    // Messages are escaped and never cut.
    const std::string longPath = folder.Path("html_log_long.html");
    const std::string longText(40000, 'x');
    {
        GHtmlLog log(longPath.c_str());
        log.Printf("a<b & c");
        log.Printf("%s|end", longText.c_str());
    }
    const std::string longLog = ReadFileBytes(longPath);
    EXPECT_NE(longLog.find("> a&lt;b &amp; c\n"), std::string::npos);
    EXPECT_NE(longLog.find("> " + longText + "|end\n"), std::string::npos);

    // An unopenable file drops the lines silently.
    GHtmlLog log("/nonexistent-folder/for/sure/log.html");
    log.Printf("dropped");
    log.PrintError("not counted");
    EXPECT_EQ(log.GetErrorCount(), 0);
}

// Ending every log reaches each log still alive, however the list was broken up (a log in the
// middle destroyed), once: a log whose closing lines were written takes no more. A log moved to
// another file writes its lines there.
TEST(HtmlLog, EndingEveryLogReachesTheLivingOnesOnce)
{
    TempFolder folder("html_log_list_");
    const std::string older = folder.Path("older.html"), middle = folder.Path("middle.html"),
                      newer = folder.Path("newer.html"), closed = folder.Path("closed.html"),
                      moved = folder.Path("moved.html");
    {
        GHtmlLog a(older.c_str());
        auto b = std::make_unique<GHtmlLog>(middle.c_str());
        GHtmlLog c(newer.c_str());
        GHtmlLog d(closed.c_str());
        d.WriteClosingLines();
        b.reset();
        c.SetFileName(moved.c_str());
        EXPECT_STREQ(c.GetFileName(), moved.c_str());
        EndEveryLog("the cause");
        for (const std::string& path : {older, moved})
            EXPECT_NE(ReadFileBytes(path).find("Error:</FONT></B> the cause\n"), std::string::npos) << path;
        for (const std::string& path : {middle, newer, closed})
            EXPECT_EQ(ReadFileBytes(path).find("the cause"), std::string::npos) << path;
        EndEveryLog(nullptr);
        EXPECT_EQ(ReadFileBytes(older).find("Log file closed: "), ReadFileBytes(older).rfind("Log file closed: "));
    }
    for (const std::string& path : {older, moved, closed}) {
        const std::string text = ReadFileBytes(path);
        EXPECT_EQ(text.find("Log file closed: "), text.rfind("Log file closed: ")) << path << " closed twice";
    }
}

// A fatal error ends every log alive with the cause and its closing lines, once each (logs that
// are destroyed during the exit do not close again), shows the box and exits with the code.
TEST(HtmlLog, AFatalErrorEndsEveryLogAliveBeforeTheProcessEnds)
{
    TempFolder folder("html_log_fatal_");
    const std::string first = folder.Path("first.html"), second = folder.Path("second.html"),
                      gone = folder.Path("gone.html");
    for (const auto& [message, code] : {std::pair{"800x600/bmst.bin not found!", 255}, {"Jpeg data too big!", 100},
                                        {"", 255}}) {
        SCOPED_TRACE(message);
        const int status = RunInChild([&]() -> int {
            platform::SetMessageBoxBackend(&RecordAlert);
            { GHtmlLog closed(gone.c_str()); } // destroyed before: not on the list any more
            static GHtmlLog staticLog(first.c_str());
            auto* heapLog = new GHtmlLog(second.c_str()); // never destroyed, as in a fatal exit
            heapLog->PrintError("earlier");
            EndProcessWithAlert(message, code);
        });
        ASSERT_TRUE(status != -1 && WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), code);
        for (const auto& [path, errors] : {std::pair{first, 1}, {second, 2}}) {
            const std::string text = ReadFileBytes(path);
            const std::string cause = std::string("Error:</FONT></B> ") + message + "\n";
            const size_t at = *message ? text.find(cause) : 0;
            const std::string total = "Total Errors = " + std::to_string(*message ? errors : errors - 1) + "\n";
            EXPECT_NE(at, std::string::npos) << text;
            EXPECT_NE(text.find(total, at), std::string::npos) << text;
            EXPECT_EQ(text.find("Log file closed: "), text.rfind("Log file closed: ")) << "closed twice";
        }
        EXPECT_EQ(ReadFileBytes(gone).find("Error:"), std::string::npos);
    }
}

namespace {

// A fresh data home under the working folder; XDG_DATA_HOME and HOME are restored after.
class SharedDataFolderTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.Created());
        ::setenv("XDG_DATA_HOME", m_home.c_str(), 1);
        std::memset(m_out, '#', sizeof m_out);
    }

    ScopedEnvVar m_savedXdg{"XDG_DATA_HOME"};
    ScopedEnvVar m_savedHome{"HOME"};
    TempFolder m_folder{"shared_", fs::current_path()};
    std::string m_home = m_folder.Path("share");
    char m_out[kMaxPathLength];
};

} // namespace

TEST_F(SharedDataFolderTest, CreatesBothLevelsUnderTheDataHomeOrHome)
{
    ASSERT_EQ(GetSharedDataFolder(m_out, sizeof m_out, "Hallowmere", "Tolvanrise", 1), 1);
    EXPECT_EQ(std::string(m_out), m_home + "/Hallowmere/Tolvanrise");
    struct stat st;
    ASSERT_EQ(::stat(m_out, &st), 0);
    EXPECT_EQ(st.st_mode & (S_IFMT | 077), S_IFDIR) << "a folder private to the user";

    // Present already: nothing new, same answer.
    fs::file_time_type before = fs::last_write_time(m_home + "/Hallowmere");
    std::memset(m_out, '#', sizeof m_out);
    ASSERT_EQ(GetSharedDataFolder(m_out, sizeof m_out, "Hallowmere", "Tolvanrise", 1), 1);
    EXPECT_EQ(std::string(m_out), m_home + "/Hallowmere/Tolvanrise");
    EXPECT_EQ(fs::last_write_time(m_home + "/Hallowmere"), before);

    // Without XDG_DATA_HOME the folder goes under HOME.
    ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", m_folder.Path().c_str(), 1);
    ASSERT_EQ(GetSharedDataFolder(m_out, sizeof m_out, "Hallowmere", "Tolvanrise", 1), 1);
    EXPECT_EQ(std::string(m_out), m_folder.Path(".local/share/Hallowmere/Tolvanrise"));
    EXPECT_TRUE(fs::is_directory(m_out));
}

TEST_F(SharedDataFolderTest, FileInPlaceOfAFolderIsRefused)
{
    ASSERT_TRUE(fs::create_directories(m_home));
    WriteFileBytes(m_home + "/Hallowmere", "not a folder");
    EXPECT_EQ(GetSharedDataFolder(m_out, sizeof m_out, "Hallowmere", "Tolvanrise", 1), 0);
    EXPECT_EQ(std::string(m_out), m_home + "/Hallowmere") << "stops at the level that failed";

    fs::remove(m_home + "/Hallowmere");
    ASSERT_TRUE(fs::create_directories(m_home + "/Hallowmere"));
    WriteFileBytes(m_home + "/Hallowmere/Tolvanrise", "not a folder");
    EXPECT_EQ(GetSharedDataFolder(m_out, sizeof m_out, "Hallowmere", "Tolvanrise", 1), 0);
    EXPECT_EQ(std::string(m_out), m_home + "/Hallowmere/Tolvanrise");
}

TEST_F(SharedDataFolderTest, TooNewAMinimumOrAPathThatDoesNotFitFails)
{
    EXPECT_EQ(GetSharedDataFolder(m_out, sizeof m_out, "Hallowmere", "Tolvanrise", 30000), 0);
    EXPECT_TRUE(m_out[0] == '#' && !fs::exists(m_home));
    EXPECT_EQ(GetSharedDataFolder(m_out, sizeof m_out, "Hallowmere", "Tolvanrise", -1), 1);

    char small[8];
    std::memset(small, '#', sizeof small);
    EXPECT_EQ((std::vector<int>{GetSharedDataFolder(small, sizeof small, "Hallowmere", "Tolvanrise", 1),
                                GetSharedDataFolder(m_out, sizeof m_out, nullptr, "Tolvanrise", 1),
                                GetSharedDataFolder(m_out, sizeof m_out, "Hallowmere", "", 1),
                                GetSharedDataFolder(nullptr, 0, "Hallowmere", "Tolvanrise", 1), small[7]}),
              (std::vector<int>{0, 0, 0, 0, '#'}));
}
