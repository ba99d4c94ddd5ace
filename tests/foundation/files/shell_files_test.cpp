// The file chooser and the opener over stand-in zenity, kdialog and xdg-open programs that
// record their arguments, and the platform's program runner beneath them.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "foundation/files/shell_files.h"
#include "platform/window/message_box.h"
#include "platform/files/shell.h"
#include "platform/system/system_info.h"
#include "support/scoped_env.h"
#include "support/temp_files.h"

namespace {

using namespace tolvanrise::test;

std::vector<std::string> g_boxes;

bool RecordingBox(const platform::MessageBoxRequest& request, platform::MessageBoxAnswer& answer)
{
    g_boxes.push_back(std::string("[") + request.titleUtf8 + "] " + request.textUtf8);
    answer = platform::MessageBoxAnswer::kOk;
    return true;
}

std::vector<std::string> ReadArgs(const std::string& path)
{
    // Arguments are written NUL-separated: a filter argument holds a line break.
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> args;
    for (std::string a; std::getline(in, a, '\0');)
        args.push_back(a);
    return args;
}

// A PATH of stand-in programs only; restores PATH and the box backend afterwards.
class ShellFilesTest : public testing::Test {
protected:
    TempFolder root{"shell_files_"};
    std::string bin = root.Path("bin");
    std::string argsFile = root.Path("args");

    void SetUp() override
    {
        ::mkdir(bin.c_str(), 0755);
        m_savedBackend = platform::GetMessageBoxBackend();
        platform::SetMessageBoxBackend(&RecordingBox);
        g_boxes.clear();
    }
    void TearDown() override { platform::SetMessageBoxBackend(m_savedBackend); }

