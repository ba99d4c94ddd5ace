#include "graphics/store/graphics_resources.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "foundation/image/bitmap.h"
#include "foundation/files/data_files.h"
#include "foundation/files/html_log.h"
#include "foundation/text/gstring.h"
#include "foundation/core/register_object.h"
#include "graphics/blit/blit_runs.h"
#include "platform/window/cursor.h"

namespace {

GBitmapStoreError StoreError(GBitmapStoreFault fault, std::string message)
{
    GBitmapStoreError error;
    error.fault = fault;
    error.exitCode = 255;
    error.message = std::move(message);
    return error;
}

std::string TooManyBitmaps(const char* folder)
{
    return "Bitmap set " + BitmapIndexPath(folder) + " holds too many bitmaps";
}

// The image a record makes (null for records that only serve as alpha sources, or when the
// image cannot be allocated). mask is the block of the record the value names.
std::unique_ptr<GBitmap> MakeImage(const GBitmapIndexEntry& entry, GPixelBlock* block,
                                   GPixelBlock* mask)
{
    const auto width = static_cast<int16_t>(entry.width);
    const auto height = static_cast<int16_t>(entry.height);
    const auto format = static_cast<uint8_t>(entry.format);
    std::unique_ptr<GBitmap> image;
    switch (ImageKindOfFormat(format)) {
    case GBitmapImageKind::kPlain:
        image = GBitmap::Create(width, height, entry.value, format, block, nullptr);
        break;
    case GBitmapImageKind::kMasked:
        image = GBitmap::Create(width, height, 0, format, block, mask);
        break;
    case GBitmapImageKind::kAlphaOnly:
        image = GBitmap::Create(width, height, 0, format, nullptr, block);
        break;
    case GBitmapImageKind::kNone:
        return nullptr;
    }
    if (!image)
        return nullptr;
    // Names in the file need not be terminated; SetName keeps at most 19 characters.
    char name[kBitmapRecordNameSize + 1] = {};
    for (uint32_t i = 0; i < kBitmapRecordNameSize && entry.name[i]; ++i)
        name[i] = entry.name[i];
    image->SetName(name);
    // Store images are only drawn from, never into: their run tables stay true.
    PrepareBlitRuns(*image);
    return image;
}

// Slots the read set fills: every entry whose format takes one (never-filled entries read as
// format 0 and count too), and at least the count the caller asked for.
int32_t CountLoadedSlots(const GBitmapSetData& set, int32_t entries, uint16_t loadCount)
{
    int32_t loaded = 0;
    for (int32_t i = 0; i < entries; ++i)
        if (CountsAsLoadedSlot(static_cast<uint8_t>(set.GetEntry(i).format)))
            ++loaded;
    return loaded < loadCount ? loadCount : loaded;
}

// Images go to the slot of their entry index; with records that take no loaded slot
// (masks, unknown formats) the last images can land in the pool's first slots, but
// never beyond the table. (Placeholders of never-filled entries there are just left out.)
GBitmapStoreError CheckImagesFit(const GBitmapSetData& set, int32_t slotCount, const char* folder)
{
    for (int32_t i = 0; i < set.GetRecordCount(); ++i) {
        const auto format = static_cast<uint8_t>(set.GetEntry(i).format);
        if (ImageKindOfFormat(format) != GBitmapImageKind::kNone && i >= slotCount)
            return StoreError(GBitmapStoreFault::kSlotPastTable,
                              "Bitmap set " + BitmapIndexPath(folder) + ": record " +
                                  std::to_string(i) + " lies beyond the slot table");
    }
    return {};
}

// The images of the loaded slots over the set's blocks.
GBitmapStoreError MakeSlotImages(const GBitmapSetData& set, int32_t entries, const char* folder,
                                 std::vector<std::unique_ptr<GBitmap>>& slots)
{
    const int32_t slotCount = static_cast<int32_t>(slots.size());
    for (int32_t i = 0; i < entries && i < slotCount; ++i) {
        if (i >= set.GetRecordCount()) {
            // An entry no record filled: an empty 0 x 0 image with its own (tiny) block.
            slots[i] = GBitmap::Create(0, 0, 0, dmCopy);
            if (slots[i] && slots[i]->GetPixelBlock()) {
                GPixelBlock* block = slots[i]->GetPixelBlock();
                std::fill_n(block->GetData(), block->GetSize(), uint8_t{0});
            }
        } else {
            const GBitmapIndexEntry& entry = set.GetEntry(i);
            const GBitmapImageKind kind = ImageKindOfFormat(static_cast<uint8_t>(entry.format));
            if (kind == GBitmapImageKind::kNone)
                continue;
            GPixelBlock* mask = nullptr;
            if (kind == GBitmapImageKind::kMasked)
                mask = set.GetBlock(static_cast<int32_t>(entry.value));
            slots[i] = MakeImage(entry, set.GetBlock(i), mask);
        }
        if (!slots[i])
            return StoreError(GBitmapStoreFault::kOutOfMemory,
                              "Not enough memory for bitmap set " + BitmapIndexPath(folder));
    }
    return {};
}

} // namespace

