// The General MIDI synthesiser over the system's FluidSynth: which songs it takes, and that a
// stop or a new song silences what the old one left sounding.

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/sound/midi_synth.h"
#include "support/audio_measure.h"
#include "support/scoped_env.h"
#include "support/temp_files.h"
#include "tools/tolvanrise-audio/audio_synth.h"

// The synthesiser loads its sound font on OpenMP threads, whose runtime ThreadSanitizer cannot
// see into: its own memory handling would be reported as races of ours.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libgomp.so.1\n";
}

namespace {

using namespace tolvanrise::test;
constexpr int kRate = 44100;
constexpr int kOrgan = 16; // holds its level for as long as the key is down
constexpr int kA4 = 69;
constexpr int kFlute = 73; // nearly a pure tone

class MidiSynthTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!*platform::FindSoundFont())
            GTEST_SKIP() << "no General MIDI sound font installed";
        // With a sound font there, the synthesiser must start.
        platform::MidiSynthError error = platform::MidiSynthError::kNoSynth;
        synth = platform::MidiSynth::Create(kRate, &error);
        ASSERT_TRUE(synth && error == platform::MidiSynthError::kNone);
    }

    // The peak of the left channel over the next seconds.
    double Peak(double seconds)
    {
        std::vector<int16_t> out(size_t(seconds * kRate) * 2);
        synth->Render(out.data(), int(out.size() / 2));
        return MaxAbs(Channel(out, 2, 0, 0, out.size() / 2));
    }

    // A standard MIDI file of one track holding these events, ended.
    static std::vector<uint8_t> Song(std::vector<uint8_t> track, uint8_t tracks = 1,
                                     const char* id = "MTrk")
    {
        std::vector<uint8_t> bytes = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, tracks, 1, 0xE0};
        for (int i = 0; i < 4; ++i)
            bytes.push_back(uint8_t(id[i]));
        for (const int shift : {24, 16, 8, 0})
            bytes.push_back(uint8_t(track.size() >> shift));
        bytes.insert(bytes.end(), track.begin(), track.end());
        return bytes;
    }

    std::unique_ptr<platform::MidiSynth> synth;
};

// Songs the synthesiser would trust to its structure are refused unless every track is whole:
// one whose chunk runs on past the file kept it rendering for minutes.
TEST_F(MidiSynthTest, RefusesSongsThatAreNotWholeTracks)
{
    const std::vector<uint8_t> note = {0,    0x90, 60, 100,
                                       0x60, 60,   0}; // on, then off by running status
    auto with = [&](std::vector<uint8_t> tail) {
        std::vector<uint8_t> track = note;
        track.insert(track.end(), tail.begin(), tail.end());
        return track;
    };
    EXPECT_TRUE(synth->LoadBytes(Song(with({0, 0xFF, 0x2F, 0}))));
    // Delta times of two bytes and tempo, program and other chunks a writer may add.
    EXPECT_TRUE(synth->LoadBytes(audio_synth::MakeMidi({480, 500000, {{0, kOrgan, kA4, 0, 960}}})));
    const std::vector<std::vector<uint8_t>> refused = {
        Song(with({0, 0xFF, 0x2F, 0}), 2),                         // fewer tracks than counted
        Song(with({0, 0xFF, 0x2F, 0}), 1, "MUrk"),                 // no track at all
        Song(with({})),                                            // no end of track
        Song(with({0, 0xFF, 0x2F, 0, 0})),                         // bytes after it
        Song(with({0, 0xFF, 0x51, 3, 0, 0, 0, 0, 0xFF, 0x2F, 0})), // a tempo of zero
        Song(with({0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x2F, 0})), // a five-byte delta time
        Song(with({0, 0xFF, 0x01, 0x40, 0xFF, 0x2F, 0})),          // text past the chunk
        Song({0, 0x60, 0xFF, 0x2F, 0}),                            // running status with none
        Song({0, 0x40, 0x40, 0, 0xFF, 0x2F, 0}),                   // the same, then whole
    };
    for (size_t i = 0; i < refused.size(); ++i) {
        EXPECT_FALSE(synth->LoadBytes(refused[i])) << i;
        EXPECT_FALSE(synth->Play(false)) << i; // the old song is gone too
    }
    std::vector<uint8_t> runaway = Song(with({0, 0xFF, 0x2F, 0}));
    runaway[18] = 0x7F; // a track length far past the file's end
    EXPECT_FALSE(synth->LoadBytes(runaway));
}

