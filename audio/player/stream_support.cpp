#include "audio/player/stream_support.h"

#include <mutex>

#include "platform/window/message_box.h"
#include "platform/system/time.h"

void RunNotificationLoop(platform::Thread& thread, platform::AutoResetEvent& event,
                         platform::RecursiveLock& lock, const char* title,
                         const std::function<int()>& refill)
{
    while (thread.WaitForEventOrQuit(event) == platform::WaitResult::kEvent) {
        int ok;
        {
            std::lock_guard guard(lock);
            ok = refill();
        }
        if (!ok) {
            platform::ShowMessageBox(title, "Error handling DirectSound notifications",
                                     platform::MessageBoxButtons::kOk, platform::MessageBoxIcon::kError);
            return;
        }
    }
}

int RestoreLostBuffer(platform::SoundBuffer& buffer, int sleepMs)
{
    uint32_t status = 0;
    if (buffer.GetStatus(&status) != platform::SoundResult::kOk)
        return 0;
    if (!(status & platform::sound_status::kBufferLost))
        return 1;
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

void EndNotificationThread(std::unique_ptr<platform::Thread>& thread)
{
    if (!thread)
        return;
    thread->PostQuit();
    thread->Join();
    thread.reset();
}

bool IsBufferPlaying(const platform::SoundBuffer* buffer)
{
    uint32_t status = 0;
    return buffer && buffer->GetStatus(&status) == platform::SoundResult::kOk &&
           (status & platform::sound_status::kPlaying);
}
