#include "platform/sound/sound_device.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/system/threads.h"

namespace platform {

WaveFormat WaveFormat::Pcm(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t extraSize)
{
    WaveFormat format;
    format.formatTag = 1;
    format.channels = channels;
    format.samplesPerSec = rate;
    format.blockAlign = static_cast<uint16_t>(bits / 8 * channels);
    format.avgBytesPerSec = format.blockAlign * rate;
    format.bitsPerSample = bits;
    format.extraSize = extraSize;
    return format;
}

// One buffer's state; every field but the PCM bytes is guarded by the core's mutex.
struct VoiceState {
    uint32_t flags = 0;
    WaveFormat format;
    std::vector<uint8_t> data;
    uint32_t frames = 0;
    bool playing = false;
    bool looping = false;
    bool lost = false;
    int32_t volume = 0;
    int32_t pan = 0;
    // Linear gains of each side (0 to 1), from volume and pan: worked out when either is set,
    // so the mixer does no power per chunk.
    float gainLeft = 1.0f;
    float gainRight = 1.0f;
    uint32_t frequency = 0; // 0: the format's own rate
    uint64_t position = 0;  // frames in 32.32 fixed point
    std::vector<SoundNotifyPosition> notify;
    // The region Lock handed out last (null: none), which Unlock must give back.
    const uint8_t* lockedPart1 = nullptr;
    uint32_t lockedBytes1 = 0;
    uint32_t lockedBytes2 = 0;
};

class SoundCore {
public:
    std::mutex mutex;
    std::vector<VoiceState*> voices;
    WaveFormat primary = WaveFormat::Pcm(2, SoundDevice::kRate, 16);
    SoundResult restoreResult = SoundResult::kOk;
};

namespace {

constexpr uint32_t kChunkFrames = 512;

double GainOf(int32_t hundredthsDb)
{
    if (hundredthsDb <= kVolumeMin)
        return 0.0; // -100 dB is silence anyway
    return hundredthsDb >= 0 ? 1.0 : std::pow(10.0, hundredthsDb / 2000.0);
}

// A pan attenuates the far side only: left of centre the right channel, right of it the left.
void UpdateGains(VoiceState& v)
{
    const double gain = GainOf(v.volume);
    v.gainLeft = static_cast<float>(gain * GainOf(std::min(0, -v.pan)));
    v.gainRight = static_cast<float>(gain * GainOf(std::min(0, v.pan)));
}

template <int Bits>
inline int32_t SampleAt(const uint8_t* data, uint32_t index)
{
    if constexpr (Bits == 8) {
        return (int32_t{data[index]} - 128) << 8;
    } else {
        int16_t s;
        std::memcpy(&s, data + index * 2, 2);
        return s;
    }
}

// The mix rule, written once for the plain and the SSE2 loops, which give the same bits:
//   out += trunc((s0 + (s1 - s0) x f) x gain)
// in single precision, with s0 the frame at the cursor, s1 the next one, f the cursor's
// fraction (16 bits, exact in a float) and gain 0..1. Samples are -32,768..32,767 (8-bit ones
// scaled up), so s1 - s0 needs 17 bits: it is taken in 32-bit integers and then converted,
// exactly; the interpolated sample stays between its neighbours, so nothing can overflow,
// and 32 voices at full level sum to under 2^21 in the int32 accumulator. The error against
// exact arithmetic is below one unit (the truncation). No fused multiply-add: the scalar and
// vector paths round alike.
inline float Lerp(int32_t s0, int32_t s1, float f)
{
    return static_cast<float>(s0) + static_cast<float>(s1 - s0) * f;
}

inline float FractionOf(uint64_t position)
{
    return static_cast<float>(static_cast<uint32_t>(position >> 16) & 0xFFFF) * (1.0f / 65536.0f);
}

// One output frame of a voice (see the rule above); next is the frame interpolated towards.
template <int Channels, int Bits, bool Interpolate>
inline void MixFrame(const uint8_t* data, uint32_t index, uint32_t next, uint64_t position,
                     float gainL, float gainR, int32_t* out)
{
    const int32_t l = SampleAt<Bits>(data, index * Channels);
    const int32_t r = Channels == 2 ? SampleAt<Bits>(data, index * Channels + 1) : l;
    float fl = static_cast<float>(l);
    float fr = static_cast<float>(r);
    if constexpr (Interpolate) {
        const float f = FractionOf(position);
        fl = Lerp(l, SampleAt<Bits>(data, next * Channels), f);
        fr = Channels == 2 ? Lerp(r, SampleAt<Bits>(data, next * Channels + 1), f) : fl;
    }
    out[0] += static_cast<int32_t>(fl * gainL);
    out[1] += static_cast<int32_t>(fr * gainR);
}

#if defined(__SSE2__)
// 16-bit voices between two rates, the common case of effects: frames two (stereo) or four
// (mono) at a time. Every frame's neighbour lies inside the data (the caller's plain run), so
// one 8-byte (stereo) or 4-byte (mono) load takes a frame and its neighbour. Returns the
// frames done; the caller does the rest one by one.
template <int Channels>
uint32_t MixRunSse2(const uint8_t* data, uint64_t& pos, uint64_t step, float gainL, float gainR,
                    int32_t* out, uint32_t run)
{
    const __m128 gains = _mm_setr_ps(gainL, gainR, gainL, gainR);
    // The fraction is bits 16..31 of a position's low half, which moves on by the step's low
    // half whatever the carries into the frame index: one lane per position, all in integers.
    const uint32_t stepLow = static_cast<uint32_t>(step);
    const __m128 toFraction = _mm_set1_ps(1.0f / 65536.0f);
    auto fractions = [&](__m128i low) {
        return _mm_mul_ps(_mm_cvtepi32_ps(_mm_srli_epi32(low, 16)), toFraction);
    };
    auto frameAt = [&](uint64_t position, int frameBytes) {
        return data + (position >> 32) * frameBytes;
    };
    uint32_t i = 0;
    if constexpr (Channels == 2) {
        const uint32_t p0 = static_cast<uint32_t>(pos), p1 = p0 + stepLow;
        __m128i low = _mm_setr_epi32(static_cast<int32_t>(p0), static_cast<int32_t>(p0),
                                     static_cast<int32_t>(p1), static_cast<int32_t>(p1));
        const __m128i advance = _mm_set1_epi32(static_cast<int32_t>(2 * stepLow));
        for (; i + 2 <= run; i += 2) {
            // Each load takes a frame and its neighbour: (l, r) then (l1, r1).
            const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(frameAt(pos, 4)));
            const __m128i b =
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(frameAt(pos + step, 4)));
            pos += 2 * step;
            const __m128i ab = _mm_unpacklo_epi32(a, b); // s0a s0b s1a s1b, each a (l, r) pair
            const __m128i s0 = _mm_srai_epi32(_mm_unpacklo_epi16(ab, ab), 16);
            const __m128i s1 = _mm_srai_epi32(_mm_unpackhi_epi16(ab, ab), 16);
            const __m128 v =
                _mm_add_ps(_mm_cvtepi32_ps(s0),
                           _mm_mul_ps(_mm_cvtepi32_ps(_mm_sub_epi32(s1, s0)), fractions(low)));
            low = _mm_add_epi32(low, advance);
            __m128i* o = reinterpret_cast<__m128i*>(out + 2 * i);
            _mm_storeu_si128(
                o, _mm_add_epi32(_mm_loadu_si128(o), _mm_cvttps_epi32(_mm_mul_ps(v, gains))));
        }
    } else {
        const uint32_t p0 = static_cast<uint32_t>(pos);
        __m128i low = _mm_setr_epi32(static_cast<int32_t>(p0), static_cast<int32_t>(p0 + stepLow),
                                     static_cast<int32_t>(p0 + 2 * stepLow),
                                     static_cast<int32_t>(p0 + 3 * stepLow));
        const __m128i advance = _mm_set1_epi32(static_cast<int32_t>(4 * stepLow));
        auto pairAt = [&](uint64_t position) { // a frame and its neighbour, as two int16
            int32_t pair;
            std::memcpy(&pair, frameAt(position, 2), 4);
            return _mm_cvtsi32_si128(pair);
        };
        for (; i + 4 <= run; i += 4) {
            const __m128i a = pairAt(pos), b = pairAt(pos + step);
            const __m128i c = pairAt(pos + 2 * step), d = pairAt(pos + 3 * step);
            pos += 4 * step;
            const __m128i both =
                _mm_unpacklo_epi64(_mm_unpacklo_epi32(a, b), _mm_unpacklo_epi32(c, d));
            const __m128i s0 = _mm_srai_epi32(_mm_slli_epi32(both, 16), 16);
            const __m128i s1 = _mm_srai_epi32(both, 16);
            const __m128 v =
                _mm_add_ps(_mm_cvtepi32_ps(s0),
                           _mm_mul_ps(_mm_cvtepi32_ps(_mm_sub_epi32(s1, s0)), fractions(low)));
            low = _mm_add_epi32(low, advance);
            __m128i* o = reinterpret_cast<__m128i*>(out + 2 * i);
            const __m128 lo = _mm_mul_ps(_mm_unpacklo_ps(v, v), gains);
            const __m128 hi = _mm_mul_ps(_mm_unpackhi_ps(v, v), gains);
            _mm_storeu_si128(o, _mm_add_epi32(_mm_loadu_si128(o), _mm_cvttps_epi32(lo)));
            _mm_storeu_si128(o + 1, _mm_add_epi32(_mm_loadu_si128(o + 1), _mm_cvttps_epi32(hi)));
        }
    }
    return i;
}
#endif

