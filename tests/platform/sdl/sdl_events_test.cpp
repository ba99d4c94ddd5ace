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

#include "platform/system/time.h"
#include "platform/window/clipboard.h"
#include "platform/window/cursor.h"
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
    // The repeat (R), release (U), extended (E) and Alt-held (A) bits of each key message.
    static std::string KeyFlags(const std::vector<Message>& got)
    {
        std::string out;
        for (const Message& m : got)
            out += std::string(m.lParam & kKeyRepeatBit ? "R" : "") +
                   (m.lParam & kKeyReleaseBit ? "U" : "") +
                   (m.lParam & kKeyExtendedBit ? "E" : "") +
                   (m.lParam & kKeyAltHeldBit ? "A" : "") + ",";
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
    // Alt held since before the window had the focus: no press of its own, the bit says it.
    PushKey(true, SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT);
    PushKey(false, SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT);
    got = Drain();
    EXPECT_EQ(Pairs(got), (std::vector<MsgW>{{WM_SYSKEYDOWN, VK_MENU},
                                             {WM_SYSKEYDOWN, VK_F4},
                                             {WM_SYSKEYUP, VK_MENU},
                                             {WM_KEYDOWN, VK_MENU},
                                             {WM_KEYDOWN, 'E'},
                                             {WM_KEYDOWN, VK_CONTROL},
                                             {WM_KEYDOWN, 'C'},
                                             {WM_SYSKEYDOWN, VK_RETURN},
                                             {WM_SYSKEYUP, VK_RETURN}}));
    EXPECT_EQ(KeyFlags(got), "A,A,RU,E,,,,A,RUA,"); // a system Return types no carriage return

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

// Every row: a key position, the layout's symbol and the modifiers, with the virtual key and
// whether it is an extended (grey) key; a key without a virtual key posts nothing.
TEST_F(SdlEventsTest, EveryKindOfKeyPositionHasItsVirtualKey)
{
    struct Row {
        SDL_Scancode scan;
        SDL_Keycode sym;
        uint16_t mod;
        int vk;
        bool extended;
    };
    // The first row is AZERTY's A key: the layout's letter counts.
    const Row rows[] = {{SDL_SCANCODE_Q, 'a', 0, 'A', false},
                        {SDL_SCANCODE_Z, 0x44F, 0, 'Z', false},
                        {SDL_SCANCODE_SEMICOLON, 'm', 0, 'M', false},
                        {SDL_SCANCODE_1, '&', 0, '1', false},
                        {SDL_SCANCODE_9, '9', 0, '9', false},
                        {SDL_SCANCODE_0, '0', 0, '0', false},
                        {SDL_SCANCODE_F12, SDLK_F12, 0, VK_F1 + 11, false},
                        {SDL_SCANCODE_F13, SDLK_F13, 0, VK_F1 + 12, false},
                        {SDL_SCANCODE_F24, SDLK_F24, 0, VK_F1 + 23, false},
                        {SDL_SCANCODE_KP_0, SDLK_KP_0, KMOD_NUM, VK_NUMPAD0, false},
                        {SDL_SCANCODE_KP_0, SDLK_KP_0, 0, VK_INSERT, false},
                        {SDL_SCANCODE_KP_2, SDLK_KP_2, KMOD_NUM, VK_NUMPAD2, false},
                        {SDL_SCANCODE_KP_2, SDLK_KP_2, 0, VK_DOWN, false},
                        {SDL_SCANCODE_KP_3, SDLK_KP_3, KMOD_NUM, VK_NUMPAD3, false},
                        {SDL_SCANCODE_KP_3, SDLK_KP_3, 0, VK_NEXT, false},
                        {SDL_SCANCODE_KP_4, SDLK_KP_4, KMOD_NUM, VK_NUMPAD4, false},
                        {SDL_SCANCODE_KP_4, SDLK_KP_4, 0, VK_LEFT, false},
                        {SDL_SCANCODE_KP_6, SDLK_KP_6, KMOD_NUM, VK_NUMPAD6, false},
                        {SDL_SCANCODE_KP_6, SDLK_KP_6, 0, VK_RIGHT, false},
                        {SDL_SCANCODE_KP_8, SDLK_KP_8, KMOD_NUM, VK_NUMPAD8, false},
                        {SDL_SCANCODE_KP_8, SDLK_KP_8, 0, VK_UP, false},
                        {SDL_SCANCODE_KP_9, SDLK_KP_9, KMOD_NUM, VK_NUMPAD9, false},
                        {SDL_SCANCODE_KP_9, SDLK_KP_9, 0, VK_PRIOR, false},
                        {SDL_SCANCODE_KP_1, SDLK_KP_1, KMOD_NUM, VK_NUMPAD1, false},
                        {SDL_SCANCODE_KP_5, SDLK_KP_5, KMOD_NUM, VK_NUMPAD5, false},
                        {SDL_SCANCODE_KP_MULTIPLY, SDLK_KP_MULTIPLY, 0, VK_MULTIPLY, false},
                        {SDL_SCANCODE_KP_MINUS, SDLK_KP_MINUS, 0, VK_SUBTRACT, false},
                        {SDL_SCANCODE_KP_PLUS, SDLK_KP_PLUS, 0, VK_ADD, false},
                        {SDL_SCANCODE_KP_DIVIDE, SDLK_KP_DIVIDE, 0, VK_DIVIDE, true},
                        {SDL_SCANCODE_INSERT, SDLK_INSERT, 0, VK_INSERT, true},
                        {SDL_SCANCODE_DELETE, SDLK_DELETE, 0, VK_DELETE, true},
                        {SDL_SCANCODE_HOME, SDLK_HOME, 0, VK_HOME, true},
                        {SDL_SCANCODE_END, SDLK_END, 0, VK_END, true},
                        {SDL_SCANCODE_PAGEUP, SDLK_PAGEUP, 0, VK_PRIOR, true},
                        {SDL_SCANCODE_PAGEDOWN, SDLK_PAGEDOWN, 0, VK_NEXT, true},
                        {SDL_SCANCODE_RIGHT, SDLK_RIGHT, 0, VK_RIGHT, true},
                        {SDL_SCANCODE_UP, SDLK_UP, 0, VK_UP, true},
                        {SDL_SCANCODE_DOWN, SDLK_DOWN, 0, VK_DOWN, true},
                        {SDL_SCANCODE_NUMLOCKCLEAR, SDLK_NUMLOCKCLEAR, 0, VK_NUMLOCK, true},
                        {SDL_SCANCODE_PRINTSCREEN, SDLK_PRINTSCREEN, 0, VK_SNAPSHOT, true},
                        {SDL_SCANCODE_APPLICATION, SDLK_APPLICATION, 0, VK_APPS, true},
                        {SDL_SCANCODE_LGUI, SDLK_LGUI, 0, VK_LWIN, true},
                        {SDL_SCANCODE_RGUI, SDLK_RGUI, 0, VK_RWIN, true},
                        {SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, 0, VK_SHIFT, true},
                        {SDL_SCANCODE_MODE, SDLK_MODE, 0, VK_MENU, true},
                        {SDL_SCANCODE_SPACE, ' ', 0, VK_SPACE, false},
                        {SDL_SCANCODE_MINUS, '-', 0, VK_OEM_MINUS, false},
                        {SDL_SCANCODE_EQUALS, '=', 0, VK_OEM_PLUS, false},
                        {SDL_SCANCODE_LEFTBRACKET, '[', 0, VK_OEM_4, false},
                        {SDL_SCANCODE_RIGHTBRACKET, ']', 0, VK_OEM_6, false},
                        {SDL_SCANCODE_BACKSLASH, '\\', 0, VK_OEM_5, false},
                        {SDL_SCANCODE_NONUSHASH, '#', 0, VK_OEM_5, false},
                        {SDL_SCANCODE_APOSTROPHE, '\'', 0, VK_OEM_7, false},
                        {SDL_SCANCODE_GRAVE, '`', 0, VK_OEM_3, false},
                        {SDL_SCANCODE_COMMA, ',', 0, VK_OEM_COMMA, false},
                        {SDL_SCANCODE_PERIOD, '.', 0, VK_OEM_PERIOD, false},
                        {SDL_SCANCODE_SLASH, '/', 0, VK_OEM_2, false},
                        {SDL_SCANCODE_NONUSBACKSLASH, '<', 0, VK_OEM_102, false},
                        {SDL_SCANCODE_CAPSLOCK, SDLK_CAPSLOCK, 0, VK_CAPITAL, false},
                        {SDL_SCANCODE_SCROLLLOCK, SDLK_SCROLLLOCK, 0, VK_SCROLL, false},
                        {SDL_SCANCODE_PAUSE, SDLK_PAUSE, 0, VK_PAUSE, false},
                        {SDL_SCANCODE_AUDIOPLAY, SDLK_AUDIOPLAY, 0, 0, false}};
    std::vector<std::pair<int, bool>> expected;
    for (const Row& row : rows) {
        PushKey(true, row.scan, row.sym, row.mod);
        if (row.vk)
            expected.emplace_back(row.vk, row.extended);
    }
    std::vector<std::pair<int, bool>> got;
    for (const Message& m : Drain()) {
        EXPECT_EQ(m.message, uint32_t(WM_KEYDOWN)) << m.wParam;
        got.emplace_back(int(m.wParam), (m.lParam & kKeyExtendedBit) != 0);
    }
    EXPECT_EQ(got, expected);

    // F10 is a system key, without Alt too; with Ctrl it is not.
    PushKey(true, SDL_SCANCODE_F10, SDLK_F10);
    PushKey(false, SDL_SCANCODE_F10, SDLK_F10);
    PushKey(true, SDL_SCANCODE_F10, SDLK_F10, KMOD_LCTRL);
    const std::vector<Message> f10 = Drain();
    EXPECT_EQ(Kinds(f10), (std::vector<uint32_t>{WM_SYSKEYDOWN, WM_SYSKEYUP, WM_KEYDOWN}));
    EXPECT_EQ(KeyFlags(f10), ",RU,,"); // no Alt was held
}

// The character of a key in each state of the modifiers, on the US layout the dummy display has.
TEST_F(SdlEventsTest, KeysGiveTheirCharactersUnderEachModifier)
{
    // kLow: bit 0 (a toggle, not a hold) on Shift, Ctrl, Alt and AltGr, which must count for
    // nothing.
    enum : uint8_t { kShift = 1, kCaps = 2, kCtrl = 4, kAlt = 8, kAltGr = 16, kLow = 32 };
    const std::tuple<int, int, uint8_t, char16_t> rows[] = {
        {'C', SDL_SCANCODE_C, kCtrl, 3},
        {'Z', SDL_SCANCODE_Z, kCtrl, 26},
        {VK_OEM_4, SDL_SCANCODE_LEFTBRACKET, kCtrl, 0},
        {'C', SDL_SCANCODE_C, kCtrl | kAlt, u'c'},
        {'A', SDL_SCANCODE_A, 0, u'a'},
        {'A', SDL_SCANCODE_A, kShift, u'A'},
        {'A', SDL_SCANCODE_A, kCaps, u'A'},
        {'A', SDL_SCANCODE_A, kShift | kCaps, u'a'},
        {'A', SDL_SCANCODE_A, kLow, u'a'},
        {'1', SDL_SCANCODE_1, kShift, u'!'},
        {'0', SDL_SCANCODE_0, kShift, u')'},
        {'1', SDL_SCANCODE_1, kCaps, u'1'},
        {VK_OEM_3, SDL_SCANCODE_GRAVE, kShift, u'~'},
        {VK_OEM_2, SDL_SCANCODE_SLASH, 0, u'/'},
        {'A', SDL_SCANCODE_A, kAltGr, 0}, // AltGr types only what the layout was seen to type
        {VK_BACK, SDL_SCANCODE_BACKSPACE, 0, 8},
        {VK_TAB, SDL_SCANCODE_TAB, 0, 9},
        {VK_RETURN, SDL_SCANCODE_RETURN, 0, 13},
        {VK_ESCAPE, SDL_SCANCODE_ESCAPE, 0, 27},
        {VK_SPACE, SDL_SCANCODE_SPACE, kShift, u' '},
        {VK_MULTIPLY, SDL_SCANCODE_KP_MULTIPLY, 0, u'*'},
        {VK_ADD, SDL_SCANCODE_KP_PLUS, 0, u'+'},
        {VK_SUBTRACT, SDL_SCANCODE_KP_MINUS, 0, u'-'},
        {VK_DECIMAL, SDL_SCANCODE_KP_PERIOD, 0, u'.'},
        {VK_DIVIDE, SDL_SCANCODE_KP_DIVIDE, 0, u'/'},
        {VK_NUMPAD0, SDL_SCANCODE_KP_0, 0, u'0'},
        {VK_NUMPAD9, SDL_SCANCODE_KP_9, 0, u'9'},
        {VK_F1, SDL_SCANCODE_F1, 0, 0},
        {VK_DELETE, SDL_SCANCODE_DELETE, 0, 0},
        {0, SDL_SCANCODE_RETURN, 0, 0},
        {'A', 0, 0, 0},
        {'A', SDL_NUM_SCANCODES, 0, 0}};
    for (auto [vk, scan, mods, expected] : rows) {
        uint8_t state[256] = {};
        state[VK_SHIFT] = mods & kShift ? 0x80 : 0;
        state[VK_CAPITAL] = mods & kCaps ? 0x01 : 0;
        state[VK_CONTROL] = mods & kCtrl ? 0x80 : 0;
        state[VK_MENU] = mods & (kAlt | kAltGr) ? 0x80 : 0;
        state[VK_RMENU] = mods & kAltGr ? 0x80 : 0;
        if (mods & kLow)
            state[VK_SHIFT] = state[VK_CONTROL] = state[VK_MENU] = state[VK_RMENU] = 0x01;
        EXPECT_EQ(int(KeyToChar(vk, scan, state)), int(expected))
            << vk << " " << scan << " " << int(mods);
    }
}

// The modifiers as the program reads them: each side apart, both together, toggles set and read.
TEST_F(SdlEventsTest, ModifierStateAndTogglesReadBackThroughEveryCall)
{
    SDL_SetModState(SDL_Keymod(KMOD_LSHIFT | KMOD_RCTRL | KMOD_RALT));
    const std::pair<int, bool> held[] = {
        {VK_SHIFT, true},     {VK_LSHIFT, true},   {VK_RSHIFT, false}, {VK_CONTROL, true},
        {VK_LCONTROL, false}, {VK_RCONTROL, true}, {VK_MENU, true},    {VK_LMENU, false},
        {VK_RMENU, true},     {'A', false},        {'5', false},       {VK_LBUTTON, false},
        {VK_RBUTTON, false},  {VK_MBUTTON, false}, {VK_F1, false}};
    for (auto [vk, down] : held)
        EXPECT_EQ(IsKeyDown(vk), down) << vk;
    SDL_SetModState(SDL_Keymod(KMOD_RSHIFT | KMOD_LCTRL | KMOD_LALT));
    for (auto [vk, down] : {std::pair{VK_LSHIFT, false},
                            {VK_RSHIFT, true},
                            {VK_LCONTROL, true},
                            {VK_LMENU, true},
                            {VK_RMENU, false},
                            {VK_RCONTROL, false},
                            {VK_SHIFT, true},
                            {VK_CONTROL, true},
                            {VK_MENU, true}})
        EXPECT_EQ(IsKeyDown(vk), down) << vk;

    SDL_SetModState(KMOD_NONE);
    SetKeyToggled(VK_CAPITAL, true);
    SetKeyToggled(VK_SCROLL, true);
    SetKeyToggled(VK_NUMLOCK, true);
    SetKeyToggled(VK_NUMLOCK, false);
    SetKeyToggled(VK_F1, true); // no toggle: nothing changes
    EXPECT_EQ(SDL_GetModState(), KMOD_CAPS | KMOD_SCROLL);
    EXPECT_EQ(std::tuple(IsKeyToggled(VK_CAPITAL), IsKeyToggled(VK_SCROLL),
                         IsKeyToggled(VK_NUMLOCK), IsKeyToggled('A')),
              std::tuple(true, true, false, false));

    SDL_SetModState(SDL_Keymod(KMOD_CAPS | KMOD_LSHIFT | KMOD_RALT));
    uint8_t state[256];
    std::memset(state, 0xAA, sizeof state);
    GetKeyboardState(state);
    std::vector<int> set;
    for (int vk = 0; vk < 256; ++vk)
        if (state[vk])
            set.push_back(vk << 8 | state[vk]);
    EXPECT_EQ(set,
              (std::vector<int>{VK_SHIFT << 8 | 0x80, VK_MENU << 8 | 0x80, VK_CAPITAL << 8 | 0x01,
                                VK_LSHIFT << 8 | 0x80, VK_RMENU << 8 | 0x80}));
    SDL_SetModState(KMOD_NONE);
}

TEST_F(SdlEventsTest, TypedTextBecomesWindows1251Characters)
{
    PushKey(true, SDL_SCANCODE_SEMICOLON, 0x436);      // the Cyrillic layout's key for "zh"
    PushText("\xD0\x96");                              // U+0416
    PushText("a\xE2\x82\xAC");                         // 'a' and the euro sign (0x88 in 1251)
    PushText("\xC3\xA9");                              // U+00E9 has no 1251 form
    PushText("\xF0\x9F\x98\x80");                      // outside the basic plane: one '?'
    PushText("\xEE\x80\x80\xF0\x9F\x98\x80\xEE\x80\x80"); // the same between two U+E000
    std::vector<std::pair<uintptr_t, intptr_t>> typed; // characters with their repeat count
    const std::vector<Message> got = Drain();
    for (const Message& m : got)
        if (m.message == WM_CHAR)
            typed.emplace_back(m.wParam, m.lParam);
    EXPECT_EQ(typed, (std::vector<std::pair<uintptr_t, intptr_t>>{
                         {0xC6, 1}, {'a', 1}, {0x88, 1}, {'?', 1}, {'?', 1}, {'?', 1}, {'?', 1}, {'?', 1}}));
    EXPECT_EQ(got.size(), typed.size() + 1); // text posts characters and nothing else

    // The key learned what it typed: its character can be asked for afterwards.
    uint8_t state[256] = {};
    EXPECT_EQ(KeyToChar(VK_OEM_1, SDL_SCANCODE_SEMICOLON, state), char16_t(0x416));
    PushKey(true, SDL_Scancode(1), 'q'); // the lowest key position learns as well
    PushText("\xD0\xB9");
    Drain();
    EXPECT_EQ(KeyToChar('Q', 1, state), char16_t(0x439));

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

    // Every button held and the Shift and Ctrl keys show in the flags.
    SDL_SetModState(SDL_Keymod(KMOD_LSHIFT | KMOD_RCTRL));
    move.motion.x = 1, move.motion.y = 1;
    move.motion.state = SDL_BUTTON_RMASK | SDL_BUTTON_MMASK | SDL_BUTTON_X1MASK | SDL_BUTTON_X2MASK;
    Push(move, SDL_MOUSEMOTION);
    got = Drain();
    SDL_SetModState(KMOD_NONE);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].wParam, uintptr_t(MK_RBUTTON | MK_MBUTTON | MK_XBUTTON1 | MK_XBUTTON2 |
                                       MK_SHIFT | MK_CONTROL));

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

