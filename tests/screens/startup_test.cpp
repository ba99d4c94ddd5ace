// The real program on its shipped data folder, headless: a good start and the profiles kept
// from one run to the next, then each start-up file missing or damaged in turn.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "foundation/files/scramble_keys.h"
#include "foundation/files/xor_scramble.h"
#include "game/profiles/player_profiles.h"
#include "support/game_data_folder.h"
#include "support/program_runner.h"

namespace {

using namespace std::chrono_literals;
using tolvanrise::test::GameDataFolder;
using tolvanrise::test::ReadFileBytes;
using tolvanrise::test::RunningProgram;

// How long a start may take before the test gives up on it: sanitizer builds of many programs
// at once on a busy machine start slowly, so no test relies on a fixed running time.
constexpr auto kStartLimit = 60s;

std::string Tail(const std::string& text)
{
    return text.substr(text.size() > 1500 ? text.size() - 1500 : 0);
}

// One run that must last until asked to quit (a terminal's request) and then end cleanly through
// the normal shut-down; the volumes saved.
std::pair<int32_t, int32_t> RunOnce(const GameDataFolder& data)
{
    std::filesystem::remove(data.Data("Tolvanrise.html")); // the wait below reads this run's log
    RunningProgram program(TOLVANRISE_EXECUTABLE, data.DataFolder(), data.HomeEnv());
    EXPECT_TRUE(
        program.WaitForText(data.Data("Tolvanrise.html"), "Start-up data loaded", kStartLimit));
    const auto run = program.Finish(0ms);
    EXPECT_TRUE(run.closed && run.exitCode == 0)
        << "exit " << run.exitCode << ", signal " << run.signal;
    EXPECT_FALSE(
        std::filesystem::exists(data.Data("crash.mdmp"))); // a clean run leaves no crash report
    GPlayerProfiles saved(data.ProfilesFolder());
    EXPECT_EQ(saved.Load(), 1);
    return {saved.GetDefaultSettings().musicVolume, saved.GetDefaultSettings().soundVolume};
}

TEST(Startup, AGoodStartLogsItsStepsAndKeepsTheProfilesFromRunToRun)
{
    GameDataFolder data("startup_good_", false);
    EXPECT_EQ(RunOnce(data), std::make_pair(4000, 6000));
    const std::string log = ReadFileBytes(data.Data("Tolvanrise.html"));
    // Every row of the dictionary's source is an entry.
    const std::string dictionary =
        ReadFileBytes(TOLVANRISE_SOURCE_DIR "/assets/startup/english.xml");
    size_t rows = 0;
    for (size_t row = dictionary.find("<Row "); row != std::string::npos;
         row = dictionary.find("<Row ", row + 1))
        ++rows;
    const std::string entries = "Dictionary english.dic: " + std::to_string(rows) + " entries";
    size_t at = 0;
    for (const char* line :
         {"GUI system start-up", "Bitmap store 800x600", "GUI system ready",
          "Bitmap fonts loaded: 2", "Raster fonts made: 1", entries.c_str(),
          "Profiles folder: ", "Audio: on", "First frame presented", "No usable profiles in ",
          "Start-up data loaded", "Total Errors = 0"}) {
        at = log.find(line, at);
        ASSERT_NE(at, std::string::npos) << "missing or out of order: " << line << "\n"
                                         << Tail(log);
        EXPECT_EQ(log.find(line, at + 1), std::string::npos) << "more than once: " << line;
    }

    GPlayerProfiles edited(data.ProfilesFolder());
    edited.GetDefaultSettings().musicVolume = 2500;
    edited.GetDefaultSettings().soundVolume = 0;
    ASSERT_EQ(edited.Save(), 1);
    EXPECT_EQ(RunOnce(data), std::make_pair(2500, 0));
    // A record of the wrong size is no profile store: the run starts from the defaults.
    ASSERT_TRUE(tolvanrise::test::WriteFileBytes(data.ProfilesFolder() + "/00000000.bin",
                                                 std::string(100, '\x7f')));
    EXPECT_EQ(RunOnce(data), std::make_pair(4000, 6000));
}

struct DataFault {
    const char* file;
    const char*
        replacement;     // null: removed; "scrambled:" text is scrambled with the dictionary's key
    int exitCode;        // 0: the program runs on until asked to quit
    const char* message; // in standard error (exit codes above 0) or the log
    bool closes = false; // the program tells (standard error) and closes by itself
};

// Exit 255 is the bitmap store's; exit 1 the refused start ("Cannot initialize the application!
// Please reinstall." follows the cause's box), for fonts that would leave the windows without
// their texts and buttons.
const DataFault kFaults[] = {
    {"800x600/bmst.bin", nullptr, 255, "800x600/bmst.bin not found!"},
    {"800x600/bmst.bin", "\x01", 255, "800x600/bmst.bin is damaged (too short)"},
    {"800x600/bmdt0.bin", nullptr, 255, "Cannot open file 800x600/bmdt0.bin"},
    {"800x600/bmdt0.bin", "", 255, "800x600/bmdt0.bin is damaged (too short): it holds no record"},
    {"800x600/bmdt0.bin", "cut:1000", 255, "800x600/bmdt0.bin is damaged (too short): record "},
    {"INTRO/bmst.bin", nullptr, 255, "INTRO/bmst.bin not found!"},
    {"INTERFACE/bmst.bin", nullptr, 255, "INTERFACE/bmst.bin not found!"},
    {"INTERFACE/bmst.bin", "\x01\x00", 255, "INTERFACE/bmst.bin is damaged (too short)"},
    {"bmst.bin", nullptr, 255, "bmst.bin not found!"},
    // The root set and the intro's own only lose their pictures; the log names file and reason.
    {"bmdt0.bin", "cut:100", 0, "bmdt0.bin is damaged (too short): record "},
    {"INTRO/bmdt0.bin", "", 0, "INTRO/bmdt0.bin is damaged (too short): it holds no record"},
    {"start_up_options.xml", nullptr, 0, "Can not load dictionary from current language!"},
    {"english.dic", "<Dictionary><Row", 0, "Can not load dictionary from current language!"},
    {"english.dic", "scrambled:<Words/>", 0,
     "Invalid dictionary from current language! Attribute: Dictionary"},
    {"fonts.xml", nullptr, 1, "Cannot read the font list fonts.xml"},
    {"fonts.xml", "", 1, "Cannot read the font list fonts.xml"},
    {"fonts.xml", "<FontManager Config=\"fonts.cfg\"/>", 1,
     "The font list fonts.xml names no font"},
    {"fonts.cfg", nullptr, 1, "Cannot read the font configuration fonts.cfg"},
    {"fonts.cfg", "", 1, "Cannot read the font configuration fonts.cfg"},
    {"fonts.cfg", "garbage", 1, "Cannot make the bitmap font Sans12 from FONT_SANS12"},
    {"fonts.cfg", "cut:40", 1, "Cannot read the font configuration fonts.cfg"},
    {"DejaVuSans.ttf", "not a font", 0, "Cannot load the TrueType font DejaVuSans.ttf"},
    {"SOUNDS/sound.csv", "\x01\x02", 0, "Cannot load the sound list SOUNDS/sound.csv"},
    // A sound or the menu's track that cannot be read: one line naming the file and why.
    {"SOUNDS/menu_btn_sel.ogg", nullptr, 0,
     "Sound effect SOUNDS/menu_btn_sel.ogg cannot be read: not found"},
    {"SOUNDS/menu_btn_sel.ogg", "cut:60", 0,
     "Sound effect SOUNDS/menu_btn_sel.ogg cannot be read: it is damaged or not a sound the game "
     "plays"},
    {"MUSIC/menu.skm", "cut:20", 0,
     "Music track MUSIC/menu.skm cannot be read: it is damaged or not a sound the game plays; its "
     "mode stays silent"},
    {"Data1.dat", nullptr, 0, "Cannot load the intro picture Data1.dat"},
    {"intro.cfg", "IntroLabel { TotalFrames = 0 }", 0, "Cannot load the intro animation intro.cfg"},
    // No menu, no way on: the player is told, and the game closes the usual way.
    {"main_menu.cfg", nullptr, 0, "Cannot open the main menu main_menu.cfg. Please reinstall.",
     true},
    {"main_menu.cfg", "Dialog {", 0, "Cannot open the main menu main_menu.cfg. Please reinstall.",
     true},
};

// The replacement bytes of a fault: "scrambled:" text is scrambled with the dictionary's key,
// "cut:<n>" keeps the file's first n bytes.
std::string Replacement(const DataFault& fault, const std::string& original)
{
    std::string bytes = fault.replacement;
    if (bytes.rfind("scrambled:", 0) == 0) {
        bytes.erase(0, 10);
        XorScramble(bytes.data(), nullptr, static_cast<uint32_t>(bytes.size()), kDictionaryKey);
    } else if (bytes.rfind("cut:", 0) == 0) {
        bytes = original.substr(0, std::stoul(bytes.substr(4)));
    }
    return bytes;
}

TEST(Startup, EachMissingOrDamagedFileGivesItsMessageAndNoCrash)
{
    // All runs at once, each on its own copy.
    std::vector<std::unique_ptr<GameDataFolder>> folders;
    std::vector<std::unique_ptr<RunningProgram>> programs;
    for (const DataFault& fault : kFaults) {
        const auto& data =
            *folders.emplace_back(std::make_unique<GameDataFolder>("startup_fault_", false));
        ASSERT_TRUE(fault.replacement
                        ? tolvanrise::test::WriteFileBytes(
                              data.Data(fault.file),
                              Replacement(fault, ReadFileBytes(data.Data(fault.file))))
                        : std::filesystem::remove(data.Data(fault.file)));
        programs.push_back(std::make_unique<RunningProgram>(TOLVANRISE_EXECUTABLE,
                                                            data.DataFolder(), data.HomeEnv()));
    }
    for (size_t i = 0; i < programs.size(); ++i) {
        const DataFault& fault = kFaults[i];
        SCOPED_TRACE(std::string(fault.file) + (fault.replacement ? " damaged" : " missing"));
        // A fatal fault ends the program by itself; otherwise it runs on until asked to quit,
        // once its log names the fault.
        const bool ends = fault.exitCode != 0 || fault.closes;
        if (!ends)
            programs[i]->WaitForText(folders[i]->Data("Tolvanrise.html"), fault.message,
                                     kStartLimit);
        const auto run = programs[i]->Finish(ends ? kStartLimit : 0ms);
        EXPECT_EQ(run.exitCode, fault.exitCode) << "signal " << run.signal;
        EXPECT_EQ(run.closed, !ends);
        // The box (standard error, headless) and the player's log both name the cause; the log
        // also ends with its closing lines, fatal or not.
        if (ends) {
            const std::string box = ReadFileBytes(folders[i]->Data("stderr.txt"));
            EXPECT_NE(box.find(fault.message), std::string::npos) << Tail(box);
        }
        const std::string log = ReadFileBytes(folders[i]->Data("Tolvanrise.html"));
        const size_t cause = log.find(fault.message);
        EXPECT_NE(cause, std::string::npos) << Tail(log);
        EXPECT_NE(log.find("Total Errors = ", cause), std::string::npos) << Tail(log);
        EXPECT_NE(log.find("Log file closed: ", cause), std::string::npos) << Tail(log);
    }
}

} // namespace
