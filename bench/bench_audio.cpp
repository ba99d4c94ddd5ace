// Audio costs, each against a peer in the same run with one clock, ours and theirs taking
// turns inside every iteration (the counters give both times and their ratio):
// - decode speed of GOggDecoder and GMp3Decoder against plain ov_read and libmad loops over
//   the same files into a buffer of the same block size (36,864 bytes);
// - the mixer: 32 voices, each with its own volume, pan and frequency, mixed into 1 s of
//   44,100 Hz stereo, as a fraction of one core, against SDL_MixAudioFormat summing the same
//   32 voices already at the output rate (no resampling, panning or per-voice level: the
//   least work a mix can do);
// - shutdown latency of a playing stream player, from the call to the thread having ended.
// Run pinned to one core: taskset -c 6 build/bench/bench_audio

#include <benchmark/benchmark.h>

#include <SDL.h>
#include <mad.h>
#include <vorbis/vorbisfile.h>

#include <chrono>
#include <ctime>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>
#include <string>
#include <vector>

#include "audio/decoders/mp3_decoder.h"
#include "bench/cpu_clock.h"
#include "audio/decoders/ogg_decoder.h"
#include "audio/player/audio_player.h"
#include "audio/player/audio_system.h"
#include "platform/sound/sound_device.h"
#include "tools/tolvanrise-audio/audio_synth.h"

namespace {

using Clock = bench::CpuClock<CLOCK_THREAD_CPUTIME_ID>;
using bench::Seconds;
constexpr int32_t kBlock = 36864;

std::string Folder()
{
    static const std::string folder = [] {
        auto path = std::filesystem::temp_directory_path() / "tolvanrise_bench_audio";
        std::filesystem::create_directories(path);
        const auto pcm = audio_synth::MakeTone({441, 554.4, 659.3}, 0.6, 2, 44100, 20.0);
        audio_synth::WriteOgg((path / "chord.ogg").string(), pcm, 2, 44100);
        audio_synth::WriteMp3((path / "chord.mp3").string(), pcm, 2, 44100);
        return path.string();
    }();
    return folder;
}

size_t DecodeOurs(GStreamDecoder& decoder, const std::string& path, std::vector<uint8_t>& out)
{
    decoder.Open(path.c_str(), 0);
    size_t total = 0;
    int32_t count = kBlock;
    while (count == kBlock) {
        decoder.Read(out.data(), kBlock, &count);
        total += count;
    }
    decoder.Close();
    return total;
}

size_t DecodeOggPlain(const std::string& path, std::vector<uint8_t>& out)
{
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) < 0)
        return 0;
    size_t total = 0;
    for (bool more = true; more;) {
        int32_t count = 0;
        while (count < kBlock) {
            int section;
            const long got = ov_read(&file, reinterpret_cast<char*>(out.data()) + count,
                                     kBlock - count, 0, 2, 1, &section);
            if (got <= 0) {
                more = false;
                break;
            }
            count += got;
        }
        total += count;
    }
    ov_clear(&file);
    return total;
}

size_t DecodeMp3Plain(const std::string& path, std::vector<uint8_t>& out)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    mad_stream stream;
    mad_frame frame;
    mad_synth synth;
    mad_stream_init(&stream);
    mad_frame_init(&frame);
    mad_synth_init(&synth);
    static uint8_t input[4096 + MAD_BUFFER_GUARD];
    size_t valid = 0, total = 0, at = 0;
    for (;;) {
        if (stream.buffer == nullptr || stream.error == MAD_ERROR_BUFLEN) {
            const size_t keep = stream.next_frame ? input + valid - stream.next_frame : 0;
            std::memmove(input, input + valid - keep, keep);
            const size_t got = std::fread(input + keep, 1, 4096 - keep, file);
            if (got == 0)
                break;
            valid = keep + got;
            mad_stream_buffer(&stream, input, valid);
        }
        if (mad_frame_decode(&frame, &stream)) {
            if (MAD_RECOVERABLE(stream.error) || stream.error == MAD_ERROR_BUFLEN)
                continue;
            break;
        }
        mad_synth_frame(&synth, &frame);
        for (unsigned i = 0; i < synth.pcm.length; ++i) {
            if (at + 4 > static_cast<size_t>(kBlock)) {
                total += at;
                at = 0;
            }
            const int16_t l = Mp3ScaleSample(synth.pcm.samples[0][i]);
            const int16_t r = Mp3ScaleSample(synth.pcm.samples[1][i]);
            std::memcpy(out.data() + at, &l, 2);
            std::memcpy(out.data() + at + 2, &r, 2);
            at += 4;
        }
    }
    mad_synth_finish(&synth);
    mad_frame_finish(&frame);
    mad_stream_finish(&stream);
    std::fclose(file);
    return total + at;
}

