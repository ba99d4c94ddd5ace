// The player's record files through the real program: damaged or unreadable records are never
// written over without a copy and each says what happened, and a close killed at any moment
// leaves whole records in the documented order with no temporary behind.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "foundation/files/data_files.h"
#include "game/profiles/player_profiles.h"
#include "support/game_data_folder.h"
#include "support/program_runner.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using tolvanrise::test::GameDataFolder;
using tolvanrise::test::ReadFileBytes;
using tolvanrise::test::RunningProgram;
using tolvanrise::test::WriteFileBytes;

constexpr uint32_t kStore = GPlayerProfiles::kStoreSize;
constexpr uint32_t kScores = 1080;
constexpr size_t kSettings = sizeof(GGameSettings);

// A store whose profile bytes (after the settings) are a pattern no default would give.
std::string PlayersStore()
{
    std::string plain(kStore, '\0');
    const GGameSettings settings;
    std::memcpy(plain.data(), &settings, kSettings);
    for (size_t i = kSettings; i < plain.size(); ++i)
        plain[i] = char((i * 7 + 3) & 0xFF);
    return plain;
}

std::string Scrambled(std::string plain, int32_t number)
{
    for (size_t i = 0; i < plain.size(); ++i)
        plain[i] = char(plain[i] ^ uint8_t(number + int32_t(i)));
    return plain;
}

std::string Plain(const std::string& path, int32_t number)
{
    return Scrambled(ReadFileBytes(path), number);
}

std::set<std::string> Temporaries(const std::string& folder)
{
    std::set<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".tmp")
            found.insert(entry.path().filename());
    return found;
}

// Starts the game in the folder, its log of an earlier run gone (WaitUntilLoaded reads it).
std::unique_ptr<RunningProgram> Start(const GameDataFolder& data)
{
    fs::remove(data.Data("Tolvanrise.html"));
    return std::make_unique<RunningProgram>(TOLVANRISE_EXECUTABLE, data.DataFolder(),
                                            data.HomeEnv());
}

