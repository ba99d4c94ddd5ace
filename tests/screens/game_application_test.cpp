// The game application: its initialisation, that a failed start never saves over the player's
// data, and the full-screen command.

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "audio/music/music_manager.h"
#include "audio/music/sound_manager.h"
#include "audio/player/audio_player.h"
#include "audio/player/audio_system.h"
#include "foundation/files/scramble_keys.h"
#include "foundation/image/dib_surface.h"
#include "foundation/text/dictionary.h"
#include "foundation/text/wstring.h"
#include "game/profiles/player_profiles.h"
#include "graphics/fonts/ttf_font.h"
#include "graphics/scene/clip_array.h"
#include "graphics/store/graphics_resources.h"
#include "gui/controls/slider_bar.h"
#include "platform/window/cursor.h"
#include "platform/window/messages.h"
#include "platform/window/window.h"
#include "screens/game_application.h"
#include "screens/game_gui_system.h"
#include "screens/game_window.h"
#include "screens/intro_dialog.h"
#include "screens/options_window.h"
#include "screens/window_states.h"
#include "support/game_data_folder.h"
#include "support/game_driver.h"
#include "support/gui_store_folder.h"
#include "support/recording_application.h"
#include "support/saved_settings.h"
#include "support/scoped_env.h"
#include "support/temp_files.h"

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

    // Where the cursor was last drawn.
    std::pair<int, int> CursorAt() const { return {m_cursorX, m_cursorY}; }

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

    // The cursor follows the mouse, and is taken away while the game is not active.
    game.SetCursorPos(100, 50);
    game.OnFrame(30);
    EXPECT_EQ(std::make_pair(game.GetShownCursor(), game.CursorAt()),
              std::make_pair(0, std::make_pair(100, 50)));
    game.OnDeactivate();
    game.OnFrame(30);
    EXPECT_EQ(std::make_pair(game.GetShownCursor(), game.CursorAt()),
              std::make_pair(-1, std::make_pair(-256, -256)));
    game.OnActivate();

    game.Show();
    game.OnExit();
    game.OnExit(); // saves once only
    EXPECT_EQ(game.saves, 1);
    game.OnFrame(30); // a frame after the exit has nothing to draw and fails nothing
    EXPECT_EQ(game.GetFormCount(), 0);
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

// A record that cannot be written (damaged, and no room to keep the old one aside: a folder
// holds the copy's name) makes the save fail, whichever of the two it is; the other one is
// still written.
TEST(GameApplication, ASaveWithARecordThatCannotBeWrittenFails)
{
    for (const int32_t blocked : {0, 9999}) {
        tolvanrise::test::GameDataFolder data("blocked_save_");
        platform::ClearMessages();
        ASSERT_EQ(tolvanrise::test::SaveWindowed(data.ProfilesFolder()), 1);
        const std::string store = data.ProfilesFolder() + "/00000000.bin";
        const std::string scores = data.ProfilesFolder() + "/00009999.bin";
        const std::string damaged = blocked == 0 ? store : scores;
        ASSERT_TRUE(tolvanrise::test::WriteFileBytes(damaged, "short"));
        std::filesystem::create_directories(damaged + ".damaged");
        ASSERT_TRUE(tolvanrise::test::WriteFileBytes(damaged + ".damaged/inside", "older"));
        GGameApplication game;
        ASSERT_TRUE(game.Create("Tolvanrise", "Tolvanrise", 800, 600, 0));
        Frames(game, 12); // the profiles are read
        EXPECT_EQ(game.GetGameSystem()->SavePlayerData(), 0) << blocked;
        EXPECT_EQ(tolvanrise::test::ReadFileBytes(damaged), "short") << blocked;
        const std::string& other = blocked == 0 ? scores : store;
        EXPECT_EQ(tolvanrise::test::ReadFileBytes(other).size(),
                  blocked == 0 ? 1080u : size_t{GPlayerProfiles::kStoreSize})
            << blocked;
        game.OnExit();
        platform::ShowCursor(true);
    }
}

