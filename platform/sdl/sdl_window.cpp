#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/text/code_page.h"
#include "platform/window/message_box.h"
#include "platform/window/quit_requests.h"
#include "platform/sdl/sdl_internal.h"
#include "platform/window/window.h"

namespace platform {

namespace {

int g_videoUsers = 0;
WindowImpl* g_mainWindow = nullptr;
bool g_failFullscreen = false;

// The window's size in points and the renderer's output in pixels (the same without a
// renderer); they differ on high-density displays.
struct ViewSizes {
    int winW = 0;
    int winH = 0;
    int outW = 0;
    int outH = 0;
};

ViewSizes SizesOf(const WindowImpl& impl)
{
    ViewSizes s;
    SDL_GetWindowSize(impl.window.get(), &s.winW, &s.winH);
    if (!impl.renderer || SDL_GetRendererOutputSize(impl.renderer.get(), &s.outW, &s.outH) != 0) {
        s.outW = s.winW;
        s.outH = s.winH;
    }
    return s;
}

} // namespace

namespace sdl {

bool AcquireVideo()
{
    if (g_videoUsers == 0) {
        // A veto in the program's close handler must keep the program alive, so the last
        // window's close request must not turn into a quit by itself.
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
        // A press that leaves the window still gets its release.
        SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "1");
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
        // Our own handlers turn SIGTERM, SIGINT and SIGHUP alike into a close of the window,
        // also while a box waits for the user (quit_requests.h).
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        InstallX11ErrorHook();
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return false;
        StartQuitWatch();
    }
    ++g_videoUsers;
    return true;
}

void ReleaseVideo()
{
    if (g_videoUsers > 0 && --g_videoUsers == 0) {
        StopQuitWatch();
        // Stopping would hide and destroy the windows on a server that is gone, waiting for
        // answers for ever; the process is on its way out.
        if (!IsDisplayLost())
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
}

bool IsVideoRunning()
{
    return SDL_WasInit(SDL_INIT_VIDEO) != 0;
}

// A streaming texture in the renderer's own 32-bit format (the first of its list that the
// engine can write), opaque with blending off; else a 24-bit one that SDL converts.
void CreateTexture(WindowImpl& impl)
{
    SDL_Renderer* renderer = impl.renderer.get();
    SDL_RendererInfo info{};
    // The byte orders below hold for the packed formats on little-endian machines only.
    if (SDL_BYTEORDER == SDL_LIL_ENDIAN && SDL_GetRendererInfo(renderer, &info) == 0) {
        for (Uint32 i = 0; i < info.num_texture_formats && !impl.texture; ++i) {
            const Uint32 format = info.texture_formats[i];
            bool known = true;
            if (format == SDL_PIXELFORMAT_XRGB8888 || format == SDL_PIXELFORMAT_ARGB8888)
                impl.order = PixelOrder32::Bgrx;
            else if (format == SDL_PIXELFORMAT_XBGR8888 || format == SDL_PIXELFORMAT_ABGR8888)
                impl.order = PixelOrder32::Rgbx;
            else
                known = false;
            if (known)
                impl.texture.reset(SDL_CreateTexture(renderer, format, SDL_TEXTUREACCESS_STREAMING,
                                                     impl.clientWidth, impl.clientHeight));
        }
    }
    if (impl.texture) {
        impl.wide = true;
        SDL_SetTextureBlendMode(impl.texture.get(), SDL_BLENDMODE_NONE);
        return;
    }
    impl.wide = false;
    impl.texture.reset(SDL_CreateTexture(renderer, SDL_PIXELFORMAT_BGR24,
                                         SDL_TEXTUREACCESS_STREAMING, impl.clientWidth,
                                         impl.clientHeight));
}

bool CanShowWindows(const char* program)
{
    if (HasRealDisplay())
        return true;
    // A driver without a screen runs only when asked for by name (tests, servers); taken by
    // SDL as a fallback it would run the program where no one can see it.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    if (driver && asked && SDL_strcasestr(asked, driver))
        return true;
    const char* display = SDL_getenv("DISPLAY");
    const std::string why = display && *display
                                ? std::string("the display ") + display + " cannot be opened"
                                : std::string("DISPLAY is not set");
    std::fprintf(stderr,
                 "%s: no display to show a window on (%s; the video driver left is \"%s\"). "
                 "Start it in a desktop session, or set SDL_VIDEODRIVER=dummy to run it without "
                 "a window.\n",
                 program && *program ? program : "The program", why.c_str(),
                 driver ? driver : "none");
    return false;
}

bool HasRealDisplay()
{
    if (!IsVideoRunning())
        return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "offscreen") != 0 &&
           std::strcmp(driver, "evdev") != 0;
}

WindowImpl* GetMainWindow()
{
    return g_mainWindow;
}

void SetMainWindow(WindowImpl* window)
{
    g_mainWindow = window;
}

} // namespace sdl

