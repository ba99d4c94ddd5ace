// A window destroyed by another program, on a real X server: whatever first finds it gone (an
// error on any of the process's connections, or the next frame's present) turns into one close
// request with its reason, so the program closes and saves instead of Xlib ending it.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "platform/window/messages.h"
#include "platform/window/quit_requests.h"
#include "platform/window/window.h"

#include "tests/support/x_server.h"

#if defined(__SANITIZE_ADDRESS__)
// The X, GL and D-Bus libraries that SDL's X11 video loads keep allocations past exit from
// code unloaded by then, which no suppression can name; the suites on the dummy driver check
// the window's own code for leaks.
extern "C" const char* __lsan_default_options()
{
    return "detect_leaks=0";
}
#endif

namespace {

using namespace std::chrono_literals;

struct Finder {
    const char* what;
    // After the window was destroyed from the test's own connection, which is not the one the
    // window was made on.
    std::function<void(Display*, ::Window, platform::Window&)> find;
};

TEST(WindowGone, WhateverFindsItFirstBecomesOneCloseRequestWithItsReason)
{
    const Finder finders[] = {
        {"a request about it on another connection",
         [](Display* other, ::Window id, platform::Window&) {
             XEvent event{};
             event.xclient.type = ClientMessage;
             event.xclient.window = id;
             event.xclient.format = 32;
             XSendEvent(other, id, False, NoEventMask, &event);
             XSync(other, False);
         }},
        {"the next frame's present",
         [](Display*, ::Window, platform::Window& window) { window.Flip(); }},
    };
    for (const Finder& finder : finders) {
        SCOPED_TRACE(finder.what);
        tolvanrise::test::XServer x(640, 480);
        if (!x.display)
            GTEST_SKIP() << "Xvfb is not available";
        setenv("DISPLAY", x.name.c_str(), 1);
        setenv("SDL_VIDEODRIVER", "x11", 1);
        const std::string title = std::string("gone ") + finder.what;
        std::unique_ptr<platform::Window> window =
            platform::Window::Create(title.c_str(), 320, 240);
        ASSERT_NE(window, nullptr);
        window->Show();
        window->Flip();
        const ::Window id = tolvanrise::test::WaitForWindowTitled(x.display, title, 10s);
        ASSERT_NE(id, 0u);
        platform::Message m;
        while (platform::PeekMessage(m)) {
        }

        XDestroyWindow(x.display, id);
        XSync(x.display, False);
        finder.find(x.display, id, *window);

        // Later frames find it gone too; the player's program is asked to close once.
        int closes = 0;
        for (int frame = 0; frame < 3; ++frame) {
            window->Flip();
            while (platform::PeekMessage(m))
                closes += m.message == platform::WM_CLOSE;
        }
        EXPECT_EQ(platform::TakeCloseReason(), "the window was destroyed by another program");
        EXPECT_EQ(closes, 1);
        window.reset(); // the errors of destroying what is gone reach the hook, not Xlib's exit
    }
}

} // namespace
