#pragma once
// The program's message queue: {message, wParam, lParam} records numbered as the engine's
// window procedure expects (the classic Windows numbering), and the virtual-key codes its
// key messages carry. The backend turns window-system events into these records when the
// queue is peeked or waited on; tests post records directly. Main thread only.
//
// Key messages: wParam is the virtual key; lParam holds a repeat count of 1 in bits 0-15, the
// key's position code in bits 16-23 (the platform's scan code, used to translate the key back
// into a character), bit 24 for the right-hand / extended keys, bit 30 for auto-repeat and
// bit 31 on release. Mouse messages: lParam = x in the low 16 bits, y in the high 16 bits,
// both signed client coordinates; wParam holds the MK_* button flags (the wheel delta in the
// high 16 bits for WM_MOUSEWHEEL, the X button in the high 16 bits for the WM_XBUTTON*).

#include <cstdint>

namespace platform {

struct Message {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

// Message numbers.
constexpr uint32_t WM_NULL = 0x0000;
constexpr uint32_t WM_CREATE = 0x0001;
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_SIZE = 0x0005;
constexpr uint32_t WM_ACTIVATE = 0x0006;
constexpr uint32_t WM_SETFOCUS = 0x0007;
constexpr uint32_t WM_KILLFOCUS = 0x0008;
constexpr uint32_t WM_PAINT = 0x000F;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_ACTIVATEAPP = 0x001C;
constexpr uint32_t WM_SETCURSOR = 0x0020;
constexpr uint32_t WM_DISPLAYCHANGE = 0x007E;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_CHAR = 0x0102;
constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
constexpr uint32_t WM_SYSKEYUP = 0x0105;
constexpr uint32_t WM_SYSCHAR = 0x0106;
constexpr uint32_t WM_COMMAND = 0x0111;
constexpr uint32_t WM_SYSCOMMAND = 0x0112;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;
constexpr uint32_t WM_RBUTTONDBLCLK = 0x0206;
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr uint32_t WM_MBUTTONUP = 0x0208;
constexpr uint32_t WM_MBUTTONDBLCLK = 0x0209;
constexpr uint32_t WM_MOUSEWHEEL = 0x020A;
constexpr uint32_t WM_XBUTTONDOWN = 0x020B;
constexpr uint32_t WM_XBUTTONUP = 0x020C;
constexpr uint32_t WM_XBUTTONDBLCLK = 0x020D;

// WM_ACTIVATE: low 16 bits of wParam; the high 16 bits are nonzero when minimised.
constexpr uintptr_t WA_INACTIVE = 0;
constexpr uintptr_t WA_ACTIVE = 1;
constexpr uintptr_t WA_CLICKACTIVE = 2;

// WM_SYSCOMMAND requests.
constexpr uintptr_t SC_SIZE = 0xF000;
constexpr uintptr_t SC_MOVE = 0xF010;
constexpr uintptr_t SC_MINIMIZE = 0xF020;
constexpr uintptr_t SC_MAXIMIZE = 0xF030;
constexpr uintptr_t SC_CLOSE = 0xF060;
constexpr uintptr_t SC_KEYMENU = 0xF100;
constexpr uintptr_t SC_RESTORE = 0xF120;
constexpr uintptr_t SC_SCREENSAVE = 0xF140;
constexpr uintptr_t SC_MONITORPOWER = 0xF170;

// Mouse-message wParam flags.
constexpr uintptr_t MK_LBUTTON = 0x0001;
constexpr uintptr_t MK_RBUTTON = 0x0002;
constexpr uintptr_t MK_SHIFT = 0x0004;
constexpr uintptr_t MK_CONTROL = 0x0008;
constexpr uintptr_t MK_MBUTTON = 0x0010;
constexpr uintptr_t MK_XBUTTON1 = 0x0020;
constexpr uintptr_t MK_XBUTTON2 = 0x0040;
constexpr uintptr_t XBUTTON1 = 0x0001;
constexpr uintptr_t XBUTTON2 = 0x0002;
constexpr int WHEEL_DELTA = 120;

// Virtual keys. Letters and digits are their upper-case ASCII codes ('A' = 0x41, '0' = 0x30).
constexpr int VK_LBUTTON = 0x01;
constexpr int VK_RBUTTON = 0x02;
constexpr int VK_MBUTTON = 0x04;
constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_CLEAR = 0x0C;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12; // Alt
constexpr int VK_PAUSE = 0x13;
constexpr int VK_CAPITAL = 0x14;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21; // Page Up
constexpr int VK_NEXT = 0x22;  // Page Down
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_SNAPSHOT = 0x2C;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_LWIN = 0x5B;
constexpr int VK_RWIN = 0x5C;
constexpr int VK_APPS = 0x5D;
constexpr int VK_NUMPAD0 = 0x60;
constexpr int VK_NUMPAD1 = 0x61;
constexpr int VK_NUMPAD2 = 0x62;
constexpr int VK_NUMPAD3 = 0x63;
constexpr int VK_NUMPAD4 = 0x64;
constexpr int VK_NUMPAD5 = 0x65;
constexpr int VK_NUMPAD6 = 0x66;
constexpr int VK_NUMPAD7 = 0x67;
constexpr int VK_NUMPAD8 = 0x68;
constexpr int VK_NUMPAD9 = 0x69;
constexpr int VK_MULTIPLY = 0x6A;
constexpr int VK_ADD = 0x6B;
constexpr int VK_SUBTRACT = 0x6D;
constexpr int VK_DECIMAL = 0x6E;
constexpr int VK_DIVIDE = 0x6F;
constexpr int VK_F1 = 0x70; // VK_F1 + n - 1 for Fn, up to F24
constexpr int VK_F4 = 0x73;
constexpr int VK_F10 = 0x79;
constexpr int VK_NUMLOCK = 0x90;
constexpr int VK_SCROLL = 0x91;
constexpr int VK_LSHIFT = 0xA0; // sided modifiers, in key states only
constexpr int VK_RSHIFT = 0xA1;
constexpr int VK_LCONTROL = 0xA2;
constexpr int VK_RCONTROL = 0xA3;
constexpr int VK_LMENU = 0xA4;
constexpr int VK_RMENU = 0xA5;
constexpr int VK_OEM_1 = 0xBA;      // ;:
constexpr int VK_OEM_PLUS = 0xBB;   // =+
constexpr int VK_OEM_COMMA = 0xBC;
constexpr int VK_OEM_MINUS = 0xBD;
constexpr int VK_OEM_PERIOD = 0xBE;
constexpr int VK_OEM_2 = 0xBF;      // /?
constexpr int VK_OEM_3 = 0xC0;      // `~
constexpr int VK_OEM_4 = 0xDB;      // [{
constexpr int VK_OEM_5 = 0xDC;      // backslash |
constexpr int VK_OEM_6 = 0xDD;      // ]}
constexpr int VK_OEM_7 = 0xDE;      // '"
constexpr int VK_OEM_102 = 0xE2;    // the extra key left of Z on ISO keyboards

// Key-message lParam fields.
constexpr intptr_t kKeyExtendedBit = intptr_t(1) << 24;
// A system key that went down or up while Alt was held: it tells Alt+key apart even when the
// window never saw the Alt press (the focus came to it afterwards).
constexpr intptr_t kKeyAltHeldBit = intptr_t(1) << 29;
constexpr intptr_t kKeyRepeatBit = intptr_t(1) << 30;
constexpr intptr_t kKeyReleaseBit = intptr_t(1) << 31;

constexpr intptr_t MakeLParam(int low, int high)
{
    return static_cast<intptr_t>((static_cast<uint32_t>(static_cast<uint16_t>(low))) |
                                 (static_cast<uint32_t>(static_cast<uint16_t>(high)) << 16));
}
// Signed 16-bit halves: positions left of or above the client area stay negative.
constexpr int LParamX(intptr_t lParam) { return static_cast<int16_t>(lParam & 0xFFFF); }
constexpr int LParamY(intptr_t lParam) { return static_cast<int16_t>((lParam >> 16) & 0xFFFF); }
constexpr int KeyScanCode(intptr_t lParam) { return static_cast<int>((lParam >> 16) & 0xFF); }

// Takes the oldest message (translating pending window-system events first); false when none.
bool PeekMessage(Message& out);
// Appends a message behind everything already queued.
void PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
// Queues WM_QUIT with the exit code as wParam.
void PostQuitMessage(int exitCode);
// Returns when a message or a window-system event is waiting, or after timeoutMs.
void WaitForInput(uint32_t timeoutMs);
// Drops every queued message (tests start from an empty queue).
void ClearMessages();

} // namespace platform
