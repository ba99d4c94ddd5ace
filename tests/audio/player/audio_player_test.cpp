#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "audio/decoders/module_decoder.h"
#include "audio/ogg/ogg_engine.h"
#include "audio/player/audio_player.h"
#include "audio/player/audio_system.h"
#include "platform/system/time.h"
#include "platform/window/message_box.h"
#include "support/audio_files.h"
#include "support/audio_measure.h"
#include "support/failing_allocations.h"
#include "support/ogg_pages.h"
#include "support/scoped_env.h"

namespace {

using namespace tolvanrise::test;
constexpr int kRate = 44100;

class AudioPlayerTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = std::make_unique<TempFolder>("tolvanrise_player_");
        WriteTone(*folder, "a.ogg", 441, 2, kRate, 0.5);
        WriteTone(*folder, "b.ogg", 882, 2, kRate, 0.5);
        WriteTone(*folder, "loop.ogg", 441, 2, kRate, 1.0);
        WriteTone(*folder, "long.ogg", 441, 2, kRate, 4.0);
        WriteTone(*folder, "a.mp3", 441, 1, 22050, 0.5);
        WriteModule(*folder, "song.mod", {428}, 32);
        for (const char* name : {"song.xm", "song.skm"})
            folder->WriteFile(name, ReadFileBytes(folder->Path("song.mod")));
        for (const char* name : {"a.OGG", "a.wav"})
            folder->WriteFile(name, ReadFileBytes(folder->Path("a.ogg")));
    }
    static void TearDownTestSuite() { folder.reset(); }

    void SetUp() override
    {
        ASSERT_EQ(system.InitDirectSound(platform::SoundOutput::kManual), 1);
        player = system.CreateAudioPlayer((folder->Path() + "/").c_str());
        ASSERT_TRUE(player);
        device = system.GetDevice();
    }

    void Tracks(std::initializer_list<const char*> names)
    {
        player->ClearTracks();
        for (const char* name : names)
            ASSERT_EQ(player->AddTrack(name, 0), 1);
    }

    std::vector<int16_t> Render(double seconds)
    {
        std::vector<int16_t> out;
        device->Render(static_cast<uint32_t>(seconds * kRate), &out);
        return out;
    }

    // Frequency of the left channel in [from, to) seconds; 0 for silence.
    static double Hz(const std::vector<int16_t>& out, double from, double to)
    {
        const auto s = Channel(out, 2, 0, static_cast<size_t>(from * kRate),
                               static_cast<size_t>((to - from) * kRate));
        return ToneLevel(s) < 50 ? 0.0 : ToneFrequency(s, kRate);
    }

    // From here to the end of the test boxes are counted in boxes instead of shown.
    static void CountBoxes()
    {
        boxes = 0;
        platform::SetMessageBoxBackend(
            [](const platform::MessageBoxRequest&, platform::MessageBoxAnswer& answer) {
                ++boxes;
                answer = platform::MessageBoxAnswer::kOk;
                return true;
            });
    }
    void TearDown() override { platform::SetMessageBoxBackend(nullptr); }

    inline static std::unique_ptr<TempFolder> folder;
    inline static std::atomic<int> boxes{0};
    GAudioSystem system{nullptr};
    GAudioPlayer* player = nullptr;
    platform::SoundDevice* device = nullptr;
};

// Half-second segments of what plays after PlayTrack(first), by mode.
TEST_F(AudioPlayerTest, PlayModesPickWhatFollows)
{
    struct Case {
        std::vector<const char*> tracks;
        int mode, random, first;
        std::vector<double> segments; // Hz, 0 = silence
        double spacing = 0.5;         // seconds from one segment to the next
    } cases[] = {
        {{"a.ogg", "b.ogg"}, 0, 0, 0, {441, 0, 0, 0}},
        {{"a.ogg", "b.ogg"}, 1, 0, 1, {882, 441, 882, 441}},
        {{"a.ogg", "b.ogg"}, 1, 1, 0, {441, 882, 441, 882}},
        {{"a.ogg"}, 1, 1, 0, {441, 0, 0, 0}},
        {{"a.ogg", "b.ogg"}, 2, 0, 1, {882, 882, 882, 882}},
        // A missing track is removed once; the one behind it is what plays next.
        {{"a.ogg", "missing.ogg", "b.ogg"}, 1, 0, 0, {441, 882, 441, 882}},
        // The buffer started for the new format plays on past its own length.
        {{"a.mp3", "long.ogg"}, 1, 0, 0, {441, 441, 441, 441, 441}, 0.8},
        // A new format starts a new buffer after the end block of the old one (0.84 s: a
        // block of 22,050 Hz mono).
        {{"a.mp3", "b.ogg"}, 1, 0, 0, {441, 882}, 0.8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.tracks[0] << " mode " << c.mode << " random " << c.random);
        player->ClearTracks();
        for (const char* name : c.tracks)
            player->AddTrack(name, 0);
        player->SetPlayMode(c.mode);
        player->SetRandomNext(c.random);
        ASSERT_EQ(player->PlayTrack(c.first, 0), 1);
        const auto out = Render(c.spacing * c.segments.size() + 0.4);
        for (size_t k = 0; k < c.segments.size(); ++k) {
            const double at = k * c.spacing + 0.1;
            EXPECT_NEAR(Hz(out, at, at + 0.3), c.segments[k], 3) << "segment " << k;
        }
        // Stopped on reaching the end block.
        EXPECT_TRUE(c.segments.back() != 0 ||
                    (!player->IsPlaying() && player->GetCurrentTrack() == -1));
    }
    EXPECT_EQ(player->GetTrackCount(), 2);
}