// A position far outside the window reaches the program as the nearest one a 16-bit
// coordinate can hold, never wrapped round to the other side.
TEST_F(SdlEventsTest, FarPositionsSaturateAtTheEdgeOfSixteenBits)
{
    struct Case {
        int x, y;         // where the pointer is, from the window's corner
        int seenX, seenY; // what the program reads
    };
    const Case cases[] = {
        {-32769, 32768, -32768, 32767},  {-32768, 32767, -32768, 32767},
        {-40000, 100000, -32768, 32767}, {32768, -32769, 32767, -32768},
        {32767, -32768, 32767, -32768},  {-1, 0, -1, 0},
    };
    for (const Case& c : cases) {
        SDL_Event move{};
        move.motion.x = c.x, move.motion.y = c.y;
        Push(move, SDL_MOUSEMOTION);
        const std::vector<Message> got = Drain();
        ASSERT_EQ(got.size(), 1u) << c.x;
        EXPECT_EQ(Xy(got[0]), std::pair(c.seenX, c.seenY)) << c.x << "," << c.y;
    }
}

// A window drawn larger than its client area (its picture scaled up) gives the program mouse
// positions in client pixels, as the conversion the window offers does.
TEST_F(SdlEventsTest, MousePositionsInAScaledWindowAreClientPixels)
{
    SDL_Window* sdlWindow = SDL_GetWindowFromID(window->GetId());
    SDL_SetWindowSize(sdlWindow, 1600, 1200);
    Drain(); // the size change
    const std::pair<int, int> cases[][2] = {
        {{800, 600}, {400, 300}}, {{0, 0}, {0, 0}}, {{1599, 1199}, {799, 599}}, {{-4, 10}, {-2, 5}},
    };
    for (const auto& c : cases) {
        SDL_Event move{};
        move.motion.x = c[0].first, move.motion.y = c[0].second;
        Push(move, SDL_MOUSEMOTION);
        const std::vector<Message> got = Drain();
        ASSERT_EQ(got.size(), 1u);
        int x = c[0].first, y = c[0].second;
        window->WindowToClient(x, y);
        EXPECT_EQ(Xy(got[0]), c[1]) << c[0].first << "," << c[0].second;
        EXPECT_EQ(std::pair(x, y), c[1]);
    }
    SDL_SetWindowSize(sdlWindow, 800, 600);
    Drain();
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

    // Each event alone: what it posts and nothing more; another window's events post nothing.
    const std::pair<uint8_t, std::vector<uint32_t>> alone[] = {
        {SDL_WINDOWEVENT_CLOSE, {WM_CLOSE}},
        {SDL_WINDOWEVENT_SIZE_CHANGED, {WM_PAINT}},
        {SDL_WINDOWEVENT_SHOWN, {WM_PAINT}},
        {SDL_WINDOWEVENT_RESTORED, {WM_PAINT}}, // no focus: not activated
        {SDL_WINDOWEVENT_MOVED, {}},
        {SDL_WINDOWEVENT_FOCUS_GAINED, {WM_ACTIVATEAPP, WM_ACTIVATE}}};
    for (const auto& [what, kinds] : alone) {
        PushWindowEvent(what);
        EXPECT_EQ(Kinds(Drain()), kinds) << int(what);
    }
    SDL_Event other{};
    other.type = SDL_WINDOWEVENT;
    other.window.event = SDL_WINDOWEVENT_CLOSE;
    other.window.windowID = window->GetId() + 1;
    SDL_PushEvent(&other);
    other.type = SDL_RENDER_TARGETS_RESET; // the renderer lost its pictures: everything is drawn again
    SDL_PushEvent(&other);
    EXPECT_EQ(Kinds(Drain()), std::vector<uint32_t>{WM_PAINT});

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

    // The wait lasts its whole time when nothing comes, and none when something waits.
    ManualClock clock;
    const uint32_t start = GetTickMs();
    WaitForInput(250);
    EXPECT_EQ(GetTickMs() - start, 250u);
    PostMessage(WM_CHAR, 'y', 1);
    WaitForInput(250);
    EXPECT_EQ(GetTickMs() - start, 250u);
    EXPECT_EQ(Kinds(Drain()), std::vector<uint32_t>{WM_CHAR});
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

TEST_F(SdlEventsTest, WindowPropertiesReadBackAsSet)
{
    bool failed = true;
    EXPECT_TRUE(!Window::Create("none", 0, 10, &failed) && !Window::Create("none", 10, -1) &&
                !failed);

    window->SetTitle("\xCF\xF0\xE8\xE2\xE5\xF2"); // Windows-1251 in, the same out
    EXPECT_EQ(window->GetTitle(), "\xCF\xF0\xE8\xE2\xE5\xF2");
    window->SetTitle(nullptr);
    EXPECT_EQ(window->GetTitle(), "");

    EXPECT_FALSE(window->IsVisible());
    window->Show();
    EXPECT_TRUE(window->IsVisible() && !window->IsMinimized());
    window->Hide();
    EXPECT_FALSE(window->IsVisible());
    window->Restore();
    EXPECT_TRUE(window->IsVisible());

    int frameW = -1, frameH = -1;
    window->GetFrameSize(frameW, frameH);
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(SDL_GetWindowFromID(window->GetId()), &top, &left, &bottom,
                                 &right) != 0)
        top = left = bottom = right = 0;
    EXPECT_EQ(std::pair(frameW, frameH), std::pair(left + right, top + bottom));
    window->SetPosition(40, 30);
    int x = 0, y = 0;
    window->GetPosition(x, y);
    EXPECT_EQ(std::pair(x, y), std::pair(40, 30));

    // A size of nothing is refused.
    int w = 0, h = 0;
    for (auto [askW, askH, wantW, wantH] : {std::tuple{640, 480, 640, 480},
                                            {0, 300, 640, 480},
                                            {300, -1, 640, 480},
                                            {800, 600, 800, 600}}) {
        window->SetClientSize(askW, askH);
        window->GetClientSize(w, h);
        EXPECT_EQ(std::pair(w, h), std::pair(wantW, wantH)) << askW << "x" << askH;
    }

    window->ConfineCursor(true);
    EXPECT_TRUE(window->IsCursorConfined());
    window->ConfineCursor(false);
    EXPECT_FALSE(window->IsCursorConfined());
    window->WarpCursor(100, 50);
    SDL_PumpEvents();
    window->GetCursorClientPos(x, y);
    EXPECT_EQ(std::pair(x, y), std::pair(100, 50));

    SDL_DisplayMode desktop{};
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
    EXPECT_TRUE(GetScreenSize(w, h));
    EXPECT_EQ(std::pair(w, h), std::pair(desktop.w, desktop.h));
}

