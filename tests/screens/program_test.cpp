// Runs the real program headless (SDL's dummy drivers) and has it close itself: the quit
// request a terminal sends arrives in the loop as a close message, and the program must leave
// through its normal shut-down with exit status 0.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "support/game_data_folder.h"

namespace {

// Waits up to timeout for the child; true when it ended, with its status.
bool WaitFor(pid_t child, std::chrono::milliseconds timeout, int& status)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(child, &status, WNOHANG) == child)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

pid_t StartProgram(const std::string& folder)
{
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.c_str()) != 0)
            _exit(120);
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        execl(TOLVANRISE_EXECUTABLE, TOLVANRISE_EXECUTABLE, static_cast<char*>(nullptr));
        _exit(121);
    }
    return child;
}

} // namespace

TEST(Program, RunsFramesUntilAskedToCloseThenExitsCleanly)
{
    const tolvanrise::test::GameDataFolder folder("program_run_");
    const pid_t child = StartProgram(folder.DataFolder());
    ASSERT_GT(child, 0);

    // Several 30 ms frame ticks' worth of running; the program must still be up.
    int status = 0;
    EXPECT_FALSE(WaitFor(child, std::chrono::milliseconds(600), status))
        << "the program ended early with status " << status;

    kill(child, SIGTERM);
    if (!WaitFor(child, std::chrono::seconds(10), status)) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        FAIL() << "the program did not close within 10 s";
    }
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // A clean run leaves no crash report behind.
    EXPECT_FALSE(std::filesystem::exists(folder.Data("crash.mdmp")));
}
