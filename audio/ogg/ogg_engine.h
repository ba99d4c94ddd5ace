#pragma once
// The Ogg engine: plays one numbered Ogg Vorbis file at a time (folder + number + ".ogg",
// folder "OGG\\" by default) through a 4 MB buffer in two halves. The buffer is filled whole
// when a file starts; its own thread refills the half that playback has just left, looping
// the file from its start (loop flag) or padding with silence and stopping once all the data
// has been heard. Only one engine runs at a time; its operations may be called from any
// thread and take the engine's lock. The thread and the lock order are GStreamThread's.

#include <cstdint>
#include <memory>
#include <string>

#include "audio/decoders/ogg_reader.h"
#include "audio/player/stream_thread.h"
#include "platform/sound/sound_device.h"
#include "platform/system/threads.h"

// One file in a looping buffer of two halves, each announced by a notification at its end.
class GOggStream {
public:
    explicit GOggStream(platform::SoundDevice* device) : m_device(device) {}
    GOggStream(const GOggStream&) = delete;
    GOggStream& operator=(const GOggStream&) = delete;

    // Opens the file, makes the buffer (size bytes, whole frames in each half) with its two
    // notifications on event and fills it from the start. False with nothing made.
    bool Create(uint32_t size, const char* path, std::shared_ptr<platform::AutoResetEvent> event,
                bool loop);
    // The work of one notification; false when the buffer can no longer be written. stream
    // restores a lost buffer.
    bool Refill(bool loop, const GStreamThread& stream);
    // Rewinds the file and fills the buffer again from its start (position 0, nothing heard).
    bool Reset(bool loop);
    bool Play();
    void Stop();
    bool IsPlaying() const;
    void SetVolume(int volume);

    platform::SoundVoice* GetBuffer() const { return m_buffer.get(); }
    uint32_t GetBytesPlayed() const { return m_bytesPlayed; }
    bool HasEnded() const { return m_ended; }

private:
    // length bytes of PCM at dest: the file, from its start again when it ends (loop), or
    // silence after its end.
    void Read(uint8_t* dest, uint32_t length, bool loop);
    bool Fill(uint32_t offset, uint32_t length, bool loop);

    platform::SoundDevice* m_device;
    std::unique_ptr<platform::SoundVoice> m_buffer;
    uint32_t m_size = 0;
    uint32_t m_half = 0;
    GOggReader m_reader;
    int64_t m_dataSize = 0;
    uint32_t m_writeOffset = 0;
    uint32_t m_lastPlay = 0;
    uint32_t m_bytesPlayed = 0;
    bool m_ended = false;
};

class GOggEngine {
public:
    static constexpr uint32_t kBufferBytes = 0x400000;

    // device borrowed; folder copied (null: "OGG\\").
    GOggEngine(platform::SoundDevice* device, const char* folder);
    ~GOggEngine();
    GOggEngine(const GOggEngine&) = delete;
    GOggEngine& operator=(const GOggEngine&) = delete;

    // 1 when this engine became the running one with its thread; 0 while another runs.
    int Start(int fileCount);
    // File index (negative: a random one) below the file count; 1 when it plays.
    int Play(int index);
    void Stop();
    void Pause();
    void Resume();
    void SetVolume(int volume); // linear 0..10000; above is ignored
    int GetVolume() const { return m_volume; }
    void SetLoop(bool loop);
    bool IsPlaying();
    bool IsPaused() const { return m_paused; }
    // Ends the thread, frees the stream and lets another engine run.
    void Shutdown();

    GOggStream* GetStream() const { return m_file.get(); }
    platform::Thread* GetThreadHandle() const { return m_stream.GetThread(); }

    static platform::RecursiveLock& Lock();
    static GOggEngine* Active();

private:
    int OpenStream(const char* path);

    int m_fileCount = 0;
    bool m_loop = true;
    int m_volume = 10000;
    bool m_paused = false;
    platform::SoundDevice* m_device;
    std::unique_ptr<GOggStream> m_file; // the file playing
    std::string m_folder;
    GStreamThread m_stream; // last: its thread ends before the rest goes
};
