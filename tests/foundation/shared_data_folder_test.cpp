#include "foundation/shared_data_folder.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A fresh data home under the working folder; XDG_DATA_HOME and HOME are restored after.
class SharedDataFolderTest : public testing::Test {
protected:
    void SetUp() override
    {
        Remember("XDG_DATA_HOME", m_hadXdg, m_xdg);
        Remember("HOME", m_hadHome, m_homeValue);
        std::string pattern = fs::current_path().string() + "/shared_XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back(0);
        ASSERT_NE(::mkdtemp(buffer.data()), nullptr);
        m_dir = buffer.data();
        m_home = m_dir + "/share";
        ::setenv("XDG_DATA_HOME", m_home.c_str(), 1);
        std::memset(m_out, '#', sizeof m_out);
    }
    void TearDown() override
    {
        Restore("XDG_DATA_HOME", m_hadXdg, m_xdg);
        Restore("HOME", m_hadHome, m_homeValue);
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }

    static void Remember(const char* name, bool& had, std::string& value)
    {
        const char* v = std::getenv(name);
        had = v != nullptr;
        value = v ? v : "";
    }
    static void Restore(const char* name, bool had, const std::string& value)
    {
        if (had)
            ::setenv(name, value.c_str(), 1);
        else
            ::unsetenv(name);
    }

    std::string m_dir;
    std::string m_home;
    char m_out[kMaxPathLength];
    bool m_hadXdg = false, m_hadHome = false;
    std::string m_xdg, m_homeValue;
};

} // namespace

TEST_F(SharedDataFolderTest, CreatesBothLevelsUnderTheDataHome)
{
    ASSERT_EQ(GetSharedDataFolder(m_out, sizeof m_out, "Hallowmere", "Tolvanrise", 1), 1);
    EXPECT_EQ(std::string(m_out), m_home + "/Hallowmere/Tolvanrise");
    EXPECT_TRUE(fs::is_directory(m_out));
    struct stat st;
    ASSERT_EQ(::stat(m_out, &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u) << "private to the user";

    // Present already: nothing new, same answer.
    fs::file_time_type before = fs::last_write_time(m_home + "/Hallowmere");
    std::memset(m_out, '#', sizeof m_out);
    ASSERT_EQ(GetSharedDataFolder(m_out, sizeof m_out, "Hallowmere", "Tolvanrise", 1), 1);
    EXPECT_EQ(std::string(m_out), m_home + "/Hallowmere/Tolvanrise");
    EXPECT_EQ(fs::last_write_time(m_home + "/Hallowmere"), before);
}

TEST_F(SharedDataFolderTest, FileInPlaceOfAFolderIsRefused)
{
    ASSERT_TRUE(fs::create_directories(m_home));
    std::ofstream(m_home + "/Hallowmere") << "not a folder";
    EXPECT_EQ(GetSharedDataFolder(m_out, sizeof m_out, "Hallowmere", "Tolvanrise", 1), 0);
    EXPECT_EQ(std::string(m_out), m_home + "/Hallowmere") << "stops at the level that failed";

    fs::remove(m_home + "/Hallowmere");
    ASSERT_TRUE(fs::create_directories(m_home + "/Hallowmere"));
    std::ofstream(m_home + "/Hallowmere/Tolvanrise") << "not a folder";
    EXPECT_EQ(GetSharedDataFolder(m_out, sizeof m_out, "Hallowmere", "Tolvanrise", 1), 0);
    EXPECT_EQ(std::string(m_out), m_home + "/Hallowmere/Tolvanrise");
}

TEST_F(SharedDataFolderTest, TooNewAMinimumLeavesTheBufferAlone)
{
    EXPECT_EQ(GetSharedDataFolder(m_out, sizeof m_out, "Hallowmere", "Tolvanrise", 30000), 0);
    EXPECT_EQ(m_out[0], '#');
    EXPECT_FALSE(fs::exists(m_home));
    EXPECT_EQ(GetSharedDataFolder(m_out, sizeof m_out, "Hallowmere", "Tolvanrise", -1), 1);
}

TEST_F(SharedDataFolderTest, PathThatDoesNotFitFails)
{
    char small[8];
    std::memset(small, '#', sizeof small);
    EXPECT_EQ(GetSharedDataFolder(small, sizeof small, "Hallowmere", "Tolvanrise", 1), 0);
    EXPECT_EQ(small[7], '#');
    EXPECT_EQ(GetSharedDataFolder(m_out, sizeof m_out, nullptr, "Tolvanrise", 1), 0);
    EXPECT_EQ(GetSharedDataFolder(m_out, sizeof m_out, "Hallowmere", "", 1), 0);
    EXPECT_EQ(GetSharedDataFolder(nullptr, 0, "Hallowmere", "Tolvanrise", 1), 0);
}

TEST_F(SharedDataFolderTest, FallsBackToHomeWhenXdgIsUnset)
{
    ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", m_dir.c_str(), 1);
    ASSERT_EQ(GetSharedDataFolder(m_out, sizeof m_out, "Hallowmere", "Tolvanrise", 1), 1);
    EXPECT_EQ(std::string(m_out), m_dir + "/.local/share/Hallowmere/Tolvanrise");
    EXPECT_TRUE(fs::is_directory(m_out));
}
