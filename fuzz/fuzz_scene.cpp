// Scenes for the render-list flush from the bytes: images of any format (0 to 23) and size,
// some with blocks cut short of what their format needs; clips with every field taken from the
// bytes (draw mode, anchor, sub-pixel flag, orientation, alpha, frame, position, palette, owner
// rect), a few of them drawing themselves; then frames of RedrawDirty and RedrawDirtyNoMirror
// with the clips changing between them, RedrawAll, RedrawRegion and DrawToBitmap. The target
// and every image block are allocated to their exact size. Checks, besides the sanitizers:
// after each flush no pixel outside the returned rectangle has changed.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/fuzz_reader.h"
#include "foundation/image/dib_surface.h"
#include "graphics/scene/clip_array.h"
#include "graphics/scene/clip_container.h"
#include "graphics/scene/rect_array.h"
#include "graphics/store/bitmap_table.h"

namespace {

using Reader = FuzzReader;

[[noreturn]] void Fail()
{
    __builtin_trap();
}

class Table : public GBitmapTable {
public:
    GBitmap* GetBitmap(int32_t slot) const override { return images[slot].get(); }
    int32_t GetSlotCount() const override { return int32_t(images.size()); }
    std::vector<std::unique_ptr<GBitmap>> images;
};

// Draws itself by writing inside the rectangle it is handed, as far as it lies on the target.
class SelfDrawn : public GClip {
public:
    void Draw(GBitmap* target, const GRect& area) override
    {
        uint8_t* pixels = target->GetPixels();
        GRect on{0, 0, int16_t(target->GetWidth() - 1), int16_t(target->GetHeight() - 1)};
        // The overlap test takes the edges as they are: an inverted rectangle can "overlap"
        // and leave an inverted result, which covers no pixel.
        if (!pixels || !IntersectRects(on, on, area) || !IntersectRects(on, on, GetRect()) || on.IsEmpty())
            return;
        for (int y = on.top; y <= on.bottom; ++y)
            std::memset(pixels + y * target->GetPitch() + on.left * 3, 0x5A,
                        size_t(on.Width()) * 3);
    }
};

std::unique_ptr<GBitmap> MakeImage(Reader& in)
{
    const int16_t w = int16_t(in.U8() % 40), h = int16_t(in.U8() % 40);
    const uint8_t format = in.U8() % 24, cut = in.U8();
    std::unique_ptr<GBitmap> full(GBitmap::Create(w, h, uint32_t(in.I32()) & 0x01FFFFFF, format));
    // A block shorter than the format needs (or none): the kernels must draw nothing from it.
    auto copy = [&](GPixelBlock* block) -> std::unique_ptr<GPixelBlock> {
        if (!block)
            return (cut & 3) == 3 ? GPixelBlock::Create(uint32_t(cut), nullptr) : nullptr;
        const uint32_t size =
            cut & 1 ? block->GetSize() - std::min<uint32_t>(block->GetSize(), cut >> 2)
                    : block->GetSize();
        std::unique_ptr<GPixelBlock> out = GPixelBlock::Create(size, nullptr);
        for (uint32_t i = 0; out && i < size; ++i)
            out->GetData()[i] = uint8_t(in.U8() ^ i);
        if (out && size >= 2 && GBitmap::IsPalettisedFormat(format) && !(cut & 2))
            std::memcpy(out->GetData(), &kPalettisedPixelOffset, 2);
        return out;
    };
    return GBitmap::CreateOnNewBlocks(w, h, full->GetKeyColour(), format,
                                      copy(full->GetPixelBlock()), copy(full->GetAlphaBlock()));
}

void Mutate(GClip& c, Reader& in, const std::vector<uint32_t>& palette)
{
    const uint8_t what = in.U8();
    if (what & 1)
        c.SetPosition(in.I32() >> (in.U8() % 20), in.I32() >> (in.U8() % 20));
    if (what & 2)
        c.SetVisible(!c.IsVisible());
    if (what & 4)
        c.SetFrame(in.I32() >> (in.U8() % 28));
    if (what & 8)
        c.SetAlpha(in.U8()), c.SetOrientation(in.U8() % 6);
    if (what & 16)
        c.SetRect({in.I16(), in.I16(), in.I16(), in.I16()});
    if (what & 32)
        c.SetPalette(in.U8() & 1 ? palette.data() : nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Reader in(data, size);
    const int16_t w = int16_t(1 + in.U8() % 96), h = int16_t(1 + in.U8() % 64);
    std::unique_ptr<GDibSurface> screen(GDibSurface::Create(w, h, 24));
    Table table;
    for (int n = in.U8() % 12; n > 0; --n)
        table.images.push_back(MakeImage(in));
    std::vector<uint32_t> palette(256, 0x00C08040);
    auto list = GClipArray::Create(64);
    auto dirty = GRectArray::Create(int16_t(1 + in.U8() % 16));
    auto container = GClipContainer::Create(screen.get(), &table, list.get(), dirty.get());
    container->SetBackgroundMode(in.U8() % 3);
    container->SetBackgroundColour(uint32_t(in.I32()));
    std::vector<std::unique_ptr<GClip>> clips;
    for (int n = in.U8() % 40; n > 0; --n) {
        const uint8_t kind = in.U8();
        clips.push_back(kind < 16 ? std::make_unique<SelfDrawn>() : std::make_unique<GClip>());
        GClip& c = *clips.back();
        c.SetDrawMode(kind < 16 ? 15 : in.U8() % 25);
        c.SetAnchorMode(in.U8() % 10);
        c.SetSubPixel(in.U8() & 1);
        c.SetLineColour(uint32_t(in.I32()));
        Mutate(c, in, palette);
        container->AddClip(&c);
    }
    for (int frame = 0; frame < 6; ++frame) {
        const std::vector<uint8_t> before(screen->GetDibPixels(),
                                          screen->GetDibPixels() + screen->GetPitch() * h);
        GRect io{in.I16(), in.I16(), in.I16(), in.I16()};
        const uint8_t flags = in.U8();
        const int16_t start = int16_t(int8_t(in.U8()) % 48);
        const int drawn = flags & 1 ? container->RedrawDirtyNoMirror(io, flags & 2, start)
                                    : container->RedrawDirty(io, flags & 2, start);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const size_t at = size_t(y) * screen->GetPitch() + size_t(x) * 3;
                const bool inside =
                    drawn && x >= io.left && x <= io.right && y >= io.top && y <= io.bottom;
                if (!inside && std::memcmp(&before[at], screen->GetDibPixels() + at, 3) != 0)
                    Fail();
            }
        for (auto& c : clips)
            if (in.U8() & 1)
                Mutate(*c, in, palette);
    }
    const GRect region{in.I16(), in.I16(), in.I16(), in.I16()};
    container->RedrawAll(int16_t(in.U8() % 48), in.U8() & 1 ? &region : nullptr);
    container->RedrawRegion(int16_t(in.U8() % 48), &region);
    std::unique_ptr<GBitmap> image(
        GBitmap::Create(int16_t(in.U8() % 50), int16_t(in.U8() % 50), 0, 0));
    container->DrawToBitmap(image.get(), int16_t(in.U8() % 48), in.U8() & 1 ? &region : nullptr,
                            in.I16(), in.I16());
    return 0;
}
