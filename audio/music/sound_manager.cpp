#include "audio/music/sound_manager.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "audio/banks/sound_bank.h"
#include "audio/music/audio_file_problem.h"
#include "foundation/docs/table_data_doc.h"
#include "foundation/files/html_log.h"
#include "foundation/files/scramble_keys.h"
#include "foundation/text/gstring.h"
#include "foundation/text/wstring.h"

namespace {

constexpr const char* kEventNames[kSoundEventCount] = {
    "GameBegin", "GameLvlBegin", "GameLvlWiner", "GameLvlLooser", "GameEnd", "GameAddLife",
    "NonFunctionalTileClick", "ObjectsSwapped", "GreatMessageSound", "SuperMessageSound",
    "ExcellentMessageSound", "ObjAnyGemBurnAll", "ObjAnyGemBurnItem", "ObjAnyGemPlaceOk",
    "ObjAnyGemPlaceWrong", "ObjAnyGemOutBegin", "ObjAnyGemOutInPlace", "ObjAnyGemArrowChange",
    "ObjAnyGemMoveOnCell", "ObjAnyGemPushGems", "ObjGlueGemStop", "ObjRollGemStop",
    "ObjNrmGemStop", "ObjTargetCellBurn", "ObjTargetCellBonusBurn", "ObjTargetCellBadBurn",
    "ObjGlassBreak", "ObjMatchNearMovedKilled", "ObjMatchNearStaticKilled", "BonusFireAppear",
    "BonusFireGetFlyBegin", "BonusFireGetFlyOk", nullptr, "GameTimeWarn", "MenuBtnSel",
    "MenuBtnPress", "GodsComeIn", "GodsComeOut", "MenuBtnNextBegin", "RunaFlyInGame",
    "RunaLandingInGame", "RunaFlyInMenu", "EditCharAdd", "RunaLandingInMenu", "CalculateScore",
    "RepaintCube", "StoryShow", "SaluteCalc", "SaluteOnPanel",
};

// A fraction of the table times scale, truncated toward zero to 16 bits as the ranges are
// kept. Values no 32-bit integer holds (and NaN) are pinned first rather than left undefined.
int16_t ScaledBound(float fraction, double scale)
{
    const double value = static_cast<double>(fraction) * scale;
    if (!(value == value))
        return 0;
    const double pinned = std::clamp(value, -2147483648.0, 2147483647.0);
    return static_cast<int16_t>(static_cast<int32_t>(pinned));
}

// lo + r mod (hi - lo + 1) with the bounds put in order, so a row written the wrong way
// round still gives a value between them and never divides by zero.
int RandomInRange(GRandom& random, float a, float b, double scale)
{
    const int16_t x = ScaledBound(a, scale);
    const int16_t y = ScaledBound(b, scale);
    return random.Range(std::min(x, y), std::max(x, y));
}

} // namespace

int32_t SoundEventFromName(const char* name)
{
    if (!name)
        return -1;
    for (int32_t event = 0; event < kSoundEventCount; ++event)
        if (kEventNames[event] && StrCompare(name, kEventNames[event]) == 0)
            return event;
    return -1;
}

const char* SoundEventName(int32_t event)
{
    return event >= 0 && event < kSoundEventCount ? kEventNames[event] : nullptr;
}

int GSoundManager::Init(const int32_t* soundVolume, GSoundBank* bank, const char* listPath)
{
    if (!soundVolume || !bank || !listPath)
        return 0;
    m_soundVolume = soundVolume;
    m_bank = bank;
    return LoadSoundList(listPath);
}

int GSoundManager::LoadSoundList(const char* path)
{
    m_entries.clear();
    GTableDataDoc table;
    if (!path || !table.LoadSection(path, 0, 0, kSoundTableKey) || table.GetRowCount() == 0)
        return 0;
    int counter = 0;
    for (GDataDoc* row = table.GetChild(nullptr); row; row = table.GetNextSibling(row, nullptr)) {
        GSoundEventEntry& entry = m_entries.emplace_back();
        entry.event = SoundEventFromName(row->GetAttributeString("Alias", "").GetNarrow());
        const GWString soundNames = row->GetAttributeString("SoundName", "");
        const std::string_view names = soundNames.GetNarrow();
        size_t start = 0;
        while (start <= names.size()) {
            const size_t comma = std::min(names.find(',', start), names.size());
            const std::string_view name = names.substr(start, comma - start);
            start = comma + 1;
            // Ids are kept in 16 bits: past the last one a name could only alias another sound.
            if (name.empty() || counter > INT16_MAX)
                continue;
            const std::string file = "SOUNDS/" + std::string(name) + ".ogg";
            if (m_bank && !m_bank->AddSound(counter, file.c_str()) && m_log)
                m_log->PrintError("Sound effect %s", AudioFileProblem(file).c_str());
            entry.variants.PushBack(static_cast<int16_t>(counter));
            ++counter;
        }
        entry.soundCount = static_cast<int16_t>(row->GetAttributeInt("SoundCount", 1));
        entry.volumeMin = row->GetAttributeFloat("VolumeMin", 1.0f);
        entry.volumeMax = row->GetAttributeFloat("VolumeMax", 1.0f);
        entry.freqMin = row->GetAttributeFloat("FreqMin", 1.0f);
        entry.freqMax = row->GetAttributeFloat("FreqMax", 1.0f);
    }
    return 1;
}

const GSoundEventEntry* GSoundManager::FindEntry(int32_t event) const
{
    for (const GSoundEventEntry& entry : m_entries)
        if (entry.event == event && entry.variants.GetCount() > 0)
            return &entry;
    return nullptr;
}

int GSoundManager::PlayEvent(int32_t event)
{
    if (!m_bank || !m_enabled)
        return 0;
    const GSoundEventEntry* entry = FindEntry(event);
    if (!entry)
        return 0;
    const int sound = entry->variants[static_cast<uint32_t>(m_random.Next()) % entry->variants.GetCount()];
    m_bank->SetVolume(sound, RandomInRange(m_random, entry->volumeMin, entry->volumeMax, 10000.0));
    m_bank->SetFrequency(sound, RandomInRange(m_random, entry->freqMin, entry->freqMax, 100.0));
    m_bank->Play(sound, 1);
    return 1;
}

int GSoundManager::PickEventSound(int32_t event)
{
    if (!m_bank || !m_enabled)
        return 0;
    const GSoundEventEntry* entry = FindEntry(event);
    if (!entry)
        return -1;
    return entry->variants[static_cast<uint32_t>(m_random.Next()) % entry->variants.GetCount()];
}

int GSoundManager::IsSoundPlaying(int soundId)
{
    return m_bank ? m_bank->IsPlaying(soundId) : 0;
}

void GSoundManager::SetEnabled(int32_t flag)
{
    if (m_bank)
        m_bank->SetEnabled(flag);
    m_enabled = flag;
}
