#include "screens/game_gui_system.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "audio/banks/sound_bank.h"
#include "audio/music/music_manager.h"
#include "audio/music/sound_manager.h"
#include "audio/player/audio_player.h"
#include "audio/player/audio_system.h"
#include "foundation/docs/data_doc_text.h"
#include "foundation/docs/xml_data_doc.h"
#include "foundation/files/data_files.h"
#include "foundation/files/html_log.h"
#include "foundation/files/scramble_keys.h"
#include "foundation/files/shared_data_folder.h"
#include "foundation/text/dictionary.h"
#include "foundation/text/wstring.h"
#include "game/profiles/player_profiles.h"
#include "graphics/store/graphics_resources.h"
#include "gui/bmp_font_manager.h"
#include "gui/form_stack_application.h"
#include "gui/old_font_manager.h"
#include "platform/files/file_system.h"
#include "platform/files/paths.h"
#include "platform/system/system_info.h"
#include "screens/game_application.h"
#include "screens/game_commands.h"
#include "screens/game_window.h"
#include "screens/options_window.h"
#include "screens/result_window.h"
#include "screens/select_game_window.h"

namespace {

constexpr const char* kVendorFolder = "Hallowmere";
constexpr const char* kProductFolder = "Tolvanrise";
constexpr int16_t kMinimumSystemVersion = 1;

// The raster fonts of the older controls: the sheets the font tool renders into the store.
struct RasterFontSpec {
    const char* name;
    const char* sheet;
    uint16_t spaceWidth;
    uint8_t last;
    uint8_t first;
};
constexpr RasterFontSpec kRasterFonts[] = {
    {"Sans9", "OLDFONT_SANS9", 3, 255, 33},
};

// The engine's names use '\\'; what the player reads uses '/'.
std::string ShownPath(const char* name)
{
    std::string shown = name;
    std::replace(shown.begin(), shown.end(), '\\', '/');
    return shown;
}

} // namespace

GGameGuiSystem::GGameGuiSystem() = default;

GGameGuiSystem::~GGameGuiSystem()
{
    ShutdownGame();
}

std::unique_ptr<GGameGuiSystem> GGameGuiSystem::Create(GGameApplication* application)
{
    EndUnlessInDataFolder();
    std::unique_ptr<GGameGuiSystem> system(new (std::nothrow) GGameGuiSystem());
    if (!system)
        return nullptr;
    const std::string log = system->TakeLogName();
    if (!system->Init(application, log.c_str()))
        return nullptr;
    system->InitGame();
    return system;
}

void GGameGuiSystem::EndUnlessInDataFolder()
{
    if (platform::IsFolder(kResourceFolder))
        return;
    // Started elsewhere (from the build folder, say): every file would be "not found".
    std::string text = std::string("Tolvanrise runs from its data folder, and ") +
                       platform::GetCurrentFolder() + " is not one: it has no " + kResourceFolder +
                       " folder.";
    const std::string beside = platform::GetProgramFolder() + "data";
    if (platform::IsFolder((beside + "/" + kResourceFolder).c_str()))
        text += " Start it in " + beside + ".";
    else
        text += " Start it in the folder that holds its data.";
    std::fprintf(stderr, "%s\n", text.c_str());
    EndProcessWithAlert(text.c_str(), kNotInDataFolderExitCode);
}

std::string GGameGuiSystem::TakeLogName()
{
    // A second copy of the game started in the same folder writes a log of its own, never
    // over the first one's while it runs.
    for (int copy = 1; copy <= kMaxLogCopies; ++copy) {
        const std::string name =
            copy == 1 ? std::string(kLogFileName)
                      : kLogFileStem + std::string("-") + std::to_string(copy) + ".html";
        platform::FileLock::Outcome outcome;
        m_logLock = platform::FileLock::Take(name.c_str(), outcome, nullptr, nullptr, false);
        if (outcome != platform::FileLock::Outcome::kHeldElsewhere)
            return name;
    }
    return kLogFileName;
}

int GGameGuiSystem::Init(GFormStackApplication* application, const char* logFileName)
{
    if (!GGuiSystem::Init(application, logFileName))
        return 0;
    GHtmlLog* log = GetLog();
    SetCommandFactory(std::make_unique<GGameCommandFactory>(this, GetGuiCommandFactory()));

    // Every window's texts and buttons are drawn in these fonts: without one of them a window
    // would open without its controls, so a font that cannot be made stops the start.
    const int fonts = GetBmpFontManager()->Init(GetResources(), kFontList, log);
    log->Printf("Bitmap fonts loaded: %d", fonts);
    if (!GetBmpFontManager()->GetProblem().empty())
        return RefuseStart(GetBmpFontManager()->GetProblem(), true);
    int rasterFonts = 0;
    for (const RasterFontSpec& font : kRasterFonts) {
        if (!GetOldFontManager()->AddFont(font.name, font.sheet, font.spaceWidth, font.last,
                                          font.first))
            return RefuseStart(std::string("Cannot make the raster font ") + font.name +
                                   " from the sheet " + font.sheet,
                               false);
        ++rasterFonts;
    }
    log->Printf("Raster fonts made: %d", rasterFonts);
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
    TakeProfilesLock();
    return 1;
}

