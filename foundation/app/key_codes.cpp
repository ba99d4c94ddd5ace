#include "foundation/app/key_codes.h"

#include <string>

#include "platform/window/clipboard.h"
#include "platform/window/keyboard.h"
#include "platform/window/messages.h"

using namespace platform;

GKeyCode VirtualKeyToKeyCode(int key)
{
    switch (key) {
    case VK_NUMPAD7: return kKeyUpLeft;
    case VK_UP:
    case VK_NUMPAD8: return kKeyUp;
    case VK_PRIOR:
    case VK_NUMPAD9: return kKeyUpRight;
    case VK_LEFT:
    case VK_NUMPAD4: return kKeyLeft;
    case VK_RIGHT:
    case VK_NUMPAD6: return kKeyRight;
    case VK_NUMPAD1: return kKeyDownLeft;
    case VK_DOWN:
    case VK_NUMPAD2: return kKeyDown;
    case VK_NEXT:
    case VK_NUMPAD3: return kKeyDownRight;
    case VK_SPACE:
    case VK_CLEAR:
    case VK_NUMPAD5: return kKeyCentre;
    case VK_RETURN: return kKeyEnter;
    case VK_ESCAPE: return kKeyEscape;
    case VK_BACK: return kKeyBackspace;
    case VK_DELETE: return kKeyDelete;
    case 'W': return kKeyW;
    case 'A': return kKeyA;
    case 'D': return kKeyD;
    case 'S': return kKeyS;
    case 'X': return kKeyX;
    case 'C': return kKeyC;
    case 'B': return kKeyB;
    case 'O': return kKeyO;
    case 'P': return kKeyP;
    case VK_CONTROL: return kKeyControl;
    case VK_HOME: return kKeyHome;
    case VK_END: return kKeyEnd;
    case 0x8000: return kKeyClipboardCopy;
    case 0x8001: return kKeyClipboardPaste;
    case 0x8002: return kKeyClipboardCut;
    case VK_TAB: return kKeyTab;
    default: return kKeyNone;
    }
}

int GetLayoutCodePage()
{
    return 1251;
}

int KeyToWideChar(int virtualKey, int scanCode, const uint8_t keyState[256], char16_t* out,
                  int outSize)
{
    if (!keyState || !out || outSize < 1)
        return 0;
    const char16_t c = KeyToChar(virtualKey, scanCode, keyState);
    if (!c)
        return 0;
    out[0] = c;
    return 1;
}

int16_t SetClipboardText(const char* text, int16_t n)
{
    if (!text)
        return 0;
    std::string copy;
    const int limit = n < 1 ? INT16_MAX : n;
    for (int i = 0; i < limit && text[i]; ++i)
        copy.push_back(text[i]);
    if (!platform::SetClipboardText(copy.data(), copy.size()))
        return 0;
    return static_cast<int16_t>(copy.size());
}