TEST_F(AudioPlayerTest, ShortTrackEndsInSilenceAtItsEndBlock)
{
    Tracks({"a.ogg"});
    ASSERT_EQ(player->PlayTrack(0, 0), 1);
    auto out = Render(0.25);
    EXPECT_NEAR(player->GetPlayedMs(), 250, 6);
    const auto rest = Render(1.75);
    out.insert(out.end(), rest.begin(), rest.end());
    EXPECT_TRUE(MaxAbs(Channel(out, 2, 0, kRate / 2 + 4, kRate * 3 / 2 - 4)) == 0 &&
                !player->IsPlaying());
    // The end block follows the one that holds the track's last byte (88,200 -> block 2).
    uint32_t play = 0;
    player->GetStreamBuffer()->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play / GAudioPlayer::kBlockBytes, 3u);
}

TEST_F(AudioPlayerTest, RepeatedTrackLoopsWithoutAGapAcrossBlockSeams)
{
    Tracks({"loop.ogg"});
    player->SetPlayMode(GAudioPlayer::kRepeatTrack);
    ASSERT_EQ(player->PlayTrack(0, 0), 1);
    // In uneven pieces, as an output pulls it: the buffer's end falls inside a piece.
    std::vector<int16_t> out;
    for (int i = 0; i < 40; ++i) {
        const auto piece = Render(0.1);
        out.insert(out.end(), piece.begin(), piece.end());
    }
    const auto left = Channel(out, 2, 0, 0, 4 * kRate);
    EXPECT_NEAR(ToneFrequency(left, kRate), 441, 0.5);
    // A 441 Hz sine of peak 16,384 moves at most 1,029 per sample.
    EXPECT_LT(MaxJump(left), 1400);
    EXPECT_TRUE(LongestQuietRun(left, 300) < 10 && player->IsPlaying());
}

// The generated module is one unbroken tone: repeated, its loop seam adds no silence.
TEST_F(AudioPlayerTest, RepeatedModuleLoopsWithoutASilentSeam)
{
    if (!player->HasModuleLibrary())
        GTEST_SKIP() << "libxmp not installed";
    Tracks({"song.mod"});
    player->SetPlayMode(GAudioPlayer::kRepeatTrack);
    ASSERT_EQ(player->PlayTrack(0, 0), 1);
    const auto left = Channel(Render(3.0), 2, 0, 0, 3 * kRate); // the song lasts 0.64 s
    EXPECT_LT(LongestQuietRun(left, 200), 20u);
    EXPECT_EQ(player->IsPlaying(), 1);
}

TEST_F(AudioPlayerTest, FileEndingsChooseTheDecoder)
{
    const bool modules = player->HasModuleLibrary();
    const std::pair<const char*, int> cases[] = {
        {"a.ogg", 1},          {"a.mp3", 1}, {"song.mod", modules}, {"song.xm", modules},
        {"song.skm", modules}, {"a.OGG", 0}, {"a.wav", 0},          {"missing.ogg", 0},
    };
    for (auto [name, expected] : cases) {
        Tracks({name, "b.ogg"});
        EXPECT_EQ(player->PlayTrack(0, 0), expected) << name;
        EXPECT_EQ(player->GetTrackCount(), expected ? 2 : 1) << name;
    }
}