// Adds one voice to acc (stereo int32) for up to frames frames; returns the frames mixed,
// fewer when a one-shot voice reached its end. Resampling is linear between neighbouring
// frames; at the voice's own rate of 44,100 Hz the step is whole and no neighbour is read.
// Everything the loop reads is copied to locals first: acc's stores could otherwise alias the
// voice's fields and force reloads on every frame.
template <int Channels, int Bits, bool Interpolate>
uint32_t MixVoice(const VoiceState& v, uint64_t& position, uint64_t step, int32_t* acc,
                  uint32_t frames)
{
    const uint8_t* const data = v.data.data();
    const uint32_t count = v.frames;
    const bool looping = v.looping;
    const float gainL = v.gainLeft;
    const float gainR = v.gainRight;
    const uint64_t end = uint64_t{count} << 32;
    // Below this every frame's neighbour is the next one; the last frame's is the first
    // (looping) or itself.
    const uint64_t plainEnd = Interpolate ? uint64_t{count - 1} << 32 : end;
    uint64_t pos = position;
    uint32_t done = 0;
    while (done < frames) {
        if (pos >= end) {
            if (!looping)
                break;
            pos -= end;
        }
        if (pos >= plainEnd) {
            const uint32_t index = static_cast<uint32_t>(pos >> 32);
            MixFrame<Channels, Bits, Interpolate>(data, index, looping ? 0 : index, pos, gainL,
                                                  gainR, acc + done * 2);
            pos += step;
            ++done;
            continue;
        }
        const uint64_t left = (plainEnd - pos + step - 1) / step;
        const uint32_t run = static_cast<uint32_t>(std::min<uint64_t>(left, frames - done));
        int32_t* out = acc + done * 2;
        uint32_t i = 0;
#if defined(__SSE2__)
        if constexpr (Interpolate && Bits == 16)
            i = MixRunSse2<Channels>(data, pos, step, gainL, gainR, out, run);
#endif
        for (; i < run; ++i) {
            const uint32_t index = static_cast<uint32_t>(pos >> 32);
            MixFrame<Channels, Bits, Interpolate>(data, index, index + 1, pos, gainL, gainR,
                                                  out + 2 * i);
            pos += step;
        }
        done += run;
    }
    position = pos;
    return done;
}