TEST_F(SdlEventsTest, CursorPicturesRegisterOnceAndVisibilityIsAState)
{
    const std::vector<uint32_t> pixels(256 * 257, 0xFF102030);
    const std::tuple<int, const uint32_t*, int, int, bool> rows[] = {
        {1, pixels.data(), 32, 32, true},  {1, pixels.data(), 16, 16, false}, // the number is taken
        {2, nullptr, 32, 32, false},       {3, pixels.data(), 0, 32, false},
        {4, pixels.data(), 32, -1, false}, {5, pixels.data(), 257, 1, false},
        {6, pixels.data(), 1, 257, false}, {7, pixels.data(), 256, 256, true},
        {8, pixels.data(), 1, 1, true}};
    for (auto [number, argb, w, h, registered] : rows)
        EXPECT_EQ(RegisterCursorResource(number, argb, w, h, -3, 99), registered) << number;
    EXPECT_TRUE(LoadCursorResource(1) && LoadCursorResource(7) &&
                LoadCursorResource(1) != LoadCursorResource(7));
    EXPECT_EQ(LoadCursorResource(2), nullptr);
    CursorImage* arrow = GetArrowCursor();
    EXPECT_TRUE(arrow && arrow == GetArrowCursor());
    SetCursorImage(LoadCursorResource(1));
    SetCursorImage(nullptr); // the dummy display shows no pictures: only nothing may break
    ClearCursorResources();
    EXPECT_EQ(LoadCursorResource(1), nullptr);
    EXPECT_TRUE(RegisterCursorResource(1, pixels.data(), 8, 8, 0, 0)); // free again
    ClearCursorResources();

    ShowCursor(false);
    ShowCursor(false);
    EXPECT_FALSE(IsCursorShown());
    ShowCursor(true); // one show undoes any number of hides
    EXPECT_TRUE(IsCursorShown());
}