// A held organ note sounds until the song lets go of it; Stop and a new song must not wait.
TEST_F(MidiSynthTest, StopAndANewSongSilenceNotesStillHeld)
{
    const auto held = audio_synth::MakeMidi({480, 500000, {{0, kOrgan, kA4, 0, 480 * 40}}});
    ASSERT_TRUE(synth->LoadBytes(held));
    ASSERT_TRUE(synth->Play(false));
    EXPECT_GT(Peak(0.5), 1000);
    synth->Stop();
    Peak(1.0); // the release
    EXPECT_LT(Peak(0.25), 50);
    EXPECT_FALSE(synth->HasEnded());

    ASSERT_TRUE(synth->Play(false)); // on from where it stopped: the note is not struck again
    EXPECT_LT(Peak(0.25), 50);
    ASSERT_TRUE(synth->LoadBytes(held));
    ASSERT_TRUE(synth->Play(false));
    EXPECT_GT(Peak(0.5), 1000);
    ASSERT_TRUE(synth->LoadBytes(Song({0, 0xFF, 0x2F, 0})));
    Peak(1.0);
    EXPECT_LT(Peak(0.25), 50);
}

// The song moves on with the frames rendered, at its own tempo times the factor; a seek puts it
// at the tick asked for, and the song has ended once its last event has passed.
TEST_F(MidiSynthTest, TheSongClockFollowsTheFramesTheTempoAndSeeks)
{
    // 480 ticks a quarter note of half a second: 960 ticks a second at the song's own tempo,
    // one organ note of four seconds.
    const auto song = audio_synth::MakeMidi({480, 500000, {{0, kOrgan, kA4, 0, 480 * 8}}});
    struct Case {
        double tempo;
        int seekTo; // after the first half second; -1: none
        double seconds;
        int tick;
        bool ended;
    };
    const Case cases[] = {
        {1.0, -1, 1.0, 1440, false},   {2.0, -1, 1.0, 2880, false}, {0.5, -1, 1.0, 720, false},
        {1.0, 2880, 0.5, 3360, false}, {1.0, 0, 0.25, 240, false},  {1.0, -1, 4.0, 3840, true},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(synth->LoadBytes(song));
        EXPECT_EQ(synth->GetTick(), 0);
        synth->SetTempoFactor(c.tempo);
        ASSERT_TRUE(synth->Play(false));
        EXPECT_TRUE(synth->IsPlaying());
        Peak(0.5);
        if (c.seekTo >= 0) {
            synth->Seek(c.seekTo);
            Peak(0.01); // the seek takes effect with the next block
            Peak(c.seconds - 0.01);
        } else {
            Peak(c.seconds);
        }
        // The clock runs on past the last event while the notes die away.
        const int tick = c.ended ? std::min(synth->GetTick(), c.tick) : synth->GetTick();
        EXPECT_NEAR(tick, c.tick, 40) << c.tempo << " " << c.seekTo;
        EXPECT_EQ(synth->HasEnded(), c.ended) << c.tempo << " " << c.seekTo;
    }
    synth->SetTempoFactor(1.0);
    // Without a song there is no clock and nothing to play.
    ASSERT_FALSE(synth->LoadBytes({}));
    EXPECT_EQ(std::tuple(synth->GetTick(), synth->IsPlaying(), synth->HasEnded()),
              std::tuple(0, false, false));
}

// The gain scales the whole output: half the factor, half the level; none, silence.
TEST_F(MidiSynthTest, GainScalesTheLevelOfEverythingRendered)
{
    const auto song = audio_synth::MakeMidi({480, 500000, {{0, kOrgan, kA4, 0, 480 * 8}}});
    std::vector<double> peaks;
    for (const double gain : {1.0, 0.5, 0.0}) {
        ASSERT_TRUE(synth->LoadBytes(song));
        synth->SetGain(gain);
        ASSERT_TRUE(synth->Play(false));
        Peak(0.2); // past the attack
        peaks.push_back(Peak(0.3));
    }
    synth->SetGain(1.0);
    ASSERT_GT(peaks[0], 1000);
    EXPECT_NEAR(peaks[1] / peaks[0], 0.5, 0.05);
    EXPECT_LT(peaks[2], 10); // the dither alone
}

