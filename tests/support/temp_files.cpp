#include "support/temp_files.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace tolvanrise::test {

namespace {

// Gives every folder below (and including) `folder` its owner's permissions back, so that
// remove_all can open and empty it. Links are not followed.
void RestoreOwnerAccess(const fs::path& folder)
{
    std::error_code ignored;
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (fs::directory_iterator it(folder, ignored), end; !ignored && it != end; it.increment(ignored))
        if (fs::symlink_status(it->path(), ignored).type() == fs::file_type::directory)
            RestoreOwnerAccess(it->path());
}

} // namespace

TempFolder::TempFolder(std::string_view prefix, const fs::path& parent)
{
    std::error_code error;
    const fs::path base = parent.empty() ? fs::temp_directory_path(error) : fs::absolute(parent, error);
    // mkdtemp picks a name no other process took and makes the folder private to the user.
    std::string pattern = (base / prefix).string() + "XXXXXX";
    if (!error && ::mkdtemp(pattern.data()))
        m_path = pattern;
}

TempFolder::~TempFolder()
{
    if (m_path.empty())
        return;
    RestoreOwnerAccess(m_path);
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

std::string TempFolder::Path(std::string_view name) const { return m_path + '/' + std::string(name); }

std::string TempFolder::WriteFile(std::string_view name, std::string_view bytes) const
{
    WriteFileBytes(Path(name), bytes);
    return Path(name);
}

ScopedCurrentFolder::ScopedCurrentFolder(const fs::path& folder)
{
    std::error_code error;
    m_previous = fs::current_path(error);
    if (error || folder.empty())
        return;
    fs::current_path(folder, error);
    m_entered = !error;
}

ScopedCurrentFolder::~ScopedCurrentFolder()
{
    std::error_code error;
    if (m_entered)
        fs::current_path(m_previous, error);
    if (error)
        ADD_FAILURE() << "cannot return to " << m_previous << ": " << error.message();
}

bool ReadFileBytes(const fs::path& path, std::string& bytes)
{
    // A folder opens as a stream but throws on the first read.
    std::error_code error;
    if (fs::is_directory(path, error)) {
        bytes.clear();
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return bool(in); // a file that did not open reads as nothing, and the stream stays failed
}

std::string ReadFileBytes(const fs::path& path)
{
    std::string bytes;
    ReadFileBytes(path, bytes);
    return bytes;
}

std::vector<uint8_t> ReadFileByteVector(const fs::path& path)
{
    const std::string bytes = ReadFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

std::string ReadStreamBytes(std::FILE* file)
{
    std::string bytes;
    char buffer[4096];
    for (size_t n; file && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, n);
    return bytes;
}

bool WriteFileBytes(const fs::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

bool WriteFileBytes(const fs::path& path, std::span<const uint8_t> bytes)
{
    return WriteFileBytes(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool WriteExecutableFile(const fs::path& path, std::string_view bytes)
{
    if (!WriteFileBytes(path, bytes))
        return false;
    std::error_code error;
    fs::permissions(path, fs::perms(0755), fs::perm_options::replace, error); // rwxr-xr-x
    return !error;
}

std::set<std::string> FolderEntries(const fs::path& folder)
{
    std::set<std::string> names;
    std::error_code ignored;
    for (fs::directory_iterator it(folder, ignored), end; !ignored && it != end; it.increment(ignored))
        names.insert(it->path().filename().string());
    return names;
}

} // namespace tolvanrise::test
