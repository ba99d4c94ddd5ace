// What the player is told and what is kept when the game's files, its folders or its
// surroundings are not as they should be, through the real program: after a start and a close,
// the alert's text, the log's lines, and the player's bytes kept or truly set aside. Each row
// starts from good records (music at 2500, the players' bytes a pattern) and spoils one thing.

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "game/profiles/player_profiles.h"
#include "support/game_data_folder.h"
#include "support/program_runner.h"

// Last: Xlib's macros would clash with the names above.
#include "support/x_server.h"

// The X11 libraries keep allocations past exit that no suppression can name (as in the
// screenshot suite); the same code is leak-checked on the dummy driver.
extern "C" int __lsan_is_turned_off()
{
    return 1;
}

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using tolvanrise::test::GameDataFolder;
using tolvanrise::test::ProgramOptions;
using tolvanrise::test::ReadFileBytes;
using tolvanrise::test::RunningProgram;
using tolvanrise::test::WriteFileBytes;

constexpr auto kLimit = 60s; // sanitizer builds on a busy machine start slowly
constexpr int32_t kPlayersMusic = 2500;

std::string Scrambled(std::string bytes, int32_t number)
{
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(bytes[i] ^ uint8_t(number + int32_t(i)));
    return bytes;
}

std::string PlayersStore(int32_t music = kPlayersMusic)
{
    std::string plain(GPlayerProfiles::kStoreSize, '\0');
    GGameSettings settings;
    settings.musicVolume = music;
    std::memcpy(plain.data(), &settings, sizeof settings);
    for (size_t i = sizeof settings; i < plain.size(); ++i)
        plain[i] = char((i * 7 + 3) & 0xFF);
    return Scrambled(plain, 0);
}

std::string PlayersScores()
{
    std::string plain(1080, '\0');
    for (size_t i = 0; i < plain.size(); ++i)
        plain[i] = char(i % 36 < 31 ? 'a' + i % 26 : 0);
    return Scrambled(plain, 9999);
}

