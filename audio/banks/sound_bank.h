#pragma once
// The sound-effect bank: up to 256 short effects, each copied into a sound buffer of its own,
// so that playing one only starts its buffer. A sound is addressed by a caller-chosen id
// (>= 0) and has its own volume (linear 0..10000), pan and frequency in percent of its own
// rate; the bank adds a master volume and an on/off switch. A sound plays at the level
// volume x master / 10000. Main thread only.
//
// The effects are Ogg Vorbis files decoded whole (GSoundBank) or uncompressed WAV files
// played from a read-only mapping of the file (GWavBank, whose buffers have no frequency
// control); both banks are this one code.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sound/sound_device.h"

namespace platform {
class MappedFile;
} // namespace platform

enum class GEffectFormat { kOgg, kWav };

class GSoundBuffer {
public:
    // Effects above this many bytes of PCM (about 6 minutes of 44.1 kHz stereo) are refused:
    // an Ogg file's own claim of its length decides the allocation.
    static constexpr int64_t kMaxPcmBytes = int64_t{64} << 20;

    explicit GSoundBuffer(platform::SoundDevice* device, GEffectFormat kind = GEffectFormat::kOgg);
    ~GSoundBuffer();
    GSoundBuffer(const GSoundBuffer&) = delete;
    GSoundBuffer& operator=(const GSoundBuffer&) = delete;

    int CreateBuffer(const char* path);
    int FillBuffer();
    platform::SoundResult Play(bool restart);
    void Stop();
    bool IsPlaying() const;
    void SetLevel(int32_t level); // linear 0..10000
    void SetPan(int32_t pan);
    void SetFrequency(uint32_t hz);
    uint32_t GetFrequency() const;
    void Release();

    // Copies up to length bytes of PCM from the read position; the rest of dest is silence.
    uint32_t ReadPcm(uint8_t* dest, uint32_t length);
    const platform::WaveFormat& GetFormat() const { return m_format; }
    platform::SoundVoice* GetBuffer() const { return m_buffer.get(); }

    uint32_t GetPcmBytes() const { return m_pcmSize; }

private:
    int LoadOgg(const char* path);
    int LoadWav(const char* path);

    GEffectFormat m_kind;
    // The PCM, kept to refill a lost buffer: decoded into m_decoded, or inside the mapping.
    std::vector<uint8_t> m_decoded;
    std::unique_ptr<platform::MappedFile> m_mapping;
    const uint8_t* m_pcm = nullptr;
    uint32_t m_pcmSize = 0;
    platform::WaveFormat m_format;
    uint32_t m_readPosition = 0;
    std::unique_ptr<platform::SoundVoice> m_buffer;
    platform::SoundDevice* m_device;
};

class GSoundBank {
public:
    static constexpr int kMaxSounds = 256;
    static constexpr int kPathBytes = 1024;
    static constexpr int32_t kUnknownPan = -10000000;

    // device borrowed; folder copied ("SOUNDS\\" when null).
    GSoundBank(platform::SoundDevice* device, const char* folder)
        : GSoundBank(device, folder, GEffectFormat::kOgg)
    {
    }
    ~GSoundBank() { ReleaseAll(); }
    GSoundBank(const GSoundBank&) = delete;
    GSoundBank& operator=(const GSoundBank&) = delete;

    // Releases every sound, then adds sounds 0..count-1 from folder + i + ".ogg" (".wav").
    void Preload(int count);
    int AddSound(int id, const char* path);
    void RemoveSound(int id);
    void Play(int id, int restart);
    void StopSound(int id); // negative: every playing sound
    void SetEnabled(int flag);
    int IsEnabled() const { return m_enabled; }
    void SetVolume(int id, int volume);
    void SetMasterVolume(int volume);
    int GetMasterVolume() const { return m_masterVolume; }
    void SetFrequency(int id, int percent);
    void SetPan(int id, int pan);
    int IsPlaying(int id);
    int GetVolume(int id);
    int GetFrequency(int id);
    int GetPan(int id);
    int FindIndex(int id);
    int GetCount() const { return m_count; }
    // The buffer's rate when the sound was added; -1 for an unknown id.
    int GetBaseFrequency(int id);
    GSoundBuffer* GetSound(int id);
    void ReleaseAll();

protected:
    // The WAV bank's own defaults when folder is null: "WAV\\".
    GSoundBank(platform::SoundDevice* device, const char* folder, GEffectFormat kind);

private:
    struct Record {
        int id = 0;
        int pan = 0;
        int volume = 10000;
        int frequency = 100; // percent of the base frequency
        uint32_t baseFrequency = 0;
        std::unique_ptr<GSoundBuffer> sound;
    };

    std::unique_ptr<GSoundBuffer> CreateSound(const char* path);
    void ApplyLevel(Record& record);

    GEffectFormat m_kind;
    std::string m_folder;
    bool m_folderFits = true;
    platform::SoundDevice* m_device;
    int m_masterVolume = 10000;
    int m_enabled = 1;
    std::unique_ptr<Record[]> m_records;
    int m_count = 0;
};

// The WAV twin of the Ogg bank: the same operations but for the frequency, over WAV files.
class GWavBank : private GSoundBank {
public:
    // folder null: "WAV\\".
    GWavBank(platform::SoundDevice* device, const char* folder)
        : GSoundBank(device, folder, GEffectFormat::kWav)
    {
    }

    using GSoundBank::AddSound;
    using GSoundBank::FindIndex;
    using GSoundBank::GetCount;
    using GSoundBank::GetMasterVolume;
    using GSoundBank::GetPan;
    using GSoundBank::GetSound;
    using GSoundBank::GetVolume;
    using GSoundBank::IsEnabled;
    using GSoundBank::IsPlaying;
    using GSoundBank::kMaxSounds;
    using GSoundBank::kUnknownPan;
    using GSoundBank::Play;
    using GSoundBank::Preload;
    using GSoundBank::ReleaseAll;
    using GSoundBank::RemoveSound;
    using GSoundBank::SetEnabled;
    using GSoundBank::SetMasterVolume;
    using GSoundBank::SetPan;
    using GSoundBank::SetVolume;
    using GSoundBank::StopSound;
};
