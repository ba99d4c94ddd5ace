#include "platform/window/message_box.h"
#include "platform/window/clipboard.h"
#include "platform/window/keyboard.h"
#include "platform/window/messages.h"
#include "platform/window/window.h"
#include "support/scoped_env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

using namespace platform;

namespace {

struct Seen {
    int calls = 0;
    std::string title, text; // copied: the request's texts live only for the call
    MessageBoxRequest last{};
    bool canShow = true;
} g_seen;

bool RecordingBackend(const MessageBoxRequest& request, MessageBoxAnswer& answer)
{
    ++g_seen.calls, g_seen.last = request, g_seen.title = request.titleUtf8, g_seen.text = request.textUtf8;
    answer = MessageBoxAnswer::kYes;
    return g_seen.canShow;
}

class MessageBoxTest : public testing::Test {
protected:
    void SetUp() override { g_seen = Seen(); }
    void TearDown() override
    {
        SetMessageBoxBackend(nullptr);
        SetHeadlessAnswer(MessageBoxAnswer::kNo);
    }
};

} // namespace

TEST_F(MessageBoxTest, HeadlessWritesToStderrAndGivesThePresetAnswer)
{
    ASSERT_EQ(GetMessageBoxBackend(), nullptr);
    testing::internal::CaptureStderr();
    // The preset answer, the box, the answer given: an OK box answers OK; a preset that does
    // not fit a Yes/No box gives No.
    using A = MessageBoxAnswer;
    using B = MessageBoxButtons;
    using I = MessageBoxIcon;
    const std::tuple<A, const char*, const char*, B, I, A> boxes[] = {
        {A::kNo, "Alert", "disk \xEF\xF0\xEE\xE1\xE0", B::kOk, I::kInformation, A::kOk},
        {A::kNo, "Fatal error!", "send?", B::kYesNo, I::kError, A::kNo},
        {A::kYes, "Q", "again?", B::kYesNo, I::kNone, A::kYes},
        {A::kYes, "Q", "ok only", B::kOk, I::kNone, A::kOk},
        {A::kOk, "Q", "no fit", B::kYesNo, I::kNone, A::kNo}};
    for (auto [preset, title, text, buttons, icon, answer] : boxes) {
        SetHeadlessAnswer(preset);
        EXPECT_EQ(ShowMessageBox(title, text, buttons, icon), answer) << text;
    }
    std::string err = testing::internal::GetCapturedStderr();
    // The narrow text reaches the terminal as UTF-8.
    for (const char* line : {"[Alert] (information) disk \xD0\xBF\xD1\x80\xD0\xBE\xD0\xB1\xD0\xB0\n",
                             "[Fatal error!] (error) send? -> No\n", "again? -> Yes\n"})
        EXPECT_NE(err.find(line), std::string::npos) << err;
}

TEST_F(MessageBoxTest, BackendReceivesUtf8AndAnswers)
{
    SetMessageBoxBackend(&RecordingBackend);
    EXPECT_EQ(GetMessageBoxBackend(), &RecordingBackend);
    EXPECT_EQ(ShowMessageBox("\xC0", nullptr, MessageBoxButtons::kYesNo, MessageBoxIcon::kWarning),
              MessageBoxAnswer::kYes);
    EXPECT_EQ(std::make_tuple(g_seen.calls, g_seen.title, g_seen.text, g_seen.last.buttons, g_seen.last.icon),
              std::make_tuple(1, std::string("\xD0\x90"), std::string(), MessageBoxButtons::kYesNo, MessageBoxIcon::kWarning));

    // An OK box answers OK whatever the backend claims.
    EXPECT_EQ(ShowMessageBox("t", "x", MessageBoxButtons::kOk, MessageBoxIcon::kNone), MessageBoxAnswer::kOk);
}

TEST_F(MessageBoxTest, BackendThatCannotShowFallsBackToHeadless)
{
    SetMessageBoxBackend(&RecordingBackend);
    g_seen.canShow = false;
    SetHeadlessAnswer(MessageBoxAnswer::kNo);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShowMessageBox("t", "fallback", MessageBoxButtons::kYesNo, MessageBoxIcon::kNone),
              MessageBoxAnswer::kNo);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("fallback -> No"), std::string::npos);
    EXPECT_EQ(g_seen.calls, 1);
}

