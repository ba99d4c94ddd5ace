#include "platform/file_system.h"
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A fresh folder under the working folder, removed with everything in it.
class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = fs::current_path().string() + "/fs_test_XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back(0);
        if (::mkdtemp(buffer.data()))
            m_path = buffer.data();
    }
    ~TempFolder()
    {
        if (m_path.empty())
            return;
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(m_path, ignored))
            if (entry.is_directory(ignored))
                ::chmod(entry.path().c_str(), 0755);
        fs::remove_all(m_path, ignored);
    }
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadStream(std::FILE* file)
{
    std::string text;
    char buffer[256];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    return text;
}

std::set<std::string> Entries(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// Restores an environment variable when the test ends.
class EnvGuard {
public:
    explicit EnvGuard(const char* name) : m_name(name)
    {
        if (const char* value = std::getenv(name)) {
            m_had = true;
            m_value = value;
        }
    }
    ~EnvGuard()
    {
        if (m_had)
            ::setenv(m_name, m_value.c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had = false;
    std::string m_value;
};

} // namespace

TEST(OpenFile, BackslashNameFindsFileOfAnotherCase)
{
    TempFolder dir;
    ASSERT_FALSE(dir.Path().empty());
    fs::create_directory(dir / "music");
    WriteText(dir / "music/MUSIC.INI", "[music]");

    std::string name = dir.Path() + "\\MUSIC\\music.ini";
    std::FILE* file = platform::OpenFile(name.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ReadStream(file), "[music]");
    std::fclose(file);
    EXPECT_EQ(platform::ResolvePath(name.c_str()), dir / "music/MUSIC.INI");
}

TEST(OpenFile, ExactSpellingWinsOverOtherCases)
{
    TempFolder dir;
    WriteText(dir / "Data.txt", "upper");
    WriteText(dir / "data.txt", "lower");
    WriteText(dir / "DATA.TXT", "all");
    for (const char* name : {"Data.txt", "data.txt", "DATA.TXT"}) {
        std::FILE* file = platform::OpenFile((dir / name).c_str(), "rb");
        ASSERT_NE(file, nullptr) << name;
        std::string expected = ReadText(dir / name);
        EXPECT_EQ(ReadStream(file), expected) << name;
        std::fclose(file);
    }
    // Of several other spellings the smallest name is taken, whatever the directory order.
    EXPECT_EQ(platform::ResolvePath((dir / "dAtA.txt").c_str()), dir / "DATA.TXT");
}

TEST(OpenFile, MissingNamesFailAndDotComponentsPass)
{
    TempFolder dir;
    fs::create_directory(dir / "Sub");
    WriteText(dir / "Sub/file.bin", "x");
    EXPECT_EQ(platform::OpenFile((dir / "nothing.bin").c_str(), "rb"), nullptr);
    EXPECT_EQ(platform::OpenFile((dir / "nofolder/file.bin").c_str(), "rb"), nullptr);
    EXPECT_EQ(platform::OpenFile(nullptr, "rb"), nullptr);
    EXPECT_EQ(platform::OpenFile((dir / "x").c_str(), nullptr), nullptr);

    std::FILE* file = platform::OpenFile((dir / "sub/./../SUB//FILE.BIN").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ReadStream(file), "x");
    std::fclose(file);
}

TEST(OpenFile, WritesResolveFoldersAndCreateTheLastNameAsWritten)
{
    TempFolder dir;
    fs::create_directory(dir / "Saves");

    std::FILE* file = platform::OpenFile((dir.Path() + "\\SAVES\\New.dat").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("one", file);
    std::fclose(file);
    EXPECT_EQ(Entries(dir / "Saves"), std::set<std::string>{"New.dat"});

    // Another spelling of an existing file writes that file, not a second one.
    file = platform::OpenFile((dir / "saves/NEW.DAT").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("two", file);
    std::fclose(file);
    EXPECT_EQ(Entries(dir / "Saves"), std::set<std::string>{"New.dat"});
    EXPECT_EQ(ReadText(dir / "Saves/New.dat"), "two");

    EXPECT_EQ(platform::OpenFile((dir / "missing/new.dat").c_str(), "wb"), nullptr);
}

TEST(Folders, CreateRemoveAndDelete)
{
    TempFolder dir;
    std::string a = dir / "A";
    EXPECT_TRUE(platform::CreateFolder(a.c_str()));
    EXPECT_FALSE(platform::CreateFolder(a.c_str()));
    EXPECT_FALSE(platform::CreateFolder((dir / "a").c_str())) << "exists in another case";
    EXPECT_TRUE(platform::IsFolder((dir / "a").c_str()));
    EXPECT_FALSE(platform::CreateFolder((dir / "x/y").c_str()));

    EXPECT_TRUE(platform::CreateFolders((dir / "a/B/c/").c_str()));
    EXPECT_TRUE(platform::IsFolder((dir / "A/B/c").c_str()));
    EXPECT_TRUE(platform::CreateFolders((dir / "A/B/c").c_str())) << "already there";

    WriteText(dir / "A/file", "f");
    EXPECT_FALSE(platform::CreateFolders((dir / "A/file/deeper").c_str()));
    EXPECT_FALSE(platform::CreateFolders((dir / "A/FILE").c_str()));
    EXPECT_TRUE(platform::PathExists((dir / "a/FILE").c_str()));
    EXPECT_FALSE(platform::IsFolder((dir / "a/FILE").c_str()));

    EXPECT_FALSE(platform::RemoveFolder((dir / "A/B").c_str())) << "not empty";
    EXPECT_FALSE(platform::DeleteFile((dir / "A/B/c").c_str())) << "a folder";
    EXPECT_FALSE(platform::RemoveFolder((dir / "A/file").c_str())) << "a file";
    EXPECT_TRUE(platform::RemoveFolder((dir / "a/b/C").c_str()));
    EXPECT_TRUE(platform::DeleteFile((dir / "a/FILE").c_str()));
    EXPECT_FALSE(platform::DeleteFile((dir / "a/FILE").c_str()));
    EXPECT_FALSE(platform::PathExists((dir / "A/file").c_str()));
}

TEST(Folders, PrivateFoldersHaveNoAccessForOthers)
{
    TempFolder dir;
    ASSERT_TRUE(platform::CreateFolders((dir / "p/q").c_str(), true));
    struct stat st;
    ASSERT_EQ(::stat((dir / "p/q").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);
}

TEST(FileSize, RegularFilesOnly)
{
    TempFolder dir;
    WriteText(dir / "five", "12345");
    std::FILE* file = platform::OpenFile((dir / "five").c_str(), "rb");
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
    TempFolder dir;
    std::string name = dir / "record.bin";
    EXPECT_EQ(platform::ReplaceFile(name.c_str(), "first", 5), platform::ReplaceResult::kReplaced);
    EXPECT_EQ(ReadText(name), "first");
    EXPECT_EQ(platform::ReplaceFile((dir / "RECORD.BIN").c_str(), "2nd", 3),
              platform::ReplaceResult::kReplaced);
    EXPECT_EQ(ReadText(name), "2nd");
    EXPECT_EQ(platform::ReplaceFile(name.c_str(), nullptr, 0), platform::ReplaceResult::kReplaced);
    EXPECT_EQ(ReadText(name), "");
    EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"record.bin"});
}

TEST(ReplaceFile, RefusesWhatItCannotCreate)
{
    TempFolder dir;
    fs::create_directory(dir / "folder");
    EXPECT_EQ(platform::ReplaceFile((dir / "folder").c_str(), "x", 1),
              platform::ReplaceResult::kCannotCreate);
    EXPECT_EQ(platform::ReplaceFile((dir / "missing/x.bin").c_str(), "x", 1),
              platform::ReplaceResult::kCannotCreate);
    EXPECT_EQ(platform::ReplaceFile((dir / "").c_str(), "x", 1), platform::ReplaceResult::kCannotCreate);
    EXPECT_EQ(platform::ReplaceFile((dir / "y").c_str(), nullptr, 1),
              platform::ReplaceResult::kCannotCreate);
    EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"folder"});
}

TEST(ReplaceFile, NeverWorldWritableAndNeverLooserThanTheOldFile)
{
    TempFolder dir;
    mode_t oldMask = ::umask(0);
    std::string fresh = dir / "fresh";
    EXPECT_EQ(platform::ReplaceFile(fresh.c_str(), "a", 1), platform::ReplaceResult::kReplaced);
    std::string tight = dir / "tight";
    WriteText(tight, "old");
    ::chmod(tight.c_str(), 0600);
    EXPECT_EQ(platform::ReplaceFile(tight.c_str(), "new", 3), platform::ReplaceResult::kReplaced);
    std::string loose = dir / "loose";
    WriteText(loose, "old");
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
    TempFolder dir;
    std::string name = dir / "keep.bin";
    std::string old(300, '\0');
    for (size_t i = 0; i < old.size(); ++i)
        old[i] = static_cast<char>(i * 7);
    WriteText(name, old);

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::vector<char> bigger(5000, 'n');
        platform::ReplaceResult result = platform::ReplaceFile(name.c_str(), bigger.data(), bigger.size());
        ::_exit(result == platform::ReplaceResult::kWriteFailed ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadText(name), old);
    EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"keep.bin"});
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
    EnvGuard xdg("XDG_DATA_HOME");
    EnvGuard home("HOME");
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
