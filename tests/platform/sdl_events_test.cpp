// SDL events pushed under the dummy video driver come out of the message queue as the
// window procedure's messages; the window presents, scales and switches to full screen.

#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <cstring>
#include <vector>

#include "platform/clipboard.h"
#include "platform/keyboard.h"
#include "platform/message_box.h"
#include "platform/messages.h"
#include "platform/window.h"

using namespace platform;

namespace {

class SdlEventsTest : public testing::Test {
protected:
    void SetUp() override
    {
        window = Window::Create("events", 800, 600);
        ASSERT_NE(window, nullptr);
        ClearMessages();
    }
    void TearDown() override
    {
        ClearMessages();
        window.reset();
    }

    std::vector<Message> Drain()
    {
        std::vector<Message> out;
        Message m;
        while (PeekMessage(m))
            out.push_back(m);
        return out;
    }

    void PushKey(bool down, SDL_Scancode sc, SDL_Keycode sym, uint16_t mod = 0, bool repeat = false)
    {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = window->GetId();
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat ? 1 : 0;
        e.key.keysym.scancode = sc;
        e.key.keysym.sym = sym;
        e.key.keysym.mod = mod;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    void PushText(const char* utf8)
    {
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        e.text.windowID = window->GetId();
        std::snprintf(e.text.text, sizeof e.text.text, "%s", utf8);
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    void PushWindowEvent(uint8_t what)
    {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = window->GetId();
        e.window.event = what;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    void PushButton(bool down, uint8_t button, int x, int y, uint8_t clicks = 1)
    {
        SDL_Event e{};
        e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.windowID = window->GetId();
        e.button.button = button;
        e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.button.clicks = clicks;
        e.button.x = x;
        e.button.y = y;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }

    std::unique_ptr<Window> window;
};

TEST_F(SdlEventsTest, KeysBecomeVirtualKeysWithTheirPositionAndFlags)
{
    PushKey(true, SDL_SCANCODE_A, SDLK_a);
    PushKey(true, SDL_SCANCODE_A, SDLK_a, 0, true);
    PushKey(false, SDL_SCANCODE_A, SDLK_a);
    PushKey(true, SDL_SCANCODE_LEFT, SDLK_LEFT);
    PushKey(true, SDL_SCANCODE_RCTRL, SDLK_RCTRL, KMOD_RCTRL);
    PushKey(true, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_LSHIFT);
    PushKey(true, SDL_SCANCODE_F5, SDLK_F5);
    PushKey(true, SDL_SCANCODE_Q, 0x439); // a Cyrillic layout: the key keeps its position
    const std::vector<Message> got = Drain();
    ASSERT_EQ(got.size(), 8u);
    EXPECT_EQ(got[0].message, WM_KEYDOWN);
    EXPECT_EQ(got[0].wParam, uintptr_t('A'));
    EXPECT_EQ(got[0].lParam, 1 | (intptr_t(SDL_SCANCODE_A) << 16));
    EXPECT_EQ(got[1].lParam & kKeyRepeatBit, kKeyRepeatBit);
    EXPECT_EQ(got[2].message, WM_KEYUP);
    EXPECT_EQ(got[2].lParam & (kKeyRepeatBit | kKeyReleaseBit), kKeyRepeatBit | kKeyReleaseBit);
    EXPECT_EQ(got[3].wParam, uintptr_t(VK_LEFT));
    EXPECT_EQ(got[3].lParam & kKeyExtendedBit, kKeyExtendedBit);
    EXPECT_EQ(got[4].wParam, uintptr_t(VK_CONTROL));
    EXPECT_EQ(got[4].lParam & kKeyExtendedBit, kKeyExtendedBit);
    EXPECT_EQ(got[5].wParam, uintptr_t(VK_SHIFT));
    EXPECT_EQ(got[5].lParam & kKeyExtendedBit, 0);
    EXPECT_EQ(got[6].wParam, uintptr_t(VK_F1 + 4));
    EXPECT_EQ(got[7].wParam, uintptr_t('Q'));
    EXPECT_EQ(KeyScanCode(got[7].lParam), int(SDL_SCANCODE_Q));
}

TEST_F(SdlEventsTest, LeftAltMakesSystemKeysButAltGrDoesNot)
{
    PushKey(true, SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT);
    PushKey(true, SDL_SCANCODE_F4, SDLK_F4, KMOD_LALT);
    PushKey(false, SDL_SCANCODE_LALT, SDLK_LALT, 0);
    PushKey(true, SDL_SCANCODE_RALT, SDLK_RALT, KMOD_RALT);
    PushKey(true, SDL_SCANCODE_E, SDLK_e, KMOD_RALT);
    PushKey(true, SDL_SCANCODE_LCTRL, SDLK_LCTRL, KMOD_LCTRL | KMOD_LALT);
    PushKey(true, SDL_SCANCODE_C, SDLK_c, KMOD_LCTRL | KMOD_LALT);
    const std::vector<Message> got = Drain();
    ASSERT_EQ(got.size(), 7u);
    EXPECT_EQ(got[0].message, WM_SYSKEYDOWN);
    EXPECT_EQ(got[0].wParam, uintptr_t(VK_MENU));
    EXPECT_EQ(got[1].message, WM_SYSKEYDOWN);
    EXPECT_EQ(got[1].wParam, uintptr_t(VK_F4));
    EXPECT_EQ(got[2].message, WM_SYSKEYUP);
    EXPECT_EQ(got[3].message, WM_KEYDOWN);
    EXPECT_EQ(got[3].wParam, uintptr_t(VK_MENU));
    EXPECT_EQ(got[3].lParam & kKeyExtendedBit, kKeyExtendedBit);
    EXPECT_EQ(got[4].message, WM_KEYDOWN);
    EXPECT_EQ(got[5].message, WM_KEYDOWN); // with Ctrl, Alt combinations are ordinary keys
    EXPECT_EQ(got[6].message, WM_KEYDOWN);
}

TEST_F(SdlEventsTest, TheKeypadFollowsNumLock)
{
    PushKey(true, SDL_SCANCODE_KP_7, SDLK_KP_7, KMOD_NUM);
    PushKey(true, SDL_SCANCODE_KP_7, SDLK_KP_7, 0);
    PushKey(true, SDL_SCANCODE_KP_5, SDLK_KP_5, 0);
    PushKey(true, SDL_SCANCODE_KP_1, SDLK_KP_1, 0);
    PushKey(true, SDL_SCANCODE_KP_PERIOD, SDLK_KP_PERIOD, KMOD_NUM);
    PushKey(true, SDL_SCANCODE_KP_PERIOD, SDLK_KP_PERIOD, 0);
    PushKey(true, SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, KMOD_NUM);
    const std::vector<Message> got = Drain();
    ASSERT_EQ(got.size(), 8u); // Enter adds its character
    EXPECT_EQ(got[0].wParam, uintptr_t(VK_NUMPAD7));
    EXPECT_EQ(got[1].wParam, uintptr_t(VK_HOME));
    EXPECT_EQ(got[1].lParam & kKeyExtendedBit, 0); // not the grey Home key
    EXPECT_EQ(got[2].wParam, uintptr_t(VK_CLEAR));
    EXPECT_EQ(got[3].wParam, uintptr_t(VK_END));
    EXPECT_EQ(got[4].wParam, uintptr_t(VK_DECIMAL));
    EXPECT_EQ(got[5].wParam, uintptr_t(VK_DELETE));
    EXPECT_EQ(got[6].wParam, uintptr_t(VK_RETURN));
    EXPECT_EQ(got[6].lParam & kKeyExtendedBit, kKeyExtendedBit);
    EXPECT_EQ(got[7].message, WM_CHAR);
    EXPECT_EQ(got[7].wParam, 13u);
}

TEST_F(SdlEventsTest, TypedTextBecomesWindows1251Characters)
{
    PushKey(true, SDL_SCANCODE_SEMICOLON, 0x436); // the Cyrillic layout's key for "zh"
    PushText("\xD0\x96");                          // U+0416
    PushText("a\xE2\x82\xAC");                     // 'a' and the euro sign (0x88 in 1251)
    PushText("\xC3\xA9");                          // U+00E9 has no 1251 form
    PushText("\xF0\x9F\x98\x80");                  // outside the basic plane: one '?'
    const std::vector<Message> got = Drain();
    std::vector<uintptr_t> chars;
    for (const Message& m : got) {
        if (m.message == WM_CHAR)
            chars.push_back(m.wParam);
    }
    EXPECT_EQ(chars, (std::vector<uintptr_t>{0xC6, 'a', 0x88, '?', '?'}));

    // The key learned what it typed: its character can be asked for afterwards.
    uint8_t state[256] = {};
    EXPECT_EQ(KeyToChar(VK_OEM_1, SDL_SCANCODE_SEMICOLON, state), char16_t(0x416));
}

TEST_F(SdlEventsTest, EditingKeysTypeTheirControlCharacters)
{
    PushKey(true, SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE);
    PushKey(true, SDL_SCANCODE_RETURN, SDLK_RETURN);
    PushKey(true, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
    PushKey(true, SDL_SCANCODE_TAB, SDLK_TAB);
    PushKey(true, SDL_SCANCODE_DELETE, SDLK_DELETE);
    std::vector<uintptr_t> chars;
    for (const Message& m : Drain()) {
        if (m.message == WM_CHAR)
            chars.push_back(m.wParam);
    }
    EXPECT_EQ(chars, (std::vector<uintptr_t>{8, 13, 27, 9}));
}

TEST_F(SdlEventsTest, MouseEventsCarryClientCoordinatesAndButtons)
{
    SDL_Event move{};
    move.type = SDL_MOUSEMOTION;
    move.motion.windowID = window->GetId();
    move.motion.x = 10;
    move.motion.y = 20;
    move.motion.state = SDL_BUTTON_LMASK;
    SDL_PushEvent(&move);
    move.motion.x = -5; // outside while captured
    move.motion.y = 700;
    move.motion.state = 0;
    SDL_PushEvent(&move);
    PushButton(true, SDL_BUTTON_LEFT, 30, 40, 1);
    PushButton(false, SDL_BUTTON_LEFT, 30, 40, 1);
    PushButton(true, SDL_BUTTON_LEFT, 30, 40, 2);
    PushButton(false, SDL_BUTTON_LEFT, 900, -20, 2);
    PushButton(true, SDL_BUTTON_RIGHT, 1, 2);
    PushButton(true, SDL_BUTTON_MIDDLE, 1, 2, 2);
    PushButton(true, SDL_BUTTON_X1, 3, 4);
    PushButton(false, SDL_BUTTON_X2, 3, 4);
    const std::vector<Message> got = Drain();
    ASSERT_EQ(got.size(), 10u);
    EXPECT_EQ(got[0].message, WM_MOUSEMOVE);
    EXPECT_EQ(got[0].wParam & MK_LBUTTON, MK_LBUTTON);
    EXPECT_EQ(LParamX(got[0].lParam), 10);
    EXPECT_EQ(LParamY(got[0].lParam), 20);
    EXPECT_EQ(LParamX(got[1].lParam), -5);
    EXPECT_EQ(LParamY(got[1].lParam), 700);
    EXPECT_EQ(got[2].message, WM_LBUTTONDOWN);
    EXPECT_EQ(got[2].wParam & MK_LBUTTON, MK_LBUTTON);
    EXPECT_EQ(got[3].message, WM_LBUTTONUP);
    EXPECT_EQ(got[3].wParam & MK_LBUTTON, 0u);
    EXPECT_EQ(got[4].message, WM_LBUTTONDBLCLK);
    EXPECT_EQ(got[5].message, WM_LBUTTONUP);
    EXPECT_EQ(LParamX(got[5].lParam), 900);
    EXPECT_EQ(LParamY(got[5].lParam), -20);
    EXPECT_EQ(got[6].message, WM_RBUTTONDOWN);
    EXPECT_EQ(got[7].message, WM_MBUTTONDBLCLK);
    EXPECT_EQ(got[8].message, WM_XBUTTONDOWN);
    EXPECT_EQ(got[8].wParam >> 16, XBUTTON1);
    EXPECT_EQ(got[9].message, WM_XBUTTONUP);
    EXPECT_EQ(got[9].wParam >> 16, XBUTTON2);
}

TEST_F(SdlEventsTest, TheWheelGivesNotchesOf120AtTheClientPosition)
{
    // Put the pointer somewhere known inside the window first.
    SDL_WarpMouseInWindow(SDL_GetWindowFromID(window->GetId()), 123, 45);
    SDL_PumpEvents();
    ClearMessages();
    SDL_Event wheel{};
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.windowID = window->GetId();
    wheel.wheel.y = -2;
    wheel.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    SDL_PushEvent(&wheel);
    wheel.wheel.y = 1;
    wheel.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
    SDL_PushEvent(&wheel);
    wheel.wheel.y = 0; // sideways only: nothing
    SDL_PushEvent(&wheel);
    const std::vector<Message> got = Drain();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].message, WM_MOUSEWHEEL);
    EXPECT_EQ(int16_t(got[0].wParam >> 16), -240);
    EXPECT_EQ(int16_t(got[1].wParam >> 16), -120);
    int x = 0;
    int y = 0;
    SDL_GetMouseState(&x, &y);
    EXPECT_EQ(LParamX(got[0].lParam), x);
    EXPECT_EQ(LParamY(got[0].lParam), y);
}

TEST_F(SdlEventsTest, WindowEventsBecomeActivationPaintAndClose)
{
    PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    PushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
    PushWindowEvent(SDL_WINDOWEVENT_EXPOSED);
    PushWindowEvent(SDL_WINDOWEVENT_EXPOSED); // repaints merge
    PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    const std::vector<Message> got = Drain();
    ASSERT_EQ(got.size(), 7u);
    EXPECT_EQ(got[0].message, WM_ACTIVATE);
    EXPECT_EQ(got[0].wParam, WA_INACTIVE);
    EXPECT_EQ(got[1].message, WM_ACTIVATEAPP);
    EXPECT_EQ(got[1].wParam, 0u);
    EXPECT_EQ(got[2].message, WM_ACTIVATEAPP);
    EXPECT_EQ(got[2].wParam, 1u);
    EXPECT_EQ(got[3].message, WM_ACTIVATE);
    EXPECT_EQ(got[3].wParam, WA_ACTIVE);
    EXPECT_EQ(got[4].message, WM_ACTIVATE);
    EXPECT_EQ(got[4].wParam & 0xFFFF, WA_INACTIVE);
    EXPECT_NE(got[4].wParam >> 16, 0u);
    EXPECT_EQ(got[5].message, WM_PAINT);
    EXPECT_EQ(got[6].message, WM_CLOSE);

    // A quit request (a signal) asks the window to close; it does not end the program itself.
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    const std::vector<Message> after = Drain();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].message, WM_CLOSE);
}

TEST_F(SdlEventsTest, PostedMessagesComeBackInOrderAndQuitCarriesItsCode)
{
    PostMessage(WM_CHAR, 'x', 7);
    PostQuitMessage(3);
    Message m;
    ASSERT_TRUE(PeekMessage(m));
    EXPECT_EQ(m.message, WM_CHAR);
    EXPECT_EQ(m.lParam, 7);
    ASSERT_TRUE(PeekMessage(m));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_FALSE(PeekMessage(m));
    WaitForInput(1); // returns with nothing waiting
}

TEST_F(SdlEventsTest, PresentShowsTheRectangleInBGROrder)
{
    const int w = 800;
    const int h = 600;
    std::vector<uint8_t> image(size_t(w) * h * 3 + w * 3, 0);
    // A blue, green, red pixel at (10, 20): bytes B, G, R.
    uint8_t* p = image.data() + (20 * w + 10) * 3;
    p[0] = 200;
    p[1] = 100;
    p[2] = 50;
    ASSERT_TRUE(window->Present(image.data(), w, h, w * 3, 0, 0, w - 1, h - 1));
    SDL_Renderer* renderer = SDL_GetRenderer(SDL_GetWindowFromID(window->GetId()));
    ASSERT_NE(renderer, nullptr);
    uint8_t rgb[3] = {};
    SDL_Rect one{10, 20, 1, 1};
    ASSERT_EQ(SDL_RenderReadPixels(renderer, &one, SDL_PIXELFORMAT_RGB24, rgb, 3), 0);
    EXPECT_EQ(rgb[0], 50);
    EXPECT_EQ(rgb[1], 100);
    EXPECT_EQ(rgb[2], 200);

    // Rectangles are clipped to the image; nothing outside it is read.
    EXPECT_TRUE(window->Present(image.data(), w, h, w * 3, -10, -10, 20, 30));
    EXPECT_FALSE(window->Present(image.data(), w, h, w * 3, 900, 0, 950, 10));
    EXPECT_FALSE(window->Present(image.data(), w, h, w * 3, 10, 10, 5, 5));
    EXPECT_FALSE(window->Present(nullptr, w, h, w * 3, 0, 0, 1, 1));
    EXPECT_FALSE(window->Present(image.data(), 64, 64, 64 * 3, 0, 0, 1, 1)); // wrong size
}

TEST_F(SdlEventsTest, FullScreenKeepsClientCoordinatesAndRestoresTheSize)
{
    window->Show();
    bool real = true;
    ASSERT_TRUE(window->EnterFullscreen(&real));
    EXPECT_TRUE(window->IsFullscreen());
    // Client <-> window conversions are each other's inverse where pixels map 1:1 or larger.
    int x = 400;
    int y = 300;
    window->ClientToWindow(x, y);
    window->WindowToClient(x, y);
    EXPECT_NEAR(x, 400, 1);
    EXPECT_NEAR(y, 300, 1);
    // Scaled to the desktop: the middle of the screen is the middle of the picture, and a
    // point on the bars lies outside the client area.
    int winW = 0;
    int winH = 0;
    window->GetClientSize(winW, winH);
    if (winW != 800 || winH != 600) {
        x = winW / 2;
        y = winH / 2;
        window->WindowToClient(x, y);
        EXPECT_NEAR(x, 400, 2);
        EXPECT_NEAR(y, 300, 2);
        x = 0;
        y = 0;
        window->WindowToClient(x, y);
        EXPECT_TRUE(x <= 0 && y <= 0);
        if (winW * 600 != winH * 800) {
            EXPECT_TRUE(x < 0 || y < 0) << "the picture keeps its aspect";
        }
    }
    window->LeaveFullscreen();
    EXPECT_FALSE(window->IsFullscreen());
    int w = 0;
    int h = 0;
    window->GetClientSize(w, h);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    x = 17;
    y = 33;
    window->WindowToClient(x, y);
    EXPECT_EQ(x, 17);
    EXPECT_EQ(y, 33);

    Window::SimulateFullscreenFailure(true);
    EXPECT_FALSE(window->EnterFullscreen());
    Window::SimulateFullscreenFailure(false);
    EXPECT_FALSE(window->IsFullscreen());
}

TEST_F(SdlEventsTest, ClipboardRoundTripsWindows1251ThroughUtf8)
{
    ASSERT_TRUE(SetClipboardText("\xCF\xF0\xE8\xE2\xE5\xF2 1", 8));
    std::string text;
    ASSERT_TRUE(GetClipboardText(text));
    EXPECT_EQ(text, "\xCF\xF0\xE8\xE2\xE5\xF2 1");
}

TEST_F(SdlEventsTest, NoRealBoxesWithoutADisplay)
{
    // The dummy driver is no display a person can answer a box on.
    EXPECT_EQ(GetMessageBoxBackend(), nullptr);
}

} // namespace