// Waits (at most 30 s, for slow sanitizer builds) until the game has read the player's files:
// only a close after that writes them.
void WaitUntilLoaded(const GameDataFolder& data)
{
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (ReadFileBytes(data.Data("Tolvanrise.html")).find("Start-up data loaded") ==
               std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
}

enum class Expect { kKeptInRecord, kKeptInCopy, kCopyIsTheThing };

struct RecordCase {
    const char* what;
    int32_t record;                                      // the record the case damages
    std::function<void(const std::string& file)> damage; // applied to a good record file
    Expect expect;
    const char* said; // in the log and the alert; null: nothing to say
};

void Chmod(const std::string& file, mode_t mode)
{
    ASSERT_EQ(::chmod(file.c_str(), mode), 0);
}

std::vector<RecordCase> Cases()
{
    const bool root = ::geteuid() == 0;
    if (root)
        std::printf("running as root, where mode 0200 is readable: a link that loops stands for "
                    "the unreadable file\n");
    const auto settings = [](int32_t music) {
        return [music](const std::string& file) {
            std::string plain = Scrambled(ReadFileBytes(file), 0);
            std::memcpy(plain.data() + 4, &music, 4);
            WriteFileBytes(file, Scrambled(plain, 0));
        };
    };
    return {
        {"implausible music volume", 0, settings(10001), Expect::kKeptInRecord,
         "music volume 10001"},
        {"flipped bytes in the settings and a profile", 0,
         [](const std::string& file) {
             std::string bytes = ReadFileBytes(file);
             for (size_t i : {4, 5, 6, 7, 8, 9, 10, 11, 3000})
                 bytes[i] = char(bytes[i] ^ 0xFF);
             WriteFileBytes(file, bytes);
         },
         Expect::kKeptInRecord, "settings out of range"},
        {"truncated store", 0,
         [](const std::string& file) { WriteFileBytes(file, ReadFileBytes(file).substr(0, 5000)); },
         Expect::kKeptInRecord, "is not 8160 bytes long"},
        {"truncated scores", 9999,
         [](const std::string& file) { WriteFileBytes(file, ReadFileBytes(file).substr(0, 500)); },
         Expect::kKeptInRecord, "is not 1080 bytes long"},
        {"empty store", 0, [](const std::string& file) { WriteFileBytes(file, ""); },
         Expect::kKeptInCopy, "0 bytes read"},
        {root ? "a link that loops" : "mode 0200", 0,
         [root](const std::string& file) {
             if (root) {
                 fs::remove(file);
                 fs::create_symlink(fs::path(file).filename(), file);
             } else {
                 Chmod(file, 0200);
             }
         },
         root ? Expect::kCopyIsTheThing : Expect::kKeptInCopy,
         root ? "not a plain file" : "cannot be read"},
        {"a folder in the file's place", 9999,
         [](const std::string& file) {
             fs::remove(file);
             fs::create_directory(file);
             WriteFileBytes(file + "/inside", "player's");
         },
         Expect::kCopyIsTheThing, "a folder stands in its place"},
        {"a stale temporary of a killed save", 0,
         [](const std::string& file) {
             const fs::path path(file);
             WriteFileBytes(
                 path.parent_path() / ("." + path.filename().string() + ".99999999.3.tmp"), "half");
         },
         Expect::kKeptInRecord, nullptr},
    };
}

// Each damaged or unreadable record, one program run each (all at once): after start and close
// the players' bytes are in the new record or in "<name>.damaged" beside it, the log and the
// alert say what happened, and no temporary is left.
TEST(RecordFiles, DamagedOrUnreadableRecordsAreKeptAndSaySo)
{
    const std::vector<RecordCase> cases = Cases();
    const std::string store = PlayersStore();
    std::string scores(kScores, '\0');
    for (size_t i = 0; i < scores.size(); ++i)
        scores[i] = char(i % 36 < 31 ? 'a' + i % 26 : i % 36 == 31 ? 0 : i);
    std::vector<std::unique_ptr<GameDataFolder>> folders;
    std::vector<std::unique_ptr<RunningProgram>> programs;
    for (const RecordCase& c : cases) {
        const auto& data =
            *folders.emplace_back(std::make_unique<GameDataFolder>("records_", false));
        fs::create_directories(data.ProfilesFolder());
        ASSERT_TRUE(WriteFileBytes(data.ProfilesFolder() + "/00000000.bin", Scrambled(store, 0)));
        ASSERT_TRUE(
            WriteFileBytes(data.ProfilesFolder() + "/00009999.bin", Scrambled(scores, 9999)));
        c.damage(UserRecordFileName(c.record, data.ProfilesFolder().c_str()));
        programs.push_back(Start(data));
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        const RecordCase& c = cases[i];
        const GameDataFolder& data = *folders[i];
        SCOPED_TRACE(c.what);
        WaitUntilLoaded(data);
        const auto run = programs[i]->Finish(0ms);
        EXPECT_TRUE(run.closed && run.exitCode == 0)
            << "exit " << run.exitCode << ", signal " << run.signal;
        const std::string file = UserRecordFileName(c.record, data.ProfilesFolder().c_str());
        const std::string copy = file + ".damaged";
        const std::string& original = c.record == 0 ? store : scores;
        const size_t from = c.record == 0 ? kSettings : 0;
        // The players' bytes as far as the damage left them.
        const size_t to = std::string(c.what).find("truncated") == 0 ? (c.record == 0 ? 5000 : 500)
                                                                     : original.size();
        // A record not written whole fails here; the other rows are still checked.
        std::string now = Plain(file, c.record);
        EXPECT_EQ(now.size(), original.size()) << "the record is written whole";
        now.resize(original.size());
        switch (c.expect) {
        case Expect::kKeptInRecord: {
            std::string expected = original.substr(from, to - from);
            if (std::string(c.what).find("flipped") == 0)
                expected[3000 - from] =
                    char(expected[3000 - from] ^ 0xFF); // a profile's byte is the player's
            EXPECT_EQ(now.substr(from, to - from), expected);
            break;
        }
        case Expect::kKeptInCopy:
            ::chmod(copy.c_str(), 0600);
            EXPECT_EQ(Plain(copy, c.record),
                      std::string(c.what).find("empty") == 0 ? "" : original);
            break;
        case Expect::kCopyIsTheThing: {
            struct stat st {};
            EXPECT_EQ(::lstat(copy.c_str(), &st), 0);
            EXPECT_TRUE(S_ISLNK(st.st_mode) || ReadFileBytes(copy + "/inside") == "player's");
            break;
        }
        }
        EXPECT_EQ(Temporaries(data.ProfilesFolder()), std::set<std::string>{});
        const std::string log = ReadFileBytes(data.Data("Tolvanrise.html"));
        const std::string box = ReadFileBytes(data.Data("stderr.txt"));
        if (c.said) {
            EXPECT_NE(log.find(c.said), std::string::npos)
                << log.substr(log.size() > 3000 ? log.size() - 3000 : 0);
            EXPECT_NE(log.find("the old file is kept as " + copy), std::string::npos);
            EXPECT_NE(box.find("the old file is kept as " + copy), std::string::npos) << box;
        } else {
            EXPECT_FALSE(fs::exists(copy));
        }
        // The next save of the mended record needs no copy and makes none.
        EXPECT_EQ(log.find("could not be used", log.find("the old file is kept as")),
                  std::string::npos);
    }
}

// 40 closes killed at random moments: each leaves whole records, never a store newer than the
// scores beside it (the scores are written first), and the next run removes every temporary.
TEST(RecordFiles, AKilledCloseLeavesWholeRecordsInTheDocumentedOrder)
{
    constexpr int kFolders = 8, kRounds = 5;
    std::vector<std::unique_ptr<GameDataFolder>> folders;
    for (int i = 0; i < kFolders; ++i) {
        folders.push_back(std::make_unique<GameDataFolder>("records_kill_", false));
        fs::create_directories(folders.back()->ProfilesFolder());
    }
    const auto inode = [](const std::string& file) {
        struct stat st {};
        return ::stat(file.c_str(), &st) == 0 ? st.st_ino : ino_t(0);
    };
    // How long a close takes here: the kills fall anywhere inside it.
    auto close = 40ms;
    {
        const auto program = Start(*folders[0]);
        WaitUntilLoaded(*folders[0]);
        const auto start = std::chrono::steady_clock::now();
        program->Signal(SIGTERM);
        ASSERT_EQ(program->Finish(10s).exitCode, 0);
        close = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - start) +
                5ms;
    }
    std::mt19937 rng(24);
    int oldOld = 0, newNew = 0, newScoresOnly = 0;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::unique_ptr<RunningProgram>> programs;
        std::vector<std::pair<ino_t, ino_t>> before;
        for (const auto& data : folders) {
            const std::string store = data->ProfilesFolder() + "/00000000.bin";
            const std::string scores = data->ProfilesFolder() + "/00009999.bin";
            WriteFileBytes(store, Scrambled(PlayersStore(), 0));
            WriteFileBytes(scores, Scrambled(std::string(kScores, '\0'), 9999));
            before.emplace_back(inode(store), inode(scores));
            programs.push_back(Start(*data));
        }
        for (int i = 0; i < kFolders; ++i) {
            WaitUntilLoaded(*folders[i]);
            programs[i]->Signal(SIGTERM);
            std::this_thread::sleep_for(std::chrono::microseconds(rng() % (close.count() * 1000)));
            programs[i]->Signal(SIGKILL);
            programs[i]->Finish(10s);
            const std::string store = folders[i]->ProfilesFolder() + "/00000000.bin";
            const std::string scores = folders[i]->ProfilesFolder() + "/00009999.bin";
            const bool newStore = inode(store) != before[i].first,
                       newScores = inode(scores) != before[i].second;
            EXPECT_TRUE(!newStore || newScores) << "a new store beside old scores, round " << round;
            (newStore ? newNew : newScores ? newScoresOnly : oldOld)++;
            EXPECT_EQ(Plain(store, 0).substr(kSettings), PlayersStore().substr(kSettings));
            EXPECT_EQ(ReadFileBytes(scores).size(), kScores);
        }
    }
    std::printf("killed closes: %d left both records old, %d both new, %d new scores beside the "
                "old store\n",
                oldOld, newNew, newScoresOnly);
    std::vector<std::unique_ptr<RunningProgram>> programs;
    for (const auto& data : folders)
        programs.push_back(Start(*data));
    for (int i = 0; i < kFolders; ++i) {
        WaitUntilLoaded(*folders[i]);
        EXPECT_EQ(programs[i]->Finish(0ms).exitCode, 0);
        EXPECT_EQ(Temporaries(folders[i]->ProfilesFolder()), std::set<std::string>{});
    }
}

} // namespace
