// The game application: its initialisation, that a failed start never saves over the player's
// data, and the full-screen command.

#include <SDL.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "audio/music/music_manager.h"
#include "audio/music/sound_manager.h"
#include "foundation/image/dib_surface.h"
#include "game/profiles/player_profiles.h"
#include "platform/window/cursor.h"
#include "platform/window/messages.h"
#include "platform/window/window.h"
#include "screens/game_application.h"
#include "screens/game_gui_system.h"
#include "screens/game_window.h"
#include "screens/intro_dialog.h"
#include "screens/window_states.h"
#include "support/game_data_folder.h"
#include "support/game_driver.h"
#include "support/saved_settings.h"

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
    CountingGame game;
    ASSERT_TRUE(tolvanrise::test::OpenGame(game));
    EXPECT_EQ(std::make_tuple(game.IsGameStarted(), game.IsCursorShown(), game.IsCursorClipped(),
                              platform::IsCursorShown(), game.GetFrameStatistics(),
                              game.GetFrameInterval()),
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
    CountingGame game;
    ASSERT_TRUE(tolvanrise::test::OpenGame(game));
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
    GGameApplication game;
    ASSERT_TRUE(tolvanrise::test::OpenGame(game));
    // Past the intro's appear hold and its loading of the profiles.
    for (int i = 0; i < 12; ++i)
        game.OnFrame(30);
    GGameGuiSystem& system = *game.GetGameSystem();
    uint8_t& flag =
        system.GetProfiles()->GetDefaultSettings().flags[GGameSettings::kFullScreenFlag];
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

namespace {

using platform::VK_MENU;
using platform::VK_RETURN;

// Alt+Enter as the window's messages bring it: with the left Alt a system key, with an Alt
// that types (AltGr) an ordinary one.
void AltEnter(GGameApplication& game, bool systemKey)
{
    const uint32_t down = systemKey ? platform::WM_SYSKEYDOWN : platform::WM_KEYDOWN;
    const uint32_t up = systemKey ? platform::WM_SYSKEYUP : platform::WM_KEYUP;
    game.WindowProc(down, VK_MENU, 1);
    game.WindowProc(down, VK_RETURN, 1);
    game.WindowProc(up, VK_RETURN, 1);
    game.WindowProc(up, VK_MENU, 1);
}

void Frames(GGameApplication& game, int n)
{
    for (int i = 0; i < n; ++i)
        game.OnFrame(30);
}

// The saved settings are applied at start; every Alt+Enter, the first included, switches the
// mode; the choice is saved when the window is closed and applied at the next start.
TEST(Settings, TheSavedSettingsAreAppliedAtStartAndEveryAltEnterSwitches)
{
    // refused: the display refuses full screen at start, so the saved flag and the window
    // disagree until the first Alt+Enter.
    const struct {
        int32_t music, sound;
        uint8_t fullScreen;
        bool refused;
    } cases[] = {{3000, 0, 0, false}, {0, 6000, 1, false}, {4000, 6000, 1, true}};
    for (const auto& c : cases) {
        tolvanrise::test::GameDataFolder data("settings_");
        platform::ClearMessages();
        ASSERT_EQ(
            tolvanrise::test::SaveSettings(data.ProfilesFolder(), c.music, c.sound, c.fullScreen),
            1);
        bool fullScreen = c.fullScreen != 0 && !c.refused;
        {
            GGameApplication game;
            ASSERT_TRUE(game.Create("Tolvanrise", "Tolvanrise", 800, 600, 0));
            platform::Window::SimulateFullscreenFailure(c.refused);
            Frames(game, 12); // the intro has loaded the profiles and appeared
            platform::Window::SimulateFullscreenFailure(false);
            GGameGuiSystem& system = *game.GetGameSystem();
            EXPECT_EQ(std::make_tuple(system.GetMusicManager()->IsEnabled() != 0,
                                      system.GetSoundManager()->IsEnabled() != 0,
                                      game.IsFullscreen()),
                      std::make_tuple(c.music != 0, c.sound != 0, fullScreen));
            for (const bool systemKey : {true, false, true}) {
                AltEnter(game, systemKey);
                Frames(game, 1);
                EXPECT_NE(game.IsFullscreen(), fullScreen) << systemKey;
                fullScreen = game.IsFullscreen();
            }
            // Enter alone is no switch.
            game.WindowProc(platform::WM_KEYDOWN, VK_RETURN, 1);
            Frames(game, 1);
            EXPECT_EQ(game.IsFullscreen(), fullScreen);
            EXPECT_EQ(system.ExecuteCommandList("cmClose"), 1);
            game.Run();
        }
        GPlayerProfiles saved(data.ProfilesFolder());
        ASSERT_EQ(saved.Load(), 1);
        EXPECT_EQ(std::make_tuple(saved.GetDefaultSettings().musicVolume,
                                  saved.GetDefaultSettings().soundVolume,
                                  saved.GetDefaultSettings().flags[GGameSettings::kFullScreenFlag]),
                  std::make_tuple(c.music, c.sound, uint8_t(fullScreen)));
        GGameApplication next;
        ASSERT_TRUE(next.Create("Tolvanrise", "Tolvanrise", 800, 600, 0));
        Frames(next, 12);
        EXPECT_EQ(next.IsFullscreen(), fullScreen);
        next.OnExit();
        platform::ShowCursor(true);
    }
}

// A key as the keyboard brings it: an SDL event that the platform turns into window messages.
void PushSdlKey(bool down, SDL_Scancode scancode, SDL_Keycode sym, uint16_t mod)
{
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym = {scancode, sym, mod, 0};
    ASSERT_EQ(SDL_PushEvent(&e), 1);
}

// Alt+Enter pressed on the keyboard switches the mode every time, whichever Alt it is and even
// when the Alt press went to another window; Enter alone never does.
TEST(Settings, AltEnterFromTheKeyboardSwitchesEveryTime)
{
    const struct {
        const char* press;
        SDL_Scancode alt; // SDL_SCANCODE_UNKNOWN: no Alt
        SDL_Keycode altSym;
        bool altPressSeen; // else the press went to another window, the release comes to ours
        uint16_t mod;      // the modifiers held while Enter goes down
        bool switches;
    } rows[] = {
        {"left Alt", SDL_SCANCODE_LALT, SDLK_LALT, true, KMOD_LALT, true},
        {"AltGr", SDL_SCANCODE_RALT, SDLK_RALT, true, KMOD_RALT, true},
        {"left Alt held before the window had the focus", SDL_SCANCODE_LALT, SDLK_LALT, false,
         KMOD_LALT, true},
        {"Enter alone", SDL_SCANCODE_UNKNOWN, 0, false, 0, false},
    };
    tolvanrise::test::GameDataFolder data("alt_enter_");
    ASSERT_EQ(tolvanrise::test::SaveSettings(data.ProfilesFolder(), 5000, 5000, 0), 1);
    GGameApplication game;
    ASSERT_TRUE(tolvanrise::test::OpenGame(game));
    Frames(game, 12); // the intro has loaded the profiles: the full-screen command can run
    ASSERT_FALSE(game.IsFullscreen());
    game.BeginRun();
    for (const auto& row : rows) {
        for (int press = 0; press < 2; ++press) {
            const bool before = game.IsFullscreen();
            if (row.altPressSeen)
                PushSdlKey(true, row.alt, row.altSym, row.mod);
            PushSdlKey(true, SDL_SCANCODE_RETURN, SDLK_RETURN, row.mod);
            PushSdlKey(false, SDL_SCANCODE_RETURN, SDLK_RETURN, row.mod);
            if (row.alt != SDL_SCANCODE_UNKNOWN)
                PushSdlKey(false, row.alt, row.altSym, 0);
            for (int step = 0; step < 8; ++step)
                ASSERT_TRUE(game.RunStep());
            Frames(game, 1);
            EXPECT_EQ(game.IsFullscreen() != before, row.switches)
                << row.press << ", press " << press;
        }
        EXPECT_FALSE(game.IsAltDown()) << row.press;
    }
    game.OnExit();
    platform::ShowCursor(true);
}

// "cmClose" and the close box end the game the same way: the player's data saved once.
TEST(GameApplication, CloseCommandAndCloseBoxSaveOnce)
{
    for (const bool command : {true, false}) {
        tolvanrise::test::GameDataFolder data("close_");
        CountingGame game;
        ASSERT_TRUE(tolvanrise::test::OpenGame(game));
        Frames(game, 2); // still appearing: the close command is not held back
        if (command)
            game.GetGameSystem()->ExecuteCommandList("cmClose");
        else
            game.WindowProc(platform::WM_SYSCOMMAND, platform::SC_CLOSE, 0);
        game.Run();
        game.OnExit();
        EXPECT_EQ(game.saves, 1) << command;
        platform::ShowCursor(true);
    }
}

// The intro appears, loads, waits until the wait is cancelled, and disappears; the frame tick
// then deletes it and the main menu opens alone on the stack.
TEST(GameApplication, TheIntroGoesThroughItsStates)
{
    tolvanrise::test::GameDataFolder data("intro_states_");
    GGameApplication game;
    ASSERT_TRUE(tolvanrise::test::OpenGame(game));
    GIntroDialog* intro = game.GetIntroDialog();
    ASSERT_NE(intro, nullptr);
    EXPECT_NE(dynamic_cast<GAppearStateAlpha*>(intro->GetState()), nullptr);
    Frames(game, 12);
    EXPECT_TRUE(intro->IsLoaded());
    EXPECT_NE(dynamic_cast<GWaitAnimationWaitState*>(intro->GetState()), nullptr);
    game.GetGameSystem()->ExecuteCommandList("cmCancelWait");
    Frames(game, 1);
    EXPECT_NE(dynamic_cast<GWaitAnimationDisappearState*>(intro->GetState()), nullptr);
    EXPECT_TRUE(game.IsMainMenuStarted());
    intro->Disappear(); // already going: nothing changes
    EXPECT_EQ(game.GetWaitingFormCount(), 1);
    Frames(game, GIntroDialog::kDisappearMs / 30 + 2);
    EXPECT_EQ(game.GetIntroDialog(), nullptr);
    ASSERT_EQ(game.GetFormCount(), 1);
    const auto* menu = dynamic_cast<GGameWindow*>(game.GetTopForm());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->GetFileName(), GGameGuiSystem::kMainMenuDialog);
    game.OnExit();
    platform::ShowCursor(true);
}

} // namespace
