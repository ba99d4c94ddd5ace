#include "platform/files/shell.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/system/system_info.h"

extern char** environ;

namespace platform {

namespace {

bool IsExecutableFile(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::vector<char*> ArgvOf(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

pid_t WaitFor(pid_t pid, int& status)
{
    pid_t r;
    do
        r = ::waitpid(pid, &status, 0);
    while (r < 0 && errno == EINTR);
    return r;
}

} // namespace

std::string FindProgram(const char* name)
{
    if (!name || !*name)
        return {};
    if (std::strchr(name, '/'))
        return IsExecutableFile(name) ? std::string(name) : std::string();
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        std::string folder = folders.substr(start, end - start);
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
        if (IsExecutableFile(candidate))
            return candidate;
        start = end + 1;
    }
    return {};
}

ProgramResult RunProgram(const std::vector<std::string>& args, bool captureOutput)
{
    ProgramResult result;
    if (args.empty())
        return result;
    std::string program = FindProgram(args[0].c_str());
    if (program.empty())
        return result;

    int pipeFds[2] = {-1, -1};
    if (captureOutput && ::pipe2(pipeFds, O_CLOEXEC) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (captureOutput)
        ::posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);

    std::vector<char*> argv = ArgvOf(args);
    pid_t pid = -1;
    int error = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (captureOutput)
        ::close(pipeFds[1]);
    if (error != 0) {
        if (captureOutput)
            ::close(pipeFds[0]);
        return result;
    }
    result.started = true;
    if (captureOutput) {
        char buffer[4096];
        for (;;) {
            ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            result.output.append(buffer, size_t(n));
        }
        ::close(pipeFds[0]);
    }
    int status = 0;
    if (WaitFor(pid, status) == pid && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}

bool LaunchProgram(const std::vector<std::string>& args)
{
    if (args.empty())
        return false;
    std::string program = FindProgram(args[0].c_str());
    if (program.empty())
        return false;
    // Everything the children touch is made before the fork: between fork and exec only
    // async-signal-safe calls are allowed in a process with threads.
    std::vector<char*> argv = ArgvOf(args);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;
    pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        // The middle child starts the program in a session of its own and exits at once, so
        // the program is adopted by init and never waits to be reaped by us.
        ::close(report[0]);
        ::setsid();
        pid_t grandchild = ::fork();
        if (grandchild == 0) {
            int devNull = ::open("/dev/null", O_RDONLY);
            if (devNull >= 0) {
                ::dup2(devNull, 0);
                ::close(devNull);
            }
            ::execve(program.c_str(), argv.data(), environ);
            int failure = errno;
            (void)!::write(report[1], &failure, sizeof failure);
            ::_exit(127);
        }
        if (grandchild < 0) {
            int failure = errno;
            (void)!::write(report[1], &failure, sizeof failure);
        }
        ::_exit(0);
    }
    ::close(report[1]);
    int status = 0;
    WaitFor(child, status);
    // The pipe closes without a word when the program's exec succeeded.
    int failure = 0;
    ssize_t n;
    do
        n = ::read(report[0], &failure, sizeof failure);
    while (n < 0 && errno == EINTR);
    ::close(report[0]);
    return n == 0;
}

std::string AbsolutePath(const char* name)
{
    std::string path = name ? name : "";
    for (char& c : path)
        if (c == '\\')
            c = '/';
    if (!path.empty() && path[0] == '/')
        return path;
    std::string folder = GetCurrentFolder();
    if (folder.empty())
        return path;
    return folder == "/" ? "/" + path : folder + "/" + path;
}

} // namespace platform
