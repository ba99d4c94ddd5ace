#pragma once
// The engine's own key numbering (GKeyCode) made from virtual keys, so arrows, the keypad
// and a few letters mean the same to every control; the character a key types; and the
// plain-text clipboard. Main thread only.

#include <cstdint>

// 0 for any key without a code. 1..8 are the eight directions in keypad order (up-left, up,
// up-right, left, right, down-left, down, down-right), 9 the centre.
using GKeyCode = int;

enum : GKeyCode {
    kKeyNone = 0,
    kKeyUpLeft = 1,
    kKeyUp = 2,
    kKeyUpRight = 3,
    kKeyLeft = 4,
    kKeyRight = 5,
    kKeyDownLeft = 6,
    kKeyDown = 7,
    kKeyDownRight = 8,
    kKeyCentre = 9,
    kKeyEnter = 10,
    kKeyEscape = 11,
    kKeyBackspace = 12,
    kKeyDelete = 13,
    kKeyW = 14,
    kKeyA = 15,
    kKeyD = 16,
    kKeyS = 17,
    kKeyX = 18,
    kKeyC = 19,
    kKeyB = 20,
    kKeyO = 21,
    kKeyP = 22,
    kKeyControl = 23,
    kKeyHome = 24,
    kKeyEnd = 25,
    kKeyClipboardCopy = 26,
    kKeyClipboardPaste = 27,
    kKeyClipboardCut = 28,
    kKeyTab = 29,
};

// A virtual key or clipboard pseudo key (0x8000 copy, 0x8001 paste, 0x8002 cut) -> GKeyCode.
GKeyCode VirtualKeyToKeyCode(int key);

// The narrow code page of the keyboard's text: always Windows-1251 here, the engine's own.
int GetLayoutCodePage();

// The UTF-16 character that the key at scanCode types under keyState (256 bytes, bit 7 held,
// bit 0 toggled); writes it to out and returns 1, or returns 0 (nothing typed, a dead key,
// more than one character, or no room).
int KeyToWideChar(int virtualKey, int scanCode, const uint8_t keyState[256], char16_t* out,
                  int outSize);

// Puts at most n characters of text (all of it when n < 1), stopping at its terminator, on
// the clipboard; returns the characters copied, 0 when the text is null or the clipboard
// cannot be set.
int16_t SetClipboardText(const char* text, int16_t n);
