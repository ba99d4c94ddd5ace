// The music and sound managers over scrambled lists of our own (tables of rows in, entries
// out), their random draws against the generator's own sequence, the enable switches, and
// both managers over the data folder the build makes.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>
#include <vector>

#include "audio/banks/sound_bank.h"
#include "audio/music/audio_file_problem.h"
#include "audio/music/music_manager.h"
#include "audio/music/sound_manager.h"
#include "audio/player/audio_player.h"
#include "audio/player/audio_system.h"
#include "foundation/files/html_log.h"
#include "foundation/files/scramble_keys.h"
#include "foundation/files/xor_scramble.h"
#include "support/audio_files.h"
#include "support/audio_measure.h"

namespace {

using namespace tolvanrise::test;
constexpr int kRate = 44100;
// The module library's pitch runs about 1 % below the synthesiser's period arithmetic.
constexpr double kModulePitch = 0.015;

std::string WriteList(const TempFolder& folder, const std::string& name, std::string text,
                      uint8_t key)
{
    XorScramble(text.data(), nullptr, static_cast<uint32_t>(text.size()), key);
    return folder.WriteFile(name, text);
}

double HeardHz(platform::SoundDevice* device, double seconds)
{
    std::vector<int16_t> out;
    device->Render(static_cast<uint32_t>(seconds * kRate), &out);
    const auto s = Channel(out, 2, 0, out.size() / 4, out.size() / 4);
    return ToneLevel(s) < 50 ? 0.0 : ToneFrequency(s, kRate);
}

class ManagersTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = new TempFolder("tolvanrise_managers_");
        std::filesystem::create_directories(folder->Path("SOUNDS"));
        WriteTone(*folder, "SOUNDS/a.ogg", 441, 1, 22050, 0.3);
        WriteTone(*folder, "SOUNDS/b.ogg", 882, 1, 22050, 0.3);
        std::filesystem::create_directories(folder->Path("MUSIC"));
        for (auto [name, hz] : {std::pair{"low", 330.0}, {"high", 660.0}})
            WriteModule(*folder, std::string("MUSIC/") + name + ".skm",
                        {audio_synth::ModulePeriodForTone(hz)}, 64);
    }
    static void TearDownTestSuite() { delete folder; }

    void SetUp() override
    {
        ASSERT_TRUE(here.Entered());
        ASSERT_EQ(system.InitDirectSound(platform::SoundOutput::kManual), 1);
        bank = system.CreateSoundBank(0, nullptr);
        player = system.CreateAudioPlayer("MUSIC\\");
        ASSERT_TRUE(bank && player);
    }

    int LoadSounds(const std::string& rows)
    {
        return sounds.Init(
            &volume, bank,
            WriteList(*folder, "sound.csv",
                      "Alias;SoundName;SoundCount;VolumeMin;VolumeMax;FreqMin;FreqMax\n" + rows,
                      kSoundTableKey)
                .c_str());
    }

    static TempFolder* folder;
    ScopedCurrentFolder here{folder->Path()};
    GAudioSystem system{nullptr};
    GSoundBank* bank = nullptr;
    GAudioPlayer* player = nullptr;
    int32_t volume = 4000;
    GSoundManager sounds;
    GMusicManager music;
};
TempFolder* ManagersTest::folder = nullptr;

TEST(SoundNames, EventsAndModesByExactName)
{
    EXPECT_EQ((std::vector<int32_t>{
                  SoundEventFromName("MenuBtnSel"), SoundEventFromName("MenuBtnPress"),
                  SoundEventFromName("GameTimeWarn"), SoundEventFromName("SaluteOnPanel"),
                  SoundEventFromName("objglassbreak"), SoundEventFromName(""),
                  SoundEventFromName(nullptr)}),
              (std::vector<int32_t>{34, 35, 33, 48, -1, -1, -1}));
    EXPECT_EQ(SoundEventName(32), nullptr);
    for (int32_t event = 0; event < kSoundEventCount; ++event) {
        if (SoundEventName(event)) {
            EXPECT_EQ(SoundEventFromName(SoundEventName(event)), event);
        }
    }
    EXPECT_EQ(MusicModeFromName("gametimed"), 3);
    EXPECT_EQ(std::pair(MusicModeFromName("GameTimed"), MusicModeFromName(nullptr)),
              std::pair(-1, -1));
}

