#include "audio/player/stream_thread.h"

#include <mutex>
#include <new>

#include "foundation/files/data_files.h"
#include "platform/system/time.h"
#include "platform/window/message_box.h"

GStreamThread::~GStreamThread()
{
    Shutdown([] {}, [] {});
}

bool GStreamThread::Start(void* owner, FillStep fill)
{
    std::lock_guard lock(m_kind.lock);
    if (!owner || m_kind.active || m_thread)
        return false;
    // Without the event the thread could neither wait nor hear its quit request.
    m_event =
        std::shared_ptr<platform::AutoResetEvent>(new (std::nothrow) platform::AutoResetEvent);
    if (!m_event)
        return false;
    m_thread = platform::Thread::Start(
        [this, fill = std::move(fill)](platform::Thread& thread) { Run(thread, fill); });
    if (!m_thread) {
        m_event.reset();
        return false;
    }
    m_kind.active = m_owner = owner;
    return true;
}

void GStreamThread::Run(platform::Thread& thread, const FillStep& fill)
{
    while (thread.WaitForEventOrQuit(*m_event) == platform::WaitResult::kEvent) {
        int ok;
        std::string alert;
        {
            std::lock_guard lock(m_kind.lock);
            ok = fill();
            alert.swap(m_alert);
        }
        if (!alert.empty())
            ShowAlert(alert.c_str());
        if (!ok) {
            platform::ShowMessageBox(m_kind.title, "Error handling DirectSound notifications",
                                     platform::MessageBoxButtons::kOk,
                                     platform::MessageBoxIcon::kError);
            return;
        }
    }
}

void GStreamThread::Alert(const char* text)
{
    if (m_alert.empty() && text)
        m_alert = text; // one box per notification is enough
}

void GStreamThread::Shutdown(const std::function<void()>& stop,
                             const std::function<void()>& release)
{
    {
        std::lock_guard lock(m_kind.lock);
        if (!IsRunning())
            return;
        stop();
    }
    if (m_thread) {
        m_thread->PostQuit();
        m_thread->Join();
    }
    std::lock_guard lock(m_kind.lock);
    m_thread.reset();
    release();
    m_event.reset();
    m_alert.clear();
    m_kind.active = m_owner = nullptr;
}

int GStreamThread::RestoreLostBuffer(platform::SoundVoice& buffer) const
{
    uint32_t status = 0;
    if (buffer.GetStatus(&status) != platform::SoundResult::kOk)
        return 0;
    if (!(status & platform::sound_status::kBufferLost))
        return 1;
    const int sleepMs = m_kind.restoreSleepMs;
    const int tries = sleepMs > 0 ? 1000 / sleepMs : 1;
    for (int i = 0; i < tries; ++i) {
        const platform::SoundResult result = buffer.Restore();
        if (result == platform::SoundResult::kOk)
            return 1;
        if (result != platform::SoundResult::kBufferLost)
            return 0; // another error will not go away by asking again
        platform::SleepMs(sleepMs);
    }
    return 0;
}

bool IsBufferPlaying(const platform::SoundVoice* buffer)
{
    uint32_t status = 0;
    return buffer && buffer->GetStatus(&status) == platform::SoundResult::kOk &&
           (status & platform::sound_status::kPlaying);
}
