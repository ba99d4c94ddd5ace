#include "platform/files/file_lock.h"
#include "platform/files/file_system.h"
#include "platform/files/mapped_file.h"
#include "platform/files/paths.h"
#include "platform/files/shell.h"
#include "support/child_process.h"
#include "support/scoped_env.h"
#include "support/temp_files.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;
using namespace tolvanrise::test;

namespace {

class FileSystemTest : public testing::Test {
protected:
    // The file's contents through OpenFile, or "<none>" when it does not open.
    std::string ReadVia(const std::string& name)
    {
        std::FILE* file = platform::OpenFile(name.c_str(), "rb");
        if (!file)
            return "<none>";
        std::string bytes = ReadStreamBytes(file);
        std::fclose(file);
        return bytes;
    }
    bool WriteVia(const std::string& name, const char* text)
    {
        std::FILE* file = platform::OpenFile(name.c_str(), "wb");
        if (!file)
            return false;
        std::fputs(text, file);
        return std::fclose(file) == 0;
    }
    const char* P(const char* name) { return m_names.emplace_back(dir.Path(name)).c_str(); }

    TempFolder dir{"fs_test_", fs::current_path()};
    std::deque<std::string> m_names; // keeps P()'s strings alive for the test
};

} // namespace

TEST_F(FileSystemTest, BackslashNameFindsFileOfAnotherCase)
{
    ASSERT_FALSE(dir.Path().empty());
    fs::create_directory(dir.Path("music"));
    WriteFileBytes(dir.Path("music/MUSIC.INI"), "[music]");
    std::string name = dir.Path() + "\\MUSIC\\music.ini";
    EXPECT_EQ(ReadVia(name), "[music]");
    EXPECT_EQ(platform::ResolvePath(name.c_str()), dir.Path("music/MUSIC.INI"));
}

TEST_F(FileSystemTest, ExactSpellingWinsOverOtherCases)
{
    for (const char* name : {"Data.txt", "data.txt", "DATA.TXT"})
        WriteFileBytes(dir.Path(name), name);
    for (const char* name : {"Data.txt", "data.txt", "DATA.TXT"})
        EXPECT_EQ(ReadVia(dir.Path(name)), name);
    // Of several other spellings the smallest name is taken, whatever the directory order.
    EXPECT_EQ(platform::ResolvePath(P("dAtA.txt")), dir.Path("DATA.TXT"));
}

TEST_F(FileSystemTest, MissingNamesFailAndDotComponentsPass)
{
    fs::create_directory(dir.Path("Sub"));
    WriteFileBytes(dir.Path("Sub/file.bin"), "x");
    EXPECT_EQ(ReadVia(dir.Path("nothing.bin")) + ReadVia(dir.Path("nofolder/file.bin")), "<none><none>");
    EXPECT_TRUE(!platform::OpenFile(nullptr, "rb") && !platform::OpenFile(P("x"), nullptr));
    EXPECT_EQ(ReadVia(dir.Path("sub/./../SUB//FILE.BIN")), "x");
}

TEST_F(FileSystemTest, WritesResolveFoldersAndCreateTheLastNameAsWritten)
{
    fs::create_directory(dir.Path("Saves"));
    ASSERT_TRUE(WriteVia(dir.Path() + "\\SAVES\\New.dat", "one"));
    EXPECT_EQ(FolderEntries(dir.Path("Saves")), std::set<std::string>{"New.dat"});
    // Another spelling of an existing file writes that file, not a second one.
    ASSERT_TRUE(WriteVia(dir.Path("saves/NEW.DAT"), "two"));
    EXPECT_EQ(FolderEntries(dir.Path("Saves")), std::set<std::string>{"New.dat"});
    EXPECT_EQ(ReadFileBytes(dir.Path("Saves/New.dat")), "two");
    EXPECT_EQ(platform::OpenFile(P("missing/new.dat"), "wb"), nullptr);
}

