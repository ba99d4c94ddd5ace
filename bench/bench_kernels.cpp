// The blitter kernels against pixman and SDL2's software blitter, and against memcpy of the
// same bytes, in one run: every rule and orientation at 16x16, 64x64, 256x256 and 800x600,
// drawn into an 800x600 24-bit surface. Results in megapixels per second, then a table of
// ratios (ours / peer: above 1 means we are faster).
//
// Peers are given the nearest format and operator each offers, and are measured the way their
// users run them at their best: SDL with RLE requested on every source (it encodes keyed
// sprites when the formats match and per-pixel-alpha sprites into 16- and 32-bit targets),
// SIMD on. Beside the 24-bit target that we draw into, a second pair of columns draws the
// peers into a 32-bit target from 32-bit sources, their fast paths; every column is a target. Where
// a peer has no equivalent (SDL has no mirrored, flipped or sub-pixel blits and no separate 8-bit
// mask), the table says so. What each peer draws for each rule is printed under it.
//
// One clock for every side (CPU time of the thread), and every repetition of every
// measurement shuffled among the others, so ours and the peers alternate through the run and
// share its disturbances. A row is judged by the medians of its repetitions, at every size:
// small sprites (16x16, 32x32) are what boards and fonts are drawn from, and there the cost of
// a call counts as much as the pixel loop. Run it pinned to one core:
//
//   taskset -c 7 bench_kernels [--benchmark_filter=...]   e.g.
//   --benchmark_filter='Alpha/.*/800x600'

#include <benchmark/benchmark.h>

#include <SDL.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_stats.h"
#include "foundation/image/bitmap.h"
#include "graphics/blit/blit_runs.h"
#include "graphics/blit/kernels.h"

namespace {

constexpr int kDstW = 800, kDstH = 600;
constexpr uint8_t kAlpha = 160;
constexpr int16_t kFx = 100, kFy = 60;
// Each measurement runs for kMinTime seconds, kRepetitions times, its repetitions shuffled
// among all others; the table takes the median repetition, which one lucky or one disturbed
// repetition does not move, and prints the spread of ours beside it. About 1300 measurements
// in all: several minutes.
constexpr double kMinTime = 0.03;
constexpr int kRepetitions = 9;
// The plain copy and memcpy are measured side by side and more often: both are bound by
// memory, and their ratio is the one the copy is judged by.
constexpr int kCopyRepetitions = 15;

struct Size {
    int w, h;
    const char* name;
};
constexpr Size kSizes[] = {{16, 16, "16x16"},
                           {32, 32, "32x32"},
                           {64, 64, "64x64"},
                           {256, 256, "256x256"},
                           {800, 600, "800x600"}};
constexpr const char* kOrientations[] = {"Normal", "Mirror", "Flip", "FlipMirror"};

// ---------------------------------------------------------------------------------------------
// Images: one set per size, shared by us and the peers (peers wrap our memory where the
// layouts agree and get converted copies where they do not).

struct PixmanDeleter {
    void operator()(pixman_image_t* p) const { pixman_image_unref(p); }
};
using PixmanImage = std::unique_ptr<pixman_image_t, PixmanDeleter>;
struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using Surface = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

struct Scene {
    int w = 0, h = 0;
    uint32_t key = 0;                  // 24-bit key colour of the rgb image
    std::unique_ptr<GBitmap> rgb;      // format 2: 24-bit with mask
    std::unique_ptr<GBitmap> maskOnly; // format 14: the same mask
    std::unique_ptr<GBitmap> indexed;  // format 20: palettised with mask; key = entry 0's colour
    std::unique_ptr<GBitmap> tableSrc; // format 12 layout: bare indices and mask
    std::unique_ptr<GBitmap> keyed;    // format 1 over rgb's pixels
    std::unique_ptr<GBitmap> indexedKeyed; // format 18 over indexed's block
    std::vector<uint8_t> table;            // 256 x 4 bytes

    // Peer copies.
    std::vector<uint32_t> xrgb, argbKeyed, argbMasked, whiteMask, blackMask;
    std::vector<uint8_t> a8, a8Inverted, a8Alpha, a8LightenAlpha;
    std::vector<uint32_t> c8Bits, c8TableBits; // c8 rows padded to 4 bytes (w is a multiple of 4)
    pixman_indexed_t palette{}, paletteKeyed{}, paletteTable{};