TEST_F(AudioPlayerTest, SwitchingBetweenModuleAndOggReusesTheModuleDecoder)
{
    if (!player->HasModuleLibrary())
        GTEST_SKIP() << "libxmp not installed";
    Tracks({"song.mod", "a.ogg"});
    ASSERT_EQ(player->PlayTrack(0, 0), 1);
    GModuleDecoder* module = player->GetModuleDecoder();
    ASSERT_TRUE(module && player->GetCurrentDecoder() == module);
    EXPECT_NEAR(Hz(Render(0.3), 0.05, 0.3), audio_synth::ModuleToneFrequency(428), 3);
    ASSERT_EQ(player->PlayTrack(1, 0), 1);
    EXPECT_TRUE(player->GetModuleDecoder() == module && player->GetCurrentDecoder() != module);
    ASSERT_EQ(player->PlayTrack(0, 0), 1);
    EXPECT_EQ(player->GetCurrentDecoder(), module);
}

TEST_F(AudioPlayerTest, VolumeSetsTheLevelInHundredthsOfADecibel)
{
    Tracks({"loop.ogg"});
    player->SetPlayMode(GAudioPlayer::kRepeatTrack);
    ASSERT_EQ(player->PlayTrack(0, 0), 1);
    const double full = ToneLevel(Channel(Render(0.2), 2, 0, 0, kRate / 5));
    const std::tuple<int, int, int32_t> cases[] = {
        {10001, 0, 0}, {-1, 0, 0}, {0, 1, -10000}, {4000, 1, -795}, {5000, 1, -602}, {10000, 1, 0},
    };
    for (auto [volume, result, level] : cases) {
        const int before = player->GetVolume();
        EXPECT_EQ(player->SetVolume(volume), result) << volume;
        int32_t set = 1;
        player->GetStreamBuffer()->GetVolume(&set);
        EXPECT_EQ(player->GetVolume(), result ? volume : before);
        EXPECT_TRUE(!result || set == level) << volume << ": " << set;
    }
    player->SetVolume(5000);
    EXPECT_NEAR(ToneLevel(Channel(Render(0.2), 2, 0, 0, kRate / 5)), full / 2, full * 0.01);
    // The buffer made for another format keeps the volume.
    Tracks({"a.mp3"});
    ASSERT_EQ(player->PlayTrack(0, 0), 1);
    int32_t set = 1;
    player->GetStreamBuffer()->GetVolume(&set);
    EXPECT_EQ(set, -602);
}

TEST_F(AudioPlayerTest, NamesThatDoNotFitAreRefusedWhole)
{
    player->ClearTracks();
    EXPECT_EQ(player->AddTrack(nullptr, 0) + player->AddTrack(std::string(256, 'x').c_str(), 0), 0);
    EXPECT_EQ(player->AddTrack(std::string(255, 'x').c_str(), 0), 1);
    EXPECT_EQ(player->FindTrack(nullptr, 0), -1);
    for (int i = 1; i < GAudioPlayer::kMaxTracks; ++i)
        ASSERT_EQ(player->AddTrack("a.ogg", 0), 1);
    EXPECT_EQ(player->AddTrack("a.ogg", 0), 0);
    EXPECT_EQ(player->PlayTrack(0, 0), 0); // 255 x's: no such file, removed
    EXPECT_EQ(player->GetTrackCount(), GAudioPlayer::kMaxTracks - 1);
    EXPECT_EQ(player->PlayTrack(GAudioPlayer::kMaxTracks, 0), 0);

    GAudioPlayer deep(device, std::string(1000, 'd').c_str());
    system.DestroyAudioPlayer(); // one player runs at a time
    ASSERT_EQ(deep.StartThread(), 1);
    EXPECT_EQ(deep.AddTrack(std::string(24, 'x').c_str(), 0), 0); // 1,024 bytes with the zero
    EXPECT_EQ(deep.AddTrack(std::string(23, 'x').c_str(), 0), 1);
}

TEST_F(AudioPlayerTest, LostBufferIsRestoredOnceOrReportedBounded)
{
    Tracks({"loop.ogg"});
    player->SetPlayMode(GAudioPlayer::kRepeatTrack);
    ASSERT_EQ(player->PlayTrack(0, 0), 1);
    device->LoseBuffers();
    EXPECT_EQ(player->IsPlaying(), 0);
    EXPECT_TRUE(player->Resume() && player->IsPlaying());
    EXPECT_TRUE(player->Pause() && !player->IsPlaying());
    platform::ManualClock clock; // the retry sleeps move this clock instead of waiting
    for (auto failure : {platform::SoundResult::kOutOfMemory, platform::SoundResult::kBufferLost}) {
        device->LoseBuffers();
        device->SetRestoreResult(failure);
        EXPECT_EQ(player->Resume(), 0);
    }
    EXPECT_GE(clock.GetUs(), 2000u * 100);
}

