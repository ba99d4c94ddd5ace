#pragma once
// The player's lasting data: the profile store (settings and the players' profiles) and the
// top-score table, each one record file of the profiles folder in the shared data folder.
// The engine reads and writes the settings block; the rest of the store belongs to the game's
// board and is kept byte for byte as it was read, so a save never loses what this build does
// not interpret. A settings field that fails its check falls back to its default alone, and a
// file that could not be used whole is kept as "<name>.damaged" before it is written over
// (user_record_file.h). Callers that save both write the top scores first and the store last:
// a save cut short leaves the store never newer than the scores beside it. Main thread only.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "game/profiles/user_record_file.h"

// The settings record, as it lies at the start of the profile store. Volumes are on the
// engine's linear scale 0 to 10000; a music or sound switched off is kept as a volume of 0 (as
// the next start reads it), and the two bytes after the flags keep the volume it had, so that
// switching it on again, even after a restart, brings that volume back.
struct GGameSettings {
    static constexpr int kFullScreenFlag = 0;
    static constexpr int32_t kMaxVolume = 10000;
    // The volumes put aside are kept in the options sliders' steps, a hundredth of the scale.
    static constexpr int32_t kPutAsideStep = 100;
    enum Audio { kMusic = 0, kSound = 1 };

    uint8_t flags[2] = {1, 1};
    // The volume each switch put aside (kMusic, kSound), in kPutAsideStep units; 0: none.
    uint8_t putAside[2] = {0, 0};
    int32_t musicVolume = 4000;
    int32_t soundVolume = 6000;

    int32_t& Volume(Audio audio) { return audio == kMusic ? musicVolume : soundVolume; }
    int32_t Volume(Audio audio) const { return audio == kMusic ? musicVolume : soundVolume; }
    bool IsOn(Audio audio) const { return Volume(audio) > 0; }
    // The volume a switch put aside (0: none).
    int32_t PutAside(Audio audio) const { return putAside[audio] * kPutAsideStep; }
    void SetPutAside(Audio audio, int32_t volume);
    // Switched off, the volume is put aside and 0 kept; switched on, the volume put aside
    // comes back (the default when there is none). Nothing changes when already so.
    void Switch(Audio audio, bool on);

    // A block read from a file is believed only when it could have been written by us.
    bool IsPlausible() const;
    // Puts each field that fails the check back to its default; names what was reset (with
    // the value found), empty when nothing was.
    std::string ResetImplausibleFields();
};
static_assert(sizeof(GGameSettings) == 12);

class GPlayerProfiles {
public:
    static constexpr uint32_t kStoreSize = 8160;
    static constexpr int32_t kRecordNumber = 0;

    // profilesFolder: where the record files live (an absolute path or one under the data
    // folder prefix); it is created on save.
    explicit GPlayerProfiles(std::string profilesFolder);

    // 1 when the record was read whole and its settings block is plausible. Otherwise 0: a
    // missing or unreadable file gives the defaults; a file of another size or with settings
    // fields that fail the check keeps what it holds, those fields taking their defaults.
    int Load();
    // Creates the folder, keeps a file that could not be used aside, then replaces the record
    // as a whole; 1 when written.
    int Save();
    // What was found wrong on disk and done about it, for the program's log.
    std::vector<std::string> TakeNotes() { return m_file.TakeNotes(); }
    // What the player is to be told of it (the caller shows it); why the last Save failed.
    std::vector<std::string> TakeAlerts() { return m_file.TakeAlerts(); }
    const std::string& GetWriteFailure() const { return m_file.GetWriteFailure(); }
    // True when the last Load took nothing from the file: the defaults hold whole.
    bool HoldsDefaults() const { return m_holdsDefaults; }

    GGameSettings& GetDefaultSettings() { return m_settings; }
    const GGameSettings& GetDefaultSettings() const { return m_settings; }
    const std::string& GetFolder() const { return m_folder; }

private:
    void ResetToDefaults();

    std::string m_folder;
    GUserRecordFile m_file;
    GGameSettings m_settings;
    bool m_holdsDefaults = true;
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

    explicit GTopScoreTable(std::string profilesFolder)
        : m_folder(std::move(profilesFolder)), m_file(m_folder, kRecordNumber, sizeof m_entries)
    {
    }

    // 1 when read; else the table is emptied and 0 returned. A name that does not end inside
    // its field is cut there, and the file counts as damaged.
    int Load();
    int Save();
    std::vector<std::string> TakeNotes() { return m_file.TakeNotes(); }
    std::vector<std::string> TakeAlerts() { return m_file.TakeAlerts(); }
    const std::string& GetWriteFailure() const { return m_file.GetWriteFailure(); }

    std::array<GTopScoreEntry, kEntryCount>& Entries() { return m_entries; }
    const std::array<GTopScoreEntry, kEntryCount>& Entries() const { return m_entries; }

private:
    std::string m_folder;
    std::array<GTopScoreEntry, kEntryCount> m_entries{};
    GUserRecordFile m_file;
};
static_assert(sizeof(std::array<GTopScoreEntry, GTopScoreTable::kEntryCount>) == 1080);
