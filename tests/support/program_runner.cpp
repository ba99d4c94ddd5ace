#include "support/program_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

namespace tolvanrise::test {

namespace {

bool WaitFor(pid_t child, std::chrono::milliseconds timeout, int& status)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        if (waitpid(child, &status, WNOHANG) == child)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

} // namespace

RunningProgram::RunningProgram(const char* executable, const std::string& folder, const std::string& extraEnv)
{
    m_child = fork();
    if (m_child == 0) {
        if (chdir(folder.c_str()) != 0)
            _exit(120);
        const int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (err >= 0)
            dup2(err, 2);
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        if (!getenv("SDL_AUDIODRIVER"))
            setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (!extraEnv.empty())
            putenv(const_cast<char*>(extraEnv.c_str()));
        execl(executable, executable, static_cast<char*>(nullptr));
        _exit(121);
    }
}

RunningProgram::~RunningProgram()
{
    if (m_child > 0 && !m_done) {
        kill(m_child, SIGKILL);
        int status = 0;
        waitpid(m_child, &status, 0);
    }
}

ProgramRun RunningProgram::Finish(std::chrono::milliseconds runFor)
{
    ProgramRun run;
    if (m_child <= 0 || m_done)
        return run;
    int status = 0;
    if (!WaitFor(m_child, runFor, status)) {
        run.closed = true;
        kill(m_child, SIGTERM);
        if (!WaitFor(m_child, std::chrono::seconds(10), status)) {
            kill(m_child, SIGKILL);
            waitpid(m_child, &status, 0);
        }
    }
    m_done = true;
    run.exited = WIFEXITED(status);
    run.exitCode = run.exited ? WEXITSTATUS(status) : -1;
    run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return run;
}

} // namespace tolvanrise::test