void WindowImpl::UpdateTarget()
{
    int outW = 0;
    int outH = 0;
    if (!renderer || SDL_GetRendererOutputSize(renderer.get(), &outW, &outH) != 0 || outW <= 0 ||
        outH <= 0) {
        target = SDL_Rect{0, 0, clientWidth, clientHeight};
        return;
    }
    if (outW == clientWidth && outH == clientHeight) {
        target = SDL_Rect{0, 0, clientWidth, clientHeight};
        return;
    }
    // Largest size with the client's aspect that fits; 64-bit products for safety.
    int64_t w = outW;
    int64_t h = int64_t(outW) * clientHeight / std::max(clientWidth, 1);
    if (h > outH) {
        h = outH;
        w = int64_t(outH) * clientWidth / std::max(clientHeight, 1);
    }
    target = SDL_Rect{int((outW - w) / 2), int((outH - h) / 2), int(w), int(h)};
}

void WindowImpl::WindowToClient(int& x, int& y) const
{
    if (!window)
        return;
    const ViewSizes s = SizesOf(*this);
    if (s.winW <= 0 || s.winH <= 0 || target.w <= 0 || target.h <= 0)
        return;
    // Points -> output pixels -> client pixels; floor division keeps positions left of or
    // above the picture negative.
    int64_t px = int64_t(x) * s.outW / s.winW - target.x;
    int64_t py = int64_t(y) * s.outH / s.winH - target.y;
    auto floorDiv = [](int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
    x = int(floorDiv(px * clientWidth, target.w));
    y = int(floorDiv(py * clientHeight, target.h));
}

void WindowImpl::ClientToWindow(int& x, int& y) const
{
    if (!window)
        return;
    const ViewSizes s = SizesOf(*this);
    if (s.outW <= 0 || s.outH <= 0 || clientWidth <= 0 || clientHeight <= 0)
        return;
    int64_t px = target.x + int64_t(x) * target.w / clientWidth;
    int64_t py = target.y + int64_t(y) * target.h / clientHeight;
    x = int(px * s.winW / s.outW);
    y = int(py * s.winH / s.outH);
}

Window::Window(std::unique_ptr<WindowImpl> impl) : m_impl(std::move(impl)) {}

std::unique_ptr<Window> Window::Create(const char* title, int clientWidth, int clientHeight,
                                       bool* systemFailed)
{
    if (systemFailed)
        *systemFailed = false;
    if (clientWidth <= 0 || clientHeight <= 0)
        return nullptr;
    auto impl = std::make_unique<WindowImpl>();
    if (!impl->video.Acquire() || !sdl::CanShowWindows(title)) {
        if (systemFailed)
            *systemFailed = true;
        return nullptr;
    }
    impl->clientWidth = clientWidth;
    impl->clientHeight = clientHeight;
    std::string title8 = AnsiToUtf8(title ? title : "");
    impl->window.reset(SDL_CreateWindow(title8.c_str(), SDL_WINDOWPOS_CENTERED,
                                        SDL_WINDOWPOS_CENTERED, clientWidth, clientHeight,
                                        SDL_WINDOW_HIDDEN));
    if (!impl->window)
        return nullptr;
    SDL_Window* window = impl->window.get();
    impl->renderer.reset(SDL_CreateRenderer(window, -1, 0));
    if (!impl->renderer)
        impl->renderer.reset(SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE));
    if (impl->renderer)
        sdl::CreateTexture(*impl);
    if (!impl->renderer || !impl->texture)
        return nullptr;
    impl->UpdateTarget();
    sdl::SetMainWindow(impl.get());
    sdl::WatchX11Window(window);
    if (sdl::HasRealDisplay() && !GetMessageBoxBackend())
        sdl::InstallMessageBoxBackend();
    return std::unique_ptr<Window>(new Window(std::move(impl)));
}

