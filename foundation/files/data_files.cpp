#include "foundation/files/data_files.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <new>
#include <string>

#include "foundation/text/gstring.h"
#include "foundation/core/register_object.h"
#include "foundation/files/xor_scramble.h"
#include "platform/text/code_page.h"
#include "platform/files/file_system.h"
#include "platform/window/message_box.h"
#include "platform/files/paths.h"

char DataFolderPrefix[kDataFolderPrefixSize] = {};

namespace {

// printf into a string of whatever length the text needs.
std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n));
        std::vsnprintf(out.data(), out.size() + 1, format, args);
    }
    va_end(args);
    return out;
}

std::string Prefixed(const char* name)
{
    return std::string(DataFolderPrefix) + (name ? name : "");
}

std::string RecordFileName(int32_t number, const char* subfolder)
{
    return subfolder ? Format("%s%s/%08d.bin", DataFolderPrefix, subfolder, number)
                     : Format("%s%08d.bin", DataFolderPrefix, number);
}

uint8_t KeyedFileByte(uint32_t key)
{
    return static_cast<uint8_t>(key + (key >> 8) + (key >> 16) + (key >> 24));
}

platform::FilePtr Open(const std::string& name, const char* mode)
{
    return platform::FilePtr(platform::OpenFile(name.c_str(), mode));
}

} // namespace

int WriteKeyedFile(const char* name, const void* data, uint32_t size, uint32_t key)
{
    if (!data && size > 0)
        return 0;
    // Built whole and swapped in, so a failed write keeps the old file.
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[size ? size : 1]);
    if (!block)
        return 0;
    if (size > 0)
        std::memcpy(block.get(), data, size);
    if (key != 0) {
        uint8_t k = KeyedFileByte(key);
        for (uint32_t i = 0; i < size; ++i)
            block[i] ^= k;
    }
    return platform::ReplaceFile(Prefixed(name).c_str(), block.get(), size) ==
                   platform::ReplaceResult::kReplaced ? 1 : 0;
}

int AppendKeyedFile(const char* name, const void* data, uint32_t size, uint32_t key)
{
    platform::FilePtr file = Open(Prefixed(name), "a+b");
    if (!file || (!data && size > 0))
        return 0;
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        return 0;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    bool ok = true;
    if (key == 0) {
        ok = std::fwrite(bytes, 1, size, file.get()) == size;
    } else {
        uint8_t k = KeyedFileByte(key);
        for (uint32_t i = 0; i < size && ok; ++i)
            ok = std::fputc(bytes[i] ^ k, file.get()) != EOF;
    }
    // Buffered bytes that cannot reach the disk are a failed write too.
    if (std::fclose(file.release()) != 0)
        ok = false;
    return ok ? 1 : 0;
}

void ClearDataFolderPrefix()
{
    DataFolderPrefix[0] = 0;
}

void ShowAlert(const char* text)
{
    // Our message queue is not pumped by the box, so a pending quit request stays queued.
    platform::ShowMessageBox("Alert", text, platform::MessageBoxButtons::kOk,
                             platform::MessageBoxIcon::kInformation);
}

void ShowAlertHex(uint32_t number)
{
    ShowAlert(Format("%X", number).c_str());
}

void ShowAlertDec(int32_t number)
{
    ShowAlert(Format("%d", number).c_str());
}

std::unique_ptr<char[]> ReadWholeFile(const char* name, uint32_t* length)
{
    platform::FilePtr file = Open(Prefixed(name), "rb");
    if (!file)
        return nullptr;
    int64_t size = platform::GetFileSize(file.get());
    if (size < 0 || size >= INT32_MAX) {
        // Not a regular file, or too large for a 32-bit length.
        if (length)
            *length = 0;
        return nullptr;
    }
    uint32_t n = static_cast<uint32_t>(size);
    if (length)
        *length = n;
    if (n == 0)
        return nullptr;
    std::unique_ptr<char[]> block(new (std::nothrow) char[n + 1]);
    if (!block || std::fread(block.get(), n, 1, file.get()) != 1)
        return nullptr;
    block[n] = 0;
    return block;
}

int ReadBlock(std::FILE* file, void* buffer, uint32_t size)
{
    if (!file || !buffer)
        return 0;
    if (size == 0)
        return 1;
    return std::fread(buffer, size, 1, file) == 1 ? 1 : 0;
}

GDataPackCache::~GDataPackCache() = default;

std::unique_ptr<GDataPackCache> GDataPackCache::Create(uint32_t capacity)
{
    std::unique_ptr<GDataPackCache> cache(new (std::nothrow) GDataPackCache);
    if (!cache)
        return nullptr;
    RegisterObject(cache.get());
    if (!cache->Init(capacity))
        return nullptr;
    return cache;
}

