// The drawable image with random transforms: a fixed block of first bytes chooses the source
// and target sizes, then per round the angle, scales, flags, a position over the target and a
// clip rectangle; the bytes after the block fill the source. Source and target blocks are
// exactly their pixels' size, so any read or write outside them shows.
#include <algorithm>
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
    // The parameters come first, a fixed number of bytes; the source's pixels are filled from
    // what follows them, so a change of a parameter never changes the picture and back.
    constexpr size_t kSizes = 4, kRound = 22, kRounds = 3;
    constexpr size_t kParameters = kSizes + kRounds * kRound;
    Bytes in(data, size < kParameters ? size : kParameters);
    const int16_t sw = int16_t(in.Take(1) % 40), sh = int16_t(in.Take(1) % 40);
    const int16_t tw = int16_t(1 + in.Take(1) % 96), th = int16_t(1 + in.Take(1) % 96);
    auto source = Exact(sw, sh, true);
    auto target = Exact(tw, th, false);
    const size_t rest = size > kParameters ? size - kParameters : 0;
    const uint8_t* fill = data + kParameters;
    const uint32_t area = uint32_t(sw) * uint32_t(sh);
    for (uint32_t i = 0; i < area * 4 && rest; ++i) {
        uint8_t* dst = i < area * 3 ? source->GetPixels() + i : source->GetAlpha() + (i - area * 3);
        *dst = fill[i % rest];
    }
    // Positions over the target and a margin of the source's size around it, in whole pixels
    // and a fraction, so most draws land on the target and some cross each of its edges.
    const auto position = [&in](int side, int margin) {
        const int span = side + 2 * margin + 1;
        const int32_t whole = int32_t(in.Take(1)) % span - margin;
        return whole * 256 + int32_t(in.Take(1));
    };
    const int margin = std::max<int>(sw, sh);
    Table table;
    table.image = source.get();
    GBitmapClip clip;
    clip.SetResources(&table);
    clip.SetVisible(true);
    for (size_t round = 0; round < kRounds; ++round) {
        // A fifth of the rounds upright at full size, where the plain kernels draw.
        const uint32_t turn = in.Take(2);
        clip.SetAngle(turn < 0x3333 ? 0 : int32_t(turn) - 32768);
        const uint32_t scale = in.Take(2);
        clip.SetScale(scale < 0x3333 ? 256 : int32_t(scale % 1100) - 100); // below the lower limit, up to 4 times
        clip.SetScaleX(int32_t(in.Take(2) % 1100) - 100);
        clip.SetScaleY(int32_t(in.Take(2) % 1100) - 100);
        const uint32_t flags = in.Take(1);
        clip.SetBuffered(flags & 1);
        clip.SetCubic(flags & 2);
        clip.SetAdditive(flags & 4);
        clip.SetSubPixel(flags & 8);
        clip.SetOrientation(uint8_t(flags >> 4));
        clip.SetFrame(flags & 0x80 ? 256 : 0);
        const int32_t x = position(tw, margin);
        const int32_t y = position(th, margin);
        clip.SetPosition(x, y);
        clip.SetAlpha(uint8_t(in.Take(1)));
        clip.Update();
        // A clip rectangle over the target, now and then reaching past it.
        const auto edge = [&in](int side) { return int16_t(int(in.Take(1)) % (side + 9) - 4); };
        GRect r{edge(tw), edge(th), edge(tw), edge(th)};
        clip.Draw(target.get(), (flags & 0x40) ? &r : nullptr);
        clip.CommitPrevious();
        const int32_t degrees = int32_t(in.Take(2)) - 32768;
        DrawRotatedBilinear(target.get(), source.get(), x >> 8, y >> 8, degrees, -1, -1,
                            (flags & 0x40) ? &r : nullptr);
        DrawRotatedCubic(target.get(), source.get(), -3, -3, degrees, 2, 2, nullptr);
        BlitMaskQuarterTurn(target.get(), source.get(), position(tw, margin) >> 8, 3, &r);
    }
    fuzz::Keep(fuzz::SumBytes(target->GetPixels(), size_t(tw) * th * 3));
    return 0;
}