TEST_F(FileSystemTest, FoldersAreCreatedRemovedAndDeleted)
{
    // Created once, in one case only; a missing parent is not made.
    EXPECT_EQ((std::vector<bool>{platform::CreateFolder(P("A")), platform::CreateFolder(P("A")),
                                 platform::CreateFolder(P("a")), platform::IsFolder(P("a")),
                                 platform::CreateFolder(P("x/y"))}),
              (std::vector<bool>{true, false, false, true, false}));
    // Every level at once, and again when already there; never through or over a file.
    WriteFileBytes(dir.Path("A/file"), "f");
    EXPECT_EQ((std::vector<bool>{platform::CreateFolders(P("a/B/c/")), platform::IsFolder(P("A/B/c")),
                                 platform::CreateFolders(P("A/B/c")), platform::CreateFolders(P("A/file/deeper")),
                                 platform::CreateFolders(P("A/FILE")), platform::PathExists(P("a/FILE")),
                                 platform::IsFolder(P("a/FILE"))}),
              (std::vector<bool>{true, true, true, false, false, true, false}));
    // Not a full folder, a folder as a file or a file as a folder; each thing once.
    EXPECT_EQ((std::vector<bool>{platform::RemoveFolder(P("A/B")), platform::DeleteFile(P("A/B/c")),
                                 platform::RemoveFolder(P("A/file")), platform::RemoveFolder(P("a/b/C")),
                                 platform::DeleteFile(P("a/FILE")), platform::DeleteFile(P("a/FILE")),
                                 platform::PathExists(P("A/file"))}),
              (std::vector<bool>{false, false, false, true, true, false, false}));

    // Private folders give others no access.
    ASSERT_TRUE(platform::CreateFolders(P("p/q"), true));
    struct stat st;
    ASSERT_EQ(::stat(P("p/q"), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);
}

TEST_F(FileSystemTest, FileSizeOfRegularFilesOnly)
{
    WriteFileBytes(dir.Path("five"), "12345");
    std::FILE* file = platform::OpenFile(P("five"), "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(platform::GetFileSize(file), 5);
    std::fclose(file);
    // Opening a folder for reading succeeds on Linux; its size must not be trusted.
    if ((file = std::fopen(dir.Path().c_str(), "rb"))) {
        EXPECT_EQ(platform::GetFileSize(file), -1);
        std::fclose(file);
    }
    EXPECT_EQ(platform::GetFileSize(nullptr), -1);
}

TEST_F(FileSystemTest, ReplaceFileCreatesAndReplacesWithoutLeftovers)
{
    const std::string name = dir.Path("record.bin");
    // Created, replaced under another spelling, emptied.
    for (auto [asked, bytes] : {std::pair{name.c_str(), "first"}, {P("RECORD.BIN"), "2nd"}, {name.c_str(), ""}}) {
        EXPECT_EQ(platform::ReplaceFile(asked, *bytes ? bytes : nullptr, std::strlen(bytes)),
                  platform::ReplaceResult::kReplaced);
        EXPECT_EQ(ReadFileBytes(name), bytes);
    }
    EXPECT_EQ(FolderEntries(dir.Path()), std::set<std::string>{"record.bin"});
}

TEST_F(FileSystemTest, ReplaceFileRefusesWhatItCannotCreate)
{
    fs::create_directory(dir.Path("folder"));
    for (const char* name : {"folder", "missing/x.bin", ""})
        EXPECT_EQ(platform::ReplaceFile(P(name), "x", 1), platform::ReplaceResult::kCannotCreate) << name;
    EXPECT_EQ(platform::ReplaceFile(P("y"), nullptr, 1), platform::ReplaceResult::kCannotCreate);
    EXPECT_EQ(FolderEntries(dir.Path()), std::set<std::string>{"folder"});
}

TEST_F(FileSystemTest, ReplaceFileIsNeverWorldWritableNorLooserThanTheOldFile)
{
    const mode_t oldMask = ::umask(0);
    // No old file; an old file of 0600; an old world-writable one.
    // Whatever the old file allowed, the owner can read the new one back.
    for (auto [name, old, mode] : {std::tuple{"fresh", 0, 0644u}, {"tight", 0600, 0600u}, {"loose", 0666, 0644u},
                                   {"write only", 0200, 0600u}, {"read only", 0444, 0644u}}) {
        const std::string path = dir.Path(name);
        if (old)
            WriteFileBytes(path, "old"), ::chmod(path.c_str(), mode_t(old));
        EXPECT_EQ(platform::ReplaceFile(path.c_str(), "new", 3), platform::ReplaceResult::kReplaced);
        struct stat st;
        ASSERT_EQ(::stat(path.c_str(), &st), 0) << path;
        EXPECT_EQ(st.st_mode & 0777, mode) << path;
    }
    ::umask(oldMask);
}

// A write that runs into the file-size limit halfway must leave the old file as it was.
TEST_F(FileSystemTest, ReplaceFileFailedWriteKeepsTheOldFileByteIdentical)
{
    const std::string name = dir.Path("keep.bin");
    std::string old(300, '\0');
    for (size_t i = 0; i < old.size(); ++i)
        old[i] = static_cast<char>(i * 7);
    WriteFileBytes(name, old);

    const int status = RunInChild(
        [&] {
            const std::string bigger(5000, 'n');
            return platform::ReplaceFile(name.c_str(), bigger.data(), bigger.size()) == platform::ReplaceResult::kWriteFailed ? 0 : 1;
        },
        {.maxFileBytes = 100});
    ASSERT_TRUE(status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadFileBytes(name), old);
    EXPECT_EQ(FolderEntries(dir.Path()), std::set<std::string>{"keep.bin"});
}

TEST_F(FileSystemTest, FileKindsWithoutOpeningAndLinksFollowed)
{
    WriteFileBytes(dir.Path("file"), "x");
    fs::create_directory(dir.Path("folder"));
    fs::create_symlink("file", dir.Path("to_file"));
    fs::create_symlink("nowhere", dir.Path("dangling"));
    fs::create_symlink("loop", dir.Path("loop"));
    ASSERT_EQ(::mkfifo(dir.Path("pipe").c_str(), 0600), 0); // opening it would block
    using K = platform::FileKind;
    for (auto [name, kind] : {std::pair{"file", K::kFile}, {"FILE", K::kFile}, {"folder", K::kFolder},
                              {"to_file", K::kFile}, {"dangling", K::kOther}, {"loop", K::kOther},
                              {"pipe", K::kOther}, {"missing", K::kMissing}, {"file/below", K::kMissing}})
        EXPECT_EQ(platform::GetFileKind(P(name)), kind) << name;
    EXPECT_EQ(platform::GetFileKind(""), K::kMissing);
}

TEST_F(FileSystemTest, KeepAsideLinksFilesMovesFoldersAndReplacesTheOlderCopy)
{
    std::string reason;
    // A file stays and gains a copy; a second keep replaces the first copy.
    for (const char* bytes : {"first", "second"}) {
        WriteFileBytes(dir.Path("rec"), bytes);
        ASSERT_TRUE(platform::KeepAside(P("rec"), P("rec.damaged"), &reason)) << reason;
        EXPECT_EQ(ReadFileBytes(dir.Path("rec")), bytes);
        EXPECT_EQ(ReadFileBytes(dir.Path("rec.damaged")), bytes);
    }
    // Replacing the record afterwards leaves the copy as it was.
    ASSERT_EQ(platform::ReplaceFile(P("rec"), "new", 3), platform::ReplaceResult::kReplaced);
    EXPECT_EQ(ReadFileBytes(dir.Path("rec.damaged")), "second");
    // Nothing there: nothing to keep, no copy made.
    EXPECT_TRUE(platform::KeepAside(P("none"), P("none.damaged"), &reason));
    EXPECT_FALSE(fs::exists(dir.Path("none.damaged")));
    // A folder moves aside whole, over an older copy that is a file.
    fs::create_directory(dir.Path("dir"));
    WriteFileBytes(dir.Path("dir/inside"), "kept");
    WriteFileBytes(dir.Path("dir.damaged"), "older");
    ASSERT_TRUE(platform::KeepAside(P("dir"), P("dir.damaged"), &reason)) << reason;
    EXPECT_FALSE(fs::exists(dir.Path("dir")));
    EXPECT_EQ(ReadFileBytes(dir.Path("dir.damaged/inside")), "kept");
    // An older copy that is a folder with something in it is not thrown away: the keep fails.
    fs::create_directory(dir.Path("dir"));
    EXPECT_FALSE(platform::KeepAside(P("dir"), P("dir.damaged"), &reason));
    EXPECT_NE(reason.find("cannot move it aside"), std::string::npos) << reason;
    EXPECT_TRUE(fs::is_directory(dir.Path("dir")));
    EXPECT_EQ(ReadFileBytes(dir.Path("dir.damaged/inside")), "kept");
    EXPECT_FALSE(platform::KeepAside(nullptr, P("x"), &reason));
    for (const std::string& entry : FolderEntries(dir.Path()))
        EXPECT_EQ(entry.find(".tmp"), std::string::npos) << entry;
}

// A file whose older copy is a folder with something in it keeps the file and the folder as
// they were, says why and leaves no link behind; names without a folder keep in the current one.
TEST_F(FileSystemTest, KeepAsideOfAFileOverAFullFolderFailsWholeAndBareNamesWork)
{
    std::string reason;
    WriteFileBytes(dir.Path("rec"), "record");
    fs::create_directory(dir.Path("rec.damaged"));
    WriteFileBytes(dir.Path("rec.damaged/inside"), "older");
    EXPECT_FALSE(platform::KeepAside(P("rec"), P("rec.damaged"), &reason));
    EXPECT_NE(reason.find("cannot replace the older copy"), std::string::npos) << reason;
    EXPECT_EQ(ReadFileBytes(dir.Path("rec")), "record");
    EXPECT_EQ(ReadFileBytes(dir.Path("rec.damaged/inside")), "older");
    EXPECT_EQ(FolderEntries(dir.Path()).size(), 2u);

    ScopedCurrentFolder here(dir.Path());
    WriteFileBytes(dir.Path("bare"), "bare");
    ASSERT_TRUE(platform::KeepAside("bare", "bare.damaged", &reason)) << reason;
    EXPECT_EQ(ReadFileBytes(dir.Path("bare.damaged")), "bare");
    EXPECT_EQ(ReadFileBytes(dir.Path("bare")), "bare");
    EXPECT_EQ(FolderEntries(dir.Path()).size(), 4u);
}

// Temporaries of writers that have ended are removed by the next write into the folder; those
// of live processes and files of other names stay.
TEST_F(FileSystemTest, ReplaceFileRemovesTheTemporariesOfEndedWriters)
{
    const std::string ours = std::to_string(::getpid()), parent = std::to_string(::getppid());
    const std::set<std::string> stay = {".rec.bin." + ours + ".9.tmp", ".rec.bin." + parent + ".2.tmp", "x.tmp",
                                        ".rec.bin.12x.3.tmp", ".rec.bin.99999999.5x.tmp", ".rec.bin.tmp",
                                        "rec.bin", "rec.bin.99999999.1.tmp", ".rec.bin.99999999.1.tmpx",
                                        ".rec.bin.9999999999.1.tmp", ".rec.bin..1.tmp", ".99999999.1.tmp",
                                        ".rec.bin.99999999..tmp", ".rec.bin.99999999.1.TMP", ".rec.bin.99999999.1"};
    const std::set<std::string> go = {".rec.bin.99999999.1.tmp", ".other.bin.99999999.4.tmp", "..99999999.1.tmp",
                                      ".r.999999999.7.tmp", ".r.99999999.1234567890.tmp"};
    for (const auto& names : {stay, go})
        for (const std::string& name : names)
            WriteFileBytes(dir.Path(name), "half");
    ASSERT_EQ(platform::ReplaceFile(P("rec.bin"), "new", 3), platform::ReplaceResult::kReplaced);
    EXPECT_EQ(FolderEntries(dir.Path()), stay);
    EXPECT_EQ(ReadFileBytes(dir.Path("rec.bin")), "new");
}

// The program's folder however deep it lies: a copy of this suite three long folder names
// down (past any first guess of the path's length) reports the folder it was started from.
TEST(Paths, ProgramFolderOfAProgramDeepDown)
{
    if (std::getenv("TOLVANRISE_TELL_PROGRAM_FOLDER")) {
        std::printf("folder=[%s]\n", platform::GetProgramFolder().c_str());
        return;
    }
    const std::string here = platform::GetProgramFolder();
    ASSERT_FALSE(here.empty());
    std::string deep = here + "deep." + std::to_string(getpid());
    const std::string top = deep;
    for (char c : {'a', 'b', 'c'})
        deep += "/" + std::string(200, c);
    fs::create_directories(deep);
    const std::string copy = deep + "/suite";
    std::error_code linked;
    fs::create_hard_link(here + "test_platform_file_system", copy, linked);
    if (linked)
        fs::copy_file(here + "test_platform_file_system", copy);
    const std::string command = "TOLVANRISE_TELL_PROGRAM_FOLDER=1 '" + copy +
                                "' --gtest_filter=Paths.ProgramFolderOfAProgramDeepDown 2>&1";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
            out.append(chunk, n);
        pclose(pipe);
    }
    fs::remove_all(top);
    EXPECT_NE(out.find("folder=[" + deep + "/]"), std::string::npos) << out.substr(0, 2000);
}

TEST(Paths, ProgramFolderHoldsThisTestAndTheSystemVersionIsKnown)
{
    const std::string folder = platform::GetProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(std::make_pair(folder.front(), folder.back()), std::make_pair('/', '/'));
    EXPECT_TRUE(fs::exists(folder + "test_platform_file_system"));
    EXPECT_GE(platform::GetSystemMajorVersion(), 2u);
}

TEST(Paths, DataHomeFollowsXdgThenHome)
{
    ScopedEnvVar xdg("XDG_DATA_HOME");
    ScopedEnvVar home("HOME");
    // XDG_DATA_HOME when absolute (null: unset), else HOME's .local/share.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"/home/player/", "/srv/data//", "/srv/data"},
        {"/home/player/", "relative/data", "/home/player/.local/share"},
        {"/home/player/", "", "/home/player/.local/share"},
        {"/", nullptr, "/.local/share"},
    };
    for (auto [homeValue, xdgValue, expected] : cases) {
        ::setenv("HOME", homeValue, 1);
        xdgValue ? ::setenv("XDG_DATA_HOME", xdgValue, 1) : ::unsetenv("XDG_DATA_HOME");
        EXPECT_EQ(platform::GetDataHome(), expected) << homeValue << " " << (xdgValue ? xdgValue : "(unset)");
    }
    ::unsetenv("HOME");
    std::string fallback = platform::GetDataHome(); // from the password database
    EXPECT_TRUE(fallback.empty() || fallback.ends_with("/.local/share")) << fallback;
}

