#include "platform/window/quit_requests.h"

#include <signal.h>

#include <atomic>
#include <cstring>

#include "platform/window/messages.h"

namespace platform {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

std::atomic<uint32_t> g_signalCount{0};
std::atomic<int> g_lastSignal{0};
std::atomic<uint32_t> g_baseline{0}; // the count when the watch started
uint32_t g_postedSignals = 0; // main thread
const char* g_outsideReason = nullptr;
bool g_outsidePosted = true;
std::string g_closeReason;

int g_watchers = 0;
struct sigaction g_previous[kSignalCount];
bool g_installed[kSignalCount] = {};

uint32_t GetQuitSignalCount()
{
    return g_signalCount.load(std::memory_order_acquire);
}

void OnQuitSignal(int sig)
{
    g_lastSignal.store(sig, std::memory_order_relaxed);
    g_signalCount.fetch_add(1, std::memory_order_release);
}

const char* SignalName(int sig)
{
    switch (sig) {
    case SIGTERM:
        return "asked to quit (SIGTERM)";
    case SIGINT:
        return "interrupted (SIGINT)";
    case SIGHUP:
        return "the terminal closed (SIGHUP)";
    default:
        return "a signal";
    }
}

} // namespace

void StartQuitWatch()
{
    if (g_watchers++ > 0)
        return;
    g_postedSignals = g_signalCount.load();
    g_baseline.store(g_postedSignals);
    g_outsideReason = nullptr;
    g_outsidePosted = true;
    for (int i = 0; i < kSignalCount; ++i) {
        struct sigaction old;
        g_installed[i] = false;
        if (::sigaction(kSignals[i], nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_handler = OnQuitSignal;
        sigemptyset(&action.sa_mask);
        // No SA_RESTART: a wait in progress returns, so the loop sees the request at once.
        g_installed[i] = ::sigaction(kSignals[i], &action, &g_previous[i]) == 0;
    }
}

void StopQuitWatch()
{
    if (g_watchers == 0 || --g_watchers > 0)
        return;
    for (int i = 0; i < kSignalCount; ++i)
        if (g_installed[i])
            ::sigaction(kSignals[i], &g_previous[i], nullptr);
}

bool WasQuitSignalled()
{
    return GetQuitSignalCount() != g_baseline.load(std::memory_order_acquire);
}

std::string TakeCloseReason()
{
    return std::move(g_closeReason);
}

void RequestCloseFromOutside(const char* reason)
{
    if (g_outsideReason)
        return; // the first one tells what happened
    g_outsideReason = reason;
    g_outsidePosted = false;
}

bool PostPendingQuitRequests()
{
    bool posted = false;
    const uint32_t count = GetQuitSignalCount();
    if (count != g_postedSignals) {
        g_postedSignals = count;
        g_closeReason = SignalName(g_lastSignal.load(std::memory_order_relaxed));
        PostMessage(WM_CLOSE, 0, 0);
        posted = true;
    }
    if (!g_outsidePosted) {
        g_outsidePosted = true;
        g_closeReason = g_outsideReason;
        PostMessage(WM_CLOSE, 0, 0);
        posted = true;
    }
    return posted;
}

} // namespace platform
