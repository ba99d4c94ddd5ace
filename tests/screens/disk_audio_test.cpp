// The real program, headless, with SDL's disk audio driver: what it sends to the sound card
// in its first seconds is written to a file, which must hold the menu music's steady tone once
// the menu is open, unless the saved music volume of 0 keeps it silent (the intro's and the
// menu's sound events are over by then).

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <vector>

#include "game/profiles/player_profiles.h"
#include "gui/controls/slider_bar.h"
#include "platform/window/messages.h"
#include "screens/game_gui_system.h"
#include "screens/options_window.h"
#include "support/game_driver.h"
#include "support/saved_settings.h"
#include "platform/sound/sound_device.h"
#include "support/audio_measure.h"
#include "support/game_data_folder.h"
#include "support/program_runner.h"
#include "support/scoped_env.h"
#include "support/temp_files.h"

using namespace tolvanrise::test;

// The data tool gives the menu mode's generated track this tone; the other modes' tones
// (330, 554 and 660 Hz) are far enough away to tell a wrong track from a slightly off pitch.
constexpr double kMenuToneHz = 440.0;

class DiskAudio : public testing::TestWithParam<int32_t> {};

TEST_P(DiskAudio, FirstSecondsOfOutputHoldTheMenuTrackToneUnlessMusicIsOff)
{
    const GameDataFolder folder("disk_audio_");
    std::filesystem::create_directories(folder.ProfilesFolder());
    GPlayerProfiles profiles(folder.ProfilesFolder());
    profiles.GetDefaultSettings().musicVolume = GetParam();
    ASSERT_EQ(profiles.Save(), 1);
    const std::string output = folder.Data("output.raw");
    const ScopedEnvVar driver("SDL_AUDIODRIVER", "disk");
    RunningProgram program(TOLVANRISE_EXECUTABLE, folder.DataFolder(), "SDL_DISKAUDIOFILE=" + output);
    const ProgramRun run = program.Finish(std::chrono::seconds(4));
    EXPECT_TRUE(run.closed && run.exitCode == 0) << "exit " << run.exitCode << ", signal " << run.signal;

    // 16-bit stereo at the mixer's rate (SDL converts nothing for a file); the last half
    // second is well past the start and any restart of the track.
    constexpr int rate = static_cast<int>(platform::SoundDevice::kRate);
    const std::string bytes = ReadFileBytes(output);
    std::vector<int16_t> pcm(bytes.size() / 2);
    std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
    ASSERT_GT(pcm.size(), size_t{rate} * 2) << "under a second of output";
    if (GetParam() == 0) {
        EXPECT_EQ(MaxAbs(Channel(pcm, 2, 0, pcm.size() / 2 - rate, rate)), 0.0);
        return;
    }
    const std::vector<double> tone = Channel(pcm, 2, 0, pcm.size() / 2 - rate / 2, rate / 2);
    EXPECT_GT(ToneLevel(tone), 1000.0);
    EXPECT_NEAR(ToneFrequency(tone, rate), kMenuToneHz, kMenuToneHz * 0.02);
}

INSTANTIATE_TEST_SUITE_P(SavedMusicVolume, DiskAudio, testing::Values(4000, 0));

namespace {

// 16-bit stereo frames the disk driver has written so far.
size_t FramesWritten(const std::string& file)
{
    std::error_code error;
    const auto bytes = std::filesystem::file_size(file, error);
    return error ? 0 : static_cast<size_t>(bytes / 4);
}

// The left channel of frames [first, end) of the file.
std::vector<double> Written(const std::string& file, size_t first, size_t end)
{
    const std::string bytes = ReadFileBytes(file);
    std::vector<int16_t> pcm(bytes.size() / 2);
    std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
    return Channel(pcm, 2, 0, first, end > first ? end - first : 0);
}

void RunFor(GGameApplication& game, std::chrono::milliseconds ms)
{
    for (const auto end = std::chrono::steady_clock::now() + ms;
         std::chrono::steady_clock::now() < end;)
        game.RunStep();
}

} // namespace

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
    ASSERT_NE(player.WaitFor(GGameGuiSystem::kMainMenuDialog, 1000), nullptr);
    RunFor(game, 1s); // the menu's opening sound has ended

    const size_t quiet = FramesWritten(output);
    RunFor(game, 300ms);
    const size_t click = FramesWritten(output);
    ASSERT_TRUE(player.Click("btnOptions"));
    RunFor(game, 400ms);
    const size_t heard = FramesWritten(output);
    EXPECT_EQ(MaxAbs(Written(output, quiet, click)), 0.0);
    EXPECT_GT(ToneLevel(Written(output, click, heard)), 300.0);

    GGameWindow* options = player.WaitFor(GGameGuiSystem::kOptionsDialog, 1000);
    ASSERT_NE(options, nullptr);
    ASSERT_TRUE(player.Click(GOptionsWndControlListener::kMusicBox)); // on, at the default 40
    constexpr size_t window = platform::SoundDevice::kRate / 3;
    RunFor(game, 900ms);
    const size_t at40 = FramesWritten(output);
    auto* slider =
        dynamic_cast<GSliderBar*>(options->FindControl(GOptionsWndControlListener::kMusicSlider));
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->GetValue(), 40);
    player.ClickAt(slider->GetRect().right, (slider->GetRect().top + slider->GetRect().bottom) / 2);
    EXPECT_EQ(slider->GetValue(), 100);
    RunFor(game, 900ms);
    const size_t at100 = FramesWritten(output);
    const std::vector<double> low = Written(output, at40 - window, at40);
    const std::vector<double> high = Written(output, at100 - window, at100);
    EXPECT_NEAR(ToneFrequency(low, platform::SoundDevice::kRate), kMenuToneHz, kMenuToneHz * 0.02);
    ASSERT_GT(ToneLevel(low), 100.0);
    EXPECT_NEAR(ToneLevel(high) / ToneLevel(low), 10000.0 / 4000.0, 0.1);
    game.OnExit();
}
