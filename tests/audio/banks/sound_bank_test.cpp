#include <gtest/gtest.h>

#include <memory>
#include <tuple>

#include "audio/banks/sound_bank.h"
#include "audio/player/audio_system.h"
#include "support/audio_files.h"
#include "support/audio_measure.h"

namespace {

using namespace tolvanrise::test;

class SoundBankTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = std::make_unique<TempFolder>("tolvanrise_bank_");
        WriteTone(*folder, "0.ogg", 441, 2, 44100, 0.5);
        WriteTone(*folder, "1.ogg", 441, 1, 22050, 0.5);
        WriteTone(*folder, "2.ogg", 882, 2, 44100, 0.2);
        folder->WriteFile("3.ogg", "not an ogg file");
    }
    static void TearDownTestSuite() { folder.reset(); }

    void SetUp() override
    {
        ASSERT_EQ(system.InitDirectSound(platform::SoundOutput::kManual), 1);
        bank = system.CreateSoundBank(4, (folder->Path() + "/").c_str());
        ASSERT_TRUE(bank);
        ASSERT_EQ(bank->GetCount(), 3); // 3.ogg cannot be decoded
    }

    std::string Path(int n) const { return folder->Path(std::to_string(n) + ".ogg"); }

    double PlayedLevel(int id)
    {
        bank->Play(id, 1);
        std::vector<int16_t> out;
        system.GetDevice()->Render(4410, &out);
        bank->StopSound(id);
        return ToneLevel(Channel(out, 2, 0, 0, 4410));
    }

    inline static std::unique_ptr<TempFolder> folder;
    GAudioSystem system{nullptr};
    GSoundBank* bank = nullptr;
};

TEST_F(SoundBankTest, RecordsAreAddedReplacedAndRemovedByMovingTheLast)
{
    EXPECT_EQ(system.CreateSoundBank(9, "elsewhere"), bank);
    EXPECT_EQ(bank->AddSound(-1, Path(0).c_str()) + bank->AddSound(7, Path(3).c_str()), 0);
    EXPECT_EQ(bank->AddSound(1, Path(2).c_str()), 1); // replaces id 1: records 0, 2, 1
    EXPECT_EQ(std::tuple(bank->GetCount(), bank->FindIndex(1)), std::tuple(3, 2));
    bank->SetVolume(1, 7000);
    bank->SetPan(1, -300);
    bank->SetFrequency(1, 50);
    GSoundBuffer* sound = bank->GetSound(1);
    bank->RemoveSound(0);
    // The last record moved into the gap with everything set on it; id 0 is unknown now.
    EXPECT_EQ(bank->GetSound(1), sound);
    EXPECT_EQ(std::tuple(bank->FindIndex(1), bank->FindIndex(2), bank->GetVolume(1), bank->GetPan(1),
                         bank->GetFrequency(1), bank->GetBaseFrequency(1)),
              std::tuple(0, 1, 7000, -300, 50, 44100));
    EXPECT_EQ(std::tuple(bank->GetVolume(0), bank->GetFrequency(0), bank->GetPan(0)),
              std::tuple(-1, -1, GSoundBank::kUnknownPan));
    bank->RemoveSound(-5);
    EXPECT_EQ(bank->GetCount(), 2);
    for (int id = 100; bank->GetCount() < GSoundBank::kMaxSounds; ++id)
        ASSERT_EQ(bank->AddSound(id, Path(2).c_str()), 1);
    EXPECT_EQ(bank->AddSound(999, Path(2).c_str()), 0); // the 257th
    EXPECT_EQ(bank->AddSound(100, Path(0).c_str()), 1); // a replacement still fits
}

TEST_F(SoundBankTest, FrequencyPercentOfTheOwnRateIsClamped)
{
    const std::tuple<int, int, uint32_t> cases[] = {
        {1, 50, 11025}, {1, 0, 100}, {0, 1000, 100000}, {0, 100, 44100}, {0, 150, 66150},
    };
    for (auto [id, percent, hz] : cases) {
        bank->SetFrequency(id, percent);
        EXPECT_EQ(bank->GetSound(id)->GetFrequency(), hz) << percent;
    }
    bank->SetFrequency(0, -1);
    EXPECT_EQ(bank->GetFrequency(0), 150);
}

