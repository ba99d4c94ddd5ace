#pragma once
// GCrashGuard: runs the application main so that a crash of the main thread is met with an
// apology. The user is asked whether to report; after Yes the guard writes "crash.mdmp"
// (a minidump) to the current folder and opens a report mail to the support address with the
// dump and the HTML log attached; after No nothing is written. Either way the process then
// ends by the fatal signal, so its exit status tells that the run crashed.
//
// One guard per process, a local of main() that outlives the run. Its report runs inside the
// signal handler on the crashed thread: the dump itself is written with async-signal-safe
// calls only; the boxes and the mail program come after it. Only the thread that called
// RunGuarded is covered. Texts it keeps are not owned; they must outlive the guard.

#include <cstdint>

#include "platform/crash/minidump_writer.h"

class GCrashGuard {
public:
    static constexpr int kSupportAddressSize = 1024;
    using MainFunction = int (*)();

    static constexpr int kDefaultDumpKind = static_cast<int>(platform::MinidumpKind::Normal);

    // Stores the three texts, the normal dump kind, an empty support address and no bound
    // writer.
    void Init(const char* reportPageName, const char* productName, const char* versionText);

    // A platform::MinidumpKind number; a number it does not name gives a normal dump (the
    // faulting thread's stack).
    void SetDumpKind(int kind) { m_dumpKind = kind; }
    int GetDumpKind() const { return m_dumpKind; }
    // Taken when shorter than kSupportAddressSize characters; a longer or null text leaves
    // the address as it was.
    void SetSupportAddress(const char* address);
    const char* GetSupportAddress() const { return m_supportAddress; }

    // Binds the dump writer (installs the crash handler for this thread), runs main and
    // returns its result; -1 when main is null. After a crash it does not return.
    int RunGuarded(MainFunction main);

    // The report; always 1 (the crash has been dealt with and the process may end).
    int HandleException(const platform::CrashInfo& info);
    // The apology with Yes and No; true for Yes.
    bool AskSendReport();
    // Creates or truncates fileName in the current folder and writes the dump into it.
    bool WriteDumpFile(const char* fileName, int dumpKind);
    // False when no writer is bound or nothing was captured or a write failed.
    bool WriteMiniDump(int fd, int dumpKind);
    // Opens the report mail with xdg-email; false, after telling the user, when the mail
    // could not be opened.
    bool SendReport();
    void ShowDumpFailed();

    bool IsWriterBound() const { return m_writerBound; }

private:
    int32_t m_dumpKind = kDefaultDumpKind;
    char m_supportAddress[kSupportAddressSize] = {};
    // Set while the crash handler is installed: the stand-in for a loaded dump library.
    bool m_writerBound = false;
    const char* m_reportPageName = nullptr;
    const char* m_productName = nullptr;
    const char* m_versionText = nullptr;
    // The name of the dump last written, so the mail attaches exactly that file; empty when
    // none was written.
    char m_dumpFileName[4096] = {};
};
