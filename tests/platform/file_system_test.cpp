#include "platform/file_system.h"
#include "platform/paths.h"
#include "support/child_process.h"
#include "support/scoped_env.h"
#include "support/temp_files.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace tolvanrise::test;

TEST(OpenFile, BackslashNameFindsFileOfAnotherCase)
{
    TempFolder dir("fs_test_", fs::current_path());
    ASSERT_FALSE(dir.Path().empty());
    fs::create_directory(dir.Path("music"));
    WriteFileBytes(dir.Path("music/MUSIC.INI"), "[music]");

    std::string name = dir.Path() + "\\MUSIC\\music.ini";
    std::FILE* file = platform::OpenFile(name.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ReadStreamBytes(file), "[music]");
    std::fclose(file);
    EXPECT_EQ(platform::ResolvePath(name.c_str()), dir.Path("music/MUSIC.INI"));
}

TEST(OpenFile, ExactSpellingWinsOverOtherCases)
{
    TempFolder dir("fs_test_", fs::current_path());
    WriteFileBytes(dir.Path("Data.txt"), "upper");
    WriteFileBytes(dir.Path("data.txt"), "lower");
    WriteFileBytes(dir.Path("DATA.TXT"), "all");
    for (const char* name : {"Data.txt", "data.txt", "DATA.TXT"}) {
        std::FILE* file = platform::OpenFile((dir.Path(name)).c_str(), "rb");
        ASSERT_NE(file, nullptr) << name;
        std::string expected = ReadFileBytes(dir.Path(name));
        EXPECT_EQ(ReadStreamBytes(file), expected) << name;
        std::fclose(file);
    }
    // Of several other spellings the smallest name is taken, whatever the directory order.
    EXPECT_EQ(platform::ResolvePath((dir.Path("dAtA.txt")).c_str()), dir.Path("DATA.TXT"));
}

