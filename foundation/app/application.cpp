#include "foundation/app/application.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "foundation/image/debug_font.h"
#include "foundation/image/dib_surface.h"
#include "foundation/app/key_codes.h"
#include "foundation/app/timer.h"
#include "platform/window/clipboard.h"
#include "platform/window/cursor.h"
#include "platform/window/keyboard.h"
#include "platform/window/message_box.h"
#include "platform/window/messages.h"
#include "platform/system/time.h"
#include "platform/window/window.h"

using namespace platform;

namespace {

constexpr int kLeftSide = 1;
constexpr int kRightSide = 2;

int SideOf(intptr_t lParam)
{
    return (lParam & kKeyExtendedBit) ? kRightSide : kLeftSide;
}

bool RectContains(const GRect& r, int x, int y)
{
    return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
}

int LowWord(uintptr_t v)
{
    return static_cast<int>(v & 0xFFFF);
}

} // namespace

GApplication::GApplication()
    : m_debugFont(std::make_unique<GDebugFont>()), m_timer(std::make_unique<GTimer>(true))
{
    BuildDebugFont(*m_debugFont);
}

GApplication::~GApplication()
{
    if (m_window)
        m_window->ConfineCursor(false);
}

int GApplication::OnInit() { return 0; }
void GApplication::OnBeforeShow() {}
void GApplication::OnExit() {}
void GApplication::OnFrame(int) {}
void GApplication::OnLButtonDown(int, int) {}
void GApplication::OnLButtonDblClk(int, int) {}
void GApplication::OnRButtonDblClk(int, int) {}
void GApplication::OnLButtonUp(int, int) {}
void GApplication::OnLButtonDrag(int, int) {}
void GApplication::OnKeyDown(int) {}
void GApplication::OnKeyUp(int) {}
void GApplication::OnChar(int) {}
void GApplication::OnActivate() { m_inactive = 0; }
void GApplication::OnDeactivate() { m_inactive = 1; }
void GApplication::OnMButtonDown(int, int) {}
void GApplication::OnMButtonUp(int, int) {}
void GApplication::OnMButtonDblClk(int, int) {}
void GApplication::OnXButtonDown(int, int) {}
void GApplication::OnXButtonUp(int, int) {}
void GApplication::OnXButtonDblClk(int, int) {}
void GApplication::OnMouseWheel(int, int, int) {}
void GApplication::OnMouseMove(int, int) {}
void GApplication::OnRButtonDown(int, int) {}
void GApplication::OnRButtonUp(int, int) {}
int GApplication::OnClose() { return 1; }

bool GApplication::Create(const char* title, const char* className, int16_t width, int16_t height,
                          int16_t reserved)
{
    (void)className; // the window system here has no window classes
    m_reserved = reserved;
    if (width <= 0 || height <= 0) {
        // A window needs a size; the engine always asks for one.
        width = 800;
        height = 600;
    }

    bool systemFailed = false;
    m_window = Window::Create(title, width, height, &systemFailed);
    if (!m_window) {
        ShowMessageBox("Error", systemFailed ? "Cannot register window class" : "Cannot create window",
                       MessageBoxButtons::kOk, MessageBoxIcon::kError);
        return false;
    }
    m_destroyed = false;
    std::snprintf(m_title, sizeof m_title, "%s", title ? title : "");

    m_width = width;
    m_height = height;
    m_backBuffer = GDibSurface::Create(width, height, 24);

    if (!OnInit()) {
        OnExit();
        return false;
    }

    CentreWindow();
    return true;
}

void GApplication::Show()
{
    PresentRect(GRect{0, 0, static_cast<int16_t>(m_width - 1), static_cast<int16_t>(m_height - 1)});
    if (m_window)
        m_window->Show();
}

void GApplication::BeginRun()
{
    m_lastFrameTime = GetTickMs();
    m_running = true;
}

void GApplication::EndRun()
{
    m_running = false;
    OnExit();
    ReleaseCursorClip();
}

