// SDL events pushed under the dummy video driver come out of the message queue as the
// window procedure's messages; the window presents, scales and switches to full screen.

#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/window/clipboard.h"
#include "platform/window/keyboard.h"
#include "platform/window/message_box.h"
#include "platform/window/messages.h"
#include "platform/window/window.h"

using namespace platform;

namespace {

using MsgW = std::pair<uint32_t, uintptr_t>; // message and wParam

class SdlEventsTest : public testing::Test {
protected:
    void SetUp() override
    {
        window = Window::Create("events", 800, 600);
        ASSERT_NE(window, nullptr);
        ClearMessages();
    }
    void TearDown() override { ClearMessages(), window.reset(); }

    std::vector<Message> Drain()
    {
        std::vector<Message> out;
        Message m;
        while (PeekMessage(m))
            out.push_back(m);
        return out;
    }
    static std::vector<MsgW> Pairs(const std::vector<Message>& got)
    {
        std::vector<MsgW> out;
        for (const Message& m : got)
            out.emplace_back(m.message, m.wParam);
        return out;
    }
    static std::vector<uint32_t> Kinds(const std::vector<Message>& got)
    {
        std::vector<uint32_t> out;
        for (const Message& m : got)
            out.push_back(m.message);
        return out;
    }
    static std::pair<int, int> Xy(const Message& m) { return {LParamX(m.lParam), LParamY(m.lParam)}; }
    // The repeat (R), release (U) and extended (E) bits of each key message.
    static std::string KeyFlags(const std::vector<Message>& got)
    {
        std::string out;
        for (const Message& m : got)
            out += std::string(m.lParam & kKeyRepeatBit ? "R" : "") + (m.lParam & kKeyReleaseBit ? "U" : "") +
                   (m.lParam & kKeyExtendedBit ? "E" : "") + ",";
        return out;
    }
    std::vector<uintptr_t> DrainChars()
    {
        std::vector<uintptr_t> chars;
        for (const Message& m : Drain())
            if (m.message == WM_CHAR)
                chars.push_back(m.wParam);
        return chars;
    }