Window::~Window()
{
    if (sdl::GetMainWindow() == m_impl.get())
        sdl::SetMainWindow(nullptr);
    if (m_impl->confined && !sdl::IsDisplayLost())
        SDL_SetWindowMouseGrab(m_impl->window.get(), SDL_FALSE);
    sdl::DestroyWatchedWindow(*m_impl);
}

void Window::Show()
{
    if (sdl::IsDisplayLost())
        return;
    SDL_ShowWindow(m_impl->window.get());
}

void Window::Hide()
{
    if (sdl::IsDisplayLost())
        return;
    SDL_HideWindow(m_impl->window.get());
}

void Window::Minimize()
{
    if (sdl::IsDisplayLost())
        return;
    SDL_MinimizeWindow(m_impl->window.get());
}

void Window::Restore()
{
    if (sdl::IsDisplayLost())
        return;
    SDL_ShowWindow(m_impl->window.get());
    SDL_RestoreWindow(m_impl->window.get());
}

bool Window::IsMinimized() const
{
    return (SDL_GetWindowFlags(m_impl->window.get()) & SDL_WINDOW_MINIMIZED) != 0;
}

bool Window::IsVisible() const
{
    return (SDL_GetWindowFlags(m_impl->window.get()) & SDL_WINDOW_SHOWN) != 0;
}

void Window::SetTitle(const char* title)
{
    if (sdl::IsDisplayLost())
        return;
    std::string title8 = AnsiToUtf8(title ? title : "");
    SDL_SetWindowTitle(m_impl->window.get(), title8.c_str());
}

std::string Window::GetTitle() const
{
    const char* title8 = SDL_GetWindowTitle(m_impl->window.get());
    return Utf8ToAnsi(title8 ? title8 : "");
}

void Window::SetPosition(int x, int y)
{
    if (sdl::IsDisplayLost())
        return;
    int top = 0;
    int left = 0;
    if (SDL_GetWindowBordersSize(m_impl->window.get(), &top, &left, nullptr, nullptr) != 0)
        top = left = 0;
    SDL_SetWindowPosition(m_impl->window.get(), x + left, y + top);
}

void Window::GetPosition(int& x, int& y) const
{
    int top = 0;
    int left = 0;
    if (SDL_GetWindowBordersSize(m_impl->window.get(), &top, &left, nullptr, nullptr) != 0)
        top = left = 0;
    SDL_GetWindowPosition(m_impl->window.get(), &x, &y);
    x -= left;
    y -= top;
}

void Window::SetClientSize(int width, int height)
{
    if (sdl::IsDisplayLost())
        return;
    // The back buffer keeps its size; in a window the client area always matches it.
    if (width > 0 && height > 0 && !m_impl->fullscreen)
        SDL_SetWindowSize(m_impl->window.get(), width, height);
    m_impl->UpdateTarget();
}

void Window::GetClientSize(int& width, int& height) const
{
    SDL_GetWindowSize(m_impl->window.get(), &width, &height);
}

