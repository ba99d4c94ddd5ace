// The MIDI player on the manual clock, checked on what it renders: generated songs of known
// notes (a flute, whose fundamental leads) must be heard at their pitch, at the tempo and
// volume asked for, silent when paused or stopped, and followed by another file at their end.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "audio/midi/midi_player.h"
#include "platform/sound/midi_synth.h"
#include "platform/sound/sound_device.h"
#include "platform/window/message_box.h"
#include "support/audio_measure.h"
#include "support/failing_allocations.h"
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
constexpr int kFlute = 73;
constexpr int kA4 = 69, kE5 = 76; // 440 Hz, 659.3 Hz

// Power of one frequency in the samples (one Goertzel bin).
double Power(const std::vector<double>& s, double hz)
{
    const double w = 2 * std::acos(-1.0) * hz / kRate;
    double a = 0, b = 0;
    for (double x : s) {
        const double c = x + 2 * std::cos(w) * a - b;
        b = a;
        a = c;
    }
    return a * a + b * b - 2 * std::cos(w) * a * b;
}

// Which of the two notes sounds (0 for near-silence).
double Heard(const std::vector<double>& s)
{
    if (ToneLevel(s) < 100)
        return 0;
    return Power(s, 440) > Power(s, 659.26) ? 440 : 659.26;
}

class MidiPlayerTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = new TempFolder("tolvanrise_midi_");
        // 0: A4 for one beat (0.5 s), then E5 in eighth notes for three. 1: E5 for 0.4 s.
        // 2: no MIDI file.
        audio_synth::MidiSong song{480, 500000, {{0, kFlute, kA4, 0, 480}}};
        for (int tick = 480; tick < 1920; tick += 240)
            song.notes.push_back({0, kFlute, kE5, tick, 200});
        audio_synth::WriteMidi(folder->Path("0.mid"), song);
        audio_synth::WriteMidi(folder->Path("1.mid"), {480, 500000, {{0, kFlute, kE5, 0, 384}}});
        folder->WriteFile("2.mid", "MThd but not really");
    }
    static void TearDownTestSuite() { delete folder; }

    void SetUp() override
    {
        if (!*platform::FindSoundFont())
            GTEST_SKIP() << "no General MIDI sound font installed";
        device = platform::SoundDevice::Create(platform::SoundOutput::kManual);
        player = std::make_unique<GMidiPlayer>(device.get(), folder->Path().c_str());
        ASSERT_EQ(player->Start(3), 1);
    }

    // Seconds of the left channel.
    std::vector<double> Render(double seconds)
    {
        std::vector<int16_t> out;
        device->Render(static_cast<uint32_t>(seconds * kRate), &out);
        return Channel(out, 2, 0, 0, out.size() / 2);
    }

    static std::vector<double> Part(const std::vector<double>& s, double from, double to)
    {
        return {s.begin() + static_cast<long>(from * kRate),
                s.begin() + static_cast<long>(to * kRate)};
    }

    static TempFolder* folder;
    std::unique_ptr<platform::SoundDevice> device;
    std::unique_ptr<GMidiPlayer> player;
};
TempFolder* MidiPlayerTest::folder = nullptr;

// When the second note starts depends on the tempo factor (one beat = 0.5 s / factor); the
// buffer and the flute's attack add about 0.15 s.
TEST_F(MidiPlayerTest, NotesAreHeardAtTheirPitchAndTempo)
{
    const struct {
        int tempo;
        double firstFrom, firstTo, secondFrom, secondTo;
    } cases[] = {{3, 0.25, 0.6, 0.8, 1.2},
                 {1, 0.4, 1.0, 1.3, 1.6},
                 {5, 0.19, 0.3, 0.5, 0.8},
                 {6, 0.18, 0.26, 0.5, 0.8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tempo);
        player->SetTempo(c.tempo);
        EXPECT_EQ(player->GetTempo(), c.tempo);
        ASSERT_EQ(player->Play(0), 1);
        const auto s = Render(1.6);
        EXPECT_EQ(Heard(Part(s, c.firstFrom, c.firstTo)), 440);
        EXPECT_EQ(Heard(Part(s, c.secondFrom, c.secondTo)), 659.26);
        player->Stop();
    }
    player->SetTempo(7);
    player->SetTempo(-1);
    EXPECT_EQ(
        std::tuple(player->GetTempo(), GMidiPlayer::TempoFactor(0), GMidiPlayer::TempoFactor(6)),
        std::tuple(6, 0.25, 4.0));
    EXPECT_EQ(std::pair(GMidiPlayer::TempoFactor(-1), GMidiPlayer::TempoFactor(7)),
              std::pair(0.0, 0.0));
}

