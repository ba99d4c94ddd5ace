#pragma once
// The back buffer: a 24-bit top-down image in plain memory that the software kernels draw into
// and the window presents. Its pixel pointer is handed out only while locked, so every reader
// and writer brackets its work with Lock/Unlock. One spare row below the image, as every
// GBitmap block has. Main thread only.

#include <cstdint>
#include <memory>

#include "foundation/image/bitmap.h"

class GDibSurface : public GBitmap {
public:
    GDibSurface() = default;
    GDibSurface(int16_t width, int16_t height);
    ~GDibSurface() override;

    // Null only when the object itself cannot be allocated; a failed pixel allocation leaves a
    // surface whose GetPixels() stays null even while locked.
    static std::unique_ptr<GDibSurface> Create(int16_t width, int16_t height, int bitsPerPixel);
    void CreateDib(int bitsPerPixel);

    uint8_t* Lock();
    void Unlock();

    uint8_t* GetPixels() const override { return m_lockedPixels; }
    uint8_t* GetAlpha() const override { return nullptr; }
    int32_t GetPitch() const override { return m_pitch; }

    // The 40-byte little-endian BITMAPINFOHEADER describing the memory (height negative:
    // top-down, with the spare row); null before CreateDib.
    const uint8_t* GetBitmapInfo() const { return m_bitmapInfo.get(); }
    // The pixel memory regardless of the lock, for the presenter; null when creation failed.
    const uint8_t* GetDibPixels() const { return m_dibPixels.get(); }

    // 24-bit top-down BMP; 1 written, 0 when the file cannot be opened or written.
    int SaveBmp(const char* fileName);

private:
    std::unique_ptr<uint8_t[]> m_dibPixels;
    uint8_t* m_lockedPixels = nullptr;
    int32_t m_pitch = 0;
    std::unique_ptr<uint8_t[]> m_bitmapInfo;
};
