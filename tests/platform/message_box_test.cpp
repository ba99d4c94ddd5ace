#include "platform/message_box.h"

#include <gtest/gtest.h>

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
    ++g_seen.calls;
    g_seen.last = request;
    g_seen.title = request.titleUtf8;
    g_seen.text = request.textUtf8;
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
    EXPECT_EQ(ShowMessageBox("Alert", "disk \xEF\xF0\xEE\xE1\xE0", MessageBoxButtons::kOk,
                             MessageBoxIcon::kInformation),
              MessageBoxAnswer::kOk);
    EXPECT_EQ(ShowMessageBox("Fatal error!", "send?", MessageBoxButtons::kYesNo, MessageBoxIcon::kError),
              MessageBoxAnswer::kNo);
    SetHeadlessAnswer(MessageBoxAnswer::kYes);
    EXPECT_EQ(ShowMessageBox("Q", "again?", MessageBoxButtons::kYesNo, MessageBoxIcon::kNone),
              MessageBoxAnswer::kYes);
    EXPECT_EQ(ShowMessageBox("Q", "ok only", MessageBoxButtons::kOk, MessageBoxIcon::kNone),
              MessageBoxAnswer::kOk);
    SetHeadlessAnswer(MessageBoxAnswer::kOk);
    EXPECT_EQ(ShowMessageBox("Q", "no fit", MessageBoxButtons::kYesNo, MessageBoxIcon::kNone),
              MessageBoxAnswer::kNo);
    std::string err = testing::internal::GetCapturedStderr();
    // The narrow text reaches the terminal as UTF-8.
    EXPECT_NE(err.find("[Alert] (information) disk \xD0\xBF\xD1\x80\xD0\xBE\xD0\xB1\xD0\xB0\n"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("[Fatal error!] (error) send? -> No\n"), std::string::npos) << err;
    EXPECT_NE(err.find("again? -> Yes\n"), std::string::npos) << err;
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
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(g_seen.calls, 1);
    EXPECT_NE(err.find("fallback -> No"), std::string::npos);
}