// The log names the file (the game's backslashes shown as slashes) and tells a missing file from
// one that is there but holds no sound the game plays.
TEST(AudioFileProblem, SaysWhyFromWhatTheFileSystemShows)
{
    TempFolder folder("tolvanrise_problem_");
    folder.WriteFile("junk.ogg", "no sound");
    const std::string base = folder.Path();
    const std::pair<std::string, std::string> cases[] = {
        {base + "/junk.ogg",
         base + "/junk.ogg cannot be read: it is damaged or not a sound the game plays"},
        {base + "/missing.ogg", base + "/missing.ogg cannot be read: not found"},
        {base + "\\junk.ogg",
         base + "/junk.ogg cannot be read: it is damaged or not a sound the game plays"},
        {base + "\\missing.ogg", base + "/missing.ogg cannot be read: not found"},
        {"", " cannot be read: not found"},
    };
    for (const auto& [path, said] : cases)
        EXPECT_EQ(AudioFileProblem(path), said) << path;
}

TEST_F(ManagersTest, SoundListRowsBecomeEntriesAndBankSounds)
{
    ASSERT_EQ(LoadSounds("ObjGlassBreak;a,b;2;0.5;1.0;0.9;1.1\n"
                         "NoSuchEvent;a;1\n"   // unknown alias: its sound still loads
                         "MenuBtnSel;a,,b\n"   // two commas in a row: two variants
                         "MenuBtnPress;a, b\n" // " b" is a name of its own (missing)
                         "GameEnd;\n"),        // no sound at all
              1);
    // Event, variants, lowest volume and highest rate of each row.
    using Entry = std::tuple<int32_t, std::vector<int16_t>, float, float>;
    std::vector<Entry> got;
    for (const GSoundEventEntry& e : sounds.GetEntries())
        got.emplace_back(e.event,
                         std::vector<int16_t>(e.variants.GetData(),
                                              e.variants.GetData() + e.variants.GetCount()),
                         e.volumeMin, e.freqMax);
    EXPECT_EQ(got, (std::vector<Entry>{{26, {0, 1}, 0.5f, 1.1f},
                                       {-1, {2}, 1.0f, 1.0f},
                                       {34, {3, 4}, 1.0f, 1.0f},
                                       {35, {5, 6}, 1.0f, 1.0f},
                                       {4, {}, 1.0f, 1.0f}}));
    // Ids 0..6 but for the missing " b"; event 4 has no variant; 35 may pick the silent one: still
    // "started".
    EXPECT_EQ((std::vector<int>{bank->GetCount(), bank->FindIndex(6), sounds.PlayEvent(4),
                                sounds.PickEventSound(4), sounds.PlayEvent(35)}),
              (std::vector<int>{6, -1, 0, -1, 1}));
    // A reload restarts the ids: the bank's sounds are replaced, not added.
    ASSERT_EQ(sounds.LoadSoundList("sound.csv"), 1);
    EXPECT_EQ(bank->GetCount(), 6);
}

// The draws, in order variant, volume, rate, follow the generator from the same seed; bounds
// written the wrong way round are put in order, never divided by. Bounds are truncated from
// the float: 0.9 x 100 is 89.99999..., so 89.
TEST_F(ManagersTest, PlayEventDrawsVariantVolumeAndRateInRange)
{
    ASSERT_EQ(LoadSounds("ObjGlassBreak;a,b;2;0.5;1.0;0.9;1.1\n"
                         "GameBegin;a;1;1.0;1.0;1.0;1.0\n"
                         "GameEnd;b;1;1.0;0.5;1.1;0.9\n"
                         "GameAddLife;a;1;2e9;-2e9;nan;0\n"),
              1);
    struct Case {
        int32_t event;
        std::vector<int> sounds;
        int volumeLo, volumeHi, rateLo, rateHi;
    } cases[] = {
        {26, {0, 1}, 5000, 10000, 89, 110},
        {0, {2}, 10000, 10000, 100, 100},
        {4, {3}, 5000, 10000, 89, 110},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event);
        sounds.GetRandom().SetSeed(12345);
        GRandom reference(12345);
        for (int i = 0; i < 50; ++i) {
            const int r = reference.Next();
            const int sound = c.sounds[r % c.sounds.size()];
            const int v = c.volumeLo + reference.Next() % (c.volumeHi - c.volumeLo + 1);
            const int f = c.rateLo + reference.Next() % (c.rateHi - c.rateLo + 1);
            ASSERT_EQ(sounds.PlayEvent(c.event), 1);
            EXPECT_EQ(std::tuple(bank->GetVolume(sound), bank->GetFrequency(sound),
                                 bank->IsPlaying(sound)),
                      std::tuple(v, f, 1));
        }
    }
    EXPECT_EQ(sounds.PlayEvent(5), 1); // ranges no 16 bits hold: pinned, no fault
    sounds.GetRandom().SetSeed(7);
    GRandom reference(7);
    EXPECT_EQ(sounds.PickEventSound(26), reference.Next() % 2);
}

