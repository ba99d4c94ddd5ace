// The application main over an application that records its life: the three results, the
// alerts, the order of the calls and that the object is always deleted.

#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "foundation/app/application.h"
#include "foundation/app/application_main.h"
#include "foundation/files/data_files.h"
#include "foundation/text/gstring.h"
#include "platform/window/message_box.h"
#include "platform/window/messages.h"

namespace {

std::vector<std::string> g_calls;
std::vector<std::string> g_boxes;
int g_initAnswer = 1;

bool RecordingBox(const platform::MessageBoxRequest& request, platform::MessageBoxAnswer& answer)
{
    g_boxes.push_back(std::string("[") + request.titleUtf8 + "] " + request.textUtf8);
    answer = platform::MessageBoxAnswer::kOk;
    return true;
}

class LifeApp : public GApplication {
public:
    ~LifeApp() override { g_calls.push_back("deleted"); }
    int OnInit() override
    {
        g_calls.push_back("init " + std::to_string(GetWidth()) + "x" + std::to_string(GetHeight()) +
                          " " + GetTitle());
        return g_initAnswer;
    }
    void OnBeforeShow() override
    {
        g_calls.push_back("before show");
        // The loop starts after this; let it end at once.
        platform::PostQuitMessage(0);
    }
    void OnExit() override { g_calls.push_back("exit"); }
};

std::unique_ptr<GApplication> MakeLifeApp() { return std::make_unique<LifeApp>(); }
std::unique_ptr<GApplication> MakeNothing() { return nullptr; }

class ApplicationMainTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_calls.clear();
        g_boxes.clear();
        g_initAnswer = 1;
        m_previous = platform::GetMessageBoxBackend();
        platform::SetMessageBoxBackend(&RecordingBox);
        platform::ClearMessages();
    }
    void TearDown() override
    {
        platform::SetMessageBoxBackend(m_previous);
        platform::ClearMessages();
    }

private:
    platform::MessageBoxBackend m_previous = nullptr;
};

TEST_F(ApplicationMainTest, NormalRunCreatesShowsRunsAndDeletes)
{
    StrCopy(DataFolderPrefix, "somewhere/");
    EXPECT_TRUE(ApplicationMain(&MakeLifeApp) == 0 && *DataFolderPrefix == '\0');
    EXPECT_EQ(g_calls, (std::vector<std::string>{"init 800x600 Tolvanrise", "before show", "exit", "deleted"}));
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(ApplicationMainTest, RefusedInitGivesOneAndTheAlert)
{
    g_initAnswer = 0;
    EXPECT_EQ(ApplicationMain(&MakeLifeApp), 1);
    // Create runs OnExit after the refusal; nothing is shown and the object is still deleted.
    EXPECT_EQ(g_calls, (std::vector<std::string>{"init 800x600 Tolvanrise", "exit", "deleted"}));
    EXPECT_EQ(g_boxes, (std::vector<std::string>{"[Alert] Cannot initialize the application! Please reinstall."}));
}

TEST_F(ApplicationMainTest, NoObjectGivesTwoAndTheAlert)
{
    EXPECT_TRUE(ApplicationMain(&MakeNothing) == 2 && ApplicationMain(nullptr) == 2 && g_calls.empty());
    EXPECT_EQ(g_boxes, (std::vector<std::string>{
                           "[Alert] Not enough memory!! Close some application then try again!",
                           "[Alert] Not enough memory!! Close some application then try again!"}));
}

} // namespace
