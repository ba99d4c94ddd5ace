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
