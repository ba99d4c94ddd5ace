#pragma once
// The streaming music player: a table of up to 256 tracks (Ogg, MP3 or tracker modules, chosen
// by the file's ending) played through one looping 294,912-byte buffer of 8 blocks. The
// "Audio Player" thread refills the block that playback has just left whenever the buffer's
// notification event fires; when a track ends the next one (by play mode) follows in the same
// buffer without a gap, and when none follows the end block is marked, the rest is silence and
// playback stops on reaching it.
//
// Threads: every public operation may be called from the main thread; the player's own thread
// decodes under the same process-wide lock (AudioPlayerLock), which every operation that
// touches the table, the decoders or the buffer takes. Only one player runs at a time
// (ActiveAudioPlayer). The thread, its event and the lock order are GStreamThread's
// (audio/player/stream_thread.h).
//
// The Ogg player (audio/ogg/ogg_player.h) is this player with another Layout: its own buffer
// geometry and its own kind (lock, running player, thread title).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/player/stream_thread.h"
#include "platform/sound/sound_device.h"
#include "platform/system/threads.h"

class GStreamDecoder;
class GModuleDecoder;
namespace platform {
class ModuleLibrary;
} // namespace platform

class GAudioPlayer {
public:
    static constexpr int kMaxTracks = 256;
    static constexpr int kMaxNameLength = 255;
    static constexpr int kPathBufferBytes = 1024;
    static constexpr uint32_t kBufferBytes = 0x48000;
    static constexpr int kBlockCount = 8;
    static constexpr uint32_t kBlockBytes = kBufferBytes / kBlockCount; // 36,864

    enum PlayMode { kNoNext = 0, kNextTrack = 1, kRepeatTrack = 2 };

    // device is borrowed; folder is copied (null: empty). Loads the module library (missing:
    // module tracks will not open, nothing else changes).
    GAudioPlayer(platform::SoundDevice* device, const char* folder);
    ~GAudioPlayer();
    GAudioPlayer(const GAudioPlayer&) = delete;
    GAudioPlayer& operator=(const GAudioPlayer&) = delete;

    int StartThread();
    int InitModulePlayer();

    // Refuses a null name, a name longer than 255 characters, a folder + name that does not
    // fit the 1,024-byte path, and a full table.
    int AddTrack(const char* name, int flag);
    void RemoveTrack(int index);
    void ClearTracks();
    int GetTrackCount();
    // The folder the track names are read from ("MUSIC\\"), as given at construction.
    const std::string& GetFolder() const { return m_folder; }
    int GetCurrentTrack();
    void SetPlayMode(int mode);
    void SetRandomNext(int flag);

    int PlayTrack(int index, int flag);
    int Stop();
    int Pause();
    int Resume();
    int SetVolume(int volume); // linear 0..10000
    int GetVolume() const { return m_volume; }
    int IsPlaying();
    uint32_t GetPlayedBytes();
    double GetPlayedMs();
    void Shutdown();

    // The index of the first track of that name, or preferred when that track has the name;
    // -1 when none has.
    int FindTrack(const char* name, int preferred = -1);

    platform::Thread* GetThreadHandle() const { return m_stream.GetThread(); }
    platform::SoundVoice* GetStreamBuffer() const { return m_buffer.get(); }
    const platform::WaveFormat& GetStreamFormat() const { return m_format; }
    GStreamDecoder* GetCurrentDecoder() const { return m_decoder; }
    GModuleDecoder* GetModuleDecoder() const { return m_moduleDecoder.get(); }
    bool HasModuleLibrary() const { return m_library != nullptr; }

    // The process-wide lock and the running player.
    static platform::RecursiveLock& Lock();
    static GAudioPlayer* Active();

protected:
    // What sets one streaming player apart from another.
    struct Layout {
        uint32_t bufferBytes;
        int blockCount;
        int maxTracks;          // 0: no limit
        bool loneRandomRepeats; // random next with one track: it plays again (else the list ends)
        GStreamKind* kind;      // lock, running player and box title of this kind of player
    };
    GAudioPlayer(platform::SoundDevice* device, const char* folder, const Layout& layout);

private:
    static const Layout kStreamLayout;

    struct Track {
        std::string name;
        int flag;
    };

    bool IsKindRunning() const { return m_layout.kind->active != nullptr; }
    int HandleNotification();
    int Open(const char* path, int flag);
    int OpenDecoder(const char* path, int flag, bool newFormatAllowed);
    void DropDecoder();
    bool CreateStreamBuffer();
    int SetNotifications();
    int FillRegion(uint32_t offset, uint32_t length);
    uint32_t ReadIntoBuffer(uint32_t offset, uint32_t length);
    int FillSilence(uint32_t offset, uint32_t length);
    void EndStream(uint32_t position, uint32_t length);
    bool RestartStream();
    int SelectNextTrack();
    void SetPath(int index);
    int RestoreBuffer();
    int PlayLooping();
    void ReleaseModulePlayer();

    const Layout& m_layout;
    const uint32_t m_blockBytes;
    std::vector<Track> m_tracks;
    bool m_started = false; // the thread runs: tracks may be added
    int m_current = -1;
    int m_playMode = kNoNext;
    int m_randomNext = 0;
    int m_volume = 10000;
    platform::SoundDevice* m_device;
    std::unique_ptr<platform::SoundVoice> m_buffer;
    platform::WaveFormat m_format;
    int m_lastRefilled = 0;
    int m_blockPlaying = 0;
    int m_endBlock = -1;
    GStreamDecoder* m_decoder = nullptr; // the current one: m_fileDecoder, m_moduleDecoder or none
    std::unique_ptr<GStreamDecoder> m_fileDecoder;   // Ogg or MP3, made for each track
    std::unique_ptr<GModuleDecoder> m_moduleDecoder; // made once and reused
    std::string m_path;
    std::string m_folder;
    uint32_t m_playedBytes = 0;
    std::unique_ptr<platform::ModuleLibrary> m_library;
    bool m_formatChanged = false; // set by OpenDecoder: opened, but needs another buffer format
    // A track of another format is open and waits for the end block: then a buffer of its
    // format starts with it (a block of silence at most between the two).
    bool m_restartPending = false;
    GStreamThread m_stream; // last: its thread ends before the rest goes
};