void EndWithBitmapStoreError(const GBitmapStoreError& error)
{
    if (error.showCursor)
        platform::ShowCursor(true);
    EndProcessWithAlert(error.message.c_str(), error.exitCode);
}

GGraphicsResources::~GGraphicsResources()
{
    Release();
}

std::unique_ptr<GGraphicsResources> GGraphicsResources::Create(const char* folder,
                                                               uint16_t memCount,
                                                               uint16_t loadCount)
{
    std::unique_ptr<GGraphicsResources> store(new (std::nothrow) GGraphicsResources);
    if (!store)
        return nullptr;
    RegisterObject(store.get());
    store->Init(folder, memCount, loadCount);
    return store;
}

void GGraphicsResources::Init(const char* folder, uint16_t memCount, uint16_t loadCount)
{
    GFolderSetSource files;
    GBitmapStoreError error = TryInit(files, folder, memCount, loadCount);
    if (error.Failed())
        EndWithBitmapStoreError(error);
}

void GGraphicsResources::Reinit(const char* folder, uint16_t memCount)
{
    Release();
    Init(folder, memCount, 0);
}

void GGraphicsResources::SetFolder(const char* folder)
{
    m_hasFolder = folder != nullptr;
    m_folder = folder ? folder : "";
}

int GGraphicsResources::ReadIndexHeader(uint16_t* fileCount, uint16_t* entryCount) const
{
    GFolderSetSource files;
    return ReadBitmapIndexHeader(files, GetFolder(), fileCount, entryCount) ? 1 : 0;
}

GBitmapStoreError GGraphicsResources::TryInit(GBitmapSetSource& source, const char* folder,
                                              uint16_t memCount, uint16_t loadCount,
                                              const GBitmapReadLimits& limits)
{
    Release();
    SetFolder(folder);

    uint16_t fileCount = 0;
    uint16_t indexEntries = 0;
    const GBitmapIndexState index = ReadBitmapIndex(source, folder, &fileCount, &indexEntries);
    if (index != GBitmapIndexState::kRead) {
        GBitmapStoreError error =
            StoreError(GBitmapStoreFault::kIndexMissing, BitmapIndexProblem(folder, index));
        error.showCursor = true;
        return error;
    }
    if (indexEntries == 0 && memCount == 0 && loadCount == 0)
        return StoreError(GBitmapStoreFault::kEmptyStore, "");

    const int32_t entries = loadCount != 0 ? 2 * static_cast<int32_t>(loadCount) : indexEntries;
    if (entries > kBitmapStoreMaxSlots || memCount > kBitmapStoreMaxSlots)
        return StoreError(GBitmapStoreFault::kTooManyBitmaps, TooManyBitmaps(folder));

    GBitmapSetData set;
    GBitmapStoreError error =
        ReadBitmapData(source, folder, fileCount, entries, limits, set, indexEntries);
    if (error.Failed())
        return error;

    const int32_t loaded = CountLoadedSlots(set, entries, loadCount);
    const int32_t slotCount = loaded + memCount;
    if (slotCount > kBitmapStoreMaxSlots)
        return StoreError(GBitmapStoreFault::kTooManyBitmaps, TooManyBitmaps(folder));
    error = CheckImagesFit(set, slotCount, folder);
    if (error.Failed())
        return error;
    std::vector<std::unique_ptr<GBitmap>> slots(static_cast<size_t>(slotCount));
    error = MakeSlotImages(set, entries, folder, slots);
    if (error.Failed())
        return error;
    return Adopt(set, std::move(slots), entries, loaded, memCount, folder);
}

