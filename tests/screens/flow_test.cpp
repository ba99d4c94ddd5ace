// The game's flow as a player goes through it, driven by the window's own messages: the
// intro hands over to the main menu, the menu opens the options window, the player sets the
// music slider to 30 and switches sound off, goes back with Escape and quits with the menu's
// button. The profile then holds the choices, and the next start applies them.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <tuple>

#include "audio/banks/sound_bank.h"
#include "audio/music/music_manager.h"
#include "audio/music/sound_manager.h"
#include "audio/player/audio_player.h"
#include "audio/player/audio_system.h"
#include "game/profiles/player_profiles.h"
#include "gui/controls/button.h"
#include "gui/controls/slider_bar.h"
#include "platform/window/cursor.h"
#include "platform/window/messages.h"
#include "screens/game_gui_system.h"
#include "screens/options_window.h"
#include "support/game_data_folder.h"
#include "support/game_driver.h"
#include "support/saved_settings.h"
#include "support/temp_files.h"

namespace {

using tolvanrise::test::GameDriver;
using Options = GOptionsWndControlListener;

// The column of the slider's track that stands for value.
int ColumnOf(const GSliderBar& slider, int32_t value)
{
    for (int x = slider.GetRect().left; x <= slider.GetRect().right; ++x)
        if (slider.ValueAt(x) == value)
            return x;
    return -1;
}

TEST(Flow, IntroMenuOptionsBackQuitThenTheNextStartAppliesTheChoices)
{
    tolvanrise::test::GameDataFolder data("flow_");
    ASSERT_EQ(tolvanrise::test::SaveWindowed(data.ProfilesFolder()), 1);
    platform::ClearMessages();
    {
        GGameApplication game;
        ASSERT_TRUE(game.Create("Tolvanrise", "Tolvanrise", 800, 600, 0));
        GameDriver player(game);
        GGameGuiSystem& system = *game.GetGameSystem();
        ASSERT_NE(player.WaitFor(GGameGuiSystem::kMainMenuDialog), nullptr);
        EXPECT_EQ(game.GetIntroDialog(), nullptr);
        EXPECT_EQ(system.GetMusicManager()->GetMode(), kMusicMenu);

        ASSERT_TRUE(player.Click("btnOptions"));
        GGameWindow* options = player.WaitFor(GGameGuiSystem::kOptionsDialog);
        ASSERT_NE(options, nullptr);
        EXPECT_EQ(game.GetFormCount(), 2); // the menu waits under it
        auto* music = dynamic_cast<GSliderBar*>(options->FindControl(Options::kMusicSlider));
        auto* sound = dynamic_cast<GCheckBox*>(options->FindControl(Options::kSoundBox));
        auto* fullScreen = dynamic_cast<GCheckBox*>(options->FindControl(Options::kFullScreenBox));
        ASSERT_TRUE(music && sound && fullScreen);
        // The window shows the settings: the default music volume, sound on, in a window.
        EXPECT_EQ(std::make_tuple(music->GetValue(), sound->IsChecked(), fullScreen->IsChecked()),
                  std::make_tuple(40, true, false));

        player.ClickAt(ColumnOf(*music, 30), (music->GetRect().top + music->GetRect().bottom) / 2);
        ASSERT_TRUE(player.Click(Options::kSoundBox));
        const GGameSettings& settings = system.GetProfiles()->GetDefaultSettings();
        GAudioPlayer* stream = system.GetAudio()->GetAudioPlayer();
        EXPECT_EQ(std::make_tuple(settings.musicVolume, settings.soundVolume, sound->IsChecked(),
                                  system.GetSoundManager()->IsEnabled(),
                                  stream ? stream->GetVolume() : 3000),
                  std::make_tuple(3000, 0, false, 0, 3000));

        player.Key(platform::VK_ESCAPE);
        ASSERT_NE(player.WaitFor(GGameGuiSystem::kMainMenuDialog), nullptr);
        EXPECT_EQ(game.GetFormCount(), 1);
        ASSERT_TRUE(player.Click("btnQuit"));
        game.Run(); // the close the button asked for
        EXPECT_FALSE(game.IsGameStarted());
    }
    GPlayerProfiles saved(data.ProfilesFolder());
    ASSERT_EQ(saved.Load(), 1);
    EXPECT_EQ(std::make_tuple(saved.GetDefaultSettings().musicVolume,
                              saved.GetDefaultSettings().soundVolume),
              std::make_tuple(3000, 0));

    GGameApplication next;
    ASSERT_TRUE(tolvanrise::test::OpenGame(next));
    GameDriver player(next);
    GGameWindow* menu = player.WaitFor(GGameGuiSystem::kMainMenuDialog);
    ASSERT_NE(menu, nullptr);
    GGameGuiSystem& system = *next.GetGameSystem();
    GAudioPlayer* stream = system.GetAudio()->GetAudioPlayer();
    EXPECT_EQ(std::make_tuple(system.GetMusicManager()->IsEnabled() != 0,
                              system.GetSoundManager()->IsEnabled(),
                              stream ? stream->GetVolume() : 3000),
              std::make_tuple(true, 0, 3000));
    ASSERT_TRUE(player.Click("btnOptions"));
    GGameWindow* options = player.WaitFor(GGameGuiSystem::kOptionsDialog);
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(dynamic_cast<GSliderBar*>(options->FindControl(Options::kMusicSlider))->GetValue(),
              30);
    EXPECT_FALSE(dynamic_cast<GCheckBox*>(options->FindControl(Options::kSoundBox))->IsChecked());
    next.OnExit();
    const std::string log = tolvanrise::test::ReadFileBytes(data.Data("Tolvanrise.html"));
    EXPECT_NE(log.find("Settings applied: music 3000, sound 0, full screen off"),
              std::string::npos);
    platform::ShowCursor(true);
}

// The options window's controls one after another: what the settings, the managers and the
// controls show after each. The boxes keep a switch as a volume of 0 and bring the volume
// back; a slider shows the volume put aside while off; the sound slider switches sound on; the
// music slider moved while the music is off picks the volume it comes back at; either slid to
// 0 is off.
TEST(Flow, TheOptionsControlsKeepSettingsManagersAndControlsInStep)
{
    tolvanrise::test::GameDataFolder data("options_");
    GGameApplication game;
    ASSERT_TRUE(tolvanrise::test::OpenGame(game));
    GameDriver player(game);
    ASSERT_NE(player.WaitFor(GGameGuiSystem::kMainMenuDialog), nullptr);
    GGameGuiSystem& system = *game.GetGameSystem();
    system.ExecuteCommandList("cmShowDialog(options.cfg)");
    GGameWindow* options = player.WaitFor(GGameGuiSystem::kOptionsDialog);
    ASSERT_NE(options, nullptr);
    auto& music = *dynamic_cast<GSliderBar*>(options->FindControl(Options::kMusicSlider));
    auto& sound = *dynamic_cast<GSliderBar*>(options->FindControl(Options::kSoundSlider));
    auto& musicBox = *dynamic_cast<GCheckBox*>(options->FindControl(Options::kMusicBox));
    auto& soundBox = *dynamic_cast<GCheckBox*>(options->FindControl(Options::kSoundBox));
    const GGameSettings& settings = system.GetProfiles()->GetDefaultSettings();
    auto slide = [&](GSliderBar& slider, int32_t value) {
        player.ClickAt(ColumnOf(slider, value),
                       (slider.GetRect().top + slider.GetRect().bottom) / 2);
    };
    GSoundBank* bank = system.GetAudio()->GetSoundBank();
    ASSERT_NE(bank, nullptr);
    using State = std::tuple<int32_t, int32_t, bool, bool, int32_t, int32_t, bool, bool, int>;
    auto state = [&] {
        return State{settings.musicVolume,
                     settings.soundVolume,
                     system.GetMusicManager()->IsEnabled() != 0,
                     system.GetSoundManager()->IsEnabled() != 0,
                     music.GetValue(),
                     sound.GetValue(),
                     musicBox.IsChecked(),
                     soundBox.IsChecked(),
                     bank->GetMasterVolume()};
    };
    const struct {
        const char* what;
        std::function<void()> act;
        State expected; // music, sound, the managers on, the sliders, the boxes checked, the
                        // sound bank's level
    } steps[] = {
        {"as loaded", [] {}, {4000, 6000, true, true, 40, 60, true, true, 6000}},
        {"music off: its slider shows the volume put aside",
         [&] { player.Click(Options::kMusicBox); },
         {0, 6000, false, true, 40, 60, false, true, 6000}},
        {"music slid while off: still off",
         [&] { slide(music, 70); },
         {0, 6000, false, true, 70, 60, false, true, 6000}},
        {"music on",
         [&] { player.Click(Options::kMusicBox); },
         {7000, 6000, true, true, 70, 60, true, true, 6000}},
        {"sound off",
         [&] { player.Click(Options::kSoundBox); },
         {7000, 0, true, false, 70, 60, true, false, 6000}},
        {"sound on",
         [&] { player.Click(Options::kSoundBox); },
         {7000, 6000, true, true, 70, 60, true, true, 6000}},
        {"sound off again",
         [&] { player.Click(Options::kSoundBox); },
         {7000, 0, true, false, 70, 60, true, false, 6000}},
        {"sound slid up: on",
         [&] { slide(sound, 25); },
         {7000, 2500, true, true, 70, 25, true, true, 2500}},
        {"sound slid to 0: off, nothing put aside",
         [&] { slide(sound, 0); },
         {7000, 0, true, false, 70, 0, true, false, 2500}},
        {"sound on from 0: the default",
         [&] { player.Click(Options::kSoundBox); },
         {7000, 6000, true, true, 70, 60, true, true, 6000}},
        {"sound slid to 35",
         [&] { slide(sound, 35); },
         {7000, 3500, true, true, 70, 35, true, true, 3500}},
        {"sound off from 35",
         [&] { player.Click(Options::kSoundBox); },
         {7000, 0, true, false, 70, 35, true, false, 3500}},
        {"sound on: back at 35",
         [&] { player.Click(Options::kSoundBox); },
         {7000, 3500, true, true, 70, 35, true, true, 3500}},
        {"music slid to 0: off",
         [&] { slide(music, 0); },
         {0, 3500, false, true, 0, 35, false, true, 3500}},
        {"music on from 0: the default",
         [&] { player.Click(Options::kMusicBox); },
         {4000, 3500, true, true, 40, 35, true, true, 3500}},
    };
    for (const auto& step : steps) {
        step.act();
        EXPECT_EQ(state(), step.expected) << step.what;
    }
    game.OnExit();
    platform::ShowCursor(true);
}

// The player's volumes survive a switch off across the window and across a restart. In one
// game: music and sound set (70 and 35), switched off, the window closed and opened again,
// switched on: both come back. Switched off again and the game quit: the next start keeps them
// off, and switching on brings back 70 and 35, to the settings, the stream player and the bank.
TEST(Flow, VolumesSwitchedOffComeBackAfterTheWindowClosesAndAfterARestart)
{
    tolvanrise::test::GameDataFolder data("round_trip_");
    ASSERT_EQ(tolvanrise::test::SaveWindowed(data.ProfilesFolder()), 1);
    using Heard = std::tuple<int32_t, int32_t, bool, bool, int32_t, int32_t>;
    // The settings' volumes, the managers on, the stream player's (-1: none) and the bank's levels.
    auto heard = [](GGameGuiSystem& system) {
        const GGameSettings& settings = system.GetProfiles()->GetDefaultSettings();
        GAudioPlayer* stream = system.GetAudio()->GetAudioPlayer();
        return Heard{settings.musicVolume,
                     settings.soundVolume,
                     system.GetMusicManager()->IsEnabled() != 0,
                     system.GetSoundManager()->IsEnabled() != 0,
                     stream ? stream->GetVolume() : -1,
                     system.GetAudio()->GetSoundBank()->GetMasterVolume()};
    };
    auto openOptions = [](GameDriver& player) {
        EXPECT_TRUE(player.Click("btnOptions"));
        return player.WaitFor(GGameGuiSystem::kOptionsDialog);
    };
    auto switchBoth = [](GameDriver& player) {
        player.Click(Options::kMusicBox);
        player.Click(Options::kSoundBox);
    };
    {
        GGameApplication game;
        ASSERT_TRUE(tolvanrise::test::OpenGame(game));
        GameDriver player(game);
        ASSERT_NE(player.WaitFor(GGameGuiSystem::kMainMenuDialog), nullptr);
        GGameGuiSystem& system = *game.GetGameSystem();
        const bool stream = system.GetAudio()->GetAudioPlayer() != nullptr;
        GGameWindow* options = openOptions(player);
        ASSERT_NE(options, nullptr);
        for (auto [name, value] :
             {std::pair{Options::kMusicSlider, 70}, {Options::kSoundSlider, 35}}) {
            auto& slider = *dynamic_cast<GSliderBar*>(options->FindControl(name));
            player.ClickAt(ColumnOf(slider, value),
                           (slider.GetRect().top + slider.GetRect().bottom) / 2);
        }
        switchBoth(player);
        EXPECT_EQ(heard(system), Heard(0, 0, false, false, stream ? 7000 : -1, 3500));
        player.Key(platform::VK_ESCAPE);
        ASSERT_NE(player.WaitFor(GGameGuiSystem::kMainMenuDialog), nullptr);
        ASSERT_NE(openOptions(player), nullptr);
        switchBoth(player);
        EXPECT_EQ(heard(system), Heard(7000, 3500, true, true, stream ? 7000 : -1, 3500));
        switchBoth(player);
        player.Key(platform::VK_ESCAPE);
        ASSERT_NE(player.WaitFor(GGameGuiSystem::kMainMenuDialog), nullptr);
        ASSERT_TRUE(player.Click("btnQuit"));
        game.Run();
    }
    GGameApplication next;
    ASSERT_TRUE(tolvanrise::test::OpenGame(next));
    GameDriver player(next);
    ASSERT_NE(player.WaitFor(GGameGuiSystem::kMainMenuDialog), nullptr);
    GGameGuiSystem& system = *next.GetGameSystem();
    const bool stream = system.GetAudio()->GetAudioPlayer() != nullptr;
    EXPECT_EQ(std::make_tuple(system.GetMusicManager()->IsEnabled(),
                              system.GetSoundManager()->IsEnabled()),
              std::make_tuple(0, 0));
    GGameWindow* options = openOptions(player);
    ASSERT_NE(options, nullptr);
    // Off, the sliders show the volumes that come back.
    EXPECT_EQ(
        std::make_tuple(
            dynamic_cast<GSliderBar*>(options->FindControl(Options::kMusicSlider))->GetValue(),
            dynamic_cast<GSliderBar*>(options->FindControl(Options::kSoundSlider))->GetValue()),
        std::make_tuple(70, 35));
    switchBoth(player);
    EXPECT_EQ(heard(system), Heard(7000, 3500, true, true, stream ? 7000 : -1, 3500));
    next.OnExit();
    platform::ShowCursor(true);
}

} // namespace