// Without a window system: the clipboard is the program's own, and keys type what they do on a
// US keyboard.
TEST(WithoutDisplay, ClipboardIsPrivateAndKeysTypeUsCharacters)
{
    std::string text = "old";
    EXPECT_FALSE(GetClipboardText(text)); // nothing put there yet
    EXPECT_EQ(text, "");
    EXPECT_FALSE(SetClipboardText(nullptr, 3));
    ASSERT_TRUE(SetClipboardText("\xCF\xF0\xE8 1", 5));
    EXPECT_TRUE(GetClipboardText(text));
    EXPECT_EQ(text, "\xCF\xF0\xE8 1");

    uint8_t plain[256] = {}, shifted[256] = {};
    shifted[VK_SHIFT] = 0x80;
    const std::tuple<int, int, const uint8_t*, char16_t> keys[] = {
        {'A', 4, plain, u'a'},
        {'Z', 29, shifted, u'Z'},
        {'1', 30, shifted, u'!'},
        {'9', 38, plain, u'9'},
        {'0', 39, plain, u'0'},
        {VK_OEM_MINUS, 45, shifted, u'_'},
        {VK_OEM_PLUS, 46, plain, u'='},
        {VK_OEM_4, 47, plain, u'['},
        {VK_OEM_6, 48, shifted, u'}'},
        {VK_OEM_5, 49, plain, u'\\'},
        {VK_OEM_1, 51, shifted, u':'},
        {VK_OEM_7, 52, plain, u'\''},
        {VK_OEM_3, 53, plain, u'`'},
        {VK_OEM_COMMA, 54, shifted, u'<'},
        {VK_OEM_PERIOD, 55, plain, u'.'},
        {VK_OEM_2, 56, shifted, u'?'},
        {VK_F1, 58, plain, 0}};
    for (auto [vk, scan, state, expected] : keys)
        EXPECT_EQ(int(KeyToChar(vk, scan, state)), int(expected)) << vk;
}

TEST(WithoutDisplay, AWindowSystemThatCannotStartIsReportedAsSuch)
{
    tolvanrise::test::ScopedEnvVar driver("SDL_VIDEODRIVER", "no-such-driver");
    bool systemFailed = false;
    EXPECT_EQ(Window::Create("none", 64, 64, &systemFailed), nullptr);
    EXPECT_TRUE(systemFailed);
    int w = -1, h = -1;
    EXPECT_FALSE(GetScreenSize(w, h));
    EXPECT_EQ(std::pair(w, h), std::pair(0, 0));
}

namespace {

// Box text wrapped for a box no wider than a screen: no line longer than the width (in
// characters, not bytes), every character kept in order, a long path broken just after a '/',
// the text's own line breaks kept.
TEST(WrapBoxText, LinesFitTheWidthAndLongPathsBreakAtSlashes)
{
    const std::string path =
        "/home/player/.local/share/Hallowmere/Tolvanrise/PROFILES/00000000.bin";
    const struct {
        std::string text;
        std::string firstLine; // empty: not checked
    } cases[] = {
        {"Short.", "Short."},
        {"Cannot save " + path + " now: the folder is read-only.", "Cannot save"},
        {path + path, "/home/player/.local/share/Hallowmere/Tolvanrise/PROFILES/"},
        {"WARNING! Incorrect version file " + path + "!\nFile size is less then buffer's size!",
         ""},
        {std::string(130, 'x'), std::string(60, 'x')},
        {"\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 " + std::string(55, 'a'),
         ""}, // 6 Cyrillic letters
    };
    for (const auto& c : cases) {
        const std::string wrapped = WrapBoxText(c.text);
        size_t longest = 0;
        size_t from = 0;
        for (size_t end; from <= wrapped.size(); from = end + 1) {
            end = wrapped.find('\n', from);
            end = end == std::string::npos ? wrapped.size() : end;
            size_t chars = 0;
            for (size_t i = from; i < end; ++i)
                chars += (static_cast<unsigned char>(wrapped[i]) & 0xC0) != 0x80;
            longest = std::max(longest, chars);
        }
        EXPECT_LE(longest, 60u) << wrapped;
        std::string kept = wrapped, asked = c.text;
        std::erase_if(kept, [](char ch) { return ch == '\n' || ch == ' '; });
        std::erase_if(asked, [](char ch) { return ch == '\n' || ch == ' '; });
        EXPECT_EQ(kept, asked);
        if (!c.firstLine.empty()) {
            EXPECT_EQ(wrapped.substr(0, wrapped.find('\n')), c.firstLine);
        }
    }
    EXPECT_EQ(WrapBoxText("a\n\nb"), "a\n\nb");
    EXPECT_EQ(WrapBoxText("Cyrillic: \xd0\x9f" + std::string(49, 'a')),
              "Cyrillic: \xd0\x9f" + std::string(49, 'a'));
}

} // namespace
