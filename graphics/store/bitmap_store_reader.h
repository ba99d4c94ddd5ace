#pragma once
// Reading one bitmap set: the index "bmst.bin" and its data files "bmdt0.bin", "bmdt1.bin"...
// in a resolution folder. The reader turns every record into a zero-filled pixel block and an
// index entry and checks everything it reads; it never shows a box or ends the process. A
// failure comes back as a GBitmapStoreError (what went wrong, the exit code the game ends with
// and the alert text), and the store decides what to do with it (graphics_resources.h).
//
// Formats (all little-endian). Index: u16 fileCount, u16 entryCount, nothing else is read.
// Data file: records up to the end of the file, each a 30-byte header (u16 format, only the
// low byte counts; u16 width; u16 height; u32 value: the entry index of the mask record for
// formats 2, 12, 20, the key colour 0x00RRGGBB for 0, 1, 16, 18; char[20] name) and a payload:
//   22, 23 JPEG     u32 N (at most 1 MiB), N bytes of JPEG, each XORed with kBitmapStoreJpegKey
//   16..20 palette  u16 770, 768 palette bytes (B, G, R), width * height index bytes
//   0..11, 13       width * height * 3 bytes (B, G, R)
//   12, 14, 15, 21, 24 and above: width * height bytes
// then one pad byte when the pixel count (for JPEG: N) is odd.
//
// Also shared with the store tool (tools/tolvanrise-store), which writes these files.
// Main thread only (no state outside the objects).

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/files/scramble_keys.h" // kBitmapStoreJpegKey

class GPixelBlock;

constexpr uint32_t kBitmapRecordHeaderSize = 30;
constexpr uint32_t kBitmapRecordNameSize = 20;
constexpr uint32_t kBitmapStoreMaxJpegBytes = 1048576;
// The palette section of a palettised record, its own u16 size field included: 256 colours.
constexpr uint16_t kBitmapStorePaletteSection = 770;
// Slot numbers, entry indices and image sides are signed 16-bit in the engine; a set or a
// table that needs more is refused rather than wrapped.
constexpr int32_t kBitmapStoreMaxSlots = 32767;
constexpr int32_t kBitmapStoreMaxSide = 32767;

// The in-memory copy of one record header; zeroed until a record fills it.
struct GBitmapIndexEntry {
    uint16_t format = 0; // high byte already cleared; JPEG formats already turned into 0 or 2
    uint16_t width = 0;
    uint16_t height = 0;
    uint32_t value = 0;
    char name[kBitmapRecordNameSize] = {}; // not necessarily zero-terminated
};

enum class GBitmapPayload { kJpeg, kPalettised, kRgb, kBytes };
GBitmapPayload PayloadOfFormat(uint8_t format);

// Which image a record (after JPEG conversion) makes in the store.
enum class GBitmapImageKind {
    kNone,      // 3..11, 13, 15, 17, 19, 21, 24 and above: only ever an alpha source
    kPlain,     // 0, 1, 16, 18: pixels, value = key colour
    kMasked,    // 2, 12, 20: pixels, alpha from the record numbered value
    kAlphaOnly, // 14: the record's block is the image's alpha
};
GBitmapImageKind ImageKindOfFormat(uint8_t format);
// Formats that count towards the loaded part of the slot table: 0..14 and 16..21.
bool CountsAsLoadedSlot(uint8_t format);

enum class GBitmapStoreFault : int32_t {
    kNone = 0,
    kIndexMissing,       // start-up: "bmst.bin" missing or shorter than 4 bytes
    kEmptyStore,         // start-up: index, pool and load counts all 0
    kReloadIndexMissing, // reload: index missing, short, or listing no records
    kDataFileMissing,    // a "bmdt%d.bin" does not open
    kJpegTooBig,         // a JPEG record longer than 1 MiB
    kTruncated,          // a record runs past the end of its data file, or the files hold fewer
                         // records than the index lists
    kBadSize,            // a side above 32767
    kBadPalette,         // a palette section other than 770 bytes
    kTooManyRecords,     // more records than the entries were sized for
    kTooManyBitmaps,     // counts that do not fit the 16-bit slot numbers
    kBadMaskReference,   // mask record out of range, never read, or of another size
    kJpegSizeMismatch,   // the JPEG stream's size differs from its record header
    kSlotPastTable,      // start-up: an image whose slot lies beyond the slot table
    kOverBudget,         // the set needs more memory than the reader may allocate
    kOutOfMemory,
};

