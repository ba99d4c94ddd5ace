#pragma once
// Scratch folders and whole-file reads and writes for the suites that touch the disk.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tolvanrise::test {

// A fresh folder with a unique name, removed with everything in it when the object goes.
// Sub-folders a test made read-only (or unreadable) get their permissions back first, so they
// go too. The path is absolute, so it stays right after a test changes the current folder.
// Owned by one test on one thread.
class TempFolder {
public:
    // prefix starts the folder's name; parent is where it is made (empty: the system's
    // temporary folder; some suites want the working folder instead).
    explicit TempFolder(std::string_view prefix = "tolvanrise_test_",
                        const std::filesystem::path& parent = {});
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // False when no folder could be made; Path() is then empty.
    bool Created() const { return !m_path.empty(); }

    const std::string& Path() const { return m_path; }
    // Path() + "/" + name, the name taken as written (it may hold sub-folders).
    std::string Path(std::string_view name) const;

    // Writes bytes to Path(name), replacing what was there; returns Path(name).
    std::string WriteFile(std::string_view name, std::string_view bytes) const;

private:
    std::string m_path;
};

// Makes a folder the current folder for as long as the object lives, then returns to the one
// that was current before (a failure to return counts as a failure of the running test).
class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const std::filesystem::path& folder);
    ~ScopedCurrentFolder();
    ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
    ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

    // False when the folder could not be made current; nothing is restored then.
    bool Entered() const { return m_entered; }

private:
    std::filesystem::path m_previous;
    bool m_entered = false;
};

// The whole file; empty when it cannot be read (missing, a folder...).
std::string ReadFileBytes(const std::filesystem::path& path);
// The same, telling a missing file apart from an empty one: false when it cannot be opened.
bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes);
// The same bytes, for suites that hold their data as unsigned bytes.
std::vector<uint8_t> ReadFileByteVector(const std::filesystem::path& path);
// The rest of an open stream, from its current position.
std::string ReadStreamBytes(std::FILE* file);

// Creates or replaces the file with exactly these bytes; false when it cannot be written.
bool WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);
bool WriteFileBytes(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// The same, then makes the file executable (rwxr-xr-x): for stand-in programs on a test PATH.
bool WriteExecutableFile(const std::filesystem::path& path, std::string_view bytes);

// The names (not paths) of the entries of a folder; empty when it cannot be listed.
std::set<std::string> FolderEntries(const std::filesystem::path& folder);

} // namespace tolvanrise::test
