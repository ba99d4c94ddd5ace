// Virtual keys from SDL key positions, the keyboard state, and the character a key types.

#include <SDL.h>

#include <cstring>

#include "platform/window/keyboard.h"
#include "platform/window/messages.h"
#include "platform/sdl/sdl_internal.h"

namespace platform {

namespace sdl {

int ScancodeToVirtualKey(SDL_Scancode sc, SDL_Keycode sym, uint16_t mod, bool& extended)
{
    extended = false;
    // Letters follow the layout where it has Latin letters (so AZERTY's A is 'A'); layouts
    // without them (Cyrillic) keep the key's position, as the system's virtual keys do.
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) {
        if (sym >= 'a' && sym <= 'z')
            return int(sym - 'a' + 'A');
        return int(sc - SDL_SCANCODE_A + 'A');
    }
    if (sym >= 'a' && sym <= 'z')
        return int(sym - 'a' + 'A');
    if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9)
        return int(sc - SDL_SCANCODE_1 + '1');
    if (sc == SDL_SCANCODE_0)
        return '0';
    if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12)
        return VK_F1 + int(sc - SDL_SCANCODE_F1);
    if (sc >= SDL_SCANCODE_F13 && sc <= SDL_SCANCODE_F24)
        return VK_F1 + 12 + int(sc - SDL_SCANCODE_F13);

    // The keypad: with Num Lock on its keys are digits, with it off they move.
    const bool numLock = (mod & KMOD_NUM) != 0;
    switch (sc) {
    case SDL_SCANCODE_KP_1: return numLock ? VK_NUMPAD1 : VK_END;
    case SDL_SCANCODE_KP_2: return numLock ? VK_NUMPAD2 : VK_DOWN;
    case SDL_SCANCODE_KP_3: return numLock ? VK_NUMPAD3 : VK_NEXT;
    case SDL_SCANCODE_KP_4: return numLock ? VK_NUMPAD4 : VK_LEFT;
    case SDL_SCANCODE_KP_5: return numLock ? VK_NUMPAD5 : VK_CLEAR;
    case SDL_SCANCODE_KP_6: return numLock ? VK_NUMPAD6 : VK_RIGHT;
    case SDL_SCANCODE_KP_7: return numLock ? VK_NUMPAD7 : VK_HOME;
    case SDL_SCANCODE_KP_8: return numLock ? VK_NUMPAD8 : VK_UP;
    case SDL_SCANCODE_KP_9: return numLock ? VK_NUMPAD9 : VK_PRIOR;
    case SDL_SCANCODE_KP_0: return numLock ? VK_NUMPAD0 : VK_INSERT;
    case SDL_SCANCODE_KP_PERIOD: return numLock ? VK_DECIMAL : VK_DELETE;
    case SDL_SCANCODE_KP_MULTIPLY: return VK_MULTIPLY;
    case SDL_SCANCODE_KP_MINUS: return VK_SUBTRACT;
    case SDL_SCANCODE_KP_PLUS: return VK_ADD;
    default: break;
    }

    extended = true;
    switch (sc) {
    case SDL_SCANCODE_KP_DIVIDE: return VK_DIVIDE;
    case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
    case SDL_SCANCODE_INSERT: return VK_INSERT;
    case SDL_SCANCODE_DELETE: return VK_DELETE;
    case SDL_SCANCODE_HOME: return VK_HOME;
    case SDL_SCANCODE_END: return VK_END;
    case SDL_SCANCODE_PAGEUP: return VK_PRIOR;
    case SDL_SCANCODE_PAGEDOWN: return VK_NEXT;
    case SDL_SCANCODE_LEFT: return VK_LEFT;
    case SDL_SCANCODE_RIGHT: return VK_RIGHT;
    case SDL_SCANCODE_UP: return VK_UP;
    case SDL_SCANCODE_DOWN: return VK_DOWN;
    case SDL_SCANCODE_NUMLOCKCLEAR: return VK_NUMLOCK;
    case SDL_SCANCODE_PRINTSCREEN: return VK_SNAPSHOT;
    case SDL_SCANCODE_APPLICATION: return VK_APPS;
    case SDL_SCANCODE_LGUI: return VK_LWIN;
    case SDL_SCANCODE_RGUI: return VK_RWIN;
    case SDL_SCANCODE_RCTRL: return VK_CONTROL;
    case SDL_SCANCODE_RSHIFT: return VK_SHIFT;
    case SDL_SCANCODE_RALT: return VK_MENU;
    case SDL_SCANCODE_MODE: return VK_MENU; // AltGr on some X setups
    default: break;
    }

    extended = false;
    switch (sc) {
    case SDL_SCANCODE_RETURN: return VK_RETURN;
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_TAB: return VK_TAB;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_MINUS: return VK_OEM_MINUS;
    case SDL_SCANCODE_EQUALS: return VK_OEM_PLUS;
    case SDL_SCANCODE_LEFTBRACKET: return VK_OEM_4;
    case SDL_SCANCODE_RIGHTBRACKET: return VK_OEM_6;
    case SDL_SCANCODE_BACKSLASH: return VK_OEM_5;
    case SDL_SCANCODE_NONUSHASH: return VK_OEM_5;
    case SDL_SCANCODE_SEMICOLON: return VK_OEM_1;
    case SDL_SCANCODE_APOSTROPHE: return VK_OEM_7;
    case SDL_SCANCODE_GRAVE: return VK_OEM_3;
    case SDL_SCANCODE_COMMA: return VK_OEM_COMMA;
    case SDL_SCANCODE_PERIOD: return VK_OEM_PERIOD;
    case SDL_SCANCODE_SLASH: return VK_OEM_2;
    case SDL_SCANCODE_NONUSBACKSLASH: return VK_OEM_102;
    case SDL_SCANCODE_CAPSLOCK: return VK_CAPITAL;
    case SDL_SCANCODE_SCROLLLOCK: return VK_SCROLL;
    case SDL_SCANCODE_PAUSE: return VK_PAUSE;
    case SDL_SCANCODE_LCTRL: return VK_CONTROL;
    case SDL_SCANCODE_LSHIFT: return VK_SHIFT;
    case SDL_SCANCODE_LALT: return VK_MENU;
    default: break;
    }
    return 0;
}

} // namespace sdl