bool GDataPackCache::Init(uint32_t capacity)
{
    Clear();
    if (capacity == 0)
        return true;
    m_entries.reset(new (std::nothrow) Entry[capacity]);
    if (!m_entries)
        return false;
    m_capacity = capacity;
    return true;
}

int32_t GDataPackCache::FindEntry(int32_t number, const char* folder) const
{
    for (uint32_t i = 0; i < m_count; ++i) {
        const Entry& entry = m_entries[i];
        if (entry.number != number)
            continue;
        if (!folder ? !entry.folder : entry.folder && std::strcmp(entry.folder.get(), folder) == 0)
            return static_cast<int32_t>(i);
    }
    return -1;
}

bool GDataPackCache::IsCached(int32_t number, const char* folder) const
{
    return FindEntry(number, folder) >= 0;
}

const uint8_t* GDataPackCache::Load(int32_t number, uint32_t* size, const char* folder)
{
    if (m_count >= m_capacity || IsCached(number, folder))
        return nullptr;
    std::string name = folder ? Format("%s/Data%d.dat", folder, number) : Format("Data%d.dat", number);
    platform::FilePtr file = Open(name, "rb");
    if (!file)
        return nullptr;
    int64_t length = platform::GetFileSize(file.get());
    if (length < 0 || length >= INT32_MAX)
        return nullptr;
    uint32_t n = static_cast<uint32_t>(length);
    if (size)
        *size = n;
    if (n == 0)
        return nullptr;

    // Everything is built aside and only enters the table once the read succeeded.
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[n + 1]);
    std::unique_ptr<char[]> folderCopy;
    if (folder) {
        size_t folderLength = std::strlen(folder);
        folderCopy.reset(new (std::nothrow) char[folderLength + 1]);
        if (folderCopy)
            std::memcpy(folderCopy.get(), folder, folderLength + 1);
    }
    if (!data || (folder && !folderCopy))
        return nullptr;
    if (std::fread(data.get(), n, 1, file.get()) != 1)
        return nullptr;
    data[n] = 0;

    Entry& entry = m_entries[m_count++];
    entry.number = number;
    entry.data = std::move(data);
    entry.folder = std::move(folderCopy);
    return entry.data.get();
}

void GDataPackCache::Unload(int32_t number, const char* folder)
{
    int32_t index = FindEntry(number, folder);
    if (index < 0)
        return;
    Entry& freed = m_entries[static_cast<uint32_t>(index)];
    --m_count;
    if (static_cast<uint32_t>(index) != m_count)
        freed = std::move(m_entries[m_count]);
    m_entries[m_count] = Entry();
}

void GDataPackCache::Clear()
{
    m_entries.reset();
    m_capacity = 0;
    m_count = 0;
}

namespace {

// Why a record could not be written, in the player's words where the system's are unclear.
std::string WriteFailure(int error)
{
    switch (error) {
    case EISDIR:
        return "a folder stands in its place";
    case EINVAL:
        return "it is not a plain file";
    case ENOTDIR:
        return "a file stands in the folder's place";
    case ENOENT:
        return "the folder is missing and cannot be made";
    default:
        return std::strerror(error);
    }
}

} // namespace

int WriteUserRecordFile(int32_t number, const void* data, uint32_t size, const char* subfolder,
                        std::string* failure)
{
    const auto failed = [failure](std::string why) {
        if (failure)
            *failure = std::move(why);
        return 0;
    };
    if (!data && size > 0)
        return failed("no data");
    std::string name = RecordFileName(number, subfolder);
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[size ? size : 1]);
    if (!block)
        return failed(std::strerror(ENOMEM));
    XorScrambleInt(data ? data : block.get(), block.get(), size, number);

    int error = 0;
    switch (platform::ReplaceFile(name.c_str(), block.get(), size, &error)) {
    case platform::ReplaceResult::kReplaced:
        return 1;
    case platform::ReplaceResult::kCannotCreate:
        return failed(WriteFailure(error));
    case platform::ReplaceResult::kWriteFailed:
        break;
    }
    if (!failure)
        ShowAlert(Format("%s: Error in WriteFile!", name.c_str()).c_str());
    return failed(WriteFailure(error));
}

std::string UserRecordFileName(int32_t number, const char* subfolder)
{
    return RecordFileName(number, subfolder);
}

int KeepUserRecordAside(int32_t number, const char* subfolder, std::string* reason)
{
    const std::string name = RecordFileName(number, subfolder);
    return platform::KeepAside(name.c_str(), (name + ".damaged").c_str(), reason) ? 1 : 0;
}