TEST_F(MidiPlayerTest, PauseResumeStopAndVolume)
{
    ASSERT_EQ(player->Play(0), 1);
    const double full = ToneLevel(Part(Render(1.4), 1.0, 1.4));
    ASSERT_GT(full, 500);
    player->Pause();
    EXPECT_TRUE(player->IsPaused() && !player->IsPlaying());
    // 1.4 s into a song of 960 ticks a second, give or take the buffer's 0.19 s; a second
    // pause keeps it.
    const int pausedAt = player->GetSegment().pausedAt;
    EXPECT_TRUE(pausedAt > 1150 && pausedAt < 1530) << pausedAt;
    EXPECT_LT(MaxAbs(Part(Render(1.0), 0.7, 1.0)), 50); // once the release has died away
    player->Pause();
    EXPECT_EQ(player->GetSegment().pausedAt, pausedAt);
    player->Resume();
    player->Resume();
    EXPECT_TRUE(player->IsPlaying());
    EXPECT_EQ(std::tuple(player->GetSegment().startTick, player->GetSegment().paused,
                         player->GetSegment().downloaded),
              std::tuple(pausedAt, false, true));
    const auto resumed = Render(0.6);
    EXPECT_EQ(Heard(Part(resumed, 0.3, 0.6)), 659.26); // goes on with the E5 notes

    // Volume: 4000 x log10(v / 10000) hundredths of a decibel; -20000 for 0.
    std::vector<int32_t> levels;
    for (int volume : {5000, 10001, 1000, 0, 10000})
        player->SetVolume(volume), levels.push_back(player->GetLevel());
    EXPECT_EQ(levels, (std::vector<int32_t>{-1204, -1204, -4000, -20000, 0}));
    player->SetVolume(5000);
    const double half = ToneLevel(Part(Render(0.6), 0.3, 0.6));
    EXPECT_NEAR(half / full, 0.25, 0.06);

    player->Stop();
    EXPECT_FALSE(player->IsPlaying());
    EXPECT_LT(MaxAbs(Part(Render(1.0), 0.7, 1.0)), 50);
    // A song played from a pause starts afresh, no longer paused.
    ASSERT_EQ(player->Play(0), 1);
    player->Pause();
    ASSERT_EQ(player->Play(0), 1);
    EXPECT_TRUE(player->IsPlaying() && !player->IsPaused());
    EXPECT_EQ(player->GetSegment().startTick, 0);
}

TEST_F(MidiPlayerTest, EndOfSongPlaysAnotherOrRepeatsTheOnlyOne)
{
    // 1 ends at 0.8 s: another file follows (2 does not load, so in the end 0 plays).
    ASSERT_EQ(player->Play(1), 1);
    for (int i = 0; i < 10 && player->GetCurrentFile() != 0; ++i)
        Render(0.5);
    EXPECT_TRUE(player->GetCurrentFile() == 0 && player->IsPlaying());
    player->SetRepeatNext(0);
    ASSERT_EQ(player->Play(1), 1);
    Render(1.2);
    EXPECT_TRUE(!player->IsPlaying() && player->GetCurrentFile() == 1);
    EXPECT_FALSE(player->GetSegment().downloaded); // the song that ended is let go

    EXPECT_EQ(player->Play(3) + player->Play(2), 0); // no such file; a file that does not load
    player->Shutdown();
    EXPECT_EQ(GMidiPlayer::Active(), nullptr);
    GMidiPlayer single(device.get(), folder->Path().c_str());
    ASSERT_EQ(single.Start(1), 1);
    ASSERT_EQ(single.Play(0), 1);
    const auto s = Render(3.0); // the song lasts 2 s; it starts again
    EXPECT_TRUE(Heard(Part(s, 2.3, 2.45)) == 440 && single.IsPlaying());
    EXPECT_EQ(single.Play(-1), 1); // the only file, again
    EXPECT_EQ(single.GetCurrentFile(), 0);
    single.Shutdown();
    GMidiPlayer none(device.get(), folder->Path().c_str());
    ASSERT_EQ(none.Start(0), 1);
    EXPECT_EQ(none.Play(-1) + none.Play(0), 0); // no files to choose from
}

