// GApplication: full screen, cursor modes, minimise and restore, closing, cursor images.

#include "foundation/app/application.h"

#include "platform/window/cursor.h"
#include "platform/window/messages.h"
#include "platform/window/window.h"

using namespace platform;

void GApplication::SetFullscreen(int on)
{
    if ((on != 0) == (m_fullscreen != 0))
        return;
    if (!m_window)
        return;
    if (on) {
        EnterDisplayMode();
        if (m_displayOwned)
            m_window->Restore();
    } else {
        LeaveDisplayMode();
        m_window->Restore();
    }
    SetCursorMode(m_cursorShown, m_cursorClipped);
}

void GApplication::EnterDisplayMode()
{
    if (m_displayOwned || !m_window)
        return;
    m_fullscreen = 0;
    if (!m_window->EnterFullscreen()) {
        // Nothing half-done may stay: back to a working window of the exact client size.
        LeaveDisplayMode();
        return;
    }
    m_displayOwned = true;
    m_fullscreen = 1;
    // The new display shows the whole picture, not what the mode switch left on it.
    PresentRect(GRect{0, 0, static_cast<int16_t>(m_width - 1), static_cast<int16_t>(m_height - 1)});
}

void GApplication::CentreWindow()
{
    int16_t screenW = 0;
    int16_t screenH = 0;
    GetScreenSize(screenW, screenH);
    int frameW = 0;
    int frameH = 0;
    m_window->GetFrameSize(frameW, frameH);
    SetWindowRect(static_cast<int16_t>((screenW - m_width - frameW) / 2),
                  static_cast<int16_t>((screenH - m_height - frameH) / 2), m_width, m_height);
}

bool GApplication::LeaveDisplayMode()
{
    m_fullscreen = 0;
    m_displayOwned = false;
    if (!m_window)
        return true;
    m_window->LeaveFullscreen();
    CentreWindow();
    if (!m_destroyed)
        m_window->Show();
    return true;
}

void GApplication::SetCursorMode(int shown, int clipped)
{
    m_cursorShown = shown;
    m_cursorClipped = clipped;
    ShowCursor(shown != 0);
    PostMessage(WM_PAINT, 0, 0);
    if (!m_window)
        return;
    // Full screen covers the screen already; confining there means the whole screen.
    m_window->ConfineCursor(!m_fullscreen && clipped && !m_inactive);
}

void GApplication::ReleaseCursorClip()
{
    if (m_window)
        m_window->ConfineCursor(false);
}

void GApplication::RestoreOrMinimize(int n)
{
    m_inactive = n == 0 ? 1 : 0;
    if (m_window) {
        if (n)
            m_window->Restore();
        else
            m_window->Minimize();
    }
    if (m_inactive)
        ReleaseCursorClip();
}

void GApplication::Close()
{
    WindowProc(WM_CLOSE, 0, 0);
    ReleaseCursorClip();
}

bool GApplication::SetCursor(int id)
{
    if (id >= 0) {
        CursorImage* image = LoadCursorResource(id + 102);
        if (!image)
            return false;
        m_loadedCursor = image;
        m_cursorId = id;
        SetCursorImage(image);
        return true;
    }
    CursorImage* arrow = GetArrowCursor();
    if (!arrow)
        return false;
    m_cursorId = id;
    m_loadedCursor = nullptr;
    SetCursorImage(arrow);
    return true;
}
