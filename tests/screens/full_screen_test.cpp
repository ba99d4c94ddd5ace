// "cmFullScreen" toggles the settings' full-screen flag and applies it to the window.

#include <gtest/gtest.h>

#include "game/profiles/player_profiles.h"
#include "platform/messages.h"
#include "screens/game_application.h"
#include "screens/game_gui_system.h"
#include "support/game_data_folder.h"

TEST(FullScreen, TheCommandTogglesTheSettingAndTheWindow)
{
    tolvanrise::test::GameDataFolder data("full_screen_");
    platform::ClearMessages();
    GGameApplication game;
    ASSERT_TRUE(game.Create("Tolvanrise", "Tolvanrise", 800, 600, 0));
    // Past the intro's appear hold and its loading of the profiles.
    for (int i = 0; i < 8; ++i)
        game.OnFrame(30);
    GGameGuiSystem& system = *game.GetGameSystem();
    uint8_t& flag = system.GetProfiles()->GetDefaultSettings().flags[GGameSettings::kFullScreenFlag];
    for (const uint8_t start : {0, 1}) {
        flag = start;
        EXPECT_EQ(system.ExecuteCommandList("cmFullScreen"), 1);
        game.OnFrame(30);
        EXPECT_EQ(flag, start ? 0 : 1);
        EXPECT_EQ(game.IsFullscreen(), flag == 1);
    }
    game.OnExit();
}
