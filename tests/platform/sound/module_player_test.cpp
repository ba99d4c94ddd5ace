// The tracker-module player over the system's libxmp: every frame of a song comes out once,
// whatever the chunks it is asked for, and a song starts again from the top when told to.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/sound/module_player.h"
#include "support/audio_files.h"
#include "support/temp_files.h"

namespace {

using namespace tolvanrise::test;

class ModulePlayerTest : public testing::Test {
protected:
    void SetUp() override
    {
        library = platform::ModuleLibrary::Load();
        if (!library)
            GTEST_SKIP() << "no libxmp here";
        player = library->CreatePlayer();
        ASSERT_NE(player, nullptr);
        platform::ModulePlayerParams params;
        ASSERT_EQ(player->Init(&params), 0);
        // Two patterns of eight 20 ms rows: 0.32 s, two tones.
        song = WriteModule(folder, "two.mod", {428, 214}, 8);
        ASSERT_FALSE(song.empty());
        ASSERT_EQ(player->Load(song.c_str()), 1);
    }

    // Renders in chunks of the given size until the song stops filling them.
    std::vector<float> RenderAll(int chunk)
    {
        std::vector<float> out;
        std::vector<float> buffer(size_t(chunk) * 2);
        for (int filled = chunk; filled == chunk;) {
            filled = player->Render(buffer.data(), chunk);
            out.insert(out.end(), buffer.begin(), buffer.begin() + filled * 2);
        }
        return out;
    }

    TempFolder folder{"tolvanrise_module_"};
    std::unique_ptr<platform::ModuleLibrary> library;
    std::unique_ptr<platform::ModulePlayer> player;
    std::string song;
};

TEST_F(ModulePlayerTest, AnyChunkSizeGivesTheSameFramesAndAStartGivesThemAgain)
{
    player->SelectSong(1);
    const std::vector<float> whole = RenderAll(1 << 16);
    // 0.32 s at 44,100 Hz, not silent.
    ASSERT_NEAR(double(whole.size() / 2), 14112.0, 64.0);
    float peak = 0;
    for (float s : whole)
        peak = std::max(peak, std::abs(s));
    EXPECT_GT(peak, 0.05f);
    for (int chunk : {1, 7, 333, 4096}) {
        player->SetState(platform::ModulePlayer::kPlaying); // from the top, after the end
        EXPECT_EQ(RenderAll(chunk), whole) << "chunks of " << chunk;
    }
    std::vector<float> after(64, 1.0f);
    EXPECT_EQ(player->Render(after.data(), 32), 0);
    EXPECT_EQ(after, std::vector<float>(64, 0.0f)); // silence once ended

    // A jump while playing drops the rest of the frame it was in: the song plays on from the
    // top, as long as a fresh start.
    player->SetState(platform::ModulePlayer::kPlaying);
    ASSERT_EQ(player->Render(after.data(), 32), 32);
    player->SetStartPosition(0);
    EXPECT_NEAR(double(RenderAll(4096).size()), double(whole.size()), 2.0 * 2048);
}

TEST_F(ModulePlayerTest, FreedOrEndedSongsAreSilentAndOnlyTheSongHandleCounts)
{
    std::vector<float> buffer(512);
    player->SelectSong(2); // no such song
    EXPECT_EQ(player->Render(buffer.data(), 256), 0);
    player->SelectSong(1);
    EXPECT_EQ(player->Render(buffer.data(), 256), 256);
    player->SetState(platform::ModulePlayer::kEnded);
    EXPECT_EQ(player->Render(buffer.data(), 256), 0);
    player->FreeSong(2); // not ours: the song stays
    player->SetState(platform::ModulePlayer::kPlaying);
    EXPECT_EQ(player->Render(buffer.data(), 256), 256);
    // Loading over a playing song lets the old one go: nothing plays until the new one starts.
    ASSERT_EQ(player->Load(song.c_str()), 1);
    EXPECT_EQ(player->Render(buffer.data(), 256), 0);
    player->SelectSong(1);
    EXPECT_EQ(player->Render(buffer.data(), 256), 256);
    player->FreeSong(1);
    player->SetState(platform::ModulePlayer::kPlaying);
    EXPECT_EQ(player->Render(buffer.data(), 256), 0);
    EXPECT_EQ(player->Load(nullptr), 0);
    EXPECT_EQ(player->Load(folder.Path("missing.mod").c_str()), 0);
}

// The start position is an order number: from order 1 only the second pattern plays. The
// rate asked for is taken within what the library plays, and the end of the song is reported
// once, from inside the render that reaches it.
TEST_F(ModulePlayerTest, StartPositionRateAndTheEndReportedOnce)
{
    struct Counter : platform::ModuleListener {
        void OnEvent(int event, int argument) override { events.push_back(event * 100 + argument); }
        std::vector<int> events;
    } counter;
    player->SetListener(&counter);
    player->SelectSong(1);
    const size_t whole = RenderAll(4096).size() / 2;
    EXPECT_EQ(counter.events, std::vector<int>{0});
    std::vector<float> buffer(64, 1.0f);
    EXPECT_EQ(player->Render(buffer.data(), 32) + player->Render(nullptr, 32) + player->Render(buffer.data(), 0), 0);
    EXPECT_EQ(counter.events.size(), 1u); // an ended song is not reported again

    struct Case {
        int position;
        double share; // of the whole song's frames
    } cases[] = {{1, 0.5}, {-3, 1.0}, {0, 1.0}};
    for (const Case& c : cases) {
        player->SetStartPosition(c.position);
        player->SetState(platform::ModulePlayer::kPlaying);
        EXPECT_NEAR(double(RenderAll(4096).size() / 2), whole * c.share, 64.0) << c.position;
    }
    player->SetListener(nullptr);

    // Half the rate, half the frames for the same 0.32 s; a rate no player takes is raised to one
    // it does.
    EXPECT_EQ(player->Init(nullptr), -1);
    for (const int rate : {22050, 1, 1000000}) {
        platform::ModulePlayerParams params;
        params.rate = rate;
        ASSERT_EQ(player->Init(&params), 0);
        EXPECT_TRUE(params.rate >= 4000 && params.rate <= 49170) << rate;
        player->SetState(platform::ModulePlayer::kPlaying);
        EXPECT_NEAR(double(RenderAll(4096).size() / 2), 0.32 * params.rate, 64.0) << rate;
    }
}

// The library is looked up by the name given, and by its own again once the name is cleared.
TEST(ModuleLibrary, LoadsUnderTheNameGivenAndItsOwnAgain)
{
    if (!platform::ModuleLibrary::Load())
        GTEST_SKIP() << "no libxmp here";
    platform::SetModuleLibraryName("libtolvanrise-no-such-module-library.so");
    EXPECT_FALSE(platform::ModuleLibrary::Load());
    platform::SetModuleLibraryName(nullptr);
    EXPECT_TRUE(platform::ModuleLibrary::Load());
}

} // namespace
