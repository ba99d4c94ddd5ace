// A stand-in for the outside high-score library, built as a loadable module for the client's
// tests: it records every call in a line of text the test reads back, and appends it to the
// file TOLVANRISE_SCORE_STUB_LOG names (for calls made while a process ends).

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
std::string g_calls;

void Record(const std::string& call)
{
    g_calls += call;
    if (const char* path = std::getenv("TOLVANRISE_SCORE_STUB_LOG")) {
        if (std::FILE* log = std::fopen(path, "a")) {
            std::fputs(call.c_str(), log);
            std::fclose(log);
        }
    }
}
} // namespace

extern "C" {

__attribute__((visibility("default"))) int tolvanrise_scores_open()
{
    Record("open;");
    return std::getenv("TOLVANRISE_SCORE_STUB_REFUSE") ? 0 : 1;
}

__attribute__((visibility("default"))) void tolvanrise_scores_close()
{
    Record("close;");
}

__attribute__((visibility("default"))) void tolvanrise_scores_set_mode(int mode)
{
    Record("mode " + std::to_string(mode) + ";");
}

__attribute__((visibility("default"))) int tolvanrise_scores_submit(const char* name, int score)
{
    Record("submit " + std::string(name) + " " + std::to_string(score) + ";");
    return score >= 0;
}

__attribute__((visibility("default"))) const char* score_stub_calls()
{
    return g_calls.c_str();
}
}
