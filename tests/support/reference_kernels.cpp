#include "support/reference_kernels.h"

#include <algorithm>
#include <cstring>

namespace reference {
namespace {

int Floor(int value, int shift) { return value >> shift; } // arithmetic: floors negatives

struct Source {
    const GBitmap* image;
    GBlitRule rule;
    const uint8_t* table; // palette-table rules
    int sw, sh;

    const uint8_t* Block() const { return image->GetPixels(); }

    // The three colour bytes of pixel (sx, sy), addressed linearly (column sw of a row is the
    // first pixel of the next one).
    const uint8_t* Colour(int sx, int sy) const
    {
        const uint8_t* block = Block();
        if (RuleIsIndexed(rule)) {
            uint16_t offset = 0;
            std::memcpy(&offset, block, 2);
            const uint8_t index = block[offset + sy * sw + sx];
            return block + 2 + 3 * index;
        }
        if (RuleIsPaletteTable(rule))
            return table + 4 * block[sy * sw + sx];
        return block + sy * image->GetPitch() + 3 * sx;
    }
    int Mask(int sx, int sy) const { return image->GetAlpha()[sy * sw + sx]; }
    uint32_t Value(int sx, int sy) const
    {
        const uint8_t* p = Colour(sx, sy);
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    }
};

// d + (t - d) * k >> shift for each colour byte, the shift flooring negative steps.
void Toward(uint8_t* d, const uint8_t* t, int k, int shift)
{
    for (int c = 0; c < 3; ++c)
        d[c] = uint8_t(d[c] + Floor((t[c] - d[c]) * k, shift));
}

void SubPixelPixel(GBlitRule rule, int orientation, const Source& src, int sx, int sy, const GBlitArgs& args,
                   uint8_t* d)
{
    const bool mirror = orientation & 1, flip = orientation & 2;
    const int hx = (mirror && rule != GBlitRule::MaskSubPixel) ? -1 : 1;
    const int vy = flip ? -1 : 1;
    const int fx = args.fx & 255, fy = args.fy & 255;
    const int wo = fx * fy, wh = (256 - fx) * fy, wv = fx * (256 - fy), wd = (256 - fx) * (256 - fy);
    // Neighbours by linear index, as the buffers are laid out.
    auto mix = [&](auto at) {
        return (wo * at(sx, sy) + wh * at(sx + hx, sy) + wv * at(sx, sy + vy) + wd * at(sx + hx, sy + vy)) >> 16;
    };
    const int mm = mix([&](int x, int y) { return int(src.image->GetAlpha()[y * src.sw + x]); });
    uint8_t mixed[3];
    for (int c = 0; c < 3 && RuleReadsColours(rule); ++c)
        mixed[c] = uint8_t(mix([&](int x, int y) { return int(src.Block()[y * src.image->GetPitch() + 3 * x + c]); }));
    const uint8_t white[3] = {255, 255, 255};
    switch (rule) {
    case GBlitRule::MaskSubPixel:
        if (mm == 0)
            std::memcpy(d, src.Colour(sx, sy), 3);
        else if (mm != 255)
            for (int c = 0; c < 3; ++c)
                d[c] = uint8_t(mixed[c] + Floor((d[c] - mixed[c]) * mm, 8));
        return;
    case GBlitRule::MaskAlphaSubPixel:
        if (mm != 255)
            Toward(d, mixed, (255 - mm) * args.alpha, 16);
        return;
    case GBlitRule::LightenSubPixel:
        if (mm != 0)
            Toward(d, white, args.alpha * mm, 16);
        return;
    case GBlitRule::DarkenSubPixel:
        for (int c = 0; c < 3 && mm != 255; ++c)
            d[c] = uint8_t(Floor(d[c] * src.Mask(sx, sy), 8));
        return;
    default:
        return;
    }
}

void PlainPixel(GBlitRule rule, const Source& src, int sx, int sy, const GBlitArgs& args, uint8_t* d)
{
    using R = GBlitRule;
    const uint8_t white[3] = {255, 255, 255};
    const bool keyed = (rule == R::Key || rule == R::IndexedKey || rule == R::KeyAlpha || rule == R::IndexedKeyAlpha) &&
                       src.Value(sx, sy) == src.image->GetKeyColour();
    const int m = RuleReadsMask(rule) ? src.Mask(sx, sy) : 0;
    if (keyed || (m == 255 && rule != R::Lighten) || (m == 0 && rule == R::Lighten))
        return;
    switch (rule) {
    case R::Copy:
    case R::Indexed:
    case R::Key:
    case R::IndexedKey:
        std::memcpy(d, src.Colour(sx, sy), 3);
        return;
    case R::KeyAlpha:
    case R::IndexedKeyAlpha:
    case R::Alpha:
    case R::IndexedAlpha:
        Toward(d, src.Colour(sx, sy), args.alpha, 8);
        return;
    case R::Mask:
    case R::IndexedMask:
    case R::PaletteMask:
        for (int c = 0; c < 3; ++c) {
            const int s = src.Colour(sx, sy)[c];
            d[c] = m == 0 ? uint8_t(s) : uint8_t(s + Floor((d[c] - s) * m, 8));
        }
        return;
    case R::MaskAlpha:
    case R::IndexedMaskAlpha:
    case R::PaletteMaskAlpha:
        Toward(d, src.Colour(sx, sy), (255 - m) * args.alpha, 16);
        return;
    case R::Lighten:
        Toward(d, white, m, 8);
        return;
    case R::Darken:
        for (int c = 0; c < 3; ++c)
            d[c] = uint8_t(Floor(d[c] * m, 8));
        return;
    default:
        return;
    }
}

std::unique_ptr<GBitmap> MakeImage(int w, int h, uint8_t format, uint32_t pixelBytes,
                                   uint32_t maskBytes)
{
    return GBitmap::CreateOnNewBlocks(
        int16_t(w), int16_t(h), 0, format,
        pixelBytes ? GPixelBlock::Create(pixelBytes, nullptr) : nullptr,
        maskBytes ? GPixelBlock::Create(maskBytes, nullptr) : nullptr);
}

void Randomise(uint8_t* p, size_t n, std::mt19937& rng)
{
    for (size_t i = 0; i < n; ++i)
        p[i] = uint8_t(rng());
}

} // namespace

bool RuleReadsMask(GBlitRule rule)
{
    using R = GBlitRule;
    return !(rule == R::Copy || rule == R::Key || rule == R::Alpha || rule == R::KeyAlpha || rule == R::Indexed ||
             rule == R::IndexedAlpha || rule == R::IndexedKey || rule == R::IndexedKeyAlpha);
}

bool RuleIsSubPixel(GBlitRule rule) { return rule >= GBlitRule::MaskSubPixel && rule < GBlitRule::Count; }

bool RuleIsIndexed(GBlitRule rule) { return rule >= GBlitRule::Indexed && rule <= GBlitRule::IndexedMaskAlpha; }

bool RuleIsPaletteTable(GBlitRule rule)
{
    return rule == GBlitRule::PaletteMask || rule == GBlitRule::PaletteMaskAlpha;
}

bool RuleReadsColours(GBlitRule rule)
{
    return rule != GBlitRule::Lighten && rule != GBlitRule::Darken &&
           rule != GBlitRule::LightenSubPixel && rule != GBlitRule::DarkenSubPixel;
}

const char* RuleName(GBlitRule rule)
{
    constexpr const char* kNames[] = {
        "Copy",         "Key",          "Mask",           "MaskAlpha",         "Alpha",
        "KeyAlpha",     "Lighten",      "Darken",         "PaletteMask",       "PaletteMaskAlpha",
        "Indexed",      "IndexedAlpha", "IndexedKey",     "IndexedKeyAlpha",   "IndexedMask",
        "IndexedMaskAlpha", "MaskSubPixel", "MaskAlphaSubPixel", "LightenSubPixel", "DarkenSubPixel"};
    return rule < GBlitRule::Count ? kNames[size_t(rule)] : "?";
}

void Blit(GBlitRule rule, int orientation, GBitmap* dst, const GBitmap* src, int x, int y,
          const GBlitArgs& args, const GRect* clip)
{
    if (orientation < 0 || orientation > 3)
        return;
    if (RuleIsPaletteTable(rule) && !args.table)
        return;
    const int W = dst->GetWidth(), H = dst->GetHeight();
    const int SW = src->GetWidth(), SH = src->GetHeight();
    const int inset = RuleIsSubPixel(rule) ? 1 : 0;
    // With a rectangle a sub-pixel rule loses only the source column (row) 0 whose neighbour
    // lies left of (above) it, when its walk looks that way.
    const bool mirror = orientation & 1, flip = orientation & 2;
    const int cutX = inset && (!clip || (mirror && rule != GBlitRule::MaskSubPixel)) ? 1 : 0;
    const int cutY = inset && (!clip || flip) ? 1 : 0;

    // The rectangle (or the placement less the inset), cut to the destination.
    const int left = std::max(clip ? int(clip->left) : x, 0), top = std::max(clip ? int(clip->top) : y, 0);
    const int right = std::min(clip ? int(clip->right) : x + SW - inset - 1, W - 1);
    const int bottom = std::min(clip ? int(clip->bottom) : y + SH - inset - 1, H - 1);
    const Source source{src, rule, args.table, SW, SH};
    for (int dy = top; dy <= bottom; ++dy)
        for (int dx = left; dx <= right; ++dx) {
            // Pixels outside the source placement are not drawn.
            const int px = dx - x, py = dy - y;
            if (px < 0 || py < 0 || px >= SW - cutX || py >= SH - cutY)
                continue;
            const int sx = mirror ? SW - 1 - px : px;
            const int sy = flip ? SH - 1 - py : py;
            uint8_t* d = dst->GetPixels() + dy * dst->GetPitch() + 3 * dx;
            if (inset)
                SubPixelPixel(rule, orientation, source, sx, sy, args, d);
            else
                PlainPixel(rule, source, sx, sy, args, d);
        }
}

std::unique_ptr<GBitmap> MakeSource(GBlitRule rule, int w, int h, std::mt19937& rng, Slack slack)
{
    const bool tight = slack == Slack::Tight;
    const uint32_t area = uint32_t(w) * uint32_t(h);
    // Standard: w * (h + 1) + 1 elements. Tight: the image alone, except that the sub-pixel
    // rules read the spare row and pixel (the neighbours of the last row and column).
    const uint32_t spare = tight && !RuleIsSubPixel(rule) ? 0 : uint32_t(w) + 1;
    const uint32_t elements = area + spare;
    const uint32_t maskBytes = RuleReadsMask(rule) ? elements : 0;
    std::unique_ptr<GBitmap> image;
    if (RuleIsIndexed(rule)) {
        image = MakeImage(w, h, 16, 770 + elements, maskBytes);
        Randomise(image->GetPixels(), 770 + elements, rng);
        const uint16_t offset = 770;
        std::memcpy(image->GetPixels(), &offset, 2);
    } else if (RuleIsPaletteTable(rule)) {
        image = MakeImage(w, h, 12, elements, maskBytes);
        Randomise(image->GetPixels(), elements, rng);
    } else if (RuleReadsColours(rule)) {
        image = MakeImage(w, h, RuleReadsMask(rule) ? 2 : 0, elements * 3, maskBytes);
        Randomise(image->GetPixels(), size_t(elements) * 3, rng);
    } else {
        image = MakeImage(w, h, 14, 0, maskBytes);
    }
    if (maskBytes)
        Randomise(image->GetAlpha(), maskBytes, rng);
    return image;
}

std::unique_ptr<GBitmap> MakeDestination(int w, int h, std::mt19937& rng, Slack slack)
{
    const uint32_t bytes = slack == Slack::Tight ? uint32_t(w) * h * 3 : (uint32_t(w) * (h + 1) + 1) * 3;
    auto image = MakeImage(w, h, 0, bytes ? bytes : 1, 0);
    Randomise(image->GetPixels(), image->GetPixelBlock()->GetSize(), rng);
    return image;
}

std::vector<uint8_t> MakeTable(std::mt19937& rng)
{
    std::vector<uint8_t> table(256 * 4);
    Randomise(table.data(), table.size(), rng);
    return table;
}

std::vector<uint8_t> Snapshot(const GBitmap& image)
{
    const GPixelBlock* block = image.GetPixelBlock();
    return block ? std::vector<uint8_t>(block->GetData(), block->GetData() + block->GetSize()) : std::vector<uint8_t>();
}

const uint8_t* PixelAt(const GBitmap& image, int x, int y) { return image.GetPixels() + y * image.GetPitch() + 3 * x; }

void SetPixel(GBitmap& image, int x, int y, uint8_t b0, uint8_t b1, uint8_t b2)
{
    uint8_t* p = image.GetPixels() + y * image.GetPitch() + 3 * x;
    p[0] = b0, p[1] = b1, p[2] = b2;
}

void KernelIsaTest::SetUp()
{
    m_saved = GetKernelIsa();
    if (SetKernelIsa(GetParam()) != GetParam())
        GTEST_SKIP() << "instruction set not available";
}

void KernelIsaTest::TearDown() { SetKernelIsa(m_saved); }

std::string KernelIsaName(const testing::TestParamInfo<GKernelIsa>& info)
{
    return info.param == GKernelIsa::Scalar ? "Scalar" : "Avx2";
}

} // namespace reference

void PrintTo(GKernelIsa isa, std::ostream* os)
{
    *os << (isa == GKernelIsa::Scalar ? "Scalar" : "Avx2");
}
