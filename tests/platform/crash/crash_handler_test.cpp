// The crash handler in real crashes: each case forks a child that installs the handler and
// then faults on purpose. The parent checks how the child died and what it left behind.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/crash/crash_handler.h"
#include "support/minidump_reader.h"
#include "support/child_process.h"
#include "support/temp_files.h"

namespace {

using minidump_test::Dump;
using minidump_test::ParseDumpFile;
using namespace tolvanrise::test;

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// What the child's callback does; set before the fork.
const char* g_dumpPath = nullptr;
const char* g_markerPath = nullptr;
platform::MinidumpKind g_kind = platform::MinidumpKind::Normal;
bool g_crashInCallback = false;

// Volatile so the compiler cannot see the faults coming.
volatile int g_zero = 0;
volatile bool g_keepRecursing = true;
volatile int* volatile g_badPointer = reinterpret_cast<int*>(16);

// Handed to the handler when it is installed; the callback acts only when it gets it back.
int g_userToken = 0;

void WriteDumpCallback(const platform::CrashInfo& info, void* user)
{
    if (user != &g_userToken)
        return;
    if (g_markerPath) {
        int fd = ::open(g_markerPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        char text[64];
        const int n = std::snprintf(text, sizeof text, "%d %d", info.signal, info.code);
        if (fd >= 0)
            (void)!::write(fd, text, size_t(n)), ::close(fd);
    }
    if (g_crashInCallback)
        *g_badPointer = 1;
    if (g_dumpPath) {
        int fd = platform::OpenCrashDumpFile(g_dumpPath);
        bool written = fd >= 0 && platform::WriteCrashDump(fd, g_kind);
        written = platform::CloseCrashDumpFile(fd) && written;
        if (!written)
            ::unlink(g_dumpPath);
    }
}

// Runs body in a child with the handler installed; returns the child's wait status.
int RunCrashingChild(const std::function<void()>& body)
{
    return RunInChild(
        [&] {
            if (!platform::InstallCrashHandler(WriteDumpCallback, &g_userToken))
                return 90;
            body();
            return 91; // the body was meant to crash
        },
        {.noCoreFiles = true});
}

__attribute__((noinline)) void WriteToBadAddress()
{
    volatile char marker[32] = "crash frame marker 55e1";
    *reinterpret_cast<volatile int*>(0x1234) = 42;
    (void)marker[0];
}

// A real divide fault; in C++ the division would be undefined behaviour that a sanitizer
// reports before the processor can fault.
__attribute__((noinline)) void DivideByZero()
{
#if defined(__x86_64__)
    int zero = g_zero;
    asm volatile("movl $100, %%eax\n\tcltd\n\tidivl %0" : : "r"(zero) : "eax", "edx");
#else
    ::raise(SIGFPE);
#endif
}

__attribute__((noinline)) int Recurse(int depth)
{
    volatile char frame[512];
    frame[0] = char(depth);
    return (g_keepRecursing ? Recurse(depth + 1) : 0) + frame[0];
}

// A fresh folder per case; the callback writes the dump there unless MarkOnly() is called.
class CrashHandlerTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_dumpPath = dump.c_str();
        g_markerPath = nullptr;
        g_crashInCallback = false;
    }
    void MarkOnly()
    {
        g_dumpPath = nullptr;
        g_markerPath = marker.c_str();
    }

    TempFolder dir{"crash_handler_"};
    std::string dump = dir.Path("crash.mdmp");
    std::string marker = dir.Path("called");
};

TEST_F(CrashHandlerTest, SegmentationFaultWritesAValidDumpAndKillsTheProcess)
{
    int status = RunCrashingChild([] { WriteToBadAddress(); });
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << "status " << status;

    Dump d;
    ASSERT_EQ(ParseDumpFile(dump, &d), "");
    EXPECT_EQ(std::tuple(d.exceptionCode, d.exceptionFlags, d.exceptionAddress),
              std::tuple(uint32_t(SIGSEGV), uint32_t(SEGV_MAPERR), uint64_t(0x1234)));
    EXPECT_TRUE(d.StackCoversStackPointer());
    const uint64_t function = reinterpret_cast<uint64_t>(&WriteToBadAddress);
    EXPECT_TRUE(d.rip >= function && d.rip < function + 4096);
    const std::string stack(d.bytes.begin() + d.threadStack.rva, d.bytes.begin() + d.threadStack.rva + d.threadStack.size);
    EXPECT_NE(stack.find("crash frame marker 55e1"), std::string::npos);

    // When the toolchain's minidump reader is at hand it must accept the file too.
    if (Exists("/usr/bin/obj2yaml")) {
        std::string yaml = dir.Path("crash.yaml");
        ASSERT_EQ(std::system(("/usr/bin/obj2yaml '" + dump + "' > '" + yaml + "' 2>&1").c_str()), 0);
        const std::string s = ReadFileBytes(yaml);
        for (const char* stream : {"Type:            SystemInfo", "Type:            Exception",
                                   "Type:            ThreadList", "Type:            ModuleList",
                                   "Type:            MemoryList", "Exception Address: 0x1234"})
            EXPECT_NE(s.find(stream), std::string::npos) << stream;
    }
}