// A thread that woke late finds the cursor blocks further on: every block passed is refilled
// (the tone goes on without a seam) and counted as played. The track outlasts the count, which
// starts again whenever a track is opened.
TEST_F(AudioPlayerTest, BlocksPassedBetweenTwoNotificationsAreRefilledAndCounted)
{
    CountBoxes();
    Tracks({"long.ogg"});
    player->SetPlayMode(GAudioPlayer::kRepeatTrack);
    ASSERT_EQ(player->PlayTrack(0, 0), 1);
    Render(0.1);
    const uint32_t jump = 3 * GAudioPlayer::kBlockBytes + 1000;
    {
        std::lock_guard lock(GAudioPlayer::Lock());
        player->GetStreamBuffer()->SetCurrentPosition(jump);
    }
    Render(1.0);
    EXPECT_EQ(player->GetPlayedBytes(), jump + kRate * 4u);
    const auto left = Channel(Render(3.0), 2, 0, 0, 3 * kRate);
    EXPECT_NEAR(ToneFrequency(left, kRate), 441, 0.5);
    EXPECT_LT(MaxJump(left), 1400);
    EXPECT_EQ(std::pair(boxes.load(), player->IsPlaying()), std::pair(0, 1));
    EXPECT_EQ(player->Pause(), 1);
    EXPECT_EQ(player->Stop(), 1);
}

TEST_F(AudioPlayerTest, ShutdownEndsTheThreadEvenWhileItRefills)
{
    Tracks({"a.ogg", "b.ogg"});
    player->SetPlayMode(GAudioPlayer::kNextTrack);
    ASSERT_EQ(player->PlayTrack(0, 0), 1);
    std::atomic<bool> stop{false};
    std::thread clock([&] {
        while (!stop)
            device->Render(4096);
    });
    Render(0.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    system.DestroyAudioPlayer();
    EXPECT_EQ(GAudioPlayer::Active(), nullptr);
    stop = true;
    clock.join();
    // A new player can start at once.
    EXPECT_TRUE(system.CreateAudioPlayer("MUSIC\\"));
}

// A refill whose track can no longer be opened ends the list in every mode that opens a track
// again: no box, the thread lives on, playback stops at the end block.
TEST_F(AudioPlayerTest, RefillThatCannotOpenItsTrackEndsTheList)
{
    CountBoxes();
    for (int mode : {GAudioPlayer::kRepeatTrack, GAudioPlayer::kNextTrack}) {
        SCOPED_TRACE(mode);
        folder->WriteFile("gone.ogg", ReadFileBytes(folder->Path("a.ogg")));
        Tracks({"gone.ogg"});
        player->SetPlayMode(mode);
        ASSERT_EQ(player->PlayTrack(0, 0), 1);
        std::filesystem::remove(folder->Path("gone.ogg"));
        Render(3.0);
        EXPECT_EQ(std::tuple(player->IsPlaying(), player->GetCurrentTrack(),
                             player->GetTrackCount(), boxes.load()),
                  std::tuple(0, -1, 0, 0));
    }
    // The thread still refills: a track started now plays on past the buffer's length.
    Tracks({"loop.ogg"});
    player->SetPlayMode(GAudioPlayer::kRepeatTrack);
    ASSERT_EQ(player->PlayTrack(0, 0), 1);
    EXPECT_NEAR(Hz(Render(3.0), 2.5, 2.9), 441, 3);
}

// Tracks that open but hold no sound give the refill nothing: in every mode the list ends in
// silence instead of trying them for ever, and a sounding track among them still plays.
TEST_F(AudioPlayerTest, TracksThatOpenButHoldNoSoundEndTheList)
{
    WriteTone(*folder, "empty.ogg", 441, 2, kRate, 0.0);
    WriteTone(*folder, "empty.mp3", 441, 1, 22050, 0.0);
    struct Case {
        std::vector<const char*> tracks;
        int mode, random;
        double hz; // what plays in the first half second
    } cases[] = {
        {{"empty.ogg"}, GAudioPlayer::kNextTrack, 0, 0},
        {{"empty.ogg", "empty.ogg", "empty.ogg"}, GAudioPlayer::kNextTrack, 0, 0},
        {{"empty.ogg", "empty.ogg"}, GAudioPlayer::kNextTrack, 1, 0},
        {{"empty.ogg"}, GAudioPlayer::kRepeatTrack, 0, 0},
        {{"empty.mp3", "empty.mp3"}, GAudioPlayer::kNextTrack, 0, 0},
        {{"empty.ogg", "b.ogg"}, GAudioPlayer::kNextTrack, 0, 882},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.tracks.size() << " x " << c.tracks[0] << " mode "
                                        << c.mode << " random " << c.random);
        player->ClearTracks();
        for (const char* name : c.tracks)
            ASSERT_EQ(player->AddTrack(name, 0), 1);
        player->SetPlayMode(c.mode);
        player->SetRandomNext(c.random);
        player->PlayTrack(0, 0);
        const auto out = Render(2.5);
        EXPECT_NEAR(Hz(out, 0.1, 0.4), c.hz, 3);
        if (c.hz == 0) {
            EXPECT_EQ(std::tuple(player->IsPlaying(), player->GetCurrentTrack(), Hz(out, 2.0, 2.5)),
                      std::tuple(0, -1, 0.0));
        }
    }
    player->SetRandomNext(0);
}

