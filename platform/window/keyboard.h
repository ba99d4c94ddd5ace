#pragma once
// The keyboard's state as the window procedure asks for it, and the character a key gives.
// Main thread only.

#include <cstdint>

namespace platform {

// True while the virtual key (VK_SHIFT, VK_CONTROL, VK_MENU, letters...) is held.
bool IsKeyDown(int virtualKey);
// Toggle state of VK_NUMLOCK, VK_CAPITAL or VK_SCROLL.
bool IsKeyToggled(int virtualKey);
// Sets a toggle state (VK_NUMLOCK, VK_CAPITAL) as the program sees it.
void SetKeyToggled(int virtualKey, bool on);
// 256 bytes, one per virtual key: bit 7 held, bit 0 toggled.
void GetKeyboardState(uint8_t state[256]);

// The UTF-16 character the key at scanCode (bits 16-23 of a key message's lParam) types
// under the given key state and the current layout; 0 for keys that type nothing (dead
// keys and keys that give more than one character included).
char16_t KeyToChar(int virtualKey, int scanCode, const uint8_t state[256]);

} // namespace platform
