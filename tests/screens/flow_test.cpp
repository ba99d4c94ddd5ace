// The game's flow as a player goes through it, driven by the window's own messages: the
// intro hands over to the main menu, the menu opens the options window, the player sets the
// music slider to 30 and switches sound off, goes back with Escape and quits with the menu's
// button. The profile then holds the choices, and the next start applies them.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

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
    std::filesystem::create_directories(data.ProfilesFolder());
    GPlayerProfiles windowed(data.ProfilesFolder());
    windowed.GetDefaultSettings().flags[GGameSettings::kFullScreenFlag] = 0;
    ASSERT_EQ(windowed.Save(), 1);
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
        ASSERT_TRUE(music && sound);
        // The window shows the settings: the default music volume, sound on.
        EXPECT_EQ(std::make_tuple(music->GetValue(), sound->IsChecked()),
                  std::make_tuple(40, true));

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

    platform::ClearMessages();
    GGameApplication next;
    ASSERT_TRUE(next.Create("Tolvanrise", "Tolvanrise", 800, 600, 0));
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

} // namespace