struct Stat {
    bool exists = false;
    mode_t mode = 0;
    ino_t inode = 0;
};
Stat LinkStat(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return {};
    return {true, st.st_mode, st.st_ino};
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

ProgramOptions WithEnv(std::string pair)
{
    ProgramOptions options;
    options.env.push_back(std::move(pair));
    return options;
}

// One row's world: its data folder and profiles, what it ran with and what it found after.
struct World {
    GameDataFolder data{"told_", false};
    std::string p = data.ProfilesFolder(); // the profiles folder
    std::string store = p + "/00000000.bin", scores = p + "/00009999.bin";
    std::string folder = data.DataFolder(); // where the program starts
    ProgramOptions options = WithEnv(data.HomeEnv());
    std::string log = "Tolvanrise.html";
    Stat storeBefore;
    tolvanrise::test::ProgramRun ended;
    std::string told, said; // standard error (the alerts, headless) and the log
};

enum class Close { kSigterm, kSighup, kByItself, kDestroyWindow, kSecondCopy };

struct Row {
    const char* what;
    std::function<void(World&)> spoil; // after the good records are written
    Close close;
    int exitCode;
    std::vector<std::string> told, said; // "{p}" stands for the profiles folder
    std::function<void(World&)> kept;    // the player's bytes
    size_t boxes = 1;                    // alerts shown, all told at once
    bool unprivileged = false, onX = false, nextSaveClean = false;
};

std::string Fill(std::string text, const World& run)
{
    for (size_t at; (at = text.find("{p}")) != std::string::npos;)
        text.replace(at, 3, run.p);
    return text;
}

// Makes the data folder and home belong to the user the row runs as (tests run as root here,
// for whom no folder is read-only).
bool HandTo(World& run, uid_t user, gid_t group)
{
    const fs::path top = fs::path(run.folder).parent_path();
    ::chmod(top.c_str(), 0755);
    bool ok = ::chown(top.c_str(), user, group) == 0;
    for (const auto& entry : fs::recursive_directory_iterator(top))
        ok &= ::lchown(entry.path().c_str(), user, group) == 0;
    run.options.user = user;
    run.options.group = group;
    return ok;
}

std::vector<Row> Rows()
{
    const auto kept_aside = [](const char* record, mode_t kind, const char* target) {
        return [=](World& run) {
            const std::string name = run.p + "/" + record;
            EXPECT_EQ(LinkStat(name + ".damaged").mode & S_IFMT, kind) << "truly set aside";
            if (target) {
                EXPECT_EQ(fs::read_symlink(name + ".damaged"), target);
            }
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(name)))
                << "the record is a file again";
        };
    };
    const auto untouched = [](World& run) {
        EXPECT_EQ(ReadFileBytes(run.store), PlayersStore());
        EXPECT_EQ(LinkStat(run.store).inode, run.storeBefore.inode);
        EXPECT_EQ(ReadFileBytes(run.scores), PlayersScores());
    };
    const std::string keptAs = "; the old file is kept as {p}/";
    return {
        {"a pipe at the store's name",
         [](World& run) { fs::remove(run.store), ::mkfifo(run.store.c_str(), 0644); },
         Close::kSigterm,
         0,
         {"{p}/00000000.bin could not be used (it cannot be read: it is not a plain file)" +
          keptAs + "00000000.bin.damaged"},
         {"{p}/00000000.bin could not be used (it cannot be read: it is not a plain file)" +
          keptAs + "00000000.bin.damaged"},
         kept_aside("00000000.bin", S_IFIFO, nullptr),
         1,
         false,
         false,
         true},
        {"a link to a folder at the scores' name",
         [](World& run) {
             fs::create_directories(run.p + "/../elsewhere");
             WriteFileBytes(run.p + "/../elsewhere/inside", "player's");
             fs::remove(run.scores);
             fs::create_directory_symlink(run.p + "/../elsewhere", run.scores);
         },
         Close::kSigterm,
         0,
         {"{p}/00009999.bin could not be used (it cannot be read: a folder stands in its place)" +
          keptAs + "00009999.bin.damaged"},
         {"00009999.bin could not be used whole: it cannot be read: a folder stands in its place"},
         [=](World& run) {
             kept_aside("00009999.bin", S_IFLNK, nullptr)(run);
             EXPECT_EQ(ReadFileBytes(run.p + "/../elsewhere/inside"), "player's");
         },
         1,
         false,
         false,
         true},
        {"a link to /dev/null at the store's name",
         [](World& run) { fs::remove(run.store), fs::create_symlink("/dev/null", run.store); },
         Close::kSigterm,
         0,
         {"{p}/00000000.bin could not be used (it cannot be read: it is not a plain file)" +
          keptAs + "00000000.bin.damaged"},
         {"No usable profiles in {p}: the defaults hold"},
         kept_aside("00000000.bin", S_IFLNK, "/dev/null"),
         1,
         false,
         false,
         true},
        {"a read-only profiles folder",
         [](World& run) { ::chmod(run.p.c_str(), 0555); },
         Close::kSigterm,
         0,
         {"The settings cannot be saved in {p}: the top scores cannot be written there (Permission "
          "denied)"},
         {"Cannot save the profiles in {p}: the top scores cannot be written, Permission denied"},
         untouched,
         1,
         true},
        {"a file in the profiles folder's place",
         [](World& run) { fs::remove_all(run.p), WriteFileBytes(run.p, "player's"); },
         Close::kSigterm,
         0,
         {"The settings cannot be saved in {p}: the top scores cannot be written there (a file "
          "stands in the "
          "folder's place)"},
         {"Cannot save the profiles in {p}: the top scores cannot be written, a file stands in the "
          "folder's place"},
         [](World& run) { EXPECT_EQ(ReadFileBytes(run.p), "player's"); }},
        {"scores that cannot be written beside a store to mend",
         [](World& run) {
             WriteFileBytes(run.store, PlayersStore(10001)); // out of range: the save would mend it
             fs::remove(run.scores);
             fs::create_directories(run.scores +
                                    ".damaged/full"); // no room to keep the folder below
             fs::create_directory(run.scores);
             run.storeBefore = LinkStat(run.store);
         },
         Close::kSigterm,
         0,
         {"{p}/00009999.bin could not be used (it cannot be read: a folder stands in its place) "
          "and cannot be kept aside",
          "The settings cannot be saved in {p}: the top scores cannot be written there"},
         {"Cannot save the profiles in {p}: the top scores cannot be written, the old file cannot "
          "be kept aside"},
         [](World& run) {
             EXPECT_EQ(ReadFileBytes(run.store), PlayersStore(10001))
                 << "no store beside unwritten scores";
             EXPECT_EQ(LinkStat(run.store).inode, run.storeBefore.inode);
             EXPECT_FALSE(LinkStat(run.store + ".damaged").exists);
         }},
        {"a truncated pair of records",
         [](World& run) {
             WriteFileBytes(run.store, PlayersStore().substr(0, 5000));
             WriteFileBytes(run.scores, PlayersScores().substr(0, 500));
         },
         Close::kSigterm,
         0,
         {"WARNING! Incorrect version file {p}/00000000.bin!\nFile size is less then buffer's "
          "size!\n\n"
          "WARNING! Incorrect version file {p}/00009999.bin!",
          "{p}/00000000.bin could not be used (it is not 8160 bytes long)" + keptAs +
              "00000000.bin.damaged\n\n"
              "{p}/00009999.bin could not be used"},
         {"Settings applied: music 2500"},
         [](World& run) {
             EXPECT_EQ(ReadFileBytes(run.store + ".damaged"), PlayersStore().substr(0, 5000));
             EXPECT_EQ(ReadFileBytes(run.store).substr(0, 5000), PlayersStore().substr(0, 5000));
             EXPECT_EQ(ReadFileBytes(run.scores + ".damaged"), PlayersScores().substr(0, 500));
         },
         2},
        {"the window destroyed by another program",
         nullptr,
         Close::kDestroyWindow,
         0,
         {},
         {"Closing: the window was destroyed by another program"},
         [](World& run) { EXPECT_NE(LinkStat(run.store).inode, run.storeBefore.inode) << "saved"; },
         0,
         false,
         true},
        {"the terminal closed (SIGHUP)",
         nullptr,
         Close::kSighup,
         0,
         {},
         {"Closing: the terminal closed (SIGHUP)"},
         [](World& run) {
             EXPECT_NE(LinkStat(run.store).inode, run.storeBefore.inode) << "saved";
             EXPECT_EQ(ReadFileBytes(run.store), PlayersStore());
         },
         0},
        {"a second copy of the game",
         nullptr,
         Close::kSecondCopy,
         0,
         {"is using the profiles in {p}. The settings changed in this one will not be saved."},
         {"The profiles in {p} are not saved: another Tolvanrise (process "},
         nullptr},
        {"a start outside the data folder",
         [](World& run) {
             run.folder = run.p + "/../../../../elsewhere";
             fs::create_directories(run.folder);
         },
         Close::kByItself,
         255,
         {"Tolvanrise runs from its data folder, and ",
          " is not one: it has no 800x600 folder. Start it in " +
              fs::path(TOLVANRISE_EXECUTABLE).parent_path().string() + "/data."},
         {},
         untouched},
        {"no display",
         [](World& run) {
             run.options.dummyVideo = false;
             run.options.unset = {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};
         },
         Close::kByItself,
         1,
         {"Tolvanrise: no display to show a window on (DISPLAY is not set"},
         {},
         untouched},
    };
}

