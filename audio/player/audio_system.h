#pragma once
// The audio facade: owns the sound device and at most one of each player and bank (stream
// player, sound-effect bank, WAV bank, Ogg engine, Ogg player). Without a device (no sound
// output, or InitDirectSound failed) it creates none of them and the game runs silent:
// callers treat a null player or bank as no audio. Main thread only.

#include <memory>

#include "platform/sound/sound_device.h"

class GApplication;
class GAudioPlayer;
class GOggEngine;
class GOggPlayer;
class GSoundBank;
class GWavBank;

class GAudioSystem {
public:
    // application may be null; its window owns no box here (boxes have no owner window on this
    // platform), so it is not kept. Seeds rand() from the tick.
    explicit GAudioSystem(GApplication* application);
    ~GAudioSystem();
    GAudioSystem(const GAudioSystem&) = delete;
    GAudioSystem& operator=(const GAudioSystem&) = delete;

    // 1 when the device was made now; 0 when one exists already (nothing is done) or it
    // cannot be made ("Error initializing DirectSound" is shown). output picks the sink: the
    // system's sound output, nowhere at the real-time pace, or a test-driven clock.
    int InitDirectSound(platform::SoundOutput output = platform::SoundOutput::kSystem);

    // Null while an Ogg player exists: the two streaming players exclude each other.
    GAudioPlayer* CreateAudioPlayer(const char* folder);
    GSoundBank* CreateSoundBank(int count, const char* folder);
    void DestroyAudioPlayer();
    void DestroySoundBank();
    // The WAV bank: made on the first call (null without a device) and preloaded with count
    // sounds; later calls return it as it is.
    GWavBank* CreateWavBank(int count, const char* folder);
    void DestroyWavBank();
    // The Ogg engine: made and started on the first call (null without a device or when it
    // cannot start); later calls return it as it is.
    GOggEngine* CreateOggEngine(int fileCount, const char* folder);
    void DestroyOggEngine();
    // The Ogg player with its thread, only while no stream player exists (else null).
    GOggPlayer* CreateOggPlayer(const char* folder);
    void DestroyOggPlayer();
    // Every player and bank, then the device.
    void Shutdown();

    platform::SoundDevice* GetDevice() const { return m_device.get(); }
    GAudioPlayer* GetAudioPlayer() const { return m_audioPlayer.get(); }
    GSoundBank* GetSoundBank() const { return m_soundBank.get(); }
    GWavBank* GetWavBank() const { return m_wavBank.get(); }
    GOggEngine* GetOggEngine() const { return m_oggEngine.get(); }
    GOggPlayer* GetOggPlayer() const { return m_oggPlayer.get(); }

private:
    platform::SoundResult CreateDirectSound(platform::SoundOutput output);
    platform::SoundResult SetPrimaryFormat(int channels, int rate, int bits);

    std::unique_ptr<platform::SoundDevice> m_device;
    std::unique_ptr<GAudioPlayer> m_audioPlayer;
    std::unique_ptr<GSoundBank> m_soundBank;
    std::unique_ptr<GWavBank> m_wavBank;
    std::unique_ptr<GOggEngine> m_oggEngine;
    std::unique_ptr<GOggPlayer> m_oggPlayer;
};
