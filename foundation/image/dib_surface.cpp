#include "foundation/image/dib_surface.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "foundation/core/register_object.h"
#include "platform/files/file_system.h"

namespace {

constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kInfoBlockBytes = 44;
constexpr uint32_t kFileHeaderBytes = 14;
constexpr int32_t kPixelsPerMetre = 2816; // about 72 dpi

void Put16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint16_t Get16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// A 40-byte BITMAPINFOHEADER, little-endian.
void PutInfoHeader(uint8_t* p, int32_t width, int32_t height, uint16_t bits, uint32_t imageBytes)
{
    std::memset(p, 0, kInfoHeaderBytes);
    Put32(p + 0, kInfoHeaderBytes);
    Put32(p + 4, static_cast<uint32_t>(width));
    Put32(p + 8, static_cast<uint32_t>(height));
    Put16(p + 12, 1); // colour layers
    Put16(p + 14, bits);
    Put32(p + 16, 0); // no compression
    Put32(p + 20, imageBytes);
    Put32(p + 24, static_cast<uint32_t>(kPixelsPerMetre));
    Put32(p + 28, static_cast<uint32_t>(kPixelsPerMetre));
    // colours used and important stay 0
}

} // namespace

GDibSurface::GDibSurface(int16_t width, int16_t height) : GBitmap(width, height, 0, 0)
{
}

GDibSurface::~GDibSurface() = default;

std::unique_ptr<GDibSurface> GDibSurface::Create(int16_t width, int16_t height, int bitsPerPixel)
{
    std::unique_ptr<GDibSurface> surface(new (std::nothrow) GDibSurface(width, height));
    if (!surface)
        return nullptr;
    RegisterObject(surface.get());
    surface->CreateDib(bitsPerPixel);
    return surface;
}

void GDibSurface::CreateDib(int bitsPerPixel)
{
    m_lockedPixels = nullptr;
    m_dibPixels.reset();
    m_bitmapInfo.reset();
    m_pitch = 0;
    if (m_width < 0 || m_height < 0 || bitsPerPixel <= 0 || bitsPerPixel > 32)
        return;

    // Rows are padded to whole 32-bit words.
    const int32_t pitch = ((int32_t{m_width} * bitsPerPixel + 31) >> 3) & ~3;
    // One spare row below the image; with 16-bit sizes this stays far below 2^32.
    const uint32_t imageBytes = static_cast<uint32_t>(pitch) * (static_cast<uint32_t>(m_height) + 1);

    std::unique_ptr<uint8_t[]> info(new (std::nothrow) uint8_t[kInfoBlockBytes]());
    if (!info)
        return;
    PutInfoHeader(info.get(), m_width, -(int32_t{m_height} + 1), static_cast<uint16_t>(bitsPerPixel),
                  imageBytes);

    m_pitch = pitch;
    m_bitmapInfo = std::move(info);
    // Cleared, as a fresh window surface starts black.
    m_dibPixels.reset(new (std::nothrow) uint8_t[imageBytes ? imageBytes : 1]());
}

uint8_t* GDibSurface::Lock()
{
    m_lockedPixels = m_dibPixels.get();
    return m_lockedPixels;
}

void GDibSurface::Unlock()
{
    m_lockedPixels = nullptr;
}

int GDibSurface::SaveBmp(const char* fileName)
{
    if (!fileName || !m_dibPixels || !m_bitmapInfo)
        return 0;
    std::FILE* file = platform::OpenFile(fileName, "wb");
    if (!file)
        return 0;

    const uint16_t bits = Get16(m_bitmapInfo.get() + 14);
    const uint32_t imageBytes = static_cast<uint32_t>(m_pitch) * static_cast<uint32_t>(m_height);
    const uint32_t pixelOffset = kFileHeaderBytes + kInfoHeaderBytes;

    uint8_t header[kFileHeaderBytes + kInfoHeaderBytes] = {};
    header[0] = 'B';
    header[1] = 'M';
    Put32(header + 2, imageBytes + pixelOffset);
    Put32(header + 10, pixelOffset);
    // Negative height: top-down rows; the spare row is not written.
    PutInfoHeader(header + kFileHeaderBytes, m_width, -int32_t{m_height}, bits, imageBytes);

    const uint8_t* pixels = Lock();
    bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;
    if (ok && imageBytes)
        ok = std::fwrite(pixels, 1, imageBytes, file) == imageBytes;
    Unlock();
    // A full disk may only show when the buffered bytes are flushed.
    if (std::fclose(file) != 0)
        ok = false;
    return ok ? 1 : 0;
}
