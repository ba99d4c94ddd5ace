#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>

#include "audio/banks/sound_bank.h"
#include "audio/banks/wav_file.h"
#include "audio/player/audio_system.h"
#include "support/audio_files.h"
#include "support/audio_measure.h"
#include "support/failing_allocations.h"
#include "support/ogg_pages.h"
#include "support/temp_files.h"
#include "tools/tolvanrise-audio/audio_synth.h"

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
    EXPECT_EQ(std::tuple(bank->FindIndex(1), bank->FindIndex(2), bank->GetVolume(1),
                         bank->GetPan(1), bank->GetFrequency(1), bank->GetBaseFrequency(1)),
              std::tuple(0, 1, 7000, -300, 50, 44100));
    EXPECT_EQ(std::tuple(bank->GetVolume(0), bank->GetFrequency(0), bank->GetPan(0)),
              std::tuple(-1, -1, GSoundBank::kUnknownPan));
    bank->RemoveSound(-5);
    EXPECT_EQ(bank->GetCount(), 2);
    for (int id = 100; bank->GetCount() < GSoundBank::kMaxSounds; ++id)
        ASSERT_EQ(bank->AddSound(id, Path(2).c_str()), 1);
    EXPECT_EQ(bank->AddSound(999, Path(2).c_str()), 0); // the 257th
    EXPECT_EQ(bank->AddSound(100, Path(0).c_str()), 1); // a replacement still fits

    // A record table that cannot be allocated adds nothing; the next call tries again.
    GSoundBank fresh(system.GetDevice(), (folder->Path() + "/").c_str());
    {
        FailArrayAllocationsAfter none(0);
        fresh.Preload(2);
        EXPECT_EQ(fresh.AddSound(0, Path(0).c_str()) + fresh.GetCount(), 0);
        EXPECT_EQ(fresh.IsPlaying(-1) + fresh.FindIndex(0), -1);
        fresh.StopSound(-1);
    }
    EXPECT_EQ(fresh.AddSound(0, Path(0).c_str()), 1);
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

// Pan from full left to full right is kept and heard; a pan outside that, or any setting of an
// id the bank does not hold, changes nothing.
TEST_F(SoundBankTest, PanOutsideItsRangeAndUnknownIdsChangeNothing)
{
    for (auto [pan, kept] :
         {std::pair{-10000, -10000}, {10001, -10000}, {10000, 10000}, {-10001, 10000}, {0, 0}}) {
        bank->SetPan(2, pan);
        EXPECT_EQ(bank->GetPan(2), kept) << pan;
    }
    bank->SetPan(2, -10000);
    bank->Play(2, 1);
    std::vector<int16_t> out;
    system.GetDevice()->Render(2000, &out);
    EXPECT_TRUE(MaxAbs(Channel(out, 2, 0, 0, 2000)) > 16000 &&
                MaxAbs(Channel(out, 2, 1, 0, 2000)) == 0);
    for (int id : {-1, 3, 99}) {
        bank->SetPan(id, 100);
        bank->SetVolume(id, 100);
        bank->SetFrequency(id, 50);
        bank->Play(id, 1);
        EXPECT_EQ(std::tuple(bank->GetPan(id), bank->GetVolume(id), bank->GetFrequency(id),
                             bank->GetBaseFrequency(id), bank->GetSound(id)),
                  std::tuple(GSoundBank::kUnknownPan, -1, -1, -1, nullptr))
            << id;
    }
    EXPECT_EQ(std::tuple(bank->GetCount(), bank->IsPlaying(0), bank->IsPlaying(1)),
              std::tuple(3, 0, 0));
}

