#include "foundation/files/shared_data_folder.h"

#include <cstring>
#include <string>

#include "platform/files/file_system.h"
#include "platform/files/paths.h"

namespace {

bool Store(char* out, uint32_t outSize, const std::string& path)
{
    if (path.size() >= outSize)
        return false;
    std::memcpy(out, path.c_str(), path.size() + 1);
    return true;
}

// Appends one level and makes it a folder; a file of that name does not count.
bool AppendLevel(std::string& path, const char* name, bool privateToUser)
{
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += name;
    return platform::IsFolder(path.c_str()) || platform::CreateFolders(path.c_str(), privateToUser);
}

} // namespace

int GetSharedDataFolder(char* out, uint32_t outSize, const char* vendor, const char* product,
                        int16_t minimumVersion)
{
    if (minimumVersion > 0 && platform::GetSystemMajorVersion() < static_cast<uint32_t>(minimumVersion))
        return 0;
    if (!out || outSize == 0 || !vendor || !product || !*vendor || !*product)
        return 0;

    // The data home is private to its user by convention; so are the folders we add.
    std::string path = platform::GetDataHome();
    if (path.empty() || !(platform::IsFolder(path.c_str()) || platform::CreateFolders(path.c_str(), true)))
        return 0;
    if (!Store(out, outSize, path))
        return 0;

    bool made = AppendLevel(path, vendor, true);
    if (!Store(out, outSize, path) || !made)
        return 0;
    made = AppendLevel(path, product, true);
    if (!Store(out, outSize, path) || !made)
        return 0;
    return 1;
}
