// The real program on its shipped data folder, headless: a good start, each start-up file
// missing or damaged in turn, and the player's profiles kept from one run to the next.

#include <gtest/gtest.h>

#include <chrono>
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

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using tolvanrise::test::GameDataFolder;
using tolvanrise::test::ProgramRun;
using tolvanrise::test::ReadFileBytes;
using tolvanrise::test::RunningProgram;

constexpr auto kRunTime = 1500ms;

// One run that must end cleanly when asked to quit.
void RunOnce(const GameDataFolder& data)
{
    RunningProgram program(TOLVANRISE_EXECUTABLE, data.DataFolder(), data.HomeEnv());
    const ProgramRun run = program.Finish(kRunTime);
    EXPECT_TRUE(run.closed && run.exitCode == 0) << "exit " << run.exitCode << ", signal " << run.signal;
}

std::string Scrambled(std::string text, uint8_t key)
{
    XorScramble(text.data(), nullptr, static_cast<uint32_t>(text.size()), key);
    return text;
}

TEST(Startup, AGoodStartLogsEachStepWithoutErrorsAndSavesTheDefaultsOnExit)
{
    GameDataFolder data("startup_good_", false);
    RunningProgram program(TOLVANRISE_EXECUTABLE, data.DataFolder(), data.HomeEnv());
    const ProgramRun run = program.Finish(kRunTime);
    ASSERT_TRUE(run.closed) << "ended by itself: exit " << run.exitCode << ", signal " << run.signal;
    ASSERT_TRUE(run.exited) << "signal " << run.signal;
    EXPECT_EQ(run.exitCode, 0);

    const std::string log = ReadFileBytes(data.Data("Tolvanrise.html"));
    size_t at = 0;
    for (const char* line : {"GUI system start-up", "Bitmap store 800x600", "GUI system ready",
                             "Bitmap fonts loaded: 2", "Dictionary english.dic: 2 entries",
                             "Profiles folder: ", "Audio: on", "Start-up data loaded"}) {
        const size_t found = log.find(line, at);
        EXPECT_NE(found, std::string::npos) << "missing or out of order: " << line;
        at = found == std::string::npos ? at : found;
    }
    EXPECT_NE(log.find("Total Errors = 0"), std::string::npos) << log.substr(log.size() > 2000 ? log.size() - 2000 : 0);

    GPlayerProfiles profiles(data.ProfilesFolder());
    EXPECT_EQ(profiles.Load(), 1);
    EXPECT_EQ(profiles.GetDefaultSettings().musicVolume, 4000);
    EXPECT_EQ(profiles.GetDefaultSettings().soundVolume, 6000);
    EXPECT_TRUE(fs::exists(data.ProfilesFolder() + "/00009999.bin"));
}

TEST(Startup, ProfilesAreReadBackAndADamagedProfileGivesTheDefaults)
{
    GameDataFolder data("startup_profiles_", false);
    fs::create_directories(data.ProfilesFolder());
    GPlayerProfiles saved(data.ProfilesFolder());
    saved.GetDefaultSettings().musicVolume = 2500;
    saved.GetDefaultSettings().soundVolume = 0;
    ASSERT_EQ(saved.Save(), 1);
    RunOnce(data);
    GPlayerProfiles kept(data.ProfilesFolder());
    ASSERT_EQ(kept.Load(), 1);
    EXPECT_EQ(kept.GetDefaultSettings().musicVolume, 2500);
    EXPECT_EQ(kept.GetDefaultSettings().soundVolume, 0);

    // A record of the wrong size is no profile store: the next run starts from the defaults.
    const std::string record = data.ProfilesFolder() + "/00000000.bin";
    ASSERT_TRUE(tolvanrise::test::WriteFileBytes(record, std::string(100, '\x7f')));
    RunOnce(data);
    GPlayerProfiles reset(data.ProfilesFolder());
    ASSERT_EQ(reset.Load(), 1);
    EXPECT_EQ(reset.GetDefaultSettings().musicVolume, 4000);
    EXPECT_EQ(reset.GetDefaultSettings().soundVolume, 6000);
}

struct DataFault {
    const char* file;
    const char* replacement; // null: the file is removed
    int exitCode;            // 0: the program runs on until asked to quit
    const char* message;     // in standard error (exit codes above 0) or the log
};

const std::vector<DataFault> kFaults = {
    {"800x600/bmst.bin", nullptr, 255, "800x600\\bmst.bin not found!"},
    {"800x600/bmst.bin", "\x01", 255, "800x600\\bmst.bin not found!"},
    {"800x600/bmdt0.bin", nullptr, 255, "bmdt0.bin"},
    {"INTRO/bmst.bin", nullptr, 255, "INTRO\\bmst.bin"},
    {"INTERFACE/bmst.bin", nullptr, 255, "INTERFACE\\bmst.bin"},
    {"bmst.bin", nullptr, 255, "bmst.bin"},
    {"start_up_options.xml", nullptr, 0, "Can not load dictionary from current language!"},
    {"english.dic", "<Dictionary><Row", 0, "Can not load dictionary from current language!"},
    {"english.dic", "scrambled:<Words/>", 0, "Invalid dictionary from current language! Attribute: Dictionary"},
    {"fonts.xml", nullptr, 0, "Cannot read the font list fonts.xml"},
    {"fonts.cfg", "garbage", 0, "Cannot make the bitmap font Sans12 from FONT_SANS12"},
    {"DejaVuSans.ttf", "not a font", 0, "Cannot load the TrueType font DejaVuSans.ttf"},
    {"Data1.dat", nullptr, 0, "Cannot load the intro picture Data1.dat"},
    {"intro.cfg", "IntroLabel { TotalFrames = 0 }", 0, "Cannot load the intro animation intro.cfg"},
};

TEST(Startup, EachMissingOrDamagedFileGivesItsMessageAndNoCrash)
{
    // All runs at once: each has its own copy of the data folder.
    std::vector<std::unique_ptr<GameDataFolder>> folders;
    std::vector<std::unique_ptr<RunningProgram>> programs;
    for (const DataFault& fault : kFaults) {
        folders.push_back(std::make_unique<GameDataFolder>("startup_fault_", false));
        const std::string path = folders.back()->Data(fault.file);
        if (!fault.replacement) {
            ASSERT_TRUE(fs::remove(path)) << path;
        } else {
            std::string bytes = fault.replacement;
            if (bytes.rfind("scrambled:", 0) == 0)
                bytes = Scrambled(bytes.substr(10), kDictionaryKey);
            ASSERT_TRUE(tolvanrise::test::WriteFileBytes(path, bytes));
        }
        programs.push_back(std::make_unique<RunningProgram>(TOLVANRISE_EXECUTABLE, folders.back()->DataFolder(),
                                                            folders.back()->HomeEnv()));
    }
    for (size_t i = 0; i < kFaults.size(); ++i) {
        const DataFault& fault = kFaults[i];
        SCOPED_TRACE(std::string(fault.file) + (fault.replacement ? " damaged" : " missing"));
        const ProgramRun run = programs[i]->Finish(kRunTime);
        ASSERT_TRUE(run.exited) << "signal " << run.signal;
        EXPECT_EQ(run.exitCode, fault.exitCode);
        EXPECT_EQ(run.closed, fault.exitCode == 0);
        const std::string where = fault.exitCode ? "stderr.txt" : "Tolvanrise.html";
        const std::string text = ReadFileBytes(folders[i]->Data(where));
        EXPECT_NE(text.find(fault.message), std::string::npos) << text.substr(text.size() > 1500 ? text.size() - 1500 : 0);
    }
}

} // namespace