// Every sound is heard at volume x master / 10000, whichever call set the level last.
TEST_F(SoundBankTest, SoundsAreHeardAtVolumeTimesMaster)
{
    const double full = PlayedLevel(0);
    EXPECT_NEAR(full, 16384, 600);
    const std::tuple<int, int, int32_t> cases[] = {
        {8000, 5000, -795}, {5000, 200, -4000}, {10000, 10000, 0},
        {0, 10000, -10000}, {10000, 0, -10000},
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

    // A sound already playing takes the new master level at once.
    bank->SetMasterVolume(10000);
    bank->SetVolume(0, 5000);
    bank->Play(0, 1);
    bank->SetMasterVolume(5000);
    int32_t playing = 1;
    bank->GetSound(0)->GetBuffer()->GetVolume(&playing);
    EXPECT_EQ(playing, -1204);
    bank->SetVolume(0, 2500); // and the sound's own volume too
    bank->GetSound(0)->GetBuffer()->GetVolume(&playing);
    EXPECT_EQ(playing, -1806);
    bank->SetVolume(0, 5000);
    std::vector<int16_t> out;
    system.GetDevice()->Render(4410, &out);
    EXPECT_NEAR(ToneLevel(Channel(out, 2, 0, 0, 4410)), full / 4, full * 0.01);
}

TEST_F(SoundBankTest, DisablingStopsEverythingPlayingWhileOffDoesNothingALostBufferIsRefilled)
{
    EXPECT_EQ(bank->IsPlaying(-1), 0);
    bank->Play(0, 0);
    bank->Play(1, 0);
    EXPECT_EQ(std::tuple(bank->IsPlaying(-1), bank->IsPlaying(1), bank->IsPlaying(2)),
              std::tuple(1, 1, 0));
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
    EXPECT_TRUE(MaxAbs(Channel(out, 2, 0, 0, 2000)) == 0 &&
                MaxAbs(Channel(out, 2, 1, 0, 2000)) > 16000);
    // Played again without a restart, a playing sound goes on from where it is.
    bank->Play(0, 0);
    uint32_t at = 0;
    bank->GetSound(0)->GetBuffer()->GetCurrentPosition(&at, nullptr);
    EXPECT_GT(at, 0u);
    bank->Play(0, 1); // and with one, from its start
    bank->GetSound(0)->GetBuffer()->GetCurrentPosition(&at, nullptr);
    EXPECT_EQ(at, 0u);
    bank->StopSound(0);
    bank->Play(1, 1); // half a second: it plays once and stops
    system.GetDevice()->Render(44100, &out);
    EXPECT_EQ(bank->IsPlaying(1), 0);
    uint32_t play = 1;
    bank->GetSound(0)->GetBuffer()->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 0u);

    // A lost buffer is refilled from memory at the next play.
    system.GetDevice()->LoseBuffers();
    EXPECT_EQ(bank->IsPlaying(-1), 0);
    EXPECT_NEAR(PlayedLevel(2), 16384, 600);
    system.GetDevice()->LoseBuffers();
    system.GetDevice()->SetRestoreResult(platform::SoundResult::kOutOfMemory);
    bank->Play(2, 1);
    EXPECT_EQ(bank->IsPlaying(2), 0);
}

// One effect loaded again and again: a load that fails leaves nothing of the one before.
TEST_F(SoundBankTest, EffectLoadThatFailsLeavesNothingBehind)
{
    GSoundBuffer sound(system.GetDevice());
    const std::tuple<std::string, int, uint32_t> cases[] = {
        {Path(0), 1, 22050 * 4},
        {Path(3), 0, 0}, // not an Ogg file
        {Path(2), 1, 8820 * 4},
        {folder->Path("missing.ogg"), 0, 0},
        // Loaded over one read to its end, an effect reads from its own start.
        {Path(0), 1, 22050 * 4},
        {Path(2), 1, 8820 * 4},
    };
    for (const auto& [path, loaded, bytes] : cases) {
        EXPECT_EQ(sound.CreateBuffer(path.c_str()), loaded) << path;
        uint8_t first[4] = {};
        const uint32_t read = sound.ReadPcm(first, 4);
        EXPECT_EQ(
            std::tuple(sound.GetPcmBytes(), sound.GetBuffer() != nullptr, read, sound.FillBuffer()),
            std::tuple(bytes, loaded == 1, loaded ? 4u : 0u, 1))
            << path;
    }
}

