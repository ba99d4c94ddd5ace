#pragma once
// GHighScoreClient: the client of the online high-score service. The service is an outside
// library, opened at start when it is installed; without it (the usual case) the client keeps
// do-nothing operations and says the service is not available. A library that lacks one of the
// functions below counts as absent. Process-wide, reached through Get(); main thread only.
//
// What the library exports (C linkage):
//   int  tolvanrise_scores_open(void)                       nonzero when the service is ready
//   void tolvanrise_scores_close(void)
//   void tolvanrise_scores_set_mode(int mode)
//   int  tolvanrise_scores_submit(const char* name, int score)   nonzero when sent

#include <cstdint>
#include <memory>

class GHtmlLog;

namespace platform {
class SharedLibrary;
}

class GHighScoreClient {
public:
    static constexpr const char* kLibraryName = "libtolvanrise_scores.so";

    static GHighScoreClient& Get();

    // Looks for the library (libraryName, or kLibraryName when null) and opens the service;
    // a client already started is shut down first. One line in the log either way (log may be
    // null). 1 when the service is available.
    int Init(GHtmlLog* log, const char* libraryName = nullptr);
    // Closes the service and the library; nothing when it was never started. Idempotent.
    void Shutdown();
    bool IsAvailable() const { return m_library != nullptr; }

    // The game mode the next scores belong to (0 normal, 1 relax, 2 timed); kept also without
    // the service.
    void SetGameMode(int mode);
    int GetGameMode() const { return m_gameMode; }
    // Sends a finished game's score; 0 when the service is not available or refused it.
    int SubmitScore(const char* playerName, int32_t score);

private:
    GHighScoreClient();
    ~GHighScoreClient();

    struct Api {
        int (*open)() = nullptr;
        void (*close)() = nullptr;
        void (*setMode)(int) = nullptr;
        int (*submit)(const char*, int) = nullptr;
    };
    std::unique_ptr<platform::SharedLibrary> m_library;
    Api m_api;
    int m_gameMode = 0;
};