    PixmanImage pxRgb, pxXrgb, pxArgbKeyed, pxMask, pxMaskInverted, pxMaskAlpha, pxMaskLightenAlpha;
    PixmanImage pxC8, pxC8Keyed, pxC8Table;
    Surface sdlRgb, sdlXrgb, sdlArgb, sdlWhite, sdlBlack, sdl8;
};

struct Target {
    std::unique_ptr<GBitmap> bitmap;
    PixmanImage px;
    Surface sdl;
    std::vector<uint32_t> wide; // the same picture as 32-bit pixels, for the peers' fast paths
    PixmanImage px32;
    Surface sdl32;
    PixmanImage solidAlpha, white, black;
};

// Soft-edged disc: 0 (opaque) inside, 255 outside, a ramp across the rim; like a sprite's mask.
uint8_t DiscMask(int x, int y, int w, int h)
{
    const double dx = (x + 0.5) / w - 0.5, dy = (y + 0.5) / h - 0.5;
    const double r = std::sqrt(dx * dx + dy * dy) * 2.0; // 1 at the rim
    const double t = (r - 0.8) / 0.2;
    return uint8_t(t <= 0 ? 0 : t >= 1 ? 255 : std::lround(t * 255));
}

std::unique_ptr<Scene> MakeScene(int w, int h, std::mt19937& rng)
{
    auto s = std::make_unique<Scene>();
    s->w = w;
    s->h = h;
    const size_t area = size_t(w) * h, spare = size_t(w) * (h + 1) + 1;
    s->key = 0x00FF00FF;
    s->rgb = GBitmap::Create(int16_t(w), int16_t(h), s->key, 2);
    s->maskOnly = GBitmap::Create(int16_t(w), int16_t(h), 0, 14);
    s->indexed = GBitmap::Create(int16_t(w), int16_t(h), 0, 20);
    s->tableSrc = GBitmap::CreateOnNewBlocks(int16_t(w), int16_t(h), 0, 12,
                                             GPixelBlock::Create(uint32_t(spare), nullptr),
                                             GPixelBlock::Create(uint32_t(spare), nullptr));
    s->table.resize(1024);
    for (auto& b : s->table)
        b = uint8_t(rng());

    uint8_t* px = s->rgb->GetPixels();
    uint8_t* pal = s->indexed->GetPixels() + 2;
    uint8_t* idx = s->indexed->GetPixels() + 770;
    for (int i = 0; i < 768; ++i)
        pal[i] = uint8_t(rng());
    const uint32_t indexedKey = uint32_t(pal[0]) | uint32_t(pal[1]) << 8 | uint32_t(pal[2]) << 16;
    s->indexed->SetKeyColour(indexedKey);
    for (size_t i = 0; i < spare; ++i) {
        const int x = int(i % w), y = int(i / w);
        const uint8_t m = y < h ? DiscMask(x, y, w, h) : 255;
        s->rgb->GetAlpha()[i] = s->maskOnly->GetAlpha()[i] = s->indexed->GetAlpha()[i] = m;
        s->tableSrc->GetAlpha()[i] = m;
        const bool keyed = m == 255; // outside the disc: key colour / index 0
        if (keyed) {
            px[3 * i] = 0xFF;
            px[3 * i + 1] = 0x00;
            px[3 * i + 2] = 0xFF;
        } else {
            for (int c = 0; c < 3; ++c)
                px[3 * i + c] = uint8_t(rng());
            if ((px[3 * i] | px[3 * i + 1] << 8 | px[3 * i + 2] << 16) == int(s->key))
                px[3 * i] ^= 1;
        }
        idx[i] = keyed ? 0 : uint8_t(1 + rng() % 255);
        s->tableSrc->GetPixels()[i] = idx[i];
    }
    // Entry 0 is the only one with the indexed key colour.
    for (int e = 1; e < 256; ++e)
        if ((uint32_t(pal[3 * e]) | uint32_t(pal[3 * e + 1]) << 8 |
             uint32_t(pal[3 * e + 2]) << 16) == indexedKey)
            pal[3 * e] ^= 1;

    // The store's preparation of its images: run tables for the keyed and masked formats.
    s->keyed = GBitmap::Create(int16_t(w), int16_t(h), s->key, 1, s->rgb->GetPixelBlock());
    s->indexedKeyed =
        GBitmap::Create(int16_t(w), int16_t(h), indexedKey, 18, s->indexed->GetPixelBlock());
    for (GBitmap* image :
         {s->rgb.get(), s->maskOnly.get(), s->indexed.get(), s->keyed.get(), s->indexedKeyed.get()})
        PrepareBlitRuns(*image);

    // pixman: masks count coverage (255 = opaque); ours count transparency.
    s->a8.resize(area);
    s->a8Inverted.resize(area);
    s->a8Alpha.resize(area);
    s->a8LightenAlpha.resize(area);
    s->xrgb.resize(area);
    s->argbKeyed.resize(area);
    s->argbMasked.resize(area);
    s->whiteMask.resize(area);
    s->blackMask.resize(area);
    for (size_t i = 0; i < area; ++i) {
        const uint8_t m = s->rgb->GetAlpha()[i];
        const uint32_t colour =
            uint32_t(px[3 * i]) | uint32_t(px[3 * i + 1]) << 8 | uint32_t(px[3 * i + 2]) << 16;
        s->a8[i] = uint8_t(255 - m);
        s->a8Inverted[i] = m;
        s->a8Alpha[i] = uint8_t((255 - m) * kAlpha / 255);
        s->a8LightenAlpha[i] = uint8_t(m * kAlpha / 255);
        s->xrgb[i] = colour | 0xFF000000u;
        s->argbKeyed[i] = colour | (colour == s->key ? 0u : 0xFF000000u);
        s->argbMasked[i] = colour | uint32_t(255 - m) << 24;
        s->whiteMask[i] = 0x00FFFFFFu | uint32_t(m) << 24;
        s->blackMask[i] = uint32_t(255 - m) << 24;
    }
    s->c8Bits.resize(area / 4 + 1);
    std::memcpy(s->c8Bits.data(), idx, area);
    s->c8TableBits.resize(area / 4 + 1);
    std::memcpy(s->c8TableBits.data(), s->tableSrc->GetPixels(), area);
    for (int e = 0; e < 256; ++e) {
        const uint32_t colour =
            uint32_t(pal[3 * e]) | uint32_t(pal[3 * e + 1]) << 8 | uint32_t(pal[3 * e + 2]) << 16;
        s->palette.rgba[e] = colour | 0xFF000000u;
        s->paletteKeyed.rgba[e] = colour | (e == 0 ? 0u : 0xFF000000u);
        s->paletteTable.rgba[e] = (uint32_t(s->table[4 * e]) | uint32_t(s->table[4 * e + 1]) << 8 |
                                   uint32_t(s->table[4 * e + 2]) << 16) |
                                  0xFF000000u;
    }

    auto bits = [](auto& v) { return reinterpret_cast<uint32_t*>(v.data()); };
    s->pxRgb.reset(
        pixman_image_create_bits(PIXMAN_r8g8b8, w, h, reinterpret_cast<uint32_t*>(px), w * 3));
    s->pxXrgb.reset(pixman_image_create_bits(PIXMAN_x8r8g8b8, w, h, s->xrgb.data(), w * 4));
    s->pxArgbKeyed.reset(
        pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, s->argbKeyed.data(), w * 4));
    s->pxMask.reset(pixman_image_create_bits(PIXMAN_a8, w, h, bits(s->a8), w));
    s->pxMaskInverted.reset(pixman_image_create_bits(PIXMAN_a8, w, h, bits(s->a8Inverted), w));
    s->pxMaskAlpha.reset(pixman_image_create_bits(PIXMAN_a8, w, h, bits(s->a8Alpha), w));
    s->pxMaskLightenAlpha.reset(
        pixman_image_create_bits(PIXMAN_a8, w, h, bits(s->a8LightenAlpha), w));
    s->pxC8.reset(pixman_image_create_bits(PIXMAN_c8, w, h, s->c8Bits.data(), w));
    pixman_image_set_indexed(s->pxC8.get(), &s->palette);
    s->pxC8Keyed.reset(pixman_image_create_bits(PIXMAN_c8, w, h, s->c8Bits.data(), w));
    pixman_image_set_indexed(s->pxC8Keyed.get(), &s->paletteKeyed);
    s->pxC8Table.reset(pixman_image_create_bits(PIXMAN_c8, w, h, s->c8TableBits.data(), w));
    pixman_image_set_indexed(s->pxC8Table.get(), &s->paletteTable);

