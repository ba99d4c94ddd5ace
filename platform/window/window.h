#pragma once
// The program's one top-level window: a client area of a fixed size that is never resized by
// the user and cannot be maximised, shown centred; a full-screen mode that is either a real
// display mode of the client size or the desktop with the client scaled to fit (aspect kept,
// black bars); and the copy of the back buffer to the screen. Coordinates the engine sees are
// always client (back-buffer) coordinates, also when the picture is scaled.
// Main thread only. The backend lives in platform/sdl/.

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class WindowImpl;

class Window {
public:
    // Null when the window system cannot be started (*systemFailed set) or the window cannot be
    // created. Titles are Windows-1251 text. The window starts hidden.
    static std::unique_ptr<Window> Create(const char* title, int clientWidth, int clientHeight,
                                          bool* systemFailed = nullptr);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    void Show();
    void Hide();
    void Minimize();
    void Restore();
    bool IsMinimized() const;
    bool IsVisible() const;

    void SetTitle(const char* title);
    std::string GetTitle() const;
    // Outer position of the client's top-left corner on the screen.
    void SetPosition(int x, int y);
    void GetPosition(int& x, int& y) const;
    void SetClientSize(int width, int height);
    void GetClientSize(int& width, int& height) const;
    // Outer frame added around the client area by the window manager (0 when it has none).
    void GetFrameSize(int& width, int& height) const;

    // Copies the inclusive rectangle (left, top, right, bottom) of a 24-bit top-down B,G,R
    // image of width x height pixels (pitch bytes per row) to the screen. The caller has
    // clipped the rectangle to the image. False when nothing could be shown.
    bool Present(const uint8_t* pixels, int width, int height, int pitch, int left, int top,
                 int right, int bottom);
    // Present in two halves, for several rectangles shown at once: Upload copies a
    // rectangle (same arguments and clipping), Flip shows everything uploaded so far.
    bool Upload(const uint8_t* pixels, int width, int height, int pitch, int left, int top,
                int right, int bottom);
    void Flip();

    // Tries a real display mode of the client size at 32, 24 and then 16 bits per pixel,
    // then the desktop scaled. On any failure the window is put back as it was and false
    // is returned. *realMode tells which kind was taken.
    bool EnterFullscreen(bool* realMode = nullptr);
    // Back to a window with exactly the client size, centred.
    void LeaveFullscreen();
    bool IsFullscreen() const;

    // Client coordinates <-> window coordinates (differ only while scaled).
    void ClientToWindow(int& x, int& y) const;
    void WindowToClient(int& x, int& y) const;

    // Mouse position in client coordinates, also outside the window.
    void GetCursorClientPos(int& x, int& y) const;
    void WarpCursor(int clientX, int clientY);
    // Confines the pointer to the client area (true) or frees it.
    void ConfineCursor(bool on);
    bool IsCursorConfined() const;

    // Identifier the event translator uses to tell this window's events apart.
    uint32_t GetId() const;
    WindowImpl* GetImpl() const { return m_impl.get(); }

    // Tests: makes every following full-screen attempt fail as a refused display would.
    static void SimulateFullscreenFailure(bool fail);

private:
    explicit Window(std::unique_ptr<WindowImpl> impl);
    std::unique_ptr<WindowImpl> m_impl;
};

// Size of the screen the window is on (of the first display when there is no window), in
// pixels; false when no display is known.
bool GetScreenSize(int& width, int& height);

} // namespace platform
