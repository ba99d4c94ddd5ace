#include "platform/file_system.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <string>

namespace platform {

namespace {

std::string WithSlashes(const char* name)
{
    std::string path(name);
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

bool Exists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// Only ASCII letters fold: narrow names are Windows-1251 and the file system does not know it.
bool SameIgnoringCase(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        unsigned char ca = static_cast<unsigned char>(*a);
        unsigned char cb = static_cast<unsigned char>(*b);
        if (ca >= 'A' && ca <= 'Z')
            ca = static_cast<unsigned char>(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z')
            cb = static_cast<unsigned char>(cb - 'A' + 'a');
        if (ca != cb)
            return false;
        if (ca == 0)
            return true;
    }
}

// The entry of folder whose name equals component ignoring case; an exact match wins over
// other spellings so the result does not depend on directory order.
bool FindEntry(const std::string& folder, const std::string& component, std::string& found)
{
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return false;
    bool any = false;
    while (const dirent* entry = ::readdir(dir)) {
        if (component == entry->d_name) {
            found = component;
            any = true;
            break;
        }
        if (!any && SameIgnoringCase(component.c_str(), entry->d_name)) {
            found = entry->d_name;
            any = true;
        }
    }
    ::closedir(dir);
    return any;
}

} // namespace

std::string ResolvePath(const char* name)
{
    if (!name)
        return std::string();
    std::string path = WithSlashes(name);
    if (path.empty() || Exists(path))
        return path;

    // Walk the components; "." and ".." and empty components (from "//") pass as written.
    std::string resolved;
    size_t pos = 0;
    if (path[0] == '/') {
        resolved = "/";
        pos = 1;
    }
    while (pos <= path.size()) {
        size_t slash = path.find('/', pos);
        bool last = slash == std::string::npos;
        std::string component = path.substr(pos, last ? std::string::npos : slash - pos);
        std::string next;
        if (component.empty() || component == "." || component == "..") {
            next = component;
        } else {
            std::string candidate = resolved + component;
            if (Exists(candidate)) {
                next = component;
            } else {
                std::string found;
                if (FindEntry(resolved, component, found))
                    next = found;
                else
                    next = component; // left as written: the open reports the failure
            }
        }
        resolved += next;
        if (last)
            break;
        resolved += '/';
        pos = slash + 1;
    }
    return resolved;
}

std::FILE* OpenFile(const char* name, const char* mode)
{
    if (!name || !mode)
        return nullptr;
    std::string path = ResolvePath(name);
    return std::fopen(path.c_str(), mode);
}

} // namespace platform
