// The crash guard: its settings, running main, and the whole report after real crashes of
// forked children: the apology, the dump (checked by the strict minidump reader), the mail
// through a stand-in xdg-email that records its arguments, and the boxes on each failure.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/app/crash_guard.h"
#include "platform/crash/crash_handler.h"
#include "platform/window/message_box.h"
#include "support/minidump_reader.h"
#include "platform/system/system_info.h"
#include "support/child_process.h"
#include "support/scoped_env.h"
#include "support/temp_files.h"

namespace {

using minidump_test::ParseDumpFile;
using namespace tolvanrise::test;

constexpr const char* kApology =
    "Sorry, but program raised improper operation and need to be closed.\n"
    " You can email report about this bug to developers.\n"
    " Do you want to do it?";

std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// A scratch folder with a run folder (the current folder of the crashing child), a bin folder
// with the stand-in mail program, and files the stand-ins write.
struct Sandbox {
    TempFolder root{"crash_guard_"};
    std::string run = root.Path("run");
    std::string bin = root.Path("bin");
    std::string mailArgs = root.Path("mail-args");
    std::string boxes = root.Path("boxes");

    Sandbox()
    {
        ::mkdir(run.c_str(), 0755);
        ::mkdir(bin.c_str(), 0755);
    }

    // A mail program that records one argument a line and ends with the given status.
    void InstallMailProgram(int exitCode = 0) const
    {
        WriteExecutableFile(bin + "/xdg-email",
                            "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + mailArgs +
                                "'\nexit " + std::to_string(exitCode) + "\n");
    }
};

// The child's message boxes: each is appended to a file as "[title] text" and answered.
const char* g_boxFile = nullptr;
platform::MessageBoxAnswer g_answer = platform::MessageBoxAnswer::kNo;

bool RecordingBox(const platform::MessageBoxRequest& request, platform::MessageBoxAnswer& answer)
{
    if (std::FILE* f = std::fopen(g_boxFile, "a")) {
        std::fprintf(f, "[%s] %s\n", request.titleUtf8, request.textUtf8);
        std::fclose(f);
    }
    answer = request.buttons == platform::MessageBoxButtons::kYesNo ? g_answer : platform::MessageBoxAnswer::kOk;
    return true;
}

volatile int* volatile g_badPointer = reinterpret_cast<int*>(0x2468);

int CrashingMain()
{
    *g_badPointer = 1;
    return 0;
}

struct CrashOptions {
    platform::MessageBoxAnswer answer = platform::MessageBoxAnswer::kYes;
    std::string supportAddress = "support@tolvanrise.example";
    bool withLog = true;
    int dumpKind = 1;
};

// Forks a child that runs CrashingMain under a guard set up as main() does, in the sandbox's
// run folder with only the sandbox's bin folder on PATH. Returns the wait status.
int CrashUnderGuard(const Sandbox& box, const CrashOptions& options)
{
    return RunInChild(
        [&] {
            if (::chdir(box.run.c_str()) != 0)
                return 92;
            ::setenv("PATH", box.bin.c_str(), 1);
            if (options.withLog)
                WriteFileBytes(box.run + "/Tolvanrise.html", "<html></html>");
            g_boxFile = box.boxes.c_str();
            g_answer = options.answer;
            platform::SetMessageBoxBackend(&RecordingBox);
            GCrashGuard guard;
            guard.Init("Tolvanrise.html", "Tolvanrise", "0.3");
            guard.SetDumpKind(options.dumpKind);
            guard.SetSupportAddress(options.supportAddress.c_str());
            int result = guard.RunGuarded(&CrashingMain);
            return result == 0 ? 93 : 94; // a crash never gets here
        },
        {.noCoreFiles = true});
}

TEST(CrashGuard, InitAndSettings)
{
    GCrashGuard guard;
    guard.SetDumpKind(0);
    guard.SetSupportAddress("old@example.org");
    guard.Init("page.html", "Product", "1.0");
    EXPECT_TRUE(guard.GetDumpKind() == 1 && *guard.GetSupportAddress() == '\0' && !guard.IsWriterBound());

    guard.SetSupportAddress("help@example.org");
    guard.SetSupportAddress(nullptr); // changes nothing
    EXPECT_STREQ(guard.GetSupportAddress(), "help@example.org");

    // 1023 characters fit with the terminator; 1024 do not and change nothing.
    std::string longest(1023, 'a');
    guard.SetSupportAddress(longest.c_str());
    EXPECT_EQ(std::string(guard.GetSupportAddress()), longest);
    guard.Init("page.html", "Product", "1.0");
    std::string tooLong(1024, 'b');
    guard.SetSupportAddress(tooLong.c_str());
    EXPECT_STREQ(guard.GetSupportAddress(), "");
}

int g_observedInstalled = -1;

int ReturnsSeven()
{
    g_observedInstalled = platform::IsCrashHandlerInstalled() ? 1 : 0;
    return 7;
}

TEST(CrashGuard, RunGuardedPassesTheResultOnAndUnbinds)
{
    GCrashGuard guard;
    guard.Init("Tolvanrise.html", "Tolvanrise", "0.3");
    EXPECT_TRUE(guard.RunGuarded(nullptr) == -1 && !platform::IsCrashHandlerInstalled());
    EXPECT_TRUE(guard.RunGuarded(&ReturnsSeven) == 7 && g_observedInstalled == 1);
    EXPECT_FALSE(platform::IsCrashHandlerInstalled() || guard.IsWriterBound());

    // No dump without a crash.
    Sandbox box;
    EXPECT_FALSE(guard.WriteMiniDump(1, 1) || guard.WriteDumpFile((box.run + "/crash.mdmp").c_str(), 1) ||
                 guard.WriteDumpFile(nullptr, 1));
}

// One crash of a forked child per case: what the user answers, what stands in the way, and
// what must come out (the boxes after the apology, the mail's arguments, the dump).
struct CrashCase {
    const char* name;
    CrashOptions options;
    int mailExit;        // -1: no mail program
    bool folderInTheWay; // a folder where the dump goes
    bool oldDump;        // a large old dump to be replaced whole
    const char* boxesAfterApology;
    bool mailed;
    bool dumped;
};

TEST(CrashGuard, CrashReports)
{
    const CrashOptions yes;
    CrashOptions no;
    no.answer = platform::MessageBoxAnswer::kNo;
    CrashOptions dataSegment;
    dataSegment.dumpKind = 2;
    CrashOptions bare; // no log, and an address too long to be taken
    bare.withLog = false;
    bare.supportAddress = std::string(1024, 'x');
    const CrashCase cases[] = {
        {"yes", yes, 0, false, false, "", true, true},
        {"no", no, 0, false, false, "", false, false},
        {"old dump", yes, 0, false, true, "", true, true},
        {"data segment", dataSegment, 0, false, false, "", true, true},
        // The dump was saved, so only the mail's failure is told.
        {"no mail program", yes, -1, false, false, "[Error] Error sending message!\n", false, true},
        {"mail program fails", yes, 3, false, false, "[Error] Error sending message!\n", true, true},
        {"dump cannot be written", yes, 0, true, false, "[Fatal error!] Cannot save crash dump file!\n", false, false},
        {"no log or address", bare, 0, false, false, "", true, true},
    };
    for (const CrashCase& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        if (c.mailExit >= 0)
            box.InstallMailProgram(c.mailExit);
        const std::string dumpPath = box.run + "/crash.mdmp";
        if (c.folderInTheWay)
            ::mkdir(dumpPath.c_str(), 0755);
        if (c.oldDump)
            std::ofstream(dumpPath) << std::string(4 << 20, 'J');
        const int status = CrashUnderGuard(box, c.options);
        // The run ended by the crash's own signal: its status says it crashed.
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << "status " << status;
        EXPECT_EQ(ReadFileBytes(box.boxes), std::string("[Fatal error!] ") + kApology + "\n" + c.boxesAfterApology);
        EXPECT_EQ(Exists(box.mailArgs), c.mailed);
        if (!c.dumped) {
            EXPECT_TRUE(!Exists(dumpPath) || c.folderInTheWay);
            continue;
        }
        minidump_test::Dump dump;
        ASSERT_EQ(ParseDumpFile(dumpPath, &dump), "");
        EXPECT_EQ(std::pair(dump.exceptionCode, dump.exceptionAddress), std::pair(uint32_t(SIGSEGV), uint64_t{0x2468}));
        if (c.oldDump) {
            EXPECT_LT(dump.bytes.size(), size_t(1) << 20); // nothing of the old file is left
        }
        if (c.options.dumpKind == 2) {
            EXPECT_EQ(dump.flags, 1u);
            // The data segment holds the pointer the crash went through.
            const uintptr_t pointer = 0x2468;
            const auto* expected = reinterpret_cast<const uint8_t*>(&pointer);
            EXPECT_EQ(dump.Read(reinterpret_cast<uint64_t>(&g_badPointer), sizeof pointer),
                      std::vector<uint8_t>(expected, expected + sizeof pointer));
        } else {
            // Kind 1: a normal dump.
            EXPECT_EQ(std::pair(dump.flags, dump.memory.size()), std::pair(uint64_t{0}, size_t{1}));
        }
        // The mail attaches the files by full path: the dump that was written and the log.
        std::vector<std::string> args = {"--utf8", "--subject", "Tolvanrise 0.3", "--attach", dumpPath};
        if (c.options.withLog)
            args.insert(args.end(), {"--attach", box.run + "/Tolvanrise.html", "support@tolvanrise.example"});
        if (c.mailed) {
            EXPECT_EQ(ReadLines(box.mailArgs), args);
        }
    }
}

TEST(CrashGuard, SendReportKeepsTheCurrentFolder)
{
    Sandbox box;
    box.InstallMailProgram();
    std::string before = platform::GetCurrentFolder();
    GCrashGuard guard;
    guard.Init("no-such-log.html", "Tolvanrise", "0.3");
    guard.SetSupportAddress("a@b.example");
    bool sent = false;
    {
        ScopedEnvVar path("PATH", box.bin);
        sent = guard.SendReport();
    }
    EXPECT_TRUE(sent && platform::GetCurrentFolder() == before);
    // Nothing was written, so nothing is attached.
    EXPECT_EQ(ReadLines(box.mailArgs),
              (std::vector<std::string>{"--utf8", "--subject", "Tolvanrise 0.3", "a@b.example"}));
}

} // namespace
