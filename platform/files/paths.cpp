#include "platform/files/paths.h"

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace platform {

std::string GetProgramFolder()
{
    // readlink does not say whether it truncated, so grow until the result leaves room.
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return std::string();
        if (static_cast<size_t>(n) < buffer.size()) {
            std::string path(buffer.data(), static_cast<size_t>(n));
            size_t slash = path.rfind('/');
            return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        }
        if (buffer.size() >= (1u << 20))
            return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

namespace {

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry;
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/')
        return found->pw_dir;
    return std::string();
}

void DropTrailingSlashes(std::string& path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
}

} // namespace

std::string GetDataHome()
{
    // Relative values are invalid by the XDG rules and must be ignored.
    const char* xdg = std::getenv("XDG_DATA_HOME");
    std::string path;
    if (xdg && xdg[0] == '/') {
        path = xdg;
    } else {
        path = HomeFolder();
        if (path.empty())
            return path;
        DropTrailingSlashes(path);
        if (path == "/")
            path.clear();
        path += "/.local/share";
    }
    DropTrailingSlashes(path);
    return path;
}

uint32_t GetSystemMajorVersion()
{
    utsname name;
    if (::uname(&name) != 0)
        return 0;
    uint32_t major = 0;
    for (const char* p = name.release; *p >= '0' && *p <= '9'; ++p) {
        if (major > 100000)
            return 0;
        major = major * 10 + static_cast<uint32_t>(*p - '0');
    }
    return major;
}

} // namespace platform