    void Push(SDL_Event e, uint32_t type)
    {
        e.type = type;
        e.window.windowID = window->GetId(); // the same field for every window-bound event
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    void PushKey(bool down, SDL_Scancode sc, SDL_Keycode sym, uint16_t mod = 0, bool repeat = false)
    {
        SDL_Event e{};
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat ? 1 : 0;
        e.key.keysym = {sc, sym, mod, 0};
        Push(e, down ? SDL_KEYDOWN : SDL_KEYUP);
    }
    void PushText(const char* utf8)
    {
        SDL_Event e{};
        std::snprintf(e.text.text, sizeof e.text.text, "%s", utf8);
        Push(e, SDL_TEXTINPUT);
    }
    void PushWindowEvent(uint8_t what)
    {
        SDL_Event e{};
        e.window.event = what;
        Push(e, SDL_WINDOWEVENT);
    }
    void PushButton(bool down, uint8_t button, int x, int y, uint8_t clicks = 1)
    {
        SDL_Event e{};
        e.button.button = button, e.button.clicks = clicks, e.button.x = x, e.button.y = y;
        e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        Push(e, down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP);
    }

    std::unique_ptr<Window> window;
};

TEST_F(SdlEventsTest, KeysBecomeVirtualKeysWithTheirPositionFlagsAltAndNumLock)
{
    PushKey(true, SDL_SCANCODE_A, SDLK_a);
    PushKey(true, SDL_SCANCODE_A, SDLK_a, 0, true);
    PushKey(false, SDL_SCANCODE_A, SDLK_a);
    PushKey(true, SDL_SCANCODE_LEFT, SDLK_LEFT);
    PushKey(true, SDL_SCANCODE_RCTRL, SDLK_RCTRL, KMOD_RCTRL);
    PushKey(true, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_LSHIFT);
    PushKey(true, SDL_SCANCODE_F5, SDLK_F5);
    PushKey(true, SDL_SCANCODE_Q, 0x439); // a Cyrillic layout: the key keeps its position
    std::vector<Message> got = Drain();
    ASSERT_EQ(got.size(), 8u);
    EXPECT_EQ(Pairs(got), (std::vector<MsgW>{{WM_KEYDOWN, 'A'}, {WM_KEYDOWN, 'A'}, {WM_KEYUP, 'A'},
                                             {WM_KEYDOWN, VK_LEFT}, {WM_KEYDOWN, VK_CONTROL},
                                             {WM_KEYDOWN, VK_SHIFT}, {WM_KEYDOWN, VK_F1 + 4},
                                             {WM_KEYDOWN, 'Q'}}));
    EXPECT_EQ(got[0].lParam, 1 | (intptr_t(SDL_SCANCODE_A) << 16));
    EXPECT_EQ(KeyFlags(got), ",R,RU,E,E,,,,");
    EXPECT_EQ(KeyScanCode(got[7].lParam), int(SDL_SCANCODE_Q));

    // Left Alt makes system keys, AltGr does not.
    PushKey(true, SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT);
    PushKey(true, SDL_SCANCODE_F4, SDLK_F4, KMOD_LALT);
    PushKey(false, SDL_SCANCODE_LALT, SDLK_LALT, 0);
    PushKey(true, SDL_SCANCODE_RALT, SDLK_RALT, KMOD_RALT);
    PushKey(true, SDL_SCANCODE_E, SDLK_e, KMOD_RALT);
    PushKey(true, SDL_SCANCODE_LCTRL, SDLK_LCTRL, KMOD_LCTRL | KMOD_LALT);
    PushKey(true, SDL_SCANCODE_C, SDLK_c, KMOD_LCTRL | KMOD_LALT); // with Ctrl: an ordinary key
    got = Drain();
    EXPECT_EQ(Pairs(got), (std::vector<MsgW>{{WM_SYSKEYDOWN, VK_MENU}, {WM_SYSKEYDOWN, VK_F4}, {WM_SYSKEYUP, VK_MENU},
                                             {WM_KEYDOWN, VK_MENU}, {WM_KEYDOWN, 'E'}, {WM_KEYDOWN, VK_CONTROL},
                                             {WM_KEYDOWN, 'C'}}));
    EXPECT_EQ(KeyFlags(got), ",,RU,E,,,,");

    // The keypad follows Num Lock.
    const std::tuple<SDL_Scancode, SDL_Keycode, uint16_t> keys[] = {
        {SDL_SCANCODE_KP_7, SDLK_KP_7, KMOD_NUM},           {SDL_SCANCODE_KP_7, SDLK_KP_7, 0},
        {SDL_SCANCODE_KP_5, SDLK_KP_5, 0},                  {SDL_SCANCODE_KP_1, SDLK_KP_1, 0},
        {SDL_SCANCODE_KP_PERIOD, SDLK_KP_PERIOD, KMOD_NUM}, {SDL_SCANCODE_KP_PERIOD, SDLK_KP_PERIOD, 0},
        {SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, KMOD_NUM}};
    for (auto [scan, sym, mod] : keys)
        PushKey(true, scan, sym, mod);
    got = Drain();
    ASSERT_EQ(got.size(), 8u);
    EXPECT_EQ(Pairs(got), (std::vector<MsgW>{{WM_KEYDOWN, VK_NUMPAD7}, {WM_KEYDOWN, VK_HOME},
                                             {WM_KEYDOWN, VK_CLEAR}, {WM_KEYDOWN, VK_END},
                                             {WM_KEYDOWN, VK_DECIMAL}, {WM_KEYDOWN, VK_DELETE},
                                             {WM_KEYDOWN, VK_RETURN}, {WM_CHAR, 13}}));
    EXPECT_EQ(KeyFlags(got), ",,,,,,E,E,"); // keypad 7 is not the grey Home key; keypad Enter (and its character) is
}

TEST_F(SdlEventsTest, TypedTextBecomesWindows1251Characters)
{
    PushKey(true, SDL_SCANCODE_SEMICOLON, 0x436); // the Cyrillic layout's key for "zh"
    PushText("\xD0\x96");                          // U+0416
    PushText("a\xE2\x82\xAC");                     // 'a' and the euro sign (0x88 in 1251)
    PushText("\xC3\xA9");                          // U+00E9 has no 1251 form
    PushText("\xF0\x9F\x98\x80");                  // outside the basic plane: one '?'
    EXPECT_EQ(DrainChars(), (std::vector<uintptr_t>{0xC6, 'a', 0x88, '?', '?'}));

    // The key learned what it typed: its character can be asked for afterwards.
    uint8_t state[256] = {};
    EXPECT_EQ(KeyToChar(VK_OEM_1, SDL_SCANCODE_SEMICOLON, state), char16_t(0x416));

    // Editing keys type their control characters.
    for (auto [scan, sym] : {std::pair{SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE}, {SDL_SCANCODE_RETURN, SDLK_RETURN},
                             {SDL_SCANCODE_ESCAPE, SDLK_ESCAPE}, {SDL_SCANCODE_TAB, SDLK_TAB},
                             {SDL_SCANCODE_DELETE, SDLK_DELETE}})
        PushKey(true, scan, sym);
    EXPECT_EQ(DrainChars(), (std::vector<uintptr_t>{8, 13, 27, 9}));
}

TEST_F(SdlEventsTest, MouseEventsCarryClientCoordinatesAndButtons)
{
    SDL_Event move{};
    move.motion.x = 10, move.motion.y = 20, move.motion.state = SDL_BUTTON_LMASK;
    Push(move, SDL_MOUSEMOTION);
    move.motion.x = -5, move.motion.y = 700, move.motion.state = 0; // outside while captured
    Push(move, SDL_MOUSEMOTION);
    PushButton(true, SDL_BUTTON_LEFT, 30, 40, 1);
    PushButton(false, SDL_BUTTON_LEFT, 30, 40, 1);
    PushButton(true, SDL_BUTTON_LEFT, 30, 40, 2);
    PushButton(false, SDL_BUTTON_LEFT, 900, -20, 2);
    PushButton(true, SDL_BUTTON_RIGHT, 1, 2);
    PushButton(true, SDL_BUTTON_MIDDLE, 1, 2, 2);
    PushButton(true, SDL_BUTTON_X1, 3, 4);
    PushButton(false, SDL_BUTTON_X2, 3, 4);
    std::vector<Message> got = Drain();
    EXPECT_EQ(Kinds(got), (std::vector<uint32_t>{WM_MOUSEMOVE, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP,
                                                 WM_LBUTTONDBLCLK, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_MBUTTONDBLCLK,
                                                 WM_XBUTTONDOWN, WM_XBUTTONUP}));
    std::vector<std::tuple<uintptr_t, int, int>> params; // left button held, X button, position
    for (const Message& m : got)
        params.emplace_back(m.wParam & MK_LBUTTON, int(m.wParam >> 16), LParamX(m.lParam) * 1000 + LParamY(m.lParam));
    EXPECT_EQ(params, (std::vector<std::tuple<uintptr_t, int, int>>{
                          {MK_LBUTTON, 0, 10020}, {0, 0, -4300}, {MK_LBUTTON, 0, 30040}, {0, 0, 30040},
                          {MK_LBUTTON, 0, 30040}, {0, 0, 899980}, {0, 0, 1002}, {0, 0, 1002}, {0, XBUTTON1, 3004},
                          {0, XBUTTON2, 3004}}));

    // The wheel gives notches of 120 at the client position.
    SDL_WarpMouseInWindow(SDL_GetWindowFromID(window->GetId()), 123, 45);
    SDL_PumpEvents();
    ClearMessages();
    SDL_Event wheel{};
    for (auto [y, direction] : {std::pair{-2, SDL_MOUSEWHEEL_NORMAL}, {1, SDL_MOUSEWHEEL_FLIPPED},
                                {0, SDL_MOUSEWHEEL_FLIPPED}}) { // the last sideways only: nothing
        wheel.wheel.y = y, wheel.wheel.direction = direction;
        Push(wheel, SDL_MOUSEWHEEL);
    }
    got = Drain();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(Kinds(got), (std::vector<uint32_t>{WM_MOUSEWHEEL, WM_MOUSEWHEEL}));
    EXPECT_EQ((std::pair(int16_t(got[0].wParam >> 16), int16_t(got[1].wParam >> 16))),
              (std::pair<int16_t, int16_t>(-240, -120)));
    std::pair<int, int> pointer;
    SDL_GetMouseState(&pointer.first, &pointer.second);
    EXPECT_EQ(Xy(got[0]), pointer);
}

TEST_F(SdlEventsTest, WindowEventsAndPostedMessagesInOrder)
{
    for (uint8_t what : {SDL_WINDOWEVENT_FOCUS_LOST, SDL_WINDOWEVENT_FOCUS_GAINED, SDL_WINDOWEVENT_MINIMIZED,
                         SDL_WINDOWEVENT_EXPOSED, SDL_WINDOWEVENT_EXPOSED /* repaints merge */, SDL_WINDOWEVENT_CLOSE})
        PushWindowEvent(what);
    std::vector<Message> got = Drain();
    ASSERT_EQ(got.size(), 7u);
    EXPECT_EQ(Pairs({got.begin(), got.begin() + 4}),
              (std::vector<MsgW>{{WM_ACTIVATE, WA_INACTIVE}, {WM_ACTIVATEAPP, 0}, {WM_ACTIVATEAPP, 1},
                                 {WM_ACTIVATE, WA_ACTIVE}}));
    // Minimized: inactive with the minimized flag.
    EXPECT_EQ(
        (std::tuple(got[4].message, got[4].wParam & 0xFFFF, got[4].wParam >> 16 != 0, got[5].message, got[6].message)),
        (std::tuple<uint32_t, uintptr_t, bool, uint32_t, uint32_t>(WM_ACTIVATE, WA_INACTIVE, true, WM_PAINT,
                                                                   WM_CLOSE)));

    // A quit request (a signal) asks the window to close; it does not end the program itself.
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    EXPECT_EQ(Kinds(Drain()), std::vector<uint32_t>{WM_CLOSE});

    // Posted messages come back in order and quit carries its code.
    PostMessage(WM_CHAR, 'x', 7);
    PostQuitMessage(3);
    got = Drain();
    EXPECT_EQ(Pairs(got), (std::vector<MsgW>{{WM_CHAR, 'x'}, {WM_QUIT, 3}}));
    EXPECT_EQ(got[0].lParam, 7);
    WaitForInput(1); // returns with nothing waiting
}

TEST_F(SdlEventsTest, PresentShowsTheRectangleInBGROrder)
{
    const int w = 800, h = 600;
    std::vector<uint8_t> image(size_t(w) * h * 3 + w * 3, 0);
    std::memcpy(image.data() + (20 * w + 10) * 3, "\xC8\x64\x32", 3); // B, G, R 200, 100, 50 at (10, 20)
    ASSERT_TRUE(window->Present(image.data(), w, h, w * 3, 0, 0, w - 1, h - 1));
    SDL_Renderer* renderer = SDL_GetRenderer(SDL_GetWindowFromID(window->GetId()));
    ASSERT_NE(renderer, nullptr);
    uint8_t rgb[3] = {};
    SDL_Rect one{10, 20, 1, 1};
    ASSERT_EQ(SDL_RenderReadPixels(renderer, &one, SDL_PIXELFORMAT_RGB24, rgb, 3), 0);
    EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 3), (std::vector<uint8_t>{50, 100, 200}));

