// The message queue and the translation of SDL events into the window procedure's messages.

#include <SDL.h>

#include <array>
#include <deque>

#include "platform/text/code_page.h"
#include "platform/window/messages.h"
#include "platform/window/quit_requests.h"
#include "platform/sdl/sdl_internal.h"
#include "platform/system/time.h"

namespace platform {

namespace {

std::deque<Message> g_queue;

// The key-down whose typed text has not arrived yet (SDL sends the text right behind it).
int g_pendingScancode = -1;
int g_pendingVariant = 0;
// Characters seen typed per key position and variant (bit 0 Shift, bit 1 Caps Lock, bit 2
// AltGr): the layout's answer for that key, which KeyToChar reuses.
std::array<char16_t, 256 * 8> g_typedChars{};

uintptr_t MouseFlags(uint32_t buttons)
{
    uintptr_t flags = 0;
    if (buttons & SDL_BUTTON_LMASK)
        flags |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK)
        flags |= MK_RBUTTON;
    if (buttons & SDL_BUTTON_MMASK)
        flags |= MK_MBUTTON;
    if (buttons & SDL_BUTTON_X1MASK)
        flags |= MK_XBUTTON1;
    if (buttons & SDL_BUTTON_X2MASK)
        flags |= MK_XBUTTON2;
    const SDL_Keymod mod = SDL_GetModState();
    if (mod & KMOD_SHIFT)
        flags |= MK_SHIFT;
    if (mod & KMOD_CTRL)
        flags |= MK_CONTROL;
    return flags;
}

intptr_t ClientPoint(int x, int y)
{
    if (WindowImpl* w = sdl::GetMainWindow())
        w->WindowToClient(x, y);
    // Positions far outside the client area saturate rather than wrap into it.
    x = x < -32768 ? -32768 : x > 32767 ? 32767 : x;
    y = y < -32768 ? -32768 : y > 32767 ? 32767 : y;
    return MakeLParam(x, y);
}

int KeyVariant(uint16_t mod)
{
    return ((mod & KMOD_SHIFT) ? 1 : 0) | ((mod & KMOD_CAPS) ? 2 : 0) |
           ((mod & (KMOD_RALT | KMOD_MODE)) ? 4 : 0);
}

void TranslateKey(const SDL_KeyboardEvent& key, std::vector<Message>& out)
{
    bool extended = false;
    const uint16_t mod = key.keysym.mod;
    const int vk = sdl::ScancodeToVirtualKey(key.keysym.scancode, key.keysym.sym, mod, extended);
    if (vk == 0)
        return;
    const bool down = key.state == SDL_PRESSED;
    const int scancode = key.keysym.scancode < 256 ? int(key.keysym.scancode) : 0;
    intptr_t lParam = 1 | (intptr_t(scancode) << 16);
    if (extended)
        lParam |= kKeyExtendedBit;
    if (!down)
        lParam |= kKeyRepeatBit | kKeyReleaseBit;
    else if (key.repeat)
        lParam |= kKeyRepeatBit;

    // As on the system the engine was made for: with the left Alt held (and no Ctrl), keys
    // are system keys that the program's key handlers never see; F10 and Alt itself too.
    // AltGr (the right Alt) types characters and stays an ordinary key.
    const bool ctrl = (mod & KMOD_CTRL) != 0;
    const bool leftAltKey = vk == VK_MENU && !extended;
    const bool altHeld = (mod & KMOD_LALT) != 0 || (leftAltKey && down);
    const bool system = !ctrl && (altHeld || leftAltKey || vk == VK_F10);
    if (system && altHeld)
        lParam |= kKeyAltHeldBit;
    uint32_t message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN)
                            : (system ? WM_SYSKEYUP : WM_KEYUP);
    out.push_back({message, uintptr_t(vk), lParam});

    if (down) {
        g_pendingScancode = scancode;
        g_pendingVariant = KeyVariant(mod);
        // Keys whose characters come from the key itself rather than from text input.
        int code = 0;
        switch (vk) {
        case VK_BACK: code = 8; break;
        case VK_TAB: code = 9; break;
        case VK_RETURN: code = 13; break;
        case VK_ESCAPE: code = 27; break;
        default: break;
        }
        if (code && !system)
            out.push_back({WM_CHAR, uintptr_t(code), lParam});
    }
}

void TranslateText(const char* utf8, std::vector<Message>& out)
{
    const std::u16string text = Utf8ToUtf16(utf8);
    if (text.empty())
        return;
    if (g_pendingScancode > 0) {
        sdl::LearnTypedChar(g_pendingScancode, g_pendingVariant, text[0]);
        g_pendingScancode = -1;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            ++i; // a character outside the basic plane: no 1251 form, one '?'
        out.push_back({WM_CHAR, uintptr_t(Utf16ToCp1251(unit)), 1});
    }
}

void TranslateWindowEvent(const SDL_WindowEvent& e, std::vector<Message>& out)
{
    WindowImpl* w = sdl::GetMainWindow();
    if (!w || e.windowID != SDL_GetWindowID(w->window.get()))
        return;
    switch (e.event) {
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
        out.push_back({WM_PAINT, 0, 0});
        break;
    case SDL_WINDOWEVENT_RESTORED:
        out.push_back({WM_PAINT, 0, 0});
        if (SDL_GetWindowFlags(w->window.get()) & SDL_WINDOW_INPUT_FOCUS)
            out.push_back({WM_ACTIVATE, WA_ACTIVE, 0});
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        out.push_back({WM_ACTIVATEAPP, 1, 0});
        out.push_back({WM_ACTIVATE, WA_ACTIVE, 0});
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        out.push_back({WM_ACTIVATE, WA_INACTIVE, 0});
        out.push_back({WM_ACTIVATEAPP, 0, 0});
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        out.push_back({WM_ACTIVATE, WA_INACTIVE | (uintptr_t(1) << 16), 0});
        break;
    case SDL_WINDOWEVENT_CLOSE:
        out.push_back({WM_CLOSE, 0, 0});
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        w->UpdateTarget();
        out.push_back({WM_PAINT, 0, 0});
        break;
    default:
        break;
    }
}

