// The flush against a from-scratch render: random scenes of every draw mode, orientation,
// anchor, sub-pixel flag and alpha evolve over 50 frames; after each frame the back buffer
// must equal every visible clip drawn whole, in order, by the reference kernels, and the
// returned rectangle must cover every pixel that changed.

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <iterator>
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
        std::unique_ptr<GPixelBlock> ownMask = format == 10 || format == 12
                                ? GPixelBlock::Create(uint32_t(w * (h + 1) + 1), nullptr) : nullptr;
        const GPixelBlock* mask = ownMask.get();
        std::unique_ptr<GBitmap> image =
            GBitmap::CreateOnNewBlocks(int16_t(w), int16_t(h), 0, format, nullptr, std::move(ownMask));
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
        GRect r{0, 0, -1, -1};
        IntersectRects(r, GetRect(), area);
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
        if (c->IsVisible() && c->GetDrawMode() == 15)
            c->Draw(&dst, all);
        if (!c->IsVisible() || !image)
            continue;
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
    for (int i = 0; i < count; ++i) {
        const bool self = rng() % 20 == 0;
        std::unique_ptr<GClip> c = self ? std::make_unique<SelfDrawn>() : std::make_unique<GClip>();
        const int mode = self ? 15 : std::next(kFormatsOfMode.begin(), long(rng() % kFormatsOfMode.size()))->first;
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

// The smallest owner of a container, as a dialog uses it.
struct Owner {
    GClipContainer& container;
    std::vector<GRect> presented;
    // Flag 0: presents what changed; else the client bounds when nothing changed.
    void Present(uint8_t flag) {
        GRect io;
        container.GetClientBounds(io);
        if (container.RedrawDirty(io, 0, 0) || flag)
            presented.push_back(io);
    }
    // Every clip redrawn as if just placed, and what that covered presented.
    void Repaint() {
        for (int i = 0; i < container.GetClips()->GetCount(); ++i)
            container.GetClips()->GetAt(i)->MarkMoved();
        GRect io{};
        container.RedrawDirty(io, 0, 0);
        presented.push_back(io);
    }
};

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
        // A dialog's repaint restores a scribbled screen; its present reports nothing new after.
        Owner owner{*container, {}};
        owner.Repaint();
        std::memset(screen->Lock(), 0x77, kW * kH * 3);
        screen->Unlock();
        owner.Repaint();
        RenderFromScratch(*scratch, s.table, s.clips);
        EXPECT_EQ(0, std::memcmp(scratch->GetPixels(), screen->GetDibPixels(), kW * kH * 3));
        GRect covered;
        EXPECT_TRUE(IntersectRects(covered, owner.presented.back(), GRect{0, 0, kW - 1, kH - 1}) &&
                    covered == (GRect{0, 0, kW - 1, kH - 1}));
        owner.Present(0), owner.Present(1);
        EXPECT_EQ(owner.presented.size(), 3u);
    }
}

