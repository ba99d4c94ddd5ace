#include "platform/files/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <signal.h>

#include <atomic>
#include <cerrno>
#include <cstring>
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

// The entry of folder whose name equals component ignoring case. When several spellings
// exist, the smallest name wins, so the result does not depend on directory order.
bool FindEntry(const std::string& folder, const std::string& component, std::string& found)
{
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return false;
    bool any = false;
    while (const dirent* entry = ::readdir(dir)) {
        if (SameIgnoringCase(component.c_str(), entry->d_name) && (!any || found > entry->d_name)) {
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

bool PathExists(const char* name)
{
    return name && Exists(ResolvePath(name));
}

bool IsFolder(const char* name)
{
    if (!name)
        return false;
    struct stat st;
    return ::stat(ResolvePath(name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

bool MakeFolder(const std::string& path, bool privateToUser)
{
    return ::mkdir(path.c_str(), privateToUser ? 0700 : 0755) == 0;
}

} // namespace

bool CreateFolder(const char* name, bool privateToUser)
{
    if (!name || !*name)
        return false;
    return MakeFolder(ResolvePath(name), privateToUser);
}

bool CreateFolders(const char* name, bool privateToUser)
{
    if (!name || !*name)
        return false;
    std::string path = ResolvePath(name);
    // Each prefix that ends before a slash is one level; the whole path is the last.
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos < path.size() && path[pos] != '/')
            continue;
        if (path[pos - 1] == '/')
            continue; // "a//b" or a trailing slash: no new level here
        std::string level = path.substr(0, pos);
        struct stat st;
        if (::stat(level.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return false;
            continue;
        }
        if (!MakeFolder(level, privateToUser) && errno != EEXIST)
            return false;
    }
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RemoveFolder(const char* name)
{
    return name && *name && ::rmdir(ResolvePath(name).c_str()) == 0;
}

bool DeleteFile(const char* name)
{
    return name && *name && ::unlink(ResolvePath(name).c_str()) == 0;
}

int64_t GetFileSize(std::FILE* file)
{
    if (!file)
        return -1;
    struct stat st;
    if (::fstat(::fileno(file), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return static_cast<int64_t>(st.st_size);
}

namespace {

bool WriteAll(int fd, const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Makes the rename itself durable; a failure here does not undo a completed replace.
void SyncFolder(const std::string& folder)
{
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::atomic<uint32_t> g_temporaryCounter{0};

std::string TemporaryName(const std::string& folder, const std::string& base)
{
    return folder + "." + base + "." + std::to_string(::getpid()) + "." +
           std::to_string(g_temporaryCounter.fetch_add(1)) + ".tmp";
}

// Our temporaries are ".<name>.<pid>.<counter>.tmp"; the pid of the writer, or 0 when the
// entry is not one of them.
long TemporaryOwner(const char* entry)
{
    const size_t length = std::strlen(entry);
    if (entry[0] != '.' || length < 9 || std::strcmp(entry + length - 4, ".tmp") != 0)
        return 0;
    size_t end = length - 4, p = end;
    while (p > 0 && entry[p - 1] >= '0' && entry[p - 1] <= '9')
        --p;
    if (p == end || p == 0 || entry[p - 1] != '.')
        return 0;
    end = p - 1;
    p = end;
    while (p > 0 && entry[p - 1] >= '0' && entry[p - 1] <= '9')
        --p;
    if (p == end || p < 2 || entry[p - 1] != '.' || end - p > 9)
        return 0;
    return std::stol(std::string(entry + p, end - p));
}

// A writer that is gone never finishes its temporary: such files would pile up beside the
// records, one per interrupted save.
void RemoveStaleTemporaries(const std::string& folder)
{
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const long owner = TemporaryOwner(entry->d_name);
        if (owner > 0 && owner != ::getpid() && ::kill(static_cast<pid_t>(owner), 0) != 0 &&
            errno == ESRCH)
            ::unlink((folder + entry->d_name).c_str());
    }
    ::closedir(dir);
}

} // namespace

ReplaceResult ReplaceFile(const char* name, const void* data, size_t size, int* error)
{
    int ignored = 0;
    int& failure = error ? *error : ignored;
    failure = 0;
    const auto fail = [&](ReplaceResult result, int code) {
        failure = code;
        return result;
    };
    if (!name || !*name || (!data && size > 0))
        return fail(ReplaceResult::kCannotCreate, EINVAL);
    std::string path = ResolvePath(name);
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty())
        return fail(ReplaceResult::kCannotCreate, EISDIR);

    mode_t mode = 0644;
    struct stat old;
    if (::stat(path.c_str(), &old) == 0) {
        if (!S_ISREG(old.st_mode))
            return fail(ReplaceResult::kCannotCreate, S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
        // A file the owner could not read back would be lost at the next start.
        mode = (old.st_mode & 0644) | 0600;
    }
    RemoveStaleTemporaries(folder);

    // A hidden name of our own in the same folder, so the rename never crosses file systems.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 64 && fd < 0; ++attempt) {
        temporary = TemporaryName(folder, base);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST)
            return fail(ReplaceResult::kCannotCreate, errno);
    }
    if (fd < 0)
        return fail(ReplaceResult::kCannotCreate, EEXIST);

    bool ok = WriteAll(fd, data, size) && ::fsync(fd) == 0;
    int code = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return fail(ReplaceResult::kWriteFailed, code ? code : EIO);
    }
    SyncFolder(folder);
    return ReplaceResult::kReplaced;
}

FileKind GetFileKind(const char* name)
{
    if (!name || !*name)
        return FileKind::kMissing;
    const std::string path = ResolvePath(name);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return Exists(path) ? FileKind::kOther : FileKind::kMissing;
    return S_ISREG(st.st_mode)   ? FileKind::kFile
           : S_ISDIR(st.st_mode) ? FileKind::kFolder
                                 : FileKind::kOther;
}

bool KeepAside(const char* name, const char* asideName, std::string* reason)
{
    const auto fail = [&](const char* what) {
        if (reason)
            *reason = std::string(what) + ": " + std::strerror(errno);
        return false;
    };
    if (!name || !*name || !asideName || !*asideName) {
        errno = EINVAL;
        return fail("no name");
    }
    const std::string path = ResolvePath(name);
    const std::string aside = ResolvePath(asideName);
    struct stat at;
    if (::lstat(path.c_str(), &at) != 0)
        return true;
    // The link is made under a name of its own and renamed over the older copy, so that copy
    // is only replaced once the new one is complete. Only a plain file is linked: a second
    // name of a pipe, a device or a symbolic link would leave the thing itself in the
    // record's place, where no write can replace it.
    const size_t slash = aside.rfind('/');
    const std::string link = slash == std::string::npos ? TemporaryName("", aside)
                                                        : TemporaryName(aside.substr(0, slash + 1),
                                                                        aside.substr(slash + 1));
    if (S_ISREG(at.st_mode) && ::link(path.c_str(), link.c_str()) == 0) {
        if (::rename(link.c_str(), aside.c_str()) == 0) {
            // A rename between two links of one file does nothing and leaves the new link.
            ::unlink(link.c_str());
            return true;
        }
        const int error = errno;
        ::unlink(link.c_str());
        errno = error;
        return fail("cannot replace the older copy");
    }
    // Anything else, or a file that cannot be linked: move the thing itself, after an older
    // copy that is a plain file or link.
    struct stat older;
    if (::lstat(aside.c_str(), &older) == 0 && !S_ISDIR(older.st_mode))
        ::unlink(aside.c_str());
    if (::rename(path.c_str(), aside.c_str()) == 0)
        return true;
    return fail("cannot move it aside");
}

} // namespace platform