TEST_F(SdlEventsTest, UploadsGatherUntilTheFlipAndRefuseBadImages)
{
    const int w = 800, h = 600;
    std::vector<uint8_t> image(size_t(w) * h * 3, 0);
    ASSERT_TRUE(window->Present(image.data(), w, h, w * 3, 0, 0, w - 1, h - 1));
    std::memcpy(image.data() + (5 * w + 5) * 3, "\x01\x02\x03", 3);
    std::memcpy(image.data() + (599 * w + 799) * 3, "\x04\x05\x06", 3);
    EXPECT_TRUE(window->Upload(image.data(), w, h, w * 3, 5, 5, 5, 5));
    EXPECT_TRUE(window->Upload(image.data(), w, h, w * 3, 790, 590, 900, 700));
    EXPECT_FALSE(
        window->Upload(image.data(), w, h, w * 3 - 1, 0, 0, 1, 1)); // a pitch short of a row
    EXPECT_FALSE(window->Upload(image.data(), w, h - 1, w * 3, 0, 0, 1, 1));
    EXPECT_FALSE(window->Upload(image.data(), w, h, w * 3, 10, 0, 5, 1));
    window->Flip();
    SDL_Renderer* renderer = SDL_GetRenderer(SDL_GetWindowFromID(window->GetId()));
    uint8_t rgb[6] = {};
    SDL_Rect first{5, 5, 1, 1}, last{799, 599, 1, 1};
    ASSERT_EQ(SDL_RenderReadPixels(renderer, &first, SDL_PIXELFORMAT_RGB24, rgb, 3), 0);
    ASSERT_EQ(SDL_RenderReadPixels(renderer, &last, SDL_PIXELFORMAT_RGB24, rgb + 3, 3), 0);
    EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 6), (std::vector<uint8_t>{3, 2, 1, 6, 5, 4}));
}