// A game on its own copy of the data folder (which a test may change before Open), closed at
// the end of the test.
class OpenedGame : public testing::Test {
protected:
    void Open()
    {
        ASSERT_TRUE(tolvanrise::test::OpenGame(game));
        intro = game.GetIntroDialog();
        ASSERT_NE(intro, nullptr);
    }
    void TearDown() override
    {
        game.OnExit();
        platform::ShowCursor(true);
    }
    // The back buffer's bytes in the inclusive rectangle r.
    std::string Pixels(const GRect& r)
    {
        GDibSurface& surface = *game.GetBackBuffer();
        const uint8_t* pixels = surface.Lock();
        std::string bytes;
        for (int y = r.top; y <= r.bottom; ++y)
            bytes.append(
                reinterpret_cast<const char*>(pixels + y * surface.GetPitch() + r.left * 3),
                r.Width() * 3);
        surface.Unlock();
        return bytes;
    }

    tolvanrise::test::GameDataFolder data{"opened_game_"};
    GGameApplication game;
    GIntroDialog* intro = nullptr;
};

// The intro once it has loaded: the title and the loading line centred, the bar's frame with
// its five pieces side by side inside it, the label breathing over the picture; the line is
// the dictionary's text as the TrueType font draws it. Another intro is made as this one was.
TEST_F(OpenedGame, TheIntroScreenIsLaidOutAndDrawn)
{
    Open();
    Frames(game, 12);
    ASSERT_TRUE(intro->IsLoaded());
    GGameGuiSystem& system = *game.GetGameSystem();
    GGraphicsResources& store = *system.GetResources();
    const int16_t barSlot = store.FindBitmap("INTRO_P_BAR_BG");
    // Centres doubled, so that odd widths compare exactly.
    EXPECT_EQ(std::make_tuple(intro->GetTitleRect().left + intro->GetTitleRect().right,
                              intro->GetLineRect().left + intro->GetLineRect().right,
                              intro->GetLineRect().top, intro->GetBarRect().left,
                              intro->GetBarRect().top),
              std::make_tuple(800, 799, 480, 300, 520));
    GClipArray* list = intro->GetClips();
    const GClip* line = nullptr;
    std::vector<int> pieces(GIntroDialog::kBarPieces, -1); // left edges, on the pieces' row
    for (int i = intro->GetFirstClip(); i < list->GetCount(); ++i) {
        const GClip& clip = *list->GetAt(i);
        const int piece = clip.GetSlot() - barSlot;
        if (clip.IsVisible() && piece >= 1 && piece <= GIntroDialog::kBarPieces)
            pieces[piece - 1] = clip.GetRect().top == 522 ? clip.GetRect().left : -2;
        if (clip.IsVisible() && clip.GetRect() == intro->GetLineRect())
            line = &clip;
    }
    EXPECT_EQ(pieces, (std::vector<int>{302, 341, 380, 419, 458}));

    ASSERT_NE(line, nullptr);
    GTtfFont font;
    ASSERT_EQ(font.LoadFromPack("DejaVuSans.ttf", kTrueTypeFontKey, 0), 1);
    font.SetStore(&store);
    const GBitmap* drawn = store.GetBitmap(line->GetSlot());
    const GBitmap* reference =
        store.GetBitmap(font.RenderText(system.GetDictionary()->Translate(GWString("IntroLoading")),
                                        nullptr, font.GetOptions(), 14, 0xFFFFFF, 0, 0));
    ASSERT_TRUE(drawn && reference);
    ASSERT_EQ(std::make_pair(drawn->GetWidth(), drawn->GetHeight()),
              std::make_pair(reference->GetWidth(), reference->GetHeight()));
    const size_t coverage = size_t(reference->GetWidth()) * reference->GetHeight();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(drawn->GetAlpha()), coverage),
              std::string(reinterpret_cast<const char*>(reference->GetAlpha()), coverage));

    const GBitmap* logo = store.GetBitmap(store.FindBitmap("INTRO_LOGO"));
    const GBitmap* picture = store.GetBitmap(intro->GetBackgroundSlot());
    ASSERT_TRUE(logo && picture);
    const GRect label{320, 290, int16_t(319 + logo->GetWidth()), int16_t(289 + logo->GetHeight())};
    std::string under;
    for (int y = label.top; y <= label.bottom; ++y)
        under.append(reinterpret_cast<const char*>(picture->GetPixels() + y * picture->GetPitch() +
                                                   label.left * 3),
                     label.Width() * 3);
    const std::string before = Pixels(label);
    Frames(game, 3);
    const std::string after = Pixels(label);
    EXPECT_TRUE(before != under && after != under && before != after);

    GIntroDialog second(&game, &system);
    EXPECT_EQ(second.Create(), 1);
}

