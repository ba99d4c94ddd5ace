// The Ogg engine and the Ogg player on the manual clock: a short file looped without a gap
// across the engine's half refills and buffer wrap, a file played once then stopped, the
// playlist of file numbers, and the facade's rules for both (one of each, and no Ogg player
// beside a stream player).
#include <gtest/gtest.h>

#include <memory>
#include <mutex>

#include "audio/ogg/ogg_engine.h"
#include "audio/ogg/ogg_player.h"
#include "audio/player/audio_system.h"
#include "support/audio_files.h"
#include "support/audio_measure.h"
#include "support/ogg_pages.h"

namespace {

using namespace tolvanrise::test;
constexpr int kRate = 44100;

class OggPlayersTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = new TempFolder("tolvanrise_ogg_");
        // 400 Hz for 0.25 s: a whole number of cycles, so the loop seam is smooth.
        WriteTone(*folder, "0.ogg", 400, 2, kRate, 0.25);
        WriteTone(*folder, "1.ogg", 800, 2, kRate, 0.5);
        folder->WriteFile("2.ogg", "no ogg");
    }
    static void TearDownTestSuite() { delete folder; }

    void SetUp() override { ASSERT_EQ(system.InitDirectSound(platform::SoundOutput::kManual), 1); }

    std::vector<double> Render(double seconds)
    {
        std::vector<int16_t> out;
        system.GetDevice()->Render(static_cast<uint32_t>(seconds * kRate), &out);
        return Channel(out, 2, 0, 0, out.size() / 2);
    }

    std::string Folder() const { return folder->Path() + "/"; }

    static TempFolder* folder;
    GAudioSystem system{nullptr};
};
TempFolder* OggPlayersTest::folder = nullptr;

// 26 s pass both half refills of the 4 MB buffer (at 11.9 s) and its wrap (23.8 s).
TEST_F(OggPlayersTest, EngineLoopsAShortFileWithoutAGap)
{
    GOggEngine* engine = system.CreateOggEngine(3, Folder().c_str());
    ASSERT_TRUE(engine);
    ASSERT_EQ(engine->Play(0), 1);
    const auto heard = Render(26);
    EXPECT_LT(LongestQuietRun(heard, 300), 20u);
    EXPECT_LT(MaxJump(heard), 1100);
    EXPECT_NEAR(ToneFrequency(heard, kRate), 400, 1);
    EXPECT_TRUE(engine->IsPlaying());
    EXPECT_GE(engine->GetStream()->GetBytesPlayed(), 2u * 0x200000);
}

TEST_F(OggPlayersTest, EngineWithoutLoopPlaysOnceThenStops)
{
    GOggEngine* engine = system.CreateOggEngine(3, Folder().c_str());
    ASSERT_TRUE(engine);
    engine->SetLoop(false);
    ASSERT_EQ(engine->Play(1), 1);
    const auto heard = Render(12.5);
    EXPECT_NEAR(ToneFrequency(std::vector<double>(heard.begin(), heard.begin() + kRate / 2), kRate),
                800, 2);
    EXPECT_EQ(MaxAbs(std::vector<double>(heard.begin() + kRate / 2 + 10, heard.end())), 0);
    // Stopped at the first notification after the data.
    EXPECT_TRUE(!engine->IsPlaying() && engine->GetStream()->HasEnded());
}

