#pragma once
// GGameGuiSystem: the game's GUI system. Beyond the GUI's own parts it owns the player's
// profiles and top scores, the audio facade with the music and sound managers over it and the
// game's command factory, and loads the start-up data: the bitmap fonts ("fonts.xml"), the
// language dictionary named by "start_up_options.xml", and the store ranges the first screens
// reload (interface, text particles, intro). One per program; main thread only.

#include <memory>
#include <string>
#include <vector>

#include "platform/files/file_lock.h"

#include "gui/gui_system.h"

class GAudioSystem;
class GGameApplication;
class GGameMainForm;
class GMusicManager;
class GPlayerProfiles;
class GSoundManager;
class GTopScoreTable;

// The game in progress: its mode, the level being played (0 the first), the score of the
// levels won so far and the seed the boards are drawn from.
struct GGameProgress {
    bool timed = false;
    int level = 0;
    int32_t score = 0;
    uint32_t seed = 0;
};

class GGameGuiSystem : public GGuiSystem {
public:
    static constexpr const char* kLogFileName = "Tolvanrise.html";
    // A second copy running in the same folder logs to "Tolvanrise-2.html" and so on.
    static constexpr const char* kLogFileStem = "Tolvanrise";
    static constexpr int kMaxLogCopies = 9;
    // In the profiles folder: held by the copy of the game that saves them.
    static constexpr const char* kProfilesLockName = "Tolvanrise.lock";
    // A start outside the data folder, as a missing start-up file.
    static constexpr int kNotInDataFolderExitCode = 255;
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
    static constexpr const char* kSelectGameDialog = "select_game.cfg";
    static constexpr const char* kResultDialog = "result.cfg";
    // The name a finished game's score is entered under (there are no named profiles).
    static constexpr const char* kPlayerName = "Player";
    static constexpr int16_t kInterfaceFirstSlot = 1100;
    static constexpr int16_t kInterfaceLastSlot = 2100;

    GGameGuiSystem();
    ~GGameGuiSystem() override;

    // Init, then the audio start-up; null when Init fails (the reason is in the log). Started
    // outside its data folder, the program ends here with an alert saying so (also on stderr).
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
    // applies the settings to the audio. What the player must hear of the files (and of
    // another copy of the game using them) comes in one alert.
    void LoadPlayerData();
    // Writes the scores, then the store (not when the scores failed); 1 when both were written.
    // 0, writing nothing, until LoadPlayerData has run or while another copy of the game holds
    // the profiles. A failure, with the folder and the reason, and copies kept aside come in
    // one alert.
    int SavePlayerData();
    // Applies the profile store's settings: the audio (ApplyAudioSettings, as read from the
    // file); the window goes full screen or windowed as the full-screen flag says.
    void ApplySettings();
    // The one step that makes the audio follow the settings record, the only place the
    // player's audio settings live: the sound bank's and the stream player's levels, and the
    // music and sound managers switched on by a volume above 0, off by 0. fromFile: the
    // settings were just read (the managers are switched whatever state they are in).
    void ApplyAudioSettings(bool fromFile);

    // The main menu opens once the forms on the stack have gone, with the menu music.
    void OpenMainMenu();
    // A new game ("cmClearAsGameOver"): the first level, no score, the mode the high-score
    // client was given, a seed from the clock.
    void ClearGame();
    // The windows go and the game's main form opens ("cmStartGame"); the main menu comes back
    // when the form cannot be made.
    void StartGame();
    // The game's main form goes and the main menu comes back ("cmExitGame").
    void ExitGame();
    // "cmContinueGame" after the result window: the main form goes on, and the level-end
    // music gives way to the game's (timed or not) when the game goes on.
    void ContinueGame();
    // The last level is won: the score enters the top scores when it earns a place and goes
    // to the high-score client; the main menu comes back.
    void FinishGame();
    GGameProgress& GetProgress() { return m_progress; }
    GGameMainForm* GetMainForm() const { return m_mainForm; }
    void SetMainForm(GGameMainForm* form) { m_mainForm = form; }

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
    std::vector<std::string> TakeRecordAlerts();
    void ShowAlerts(const std::vector<std::string>& alerts);
    static void EndUnlessInDataFolder();
    // The log's name, locked for this copy of the game.
    std::string TakeLogName();
    void TakeProfilesLock();

    std::string m_profilesFolder;
    std::unique_ptr<GPlayerProfiles> m_profiles;
    std::unique_ptr<GTopScoreTable> m_topScores;
    bool m_playerDataLoaded = false; // until then the files on disk are the player's only copy
    std::unique_ptr<platform::FileLock> m_logLock;
    std::unique_ptr<platform::FileLock> m_profilesLock;
    bool m_profilesShared = false; // another running copy holds the profiles
    long m_profilesHolder = 0;     // its process id, 0 when unknown
    std::unique_ptr<GAudioSystem> m_audio;
    std::unique_ptr<GSoundManager> m_soundManager;
    std::unique_ptr<GMusicManager> m_musicManager;
    GGameProgress m_progress;
    GGameMainForm* m_mainForm = nullptr; // owned by the form stack while it is on it
};
