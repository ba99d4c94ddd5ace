// The profile store and the top-score table on disk: defaults, round trips through the record
// files, bytes the engine does not interpret kept, damaged files falling back to the defaults.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/files/data_files.h"
#include "game/profiles/player_profiles.h"
#include "platform/window/message_box.h"
#include "support/temp_files.h"

namespace {

namespace fs = std::filesystem;
using tolvanrise::test::TempFolder;

int g_alerts = 0;

bool SilentAlert(const platform::MessageBoxRequest&, platform::MessageBoxAnswer& answer)
{
    ++g_alerts;
    answer = platform::MessageBoxAnswer::kOk;
    return true;
}

// The first two flags and the two volumes.
std::tuple<int, int, int, int> Values(const GGameSettings& s)
{
    return {s.flags[0], s.flags[1], s.musicVolume, s.soundVolume};
}

class ProfilesTest : public testing::Test {
protected:
    void SetUp() override { platform::SetMessageBoxBackend(&SilentAlert); }
    void TearDown() override { platform::SetMessageBoxBackend(nullptr); }

    std::string Folder() const { return m_folder.Path("PROFILES"); }
    // The record's plain bytes as the store would write them.
    void WriteRecord(int32_t number, std::string bytes)
    {
        fs::create_directories(Folder());
        ASSERT_EQ(WriteUserRecordFile(number, bytes.data(), static_cast<uint32_t>(bytes.size()),
                                      Folder().c_str()),
                  1);
    }

