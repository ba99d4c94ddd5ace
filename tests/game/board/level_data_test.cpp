// Reading the level list, the level files and the options: what a good file gives, and that a
// damaged, missing or out-of-range one is refused with one line of the log and never more.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "foundation/files/html_log.h"
#include "game/board/level_data.h"
#include "support/temp_files.h"

namespace {

using tolvanrise::test::ReadFileBytes;
using tolvanrise::test::TempFolder;

template <class Reader>
auto ReadText(Reader reader, std::string_view text)
{
    return reader(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

auto List(std::string_view text)
{
    return ReadText(ReadLevelList, text);
}

const char* kHeader = "Name;File;Shots;Colours;Seconds\n";

TEST(LevelList, GoodRowsGiveTheLevelsInOrderWithTheirLimits)
{
    const auto list =
        List(std::string("#") + kHeader +
             "\r\nDawn; dawn.ini ;1;1;0;extra\n# a comment\nDusk;dusk.ini; 999 ;4;3600\n");
    ASSERT_TRUE(list.Ok()) << list.error;
    ASSERT_EQ(list.value.size(), 2u);
    EXPECT_EQ(list.value[0].name, "Dawn");
    EXPECT_EQ(list.value[0].file, "dawn.ini");
    EXPECT_EQ(list.value[0].shots, 1);
    EXPECT_EQ(list.value[0].colours, 1);
    EXPECT_EQ(list.value[0].seconds, 0);
    EXPECT_EQ(list.value[1].shots, 999);
    EXPECT_EQ(list.value[1].colours, 4);
    EXPECT_EQ(list.value[1].seconds, 3600);
}

TEST(LevelList, ADamagedListOrAnyBadRowIsRefusedSayingWhere)
{
    const struct {
        const char* name;
        std::string text;
        const char* mentions;
    } cases[] = {
        {"no bytes", "", "empty"},
        {"only blanks", " \n\n", "Name"},
        {"a column missing", "Name;File;Shots;Colours\nA;a.ini;10;3\n", "Seconds"},
        {"no row", kHeader, "no level"},
        {"no shots", std::string(kHeader) + "A;a.ini;0;3;0\n", "Shots"},
        {"too many shots", std::string(kHeader) + "A;a.ini;1000;3;0\n", "Shots"},
        {"shots not a number", std::string(kHeader) + "A;a.ini;12abc;3;0\n", "Shots"},
        {"shots left empty", std::string(kHeader) + "A;a.ini;;3;0\n", "Shots"},
        {"no colour", std::string(kHeader) + "A;a.ini;10;0;0\n", "Colours"},
        {"five colours", std::string(kHeader) + "A;a.ini;10;5;0\n", "Colours"},
        {"negative time", std::string(kHeader) + "A;a.ini;10;3;-1\n", "Seconds"},
        {"a short row", std::string(kHeader) + "A;a.ini;10;3\n", "Seconds"},
        {"no name", std::string(kHeader) + " ;a.ini;10;3;0\n", "name"},
        {"a file up the tree", std::string(kHeader) + "A;../a.ini;10;3;0\n", "file"},
        {"a file in a folder", std::string(kHeader) + "A;sub\\a.ini;10;3;0\n", "file"},
        {"the second row bad", std::string(kHeader) + "A;a.ini;10;3;0\nB;b.ini;10;9;0\n", "row 2"},
    };
    for (const auto& c : cases) {
        const auto list = List(c.text);
        EXPECT_FALSE(list.Ok()) << c.name;
        EXPECT_NE(list.error.find(c.mentions), std::string::npos) << c.name << ": " << list.error;
    }
}

// A level file: cells and cubes, rows from the top, each row given or changed by the test.
struct LevelText {
    std::string cells[13];
    std::string cubes[13];
    LevelText()
    {
        for (auto& row : cells)
            row = ".............";
        for (auto& row : cubes)
            row = ".............";
        cells[0][3] = 'T';
        cells[5] = "##1##........";
        cubes[0][3] = '2';
    }
    std::string Text(const char* end = "\n") const
    {
        std::string text = "# a level";
        text += end;
        for (const char* name : {"Cells", "Cubes"}) {
            text += std::string("[") + name + "]" + end;
            const std::string* rows = name[1] == 'e' ? cells : cubes;
            for (int y = 0; y < 13; ++y)
                if (!rows[y].empty())
                    text += "Row" + std::to_string(y + 1) + "=" + rows[y] + end;
        }
        return text;
    }
};

GLevelInfo Info(int colours = 3)
{
    return {"Sands", "sands.ini", 12, static_cast<int8_t>(colours), 60};
}

auto Level(const LevelText& text, int colours = 3, const char* end = "\n")
{
    const std::string bytes = text.Text(end);
    return ReadLevel(Info(colours), reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST(LevelFile, AGoodFileGivesItsLayoutWithTheLimitsOfItsRow)
{
    for (const char* end : {"\n", "\r\n"}) {
        const auto level = Level(LevelText(), 3, end);
        ASSERT_TRUE(level.Ok()) << level.error;
        EXPECT_EQ(level.value.name, "Sands");
        EXPECT_EQ(level.value.shots, 12);
        EXPECT_EQ(level.value.colours, 3);
        EXPECT_EQ(level.value.seconds, 60);
        EXPECT_EQ(level.value.cells[3], 'T');
        EXPECT_EQ(level.value.cubes[3], '2');
        EXPECT_EQ(level.value.cells[5 * 13 + 2], '1');
        EXPECT_EQ(level.value.cells[5 * 13 + 4], '#');
        EXPECT_EQ(level.value.cells[12 * 13 + 12], '.');
    }
}

TEST(LevelFile, ADamagedOrUnplayableLayoutIsRefused)
{
    const struct {
        const char* name;
        void (*change)(LevelText&);
        int colours;
    } cases[] = {
        {"a short row", [](LevelText& t) { t.cells[4].pop_back(); }, 3},
        {"a long row", [](LevelText& t) { t.cubes[4] += "."; }, 3},
        {"a missing row", [](LevelText& t) { t.cells[12].clear(); }, 3},
        {"an unknown cell", [](LevelText& t) { t.cells[7][7] = 'x'; }, 3},
        {"an unknown cube", [](LevelText& t) { t.cubes[7][7] = '#'; }, 3},
        {"a cube on a wall", [](LevelText& t) { t.cubes[5][0] = '0'; }, 3},
        {"a cube colour past the count", [](LevelText& t) { t.cubes[0][3] = '2'; }, 2},
        {"a repaint colour past the count", [](LevelText& t) { t.cubes[0][3] = '0'; }, 1},
        {"no target", [](LevelText& t) { t.cells[0][3] = '.'; }, 3},
        {"no cubes section",
         [](LevelText& t) {
             for (auto& row : t.cubes)
                 row.clear();
         },
         3},
    };
    for (const auto& c : cases) {
        LevelText text;
        c.change(text);
        std::string bytes = text.Text();
        if (std::string(c.name) == "no cubes section")
            bytes = bytes.substr(0, bytes.find("[Cubes]"));
        const auto level = ReadLevel(Info(c.colours),
                                     reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        EXPECT_FALSE(level.Ok()) << c.name;
        EXPECT_FALSE(level.error.empty()) << c.name;
    }
    EXPECT_FALSE(ReadLevel(Info(), nullptr, 0).Ok());
}

// A level needs one free entry cell on the ring, on whichever side: every entry cell walled or
// taken but those of one side (or one cell of it) still leaves a level to play.
TEST(LevelFile, OneFreeEntryCellOnAnySideIsEnough)
{
    const struct {
        const char* side;
        int x, y; // the one entry cell left free
    } cases[] = {
        {"top", 7, 0}, {"right", 12, 7}, {"bottom", 7, 12}, {"left", 0, 7}, {"a corner", 0, 0}};
    for (const auto& c : cases) {
        for (const bool free : {true, false}) {
            LevelText text;
            for (int i = 0; i < 13; ++i)
                for (auto [x, y] : {std::pair{i, 0}, {i, 12}, {0, i}, {12, i}})
                    text.cells[y][x] = '#';
            text.cubes[0][3] = '.';
            text.cells[6][6] = 'T';
            if (free)
                text.cells[c.y][c.x] = '.';
            const auto level = Level(text);
            EXPECT_EQ(level.Ok(), free) << c.side << ": " << level.error;
            if (!free) {
                EXPECT_NE(level.error.find("entry"), std::string::npos) << level.error;
            }
        }
    }
}

auto Rules(std::string_view text)
{
    return ReadText(ReadBoardRules, text);
}

TEST(BoardOptions, GivenValuesTuneTheRulesAndMissingOnesKeepTheirDefaults)
{
    // The highest value of each range level_data.h names.
    const auto all =
        Rules("[Rules]\nGroupSize=9\nBonusGroupSize=169\nScorePerCube=1000\nTargetScore=10000\n"
              "BonusScore=10000\nTimedSeconds=3600\nTimeWarnSeconds=600\n");
    ASSERT_TRUE(all.Ok()) << all.error;
    EXPECT_TRUE(all.value.refused.empty());
    const GBoardRules& r = all.value.rules;
    EXPECT_EQ(r.groupSize, 9);
    EXPECT_EQ(r.bonusGroupSize, 169);
    EXPECT_EQ(r.scorePerCube, 1000);
    EXPECT_EQ(r.targetScore, 10000);
    EXPECT_EQ(r.bonusScore, 10000);
    EXPECT_EQ(r.timedSeconds, 3600);
    EXPECT_EQ(r.timeWarnSeconds, 600);

    const GBoardRules defaults;
    const auto some = Rules("Other=1\n[Rules]\nScorePerCube=5\n[Later]\nGroupSize=6\n");
    ASSERT_TRUE(some.Ok()) << some.error;
    EXPECT_EQ(some.value.rules.scorePerCube, 5);
    EXPECT_EQ(some.value.rules.groupSize, defaults.groupSize) << "a key of another section";
    EXPECT_EQ(some.value.rules.timedSeconds, defaults.timedSeconds);
}

TEST(BoardOptions, EachValueOutOfRangeIsRefusedAloneAndTheOthersApply)
{
    const auto read =
        Rules("[Rules]\nGroupSize=1\nScorePerCube=12\nTimedSeconds=5\nTargetScore=lots\n"
              "BonusGroupSize=170\nTimeWarnSeconds=-1\n");
    ASSERT_TRUE(read.Ok()) << read.error;
    const GBoardRules defaults;
    EXPECT_EQ(read.value.refused.size(), 5u);
    EXPECT_EQ(read.value.rules.groupSize, defaults.groupSize);
    EXPECT_EQ(read.value.rules.timedSeconds, defaults.timedSeconds);
    EXPECT_EQ(read.value.rules.targetScore, defaults.targetScore);
    EXPECT_EQ(read.value.rules.bonusGroupSize, defaults.bonusGroupSize);
    EXPECT_EQ(read.value.rules.timeWarnSeconds, defaults.timeWarnSeconds);
    EXPECT_EQ(read.value.rules.scorePerCube, 12);
    EXPECT_EQ(RulesProblem(read.value.rules), nullptr);

    EXPECT_FALSE(Rules("GroupSize=3\n").Ok()) << "no [Rules] section";
    EXPECT_FALSE(Rules("").Ok());
}

// Each option at both ends of its range and one step past each; the numbers as a hand-edited
// file writes them.
TEST(BoardOptions, EachOptionTakesBothEndsOfItsRangeAndRefusesOneStepPast)
{
    const struct {
        const char* key;
        int16_t GBoardRules::*field;
        int lo, hi;
    } options[] = {
        {"GroupSize", &GBoardRules::groupSize, 2, 9},
        {"BonusGroupSize", &GBoardRules::bonusGroupSize, 2, 169},
        {"ScorePerCube", &GBoardRules::scorePerCube, 0, 1000},
        {"TargetScore", &GBoardRules::targetScore, 0, 10000},
        {"BonusScore", &GBoardRules::bonusScore, 0, 10000},
        {"TimedSeconds", &GBoardRules::timedSeconds, 10, 3600},
        {"TimeWarnSeconds", &GBoardRules::timeWarnSeconds, 0, 600},
    };
    const GBoardRules defaults;
    for (const auto& o : options)
        for (const int value : {o.lo - 1, o.lo, o.hi, o.hi + 1}) {
            const bool inside = value >= o.lo && value <= o.hi;
            const auto read =
                Rules("[Rules]\n" + std::string(o.key) + "=" + std::to_string(value) + "\n");
            ASSERT_TRUE(read.Ok()) << o.key;
            EXPECT_EQ(read.value.refused.size(), inside ? 0u : 1u) << o.key << " " << value;
            EXPECT_EQ(read.value.rules.*o.field, inside ? value : defaults.*o.field)
                << o.key << " " << value;
            GBoardRules rules;
            rules.*o.field = static_cast<int16_t>(value);
            const char* problem = RulesProblem(rules);
            EXPECT_EQ(problem ? std::string(problem) : "", inside ? "" : o.key) << value;
        }
    const struct {
        const char* text;
        int value; // -1: refused
    } numbers[] = {
        {" 12 ", 12}, {"\t+12", 12}, {"-0", 0},   {"000012", 12}, {"0000012", -1}, {"1 2", -1},
        {"+", -1},    {"-", -1},     {"12-", -1}, {"0x10", -1},   {"3.5", -1},     {"999999", -1},
    };
    for (const auto& n : numbers) {
        const auto read = Rules(std::string("[Rules]\nScorePerCube=") + n.text + "\n");
        ASSERT_TRUE(read.Ok()) << n.text;
        EXPECT_EQ(read.value.rules.scorePerCube, n.value < 0 ? defaults.scorePerCube : n.value)
            << n.text;
        EXPECT_EQ(read.value.refused.size(), n.value < 0 ? 1u : 0u) << n.text;
    }
}

// The files of a level folder, and a log that counts the errors written to it.
struct Folder {
    TempFolder root{"levels_"};
    GHtmlLog log{root.Path("log.html").c_str()};
    Folder()
    {
        std::filesystem::create_directory(root.Path("LEVELS"));
        root.WriteFile("LEVELS/levellist.csv", std::string(kHeader) + "Sands;sands.ini;12;3;60\n");
        root.WriteFile("LEVELS/sands.ini", LevelText().Text());
        root.WriteFile("LEVELS/options.ini", "[Rules]\nGroupSize=4\n");
    }
    std::string Levels() const { return root.Path("LEVELS"); }
    std::string Path(const char* name) const { return root.Path(std::string("LEVELS/") + name); }
};

TEST(LevelFiles, GoodFilesLoadWithoutALogLine)
{
    Folder f;
    const auto list = LoadLevelList(&f.log, f.Levels());
    ASSERT_TRUE(list.Ok()) << list.error;
    const auto level = LoadLevel(list.value.at(0), &f.log, f.Levels());
    EXPECT_TRUE(level.Ok()) << level.error;
    const auto rules = LoadBoardRules(&f.log, f.Levels());
    EXPECT_TRUE(rules.Ok()) << rules.error;
    EXPECT_EQ(rules.value.rules.groupSize, 4);
    EXPECT_EQ(f.log.GetErrorCount(), 0);
}

TEST(LevelFiles, AMissingOrDamagedFileIsOneLogLineAndAFailure)
{
    const struct {
        const char* name;
        void (*damage)(const Folder&);
        int failures; // of the list, the level and the options, in that order
    } cases[] = {
        {"no files", [](const Folder& f) { std::filesystem::remove_all(f.Levels()); }, 3},
        {"empty files",
         [](const Folder& f) {
             for (const char* name : {"levellist.csv", "sands.ini", "options.ini"})
                 tolvanrise::test::WriteFileBytes(f.Path(name), "");
         },
         3},
        {"binary noise",
         [](const Folder& f) {
             for (const char* name : {"levellist.csv", "sands.ini", "options.ini"})
                 tolvanrise::test::WriteFileBytes(f.Path(name), std::string("\x01\xff;=[\0x", 7));
         },
         3},
        {"a level file missing",
         [](const Folder& f) { std::filesystem::remove(f.Path("sands.ini")); }, 1},
    };
    for (const auto& c : cases) {
        Folder f;
        c.damage(f);
        const auto list = LoadLevelList(&f.log, f.Levels());
        const auto level = LoadLevel(Info(), &f.log, f.Levels());
        const auto rules = LoadBoardRules(&f.log, f.Levels());
        const int failed = !list.Ok() + !level.Ok() + !rules.Ok();
        EXPECT_EQ(failed, c.failures) << c.name;
        EXPECT_EQ(f.log.GetErrorCount(), c.failures) << c.name;
        if (!rules.Ok()) {
            EXPECT_EQ(rules.value.rules.groupSize, GBoardRules{}.groupSize) << c.name;
        }
    }
}

// A file that cannot be used is named in the failure, and so in the log line.
TEST(LevelFiles, EachFailureNamesItsFile)
{
    Folder f;
    for (const char* name : {"levellist.csv", "sands.ini", "options.ini"})
        tolvanrise::test::WriteFileBytes(f.Path(name), "");
    const std::string failures[] = {LoadLevelList(&f.log, f.Levels()).error,
                                    LoadLevel(Info(), &f.log, f.Levels()).error,
                                    LoadBoardRules(&f.log, f.Levels()).error};
    const char* names[] = {"levellist.csv", "sands.ini", "options.ini"};
    const std::string log = tolvanrise::test::ReadFileBytes(f.root.Path("log.html"));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(failures[i].rfind(f.Levels() + "\\" + names[i] + ": ", 0), 0u) << failures[i];
        EXPECT_NE(log.find(names[i]), std::string::npos) << names[i];
    }
}

TEST(LevelFiles, ALevelNameLeavingTheFolderIsNotOpened)
{
    Folder f;
    f.root.WriteFile("outside.ini", LevelText().Text());
    GLevelInfo info = Info();
    info.file = "../outside.ini";
    const auto level = LoadLevel(info, &f.log, f.Levels());
    EXPECT_FALSE(level.Ok());
    EXPECT_EQ(f.log.GetErrorCount(), 1);
}

TEST(LevelFiles, EachRefusedOptionIsALineOfItsOwn)
{
    Folder f;
    tolvanrise::test::WriteFileBytes(f.Path("options.ini"),
                                     "[Rules]\nGroupSize=0\nScorePerCube=99999\nBonusScore=3\n");
    const auto rules = LoadBoardRules(&f.log, f.Levels());
    EXPECT_TRUE(rules.Ok());
    EXPECT_EQ(rules.value.rules.bonusScore, 3);
    EXPECT_EQ(f.log.GetErrorCount(), 2);
    const std::string text = ReadFileBytes(f.root.Path("log.html"));
    EXPECT_NE(text.find("GroupSize"), std::string::npos);
    EXPECT_NE(text.find("ScorePerCube"), std::string::npos);
}

} // namespace
