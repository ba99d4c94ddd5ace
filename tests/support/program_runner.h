#pragma once
// Runs the real program headless (SDL's dummy drivers unless told otherwise, maybe as another
// user) in a folder, its standard error going to "stderr.txt" there; Finish waits for it to
// end by itself, else sends the quit request a terminal sends (then kills it after 10 s).
// POSIX; the test's main thread only.

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/temp_files.h"

namespace tolvanrise::test {

struct ProgramRun {
    bool closed = false; // it was still running and was asked to quit
    int exitCode = -1;   // -1 when it did not exit by itself
    int signal = 0;      // when a signal ended it
};

// How the child runs besides the defaults (SDL's dummy drivers, the test's user).
struct ProgramOptions {
    std::vector<std::string> env;   // "NAME=value" set in the child
    std::vector<std::string> unset; // names taken out of the child's environment
    bool dummyVideo = true;         // false: SDL_VIDEODRIVER as env and unset leave it
    uid_t user = 0;                 // nonzero: the child runs as this user and group
    gid_t group = 0;
    std::string errorFile = "stderr.txt"; // in the folder
};

class RunningProgram {
public:
    // env: one "NAME=value" set in the child besides the drivers (may be empty).
    RunningProgram(const char* executable, const std::string& folder, std::string env = {})
        : RunningProgram(executable, folder, WithOne(std::move(env)))
    {
    }
    RunningProgram(const char* executable, const std::string& folder, ProgramOptions options)
        : m_options(std::move(options))
    {
        m_child = fork();
        if (m_child != 0)
            return;
        const int err = chdir(folder.c_str()) == 0
                            ? open(m_options.errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)
                            : -1;
        if (err < 0)
            _exit(120);
        dup2(err, 2);
        if (m_options.dummyVideo)
            setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        for (const std::string& name : m_options.unset)
            unsetenv(name.c_str());
        for (std::string& pair : m_options.env)
            putenv(pair.data());
        if (m_options.user != 0 &&
            (setgroups(0, nullptr) != 0 || setgid(m_options.group) != 0 || setuid(m_options.user) != 0))
            _exit(122);
        execl(executable, executable, static_cast<char*>(nullptr));
        _exit(121);
    }
    pid_t GetPid() const { return m_child; }
    ~RunningProgram() { Finish(std::chrono::milliseconds(0)); }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // Sends a signal to the program while it runs (a kill in the middle of its close...).
    void Signal(int number)
    {
        if (m_child > 0)
            kill(m_child, number);
    }

    ProgramRun Finish(std::chrono::milliseconds runFor)
    {
        ProgramRun run;
        int status = 0;
        if (m_child <= 0)
            return run;
        if (!WaitFor(runFor, status)) {
            run.closed = true;
            kill(m_child, SIGTERM);
            if (!WaitFor(std::chrono::seconds(10), status) && kill(m_child, SIGKILL) == 0)
                waitpid(m_child, &status, 0);
        }
        m_child = -1;
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        return run;
    }

    // Waits until the file holds the text, the program has ended or the time is up (sanitizer
    // builds on a busy machine start slowly: callers give tens of seconds). True when found.
    bool WaitForText(const std::string& file, std::string_view text, std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (ReadFileBytes(file).find(text) != std::string::npos)
                return true;
            // An ended program writes no more; it is left for Finish to reap.
            siginfo_t info{};
            if (m_child <= 0 || waitid(P_PID, static_cast<id_t>(m_child), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
                info.si_pid == m_child)
                return ReadFileBytes(file).find(text) != std::string::npos;
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

private:
    static ProgramOptions WithOne(std::string env)
    {
        ProgramOptions options;
        if (!env.empty())
            options.env.push_back(std::move(env));
        return options;
    }

    bool WaitFor(std::chrono::milliseconds timeout, int& status)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (waitpid(m_child, &status, WNOHANG) != m_child) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    ProgramOptions m_options;
    pid_t m_child = -1;
};

} // namespace tolvanrise::test
