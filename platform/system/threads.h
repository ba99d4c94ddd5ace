#pragma once
// The few threading pieces the engine uses: a thread with a quit request, an auto-reset event,
// and a recursive lock. A thread's body waits for "an event or a quit request"; a quit request
// is remembered, so one posted before the thread starts waiting still ends the wait.
// Every object here may be used from any thread.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {

class Thread;

// Signalled by Set; a wait that sees it signalled consumes the signal (auto-reset). Several
// Sets before one wait count as one.
class AutoResetEvent {
public:
    static std::unique_ptr<AutoResetEvent> Create();
    AutoResetEvent() = default;
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    void Set();
    // Waits at most timeoutMs (negative: without end); true when the signal was consumed.
    bool Wait(int timeoutMs = -1);
    // For a driver that plays the clock itself (tests): waits at most timeoutMs until nobody
    // holds an unconsumed signal and a thread is blocked waiting here again, i.e. the waiter
    // has done its work for the last Set. False on time-out.
    bool WaitUntilConsumed(int timeoutMs);

private:
    friend class Thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_signalled = false;
    int m_waiters = 0;
};

enum class WaitResult { kEvent, kQuit };

class Thread {
public:
    // Starts body(thread) at once; null when the thread cannot be made. The body should
    // return once WaitForEventOrQuit reports kQuit.
    static std::unique_ptr<Thread> Start(std::function<void(Thread&)> body);
    // Joins when not joined yet (after posting a quit request).
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Never lost: a request posted before the body waits ends its next wait.
    void PostQuit();
    bool QuitRequested() const { return m_quit.load(); }
    // Called by the body only. A pending quit request wins over a signalled event.
    WaitResult WaitForEventOrQuit(AutoResetEvent& event);
    // Waits for the body to return. Not from the thread itself.
    void Join();
    uint64_t GetId() const { return m_id; }

private:
    Thread() = default;

    std::thread m_thread;
    std::atomic<bool> m_quit{false};
    std::mutex m_mutex; // guards m_waitingOn
    AutoResetEvent* m_waitingOn = nullptr;
    uint64_t m_id = 0;
};

// Re-entrant within one thread. Lockable, so std::lock_guard and std::unique_lock take it.
class RecursiveLock {
public:
    void lock() { m_mutex.lock(); }
    void unlock() { m_mutex.unlock(); }
    bool try_lock() { return m_mutex.try_lock(); }

private:
    std::recursive_mutex m_mutex;
};

} // namespace platform