// One clip on a small screen, drawn by the dispatch with a chosen dirty state and list.
struct Rig {
    explicit Rig(int w = 40, int h = 40) : screen(GDibSurface::Create(int16_t(w), int16_t(h), 24)) {
        std::mt19937 rng(3);
        for (int f : {2, 7, 10, 12, 13})
            table.Add(4, 4, uint8_t(f), rng);
        for (auto& image : table.images)
            if (image->GetAlpha())
                std::memset(image->GetAlpha(), 100, image->GetAlphaBlock()->GetSize());
        container = GClipContainer::Create(screen.get(), &table, clips.get(), dirty.get());
        clip.SetVisible(true), clip.SetAlpha(200), clip.SetPalette(palette.data());
        container->AddClip(&clip);
    }
    // Pixels changed by one dispatch of the clip placed at (x, y) in 24.8.
    int Draw(int mode, int slot, bool subPixel, int32_t x, int32_t y, uint8_t state, std::vector<GRect> rects = {}) {
        clip.SetDrawMode(uint8_t(mode)), clip.SetSlot(slot), clip.SetSubPixel(subPixel), clip.SetPosition(x, y);
        const GBitmap* image = table.FindSlot(slot);
        clip.SetRect(subPixel ? GClipContainer::AnchorRectSubPixel(clip, image->GetWidth(), image->GetHeight())
                              : GClipContainer::AnchorRect(clip, image->GetWidth(), image->GetHeight()));
        clip.SetDirtyState(state);
        dirty->Clear();
        for (const GRect& r : rects)
            dirty->Add(r);
        const std::vector<uint8_t> before = Pixels();
        screen->Lock();
        noMirror ? (subPixel ? container->DrawClipSubPixelNoMirror(clip) : container->DrawClipNoMirror(clip))
                 : (subPixel ? container->DrawClipSubPixel(clip) : container->DrawClip(clip));
        screen->Unlock();
        const std::vector<uint8_t> after = Pixels();
        int changed = 0;
        for (size_t i = 0; i < after.size(); i += 3)
            changed += std::memcmp(&before[i], &after[i], 3) != 0;
        return changed;
    }
    std::vector<uint8_t> Pixels() const {
        return {screen->GetDibPixels(), screen->GetDibPixels() + screen->GetPitch() * screen->GetHeight()};
    }
    ImageTable table;
    std::vector<uint32_t> palette = std::vector<uint32_t>(256, 0x00FFFFFF);
    std::unique_ptr<GDibSurface> screen;
    std::unique_ptr<GClipArray> clips = GClipArray::Create(8);
    std::unique_ptr<GRectArray> dirty = GRectArray::Create(8);
    std::unique_ptr<GClipContainer> container;
    GClip clip;
    bool noMirror = false;
};

TEST(ClipRender, DispatchEdgeCasesAndSelfDrawnClips) {
    // Slots: 0 mask (format 2), 1 plain (7), 2 palette faded (10), 3 palette (12), 4 format 13.
    const GRect a{0, 0, 1, 1}, b{3, 2, 9, 9}, away{20, 20, 30, 30};
    struct Case { const char* what; int mode, slot; bool sub; int32_t x, y; uint8_t state; std::vector<GRect> rects; int changed; };
    const Case cases[] = {
        {"state 0 crossing no dirty rectangle", 7, 1, false, 0, 0, 0, {away}, 0},
        {"state 0 crossing two, once inside each", 7, 1, false, 0, 0, 0, {a, b}, 4 + 2},
        {"state 1 draws nothing", 7, 1, false, 0, 0, 1, {a}, 0},
        {"state 3 draws whole", 7, 1, false, 0, 0, 3, {}, 16},
        {"sub-pixel mode 7, whole pixel", 7, 1, true, 256, 256, 3, {}, 0},
        {"sub-pixel mode 7, fraction", 7, 1, true, 300, 256, 3, {}, 0},
        {"sub-pixel mode 10, whole pixel: its own kernel, inside the rect", 10, 2, true, 256, 256, 3, {}, 4},
        {"sub-pixel mode 10, fraction", 10, 2, true, 300, 256, 3, {}, 0},
        {"sub-pixel mode 13, fraction, alpha 0 passed", 13, 0, true, 300, 300, 3, {}, 0},
        {"sub-pixel mode 13, whole pixel, alpha not passed", 13, 0, true, 256, 256, 3, {}, 4},
        {"line mode in the plain dispatch", 11, 1, false, 0, 0, 3, {}, 0},
        {"mode 4", 4, 1, false, 0, 0, 3, {}, 0},
        {"mode 6 on a format 13 image without its mask", 6, 4, false, 0, 0, 3, {}, 0},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.clip.SetAlpha(c.mode == 13 ? 0 : 200);
        EXPECT_EQ(rig.Draw(c.mode, c.slot, c.sub, c.x, c.y, c.state, c.rects), c.changed) << c.what;
    }
    Rig wild; // an indexed image whose header points past its own block
    std::mt19937 rng(1);
    const int slot = wild.table.Add(4, 4, 16, rng);
    const uint16_t past = 60000;
    std::memcpy(wild.table.images[slot]->GetPixels(), &past, 2);
    EXPECT_EQ(wild.Draw(16, slot, false, 0, 0, 3), 0);
    Rig six, twelve;
    six.Draw(6, 3, false, 512, 256, 3), twelve.Draw(12, 3, false, 512, 256, 3);
    EXPECT_EQ(six.Pixels(), twelve.Pixels()) << "mode 6 on a format 12 image is mode 12";
    Rig empty;
    for (int32_t frame : {-256, 99 * 256}) {
        empty.clip.SetFrame(frame), empty.clip.SetDirtyState(3);
        empty.container->DrawClip(empty.clip); // an empty slot or negative frame: nothing, no fault
    }
    Rig line;
    line.clip.SetLineColour(0xFFFFFF);
    for (uint8_t anchor : {1, 0}) { // 1 names no corner: nothing
        line.clip.SetDrawMode(11), line.clip.SetAnchorMode(anchor), line.clip.SetRect({2, 3, 2, 9}), line.clip.SetDirtyState(3);
        line.screen->Lock();
        line.container->DrawLineClip(line.clip);
        line.screen->Unlock();
        EXPECT_EQ(line.screen->GetDibPixels()[9 * line.screen->GetPitch() + 6] != 0, anchor == 0);
    }
    // A self-drawn clip is handed the target, or only the dirty part.
    Rig rig;
    SelfDrawn self;
    self.SetDrawMode(15), self.SetVisible(true), self.SetRect({2, 2, 8, 8});
    rig.container->AddClip(&self);
    rig.dirty->Clear(), rig.dirty->Add({5, 0, 12, 3});
    rig.screen->Lock();
    for (uint8_t state : {3, 0}) {
        self.SetDirtyState(state);
        rig.container->DrawClip(self);
    }
    rig.screen->Unlock();
    EXPECT_EQ(self.seen, (std::vector<GRect>{{0, 0, 39, 39}, {5, 2, 8, 3}}));
}