// Without its picture the intro is drawn on black: the loading line hidden as the screen goes
// leaves black behind.
TEST_F(OpenedGame, WithoutItsPictureTheIntroLeavesBlackBehind)
{
    ASSERT_TRUE(std::filesystem::remove(data.Data("Data1.dat")));
    Open();
    Frames(game, 12);
    const GRect line = intro->GetLineRect();
    const std::string black(line.Width() * line.Height() * 3, '\0');
    ASSERT_GT(line.Width(), 10);
    EXPECT_NE(Pixels(line), black);
    game.GetGameSystem()->ExecuteCommandList("cmCancelWait");
    Frames(game, 1);
    EXPECT_EQ(Pixels(line), black);
}

// The first screen's first frame is drawn before the window shows and takes no time of the
// fade-in: the next frame already loads a step, and the fade still runs its whole time.
TEST_F(OpenedGame, TheFirstFrameIsDrawnBeforeTheWindowShows)
{
    Open();
    game.OnBeforeShow();
    EXPECT_EQ(intro->GetLoadedSteps(), 0);
    game.OnFrame(GIntroDialog::kAppearMs - 1);
    EXPECT_EQ(intro->GetLoadedSteps(), 1);
    EXPECT_NE(dynamic_cast<GAppearStateAlpha*>(intro->GetState()), nullptr);
    game.OnFrame(1);
    EXPECT_EQ(dynamic_cast<GAppearStateAlpha*>(intro->GetState()), nullptr);
}

// The game's windows by file name: made and fading in; none for a missing file or no name.
// The options window's volume sliders run 0 to 100 whatever its file says, and show the
// settings.
TEST_F(OpenedGame, TheGameMakesItsWindowsByFileName)
{
    const std::string file = data.Data(GGameGuiSystem::kOptionsDialog);
    std::string options = tolvanrise::test::ReadFileBytes(file);
    for (size_t at; (at = options.find("Max = 100")) != std::string::npos;)
        options.replace(at, 9, "Max = 10");
    ASSERT_TRUE(tolvanrise::test::WriteFileBytes(file, options));
    Open();
    using Slider = std::tuple<int32_t, int32_t, int32_t>; // range and value
    const struct {
        const char* file;
        bool made;
    } cases[] = {{GGameGuiSystem::kMainMenuDialog, true},
                 {GGameGuiSystem::kOptionsDialog, true},
                 {"missing.cfg", false},
                 {nullptr, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "no name");
        const std::unique_ptr<GDialog> dialog = game.GetGameSystem()->MakeDialog(c.file);
        ASSERT_EQ(dialog != nullptr, c.made);
        if (!dialog)
            continue;
        EXPECT_NE(dynamic_cast<GAppearStateAlpha*>(dialog->GetState()), nullptr);
        std::vector<Slider> sliders;
        for (const char* name :
             {GOptionsWndControlListener::kMusicSlider, GOptionsWndControlListener::kSoundSlider})
            if (const auto* slider = dynamic_cast<GSliderBar*>(dialog->FindControl(name)))
                sliders.emplace_back(slider->GetMin(), slider->GetMax(), slider->GetValue());
        if (c.file == std::string(GGameGuiSystem::kOptionsDialog)) {
            EXPECT_EQ(sliders, (std::vector<Slider>{{0, 100, 40}, {0, 100, 60}}));
        }
    }
}

