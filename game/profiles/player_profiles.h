#pragma once
// The player's lasting data: the profile store (settings and the players' profiles) and the
// top-score table, each one record file of the profiles folder in the shared data folder.
// The engine reads and writes the settings block; the rest of the store belongs to the game's
// board and is kept byte for byte as it was read, so a save never loses what this build does
// not interpret. Main thread only.

#include <array>
#include <cstdint>
#include <string>

// The settings record, as it lies at the start of the profile store. Volumes are on the
// engine's linear scale 0 to 10000.
struct GGameSettings {
    static constexpr int kFullScreenFlag = 0;
    static constexpr int32_t kMaxVolume = 10000;

    uint8_t flags[2] = {1, 1};
    uint8_t reserved[2] = {0, 0};
    int32_t musicVolume = 4000;
    int32_t soundVolume = 6000;

    // A block read from a file is believed only when it could have been written by us.
    bool IsPlausible() const;
};
static_assert(sizeof(GGameSettings) == 12);

class GPlayerProfiles {
public:
    static constexpr uint32_t kStoreSize = 8160;
    static constexpr int32_t kRecordNumber = 0;

    // profilesFolder: where the record files live (an absolute path or one under the data
    // folder prefix); it is created on save.
    explicit GPlayerProfiles(std::string profilesFolder);

    // 1 when the record was read and its settings block is plausible; otherwise the store
    // holds the defaults and 0 is returned (a missing file, a damaged one).
    int Load();
    // Creates the folder, then replaces the record as a whole; 1 when written.
    int Save();

    GGameSettings& GetDefaultSettings() { return m_settings; }
    const GGameSettings& GetDefaultSettings() const { return m_settings; }
    const std::string& GetFolder() const { return m_folder; }

private:
    void ResetToDefaults();

    std::string m_folder;
    GGameSettings m_settings;
    // The whole store as last read or written; the settings block above is its first bytes.
    std::array<uint8_t, kStoreSize> m_store{};
};

struct GTopScoreEntry {
    char name[32] = {};
    int32_t score = 0;
};
static_assert(sizeof(GTopScoreEntry) == 36);

class GTopScoreTable {
public:
    static constexpr int kEntryCount = 30;
    static constexpr int32_t kRecordNumber = 9999;

    explicit GTopScoreTable(std::string profilesFolder) : m_folder(std::move(profilesFolder)) {}

    // 1 when read; else the table is emptied and 0 returned.
    int Load();
    int Save();

    std::array<GTopScoreEntry, kEntryCount>& Entries() { return m_entries; }
    const std::array<GTopScoreEntry, kEntryCount>& Entries() const { return m_entries; }

private:
    std::string m_folder;
    std::array<GTopScoreEntry, kEntryCount> m_entries{};
};
static_assert(sizeof(std::array<GTopScoreEntry, GTopScoreTable::kEntryCount>) == 1080);
