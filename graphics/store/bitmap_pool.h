#pragma once
// GBitmapPool: the run-time slots of the bitmap store, for images made while the game runs
// (glyphs, loaded pictures). Its slots are the last count slots of the store's table, its
// block positions the last 2 * count positions of the store's block list, where it records
// the blocks its images made for themselves (without a reference of the store). Pool slot
// numbers run from 0 to count - 1; the store's absolute slot is GetFirstSlot() + pool slot.
// Owned by its GGraphicsResources, which it points back to. Main thread only.

#include <cstdint>

class GBitmap;
class GGraphicsResources;
class GPixelBlock;

class GBitmapPool {
public:
    GBitmapPool(GGraphicsResources& owner, int32_t firstSlot, int32_t firstBlock, int16_t count);
    GBitmapPool(const GBitmapPool&) = delete;
    GBitmapPool& operator=(const GBitmapPool&) = delete;
    ~GBitmapPool();

    // Makes an image in a pool slot (negative: the first empty one), replacing what the slot
    // held. Blocks not handed in are made by the image and filled: the pixel block with zeros
    // (a palettised block keeps its header), the alpha block with alphaFill, so a caller that
    // wants another start than opaque does not clear it twice. Returns the pool slot, or -1 when the slot is out of range, the pool
    // is full, a side is above 32767 or the image or a block it needs cannot be allocated;
    // a failure leaves the reference counts of the blocks handed in as they were.
    int16_t CreateBitmap(uint16_t width, uint16_t height, uint32_t keyColour, uint8_t format,
                         GPixelBlock* pixels, GPixelBlock* alpha, int16_t slot,
                         uint8_t alphaFill = 0);
    // Destroys the image of a pool slot; nothing for an empty or out-of-range slot.
    void FreeBitmap(int16_t slot);
    void FreeAll();

    // Null for an empty or out-of-range pool slot.
    GBitmap* GetBitmap(int16_t slot) const;
    int16_t GetCount() const { return m_count; }
    int32_t GetFirstSlot() const { return m_firstSlot; }

private:
    GGraphicsResources& m_owner;
    int32_t m_firstSlot = 0;  // absolute slot of pool slot 0
    int32_t m_firstBlock = 0; // first of the pool's block positions
    int16_t m_count = 0;
};
