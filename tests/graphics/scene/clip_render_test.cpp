// The flush against a from-scratch render: random scenes of every draw mode, orientation,
// anchor, sub-pixel flag and alpha evolve over 50 frames; after each frame the back buffer
// must equal every visible clip drawn whole, in order, by the reference kernels, and the
// returned rectangle must cover every pixel that changed.

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "foundation/image/dib_surface.h"
#include "graphics/scene/clip_array.h"
#include "graphics/scene/clip_container.h"
#include "graphics/scene/rect_array.h"
#include "graphics/store/bitmap_table.h"
#include "support/reference_kernels.h"

namespace {

constexpr int kW = 160, kH = 120;

class ImageTable : public GBitmapTable {
public:
    GBitmap* GetBitmap(int32_t slot) const override { return images[slot].get(); }
    int32_t GetSlotCount() const override { return int32_t(images.size()); }
    // Random pixels and masks (a third each opaque, clear, between); keyed images key pixel 0.
    int Add(int w, int h, uint8_t format, std::mt19937& rng) {
        GPixelBlock* mask = format == 10 || format == 12
                                ? GPixelBlock::Create(uint32_t(w * (h + 1) + 1), nullptr) : nullptr;
        std::unique_ptr<GBitmap> image(GBitmap::Create(int16_t(w), int16_t(h), 0, format, nullptr, mask));
        for (GPixelBlock* b : {image->GetPixelBlock(), image->GetAlphaBlock()})
            for (uint32_t i = 0; b && i < b->GetSize(); ++i)
                b->GetData()[i] = b == mask || b == image->GetAlphaBlock()
                                      ? uint8_t(rng() % 3 == 0 ? 0 : rng() % 2 ? 255 : rng())
                                      : uint8_t(rng());
        if (GBitmap::IsPalettisedFormat(format)) {
            const uint16_t offset = kPalettisedPixelOffset;
            std::memcpy(image->GetPixels(), &offset, 2);
        }
        if (const uint8_t* p = image->GetPixels()) {
            p += GBitmap::IsPalettisedFormat(format) ? 2 + 3 * p[kPalettisedPixelOffset] : 0;
            image->SetKeyColour(p[0] | p[1] << 8 | p[2] << 16);
        }
        images.push_back(std::move(image));
        byFormat[format].push_back(int(images.size()) - 1);
        return int(images.size()) - 1;
    }
    std::vector<std::unique_ptr<GBitmap>> images;
    std::map<int, std::vector<int>> byFormat;
};

// Draws itself: blends its own rect, inside the rectangle it is handed, halfway to its colour
// (a pixel drawn twice in a frame would show).
class SelfDrawn : public GClip {
public:
    void Draw(GBitmap* target, const GRect& area) override {
        seen.push_back(area);
        GRect r;
        if (!IntersectRects(r, GetRect(), area))
            return;
        for (int y = std::max<int>(r.top, 0); y <= std::min<int>(r.bottom, target->GetHeight() - 1); ++y)
            for (int x = std::max<int>(r.left, 0); x <= std::min<int>(r.right, target->GetWidth() - 1); ++x)
                for (int c = 0; c < 3; ++c) {
                    uint8_t& d = target->GetPixels()[y * target->GetPitch() + 3 * x + c];
                    d = uint8_t((d + (colour >> (8 * c) & 255)) / 2);
                }
    }
    uint32_t colour = 0x3080C0;
    std::vector<GRect> seen;
};

// The rule and shift the dispatch must use, written from the mode table on its own.
bool ReferenceRule(const GClip& c, uint8_t mode, GBlitRule& rule, int& shift) {
    static const int8_t kPlain[22] = {0, 1, 2, 3, -1, -1, -1, 4, 5, -1, 9, -1, 8, 6, 7, -1, 10, 11, 12, 13, 14, 15};
    shift = 0;
    if (mode > 21)
        return false;
    if (c.IsSubPixel() && ((c.GetX() | c.GetY()) & 255)) {
        const std::map<int, GBlitRule> sub = {{2, GBlitRule::MaskSubPixel}, {3, GBlitRule::MaskAlphaSubPixel},
                                              {13, GBlitRule::LightenSubPixel}, {14, GBlitRule::DarkenSubPixel}};
        return sub.count(mode) && (rule = sub.at(mode), true);
    }
    if (c.IsSubPixel() && mode != 2 && mode != 3 && mode != 10 && mode != 12 && mode != 13 && mode != 14)
        return false;
    shift = c.IsSubPixel() ? -1 : 0;
    return kPlain[mode] >= 0 && (rule = GBlitRule(kPlain[mode]), true);
}

void RenderFromScratch(GBitmap& dst, const ImageTable& table, const std::vector<GClip*>& clips) {
    GRect all{0, 0, kW - 1, kH - 1};
    for (GClip* c : clips) {
        GBitmap* image = c->GetDrawMode() == 15 ? nullptr : table.FindSlot(c->GetSlot());
        if (!c->IsVisible() || (c->GetDrawMode() != 15 && !image))
            continue;
        if (c->GetDrawMode() == 15) {
            c->Draw(&dst, all);
            continue;
        }
        const uint8_t mode = c->GetDrawMode() == 6 ? image->GetFormat() : c->GetDrawMode();
        GBlitRule rule;
        int shift;
        if (!ReferenceRule(*c, mode, rule, shift))
            continue;
        const GRect r = c->IsSubPixel() ? GClipContainer::AnchorRectSubPixel(*c, image->GetWidth(), image->GetHeight())
                                        : GClipContainer::AnchorRect(*c, image->GetWidth(), image->GetHeight());
        GBlitArgs args{c->GetAlpha(), reinterpret_cast<const uint8_t*>(c->GetPalette()),
                       int16_t(c->GetX() & 255), int16_t(c->GetY() & 255)};
        reference::Blit(rule, c->GetOrientation(), &dst, image, r.left + shift, r.top + shift, args, &r);
    }
}

struct Scene {
    ImageTable table;
    std::vector<std::unique_ptr<GClip>> owned;
    std::vector<GClip*> clips;
    std::vector<uint32_t> palette = std::vector<uint32_t>(256);
};

// The formats a mode may be given (6: any); images of other layouts are the fuzzer's business.
const std::map<int, std::vector<int>> kFormatsOfMode = {
    {0, {0, 1, 7, 8}}, {1, {1}}, {2, {2, 3}}, {3, {2, 3}}, {4, {4}}, {6, {0, 1, 2, 3, 4, 7, 8, 10, 12, 14, 16, 17, 18, 19, 20, 21}},
    {7, {0, 2}}, {8, {1, 8}}, {10, {10, 12}}, {12, {12}}, {13, {2, 14}}, {14, {3, 14}}, {16, {16, 18}},
    {17, {17}}, {18, {18}}, {19, {19}}, {20, {20, 21}}, {21, {21}}, {22, {0}}};

void MovePlaced(GClip& c, std::mt19937& rng) {
    c.SetPosition(int32_t(rng() % (kW + 40)) * 256 - 20 * 256 + int32_t(rng() % 3 ? 0 : rng() % 256),
                  int32_t(rng() % (kH + 40)) * 256 - 20 * 256 + int32_t(rng() % 3 ? 0 : rng() % 256));
    // Owner-placed anchors and self-drawn clips follow their position themselves.
    c.GetRect().left = int16_t(c.GetX() >> 8);
    c.GetRect().top = int16_t(c.GetY() >> 8);
    if (c.GetDrawMode() == 15)
        c.GetRect().SetSize(9, 7);
}

void Build(Scene& s, int count, std::mt19937& rng) {
    s.table.Add(kW, kH, 0, rng); // slot 0: the full-screen background
    for (int f : {0, 1, 2, 3, 4, 7, 8, 10, 12, 14, 16, 17, 18, 19, 20, 21})
        for (int i = 0; i < 3; ++i)
            s.table.Add(3 + int(rng() % 18), 3 + int(rng() % 18), uint8_t(f), rng);
    for (uint32_t& e : s.palette)
        e = rng();
    auto add = [&](std::unique_ptr<GClip> c) { s.clips.push_back(c.get()), s.owned.push_back(std::move(c)); };
    auto background = std::make_unique<GClip>();
    background->SetVisible(true);
    add(std::move(background));
    std::vector<int> modes;
    for (const auto& [mode, formats] : kFormatsOfMode)
        modes.push_back(mode);
    for (int i = 0; i < count; ++i) {
        const bool self = rng() % 20 == 0;
        std::unique_ptr<GClip> c = self ? std::make_unique<SelfDrawn>() : std::make_unique<GClip>();
        const int mode = self ? 15 : modes[rng() % modes.size()];
        c->SetDrawMode(uint8_t(mode));
        c->SetSubPixel(rng() % 4 == 0);
        c->SetOrientation(uint8_t(rng() % 4));
        c->SetAnchorMode(uint8_t(rng() % 9));
        c->SetAlpha(uint8_t(rng()));
        c->SetPalette(s.palette.data());
        c->SetVisible(rng() % 5 != 0);
        if (!self) {
            const auto& formats = kFormatsOfMode.at(mode);
            const auto& slots = s.table.byFormat[formats[rng() % formats.size()]];
            c->SetSlot(rng() % 50 == 0 ? -1 - int(rng() % 3) : rng() % 50 == 0 ? 999 : slots[rng() % slots.size()]);
        }
        MovePlaced(*c, rng);
        add(std::move(c));
    }
}

void Evolve(Scene& s, std::mt19937& rng) {
    for (size_t i = 1; i < s.clips.size(); ++i) {
        GClip& c = *s.clips[i];
        switch (rng() % 10) {
        case 0: MovePlaced(c, rng); break;
        case 1: c.SetVisible(!c.IsVisible()); break;
        case 2: c.SetAlpha(uint8_t(rng())); break;
        case 3:
            if (c.GetDrawMode() != 15 && c.GetSlot() > 0 && c.GetSlot() < s.table.GetSlotCount()) {
                const auto& same = s.table.byFormat[s.table.images[c.GetSlot()]->GetFormat()];
                c.SetFrame(same[rng() % same.size()] * 256 + int(rng() % 256));
            }
            break;
        default: break;
        }
    }
}

TEST(ClipRender, FlushEqualsRenderFromScratchAndReportsEveryChangedPixel) {
    struct Case { int clips, dirtyCapacity, frames; };
    for (const Case& k : {Case{1, 10000, 50}, Case{60, 10000, 50}, Case{400, 10000, 50}, Case{2000, 10000, 50},
                          Case{300, 5, 50}}) {
        SCOPED_TRACE(testing::Message() << k.clips << " clips, dirty list of " << k.dirtyCapacity);
        std::mt19937 rng(uint32_t(k.clips * 31 + k.dirtyCapacity));
        Scene s;
        Build(s, k.clips, rng);
        auto clipArray = GClipArray::Create(int16_t(s.clips.size()));
        auto dirty = GRectArray::Create(int16_t(k.dirtyCapacity));
        std::unique_ptr<GDibSurface> screen(GDibSurface::Create(kW, kH, 24));
        auto container = GClipContainer::Create(screen.get(), &s.table, clipArray.get(), dirty.get());
        for (GClip* c : s.clips)
            container->AddClip(c);
        auto scratch = reference::MakeDestination(kW, kH, rng);
        for (int frame = 0; frame < k.frames; ++frame) {
            const std::vector<uint8_t> before(screen->GetDibPixels(), screen->GetDibPixels() + kW * kH * 3);
            GRect io{0, 0, kW - 1, kH - 1};
            const int result = container->RedrawDirty(io, 0, 0);
            EXPECT_EQ(screen->GetPixels(), nullptr); // unlocked again
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x) {
                    const bool changed = std::memcmp(&before[(y * kW + x) * 3], screen->GetDibPixels() + y * kW * 3 + x * 3, 3);
                    ASSERT_TRUE(!changed || (result == 1 && x >= io.left && x <= io.right && y >= io.top && y <= io.bottom))
                        << "frame " << frame << " pixel " << x << "," << y;
                }
            RenderFromScratch(*scratch, s.table, s.clips);
            ASSERT_EQ(0, std::memcmp(scratch->GetPixels(), screen->GetDibPixels(), kW * kH * 3)) << "frame " << frame;
            Evolve(s, rng);
        }
    }
}

} // namespace