// Every box of the player is shown with the MIDI lock free, so the main thread may go on
// calling the player meanwhile: one from a play on the main thread, one from the player's own
// thread when the song that should follow does not load.
TEST_F(MidiPlayerTest, BoxesAreShownOutsideTheLock)
{
    static std::mutex mutex;
    static std::vector<bool> lockFree; // one per box
    platform::SetMessageBoxBackend(
        [](const platform::MessageBoxRequest&, platform::MessageBoxAnswer& answer) {
            bool free = false;
            std::thread([&] {
                if (GMidiPlayer::Lock().try_lock()) {
                    free = true;
                    GMidiPlayer::Lock().unlock();
                }
            }).join();
            std::lock_guard lock(mutex);
            lockFree.push_back(free);
            answer = platform::MessageBoxAnswer::kOk;
            return true;
        });
    player->Shutdown();
    TempFolder other("tolvanrise_midi_box_");
    other.WriteFile("0.mid", ReadFileBytes(folder->Path("1.mid")));
    other.WriteFile("1.mid", "MThd but not really");
    GMidiPlayer songs(device.get(), (other.Path() + "/").c_str());
    ASSERT_EQ(songs.Start(2), 1);
    EXPECT_EQ(songs.Play(1), 0);
    ASSERT_EQ(songs.Play(0), 1);
    Render(1.5); // the song ends at 0.8 s
    platform::SetMessageBoxBackend(nullptr);
    std::lock_guard lock(mutex);
    EXPECT_EQ(lockFree, (std::vector<bool>{true, true}));
}

// Tempo and volume chosen before the player starts are what its first song is played with.
TEST_F(MidiPlayerTest, TempoAndVolumeSetBeforeStartApply)
{
    player->Shutdown();
    GMidiPlayer early(device.get(), folder->Path().c_str());
    early.SetTempo(1); // half speed: A4 for a second, then E5
    early.SetVolume(5000);
    ASSERT_EQ(early.Start(3), 1);
    ASSERT_EQ(early.Play(0), 1);
    const auto quiet = Render(1.6);
    // At the song's own tempo E5 would sound from 0.65 s on.
    EXPECT_TRUE(Heard(Part(quiet, 0.8, 1.1)) == 440 && Heard(Part(quiet, 1.3, 1.6)) == 659.26);
    early.SetVolume(10000);
    ASSERT_EQ(early.Play(0), 1);
    const auto full = Render(1.0);
    EXPECT_NEAR(ToneLevel(Part(quiet, 0.4, 1.0)) / ToneLevel(Part(full, 0.4, 1.0)), 0.25, 0.06);
}

// A song played right after the start is heard once what the buffer held has played out (its 4
// blocks, 0.19 s), and the flute's attack: every block the cursor left is rendered again.
TEST_F(MidiPlayerTest, SongIsHeardOneBufferAfterPlay)
{
    ASSERT_EQ(player->Play(0), 1);
    const auto s = Render(0.5);
    const auto onset =
        std::find_if(s.begin(), s.end(), [](double v) { return std::abs(v) >= 100; });
    EXPECT_NEAR((onset - s.begin()) / double(kRate), 0.2, 0.02);
}

TEST_F(MidiPlayerTest, OnePlayerAtATimeAndShutdownFromAPause)
{
    GMidiPlayer second(device.get(), nullptr);
    EXPECT_EQ(second.GetFolder(), "MIDI\\");
    EXPECT_EQ(second.Start(1), 0);
    EXPECT_EQ(GMidiPlayer(nullptr, "x").GetFolder(), "x\\");
    EXPECT_EQ(GMidiPlayer(nullptr, "x/").GetFolder(), "x/");
    ASSERT_EQ(player->Play(0), 1);
    Render(0.3);
    player->Pause();
    player->Shutdown(); // nothing is left paused or loaded
    EXPECT_FALSE(player->IsPaused() || player->IsPlaying() || player->GetSegment().downloaded);
    player.reset();
    EXPECT_EQ(GMidiPlayer::Active(), nullptr);
    EXPECT_EQ(second.Start(1), 1);
}

