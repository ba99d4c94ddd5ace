#pragma once
// The screenshot suites' X display: an Xvfb server of its own with a window manager on it
// (openbox, when installed), the game's drivers pointed at it, the screen read back, and the
// game's drawn cursor found in a picture. Only the screenshot suites include this (they link
// Xlib).

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/image/bitmap.h"
#include "platform/window/messages.h"
#include "platform/window/window.h"
#include "screens/game_application.h"
#include "support/game_data_folder.h"
#include "support/saved_settings.h"
#include "support/scoped_env.h"

// Last: Xlib's macros (None, Status, Bool...) would clash with the names above.
#include "support/x_server.h"

namespace tolvanrise::test {

using namespace std::chrono_literals;

// Runs the game's loop for ms milliseconds of real time.
inline void RunFor(GGameApplication& game, std::chrono::milliseconds ms)
{
    for (const auto end = std::chrono::steady_clock::now() + ms;
         std::chrono::steady_clock::now() < end;)
        game.RunStep();
}

// Once the X server has handled all that was asked of it so far (the events it sends the game
// are then on their way), takes every waiting message and draws a frame, twice, as the game's
// loop does, so those frames show what the events said. A frame counts 30 ms of game time
// however long it takes: on a busy machine real time would run the screens' own timers on
// (the intro's wait ends and the menu comes) in the middle of a test.
inline void Settle(GGameApplication& game, Display* display)
{
    XSync(display, False);
    for (int frames = 0; frames < 2;) {
        platform::Message message;
        if (platform::PeekMessage(message)) {
            if (message.message == platform::WM_QUIT)
                return;
            game.WindowProc(message.message, message.wParam, message.lParam);
            continue;
        }
        if (!game.IsInactive())
            game.OnFrame(30);
        ++frames;
    }
}

namespace x_detail {

// The atoms of a window's list property (empty when it has none).
inline std::vector<unsigned long> ListProperty(Display* display, Window window, const char* name,
                                               Atom type)
{
    Atom actual = 0;
    int format = 0;
    unsigned long items = 0, left = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> list;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 64, False, type,
                           &actual, &format, &items, &left, &data) == Success &&
        data && format == 32)
        list.assign(reinterpret_cast<unsigned long*>(data),
                    reinterpret_cast<unsigned long*>(data) + items);
    if (data)
        XFree(data);
    return list;
}

} // namespace x_detail

// Waits until the window manager has put the game's window (the one window it manages) into
// the mode the game asked for: full screen, covering the screen, or out of it. Managers take
// such requests in their own time. True at once without a manager; false after a minute.
inline bool WaitForManagedMode(const XServer& x, bool fullScreen)
{
    if (!x.HasWindowManager())
        return true;
    Display* display = x.display;
    const Atom state = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    const Window root = DefaultRootWindow(display);
    XWindowAttributes screen{};
    XGetWindowAttributes(display, root, &screen);
    for (const auto end = std::chrono::steady_clock::now() + 60s;
         std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(10ms)) {
        XSync(display, False);
        const auto clients = x_detail::ListProperty(display, root, "_NET_CLIENT_LIST", XA_WINDOW);
        if (clients.size() != 1)
            continue;
        const Window window = clients[0];
        const auto states = x_detail::ListProperty(display, window, "_NET_WM_STATE", XA_ATOM);
        const bool full = std::find(states.begin(), states.end(), state) != states.end();
        XWindowAttributes a{};
        int rx = 0, ry = 0;
        Window child = 0;
        if (!XGetWindowAttributes(display, window, &a) ||
            !XTranslateCoordinates(display, window, root, 0, 0, &rx, &ry, &child))
            continue;
        const bool covers =
            rx == 0 && ry == 0 && a.width == screen.width && a.height == screen.height;
        if (full == fullScreen && covers == fullScreen)
            return true;
    }
    return false;
}

// The whole X screen as a 24-bit B,G,R picture (pitch = width * 3).
inline std::vector<uint8_t> RootPicture(Display* display, int& width, int& height)
{
    XSync(display, False);
    XWindowAttributes root{};
    XGetWindowAttributes(display, DefaultRootWindow(display), &root);
    width = root.width;
    height = root.height;
    std::vector<uint8_t> bytes;
    XImage* shot = XGetImage(display, DefaultRootWindow(display), 0, 0, width, height, AllPlanes,
                             ZPixmap);
    if (!shot)
        return bytes;
    bytes.resize(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long p = XGetPixel(shot, x, y);
            uint8_t* out = &bytes[(size_t(y) * width + x) * 3];
            out[0] = uint8_t(p & shot->blue_mask);
            out[1] = uint8_t((p & shot->green_mask) >> 8);
            out[2] = uint8_t((p & shot->red_mask) >> 16);
        }
    XDestroyImage(shot);
    return bytes;
}

