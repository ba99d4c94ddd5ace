#pragma once
// The streaming scaffolding that the four streaming players (stream player, Ogg player, Ogg
// engine, MIDI player) each own one of: the notification event their buffer's positions set,
// the thread that waits on it and runs the player's fill step, starting and ending that
// thread, the restore of a lost buffer, and the rule that one player of a kind runs at a time.
// A player supplies only its fill step and what it stops and frees around the thread's end.
//
// Threads: Start, End, Shutdown and the accessors are called from the main thread (any thread
// but the stream's own); the fill step runs on the stream's thread under the kind's lock.
//
// Lock order, for every player and the mixer below them:
//   1. the kind's lock (GStreamKind::lock: AudioPlayerLock, the Ogg player's, the Ogg
//      engine's, the MIDI lock), held by every public operation of a player and by each fill
//      step; the music manager takes the stream player's around a look-up and a play;
//   2. the sound device's mixer lock, taken inside every buffer call and by the mixer;
//   3. an event's own lock, taken by Set (from the mixer, and from the mixer's output after
//      it let go of the mixer lock) and by the waiting thread.
// Nothing takes them the other way round. Message boxes are shown with no lock held: a fill
// step that wants the user told hands the text to Alert, and the thread shows it once it has
// let go of the kind's lock.

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/sound/sound_device.h"
#include "platform/system/threads.h"

// What the players of one kind share: one per kind, process-wide.
struct GStreamKind {
    GStreamKind(const char* boxTitle, int sleepMs) : title(boxTitle), restoreSleepMs(sleepMs) {}

    const char* title;  // of the boxes of its thread ("Audio Player", "Ogg Player"...)
    int restoreSleepMs; // between Restore calls while a buffer stays lost (a second in all)
    platform::RecursiveLock lock;
    void* active = nullptr; // the running player of this kind; guarded by lock

    // The running player, read under the lock.
    template <typename Player>
    Player* Running()
    {
        std::lock_guard guard(lock);
        return static_cast<Player*>(active);
    }
};

class GStreamThread {
public:
    // Under the lock. 1 when all went well (also: nothing to do); 0 ends the thread after the
    // box "Error handling DirectSound notifications" titled after the kind.
    using FillStep = std::function<int()>;

    explicit GStreamThread(GStreamKind& kind) : m_kind(kind) {}
    ~GStreamThread();
    GStreamThread(const GStreamThread&) = delete;
    GStreamThread& operator=(const GStreamThread&) = delete;

    // owner becomes the running player of the kind, with the event and the thread running
    // fill on each notification. False (nothing made) while a player of the kind runs, or
    // when the event or the thread cannot be made.
    bool Start(void* owner, FillStep fill);
    // The owner is the kind's running player. Under the kind's lock.
    bool IsRunning() const { return m_owner && m_kind.active == m_owner; }

    // Ends the owner's run: under the lock, stop (when it runs; else nothing at all happens);
    // then, without the lock (the thread may be waiting for it to finish a fill step), the
    // thread is asked to quit and joined; then, under the lock again, release, the event is
    // dropped and another player of the kind may start.
    void Shutdown(const std::function<void()>& stop, const std::function<void()>& release);

    // For a fill step: shows the text in an "Alert" box once the lock is let go.
    void Alert(const char* text);

    // 1 when the buffer is not lost or was restored; 0 when the device refuses (another error
    // than "still lost") or keeps it lost for about a second.
    int RestoreLostBuffer(platform::SoundVoice& buffer) const;

    platform::RecursiveLock& Lock() const { return m_kind.lock; }
    // Shared with the buffer's notification positions (a mix in flight may still set it).
    const std::shared_ptr<platform::AutoResetEvent>& Event() const { return m_event; }
    platform::Thread* GetThread() const { return m_thread.get(); }

private:
    void Run(platform::Thread& thread, const FillStep& fill);

    GStreamKind& m_kind;
    void* m_owner = nullptr; // guarded by the kind's lock
    std::shared_ptr<platform::AutoResetEvent> m_event;
    std::unique_ptr<platform::Thread> m_thread;
    std::string m_alert; // guarded by the kind's lock
};

// The buffer exists and plays.
bool IsBufferPlaying(const platform::SoundVoice* buffer);
