#pragma once
// GBitmap is the engine's one in-memory image: sprite frames, glyph sheets, masks and (through
// GDibSurface) the back buffer. It lives in the foundation because the back buffer derives
// from it. Pixels and masks sit in reference-counted GPixelBlocks shared between images.
//
// Layout: rows top first, GetPitch() bytes each. 24-bit pixels are B, G, R. Palettised images
// (formats 16..21) start their block with a u16 header of 770 (the offset of the first pixel),
// then 256 B,G,R palette entries. Masks are one byte per pixel, 0 opaque, 255 transparent.
// Format 21 is laid out as format 20 (one byte per pixel, pitch = width, with a mask), so an
// image of that format agrees with draw mode 21, which steps palettised rows by the width.
// Format numbers above 21 have no meaning of their own and are stored as 24-bit images.
// Every block carries one spare row and one spare pixel: kernels read whole 32-bit words and
// the sub-pixel kernels read the right and lower neighbours.

#include <cstdint>
#include <memory>

// Image formats and clip draw modes share one numbering: an image of format N is drawn by draw
// mode N. The numbers are stored in bitmap-store records and clip data, so they never change.
// 4, 5 and 9 draw nothing and have no name; above 21 nothing is drawn either.
enum GDrawMode : uint8_t {
    dmCopy = 0,
    dmColorKey = 1,
    dmAlphaMask = 2,
    dmAlphaMaskFaded = 3,
    dmImageFormat = 6, // as a draw mode: use the image's own format
    dmFaded = 7,
    dmColorKeyFaded = 8,
    dmPaletteMaskFaded = 10,
    dmLine = 11,
    dmPaletteMask = 12,
    dmLightenMask = 13,
    dmDarkenMask = 14, // as a format: a mask and no pixels
    dmCustom = 15,     // as a draw mode: the clip draws itself
    dmIndexed = 16,
    dmIndexedFaded = 17,
    dmIndexedColorKey = 18,
    dmIndexedColorKeyFaded = 19,
    dmIndexedMask = 20,
    dmIndexedMaskFaded = 21,

    // Names the bitmap store's records use. A one-byte mask record (15, dmCustom as a draw
    // mode) makes no image and only serves as an alpha source; a JPEG record (no draw mode)
    // becomes dmCopy, or dmAlphaMask with the mask of the record its value names, once
    // decoded.
    dmStoreMask = 15,
    dmStoreJpeg = 22,
    dmStoreJpegMasked = 23,
};

class GPixelBlock {
public:
    GPixelBlock() = default;
    GPixelBlock(const GPixelBlock&) = delete;
    GPixelBlock& operator=(const GPixelBlock&) = delete;
    ~GPixelBlock() { Free(); }

    // Null when the block or its data cannot be allocated. The caller owns the new block
    // until an image takes a reference on it; from then on the references own it, so the
    // caller releases its pointer.
    static std::unique_ptr<GPixelBlock> Create(uint32_t size, uint8_t* data);
    // Without data, allocates size bytes (not cleared) and owns them; with data, refers to
    // it. A failed allocation leaves the block without data.
    void Init(uint32_t size, uint8_t* data);
    void Free();

    uint8_t* GetData() const { return m_data; }
    uint32_t GetSize() const { return m_size; }
    int16_t GetRefCount() const { return m_refCount; }
    void AddRef() { ++m_refCount; }
    // Returns the count left.
    int16_t ReleaseRef() { return --m_refCount; }

private:
    uint8_t* m_data = nullptr;
    uint32_t m_size = 0;
    int16_t m_refCount = 0;
    bool m_ownsData = false;
};

// Something the graphics layer derives from an image's pixels once (the kernels' run tables)
// and hangs on it. The image only owns it; what it means, and whether it still describes the
// pixels, is for the graphics layer to judge.
class GBitmapRuns {
public:
    virtual ~GBitmapRuns() = default;
};

// Offset of the first palettised pixel from the start of its block.
constexpr uint16_t kPalettisedPixelOffset = 770;

class GBitmap {
public:
    GBitmap() = default;
    GBitmap(int16_t width, int16_t height, uint32_t keyColour, uint8_t format);
    GBitmap(const GBitmap&) = delete;
    GBitmap& operator=(const GBitmap&) = delete;
    virtual ~GBitmap();

    // Null when the image cannot be allocated.
    static std::unique_ptr<GBitmap> Create(int16_t width, int16_t height, uint32_t keyColour,
                                           uint8_t format, GPixelBlock* pixels = nullptr,
                                           GPixelBlock* alpha = nullptr);
    // As Create, on new blocks that nobody shares: the image's references own them from here
    // on, and they go at once when the image cannot be made.
    static std::unique_ptr<GBitmap> CreateOnNewBlocks(int16_t width, int16_t height,
                                                      uint32_t keyColour, uint8_t format,
                                                      std::unique_ptr<GPixelBlock> pixels,
                                                      std::unique_ptr<GPixelBlock> alpha);
    // Takes a reference on each block given, or makes the blocks the format needs. A block
    // that cannot be allocated is left out (the image then has no pixels or no mask).
    void AllocBuffers(GPixelBlock* pixels, GPixelBlock* alpha);

    // Null when the image has no such block.
    virtual uint8_t* GetPixels() const;
    virtual uint8_t* GetAlpha() const;
    virtual int32_t GetPitch() const;
    virtual int32_t GetBytesPerPixel() const;

    // Names longer than 19 characters keep their first 19; null clears the name.
    void SetName(const char* name);
    const char* GetName() const { return m_name; }

    int16_t GetWidth() const { return m_width; }
    int16_t GetHeight() const { return m_height; }
    uint32_t GetKeyColour() const { return m_keyColour; }
    uint8_t GetFormat() const { return m_format; }
    void SetWidth(int16_t w) { m_width = w; }
    void SetHeight(int16_t h) { m_height = h; }
    void SetKeyColour(uint32_t key) { m_keyColour = key; }
    void SetFormat(uint8_t format) { m_format = format; }
    void SetRuns(std::unique_ptr<GBitmapRuns> runs) { m_runs = std::move(runs); }
    const GBitmapRuns* GetRuns() const { return m_runs.get(); }

    GPixelBlock* GetPixelBlock() const { return m_pixelBlock; }
    GPixelBlock* GetAlphaBlock() const { return m_alphaBlock; }

    static bool IsPalettisedFormat(uint8_t format)
    {
        return format >= dmIndexed && format <= dmIndexedMaskFaded;
    }
    static bool FormatHasAlpha(uint8_t format);

protected:
    int16_t m_width = 0;
    int16_t m_height = 0;
    uint32_t m_keyColour = 0; // 0x00RRGGBB
    uint8_t m_format = 0;
    char m_name[20] = {};
    GPixelBlock* m_pixelBlock = nullptr;
    GPixelBlock* m_alphaBlock = nullptr;
    std::unique_ptr<GBitmapRuns> m_runs;
};