// Every sound is heard at volume x master / 10000, whichever call set the level last.
TEST_F(SoundBankTest, SoundsAreHeardAtVolumeTimesMaster)
{
    const double full = PlayedLevel(0);
    EXPECT_NEAR(full, 16384, 600);
    const std::tuple<int, int, int32_t> cases[] = {
        {8000, 5000, -795}, {5000, 200, -4000}, {10000, 10000, 0}, {0, 10000, -10000}, {10000, 0, -10000},
    };
    for (auto [volume, master, level] : cases) {
        bank->SetMasterVolume(master);
        bank->SetVolume(0, volume);
        const double heard = PlayedLevel(0);
        int32_t set = 1;
        bank->GetSound(0)->GetBuffer()->GetVolume(&set);
        EXPECT_EQ(set, level) << volume << " x " << master;
        EXPECT_NEAR(heard, full * std::pow(10.0, level / 2000.0), full * 0.01);
    }
    bank->SetMasterVolume(10001);
    bank->SetVolume(0, -1);
    EXPECT_EQ(std::tuple(bank->GetMasterVolume(), bank->GetVolume(0)), std::tuple(0, 10000));
}

TEST_F(SoundBankTest, DisablingStopsEverythingAndPlayingWhileOffDoesNothing)
{
    EXPECT_EQ(bank->IsPlaying(-1), 0);
    bank->Play(0, 0);
    bank->Play(1, 0);
    EXPECT_EQ(std::tuple(bank->IsPlaying(-1), bank->IsPlaying(1), bank->IsPlaying(2)), std::tuple(1, 1, 0));
    bank->SetEnabled(0);
    EXPECT_EQ(bank->IsPlaying(-1), 0);
    bank->Play(0, 1);
    EXPECT_EQ(bank->IsPlaying(0), 0);
    bank->SetEnabled(1);
    bank->SetPan(0, 10000);
    bank->Play(0, 1);
    std::vector<int16_t> out;
    system.GetDevice()->Render(2000, &out);
    // Panned fully right.
    EXPECT_TRUE(MaxAbs(Channel(out, 2, 0, 0, 2000)) == 0 && MaxAbs(Channel(out, 2, 1, 0, 2000)) > 16000);
    bank->StopSound(0);
    uint32_t play = 1;
    bank->GetSound(0)->GetBuffer()->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 0u);
}

TEST_F(SoundBankTest, ALostBufferIsRefilledFromMemoryAtTheNextPlay)
{
    system.GetDevice()->LoseBuffers();
    EXPECT_EQ(bank->IsPlaying(-1), 0);
    EXPECT_NEAR(PlayedLevel(2), 16384, 600);
    system.GetDevice()->LoseBuffers();
    system.GetDevice()->SetRestoreResult(platform::SoundResult::kOutOfMemory);
    bank->Play(2, 1);
    EXPECT_EQ(bank->IsPlaying(2), 0);
}

// Run from the folder that holds 0.ogg and 1.ogg: a cut folder name must not reach them.
TEST_F(SoundBankTest, FolderTooLongForThePathIsRefused)
{
    ScopedCurrentFolder current(folder->Path());
    ASSERT_TRUE(current.Entered());
    // Folder, files preloaded, sounds found; the default "SOUNDS\\" is not here.
    const std::string tooLong(1100, 'f');
    for (auto [name, count, found] : {std::tuple{tooLong.c_str(), 2, 0}, {"", 2, 2}, {(const char*)nullptr, 1, 0}}) {
        GSoundBank bank(system.GetDevice(), nullptr, name);
        bank.Preload(count);
        EXPECT_EQ(bank.GetCount(), found) << count;
    }
}

} // namespace