TEST_F(CrashHandlerTest, EachFatalSignalIsReportedWithItsNumber)
{
    struct Case {
        int signal;
        std::function<void()> crash;
    };
    const Case cases[] = {
        {SIGABRT, [] { std::abort(); }},
        {SIGFPE, [] { DivideByZero(); }},
        {SIGILL, [] { __builtin_trap(); }},
        {SIGBUS,
         [] {
             // A mapping past the end of an empty file: touching it is a bus error.
             char name[] = "/tmp/crash_handler_bus_XXXXXX";
             int fd = ::mkstemp(name);
             ::unlink(name);
             auto* p = static_cast<volatile char*>(::mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0));
             (void)p[0];
         }},
        {SIGSEGV, [] { ::raise(SIGSEGV); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(strsignal(c.signal));
        ::unlink(dump.c_str());
        int status = RunCrashingChild(c.crash);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << "status " << status;
        Dump d;
        ASSERT_EQ(ParseDumpFile(dump, &d), "");
        EXPECT_EQ(d.exceptionCode, uint32_t(c.signal));
        // Faults carry the faulting address; signals sent by the process itself carry none.
        const bool sent = c.signal == SIGABRT || c.signal == SIGSEGV;
        EXPECT_TRUE(c.signal == SIGBUS || d.exceptionAddress == (sent ? 0 : d.rip)) << d.exceptionAddress;
    }
}

TEST_F(CrashHandlerTest, StackOverflowIsHandledOnTheAlternateStack)
{
    int status = RunCrashingChild([] { Recurse(0); });
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << status;
    Dump d;
    ASSERT_EQ(ParseDumpFile(dump, &d), "");
    EXPECT_EQ(d.exceptionCode, uint32_t(SIGSEGV));
    // The stack pointer ran off the stack; the copy is what remains of the stack above it,
    // full of Recurse frames up to the size cap.
    EXPECT_TRUE(d.threadStack.start > d.rsp - 128 && d.threadStack.start - d.rsp < uint64_t(1) << 20);
    EXPECT_EQ(d.threadStack.size, 64u * 1024);
}

TEST_F(CrashHandlerTest, OldDumpIsTruncated)
{
    ASSERT_TRUE(WriteFileBytes(dump, std::string(8 << 20, 'J')));
    int status = RunCrashingChild([] { WriteToBadAddress(); });
    ASSERT_TRUE(WIFSIGNALED(status));
    Dump d;
    ASSERT_EQ(ParseDumpFile(dump, &d), "");
    EXPECT_LT(d.bytes.size(), size_t(1 << 20));
    EXPECT_EQ(std::find(d.bytes.end() - 16, d.bytes.end(), 'J'), d.bytes.end());
}

// The callback only marks that it ran: it writes nothing and leaves nothing; a crash on
// another thread never reaches it; a crash inside it ends the process, unreported.
TEST_F(CrashHandlerTest, CallbackThatWritesNothingOtherThreadsAndCrashesInTheCallback)
{
    struct Case {
        const char* what;
        bool crashInCallback;
        std::function<void()> body;
        bool called;
    };
    const Case cases[] = {
        {"a fault", false, [] { WriteToBadAddress(); }, true},
        {"a fault on another thread", false, [] { std::thread([] { WriteToBadAddress(); }).join(); }, false},
        {"a second fault in the callback", true, [] { ::raise(SIGFPE); }, true},
    };
    MarkOnly();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ::unlink(marker.c_str());
        g_crashInCallback = c.crashInCallback;
        const int status = RunCrashingChild(c.body);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << status;
        EXPECT_EQ(std::pair(Exists(marker), Exists(dump)), std::pair(c.called, false));
    }
}

void PreviousHandler(int) {}

