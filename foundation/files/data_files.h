#pragma once
// The engine's file layer: the data-folder prefix, the "Alert" box, whole-file reading, the
// cache of packed data files "Data%d.dat", the scrambled per-user record files "%08d.bin",
// keyed files, small folder services and narrow/wide conversion. Every file is opened through
// the platform layer, so names may use backslashes and any letter case. Main thread only.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class GString;

// Put in front of every file name formed here (not of pack names). Start-up empties it and
// nothing else writes it, so names resolve against the current folder.
constexpr uint32_t kDataFolderPrefixSize = 1024;
extern char DataFolderPrefix[kDataFolderPrefixSize];
void ClearDataFolderPrefix();

// An information box titled "Alert" with an OK button.
void ShowAlert(const char* text);
void ShowAlertHex(uint32_t number); // "%X"
void ShowAlertDec(int32_t number);  // "%d"

// The whole file (prefix + name) followed by a zero byte; null when it cannot be opened or
// read, or is empty. The length is stored whenever the file could be opened, also after a
// failed read.
std::unique_ptr<char[]> ReadWholeFile(const char* name, uint32_t* length = nullptr);

// One block of size bytes from the stream's position: 1 when all of it was read, else 0.
// A block of 0 bytes is read trivially (1).
int ReadBlock(std::FILE* file, void* buffer, uint32_t size);

// Packed data files held whole in memory, each read once and handed out once until it is
// unloaded. A pack is "Data%d.dat", or "<folder>/Data%d.dat" under a folder (the prefix is not
// used). Owns every loaded block; main thread only.
class GDataPackCache {
public:
    GDataPackCache() = default;
    GDataPackCache(const GDataPackCache&) = delete;
    GDataPackCache& operator=(const GDataPackCache&) = delete;
    ~GDataPackCache();

    // Null when the cache or its entries cannot be allocated.
    static std::unique_ptr<GDataPackCache> Create(uint32_t capacity);
    // Drops what is loaded and makes room for capacity packs; false when that fails.
    bool Init(uint32_t capacity);

    // The pack's bytes followed by one zero byte; null when the cache is full, the pack is
    // already loaded, or it cannot be read (an empty pack included). The size is stored once
    // the file's length is known, also when the read then fails.
    const uint8_t* Load(int32_t number, uint32_t* size = nullptr, const char* folder = nullptr);
    // With a null folder only packs loaded without a folder match; with a folder the names
    // must be equal byte for byte.
    bool IsCached(int32_t number, const char* folder = nullptr) const;
    // Frees the first matching pack; the last entry moves into its place.
    void Unload(int32_t number, const char* folder = nullptr);
    void Clear();

    uint32_t GetCount() const { return m_count; }
    uint32_t GetCapacity() const { return m_capacity; }
    // Entry views, index below GetCount(); the folder is null for packs loaded without one.
    int32_t GetNumberAt(uint32_t index) const { return m_entries[index].number; }
    const uint8_t* GetDataAt(uint32_t index) const { return m_entries[index].data.get(); }
    const char* GetFolderAt(uint32_t index) const { return m_entries[index].folder.get(); }

private:
    struct Entry {
        int32_t number = 0;
        std::unique_ptr<uint8_t[]> data;
        std::unique_ptr<char[]> folder;
    };
    int32_t FindEntry(int32_t number, const char* folder) const;

    std::unique_ptr<Entry[]> m_entries;
    uint32_t m_capacity = 0;
    uint32_t m_count = 0;
};

// Per-user records: "<prefix><number>.bin" or "<prefix><subfolder>/<number>.bin" with the
// number as eight decimal digits. Byte i is stored XOR (number + i) in 8-bit arithmetic.
// Writing replaces the file atomically: a failed write keeps the previous record intact.
// 1 written, 0 failed. Without failure, a failure to write (as opposed to create) shows an
// alert; with it, nothing is shown and *failure says why it failed (of creating too).
int WriteUserRecordFile(int32_t number, const void* data, uint32_t size,
                        const char* subfolder = nullptr, std::string* failure = nullptr);
// What a record read found on disk, for callers that must not take an unreadable record for a
// missing one (and then write over it).
enum class GRecordRead {
    kWhole,      // read, exactly size bytes
    kOtherSize,  // read as far as it goes: the file is shorter or longer (warned)
    kMissing,    // nothing of that name
    kUnreadable, // there, but no record: no permission, a folder, not a file, empty, a read error
};
struct GRecordReadInfo {
    GRecordRead outcome = GRecordRead::kMissing;
    std::string reason; // why it was unreadable; empty otherwise
    // Set by the caller: the warnings are not shown but left in warnings (one a line), for a
    // caller that tells of several records in one box.
    bool quiet = false;
    std::string warnings;
};
// Zeroes the buffer and reads up to size bytes; a file of another size is read as far as it
// goes, with a warning. 1 read, 0 when missing or unreadable; info (when given) tells which.
int ReadUserRecordFile(int32_t number, void* buffer, uint32_t size, const char* subfolder = nullptr,
                       GRecordReadInfo* info = nullptr);
// The record's file name as the two functions above form it.
std::string UserRecordFileName(int32_t number, const char* subfolder = nullptr);
// Keeps what stands at the record's name as "<name>.damaged" beside it (one copy per record,
// replacing the older one), so the record can be written over without losing it. 1 when kept
// or when nothing is there; 0 when it cannot be kept, with the reason in *reason.
int KeepUserRecordAside(int32_t number, const char* subfolder, std::string* reason);
// Reads byte by byte until the file or the buffer ends; reports nothing and leaves the bytes
// past the end of the file as they were.
void ReadUserRecordFileSimple(int32_t number, void* buffer, uint32_t size, const char* subfolder = nullptr);

// Files combined with one constant byte, the sum of the key's four bytes modulo 256; a key of
// 0 leaves the bytes as they are. Names take the prefix. 1 when every byte was written or
// read, else 0.
int WriteKeyedFile(const char* name, const void* data, uint32_t size, uint32_t key);
int AppendKeyedFile(const char* name, const void* data, uint32_t size, uint32_t key);
int ReadKeyedFile(const char* name, void* buffer, uint32_t size, uint32_t key);

// On prefix + name; true on success. A folder is made one level at a time.
bool DeleteDataFile(const char* name);
bool RemoveDataFolder(const char* name);
bool CreateDataSubfolder(const char* name);

// Appends the text and a line break to prefix + name; nothing when it cannot be opened.
void AppendLogLine(const char* name, const char* text);

// The program's folder (with its trailing slash) followed by name.
void GetProgramFolderPath(GString& out, const char* name);

// Windows-1251 to zero-terminated UTF-16 and back; null for null text.
std::unique_ptr<char16_t[]> AnsiToWide(const char* text);
std::unique_ptr<char[]> WideToAnsi(const char16_t* text);