// Starts the row's program and closes it the row's way; false when the row cannot run here.
void StartAndClose(const Row& row, World& run, tolvanrise::test::XServer* x)
{
    const std::string log = run.folder + "/" + run.log;
    fs::remove(log); // the waits read this run's log
    RunningProgram program(TOLVANRISE_EXECUTABLE, run.folder, run.options);
    if (row.close == Close::kByItself) {
        run.ended = program.Finish(kLimit);
        return;
    }
    ASSERT_TRUE(program.WaitForText(log, "Start-up data loaded", kLimit)) << ReadFileBytes(log);
    std::unique_ptr<RunningProgram> second;
    switch (row.close) {
    case Close::kSighup:
        program.Signal(SIGHUP);
        break;
    case Close::kDestroyWindow: {
        const Window window =
            tolvanrise::test::WaitForWindowTitled(x->display, "Tolvanrise", kLimit);
        ASSERT_NE(window, 0u);
        XDestroyWindow(x->display, window);
        XSync(x->display, False);
        break;
    }
    case Close::kSecondCopy: {
        ProgramOptions options = run.options;
        options.errorFile = "stderr2.txt";
        second = std::make_unique<RunningProgram>(TOLVANRISE_EXECUTABLE, run.folder, options);
        EXPECT_TRUE(
            second->WaitForText(run.folder + "/Tolvanrise-2.html", "Start-up data loaded", kLimit));
        const pid_t firstPid = program.GetPid();
        program.Signal(SIGTERM); // the first one closes and saves first
        EXPECT_EQ(program.Finish(kLimit).exitCode, 0);
        run.storeBefore = LinkStat(run.store);
        second->Signal(SIGTERM);
        run.ended = second->Finish(kLimit);
        run.told = ReadFileBytes(run.folder + "/stderr2.txt");
        EXPECT_NE(run.told.find("Another Tolvanrise (process " + std::to_string(firstPid) + ")"),
                  std::string::npos);
        run.log = "Tolvanrise-2.html";
        // The first one's log is its own, whole.
        const std::string first = ReadFileBytes(log);
        EXPECT_EQ(Count(first, "Log file opened"), 1u);
        EXPECT_NE(first.find("Closing: asked to quit (SIGTERM)"), std::string::npos);
        EXPECT_EQ(LinkStat(run.store).inode, run.storeBefore.inode)
            << "the first one's save stands";
        return;
    }
    default:
        program.Signal(SIGTERM);
        break;
    }
    run.ended = program.Finish(kLimit);
}