using MixFunction = uint32_t (*)(const VoiceState&, uint64_t&, uint64_t, int32_t*, uint32_t);

template <bool Interpolate>
MixFunction PickMix(const WaveFormat& f)
{
    if (f.channels == 1)
        return f.bitsPerSample == 8 ? MixVoice<1, 8, Interpolate> : MixVoice<1, 16, Interpolate>;
    return f.bitsPerSample == 8 ? MixVoice<2, 8, Interpolate> : MixVoice<2, 16, Interpolate>;
}

// True when the cursor moving from `from` to `to` (bytes, wrapped at size) passed `offset`.
bool Passed(uint32_t from, uint32_t to, bool wrapped, uint32_t offset)
{
    if (!wrapped)
        return offset >= from && offset < to;
    return offset >= from || offset < to;
}

bool FormatSupported(const WaveFormat& f)
{
    return f.formatTag == 1 && (f.channels == 1 || f.channels == 2) &&
           (f.bitsPerSample == 8 || f.bitsPerSample == 16) &&
           f.blockAlign == f.channels * f.bitsPerSample / 8 && f.samplesPerSec >= kFrequencyMin &&
           f.samplesPerSec <= kFrequencyMax;
}

// kNull: pulls the mix at the real-time pace and drops it.
class NullSink final : public SoundOutputSink {
public:
    explicit NullSink(SoundDevice& device)
        : m_thread([this, &device] {
              std::vector<int16_t> scratch(1024 * 2);
              auto next = std::chrono::steady_clock::now();
              while (!m_stop.load()) {
                  device.Mix(scratch.data(), 1024);
                  next += std::chrono::microseconds(1024 * 1000000LL / SoundDevice::kRate);
                  std::this_thread::sleep_until(next);
              }
          })
    {
    }
    ~NullSink() override
    {
        m_stop.store(true);
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace

// ---------------------------------------------------------------------------------------

SoundVoice::SoundVoice(std::shared_ptr<SoundCore> core, std::unique_ptr<VoiceState> voice)
    : m_core(std::move(core)), m_voice(std::move(voice))
{
    std::lock_guard lock(m_core->mutex);
    m_core->voices.push_back(m_voice.get());
}

SoundVoice::~SoundVoice()
{
    std::lock_guard lock(m_core->mutex);
    std::erase(m_core->voices, m_voice.get());
}

SoundResult SoundVoice::Lock(uint32_t offset, uint32_t bytes, void** part1, uint32_t* bytes1,
                             void** part2, uint32_t* bytes2)
{
    std::lock_guard lock(m_core->mutex);
    VoiceState& v = *m_voice;
    const uint32_t size = static_cast<uint32_t>(v.data.size());
    if (!part1 || !bytes1 || offset >= size || bytes == 0 || bytes > size)
        return SoundResult::kInvalidParam;
    if (v.lost)
        return SoundResult::kBufferLost;
    if (v.lockedPart1)
        return SoundResult::kInvalidParam; // one region at a time, as the callers use it
    const uint32_t first = std::min(bytes, size - offset);
    if (first < bytes && (!part2 || !bytes2))
        return SoundResult::kInvalidParam;
    *part1 = v.data.data() + offset;
    *bytes1 = first;
    if (part2)
        *part2 = first < bytes ? v.data.data() : nullptr;
    if (bytes2)
        *bytes2 = bytes - first;
    v.lockedPart1 = v.data.data() + offset;
    v.lockedBytes1 = first;
    v.lockedBytes2 = bytes - first;
    return SoundResult::kOk;
}

SoundResult SoundVoice::Unlock(void* part1, uint32_t bytes1, void* part2, uint32_t bytes2)
{
    std::lock_guard lock(m_core->mutex);
    VoiceState& v = *m_voice;
    const bool second = v.lockedBytes2 > 0;
    if (!v.lockedPart1 || part1 != v.lockedPart1 || bytes1 > v.lockedBytes1 ||
        (second ? part2 != v.data.data() : part2 != nullptr) || bytes2 > v.lockedBytes2)
        return SoundResult::kInvalidParam;
    v.lockedPart1 = nullptr;
    v.lockedBytes1 = v.lockedBytes2 = 0;
    return SoundResult::kOk;
}

SoundResult SoundVoice::Play(bool looping)
{
    std::lock_guard lock(m_core->mutex);
    VoiceState& v = *m_voice;
    if (v.flags & sound_caps::kPrimary)
        return SoundResult::kOk;
    if (v.lost)
        return SoundResult::kBufferLost;
    v.playing = true;
    v.looping = looping;
    return SoundResult::kOk;
}

SoundResult SoundVoice::Stop()
{
    std::lock_guard lock(m_core->mutex);
    m_voice->playing = false;
    return SoundResult::kOk;
}

SoundResult SoundVoice::GetCurrentPosition(uint32_t* play, uint32_t* write) const
{
    std::lock_guard lock(m_core->mutex);
    const VoiceState& v = *m_voice;
    if (v.data.empty())
        return SoundResult::kInvalidParam;
    const uint32_t size = static_cast<uint32_t>(v.data.size());
    const uint32_t cursor = static_cast<uint32_t>(v.position >> 32) * v.format.blockAlign % size;
    if (play)
        *play = cursor;
    if (write) {
        // About 10 ms ahead while playing: what the mixer may already have taken.
        const uint32_t lead =
            v.playing ? v.format.avgBytesPerSec / 100 / v.format.blockAlign * v.format.blockAlign
                      : 0;
        *write = (cursor + lead) % size;
    }
    return SoundResult::kOk;
}

SoundResult SoundVoice::SetCurrentPosition(uint32_t offset)
{
    std::lock_guard lock(m_core->mutex);
    VoiceState& v = *m_voice;
    if (offset >= v.data.size())
        return SoundResult::kInvalidParam;
    v.position = uint64_t{offset / v.format.blockAlign} << 32;
    return SoundResult::kOk;
}

SoundResult SoundVoice::GetStatus(uint32_t* status) const
{
    if (!status)
        return SoundResult::kInvalidParam;
    std::lock_guard lock(m_core->mutex);
    const VoiceState& v = *m_voice;
    *status = (v.playing ? sound_status::kPlaying : 0) | (v.lost ? sound_status::kBufferLost : 0) |
              (v.playing && v.looping ? sound_status::kLooping : 0);
    return SoundResult::kOk;
}

template <class Step>
SoundResult SoundVoice::WithControl(uint32_t control, Step step) const
{
    std::lock_guard lock(m_core->mutex);
    if (!(m_voice->flags & control))
        return SoundResult::kControlUnavailable;
    return step(*m_voice);
}

SoundResult SoundVoice::SetVolume(int32_t hundredthsDb)
{
    return WithControl(sound_caps::kCtrlVolume, [&](VoiceState& v) {
        if (hundredthsDb > 0 || hundredthsDb < kVolumeMin)
            return SoundResult::kInvalidParam;
        v.volume = hundredthsDb;
        UpdateGains(v);
        return SoundResult::kOk;
    });
}

SoundResult SoundVoice::GetVolume(int32_t* hundredthsDb) const
{
    if (!hundredthsDb)
        return SoundResult::kInvalidParam;
    return WithControl(sound_caps::kCtrlVolume, [&](const VoiceState& v) {
        *hundredthsDb = v.volume;
        return SoundResult::kOk;
    });
}

SoundResult SoundVoice::SetPan(int32_t pan)
{
    return WithControl(sound_caps::kCtrlPan, [&](VoiceState& v) {
        if (pan < kPanLeft || pan > kPanRight)
            return SoundResult::kInvalidParam;
        v.pan = pan;
        UpdateGains(v);
        return SoundResult::kOk;
    });
}

SoundResult SoundVoice::SetFrequency(uint32_t hz)
{
    return WithControl(sound_caps::kCtrlFrequency, [&](VoiceState& v) {
        if (hz != 0 && (hz < kFrequencyMin || hz > kFrequencyMax))
            return SoundResult::kInvalidParam;
        v.frequency = hz;
        return SoundResult::kOk;
    });
}

SoundResult SoundVoice::GetFrequency(uint32_t* hz) const
{
    if (!hz)
        return SoundResult::kInvalidParam;
    return WithControl(sound_caps::kCtrlFrequency, [&](const VoiceState& v) {
        *hz = v.frequency ? v.frequency : v.format.samplesPerSec;
        return SoundResult::kOk;
    });
}

SoundResult SoundVoice::SetNotificationPositions(std::span<const SoundNotifyPosition> positions)
{
    std::lock_guard lock(m_core->mutex);
    VoiceState& v = *m_voice;
    if (!(v.flags & sound_caps::kCtrlPositionNotify))
        return SoundResult::kControlUnavailable;
    if (v.playing)
        return SoundResult::kInvalidParam;
    for (const SoundNotifyPosition& p : positions)
        if (p.offset >= v.data.size() || !p.event)
            return SoundResult::kInvalidParam;
    v.notify.assign(positions.begin(), positions.end());
    return SoundResult::kOk;
}

SoundResult SoundVoice::Restore()
{
    std::lock_guard lock(m_core->mutex);
    if (m_core->restoreResult != SoundResult::kOk)
        return m_core->restoreResult;
    m_voice->lost = false;
    return SoundResult::kOk;
}

SoundResult SoundVoice::SetFormat(const WaveFormat& format)
{
    std::lock_guard lock(m_core->mutex);
    if (!(m_voice->flags & sound_caps::kPrimary))
        return SoundResult::kInvalidParam;
    if (!FormatSupported(format))
        return SoundResult::kBadFormat;
    m_core->primary = format;
    m_voice->format = format;
    return SoundResult::kOk;
}

const WaveFormat& SoundVoice::GetFormat() const
{
    return m_voice->format; // fixed at creation for secondary buffers
}

uint32_t SoundVoice::GetSize() const
{
    return static_cast<uint32_t>(m_voice->data.size());
}

// ---------------------------------------------------------------------------------------

SoundDevice::SoundDevice(SoundOutput output)
    : m_core(std::make_shared<SoundCore>()), m_output(output)
{
}

SoundDevice::~SoundDevice()
{
    m_sink.reset(); // stops pulling before the core may go
}

std::unique_ptr<SoundDevice> SoundDevice::Create(SoundOutput output, SoundResult* error)
{
    std::unique_ptr<SoundDevice> device(new SoundDevice(output));
    if (output == SoundOutput::kSystem)
        device->m_sink = OpenSdlSoundSink(*device);
    else if (output == SoundOutput::kNull)
        device->m_sink = std::make_unique<NullSink>(*device);
    if (output != SoundOutput::kManual && !device->m_sink) {
        if (error)
            *error = SoundResult::kNoDevice;
        return nullptr;
    }
    if (error)
        *error = SoundResult::kOk;
    return device;
}

SoundResult SoundDevice::CreateBuffer(const SoundVoiceDesc& desc,
                                      std::unique_ptr<SoundVoice>* buffer)
{
    if (!buffer)
        return SoundResult::kInvalidParam;
    auto voice = std::make_unique<VoiceState>();
    voice->flags = desc.flags;
    if (desc.flags & sound_caps::kPrimary) {
        if (desc.bytes != 0 || desc.format)
            return SoundResult::kInvalidParam;
        voice->format = GetPrimaryFormat();
    } else {
        if (!desc.format)
            return SoundResult::kInvalidParam;
        if (!FormatSupported(*desc.format))
            return SoundResult::kBadFormat;
        // Whole frames, at least one; a size that is not a multiple of the frame is refused.
        if (desc.bytes < desc.format->blockAlign || desc.bytes % desc.format->blockAlign ||
            desc.bytes > (1u << 30))
            return SoundResult::kInvalidParam;
        voice->format = *desc.format;
        try {
            voice->data.assign(desc.bytes, desc.format->bitsPerSample == 8 ? 0x80 : 0);
        } catch (const std::bad_alloc&) {
            return SoundResult::kOutOfMemory;
        }
        voice->frames = desc.bytes / desc.format->blockAlign;
    }
    buffer->reset(new SoundVoice(m_core, std::move(voice)));
    return SoundResult::kOk;
}

WaveFormat SoundDevice::GetPrimaryFormat() const
{
    std::lock_guard lock(m_core->mutex);
    return m_core->primary;
}

void SoundDevice::LoseBuffers()
{
    std::lock_guard lock(m_core->mutex);
    for (VoiceState* v : m_core->voices) {
        if (v->flags & sound_caps::kPrimary)
            continue;
        v->lost = true;
        v->playing = false;
    }
}

void SoundDevice::SetRestoreResult(SoundResult result)
{
    std::lock_guard lock(m_core->mutex);
    m_core->restoreResult = result;
}

bool SoundEventSet::Add(const std::shared_ptr<AutoResetEvent>& event)
{
    for (size_t i = 0; i < m_count; ++i)
        if (m_events[i] == event)
            return true;
    if (m_count == kCapacity)
        return false;
    m_events[m_count++] = event;
    return true;
}

void SoundEventSet::Clear()
{
    for (size_t i = 0; i < m_count; ++i)
        m_events[i].reset();
    m_count = 0;
}

namespace {

// Mixes one voice into acc for n frames, moves its cursor and collects the events of the
// notification positions it passed.
void MixOneVoice(VoiceState& v, int32_t* acc, uint32_t n, SoundEventSet& events)
{
    const uint32_t rate = v.frequency ? v.frequency : v.format.samplesPerSec;
    const uint64_t step = (uint64_t{rate} << 32) / SoundDevice::kRate;
    const uint32_t from = static_cast<uint32_t>(v.position >> 32);
    uint64_t position = v.position;
    const bool whole = (step & 0xFFFFFFFFu) == 0 && (position & 0xFFFFFFFFu) == 0;
    const MixFunction mix = whole ? PickMix<false>(v.format) : PickMix<true>(v.format);
    const uint32_t mixed = mix(v, position, step, acc, n);
    const uint64_t end = uint64_t{v.frames} << 32;
    bool wrapped = position >= end || (position >> 32) < from;
    // A one-shot voice ran out: within this step, or exactly at its end, where no frame is
    // missing but the cursor must not wrap to the start.
    const bool ended = mixed < n || (!v.looping && position >= end);
    if (ended) {
        v.playing = false;
        position = 0;
    } else if (position >= end) {
        position -= end;
    }
    if (!v.notify.empty()) {
        const uint32_t align = v.format.blockAlign;
        const uint32_t to = ended ? v.frames : static_cast<uint32_t>(position >> 32);
        wrapped = !ended && (wrapped || to < from);
        for (const SoundNotifyPosition& p : v.notify)
            if (Passed(from * align, to * align, wrapped, p.offset) && !events.Add(p.event))
                p.event->Set(); // more events than the set holds: at once, still in order
    }
    v.position = position;
}

} // namespace

void SoundDevice::Mix(int16_t* out, uint32_t frames, SoundEventSet* fired)
{
    SoundEventSet local;
    SoundEventSet& events = fired ? *fired : local;
    int32_t acc[kChunkFrames * 2];
    std::unique_lock lock(m_core->mutex);
    for (uint32_t base = 0; base < frames; base += kChunkFrames) {
        const uint32_t n = std::min(kChunkFrames, frames - base);
        std::memset(acc, 0, n * 2 * sizeof(int32_t));
        for (VoiceState* v : m_core->voices)
            if (v->playing && v->frames != 0)
                MixOneVoice(*v, acc, n, events);
        for (uint32_t i = 0; i < n * 2; ++i)
            out[base * 2 + i] = static_cast<int16_t>(std::clamp(acc[i], -32768, 32767));
    }
    lock.unlock();
    if (!fired)
        for (const auto& event : local.Events())
            event->Set();
}

void SoundDevice::Render(uint32_t frames, std::vector<int16_t>* out)
{
    // Steps of 256 frames (5.8 ms): notifications fire at most that late, as with a hardware
    // device that reports its cursor in small steps.
    constexpr uint32_t kStep = 256;
    int16_t scratch[kStep * 2];
    SoundEventSet fired;
    for (uint32_t done = 0; done < frames; done += kStep) {
        const uint32_t n = std::min(kStep, frames - done);
        fired.Clear();
        Mix(scratch, n, &fired);
        if (out)
            out->insert(out->end(), scratch, scratch + n * 2);
        for (const auto& event : fired.Events()) {
            event->Set();
            event->WaitUntilConsumed(2000);
        }
    }
}

} // namespace platform
