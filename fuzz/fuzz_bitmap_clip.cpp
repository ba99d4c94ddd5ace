// The drawable image with random transforms: the first bytes choose the source and target
// sizes, angle, scales, flags, position and clip rectangle; the rest fill the source. Source
// and target blocks are exactly their pixels' size, so any read or write outside them shows.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "foundation/image/bitmap.h"
#include "fuzz/fuzz_support.h"
#include "graphics/animation/bitmap_clip.h"
#include "graphics/math/rotation.h"
#include "graphics/store/bitmap_table.h"

namespace {

class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint32_t Take(int n)
    {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i)
            v = v << 8 | (m_pos < m_size ? m_data[m_pos++] : 0);
        return v;
    }
    const uint8_t* Rest(size_t& n) const
    {
        n = m_pos < m_size ? m_size - m_pos : 0;
        return m_data + m_pos;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

std::unique_ptr<GBitmap> Exact(int16_t w, int16_t h, bool mask)
{
    const uint32_t area = uint32_t(w) * uint32_t(h);
    std::unique_ptr<GBitmap> image = GBitmap::CreateOnNewBlocks(
        w, h, 0, mask ? 2 : 0, GPixelBlock::Create(area * 3 ? area * 3 : 1, nullptr),
        mask ? GPixelBlock::Create(area ? area : 1, nullptr) : nullptr);
    std::memset(image->GetPixelBlock()->GetData(), 0x5A, image->GetPixelBlock()->GetSize());
    if (GPixelBlock* alpha = image->GetAlphaBlock())
        std::memset(alpha->GetData(), 0, alpha->GetSize());
    return image;
}

class Table : public GBitmapTable {
public:
    GBitmap* image = nullptr;
    GBitmap* GetBitmap(int32_t slot) const override { return slot == 0 ? image : nullptr; }
    int32_t GetSlotCount() const override { return 1; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Bytes in(data, size);
    const int16_t sw = int16_t(in.Take(1) % 40), sh = int16_t(in.Take(1) % 40);
    const int16_t tw = int16_t(1 + in.Take(1) % 96), th = int16_t(1 + in.Take(1) % 96);
    auto source = Exact(sw, sh, true);
    auto target = Exact(tw, th, false);
    size_t rest = 0;
    const uint8_t* fill = in.Rest(rest);
    const uint32_t area = uint32_t(sw) * uint32_t(sh);
    for (uint32_t i = 0; i < area * 4 && rest; ++i) {
        uint8_t* dst = i < area * 3 ? source->GetPixels() + i : source->GetAlpha() + (i - area * 3);
        *dst = fill[i % rest];
    }
    Table table;
    table.image = source.get();
    GBitmapClip clip;
    clip.SetResources(&table);
    clip.SetVisible(true);
    for (int round = 0; round < 3; ++round) {
        clip.SetAngle(int32_t(in.Take(2)) - 32768);
        clip.SetScale(int32_t(in.Take(2) % 1100) - 100); // below the lower limit, up to 4 times
        clip.SetScaleX(int32_t(in.Take(2) % 1100) - 100);
        clip.SetScaleY(int32_t(in.Take(2) % 1100) - 100);
        const uint32_t flags = in.Take(1);
        clip.SetBuffered(flags & 1);
        clip.SetCubic(flags & 2);
        clip.SetAdditive(flags & 4);
        clip.SetSubPixel(flags & 8);
        clip.SetOrientation(uint8_t(flags >> 4));
        clip.SetFrame(flags & 0x80 ? 256 : 0);
        clip.SetPosition(int32_t(in.Take(3)) - (1 << 20), int32_t(in.Take(3)) - (1 << 20));
        clip.SetAlpha(uint8_t(in.Take(1)));
        clip.Update();
        GRect r{int16_t(in.Take(2)), int16_t(in.Take(2)), int16_t(in.Take(2)), int16_t(in.Take(2))};
        clip.Draw(target.get(), (flags & 0x40) ? &r : nullptr);
        clip.CommitPrevious();
        const int32_t degrees = int32_t(in.Take(2)) - 32768;
        DrawRotatedBilinear(target.get(), source.get(), int32_t(in.Take(1)) - 128,
                            int32_t(in.Take(1)) - 128, degrees, -1, -1,
                            (flags & 0x40) ? &r : nullptr);
        DrawRotatedCubic(target.get(), source.get(), -3, -3, degrees, 2, 2, nullptr);
        BlitMaskQuarterTurn(target.get(), source.get(), int32_t(in.Take(1)) - 128, 3, &r);
    }
    fuzz::Keep(fuzz::SumBytes(target->GetPixels(), size_t(tw) * th * 3));
    return 0;
}