// The engine's stream in a buffer of 64 KB (halves of 0.19 s) on a thread of its own: the
// refills, the end of the data and a lost buffer within a second of sound.
TEST_F(OggPlayersTest, SmallStreamRefillsItsHalvesAndALostBuffer)
{
    GStreamKind kind{"Test Ogg Stream", 1};
    std::unique_ptr<GOggStream> stream;
    bool loop = false;
    int owner = 0;
    GStreamThread thread(kind); // its thread ends before what its fill step uses goes
    ASSERT_TRUE(thread.Start(&owner, [&] { return !stream || stream->Refill(loop, thread); }));
    auto start = [&](const char* name, bool loops) {
        std::lock_guard lock(kind.lock);
        loop = loops;
        stream = std::make_unique<GOggStream>(system.GetDevice());
        return stream->Create(0x10000, (Folder() + name).c_str(), thread.Event(), loop) &&
               stream->Play();
    };
    // Once: 0.5 s of 800 Hz, then silence, and stopped at the next notification.
    ASSERT_TRUE(start("1.ogg", false));
    auto heard = Render(1.0);
    EXPECT_NEAR(
        ToneFrequency(std::vector<double>(heard.begin(), heard.begin() + kRate * 9 / 20), kRate),
        800, 2);
    EXPECT_LT(LongestQuietRun(std::vector<double>(heard.begin(), heard.begin() + kRate / 2), 300),
              20u);
    EXPECT_EQ(MaxAbs(std::vector<double>(heard.begin() + kRate / 2 + 10, heard.end())), 0);
    EXPECT_TRUE(!stream->IsPlaying() && stream->HasEnded() &&
                stream->GetBytesPlayed() >= 22050u * 4);

    // Looping a file that holds no sound: silence, and stopped at the next notification.
    WriteTone(*folder, "empty.ogg", 400, 2, kRate, 0.0);
    ASSERT_TRUE(start("empty.ogg", true));
    EXPECT_EQ(MaxAbs(Render(0.5)), 0);
    EXPECT_TRUE(!stream->IsPlaying() && stream->HasEnded());

    // Looping, lost: refused while the device cannot give it back, then written whole again.
    ASSERT_TRUE(start("0.ogg", true));
    Render(0.1);
    {
        // A notification while the half it would write still plays: nothing written or counted.
        std::lock_guard lock(kind.lock);
        EXPECT_TRUE(stream->Refill(loop, thread));
        EXPECT_EQ(stream->GetBytesPlayed(), 0u);
    }
    system.GetDevice()->LoseBuffers();
    {
        std::lock_guard lock(kind.lock);
        system.GetDevice()->SetRestoreResult(platform::SoundResult::kOutOfMemory);
        EXPECT_FALSE(stream->Refill(loop, thread) || stream->Reset(loop));
        system.GetDevice()->SetRestoreResult(platform::SoundResult::kOk);
        EXPECT_TRUE(stream->Refill(loop, thread) && stream->Play());
    }
    heard = Render(1.0);
    EXPECT_NEAR(ToneFrequency(heard, kRate), 400, 1);
    EXPECT_LT(LongestQuietRun(heard, 300), 20u);
    EXPECT_TRUE(stream->IsPlaying() && !stream->HasEnded());
    thread.Shutdown([] {}, [&] { stream.reset(); });
}

TEST_F(OggPlayersTest, EngineOperationsAndItsOneInstance)
{
    GOggEngine* engine = system.CreateOggEngine(3, Folder().c_str());
    ASSERT_TRUE(engine);
    EXPECT_TRUE(system.CreateOggEngine(9, "elsewhere") == engine && GOggEngine::Active() == engine);
    GOggEngine second(system.GetDevice(), nullptr);
    EXPECT_EQ(second.Start(1), 0); // one engine runs at a time
    EXPECT_EQ(second.Play(0), 0);
    EXPECT_EQ(engine->Play(3) + engine->Play(2), 0); // 2 holds no Ogg data
    const int played = engine->Play(-1);             // one of the three: 2 gives no stream
    EXPECT_EQ(played == 1, engine->GetStream() != nullptr);

    ASSERT_EQ(engine->Play(0), 1);
    engine->SetVolume(5000);
    engine->SetVolume(10001);
    EXPECT_EQ(engine->GetVolume(), 5000);
    int32_t level = 0;
    engine->GetStream()->GetBuffer()->GetVolume(&level);
    EXPECT_EQ(level, -602);
    engine->Pause();
    EXPECT_TRUE(engine->IsPaused());
    EXPECT_EQ(MaxAbs(Render(0.1)), 0);
    engine->Resume();
    EXPECT_FALSE(engine->IsPaused());
    EXPECT_GT(MaxAbs(Render(0.1)), 4000);
    engine->Pause(); // a file played from a pause is not paused
    ASSERT_EQ(engine->Play(1), 1);
    EXPECT_TRUE(engine->IsPlaying() && !engine->IsPaused());
    engine->Pause(); // shut down from a pause: the thread still ends
    system.DestroyOggEngine();
    EXPECT_TRUE(GOggEngine::Active() == nullptr && second.Start(1) == 1);
}