template <typename Ours, typename Plain>
void CompareDecoders(benchmark::State& state, Ours ours, Plain plain)
{
    std::vector<uint8_t> out(kBlock);
    Clock::duration oursTime{}, plainTime{};
    size_t bytes = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        bytes = ours(out);
        auto t1 = Clock::now();
        const size_t peer = plain(out);
        auto t2 = Clock::now();
        oursTime += t1 - t0;
        plainTime += t2 - t1;
        // The plain MP3 loop gives up the last frame (no guard bytes at the end of the file).
        if (peer + 8192 < bytes || bytes + 8192 < peer)
            state.SkipWithError("the two loops decoded different lengths");
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["ours_ms"] = Seconds(oursTime) * 1000 / n;
    state.counters["plain_ms"] = Seconds(plainTime) * 1000 / n;
    state.counters["ours/plain"] = Seconds(oursTime) / Seconds(plainTime);
    state.counters["MB_pcm"] = bytes / 1e6;
}

void BM_OggDecoder(benchmark::State& state)
{
    const std::string path = Folder() + "/chord.ogg";
    GOggDecoder decoder;
    CompareDecoders(
        state, [&](auto& out) { return DecodeOurs(decoder, path, out); },
        [&](auto& out) { return DecodeOggPlain(path, out); });
}
BENCHMARK(BM_OggDecoder)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_Mp3Decoder(benchmark::State& state)
{
    const std::string path = Folder() + "/chord.mp3";
    GMp3Decoder decoder;
    CompareDecoders(
        state, [&](auto& out) { return DecodeOurs(decoder, path, out); },
        [&](auto& out) { return DecodeMp3Plain(path, out); });
}
BENCHMARK(BM_Mp3Decoder)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_Mixer32Voices(benchmark::State& state)
{
    constexpr int kVoices = 32;
    constexpr uint32_t kFrames = 44100;
    auto device = platform::SoundDevice::Create(platform::SoundOutput::kManual);
    std::mt19937 random(1);
    std::vector<std::unique_ptr<platform::SoundVoice>> buffers;
    std::vector<std::vector<int16_t>> peers; // the same voices at 44,100 Hz stereo for SDL
    for (int v = 0; v < kVoices; ++v) {
        const bool mono = v % 2;
        const uint32_t rate = mono ? 22050 : 44100;
        const platform::WaveFormat format = platform::WaveFormat::Pcm(mono ? 1 : 2, rate, 16);
        const auto pcm = audio_synth::MakeTone({200.0 + 37 * v}, 0.1, format.channels, rate, 0.5);
        std::unique_ptr<platform::SoundVoice> buffer;
        device->CreateBuffer({platform::sound_caps::kCtrlVolume | platform::sound_caps::kCtrlPan |
                                  platform::sound_caps::kCtrlFrequency,
                              static_cast<uint32_t>(pcm.size() * 2), &format},
                             &buffer);
        void* p;
        uint32_t n;
        buffer->Lock(0, static_cast<uint32_t>(pcm.size() * 2), &p, &n, nullptr, nullptr);
        std::memcpy(p, pcm.data(), n);
        buffer->SetVolume(-static_cast<int32_t>(random() % 1500));
        buffer->SetPan(static_cast<int32_t>(random() % 4001) - 2000);
        buffer->SetFrequency(rate / 2 + random() % rate);
        buffer->Play(true);
        buffers.push_back(std::move(buffer));
        peers.push_back(audio_synth::MakeTone({200.0 + 37 * v}, 0.1, 2, 44100, 1.0));
    }
    std::vector<int16_t> out(kFrames * 2), sdlOut(kFrames * 2);
    Clock::duration oursTime{}, sdlTime{};
    for (auto _ : state) {
        auto t0 = Clock::now();
        device->Mix(out.data(), kFrames);
        auto t1 = Clock::now();
        std::memset(sdlOut.data(), 0, sdlOut.size() * 2);
        for (const auto& peer : peers)
            SDL_MixAudioFormat(reinterpret_cast<Uint8*>(sdlOut.data()),
                               reinterpret_cast<const Uint8*>(peer.data()), AUDIO_S16SYS,
                               kFrames * 4, SDL_MIX_MAXVOLUME / 2);
        auto t2 = Clock::now();
        oursTime += t1 - t0;
        sdlTime += t2 - t1;
        benchmark::DoNotOptimize(out.data());
        benchmark::DoNotOptimize(sdlOut.data());
    }
    bench::ReportCoreShares(state, oursTime, sdlTime, "sdl");
    state.counters["speedup"] = Seconds(sdlTime) / Seconds(oursTime); // how many times SDL's speed
}
BENCHMARK(BM_Mixer32Voices)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ShutdownLatency(benchmark::State& state)
{
    const std::string folder = Folder() + "/";
    double worst = 0;
    for (auto _ : state) {
        state.PauseTiming();
        GAudioSystem system(nullptr);
        system.InitDirectSound(platform::SoundOutput::kNull);
        GAudioPlayer* player = system.CreateAudioPlayer(folder.c_str());
        player->AddTrack("chord.ogg", 0);
        player->SetPlayMode(GAudioPlayer::kRepeatTrack);
        player->PlayTrack(0, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(250)); // a refill or so in
        state.ResumeTiming();
        // Wall time here: the wait for the thread is the point.
        const auto t0 = std::chrono::steady_clock::now();
        system.DestroyAudioPlayer();
        worst = std::max(worst, Seconds(std::chrono::steady_clock::now() - t0) * 1000);
    }
    state.counters["worst_ms"] = worst;
}
BENCHMARK(BM_ShutdownLatency)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

BENCHMARK_MAIN();