// After the buffer was made again for another format, a track that cannot be opened is passed
// over as anywhere else: the next one of the same format follows without a box.
TEST_F(AudioPlayerTest, MissingTrackAfterAFormatChangeIsPassedOver)
{
    CountBoxes();
    Tracks({"a.mp3", "b.ogg", "missing.ogg", "b.ogg"});
    player->SetPlayMode(GAudioPlayer::kNextTrack);
    ASSERT_EQ(player->PlayTrack(0, 0), 1);
    const auto out = Render(2.0); // a.mp3, its end block, then b.ogg from 0.84 s
    EXPECT_NEAR(Hz(out, 0.1, 0.4), 441, 3);
    EXPECT_NEAR(Hz(out, 0.9, 1.3), 882, 3);
    EXPECT_NEAR(Hz(out, 1.4, 1.8), 882, 3);
    EXPECT_EQ(std::tuple(boxes.load(), player->GetTrackCount()), std::tuple(0, 3));
}

// A list emptied while a track plays: what the buffer already holds plays to the end of its
// track, then the stream ends in silence, whatever the mode would have chosen next.
TEST_F(AudioPlayerTest, ListClearedWhileATrackPlaysEndsAfterIt)
{
    for (auto [mode, random] : {std::pair{GAudioPlayer::kNextTrack, 0},
                                {GAudioPlayer::kNextTrack, 1},
                                {GAudioPlayer::kRepeatTrack, 0}}) {
        SCOPED_TRACE(testing::Message() << "mode " << mode << " random " << random);
        Tracks({"a.ogg", "b.ogg"});
        player->SetPlayMode(mode);
        player->SetRandomNext(random);
        ASSERT_EQ(player->PlayTrack(0, 0), 1);
        player->ClearTracks();
        // The first fill holds 1.67 s: what was chosen then plays to its end at 2 s.
        const auto out = Render(3.5);
        EXPECT_NEAR(Hz(out, 1.6, 1.9), mode == GAudioPlayer::kRepeatTrack ? 441 : 882, 3);
        EXPECT_EQ(std::tuple(Hz(out, 2.05, 3.5), player->IsPlaying(), player->GetCurrentTrack()),
                  std::tuple(0.0, 0, -1));
    }
    player->SetRandomNext(0);
}

// What a player answers before anything was played, and when it is not the running one: no
// sound, no time played, nothing to resume; a volume is kept for the buffer to come.
TEST_F(AudioPlayerTest, NothingPlayedYetAndNotRunningAnswerQuietly)
{
    EXPECT_EQ(std::tuple(player->GetPlayedBytes(), player->GetPlayedMs(), player->Resume(),
                         player->IsPlaying(), player->GetCurrentTrack()),
              std::tuple(0u, 0.0, 0, 0, -1));
    EXPECT_EQ(player->SetVolume(5000), 0); // no buffer to take it yet
    EXPECT_EQ(player->GetVolume(), 5000);
    Tracks({"a.ogg"});
    ASSERT_EQ(player->PlayTrack(0, 0), 1);
    int32_t level = 1;
    player->GetStreamBuffer()->GetVolume(&level);
    EXPECT_EQ(level, -602);

    GAudioPlayer idle(device, (folder->Path() + "/").c_str());
    ASSERT_EQ(idle.StartThread(), 0); // the other one runs
    EXPECT_EQ(std::tuple(idle.AddTrack("a.ogg", 0), idle.GetTrackCount(), idle.PlayTrack(0, 0),
                         idle.SetVolume(4000), idle.GetVolume(), idle.IsPlaying(), idle.Resume(),
                         idle.GetPlayedBytes(), idle.Stop(), idle.Pause()),
              std::tuple(0, 0, 0, 0, 10000, 0, 0, 0u, 1, 1));
    EXPECT_EQ(player->IsPlaying(), 1); // the running one is left alone
    system.DestroyAudioPlayer();
    ASSERT_EQ(idle.StartThread(), 1);
    ASSERT_EQ(idle.AddTrack("a.ogg", 0), 1);
    EXPECT_EQ(idle.PlayTrack(0, 0), 1);
}

