#include "graphics/store/bitmap_pool.h"

#include <cstring>

#include "foundation/image/bitmap.h"
#include "graphics/store/bitmap_store_reader.h"
#include "graphics/store/graphics_resources.h"

namespace {

// A block the image made for itself starts zeroed, so margins and parts a loader leaves
// unwritten never reach the kernels as leftover memory. A palettised block keeps its header.
void FillOwnBlock(GPixelBlock* block, bool palettised, uint8_t value)
{
    if (!block || !block->GetData())
        return;
    const uint32_t skip = palettised ? 2 : 0;
    if (block->GetSize() > skip)
        std::memset(block->GetData() + skip, value, block->GetSize() - skip);
}

} // namespace

GBitmapPool::GBitmapPool(GGraphicsResources& owner, int32_t firstSlot, int32_t firstBlock,
                         int16_t count)
    : m_owner(owner), m_firstSlot(firstSlot), m_firstBlock(firstBlock), m_count(count)
{
}

GBitmapPool::~GBitmapPool()
{
    FreeAll();
}

GBitmap* GBitmapPool::GetBitmap(int16_t slot) const
{
    if (slot < 0 || slot >= m_count)
        return nullptr;
    return m_owner.m_slots[m_firstSlot + slot].get();
}

int16_t GBitmapPool::CreateBitmap(uint16_t width, uint16_t height, uint32_t keyColour,
                                  uint8_t format, GPixelBlock* pixels, GPixelBlock* alpha,
                                  int16_t slot, uint8_t alphaFill)
{
    if (slot >= m_count)
        return -1;
    if (slot < 0) {
        for (int16_t i = 0; i < m_count && slot < 0; ++i)
            if (!m_owner.m_slots[m_firstSlot + i])
                slot = i;
        if (slot < 0)
            return -1;
    }
    if (width > kBitmapStoreMaxSide || height > kBitmapStoreMaxSide)
        return -1;

    FreeBitmap(slot);
    std::unique_ptr<GBitmap> image(GBitmap::Create(static_cast<int16_t>(width),
                                                   static_cast<int16_t>(height), keyColour,
                                                   format, pixels, alpha));
    if (!image)
        return -1;
    const bool missingPixels = format != dmDarkenMask && !image->GetPixelBlock();
    const bool missingAlpha = GBitmap::FormatHasAlpha(format) && !image->GetAlphaBlock();
    if (missingPixels || missingAlpha) {
        // The caller still owns what it handed in: keep those blocks alive through the
        // image's destruction and give their counts back as they were.
        if (pixels)
            pixels->AddRef();
        if (alpha)
            alpha->AddRef();
        image.reset();
        if (pixels)
            pixels->ReleaseRef();
        if (alpha)
            alpha->ReleaseRef();
        return -1;
    }

    GPixelBlock* ownPixels = pixels ? nullptr : image->GetPixelBlock();
    GPixelBlock* ownAlpha = alpha ? nullptr : image->GetAlphaBlock();
    FillOwnBlock(ownPixels, GBitmap::IsPalettisedFormat(format), 0);
    FillOwnBlock(ownAlpha, false, alphaFill);
    m_owner.m_slots[m_firstSlot + slot] = std::move(image);

    // Recorded without a reference of the store; a full list simply does not record them.
    const int32_t end = m_firstBlock + 2 * m_count;
    for (GPixelBlock* own : {ownPixels, ownAlpha}) {
        if (!own)
            continue;
        const int32_t position = m_owner.FirstFreePosition(m_firstBlock, end);
        if (position >= 0)
            m_owner.PutBlock(position, own, false);
    }
    return slot;
}

void GBitmapPool::FreeBitmap(int16_t slot)
{
    if (slot < 0 || slot >= m_count)
        return;
    std::unique_ptr<GBitmap>& entry = m_owner.m_slots[m_firstSlot + slot];
    if (!entry)
        return;

    // Blocks only this image counts on die with it: their positions are cleared before the
    // image goes, while the pointers still name live blocks.
    int32_t positions[2] = {-1, -1};
    GPixelBlock* blocks[2] = {entry->GetPixelBlock(), entry->GetAlphaBlock()};
    if (blocks[1] == blocks[0])
        blocks[1] = nullptr;
    for (int i = 0; i < 2; ++i) {
        GPixelBlock* block = blocks[i];
        if (!block)
            continue;
        const int32_t uses = (entry->GetPixelBlock() == block) + (entry->GetAlphaBlock() == block);
        const int32_t position = m_owner.PositionOf(block);
        if (block->GetRefCount() == uses && position >= 0 && !m_owner.m_blockHeld[position])
            positions[i] = position;
    }
    for (int32_t position : positions)
        if (position >= 0)
            m_owner.ClearBlock(position);
    entry.reset();
}

void GBitmapPool::FreeAll()
{
    for (int16_t slot = 0; slot < m_count; ++slot)
        FreeBitmap(slot);
}
