#include "platform/text/system_fonts.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/files/paths.h"

namespace platform {

namespace {

namespace fs = std::filesystem;

std::vector<std::string> FontFolders()
{
    std::vector<std::string> folders;
    const std::string home = GetDataHome();
    if (!home.empty())
        folders.push_back(home + "/fonts");
    if (const char* user = std::getenv("HOME"); user && *user)
        folders.push_back(std::string(user) + "/.fonts");
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string_view list = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
    while (!list.empty()) {
        const size_t colon = list.find(':');
        const std::string_view dir = list.substr(0, colon);
        if (!dir.empty() && dir.front() == '/')
            folders.push_back(std::string(dir) + "/fonts");
        list = colon == std::string_view::npos ? std::string_view{} : list.substr(colon + 1);
    }
    return folders;
}

bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace

std::string FindSystemFontFile(const char* fileName)
{
    if (!fileName || !*fileName)
        return {};
    std::string name = fileName;
    const size_t cut = name.find_last_of("/\\");
    if (cut != std::string::npos)
        name.erase(0, cut + 1);
    if (name.empty())
        return {};

    std::string folded;
    for (const std::string& folder : FontFolders()) {
        std::error_code error;
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied,
                                            error);
        for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            const std::string leaf = it->path().filename().string();
            if (!it->is_regular_file(error))
                continue;
            if (leaf == name)
                return it->path().string();
            if (folded.empty() && SameIgnoringCase(leaf, name))
                folded = it->path().string();
        }
    }
    return folded;
}

} // namespace platform