// A track whose rate the device does not play, or whose decoder cannot be made, is refused as a
// missing file is; met by a refill after a track of another format, it ends the music with the
// notification error.
TEST_F(AudioPlayerTest, TracksTheDeviceOrMemoryCannotTakeAreRefused)
{
    CountBoxes();
    const std::string tone = ReadFileBytes(folder->Path("b.ogg"));
    folder->WriteFile("fast.ogg", WithOggRate(tone, 100001));
    folder->WriteFile("faster.ogg", WithOggRate(tone, 1000001));
    for (const char* name : {"fast.ogg", "faster.ogg"}) {
        Tracks({name, "a.ogg"});
        EXPECT_EQ(player->PlayTrack(0, 0), 0) << name;
        EXPECT_EQ(std::pair(player->GetTrackCount(), player->GetCurrentTrack()), std::pair(1, -1));
    }
    for (int successes : {0, 1}) { // the decoder; then the Ogg stream it opens
        Tracks({"a.ogg", "b.ogg"});
        {
            FailObjectAllocationsAfter fail(successes);
            EXPECT_EQ(player->PlayTrack(0, 0), 0) << successes;
        }
        EXPECT_EQ(player->GetTrackCount(), 1);
    }
    EXPECT_EQ(boxes.load(), 0);
    Tracks({"a.mp3", "fast.ogg"});
    player->SetPlayMode(GAudioPlayer::kNextTrack);
    ASSERT_EQ(player->PlayTrack(0, 0), 1);
    const auto out = Render(2.5);
    EXPECT_NEAR(Hz(out, 0.1, 0.4), 441, 3);
    EXPECT_EQ(std::tuple(Hz(out, 1.0, 2.5), player->IsPlaying(), boxes.load()),
              std::tuple(0.0, 0, 1));
}

// Names are found by their first entry unless the preferred index holds that name; an index
// outside the list removes nothing.
TEST_F(AudioPlayerTest, TracksAreFoundByNameAndRemovedByIndex)
{
    Tracks({"a.ogg", "b.ogg", "a.ogg"});
    const std::tuple<const char*, int, int> cases[] = {
        {"a.ogg", -1, 0}, {"a.ogg", 2, 2}, {"a.ogg", 1, 0},  {"a.ogg", 3, 0},
        {"b.ogg", 0, 1},  {"b.ogg", 1, 1}, {"c.ogg", 0, -1}, {"a.og", -1, -1},
    };
    for (auto [name, preferred, found] : cases)
        EXPECT_EQ(player->FindTrack(name, preferred), found) << name << " " << preferred;
    for (int index : {-1, 3, 4})
        player->RemoveTrack(index);
    ASSERT_EQ(player->GetTrackCount(), 3);
    player->RemoveTrack(0);
    EXPECT_EQ(
        std::tuple(player->GetTrackCount(), player->FindTrack("b.ogg"), player->FindTrack("a.ogg")),
        std::tuple(2, 0, 1));
}

// A track that cannot be opened leaves the stopped buffer of the one before: resumed, that plays
// on, and the first block it refills starts the list again from its top, cleanly.
TEST_F(AudioPlayerTest, ResumedAfterAFailedPlayTheListGoesOnFromItsTop)
{
    Tracks({"b.ogg", "missing.ogg"});
    player->SetPlayMode(GAudioPlayer::kNextTrack);
    ASSERT_EQ(player->PlayTrack(0, 0), 1);
    Render(0.1);
    Tracks({"b.ogg", "missing.ogg"});
    EXPECT_EQ(player->PlayTrack(1, 0), 0);
    EXPECT_EQ(std::pair(player->IsPlaying(), player->GetCurrentTrack()), std::pair(0, -1));
    ASSERT_EQ(player->Resume(), 1);
    // Block 0 (refilled when playback left it) comes round again after the buffer's 1.67 s.
    const auto left = Channel(Render(2.0), 2, 0, 0, 2 * kRate);
    const auto refilled =
        std::vector<double>(left.begin() + kRate * 16 / 10, left.begin() + kRate * 17 / 10);
    EXPECT_NEAR(ToneFrequency(refilled, kRate), 882, 2);
    EXPECT_LT(MaxJump(refilled), 2200); // a sine of 882 Hz moves at most 2,059 a sample
    EXPECT_EQ(std::pair(player->IsPlaying(), player->GetCurrentTrack()), std::pair(1, 0));
}