namespace {

bool ScancodeDown(const Uint8* keys, int numKeys, SDL_Scancode sc)
{
    return keys && int(sc) < numKeys && keys[sc] != 0;
}

// Position of a letter or digit key on a US keyboard, for the key state of such keys.
SDL_Scancode PositionOf(int vk)
{
    if (vk >= 'A' && vk <= 'Z')
        return SDL_Scancode(SDL_SCANCODE_A + (vk - 'A'));
    if (vk >= '1' && vk <= '9')
        return SDL_Scancode(SDL_SCANCODE_1 + (vk - '1'));
    if (vk == '0')
        return SDL_SCANCODE_0;
    return SDL_SCANCODE_UNKNOWN;
}

// The unshifted character of a key position on a US keyboard, 0 for other keys.
SDL_Keycode UsKeyAt(int scanCode)
{
    if (scanCode >= SDL_SCANCODE_A && scanCode <= SDL_SCANCODE_Z)
        return SDL_Keycode('a' + (scanCode - SDL_SCANCODE_A));
    if (scanCode >= SDL_SCANCODE_1 && scanCode <= SDL_SCANCODE_9)
        return SDL_Keycode('1' + (scanCode - SDL_SCANCODE_1));
    switch (scanCode) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_MINUS: return '-';
    case SDL_SCANCODE_EQUALS: return '=';
    case SDL_SCANCODE_LEFTBRACKET: return '[';
    case SDL_SCANCODE_RIGHTBRACKET: return ']';
    case SDL_SCANCODE_BACKSLASH: return '\\';
    case SDL_SCANCODE_SEMICOLON: return ';';
    case SDL_SCANCODE_APOSTROPHE: return '\'';
    case SDL_SCANCODE_GRAVE: return '`';
    case SDL_SCANCODE_COMMA: return ',';
    case SDL_SCANCODE_PERIOD: return '.';
    case SDL_SCANCODE_SLASH: return '/';
    default: return SDLK_UNKNOWN;
    }
}

char16_t UsShifted(char16_t c)
{
    static const char kPlain[] = "1234567890-=[]\\;',./`";
    static const char kShifted[] = "!@#$%^&*()_+{}|:\"<>?~";
    for (int i = 0; kPlain[i]; ++i) {
        if (c == char16_t(kPlain[i]))
            return char16_t(kShifted[i]);
    }
    return c;
}

} // namespace

bool IsKeyDown(int vk)
{
    const SDL_Keymod mod = SDL_GetModState();
    switch (vk) {
    case VK_SHIFT: return (mod & KMOD_SHIFT) != 0;
    case VK_CONTROL: return (mod & KMOD_CTRL) != 0;
    case VK_MENU: return (mod & (KMOD_ALT | KMOD_MODE)) != 0;
    case VK_LSHIFT: return (mod & KMOD_LSHIFT) != 0;
    case VK_RSHIFT: return (mod & KMOD_RSHIFT) != 0;
    case VK_LCONTROL: return (mod & KMOD_LCTRL) != 0;
    case VK_RCONTROL: return (mod & KMOD_RCTRL) != 0;
    case VK_LMENU: return (mod & KMOD_LALT) != 0;
    case VK_RMENU: return (mod & (KMOD_RALT | KMOD_MODE)) != 0;
    default: break;
    }
    int numKeys = 0;
    const Uint8* keys = SDL_GetKeyboardState(&numKeys);
    const SDL_Scancode sc = PositionOf(vk);
    if (sc != SDL_SCANCODE_UNKNOWN)
        return ScancodeDown(keys, numKeys, sc);
    if (vk == VK_LBUTTON || vk == VK_RBUTTON || vk == VK_MBUTTON) {
        const uint32_t buttons = SDL_GetMouseState(nullptr, nullptr);
        const int button = vk == VK_LBUTTON ? SDL_BUTTON_LEFT
                           : vk == VK_RBUTTON ? SDL_BUTTON_RIGHT : SDL_BUTTON_MIDDLE;
        return (buttons & SDL_BUTTON(button)) != 0;
    }
    return false;
}