    s->sdlRgb.reset(SDL_CreateRGBSurfaceWithFormatFrom(px, w, h, 24, w * 3, SDL_PIXELFORMAT_BGR24));
    s->sdlXrgb.reset(SDL_CreateRGBSurfaceWithFormatFrom(s->xrgb.data(), w, h, 32, w * 4,
                                                        SDL_PIXELFORMAT_XRGB8888));
    s->sdlArgb.reset(SDL_CreateRGBSurfaceWithFormatFrom(s->argbMasked.data(), w, h, 32, w * 4,
                                                        SDL_PIXELFORMAT_ARGB8888));
    s->sdlWhite.reset(SDL_CreateRGBSurfaceWithFormatFrom(s->whiteMask.data(), w, h, 32, w * 4,
                                                         SDL_PIXELFORMAT_ARGB8888));
    s->sdlBlack.reset(SDL_CreateRGBSurfaceWithFormatFrom(s->blackMask.data(), w, h, 32, w * 4,
                                                         SDL_PIXELFORMAT_ARGB8888));
    s->sdl8.reset(SDL_CreateRGBSurfaceWithFormatFrom(idx, w, h, 8, w, SDL_PIXELFORMAT_INDEX8));
    SDL_Color colours[256];
    for (int e = 0; e < 256; ++e)
        colours[e] = SDL_Color{pal[3 * e + 2], pal[3 * e + 1], pal[3 * e], 255};
    SDL_SetPaletteColors(s->sdl8->format->palette, colours, 0, 256);
    return s;
}

