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
#include "support/x_session.h" // last: it brings Xlib's macros

// The X11 backend's system libraries (D-Bus, Xlib, some loaded and unloaded again) keep
// allocations past exit that no suppression can name; the same game code is leak-checked by
// the suites on the dummy driver. This hook outranks the options CI passes in the environment.
extern "C" int __lsan_is_turned_off()
{
    return 1;
}

namespace {

using namespace std::chrono_literals;
using namespace tolvanrise::test;

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
    XServer x(800, 600, true);
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
        ASSERT_TRUE(WaitForManagedMode(x, game.IsFullscreen()));
        Settle(game, display);
        ASSERT_TRUE(intro == game.GetIntroDialog() && intro->IsLoaded());

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

// The picture's place when the arrow's point is on the mouse, cut to the 800 x 600 client.
GRect CursorArea(const GBitmap& cursor, int mouseX, int mouseY)
{
    const PixelPoint tip = TipOf(cursor);
    GRect r{int16_t(std::max(0, mouseX - tip.x)), int16_t(std::max(0, mouseY - tip.y)),
            int16_t(std::min(799, mouseX - tip.x + cursor.GetWidth() - 1)),
            int16_t(std::min(599, mouseY - tip.y + cursor.GetHeight() - 1))};
    return r;
}

// Pixels around (mouseX, mouseY) that do not show what the cursor picture puts there, its
// point on the mouse: the picture's own pixels where they are not its key colour, the intro
// picture elsewhere.
int CursorMismatches(const uint8_t* buffer, int pitch, const GBitmap& cursor,
                     const GBitmap& picture, int mouseX, int mouseY)
{
    const PixelPoint tip = TipOf(cursor);
    const GRect area = CursorArea(cursor, mouseX, mouseY);
    int wrong = 0;
    for (int y = area.top; y <= area.bottom; ++y)
        for (int x = area.left; x <= area.right; ++x) {
            const int px = x - mouseX + tip.x, py = y - mouseY + tip.y;
            const uint8_t* expected = !IsKeyPixel(cursor, px, py)
                                          ? cursor.GetPixels() + py * cursor.GetPitch() + px * 3
                                          : picture.GetPixels() + y * picture.GetPitch() + x * 3;
            wrong += std::memcmp(buffer + y * pitch + x * 3, expected, 3) != 0;
        }
    return wrong;
}

// The game's own pointer in a real window: drawn with its point on the mouse and shown on the
// screen, its old place repainted with what lies under it when the mouse moves,
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
    ASSERT_TRUE(WaitForManagedMode(x, false));
    GGraphicsResources& store = *game.GetGameSystem()->GetResources();
    const GBitmap* picture = store.GetBitmap(intro->GetBackgroundSlot());
    const GBitmap* normal = store.GetBitmap(store.FindBitmap(GGameApplication::kCursorPicture));
    const GBitmap* pressed =
        store.GetBitmap(store.FindBitmap(GGameApplication::kCursorPressedPicture));
    ASSERT_TRUE(picture && normal && pressed);
    GDibSurface& surface = *game.GetBackBuffer();
    const int pitch = surface.GetPitch();
    // The cursor's area at the mouse positions used (the top band shows the picture alone).
    const GRect first = CursorArea(*normal, 100, 10), second = CursorArea(*normal, 300, 10);

    game.SetCursorPos(100, 10);
    Settle(game, x.display);
    EXPECT_EQ(game.GetShownCursor(), 0);
    const uint8_t* buffer = surface.Lock();
    EXPECT_EQ(CursorMismatches(buffer, pitch, *normal, *picture, 100, 10), 0);
    EXPECT_GT(DrawnOver(buffer, pitch, *picture, first), 50);
    EXPECT_EQ(ScreenDiffers(x.display, *game.GetWindowHandle(), buffer, pitch, first), 0);
    surface.Unlock();

    game.SetCursorPos(300, 10);
    Settle(game, x.display);
    buffer = surface.Lock();
    EXPECT_EQ(DrawnOver(buffer, pitch, *picture, first), 0);
    EXPECT_EQ(ScreenDiffers(x.display, *game.GetWindowHandle(), buffer, pitch, first), 0);
    EXPECT_EQ(CursorMismatches(buffer, pitch, *normal, *picture, 300, 10), 0);
    surface.Unlock();

    const intptr_t at = 300 | (10 << 16);
    game.WindowProc(platform::WM_LBUTTONDOWN, platform::MK_LBUTTON, at);
    Settle(game, x.display);
    EXPECT_EQ(game.GetShownCursor(), 1);
    buffer = surface.Lock();
    EXPECT_EQ(CursorMismatches(buffer, pitch, *pressed, *picture, 300, 10), 0);
    surface.Unlock();
    game.WindowProc(platform::WM_LBUTTONUP, 0, at);

    game.SetCursorPos(-50, -40); // above and left of the window
    Settle(game, x.display);
    EXPECT_EQ(game.GetShownCursor(), -1);
    buffer = surface.Lock();
    EXPECT_EQ(DrawnOver(buffer, pitch, *picture, second), 0);
    EXPECT_EQ(ScreenDiffers(x.display, *game.GetWindowHandle(), buffer, pitch, second), 0);
    surface.Unlock();
    game.OnExit();
}

} // namespace

namespace {

// Pixels of the cursor picture (its key colour left out) that the buffer does not show with
// the arrow's point on the mouse.
int CursorPixelsMissing(const uint8_t* buffer, int pitch, const GBitmap& cursor, int mouseX,
                        int mouseY)
{
    const PixelPoint tip = TipOf(cursor);
    int missing = 0;
    for (int py = 0; py < cursor.GetHeight(); ++py)
        for (int px = 0; px < cursor.GetWidth(); ++px) {
            const int x = mouseX - tip.x + px, y = mouseY - tip.y + py;
            if (IsKeyPixel(cursor, px, py))
                continue;
            const uint8_t* own = cursor.GetPixels() + py * cursor.GetPitch() + px * 3;
            missing += x < 0 || y < 0 || x >= 800 || y >= 600 ||
                       std::memcmp(buffer + y * pitch + x * 3, own, 3) != 0;
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
    ASSERT_TRUE(WaitForManagedMode(x, false));
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
        const GRect under = CursorArea(*cursor, mx, my);
        game.SetCursorPos(790, 590);
        Settle(game, x.display);
        const std::string before = Pixels(surface.Lock(), pitch, under);
        surface.Unlock();

        game.SetCursorPos(mx, my);
        Settle(game, x.display);
        EXPECT_EQ(game.GetShownCursor(), 0) << c.window;
        const uint8_t* buffer = surface.Lock();
        EXPECT_EQ(CursorPixelsMissing(buffer, pitch, *cursor, mx, my), 0) << c.window;
        EXPECT_NE(Pixels(buffer, pitch, under), before) << c.window;
        EXPECT_EQ(ScreenDiffers(x.display, *game.GetWindowHandle(), buffer, pitch, under), 0)
            << c.window;
        surface.Unlock();
        surface.SaveBmp((shots + "/" + c.picture + ".bmp").c_str());

        game.SetCursorPos(790, 590);
        Settle(game, x.display);
        EXPECT_EQ(Pixels(surface.Lock(), pitch, under), before) << c.window;
        surface.Unlock();
        if (c.picture == std::string("menu")) {
            ASSERT_TRUE(player.Click("btnOptions"));
        }
    }
    game.OnExit();
}

} // namespace
