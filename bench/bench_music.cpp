// Costs of the further music players, each against a peer in the same run, the two taking
// turns inside every iteration:
// - MIDI synthesis: 1 s of a 16-channel song (a note on every channel each eighth, drums on
//   channel 10) through the MIDI player (its thread renders into its buffer as the device's
//   clock pulls it) as a fraction of one core, against a plain FluidSynth loop rendering the
//   same song with the same sound font (process CPU time: the player's work is on its thread);
// - the WAV bank: 32 effects from WAV files playing at once (mono 22,050 Hz and stereo
//   44,100 Hz, each with its volume and pan) mixed into 1 s of output, against
//   SDL_MixAudioFormat summing the same 32 sounds already at the output rate.
// Run pinned to one core: taskset -c 2 build/bench/bench_music

#include <benchmark/benchmark.h>

#include <SDL.h>
#include <fluidsynth.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/banks/sound_bank.h"
#include "audio/midi/midi_player.h"
#include "bench/cpu_clock.h"
#include "platform/sound/midi_synth.h"
#include "platform/sound/sound_device.h"
#include "tools/tolvanrise-audio/audio_synth.h"

namespace {

using bench::CpuClock;
using bench::Seconds;

std::string Folder()
{
    static const std::string folder = [] {
        auto path = std::filesystem::temp_directory_path() / "tolvanrise_bench_music";
        std::filesystem::create_directories(path);
        audio_synth::MidiSong song;
        for (int channel = 0; channel < 16; ++channel)
            for (int tick = 0; tick < 480 * 40; tick += 240)
                song.notes.push_back({channel, channel * 8 + 1, channel == 9 ? 36 + channel % 12 : 48 + channel * 2,
                                      tick, 200, 90});
        audio_synth::WriteMidi((path / "0.mid").string(), song);
        return path.string();
    }();
    return folder;
}

void BM_MidiSynthesis16Channels(benchmark::State& state)
{
    using Clock = CpuClock<CLOCK_PROCESS_CPUTIME_ID>;
    constexpr int kFrames = 44100;
    auto device = platform::SoundDevice::Create(platform::SoundOutput::kManual);
    GMidiPlayer player(device.get(), Folder().c_str());
    if (!player.Start(1) || !player.Play(0)) {
        state.SkipWithError("no MIDI synthesiser or sound font");
        return;
    }
    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", kFrames);
    fluid_settings_setstr(settings, "player.timing-source", "sample");
    fluid_synth_t* synth = new_fluid_synth(settings);
    fluid_synth_sfload(synth, platform::FindSoundFont(), 1);
    fluid_player_t* peer = new_fluid_player(synth);
    fluid_player_add(peer, (Folder() + "/0.mid").c_str());
    fluid_player_set_loop(peer, -1);
    fluid_player_play(peer);
    std::vector<int16_t> out(kFrames * 2);
    Clock::duration oursTime{}, peerTime{};
    for (auto _ : state) {
        auto t0 = Clock::now();
        device->Render(kFrames);
        auto t1 = Clock::now();
        fluid_synth_write_s16(synth, kFrames, out.data(), 0, 2, out.data(), 1, 2);
        auto t2 = Clock::now();
        oursTime += t1 - t0;
        peerTime += t2 - t1;
        benchmark::DoNotOptimize(out.data());
    }
    delete_fluid_player(peer);
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    bench::ReportCoreShares(state, oursTime, peerTime, "fluid");
}
BENCHMARK(BM_MidiSynthesis16Channels)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_WavBank32Effects(benchmark::State& state)
{
    using Clock = CpuClock<CLOCK_THREAD_CPUTIME_ID>;
    constexpr int kSounds = 32;
    constexpr uint32_t kFrames = 44100;
    auto device = platform::SoundDevice::Create(platform::SoundOutput::kManual);
    const std::string folder = Folder() + "/wav/";
    std::filesystem::create_directories(folder);
    std::vector<std::vector<int16_t>> peers;
    for (int i = 0; i < kSounds; ++i) {
        const bool mono = i % 2;
        const int rate = mono ? 22050 : 44100;
        const auto pcm = audio_synth::MakeTone({200.0 + 37 * i}, 0.1, mono ? 1 : 2, rate, 1.0);
        audio_synth::WriteWav(folder + std::to_string(i) + ".wav", pcm, mono ? 1 : 2, rate);
        peers.push_back(audio_synth::MakeTone({200.0 + 37 * i}, 0.1, 2, 44100, 1.0));
    }
    GWavBank bank(device.get(), folder.c_str());
    bank.Preload(kSounds);
    if (bank.GetCount() != kSounds) {
        state.SkipWithError("the WAV files did not load");
        return;
    }
    for (int i = 0; i < kSounds; ++i) {
        bank.SetVolume(i, 5000 + 150 * i);
        bank.SetPan(i, i * 100 - 1600);
    }
    std::vector<int16_t> out(kFrames * 2), sdlOut(kFrames * 2);
    Clock::duration oursTime{}, sdlTime{};
    for (auto _ : state) {
        for (int i = 0; i < kSounds; ++i)
            bank.Play(i, 1);
        auto t0 = Clock::now();
        device->Mix(out.data(), kFrames);
        auto t1 = Clock::now();
        std::memset(sdlOut.data(), 0, sdlOut.size() * 2);
        for (const auto& peer : peers)
            SDL_MixAudioFormat(reinterpret_cast<Uint8*>(sdlOut.data()), reinterpret_cast<const Uint8*>(peer.data()),
                               AUDIO_S16SYS, kFrames * 4, SDL_MIX_MAXVOLUME / 2);
        auto t2 = Clock::now();
        oursTime += t1 - t0;
        sdlTime += t2 - t1;
        benchmark::DoNotOptimize(out.data());
        benchmark::DoNotOptimize(sdlOut.data());
    }
    bench::ReportCoreShares(state, oursTime, sdlTime, "sdl");
}
BENCHMARK(BM_WavBank32Effects)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
