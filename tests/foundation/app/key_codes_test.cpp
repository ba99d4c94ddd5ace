// VirtualKeyToKeyCode over every key, and the character translation of single keys.

#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "foundation/app/key_codes.h"
#include "platform/window/messages.h"

using namespace platform;

namespace {

TEST(KeyCodes, EveryKeyMapsAsTheTableSays)
{
    const std::map<int, GKeyCode> table = {
        {VK_NUMPAD7, 1},  {VK_UP, 2},       {VK_NUMPAD8, 2}, {VK_PRIOR, 3},   {VK_NUMPAD9, 3},
        {VK_LEFT, 4},     {VK_NUMPAD4, 4},  {VK_RIGHT, 5},   {VK_NUMPAD6, 5}, {VK_NUMPAD1, 6},
        {VK_DOWN, 7},     {VK_NUMPAD2, 7},  {VK_NEXT, 8},    {VK_NUMPAD3, 8}, {VK_SPACE, 9},
        {VK_CLEAR, 9},    {VK_NUMPAD5, 9},  {VK_RETURN, 10}, {VK_ESCAPE, 11}, {VK_BACK, 12},
        {VK_DELETE, 13},  {'W', 14},        {'A', 15},       {'D', 16},       {'S', 17},
        {'X', 18},        {'C', 19},        {'B', 20},       {'O', 21},       {'P', 22},
        {VK_CONTROL, 23}, {VK_HOME, 24},    {VK_END, 25},    {0x8000, 26},    {0x8001, 27},
        {0x8002, 28},     {VK_TAB, 29},
    };
    // Every virtual key, the pseudo keys and their neighbours, and a few out-of-range values.
    // The keypad without Num Lock sends navigation keys: its 7 and 1 are Home and End, 5 is
    // Clear (the centre).
    for (int key = -2; key <= 0x8010; ++key) {
        auto it = table.find(key);
        const GKeyCode expected = it == table.end() ? kKeyNone : it->second;
        ASSERT_EQ(VirtualKeyToKeyCode(key), expected) << "key " << key;
    }
    EXPECT_EQ(VirtualKeyToKeyCode(0x10000 + 'A'), kKeyNone);
}

TEST(KeyCodes, KeyToWideCharAndClipboardText)
{
    // {key, scan code, keys held (Shift, Caps Lock, Ctrl), unit typed or 0}
    struct Case {
        int key, scan;
        bool shift, caps, ctrl;
        char16_t typed;
    };
    const Case cases[] = {
        {VK_NUMPAD3, 0, 0, 0, 0, u'3'}, {VK_SPACE, 44, 0, 0, 0, u' '}, {VK_RETURN, 40, 0, 0, 0, u'\r'},
        {'A', 4, 0, 0, 0, u'a'},        {'A', 4, 1, 0, 0, u'A'},       {'1', 30, 1, 0, 0, u'!'},
        {'A', 4, 1, 1, 0, u'a'}, // Caps Lock with Shift: lower again
        {'C', 6, 0, 0, 1, char16_t(3)}, {VK_F1, 58, 0, 0, 0, 0},       {VK_LEFT, 80, 0, 0, 0, 0},
        {'A', 300, 0, 0, 0, 0},         {'A', -1, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        uint8_t state[256] = {};
        state[VK_SHIFT] = c.shift ? 0x80 : 0;
        state[VK_CAPITAL] = c.caps ? 0x01 : 0;
        state[VK_CONTROL] = c.ctrl ? 0x80 : 0;
        char16_t out[2] = {u'#', 0};
        EXPECT_EQ(KeyToWideChar(c.key, c.scan, state, out, 2), c.typed ? 1 : 0) << c.key << " " << c.scan;
        EXPECT_EQ(out[0], c.typed ? c.typed : u'#') << c.key << " " << c.scan; // nothing typed: untouched
    }
    // Callers without room.
    uint8_t state[256] = {};
    char16_t out[2] = {};
    EXPECT_EQ(KeyToWideChar('A', 4, state, out, 0), 0);
    EXPECT_EQ(KeyToWideChar('A', 4, state, nullptr, 2), 0);
    EXPECT_EQ(KeyToWideChar('A', 4, nullptr, out, 2), 0);

    // A limit of 0 or below takes all; copying stops at the terminator.
    for (auto [text, limit, copied] : {std::tuple{"hello", 3, 3}, {"hello", 0, 5}, {"hello", -4, 5}, {"hi", 10, 2},
                                       {"", 0, 0}, {static_cast<const char*>(nullptr), 0, 0}})
        EXPECT_EQ(SetClipboardText(text, limit), copied) << limit;
    EXPECT_EQ(GetLayoutCodePage(), 1251); // the keyboard's text is Windows-1251
}

} // namespace
