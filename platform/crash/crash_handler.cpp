#include "platform/crash/crash_handler.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

namespace platform {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int kSignalCount = sizeof(kSignals) / sizeof(kSignals[0]);
// The callback may show a message box, which takes far more stack than a plain handler.
constexpr size_t kAltStackBytes = 1024 * 1024;
constexpr size_t kGuardBytes = 4096;

struct HandlerState {
    std::unique_ptr<MinidumpWriter> writer;
    CrashCallback callback = nullptr;
    void* user = nullptr;
    pid_t threadId = 0;
    struct sigaction previous[kSignalCount];
    void* altStackMapping = nullptr;
    stack_t previousAltStack{};
    bool installed = false;
};

HandlerState g_state;
// Set by the first fatal signal; a second one (a crash inside the report) is not handled.
std::atomic<int> g_handling{0};

pid_t CurrentThreadId() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

void RestoreDefaults()
{
    struct sigaction dfl;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    for (int sig : kSignals)
        ::sigaction(sig, &dfl, nullptr);
}

// The signal is blocked while its handler runs, so it stays pending and kills the process
// with the default action the moment the handler returns, whether it came from a fault or
// from kill/abort.
void DieBySignal(int sig)
{
    RestoreDefaults();
    ::syscall(SYS_tgkill, ::getpid(), CurrentThreadId(), sig);
}

void OnFatalSignal(int sig, siginfo_t* info, void* ucontext)
{
    int saved = errno;
    if (!g_state.installed || CurrentThreadId() != g_state.threadId ||
        g_handling.exchange(1) != 0) {
        DieBySignal(sig);
        errno = saved;
        return;
    }
    CrashInfo crash;
    crash.signal = sig;
    crash.code = info ? info->si_code : 0;
    // A signal sent by a process (kill, raise, abort) has no fault address; its si_addr
    // would be the sender's id.
    if (info && info->si_code > 0)
        crash.faultAddress = reinterpret_cast<uint64_t>(info->si_addr);
#if defined(__x86_64__)
    if (ucontext)
        crash.instructionAddress =
            static_cast<uint64_t>(static_cast<ucontext_t*>(ucontext)->uc_mcontext.gregs[REG_RIP]);
#endif
    crash.threadId = static_cast<uint32_t>(g_state.threadId);
    g_state.writer->Capture(crash, ucontext);
    if (g_state.callback)
        g_state.callback(crash, g_state.user);
    DieBySignal(sig);
    errno = saved;
}

} // namespace

bool InstallCrashHandler(CrashCallback callback, void* user)
{
    if (g_state.installed)
        UninstallCrashHandler();
    auto writer = std::make_unique<MinidumpWriter>();
    if (!writer->Prepare())
        return false;

    // The alternate stack, with an inaccessible page below it so that an overflow of the
    // handler itself faults instead of running into other memory.
    void* mapping = ::mmap(nullptr, kAltStackBytes + kGuardBytes, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED)
        return false;
    ::mprotect(mapping, kGuardBytes, PROT_NONE);
    stack_t altStack{};
    altStack.ss_sp = static_cast<char*>(mapping) + kGuardBytes;
    altStack.ss_size = kAltStackBytes;
    altStack.ss_flags = 0;
    stack_t previousAltStack{};
    if (::sigaltstack(&altStack, &previousAltStack) != 0) {
        ::munmap(mapping, kAltStackBytes + kGuardBytes);
        return false;
    }

    g_state.writer = std::move(writer);
    g_state.callback = callback;
    g_state.user = user;
    g_state.threadId = CurrentThreadId();
    g_state.altStackMapping = mapping;
    g_state.previousAltStack = previousAltStack;
    g_handling.store(0);

    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_sigaction = OnFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    // No second fatal signal may interrupt the report halfway.
    for (int sig : kSignals)
        sigaddset(&action.sa_mask, sig);
    for (int i = 0; i < kSignalCount; ++i)
        ::sigaction(kSignals[i], &action, &g_state.previous[i]);
    g_state.installed = true;
    return true;
}

void UninstallCrashHandler()
{
    if (!g_state.installed)
        return;
    for (int i = 0; i < kSignalCount; ++i)
        ::sigaction(kSignals[i], &g_state.previous[i], nullptr);
    g_state.installed = false;
    // Put the old alternate stack back only when ours is still the one in use.
    stack_t current{};
    if (::sigaltstack(nullptr, &current) == 0 &&
        current.ss_sp == static_cast<char*>(g_state.altStackMapping) + kGuardBytes) {
        stack_t restore = g_state.previousAltStack;
        if (restore.ss_flags & SS_DISABLE || restore.ss_sp == nullptr) {
            restore = stack_t{};
            restore.ss_flags = SS_DISABLE;
        }
        ::sigaltstack(&restore, nullptr);
    }
    ::munmap(g_state.altStackMapping, kAltStackBytes + kGuardBytes);
    g_state.altStackMapping = nullptr;
    g_state.writer.reset();
    g_state.callback = nullptr;
    g_state.user = nullptr;
}

bool IsCrashHandlerInstalled() { return g_state.installed; }

int OpenCrashDumpFile(const char* path)
{
    if (!path)
        return -1;
    int fd;
    do
        fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    while (fd < 0 && errno == EINTR);
    return fd;
}

bool WriteCrashDump(int fd, MinidumpKind kind)
{
    return g_state.writer && g_state.writer->Write(fd, kind);
}

bool CloseCrashDumpFile(int fd)
{
    if (fd < 0)
        return false;
    // A close interrupted by a signal has still released the descriptor on Linux.
    return ::close(fd) == 0 || errno == EINTR;
}

} // namespace platform