Target MakeTarget(std::mt19937& rng)
{
    Target t;
    t.bitmap = GBitmap::Create(kDstW, kDstH, 0, 0);
    uint8_t* p = t.bitmap->GetPixels();
    for (size_t i = 0; i < size_t(kDstW) * kDstH * 3; ++i)
        p[i] = uint8_t(rng());
    t.px.reset(pixman_image_create_bits(PIXMAN_r8g8b8, kDstW, kDstH, reinterpret_cast<uint32_t*>(p),
                                        kDstW * 3));
    t.sdl.reset(
        SDL_CreateRGBSurfaceWithFormatFrom(p, kDstW, kDstH, 24, kDstW * 3, SDL_PIXELFORMAT_BGR24));
    t.wide.resize(size_t(kDstW) * kDstH);
    for (size_t i = 0; i < t.wide.size(); ++i)
        t.wide[i] = uint32_t(p[3 * i]) | uint32_t(p[3 * i + 1]) << 8 |
                    uint32_t(p[3 * i + 2]) << 16 | 0xFF000000u;
    t.px32.reset(pixman_image_create_bits(PIXMAN_x8r8g8b8, kDstW, kDstH, t.wide.data(), kDstW * 4));
    t.sdl32.reset(SDL_CreateRGBSurfaceWithFormatFrom(t.wide.data(), kDstW, kDstH, 32, kDstW * 4,
                                                     SDL_PIXELFORMAT_XRGB8888));
    const pixman_color_t alpha{0, 0, 0, uint16_t(kAlpha * 257)};
    const pixman_color_t white{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    const pixman_color_t black{0, 0, 0, 0xFFFF};
    t.solidAlpha.reset(pixman_image_create_solid_fill(&alpha));
    t.white.reset(pixman_image_create_solid_fill(&white));
    t.black.reset(pixman_image_create_solid_fill(&black));
    return t;
}

// ---------------------------------------------------------------------------------------------
// What each peer draws for a rule

struct PixmanCall {
    pixman_op_t op;
    pixman_image_t* src;
    pixman_image_t* mask; // may be null
    bool transformMask;
};

PixmanCall PixmanFor24(GBlitRule rule, Scene& s, Target& t)
{
    switch (rule) {
    case GBlitRule::Copy:
        return {PIXMAN_OP_SRC, s.pxRgb.get(), nullptr, false};
    case GBlitRule::Key:
        return {PIXMAN_OP_OVER, s.pxArgbKeyed.get(), nullptr, false};
    case GBlitRule::Mask:
        return {PIXMAN_OP_OVER, s.pxRgb.get(), s.pxMask.get(), true};
    case GBlitRule::MaskAlpha:
        return {PIXMAN_OP_OVER, s.pxRgb.get(), s.pxMaskAlpha.get(), true};
    case GBlitRule::Alpha:
        return {PIXMAN_OP_OVER, s.pxRgb.get(), t.solidAlpha.get(), false};
    case GBlitRule::KeyAlpha:
        return {PIXMAN_OP_OVER, s.pxArgbKeyed.get(), t.solidAlpha.get(), false};
    case GBlitRule::Lighten:
        return {PIXMAN_OP_OVER, t.white.get(), s.pxMaskInverted.get(), true};
    case GBlitRule::Darken:
        return {PIXMAN_OP_OVER, t.black.get(), s.pxMask.get(), true};
    case GBlitRule::PaletteMask:
        return {PIXMAN_OP_OVER, s.pxC8Table.get(), s.pxMask.get(), true};
    case GBlitRule::PaletteMaskAlpha:
        return {PIXMAN_OP_OVER, s.pxC8Table.get(), s.pxMaskAlpha.get(), true};
    case GBlitRule::Indexed:
        return {PIXMAN_OP_SRC, s.pxC8.get(), nullptr, false};
    case GBlitRule::IndexedAlpha:
        return {PIXMAN_OP_OVER, s.pxC8.get(), t.solidAlpha.get(), false};
    case GBlitRule::IndexedKey:
        return {PIXMAN_OP_OVER, s.pxC8Keyed.get(), nullptr, false};
    case GBlitRule::IndexedKeyAlpha:
        return {PIXMAN_OP_OVER, s.pxC8Keyed.get(), t.solidAlpha.get(), false};
    case GBlitRule::IndexedMask:
        return {PIXMAN_OP_OVER, s.pxC8.get(), s.pxMask.get(), true};
    case GBlitRule::IndexedMaskAlpha:
        return {PIXMAN_OP_OVER, s.pxC8.get(), s.pxMaskAlpha.get(), true};
    case GBlitRule::MaskSubPixel:
        return {PIXMAN_OP_OVER, s.pxRgb.get(), s.pxMask.get(), true};
    case GBlitRule::MaskAlphaSubPixel:
        return {PIXMAN_OP_OVER, s.pxRgb.get(), s.pxMaskAlpha.get(), true};
    case GBlitRule::LightenSubPixel:
        return {PIXMAN_OP_OVER, t.white.get(), s.pxMaskLightenAlpha.get(), true};
    case GBlitRule::DarkenSubPixel:
        return {PIXMAN_OP_OVER, t.black.get(), s.pxMask.get(), true};
    default:
        return {PIXMAN_OP_SRC, nullptr, nullptr, false};
    }
}

// Into the 32-bit target the 24-bit source becomes its 32-bit copy.
PixmanCall PixmanFor(GBlitRule rule, Scene& s, Target& t, bool wide)
{
    PixmanCall call = PixmanFor24(rule, s, t);
    if (wide && call.src == s.pxRgb.get())
        call.src = s.pxXrgb.get();
    return call;
}

const char* PixmanNote(GBlitRule rule)
{
    switch (rule) {
    case GBlitRule::Copy:
        return "SRC r8g8b8";
    case GBlitRule::Key:
        return "OVER a8r8g8b8 with alpha 0 on key pixels";
    case GBlitRule::Mask:
        return "OVER r8g8b8, a8 mask";
    case GBlitRule::MaskAlpha:
        return "OVER r8g8b8, a8 mask pre-multiplied by alpha";
    case GBlitRule::Alpha:
        return "OVER r8g8b8, solid a8 mask";
    case GBlitRule::KeyAlpha:
        return "OVER a8r8g8b8 keyed, solid a8 mask";
    case GBlitRule::Lighten:
        return "OVER solid white, a8 mask";
    case GBlitRule::Darken:
        return "OVER solid black, a8 mask";
    case GBlitRule::PaletteMask:
        return "OVER c8 (table as palette), a8 mask";
    case GBlitRule::PaletteMaskAlpha:
        return "OVER c8, a8 mask pre-multiplied";
    case GBlitRule::Indexed:
        return "SRC c8";
    case GBlitRule::IndexedAlpha:
        return "OVER c8, solid a8 mask";
    case GBlitRule::IndexedKey:
        return "OVER c8, palette alpha 0 on the key entry";
    case GBlitRule::IndexedKeyAlpha:
        return "OVER c8 keyed palette, solid a8 mask";
    case GBlitRule::IndexedMask:
        return "OVER c8, a8 mask";
    case GBlitRule::IndexedMaskAlpha:
        return "OVER c8, a8 mask pre-multiplied";
    default:
        return "OVER, bilinear filter, fractional translation (source and mask)";
    }
}

struct SdlCall {
    SDL_Surface* src = nullptr;
    SDL_BlendMode blend = SDL_BLENDMODE_NONE;
    bool alphaMod = false;
    bool key = false;
    const char* note = "no equivalent";
};

SdlCall SdlFor24(GBlitRule rule, Scene& s)
{
    switch (rule) {
    case GBlitRule::Copy:
        return {s.sdlRgb.get(), SDL_BLENDMODE_NONE, false, false, "BGR24, no blending"};
    case GBlitRule::Key:
        return {s.sdlRgb.get(), SDL_BLENDMODE_NONE, false, true, "BGR24, colour key, RLE"};
    case GBlitRule::Mask:
        return {s.sdlArgb.get(), SDL_BLENDMODE_BLEND, false, false,
                "ARGB8888 with mask as alpha, BLEND, RLE (32-bit target)"};
    case GBlitRule::MaskAlpha:
        return {s.sdlArgb.get(), SDL_BLENDMODE_BLEND, true, false, "ARGB8888, BLEND, alpha mod"};
    case GBlitRule::Alpha:
        return {s.sdlRgb.get(), SDL_BLENDMODE_BLEND, true, false, "BGR24, BLEND, alpha mod"};
    case GBlitRule::KeyAlpha:
        return {s.sdlRgb.get(), SDL_BLENDMODE_BLEND, true, true,
                "BGR24, colour key, BLEND, alpha mod, RLE"};
    case GBlitRule::Lighten:
        return {s.sdlWhite.get(), SDL_BLENDMODE_BLEND, false, false,
                "ARGB8888 white, mask as alpha, BLEND, RLE (32-bit target)"};
    case GBlitRule::Darken:
        return {s.sdlBlack.get(), SDL_BLENDMODE_BLEND, false, false,
                "ARGB8888 black, mask as alpha, BLEND, RLE (32-bit target)"};
    case GBlitRule::Indexed:
        return {s.sdl8.get(), SDL_BLENDMODE_NONE, false, false, "INDEX8, no blending"};
    case GBlitRule::IndexedAlpha:
        return {s.sdl8.get(), SDL_BLENDMODE_BLEND, true, false, "INDEX8, BLEND, alpha mod"};
    case GBlitRule::IndexedKey:
        return {s.sdl8.get(), SDL_BLENDMODE_NONE, false, true, "INDEX8, colour key (by index)"};
    case GBlitRule::IndexedKeyAlpha:
        return {s.sdl8.get(), SDL_BLENDMODE_BLEND, true, true, "INDEX8, key, BLEND, alpha mod"};
    default:
        return {};
    }
}

SdlCall SdlFor(GBlitRule rule, Scene& s, bool wide)
{
    SdlCall call = SdlFor24(rule, s);
    if (wide && call.src == s.sdlRgb.get())
        call.src = s.sdlXrgb.get();
    return call;
}

// ---------------------------------------------------------------------------------------------
// Registration and the final table

struct Registry {
    std::vector<std::unique_ptr<Scene>> scenes;
    Target target;
    bench::SpreadReporter reporter;
};

Registry* g_registry = nullptr;
std::map<std::string, int64_t> g_pixels; // pixels drawn per iteration, by benchmark name
constexpr const char* kPeerColumns[] = {"pixman", "sdl", "pixman32", "sdl32"};

void Configure(const std::string& name, int64_t pixels, benchmark::internal::Benchmark* b,
               int repetitions = kRepetitions)
{
    g_pixels[name] = pixels;
    b->MinTime(kMinTime)->Repetitions(repetitions)->ReportAggregatesOnly(true);
    bench::AddSpreadStatistics(b);
}

int Position(int size, int limit)
{
    return size >= limit ? 0 : (limit - size) / 3;
}

// The peers drawing the same picture into the 24-bit target, or (wide) from 32-bit sources
// into the 32-bit target.
void RegisterPeers(GBlitRule rule, int o, Scene* s, Target* t, int x, int y, int drawnW, int drawnH,
                   const std::string& base, bool wide)
{
    const Size size{s->w, s->h, ""};
    const int64_t pixels = int64_t(drawnW) * drawnH;
    pixman_image_t* pxTarget = wide ? t->px32.get() : t->px.get();
    SDL_Surface* sdlTarget = wide ? t->sdl32.get() : t->sdl.get();
    const std::string pixmanName = base + (wide ? "/pixman32" : "/pixman");
    const PixmanCall pc = PixmanFor(rule, *s, *t, wide);
    Configure(pixmanName, pixels,
              benchmark::RegisterBenchmark(pixmanName.c_str(), [=](benchmark::State& state) {
                  // Orientation as a transform from destination to source coordinates; the
                  // sub-pixel rules add the fractional shift and sample bilinearly.
                  const bool mirror = o & 1, flip = o & 2;
                  const double shiftX = BlitRuleIsSubPixel(rule) ? 1.0 - kFx / 256.0 : 0.0;
                  const double shiftY = BlitRuleIsSubPixel(rule) ? 1.0 - kFy / 256.0 : 0.0;
                  pixman_transform_t tr;
                  pixman_transform_init_identity(&tr);
                  tr.matrix[0][0] = pixman_int_to_fixed(mirror ? -1 : 1);
                  tr.matrix[0][2] = pixman_double_to_fixed(mirror ? size.w - shiftX : shiftX);
                  tr.matrix[1][1] = pixman_int_to_fixed(flip ? -1 : 1);
                  tr.matrix[1][2] = pixman_double_to_fixed(flip ? size.h - shiftY : shiftY);
                  const bool identity = !mirror && !flip && !BlitRuleIsSubPixel(rule);
                  const pixman_filter_t filter =
                      BlitRuleIsSubPixel(rule) ? PIXMAN_FILTER_BILINEAR : PIXMAN_FILTER_NEAREST;
                  auto setUp = [&](pixman_image_t* image) {
                      pixman_image_set_transform(image, identity ? nullptr : &tr);
                      pixman_image_set_filter(image, filter, nullptr, 0);
                  };
                  setUp(pc.src);
                  if (pc.mask && pc.transformMask)
                      setUp(pc.mask);
                  for (auto _ : state) {
                      pixman_image_composite32(pc.op, pc.src, pc.mask, pxTarget, 0, 0, 0, 0, x, y,
                                               drawnW, drawnH);
                      benchmark::ClobberMemory();
                  }
                  state.SetItemsProcessed(state.iterations() * pixels);
              }));

    const SdlCall sc = SdlFor(rule, *s, wide);
    if (!sc.src || o != 0)
        return;
    const std::string sdlName = base + (wide ? "/sdl32" : "/sdl");
    Configure(sdlName, pixels,
              benchmark::RegisterBenchmark(sdlName.c_str(), [=](benchmark::State& state) {
                  SDL_SetSurfaceBlendMode(sc.src, sc.blend);
                  SDL_SetSurfaceAlphaMod(sc.src, sc.alphaMod ? kAlpha : 255);
                  if (sc.src->format->BitsPerPixel == 8)
                      SDL_SetColorKey(sc.src, sc.key ? SDL_TRUE : SDL_FALSE, 0);
                  else
                      SDL_SetColorKey(sc.src, sc.key ? SDL_TRUE : SDL_FALSE,
                                      SDL_MapRGB(sc.src->format, 0xFF, 0x00, 0xFF));
                  SDL_SetSurfaceRLE(sc.src, 1);
                  SDL_Rect where{x, y, drawnW, drawnH};
                  SDL_Rect part{0, 0, drawnW, drawnH};
                  // The first blit after a change of settings or target encodes the runs: untimed,
                  // as a game does it once per sprite.
                  SDL_BlitSurface(sc.src, &part, sdlTarget, &where);
                  for (auto _ : state) {
                      where = SDL_Rect{x, y, drawnW, drawnH};
                      SDL_BlitSurface(sc.src, &part, sdlTarget, &where);
                      benchmark::ClobberMemory();
                  }
                  state.SetItemsProcessed(state.iterations() * pixels);
              }));
}

void Register(GBlitRule rule, int o, size_t sizeIndex)
{
    Registry& reg = *g_registry;
    Scene* s = reg.scenes[sizeIndex].get();
    Target* t = &reg.target;
    const Size& size = kSizes[sizeIndex];
    const int x = Position(size.w, kDstW), y = Position(size.h, kDstH);
    const int drawnW = BlitRuleIsSubPixel(rule) ? size.w - 1 : size.w;
    const int drawnH = BlitRuleIsSubPixel(rule) ? size.h - 1 : size.h;
    const int64_t pixels = int64_t(drawnW) * drawnH;
    const std::string base =
        std::string(BlitRuleName(rule)) + "/" + kOrientations[o] + "/" + size.name;

    const GBitmap* src = s->rgb.get();
    if (rule == GBlitRule::Lighten || rule == GBlitRule::Darken ||
        rule == GBlitRule::LightenSubPixel || rule == GBlitRule::DarkenSubPixel)
        src = s->maskOnly.get();
    else if (rule == GBlitRule::PaletteMask || rule == GBlitRule::PaletteMaskAlpha)
        src = s->tableSrc.get();
    else if (rule == GBlitRule::Key || rule == GBlitRule::KeyAlpha)
        src = s->keyed.get();
    else if (rule == GBlitRule::IndexedKey || rule == GBlitRule::IndexedKeyAlpha)
        src = s->indexedKeyed.get();
    else if (rule >= GBlitRule::Indexed && rule <= GBlitRule::IndexedMaskAlpha)
        src = s->indexed.get();

    Configure(base + "/ours", pixels,
              benchmark::RegisterBenchmark((base + "/ours").c_str(),
                                           [=](benchmark::State& state) {
                                               GBlitArgs args;
                                               args.alpha = kAlpha;
                                               args.table = s->table.data();
                                               args.fx = kFx;
                                               args.fy = kFy;
                                               const GBlitKernel kernel =
                                                   GetBlitKernel(rule, uint8_t(o));
                                               for (auto _ : state) {
                                                   kernel(t->bitmap.get(), src, int16_t(x),
                                                          int16_t(y), args, nullptr);
                                                   benchmark::ClobberMemory();
                                               }
                                               state.SetItemsProcessed(state.iterations() * pixels);
                                           }),
              rule == GBlitRule::Copy && o == 0 ? kCopyRepetitions : kRepetitions);

    for (const bool wide : {false, true})
        RegisterPeers(rule, o, s, t, x, y, drawnW, drawnH, base, wide);
}

void RegisterMemcpy(size_t sizeIndex)
{
    const Size& size = kSizes[sizeIndex];
    const size_t bytes = size_t(size.w) * size.h * 3;
    auto from = std::make_shared<std::vector<uint8_t>>(bytes, 1);
    auto to = std::make_shared<std::vector<uint8_t>>(bytes, 2);
    const std::string name = std::string("memcpy/") + size.name;
    Configure(name, int64_t(size.w) * size.h,
              benchmark::RegisterBenchmark(name.c_str(),
                                           [=](benchmark::State& state) {
                                               for (auto _ : state) {
                                                   std::memcpy(to->data(), from->data(), bytes);
                                                   benchmark::ClobberMemory();
                                               }
                                               state.SetItemsProcessed(state.iterations() *
                                                                       int64_t(size.w) * size.h);
                                           }),
              kCopyRepetitions);
}

// Megapixels per second of the median repetition (or of the fastest or slowest one).
double Rate(const std::string& name, double bench::Spread::*which = &bench::Spread::median)
{
    auto it = g_pixels.find(name);
    const double ns = g_registry->reporter.Get(name).cpuNs.*which;
    return it == g_pixels.end() || ns <= 0 ? 0.0 : double(it->second) / ns * 1e3;
}

void PrintTable()
{
    std::printf(
        "\nMegapixels per second of ours (median of %d repetitions, and the slowest-fastest\n"
        "repetitions), and ratios of medians ours/peer (> 1: we are faster). pixman and SDL draw\n"
        "into our 24-bit target; pixman32 and SDL32 into a 32-bit one.\n",
        kRepetitions);
    bench::PrintClockHeader("at the end of the run");
    std::printf("%-18s %-10s %-8s %9s %-17s %8s %8s %9s %8s %8s\n", "rule", "orient", "size",
                "ours", "(spread)", "pixman", "SDL", "pixman32", "SDL32", "memcpy");
    std::map<std::string, int> missesBySize;
    int misses = 0, rows = 0;
    for (size_t r = 0; r < kBlitRuleCount; ++r)
        for (int o = 0; o < 4; ++o)
            for (const Size& size : kSizes) {
                const std::string base = std::string(BlitRuleName(GBlitRule(r))) + "/" +
                                         kOrientations[o] + "/" + size.name;
                const double ours = Rate(base + "/ours");
                if (ours == 0.0)
                    continue;
                ++rows;
                char cells[5][16];
                bool behind = false;
                for (size_t c = 0; c < 5; ++c) {
                    const double peer = c < 4 ? Rate(base + "/" + kPeerColumns[c])
                                              : Rate(std::string("memcpy/") + size.name);
                    std::snprintf(cells[c], sizeof cells[c], peer > 0 ? "%.2f" : "-", ours / peer);
                    // Judged against every peer column, by medians, at every size: the same
                    // picture into our 24-bit target, and each peer's fast path into a 32-bit one.
                    behind = behind || (c < 4 && peer > ours);
                }
                misses += behind;
                missesBySize[size.name] += behind;
                char spread[24];
                std::snprintf(spread, sizeof spread, "(%.0f-%.0f)",
                              Rate(base + "/ours", &bench::Spread::max),
                              Rate(base + "/ours", &bench::Spread::min));
                std::printf("%-18s %-10s %-8s %9.1f %-17s %8s %8s %9s %8s %8s%s\n",
                            BlitRuleName(GBlitRule(r)), kOrientations[o], size.name, ours, spread,
                            cells[0], cells[1], cells[2], cells[3], cells[4],
                            behind ? "  < peer" : "");
            }
    std::printf("\nrows %d; rows whose median is slower than a peer column's (24- or 32-bit): %d (",
                rows, misses);
    for (const Size& size : kSizes)
        std::printf("%s%s %d", &size == kSizes ? "" : ", ", size.name, missesBySize[size.name]);
    std::printf(")\n");
    const double copy = Rate("Copy/Normal/800x600/ours"), mem = Rate("memcpy/800x600");
    if (copy > 0 && mem > 0)
        std::printf("Copy at 800x600: %.0f%% of memcpy\n", 100.0 * copy / mem);
    std::printf("\nWhat the peers draw (SDL only in orientation Normal; it has no mirrored or "
                "flipped blits;\n"
                "the 32-bit columns read x8r8g8b8 / XRGB8888 copies of the 24-bit source):\n");
    for (size_t r = 0; r < kBlitRuleCount; ++r) {
        Scene dummy;
        std::printf("  %-18s pixman: %s; SDL: %s\n", BlitRuleName(GBlitRule(r)),
                    PixmanNote(GBlitRule(r)), SdlFor24(GBlitRule(r), dummy).note);
    }
    std::printf(
        "  Orientations other than Normal: pixman with a -1 scale transform, nearest filter.\n");
}

} // namespace

int main(int argc, char** argv)
{
    // Repetitions shuffled among all measurements unless the command line says otherwise.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    argc = int(args.size());
    argv = args.data();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    std::mt19937 rng(2024);
    Registry registry;
    g_registry = &registry;
    registry.target = MakeTarget(rng);
    for (const Size& size : kSizes)
        registry.scenes.push_back(MakeScene(size.w, size.h, rng));
    for (size_t r = 0; r < kBlitRuleCount; ++r)
        for (int o = 0; o < 4; ++o)
            for (size_t i = 0; i < std::size(kSizes); ++i) {
                if (r == size_t(GBlitRule::Copy) && o == 0)
                    RegisterMemcpy(i);
                Register(GBlitRule(r), o, i);
            }

    bench::PrintClockHeader("at the start of the run");
    benchmark::RunSpecifiedBenchmarks(&registry.reporter);
    PrintTable();
    benchmark::Shutdown();
    return 0;
}