// An effect is loaded only when the file holds what it claims and the device plays its rate; a
// refused one leaves no buffer and no PCM to read, adds no sound, and has nothing to play.
TEST_F(SoundBankTest, EffectsWhoseFileOrRateCannotBeKeptAreRefused)
{
    // Long enough for pages of its own: the length claim is the last page's alone.
    const std::string tone = ReadFileBytes(WriteTone(*folder, "long.ogg", 441, 2, 44100, 3.0));
    WriteTone(*folder, "silent.ogg", 441, 2, 44100, 0.0);
    const struct {
        const char* what;
        std::string bytes;
        int loaded;
    } cases[] = {
        {"as written", tone, 1},
        {"no samples", ReadFileBytes(folder->Path("silent.ogg")), 0},
        {"longer than it is", WithOggLength(tone, 3 * 44100 + 1000), 0},
        {"longer than an effect may be", WithOggLength(tone, uint64_t{1} << 32), 0},
        {"a rate the device does not play", WithOggRate(tone, 100001), 0},
        {"a rate no decoder takes", WithOggRate(tone, 1000001), 0},
        {"the highest rate the device plays", WithOggRate(tone, 100000), 1},
    };
    GSoundBuffer sound(system.GetDevice());
    for (const auto& c : cases) {
        const std::string path = folder->WriteFile("claim.ogg", c.bytes);
        EXPECT_EQ(sound.CreateBuffer(path.c_str()), c.loaded) << c.what;
        uint8_t first[4] = {};
        EXPECT_EQ(std::tuple(sound.GetBuffer() != nullptr, sound.GetPcmBytes() != 0,
                             sound.ReadPcm(first, 4)),
                  std::tuple(c.loaded == 1, c.loaded == 1, c.loaded ? 4u : 0u))
            << c.what;
        EXPECT_EQ(sound.Play(true) == platform::SoundResult::kOk, c.loaded == 1) << c.what;
        EXPECT_EQ(bank->AddSound(50, path.c_str()), c.loaded) << c.what;
        EXPECT_EQ(bank->GetSound(50) != nullptr, c.loaded == 1) << c.what;
    }
    // Without a device nothing loads; a sound never loaded cannot play.
    GSoundBuffer detached(nullptr);
    EXPECT_EQ(detached.CreateBuffer(Path(0).c_str()), 0);
    EXPECT_EQ(detached.Play(false), platform::SoundResult::kInvalidParam);
    EXPECT_FALSE(detached.IsPlaying() || detached.GetFrequency());
    GSoundBank none(nullptr, (folder->Path() + "/").c_str());
    none.Preload(3);
    EXPECT_EQ(none.GetCount() + none.IsPlaying(-1), 0);
}

// Run from the folder that holds 0.ogg and 1.ogg: a cut folder name must not reach them.
TEST_F(SoundBankTest, FolderTooLongForThePathIsRefused)
{
    ScopedCurrentFolder current(folder->Path());
    ASSERT_TRUE(current.Entered());
    // Folder, files preloaded, sounds found; the default "SOUNDS\\" is not here. "./////..."
    // names this folder at any length: its paths ("0.ogg" added) fit the 1,024-byte path with
    // the terminating zero, or do not.
    const std::string tooLong(1100, 'f');
    const std::string fits = "." + std::string(1017, '/'), over = "." + std::string(1018, '/');
    for (auto [name, count, found] : {std::tuple{tooLong.c_str(), 2, 0},
                                      {"", 2, 2},
                                      {(const char*)nullptr, 1, 0},
                                      {fits.c_str(), 2, 2},
                                      {over.c_str(), 2, 0}}) {
        GSoundBank bank(system.GetDevice(), name);
        bank.Preload(count);
        EXPECT_EQ(bank.GetCount(), found) << count;
    }
}

} // namespace

// The WAV bank: headers checked against the bytes at hand (a table of damaged and unusual
// files), sounds heard sample for sample as the file holds them, refilled from the mapping
// after a loss, and the facade's one bank.
namespace {

void Set(std::string& file, size_t at, uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        file[at + i] = static_cast<char>(value >> (8 * i));
}

// The synthesiser's canonical mono 22,050 Hz file, with the format's tag, channels and bits,
// chunks put before the data and the data size declared changed as asked.
std::string Wav(const std::vector<int16_t>& pcm, uint16_t tag = 1, uint16_t channels = 1,
                uint16_t bits = 16, const std::string& before = {}, int64_t declared = -1)
{
    const auto made = audio_synth::MakeWav(pcm, 1, 22050);
    std::string file(made.begin(), made.end());
    Set(file, 20, tag, 2);
    Set(file, 22, channels, 2);
    Set(file, 32, channels * bits / 8, 2);
    Set(file, 34, bits, 2);
    if (declared >= 0)
        Set(file, 40, static_cast<uint32_t>(declared), 4);
    file.insert(36, before);
    Set(file, 4, static_cast<uint32_t>(file.size() - 8), 4);
    return file;
}

TEST(WavFile, HeadersAreCheckedAgainstTheBytes)
{
    const std::vector<int16_t> pcm(100, 7);
    const std::string odd("LIST\3\0\0\0abc\0", 12); // with the pad byte of an odd chunk
    struct Case {
        const char* what;
        std::string bytes;
        bool ok;
        uint32_t offset = 0, size = 0;
    } cases[] = {
        {"canonical", Wav(pcm), true, 44, 200},
        {"chunk before the data", Wav(pcm, 1, 1, 16, odd), true, 56, 200},
        // Chunks whose names only begin like the format's and the data's are neither.
        {"fmtx and datx chunks",
         Wav(pcm, 1, 1, 16, std::string("fmtx\4\0\0\0\0\0\0\0datx\2\0\0\0\0\0", 22)), true, 66,
         200},
        {"stereo: whole frames only", Wav(pcm, 1, 2, 16, {}, 198), true, 44, 196},
        {"8-bit", Wav(pcm, 1, 1, 8), true, 44, 200},
        {"one 8-bit sample", Wav(pcm, 1, 1, 8, {}, 1), true, 44, 1},
        {"float samples", Wav(pcm, 3), false},
        {"three channels", Wav(pcm, 1, 3), false},
        {"24-bit", Wav(pcm, 1, 1, 24), false},
        {"data beyond the file", Wav(pcm, 1, 1, 16, {}, 202), false},
        {"empty data", Wav({}), false},
        {"shorter than its header", Wav(pcm).substr(0, 40), false},
        {"chunk larger than the file", Wav(pcm, 1, 1, 16, std::string("JUNK\xff\xff\xff\x7f", 8)),
         false},
        {"no RIFF", "RIFX" + Wav(pcm).substr(4), false},
        {"nothing", "", false},
    };
    for (const Case& c : cases) {
        GWavData wav;
        const bool ok =
            ParseWav(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), &wav);
        EXPECT_EQ(ok, c.ok) << c.what;
        if (ok && c.ok) {
            EXPECT_EQ(std::pair(wav.dataOffset, wav.dataSize), std::pair(c.offset, c.size))
                << c.what;
        }
    }
    std::string noFormat = Wav(pcm);
    std::memcpy(noFormat.data() + 12, "fmx ", 4);
    EXPECT_FALSE(
        ParseWav(reinterpret_cast<const uint8_t*>(noFormat.data()), noFormat.size(), nullptr));
}