TEST_F(ManagersTest, SoundSwitchAndMissingLists)
{
    ASSERT_EQ(LoadSounds("GameBegin;a\n"), 1);
    ASSERT_EQ(sounds.PlayEvent(0), 1);
    // Played again while it plays, the sound starts over.
    system.GetDevice()->Render(2000);
    uint32_t at = 0;
    bank->GetSound(0)->GetBuffer()->GetCurrentPosition(&at, nullptr);
    EXPECT_GT(at, 0u);
    ASSERT_EQ(sounds.PlayEvent(0), 1);
    bank->GetSound(0)->GetBuffer()->GetCurrentPosition(&at, nullptr);
    EXPECT_EQ(at, 0u);
    EXPECT_EQ(sounds.IsSoundPlaying(0) + sounds.IsSoundPlaying(99), 2); // 99 is unknown: any sound
    sounds.SetEnabled(0);
    // The bank stopped them all.
    EXPECT_EQ((std::vector<int>{sounds.IsSoundPlaying(0), bank->IsEnabled(), sounds.PlayEvent(0),
                                sounds.PickEventSound(0)}),
              (std::vector<int>{0, 0, 0, 0}));
    sounds.SetEnabled(1);
    EXPECT_EQ(sounds.PickEventSound(0) + sounds.PlayEvent(33), 0); // the only variant has id 0

    GSoundManager empty;
    // In order: nothing loaded, refused loads, then a bank but no entries.
    EXPECT_EQ((std::vector<int>{empty.PlayEvent(0), empty.PickEventSound(0),
                                empty.IsSoundPlaying(0), empty.Init(nullptr, bank, "sound.csv"),
                                empty.Init(&volume, bank, "missing.csv"), empty.PickEventSound(0)}),
              (std::vector<int>{0, 0, 0, 0, 0, -1}));
    folder->WriteFile("header_only.csv", "");
    EXPECT_EQ(empty.LoadSoundList("header_only.csv"), 0);
}

TEST_F(ManagersTest, MusicListKeepsThePlayersTrackIndices)
{
    ASSERT_EQ(player->AddTrack("earlier.ogg", 0), 1);
    const std::string list = WriteList(*folder, "music.ini",
                                       "TrackName;FileName;Pos;Vol\n"
                                       "game;low;3;0.5\n"
                                       "GameTimed;low\n"
                                       "menu;" +
                                           std::string(300, 'x') +
                                           "\n" // refused by the player
                                           "gametimed;high;;\n"
                                           "gametimed;low\n", // a second row of a mode: not played
                                       kMusicTableKey);
    ASSERT_EQ(music.Init(&volume, player, list.c_str()), 1);
    using Entry =
        std::tuple<int32_t, int16_t, int16_t, float>; // mode, track index, position, volume
    std::vector<Entry> got;
    for (const GMusicTrackEntry& e : music.GetEntries())
        got.emplace_back(e.mode, e.trackIndex, e.position, e.volume);
    EXPECT_EQ(got, (std::vector<Entry>{{0, 1, 3, 0.5f},
                                       {-1, 2, 0, 0.0f},
                                       {1, -1, 0, 0.0f},
                                       {3, 3, 0, 0.0f},
                                       {3, 4, 0, 0.0f}}));
    EXPECT_EQ(player->GetTrackCount(), 5);

    music.PlayForMode(3);
    EXPECT_NEAR(HeardHz(system.GetDevice(), 0.5), 660, 660 * kModulePitch);
    EXPECT_EQ(std::pair(player->GetVolume(), music.GetMode()), std::pair(4000, 3));
    music.PlayForMode(2); // no row: the mode stays
    EXPECT_EQ(music.GetMode(), 3);
    music.PlayForMode(1); // its track was refused: silence rather than another mode's track
    EXPECT_EQ(std::tuple(music.GetMode(), player->IsPlaying()), std::tuple(1, 0));

    GMusicManager silent;
    EXPECT_EQ(
        silent.Init(&volume, nullptr, list.c_str()) + silent.Init(&volume, player, "missing.ini") +
            silent.Init(nullptr, player, list.c_str()) + silent.Init(&volume, player, nullptr),
        0);
    silent.PlayForMode(1);
    EXPECT_EQ(silent.GetMode(), 1);
}

