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
using QueryExtension = Bool (*)(Display*, const char*, int*, int*, int*);

constexpr const char* kWindowGone = "the window was destroyed by another program";
constexpr const char* kDisplayGone = "the connection to the display was lost";

Display* g_display = nullptr;
::Window g_window = 0;
bool g_windowGone = false;
ErrorHandler g_previousHandler = nullptr;
bool g_handlerInstalled = false;
int g_glxFirstError = -1;

void WindowGone()
{
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
    if (display == g_display && (g_windowGone || (e && SaysOurWindowIsGone(*e)))) {
        WindowGone();
        return 0;
    }
    return g_previousHandler ? g_previousHandler(display, e) : 0;
}

void OnIoError(Display*, void*)
{
    g_windowGone = true;
    RequestCloseFromOutside(kDisplayGone);
}

template <typename F>
F Symbol(void* library, const char* name)
{
    return library ? reinterpret_cast<F>(::dlsym(library, name)) : nullptr;
}

} // namespace

namespace sdl {

void WatchX11Window(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return;
    // The library SDL uses is loaded already; nothing is loaded here.
    void* x11 = ::dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
    const auto setHandler = Symbol<SetErrorHandler>(x11, "XSetErrorHandler");
    if (!setHandler)
        return;
    g_display = info.info.x11.display;
    g_window = info.info.x11.window;
    g_windowGone = false;
    if (!g_handlerInstalled) {
        g_previousHandler = setHandler(&OnXError);
        g_handlerInstalled = true;
    }
    int opcode = 0, event = 0, error = 0;
    if (const auto query = Symbol<QueryExtension>(x11, "XQueryExtension"))
        g_glxFirstError = query(g_display, "GLX", &opcode, &event, &error) ? error : -1;
    // Older Xlib has no way back from a lost connection: it ends the process as before.
    if (const auto setIo = Symbol<SetIoExitHandler>(x11, "XSetIOErrorExitHandler"))
        setIo(g_display, &OnIoError, nullptr);
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    ::dlclose(x11);
}

void ForgetX11Window(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window && SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11 &&
        info.info.x11.window == g_window)
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
