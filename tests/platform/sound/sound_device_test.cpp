#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <cstdlib>
#include <new>
#include <tuple>
#include <vector>

#include "platform/sound/sound_device.h"
#include "platform/system/threads.h"
#include "support/audio_measure.h"
#include "support/scoped_env.h"
#include "support/temp_files.h"

namespace {

// Counts the heap allocations of the thread that has counting switched on.
thread_local bool g_countAllocations = false;
std::atomic<int> g_allocations{0};

} // namespace

void* operator new(size_t size)
{
    if (g_countAllocations)
        ++g_allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
// Not inlined: the compiler would otherwise pair its own new with our free and warn.
[[gnu::noinline]] void operator delete(void* p) noexcept
{
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, size_t) noexcept
{
    std::free(p);
}

namespace {

using platform::SoundDevice;
using platform::SoundResult;
using platform::SoundVoice;
using platform::WaveFormat;
namespace caps = platform::sound_caps;
using namespace tolvanrise::test;

constexpr uint32_t kAllControls =
    caps::kCtrlVolume | caps::kCtrlPan | caps::kCtrlFrequency | caps::kCtrlPositionNotify;

class SoundDeviceTest : public testing::Test {
protected:
    void SetUp() override
    {
        device = SoundDevice::Create(platform::SoundOutput::kManual);
        ASSERT_TRUE(device);
    }

    // A buffer holding a sine of `hz` (peak `peak`) in the format.
    std::unique_ptr<SoundVoice> Tone(const WaveFormat& format, double hz, double peak,
                                     uint32_t frames, uint32_t flags = kAllControls)
    {
        platform::SoundVoiceDesc desc{flags, frames * format.blockAlign, &format};
        std::unique_ptr<SoundVoice> buffer;
        EXPECT_EQ(device->CreateBuffer(desc, &buffer), SoundResult::kOk);
        void* p1 = nullptr;
        uint32_t n1 = 0;
        EXPECT_EQ(buffer->Lock(0, desc.bytes, &p1, &n1, nullptr, nullptr), SoundResult::kOk);
        for (uint32_t i = 0; i < frames; ++i)
            for (int c = 0; c < format.channels; ++c) {
                const double v = peak * std::sin(2 * M_PI * hz * i / format.samplesPerSec);
                if (format.bitsPerSample == 8)
                    static_cast<uint8_t*>(p1)[i * format.channels + c] =
                        static_cast<uint8_t>(128 + std::lround(v / 256));
                else
                    static_cast<int16_t*>(p1)[i * format.channels + c] =
                        static_cast<int16_t>(std::lround(v));
            }
        buffer->Unlock(p1, n1, nullptr, 0);
        return buffer;
    }

    std::vector<int16_t> Render(uint32_t frames)
    {
        std::vector<int16_t> out;
        device->Render(frames, &out);
        return out;
    }

    std::unique_ptr<SoundDevice> device;
};

// A PCM description's derived fields for every width and channel count: a frame holds one
// sample of each channel, and a second holds a frame for each tick of the rate.
TEST(WaveFormat, FramesAndSecondsInBytesForEveryRateAndWidth)
{
    struct Case {
        uint16_t channels;
        uint32_t rate;
        uint16_t bits;
        uint16_t frameBytes;
        uint32_t secondBytes;
    };
    const Case cases[] = {
        {1, 8000, 8, 1, 8000},      {2, 11025, 8, 2, 22050},     {1, 22050, 16, 2, 44100},
        {2, 44100, 16, 4, 176400},  {1, 48000, 16, 2, 96000},    {2, 96000, 8, 2, 192000},
    };
    for (const Case& c : cases) {
        const WaveFormat f = WaveFormat::Pcm(c.channels, c.rate, c.bits, 3);
        EXPECT_EQ(std::tuple(f.formatTag, f.channels, f.samplesPerSec, f.bitsPerSample, f.extraSize),
                  std::tuple(uint16_t(1), c.channels, c.rate, c.bits, uint16_t(3)));
        EXPECT_EQ(std::pair(uint32_t(f.blockAlign), f.avgBytesPerSec), std::pair(uint32_t(c.frameBytes), c.secondBytes))
            << c.channels << "x" << c.bits << " at " << c.rate;
    }
}

// Rates, widths and channel counts are resampled to the 44.1 kHz stereo mix at their pitch.
TEST_F(SoundDeviceTest, MixKeepsPitchAndLevelOfEveryFormat)
{
    struct Case {
        WaveFormat format;
        uint32_t frequency; // SetFrequency, 0 = own rate
        double expectedHz;
    } cases[] = {
        {WaveFormat::Pcm(2, 44100, 16), 0, 441},
        {WaveFormat::Pcm(1, 22050, 16), 0, 441},
        {WaveFormat::Pcm(1, 11025, 8), 0, 441},
        {WaveFormat::Pcm(2, 44100, 16), 22050, 220.5}, // half speed: an octave down
        {WaveFormat::Pcm(1, 22050, 16), 44100, 882},
    };
    for (const Case& c : cases) {
        auto buffer = Tone(c.format, 441, 16000, c.format.samplesPerSec);
        ASSERT_EQ(buffer->SetFrequency(c.frequency), SoundResult::kOk);
        ASSERT_EQ(buffer->Play(true), SoundResult::kOk);
        const auto out = Render(22050);
        for (int channel = 0; channel < 2; ++channel) {
            const auto s = Channel(out, 2, channel, 1000, 20000);
            EXPECT_NEAR(ToneFrequency(s, 44100), c.expectedHz, c.expectedHz * 0.002);
            EXPECT_NEAR(ToneLevel(s), 16000, 16000 * 0.02) << c.format.samplesPerSec;
        }
    }
}

TEST_F(SoundDeviceTest, VolumeAndPanAttenuateInHundredthsOfADecibel)
{
    auto buffer = Tone(WaveFormat::Pcm(1, 44100, 16), 441, 20000, 44100);
    struct Case {
        int32_t volume, pan;
        double left, right;
    } cases[] = {
        {0, 0, 20000, 20000},    {-602, 0, 10000, 10000}, {-2000, 0, 2000, 2000},
        {0, 2000, 2000, 20000}, // right: the left side goes down
        {0, -602, 20000, 10000}, {-10000, 0, 0, 0},       {0, 10000, 0, 20000},
    };
    ASSERT_EQ(buffer->Play(true), SoundResult::kOk);
    for (const Case& c : cases) {
        ASSERT_EQ(buffer->SetVolume(c.volume), SoundResult::kOk);
        ASSERT_EQ(buffer->SetPan(c.pan), SoundResult::kOk);
        const auto out = Render(4410);
        EXPECT_NEAR(ToneLevel(Channel(out, 2, 0, 0, 4410)), c.left, 20000 * 0.003);
        EXPECT_NEAR(ToneLevel(Channel(out, 2, 1, 0, 4410)), c.right, 20000 * 0.003);
    }
}

TEST_F(SoundDeviceTest, ControlsRefuseWhatIsOutOfRangeOrNotAskedFor)
{
    auto plain = Tone(WaveFormat::Pcm(2, 44100, 16), 441, 100, 64, 0);
    auto full = Tone(WaveFormat::Pcm(2, 44100, 16), 441, 100, 64);
    // Control 0 volume, 1 pan, 2 frequency.
    const std::tuple<SoundVoice*, int, int32_t, SoundResult> calls[] = {
        {plain.get(), 0, 0, SoundResult::kControlUnavailable},
        {plain.get(), 1, 0, SoundResult::kControlUnavailable},
        {plain.get(), 2, 0, SoundResult::kControlUnavailable},
        {full.get(), 0, 1, SoundResult::kInvalidParam},
        {full.get(), 0, -10001, SoundResult::kInvalidParam},
        {full.get(), 1, 10001, SoundResult::kInvalidParam},
        {full.get(), 2, 99, SoundResult::kInvalidParam},
        {full.get(), 2, 100001, SoundResult::kInvalidParam},
        {full.get(), 2, 0, SoundResult::kOk}};
    for (auto [buffer, control, value, result] : calls)
        EXPECT_EQ(control == 0   ? buffer->SetVolume(value)
                  : control == 1 ? buffer->SetPan(value)
                                 : buffer->SetFrequency(uint32_t(value)),
                  result)
            << control << " " << value;
    uint32_t hz = 0;
    EXPECT_EQ(full->GetFrequency(&hz), SoundResult::kOk);
    EXPECT_EQ(hz, 44100u); // 0: the buffer's own rate
    int32_t volume = -1;
    EXPECT_EQ(full->GetVolume(&volume), SoundResult::kOk);
    EXPECT_EQ(volume, 0); // a new buffer plays at full level
    // The cursor goes to the frame holding the offset; the buffer's size is past its end.
    uint32_t play = 1;
    EXPECT_EQ(full->SetCurrentPosition(255), SoundResult::kOk);
    full->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 252u);
    EXPECT_EQ(full->SetCurrentPosition(256), SoundResult::kInvalidParam);
    EXPECT_EQ(full->GetFrequency(nullptr), SoundResult::kInvalidParam);
    EXPECT_EQ(full->GetVolume(nullptr), SoundResult::kInvalidParam);
    EXPECT_EQ(full->GetStatus(nullptr), SoundResult::kInvalidParam);

    // Only the primary buffer takes a format, and only one the mixer can play.
    std::unique_ptr<SoundVoice> primary;
    ASSERT_EQ(device->CreateBuffer({caps::kPrimary, 0, nullptr}, &primary), SoundResult::kOk);
    const WaveFormat mono = WaveFormat::Pcm(1, 22050, 8);
    EXPECT_EQ(full->SetFormat(mono), SoundResult::kInvalidParam);
    EXPECT_EQ(primary->SetFormat(WaveFormat::Pcm(2, 44100, 24)), SoundResult::kBadFormat);
    EXPECT_EQ(device->GetPrimaryFormat(), WaveFormat::Pcm(2, 44100, 16));
    EXPECT_EQ(primary->SetFormat(mono), SoundResult::kOk);
    EXPECT_EQ(std::tuple(device->GetPrimaryFormat(), primary->GetFormat(), full->GetFormat()),
              std::tuple(mono, mono, WaveFormat::Pcm(2, 44100, 16)));

    std::unique_ptr<SoundVoice> none;
    const WaveFormat bad[] = {WaveFormat::Pcm(3, 44100, 16), WaveFormat::Pcm(2, 44100, 24),
                              WaveFormat::Pcm(2, 99, 16), WaveFormat{}};
    for (const WaveFormat& f : bad)
        EXPECT_EQ(device->CreateBuffer({0, 64, &f}, &none), SoundResult::kBadFormat);
    const WaveFormat good = WaveFormat::Pcm(2, 44100, 16);
    EXPECT_EQ(device->CreateBuffer({0, 6, &good}, &none), SoundResult::kInvalidParam); // part frame
    EXPECT_EQ(device->CreateBuffer({0, 0, &good}, &none), SoundResult::kInvalidParam);
    // Past a gigabyte is refused before anything is allocated.
    EXPECT_EQ(device->CreateBuffer({0, (1u << 30) + 4, &good}, &none), SoundResult::kInvalidParam);
}

TEST_F(SoundDeviceTest, LockWrapsIntoTwoRegions)
{
    auto buffer = Tone(WaveFormat::Pcm(2, 44100, 16), 441, 100, 100); // 400 bytes
    void *p1, *p2;
    uint32_t n1, n2;
    ASSERT_EQ(buffer->Lock(300, 200, &p1, &n1, &p2, &n2), SoundResult::kOk);
    EXPECT_EQ(std::tuple(n1, n2, static_cast<uint8_t*>(p1) - static_cast<uint8_t*>(p2)),
              std::tuple(100u, 100u, 300));
    EXPECT_EQ(buffer->Lock(300, 200, &p1, &n1, nullptr, nullptr), SoundResult::kInvalidParam);
    EXPECT_EQ(buffer->Lock(400, 4, &p1, &n1, &p2, &n2), SoundResult::kInvalidParam);
    EXPECT_EQ(buffer->Lock(0, 401, &p1, &n1, &p2, &n2), SoundResult::kInvalidParam);
    // Unlock takes back only the region handed out, once; then the next Lock may come.
    ASSERT_EQ(buffer->Lock(300, 200, &p1, &n1, &p2, &n2), SoundResult::kInvalidParam); // still out
    EXPECT_EQ(buffer->Unlock(p2, n1, p1, n2), SoundResult::kInvalidParam);
    EXPECT_EQ(buffer->Unlock(p1, n1 + 1, p2, n2), SoundResult::kInvalidParam);
    EXPECT_EQ(buffer->Unlock(p1, n1, p2, n2), SoundResult::kOk);
    EXPECT_EQ(buffer->Unlock(p1, n1, p2, n2), SoundResult::kInvalidParam);
    EXPECT_EQ(buffer->Lock(0, 4, &p1, &n1, nullptr, nullptr), SoundResult::kOk);

    // The smallest wrap: one byte of an 8-bit mono voice on either side of its end.
    auto bytes = Tone(WaveFormat::Pcm(1, 8000, 8), 100, 100, 10);
    ASSERT_EQ(bytes->Lock(9, 2, &p1, &n1, &p2, &n2), SoundResult::kOk);
    EXPECT_EQ(std::pair(n1, n2), std::pair(1u, 1u));
    EXPECT_EQ(bytes->Unlock(p1, n1, nullptr, 0), SoundResult::kInvalidParam);
    EXPECT_EQ(bytes->Unlock(p1, n1, p2, n2), SoundResult::kOk);
}

// Full-scale square waves (the widest step between neighbours) at rates that are no simple
// ratio of the output's, against linear interpolation and gain worked out in doubles.
TEST_F(SoundDeviceTest, ResamplingAndGainMatchADoubleReferenceAtEveryRate)
{
    constexpr uint32_t kFrames = 2000;
    for (uint16_t bits : {8, 16})
        for (uint16_t channels : {1, 2})
            for (uint32_t rate = 8000; rate <= 48000; rate += 2750)
                for (int32_t volume : {0, -437, -2000}) {
                    SCOPED_TRACE(testing::Message() << bits << " bits, " << channels << " ch, "
                                                    << rate << " Hz, " << volume);
                    const WaveFormat format = WaveFormat::Pcm(channels, rate, bits);
                    std::unique_ptr<SoundVoice> buffer;
                    ASSERT_EQ(device->CreateBuffer(
                                  {kAllControls, kFrames * format.blockAlign, &format}, &buffer),
                              SoundResult::kOk);
                    std::vector<double> source(kFrames); // the same on every channel
                    void* p = nullptr;
                    uint32_t n = 0;
                    ASSERT_EQ(
                        buffer->Lock(0, kFrames * format.blockAlign, &p, &n, nullptr, nullptr),
                        SoundResult::kOk);
                    for (uint32_t i = 0; i < kFrames; ++i) {
                        const bool high = i / 3 % 2 == 0;
                        for (int c = 0; c < channels; ++c) {
                            if (bits == 8)
                                static_cast<uint8_t*>(p)[i * channels + c] = high ? 255 : 0;
                            else
                                static_cast<int16_t*>(p)[i * channels + c] = high ? 32767 : -32768;
                        }
                        source[i] =
                            bits == 8 ? (high ? 127 * 256 : -128 * 256) : (high ? 32767 : -32768);
                    }
                    buffer->Unlock(p, n, nullptr, 0);
                    buffer->SetVolume(volume);
                    buffer->Play(false);
                    std::vector<int16_t> out(2 * 1000);
                    device->Mix(out.data(), 1000);
                    const uint64_t step = (uint64_t{rate} << 32) / SoundDevice::kRate;
                    const double gain = std::pow(10.0, volume / 2000.0);
                    double worst = 0;
                    for (uint32_t i = 0; i < 1000; ++i) {
                        const uint64_t position = step * i;
                        const uint32_t index = static_cast<uint32_t>(position >> 32);
                        if (index + 1 >= kFrames)
                            break;
                        const double frac = ((position >> 16) & 0xFFFF) / 65536.0;
                        const double expected =
                            (source[index] + (source[index + 1] - source[index]) * frac) * gain;
                        worst = std::max({worst, std::abs(out[2 * i] - expected),
                                          std::abs(out[2 * i + 1] - expected)});
                    }
                    EXPECT_LE(worst, 1.01); // the truncation of the sum's share
                }
}

// The mix rule in single precision, trunc((s0 + (s1 - s0) x f) x gain), is what every voice
// gets to the bit, whichever loop (vector or one frame at a time) mixes it: random voices of
// every format, rate, volume and pan, one at a time.
TEST_F(SoundDeviceTest, EveryVoiceFollowsTheMixRuleToTheBit)
{
    uint32_t seed = 11;
    auto next = [&seed](uint32_t n) {
        return ((seed = seed * 1103515245 + 12345) >> 8 & 0xFFFFFF) % n;
    };
    for (int round = 0; round < 48; ++round) {
        const uint16_t channels = 1 + round % 2, bits = round % 4 < 2 ? 16 : 8;
        // The first at full level and a third of the output's rate, between the two extremes:
        // a step just short of a third of a frame, whose third frame lies a hair before the
        // next one and must come out one below it.
        const bool edge = round == 0;
        const uint32_t frames = 300 + next(700), drawn = 4000 + next(60000);
        const uint32_t rate = edge ? SoundDevice::kRate / 3 : drawn;
        const int32_t drawnVolume = -static_cast<int32_t>(next(3000)),
                      drawnPan = static_cast<int32_t>(next(8001)) - 4000;
        const int32_t volume = edge ? 0 : drawnVolume, pan = edge ? 0 : drawnPan;
        SCOPED_TRACE(testing::Message()
                     << channels << " ch, " << bits << " bits, " << rate << " Hz");
        const WaveFormat format = WaveFormat::Pcm(channels, rate, bits);
        std::unique_ptr<SoundVoice> voice;
        ASSERT_EQ(device->CreateBuffer({kAllControls, frames * format.blockAlign, &format}, &voice),
                  SoundResult::kOk);
        void* p = nullptr;
        uint32_t n = 0;
        ASSERT_EQ(voice->Lock(0, frames * format.blockAlign, &p, &n, nullptr, nullptr),
                  SoundResult::kOk);
        std::vector<int32_t> source(frames * channels);
        for (uint32_t i = 0; i < frames * channels; ++i) {
            const uint32_t drawnRaw = next(1 << bits);
            const uint32_t raw = edge ? (i % 2 ? (1u << bits) - 1 : 0) : drawnRaw;
            if (bits == 8) {
                static_cast<uint8_t*>(p)[i] = static_cast<uint8_t>(raw);
                source[i] = (static_cast<int32_t>(raw) - 128) * 256;
            } else {
                static_cast<int16_t*>(p)[i] = static_cast<int16_t>(raw - 32768);
                source[i] = static_cast<int32_t>(raw) - 32768;
            }
        }
        voice->Unlock(p, n, nullptr, 0);
        voice->SetVolume(volume);
        voice->SetPan(pan);
        voice->Play(true);
        const uint32_t mixed = 1500;
        std::vector<int16_t> out(2 * mixed);
        device->Mix(out.data(), mixed);
        voice->Stop();
        const double level = std::pow(10.0, volume / 2000.0);
        const float gains[2] = {
            static_cast<float>(level * std::pow(10.0, std::min(0, -pan) / 2000.0)),
            static_cast<float>(level * std::pow(10.0, std::min(0, pan) / 2000.0))};
        const uint64_t step = (uint64_t{rate} << 32) / SoundDevice::kRate;
        int mismatches = 0;
        for (uint32_t i = 0; i < mixed; ++i) {
            const uint64_t position = step * i % (uint64_t{frames} << 32);
            const uint32_t index = static_cast<uint32_t>(position >> 32),
                           following = (index + 1) % frames;
            const float f = static_cast<float>((position >> 16) & 0xFFFF) * (1.0f / 65536.0f);
            for (int c = 0; c < 2; ++c) {
                const int32_t s0 = source[index * channels + c % channels];
                const int32_t s1 = source[following * channels + c % channels];
                const float v = static_cast<float>(s0) + static_cast<float>(s1 - s0) * f;
                mismatches += out[2 * i + c] != static_cast<int32_t>(v * gains[c]);
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

// A minute of 32 voices of every format and rate, with notifications firing all along: the
// mixer takes no memory from the heap.
TEST_F(SoundDeviceTest, MixingAllocatesNothing)
{
    std::vector<std::unique_ptr<SoundVoice>> voices;
    std::vector<std::shared_ptr<platform::AutoResetEvent>> events;
    for (int v = 0; v < 32; ++v) {
        const WaveFormat format =
            WaveFormat::Pcm(v % 2 ? 1 : 2, 8000 + 1250 * v, v % 4 < 2 ? 16 : 8);
        voices.push_back(Tone(format, 200 + 10 * v, 3000, 4000 + 100 * v));
        events.push_back(std::make_shared<platform::AutoResetEvent>());
        const platform::SoundNotifyPosition positions[] = {
            {0, events.back()}, {2000u * format.blockAlign, events.back()}};
        ASSERT_EQ(voices.back()->SetNotificationPositions(positions), SoundResult::kOk);
        voices.back()->SetVolume(-100 * v);
        voices.back()->SetPan(v * 600 - 10000);
        voices.back()->SetFrequency(v % 3 ? 0 : 11025 + 999 * v);
        voices.back()->Play(v % 5 != 0);
    }
    std::vector<int16_t> out(2 * 1024);
    platform::SoundEventSet fired;
    g_allocations = 0;
    g_countAllocations = true;
    for (uint32_t done = 0; done < 60 * SoundDevice::kRate; done += 1024) {
        device->Mix(out.data(), 1024, done % 2048 ? &fired : nullptr);
        fired.Clear();
    }
    g_countAllocations = false;
    EXPECT_EQ(g_allocations.load(), 0);
    EXPECT_TRUE(events[1]->Wait(0)); // notifications did fire
}

// The play cursor is where the mix has got to, in bytes of the voice's own format; the write
// cursor stays on it while stopped and runs about 10 ms of whole frames ahead while playing.
TEST_F(SoundDeviceTest, CursorsFollowTheMixInTheVoicesOwnBytes)
{
    struct Case {
        WaveFormat format;
        uint32_t startFrame;
        uint32_t mixFrames;    // at 44.1 kHz
        uint32_t playedFrames; // of the voice
        uint32_t leadBytes;
    };
    const Case cases[] = {
        {WaveFormat::Pcm(2, 44100, 16), 1000, 441, 441, 441 * 4},
        {WaveFormat::Pcm(1, 22050, 8), 10, 882, 441, 220},
        {WaveFormat::Pcm(1, 11025, 16), 0, 4410, 1102, 110 * 2},
        {WaveFormat::Pcm(2, 44100, 8), 20000, 441, 441, 441 * 2},
    };
    for (const Case& c : cases) {
        const uint32_t align = c.format.channels * c.format.bitsPerSample / 8;
        auto voice = Tone(c.format, 100, 1000, c.format.samplesPerSec);
        ASSERT_EQ(voice->SetCurrentPosition(c.startFrame * align + align - 1), SoundResult::kOk);
        uint32_t play = 1, write = 1;
        ASSERT_EQ(voice->GetCurrentPosition(&play, &write), SoundResult::kOk);
        EXPECT_EQ(std::pair(play, write), std::pair(c.startFrame * align, c.startFrame * align));
        ASSERT_EQ(voice->Play(true), SoundResult::kOk);
        Render(c.mixFrames);
        ASSERT_EQ(voice->GetCurrentPosition(&play, &write), SoundResult::kOk);
        const uint32_t at = (c.startFrame + c.playedFrames) * align;
        EXPECT_NEAR(double(play), double(at), align) << c.format.samplesPerSec;
        EXPECT_EQ(write - play, c.leadBytes) << c.format.samplesPerSec;
        voice->Stop();
        EXPECT_EQ(voice->SetCurrentPosition(c.format.samplesPerSec * align), SoundResult::kInvalidParam);
    }
    // Losing the voices leaves the primary buffer alone.
    std::unique_ptr<SoundVoice> primary;
    ASSERT_EQ(device->CreateBuffer({caps::kPrimary, 0, nullptr}, &primary), SoundResult::kOk);
    auto voice = Tone(WaveFormat::Pcm(2, 44100, 16), 441, 100, 64);
    device->LoseBuffers();
    uint32_t status = 0, primaryStatus = 0;
    voice->GetStatus(&status);
    primary->GetStatus(&primaryStatus);
    EXPECT_EQ(std::pair(status & platform::sound_status::kBufferLost, primaryStatus), std::pair(platform::sound_status::kBufferLost, 0u));
}

TEST_F(SoundDeviceTest, OneShotStopsAtItsEndAndLoopingWraps)
{
    auto once = Tone(WaveFormat::Pcm(2, 44100, 16), 441, 8000, 1000);
    ASSERT_EQ(once->Play(false), SoundResult::kOk);
    const auto out = Render(3000);
    uint32_t status = 1, play = 0;
    once->GetStatus(&status);
    EXPECT_TRUE(status == 0 && MaxAbs(Channel(out, 2, 0, 0, 1000)) > 7000 &&
                MaxAbs(Channel(out, 2, 0, 1000, 2000)) == 0);

    auto loop = Tone(WaveFormat::Pcm(2, 44100, 16), 441, 8000, 1000);
    ASSERT_EQ(loop->Play(true), SoundResult::kOk);
    Render(2500);
    loop->GetCurrentPosition(&play, nullptr);
    loop->GetStatus(&status);
    EXPECT_EQ(std::tuple(play, status), std::tuple(500u * 4, platform::sound_status::kPlaying |
                                                                 platform::sound_status::kLooping));

    // The shortest sound there is: one frame, heard once.
    loop->Stop();
    auto single = Tone(WaveFormat::Pcm(1, 44100, 16), 441, 100, 1);
    void* p = nullptr;
    uint32_t n = 0;
    ASSERT_EQ(single->Lock(0, 2, &p, &n, nullptr, nullptr), SoundResult::kOk);
    *static_cast<int16_t*>(p) = 12345;
    single->Unlock(p, n, nullptr, 0);
    ASSERT_EQ(single->Play(false), SoundResult::kOk);
    EXPECT_EQ(Render(3), (std::vector<int16_t>{12345, 12345, 0, 0, 0, 0}));
    single->GetStatus(&status);
    EXPECT_EQ(status, 0u);

    // A one-shot whose end falls exactly on the end of a mix step (the render's, the mixer's
    // chunk, a whole Mix call): it stops there, its last-byte event fires once, nothing follows.
    for (const uint32_t frames : {256u, 512u, 1000u}) {
        auto exact = Tone(WaveFormat::Pcm(2, 44100, 16), 441, 8000, frames);
        auto endEvent = std::make_shared<platform::AutoResetEvent>();
        const platform::SoundNotifyPosition atEnd[] = {{frames * 4 - 1, endEvent}};
        ASSERT_EQ(exact->SetNotificationPositions(atEnd), SoundResult::kOk);
        ASSERT_EQ(exact->Play(false), SoundResult::kOk);
        std::vector<int16_t> out(2 * frames);
        device->Mix(out.data(), frames);
        exact->GetStatus(&status);
        exact->GetCurrentPosition(&play, nullptr);
        EXPECT_EQ(std::tuple(status, play, endEvent->Wait(0),
                             MaxAbs(Channel(out, 2, 0, 0, frames)) > 7000),
                  std::tuple(0u, 0u, true, true))
            << frames;
        device->Mix(out.data(), frames);
        EXPECT_EQ(std::tuple(MaxAbs(Channel(out, 2, 0, 0, frames)), endEvent->Wait(0)),
                  std::tuple(0.0, false))
            << frames;
    }
}

// Each event once, in the order added; what does not fit is refused, not dropped silently.
TEST(SoundEventSet, HoldsEachEventOnceUpToItsCapacity)
{
    platform::SoundEventSet set;
    std::vector<std::shared_ptr<platform::AutoResetEvent>> events;
    for (size_t i = 0; i <= platform::SoundEventSet::kCapacity; ++i)
        events.push_back(std::make_shared<platform::AutoResetEvent>());
    EXPECT_TRUE(set.Add(events[1]));
    EXPECT_TRUE(set.Add(events[0]));
    EXPECT_TRUE(set.Add(events[1])); // there already
    ASSERT_EQ(set.Events().size(), 2u);
    EXPECT_TRUE(set.Events()[0] == events[1] && set.Events()[1] == events[0]);
    for (size_t i = 2; i < platform::SoundEventSet::kCapacity; ++i)
        EXPECT_TRUE(set.Add(events[i]));
    EXPECT_FALSE(set.Add(events.back())); // full
    EXPECT_TRUE(set.Add(events[5]));      // full, but there already
    EXPECT_EQ(set.Events().size(), platform::SoundEventSet::kCapacity);
    set.Clear();
    EXPECT_TRUE(set.Events().empty());
    EXPECT_EQ(events[0].use_count(), 1); // the set lets go of what it held
    EXPECT_TRUE(set.Add(events.back()));
}

TEST_F(SoundDeviceTest, NotificationsFireWhenTheCursorPassesThem)
{
    auto firstEvent = std::make_shared<platform::AutoResetEvent>();
    auto secondEvent = std::make_shared<platform::AutoResetEvent>();
    platform::AutoResetEvent& first = *firstEvent;
    platform::AutoResetEvent& second = *secondEvent;
    auto buffer = Tone(WaveFormat::Pcm(2, 44100, 16), 441, 100, 4000);
    const platform::SoundNotifyPosition positions[] = {{1999 * 4 + 3, firstEvent},
                                                       {3999 * 4 + 3, secondEvent}};
    ASSERT_EQ(buffer->SetNotificationPositions(positions), SoundResult::kOk);
    ASSERT_EQ(buffer->Play(true), SoundResult::kOk);
    EXPECT_EQ(buffer->SetNotificationPositions(positions), SoundResult::kInvalidParam); // playing
    std::vector<int16_t> out(2 * 4000);
    // Frames mixed, then which events were set: the second only once the cursor wraps.
    std::vector<std::pair<bool, bool>> fired;
    for (uint32_t frames : {1999u, 1u, 2001u}) {
        device->Mix(out.data(), frames);
        fired.emplace_back(first.Wait(0), second.Wait(0));
    }
    EXPECT_EQ(fired,
              (std::vector<std::pair<bool, bool>>{{false, false}, {true, false}, {false, true}}));

    // More events passed in one step than the mixer's set holds: the rest are set at once.
    buffer->Stop();
    std::vector<std::shared_ptr<platform::AutoResetEvent>> many;
    std::vector<platform::SoundNotifyPosition> everyFrame;
    for (uint32_t i = 0; i < platform::SoundEventSet::kCapacity + 2; ++i) {
        many.push_back(std::make_shared<platform::AutoResetEvent>());
        everyFrame.push_back({i * 4, many.back()});
    }
    ASSERT_EQ(buffer->SetNotificationPositions(everyFrame), SoundResult::kOk);
    ASSERT_EQ(buffer->SetCurrentPosition(0), SoundResult::kOk);
    ASSERT_EQ(buffer->Play(false), SoundResult::kOk);
    device->Mix(out.data(), 200);
    size_t set = 0;
    for (const auto& event : many)
        set += event->Wait(0) ? 1 : 0;
    EXPECT_EQ(set, many.size());
}

TEST_F(SoundDeviceTest, LostBuffersStopRefuseAndRestore)
{
    auto buffer = Tone(WaveFormat::Pcm(2, 44100, 16), 441, 100, 100);
    ASSERT_EQ(buffer->Play(true), SoundResult::kOk);
    device->LoseBuffers();
    uint32_t status = 0;
    buffer->GetStatus(&status);
    EXPECT_EQ(status, platform::sound_status::kBufferLost);
    void *p1, *p2;
    uint32_t n1, n2;
    EXPECT_EQ(buffer->Lock(0, 4, &p1, &n1, &p2, &n2), SoundResult::kBufferLost);
    EXPECT_EQ(buffer->Play(true), SoundResult::kBufferLost);
    for (SoundResult restore : {SoundResult::kOutOfMemory, SoundResult::kOk}) {
        device->SetRestoreResult(restore);
        EXPECT_EQ(buffer->Restore(), restore);
    }
    EXPECT_EQ(buffer->Play(true), SoundResult::kOk);
}

TEST(SoundDeviceOutputs, NullAndSystemOutputsPullTheMix)
{
    {
        ScopedEnvVar driver("SDL_AUDIODRIVER", "no-such-driver");
        SoundResult error = SoundResult::kOk;
        EXPECT_FALSE(SoundDevice::Create(platform::SoundOutput::kSystem, &error));
        EXPECT_EQ(error, SoundResult::kNoDevice);
    }
    auto quiet = SoundDevice::Create(platform::SoundOutput::kNull);
    ASSERT_TRUE(quiet);
    const WaveFormat format = WaveFormat::Pcm(2, 44100, 16);
    std::unique_ptr<SoundVoice> buffer;
    ASSERT_EQ(quiet->CreateBuffer({0, 4 * 441, &format}, &buffer), SoundResult::kOk);
    buffer->Play(false);
    uint32_t status = 1;
    for (int i = 0; i < 500 && status; ++i) { // 10 ms of sound ends within 5 s
        buffer->GetStatus(&status);
        platform::AutoResetEvent().Wait(10);
    }
    EXPECT_EQ(status, 0u);
    // The dummy driver of the test run stands in for a sound card.
    SoundResult error = SoundResult::kNoDevice;
    EXPECT_TRUE(SoundDevice::Create(platform::SoundOutput::kSystem, &error));
    EXPECT_EQ(error, SoundResult::kOk);
}

} // namespace

namespace {

// The system output on SDL's disk driver, which writes what the device plays to a file: a
// looping voice of a steady left and right level in the mix's own format comes out as
// 16-bit stereo frames of those levels, every frame of every buffer, from its first on.
TEST(SoundDeviceOutputs, TheSystemOutputPlaysEveryFrameOfTheMix)
{
    TempFolder dir;
    const std::string file = dir.Path("played.raw");
    ScopedEnvVar driver("SDL_AUDIODRIVER", "disk");
    ScopedEnvVar output("SDL_DISKAUDIOFILE", file);
    ScopedEnvVar pace("SDL_DISKAUDIODELAY", "1");
    {
        SoundResult error = SoundResult::kNoDevice;
        auto device = SoundDevice::Create(platform::SoundOutput::kSystem, &error);
        ASSERT_TRUE(device);
        EXPECT_EQ(error, SoundResult::kOk);
        const WaveFormat format = WaveFormat::Pcm(2, SoundDevice::kRate, 16);
        std::unique_ptr<SoundVoice> voice;
        ASSERT_EQ(device->CreateBuffer({0, 4 * 100, &format}, &voice), SoundResult::kOk);
        void* p = nullptr;
        uint32_t n = 0;
        ASSERT_EQ(voice->Lock(0, 400, &p, &n, nullptr, nullptr), SoundResult::kOk);
        for (uint32_t i = 0; i < 100; ++i)
            static_cast<int16_t*>(p)[2 * i] = 1000, static_cast<int16_t*>(p)[2 * i + 1] = -2000;
        voice->Unlock(p, n, nullptr, 0);
        voice->Play(true);
        for (int i = 0; i < 500 && std::filesystem::file_size(file) < 64 * 1024; ++i)
            platform::AutoResetEvent().Wait(10);
    }
    // The last output gone, the system's audio is released for whoever starts it next.
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    const std::string played = ReadFileBytes(file);
    ASSERT_GE(played.size(), 64u * 1024);
    std::vector<int16_t> samples(played.size() / 2);
    std::memcpy(samples.data(), played.data(), samples.size() * 2);
    // Silence until the voice starts, then its levels in every frame up to the end.
    size_t first = 0;
    while (first + 1 < samples.size() && samples[first] == 0 && samples[first + 1] == 0)
        first += 2;
    size_t steady = 0;
    for (size_t i = first; i + 1 < samples.size(); i += 2)
        steady += samples[i] == 1000 && samples[i + 1] == -2000;
    EXPECT_EQ(first % 2, 0u);
    EXPECT_EQ(steady, (samples.size() - first) / 2) << "of " << samples.size() / 2 << " frames from " << first / 2;
}

} // namespace