void Window::GetFrameSize(int& width, int& height) const
{
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;
    if (SDL_GetWindowBordersSize(m_impl->window.get(), &top, &left, &bottom, &right) != 0) {
        width = height = 0;
        return;
    }
    width = left + right;
    height = top + bottom;
}

bool Window::Present(const uint8_t* pixels, int width, int height, int pitch, int left, int top,
                     int right, int bottom)
{
    if (!Upload(pixels, width, height, pitch, left, top, right, bottom))
        return false;
    Flip();
    return true;
}

bool Window::Upload(const uint8_t* pixels, int width, int height, int pitch, int left, int top,
                    int right, int bottom)
{
    WindowImpl& w = *m_impl;
    if (!pixels || width != w.clientWidth || height != w.clientHeight || pitch < width * 3)
        return false;
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, width - 1);
    bottom = std::min(bottom, height - 1);
    if (right < left || bottom < top)
        return false;
    const SDL_Rect rect{left, top, right - left + 1, bottom - top + 1};
    const uint8_t* first = pixels + size_t(top) * size_t(pitch) + size_t(left) * 3;
    if (!w.wide)
        return SDL_UpdateTexture(w.texture.get(), &rect, first, pitch) == 0;
    void* texels = nullptr;
    int texPitch = 0;
    if (SDL_LockTexture(w.texture.get(), &rect, &texels, &texPitch) != 0)
        return false;
    ConvertRows24To32(first, pitch, static_cast<uint8_t*>(texels), texPitch, rect.w, rect.h,
                      w.order);
    SDL_UnlockTexture(w.texture.get());
    return true;
}

void Window::Flip()
{
    // A software GL draws the frame into an image the size it last knew the window to have;
    // with the window gone it may shrink that image while the frame is still being drawn
    // into it. The close request is on its way; the player sees nothing more anyway.
    if (sdl::IsWindowGone())
        return;
    WindowImpl& w = *m_impl;
    // The whole picture goes out every time: the renderer's own back buffers do not keep
    // what earlier frames showed.
    w.UpdateTarget();
    SDL_SetRenderDrawColor(w.renderer.get(), 0, 0, 0, 255);
    SDL_RenderClear(w.renderer.get());
    SDL_RenderCopy(w.renderer.get(), w.texture.get(), nullptr, &w.target);
    SDL_RenderPresent(w.renderer.get());
}

namespace {

bool FindRealMode(SDL_Window* window, int width, int height, int bitsPerPixel, SDL_DisplayMode& out)
{
    int display = SDL_GetWindowDisplayIndex(window);
    if (display < 0)
        display = 0;
    const int count = SDL_GetNumDisplayModes(display);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(display, i, &mode) != 0)
            continue;
        if (mode.w == width && mode.h == height &&
            int(SDL_BITSPERPIXEL(mode.format)) == bitsPerPixel) {
            out = mode;
            return true;
        }
    }
    return false;
}

} // namespace

bool Window::EnterFullscreen(bool* realMode)
{
    if (sdl::IsDisplayLost())
        return false;
    WindowImpl& w = *m_impl;
    if (realMode)
        *realMode = w.fullscreen && w.realMode;
    if (w.fullscreen)
        return true;
    if (g_failFullscreen)
        return false;
    SDL_GetWindowPosition(w.window.get(), &w.windowedX, &w.windowedY);

    bool entered = false;
    for (int bits : {32, 24, 16}) {
        SDL_DisplayMode mode;
        if (!FindRealMode(w.window.get(), w.clientWidth, w.clientHeight, bits, mode))
            continue;
        if (SDL_SetWindowDisplayMode(w.window.get(), &mode) == 0 &&
            SDL_SetWindowFullscreen(w.window.get(), SDL_WINDOW_FULLSCREEN) == 0) {
            entered = true;
            w.realMode = true;
            break;
        }
        SDL_SetWindowFullscreen(w.window.get(), 0);
    }
    if (!entered && SDL_SetWindowFullscreen(w.window.get(), SDL_WINDOW_FULLSCREEN_DESKTOP) == 0) {
        entered = true;
        w.realMode = false;
    }
    if (!entered) {
        // Put the window back exactly as it was.
        SDL_SetWindowFullscreen(w.window.get(), 0);
        SDL_SetWindowSize(w.window.get(), w.clientWidth, w.clientHeight);
        SDL_SetWindowPosition(w.window.get(), w.windowedX, w.windowedY);
        w.UpdateTarget();
        return false;
    }
    w.fullscreen = true;
    w.UpdateTarget();
    if (realMode)
        *realMode = w.realMode;
    return true;
}

