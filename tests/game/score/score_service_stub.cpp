// A stand-in for the outside high-score library, built as a loadable module for the client's
// tests: it records every call in a line of text the test reads back.

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
std::string g_calls;
}

extern "C" {

__attribute__((visibility("default"))) int tolvanrise_scores_open()
{
    g_calls += "open;";
    return std::getenv("TOLVANRISE_SCORE_STUB_REFUSE") ? 0 : 1;
}

__attribute__((visibility("default"))) void tolvanrise_scores_close()
{
    g_calls += "close;";
}

__attribute__((visibility("default"))) void tolvanrise_scores_set_mode(int mode)
{
    g_calls += "mode " + std::to_string(mode) + ";";
}

__attribute__((visibility("default"))) int tolvanrise_scores_submit(const char* name, int score)
{
    g_calls += "submit " + std::string(name) + " " + std::to_string(score) + ";";
    return score >= 0;
}

__attribute__((visibility("default"))) const char* score_stub_calls()
{
    return g_calls.c_str();
}
}