TEST(ClipRender, FlushEdgeCases) {
    Rig rig;
    GClip first, second;
    for (GClip* c : {&first, &second}) {
        c->SetVisible(true), c->SetSlot(1), c->SetDrawMode(0);
        rig.container->AddClip(c);
    }
    rig.clip.SetSlot(1), rig.clip.SetPosition(20 * 256, 5 * 256);
    second.SetPosition(5 * 256, 30 * 256);
    // Three separate dirty areas (the first clip's 4x4 and two more) give their union; then
    // nothing changed: 0, io untouched.
    for (auto [result, union_] : {std::pair{1, GRect{0, 0, 23, 33}}, {0, GRect{1, 2, 3, 4}}}) {
        GRect io{1, 2, 3, 4};
        EXPECT_EQ((std::pair{rig.container->RedrawDirty(io, 0, 0), io}), (std::pair{result, union_}));
    }
    GRect io;
    // The io flag redraws io even so; background mode 2 does not fill, mode 1 does.
    rig.container->SetBackgroundColour(0x123456);
    for (uint8_t mode : {2, 1}) {
        rig.container->SetBackgroundMode(mode);
        io = {30, 30, 35, 36};
        EXPECT_EQ((std::pair{rig.container->RedrawDirty(io, 1, 0), io}), (std::pair{1, GRect{30, 30, 35, 36}}));
        EXPECT_EQ(rig.screen->GetDibPixels()[32 * rig.screen->GetPitch() + 3 * 32] == 0x56, mode == 1);
    }
    // A hidden clip is not drawn; what lay under it is repainted by the clips before it.
    second.SetPosition(0, 256);
    rig.container->RedrawDirty(io, 0, 0);
    const std::vector<uint8_t> covered = rig.Pixels();
    second.SetVisible(false);
    rig.container->RedrawDirty(io, 0, 0);
    EXPECT_EQ((std::pair{second.WasVisible(), io}), (std::pair{false, GRect{0, 1, 3, 4}}));
    EXPECT_NE(rig.Pixels(), covered);
    // Start indices beyond the list or before it: only a flagged io is reported.
    for (int16_t start : {int16_t(3), int16_t(999), int16_t(-5)}) {
        io = {0, 0, 1, 1};
        EXPECT_EQ((std::pair{rig.container->RedrawDirty(io, 1, start), rig.container->RedrawDirtyNoMirror(io, 0, start)}),
                  (std::pair{1, 0}));
    }
}