struct GBitmapStoreError {
    GBitmapStoreFault fault = GBitmapStoreFault::kNone;
    int32_t exitCode = 0;    // what the process ends with when the error is fatal
    bool showCursor = false; // show the mouse pointer before the alert
    std::string message;     // the alert; empty: end without one
    bool Failed() const { return fault != GBitmapStoreFault::kNone; }
};

// Errors the store documents as ending the process on a reload too; every other fault of a
// reloaded set only refuses that reload.
bool EndsProcessOnReload(GBitmapStoreFault fault);

// One opened file of a set: its length and sequential reads.
class GBitmapSetInput {
public:
    virtual ~GBitmapSetInput() = default;
    // Bytes in the file.
    virtual uint64_t GetSize() const = 0;
    // Exactly size bytes from the current position; false when they are not all there.
    virtual bool Read(void* buffer, uint32_t size) = 0;
};

// Where a set's files come from. Paths are "800x600/bmdt0.bin" (letter case resolved there).
class GBitmapSetSource {
public:
    virtual ~GBitmapSetSource() = default;
    // Null when the file does not open.
    virtual std::unique_ptr<GBitmapSetInput> Open(const std::string& path) = 0;
};

// Files on disk through the platform layer.
class GFolderSetSource : public GBitmapSetSource {
public:
    std::unique_ptr<GBitmapSetInput> Open(const std::string& path) override;
};

// Files held in memory under their paths (tests, fuzzing).
class GMemorySetSource : public GBitmapSetSource {
public:
    void Add(const std::string& path, std::vector<uint8_t> bytes);
    std::unique_ptr<GBitmapSetInput> Open(const std::string& path) override;

private:
    std::map<std::string, std::vector<uint8_t>> m_files;
};

// "<folder>/bmst.bin", or "bmst.bin" without a folder (null or empty).
std::string BitmapIndexPath(const char* folder);
// "<folder>/bmdt<number>.bin", or "bmdt<number>.bin".
std::string BitmapDataPath(const char* folder, int32_t number);

enum class GBitmapIndexState { kRead, kMissing, kTooShort };
// The two counts of the index, or why there are none.
GBitmapIndexState ReadBitmapIndex(GBitmapSetSource& source, const char* folder, uint16_t* fileCount,
                                  uint16_t* entryCount);
// The same; false when the index does not open or holds fewer than 4 bytes.
bool ReadBitmapIndexHeader(GBitmapSetSource& source, const char* folder, uint16_t* fileCount,
                           uint16_t* entryCount);
// What a player is told of an index that could not be read: "<path> not found!" or
// "<path> is damaged (too short)".
std::string BitmapIndexProblem(const char* folder, GBitmapIndexState state);

struct GBitmapReadLimits {
    // Pixel-block bytes one read pass may allocate. Far above any real set; it stops a few
    // bytes of JPEG header from claiming gigabytes.
    uint64_t maxBlockBytes = uint64_t{1} << 30;
};

// What one read pass produced: entries and blocks, both indexed by entry (record) number.
// Holds one reference on each block until it is handed over with TakeBlock; the destructor
// drops the references still held (freeing blocks nobody else took).
class GBitmapSetData {
public:
    GBitmapSetData() = default;
    GBitmapSetData(const GBitmapSetData&) = delete;
    GBitmapSetData& operator=(const GBitmapSetData&) = delete;
    ~GBitmapSetData();

    // capacity entries, all zeroed and without blocks.
    bool Reset(int32_t capacity);

    int32_t GetCapacity() const { return static_cast<int32_t>(m_entries.size()); }
    int32_t GetRecordCount() const { return m_recordCount; }
    const GBitmapIndexEntry& GetEntry(int32_t index) const { return m_entries[index]; }
    GPixelBlock* GetBlock(int32_t index) const { return m_blocks[index]; }
    // Hands the held reference to the caller; the set forgets the block.
    GPixelBlock* TakeBlock(int32_t index);

private:
    friend class GBitmapSetReader;
    std::vector<GBitmapIndexEntry> m_entries;
    std::vector<GPixelBlock*> m_blocks;
    int32_t m_recordCount = 0;
};

// Reads data files 0 to fileCount - 1 of the folder into out, which is sized for capacity
// entries (the records of all files are numbered together, in file order). Checks every
// size, count and mask reference before the store may trust them; a data file without a
// record, or files holding fewer records than the index lists (listed), are damaged. On
// failure out holds no blocks.
GBitmapStoreError ReadBitmapData(GBitmapSetSource& source, const char* folder,
                                 uint16_t fileCount, int32_t capacity,
                                 const GBitmapReadLimits& limits, GBitmapSetData& out,
                                 int32_t listed = 0);

// Drops one reference; the last one frees the block with its data.
void ReleasePixelBlock(GPixelBlock* block);