    // Rectangles are clipped to the image; nothing outside it is read.
    EXPECT_TRUE(window->Present(image.data(), w, h, w * 3, -10, -10, 20, 30));
    EXPECT_FALSE(window->Present(image.data(), w, h, w * 3, 900, 0, 950, 10));
    EXPECT_FALSE(window->Present(image.data(), w, h, w * 3, 10, 10, 5, 5));
    EXPECT_FALSE(window->Present(nullptr, w, h, w * 3, 0, 0, 1, 1));
    EXPECT_FALSE(window->Present(image.data(), 64, 64, 64 * 3, 0, 0, 1, 1)); // wrong size
}

TEST_F(SdlEventsTest, PresentedRectanglesReadBackAsTheyWereAndKeepEarlierOnes)
{
    const int w = 800, h = 600;
    std::vector<uint8_t> image(size_t(w) * h * 3);
    uint32_t seed = 1;
    for (uint8_t& b : image)
        b = uint8_t((seed = seed * 1103515245u + 12345u) >> 16);
    SDL_Renderer* renderer = SDL_GetRenderer(SDL_GetWindowFromID(window->GetId()));
    ASSERT_NE(renderer, nullptr);
    ASSERT_TRUE(window->Present(image.data(), w, h, w * 3, 0, 0, w - 1, h - 1));
    // Change the image, present only a narrow odd-sized rectangle of it: inside it the new
    // pixels show, outside it the old ones stay.
    std::vector<uint8_t> before = image;
    for (uint8_t& b : image)
        b = uint8_t(~b);
    const SDL_Rect r{13, 7, 37, 5};
    ASSERT_TRUE(window->Present(image.data(), w, h, w * 3, r.x, r.y, r.x + r.w - 1, r.y + r.h - 1));
    std::vector<uint8_t> shown(size_t(w) * h * 3);
    ASSERT_EQ(SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_BGR24, shown.data(), w * 3), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool inside = x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h;
            const size_t at = (size_t(y) * w + x) * 3;
            const uint8_t* want = inside ? &image[at] : &before[at];
            ASSERT_EQ(std::memcmp(&shown[at], want, 3), 0) << x << "," << y;
        }
}

