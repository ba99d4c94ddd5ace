// Random geometry for the blitter kernels and the fills: sizes, positions, clip rectangles
// (including inverted and 16-bit-extreme ones), rule, orientation, alpha, fractions and key,
// on buffers allocated to exactly the bytes each rule may touch. Checks, besides the
// sanitizers: the scalar and the SIMD paths give the same bytes, and nothing outside the
// expected drawing area changes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/fuzz_reader.h"
#include "foundation/image/bitmap.h"
#include "graphics/blit/fills.h"
#include "graphics/blit/blit_runs.h"
#include "graphics/blit/kernels.h"
#include "foundation/core/rect.h"

namespace {

using Reader = FuzzReader;

[[noreturn]] void Fail() { __builtin_trap(); }

std::unique_ptr<GBitmap> MakeSource(GBlitRule rule, int sw, int sh, int shortBy, bool& cut, Reader& in)
{
    // The bytes a rule may read: the image, plus for the sub-pixel rules the spare row and
    // pixel. `shortBy` removes some, which must make the kernel draw nothing.
    const uint32_t elements = uint32_t(sw) * sh + (BlitRuleIsSubPixel(rule) ? sw + 1 : 0);
    uint32_t pixelBytes = 0;
    uint8_t format = 0;
    if (BlitRuleIsIndexed(rule)) {
        pixelBytes = 770 + elements;
        format = 20;
    } else if (BlitRuleUsesTable(rule)) {
        pixelBytes = elements;
        format = 12;
    } else if (BlitRuleReadsColours(rule)) {
        pixelBytes = elements * 3;
        format = 2;
    } else {
        format = 14;
    }
    uint32_t maskBytes = BlitRuleReadsMask(rule) ? elements : 0;
    cut = false;
    if (shortBy > 0) {
        uint32_t& bytes = maskBytes ? maskBytes : pixelBytes;
        if (bytes > uint32_t(shortBy)) {
            bytes -= uint32_t(shortBy);
            cut = true;
        }
    }
    std::unique_ptr<GPixelBlock> pixelBlock =
        pixelBytes ? GPixelBlock::Create(pixelBytes, nullptr) : nullptr;
    std::unique_ptr<GPixelBlock> alphaBlock =
        maskBytes ? GPixelBlock::Create(maskBytes, nullptr) : nullptr;
    GPixelBlock* pixels = pixelBlock.get();
    GPixelBlock* alpha = alphaBlock.get();
    std::unique_ptr<GBitmap> image = GBitmap::CreateOnNewBlocks(
        int16_t(sw), int16_t(sh), 0, format, std::move(pixelBlock), std::move(alphaBlock));
    if (!image)
        return image;
    if (pixels) {
        in.Fill(pixels->GetData(), pixelBytes);
        if (BlitRuleIsIndexed(rule) && pixelBytes >= 2) {
            const uint16_t offset = 770;
            std::memcpy(pixels->GetData(), &offset, 2);
        }
    }
    if (alpha)
        in.Fill(alpha->GetData(), maskBytes);
    return image;
}

std::unique_ptr<GBitmap> MakeDestination(int w, int h)
{
    const uint32_t bytes = uint32_t(w) * h * 3;
    std::unique_ptr<GBitmap> image = GBitmap::CreateOnNewBlocks(
        int16_t(w), int16_t(h), 0, 0, GPixelBlock::Create(bytes ? bytes : 1, nullptr), nullptr);
    GPixelBlock* block = image->GetPixelBlock();
    for (uint32_t i = 0; i < block->GetSize(); ++i)
        block->GetData()[i] = uint8_t(i * 7 + 3);
    return image;
}

// True when (px, py) may change: inside the destination, the placement (less the sub-pixel
// inset) and the clip rectangle.
bool MayChange(int px, int py, int x, int y, int sw, int sh, int inset, const GRect* clip)
{
    if (px < x || py < y || px > x + sw - 1 - inset || py > y + sh - 1 - inset)
        return false;
    if (clip && (px < clip->left || px > clip->right || py < clip->top || py > clip->bottom))
        return false;
    return true;
}

void FuzzBlit(Reader& in)
{
    const GBlitRule rule = GBlitRule(in.U8() % kBlitRuleCount);
    const uint8_t orientation = in.U8() % 5; // 4: outside the table
    const int sw = in.U8() % 70, sh = in.U8() % 40;
    const int dw = 1 + in.U8() % 90, dh = 1 + in.U8() % 40;
    const int x = in.I16() % 200, y = in.I16() % 120;
    const uint8_t flags = in.U8();
    GRect clip{in.I16(), in.I16(), in.I16(), in.I16()};
    if (flags & 2) { // near the placement rather than anywhere in 16 bits
        clip.left = int16_t(x + clip.left % 80);
        clip.top = int16_t(y + clip.top % 50);
        clip.right = int16_t(clip.left + clip.right % 80);
        clip.bottom = int16_t(clip.top + clip.bottom % 50);
    }
    const GRect* clipPtr = (flags & 1) ? &clip : nullptr;
    const int shortBy = (flags & 0x1C) == 0x1C ? 1 + (flags >> 5) : 0;
    GBlitArgs args;
    args.alpha = in.U8();
    args.fx = in.I16();
    args.fy = in.I16();
    const uint32_t key = in.U32();
    std::vector<uint8_t> table(1024);
    in.Fill(table.data(), table.size());
    args.table = (flags & 0x20) && BlitRuleUsesTable(rule) ? nullptr : table.data();

    bool cut = false;
    auto src = MakeSource(rule, sw, sh, shortBy, cut, in);
    src->SetKeyColour(key);
    const GBlitKernel kernel = GetBlitKernel(rule, orientation);
    if (!kernel) {
        if (orientation < 4)
            Fail();
        return;
    }

    auto scalar = MakeDestination(dw, dh);
    auto simd = MakeDestination(dw, dh);
    const std::vector<uint8_t> before(scalar->GetPixels(), scalar->GetPixels() + size_t(dw) * dh * 3);

    const GKernelIsa saved = GetKernelIsa();
    SetKernelIsa(GKernelIsa::Scalar);
    kernel(scalar.get(), src.get(), int16_t(x), int16_t(y), args, clipPtr);
    SetKernelIsa(GKernelIsa::Avx2);
    kernel(simd.get(), src.get(), int16_t(x), int16_t(y), args, clipPtr);
    SetKernelIsa(saved);

    // The same draw walking the run table the store prepares for keyed and masked formats.
    auto walked = MakeDestination(dw, dh);
    const uint8_t format = src->GetFormat();
    if (rule == GBlitRule::Key || rule == GBlitRule::KeyAlpha)
        src->SetFormat(1);
    else if (rule == GBlitRule::IndexedKey || rule == GBlitRule::IndexedKeyAlpha)
        src->SetFormat(18);
    PrepareBlitRuns(*src);
    src->SetFormat(format);
    kernel(walked.get(), src.get(), int16_t(x), int16_t(y), args, clipPtr);
    src->SetRuns(nullptr);

    const size_t bytes = size_t(dw) * dh * 3;
    if (std::memcmp(scalar->GetPixels(), simd->GetPixels(), bytes) != 0 ||
        std::memcmp(scalar->GetPixels(), walked->GetPixels(), bytes) != 0)
        Fail();
    const int inset = BlitRuleIsSubPixel(rule) && !clipPtr ? 1 : 0; // a rectangle may reach further
    const bool nothing = cut || !args.table;
    unsigned sum = 0;
    for (int py = 0; py < dh; ++py)
        for (int px = 0; px < dw; ++px) {
            const size_t at = (size_t(py) * dw + px) * 3;
            sum += scalar->GetPixels()[at];
            const bool may = !nothing && MayChange(px, py, x, y, sw, sh, inset, clipPtr);
            if (!may && std::memcmp(scalar->GetPixels() + at, before.data() + at, 3) != 0)
                Fail();
        }
    // Every output byte is read, so an uninitialised one would be noticed by a checker.
    volatile unsigned sink = sum;
    (void)sink;
}

void FuzzFills(Reader& in)
{
    const int w = 1 + in.U8() % 60, h = 1 + in.U8() % 40;
    auto surface = MakeDestination(w, h);
    const std::vector<uint8_t> before(surface->GetPixels(), surface->GetPixels() + size_t(w) * h * 3);
    const uint32_t colour = in.U32();
    const int16_t x1 = in.I16(), y1 = in.I16(), x2 = in.I16(), y2 = in.I16();
    const GRect r{in.I16(), in.I16(), in.I16(), in.I16()};
    const uint8_t op = in.U8() % 3;
    if (op == 0)
        FillRect(surface.get(), colour, r);
    else if (op == 1)
        DrawLine(surface.get(), x1, y1, x2, y2, colour);
    else
        DrawLineClipped(surface.get(), x1, y1, x2, y2, colour, r);
    // Pixels outside the rectangle (fills and clipped lines) or the line's bounding box stay.
    for (int py = 0; py < h; ++py)
        for (int px = 0; px < w; ++px) {
            bool may = true;
            if (op != 1)
                may = px >= r.left && px <= r.right && py >= r.top && py <= r.bottom;
            if (op != 0)
                may = may && (x1 == x2 || y1 == y2) && px >= std::min(x1, x2) && px <= std::max(x1, x2) &&
                      py >= std::min(y1, y2) && py <= std::max(y1, y2);
            const size_t at = (size_t(py) * w + px) * 3;
            if (!may && std::memcmp(surface->GetPixels() + at, before.data() + at, 3) != 0)
                Fail();
        }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Reader in(data, size);
    if (in.U8() & 1)
        FuzzFills(in);
    else
        FuzzBlit(in);
    return 0;
}
