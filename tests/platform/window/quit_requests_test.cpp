// Signals and requests from outside become one WM_CLOSE each, with the reason the program logs;
// the handlers come and go with the window system, and put back what was there before.

#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/window/messages.h"
#include "platform/window/quit_requests.h"
#include "platform/window/window.h"

using namespace platform;

namespace {

std::atomic<int> g_ownHandlerCalls{0};
void OwnHandler(int)
{
    ++g_ownHandlerCalls;
}

// Sets sig's handler for the life of the object, and puts the old one back.
class ScopedHandler {
public:
    ScopedHandler(int sig, void (*handler)(int)) : m_sig(sig)
    {
        struct sigaction action = {};
        action.sa_handler = handler;
        sigemptyset(&action.sa_mask);
        sigaction(sig, &action, &m_old);
    }
    ~ScopedHandler() { sigaction(m_sig, &m_old, nullptr); }
    ScopedHandler(const ScopedHandler&) = delete;
    ScopedHandler& operator=(const ScopedHandler&) = delete;

private:
    int m_sig;
    struct sigaction m_old;
};

class QuitRequestsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ClearMessages();
        TakeCloseReason();
    }
    void TearDown() override
    {
        ClearMessages();
        TakeCloseReason();
    }
    // The WM_CLOSE messages waiting, and the reason the last one gave.
    static int Closes()
    {
        int closes = 0;
        Message m;
        while (PeekMessage(m))
            closes += m.message == WM_CLOSE;
        return closes;
    }
};

} // namespace

TEST_F(QuitRequestsTest, EachSignalClosesOnceWithItsOwnReason)
{
    const std::pair<int, const char*> signals[] = {
        {SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGHUP, "SIGHUP"}};
    for (auto [sig, name] : signals) {
        ScopedHandler own(sig, OwnHandler);
        g_ownHandlerCalls = 0;
        auto window = Window::Create("quit", 64, 48);
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(WasQuitSignalled()) << name;
        raise(sig);
        EXPECT_TRUE(WasQuitSignalled()) << name;
        EXPECT_EQ(Closes(), 1) << name;
        const std::string reason = TakeCloseReason();
        EXPECT_NE(reason.find(name), std::string::npos) << reason;
        EXPECT_EQ(TakeCloseReason(), "") << name;
        EXPECT_EQ(Closes(), 0) << name;
        // Two more signals before the loop looks: at least one close, none lost.
        raise(sig);
        raise(sig);
        EXPECT_GE(Closes(), 1) << name;
        EXPECT_EQ(g_ownHandlerCalls, 0) << name;
        window.reset();
        // The program's own handler is back once the window system has stopped.
        raise(sig);
        EXPECT_EQ(g_ownHandlerCalls, 1) << name;
    }
}

TEST_F(QuitRequestsTest, AnIgnoredSignalStaysIgnored)
{
    ScopedHandler ignored(SIGHUP, SIG_IGN);
    ScopedHandler own(SIGINT, OwnHandler);
    g_ownHandlerCalls = 0;
    auto window = Window::Create("nohup", 64, 48);
    ASSERT_NE(window, nullptr);
    raise(SIGHUP);
    EXPECT_FALSE(WasQuitSignalled());
    EXPECT_EQ(Closes(), 0);
    // The others are still watched.
    raise(SIGINT);
    EXPECT_TRUE(WasQuitSignalled());
    EXPECT_EQ(Closes(), 1);
    EXPECT_EQ(g_ownHandlerCalls, 0);
    window.reset();
    struct sigaction now;
    sigaction(SIGHUP, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_IGN);
}

TEST_F(QuitRequestsTest, WatchesNestAndTheLastStopRestores)
{
    ScopedHandler own(SIGTERM, OwnHandler);
    g_ownHandlerCalls = 0;
    StopQuitWatch(); // none running: nothing to undo
    raise(SIGTERM);
    EXPECT_EQ(g_ownHandlerCalls, 1);
    StartQuitWatch();
    StartQuitWatch();
    StopQuitWatch();
    raise(SIGTERM);
    EXPECT_EQ(g_ownHandlerCalls, 1); // still ours after the inner stop
    EXPECT_TRUE(WasQuitSignalled());
    StopQuitWatch();
    raise(SIGTERM);
    EXPECT_EQ(g_ownHandlerCalls, 2);
    // A signal the last watch did not post is no request to the next one.
    StartQuitWatch();
    EXPECT_FALSE(WasQuitSignalled());
    EXPECT_EQ(Closes(), 0);
    StopQuitWatch();
}

TEST_F(QuitRequestsTest, TheFirstRequestFromOutsideTellsWhy)
{
    StartQuitWatch();
    EXPECT_FALSE(PostPendingQuitRequests());
    RequestCloseFromOutside("the window was destroyed");
    RequestCloseFromOutside("the display is gone");
    EXPECT_EQ(Closes(), 1);
    EXPECT_EQ(TakeCloseReason(), "the window was destroyed");
    EXPECT_FALSE(PostPendingQuitRequests());
    EXPECT_EQ(Closes(), 0);
    // Outside requests are not signals: a box waiting for the user is not ended by them.
    EXPECT_FALSE(WasQuitSignalled());
    StopQuitWatch();

    // A new watch hears a new request; a signal and a request together close twice.
    StartQuitWatch();
    RequestCloseFromOutside("again");
    raise(SIGTERM);
    EXPECT_TRUE(PostPendingQuitRequests());
    EXPECT_EQ(Closes(), 2);
    EXPECT_FALSE(TakeCloseReason().empty());
    StopQuitWatch();
}