TEST_F(SdlEventsTest, FullScreenKeepsClientCoordinatesAndRestoresTheSize)
{
    window->Show();
    bool real = true;
    ASSERT_TRUE(window->EnterFullscreen(&real));
    EXPECT_TRUE(window->IsFullscreen());
    // Client <-> window conversions are each other's inverse where pixels map 1:1 or larger.
    int x = 400, y = 300;
    window->ClientToWindow(x, y);
    window->WindowToClient(x, y);
    EXPECT_TRUE(std::abs(x - 400) <= 1 && std::abs(y - 300) <= 1) << x << "," << y;
    // Scaled to the desktop: the middle of the screen is the middle of the picture, and a
    // point on the bars lies outside the client area.
    int winW = 0, winH = 0;
    window->GetClientSize(winW, winH);
    if (winW != 800 || winH != 600) {
        x = winW / 2, y = winH / 2;
        window->WindowToClient(x, y);
        EXPECT_TRUE(std::abs(x - 400) <= 2 && std::abs(y - 300) <= 2) << x << "," << y;
        x = 0, y = 0;
        window->WindowToClient(x, y);
        EXPECT_TRUE(x <= 0 && y <= 0);
        EXPECT_TRUE(winW * 600 == winH * 800 || x < 0 || y < 0) << "the picture keeps its aspect";
    }
    window->LeaveFullscreen();
    window->GetClientSize(winW, winH);
    EXPECT_EQ(std::make_pair(winW, winH), std::make_pair(800, 600));
    x = 17, y = 33;
    window->WindowToClient(x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(17, 33));

    Window::SimulateFullscreenFailure(true);
    EXPECT_FALSE(window->EnterFullscreen());
    Window::SimulateFullscreenFailure(false);
    EXPECT_FALSE(window->IsFullscreen());
}

TEST_F(SdlEventsTest, ClipboardRoundTripsWindows1251ThroughUtf8AndNoBoxesWithoutADisplay)
{
    ASSERT_TRUE(SetClipboardText("\xCF\xF0\xE8\xE2\xE5\xF2 1", 8));
    std::string text;
    ASSERT_TRUE(GetClipboardText(text));
    EXPECT_EQ(text, "\xCF\xF0\xE8\xE2\xE5\xF2 1");
    EXPECT_EQ(GetMessageBoxBackend(), nullptr); // the dummy driver is no display a person can answer on
}

} // namespace
