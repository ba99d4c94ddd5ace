#include "platform/files/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/files/file_system.h"

namespace platform {

namespace {

// The locks this process holds, by device and inode: a second take of the same file shares
// the descriptor (a second flock of it would refuse ourselves).
struct Held {
    int fd = -1;
    int users = 0;
    bool recorded = false; // the file holds our id, emptied on release
};
std::mutex g_mutex;
std::map<std::string, Held> g_held;

std::string KeyOf(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return std::string();
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

long ReadHolder(int fd)
{
    char text[32] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    return n > 0 ? std::strtol(text, nullptr, 10) : 0;
}

} // namespace

std::unique_ptr<FileLock> FileLock::Take(const char* name, Outcome& outcome, long* holder,
                                         std::string* reason, bool recordHolder)
{
    outcome = Outcome::kUnavailable;
    if (holder)
        *holder = 0;
    const auto unavailable = [&](int error) -> std::unique_ptr<FileLock> {
        if (reason)
            *reason = std::strerror(error);
        return nullptr;
    };
    if (!name || !*name)
        return unavailable(EINVAL);
    const int fd = ::open(ResolvePath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return unavailable(errno);
    const std::string key = KeyOf(fd);
    std::lock_guard<std::mutex> guard(g_mutex);
    auto found = g_held.find(key);
    if (!key.empty() && found != g_held.end()) {
        ::close(fd);
        ++found->second.users;
        outcome = Outcome::kTaken;
        return std::unique_ptr<FileLock>(new FileLock(key));
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            outcome = Outcome::kHeldElsewhere;
            if (holder)
                *holder = ReadHolder(fd);
        }
        ::close(fd);
        return outcome == Outcome::kHeldElsewhere ? nullptr : unavailable(error);
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (recordHolder && ::ftruncate(fd, 0) == 0 && ::pwrite(fd, pid.data(), pid.size(), 0) < 0) {
        // The id only names us to the others; the lock holds without it.
    }
    g_held[key] = Held{fd, 1, recordHolder};
    outcome = Outcome::kTaken;
    return std::unique_ptr<FileLock>(new FileLock(key));
}

FileLock::~FileLock()
{
    std::lock_guard<std::mutex> guard(g_mutex);
    auto found = g_held.find(m_key);
    if (found == g_held.end() || --found->second.users > 0)
        return;
    // Emptied first, so that no one reads our id from a lock that is no longer held.
    if (found->second.recorded && ::ftruncate(found->second.fd, 0) != 0) {
        // A stale id is harmless: only a held lock is believed.
    }
    ::close(found->second.fd);
    g_held.erase(found);
}

} // namespace platform
