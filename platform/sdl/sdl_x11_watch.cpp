// The window or the display taken away from outside on X11: another program destroying our
// window (as "xdotool windowclose" does) or the X server going away. Xlib's default answer to
// either ends the process at once ("X Error: BadWindow", or a fatal I/O error), without the
// program's close and save. Here the window's DestroyNotify and the errors about our window
// become a close request instead, errors once the window has gone are ignored, and a lost
// connection lets Xlib return (it then sends nothing more) after asking for the close. Main
// thread only, like every Xlib call of the program.

#include <SDL.h>
#include <SDL_syswm.h>

#include <dlfcn.h>

#include "platform/sdl/sdl_internal.h"
#include "platform/window/quit_requests.h"

namespace platform {

namespace {

using ErrorHandler = int (*)(Display*, XErrorEvent*);
using SetErrorHandler = ErrorHandler (*)(ErrorHandler);
using IoExitHandler = void (*)(Display*, void*);
using SetIoExitHandler = void (*)(Display*, IoExitHandler, void*);
using IoErrorHandler = int (*)(Display*);
using SetIoErrorHandler = IoErrorHandler (*)(IoErrorHandler);
using QueryExtension = Bool (*)(Display*, const char*, int*, int*, int*);
using CheckTypedWindowEvent = Bool (*)(Display*, ::Window, int, XEvent*);

constexpr const char* kWindowGone = "the window was destroyed by another program";
constexpr const char* kDisplayGone = "the connection to the display was lost";

Display* g_display = nullptr;
::Window g_window = 0;
bool g_windowGone = false;
bool g_displayLost = false;
::Window g_goneWindow = 0; // our window once another program destroyed it
ErrorHandler g_previousHandler = nullptr;
bool g_handlerInstalled = false;
int g_glxFirstError = -1;
CheckTypedWindowEvent g_checkEvent = nullptr;

void WindowGone()
{
    if (g_window != 0)
        g_goneWindow = g_window;
    if (!g_windowGone) {
        g_windowGone = true;
        RequestCloseFromOutside(kWindowGone);
    }
}

bool SaysOurWindowIsGone(const XErrorEvent& e)
{
    if (g_window == 0 || e.resourceid != g_window)
        return false;
    const int code = e.error_code;
    // GLXBadDrawable and GLXBadWindow of the GLX extension's errors.
    return code == BadWindow || code == BadDrawable ||
           (g_glxFirstError >= 0 && (code == g_glxFirstError + 2 || code == g_glxFirstError + 12));
}

int OnXError(Display* display, XErrorEvent* e)
{
    // Every request about the window fails once it is gone, whichever connection SDL sends it
    // on: its wake-up message to the event loop goes on a connection of its own, and may be
    // the first to find the window gone.
    const bool aboutOurs =
        e && ((g_goneWindow != 0 && e->resourceid == g_goneWindow) || SaysOurWindowIsGone(*e));
    if (aboutOurs || (display == g_display && g_windowGone)) {
        WindowGone();
        return 0;
    }
    return g_previousHandler ? g_previousHandler(display, e) : 0;
}

int OnIoErrorTold(Display*)
{
    return 0;
}

void OnIoError(Display*, void*)
{
    g_displayLost = true;
    g_windowGone = true;
    RequestCloseFromOutside(kDisplayGone);
}

template <typename F>
F Symbol(void* library, const char* name)
{
    return library ? reinterpret_cast<F>(::dlsym(library, name)) : nullptr;
}

// SDL hides a shown window before destroying it and waits for the server's UnmapNotify, which
// never comes for a window that another program has destroyed: one put at the front of the
// queue ends that wait at once (where SDL does not wait, SDL drops it as a window it no longer
// knows).
void PutBackUnmap(::Window window)
{
    void* x11 = ::dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
    using PutBack = int (*)(Display*, XEvent*);
    if (const auto putBack = Symbol<PutBack>(x11, "XPutBackEvent")) {
        XEvent unmap{};
        unmap.xunmap.type = UnmapNotify;
        unmap.xunmap.display = g_display;
        unmap.xunmap.event = window;
        unmap.xunmap.window = window;
        putBack(g_display, &unmap);
    }
    if (x11)
        ::dlclose(x11);
}

} // namespace

namespace sdl {

bool IsDisplayLost()
{
    return g_displayLost;
}

bool IsWindowGone()
{
    // The destruction may be waiting on the connection, not yet read by the event loop: a
    // frame's present must not be the one that finds it.
    XEvent event;
    if (!g_windowGone && g_checkEvent && g_window != 0 &&
        g_checkEvent(g_display, g_window, DestroyNotify, &event))
        WindowGone();
    return g_windowGone;
}

void InstallX11ErrorHook()
{
    if (g_handlerInstalled)
        return;
    // Before SDL's video starts: SDL keeps the handler it finds as the one its own passes
    // errors on to, and puts it back when it stops, so this one stays in place to the end.
    void* x11 = ::dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
    if (const auto setHandler = Symbol<SetErrorHandler>(x11, "XSetErrorHandler")) {
        g_previousHandler = setHandler(&OnXError);
        g_handlerInstalled = true;
    }
    // Xlib's own handler of a lost connection ends the process; where Xlib can go on after
    // one (it has the exit handler set below), ours only tells and returns.
    const auto setIo = Symbol<SetIoErrorHandler>(x11, "XSetIOErrorHandler");
    if (setIo && Symbol<SetIoExitHandler>(x11, "XSetIOErrorExitHandler"))
        setIo(&OnIoErrorTold);
    if (x11)
        ::dlclose(x11);
}

void WatchX11Window(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return;
    // The library SDL uses is loaded already; nothing is loaded here.
    void* x11 = ::dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
    if (!x11)
        return;
    g_display = info.info.x11.display;
    g_window = info.info.x11.window;
    g_windowGone = false;
    g_goneWindow = 0;
    int opcode = 0, event = 0, error = 0;
    if (const auto query = Symbol<QueryExtension>(x11, "XQueryExtension"))
        g_glxFirstError = query(g_display, "GLX", &opcode, &event, &error) ? error : -1;
    g_checkEvent = Symbol<CheckTypedWindowEvent>(x11, "XCheckTypedWindowEvent");
    // Older Xlib has no way back from a lost connection: it ends the process as before.
    if (const auto setIo = Symbol<SetIoExitHandler>(x11, "XSetIOErrorExitHandler"))
        setIo(g_display, &OnIoError, nullptr);
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    ::dlclose(x11);
}

void DestroyWatchedWindow(WindowImpl& impl)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    const bool watched = impl.window && SDL_GetWindowWMInfo(impl.window.get(), &info) &&
                         info.subsystem == SDL_SYSWM_X11 && info.info.x11.window == g_window;
    if (g_displayLost) {
        // Destroying them would wait for a server that is gone; the process ends soon.
        (void)impl.texture.release();
        (void)impl.renderer.release();
        (void)impl.window.release();
        return;
    }
    if (watched && g_windowGone)
        PutBackUnmap(g_window);
    impl.texture.reset();
    impl.renderer.reset();
    impl.window.reset();
    if (!watched)
        return;
    // The errors of destroying a window that is gone already must reach our handler now: SDL
    // puts Xlib's own back before it closes the display, and that one ends the process.
    void* x11 = ::dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
    using Sync = int (*)(Display*, Bool);
    if (const auto sync = Symbol<Sync>(x11, "XSync"))
        sync(g_display, False);
    if (x11)
        ::dlclose(x11);
    g_window = 0;
}

void NoteWindowSystemEvent(const SDL_Event& event)
{
    const SDL_SysWMmsg* msg = event.syswm.msg;
    if (!msg || msg->subsystem != SDL_SYSWM_X11 || g_window == 0)
        return;
    const XEvent& x = msg->msg.x11.event;
    if (x.type == DestroyNotify && x.xdestroywindow.window == g_window)
        WindowGone();
}

} // namespace sdl
} // namespace platform