// The 800 x 600 client area as the X screen shows it (pitch 2400), found on the screen where
// its middle rows show the back buffer's (a window manager's frame moves it from where the
// window was asked to be); empty when it is not on the screen.
inline std::vector<uint8_t> ClientScreenshot(Display* display, const uint8_t* buffer, int pitch)
{
    int width = 0, height = 0;
    const std::vector<uint8_t> root = RootPicture(display, width, height);
    auto rowsMatch = [&](int ox, int oy) {
        for (int y : {150, 300, 450})
            if (std::memcmp(&root[(size_t(oy + y) * width + ox) * 3], buffer + y * pitch,
                            800 * 3) != 0)
                return false;
        return true;
    };
    for (int oy = 0; oy + 600 <= height; ++oy)
        for (int ox = 0; ox + 800 <= width; ++ox)
            if (rowsMatch(ox, oy)) {
                std::vector<uint8_t> client(800 * 600 * 3);
                for (int y = 0; y < 600; ++y)
                    std::memcpy(&client[size_t(y) * 2400], &root[(size_t(oy + y) * width + ox) * 3],
                                2400);
                return client;
            }
    return {};
}

// Pixels of the client rectangle r that the X screen shows differently from the back buffer
// (-1: the client is not on the screen).
inline int ScreenDiffers(Display* display, const platform::Window&, const uint8_t* buffer,
                         int pitch, const GRect& r)
{
    const std::vector<uint8_t> client = ClientScreenshot(display, buffer, pitch);
    if (client.empty())
        return -1;
    int differing = 0;
    for (int y = r.top; y <= r.bottom; ++y)
        for (int x = r.left; x <= r.right; ++x)
            differing +=
                std::memcmp(&client[size_t(y) * 2400 + x * 3], buffer + y * pitch + x * 3, 3) != 0;
    return differing;
}

// An X server with a screen larger than the window (the mouse can leave it), the game's drivers
// pointed at it and a data folder whose saved settings keep the game in a window.
struct WindowedOnX {
    XServer x{1024, 768, true};
    std::optional<ScopedEnvVar> driver, screen;
    std::optional<GameDataFolder> data;
    bool saved = false;

    explicit WindowedOnX(const char* prefix)
    {
        if (!x.display)
            return;
        driver.emplace("SDL_VIDEODRIVER", "x11");
        screen.emplace("DISPLAY", x.name);
        data.emplace(prefix);
        saved = SaveWindowed(data->ProfilesFolder()) == 1;
    }
};

struct PixelPoint {
    int x = 0;
    int y = 0;
    bool operator==(const PixelPoint&) const = default;
};

// What the player reads as the arrow's point: the topmost of the cursor picture's drawn pixels
// (the leftmost of that row); its key colour is not drawn.
inline PixelPoint TipOf(const GBitmap& cursor)
{
    const uint32_t key = cursor.GetKeyColour();
    for (int y = 0; y < cursor.GetHeight(); ++y)
        for (int x = 0; x < cursor.GetWidth(); ++x) {
            const uint8_t* p = cursor.GetPixels() + y * cursor.GetPitch() + x * 3;
            if ((uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16) != key)
                return {x, y};
        }
    return {};
}

inline bool IsKeyPixel(const GBitmap& cursor, int x, int y)
{
    const uint32_t key = cursor.GetKeyColour();
    const uint8_t* p = cursor.GetPixels() + y * cursor.GetPitch() + x * 3;
    return (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16) == key;
}

// The top-left corners at which a picture (width x height, pitch bytes a row) shows every
// drawn pixel of the cursor picture (its key-coloured margin may lie outside).
inline std::vector<PixelPoint> FindCursor(const uint8_t* picture, int width, int height, int pitch,
                                          const GBitmap& cursor)
{
    std::vector<PixelPoint> drawn;
    for (int y = 0; y < cursor.GetHeight(); ++y)
        for (int x = 0; x < cursor.GetWidth(); ++x)
            if (!IsKeyPixel(cursor, x, y))
                drawn.push_back({x, y});
    std::vector<PixelPoint> found;
    for (int oy = 1 - cursor.GetHeight(); oy < height; ++oy)
        for (int ox = 1 - cursor.GetWidth(); ox < width; ++ox) {
            bool all = !drawn.empty();
            for (size_t i = 0; i < drawn.size() && all; ++i) {
                const int x = ox + drawn[i].x, y = oy + drawn[i].y;
                all = x >= 0 && y >= 0 && x < width && y < height &&
                      std::memcmp(picture + y * pitch + x * 3,
                                  cursor.GetPixels() + drawn[i].y * cursor.GetPitch() +
                                      drawn[i].x * 3,
                                  3) == 0;
            }
            if (all)
                found.push_back({ox, oy});
        }
    return found;
}

// Where the arrow's point is drawn in the picture, for each cursor found.
inline std::vector<PixelPoint> DrawnTips(const uint8_t* picture, int width, int height, int pitch,
                                         const GBitmap& cursor)
{
    std::vector<PixelPoint> tips = FindCursor(picture, width, height, pitch, cursor);
    const PixelPoint tip = TipOf(cursor);
    for (PixelPoint& p : tips)
        p = {p.x + tip.x, p.y + tip.y};
    return tips;
}

} // namespace tolvanrise::test
