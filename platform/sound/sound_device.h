#pragma once
// The sound device the audio code plays through: a software mixer of our own with the buffer
// model the engine was written against. A device owns one primary format (2 channels, 44,100
// Hz, 16 bits) and mixes any number of voices into it. A voice (SoundVoice: what the engine
// calls a secondary sound buffer, not to be confused with an effect's samples, GSoundBuffer)
// holds PCM (8-bit unsigned or 16-bit signed, mono or stereo, any rate); it is written
// between Lock (which hands out one region of its bytes at a time) and Unlock (which takes
// that region back), played once or looping, and has volume, pan and frequency controls when
// they were asked for at creation. Notification positions set an auto-reset event when the
// play cursor passes them.
//
// Output goes to SDL audio (kSystem), nowhere at the real-time pace (kNull), or nowhere until a
// test calls Render (kManual), which mixes exactly the frames asked for and lets the waiters of
// every notification it set finish their work before it goes on.
//
// Any thread may call a voice or the device; the mixer runs on the output's thread and takes
// the device's one lock (see audio/player/stream_thread.h for where it stands in the lock
// order). Bytes between Lock and Unlock are the caller's: the mixer reads the voice while it
// plays, as a hardware device would, so callers write only where the play cursor is not.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace platform {

class AutoResetEvent;

// The PCM description (18 bytes in files and in comparisons: every field counts).
struct WaveFormat {
    uint16_t formatTag = 0; // 1 = PCM
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0;

    bool operator==(const WaveFormat&) const = default;
    static WaveFormat Pcm(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t extraSize = 0);
};

enum class SoundResult {
    kOk,
    kInvalidParam,       // out of range or malformed
    kControlUnavailable, // the buffer was created without that control
    kBufferLost,
    kOutOfMemory,
    kBadFormat, // not PCM, or channels/bits/rate the mixer does not take
    kNoDevice,  // the output could not be opened
};

namespace sound_caps {
constexpr uint32_t kPrimary = 0x1;
constexpr uint32_t kCtrlFrequency = 0x20;
constexpr uint32_t kCtrlPan = 0x40;
constexpr uint32_t kCtrlVolume = 0x80;
constexpr uint32_t kCtrlPositionNotify = 0x100;
constexpr uint32_t kGetCurrentPosition2 = 0x10000;
} // namespace sound_caps

namespace sound_status {
constexpr uint32_t kPlaying = 0x1;
constexpr uint32_t kBufferLost = 0x2;
constexpr uint32_t kLooping = 0x4;
} // namespace sound_status

constexpr int32_t kVolumeMin = -10000; // hundredths of a decibel; 0 is full level
constexpr int32_t kPanLeft = -10000;   // right channel 100 dB down
constexpr int32_t kPanRight = 10000;
constexpr uint32_t kFrequencyMin = 100; // Hz; 0 passed to SetFrequency means the format's rate
constexpr uint32_t kFrequencyMax = 100000;

struct SoundVoiceDesc {
    uint32_t flags = 0;
    uint32_t bytes = 0;                 // 0 for the primary buffer
    const WaveFormat* format = nullptr; // null for the primary buffer
};

// The buffer shares the event: a mix in flight may still set it after its owner let go.
struct SoundNotifyPosition {
    uint32_t offset; // byte offset in the buffer
    std::shared_ptr<AutoResetEvent> event;
};

// The events one mix set, kept in fixed storage: the mixer runs on the output's thread and
// must not allocate. Each event once, in the order the mix passed their positions.
class SoundEventSet {
public:
    static constexpr size_t kCapacity = 64;

    // False when the set is full (the caller then sets the event itself); true when the event
    // is in the set, also when it was there already.
    bool Add(const std::shared_ptr<AutoResetEvent>& event);
    std::span<const std::shared_ptr<AutoResetEvent>> Events() const
    {
        return {m_events.data(), m_count};
    }
    void Clear();

private:
    std::array<std::shared_ptr<AutoResetEvent>, kCapacity> m_events;
    size_t m_count = 0;
};

class SoundCore;
struct VoiceState;

class SoundVoice {
public:
    ~SoundVoice();
    SoundVoice(const SoundVoice&) = delete;
    SoundVoice& operator=(const SoundVoice&) = delete;