int ReadUserRecordFile(int32_t number, void* buffer, uint32_t size, const char* subfolder,
                       GRecordReadInfo* info)
{
    GRecordReadInfo unused;
    GRecordReadInfo& result = info ? *info : unused;
    const auto unreadable = [&](std::string reason) {
        result.outcome = GRecordRead::kUnreadable;
        result.reason = std::move(reason);
        return 0;
    };
    const bool quiet = result.quiet;
    result = GRecordReadInfo();
    result.quiet = quiet;
    const auto warn = [&result](const std::string& text) {
        if (result.quiet)
            result.warnings += (result.warnings.empty() ? "" : "\n") + text;
        else
            ShowAlert(text.c_str());
    };
    std::string name = RecordFileName(number, subfolder);
    if (!buffer && size > 0)
        return 0;
    // Looked at before it is opened: a pipe in the record's place would block the open.
    switch (platform::GetFileKind(name.c_str())) {
    case platform::FileKind::kMissing:
        return 0;
    case platform::FileKind::kFolder:
        return unreadable("a folder stands in its place");
    case platform::FileKind::kOther:
        return unreadable("it is not a plain file");
    case platform::FileKind::kFile:
        break;
    }
    platform::FilePtr file = Open(name, "rb");
    if (!file)
        return unreadable(std::strerror(errno));
    int64_t fileSize = platform::GetFileSize(file.get());
    if (fileSize > static_cast<int64_t>(size))
        warn(Format("WARNING! Incorrect version file %s!\nFile size is more then buffer's size!",
                    name.c_str()));

    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    if (size > 0)
        std::memset(bytes, 0, size);
    size_t got = size > 0 ? std::fread(bytes, 1, size, file.get()) : 0;
    if (std::ferror(file.get()))
        return unreadable(std::strerror(errno));
    if (got == 0) {
        warn(Format("File %s cannot be read! ReadFile function: 0 bytes read", name.c_str()));
        return unreadable("0 bytes read");
    }
    if (got < size)
        warn(Format("WARNING! Incorrect version file %s!\nFile size is less then buffer's size!",
                    name.c_str()));
    XorScrambleInt(bytes, nullptr, static_cast<uint32_t>(got), number);
    result.outcome = got < size || fileSize > static_cast<int64_t>(size) ? GRecordRead::kOtherSize
                                                                         : GRecordRead::kWhole;
    return 1;
}

void ReadUserRecordFileSimple(int32_t number, void* buffer, uint32_t size, const char* subfolder)
{
    platform::FilePtr file = Open(RecordFileName(number, subfolder), "rb");
    if (!file || !buffer)
        return;
    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    uint8_t key = static_cast<uint8_t>(number);
    for (uint32_t i = 0; i < size; ++i, ++key) {
        int c = std::fgetc(file.get());
        if (c == EOF)
            return;
        bytes[i] = static_cast<uint8_t>(c) ^ key;
    }
}

int ReadKeyedFile(const char* name, void* buffer, uint32_t size, uint32_t key)
{
    platform::FilePtr file = Open(Prefixed(name), "rb");
    if (!file || (!buffer && size > 0))
        return 0;
    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    if (key == 0)
        return size == 0 || std::fread(bytes, size, 1, file.get()) == 1 ? 1 : 0;
    uint8_t k = KeyedFileByte(key);
    for (uint32_t i = 0; i < size; ++i) {
        int c = std::fgetc(file.get());
        if (c == EOF)
            return 0;
        bytes[i] = static_cast<uint8_t>(c) ^ k;
    }
    return 1;
}

bool DeleteDataFile(const char* name)
{
    return name && platform::DeleteFile(Prefixed(name).c_str());
}

bool RemoveDataFolder(const char* name)
{
    return name && platform::RemoveFolder(Prefixed(name).c_str());
}

bool CreateDataSubfolder(const char* name)
{
    return name && platform::CreateFolder(Prefixed(name).c_str());
}

void AppendLogLine(const char* name, const char* text)
{
    platform::FilePtr file = Open(Prefixed(name), "a+");
    if (!file)
        return;
    std::fseek(file.get(), 0, SEEK_END);
    if (text)
        std::fputs(text, file.get());
    std::fputc('\n', file.get());
}

void GetProgramFolderPath(GString& out, const char* name)
{
    std::string path = platform::GetProgramFolder() + (name ? name : "");
    out = path.c_str();
}

std::unique_ptr<char16_t[]> AnsiToWide(const char* text)
{
    if (!text)
        return nullptr;
    std::u16string wide = platform::AnsiToUtf16(text);
    std::unique_ptr<char16_t[]> out(new (std::nothrow) char16_t[wide.size() + 1]);
    if (out) {
        std::memcpy(out.get(), wide.data(), wide.size() * sizeof(char16_t));
        out[wide.size()] = 0;
    }
    return out;
}

std::unique_ptr<char[]> WideToAnsi(const char16_t* text)
{
    if (!text)
        return nullptr;
    std::string narrow = platform::Utf16ToAnsi(text);
    std::unique_ptr<char[]> out(new (std::nothrow) char[narrow.size() + 1]);
    if (out)
        std::memcpy(out.get(), narrow.c_str(), narrow.size() + 1);
    return out;
}
