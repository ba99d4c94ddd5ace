// The game's audio starts after the first screen has been drawn, and before the intro's loading
// steps that apply the saved volumes and start the music.

#include <gtest/gtest.h>

#include "audio/music/music_manager.h"
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
    GGameGuiSystem& system = *game.GetGameSystem();
    EXPECT_EQ(system.GetAudio(), nullptr);
    game.OnFrame(0);
    EXPECT_EQ(system.GetAudio(), nullptr) << "the first frame waits for nothing audible";
    EXPECT_EQ(game.GetIntroDialog()->GetLoadedSteps(), 0);

    game.OnFrame(30);
    GAudioSystem* audio = system.GetAudio();
    ASSERT_NE(audio, nullptr);
    EXPECT_TRUE(system.GetMusicManager() && system.GetSoundManager());
    for (int i = 0; i < 8; ++i)
        game.OnFrame(30);
    EXPECT_TRUE(game.GetIntroDialog()->IsLoaded());
    EXPECT_EQ(system.GetAudio(), audio) << "started once";
    game.OnExit();
    platform::ShowCursor(true);
}
