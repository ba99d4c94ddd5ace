#pragma once
// What every streaming player's thread does alike: wait for its buffer's notification event
// (or a quit request), refill under the player's lock, and when a refill fails tell the user
// in a box titled after the player and end the thread. Also the restore of a lost buffer,
// asked again while the device answers "still lost", for about a second in all.

#include <functional>
#include <memory>

#include "platform/sound/sound_device.h"
#include "platform/system/threads.h"

// refill returns 0 on failure. The box is shown outside the lock, so the main thread may go on
// calling the player meanwhile.
void RunNotificationLoop(platform::Thread& thread, platform::AutoResetEvent& event,
                         platform::RecursiveLock& lock, const char* title,
                         const std::function<int()>& refill);

// Posts the quit request and waits for the thread to end, then lets it go. Called without the
// player's lock: the thread may be waiting for it to finish a refill.
void EndNotificationThread(std::unique_ptr<platform::Thread>& thread);

// The buffer exists and plays.
bool IsBufferPlaying(const platform::SoundBuffer* buffer);

// 1 when the buffer is not lost or was restored; 0 when the device refuses (another error than
// "still lost") or keeps it lost.
int RestoreLostBuffer(platform::SoundBuffer& buffer, int sleepMs);
