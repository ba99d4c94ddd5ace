// The real program, headless, with SDL's disk audio driver: what it sends to the sound card
// is written to a file, which must hold the menu music's steady tone from the moment the log
// names the main menu, unless the saved music volume of 0 keeps it silent. The saved sound
// volume of 0 keeps the screens' effects out of what is measured.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "game/profiles/player_profiles.h"
#include "gui/controls/slider_bar.h"
#include "platform/window/messages.h"
#include "screens/game_gui_system.h"
#include "screens/options_window.h"
#include "support/game_driver.h"
#include "support/saved_settings.h"
#include "support/audio_measure.h"
#include "support/disk_output.h"
#include "support/game_data_folder.h"
#include "support/program_runner.h"
#include "support/scoped_env.h"
#include "support/temp_files.h"

using namespace tolvanrise::test;

// The data tool gives the menu mode's generated track this tone; the other modes' tones
// (330, 554 and 660 Hz) are far enough away to tell a wrong track from a slightly off pitch.
constexpr double kMenuToneHz = 440.0;

constexpr size_t kRate = kDiskRate;
// The data tool's effects last a quarter second, a little longer when played slowed down.
constexpr size_t kEffectFrames = kRate * 3 / 10;
// How long a start may take before the test gives up on it (sanitizer builds on a busy machine).
constexpr auto kStartLimit = std::chrono::seconds(60);

namespace {

void RunFor(GGameApplication& game, std::chrono::milliseconds ms)
{
    for (const auto end = std::chrono::steady_clock::now() + ms;
         std::chrono::steady_clock::now() < end;)
        game.RunStep();
}

} // namespace

class DiskAudio : public testing::TestWithParam<int32_t> {};

TEST_P(DiskAudio, FirstSecondsOfOutputHoldTheMenuTrackToneUnlessMusicIsOff)
{
    const GameDataFolder folder("disk_audio_");
    std::filesystem::create_directories(folder.ProfilesFolder());
    GPlayerProfiles profiles(folder.ProfilesFolder());
    profiles.GetDefaultSettings().musicVolume = GetParam();
    profiles.GetDefaultSettings().soundVolume = 0;
    ASSERT_EQ(profiles.Save(), 1);
    const std::string output = folder.Data("output.raw");
    const std::string log = folder.Data("Tolvanrise.html");
    std::filesystem::remove(log); // the wait below reads this run's log
    const ScopedEnvVar driver("SDL_AUDIODRIVER", "disk");
    RunningProgram program(TOLVANRISE_EXECUTABLE, folder.DataFolder(),
                           "SDL_DISKAUDIOFILE=" + output);
    // The menu's track is asked for before the log names the menu: a second from there on is
    // the menu's music.
    ASSERT_TRUE(program.WaitForText(log, "Main menu", kStartLimit));
    const size_t first = FramesWritten(output) + kUnwrittenFrames;
    ASSERT_TRUE(StepUntilWritten(
        output, first + kRate, [] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }));
    const ProgramRun run = program.Finish(std::chrono::milliseconds(0));
    EXPECT_TRUE(run.closed && run.exitCode == 0)
        << "exit " << run.exitCode << ", signal " << run.signal;

    const std::vector<double> menu = Written(output, first, first + kRate);
    ASSERT_EQ(menu.size(), kRate);
    if (GetParam() == 0) {
        EXPECT_EQ(MaxAbs(menu), 0.0);
        return;
    }
    EXPECT_GT(ToneLevel(menu), 1000.0);
    EXPECT_NEAR(ToneFrequency(menu, static_cast<int>(kRate)), kMenuToneHz, kMenuToneHz * 0.02);
}

INSTANTIATE_TEST_SUITE_P(SavedMusicVolume, DiskAudio, testing::Values(4000, 0));

// The game in this process on the disk driver, played through the window's messages: a click
// on the menu's Options button is heard where the output was silent before (the music is off),
// and once the options window has switched the music on, raising its slider from 40 to 100
// raises the tone's level by the ratio of the volumes (the engine's scale is linear).
TEST(DiskAudioFlow, AMenuClickIsHeardAndTheMusicSliderChangesTheLevel)
{
    using namespace std::chrono_literals;
    const GameDataFolder folder("disk_flow_");
    ASSERT_EQ(SaveSettings(folder.ProfilesFolder(), 0, GGameSettings().soundVolume, 0), 1);
    const std::string output = folder.Data("flow.raw");
    const ScopedEnvVar driver("SDL_AUDIODRIVER", "disk");
    const ScopedEnvVar file("SDL_DISKAUDIOFILE", output);
    platform::ClearMessages();
    GGameApplication game;
    ASSERT_TRUE(game.Create("Tolvanrise", "Tolvanrise", 800, 600, 0));
    game.BeginRun();
    GameDriver player(game, [&game] { RunFor(game, 10ms); });
    auto step = [&game] { game.RunStep(); };
    // Windows start their opening sound before they come to rest; each window below is measured
    // from the frames written when its sound had started, past everything heard before.
    ASSERT_NE(player.WaitFor(GGameGuiSystem::kMainMenuDialog, 1000), nullptr);
    const size_t quiet = FramesWritten(output) + kUnwrittenFrames + kEffectFrames;
    ASSERT_TRUE(StepUntilWritten(output, quiet + kRate * 3 / 10, step));
    const size_t click = FramesWritten(output);
    ASSERT_TRUE(player.Click("btnOptions"));
    const size_t heard = FramesWritten(output) + kUnwrittenFrames + kEffectFrames;
    ASSERT_TRUE(StepUntilWritten(output, heard, step));
    EXPECT_EQ(MaxAbs(Written(output, quiet, click)), 0.0);
    EXPECT_GT(ToneLevel(Written(output, click, heard)), 300.0);

    GGameWindow* options = player.WaitFor(GGameGuiSystem::kOptionsDialog, 1000);
    ASSERT_NE(options, nullptr);
    ASSERT_TRUE(player.Click(GOptionsWndControlListener::kMusicBox)); // on, at the default 40
    constexpr size_t window = kRate / 3;
    const size_t at40 = FramesWritten(output) + kUnwrittenFrames + kEffectFrames + window;
    ASSERT_TRUE(StepUntilWritten(output, at40, step));
    auto* slider =
        dynamic_cast<GSliderBar*>(options->FindControl(GOptionsWndControlListener::kMusicSlider));
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->GetValue(), 40);
    player.ClickAt(slider->GetRect().right, (slider->GetRect().top + slider->GetRect().bottom) / 2);
    EXPECT_EQ(slider->GetValue(), 100);
    const size_t at100 = FramesWritten(output) + kUnwrittenFrames + kEffectFrames + window;
    ASSERT_TRUE(StepUntilWritten(output, at100, step));
    const std::vector<double> low = Written(output, at40 - window, at40);
    const std::vector<double> high = Written(output, at100 - window, at100);
    EXPECT_NEAR(ToneFrequency(low, static_cast<int>(kRate)), kMenuToneHz, kMenuToneHz * 0.02);
    ASSERT_GT(ToneLevel(low), 100.0);
    EXPECT_NEAR(ToneLevel(high) / ToneLevel(low), 10000.0 / 4000.0, 0.1);
    game.OnExit();
}
