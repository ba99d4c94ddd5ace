// The game application: its initialisation, that a failed start never saves over the player's
// data, and the full-screen command.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "foundation/image/dib_surface.h"
#include "game/profiles/player_profiles.h"
#include "platform/window/cursor.h"
#include "platform/window/messages.h"
#include "screens/game_application.h"
#include "screens/game_gui_system.h"
#include "support/game_data_folder.h"

namespace {

class CountingGame : public GGameApplication {
public:
    int saves = 0;
    bool refuse = false;

    int OnInit() override
    {
        if (refuse)
            return 0; // as a start whose game system cannot be made
        return GGameApplication::OnInit();
    }

protected:
    void SavePlayerData() override { ++saves; }
};

TEST(GameApplication, InitHidesTheCursorTurnsStatisticsOffAndDrawsTheFirstScreen)
{
    tolvanrise::test::GameDataFolder data;
    platform::ClearMessages();
    CountingGame game;
    ASSERT_TRUE(game.Create("Tolvanrise", "Tolvanrise", 800, 600, 0));
    EXPECT_EQ(std::make_tuple(game.IsGameStarted(), game.IsCursorShown(), game.IsCursorClipped(),
                              platform::IsCursorShown(), game.GetFrameStatistics(), game.GetFrameInterval()),
              std::make_tuple(true, false, false, false, false, 30));

    // The first frame draws the first screen over the whole window.
    game.OnFrame(30);
    GDibSurface* surface = game.GetBackBuffer();
    ASSERT_NE(surface, nullptr);
    const uint8_t* pixels = surface->Lock();
    ASSERT_NE(pixels, nullptr);
    int lit = 0, litOutsideTheMiddle = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            const uint8_t* p = pixels + y * surface->GetPitch() + x * 3;
            if (p[0] | p[1] | p[2])
                (y < 250 || y > 350 ? litOutsideTheMiddle : lit)++;
        }
    surface->Unlock();
    EXPECT_TRUE(lit > 20 && litOutsideTheMiddle > 20) << lit << " " << litOutsideTheMiddle;

    game.Show();
    game.OnExit();
    game.OnExit(); // saves once only
    EXPECT_EQ(game.saves, 1);
    platform::ShowCursor(true);
}

TEST(GameApplication, AFailedStartNeverSaves)
{
    tolvanrise::test::GameDataFolder data;
    platform::ClearMessages();
    CountingGame refused;
    refused.refuse = true;
    EXPECT_FALSE(refused.Create("Tolvanrise", "Tolvanrise", 800, 600, 0));
    EXPECT_EQ(refused.saves, 0);

    // Without a back buffer there is nothing to start on either.
    CountingGame bare;
    EXPECT_EQ(bare.OnInit(), 0);
    bare.OnExit();
    EXPECT_TRUE(bare.saves == 0 && !bare.IsGameStarted());
}

// Closed before its loading step has read them, the game leaves the player's files as they are.
TEST(GameApplication, AGameClosedBeforeItReadTheProfilesKeepsThem)
{
    tolvanrise::test::GameDataFolder data;
    platform::ClearMessages();
    const std::string file = data.ProfilesFolder() + "/00000000.bin";
    const std::string saved(GPlayerProfiles::kStoreSize, '\x01');
    std::filesystem::create_directories(data.ProfilesFolder());
    ASSERT_TRUE(tolvanrise::test::WriteFileBytes(file, saved));
    GGameApplication game;
    ASSERT_TRUE(game.Create("Tolvanrise", "Tolvanrise", 800, 600, 0));
    EXPECT_EQ(game.GetGameSystem()->SavePlayerData(), 0);
    game.OnExit();
    EXPECT_EQ(tolvanrise::test::ReadFileBytes(file), saved);
    platform::ShowCursor(true);
}

TEST(GameApplication, TheLoopEndsOnCloseAndSavesOnce)
{
    tolvanrise::test::GameDataFolder data;
    platform::ClearMessages();
    CountingGame game;
    ASSERT_TRUE(game.Create("Tolvanrise", "Tolvanrise", 800, 600, 0));
    platform::PostMessage(platform::WM_CLOSE, 0, 0);
    game.Run();
    EXPECT_EQ(game.saves, 1);
    platform::ShowCursor(true);
}

// "cmFullScreen" switches the window from the mode it is really in, whatever the settings'
// flag said, and leaves the flag telling the mode the window took.
TEST(FullScreen, TheCommandSwitchesFromTheWindowsModeAndRecordsIt)
{
    tolvanrise::test::GameDataFolder data("full_screen_");
    platform::ClearMessages();
    GGameApplication game;
    ASSERT_TRUE(game.Create("Tolvanrise", "Tolvanrise", 800, 600, 0));
    // Past the intro's appear hold and its loading of the profiles.
    for (int i = 0; i < 12; ++i)
        game.OnFrame(30);
    GGameGuiSystem& system = *game.GetGameSystem();
    uint8_t& flag = system.GetProfiles()->GetDefaultSettings().flags[GGameSettings::kFullScreenFlag];
    for (const uint8_t start : {0, 1, 1, 0}) {
        flag = start;
        const bool before = game.IsFullscreen();
        EXPECT_EQ(system.ExecuteCommandList("cmFullScreen"), 1);
        game.OnFrame(30);
        EXPECT_NE(game.IsFullscreen(), before) << int(start);
        EXPECT_EQ(flag, game.IsFullscreen() ? 1 : 0);
    }
    game.OnExit();
}

} // namespace