void CheckRow(const Row& row, World& run)
{
    if (run.told.empty())
        run.told = ReadFileBytes(run.folder + "/stderr.txt");
    std::printf("%-52s exit %d, %zu alert(s)\n", row.what, run.ended.exitCode,
                Count(run.told, "[Alert]"));
    EXPECT_EQ(run.ended.exitCode, row.exitCode) << "signal " << run.ended.signal;
    EXPECT_FALSE(run.ended.closed) << "it ended by itself after the request";
    EXPECT_EQ(Count(run.told, "[Alert]"), row.boxes) << run.told;
    for (const std::string& text : row.told)
        EXPECT_NE(run.told.find(Fill(text, run)), std::string::npos) << Fill(text, run) << "\n"
                                                                     << run.told;
    EXPECT_EQ(run.told.find('\\'), std::string::npos) << "paths with '/'";
    run.said = ReadFileBytes(run.folder + "/" + run.log);
    for (const std::string& text : row.said)
        EXPECT_EQ(Count(run.said, Fill(text, run)), 1u) << Fill(text, run) << "\n" << run.said;
    if (row.close != Close::kByItself) {
        EXPECT_NE(run.said.find("Log file closed"), std::string::npos);
    }
    // The log never says the defaults hold and then applies the file's settings.
    if (run.said.find("No usable profiles") != std::string::npos) {
        EXPECT_NE(run.said.find("Settings applied: music 4000, sound 6000"), std::string::npos);
    }
    if (row.kept)
        row.kept(run);
}

