#include "support/temp_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
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
    for (fs::directory_iterator it(folder, ignored), end; !ignored && it != end; it.increment(ignored)) {
        if (fs::symlink_status(it->path(), ignored).type() == fs::file_type::directory)
            RestoreOwnerAccess(it->path());
    }
}

} // namespace

TempFolder::TempFolder(std::string_view prefix, const fs::path& parent)
{
    std::error_code error;
    fs::path base = parent.empty() ? fs::temp_directory_path(error) : fs::absolute(parent, error);
    if (error)
        return;
    // Suites run as parallel processes: create_directory fails on a name another one took, so
    // a clash only costs another draw.
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device device;
    std::mt19937 random(device());
    std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name(prefix);
        for (int i = 0; i < 10; ++i)
            name += kLetters[pick(random)];
        const fs::path path = base / name;
        if (fs::create_directory(path, error)) {
            // Private to the user, as mkdtemp makes its folders.
            fs::permissions(path, fs::perms::owner_all, fs::perm_options::replace, error);
            m_path = path.string();
            return;
        }
        if (error && error != std::errc::file_exists)
            return;
    }
}

TempFolder::~TempFolder()
{
    if (m_path.empty())
        return;
    RestoreOwnerAccess(m_path);
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

std::string TempFolder::Path(std::string_view name) const
{
    return m_path + '/' + std::string(name);
}

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
    if (!m_entered)
        return;
    std::error_code error;
    fs::current_path(m_previous, error);
    if (error)
        ADD_FAILURE() << "cannot return to " << m_previous << ": " << error.message();
}

bool ReadFileBytes(const fs::path& path, std::string& bytes)
{
    bytes.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
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