TEST(ClipRender, PlacedRedrawsTheirChoicesAndTheTwinsWithoutOrientation) {
    Rig rig;
    rig.container->SetBackgroundMode(1), rig.container->SetBackgroundColour(0x0000FF);
    // Owner-placed anchors draw where their owner put the rect.
    rig.clip.SetSlot(1), rig.clip.SetDrawMode(0), rig.clip.SetAnchorMode(5), rig.clip.SetRect({7, 9, 0, 0});
    rig.container->RedrawAll(0);
    const auto at = [&](int x, int y) { return rig.screen->GetDibPixels()[y * rig.screen->GetPitch() + 3 * x]; };
    EXPECT_TRUE(at(7, 9) != 0xFF && at(6, 9) == 0xFF);
    // A region wholly off the screen changes nothing, for the screen and for any image.
    const std::vector<uint8_t> before = rig.Pixels();
    const GRect off{100, 100, 120, 120};
    rig.container->RedrawRegion(0, &off);
    rig.container->RedrawAll(0, &off);
    EXPECT_EQ(rig.Pixels(), before);
    std::mt19937 rng(5);
    auto image = reference::MakeDestination(8, 8, rng);
    const auto untouched = reference::Snapshot(*image);
    rig.container->DrawToBitmap(image.get(), 0, &off, 0, 0);
    EXPECT_EQ(reference::Snapshot(*image), untouched);
    // On the image, moved by (dx, dy): the clip's 4x4 at (7 - 5, 9 - 8), the rest background.
    rig.container->DrawToBitmap(image.get(), 0, nullptr, -5, -8);
    EXPECT_TRUE(reference::PixelAt(*image, 1, 1)[0] == 0xFF &&
                !std::memcmp(reference::PixelAt(*image, 2, 1), reference::PixelAt(*rig.table.images[1], 0, 0), 3));
    EXPECT_EQ(rig.clip.GetRect(), (GRect{7, 9, 0, 0})); // not changed by DrawToBitmap
    // A region partly on screen: filled, then the clips drawn inside it only.
    const GRect part{8, 10, 60, 60};
    rig.container->RedrawRegion(0, &part);
    EXPECT_EQ(at(7, 9), before[9 * rig.screen->GetPitch() + 21]);
    EXPECT_EQ(rig.clip.GetRect(), (GRect{7, 9, 10, 12}));

    // The twins without orientation.
    Rig plain, twin;
    twin.noMirror = true;
    twin.clip.SetOrientation(1); // drawn as 0
    plain.Draw(7, 1, false, 256, 256, 3);
    twin.Draw(7, 1, false, 256, 256, 3);
    EXPECT_EQ(plain.Pixels(), twin.Pixels());
    const GRect all{0, 0, 39, 39};
    EXPECT_EQ(twin.Draw(3, 0, true, 300, 300, 3), 9); // fraction: the plain mask-alpha kernel
    EXPECT_EQ(twin.Draw(10, 2, true, 256, 256, 0, {all}), 0); // mode 10 only when drawn whole
    EXPECT_EQ(twin.Draw(10, 2, true, 256, 256, 3), 4);
    EXPECT_EQ(twin.Draw(12, 3, true, 300, 256, 3), 0);
    // Line clips go by their owner's rect; other clips by placement; mode 15 draws nothing.
    SelfDrawn self;
    self.SetDrawMode(15), self.SetVisible(true), self.SetRect({0, 0, 5, 5});
    twin.clip.SetDrawMode(11), twin.clip.SetLineColour(0xFFFFFF), twin.clip.SetRect({10, 20, 30, 20});
    twin.container->AddClip(&self);
    GRect io{};
    EXPECT_EQ(twin.container->RedrawDirtyNoMirror(io, 0, 0), 1);
    EXPECT_TRUE(io == (GRect{0, 0, 30, 20}) && self.seen.empty());
    EXPECT_EQ(twin.Pixels()[20 * twin.screen->GetPitch() + 3 * 30], 0xFF);
}

} // namespace