TEST(OpenFile, MissingNamesFailAndDotComponentsPass)
{
    TempFolder dir("fs_test_", fs::current_path());
    fs::create_directory(dir.Path("Sub"));
    WriteFileBytes(dir.Path("Sub/file.bin"), "x");
    EXPECT_EQ(platform::OpenFile((dir.Path("nothing.bin")).c_str(), "rb"), nullptr);
    EXPECT_EQ(platform::OpenFile((dir.Path("nofolder/file.bin")).c_str(), "rb"), nullptr);
    EXPECT_EQ(platform::OpenFile(nullptr, "rb"), nullptr);
    EXPECT_EQ(platform::OpenFile((dir.Path("x")).c_str(), nullptr), nullptr);

    std::FILE* file = platform::OpenFile((dir.Path("sub/./../SUB//FILE.BIN")).c_str(), "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ReadStreamBytes(file), "x");
    std::fclose(file);
}

TEST(OpenFile, WritesResolveFoldersAndCreateTheLastNameAsWritten)
{
    TempFolder dir("fs_test_", fs::current_path());
    fs::create_directory(dir.Path("Saves"));

    std::FILE* file = platform::OpenFile((dir.Path() + "\\SAVES\\New.dat").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("one", file);
    std::fclose(file);
    EXPECT_EQ(FolderEntries(dir.Path("Saves")), std::set<std::string>{"New.dat"});

    // Another spelling of an existing file writes that file, not a second one.
    file = platform::OpenFile((dir.Path("saves/NEW.DAT")).c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("two", file);
    std::fclose(file);
    EXPECT_EQ(FolderEntries(dir.Path("Saves")), std::set<std::string>{"New.dat"});
    EXPECT_EQ(ReadFileBytes(dir.Path("Saves/New.dat")), "two");

    EXPECT_EQ(platform::OpenFile((dir.Path("missing/new.dat")).c_str(), "wb"), nullptr);
}

TEST(Folders, CreateRemoveAndDelete)
{
    TempFolder dir("fs_test_", fs::current_path());
    std::string a = dir.Path("A");
    EXPECT_TRUE(platform::CreateFolder(a.c_str()));
    EXPECT_FALSE(platform::CreateFolder(a.c_str()));
    EXPECT_FALSE(platform::CreateFolder((dir.Path("a")).c_str())) << "exists in another case";
    EXPECT_TRUE(platform::IsFolder((dir.Path("a")).c_str()));
    EXPECT_FALSE(platform::CreateFolder((dir.Path("x/y")).c_str()));

    EXPECT_TRUE(platform::CreateFolders((dir.Path("a/B/c/")).c_str()));
    EXPECT_TRUE(platform::IsFolder((dir.Path("A/B/c")).c_str()));
    EXPECT_TRUE(platform::CreateFolders((dir.Path("A/B/c")).c_str())) << "already there";

    WriteFileBytes(dir.Path("A/file"), "f");
    EXPECT_FALSE(platform::CreateFolders((dir.Path("A/file/deeper")).c_str()));
    EXPECT_FALSE(platform::CreateFolders((dir.Path("A/FILE")).c_str()));
    EXPECT_TRUE(platform::PathExists((dir.Path("a/FILE")).c_str()));
    EXPECT_FALSE(platform::IsFolder((dir.Path("a/FILE")).c_str()));

    EXPECT_FALSE(platform::RemoveFolder((dir.Path("A/B")).c_str())) << "not empty";
    EXPECT_FALSE(platform::DeleteFile((dir.Path("A/B/c")).c_str())) << "a folder";
    EXPECT_FALSE(platform::RemoveFolder((dir.Path("A/file")).c_str())) << "a file";
    EXPECT_TRUE(platform::RemoveFolder((dir.Path("a/b/C")).c_str()));
    EXPECT_TRUE(platform::DeleteFile((dir.Path("a/FILE")).c_str()));
    EXPECT_FALSE(platform::DeleteFile((dir.Path("a/FILE")).c_str()));
    EXPECT_FALSE(platform::PathExists((dir.Path("A/file")).c_str()));
}

TEST(Folders, PrivateFoldersHaveNoAccessForOthers)
{
    TempFolder dir("fs_test_", fs::current_path());
    ASSERT_TRUE(platform::CreateFolders((dir.Path("p/q")).c_str(), true));
    struct stat st;
    ASSERT_EQ(::stat((dir.Path("p/q")).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);
}

TEST(FileSize, RegularFilesOnly)
{
    TempFolder dir("fs_test_", fs::current_path());
    WriteFileBytes(dir.Path("five"), "12345");
    std::FILE* file = platform::OpenFile((dir.Path("five")).c_str(), "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(platform::GetFileSize(file), 5);
    std::fclose(file);

    // Opening a folder for reading succeeds on Linux; its size must not be trusted.
    file = std::fopen(dir.Path().c_str(), "rb");
    if (file) {
        EXPECT_EQ(platform::GetFileSize(file), -1);
        std::fclose(file);
    }
    EXPECT_EQ(platform::GetFileSize(nullptr), -1);
}

TEST(ReplaceFile, CreatesAndReplacesWithoutLeftovers)
{
    TempFolder dir("fs_test_", fs::current_path());
    std::string name = dir.Path("record.bin");
    EXPECT_EQ(platform::ReplaceFile(name.c_str(), "first", 5), platform::ReplaceResult::kReplaced);
    EXPECT_EQ(ReadFileBytes(name), "first");
    EXPECT_EQ(platform::ReplaceFile((dir.Path("RECORD.BIN")).c_str(), "2nd", 3),
              platform::ReplaceResult::kReplaced);
    EXPECT_EQ(ReadFileBytes(name), "2nd");
    EXPECT_EQ(platform::ReplaceFile(name.c_str(), nullptr, 0), platform::ReplaceResult::kReplaced);
    EXPECT_EQ(ReadFileBytes(name), "");
    EXPECT_EQ(FolderEntries(dir.Path()), std::set<std::string>{"record.bin"});
}

TEST(ReplaceFile, RefusesWhatItCannotCreate)
{
    TempFolder dir("fs_test_", fs::current_path());
    fs::create_directory(dir.Path("folder"));
    EXPECT_EQ(platform::ReplaceFile((dir.Path("folder")).c_str(), "x", 1),
              platform::ReplaceResult::kCannotCreate);
    EXPECT_EQ(platform::ReplaceFile((dir.Path("missing/x.bin")).c_str(), "x", 1),
              platform::ReplaceResult::kCannotCreate);
    EXPECT_EQ(platform::ReplaceFile((dir.Path("")).c_str(), "x", 1), platform::ReplaceResult::kCannotCreate);
    EXPECT_EQ(platform::ReplaceFile((dir.Path("y")).c_str(), nullptr, 1),
              platform::ReplaceResult::kCannotCreate);
    EXPECT_EQ(FolderEntries(dir.Path()), std::set<std::string>{"folder"});
}

TEST(ReplaceFile, NeverWorldWritableAndNeverLooserThanTheOldFile)
{
    TempFolder dir("fs_test_", fs::current_path());
    mode_t oldMask = ::umask(0);
    std::string fresh = dir.Path("fresh");
    EXPECT_EQ(platform::ReplaceFile(fresh.c_str(), "a", 1), platform::ReplaceResult::kReplaced);
    std::string tight = dir.Path("tight");
    WriteFileBytes(tight, "old");
    ::chmod(tight.c_str(), 0600);
    EXPECT_EQ(platform::ReplaceFile(tight.c_str(), "new", 3), platform::ReplaceResult::kReplaced);
    std::string loose = dir.Path("loose");
    WriteFileBytes(loose, "old");
    ::chmod(loose.c_str(), 0666);
    EXPECT_EQ(platform::ReplaceFile(loose.c_str(), "new", 3), platform::ReplaceResult::kReplaced);
    ::umask(oldMask);

    struct stat st;
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    ASSERT_EQ(::stat(tight.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(loose.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

// A write that runs into the file-size limit halfway must leave the old file as it was.
TEST(ReplaceFile, FailedWriteKeepsTheOldFileByteIdentical)
{
    TempFolder dir("fs_test_", fs::current_path());
    std::string name = dir.Path("keep.bin");
    std::string old(300, '\0');
    for (size_t i = 0; i < old.size(); ++i)
        old[i] = static_cast<char>(i * 7);
    WriteFileBytes(name, old);

    const int status = RunInChild(
        [&] {
            std::vector<char> bigger(5000, 'n');
            platform::ReplaceResult result = platform::ReplaceFile(name.c_str(), bigger.data(), bigger.size());
            return result == platform::ReplaceResult::kWriteFailed ? 0 : 1;
        },
        {.maxFileBytes = 100});
    ASSERT_NE(status, -1);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFileBytes(name), old);
    EXPECT_EQ(FolderEntries(dir.Path()), std::set<std::string>{"keep.bin"});
}

TEST(Paths, ProgramFolderHoldsThisTest)
{
    std::string folder = platform::GetProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.front(), '/');
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(fs::exists(folder + "test_platform_file_system"));
}

TEST(Paths, DataHomeFollowsXdgThenHome)
{
    ScopedEnvVar xdg("XDG_DATA_HOME");
    ScopedEnvVar home("HOME");
    ::setenv("HOME", "/home/player/", 1);
    ::setenv("XDG_DATA_HOME", "/srv/data//", 1);
    EXPECT_EQ(platform::GetDataHome(), "/srv/data");
    ::setenv("XDG_DATA_HOME", "relative/data", 1);
    EXPECT_EQ(platform::GetDataHome(), "/home/player/.local/share");
    ::setenv("XDG_DATA_HOME", "", 1);
    EXPECT_EQ(platform::GetDataHome(), "/home/player/.local/share");
    ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", "/", 1);
    EXPECT_EQ(platform::GetDataHome(), "/.local/share");
    ::unsetenv("HOME");
    std::string fallback = platform::GetDataHome(); // from the password database
    if (!fallback.empty()) {
        EXPECT_EQ(fallback.substr(fallback.size() - 13), "/.local/share");
    }
}

TEST(Paths, SystemVersionIsKnown)
{
    EXPECT_GE(platform::GetSystemMajorVersion(), 2u);
}