void GGameGuiSystem::TakeProfilesLock()
{
    // The folder is made now (not at the first save) so that the lock can live in it; where it
    // cannot be made the saves say why.
    platform::CreateFolders(m_profilesFolder.c_str());
    platform::FileLock::Outcome outcome;
    std::string reason;
    m_profilesLock = platform::FileLock::Take((m_profilesFolder + "/" + kProfilesLockName).c_str(),
                                              outcome, &m_profilesHolder, &reason);
    if (outcome == platform::FileLock::Outcome::kHeldElsewhere)
        GetLog()->PrintError("Another Tolvanrise (process %ld) uses the profiles in %s: this one "
                             "does not save them",
                             m_profilesHolder, m_profilesFolder.c_str());
    else if (outcome == platform::FileLock::Outcome::kUnavailable)
        GetLog()->Printf("No lock on the profiles in %s (%s)", m_profilesFolder.c_str(),
                         reason.c_str());
    m_profilesShared = outcome == platform::FileLock::Outcome::kHeldElsewhere;
}

int GGameGuiSystem::RefuseStart(const std::string& cause, bool logged)
{
    if (!logged)
        GetLog()->PrintError("%s", cause.c_str());
    ShowAlert(cause.c_str());
    return 0;
}

std::unique_ptr<GDialog> GGameGuiSystem::MakeDialog(const char* fileName)
{
    if (!fileName)
        return nullptr;
    auto window = std::unique_ptr<GGameWindow>(new (std::nothrow)
                                                   GGameWindow(GetApplication(), this, fileName));
    if (!window || !window->Create())
        return nullptr;
    if (StrCompare(fileName, kOptionsDialog) == 0)
        GOptionsWndControlListener::Attach(*window, *this);
    if (StrCompare(fileName, kSelectGameDialog) == 0)
        window->AddControlListener(std::make_unique<GSelectGameWndControlListener>(*this));
    if (StrCompare(fileName, kResultDialog) == 0 && m_mainForm)
        ShowResult(*window, *m_mainForm, *this);
    return window;
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
    GAudioPlayer* player = m_audio->CreateAudioPlayer(kMusicFolder);
    if (player)
        player->InitModulePlayer();
    GSoundBank* bank = m_audio->CreateSoundBank(0, kSoundFolder);
    // Without a bank, a player or a list a manager stays silent; the game runs on. Only a list
    // that the ready bank or player cannot use is worth a line in the log.
    GGameSettings* settings = m_profiles ? &m_profiles->GetDefaultSettings() : nullptr;
    m_soundManager.reset(new (std::nothrow) GSoundManager());
    if (m_soundManager)
        m_soundManager->SetLog(GetLog());
    if (m_soundManager && !m_soundManager->Init(settings ? &settings->soundVolume : nullptr, bank, kSoundList) && bank)
        GetLog()->PrintError("Cannot load the sound list %s", ShownPath(kSoundList).c_str());
    m_musicManager.reset(new (std::nothrow) GMusicManager());
    if (m_musicManager)
        m_musicManager->SetLog(GetLog());
    if (m_musicManager && !m_musicManager->Init(settings ? &settings->musicVolume : nullptr, player, kMusicList) &&
        player)
        GetLog()->PrintError("Cannot load the music list %s", ShownPath(kMusicList).c_str());
    GetLog()->Printf("Audio: %s, music player %s, sound bank %s, music modes %u, sound events %u",
                     m_audio->GetDevice() ? "on" : "off", player ? "ready" : "none", bank ? "ready" : "none",
                     m_musicManager ? static_cast<unsigned>(m_musicManager->GetEntries().size()) : 0u,
                     m_soundManager ? static_cast<unsigned>(m_soundManager->GetEntries().size()) : 0u);
}

void GGameGuiSystem::ShutdownGame()
{
    // The managers borrow the bank and the player, so they go first.
    m_soundManager.reset();
    m_musicManager.reset();
    if (m_audio) {
        m_audio->Shutdown();
        m_audio.reset();
    }
}

