#pragma once
// What the diagnostics log reports about the machine: system version, processors, memory,
// display and folders, read from uname, /proc and the display backend. Any thread may call
// these; each reading is taken fresh.

#include <cstdint>
#include <string>

namespace platform {

struct SystemVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    std::string name; // e.g. "Linux 6.1.0-18-amd64 #1 SMP ..."
};

struct ProcessorInfo {
    uint32_t count = 0;
    uint32_t architecture = 0; // 8664 for x86-64, 0 when unknown
    uint32_t level = 0;        // cpu family
    uint32_t revision = 0;     // model << 8 | stepping
};

// Byte counts; 0 when unknown.
struct MemoryInfo {
    uint32_t loadPercent = 0;
    uint64_t totalPhysical = 0, availablePhysical = 0;
    uint64_t totalPaging = 0, availablePaging = 0;
    uint64_t totalVirtual = 0, availableVirtual = 0;
};

struct DisplayInfo {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerPixel = 0;
};

SystemVersion GetSystemVersion();
ProcessorInfo GetProcessorInfo();
MemoryInfo GetMemoryInfo();
// The current mode of the first display when the display backend is up, else zeros.
DisplayInfo GetDisplayInfo();
// The process command line, arguments separated by spaces.
std::string GetCommandLine();
std::string GetCurrentFolder();
// The system's root and library folders, reported where the log names system folders.
std::string GetSystemRootFolder();
std::string GetSystemLibraryFolder();
// Milliseconds since the process started.
int32_t GetProcessMs();

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
LocalTime GetLocalTime();

} // namespace platform
