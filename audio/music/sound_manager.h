#pragma once
// The game's named sound events: the scrambled semicolon table "SOUNDS\sound.csv" (columns
// Alias, SoundName, SoundCount, VolumeMin, VolumeMax, FreqMin, FreqMax) gives each of the 48
// events one or more variants, "SOUNDS/<name>.ogg" loaded into the sound bank under ids
// 0, 1, 2, ... in the order of the list. Playing an event picks a random variant, volume and
// playback rate from the event's ranges (volumes as fractions of full level, rates as
// fractions of the sound's own rate). Main thread only.

#include <cstdint>
#include <vector>

#include "audio/music/short_array.h"
#include "foundation/core/random.h"

class GHtmlLog;
class GSoundBank;

// The events by number; 32 is not used.
constexpr int32_t kSoundEventCount = 49;
// Exact, case-sensitive; -1 for any other text (null included).
int32_t SoundEventFromName(const char* name);
// The name of an event number; null for 32 and numbers outside 0..48.
const char* SoundEventName(int32_t event);

struct GSoundEventEntry {
    int32_t event = -1;
    GShortArray variants;   // sound ids in the bank
    int16_t soundCount = 1; // "SoundCount", kept as read
    float volumeMin = 1.0f;
    float volumeMax = 1.0f;
    float freqMin = 1.0f;
    float freqMax = 1.0f;
};

class GSoundManager {
public:
    // The random seed starts from the millisecond clock.
    GSoundManager() = default;
    GSoundManager(const GSoundManager&) = delete;
    GSoundManager& operator=(const GSoundManager&) = delete;

    // soundVolume: where the player's settings keep the sound volume; borrowed and kept (the
    // options window hands it to the bank). 0 when any argument is null; else the load result.
    int Init(const int32_t* soundVolume, GSoundBank* bank, const char* listPath);
    // 1, or 0 when the list cannot be read or has no row. Replaces the entries; the sound ids
    // restart at 0, so a reload replaces the bank's sounds of the same ids.
    int LoadSoundList(const char* path);
    // Where a sound file the list names but the bank cannot load is reported, one line each
    // (nothing when none is set); borrowed, it must outlive the manager's use.
    void SetLog(GHtmlLog* log) { m_log = log; }

    // 1 when a variant was started (again from its beginning when it was playing).
    int PlayEvent(int32_t event);
    // A random variant's id without playing it: 0 without a bank or while disabled, -1 when
    // no entry holds the event with a variant.
    int PickEventSound(int32_t event);
    // Whether the bank plays that sound (an unknown id: whether any sound plays).
    int IsSoundPlaying(int soundId);
    void SetEnabled(int32_t flag);
    int32_t IsEnabled() const { return m_enabled; }

    const std::vector<GSoundEventEntry>& GetEntries() const { return m_entries; }
    GRandom& GetRandom() { return m_random; }

private:
    const GSoundEventEntry* FindEntry(int32_t event) const;

    GSoundBank* m_bank = nullptr;
    GHtmlLog* m_log = nullptr;
    const int32_t* m_soundVolume = nullptr;
    std::vector<GSoundEventEntry> m_entries;
    int32_t m_enabled = 1;
    GRandom m_random;
};