void Window::LeaveFullscreen()
{
    if (sdl::IsDisplayLost())
        return;
    WindowImpl& w = *m_impl;
    SDL_SetWindowFullscreen(w.window.get(), 0);
    w.fullscreen = false;
    w.realMode = false;
    // The window manager may have kept the full-screen size; the client must be the
    // back buffer's size again.
    SDL_SetWindowSize(w.window.get(), w.clientWidth, w.clientHeight);
    w.UpdateTarget();
}

bool Window::IsFullscreen() const
{
    return m_impl->fullscreen;
}

void Window::ClientToWindow(int& x, int& y) const
{
    m_impl->ClientToWindow(x, y);
}

void Window::WindowToClient(int& x, int& y) const
{
    m_impl->WindowToClient(x, y);
}

void Window::GetCursorClientPos(int& x, int& y) const
{
    SDL_Window* window = m_impl->window.get();
    // Over the window (or held by a pressed button) the window's own motion events are the
    // truth: they also follow a pointer moved by another program (a warp), which the global
    // state, refreshed by raw motion only, misses. Away from it the global state tells where
    // the pointer went; when that still claims the window, it is older than the leave event
    // whose position the window kept.
    SDL_GetMouseState(&x, &y);
    if (sdl::HasRealDisplay() && SDL_GetMouseFocus() != window) {
        int gx = 0;
        int gy = 0;
        int wx = 0;
        int wy = 0;
        int width = 0;
        int height = 0;
        SDL_GetGlobalMouseState(&gx, &gy);
        SDL_GetWindowPosition(window, &wx, &wy);
        SDL_GetWindowSize(window, &width, &height);
        const bool claimsWindow = gx >= wx && gy >= wy && gx < wx + width && gy < wy + height;
        if (!claimsWindow) {
            x = gx - wx;
            y = gy - wy;
        }
    }
    m_impl->WindowToClient(x, y);
}

void Window::WarpCursor(int clientX, int clientY)
{
    if (sdl::IsDisplayLost())
        return;
    m_impl->ClientToWindow(clientX, clientY);
    SDL_WarpMouseInWindow(m_impl->window.get(), clientX, clientY);
}

void Window::ConfineCursor(bool on)
{
    m_impl->confined = on;
    if (sdl::IsDisplayLost())
        return;
    SDL_SetWindowMouseGrab(m_impl->window.get(), on ? SDL_TRUE : SDL_FALSE);
}

bool Window::IsCursorConfined() const
{
    return m_impl->confined;
}

uint32_t Window::GetId() const
{
    return SDL_GetWindowID(m_impl->window.get());
}

void Window::SimulateFullscreenFailure(bool fail)
{
    g_failFullscreen = fail;
}

bool GetScreenSize(int& width, int& height)
{
    width = height = 0;
    if (!sdl::IsVideoRunning())
        return false;
    int display = 0;
    if (WindowImpl* w = sdl::GetMainWindow()) {
        display = SDL_GetWindowDisplayIndex(w->window.get());
        if (display < 0)
            display = 0;
    }
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(display, &mode) != 0)
        return false;
    width = mode.w;
    height = mode.h;
    return true;
}

} // namespace platform
