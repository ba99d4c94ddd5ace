#include "screens/game_gui_system.h"

#include <new>

#include "audio/banks/sound_bank.h"
#include "audio/player/audio_player.h"
#include "audio/player/audio_system.h"
#include "foundation/docs/data_doc_text.h"
#include "foundation/docs/xml_data_doc.h"
#include "foundation/files/html_log.h"
#include "foundation/files/scramble_keys.h"
#include "foundation/files/shared_data_folder.h"
#include "foundation/text/dictionary.h"
#include "foundation/text/wstring.h"
#include "game/profiles/player_profiles.h"
#include "graphics/store/graphics_resources.h"
#include "gui/bmp_font_manager.h"
#include "screens/game_application.h"
#include "screens/game_commands.h"

namespace {

constexpr const char* kVendorFolder = "Hallowmere";
constexpr const char* kProductFolder = "Tolvanrise";
constexpr int16_t kMinimumSystemVersion = 1;

} // namespace

GGameGuiSystem::GGameGuiSystem() = default;

GGameGuiSystem::~GGameGuiSystem()
{
    ShutdownGame();
}

std::unique_ptr<GGameGuiSystem> GGameGuiSystem::Create(GGameApplication* application)
{
    std::unique_ptr<GGameGuiSystem> system(new (std::nothrow) GGameGuiSystem());
    if (!system || !system->Init(application, kLogFileName))
        return nullptr;
    system->InitGame();
    return system;
}

int GGameGuiSystem::Init(GFormStackApplication* application, const char* logFileName)
{
    if (!GGuiSystem::Init(application, logFileName))
        return 0;
    GHtmlLog* log = GetLog();
    SetCommandFactory(std::make_unique<GGameCommandFactory>(this, GetGuiCommandFactory()));

    const int fonts = GetBmpFontManager()->Init(GetResources(), kFontList, log);
    log->Printf("Bitmap fonts loaded: %d", fonts);
    LoadDictionary();

    char shared[kMaxPathLength] = {};
    if (GetSharedDataFolder(shared, sizeof shared, kVendorFolder, kProductFolder, kMinimumSystemVersion)) {
        m_profilesFolder = std::string(shared) + "/PROFILES";
        log->Printf("Profiles folder: %s", m_profilesFolder.c_str());
    } else {
        // The game still runs; the profiles then live in the data folder.
        m_profilesFolder = "PROFILES";
        log->PrintError("Cannot open the shared data folder; profiles are kept in %s", m_profilesFolder.c_str());
    }
    m_profiles = std::make_unique<GPlayerProfiles>(m_profilesFolder);
    m_topScores = std::make_unique<GTopScoreTable>(m_profilesFolder);
    return 1;
}

int GGameGuiSystem::LoadDictionary()
{
    GHtmlLog* log = GetLog();
    GXmlDataDoc options;
    std::string fileName;
    if (options.Load(kStartUpOptions, 0)) {
        if (GDataDoc* root = options.GetChild("StartUpOptions"))
            fileName = datadoc::NarrowOf(root->GetAttributeString("Dictionary", ""));
    }
    GXmlDataDoc* doc = GetXmlDataDoc();
    if (fileName.empty() || !doc->Load(fileName.c_str(), kDictionaryKey)) {
        log->PrintError("Can not load dictionary from current language!");
        return 0;
    }
    GDataDoc* node = doc->GetChild("Dictionary");
    if (!node) {
        log->PrintError("Invalid dictionary from current language! Attribute: Dictionary");
        return 0;
    }
    GetDictionary()->SetDataDoc(node);
    log->Printf("Dictionary %s: %u entries", fileName.c_str(), GetDictionary()->GetEntryCount());
    return 1;
}

void GGameGuiSystem::InitGame()
{
    m_audio.reset(new (std::nothrow) GAudioSystem(GetApplication()));
    if (!m_audio)
        return;
    m_audio->InitDirectSound();
    if (GAudioPlayer* player = m_audio->CreateAudioPlayer("MUSIC\\"))
        player->InitModulePlayer();
    m_audio->CreateSoundBank(0, "SOUNDS\\");
    // TODO(music): construct GSoundManager and GMusicManager here and Init them with the
    // profiles, the bank / the player and "SOUNDS\\sound.csv" / "MUSIC\\music.ini", once the
    // music modes and sound events exist.
    GetLog()->Printf("Audio: %s, music player %s, sound bank %s", m_audio->GetDevice() ? "on" : "off",
                     m_audio->GetAudioPlayer() ? "ready" : "none", m_audio->GetSoundBank() ? "ready" : "none");
}

void GGameGuiSystem::ShutdownGame()
{
    // TODO(music): delete the sound manager, then the music manager, before the facade.
    if (m_audio) {
        m_audio->Shutdown();
        m_audio.reset();
    }
}

int GGameGuiSystem::LoadInterfaceResources()
{
    GGraphicsResources* store = GetResources();
    store->UnloadBitmaps(kInterfaceFirstSlot, kInterfaceLastSlot);
    if (!store->LoadBitmaps(kInterfaceFolder, kInterfaceFirstSlot, kInterfaceLastSlot - 1)) {
        GetLog()->PrintError("Error! Cannot loading resource from interface!");
        return 0;
    }
    return 1;
}

int GGameGuiSystem::ReloadAfter(const char* name, int16_t offset, int16_t count, const char* folder)
{
    GGraphicsResources* store = GetResources();
    const int16_t found = store->FindBitmap(name);
    if (found < 0)
        return 0;
    const int16_t first = static_cast<int16_t>(found + offset);
    const int16_t last = static_cast<int16_t>(first + count - 1);
    store->UnloadBitmaps(first, last);
    return store->LoadBitmaps(folder, first, last);
}

int GGameGuiSystem::LoadTextParticles()
{
    return ReloadAfter("FX_NoMoveLevel", 0, 5, nullptr);
}

int GGameGuiSystem::LoadIntroResources()
{
    return ReloadAfter("INTRO_P_BAR_BG", 1, 6, kIntroFolder);
}

void GGameGuiSystem::LoadPlayerData()
{
    if (!m_profiles)
        return;
    if (!m_profiles->Load())
        GetLog()->Printf("No usable profiles in %s: the defaults hold", m_profilesFolder.c_str());
    m_topScores->Load();
    ApplySettings();
}

int GGameGuiSystem::SavePlayerData()
{
    if (!m_profiles)
        return 0;
    const int profiles = m_profiles->Save();
    const int scores = m_topScores->Save();
    if (!profiles || !scores)
        GetLog()->PrintError("Cannot save the profiles in %s", m_profilesFolder.c_str());
    return profiles && scores ? 1 : 0;
}

void GGameGuiSystem::ApplySettings()
{
    if (!m_profiles || !m_audio)
        return;
    const GGameSettings& settings = m_profiles->GetDefaultSettings();
    // TODO(music): GMusicManager::SetEnabled / GSoundManager::SetEnabled with these volumes.
    if (GAudioPlayer* player = m_audio->GetAudioPlayer())
        player->SetVolume(settings.musicVolume);
    if (GSoundBank* bank = m_audio->GetSoundBank())
        bank->SetMasterVolume(settings.soundVolume);
}