GBitmapStoreError GGraphicsResources::Adopt(GBitmapSetData& set,
                                            std::vector<std::unique_ptr<GBitmap>> slots,
                                            int32_t entries, int32_t loaded, uint16_t memCount,
                                            const char* folder)
{
    const int32_t positions = entries + 2 * static_cast<int32_t>(memCount);
    m_blocks.assign(static_cast<size_t>(positions), nullptr);
    m_blockHeld.assign(static_cast<size_t>(positions), 0);
    m_positionOf.reserve(static_cast<size_t>(positions));
    for (int32_t i = 0; i < set.GetRecordCount(); ++i)
        PutBlock(i, set.TakeBlock(i), true);
    m_slots = std::move(slots);
    m_entryCount = entries;
    m_loadedSlots = loaded;
    m_memCount = memCount;
    m_pool.reset(new (std::nothrow) GBitmapPool(*this, loaded, entries,
                                                static_cast<int16_t>(memCount)));
    if (!m_pool) {
        Release();
        return StoreError(GBitmapStoreFault::kOutOfMemory,
                          "Not enough memory for bitmap set " + BitmapIndexPath(folder));
    }
    return {};
}

void GGraphicsResources::Release()
{
    if (m_pool)
        m_pool->FreeAll();
    m_pool.reset();
    // Images before blocks: each image drops its own references, then the store drops its.
    m_slots.clear();
    for (size_t i = 0; i < m_blocks.size(); ++i)
        if (m_blockHeld[i])
            ReleasePixelBlock(m_blocks[i]);
    m_blocks.clear();
    m_blockHeld.clear();
    m_positionOf.clear();
    m_entryCount = 0;
    m_loadedSlots = 0;
    m_memCount = 0;
}

int16_t GGraphicsResources::FindBitmap(const char* name, int16_t first, int16_t end) const
{
    const int32_t count = GetSlotCount();
    const int32_t from = first < 0 ? 0 : first;
    const int32_t to = end < 0 || end > count ? count : end;
    if (name) {
        for (int32_t slot = from; slot < to; ++slot) {
            const GBitmap* image = m_slots[slot].get();
            if (image && StrCompare(image->GetName(), name) == 0)
                return static_cast<int16_t>(slot);
        }
    }
    ShowAlert(("Cannot find bitmap " + std::string(name ? name : "")).c_str());
    return -1;
}

GBitmap* GGraphicsResources::GetBitmap(int32_t slot) const
{
    if (slot < 0 || slot >= GetSlotCount())
        return nullptr;
    return m_slots[slot].get();
}

GPixelBlock* GGraphicsResources::GetBlockAt(int32_t position) const
{
    if (position < 0 || position >= GetBlockPositionCount())
        return nullptr;
    return m_blocks[position];
}

bool GGraphicsResources::HoldsBlockAt(int32_t position) const
{
    if (position < 0 || position >= GetBlockPositionCount())
        return false;
    return m_blockHeld[position] != 0;
}

void GGraphicsResources::PutBlock(int32_t position, GPixelBlock* block, bool held)
{
    m_blocks[position] = block;
    m_blockHeld[position] = held ? 1 : 0;
    m_positionOf[block] = position;
}

void GGraphicsResources::ClearBlock(int32_t position)
{
    m_positionOf.erase(m_blocks[position]);
    m_blocks[position] = nullptr;
    m_blockHeld[position] = 0;
}

int32_t GGraphicsResources::PositionOf(const GPixelBlock* block) const
{
    auto it = m_positionOf.find(block);
    return it == m_positionOf.end() ? -1 : it->second;
}

int32_t GGraphicsResources::FirstFreePosition(int32_t from, int32_t to) const
{
    for (int32_t i = from; i < to; ++i)
        if (!m_blocks[i])
            return i;
    return -1;
}

void GGraphicsResources::DropStoreReference(GPixelBlock* block, const GBitmap& image)
{
    if (!block)
        return;
    const int32_t uses = (image.GetPixelBlock() == block) + (image.GetAlphaBlock() == block);
    // Another image still counts on the block: the store keeps it.
    if (block->GetRefCount() > uses + 1)
        return;
    const int32_t position = PositionOf(block);
    if (position < 0 || !m_blockHeld[position])
        return;
    ClearBlock(position);
    // The image still holds its own reference, so this never frees the block.
    block->ReleaseRef();
}

void GGraphicsResources::UnloadBitmaps(int16_t first, int16_t last)
{
    const int32_t from = first < 0 ? 0 : first;
    const int32_t to = last >= m_loadedSlots ? m_loadedSlots - 1 : last;
    for (int32_t slot = from; slot <= to; ++slot) {
        GBitmap* image = m_slots[slot].get();
        if (!image)
            continue;
        GPixelBlock* pixels = image->GetPixelBlock();
        GPixelBlock* alpha = image->GetAlphaBlock();
        DropStoreReference(pixels, *image);
        if (alpha != pixels)
            DropStoreReference(alpha, *image);
        m_slots[slot].reset();
    }
}