// The format chunk's own fields: each one the mixer cannot play, and a chunk too short to
// hold them, is refused; the extra size is read only when the chunk has room for it; a data
// chunk before any format has nothing to describe it.
TEST(WavFile, FormatChunksAreReadFieldByField)
{
    const std::vector<int16_t> pcm(100, 7);
    const auto with = [&](size_t at, uint32_t value, int bytes) {
        std::string file = Wav(pcm);
        Set(file, at, value, bytes);
        return file;
    };
    // An 18-byte format chunk whose extra size is 5, the file's sizes grown to match.
    std::string extra = Wav(pcm);
    extra.insert(36, std::string("\5\0", 2));
    Set(extra, 16, 18, 4);
    Set(extra, 4, uint32_t(extra.size() - 8), 4);
    // The data chunk first, then the format chunk.
    std::string dataFirst = Wav(pcm);
    dataFirst = dataFirst.substr(0, 12) + dataFirst.substr(36) + dataFirst.substr(12, 24);
    struct Case {
        const char* what;
        std::string bytes;
        bool ok;
        uint32_t rate = 0;
        uint16_t extraSize = 0;
    } cases[] = {
        {"plain", Wav(pcm), true, 22050, 0},
        {"extra size", extra, true, 22050, 5},
        {"100 Hz", with(24, 100, 4), true, 100, 0},
        {"100,000 Hz", with(24, 100000, 4), true, 100000, 0},
        {"99 Hz", with(24, 99, 4), false},
        {"100,001 Hz", with(24, 100001, 4), false},
        {"no channels", with(22, 0, 2), false},
        {"a frame of three bytes", with(32, 3, 2), false},
        {"a frame of one byte", with(32, 1, 2), false},
        {"a format chunk of 15 bytes", with(16, 15, 4), false},
        {"data before the format", dataFirst, false},
    };
    for (const Case& c : cases) {
        GWavData wav;
        const bool ok =
            ParseWav(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), &wav);
        EXPECT_EQ(ok, c.ok) << c.what;
        if (ok && c.ok) {
            EXPECT_EQ(std::tuple(wav.format.samplesPerSec, wav.format.extraSize,
                                 wav.format.channels, wav.format.bitsPerSample, wav.dataSize),
                      std::tuple(c.rate, c.extraSize, uint16_t(1), uint16_t(16), 200u))
                << c.what;
        }
    }
}

