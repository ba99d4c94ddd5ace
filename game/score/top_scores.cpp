#include "game/score/top_scores.h"

#include <algorithm>
#include <cstring>

#include "game/profiles/player_profiles.h"

int EnterTopScore(GTopScoreTable& table, const char* name, int32_t score)
{
    auto& entries = table.Entries();
    if (score <= 0)
        return -1;
    const auto place = std::find_if(entries.begin(), entries.end(),
                                    [score](const GTopScoreEntry& entry) { return entry.score < score; });
    if (place == entries.end())
        return -1;
    std::move_backward(place, entries.end() - 1, entries.end());
    GTopScoreEntry entry;
    if (name)
        std::strncpy(entry.name, name, sizeof entry.name - 1);
    entry.score = score;
    *place = entry;
    return static_cast<int>(place - entries.begin());
}