    // A program that records its arguments, prints output and ends with exitCode.
    void Install(const char* name, const std::string& output, int exitCode)
    {
        WriteExecutableFile(bin + "/" + name,
                            "#!/bin/sh\n: > '" + argsFile + "'\nfor a in \"$@\"; do printf '%s\\0' \"$a\" >> '" +
                                argsFile + "'; done\nprintf '%s' '" + output + "'\nexit " +
                                std::to_string(exitCode) + "\n");
    }

private:
    ScopedEnvVar m_savedPath{"PATH", bin};
    platform::MessageBoxBackend m_savedBackend = nullptr;
};

const char kFilter[] = "Levels\0*.lvl; *.txt\0All files\0*\0";

TEST_F(ShellFilesTest, ZenityOpenAndSave)
{
    Install("zenity", "/data/my levels/level one.lvl\n", 0);
    char path[kFileDialogPathSize] = "unchanged";
    char title[kFileDialogPathSize] = "unchanged";
    ASSERT_TRUE(ShowFileDialog(nullptr, path, "Open level", "/data/levels\\", kFilter, title, false));
    EXPECT_EQ(std::string(path) + "|" + title, "/data/my levels/level one.lvl|level one.lvl");
    EXPECT_EQ(ReadArgs(argsFile),
              (std::vector<std::string>{"--file-selection", "--title=Open level", "--filename=/data/levels/",
                                        "--file-filter=Levels | *.lvl *.txt", "--file-filter=All files | *"}));
    EXPECT_TRUE(g_boxes.empty());

    Install("zenity", "/tmp/out.bmp\n", 0);
    std::string before = platform::GetCurrentFolder();
    // Windows-1251 title; no initial folder means the current one; null title buffer skipped.
    ASSERT_TRUE(ShowFileDialog(nullptr, path, "\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC", nullptr, nullptr, nullptr, true));
    EXPECT_STREQ(path, "/tmp/out.bmp");
    EXPECT_EQ(ReadArgs(argsFile),
              (std::vector<std::string>{"--file-selection", "--title=\xD0\xA1\xD0\xBE\xD1\x85\xD1\x80\xD0\xB0\xD0\xBD\xD0\xB8\xD1\x82\xD1\x8C",
                                        "--save", "--confirm-overwrite", "--filename=" + before + "/"}));
    EXPECT_EQ(platform::GetCurrentFolder(), before);
}

TEST_F(ShellFilesTest, KdialogWhenZenityIsMissing)
{
    Install("kdialog", "/home/p/x.txt\n", 0);
    char path[kFileDialogPathSize] = {};
    char title[kFileDialogPathSize] = {};
    ASSERT_TRUE(ShowFileDialog(nullptr, path, "Pick", "/srv", kFilter, title, false));
    EXPECT_EQ(std::string(path) + "|" + title, "/home/p/x.txt|x.txt");
    EXPECT_EQ(ReadArgs(argsFile), (std::vector<std::string>{"--title", "Pick", "--getopenfilename", "/srv",
                                                            "*.lvl *.txt|Levels\n*|All files"}));
}

// A missing chooser and a cancel fail quietly; errors and paths too long are alerted.
TEST_F(ShellFilesTest, ChooserFailures)
{
    char path[kFileDialogPathSize] = "unchanged";
    EXPECT_FALSE(ShowFileDialog(nullptr, path, "t", nullptr, kFilter, nullptr, false));
    Install("zenity", "", 1);
    EXPECT_FALSE(ShowFileDialog(nullptr, path, "t", nullptr, kFilter, nullptr, false));
    EXPECT_STREQ(path, "unchanged");
    EXPECT_TRUE(g_boxes.empty());
    Install("zenity", "", 5);
    EXPECT_FALSE(ShowFileDialog(nullptr, path, "t", nullptr, nullptr, nullptr, false));
    // 259 characters fit the buffer with its terminator; 260 do not.
    std::string fits = "/" + std::string(258, 'f');
    Install("zenity", fits + "\n", 0);
    EXPECT_TRUE(ShowFileDialog(nullptr, path, "t", nullptr, nullptr, nullptr, false));
    EXPECT_EQ(std::string(path), fits);
    Install("zenity", "/" + std::string(259, 'g') + "\n", 0);
    EXPECT_FALSE(ShowFileDialog(nullptr, path, "t", nullptr, nullptr, nullptr, false));
    EXPECT_EQ(std::string(path), fits);
    EXPECT_EQ(g_boxes, (std::vector<std::string>{"[Alert] Error: 5", "[Alert] Error: 12291"}));
}

TEST_F(ShellFilesTest, UnterminatedFilterIsCutOff)
{
    Install("zenity", "/a\n", 0);
    // A description far longer than any real one stands for a filter that lost its end.
    std::string filter(2000, 'd');
    filter.push_back('\0');
    filter.push_back('\0');
    char path[kFileDialogPathSize] = {};
    ASSERT_TRUE(ShowFileDialog(nullptr, path, nullptr, "/x", filter.c_str(), nullptr, false));
    EXPECT_EQ(ReadArgs(argsFile), (std::vector<std::string>{"--file-selection", "--filename=/x/"}));
}

TEST_F(ShellFilesTest, OpenWithShellStartsTheOpenerWithoutWaiting)
{
    EXPECT_FALSE(OpenWithShell("/tmp/readme.txt")); // no opener installed
    // The opener keeps running; the call must not wait for it.
    std::string pidFile = root.Path("opener.pid");
    WriteExecutableFile(bin + "/xdg-open",
                        "#!/bin/sh\necho $$ > '" + pidFile + "'\nprintf '%s\\0' \"$@\" > '" + argsFile +
                            ".tmp'\n/bin/mv '" + argsFile + ".tmp' '" + argsFile + "'\nexec /bin/sleep 30\n");
    EXPECT_TRUE(OpenWithShell("/tmp/read me.txt"));
    for (int i = 0; i < 500 && ::access(argsFile.c_str(), F_OK) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ReadArgs(argsFile), (std::vector<std::string>{"/tmp/read me.txt"}));
    EXPECT_FALSE(OpenWithShell("") || OpenWithShell(nullptr));
    // End the opener this test started, by its own id.
    std::ifstream pidIn(pidFile);
    int pid = 0;
    if (pidIn >> pid && pid > 0)
        ::kill(pid, SIGTERM);
}

// A plain file that is not executable.
struct PlainFile {
    TempFolder folder{"shell_plain_"};
    std::string path = folder.WriteFile("plain", "");
};

TEST(Shell, RunFindAndAbsolutePath)
{
    PlainFile plain;
    // Started, exit code (-1 for a signal), output (taken only when asked for).
    auto run = [](std::vector<std::string> args, bool output = false) {
        platform::ProgramResult r = platform::RunProgram(args, output);
        return std::tuple{r.started, r.exitCode, r.output};
    };
    EXPECT_EQ(run({"/bin/echo", "a b", "c"}, true), std::tuple(true, 0, std::string("a b c\n")));
    EXPECT_EQ(run({"sh", "-c", "exit 7"}), std::tuple(true, 7, std::string()));
    EXPECT_EQ(run({"sh", "-c", "kill -9 $$"}), std::tuple(true, -1, std::string()));
    EXPECT_FALSE(platform::RunProgram({"no-such-program-anywhere"}).started || platform::RunProgram({}).started);
    EXPECT_FALSE(platform::LaunchProgram({"no-such-program-anywhere"}) || platform::LaunchProgram({plain.path}));
    EXPECT_TRUE(platform::LaunchProgram({"true"}));

    EXPECT_FALSE(platform::FindProgram("sh").empty());
    EXPECT_EQ(platform::FindProgram("/bin/sh"), "/bin/sh");
    for (const char* none : {plain.path.c_str(), "", static_cast<const char*>(nullptr)})
        EXPECT_EQ(platform::FindProgram(none), "");

    std::string here = platform::GetCurrentFolder();
    EXPECT_EQ(platform::AbsolutePath("crash.mdmp"), here + "/crash.mdmp");
    EXPECT_EQ(platform::AbsolutePath("logs\\Tolvanrise.html"), here + "/logs/Tolvanrise.html");
    EXPECT_EQ(platform::AbsolutePath("/var/x"), "/var/x");
}

} // namespace
