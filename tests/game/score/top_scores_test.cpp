// A finished game's score in the top-score table: where it goes, what it pushes out, what it
// cannot enter.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/profiles/player_profiles.h"
#include "game/score/top_scores.h"

namespace {

// A table holding the scores given, best first, under the names "s<score>".
GTopScoreTable TableOf(const std::vector<int32_t>& scores)
{
    GTopScoreTable table("unused");
    for (size_t i = 0; i < scores.size(); ++i) {
        const std::string name = "s" + std::to_string(scores[i]);
        name.copy(table.Entries()[i].name, sizeof table.Entries()[i].name - 1);
        table.Entries()[i].score = scores[i];
    }
    return table;
}

std::vector<int32_t> ScoresOf(const GTopScoreTable& table)
{
    std::vector<int32_t> scores;
    for (const GTopScoreEntry& entry : table.Entries())
        if (entry.score > 0)
            scores.push_back(entry.score);
    return scores;
}

TEST(TopScores, AScoreTakesItsPlaceAmongTheOthers)
{
    struct Case {
        std::vector<int32_t> before;
        int32_t score;
        int place;
        std::vector<int32_t> after;
    };
    const Case cases[] = {
        {{}, 500, 0, {500}},
        {{900, 300}, 500, 1, {900, 500, 300}},
        {{900, 500}, 500, 2, {900, 500, 500}}, // a tie goes below the score already there
        {{900}, 1000, 0, {1000, 900}},
        {{900}, 0, -1, {900}},                 // nothing scored, nothing entered
        {{900}, -20, -1, {900}},
    };
    for (const Case& c : cases) {
        GTopScoreTable table = TableOf(c.before);
        EXPECT_EQ(EnterTopScore(table, "Player", c.score), c.place) << c.score;
        EXPECT_EQ(ScoresOf(table), c.after) << c.score;
        if (c.place >= 0)
            EXPECT_STREQ(table.Entries()[c.place].name, "Player");
    }
}

TEST(TopScores, AFullTableDropsItsLastOrRefusesAScoreBelowIt)
{
    std::vector<int32_t> full;
    for (int i = 0; i < GTopScoreTable::kEntryCount; ++i)
        full.push_back(3000 - 100 * i);
    GTopScoreTable table = TableOf(full);
    EXPECT_EQ(EnterTopScore(table, "Low", full.back()), -1) << "equal to the last is no place";
    EXPECT_EQ(EnterTopScore(table, "Mid", 1550), 15);
    EXPECT_EQ(table.Entries().back().score, full[full.size() - 2]) << "the last one fell out";
    EXPECT_STREQ(table.Entries()[16].name, "s1500");
}

TEST(TopScores, ALongNameIsCutToItsField)
{
    GTopScoreTable table = TableOf({});
    const std::string longName(80, 'n');
    ASSERT_EQ(EnterTopScore(table, longName.c_str(), 10), 0);
    EXPECT_EQ(std::string(table.Entries()[0].name), longName.substr(0, sizeof table.Entries()[0].name - 1));
}

} // namespace
