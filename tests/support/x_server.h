#pragma once
// An X server of its own (Xvfb) for the suites that look at a real screen, with a connection to
// it, and what they look for there: a top-level window by its title, and the screen saved as a
// picture. Include it last: Xlib's macros (None, Status, Bool...) clash with other names.
// POSIX and Xlib; the test's main thread only.

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace tolvanrise::test {

// Xvfb with one screen of width x height, and a connection to it, for the life of the object;
// with windowManager, also a window manager on it when one is installed (openbox), as a
// player's desktop has one: it frames, places and focuses windows and takes the full-screen
// requests. All are closed however the test ends, and end with the test if it is killed. The
// server picks a display number no other server holds and reports it once it takes
// connections, so suites run side by side (here or by other users of the machine) never share
// one. display stays null when Xvfb is missing or does not start.
struct XServer {
    std::string name;
    pid_t server = -1;
    pid_t manager = -1;
    Display* display = nullptr;

    XServer(int width, int height, bool windowManager = false)
    {
        const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
        int ready[2] = {-1, -1};
        if (access("/usr/bin/Xvfb", X_OK) != 0 || pipe(ready) != 0)
            return;
        server = fork();
        if (server == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            close(ready[0]);
            const std::string fd = std::to_string(ready[1]);
            execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
                  "tcp", nullptr);
            _exit(127);
        }
        close(ready[1]);
        // The number and a newline; nothing when the server ended without taking connections.
        std::string number;
        char c = 0;
        pollfd wait{ready[0], POLLIN, 0};
        while (server > 0 && poll(&wait, 1, 60000) == 1 && read(ready[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(ready[0]);
        if (c == '\n' && !number.empty()) {
            name = ":" + number;
            display = XOpenDisplay(name.c_str());
        }
        if (display && windowManager)
            StartWindowManager();
    }
    ~XServer()
    {
        if (display)
            XCloseDisplay(display);
        for (pid_t child : {manager, server})
            if (child > 0 && kill(child, SIGTERM) == 0)
                waitpid(child, nullptr, 0);
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool HasWindowManager() const { return manager > 0; }

private:
    void StartWindowManager()
    {
        if (access("/usr/bin/openbox", X_OK) != 0)
            return;
        manager = fork();
        if (manager == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            setenv("DISPLAY", name.c_str(), 1);
            execl("/usr/bin/openbox", "openbox", "--sm-disable", nullptr);
            _exit(127);
        }
        // Once it has said so on the root window it manages every window mapped from then on
        // (starting on a busy machine may take long; a manager that ended counts as none).
        const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
        for (const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
             manager > 0 && std::chrono::steady_clock::now() < end;) {
            if (waitpid(manager, nullptr, WNOHANG) == manager) {
                manager = -1;
                return;
            }
            Atom type = 0;
            int format = 0;
            unsigned long items = 0, left = 0;
            unsigned char* data = nullptr;
            XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type, &format,
                               &items, &left, &data);
            if (data)
                XFree(data);
            if (items > 0)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
};

// The first window below root whose title is title (depth first), or 0.
inline Window FindWindowTitled(Display* display, Window root, const std::string& title)
{
    // The title as stored, whatever its encoding (SDL's boxes store UTF-8, which XFetchName
    // does not return).
    XTextProperty name{};
    if (XGetWMName(display, root, &name) && name.value) {
        const bool same =
            title == std::string(reinterpret_cast<const char*>(name.value), name.nitems);
        XFree(name.value);
        if (same)
            return root;
    }
    Window rootOut = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, root, &rootOut, &parent, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i)
        found = FindWindowTitled(display, children[i], title);
    if (children)
        XFree(children);
    return found;
}

// Waits (at most timeout) for a viewable window of that title; 0 when none came.
inline Window WaitForWindowTitled(Display* display, const std::string& title, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const Window window = FindWindowTitled(display, DefaultRootWindow(display), title);
        XWindowAttributes attributes{};
        if (window && XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable)
            return window;
        if (std::chrono::steady_clock::now() >= deadline)
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// The whole screen as a binary PPM; false when it could not be read or written.
inline bool SaveScreen(Display* display, const std::string& file)
{
    XWindowAttributes root{};
    XGetWindowAttributes(display, DefaultRootWindow(display), &root);
    XImage* shot = XGetImage(display, DefaultRootWindow(display), 0, 0, root.width, root.height, AllPlanes, ZPixmap);
    std::FILE* out = shot ? std::fopen(file.c_str(), "wb") : nullptr;
    if (out) {
        std::fprintf(out, "P6\n%d %d\n255\n", root.width, root.height);
        for (int y = 0; y < root.height; ++y)
            for (int x = 0; x < root.width; ++x) {
                const unsigned long pixel = XGetPixel(shot, x, y);
                const unsigned char rgb[3] = {static_cast<unsigned char>(pixel >> 16),
                                              static_cast<unsigned char>(pixel >> 8), static_cast<unsigned char>(pixel)};
                std::fwrite(rgb, 1, 3, out);
            }
    }
    const bool written = out && std::fclose(out) == 0;
    if (shot)
        XDestroyImage(shot);
    return written;
}

} // namespace tolvanrise::test
