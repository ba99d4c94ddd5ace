#pragma once
// GGameGuiSystem: the game's GUI system. Beyond the GUI's own parts it owns the player's
// profiles and top scores, the audio facade with the music and sound managers over it and the
// game's command factory, and loads the start-up data: the bitmap fonts ("fonts.xml"), the
// language dictionary named by "start_up_options.xml", and the store ranges the first screens
// reload (interface, text particles, intro). One per program; main thread only.

#include <memory>
#include <string>

#include "gui/gui_system.h"

class GAudioSystem;
class GGameApplication;
class GMusicManager;
class GPlayerProfiles;
class GSoundManager;
class GTopScoreTable;

class GGameGuiSystem : public GGuiSystem {
public:
    static constexpr const char* kLogFileName = "Tolvanrise.html";
    static constexpr const char* kFontList = "fonts.xml";
    static constexpr const char* kStartUpOptions = "start_up_options.xml";
    static constexpr const char* kInterfaceFolder = "INTERFACE";
    static constexpr const char* kIntroFolder = "INTRO";
    static constexpr const char* kMusicFolder = "MUSIC\\";
    static constexpr const char* kSoundFolder = "SOUNDS\\";
    static constexpr const char* kMusicList = "MUSIC\\music.ini";
    static constexpr const char* kSoundList = "SOUNDS\\sound.csv";
    static constexpr const char* kMainMenuDialog = "main_menu.cfg";
    static constexpr const char* kOptionsDialog = "options.cfg";
    static constexpr int16_t kInterfaceFirstSlot = 1100;
    static constexpr int16_t kInterfaceLastSlot = 2100;

    GGameGuiSystem();
    ~GGameGuiSystem() override;

    // Init, then the audio start-up; null when Init fails (the reason is in the log).
    static std::unique_ptr<GGameGuiSystem> Create(GGameApplication* application);

    // The GUI's start-up, the game's command factory, the fonts (bitmap fonts from the list,
    // raster fonts from their sheets in the store), the dictionary and the
    // profiles folder (the profiles are not read yet). 1, or 0 when the GUI's start-up fails
    // or a font of the list or a raster font cannot be made.
    int Init(GFormStackApplication* application, const char* logFileName) override;
    // The audio start-up: facade, device, stream player with its module player, sound bank,
    // then the sound manager and the music manager with their lists. A part that cannot start
    // leaves the ones above it silent, never the program stopped.
    void InitGame();
    // The audio shut-down: the managers, then the facade. Also run by the destructor.
    void ShutdownGame();

    // The game's windows (GGameWindow), the options window with its listener; created, so they
    // have begun to appear and play their sound event.
    std::unique_ptr<GDialog> MakeDialog(const char* fileName) override;

    // Reads the dictionary named by the start-up options into the XML document and hands its
    // "Dictionary" element to the dictionary; failures are logged. 1 when a table was read.
    int LoadDictionary();
    // The store ranges the first screens refill; 1 on success.
    int LoadInterfaceResources();
    int LoadTextParticles();
    int LoadIntroResources();
    // Reads the profiles and top scores (a missing or damaged file gives the defaults) and
    // applies the settings to the audio.
    void LoadPlayerData();
    // Writes both; 1 when both were written. 0, writing nothing, until LoadPlayerData has run.
    int SavePlayerData();
    // Applies the profile store's settings: a music or sound volume of 0 switches that manager
    // off, any other value on (the music then plays its mode at that volume); the window goes
    // full screen or windowed as the full-screen flag says.
    void ApplySettings();

    const std::string& GetProfilesFolder() const { return m_profilesFolder; }
    GPlayerProfiles* GetProfiles() const { return m_profiles.get(); }
    GTopScoreTable* GetTopScores() const { return m_topScores.get(); }
    GAudioSystem* GetAudio() const { return m_audio.get(); }
    GSoundManager* GetSoundManager() const { return m_soundManager.get(); }
    GMusicManager* GetMusicManager() const { return m_musicManager.get(); }

private:
    // A start-up that cannot give the player working windows: the cause is logged (unless it
    // was already) and shown, and Init fails (the game ends with its start-up error).
    int RefuseStart(const std::string& cause, bool logged);
    // Empties count slots from the named image's slot + offset and refills them from the
    // folder's set (null: the current folder); 0 when the name is not in the store.
    int ReloadAfter(const char* name, int16_t offset, int16_t count, const char* folder);
    // Writes what the record files found wrong on disk, and did about it, as error lines.
    void LogRecordNotes();

    std::string m_profilesFolder;
    std::unique_ptr<GPlayerProfiles> m_profiles;
    std::unique_ptr<GTopScoreTable> m_topScores;
    bool m_playerDataLoaded = false; // until then the files on disk are the player's only copy
    std::unique_ptr<GAudioSystem> m_audio;
    std::unique_ptr<GSoundManager> m_soundManager;
    std::unique_ptr<GMusicManager> m_musicManager;
};
