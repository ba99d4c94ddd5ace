#include "game/score/high_score_client.h"

#include <string>

#include "foundation/files/html_log.h"
#include "platform/system/shared_library.h"

GHighScoreClient::GHighScoreClient() = default;

GHighScoreClient::~GHighScoreClient()
{
    Shutdown();
}

GHighScoreClient& GHighScoreClient::Get()
{
    static GHighScoreClient client;
    return client;
}

int GHighScoreClient::Init(GHtmlLog* log, const char* libraryName)
{
    Shutdown();
    const char* name = libraryName ? libraryName : kLibraryName;
    std::string error;
    std::unique_ptr<platform::SharedLibrary> library = platform::SharedLibrary::Open(name, &error);
    Api api;
    const char* reason = nullptr;
    if (!library)
        reason = "not installed";
    else if (!library->Find("tolvanrise_scores_open", api.open) ||
             !library->Find("tolvanrise_scores_close", api.close) ||
             !library->Find("tolvanrise_scores_set_mode", api.setMode) ||
             !library->Find("tolvanrise_scores_submit", api.submit))
        reason = "not a score service";
    else if (!api.open())
        reason = "the service did not start";
    if (reason) {
        if (log)
            log->Printf("Online high scores are not available: %s (%s)", reason, name);
        return 0;
    }
    m_library = std::move(library);
    m_api = api;
    m_api.setMode(m_gameMode);
    if (log)
        log->Printf("Online high scores: %s", name);
    return 1;
}

void GHighScoreClient::Shutdown()
{
    if (!m_library)
        return;
    m_api.close();
    m_api = Api{};
    m_library.reset();
}

void GHighScoreClient::SetGameMode(int mode)
{
    m_gameMode = mode;
    if (m_library)
        m_api.setMode(mode);
}

int GHighScoreClient::SubmitScore(const char* playerName, int32_t score)
{
    if (!m_library || !playerName)
        return 0;
    return m_api.submit(playerName, score) ? 1 : 0;
}