// The loading steps say whether they loaded: on a store without the pictures they start from,
// the ones that look them up load nothing; on the game's data each one loads (again, after the
// intro's loading), and the interface range, to its last slot, holds the interface set alone.
TEST_F(OpenedGame, TheLoadingStepsSayWhetherTheyLoaded)
{
    {
        tolvanrise::test::GuiStoreFolder bare("bare_game_store_");
        tolvanrise::test::ScopedEnvVar home("XDG_DATA_HOME", bare.Path("home"));
        tolvanrise::test::RecordingApplication app;
        ASSERT_TRUE(app.Create("Bare", "Bare", 64, 48, 0));
        // The game's own start refuses a store without its fonts; the GUI's start alone is
        // enough for the loading steps.
        EXPECT_EQ(GGameGuiSystem().Init(&app, bare.Path("refused.html").c_str()), 0);
        GGameGuiSystem system;
        ASSERT_EQ(system.GGuiSystem::Init(&app, bare.Path("log.html").c_str()), 1);
        EXPECT_EQ(std::make_tuple(system.LoadTextParticles(), system.LoadIntroResources()),
                  std::make_tuple(0, 0));
    }
    Open();
    Frames(game, 12);
    GGameGuiSystem& system = *game.GetGameSystem();
    const GGraphicsResources& store = *system.GetResources();
    const auto range = [&store] {
        return std::make_pair(store.GetBitmap(GGameGuiSystem::kInterfaceFirstSlot) != nullptr,
                              store.GetBitmap(GGameGuiSystem::kInterfaceLastSlot) != nullptr);
    };
    EXPECT_EQ(range(), std::make_pair(true, false));
    EXPECT_EQ(std::make_tuple(system.LoadInterfaceResources(), system.LoadTextParticles(),
                              system.LoadIntroResources()),
              std::make_tuple(1, 1, 1));
    EXPECT_EQ(range(), std::make_pair(true, false));
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
    // Within 12 frames; one at a time, so that the wait's sound (a quarter second of real time)
    // is looked at in the frame that started it, however slow the frames.
    for (int i = 0; i < 12 && !dynamic_cast<GWaitAnimationWaitState*>(intro->GetState()); ++i)
        Frames(game, 1);
    EXPECT_TRUE(intro->IsLoaded());
    EXPECT_NE(dynamic_cast<GWaitAnimationWaitState*>(intro->GetState()), nullptr);
    // The wait plays a variant of its sound event.
    ASSERT_GE(intro->GetWaitSound(), 0);
    EXPECT_NE(game.GetGameSystem()->GetSoundManager()->IsSoundPlaying(intro->GetWaitSound()), 0);
    // The music plays from the loading of the settings on; the main menu starts it over: after
    // that frame it has played no more than the real time the frame took (a mixer's buffer
    // aside), where going on would have added that time to the quarter second it had.
    GAudioPlayer* music = game.GetGameSystem()->GetAudio()->GetAudioPlayer();
    ASSERT_NE(music, nullptr);
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
         music->GetPlayedMs() < 250 && std::chrono::steady_clock::now() < end;)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GE(music->GetPlayedMs(), 250);
    const auto restart = std::chrono::steady_clock::now();
    game.GetGameSystem()->ExecuteCommandList("cmCancelWait");
    Frames(game, 1);
    const double took =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - restart)
            .count();
    EXPECT_NE(dynamic_cast<GWaitAnimationDisappearState*>(intro->GetState()), nullptr);
    EXPECT_LT(music->GetPlayedMs(), took + 125);
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
