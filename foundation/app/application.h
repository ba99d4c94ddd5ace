#pragma once
// GApplication: the engine's application and window base class. One object owns the
// program's single window, its 24-bit back buffer, a timer that measures each frame's work
// and the debug text font. It runs the program's one message loop with a timed frame tick,
// turns window messages into calls of its virtual event handlers (subclasses override them)
// and copies the back buffer to the window. Full screen and cursor modes are here too.
// Everything runs on the main thread.
//
// Coordinates handed to the handlers are client coordinates (x = low 16 bits of lParam,
// y = high 16 bits, both signed).

#include <cstdint>
#include <memory>
#include <optional>

#include "foundation/core/rect.h"

class GDibSurface;
struct GDebugFont;
class GTimer;

namespace platform {
class Window;
class CursorImage;
} // namespace platform

// Clipboard pseudo keys that OnKeyDown receives for copy, paste and cut.
constexpr int kKeyCopy = 0x8000;
constexpr int kKeyPaste = 0x8001;
constexpr int kKeyCut = 0x8002;

class GApplication {
public:
    static constexpr int kMaxIgnoreRects = 10;

    GApplication();
    GApplication(const GApplication&) = delete;
    GApplication& operator=(const GApplication&) = delete;
    virtual ~GApplication();

    // Event handlers. The defaults do nothing except where said.
    // Nonzero lets Create succeed; the base refuses (0).
    virtual int OnInit();
    virtual void OnBeforeShow();
    virtual void OnExit();
    // elapsedMs: the real time since the previous tick, never less than the frame interval.
    virtual void OnFrame(int elapsedMs);
    virtual void OnLButtonDown(int x, int y);
    virtual void OnLButtonDblClk(int x, int y);
    virtual void OnRButtonDblClk(int x, int y);
    virtual void OnLButtonUp(int x, int y);
    virtual void OnLButtonDrag(int x, int y);
    // A virtual key, or one of the clipboard pseudo keys kKeyCopy, kKeyPaste, kKeyCut.
    virtual void OnKeyDown(int key);
    virtual void OnKeyUp(int key);
    // A Windows-1251 character code.
    virtual void OnChar(int code);
    // Clears the inactive flag.
    virtual void OnActivate();
    // Sets the inactive flag.
    virtual void OnDeactivate();
    virtual void OnMButtonDown(int x, int y);
    virtual void OnMButtonUp(int x, int y);
    virtual void OnMButtonDblClk(int x, int y);
    virtual void OnXButtonDown(int x, int y);
    virtual void OnXButtonUp(int x, int y);
    virtual void OnXButtonDblClk(int x, int y);
    // delta: multiples of 120 per notch, positive away from the user.
    virtual void OnMouseWheel(int x, int y, int delta);
    virtual void OnMouseMove(int x, int y);
    virtual void OnRButtonDown(int x, int y);
    virtual void OnRButtonUp(int x, int y);
    // Nonzero lets the window close (the base allows it).
    virtual int OnClose();

    // Creates the window with a client area of width x height pixels, the back buffer of
    // that size, runs OnInit (OnExit follows a refusal) and centres the window. False on any
    // failure; the reason has been shown to the user except for a refused OnInit.
    bool Create(const char* title, const char* className, int16_t width, int16_t height,
                int16_t reserved);
    void Show();
    // The message loop; returns after WM_QUIT, once OnExit has run.
    void Run();
    // One pass of the loop: handles one waiting message, or waits for input (1 ms at most)
    // and then runs a frame tick when the interval has passed. False after WM_QUIT.
    bool RunStep();
    // Starts the loop's clock; Run calls it, tests driving RunStep call it themselves.
    void BeginRun();
    // What Run does after the loop.
    void EndRun();