// The thread woken by a block's end finds the buffer lost (another program took the device
// meanwhile): it asks for the buffer back, renders it afresh and plays on. Refused, the thread
// ends and the music stays silent.
TEST_F(MidiPlayerTest, LostBufferIsRestoredByTheThread)
{
    static std::atomic<int> boxes{0};
    platform::SetMessageBoxBackend(
        [](const platform::MessageBoxRequest&, platform::MessageBoxAnswer& answer) {
            ++boxes;
            answer = platform::MessageBoxAnswer::kOk;
            return true;
        });
    for (auto answer : {platform::SoundResult::kOk, platform::SoundResult::kOutOfMemory}) {
        SCOPED_TRACE(int(answer));
        ASSERT_EQ(player->Play(0), 1);
        Render(0.7);
        {
            // The thread waits for the lock while one block's end passes (the render gives up
            // waiting for it after 2 s) and the buffer goes.
            std::lock_guard lock(GMidiPlayer::Lock());
            uint32_t play = 0;
            player->GetBuffer()->GetCurrentPosition(&play, nullptr);
            const uint32_t end = (play / GMidiPlayer::kBlockBytes + 1) * GMidiPlayer::kBlockBytes;
            device->Render((end - play) / 4 + 8);
            device->LoseBuffers();
            device->SetRestoreResult(answer);
        }
        const bool restored = answer == platform::SoundResult::kOk;
        const auto handled = [&] {
            uint32_t status = 0;
            player->GetBuffer()->GetStatus(&status);
            return restored ? (status & platform::sound_status::kPlaying) != 0 : boxes == 1;
        };
        for (int i = 0; i < 200 && !handled(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const auto s = Render(0.5);
        if (restored) {
            EXPECT_EQ(Heard(Part(s, 0.2, 0.5)), 659.26); // the E5 notes go on
            EXPECT_EQ(boxes, 0);
        } else {
            EXPECT_EQ(MaxAbs(s), 0);
        }
    }
    platform::SetMessageBoxBackend(nullptr);
    EXPECT_EQ(boxes, 1);
}

TEST(MidiPlayerSetup, WithoutSoundFontOrDeviceStartFails)
{
    static std::vector<std::string> boxes;
    platform::SetMessageBoxBackend(
        [](const platform::MessageBoxRequest& request, platform::MessageBoxAnswer& answer) {
            boxes.push_back(request.textUtf8);
            answer = platform::MessageBoxAnswer::kOk;
            return true;
        });
    auto device = platform::SoundDevice::Create(platform::SoundOutput::kManual);
    {
        ScopedEnvVar font("TOLVANRISE_SOUNDFONT", "/nonexistent/font.sf2");
        GMidiPlayer player(device.get(), nullptr);
        EXPECT_EQ(player.Start(1) + player.Play(0) + player.IsPlaying(), 0);
    }
    GMidiPlayer noDevice(nullptr, nullptr);
    EXPECT_EQ(noDevice.Start(1), 0);
    EXPECT_EQ(GMidiPlayer::Active(), nullptr);
    std::vector<std::string> expected{"Cannot Init Audio System!", "Warning: No sound card found!"};
    if (*platform::FindSoundFont()) {
        // The thread's event cannot be made: nothing starts, and the next start does.
        GMidiPlayer noEvent(device.get(), nullptr);
        {
            FailObjectAllocationsAfter none(0);
            EXPECT_EQ(noEvent.Start(1), 0);
        }
        EXPECT_EQ(GMidiPlayer::Active(), nullptr);
        EXPECT_EQ(noEvent.Start(1), 1);
        expected.push_back("Cannot Init Audio System!");
    }
    platform::SetMessageBoxBackend(nullptr);
    EXPECT_EQ(boxes, expected);
}

} // namespace
