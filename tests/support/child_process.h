#pragma once

#include <cstdint>
#include <functional>

namespace tolvanrise::test {

// What a forked child sets up before it runs its body.
struct ChildLimits {
    // Crashes made on purpose leave no core file behind.
    bool noCoreFiles = false;
    // Writes beyond this many bytes of a file fail (instead of raising SIGXFSZ); -1: no cap.
    int64_t maxFileBytes = -1;
};

// Runs body in a forked child, which exits with body's result unless body ends it first (a
// crash, _exit). Returns the child's wait status for WIFEXITED and friends, or -1 when no
// child could be started or waited for. Output buffers are flushed before the fork so nothing
// is printed twice. Call it from the test's main thread.
int RunInChild(const std::function<int()>& body, const ChildLimits& limits = {});

} // namespace tolvanrise::test
