#pragma once
// Catches the fatal signals (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT) of one thread on an
// alternate stack, captures that thread's state for a minidump, hands the crash to a callback
// and then lets the process die of the same signal, so whoever started it sees a crash.
//
// Only the thread that installed the handler is covered: a fatal signal on any other thread
// takes the default action at once. The state behind these functions is process-wide; install
// and uninstall on the covered thread, outside a signal handler.

#include <cstdint>

#include "platform/crash/minidump_writer.h"

namespace platform {

// Runs inside the signal handler, on the alternate stack, after the capture. It may write the
// dump with the functions below; when it returns, the process ends by the signal.
using CrashCallback = void (*)(const CrashInfo& info, void* user);

// Prepares the dump buffers and the alternate stack, then installs the handlers. False when
// memory or a system call failed; nothing is installed then.
bool InstallCrashHandler(CrashCallback callback, void* user);
// Puts back the signal dispositions found at install time and frees the alternate stack.
void UninstallCrashHandler();
bool IsCrashHandlerInstalled();

// Async-signal-safe; for the callback. Creates or truncates the file (mode 0644).
// Returns a descriptor, or -1.
int OpenCrashDumpFile(const char* path);
// Async-signal-safe. Writes the captured crash; false when there is none or a write failed.
bool WriteCrashDump(int fd, MinidumpKind kind);
// Async-signal-safe. False when the close reported an error (the data may be lost).
bool CloseCrashDumpFile(int fd);

} // namespace platform