// Every kind of event a track may hold is taken when whole, and refused when cut short or
// out of place; a song is read from a file as from bytes.
TEST_F(MidiSynthTest, EveryKindOfEventIsReadWholeAndSongsLoadFromFiles)
{
    const std::vector<uint8_t> end = {0, 0xFF, 0x2F, 0};
    auto track = [&](std::vector<uint8_t> events) {
        events.insert(events.end(), end.begin(), end.end());
        return Song(events);
    };
    const std::pair<std::vector<uint8_t>, bool> cases[] = {
        {{0, 0xF0, 3, 0x7E, 0x7F, 0xF7}, true},       // a system exclusive message
        {{0, 0xF7, 1, 0x42}, true},                   // its continuation
        {{0, 0xC0, 16, 0, 0x90, 60, 100}, true},      // a program change: one data byte
        {{0, 0xD0, 64, 0, 0xB0, 7, 100}, true},       // channel pressure, a controller
        {{0, 0x90, 60, 100, 0x60, 62, 100}, true},    // a running status carries on
        {{0, 0xF0, 5, 0x7E, 0x7F}, false},            // an exclusive message past the track
        {{0, 0xF0, 1, 0x7E, 0, 0x62, 100}, false},    // no running status after one
        {{0, 0xF1, 0x10}, false},                     // a system common message
        {{0, 0xF8}, false},                           // a real-time message
        {{0, 0x90, 60, 0x80}, false},                 // a data byte with its top bit set
        {{0, 0xC0, 0x90}, false},                     // the same in a program change
        {{0, 0xFF, 0x51, 2, 7, 0xA1}, false},         // a tempo of two bytes
        {{0, 0xFF, 0x01, 0x80, 0x80, 0x80, 0x80, 0}, false}, // a length of five bytes
        {{0x80, 0x80, 0x80, 0x80, 0x90, 60, 100}, false},     // a delta time of five bytes
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(synth->LoadBytes(track(cases[i].first)), cases[i].second) << i;

    TempFolder folder("midi_synth_");
    const auto song = audio_synth::MakeMidi({480, 500000, {{0, kOrgan, kA4, 0, 480 * 8}}});
    const std::string path = folder.WriteFile("song.mid", std::string(song.begin(), song.end()));
    ASSERT_TRUE(synth->Load(path.c_str()));
    ASSERT_TRUE(synth->Play(false));
    EXPECT_GT(Peak(0.5), 1000);
    EXPECT_FALSE(synth->Load(folder.Path("none.mid").c_str()));
    EXPECT_FALSE(synth->Play(false));
    Peak(1.0);
    EXPECT_LT(Peak(0.25), 50); // the song that was playing is gone
}

} // namespace

// A note's pitch is the same at every output rate: a synthesiser made for 22,050 or 48,000
// frames a second plays A4 as the one of the mix's own rate does (the crossings of the tone
// and its overtones, counted per second, agree within the spread of the count).
TEST_F(MidiSynthTest, ANoteKeepsItsPitchAtEveryRate)
{
    std::vector<double> pitch;
    for (const int rate : {kRate, 22050, 48000}) {
        auto own = platform::MidiSynth::Create(rate);
        ASSERT_TRUE(own);
        ASSERT_TRUE(
            own->LoadBytes(audio_synth::MakeMidi({480, 500000, {{0, kFlute, kA4, 0, 480 * 40}}})));
        ASSERT_TRUE(own->Play(false));
        std::vector<int16_t> out(size_t(rate) * 2);
        own->Render(out.data(), rate);
        pitch.push_back(ToneFrequency(Channel(out, 2, 0, rate / 2, rate / 2), rate));
    }
    EXPECT_GT(pitch[0], 400.0);
    EXPECT_NEAR(pitch[1], pitch[0], pitch[0] * 0.15);
    EXPECT_NEAR(pitch[2], pitch[0], pitch[0] * 0.15);
}

// The sound font named in the environment is the only one tried: a missing one or a file that
// is no sound font leaves no synthesiser, however many fonts the system has.
TEST_F(MidiSynthTest, TheSoundFontNamedInTheEnvironmentIsTheOneTried)
{
    const std::string installed = platform::FindSoundFont();
    TempFolder dir;
    const std::string notAFont = dir.WriteFile("font.sf2", std::string(4096, 'x'));
    for (const std::string& named : {dir.Path("missing.sf2"), notAFont, installed}) {
        ScopedEnvVar font("TOLVANRISE_SOUNDFONT", named);
        const bool usable = named == installed;
        EXPECT_EQ(std::string(platform::FindSoundFont()), named == notAFont || usable ? named : "")
            << named;
        platform::MidiSynthError error = platform::MidiSynthError::kNone;
        // The synthesiser's own complaints stay off the player's terminal.
        testing::internal::CaptureStderr();
        EXPECT_EQ(platform::MidiSynth::Create(kRate, &error) != nullptr, usable) << named;
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.find("fluidsynth"), std::string::npos) << said;
        EXPECT_EQ(error,
                  usable ? platform::MidiSynthError::kNone : platform::MidiSynthError::kNoSoundFont)
            << named;
    }
}

// Tracks are read to the length their chunk gives, however long: one of a few hundred bytes
// and one past 64 KB (long texts before the note) play their note like a short one.
TEST_F(MidiSynthTest, LongTracksAreReadWhole)
{
    for (const size_t texts : {2u, 600u}) {
        std::vector<uint8_t> track;
        for (size_t i = 0; i < texts; ++i) {
            track.insert(track.end(), {0, 0xFF, 0x01, 127});
            track.insert(track.end(), 127, 'a');
        }
        track.insert(track.end(), {0, 0xC0, kOrgan, 0, 0x90, kA4, 100, 0x83, 0x60, 0x80, kA4, 0, 0,
                                   0xFF, 0x2F, 0});
        ASSERT_TRUE(synth->LoadBytes(Song(track))) << track.size();
        ASSERT_TRUE(synth->Play(false));
        EXPECT_GT(Peak(0.3), 1000) << track.size();
    }
}