namespace {

// A line clip's rectangle holds its end points in any order: the reported area covers both end
// points (so every pixel between them) when the line first shows, when it moves and when it hides.
TEST(ClipRender, LineClipsReportTheirBoundingBoxWhicheverWayTheCornersAreWritten) {
    const GRect kCorners[] = {{3, 5, 30, 20}, {30, 5, 3, 20}, {3, 20, 30, 5}, {30, 20, 3, 5}, {12, 9, 0, 9}};
    const auto covers = [](const GRect& io, int16_t x, int16_t y) {
        return x >= io.left && x <= io.right && y >= io.top && y <= io.bottom;
    };
    for (const GRect& corners : kCorners) {
        SCOPED_TRACE(testing::Message() << corners.left << "," << corners.top << " " << corners.right << ","
                                        << corners.bottom);
        Rig rig;
        rig.clip.SetDrawMode(11), rig.clip.SetLineColour(0xFFFFFF);
        GRect moved = corners;
        moved.Offset(4, 3);
        struct Frame { GRect rect; bool visible; std::vector<GRect> lines; };
        for (const Frame& f : {Frame{corners, true, {corners}}, Frame{moved, true, {corners, moved}},
                               Frame{moved, false, {moved}}}) {
            rig.clip.SetRect(f.rect), rig.clip.SetVisible(f.visible);
            GRect io{};
            EXPECT_EQ(rig.container->RedrawDirtyNoMirror(io, 0, 0), 1);
            for (const GRect& line : f.lines)
                EXPECT_TRUE(covers(io, line.left, line.top) && covers(io, line.right, line.bottom))
                    << "io " << io.left << "," << io.top << " " << io.right << "," << io.bottom;
        }
    }
}

} // namespace

namespace {

// A line clip drawn by itself: the same pixels under each corner anchor; shown whole it draws
// its span, left alone (state 0) only the parts inside the dirty rectangles, hidden nothing.
TEST(ClipRender, LineClipsDrawTheirSpanOrOnlyItsDirtyParts)
{
    struct Case {
        const char* what;
        uint8_t state;
        std::vector<GRect> dirty;
        int from, to;
    };
    const Case cases[] = {
        {"shown", 3, {}, 4, 30},
        {"unchanged, two dirty rectangles", 0, {{0, 0, 9, 39}, {20, 6, 25, 8}}, 4, 9},
        {"unchanged, no dirty rectangle on it", 0, {{0, 0, 39, 5}}, -1, -1},
        {"hidden", 1, {{0, 0, 39, 39}}, -1, -1},
    };
    for (const Case& c : cases)
        for (uint8_t anchor : {0, 2, 3, 4}) {
            SCOPED_TRACE(testing::Message() << c.what << ", anchor " << int(anchor));
            Rig rig;
            rig.clip.SetDrawMode(11), rig.clip.SetLineColour(0xFFFFFF),
                rig.clip.SetAnchorMode(anchor);
            rig.clip.SetRect({4, 7, 30, 7}), rig.clip.SetDirtyState(c.state);
            for (const GRect& r : c.dirty)
                rig.dirty->Add(r);
            rig.screen->Lock();
            rig.container->DrawLineClip(rig.clip);
            rig.screen->Unlock();
            std::vector<int> lit;
            const std::vector<uint8_t> px = rig.Pixels();
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 40; ++x)
                    if (px[y * rig.screen->GetPitch() + 3 * x] != 0)
                        lit.push_back(y == 7 ? x : -1000 - x);
            std::vector<int> expected;
            for (int x = c.from; c.from >= 0 && x <= c.to; ++x)
                expected.push_back(x);
            if (c.dirty.size() == 2 && c.state == 0)
                for (int x = 20; x <= 25; ++x)
                    expected.push_back(x);
            EXPECT_EQ(lit, expected);
        }
}

} // namespace
