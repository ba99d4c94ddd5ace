#include "foundation/files/shared_data_folder.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "support/scoped_env.h"
#include "support/temp_files.h"

namespace fs = std::filesystem;
using tolvanrise::test::ScopedEnvVar;
using tolvanrise::test::TempFolder;
using tolvanrise::test::WriteFileBytes;

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
    EXPECT_EQ(m_out[0], '#');
    EXPECT_FALSE(fs::exists(m_home));
    EXPECT_EQ(GetSharedDataFolder(m_out, sizeof m_out, "Hallowmere", "Tolvanrise", -1), 1);

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
    ::setenv("HOME", m_folder.Path().c_str(), 1);
    ASSERT_EQ(GetSharedDataFolder(m_out, sizeof m_out, "Hallowmere", "Tolvanrise", 1), 1);
    EXPECT_EQ(std::string(m_out), m_folder.Path(".local/share/Hallowmere/Tolvanrise"));
    EXPECT_TRUE(fs::is_directory(m_out));
}