TEST_F(SdlEventsTest, FullScreenKeepsClientCoordinatesAndRestoresTheSize)
{
    window->Show();
    bool real = true;
    ASSERT_TRUE(window->EnterFullscreen(&real));
    EXPECT_TRUE(window->IsFullscreen());
    // A real mode only where the display offers one of the client's size.
    bool offered = false;
    for (int i = 0; i < SDL_GetNumDisplayModes(0); ++i) {
        SDL_DisplayMode mode{};
        offered |= SDL_GetDisplayMode(0, i, &mode) == 0 && mode.w == 800 && mode.h == 600;
    }
    EXPECT_EQ(real, offered);
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

// A window of the display's own size takes the real mode; leaving gives the window back.
TEST_F(SdlEventsTest, FullScreenInARealModeOfTheClientSize)
{
    SDL_DisplayMode mode{};
    ASSERT_EQ(SDL_GetDisplayMode(0, 0, &mode), 0);
    const int bits = int(SDL_BITSPERPIXEL(mode.format));
    if (bits != 32 && bits != 24 && bits != 16)
        GTEST_SKIP() << "the display offers no mode of a depth the window takes";
    std::unique_ptr<Window> real = Window::Create("real", mode.w, mode.h);
    ASSERT_NE(real, nullptr);
    bool realMode = false;
    ASSERT_TRUE(real->EnterFullscreen(&realMode));
    EXPECT_TRUE(realMode && real->IsFullscreen());
    EXPECT_TRUE(real->EnterFullscreen(&realMode)); // already there
    EXPECT_TRUE(realMode);
    real->LeaveFullscreen();
    int w = 0, h = 0;
    real->GetClientSize(w, h);
    EXPECT_EQ(std::tuple(real->IsFullscreen(), w, h), std::tuple(false, mode.w, mode.h));
    real.reset(); // the window that is left stays usable
    EXPECT_TRUE(GetScreenSize(w, h));
}

TEST_F(SdlEventsTest, ClipboardRoundTripsWindows1251ThroughUtf8AndNoBoxesWithoutADisplay)
{
    ASSERT_TRUE(SetClipboardText("\xCF\xF0\xE8\xE2\xE5\xF2 1", 8));
    std::string text;
    ASSERT_TRUE(GetClipboardText(text));
    EXPECT_EQ(text, "\xCF\xF0\xE8\xE2\xE5\xF2 1");
    ASSERT_TRUE(SetClipboardText("", 0)); // an empty clipboard holds no text
    EXPECT_FALSE(GetClipboardText(text));
    EXPECT_EQ(text, "");
    EXPECT_EQ(GetMessageBoxBackend(), nullptr); // the dummy driver is no display a person can answer on
}

} // namespace
