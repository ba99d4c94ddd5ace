#pragma once
// Writes the state of a crashed thread as a file in the minidump format that standard minidump
// tools read: system info, the exception (the signal as exception code, the faulting address),
// the faulting thread with its x86-64 register context and stack memory, the loaded modules
// with their build ids, and for the larger kinds further memory.
//
// Everything a crash needs is allocated by Prepare, so Capture and Write run inside a signal
// handler with async-signal-safe calls only (no malloc, no locks, no stdio). One writer serves
// one thread: Prepare on the thread whose stack a later Capture copies.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

// What a signal handler learns about a crash, in the minidump's terms.
struct CrashInfo {
    int signal = 0;               // becomes the exception code
    int code = 0;                 // si_code; becomes the exception flags
    uint64_t faultAddress = 0;    // si_addr; becomes the exception address
    uint64_t instructionAddress = 0;
    uint32_t threadId = 0;        // kernel thread id
};

// How much memory the dump carries besides the faulting thread's stack. The numbers are the
// crash guard's dump kinds, which callers hand over as plain integers.
enum class MinidumpKind : int32_t {
    WithFullMemory = 0, // plus every readable private or anonymous mapping, within a size cap
    Normal = 1,         // stack only
    WithDataSegs = 2,   // plus the writable data (and bss) of every loaded module
};

class MinidumpWriter {
public:
    MinidumpWriter();
    ~MinidumpWriter();
    MinidumpWriter(const MinidumpWriter&) = delete;
    MinidumpWriter& operator=(const MinidumpWriter&) = delete;

    // Allocates the buffers, reads the processor and system description and notes the calling
    // thread's stack bounds. maxStackBytes caps the stack copy; maxExtraMemory caps what the
    // larger kinds add (mappings that do not fit are left out whole). False when memory is short.
    bool Prepare(size_t maxStackBytes = 64 * 1024, uint64_t maxExtraMemory = uint64_t(1) << 30);
    bool IsPrepared() const { return m_state != nullptr; }

    // Async-signal-safe. Copies the registers of ucontext (a ucontext_t*, or null), the stack
    // above its stack pointer and the process's mappings as they are now.
    void Capture(const CrashInfo& info, const void* ucontext);
    bool HasCapture() const;

    // Async-signal-safe. Writes the captured state to an open file from its current position
    // (which must be the start). False when nothing was captured or a write failed.
    bool Write(int fd, MinidumpKind kind);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace platform