int GGraphicsResources::LoadBitmaps(const char* folder, int16_t first, int16_t last,
                                    std::string* why)
{
    GFolderSetSource files;
    GBitmapStoreError error;
    const int result = TryLoadBitmaps(files, folder, first, last, &error);
    if (error.Failed() && EndsProcessOnReload(error.fault))
        EndWithBitmapStoreError(error);
    if (why)
        *why = error.message;
    return result;
}

int GGraphicsResources::TryLoadBitmaps(GBitmapSetSource& source, const char* folder,
                                       int16_t first, int16_t last, GBitmapStoreError* error,
                                       const GBitmapReadLimits& limits)
{
    GBitmapStoreError ignored;
    GBitmapStoreError& result = error ? *error : ignored;
    result = {};
    if (first < 0 || first > m_loadedSlots)
        return 0;

    uint16_t fileCount = 0;
    uint16_t entries = 0;
    const GBitmapIndexState index = ReadBitmapIndex(source, folder, &fileCount, &entries);
    if (index != GBitmapIndexState::kRead || entries == 0) {
        result = StoreError(GBitmapStoreFault::kReloadIndexMissing,
                            index != GBitmapIndexState::kRead
                                ? BitmapIndexProblem(folder, index)
                                : BitmapIndexPath(folder) + " is damaged (it lists no bitmap)");
        return 0;
    }
    if (entries > kBitmapStoreMaxSlots) {
        result = StoreError(GBitmapStoreFault::kTooManyBitmaps, TooManyBitmaps(folder));
        return 0;
    }

    int32_t to = last;
    if (to < first)
        to = first + entries;
    if (to >= m_loadedSlots)
        to = m_loadedSlots - 1;

    // The whole set is read and checked before anything of the table changes, so a refused
    // reload leaves the store as it was.
    GBitmapSetData set;
    result = ReadBitmapData(source, folder, fileCount, entries, limits, set, entries);
    if (result.Failed())
        return 0;

    SetFolder(folder);
    UnloadBitmaps(first, static_cast<int16_t>(to));

    std::vector<int32_t> freePositions;
    for (int32_t i = 0; i < GetBlockPositionCount(); ++i)
        if (!m_blocks[i])
            freePositions.push_back(i);

    std::vector<uint8_t> kept(static_cast<size_t>(set.GetRecordCount()), 0);
    int32_t slot = first;
    for (int32_t i = 0; i < set.GetRecordCount() && slot <= to; ++i) {
        const GBitmapIndexEntry& entry = set.GetEntry(i);
        const GBitmapImageKind kind = ImageKindOfFormat(static_cast<uint8_t>(entry.format));
        if (kind == GBitmapImageKind::kNone)
            continue;
        const int32_t maskIndex = static_cast<int32_t>(entry.value);
        GPixelBlock* mask = kind == GBitmapImageKind::kMasked ? set.GetBlock(maskIndex) : nullptr;
        m_slots[slot] = MakeImage(entry, set.GetBlock(i), mask);
        if (m_slots[slot]) {
            kept[i] = 1;
            if (mask)
                kept[maskIndex] = 1;
        }
        ++slot;
    }

    // Kept blocks take the free positions in record order; the store's reference on one
    // that finds no position is dropped at once, so its images alone keep it alive and free
    // it with the last of them.
    size_t next = 0;
    for (int32_t i = 0; i < set.GetRecordCount(); ++i) {
        if (!kept[i])
            continue;
        GPixelBlock* block = set.TakeBlock(i);
        if (next < freePositions.size()) {
            PutBlock(freePositions[next++], block, true);
        } else {
            ReleasePixelBlock(block);
        }
    }
    // The set's destructor frees the blocks no image took.
    return 1;
}

int16_t GGraphicsResources::CreateBitmap(uint16_t width, uint16_t height, uint32_t keyColour,
                                         uint8_t format, GPixelBlock* pixels, GPixelBlock* alpha,
                                         int16_t slot, uint8_t alphaFill)
{
    if (!m_pool)
        return -1;
    return m_pool->CreateBitmap(width, height, keyColour, format, pixels, alpha, slot,
                                alphaFill);
}

int32_t GGraphicsResources::AbsoluteSlotOfPoolSlot(int32_t poolSlot) const
{
    return poolSlot >= 0 && m_pool ? m_pool->GetFirstSlot() + poolSlot : -1;
}