    TempFolder m_folder{"profiles_", fs::current_path()};
};

TEST_F(ProfilesTest, DefaultsSaveCreatesTheFolderAndLoadsBack)
{
    GPlayerProfiles profiles(Folder());
    EXPECT_EQ(profiles.Load(), 0); // nothing saved yet
    EXPECT_EQ(Values(profiles.GetDefaultSettings()), std::tuple(1, 1, 4000, 6000));

    profiles.GetDefaultSettings().musicVolume = 2500;
    profiles.GetDefaultSettings().flags[GGameSettings::kFullScreenFlag] = 0;
    ASSERT_EQ(profiles.Save(), 1);
    EXPECT_EQ(fs::file_size(Folder() + "/00000000.bin"), GPlayerProfiles::kStoreSize);

    GPlayerProfiles again(Folder());
    ASSERT_EQ(again.Load(), 1);
    EXPECT_EQ(Values(again.GetDefaultSettings()), std::tuple(0, 1, 2500, 6000));
}

TEST_F(ProfilesTest, BytesBeyondTheSettingsSurviveASave)
{
    std::string bytes(GPlayerProfiles::kStoreSize, '\0');
    GGameSettings settings;
    settings.soundVolume = 100;
    std::memcpy(bytes.data(), &settings, sizeof settings);
    for (size_t i = sizeof settings; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    WriteRecord(0, bytes);

    GPlayerProfiles profiles(Folder());
    ASSERT_EQ(profiles.Load(), 1);
    EXPECT_EQ(profiles.GetDefaultSettings().soundVolume, 100);
    profiles.GetDefaultSettings().soundVolume = 200;
    ASSERT_EQ(profiles.Save(), 1);
    std::string back(GPlayerProfiles::kStoreSize, '\0');
    ASSERT_EQ(ReadUserRecordFile(0, back.data(), GPlayerProfiles::kStoreSize, Folder().c_str()), 1);
    EXPECT_EQ(back.substr(sizeof settings), bytes.substr(sizeof settings));

    // A store that cannot be read afterwards gives the defaults, the players' bytes included.
    fs::remove(Folder() + "/00000000.bin");
    fs::create_directory(Folder() + "/00000000.bin");
    EXPECT_EQ(profiles.Load(), 0);
    EXPECT_EQ(Values(profiles.GetDefaultSettings()), std::tuple(1, 1, 4000, 6000));
    ASSERT_EQ(profiles.Save(), 1);
    ASSERT_EQ(ReadUserRecordFile(0, back.data(), GPlayerProfiles::kStoreSize, Folder().c_str()), 1);
    EXPECT_EQ(back.substr(sizeof settings), std::string(back.size() - sizeof settings, '\0'));
}

TEST_F(ProfilesTest, DamagedStoresGiveTheDefaults)
{
    const struct {
        const char* what;
        int32_t music, sound;
        uint8_t flag;
        bool empty = false;
        uint8_t flag0 = 1;
    } cases[] = {
        {"music volume above the scale", 10001, 6000, 1},
        {"negative sound volume", 4000, -1, 1},
        {"flag neither 0 nor 1", 4000, 6000, 7},
        {"first flag neither 0 nor 1", 4000, 6000, 1, false, 2},
        {"empty file", 4000, 6000, 1, true},
    };
    for (const auto& c : cases) {
        std::string bytes(GPlayerProfiles::kStoreSize, '\x55');
        GGameSettings settings;
        settings.musicVolume = c.music;
        settings.soundVolume = c.sound;
        settings.flags[0] = c.flag0;
        settings.flags[1] = c.flag;
        std::memcpy(bytes.data(), &settings, sizeof settings);
        WriteRecord(0, c.empty ? std::string() : bytes);
        EXPECT_NE(settings.IsPlausible(), !c.empty) << c.what;
        GPlayerProfiles profiles(Folder());
        EXPECT_EQ(profiles.Load(), 0) << c.what;
        EXPECT_TRUE(profiles.GetDefaultSettings().IsPlausible()) << c.what;
        EXPECT_EQ(Values(profiles.GetDefaultSettings()), std::tuple(1, 1, 4000, 6000)) << c.what;
    }
}

// Only the fields that fail the check take their defaults; the players' bytes stay as read and
// the first save keeps the old file as "<name>.damaged" before it writes the mended one.
TEST_F(ProfilesTest, ImplausibleFieldsFallBackAloneAndTheOldFileIsKeptOnce)
{
    const struct {
        const char* what;
        uint8_t flag0;
        int32_t music, sound;
        std::tuple<int, int, int, int> loaded;
        const char* said;
    } cases[] = {
        {"music above the scale", 0, 10001, 300, {0, 1, 4000, 300}, "music volume 10001"},
        {"negative sound", 1, 0, -1, {1, 1, 0, 6000}, "sound volume -1"},
        {"first flag 9, music INT32_MIN",
         9,
         INT32_MIN,
         10000,
         {1, 1, 4000, 10000},
         "first flag 9, music volume"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes(GPlayerProfiles::kStoreSize, '\0');
        for (size_t i = sizeof(GGameSettings); i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 13);
        GGameSettings settings;
        settings.flags[0] = c.flag0, settings.musicVolume = c.music, settings.soundVolume = c.sound;
        std::memcpy(bytes.data(), &settings, sizeof settings);
        WriteRecord(0, bytes);
        const std::string onDisk = tolvanrise::test::ReadFileBytes(Folder() + "/00000000.bin");

        GPlayerProfiles profiles(Folder());
        EXPECT_EQ(profiles.Load(), 0);
        EXPECT_EQ(Values(profiles.GetDefaultSettings()), c.loaded);
        const std::vector<std::string> notes = profiles.TakeNotes();
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_NE(notes[0].find(c.said), std::string::npos) << notes[0];
        g_alerts = 0;
        profiles.TakeAlerts();
        ASSERT_EQ(profiles.Save(), 1);
        // The player hears of the copy, in the one box its caller shows for all records.
        EXPECT_EQ(g_alerts, 0);
        const std::vector<std::string> told = profiles.TakeAlerts();
        ASSERT_EQ(told.size(), 1u);
        EXPECT_NE(told[0].find("the old file is kept as /"), std::string::npos) << told[0];
        const std::vector<std::string> saved = profiles.TakeNotes();
        ASSERT_EQ(saved.size(), 1u);
        EXPECT_NE(saved[0].find("the old file is kept as /"), std::string::npos) << saved[0];
        EXPECT_TRUE(saved[0].ends_with("/00000000.bin.damaged")) << saved[0];
        EXPECT_EQ(tolvanrise::test::ReadFileBytes(Folder() + "/00000000.bin.damaged"), onDisk);
        std::string back(GPlayerProfiles::kStoreSize, '\0');
        ASSERT_EQ(ReadUserRecordFile(0, back.data(), GPlayerProfiles::kStoreSize, Folder().c_str()),
                  1);
        EXPECT_EQ(back.substr(sizeof settings), bytes.substr(sizeof settings));
        // Mended: the next save makes no copy.
        fs::remove(Folder() + "/00000000.bin.damaged");
        ASSERT_EQ(profiles.Save(), 1);
        EXPECT_FALSE(fs::exists(Folder() + "/00000000.bin.damaged"));
        GPlayerProfiles again(Folder());
        EXPECT_EQ(again.Load(), 1);
    }
}

// Where the old file cannot be kept aside (a folder full of things holds the copy's name), the
// record is not written over, and the next try says so again.
TEST_F(ProfilesTest, ARecordThatCannotBeKeptIsNotWrittenOver)
{
    WriteRecord(9999, std::string(500, 'x')); // too short: damaged
    const std::string onDisk = tolvanrise::test::ReadFileBytes(Folder() + "/00009999.bin");
    fs::create_directories(Folder() + "/00009999.bin.damaged/full");
    GTopScoreTable table(Folder());
    EXPECT_EQ(table.Load(), 1);
    table.TakeNotes();
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(table.Save(), 0);
        const std::vector<std::string> notes = table.TakeNotes();
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_NE(notes[0].find("it is not written over"), std::string::npos) << notes[0];
        EXPECT_EQ(tolvanrise::test::ReadFileBytes(Folder() + "/00009999.bin"), onDisk);
    }
    // A file that is there but no record (a folder) is not taken for a missing one.
    fs::remove_all(Folder() + "/00009999.bin.damaged");
    fs::remove(Folder() + "/00000000.bin");
    fs::create_directory(Folder() + "/00000000.bin");
    GPlayerProfiles profiles(Folder());
    EXPECT_EQ(profiles.Load(), 0);
    EXPECT_EQ(profiles.Save(), 1);
    EXPECT_TRUE(fs::is_directory(Folder() + "/00000000.bin.damaged"));
    EXPECT_EQ(profiles.Load(), 1);
}

TEST_F(ProfilesTest, TopScoresRoundTripAsRecord9999)
{
    GTopScoreTable table(Folder());
    EXPECT_EQ(table.Load(), 0);
    std::strcpy(table.Entries()[0].name, "Ada");
    table.Entries()[0].score = 12345;
    table.Entries()[29].score = -1;
    ASSERT_EQ(table.Save(), 1);
    EXPECT_EQ(fs::file_size(Folder() + "/00009999.bin"), 1080u);

    GTopScoreTable again(Folder());
    ASSERT_EQ(again.Load(), 1);
    EXPECT_EQ(std::tuple(std::string(again.Entries()[0].name), again.Entries()[0].score,
                         again.Entries()[29].score),
              std::tuple(std::string("Ada"), 12345, -1));

    // A name without its terminator in the file still ends inside its field.
    WriteRecord(9999, std::string(1080, 'x'));
    ASSERT_EQ(again.Load(), 1);
    EXPECT_EQ(std::strlen(again.Entries()[0].name), sizeof again.Entries()[0].name - 1);

    // Each damaged read says why; a whole file read after one leaves nothing to keep aside.
    for (auto [bytes, said] : {std::pair{std::string(1080, 'x'), "a name runs past its field"},
                               {std::string(500, '\0'), "it is not 1080 bytes long"}}) {
        WriteRecord(9999, bytes);
        again.TakeNotes();
        again.Load();
        const std::vector<std::string> notes = again.TakeNotes();
        ASSERT_EQ(notes.size(), 1u) << said;
        EXPECT_NE(notes[0].find(said), std::string::npos) << notes[0];
    }
    WriteRecord(9999, std::string(1080, '\0'));
    ASSERT_EQ(again.Load(), 1);
    ASSERT_EQ(again.Save(), 1);
    EXPECT_FALSE(fs::exists(Folder() + "/00009999.bin.damaged"));
}

} // namespace

namespace {

// A switch turned off and on again brings back the volume the slider showed (to its step of a
// hundredth), through a save and a load as well; a switch never turned off brings the default.
TEST_F(ProfilesTest, ASwitchedOffVolumeComesBackAtItsSliderStep)
{
    const struct {
        int32_t volume, back;
    } cases[] = {{1, 100},     {49, 100},    {50, 100},     {149, 100},    {150, 200},
                 {2549, 2500}, {2550, 2600}, {9999, 10000}, {10000, 10000}};
    for (const GGameSettings::Audio audio : {GGameSettings::kMusic, GGameSettings::kSound})
        for (const auto& c : cases) {
            GPlayerProfiles profiles(Folder());
            GGameSettings& s = profiles.GetDefaultSettings();
            s.Volume(audio) = c.volume;
            const int32_t other = s.Volume(audio == GGameSettings::kMusic ? GGameSettings::kSound
                                                                          : GGameSettings::kMusic);
            s.Switch(audio, true); // already on: nothing
            EXPECT_EQ(s.Volume(audio), c.volume);
            s.Switch(audio, false);
            EXPECT_FALSE(s.IsOn(audio));
            s.Switch(audio, false); // already off: what was put aside stays
            EXPECT_EQ(s.PutAside(audio), c.back) << c.volume;
            ASSERT_EQ(profiles.Save(), 1);
            GPlayerProfiles again(Folder());
            ASSERT_EQ(again.Load(), 1);
            GGameSettings& read = again.GetDefaultSettings();
            EXPECT_EQ(read.Volume(audio), 0);
            read.Switch(audio, true);
            EXPECT_EQ(read.Volume(audio), c.back) << c.volume;
            EXPECT_EQ(read.Volume(audio == GGameSettings::kMusic ? GGameSettings::kSound
                                                                 : GGameSettings::kMusic),
                      other);
        }
    const GGameSettings defaults;
    for (const GGameSettings::Audio audio : {GGameSettings::kMusic, GGameSettings::kSound}) {
        GGameSettings s;
        s.Volume(audio) = 0;
        s.Switch(audio, true);
        EXPECT_EQ(s.Volume(audio), defaults.Volume(audio));
        // A volume out of the scale is put aside as the whole scale, a negative one as none.
        s.SetPutAside(audio, 20000);
        EXPECT_EQ(s.PutAside(audio), GGameSettings::kMaxVolume);
        s.SetPutAside(audio, -5);
        EXPECT_EQ(s.PutAside(audio), 0);
    }
}

// A put-aside volume past the scale in the file is reset alone and named.
TEST_F(ProfilesTest, APutAsideVolumePastTheScaleIsResetAlone)
{
    for (const int audio : {0, 1}) {
        GGameSettings settings;
        settings.putAside[audio] = 101;
        settings.putAside[1 - audio] = 100;
        std::string bytes(GPlayerProfiles::kStoreSize, '\0');
        std::memcpy(bytes.data(), &settings, sizeof settings);
        WriteRecord(0, bytes);
        GPlayerProfiles profiles(Folder());
        EXPECT_EQ(profiles.Load(), 0);
        const GGameSettings& read = profiles.GetDefaultSettings();
        EXPECT_EQ(read.putAside[audio], 0);
        EXPECT_EQ(read.putAside[1 - audio], 100);
        const std::vector<std::string> notes = profiles.TakeNotes();
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_NE(notes[0].find(audio == 0 ? "music put aside 101" : "sound put aside 101"),
                  std::string::npos)
            << notes[0];
        profiles.TakeAlerts();
        fs::remove_all(Folder());
    }
}

// A file where the profiles folder should be: neither record is written, each says why, and
// nothing of the file is lost.
TEST_F(ProfilesTest, AFileWhereTheFolderShouldBeFailsEverySaveSayingSo)
{
    std::filesystem::create_directories(m_folder.Path(""));
    std::ofstream(Folder(), std::ios::binary) << "not a folder";
    GPlayerProfiles profiles(Folder());
    GTopScoreTable scores(Folder());
    EXPECT_EQ(profiles.Save(), 0);
    EXPECT_EQ(scores.Save(), 0);
    for (const std::string& why : {profiles.GetWriteFailure(), scores.GetWriteFailure()})
        EXPECT_NE(why.find("a file stands in the folder"), std::string::npos) << why;
    EXPECT_EQ(tolvanrise::test::ReadFileBytes(Folder()), "not a folder");
    std::filesystem::remove(Folder());
    EXPECT_EQ(profiles.Save(), 1);
    EXPECT_EQ(profiles.GetWriteFailure(), "");
}

} // namespace