// Reading past an effect's end gives what is left, then the silence of its sample format
// (0 for 16-bit, 0x80 for unsigned 8-bit) for the rest; a read at its end gives nothing.
TEST(EffectPcm, ReadsPastTheEndAreFilledWithSilence)
{
    TempFolder folder("tolvanrise_pcm_");
    const std::vector<int16_t> pcm(50, 1000);
    folder.WriteFile("16.wav", Wav(pcm));
    folder.WriteFile("8.wav", Wav(pcm, 1, 1, 8));
    auto device = platform::SoundDevice::Create(platform::SoundOutput::kManual);
    for (auto [name, silence] : {std::pair{"16.wav", uint8_t{0}}, {"8.wav", uint8_t{0x80}}}) {
        GSoundBuffer sound(device.get(), GEffectFormat::kWav);
        ASSERT_EQ(sound.CreateBuffer(folder.Path(name).c_str()), 1) << name;
        std::vector<uint8_t> out(130, 0x55);
        EXPECT_EQ(sound.ReadPcm(out.data(), 30), 30u);
        EXPECT_EQ(sound.ReadPcm(out.data(), 130), 70u) << name;
        EXPECT_EQ(std::count(out.begin() + 70, out.end(), silence), 60) << name;
        EXPECT_EQ(sound.ReadPcm(out.data(), 10), 0u);
    }
}

class WavBankTest : public testing::Test {
protected:
    void SetUp() override
    {
        tone = audio_synth::MakeTone({441}, 0.5, 1, 22050, 0.2);
        folder.WriteFile("0.wav", Wav(tone));
        folder.WriteFile("1.wav", Wav(tone, 3));
        folder.WriteFile("2.wav", Wav(tone).substr(0, 1000)); // cut short
        ASSERT_EQ(system.InitDirectSound(platform::SoundOutput::kManual), 1);
        bank = system.CreateWavBank(3, (folder.Path() + "/").c_str());
        ASSERT_TRUE(bank);
    }

    // Mono 22,050 Hz at full level: each sample is heard twice (44,100 Hz) on both sides.
    std::vector<double> Heard(int id)
    {
        bank->Play(id, 1);
        std::vector<int16_t> out;
        system.GetDevice()->Render(8820, &out);
        return Channel(out, 2, 0, 0, 8820);
    }

    TempFolder folder{"tolvanrise_wav_"};
    std::vector<int16_t> tone;
    GAudioSystem system{nullptr};
    GWavBank* bank = nullptr;
};

TEST_F(WavBankTest, PlaysTheFilesSamplesAndRefillsFromTheMapping)
{
    EXPECT_TRUE(bank->GetCount() == 1 && system.CreateWavBank(9, "elsewhere") == bank);
    ASSERT_TRUE(bank->GetSound(0));
    EXPECT_EQ(bank->GetSound(0)->GetPcmBytes(), tone.size() * 2);
    for (int pass = 0; pass < 2; ++pass) {
        const auto heard = Heard(0);
        double worst = 0;
        for (size_t i = 0; i + 1 < heard.size() && i / 2 < tone.size(); i += 2)
            worst = std::max(worst, std::abs(heard[i] - tone[i / 2]));
        EXPECT_LE(worst, 1) << "pass " << pass;
        system.GetDevice()->LoseBuffers(); // the second pass restores and refills
    }
    // No frequency control on WAV effects.
    EXPECT_NE(bank->GetSound(0)->GetBuffer()->SetFrequency(11025), platform::SoundResult::kOk);
}

TEST_F(WavBankTest, RecordsFollowTheOggBanksRules)
{
    ASSERT_EQ(bank->AddSound(5, folder.Path("0.wav").c_str()), 1);
    ASSERT_EQ(bank->AddSound(7, folder.Path("0.wav").c_str()), 1);
    EXPECT_EQ(bank->AddSound(8, folder.Path("1.wav").c_str()), 0);
    EXPECT_EQ(bank->AddSound(8, folder.Path("missing.wav").c_str()), 0);
    bank->SetVolume(7, 5000);
    bank->SetPan(7, 300);
    bank->RemoveSound(0); // the last record moves into its place
    EXPECT_EQ(std::tuple(bank->FindIndex(7), bank->GetVolume(7), bank->GetPan(7), bank->GetPan(0)),
              std::tuple(0, 5000, 300, GWavBank::kUnknownPan));
    // Half volume, and the left side 3 dB down for the pan.
    EXPECT_NEAR(ToneLevel(Heard(7)), 16384 * std::pow(10.0, -(602 + 300) / 2000.0), 100);
    bank->SetEnabled(0);
    EXPECT_EQ(bank->IsPlaying(-1), 0);

    GWavBank fallback(system.GetDevice(), nullptr); // "WAV\\": not in the test's folder
    fallback.Preload(1);
    EXPECT_EQ(fallback.GetCount(), 0);
    system.Shutdown();
    EXPECT_EQ(system.GetWavBank(), nullptr);
    EXPECT_EQ(system.CreateWavBank(1, nullptr), nullptr); // no device
}

} // namespace