// Stop silences the engine and puts its file back at the start: no pause to resume from, and
// its stream afterwards holds the file from its beginning again.
TEST_F(OggPlayersTest, EngineStopSilencesAndRewindsWithoutAPause)
{
    GOggEngine* engine = system.CreateOggEngine(3, Folder().c_str());
    ASSERT_TRUE(engine);
    engine->Stop(); // nothing playing: nothing to do
    EXPECT_FALSE(engine->IsPlaying() || engine->IsPaused());
    for (const bool pausedFirst : {false, true}) {
        ASSERT_EQ(engine->Play(1), 1);
        EXPECT_GT(MaxAbs(Render(0.2)), 4000);
        if (pausedFirst)
            engine->Pause();
        engine->Stop();
        EXPECT_FALSE(engine->IsPlaying() || engine->IsPaused()) << pausedFirst;
        engine->Resume();
        EXPECT_EQ(MaxAbs(Render(0.2)), 0) << pausedFirst;
    }
    // Played again, the stream is the whole file from its start: 0.5 s of 800 Hz, no more.
    engine->SetLoop(false);
    ASSERT_EQ(engine->Play(1), 1);
    const auto heard = Render(1.0);
    EXPECT_LT(LongestQuietRun(std::vector<double>(heard.begin(), heard.begin() + kRate / 2), 300),
              20u);
    EXPECT_EQ(MaxAbs(std::vector<double>(heard.begin() + kRate / 2 + 10, heard.end())), 0);
}

// A file of a rate the device does not play is refused: the one before it is stopped, nothing
// is kept of either, and the next file plays.
TEST_F(OggPlayersTest, EngineRefusesAFileTheDeviceCannotPlay)
{
    folder->WriteFile("4.ogg", WithOggRate(ReadFileBytes(folder->Path("1.ogg")), 100001));
    GOggEngine* engine = system.CreateOggEngine(5, Folder().c_str());
    ASSERT_TRUE(engine);
    engine->Pause(); // nothing plays: nothing to pause
    EXPECT_FALSE(engine->IsPaused());
    ASSERT_EQ(engine->Play(0), 1);
    EXPECT_EQ(engine->Play(4), 0);
    EXPECT_FALSE(engine->GetStream() || engine->IsPlaying());
    EXPECT_EQ(MaxAbs(Render(0.2)), 0);
    ASSERT_EQ(engine->Play(1), 1);
    EXPECT_GT(MaxAbs(Render(0.2)), 4000);
}

TEST_F(OggPlayersTest, PlayerPlaysItsListOfFileNumbers)
{
    GOggPlayer* player = system.CreateOggPlayer(Folder().c_str());
    ASSERT_TRUE(player);
    EXPECT_EQ(system.CreateAudioPlayer("MUSIC\\"), nullptr); // not beside the Ogg player
    EXPECT_EQ(GOggPlayer::Active(), player);
    for (int number : {1, 2, 0, 2})
        ASSERT_EQ(player->AddTrack(number), 1);
    player->RemoveTrack(2); // the first 2 only
    player->RemoveTrack(7);
    EXPECT_EQ(player->GetTrackCount(), 3); // 1, 0, 2
    player->SetPlayMode(GOggPlayer::kNextTrack);
    ASSERT_EQ(player->PlayTrack(1), 1);
    EXPECT_EQ(player->GetStreamBuffer()->GetSize(), GOggPlayer::kBufferBytes);
    const auto heard = Render(0.8);
    EXPECT_NEAR(ToneFrequency(std::vector<double>(heard.begin(), heard.begin() + kRate / 5), kRate),
                400, 2);
    // 0 ends at 0.25 s; 2 cannot be played and is removed; then 1 (800 Hz) from the top.
    EXPECT_NEAR(ToneFrequency(std::vector<double>(heard.begin() + kRate * 3 / 10,
                                                  heard.begin() + kRate * 7 / 10),
                              kRate),
                800, 2);
    EXPECT_EQ(player->GetTrackCount(), 2);

    // Random next with one entry plays it again.
    player->ClearTracks();
    player->AddTrack(0);
    player->SetRandomNext(1);
    ASSERT_EQ(player->PlayTrack(0), 1);
    EXPECT_TRUE(LongestQuietRun(Render(1.2), 300) < 20u && player->IsPlaying() == 1);

    // Shutting the system down ends the player with it; a new one can start.
    system.Shutdown();
    EXPECT_TRUE(GOggPlayer::Active() == nullptr && system.GetOggPlayer() == nullptr);
    ASSERT_EQ(system.InitDirectSound(platform::SoundOutput::kManual), 1);
    ASSERT_TRUE(system.CreateOggPlayer(Folder().c_str()));
    system.DestroyOggPlayer();
    EXPECT_TRUE(GOggPlayer::Active() == nullptr && system.CreateAudioPlayer("MUSIC\\"));
    EXPECT_EQ(system.CreateOggPlayer(nullptr), nullptr); // not beside the stream player
}

} // namespace
