#pragma once
// Starts the real program headless (SDL's dummy drivers) in a folder, its standard error going
// to "stderr.txt" there, and ends it with the quit request a terminal sends when it is still
// running after a while. POSIX only; call from the test's main thread.

#include <sys/types.h>

#include <chrono>
#include <string>

namespace tolvanrise::test {

struct ProgramRun {
    bool exited = false;   // ended by itself or after the quit request, with an exit status
    int exitCode = -1;     // when exited
    int signal = 0;        // when ended by a signal
    bool closed = false;   // it was still running and was asked to quit
};

class RunningProgram {
public:
    // extraEnv: "NAME=value" set in the child besides the dummy drivers (may be empty). The
    // audio driver stays as the caller's environment has it when it is set.
    RunningProgram(const char* executable, const std::string& folder, const std::string& extraEnv = {});
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Started() const { return m_child > 0; }
    // Waits up to runFor for the program to end by itself, then asks it to quit and waits up
    // to 10 s more (then kills it).
    ProgramRun Finish(std::chrono::milliseconds runFor);

private:
    pid_t m_child = -1;
    bool m_done = false;
};

} // namespace tolvanrise::test