TEST_F(FileSystemTest, MappedFileViewsRegularNonEmptyFilesOnly)
{
    WriteFileBytes(dir.Path("Data.BIN"), std::string("a\0b", 3));
    WriteFileBytes(dir.Path("empty"), "");
    fs::create_directory(dir.Path("folder"));
    const std::pair<const char*, std::string> cases[] = {{P("Data.BIN"), std::string("a\0b", 3)},
                                                         {P("data.bin"), std::string("a\0b", 3)},
                                                         {P("empty"), "<none>"},
                                                         {P("folder"), "<none>"},
                                                         {P("missing"), "<none>"},
                                                         {nullptr, "<none>"}};
    for (auto [name, expected] : cases) {
        const std::unique_ptr<platform::MappedFile> file = platform::MappedFile::Open(name);
        const std::string seen =
            file ? std::string(reinterpret_cast<const char*>(file->GetData()), file->GetSize())
                 : "<none>";
        EXPECT_EQ(seen, expected) << (name ? name : "(null)");
    }
}

// Stand-in programs on a PATH of our own: the first executable match wins, an empty PATH entry is
// the current folder, a name with a slash is taken as it is.
TEST_F(FileSystemTest, ProgramsAreFoundOnThePathRunAndLaunched)
{
    fs::create_directory(dir.Path("bin"));
    fs::create_directory(dir.Path("first"));
    fs::create_directory(dir.Path("here"));
    WriteFileBytes(dir.Path("first/tool"), "#!/bin/sh\nexit 9\n"); // not executable: skipped
    WriteExecutableFile(dir.Path("first/only"), "#!/bin/sh\n");
    WriteExecutableFile(dir.Path("bin/tool"), "#!/bin/sh\necho \"$@\"; exit 3\n");
    WriteExecutableFile(dir.Path("bin/killed"), "#!/bin/sh\nkill -9 $$\n");
    WriteExecutableFile(dir.Path("bin/reader"), "#!/bin/sh\ncat; echo end\n");
    WriteExecutableFile(dir.Path("bin/big"), "#!/bin/sh\nhead -c 10000 /dev/zero | tr '\\0' x\n");
    WriteExecutableFile(dir.Path("bin/noformat"), "no interpreter line\n");
    WriteExecutableFile(dir.Path("bin/touch"), "#!/bin/sh\necho made > \"$1\"\n");
    ScopedEnvVar path("PATH", dir.Path("first") + ":" + dir.Path("bin") + "::/bin:/usr/bin");

    const std::pair<const char*, std::string> finds[] = {{"tool", dir.Path("bin/tool")},
                                                         {"only", dir.Path("first/only")},
                                                         {P("bin/tool"), dir.Path("bin/tool")},
                                                         {P("first/tool"), ""},
                                                         {"missing", ""},
                                                         {"", ""},
                                                         {nullptr, ""},
                                                         {P("bin"), ""}};
    for (auto [name, expected] : finds)
        EXPECT_EQ(platform::FindProgram(name), expected) << (name ? name : "(null)");
    WriteExecutableFile(dir.Path("here/local"), "#!/bin/sh\n");
    {
        ScopedCurrentFolder here(dir.Path("here"));
        EXPECT_EQ(platform::FindProgram("local"), "./local"); // the empty entry
    }

    using Run = std::tuple<bool, int, std::string>;
    const std::pair<std::vector<std::string>, Run> runs[] = {
        {{"tool", "a", "b c"}, {true, 3, "a b c\n"}},
        {{"killed"}, {true, -1, ""}},
        {{"reader"}, {true, 0, "end\n"}}, // standard input is empty, not ours
        {{"big"}, {true, 0, std::string(10000, 'x')}},
        {{"missing"}, {false, -1, ""}},
        {{"noformat"}, {false, -1, ""}}, // found, but the system cannot run it
        {{}, {false, -1, ""}}};
    const auto openFiles = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    const auto before = openFiles();
    for (const auto& [args, expected] : runs) {
        const platform::ProgramResult r = platform::RunProgram(args, true);
        EXPECT_EQ(Run(r.started, r.exitCode, r.output), expected)
            << (args.empty() ? "(none)" : args[0]);
    }
    EXPECT_EQ(platform::RunProgram({"tool", "x"}).output, ""); // not captured
    EXPECT_EQ(openFiles(), before); // every pipe closed, whatever became of the run

    // True only when the program was executed; it runs on after the call.
    const std::string made = dir.Path("made");
    EXPECT_EQ((std::vector<bool>{platform::LaunchProgram({}), platform::LaunchProgram({"missing"}),
                                 platform::LaunchProgram({"noformat"}),
                                 platform::LaunchProgram({"touch", made})}),
              (std::vector<bool>{false, false, false, true}));
    for (int i = 0; i < 500 && ReadFileBytes(made) != "made\n"; ++i)
        usleep(10000);
    EXPECT_EQ(ReadFileBytes(made), "made\n");
}

