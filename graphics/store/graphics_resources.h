#pragma once
// GGraphicsResources: the one store of every image the game draws. At start-up it reads a
// whole bitmap set (bitmap_store_reader.h) of a resolution folder into numbered slots; a
// run-time pool (GBitmapPool) follows them for images made while the game runs; later a range
// of loaded slots can be refilled from another folder's set. Everything else addresses an
// image by its absolute slot (a clip's frame >> 8).
//
// Owns the slot table (every image in it), the pool and the block list: one position per
// record of the start-up set plus two per pool slot. The store holds one reference on each
// block it read (marked per position); pool positions may also record blocks the pool's
// images made, without a reference.
//
// Missing or bad start-up data ends the process: Init and LoadBitmaps report through
// EndWithBitmapStoreError, which shows the alert and exits with the documented code. The Try
// variants do the same work without ending anything, for tests and fuzzing. Main thread only.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "graphics/store/bitmap_pool.h"
#include "graphics/store/bitmap_store_reader.h"
#include "graphics/store/bitmap_table.h"

class GBitmap;
class GPixelBlock;

class GGraphicsResources : public GBitmapTable {
public:
    GGraphicsResources() = default;
    GGraphicsResources(const GGraphicsResources&) = delete;
    GGraphicsResources& operator=(const GGraphicsResources&) = delete;
    ~GGraphicsResources() override;

    // Builds the store from the folder's set (null: the current folder); ends the process
    // on missing or bad data. Null only when the object cannot be allocated.
    static std::unique_ptr<GGraphicsResources> Create(const char* folder, uint16_t memCount,
                                                      uint16_t loadCount);

    // Reads the set and builds the table; ends the process on failure.
    void Init(const char* folder, uint16_t memCount, uint16_t loadCount);
    // The same without ending anything: the store is empty after a failure. With loadCount
    // 0 the entries are the index's; otherwise 2 * loadCount, and at least loadCount slots
    // are loaded ones.
    GBitmapStoreError TryInit(GBitmapSetSource& source, const char* folder, uint16_t memCount,
                              uint16_t loadCount, const GBitmapReadLimits& limits = {});
    // Release, then Init with loadCount 0.
    void Reinit(const char* folder, uint16_t memCount);
    void Release();

    // The index counts of the folder last stored; 1 when both were read, else 0.
    int ReadIndexHeader(uint16_t* fileCount, uint16_t* entryCount) const;

    // Absolute slot of the first image named exactly so (case-sensitive) in slots first to
    // end - 1; a negative end means the whole table, pool included. A miss shows "Cannot
    // find bitmap <name>" and returns -1, which every caller must check.
    int16_t FindBitmap(const char* name, int16_t first = 0, int16_t end = -1) const;

    // GBitmapTable: null for an empty slot or one outside the table.
    GBitmap* GetBitmap(int32_t slot) const override;
    int32_t GetSlotCount() const override { return static_cast<int32_t>(m_slots.size()); }

    // Empties the loaded slots first to last (clamped to the loaded part), dropping the
    // store's reference on blocks no other image uses. Nothing when first > last.
    void UnloadBitmaps(int16_t first, int16_t last);
    // Refills loaded slots first..last consecutively with the images of the folder's set
    // (last < first: first + the set's entry count), clamped to the loaded part. 1 on
    // success; 0 when first is not a loaded slot (first == loadedSlots fills nothing and
    // succeeds). A missing index or data file and a too long JPEG record end the process;
    // any other bad data refuses the reload with 0 and changes nothing; why (when given) then
    // gets the file and the reason, for the caller's log.
    int LoadBitmaps(const char* folder, int16_t first, int16_t last, std::string* why = nullptr);
    // The same without ending anything; the error says why a reload gave 0.
    int TryLoadBitmaps(GBitmapSetSource& source, const char* folder, int16_t first,
                       int16_t last, GBitmapStoreError* error,
                       const GBitmapReadLimits& limits = {});

    // GBitmapPool::CreateBitmap; -1 when the store has no pool.
    int16_t CreateBitmap(uint16_t width, uint16_t height, uint32_t keyColour, uint8_t format,
                         GPixelBlock* pixels, GPixelBlock* alpha, int16_t slot,
                         uint8_t alphaFill = 0);
    // The absolute slot (what clips and GetBitmap take) of a pool slot, as the pool's users
    // get it back from CreateBitmap and the loaders; -1 for a negative one or without a pool.
    int32_t AbsoluteSlotOfPoolSlot(int32_t poolSlot) const;

    GBitmapPool* GetPool() const { return m_pool.get(); }
    int32_t GetEntryCount() const { return m_entryCount; }
    int32_t GetLoadedSlots() const { return m_loadedSlots; }
    int32_t GetMemCount() const { return m_memCount; }
    // Folder of the set last read; null for the current folder.
    const char* GetFolder() const { return m_hasFolder ? m_folder.c_str() : nullptr; }

    // The block list: entryCount + 2 * memCount positions, null when free.
    int32_t GetBlockPositionCount() const { return static_cast<int32_t>(m_blocks.size()); }
    GPixelBlock* GetBlockAt(int32_t position) const;
    // Whether the store holds a reference on the block at the position.
    bool HoldsBlockAt(int32_t position) const;

private:
    friend class GBitmapPool;

    void SetFolder(const char* folder);
    // The last step of TryInit: the store takes the read set's blocks and the slot images.
    GBitmapStoreError Adopt(GBitmapSetData& set, std::vector<std::unique_ptr<GBitmap>> slots,
                            int32_t entries, int32_t loaded, uint16_t memCount, const char* folder);
    // Drops the store's reference on a block that only the given image (and the store) use,
    // clearing its position.
    void DropStoreReference(GPixelBlock* block, const GBitmap& image);
    // Every recorded block sits at exactly one position, which the index finds at once.
    void PutBlock(int32_t position, GPixelBlock* block, bool held);
    void ClearBlock(int32_t position);
    int32_t PositionOf(const GPixelBlock* block) const;
    int32_t FirstFreePosition(int32_t from, int32_t to) const;

    int32_t m_entryCount = 0;
    int32_t m_loadedSlots = 0;
    int32_t m_memCount = 0;
    std::string m_folder;
    bool m_hasFolder = false;
    std::vector<GPixelBlock*> m_blocks;
    std::vector<uint8_t> m_blockHeld; // 1 where the store holds a reference
    std::unordered_map<const GPixelBlock*, int32_t> m_positionOf;
    std::vector<std::unique_ptr<GBitmap>> m_slots;
    // Last, so that it goes before the tables it works on.
    std::unique_ptr<GBitmapPool> m_pool;
};

// Shows the pointer and the alert as the error asks, then ends the process with its exit
// code. The one place the store's fatal errors leave through.
[[noreturn]] void EndWithBitmapStoreError(const GBitmapStoreError& error);