void GApplication::Run()
{
    BeginRun();
    while (RunStep()) {
    }
    EndRun();
}

bool GApplication::RunStep()
{
    Message msg;
    if (PeekMessage(msg)) {
        if (msg.message == WM_QUIT)
            return false;
        WindowProc(msg.message, msg.wParam, msg.lParam);
        return true;
    }
    WaitForInput(1);
    const uint32_t now = GetTickMs();
    const int32_t elapsed = static_cast<int32_t>(now - m_lastFrameTime);
    if (elapsed >= static_cast<int32_t>(m_frameInterval)) {
        m_lastFrameTime = now;
        FrameTick(elapsed);
    }
    return true;
}

void GApplication::FrameTick(int elapsedMs)
{
    if (m_frameStatistics) {
        m_timer->Reset();
        m_timer->StartLap();
    }
    if (!m_inactive)
        OnFrame(elapsedMs);
    if (m_frameStatistics) {
        const double work = m_timer->EndLap();
        m_summedFrameTime += work;
        m_summedFrameCount += 1;
        if (m_summedFrameCount > 10 || m_summedFrameTime > 500) {
            m_averageFrameTime = m_summedFrameTime / m_summedFrameCount;
            m_summedFrameTime = 0;
            m_summedFrameCount = 0;
        }
        ShowFrameTime();
    }
}

intptr_t GApplication::WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (const std::optional<intptr_t> result = WindowMessage(message, wParam, lParam))
        return *result;
    if (const std::optional<intptr_t> result = KeyMessage(message, wParam, lParam))
        return *result;
    if (const std::optional<intptr_t> result = MouseMessage(message, wParam, lParam))
        return *result;
    return DefaultWindowProc(message, wParam, lParam);
}

std::optional<intptr_t> GApplication::WindowMessage(uint32_t message, uintptr_t wParam,
                                                    intptr_t lParam)
{
    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_ACTIVATE:
        HandleActivate(LowWord(wParam) == static_cast<int>(WA_ACTIVE) || wParam == WA_CLICKACTIVE);
        return 0;
    case WM_KILLFOCUS:
        // Keys released while another window has the focus never reach us.
        m_ctrlDown = m_shiftDown = m_altDown = 0;
        return 0;
    case WM_PAINT:
        PresentRect(GRect{0, 0, static_cast<int16_t>(m_width - 1), static_cast<int16_t>(m_height - 1)});
        return 0;
    case WM_CLOSE:
        if (!OnClose())
            return 0;
        return DefaultWindowProc(message, wParam, lParam);
    case WM_ACTIVATEAPP:
        if (m_displayOwned && wParam == 0 && m_window)
            m_window->Minimize();
        return DefaultWindowProc(message, wParam, lParam);
    case WM_SETCURSOR:
        SetCursorImage(m_cursorId < 0 || !m_loadedCursor ? GetArrowCursor() : m_loadedCursor);
        return 0;
    case WM_DISPLAYCHANGE:
        if (!m_displayOwned)
            LeaveDisplayMode();
        return 0;
    case WM_COMMAND:
        return 0;
    case WM_SYSCOMMAND:
        if (wParam == SC_MAXIMIZE || wParam == SC_KEYMENU || wParam == SC_MOVE ||
            wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER)
            return 0;
        return DefaultWindowProc(message, wParam, lParam);
    default:
        return std::nullopt;
    }
}

