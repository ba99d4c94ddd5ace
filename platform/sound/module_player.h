#pragma once
// Tracker-module playback through libxmp, loaded at run time ("libxmp.so.4"). Without the
// library there is no module music and nothing else changes: ModuleLibrary::Load returns null.
// The operations are the ones the module decoder relies on: initialise with a parameter record
// (whose rate the player may change), load a song, select it, set its start position (an
// order number), start it or mark it ended, render chunks of float stereo frames, report the
// end of the song to a listener, free the song, release the player.
// A player is used by one thread at a time.

#include <cstdint>
#include <memory>

namespace platform {

class ModuleListener {
public:
    virtual ~ModuleListener() = default;
    // event 0: the song has ended (called from inside Render).
    virtual void OnEvent(int event, int argument) = 0;
};

struct ModulePlayerParams {
    int32_t channels = 4; // kept for the record; output is always stereo
    int32_t reserved = 0;
    int32_t rate = 44100; // Hz; the player may change it (libxmp takes 4,000..49,170)
    int32_t flags = 0;
};

struct ModuleApi;

class ModulePlayer {
public:
    enum State { kPlaying = 0, kEnded = 4 };

    ~ModulePlayer(); // releases the player and its song
    ModulePlayer(const ModulePlayer&) = delete;
    ModulePlayer& operator=(const ModulePlayer&) = delete;

    // 0 on success.
    int Init(ModulePlayerParams* params);
    // The song handle, 0 on failure. Names resolve as every engine file name does.
    int Load(const char* path);
    void FreeSong(int handle);
    void SelectSong(int handle);
    void SetStartPosition(int position);
    // kPlaying (re)starts the selected song at its start position; kEnded silences it.
    void SetState(int state);
    // Writes frames interleaved stereo frames in -1.0..1.0 and returns how many of them the
    // song filled: all of them until it ends, then the frames before its end (the rest and
    // every later call are silence). The end is reported to the listener during the call.
    int Render(float* buffer, int frames);
    void SetListener(ModuleListener* listener) { m_listener = listener; }

private:
    friend class ModuleLibrary;
    ModulePlayer(std::shared_ptr<ModuleApi> api, void* context);
    void Restart();
    bool NextFrame();

    std::shared_ptr<ModuleApi> m_api;
    void* m_context;
    ModuleListener* m_listener = nullptr;
    int m_rate = 44100;
    bool m_loaded = false;
    bool m_started = false;
    bool m_playing = false;
    int m_startPosition = 0;
    // What is left of libxmp's last frame (16-bit stereo, its own buffer until the next frame).
    const int16_t* m_pending = nullptr;
    int m_pendingFrames = 0;
};

class ModuleLibrary {
public:
    // Null when the library (or one of its functions) is missing.
    static std::unique_ptr<ModuleLibrary> Load();
    ~ModuleLibrary();
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;

    // A new player; null when it cannot be made.
    std::unique_ptr<ModulePlayer> CreatePlayer();

private:
    explicit ModuleLibrary(std::shared_ptr<ModuleApi> api);
    std::shared_ptr<ModuleApi> m_api; // players keep it alive after the library object goes
};

// For tests of a system without the library: the name Load opens (null: "libxmp.so.4").
void SetModuleLibraryName(const char* soname);

} // namespace platform
