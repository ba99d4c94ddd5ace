// The game's audio starts once the first screen is drawn, before the intro's loading steps.

#include <gtest/gtest.h>

#include "platform/cursor.h"
#include "platform/messages.h"
#include "screens/game_application.h"
#include "screens/game_gui_system.h"
#include "screens/intro_dialog.h"
#include "support/game_data_folder.h"

TEST(AudioStart, WaitsForTheFirstFrameAndPrecedesTheLoadingSteps)
{
    tolvanrise::test::GameDataFolder data("audio_start_");
    platform::ClearMessages();
    GGameApplication game;
    ASSERT_TRUE(game.Create("Tolvanrise", "Tolvanrise", 800, 600, 0));
    game.OnFrame(0);
    GGameGuiSystem& system = *game.GetGameSystem();
    EXPECT_EQ(system.GetAudio(), nullptr) << "the first frame waits for nothing audible";
    game.OnFrame(30);
    EXPECT_TRUE(system.GetAudio() && system.GetMusicManager() && system.GetSoundManager());
    EXPECT_EQ(game.GetIntroDialog()->GetLoadedSteps(), 1);
    game.OnExit();
    platform::ShowCursor(true);
}
