#pragma once
// An exclusive, advisory lock on a file, so that two running copies of the program can tell
// that they share a folder. The kernel holds the lock for the open file: it ends when the
// holder releases it, exits or crashes, so a lock file left behind by a crash is stale and
// taken again at once. The holder writes its process id into the file for the others to name.
// Locks of one file taken twice in one process share the first (they never refuse each
// other). Any thread may take and release locks; one object is used by one thread.

#include <memory>
#include <string>

namespace platform {

class FileLock {
public:
    enum class Outcome {
        kTaken,
        kHeldElsewhere, // another running process holds it
        kUnavailable,   // the file cannot be made or locked (a missing or read-only folder)
    };

    // Creates the file when needed and takes the lock without waiting. Null unless taken;
    // *holder then receives the other holder's process id (0 when unknown) and *reason the
    // system's words for an unavailable lock. With recordHolder false the file's content is
    // left alone (a file locked for what it holds, such as a log).
    static std::unique_ptr<FileLock> Take(const char* name, Outcome& outcome,
                                          long* holder = nullptr, std::string* reason = nullptr,
                                          bool recordHolder = true);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    explicit FileLock(std::string key) : m_key(std::move(key)) {}
    std::string m_key;
};

} // namespace platform