namespace {
void CountAlarm(int) {}
} // namespace

// A program's output and exit status come whole when signals keep interrupting the wait for
// them (a handler installed without automatic restarts, firing every millisecond).
TEST_F(FileSystemTest, RunProgramOutputSurvivesInterruptingSignals)
{
    struct sigaction alarm = {}, saved = {};
    alarm.sa_handler = CountAlarm;
    ASSERT_EQ(::sigaction(SIGALRM, &alarm, &saved), 0);
    itimerval every{{0, 1000}, {0, 1000}}, off{};
    ASSERT_EQ(::setitimer(ITIMER_REAL, &every, nullptr), 0);
    const platform::ProgramResult r = platform::RunProgram({"sh", "-c", "sleep 0.1; echo late; exit 4"}, true);
    ::setitimer(ITIMER_REAL, &off, nullptr);
    ::sigaction(SIGALRM, &saved, nullptr);
    EXPECT_EQ(std::tuple(r.started, r.exitCode, r.output), std::tuple(true, 4, std::string("late\n")));
}

TEST_F(FileSystemTest, AbsolutePathsJoinTheCurrentFolderWithSlashes)
{
    ScopedCurrentFolder here(dir.Path());
    const std::string cwd = fs::current_path().string();
    const std::pair<const char*, std::string> cases[] = {{"/abs\\name", "/abs/name"},
                                                         {"sub\\file.txt", cwd + "/sub/file.txt"},
                                                         {"", cwd + "/"},
                                                         {nullptr, cwd + "/"}};
    for (auto [name, expected] : cases)
        EXPECT_EQ(platform::AbsolutePath(name), expected) << (name ? name : "(null)");
    ScopedCurrentFolder root("/");
    EXPECT_EQ(platform::AbsolutePath("etc"), "/etc");
}