std::optional<intptr_t> GApplication::KeyMessage(uint32_t message, uintptr_t wParam,
                                                 intptr_t lParam)
{
    switch (message) {
    case WM_KEYDOWN:
        HandleKeyDown(wParam, lParam);
        return 0;
    case WM_SYSKEYDOWN:
        // The message says whether Alt is held, which also covers an Alt pressed before the
        // window had the focus (that press never reached us).
        if (lParam & kKeyAltHeldBit)
            m_altDown |= kLeftSide;
        if (wParam == static_cast<uintptr_t>(VK_MENU))
            m_altDown |= SideOf(lParam);
        // Alt+Enter is the one system key the program hears: it switches full screen.
        else if (wParam == static_cast<uintptr_t>(VK_RETURN) && m_altDown)
            OnKeyDown(VK_RETURN);
        else if (wParam == static_cast<uintptr_t>(VK_CONTROL))
            m_ctrlDown |= SideOf(lParam);
        else if (wParam == static_cast<uintptr_t>(VK_SHIFT))
            m_shiftDown |= SideOf(lParam);
        return DefaultWindowProc(message, wParam, lParam);
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (message == WM_KEYUP)
            OnKeyUp(static_cast<int>(wParam));
        // A release clears only its own side: the other Ctrl may still be held.
        if (wParam == static_cast<uintptr_t>(VK_CONTROL))
            m_ctrlDown &= ~SideOf(lParam);
        else if (wParam == static_cast<uintptr_t>(VK_SHIFT))
            m_shiftDown &= ~SideOf(lParam);
        else if (wParam == static_cast<uintptr_t>(VK_MENU))
            m_altDown &= ~SideOf(lParam);
        return message == WM_KEYUP ? 0 : DefaultWindowProc(message, wParam, lParam);
    case WM_CHAR:
        OnChar(static_cast<int>(wParam));
        return 0;
    default:
        return std::nullopt;
    }
}

std::optional<intptr_t> GApplication::MouseMessage(uint32_t message, uintptr_t wParam,
                                                   intptr_t lParam)
{
    const int x = LParamX(lParam);
    const int y = LParamY(lParam);
    switch (message) {
    case WM_MOUSEMOVE:
        if (m_leftButtonHeld && !(wParam & MK_LBUTTON)) {
            // The release happened where we could not see it (another window took the
            // pointer): the drag is over.
            m_leftButtonHeld = 0;
            m_leftPressIgnored = 0;
            OnLButtonUp(x, y);
        }
        if (m_leftButtonHeld)
            OnLButtonDrag(x, y);
        OnMouseMove(x, y);
        return 0;
    case WM_LBUTTONDOWN:
        HandleLButtonDown(x, y);
        return 0;
    case WM_LBUTTONUP:
        if (!m_leftPressIgnored) {
            m_leftButtonHeld = 0;
            OnLButtonUp(x, y);
        }
        m_leftPressIgnored = 0;
        return 0;
    case WM_LBUTTONDBLCLK:
        OnLButtonDblClk(x, y);
        return 0;
    case WM_RBUTTONDOWN:
        OnRButtonDown(x, y);
        return 0;
    case WM_RBUTTONUP:
        OnRButtonUp(x, y);
        return 0;
    case WM_RBUTTONDBLCLK:
        OnRButtonDblClk(x, y);
        return 0;
    case WM_MBUTTONDOWN:
        OnMButtonDown(x, y);
        return 0;
    case WM_MBUTTONUP:
        OnMButtonUp(x, y);
        return 0;
    case WM_MBUTTONDBLCLK:
        OnMButtonDblClk(x, y);
        return 0;
    case WM_XBUTTONDOWN:
        OnXButtonDown(x, y);
        return 0;
    case WM_XBUTTONUP:
        OnXButtonUp(x, y);
        return 0;
    case WM_XBUTTONDBLCLK:
        OnXButtonDblClk(x, y);
        return 0;
    case WM_MOUSEWHEEL:
        OnMouseWheel(x, y, static_cast<int16_t>((wParam >> 16) & 0xFFFF));
        return 0;
    default:
        return std::nullopt;
    }
}

intptr_t GApplication::DefaultWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    switch (message) {
    case WM_CLOSE:
        // The window goes away; the object stays until its owner deletes it.
        if (!m_destroyed) {
            m_destroyed = true;
            if (m_window) {
                m_window->ConfineCursor(false);
                m_window->Hide();
            }
            WindowProc(WM_DESTROY, 0, 0);
        }
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            return WindowProc(WM_CLOSE, 0, 0);
        case SC_MINIMIZE:
            if (m_window)
                m_window->Minimize();
            return 0;
        case SC_RESTORE:
            if (m_window)
                m_window->Restore();
            return 0;
        default:
            return 0;
        }
    default:
        return 0;
    }
}

