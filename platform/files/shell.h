#pragma once
// Running the desktop's helper programs (file choosers, the opener of files, the mail
// composer) and the few facts about the current folder that their arguments need.
// Programs are found on PATH; their standard input is /dev/null. Any thread may call these.

#include <string>
#include <vector>

namespace platform {

// The full path of an executable found on PATH (or the name itself when it contains a slash
// and is executable); empty when there is none.
std::string FindProgram(const char* name);

struct ProgramResult {
    bool started = false; // false: not found, or it could not be executed
    int exitCode = -1;    // its exit status; -1 when it died of a signal or was not waited for
    std::string output;   // its standard output, when asked for
};

// Runs args[0] with the rest as arguments and waits for it to end.
ProgramResult RunProgram(const std::vector<std::string>& args, bool captureOutput = false);

// Starts args[0] detached (in its own session, never left as a zombie) and does not wait.
// True when the program was executed.
bool LaunchProgram(const std::vector<std::string>& args);

// name unchanged when absolute, else the current folder (GetCurrentFolder of system_info.h)
// + "/" + name; backslashes become slashes either way. Nothing is resolved or checked.
std::string AbsolutePath(const char* name);

} // namespace platform