// Tracks the player removes (one refused by PlayTrack, one by a refill when its file went)
// leave every other mode on its own track; a removed one's mode stays silent, with one line
// in the log.
TEST_F(ManagersTest, RemovedTracksLeaveTheOtherModesOnTheirOwn)
{
    folder->WriteFile("MUSIC/gone.skm", ReadFileBytes(folder->Path("MUSIC/low.skm")));
    const std::string list = WriteList(*folder, "music.ini",
                                       "TrackName;FileName;Pos;Vol\n"
                                       "game;gone\nmenu;missing\ngameend;high\ngametimed;low\n",
                                       kMusicTableKey);
    ASSERT_EQ(music.Init(&volume, player, list.c_str()), 1);
    if (!player->HasModuleLibrary())
        GTEST_SKIP() << "libxmp not installed";
    GDefaultLog::Get()->SetFileName(folder->Path("defaultlog.html").c_str());
    const int errors = GDefaultLog::Get()->GetErrorCount();
    music.PlayForMode(1);
    EXPECT_EQ(player->IsPlaying(), 0);
    music.PlayForMode(0);
    std::filesystem::remove(folder->Path("MUSIC/gone.skm"));
    system.GetDevice()->Render(3 * kRate);
    EXPECT_EQ(player->GetTrackCount(), 2);
    for (auto [mode, hz] : {std::pair{2, 660.0}, {3, 330.0}, {0, 0.0}, {1, 0.0}, {2, 660.0}}) {
        music.PlayForMode(mode);
        EXPECT_NEAR(HeardHz(system.GetDevice(), 0.5), hz, hz * kModulePitch + 1) << mode;
    }
    // Each entry knows where its track is now, or that it is gone.
    std::vector<int16_t> indices;
    for (const GMusicTrackEntry& e : music.GetEntries())
        indices.push_back(e.trackIndex);
    EXPECT_EQ(indices, (std::vector<int16_t>{-1, -1, 0, 1}));
    EXPECT_EQ(GDefaultLog::Get()->GetErrorCount() - errors, 2);
}

// Each step: the value passed, then whether music plays and whether the track started again.
TEST_F(ManagersTest, MusicSwitchSequence)
{
    const std::string list =
        WriteList(*folder, "music.ini", "TrackName;FileName;Pos;Vol\nmenu;high\n", kMusicTableKey);
    ASSERT_EQ(music.Init(&volume, player, list.c_str()), 1);
    music.PlayForMode(1);
    struct Step {
        int32_t flag;
        bool playing, restarted;
    } steps[] = {{1, true, false},    {0, false, false}, {1, true, true},   {4000, true, true},
                 {4000, true, false}, {1, true, true},   {0, false, false}, {0, false, false}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.flag);
        system.GetDevice()->Render(kRate / 4);
        const double before = player->GetPlayedMs();
        music.SetEnabled(step.flag);
        EXPECT_EQ(music.IsEnabled(), step.flag);
        EXPECT_EQ(player->IsPlaying(), step.playing ? 1 : 0);
        if (step.playing) {
            EXPECT_EQ(player->GetPlayedMs() < before, step.restarted);
        }
    }
    music.PlayForMode(1); // disabled: nothing starts
    EXPECT_EQ(player->IsPlaying(), 0);
}

// What the game's start-up reads: the lists and files of the data folder the build makes.
TEST(DataFolderAudio, ListsPlayTheirTracksAndEffects)
{
    ScopedCurrentFolder data{TOLVANRISE_DATA_DIR};
    ASSERT_TRUE(data.Entered());
    GAudioSystem system{nullptr};
    ASSERT_EQ(system.InitDirectSound(platform::SoundOutput::kManual), 1);
    GAudioPlayer* player = system.CreateAudioPlayer("MUSIC\\");
    GSoundBank* bank = system.CreateSoundBank(0, "SOUNDS\\");
    int32_t volume = 10000;
    GSoundManager sounds;
    ASSERT_EQ(sounds.Init(&volume, bank, "SOUNDS\\sound.csv"), 1);
    GMusicManager music;
    ASSERT_EQ(music.Init(&volume, player, "MUSIC\\music.ini"), 1);

    for (int32_t event = 0; event < kSoundEventCount; ++event)
        EXPECT_EQ(sounds.PlayEvent(event), event == 32 ? 0 : 1) << event;
    EXPECT_EQ(bank->GetCount(), 56);
    bank->StopSound(-1);

    const double expected[] = {330, 440, 554, 660};
    for (int32_t mode : {1, 0, 2, 3}) {
        music.PlayForMode(mode);
        EXPECT_NEAR(HeardHz(system.GetDevice(), 0.6), expected[mode], expected[mode] * kModulePitch)
            << mode;
    }
    for (const char* kind : {"MUSIC/menu.ogg", "MUSIC/menu.mp3"}) {
        player->ClearTracks();
        ASSERT_EQ(player->AddTrack(kind + 6, 0), 1);
        ASSERT_EQ(player->PlayTrack(0, 0), 1);
        EXPECT_NEAR(HeardHz(system.GetDevice(), 0.6), 440, 3) << kind;
    }
}

} // namespace
