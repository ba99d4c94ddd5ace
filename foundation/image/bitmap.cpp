#include "foundation/image/bitmap.h"

#include <cstring>
#include <new>
#include <utility>

#include "foundation/core/register_object.h"

std::unique_ptr<GPixelBlock> GPixelBlock::Create(uint32_t size, uint8_t* data)
{
    std::unique_ptr<GPixelBlock> block(new (std::nothrow) GPixelBlock);
    if (!block)
        return nullptr;
    RegisterObject(block.get());
    block->Init(size, data);
    if (!block->m_data)
        return nullptr;
    return block;
}

void GPixelBlock::Init(uint32_t size, uint8_t* data)
{
    Free();
    m_refCount = 0;
    if (data) {
        m_data = data;
        m_size = size;
        m_ownsData = false;
        return;
    }
    m_data = new (std::nothrow) uint8_t[size];
    m_size = m_data ? size : 0;
    m_ownsData = m_data != nullptr;
}

void GPixelBlock::Free()
{
    if (!m_ownsData)
        return;
    delete[] m_data;
    m_data = nullptr;
    m_size = 0;
    m_ownsData = false;
}

// ---------------------------------------------------------------------------------------

namespace {

// Drops one reference; the last one frees the block and its data.
void ReleaseBlock(GPixelBlock*& block)
{
    if (!block)
        return;
    if (block->ReleaseRef() < 1) {
        block->Free();
        delete block;
    }
    block = nullptr;
}

// Replaces the field's block, taking the new reference before dropping the old one so
// that handing an image its own block again is harmless.
void TakeBlock(GPixelBlock*& field, GPixelBlock* block)
{
    if (block)
        block->AddRef();
    ReleaseBlock(field);
    field = block;
}

// A new block, owned by the field's reference from here on.
void TakeNewBlock(GPixelBlock*& field, std::unique_ptr<GPixelBlock> block)
{
    TakeBlock(field, block.release());
}

// Bytes of an image area with its spare row and pixel: w * (h + 1) + 1. Zero for a
// negative size, which has no memory.
bool AreaBytes(int16_t width, int16_t height, uint32_t& bytes)
{
    if (width < 0 || height < 0)
        return false;
    bytes = static_cast<uint32_t>(width) * (static_cast<uint32_t>(height) + 1) + 1;
    return true;
}

} // namespace

GBitmap::GBitmap(int16_t width, int16_t height, uint32_t keyColour, uint8_t format)
    : m_width(width), m_height(height), m_keyColour(keyColour), m_format(format)
{
}

GBitmap::~GBitmap()
{
    ReleaseBlock(m_pixelBlock);
    ReleaseBlock(m_alphaBlock);
}

std::unique_ptr<GBitmap> GBitmap::Create(int16_t width, int16_t height, uint32_t keyColour,
                                         uint8_t format, GPixelBlock* pixels, GPixelBlock* alpha)
{
    std::unique_ptr<GBitmap> bitmap(new (std::nothrow) GBitmap(width, height, keyColour, format));
    if (!bitmap)
        return nullptr;
    RegisterObject(bitmap.get());
    bitmap->AllocBuffers(pixels, alpha);
    return bitmap;
}

std::unique_ptr<GBitmap> GBitmap::CreateOnNewBlocks(int16_t width, int16_t height,
                                                    uint32_t keyColour, uint8_t format,
                                                    std::unique_ptr<GPixelBlock> pixels,
                                                    std::unique_ptr<GPixelBlock> alpha)
{
    std::unique_ptr<GBitmap> bitmap =
        Create(width, height, keyColour, format, pixels.get(), alpha.get());
    if (bitmap) {
        pixels.release();
        alpha.release();
    }
    return bitmap;
}

void GBitmap::AllocBuffers(GPixelBlock* pixels, GPixelBlock* alpha)
{
    uint32_t area = 0;
    const bool hasArea = AreaBytes(m_width, m_height, area);

    if (pixels) {
        TakeBlock(m_pixelBlock, pixels);
    } else if (m_format != dmDarkenMask && hasArea) {
        if (IsPalettisedFormat(m_format)) {
            auto block = GPixelBlock::Create(area + kPalettisedPixelOffset, nullptr);
            if (block) {
                const uint16_t offset = kPalettisedPixelOffset;
                std::memcpy(block->GetData(), &offset, sizeof offset);
            }
            TakeNewBlock(m_pixelBlock, std::move(block));
        } else {
            TakeNewBlock(m_pixelBlock, GPixelBlock::Create(area * 3, nullptr));
        }
    }

    if (alpha)
        TakeBlock(m_alphaBlock, alpha);
    else if (FormatHasAlpha(m_format) && hasArea)
        TakeNewBlock(m_alphaBlock, GPixelBlock::Create(area, nullptr));
}

uint8_t* GBitmap::GetPixels() const
{
    return m_pixelBlock ? m_pixelBlock->GetData() : nullptr;
}

uint8_t* GBitmap::GetAlpha() const
{
    return m_alphaBlock ? m_alphaBlock->GetData() : nullptr;
}

int32_t GBitmap::GetPitch() const
{
    return static_cast<int32_t>(m_width) * GetBytesPerPixel();
}

int32_t GBitmap::GetBytesPerPixel() const
{
    return IsPalettisedFormat(m_format) ? 1 : 3;
}

void GBitmap::SetName(const char* name)
{
    std::memset(m_name, 0, sizeof m_name);
    if (!name)
        return;
    for (size_t i = 0; i + 1 < sizeof m_name && name[i]; ++i)
        m_name[i] = name[i];
}

bool GBitmap::FormatHasAlpha(uint8_t format)
{
    switch (format) {
    case dmAlphaMask:
    case dmAlphaMaskFaded:
    case 4: // masked formats that draw nothing
    case 5:
    case dmDarkenMask:
    case dmIndexedMask:
    case dmIndexedMaskFaded:
        return true;
    default:
        return false;
    }
}
