#pragma once
// Files as the engine names them: backslashes become slashes, and a name that does not exist
// as written is matched case-insensitively, component by component. Every operation here
// resolves its name that way, so a data folder copied from a case-insensitive file system
// keeps working. Any thread may call these; nothing here keeps state between calls.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace platform {

// fopen with the engine's name resolution; mode as for fopen. Writes resolve the existing
// folders case-insensitively and create the last component as written (an existing file
// that differs only in case is the one written).
std::FILE* OpenFile(const char* name, const char* mode);

// An open stream closed with its owner. Where the result of the close matters (a file
// written), release() it and call fclose.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The name with slashes, each component that does not exist as written replaced by an entry
// of its folder that matches ignoring ASCII case; components without a match stay as written.
std::string ResolvePath(const char* name);

bool PathExists(const char* name);
bool IsFolder(const char* name);

// One level, rwx for the owner and (unless privateToUser) r-x for others, less the umask.
// False when the name exists already (folder or not) or the folder cannot be made.
bool CreateFolder(const char* name, bool privateToUser = false);
// Every missing level. True when the name is a folder afterwards; false when a level exists
// as something other than a folder or cannot be made.
bool CreateFolders(const char* name, bool privateToUser = false);
// An empty folder only.
bool RemoveFolder(const char* name);
// A file only, never a folder.
bool DeleteFile(const char* name);

// Bytes in the regular file behind an open stream, as stored on disk (data still buffered in
// the stream are not counted); -1 when it is not a regular file or cannot be queried.
int64_t GetFileSize(std::FILE* file);

// What stands at a name, without opening it (so a pipe or a device never blocks the caller).
// A link is followed; a link that leads nowhere (or round in a loop) is kOther.
enum class FileKind { kMissing, kFile, kFolder, kOther };
FileKind GetFileKind(const char* name);

// Keeps what stands at name under asideName in the same folder, replacing an earlier file there.
// A plain file stays in place too (a second link to it, so neither read permission nor space
// is needed); anything else (a folder, a pipe, a device, a symbolic link) and a file that
// cannot be linked (another user's) is moved aside, so that nothing is left at name.
// True when kept or when nothing stands at name; else false with the reason in *reason.
bool KeepAside(const char* name, const char* asideName, std::string* reason);

enum class ReplaceResult {
    kReplaced,
    kCannotCreate, // the temporary could not be made: missing folder, no permission, a folder in
                   // the way
    kWriteFailed,  // writing, syncing or renaming failed; the old file is untouched
};

// Replaces the whole file atomically: the bytes go to a temporary file in the same folder,
// which is synced and then renamed over the old name, so a crash or a full disk leaves either
// the old file or the new one, never a mixture. The new file is never more permissive than
// the old one for group and others and never more than rw-r--r-- (less the umask); the owner
// can always read and write it back. On failure the temporary is removed; temporaries that
// a process which has ended left in the folder (killed while writing) are removed first.
// *error (when given) receives the errno of a failure (EISDIR: a folder stands at name,
// EINVAL: something else that is not a plain file), 0 on success.
ReplaceResult ReplaceFile(const char* name, const void* data, size_t size, int* error = nullptr);

} // namespace platform