bool IsKeyToggled(int vk)
{
    const SDL_Keymod mod = SDL_GetModState();
    switch (vk) {
    case VK_NUMLOCK: return (mod & KMOD_NUM) != 0;
    case VK_CAPITAL: return (mod & KMOD_CAPS) != 0;
    case VK_SCROLL: return (mod & KMOD_SCROLL) != 0;
    default: return false;
    }
}

void SetKeyToggled(int vk, bool on)
{
    int bit = 0;
    if (vk == VK_NUMLOCK)
        bit = KMOD_NUM;
    else if (vk == VK_CAPITAL)
        bit = KMOD_CAPS;
    else if (vk == VK_SCROLL)
        bit = KMOD_SCROLL;
    if (!bit)
        return;
    int mod = SDL_GetModState();
    mod = on ? (mod | bit) : (mod & ~bit);
    SDL_SetModState(SDL_Keymod(mod));
}

void GetKeyboardState(uint8_t state[256])
{
    std::memset(state, 0, 256);
    static const int kModifiers[] = {VK_SHIFT,    VK_CONTROL,  VK_MENU,   VK_LSHIFT, VK_RSHIFT,
                                     VK_LCONTROL, VK_RCONTROL, VK_LMENU,  VK_RMENU,  VK_LBUTTON,
                                     VK_RBUTTON,  VK_MBUTTON};
    for (int vk : kModifiers) {
        if (IsKeyDown(vk))
            state[vk] |= 0x80;
    }
    for (int vk = '0'; vk <= 'Z'; ++vk) {
        if (PositionOf(vk) != SDL_SCANCODE_UNKNOWN && IsKeyDown(vk))
            state[vk] |= 0x80;
    }
    for (int vk : {VK_NUMLOCK, VK_CAPITAL, VK_SCROLL}) {
        if (IsKeyToggled(vk))
            state[vk] |= 0x01;
    }
}

char16_t KeyToChar(int vk, int scanCode, const uint8_t state[256])
{
    const bool shift = (state[VK_SHIFT] & 0x80) != 0;
    const bool caps = (state[VK_CAPITAL] & 0x01) != 0;
    const bool altGr = (state[VK_RMENU] & 0x80) != 0;
    const bool ctrl = (state[VK_CONTROL] & 0x80) != 0;
    const bool alt = (state[VK_MENU] & 0x80) != 0;

    if (ctrl && !alt) {
        // Control characters: Ctrl+A is 1 ... Ctrl+Z is 26.
        if (vk >= 'A' && vk <= 'Z')
            return char16_t(vk - 'A' + 1);
        return 0;
    }
    switch (vk) {
    case VK_BACK: return 8;
    case VK_TAB: return 9;
    case VK_RETURN: return 13;
    case VK_ESCAPE: return 27;
    case VK_SPACE: return u' ';
    case VK_MULTIPLY: return u'*';
    case VK_ADD: return u'+';
    case VK_SUBTRACT: return u'-';
    case VK_DECIMAL: return u'.';
    case VK_DIVIDE: return u'/';
    default: break;
    }
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9)
        return char16_t(u'0' + (vk - VK_NUMPAD0));

    // What this key typed before in the same shift state is the layout's own answer.
    const int variant = (shift ? 1 : 0) | (caps ? 2 : 0) | (altGr ? 4 : 0);
    if (char16_t learned = sdl::LookupTypedChar(scanCode, variant))
        return learned;
    if (altGr)
        return 0;

    if (scanCode <= 0 || scanCode >= SDL_NUM_SCANCODES)
        return 0;
    SDL_Keycode key = SDL_GetKeyFromScancode(SDL_Scancode(scanCode));
    if (key == SDLK_UNKNOWN)
        key = UsKeyAt(scanCode); // no keymap before the video starts
    if (key & SDLK_SCANCODE_MASK)
        return 0;
    if (key < 32 || key == 127 || key >= 0x10000)
        return 0;
    char16_t c = char16_t(key);
    const bool upper = shift != caps;
    if (c >= u'a' && c <= u'z')
        return upper ? char16_t(c - 32) : c;
    if (c >= 0x430 && c <= 0x44F) // Cyrillic а..я
        return upper ? char16_t(c - 0x20) : c;
    if (c >= 0x450 && c <= 0x45F) // ѐ..џ
        return upper ? char16_t(c - 0x50) : c;
    return shift ? UsShifted(c) : c;
}

} // namespace platform