TEST(CloseAndSave, EachFaultIsToldOnceAndThePlayersBytesAreKeptOrTrulySetAside)
{
    tolvanrise::test::XServer x(1024, 768);
    const passwd* nobody = ::getpwnam("nobody");
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.what);
        if (row.onX && !x.display) {
            std::printf("skipped \"%s\": Xvfb is not available\n", row.what);
            continue;
        }
        if (row.unprivileged && ::geteuid() == 0 && !nobody) {
            std::printf(
                "skipped \"%s\": running as root, for whom no folder is read-only, and there "
                "is no user \"nobody\" to run as\n",
                row.what);
            continue;
        }
        World run;
        fs::create_directories(run.p);
        ASSERT_TRUE(WriteFileBytes(run.store, PlayersStore()) &&
                    WriteFileBytes(run.scores, PlayersScores()));
        run.storeBefore = LinkStat(run.store);
        if (row.spoil)
            row.spoil(run);
        if (row.unprivileged && ::geteuid() == 0) {
            ASSERT_TRUE(HandTo(run, nobody->pw_uid, nobody->pw_gid));
        }
        if (row.onX) {
            // Sanitizer builds: the X and D-Bus libraries keep allocations past exit that no
            // suppression can name (the game's own code is leak-checked on the dummy driver).
            run.options.env.push_back("LSAN_OPTIONS=detect_leaks=0");
            run.options.dummyVideo = false;
            run.options.env.push_back("SDL_VIDEODRIVER=x11");
            run.options.env.push_back("DISPLAY=" + x.name);
        }
        StartAndClose(row, run, &x);
        CheckRow(row, run);
        if (!row.nextSaveClean)
            continue;
        // Set aside once, the next start and close save without a word.
        fs::remove(run.folder + "/Tolvanrise.html");
        RunningProgram program(TOLVANRISE_EXECUTABLE, run.folder, run.options);
        EXPECT_TRUE(
            program.WaitForText(run.folder + "/Tolvanrise.html", "Start-up data loaded", kLimit));
        EXPECT_EQ(program.Finish(0ms).exitCode, 0);
        const std::string log = ReadFileBytes(run.folder + "/Tolvanrise.html");
        EXPECT_EQ(ReadFileBytes(run.folder + "/stderr.txt").find("[Alert]"), std::string::npos);
        EXPECT_EQ(log.find("could not be used"), std::string::npos) << log;
        EXPECT_EQ(log.find("Cannot save"), std::string::npos) << log;
    }
}