TEST(CrashHandler, UninstallPutsBackWhatWasThere)
{
    struct sigaction mine = {}, saved = {}, now = {};
    mine.sa_handler = PreviousHandler;
    ASSERT_EQ(::sigaction(SIGBUS, &mine, &saved), 0);
    // An alternate stack of the program's own, which must come back too.
    static char ownStack[64 * 1024];
    stack_t own = {}, savedStack = {};
    own.ss_sp = ownStack;
    own.ss_size = sizeof ownStack;
    ASSERT_EQ(::sigaltstack(&own, &savedStack), 0);
    ASSERT_TRUE(platform::InstallCrashHandler(WriteDumpCallback, &g_userToken));
    EXPECT_TRUE(platform::IsCrashHandlerInstalled());
    ::sigaction(SIGBUS, nullptr, &now);
    EXPECT_NE(now.sa_handler, PreviousHandler);
    stack_t alt = {};
    ::sigaltstack(nullptr, &alt);
    EXPECT_FALSE(alt.ss_flags & SS_DISABLE);

    platform::UninstallCrashHandler();
    EXPECT_FALSE(platform::IsCrashHandlerInstalled());
    // The alternate stack is given back to the system.
    const uintptr_t page = uintptr_t(::sysconf(_SC_PAGESIZE));
    errno = 0;
    EXPECT_TRUE(
        ::msync(reinterpret_cast<void*>(uintptr_t(alt.ss_sp) & ~(page - 1)), page, MS_ASYNC) != 0 &&
        errno == ENOMEM);
    ::sigaction(SIGBUS, nullptr, &now);
    EXPECT_EQ(now.sa_handler, PreviousHandler);
    ::sigaction(SIGBUS, &saved, nullptr);
    stack_t back = {};
    ::sigaltstack(nullptr, &back);
    EXPECT_TRUE(back.ss_sp == ownStack && back.ss_size == sizeof ownStack && !(back.ss_flags & SS_DISABLE));
    if (savedStack.ss_sp == nullptr)
        savedStack.ss_flags = SS_DISABLE;
    ::sigaltstack(&savedStack, nullptr);
    // Without a capture there is nothing to write.
    EXPECT_FALSE(platform::WriteCrashDump(1, platform::MinidumpKind::Normal) || platform::CloseCrashDumpFile(-1));
    EXPECT_EQ(platform::OpenCrashDumpFile(nullptr) + platform::OpenCrashDumpFile("/nonexistent-folder/crash.mdmp"), -2);
    // A dump is a file to read, not to run.
    TempFolder dir("crash_mode_");
    const mode_t mask = ::umask(022);
    const int fd = platform::OpenCrashDumpFile(dir.Path("mode.mdmp").c_str());
    ::umask(mask);
    struct stat st = {};
    EXPECT_TRUE(fd >= 0 && ::fstat(fd, &st) == 0 && (st.st_mode & 0777) == 0644) << std::oct << st.st_mode;
    EXPECT_TRUE(platform::CloseCrashDumpFile(fd));
}

// Installing again (a new callback) replaces the handler: one uninstall then still puts back
// the program's own handler and stack.
TEST(CrashHandler, InstallingTwiceThenUninstallingPutsBackWhatWasThereBeforeTheFirst)
{
    struct sigaction mine = {}, saved = {}, now = {};
    mine.sa_handler = PreviousHandler;
    ASSERT_EQ(::sigaction(SIGSEGV, &mine, &saved), 0);
    static char ownStack[64 * 1024];
    stack_t own = {}, savedStack = {};
    own.ss_sp = ownStack;
    own.ss_size = sizeof ownStack;
    ASSERT_EQ(::sigaltstack(&own, &savedStack), 0);

    std::vector<void*> stacks;
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(platform::InstallCrashHandler(WriteDumpCallback, &g_userToken));
        stack_t alt = {};
        ::sigaltstack(nullptr, &alt);
        stacks.push_back(alt.ss_sp);
    }
    platform::UninstallCrashHandler();
    EXPECT_FALSE(platform::IsCrashHandlerInstalled());
    ::sigaction(SIGSEGV, nullptr, &now);
    EXPECT_EQ(now.sa_handler, PreviousHandler);
    stack_t back = {};
    ::sigaltstack(nullptr, &back);
    EXPECT_TRUE(back.ss_sp == ownStack && back.ss_size == sizeof ownStack) << back.ss_sp;
    // The stack in use is given back (the first one's pages may already serve another mapping).
    const uintptr_t page = uintptr_t(::sysconf(_SC_PAGESIZE));
    errno = 0;
    EXPECT_TRUE(::msync(reinterpret_cast<void*>(uintptr_t(stacks.back()) & ~(page - 1)), page, MS_ASYNC) != 0 &&
                errno == ENOMEM);
    // Uninstalling what is not installed changes nothing.
    platform::UninstallCrashHandler();
    ::sigaction(SIGSEGV, nullptr, &now);
    EXPECT_EQ(now.sa_handler, PreviousHandler);

    ::sigaction(SIGSEGV, &saved, nullptr);
    if (savedStack.ss_sp == nullptr)
        savedStack.ss_flags = SS_DISABLE;
    ::sigaltstack(&savedStack, nullptr);
}

} // namespace
