// The first screen on a real X display (Xvfb, started here): what the window shows equals the
// back buffer pixel for pixel, and the regions of the picture, the bar and both texts hold what
// was drawn there. Skipped when Xvfb is not installed or does not start.

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

namespace {

using namespace std::chrono_literals;

class VirtualDisplay {
public:
    VirtualDisplay()
    {
        if (access("/usr/bin/Xvfb", X_OK) != 0)
            return;
        m_number = 90 + getpid() % 100;
        const std::string name = ":" + std::to_string(m_number);
        m_server = fork();
        if (m_server == 0) {
            execl("/usr/bin/Xvfb", "Xvfb", name.c_str(), "-screen", "0", "800x600x24", "-nolisten", "tcp",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(m_number);
        for (int i = 0; i < 500 && m_server > 0 && !m_display; ++i) {
            std::this_thread::sleep_for(10ms);
            if (std::filesystem::exists(socket))
                m_display = XOpenDisplay(name.c_str());
        }
        if (m_display)
            m_name = name;
    }
    ~VirtualDisplay()
    {
        if (m_display)
            XCloseDisplay(m_display);
        if (m_server > 0) {
            kill(m_server, SIGTERM);
            waitpid(m_server, nullptr, 0);
        }
    }
    Display* Get() const { return m_display; }
    const std::string& Name() const { return m_name; }

private:
    int m_number = 0;
    pid_t m_server = -1;
    Display* m_display = nullptr;
    std::string m_name;
};

// B, G, R of the screen pixel.
void ScreenPixel(XImage* image, int x, int y, uint8_t out[3])
{
    const unsigned long p = XGetPixel(image, x, y);
    out[0] = static_cast<uint8_t>(p & image->blue_mask);
    out[1] = static_cast<uint8_t>((p & image->green_mask) >> 8);
    out[2] = static_cast<uint8_t>((p & image->red_mask) >> 16);
}

// Pixels of rect r in the back buffer that differ from the picture behind them.
int DrawnOverPicture(const uint8_t* buffer, int pitch, const GBitmap& picture, const GRect& r)
{
    int drawn = 0;
    for (int y = r.top; y <= r.bottom; ++y)
        for (int x = r.left; x <= r.right; ++x)
            drawn += std::memcmp(buffer + y * pitch + x * 3, picture.GetPixels() + y * picture.GetPitch() + x * 3, 3) != 0;
    return drawn;
}

TEST(Screenshot, TheWindowShowsTheBackBufferOfTheFirstScreen)
{
    VirtualDisplay display;
    if (!display.Get())
        GTEST_SKIP() << "Xvfb is not available";
    tolvanrise::test::ScopedEnvVar driver("SDL_VIDEODRIVER", "x11");
    tolvanrise::test::ScopedEnvVar name("DISPLAY", display.Name());
    tolvanrise::test::GameDataFolder data("screenshot_");

    GGameApplication game;
    ASSERT_TRUE(game.Create("Tolvanrise", "Tolvanrise", 800, 600, 0));
    game.Show();
    game.BeginRun();
    const auto end = std::chrono::steady_clock::now() + 1500ms;
    while (std::chrono::steady_clock::now() < end && game.RunStep()) {
    }
    GIntroDialog* intro = game.GetIntroDialog();
    ASSERT_NE(intro, nullptr);
    EXPECT_TRUE(intro->IsLoaded());

    XSync(display.Get(), False);
    XImage* shot = XGetImage(display.Get(), DefaultRootWindow(display.Get()), 0, 0, 800, 600, AllPlanes, ZPixmap);
    ASSERT_NE(shot, nullptr);
    GDibSurface& surface = *game.GetBackBuffer();
    const uint8_t* buffer = surface.Lock();
    int differing = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            uint8_t seen[3];
            ScreenPixel(shot, x, y, seen);
            differing += std::memcmp(seen, buffer + y * surface.GetPitch() + x * 3, 3) != 0;
        }
    EXPECT_EQ(differing, 0);

    // Top rows: the picture alone. The bar's frame is the store's bar picture; both texts and
    // the bar's pieces are drawn over the picture.
    GGraphicsResources& store = *game.GetGameSystem()->GetResources();
    const GBitmap* picture = store.GetBitmap(intro->GetBackgroundSlot());
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(DrawnOverPicture(buffer, surface.GetPitch(), *picture, GRect{0, 0, 799, 40}), 0);
    const GBitmap* bar = store.GetBitmap(store.FindBitmap("INTRO_P_BAR_BG"));
    const GRect barRect = intro->GetBarRect();
    ASSERT_EQ(barRect.Width(), bar->GetWidth());
    EXPECT_EQ(std::memcmp(buffer + barRect.top * surface.GetPitch() + barRect.left * 3, bar->GetPixels(), bar->GetWidth() * 3), 0);
    EXPECT_GT(DrawnOverPicture(buffer, surface.GetPitch(), *picture, intro->GetTitleRect()), 50);
    EXPECT_GT(DrawnOverPicture(buffer, surface.GetPitch(), *picture, intro->GetLineRect()), 200);
    surface.Unlock();
    XDestroyImage(shot);
    game.OnExit();
}

} // namespace