// An alert about a file deep in a long folder, on a 1024x768 X screen: the box and so its
// whole text lie inside the screen (the picture is kept in the build's "screenshots"), and a
// quit request while it waits for the player closes it and the game closes and saves.
TEST(CloseAndSave, ALongAlertFitsTheScreenAndAQuitRequestClosesIt)
{
    tolvanrise::test::XServer x(1024, 768);
    if (!x.display)
        GTEST_SKIP() << "Xvfb is not available";
    World run;
    const std::string home =
        run.folder +
        "/../home/a-folder-with-a-rather-long-name-for-the-players-data/and-one-more-level";
    run.p = home + "/Hallowmere/Tolvanrise/PROFILES";
    run.store = run.p + "/00000000.bin";
    fs::create_directories(run.p);
    ASSERT_TRUE(WriteFileBytes(run.store, PlayersStore().substr(0, 5000)));
    run.options.env = {"XDG_DATA_HOME=" + home, "SDL_VIDEODRIVER=x11", "DISPLAY=" + x.name,
                       "LSAN_OPTIONS=detect_leaks=0"};
    run.options.dummyVideo = false;
    RunningProgram program(TOLVANRISE_EXECUTABLE, run.folder, run.options);
    // The box, or its text on standard error where SDL could not show one.
    Window box = 0;
    const std::string told = run.folder + "/stderr.txt";
    for (const auto end = std::chrono::steady_clock::now() + kLimit;
         !box && std::chrono::steady_clock::now() < end &&
         ReadFileBytes(told).find("[Alert]") == std::string::npos;)
        box = tolvanrise::test::WaitForWindowTitled(x.display, "Alert", 200ms);
    if (!box) {
        program.Finish(0ms);
        GTEST_SKIP() << "SDL shows no box here (as in sanitizer builds): " << ReadFileBytes(told);
    }
    std::this_thread::sleep_for(500ms); // drawn
    XWindowAttributes at{};
    Window child = 0;
    int left = 0, top = 0;
    ASSERT_TRUE(XGetWindowAttributes(x.display, box, &at));
    XTranslateCoordinates(x.display, box, DefaultRootWindow(x.display), 0, 0, &left, &top, &child);
    EXPECT_TRUE(left >= 0 && top >= 0 && left + at.width <= 1024 && top + at.height <= 768)
        << at.width << "x" << at.height << " at " << left << "," << top;
    const std::string shots = std::string(TOLVANRISE_DATA_DIR) + "/../screenshots";
    fs::create_directories(shots);
    EXPECT_TRUE(tolvanrise::test::SaveScreen(x.display, shots + "/long_path_alert.ppm"));
    program.Signal(SIGTERM);
    run.ended = program.Finish(kLimit);
    EXPECT_EQ(run.ended.exitCode, 0);
    EXPECT_FALSE(run.ended.closed) << "the box waited for ever";
    const std::string log = ReadFileBytes(run.folder + "/Tolvanrise.html");
    EXPECT_NE(log.find("Closing: asked to quit (SIGTERM)"), std::string::npos) << log;
    EXPECT_NE(log.find("Log file closed"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(run.store + ".damaged"), PlayersStore().substr(0, 5000));
    EXPECT_EQ(ReadFileBytes(run.store).size(), GPlayerProfiles::kStoreSize) << "saved";
}

// The X server going away under the game (the session ends, the server dies): Xlib would end the
// process at once; the game closes through its close path instead, saves and closes its log.
TEST(CloseAndSave, TheDisplayGoingAwayClosesAndSaves)
{
    tolvanrise::test::XServer x(800, 600);
    if (!x.display)
        GTEST_SKIP() << "Xvfb is not available";
    World run;
    fs::create_directories(run.p);
    ASSERT_TRUE(WriteFileBytes(run.store, PlayersStore()) &&
                WriteFileBytes(run.scores, PlayersScores()));
    run.storeBefore = LinkStat(run.store);
    run.options.dummyVideo = false;
    run.options.env.insert(run.options.env.end(), {"SDL_VIDEODRIVER=x11", "DISPLAY=" + x.name,
                                                   "LSAN_OPTIONS=detect_leaks=0"});
    const std::string log = run.folder + "/" + run.log;
    fs::remove(log); // the wait reads this run's log
    RunningProgram program(TOLVANRISE_EXECUTABLE, run.folder, run.options);
    ASSERT_TRUE(program.WaitForText(log, "Start-up data loaded", kLimit)) << ReadFileBytes(log);
    XCloseDisplay(x.display); // the test's own connection would end the test with the server
    x.display = nullptr;
    kill(x.server, SIGKILL);
    waitpid(x.server, nullptr, 0);
    x.server = -1;
    run.ended = program.Finish(kLimit);
    EXPECT_EQ(run.ended.exitCode, 0) << "signal " << run.ended.signal << "\n"
                                     << ReadFileBytes(run.folder + "/stderr.txt");
    EXPECT_FALSE(run.ended.closed) << "it waited for ever on the server";
    run.said = ReadFileBytes(log);
    EXPECT_EQ(Count(run.said, "Closing: the connection to the display was lost"), 1u) << run.said;
    EXPECT_NE(run.said.find("Log file closed"), std::string::npos);
    EXPECT_NE(LinkStat(run.store).inode, run.storeBefore.inode) << "saved";
    EXPECT_EQ(ReadFileBytes(run.store), PlayersStore());
}

} // namespace
