#include "platform/system/threads.h"

#include <chrono>

namespace platform {
namespace {

std::atomic<uint64_t> g_nextThreadId{1};

template <typename Predicate>
bool WaitOn(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, int timeoutMs,
            Predicate ready)
{
    if (timeoutMs < 0) {
        cv.wait(lock, ready);
        return true;
    }
    return cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
}

} // namespace

std::unique_ptr<AutoResetEvent> AutoResetEvent::Create()
{
    return std::make_unique<AutoResetEvent>();
}

void AutoResetEvent::Set()
{
    std::lock_guard lock(m_mutex);
    m_signalled = true;
    m_changed.notify_all();
}

bool AutoResetEvent::Wait(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    ++m_waiters;
    m_changed.notify_all();
    const bool got = WaitOn(m_changed, lock, timeoutMs, [this] { return m_signalled; });
    --m_waiters;
    if (got)
        m_signalled = false;
    return got;
}

bool AutoResetEvent::WaitUntilConsumed(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    return WaitOn(m_changed, lock, timeoutMs, [this] { return !m_signalled && m_waiters > 0; });
}

// ---------------------------------------------------------------------------------------

std::unique_ptr<Thread> Thread::Start(std::function<void(Thread&)> body)
{
    std::unique_ptr<Thread> thread(new Thread);
    thread->m_id = g_nextThreadId.fetch_add(1);
    Thread* self = thread.get();
    try {
        thread->m_thread = std::thread([self, body = std::move(body)] { body(*self); });
    } catch (...) {
        return nullptr;
    }
    return thread;
}

Thread::~Thread()
{
    if (m_thread.joinable()) {
        PostQuit();
        m_thread.join();
    }
}

void Thread::PostQuit()
{
    // The flag first: a waiter that registers after the read below sees it under the
    // event's mutex; one that registered before is woken here.
    m_quit.store(true);
    AutoResetEvent* event;
    {
        std::lock_guard lock(m_mutex);
        event = m_waitingOn;
    }
    if (event) {
        std::lock_guard lock(event->m_mutex);
        event->m_changed.notify_all();
    }
}

WaitResult Thread::WaitForEventOrQuit(AutoResetEvent& event)
{
    {
        std::lock_guard lock(m_mutex);
        m_waitingOn = &event;
    }
    WaitResult result;
    {
        std::unique_lock lock(event.m_mutex);
        ++event.m_waiters;
        event.m_changed.notify_all();
        event.m_changed.wait(lock, [&] { return m_quit.load() || event.m_signalled; });
        --event.m_waiters;
        if (m_quit.load()) {
            result = WaitResult::kQuit;
        } else {
            event.m_signalled = false;
            result = WaitResult::kEvent;
        }
    }
    std::lock_guard lock(m_mutex);
    m_waitingOn = nullptr;
    return result;
}

void Thread::Join()
{
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

} // namespace platform
