#include "support/child_process.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace tolvanrise::test {

int RunInChild(const std::function<int()>& body, const ChildLimits& limits)
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (limits.noCoreFiles) {
            struct rlimit none = {0, 0};
            ::setrlimit(RLIMIT_CORE, &none);
            ::prctl(PR_SET_DUMPABLE, 0);
        }
        if (limits.maxFileBytes >= 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlim_t bytes = static_cast<rlim_t>(limits.maxFileBytes);
            struct rlimit cap = {bytes, bytes};
            ::setrlimit(RLIMIT_FSIZE, &cap);
        }
        ::_exit(body());
    }
    int status = 0;
    pid_t waited;
    while ((waited = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
    }
    return waited == child ? status : -1;
}

} // namespace tolvanrise::test
