#pragma once
// For the targets that run a composition the game runs on files: the input cut into the files'
// bytes at a separator, and a scratch folder of the process's own where they are written.
// Header only; each target is its own program.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files/file_system.h"
#include "platform/window/message_box.h"

namespace fuzz {

using Bytes = std::vector<uint8_t>;

// At most maxParts parts; the last one takes the rest, separators and all.
inline std::vector<Bytes> SplitAt(const uint8_t* data, size_t size, const char* separator,
                                  size_t maxParts)
{
    const size_t n = std::strlen(separator);
    std::vector<Bytes> parts(1);
    for (size_t i = 0; i < size;) {
        if (parts.size() < maxParts && i + n <= size && std::memcmp(data + i, separator, n) == 0) {
            parts.emplace_back();
            i += n;
        } else {
            parts.back().push_back(data[i++]);
        }
    }
    parts.resize(maxParts);
    return parts;
}

inline bool QuietBox(const platform::MessageBoxRequest&, platform::MessageBoxAnswer& answer)
{
    answer = platform::MessageBoxAnswer::kOk;
    return true;
}

// Plain bytes, so the exit handler below never meets a string already destroyed.
inline char g_scratchFolder[512];

// "/tmp/fuzz_<name>_<pid>/", made once and removed when the process exits normally; boxes are
// answered silently from then on.
inline const std::string& ScratchFolder(const char* name)
{
    static const std::string folder = [name] {
        platform::SetMessageBoxBackend(&QuietBox);
        std::string path = "/tmp/fuzz_" + std::string(name) + "_" + std::to_string(getpid());
        platform::CreateFolder(path.c_str());
        std::snprintf(g_scratchFolder, sizeof g_scratchFolder, "%s", path.c_str());
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(g_scratchFolder, ignored);
        });
        return path + "/";
    }();
    return folder;
}

// The folder is the current one for the object's life (one input), then the one before again.
class InFolder {
public:
    explicit InFolder(const std::string& folder)
    {
        if (!getcwd(m_previous, sizeof m_previous) || chdir(folder.c_str()) != 0)
            __builtin_trap();
    }
    ~InFolder()
    {
        if (chdir(m_previous) != 0)
            __builtin_trap();
    }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

private:
    char m_previous[4096] = {};
};

inline void WriteBytes(const std::string& path, const Bytes& bytes)
{
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        if (!bytes.empty())
            std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

} // namespace fuzz