void PumpEvents()
{
    if (!sdl::IsVideoRunning())
        return;
    std::vector<Message> translated;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        translated.clear();
        sdl::TranslateEvent(event, translated);
        for (const Message& m : translated)
            PostMessage(m.message, m.wParam, m.lParam);
    }
}

} // namespace

namespace sdl {

void LearnTypedChar(int scancode, int variant, char16_t unit)
{
    if (scancode > 0 && scancode < 256 && variant >= 0 && variant < 8)
        g_typedChars[size_t(scancode) * 8 + size_t(variant)] = unit;
}

char16_t LookupTypedChar(int scancode, int variant)
{
    if (scancode > 0 && scancode < 256 && variant >= 0 && variant < 8)
        return g_typedChars[size_t(scancode) * 8 + size_t(variant)];
    return 0;
}

void TranslateEvent(const SDL_Event& event, std::vector<Message>& out)
{
    switch (event.type) {
    case SDL_QUIT:
        // Only signals (the last window's close arrives as a window event).
        out.push_back({WM_CLOSE, 0, 0});
        break;
    case SDL_WINDOWEVENT:
        TranslateWindowEvent(event.window, out);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        TranslateKey(event.key, out);
        break;
    case SDL_TEXTINPUT:
        TranslateText(event.text.text, out);
        break;
    case SDL_MOUSEMOTION:
        out.push_back({WM_MOUSEMOVE, MouseFlags(event.motion.state),
                       ClientPoint(event.motion.x, event.motion.y)});
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        const SDL_MouseButtonEvent& b = event.button;
        const bool down = b.state == SDL_PRESSED;
        // The second press of a double click arrives as the double-click message instead
        // of a press, as the engine expects.
        const bool dbl = down && b.clicks >= 2 && (b.clicks % 2) == 0;
        uint32_t message = 0;
        uintptr_t xButton = 0;
        switch (b.button) {
        case SDL_BUTTON_LEFT:
            message = dbl ? WM_LBUTTONDBLCLK : down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
            break;
        case SDL_BUTTON_RIGHT:
            message = dbl ? WM_RBUTTONDBLCLK : down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
            break;
        case SDL_BUTTON_MIDDLE:
            message = dbl ? WM_MBUTTONDBLCLK : down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
            break;
        case SDL_BUTTON_X1:
        case SDL_BUTTON_X2:
            message = dbl ? WM_XBUTTONDBLCLK : down ? WM_XBUTTONDOWN : WM_XBUTTONUP;
            xButton = b.button == SDL_BUTTON_X1 ? XBUTTON1 : XBUTTON2;
            break;
        default:
            return;
        }
        // The button flags describe the state after the event.
        uint32_t buttons = SDL_GetMouseState(nullptr, nullptr);
        if (down)
            buttons |= SDL_BUTTON(b.button);
        else
            buttons &= ~SDL_BUTTON(b.button);
        out.push_back({message, MouseFlags(buttons) | (xButton << 16), ClientPoint(b.x, b.y)});
        break;
    }
    case SDL_MOUSEWHEEL: {
        const SDL_MouseWheelEvent& wheel = event.wheel;
        int notches = wheel.y;
        if (wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
            notches = -notches;
        if (notches == 0)
            break;
        int delta = notches * WHEEL_DELTA;
        delta = delta < -32768 ? -32768 : delta > 32767 ? 32767 : delta;
        int x = 0;
        int y = 0;
        const uint32_t buttons = SDL_GetMouseState(&x, &y);
        const uintptr_t high = uintptr_t(uint16_t(int16_t(delta))) << 16;
        out.push_back({WM_MOUSEWHEEL, high | MouseFlags(buttons), ClientPoint(x, y)});
        break;
    }
    case SDL_SYSWMEVENT:
        sdl::NoteWindowSystemEvent(event);
        break;
    case SDL_RENDER_TARGETS_RESET:
    case SDL_RENDER_DEVICE_RESET:
        out.push_back({WM_PAINT, 0, 0});
        break;
    default:
        break;
    }
}

} // namespace sdl

bool PeekMessage(Message& out)
{
    if (g_queue.empty())
        PumpEvents();
    PostPendingQuitRequests();
    if (g_queue.empty())
        return false;
    out = g_queue.front();
    g_queue.pop_front();
    return true;
}

void PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    // One repaint covers any number of requests, as the window system merges them.
    if (message == WM_PAINT) {
        for (const Message& m : g_queue) {
            if (m.message == WM_PAINT)
                return;
        }
    }
    g_queue.push_back({message, wParam, lParam});
}

void PostQuitMessage(int exitCode)
{
    g_queue.push_back({WM_QUIT, uintptr_t(exitCode), 0});
}

void WaitForInput(uint32_t timeoutMs)
{
    if (!g_queue.empty())
        return;
    if (IsTestClockSet() || !sdl::IsVideoRunning()) {
        SleepMs(timeoutMs);
        return;
    }
    SDL_WaitEventTimeout(nullptr, int(timeoutMs));
}

void ClearMessages()
{
    g_queue.clear();
    g_pendingScancode = -1;
    if (sdl::IsVideoRunning()) {
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

} // namespace platform