void GApplication::HandleActivate(bool active)
{
    // Modifiers follow the keys actually held: releases that happened while we were away
    // never arrived.
    m_ctrlDown = IsKeyDown(VK_CONTROL) && active ? kLeftSide : 0;
    m_shiftDown = IsKeyDown(VK_SHIFT) && active ? kLeftSide : 0;
    m_altDown = IsKeyDown(VK_MENU) && active ? kLeftSide : 0;
    if (active) {
        OnActivate();
        SetCursorMode(m_cursorShown, 0);
    } else {
        OnDeactivate();
        ReleaseCursorClip();
    }
}

void GApplication::HandleKeyDown(uintptr_t wParam, intptr_t lParam)
{
    m_lastKeyDownKey = static_cast<int32_t>(wParam);
    m_lastKeyDownData = static_cast<int32_t>(lParam);
    const int key = static_cast<int>(wParam);
    // Keypad digits with Num Lock on reach the program only as characters.
    if (IsKeyToggled(VK_NUMLOCK) && key >= VK_NUMPAD0 && key <= VK_NUMPAD9)
        return;
    if (key == VK_CONTROL)
        m_ctrlDown |= SideOf(lParam);
    else if (key == VK_SHIFT)
        m_shiftDown |= SideOf(lParam);
    else if (key == VK_MENU)
        m_altDown |= SideOf(lParam);

    // Ctrl together with Alt is AltGr on many keyboards, which types characters: no chord.
    const bool ctrlChord = m_ctrlDown && !m_altDown;
    int sent = key;
    if (ctrlChord) {
        if (key == 'C' || key == VK_INSERT)
            sent = kKeyCopy;
        else if (key == 'V')
            sent = kKeyPaste;
        else if (key == 'X')
            sent = kKeyCut;
    } else if (m_shiftDown) {
        if (key == VK_INSERT)
            sent = kKeyPaste;
        else if (key == VK_DELETE)
            sent = kKeyCut;
    }
    OnKeyDown(sent);
}

void GApplication::HandleLButtonDown(int x, int y)
{
    m_lastPressX = static_cast<int16_t>(x);
    m_lastPressY = static_cast<int16_t>(y);
    bool ignored = false;
    if (m_ignoreRectCount > 0) {
        for (int i = 0; i < m_ignoreRectCount; ++i) {
            if (RectContains(m_ignoreRects[i], x, y)) {
                ignored = true;
                break;
            }
        }
    } else {
        // The top seven rows of the client area take no presses.
        ignored = y <= 6;
    }
    if (ignored) {
        m_leftPressIgnored = 1;
        return;
    }
    m_leftButtonHeld = 1;
    OnLButtonDown(x, y);
}

void GApplication::PresentRect(const GRect& r)
{
    if (!m_window || !m_backBuffer || m_destroyed)
        return;
    const uint8_t* pixels = m_backBuffer->Lock();
    if (!pixels) {
        m_backBuffer->Unlock();
        return;
    }
    bool any = false;
    if (m_borderMode) {
        const GRect& in = m_innerRect;
        if (r.top < in.top)
            any |= UploadClipped(pixels, r.left, r.top, r.right, in.top - 1);
        if (r.left < in.left)
            any |= UploadClipped(pixels, r.left, in.top, in.left - 1, in.bottom);
        if (r.right > in.right)
            any |= UploadClipped(pixels, in.right + 1, in.top, r.right, in.bottom);
        if (r.bottom > in.bottom)
            any |= UploadClipped(pixels, r.left, in.bottom + 1, r.right, r.bottom);
    } else {
        any = UploadClipped(pixels, r.left, r.top, r.right, r.bottom);
    }
    m_backBuffer->Unlock();
    // One flip for all strips.
    if (any)
        m_window->Flip();
}