    // Hands out the region to write: one or two parts (a region that runs past the end wraps
    // to the start, the second part). One region at a time: until it is unlocked another
    // Lock is refused (kInvalidParam).
    SoundResult Lock(uint32_t offset, uint32_t bytes, void** part1, uint32_t* bytes1, void** part2,
                     uint32_t* bytes2);
    // Takes back the region Lock handed out (the byte counts may be what was written, at most
    // what was handed out); anything else is kInvalidParam.
    SoundResult Unlock(void* part1, uint32_t bytes1, void* part2, uint32_t bytes2);

    SoundResult Play(bool looping);
    SoundResult Stop();
    // Bytes from the start; the write cursor is where writing is safe again (a little ahead).
    SoundResult GetCurrentPosition(uint32_t* play, uint32_t* write) const;
    SoundResult SetCurrentPosition(uint32_t offset);
    SoundResult GetStatus(uint32_t* status) const;

    SoundResult SetVolume(int32_t hundredthsDb); // kVolumeMin..0
    SoundResult GetVolume(int32_t* hundredthsDb) const;
    SoundResult SetPan(int32_t pan);       // kPanLeft..kPanRight
    SoundResult SetFrequency(uint32_t hz); // 0, or kFrequencyMin..kFrequencyMax
    SoundResult GetFrequency(uint32_t* hz) const;
    // Replaces the positions; only while stopped, on a buffer made with kCtrlPositionNotify.
    SoundResult SetNotificationPositions(std::span<const SoundNotifyPosition> positions);
    SoundResult Restore();
    // Primary buffer only.
    SoundResult SetFormat(const WaveFormat& format);

    const WaveFormat& GetFormat() const;
    uint32_t GetSize() const;

private:
    friend class SoundDevice;
    SoundVoice(std::shared_ptr<SoundCore> core, std::unique_ptr<VoiceState> voice);
    // Under the core's lock: kControlUnavailable for a voice made without the control (a
    // sound_caps::kCtrl flag), else what step makes of the voice's state.
    template <class Step>
    SoundResult WithControl(uint32_t control, Step step) const;

    std::shared_ptr<SoundCore> m_core; // buffers may outlive the device object
    std::unique_ptr<VoiceState> m_voice;
};

enum class SoundOutput { kSystem, kNull, kManual };

class SoundOutputSink;

class SoundDevice {
public:
    static constexpr uint32_t kRate = 44100; // frames per second of the mix
    // Null when the output cannot be opened (*error says why).
    static std::unique_ptr<SoundDevice> Create(SoundOutput output, SoundResult* error = nullptr);
    ~SoundDevice();
    SoundDevice(const SoundDevice&) = delete;
    SoundDevice& operator=(const SoundDevice&) = delete;

    SoundResult CreateBuffer(const SoundVoiceDesc& desc, std::unique_ptr<SoundVoice>* buffer);
    WaveFormat GetPrimaryFormat() const;
    SoundOutput GetOutput() const { return m_output; }

    // kManual only: mixes frames stereo frames; appends them to *out when out is given.
    // After each step in which notifications fired, waits (up to 2 s) until their waiters are
    // back waiting, as if the consumer were infinitely fast.
    void Render(uint32_t frames, std::vector<int16_t>* out = nullptr);
    // Every secondary buffer becomes lost and stops, as when another program takes the device.
    void LoseBuffers();
    // What Restore returns from now on (kOk: restores normally), for tests of failing devices.
    void SetRestoreResult(SoundResult result);

    // The mixer: frames interleaved stereo 16-bit samples; the events it fires go to *fired
    // (set once the mix is done when fired is null, or when *fired is full). Outputs call it;
    // benchmarks too. Allocates nothing.
    void Mix(int16_t* out, uint32_t frames, SoundEventSet* fired = nullptr);

private:
    explicit SoundDevice(SoundOutput output);

    std::shared_ptr<SoundCore> m_core;
    SoundOutput m_output;
    std::unique_ptr<SoundOutputSink> m_sink;
};

// An output that pulls from a device's mixer; made by the backends.
class SoundOutputSink {
public:
    virtual ~SoundOutputSink() = default;
};

// kSystem: SDL audio at 44,100 Hz stereo 16-bit; null when SDL cannot open a device.
std::unique_ptr<SoundOutputSink> OpenSdlSoundSink(SoundDevice& device);

} // namespace platform