int GGameGuiSystem::LoadInterfaceResources()
{
    GGraphicsResources* store = GetResources();
    store->UnloadBitmaps(kInterfaceFirstSlot, kInterfaceLastSlot);
    std::string why;
    if (!store->LoadBitmaps(kInterfaceFolder, kInterfaceFirstSlot, kInterfaceLastSlot - 1, &why)) {
        GetLog()->PrintError("Error! Cannot loading resource from interface! %s", why.c_str());
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
    std::string why;
    if (store->LoadBitmaps(folder, first, last, &why))
        return 1;
    // The game runs on without these pictures; the log says which file and why.
    GetLog()->PrintError("Cannot load the bitmaps after %s: %s", name,
                         why.empty() ? "no loaded slot there" : why.c_str());
    return 0;
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
    m_profiles->Load();
    // Only when nothing of the file was taken; a file used in part says so in its notes.
    if (m_profiles->HoldsDefaults())
        GetLog()->Printf("No usable profiles in %s: the defaults hold", m_profilesFolder.c_str());
    m_topScores->Load();
    LogRecordNotes();
    std::vector<std::string> alerts = TakeRecordAlerts();
    if (m_profilesShared)
        alerts.push_back("Another Tolvanrise (process " + std::to_string(m_profilesHolder) +
                         ") is using the profiles in " + m_profilesFolder +
                         ". The settings changed in this one will not be saved.");
    ShowAlerts(alerts);
    m_playerDataLoaded = true;
    ApplySettings();
}

int GGameGuiSystem::SavePlayerData()
{
    // A game closed before the loading step read the player's files would write the defaults
    // over them.
    if (!m_profiles || !m_playerDataLoaded)
        return 0;
    if (m_profilesShared) {
        // Told at the start; the other copy's settings stay as it saves them.
        GetLog()->PrintError("The profiles in %s are not saved: another Tolvanrise (process %ld) "
                             "uses them",
                             m_profilesFolder.c_str(), m_profilesHolder);
        return 0;
    }
    // The scores lead and the store follows: a close cut short between the two leaves new
    // scores beside an old store, never a new store beside old scores. So a store is never
    // written beside scores that could not be.
    const int scores = m_topScores->Save();
    const int profiles = scores ? m_profiles->Save() : 0;
    LogRecordNotes();
    std::vector<std::string> alerts = TakeRecordAlerts();
    if (!scores || !profiles) {
        const std::string& why =
            !scores ? m_topScores->GetWriteFailure() : m_profiles->GetWriteFailure();
        GetLog()->PrintError("Cannot save the profiles in %s: %s%s", m_profilesFolder.c_str(),
                             !scores ? "the top scores cannot be written, " : "", why.c_str());
        alerts.push_back("The settings cannot be saved in " + m_profilesFolder + ": " +
                         (!scores ? "the top scores cannot be written there (" + why +
                                        "), and the profiles are written only after them."
                                  : why + ".") +
                         " The changes of this session are lost.");
    }
    ShowAlerts(alerts);
    return profiles && scores ? 1 : 0;
}

void GGameGuiSystem::LogRecordNotes()
{
    for (std::vector<std::string> notes : {m_profiles->TakeNotes(), m_topScores->TakeNotes()})
        for (const std::string& note : notes)
            GetLog()->PrintError("%s", note.c_str());
}

std::vector<std::string> GGameGuiSystem::TakeRecordAlerts()
{
    std::vector<std::string> alerts = m_profiles->TakeAlerts();
    for (std::string& alert : m_topScores->TakeAlerts())
        alerts.push_back(std::move(alert));
    return alerts;
}

void GGameGuiSystem::ShowAlerts(const std::vector<std::string>& alerts)
{
    // One box for all of them: the player confirms once, not once per record.
    std::string text;
    for (const std::string& alert : alerts)
        text += (text.empty() ? "" : "\n\n") + alert;
    if (!text.empty())
        ShowAlert(text.c_str());
}

void GGameGuiSystem::ApplyAudioSettings(bool fromFile)
{
    if (!m_profiles)
        return;
    const GGameSettings& settings = m_profiles->GetDefaultSettings();
    // The bank's master level is not part of the sound manager's switch; without it a saved
    // sound volume would only take effect once the options window is opened. A switched-off
    // sound keeps the bank's level it had.
    GSoundBank* bank = m_audio ? m_audio->GetSoundBank() : nullptr;
    if (bank && (fromFile || settings.IsOn(GGameSettings::kSound)))
        bank->SetMasterVolume(settings.soundVolume);
    // Read from the file, the volumes switch the managers (0 off, any other value on, the
    // music then playing its mode); later only a change of on or off does, so that a volume
    // changed while the music plays does not start its track again.
    if (m_musicManager &&
        (fromFile || (m_musicManager->IsEnabled() != 0) != settings.IsOn(GGameSettings::kMusic)))
        m_musicManager->SetEnabled(settings.musicVolume);
    else if (GAudioPlayer* player = m_audio ? m_audio->GetAudioPlayer() : nullptr;
             player && settings.IsOn(GGameSettings::kMusic))
        player->SetVolume(settings.musicVolume);
    if (m_soundManager &&
        (fromFile || (m_soundManager->IsEnabled() != 0) != settings.IsOn(GGameSettings::kSound)))
        m_soundManager->SetEnabled(settings.soundVolume);
}

void GGameGuiSystem::ApplySettings()
{
    if (!m_profiles)
        return;
    const GGameSettings& settings = m_profiles->GetDefaultSettings();
    ApplyAudioSettings(true);
    if (GFormStackApplication* application = GetApplication()) {
        application->SetFullscreen(settings.flags[GGameSettings::kFullScreenFlag] ? 1 : 0);
        GetLog()->Printf("Settings applied: music %d, sound %d, full screen %s", settings.musicVolume,
                         settings.soundVolume, application->IsFullscreen() ? "on" : "off");
    }
}