bool GApplication::UploadClipped(const uint8_t* pixels, int left, int top, int right, int bottom)
{
    // Only what lies inside the back buffer is read.
    const int w = m_backBuffer->GetWidth();
    const int h = m_backBuffer->GetHeight();
    if (left < 0)
        left = 0;
    if (top < 0)
        top = 0;
    if (right > w - 1)
        right = w - 1;
    if (bottom > h - 1)
        bottom = h - 1;
    if (right < left || bottom < top)
        return false;
    return m_window->Upload(pixels, w, h, m_backBuffer->GetPitch(), left, top, right, bottom);
}

void GApplication::SetWindowTitle(const char* text)
{
    if (m_window)
        m_window->SetTitle(text ? text : "");
}

void GApplication::ShowFrameTime()
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f ms", m_averageFrameTime);
    SetWindowTitle(text);
}

void GApplication::SetWindowRect(int16_t x, int16_t y, int16_t width, int16_t height)
{
    m_windowX = x;
    m_windowY = y;
    if (width)
        m_width = width;
    if (height)
        m_height = height;
    if (!m_window)
        return;
    // The size is the client's and always the back buffer's: the window never takes another.
    m_window->SetClientSize(m_width, m_height);
    m_window->SetPosition(m_windowX, m_windowY);
}

void GApplication::GetScreenSize(int16_t& width, int16_t& height)
{
    int w = 0;
    int h = 0;
    platform::GetScreenSize(w, h);
    width = static_cast<int16_t>(w > INT16_MAX ? INT16_MAX : w);
    height = static_cast<int16_t>(h > INT16_MAX ? INT16_MAX : h);
}

void GApplication::GetCursorClientPos(int16_t& x, int16_t& y) const
{
    int cx = 0;
    int cy = 0;
    if (m_window)
        m_window->GetCursorClientPos(cx, cy);
    x = ClampToInt16(cx);
    y = ClampToInt16(cy);
}

void GApplication::SetCursorPos(int16_t x, int16_t y)
{
    if (m_window)
        m_window->WarpCursor(x, y);
}

bool GApplication::AddIgnoreRect(const GRect& r)
{
    if (m_ignoreRectCount >= kMaxIgnoreRects)
        return false;
    m_ignoreRects[m_ignoreRectCount++] = r;
    return true;
}

void GApplication::ClearIgnoreRects()
{
    m_ignoreRectCount = 0;
}

void GApplication::SetBorderRect(const GRect* r)
{
    if (!r) {
        m_borderMode = 0;
        return;
    }
    m_innerRect = *r;
    m_borderMode = 1;
}

char16_t GApplication::TranslateLastKeyToChar() const
{
    uint8_t state[256];
    platform::GetKeyboardState(state);
    char16_t out[2] = {};
    const int scanCode = (m_lastKeyDownData >> 16) & 0xFF;
    if (KeyToWideChar(m_lastKeyDownKey, scanCode, state, out, 2) < 1)
        return 0;
    return out[0];
}

int16_t GApplication::GetClipboardText(char* buffer, int16_t n) const
{
    if (!buffer || n < 1)
        return 0;
    std::string text;
    if (!platform::GetClipboardText(text))
        return 0;
    int16_t copied = 0;
    while (copied < n && static_cast<size_t>(copied) < text.size() && text[copied] != '\0') {
        buffer[copied] = text[copied];
        ++copied;
    }
    buffer[copied] = '\0';
    return copied;
}

void GApplication::DrawDebugText(int x, int y, const char* format, ...)
{
    if (!m_backBuffer || !format)
        return;
    va_list args;
    va_start(args, format);
    m_debugFont->PrintfV(m_backBuffer.get(), x, y, true, format, args);
    va_end(args);
}

void GApplication::DrawDebugTextTransparent(int x, int y, const char* format, ...)
{
    if (!m_backBuffer || !format)
        return;
    va_list args;
    va_start(args, format);
    m_debugFont->PrintfV(m_backBuffer.get(), x, y, false, format, args);
    va_end(args);
}
