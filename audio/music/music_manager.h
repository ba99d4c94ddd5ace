#pragma once
// The game's music modes: each of the four modes ("game", "menu", "gameend", "gametimed") is
// given a track of the stream player by the scrambled semicolon table "MUSIC\music.ini"
// (columns TrackName, FileName, Pos, Vol), and playing a mode loops its track at the music
// volume of the player's settings, read afresh each time. Main thread only; the stream player
// guards itself.

#include <cstdint>
#include <string>
#include <vector>

class GAudioPlayer;
class GHtmlLog;

enum GMusicMode : int32_t {
    kMusicNone = -1,
    kMusicGame = 0,
    kMusicMenu = 1,
    kMusicGameEnd = 2,
    kMusicGameTimed = 3,
};

// Exact, case-sensitive; -1 for any other text (null included).
int32_t MusicModeFromName(const char* name);

struct GMusicTrackEntry {
    int32_t mode = kMusicNone;
    // In the stream player's table; -1 when the player refused it or later removed it (a
    // track that cannot be opened is taken out of the table, and the ones behind it move up).
    int16_t trackIndex = -1;
    int16_t position = 0; // "Pos", handed to the player as the track's flag
    float volume = 0.0f;  // "Vol", kept as read
    std::string file;     // the track's name in the player's table, by which it is found again
};

class GMusicManager {
public:
    GMusicManager() = default;
    GMusicManager(const GMusicManager&) = delete;
    GMusicManager& operator=(const GMusicManager&) = delete;

    // musicVolume: where the player's settings keep the music volume (0..10000), borrowed and
    // read whenever a mode starts. 0 when any argument is null; else the list's load result.
    int Init(const int32_t* musicVolume, GAudioPlayer* player, const char* listPath);
    // 1, or 0 when the list cannot be read or has no row. Every row adds its track
    // (FileName + ".skm") to the stream player.
    int LoadTrackList(const char* path);

    // Loops the first listed track of the mode from its start position; nothing while
    // disabled, without a player or for a mode no row names. A mode whose track the player
    // refused or removed stops the music (one line in the log when that is found, naming the
    // file and why it cannot be read).
    void PlayForMode(int32_t mode);
    // Callers pass 0/1 or a music volume: any change of the stored value counts, a nonzero
    // value plays the current mode again and 0 stops the music.
    void SetEnabled(int32_t flag);
    int32_t IsEnabled() const { return m_enabled; }

    // Where a track that cannot be played is reported (the default log when none is set);
    // borrowed, it must outlive the manager's use.
    void SetLog(GHtmlLog* log) { m_log = log; }

    int32_t GetMode() const { return m_mode; }
    const std::vector<GMusicTrackEntry>& GetEntries() const { return m_entries; }

private:
    // Where the entry's track is now (the player may have removed tracks before it); -1 when
    // it is gone.
    int FindEntryTrack(GMusicTrackEntry& entry);
    void ForgetTrack(GMusicTrackEntry& entry);

    GAudioPlayer* m_player = nullptr;
    GHtmlLog* m_log = nullptr;
    const int32_t* m_musicVolume = nullptr;
    std::vector<GMusicTrackEntry> m_entries;
    int32_t m_mode = kMusicMenu;
    int32_t m_enabled = 1;
};
