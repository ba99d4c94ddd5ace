#include "game/profiles/player_profiles.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "foundation/files/data_files.h"

namespace {

bool VolumeOnScale(int32_t v)
{
    return v >= 0 && v <= GGameSettings::kMaxVolume;
}

constexpr uint8_t kMaxPutAside = GGameSettings::kMaxVolume / GGameSettings::kPutAsideStep;

} // namespace

bool GGameSettings::IsPlausible() const
{
    return flags[0] <= 1 && flags[1] <= 1 && putAside[0] <= kMaxPutAside &&
           putAside[1] <= kMaxPutAside && VolumeOnScale(musicVolume) && VolumeOnScale(soundVolume);
}

void GGameSettings::SetPutAside(Audio audio, int32_t volume)
{
    // To the nearest step; a volume that is not 0 is never put aside as nothing.
    const int32_t steps = (std::clamp(volume, 0, kMaxVolume) + kPutAsideStep / 2) / kPutAsideStep;
    putAside[audio] = static_cast<uint8_t>(volume > 0 ? std::max(steps, 1) : 0);
}

void GGameSettings::Switch(Audio audio, bool on)
{
    if (IsOn(audio) == on)
        return;
    int32_t& volume = Volume(audio);
    if (on) {
        const GGameSettings defaults;
        volume = PutAside(audio) > 0 ? PutAside(audio) : defaults.Volume(audio);
    } else {
        SetPutAside(audio, volume);
        volume = 0;
    }
}

std::string GGameSettings::ResetImplausibleFields()
{
    const GGameSettings defaults;
    std::string reset;
    const auto note = [&](const char* field, int32_t value) {
        reset += (reset.empty() ? "" : ", ") + std::string(field) + " " + std::to_string(value);
    };
    for (int i = 0; i < 2; ++i) {
        if (flags[i] > 1) {
            note(i == 0 ? "first flag" : "second flag", flags[i]);
            flags[i] = defaults.flags[i];
        }
    }
    for (int i = 0; i < 2; ++i) {
        if (putAside[i] > kMaxPutAside) {
            note(i == kMusic ? "music put aside" : "sound put aside", putAside[i]);
            putAside[i] = defaults.putAside[i];
        }
    }
    if (!VolumeOnScale(musicVolume)) {
        note("music volume", musicVolume);
        musicVolume = defaults.musicVolume;
    }
    if (!VolumeOnScale(soundVolume)) {
        note("sound volume", soundVolume);
        soundVolume = defaults.soundVolume;
    }
    return reset;
}

GPlayerProfiles::GPlayerProfiles(std::string profilesFolder)
    : m_folder(std::move(profilesFolder)), m_file(m_folder, kRecordNumber, kStoreSize)
{
    ResetToDefaults();
}

void GPlayerProfiles::ResetToDefaults()
{
    m_store.fill(0);
    m_settings = GGameSettings();
    std::memcpy(m_store.data(), &m_settings, sizeof m_settings);
}

int GPlayerProfiles::Load()
{
    std::array<uint8_t, kStoreSize> read{};
    const GRecordRead outcome = m_file.Read(read.data());
    m_holdsDefaults = outcome != GRecordRead::kWhole && outcome != GRecordRead::kOtherSize;
    if (m_holdsDefaults) {
        ResetToDefaults();
        return 0;
    }
    // The players' profiles stay as read whatever the settings hold.
    m_store = read;
    std::memcpy(&m_settings, read.data(), sizeof m_settings);
    const std::string reset = m_settings.ResetImplausibleFields();
    if (!reset.empty())
        m_file.MarkDamaged("settings out of range (" + reset + "), the defaults hold for them");
    std::memcpy(m_store.data(), &m_settings, sizeof m_settings);
    return outcome == GRecordRead::kWhole && reset.empty() ? 1 : 0;
}

int GPlayerProfiles::Save()
{
    std::memcpy(m_store.data(), &m_settings, sizeof m_settings);
    return m_file.Write(m_store.data());
}

int GTopScoreTable::Load()
{
    const GRecordRead outcome = m_file.Read(m_entries.data());
    if (outcome != GRecordRead::kWhole && outcome != GRecordRead::kOtherSize) {
        m_entries.fill(GTopScoreEntry());
        return 0;
    }
    // Names are shown as text: each ends inside its field whatever the file held.
    bool cut = false;
    for (GTopScoreEntry& entry : m_entries) {
        cut |= std::memchr(entry.name, 0, sizeof entry.name) == nullptr;
        entry.name[sizeof entry.name - 1] = '\0';
    }
    if (cut)
        m_file.MarkDamaged("a name runs past its field");
    return 1;
}

int GTopScoreTable::Save()
{
    return m_file.Write(m_entries.data());
}
