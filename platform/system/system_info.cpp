#include "platform/system/system_info.h"

#include <SDL.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace platform {
namespace {

// Taken when the program's static objects are built, which is as near to the process start as
// portable code gets.
const auto g_processStart = std::chrono::steady_clock::now();

// "key : value" lines of /proc/cpuinfo; returns the value of the first line with that key.
std::string CpuInfoValue(const std::string& text, const char* key)
{
    std::istringstream in(text);
    std::string line;
    const size_t keyLength = std::strlen(key);
    while (std::getline(in, line)) {
        if (line.compare(0, keyLength, key) != 0)
            continue;
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        // The key must be followed only by blanks up to the colon.
        if (line.find_first_not_of(" \t", keyLength) != colon)
            continue;
        const size_t start = line.find_first_not_of(" \t", colon + 1);
        return start == std::string::npos ? std::string() : line.substr(start);
    }
    return {};
}

// Values of /proc/meminfo in bytes (the file gives kB).
uint64_t MemInfoBytes(const std::string& text, const char* key)
{
    const std::string needle = std::string("\n") + key + ":";
    const std::string haystack = "\n" + text;
    const size_t at = haystack.find(needle);
    if (at == std::string::npos)
        return 0;
    return std::strtoull(haystack.c_str() + at + needle.size(), nullptr, 10) * 1024;
}

std::string ReadTextFile(const char* path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

SystemVersion GetSystemVersion()
{
    SystemVersion version;
    utsname names{};
    if (uname(&names) != 0)
        return version;
    unsigned major = 0, minor = 0, build = 0;
    std::sscanf(names.release, "%u.%u.%u", &major, &minor, &build);
    version.major = major;
    version.minor = minor;
    version.build = build;
    version.name = std::string(names.sysname) + " " + names.release + " " + names.version;
    return version;
}

ProcessorInfo GetProcessorInfo()
{
    ProcessorInfo info;
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    info.count = online > 0 ? static_cast<uint32_t>(online) : 0;
#if defined(__x86_64__)
    info.architecture = 8664;
#endif
    const std::string text = ReadTextFile("/proc/cpuinfo");
    info.level = static_cast<uint32_t>(std::strtoul(CpuInfoValue(text, "cpu family").c_str(), nullptr, 10));
    const uint32_t model = static_cast<uint32_t>(std::strtoul(CpuInfoValue(text, "model").c_str(), nullptr, 10));
    const uint32_t stepping = static_cast<uint32_t>(std::strtoul(CpuInfoValue(text, "stepping").c_str(), nullptr, 10));
    info.revision = (model & 0xff) << 8 | (stepping & 0xff);
    return info;
}

MemoryInfo GetMemoryInfo()
{
    MemoryInfo info;
    const std::string text = ReadTextFile("/proc/meminfo");
    info.totalPhysical = MemInfoBytes(text, "MemTotal");
    info.availablePhysical = MemInfoBytes(text, "MemAvailable");
    info.totalPaging = MemInfoBytes(text, "SwapTotal");
    info.availablePaging = MemInfoBytes(text, "SwapFree");
    // What the process may still commit: the system's commit limit less what is committed.
    info.totalVirtual = MemInfoBytes(text, "CommitLimit");
    const uint64_t committed = MemInfoBytes(text, "Committed_AS");
    info.availableVirtual = info.totalVirtual > committed ? info.totalVirtual - committed : 0;
    if (info.totalPhysical > 0) {
        const uint64_t used = info.totalPhysical - std::min(info.availablePhysical, info.totalPhysical);
        info.loadPercent = static_cast<uint32_t>(used * 100 / info.totalPhysical);
    }
    return info;
}

DisplayInfo GetDisplayInfo()
{
    DisplayInfo info;
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return info;
    SDL_DisplayMode mode{};
    if (SDL_GetCurrentDisplayMode(0, &mode) != 0)
        return info;
    info.width = mode.w;
    info.height = mode.h;
    info.bitsPerPixel = static_cast<int32_t>(SDL_BITSPERPIXEL(mode.format));
    return info;
}

std::string GetCommandLine()
{
    std::string raw = ReadTextFile("/proc/self/cmdline");
    while (!raw.empty() && raw.back() == '\0')
        raw.pop_back();
    for (char& c : raw) {
        if (c == '\0')
            c = ' ';
    }
    return raw;
}

std::string GetCurrentFolder()
{
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

std::string GetSystemRootFolder()
{
    return "/";
}

std::string GetSystemLibraryFolder()
{
    return "/usr/lib";
}

int32_t GetProcessMs()
{
    const auto elapsed = std::chrono::steady_clock::now() - g_processStart;
    return static_cast<int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

LocalTime GetLocalTime()
{
    LocalTime result;
    const time_t now = time(nullptr);
    tm parts{};
    if (!localtime_r(&now, &parts))
        return result;
    result.year = parts.tm_year + 1900;
    result.month = parts.tm_mon + 1;
    result.day = parts.tm_mday;
    result.hour = parts.tm_hour;
    result.minute = parts.tm_min;
    result.second = parts.tm_sec;
    return result;
}

} // namespace platform