TEST(AudioSystem, WithoutADeviceThereIsNoPlayerAndNoBank)
{
    GAudioSystem system(nullptr);
    {
        ScopedEnvVar driver("SDL_AUDIODRIVER", "tolvanrise-no-such-driver");
        EXPECT_EQ(system.InitDirectSound(), 0); // "Error initializing DirectSound", no device
    }
    EXPECT_FALSE(system.CreateAudioPlayer("MUSIC\\") || system.CreateSoundBank(0, "SOUNDS\\") ||
                 system.CreateOggEngine(1, "OGG\\") || system.CreateWavBank(0, "WAV\\") ||
                 system.CreateOggPlayer("OGG\\"));
    ASSERT_EQ(system.InitDirectSound(platform::SoundOutput::kManual), 1);
    EXPECT_EQ(system.InitDirectSound(platform::SoundOutput::kManual), 0);
    GAudioPlayer* player = system.CreateAudioPlayer("MUSIC\\");
    ASSERT_TRUE(player);
    EXPECT_EQ(system.CreateAudioPlayer("other"), player);
    GAudioPlayer second(system.GetDevice(), nullptr);
    EXPECT_EQ(second.StartThread(), 0); // one runs already
    EXPECT_EQ(player->InitModulePlayer(), player->HasModuleLibrary() ? 1 : 0);
    EXPECT_EQ(player->InitModulePlayer(), 0);
    // Shut down and started again, the player makes its module decoder afresh.
    player->Shutdown();
    EXPECT_EQ(player->GetModuleDecoder(), nullptr);
    ASSERT_EQ(player->StartThread(), 1);
    EXPECT_EQ(player->InitModulePlayer(), player->HasModuleLibrary() ? 1 : 0);
    // Everything made on the device goes with it.
    ASSERT_TRUE(system.CreateSoundBank(0, "SOUNDS\\") && system.CreateWavBank(0, "WAV\\") &&
                system.CreateOggEngine(0, "OGG\\"));
    system.Shutdown();
    EXPECT_FALSE(system.GetDevice() || GAudioPlayer::Active() || system.GetAudioPlayer() ||
                 system.GetSoundBank() || system.GetWavBank() || system.GetOggEngine() ||
                 GOggEngine::Active());
}

// Each part of the audio system goes with its own destroy (the others stay) and a new one comes
// with the next create.
TEST(AudioSystem, EachPartGoesWithItsDestroyAndComesBackWithTheNextCreate)
{
    GAudioSystem system(nullptr);
    ASSERT_EQ(system.InitDirectSound(platform::SoundOutput::kManual), 1);
    ASSERT_TRUE(system.CreateSoundBank(0, "SOUNDS\\") && system.CreateWavBank(0, "WAV\\") &&
                system.CreateOggEngine(0, "OGG\\") && system.CreateAudioPlayer("MUSIC\\"));
    const auto present = [&] {
        return std::vector<bool>{system.GetSoundBank() != nullptr, system.GetWavBank() != nullptr,
                                 system.GetOggEngine() != nullptr,
                                 system.GetAudioPlayer() != nullptr};
    };
    system.DestroySoundBank();
    EXPECT_EQ(present(), (std::vector<bool>{false, true, true, true}));
    system.DestroyWavBank();
    system.DestroyOggEngine();
    EXPECT_EQ(present(), (std::vector<bool>{false, false, false, true}));
    // Beside a stream player there is no Ogg player; without it, there is.
    EXPECT_EQ(system.CreateOggPlayer("OGG\\"), nullptr);
    system.DestroyAudioPlayer();
    EXPECT_EQ(present(), (std::vector<bool>{false, false, false, false}));
    ASSERT_TRUE(system.CreateOggPlayer("OGG\\"));
    EXPECT_EQ(system.CreateAudioPlayer("MUSIC\\"), nullptr);
    system.DestroyOggPlayer();
    EXPECT_TRUE(system.CreateSoundBank(0, "SOUNDS\\") && system.CreateAudioPlayer("MUSIC\\") &&
                system.CreateOggEngine(0, "OGG\\"));
    EXPECT_EQ(present(), (std::vector<bool>{true, false, true, true}));
    // The device's mix is 44.1 kHz stereo 16-bit.
    EXPECT_EQ(system.GetDevice()->GetPrimaryFormat(), platform::WaveFormat::Pcm(2, 44100, 16));
}

