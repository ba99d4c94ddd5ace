#pragma once
// The MIDI music player: numbered Standard MIDI files (folder + number + ".mid", folder "MIDI\\"
// by default) played by a General MIDI synthesiser into a looping sound buffer of 4 blocks.
// Its own thread renders the synthesiser into each block that playback has just left, and
// when a song ends with the repeat-next flag set, a random other file follows. Volume is on
// the engine's linear scale with a steeper curve than effects (4000 x log10(v / 10000)
// hundredths of a decibel); the tempo is one of seven factors, 0.25 to 4. Only one MIDI player
// runs at a time; its operations take the process-wide MIDI lock, so any thread may call them.
// The thread and the lock order are GStreamThread's; every box is shown outside the lock.

#include <cstdint>
#include <memory>
#include <string>

#include "audio/player/stream_thread.h"
#include "platform/sound/sound_device.h"
#include "platform/system/threads.h"

namespace platform {
class MidiSynth;
} // namespace platform

// The song the synthesiser holds, and where a pause left it.
struct GMidiSegment {
    bool downloaded = false; // a song is loaded
    bool paused = false;
    int startTick = 0; // where the last play or resume started
    int pausedAt = 0;
};

class GMidiPlayer {
public:
    static constexpr int kBlockCount = 4;
    static constexpr int kBlockFrames = 2048;
    static constexpr uint32_t kBlockBytes = kBlockFrames * 4;
    static constexpr uint32_t kBufferBytes = kBlockBytes * kBlockCount;
    static constexpr int kTempoCount = 7;
    static constexpr int32_t kSilentLevel = -20000;

    // device borrowed; folder copied, with "\\" added when it ends in neither separator
    // (null: "MIDI\\").
    GMidiPlayer(platform::SoundDevice* device, const char* folder);
    ~GMidiPlayer();
    GMidiPlayer(const GMidiPlayer&) = delete;
    GMidiPlayer& operator=(const GMidiPlayer&) = delete;

    // 1 when this became the running MIDI player with its synthesiser and thread. Without a
    // sound device, synthesiser or sound font the reason is shown and 0 returned.
    int Start(int fileCount);
    // A file index below the count (negative: a random one other than the current, unless
    // there is only one); 1 when it plays. A file that does not load is reported.
    int Play(int index);
    void Stop();
    void Pause();
    void Resume();
    bool IsPlaying();
    bool IsPaused();
    // Linear 0..10000; values above and the stored one are ignored.
    void SetVolume(int volume);
    int GetVolume() const { return m_volume; }
    int32_t GetLevel() const { return m_level; } // hundredths of a decibel
    // 0..6: 0.25, 0.5, 0.75, 1, 2, 3 or 4 times the song's tempo; others are ignored.
    void SetTempo(int index);
    int GetTempo() const { return m_tempo; }
    static double TempoFactor(int index);
    void SetRepeatNext(int flag);
    int GetCurrentFile(); // the thread changes it at a song's end
    const GMidiSegment& GetSegment() const { return m_segment; }
    const std::string& GetFolder() const { return m_folder; }
    // Ends the thread (also from a pause or during a refill) and frees the synthesiser.
    void Shutdown();

    platform::SoundVoice* GetBuffer() const { return m_buffer.get(); }
    platform::Thread* GetThreadHandle() const { return m_stream.GetThread(); }
    static platform::RecursiveLock& Lock();
    static GMidiPlayer* Active();

private:
    bool CreateBuffer();
    bool HandleNotification();
    // Play without the box: *loadFailed tells that the file did not load.
    int PlayFile(int index, bool* loadFailed);
    bool RenderBlock(int block);
    bool Loops() const { return m_repeatNext && m_fileCount == 1; }

    int m_fileCount = 0;
    int m_current = -1;
    int m_repeatNext = 1;
    int m_volume = 10000;
    int32_t m_level = 0;
    int m_tempo = 3;
    std::unique_ptr<platform::MidiSynth> m_synth;
    GMidiSegment m_segment;
    platform::SoundDevice* m_device;
    std::unique_ptr<platform::SoundVoice> m_buffer;
    int m_nextBlock = 0; // the block to render once playback has left it
    std::string m_folder;
    GStreamThread m_stream; // last: its thread ends before the rest goes
};