namespace {

// What is not a plain file leaves the record's name when kept aside (a second name would leave
// it in the way of every later write); the next replace then makes a plain file there.
TEST_F(FileSystemTest, KeepAsideMovesPipesAndLinksSoTheNameIsFree)
{
    fs::create_directory(dir.Path("folder"));
    const struct {
        const char* what;
        std::function<void(const std::string&)> make;
        fs::file_type kind;
        int refused; // the replace's error while it stands there
    } cases[] = {
        {"pipe", [](const std::string& at) { ::mkfifo(at.c_str(), 0644); }, fs::file_type::fifo,
         EINVAL},
        {"link to a folder",
         [this](const std::string& at) { fs::create_directory_symlink(dir.Path("folder"), at); },
         fs::file_type::symlink, EISDIR},
        {"link to /dev/null", [](const std::string& at) { fs::create_symlink("/dev/null", at); },
         fs::file_type::symlink, EINVAL},
    };
    for (const auto& c : cases) {
        fs::remove(dir.Path("rec")), fs::remove(dir.Path("rec.damaged"));
        c.make(dir.Path("rec"));
        int error = -1;
        EXPECT_EQ(platform::ReplaceFile(P("rec"), "x", 1, &error),
                  platform::ReplaceResult::kCannotCreate)
            << c.what;
        EXPECT_EQ(error, c.refused) << c.what;
        std::string reason;
        ASSERT_TRUE(platform::KeepAside(P("rec"), P("rec.damaged"), &reason))
            << c.what << ": " << reason;
        EXPECT_EQ(fs::symlink_status(dir.Path("rec")).type(), fs::file_type::not_found) << c.what;
        EXPECT_EQ(fs::symlink_status(dir.Path("rec.damaged")).type(), c.kind) << c.what;
        EXPECT_EQ(platform::ReplaceFile(P("rec"), "new", 3, &error),
                  platform::ReplaceResult::kReplaced)
            << c.what;
        EXPECT_EQ(std::tuple(ReadFileBytes(dir.Path("rec")), error),
                  std::tuple(std::string("new"), 0))
            << c.what;
    }
    EXPECT_TRUE(fs::is_directory(dir.Path("folder")));
}

// A lock of a file is held by one process: another one is told who holds it, until the holder
// ends in any way (a crash leaves a stale file, taken at once); a second take within the
// holder shares the lock.
TEST_F(FileSystemTest, AFileLockIsHeldByOneProcessAndEndsWithIt)
{
    using Outcome = platform::FileLock::Outcome;
    Outcome outcome = Outcome::kUnavailable;
    long holder = -1;
    std::string reason;
    EXPECT_EQ(platform::FileLock::Take(P("missing/x.lock"), outcome, &holder, &reason), nullptr);
    EXPECT_EQ(outcome, Outcome::kUnavailable);
    EXPECT_FALSE(reason.empty());
    int up[2], down[2]; // child to parent, parent to child
    ASSERT_EQ(::pipe(up) | ::pipe(down), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        Outcome taken;
        const auto lock = platform::FileLock::Take(P("x.lock"), taken);
        char ready = taken == Outcome::kTaken ? 'y' : 'n';
        (void)!::write(up[1], &ready, 1);
        (void)!::read(down[0], &ready, 1); // until told to end, without releasing: a crash
        ::_exit(0);
    }
    char ready = 0;
    ASSERT_EQ(::read(up[0], &ready, 1), 1);
    ASSERT_EQ(ready, 'y');
    EXPECT_EQ(platform::FileLock::Take(P("x.lock"), outcome, &holder), nullptr);
    EXPECT_EQ(std::tuple(outcome, holder), std::tuple(Outcome::kHeldElsewhere, long(child)));
    (void)!::write(down[1], &ready, 1);
    ::waitpid(child, nullptr, 0);
    for (int fd : {up[0], up[1], down[0], down[1]})
        ::close(fd);
    auto first = platform::FileLock::Take(P("x.lock"), outcome, &holder);
    ASSERT_NE(first, nullptr);
    auto second = platform::FileLock::Take(P("x.lock"), outcome);
    EXPECT_EQ(std::tuple(second != nullptr, outcome), std::tuple(true, Outcome::kTaken));
    EXPECT_EQ(std::stol(ReadFileBytes(dir.Path("x.lock"))), long(::getpid()));
    first.reset();
    EXPECT_FALSE(ReadFileBytes(dir.Path("x.lock")).empty()) << "still held by the second take";
    second.reset();
    EXPECT_EQ(ReadFileBytes(dir.Path("x.lock")), "") << "released: no one is named";
}

} // namespace