// A streaming part whose thread cannot be given its event is not kept: the facade answers null,
// and the next create, with memory back, makes it.
TEST(AudioSystem, PartsWithoutTheirThreadAreNotKept)
{
    GAudioSystem system(nullptr);
    ASSERT_EQ(system.InitDirectSound(platform::SoundOutput::kManual), 1);
    for (int part = 0; part < 3; ++part) {
        const auto create = [&]() -> void* {
            return part == 0   ? (void*)system.CreateAudioPlayer("MUSIC\\")
                   : part == 1 ? (void*)system.CreateOggEngine(1, "OGG\\")
                               : (void*)system.CreateOggPlayer("OGG\\");
        };
        {
            FailObjectAllocationsAfter none(0);
            EXPECT_EQ(create(), nullptr) << part;
        }
        EXPECT_NE(create(), nullptr) << part;
        if (part == 0)
            system.DestroyAudioPlayer(); // no Ogg player beside it
    }
    EXPECT_TRUE(GOggEngine::Active() && !GAudioPlayer::Active());
}

// Start-up seeds the random next track from the clock: another start draws another order.
TEST(AudioSystem, RandomOrderIsSeededFromTheClockAtStart)
{
    std::vector<int> first;
    for (uint32_t ms : {1000u, 2000u, 1000u}) {
        platform::ManualClock clock(uint64_t{ms} * 1000);
        GAudioSystem system(nullptr);
        first.push_back(std::rand());
    }
    EXPECT_TRUE(first[0] != first[1] && first[0] == first[2]);
}

// The scaffolding under every streaming player, with a fill step of the test's own.
TEST(StreamThread, OneOfAKindRunsAndEndsByStopThenRelease)
{
    GStreamKind kind{"Test Stream", 1};
    int owner = 0;
    std::atomic<int> fills{0};
    const auto fill = [&] {
        ++fills;
        return 1;
    };
    GStreamThread stream(kind), other(kind); // their threads end before what they use goes
    {
        FailObjectAllocationsAfter none(0); // its event cannot be made
        EXPECT_FALSE(stream.Start(&owner, fill));
    }
    EXPECT_FALSE(stream.Start(nullptr, fill));
    EXPECT_TRUE(!kind.active && !stream.Event() && !stream.GetThread());
    ASSERT_TRUE(stream.Start(&owner, fill));
    EXPECT_FALSE(other.Start(&fills, fill));
    stream.Event()->Set();
    EXPECT_TRUE(stream.Event()->WaitUntilConsumed(2000));
    EXPECT_EQ(fills.load(), 1);

    std::vector<std::string> calls;
    const auto stop = [&] { calls.push_back("stop"); };
    const auto release = [&] { calls.push_back("release"); };
    other.Shutdown(stop, release); // not the running one: nothing happens
    stream.Shutdown(stop, release);
    stream.Shutdown(stop, release);
    EXPECT_EQ(calls, (std::vector<std::string>{"stop", "release"}));
    EXPECT_TRUE(!kind.active && !stream.Event() && !stream.GetThread());
    EXPECT_TRUE(other.Start(&fills, fill));
}

// A lost buffer is asked back while the device answers "lost", for about a second in all (the
// sleeps between the tries move the test clock); any other answer is final at once.
TEST(StreamThread, LostBufferIsAskedBackOnlyWhileTheDeviceSaysLost)
{
    using platform::SoundResult;
    auto device = platform::SoundDevice::Create(platform::SoundOutput::kManual);
    const platform::WaveFormat format = platform::WaveFormat::Pcm(2, kRate, 16);
    platform::SoundVoiceDesc desc;
    desc.bytes = 4096;
    desc.format = &format;
    std::unique_ptr<platform::SoundVoice> buffer;
    ASSERT_EQ(device->CreateBuffer(desc, &buffer), SoundResult::kOk);
    const struct {
        int sleepMs;
        bool lost;
        SoundResult answer;
        int result;
        uint64_t sleptMs;
    } cases[] = {
        {10, false, SoundResult::kBufferLost, 1, 0}, // not lost: the device is not asked
        {10, true, SoundResult::kOk, 1, 0},
        {10, true, SoundResult::kOutOfMemory, 0, 0},
        {10, true, SoundResult::kBufferLost, 0, 1000},
        {300, true, SoundResult::kBufferLost, 0, 900},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sleepMs << " ms, answer " << int(c.answer));
        device->SetRestoreResult(SoundResult::kOk);
        buffer->Restore();
        if (c.lost)
            device->LoseBuffers();
        device->SetRestoreResult(c.answer);
        GStreamKind kind{"Test Stream", c.sleepMs};
        GStreamThread stream(kind);
        platform::ManualClock clock;
        EXPECT_EQ(stream.RestoreLostBuffer(*buffer), c.result);
        EXPECT_EQ(clock.GetUs(), c.sleptMs * 1000);
        uint32_t status = 0;
        buffer->GetStatus(&status);
        EXPECT_EQ((status & platform::sound_status::kBufferLost) != 0, c.result == 0);
    }
}

} // namespace