    // The window procedure: every message of the window goes through here.
    intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);

    // Copies the inclusive client rectangle r of the back buffer to the window (in border
    // mode only the parts of r outside the inner rectangle). Clipped to the back buffer.
    // Virtual so that a test can see what is presented.
    virtual void PresentRect(const GRect& r);
    // Windows-1251 text.
    void SetWindowTitle(const char* text);
    // The title becomes the average frame work time, "%.2f ms".
    void ShowFrameTime();
    // Outer position and size of the client area; zero sizes keep the stored size.
    void SetWindowRect(int16_t x, int16_t y, int16_t width, int16_t height);
    static void GetScreenSize(int16_t& width, int16_t& height);
    void GetCursorClientPos(int16_t& x, int16_t& y) const;
    // Client coordinates.
    void SetCursorPos(int16_t x, int16_t y);
    platform::Window* GetWindowHandle() const { return m_window.get(); }
    int16_t GetWidth() const { return m_width; }
    int16_t GetHeight() const { return m_height; }
    GDibSurface* GetBackBuffer() const { return m_backBuffer.get(); }

    // Left presses inside an ignore rectangle (edges included) are swallowed with their
    // release. False when kMaxIgnoreRects are stored already.
    bool AddIgnoreRect(const GRect& r);
    void ClearIgnoreRects();
    int GetIgnoreRectCount() const { return m_ignoreRectCount; }
    // Null turns border mode off; a rectangle becomes the inner rectangle that presents leave
    // alone and turns it on.
    void SetBorderRect(const GRect* r);

    // UTF-16 character of the last key-down under the current layout, or 0.
    char16_t TranslateLastKeyToChar() const;
    // Copies at most n characters of the clipboard's text and a terminator into buffer
    // (n + 1 bytes); returns the characters copied, 0 when there is no text.
    int16_t GetClipboardText(char* buffer, int16_t n) const;

    // Debug text on the back buffer, opaque and transparent.
    void DrawDebugText(int x, int y, const char* format, ...);
    void DrawDebugTextTransparent(int x, int y, const char* format, ...);

    // Full screen and cursor modes.
    void SetFullscreen(int on);
    void EnterDisplayMode();
    bool LeaveDisplayMode();
    void SetCursorMode(int shown, int clipped);
    // Nonzero restores the window, 0 minimises it.
    void RestoreOrMinimize(int n);
    // Asks the window to close (OnClose may refuse) and frees the cursor.
    void Close();
    // id >= 0: cursor resource id + 102; negative: the arrow. False (nothing changed) when
    // the resource does not load.
    bool SetCursor(int id);

    // Modifiers held as the window procedure saw them (dropped when the focus goes).
    bool IsShiftDown() const { return m_shiftDown != 0; }
    bool IsControlDown() const { return m_ctrlDown != 0; }
    bool IsFullscreen() const { return m_fullscreen != 0; }
    bool IsInactive() const { return m_inactive != 0; }
    bool IsCursorShown() const { return m_cursorShown != 0; }
    bool IsCursorClipped() const { return m_cursorClipped != 0; }
    // An Alt key is held, as the window's own key messages told.
    bool IsAltDown() const { return m_altDown != 0; }
    int GetCursorId() const { return m_cursorId; }
    int GetFrameInterval() const { return m_frameInterval; }
    bool GetFrameStatistics() const { return m_frameStatistics != 0; }
    double GetAverageFrameTime() const { return m_averageFrameTime; }
    const char* GetTitle() const { return m_title; }
    GDebugFont* GetDebugFont() const { return m_debugFont.get(); }

protected:
    // Minimum time between two frame ticks in ms; subclasses set it.
    uint32_t m_frameInterval = 30;
    // When set the loop measures OnFrame and shows the average in the title.
    uint8_t m_frameStatistics = 1;

    // The window system's own handling of a message the window procedure leaves alone.
    intptr_t DefaultWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);

private:
    // WindowProc's three groups: window state, keys, mouse. Each gives the result of a message
    // it handles, nothing for one of another group.
    std::optional<intptr_t> WindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
    std::optional<intptr_t> KeyMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
    std::optional<intptr_t> MouseMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
    void HandleKeyDown(uintptr_t wParam, intptr_t lParam);
    void HandleLButtonDown(int x, int y);
    void HandleActivate(bool active);
    void ReleaseCursorClip();
    // Centres the window on the screen; the client area stays exactly m_width x m_height.
    void CentreWindow();
    // Uploads the part of the rectangle inside the back buffer; false when none is.
    bool UploadClipped(const uint8_t* pixels, int left, int top, int right, int bottom);
    void FrameTick(int elapsedMs);

    int32_t m_borderMode = 0;
    GRect m_innerRect;
    int16_t m_width = 0;
    int16_t m_height = 0;
    int16_t m_windowX = 0;
    int16_t m_windowY = 0;
    int32_t m_inactive = 0;
    int32_t m_cursorShown = 1;
    int32_t m_cursorClipped = 0;
    std::unique_ptr<GDibSurface> m_backBuffer;
    uint32_t m_lastFrameTime = 0; // ms tick of the last frame tick
    std::unique_ptr<platform::Window> m_window;
    int16_t m_reserved = 0;
    char m_title[1024] = {};
    std::unique_ptr<GDebugFont> m_debugFont;
    std::unique_ptr<GTimer> m_timer;
    double m_averageFrameTime = 0; // ms
    double m_summedFrameTime = 0;  // ms
    double m_summedFrameCount = 0;
    int32_t m_leftPressIgnored = 0;
    int32_t m_leftButtonHeld = 0;
    int16_t m_lastPressX = 0;
    int16_t m_lastPressY = 0;
    bool m_displayOwned = false; // the window holds full screen (a mode or the desktop)
    uint8_t m_fullscreen = 0;
    // Modifier keys held, one bit per side (1 left, 2 right); dropped when focus goes.
    uint8_t m_altDown = 0;
    uint8_t m_ctrlDown = 0;
    uint8_t m_shiftDown = 0;
    GRect m_ignoreRects[kMaxIgnoreRects];
    int16_t m_ignoreRectCount = 0;
    int32_t m_cursorId = -1;
    platform::CursorImage* m_loadedCursor = nullptr; // owned by the platform's resource table
    int32_t m_lastKeyDownKey = 0;
    int32_t m_lastKeyDownData = 0;
    bool m_running = false;
    bool m_destroyed = false;
};
