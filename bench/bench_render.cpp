// One whole frame, as the application shows it: the render-list flush (GClipContainer::RedrawDirty
// into the 800x600 back buffer), the upload of what it changed into the window's texture, and
// the present (the texture copied to the window and shown). Against the same frame composited
// by pixman and by SDL2's blitter, each uploading its own frame into its own texture and
// presenting it the same way, and against memcpy of the bytes the flush writes, in one run.
//
// Scenes: N moving sprites, 32x32 to 63x63, half masked, half colour-keyed, over a full-screen
// background, for N = 10, 100, 1,000, 3,000 and 10,000 (the growth with the number of sprites);
// and 1,000 and 10,000 sprites of which none moves (the placement pass alone, which a screen
// pays every frame it shows unchanged). Every repetition runs whole cycles of the same 64
// frames on every side. The peers replay our frames: for each dirty rectangle the background
// part, then every sprite, whole when it changed and else its parts inside the dirty
// rectangles, as our flush does.
//
// Each side as its users run it, at its best:
//  - pixman: 32-bit frames, premultiplied ARGB sprites composited with OVER.
//  - SDL: 32-bit surfaces; keyed sprites with a colour key, masked ones as straight
//    (not premultiplied) ARGB with BLEND, which is the alpha SDL's blitter assumes; RLE on both.
//  - ours: the run tables the bitmap store prepares for every image it makes.
// Every peer buffer the frames and the upload read comes from SDL's allocator (SDL_SIMDAlloc,
// which is how SDL_CreateRGBSurface gets its pixels); the offsets of all frames and textures
// within their pages are printed, since a copy between buffers whose offsets differ by a few
// bytes modulo 4 KiB runs several times slower (4K aliasing) and would decide the race.
// Each side's picture is compared with ours before anything is timed (largest difference of a
// colour byte, share of differing bytes), after a whole repaint and after one replayed cycle.
//
// Columns: flush plus upload, and the present as its own column (SDL_RenderClear, RenderCopy
// and RenderPresent, as platform::Window::Flip does), both timed inside each frame. Repetitions
// of all sides are interleaved at random; the median repetition decides. Beside the frames, the
// widening of a whole 800x600 frame against memcpy of the 1.92 MB it writes and against
// SDL_ConvertPixels. Run pinned: taskset -c 7 bench_render (SDL's dummy video driver unless
// SDL_VIDEODRIVER says otherwise).

#include <benchmark/benchmark.h>

#include <SDL.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_stats.h"
#include "bench/cpu_clock.h"
#include "bench/fastest.h"
#include "foundation/image/dib_surface.h"
#include "graphics/blit/blit_runs.h"
#include "graphics/scene/clip_array.h"
#include "graphics/scene/clip_container.h"
#include "graphics/scene/rect_array.h"
#include "graphics/store/bitmap_table.h"
#include "platform/window/pixel_convert.h"
#include "platform/window/window.h"

namespace {

constexpr int kW = 800, kH = 600, kFrames = 64;
constexpr uint32_t kKey = 0xFF00FF;
constexpr int kRepetitions = 7;
constexpr double kRepetitionSeconds = 0.2;
using ThreadClock = bench::CpuClock<CLOCK_THREAD_CPUTIME_ID>;

class Table : public GBitmapTable {
public:
    GBitmap* GetBitmap(int32_t slot) const override { return images[slot].get(); }
    int32_t GetSlotCount() const override { return int32_t(images.size()); }
    std::vector<std::unique_ptr<GBitmap>> images;
};

struct PixmanUnref {
    void operator()(pixman_image_t* p) const { pixman_image_unref(p); }
};
struct SdlFree {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
struct SimdFree {
    void operator()(uint32_t* p) const { SDL_SIMDFree(p); }
};
using Pixman = std::unique_ptr<pixman_image_t, PixmanUnref>;
using Surface = std::unique_ptr<SDL_Surface, SdlFree>;
using Pixels = std::unique_ptr<uint32_t[], SimdFree>;

// 32-bit pixels from the allocator SDL's surfaces use.
Pixels AllocPixels(size_t count)
{
    Pixels p(static_cast<uint32_t*>(SDL_SIMDAlloc(count * 4)));
    if (p)
        std::memset(p.get(), 0, count * 4);
    return p;
}

int PageOffset(const void* p)
{
    return int(reinterpret_cast<uintptr_t>(p) & 4095);
}

// The window every side presents into; the peers each get a texture of the renderer's own
// 32-bit format, made as the window makes its own.
struct Screen {
    std::unique_ptr<platform::Window> window;
    SDL_Renderer* renderer = nullptr;
    Uint32 format = SDL_PIXELFORMAT_XRGB8888;
};
Screen g_screen;

bool OpenScreen()
{
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    g_screen.window = platform::Window::Create("bench_render", kW, kH);
    if (!g_screen.window)
        return false;
    g_screen.renderer = SDL_GetRenderer(SDL_GetWindowFromID(g_screen.window->GetId()));
    SDL_RendererInfo info{};
    if (!g_screen.renderer || SDL_GetRendererInfo(g_screen.renderer, &info) != 0)
        return false;
    for (Uint32 i = 0; i < info.num_texture_formats; ++i)
        if (SDL_BITSPERPIXEL(info.texture_formats[i]) == 32 &&
            SDL_BYTESPERPIXEL(info.texture_formats[i]) == 4) {
            g_screen.format = info.texture_formats[i];
            break;
        }
    std::printf("renderer %s, peer texture format %s\n", info.name,
                SDL_GetPixelFormatName(g_screen.format));
    return true;
}

// What platform::Window::Flip does with the window's texture, for a peer's texture.
void PeerFlip(SDL_Texture* texture)
{
    SDL_SetRenderDrawColor(g_screen.renderer, 0, 0, 0, 255);
    SDL_RenderClear(g_screen.renderer);
    SDL_RenderCopy(g_screen.renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(g_screen.renderer);
}

void PeerUpload(SDL_Texture* texture, const uint32_t* bits, const GRect& r)
{
    if (r.right < r.left || r.bottom < r.top)
        return;
    const SDL_Rect rect{r.left, r.top, r.Width(), r.Height()};
    SDL_UpdateTexture(texture, &rect, bits + r.top * kW + r.left, kW * 4);
}

struct Sprite {
    Pixels premultiplied; // pixman's
    Pixels straight;      // SDL's masked sprites: the colour with its coverage as alpha
    Pixman px;
    Surface sdl;
};

struct Peer {
    Pixels frame;
    SDL_Texture* texture = nullptr;
    ~Peer()
    {
        if (texture)
            SDL_DestroyTexture(texture);
    }
};

struct World {
    Table table;
    std::vector<Sprite> sprites; // by image: slot 1 + index
    std::vector<std::unique_ptr<GClip>> clips;
    std::vector<std::vector<std::pair<int, int>>> path; // per sprite, per frame
    std::unique_ptr<GClipArray> list = GClipArray::Create(20000);
    std::unique_ptr<GRectArray> dirty = GRectArray::Create(10000);
    std::unique_ptr<GDibSurface> screen{GDibSurface::Create(kW, kH, 24)};
    std::unique_ptr<GClipContainer> container;
    std::vector<std::vector<GRect>> frames;  // our dirty rectangles, per frame
    std::vector<std::vector<uint8_t>> whole; // per frame, per sprite: drawn whole (it changed)
    std::vector<GRect> presented;            // what the flush returned, per frame
    Pixels bg;
    Peer pixman, sdl;
    Pixman pxDst, pxBg;
    Surface sdlDst, sdlBg;
    std::vector<uint8_t> memSrc = std::vector<uint8_t>(kW * kH * 3),
                         memDst = std::vector<uint8_t>(kW * kH * 3);
    int frame = 0;
    int64_t cycles = 1; // whole cycles per repetition
    bool moving = true;

    size_t SpriteCount() const { return clips.size() - 1; }
    GRect SpriteRect(size_t i, int f) const
    {
        const GBitmap& image = *table.images[clips[i + 1]->GetSlot()];
        GRect r;
        r.SetClamped(path[i][f].first, path[i][f].second, path[i][f].first + image.GetWidth() - 1,
                     path[i][f].second + image.GetHeight() - 1);
        return r;
    }
    const Sprite& SpriteOf(size_t i) const { return sprites[clips[i + 1]->GetSlot() - 1]; }
};

// A round sprite: opaque inside, a soft one-pixel rim, clear outside (or the key colour).
void MakeSprite(World& w, int size, bool keyed, std::mt19937& rng)
{
    std::unique_ptr<GBitmap> image(
        GBitmap::Create(int16_t(size), int16_t(size), kKey, keyed ? 1 : 2));
    Sprite s;
    s.premultiplied = AllocPixels(size_t(size) * size);
    s.straight = AllocPixels(size_t(size) * size);
    const uint32_t colour = rng() & 0xFFFFFF;
    const double r = size / 2.0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double d = std::hypot(x + 0.5 - r, y + 0.5 - r);
            const int cover =
                keyed ? (d < r ? 255 : 0) : int(std::clamp((r - d) * 255.0, 0.0, 255.0));
            const uint32_t c = keyed && !cover ? kKey : colour;
            uint8_t* p = image->GetPixels() + (y * size + x) * 3;
            p[0] = uint8_t(c), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c >> 16);
            if (!keyed)
                image->GetAlpha()[y * size + x] = uint8_t(255 - cover);
            auto pre = [&](int shift) {
                return uint32_t(((c >> shift) & 255) * cover / 255) << shift;
            };
            s.premultiplied[size_t(y) * size + x] =
                uint32_t(cover) << 24 | pre(16) | pre(8) | pre(0);
            s.straight[size_t(y) * size + x] =
                keyed ? (cover ? c : kKey) : (uint32_t(cover) << 24 | (cover ? c : 0));
        }
    s.px.reset(
        pixman_image_create_bits(PIXMAN_a8r8g8b8, size, size, s.premultiplied.get(), size * 4));
    if (keyed) {
        s.sdl.reset(SDL_CreateRGBSurfaceWithFormatFrom(s.straight.get(), size, size, 32, size * 4,
                                                       SDL_PIXELFORMAT_XRGB8888));
        SDL_SetColorKey(s.sdl.get(), SDL_TRUE, kKey);
    } else {
        s.sdl.reset(SDL_CreateRGBSurfaceWithFormatFrom(s.straight.get(), size, size, 32, size * 4,
                                                       SDL_PIXELFORMAT_ARGB8888));
        SDL_SetSurfaceBlendMode(s.sdl.get(), SDL_BLENDMODE_BLEND);
    }
    SDL_SetSurfaceRLE(s.sdl.get(), 1);
    // As the bitmap store prepares every image it makes.
    PrepareBlitRuns(*image);
    w.table.images.push_back(std::move(image));
    w.sprites.push_back(std::move(s));
}

void MakePeers(World& w)
{
    w.pixman.frame = AllocPixels(kW * kH);
    w.sdl.frame = AllocPixels(kW * kH);
    for (Peer* p : {&w.pixman, &w.sdl})
        p->texture = SDL_CreateTexture(g_screen.renderer, g_screen.format,
                                       SDL_TEXTUREACCESS_STREAMING, kW, kH);
    w.pxDst.reset(pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, w.pixman.frame.get(), kW * 4));
    w.pxBg.reset(pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, w.bg.get(), kW * 4));
    w.sdlDst.reset(SDL_CreateRGBSurfaceWithFormatFrom(w.sdl.frame.get(), kW, kH, 32, kW * 4,
                                                      SDL_PIXELFORMAT_XRGB8888));
    w.sdlBg.reset(SDL_CreateRGBSurfaceWithFormatFrom(w.bg.get(), kW, kH, 32, kW * 4,
                                                     SDL_PIXELFORMAT_XRGB8888));
    SDL_SetSurfaceBlendMode(w.sdlBg.get(), SDL_BLENDMODE_NONE);
}

std::unique_ptr<World> MakeWorld(int count, bool moving)
{
    std::mt19937 rng(17);
    auto w = std::make_unique<World>();
    std::unique_ptr<GBitmap> bg(GBitmap::Create(kW, kH, 0, 0));
    w->bg = AllocPixels(kW * kH);
    for (int i = 0; i < kW * kH; ++i) {
        uint8_t* p = bg->GetPixels() + i * 3;
        p[0] = uint8_t(i), p[1] = uint8_t(i / kW), p[2] = uint8_t(i * 7 / kW);
        w->bg[i] = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
    std::memcpy(w->memSrc.data(), bg->GetPixels(), w->memSrc.size());
    w->table.images.push_back(std::move(bg));
    for (int i = 0; i < 32; ++i)
        MakeSprite(*w, 32 + i, i % 2 != 0, rng);
    w->moving = moving;
    w->container =
        GClipContainer::Create(w->screen.get(), &w->table, w->list.get(), w->dirty.get());
    for (int i = 0; i <= count; ++i) {
        auto clip = std::make_unique<GClip>();
        clip->SetVisible(true);
        clip->SetSlot(i == 0 ? 0 : 1 + int(rng() % 32));
        w->container->AddClip(clip.get());
        w->clips.push_back(std::move(clip));
        if (i == 0)
            continue;
        std::vector<std::pair<int, int>> path;
        const double x0 = rng() % (kW - 64), y0 = rng() % (kH - 64), ax = rng() % 40,
                     ay = rng() % 40;
        const double phase = rng() % 628 / 100.0;
        for (int f = 0; f < kFrames; ++f) {
            const double t = moving ? 2 * M_PI * f / kFrames + phase : phase;
            path.emplace_back(int(x0 + ax * std::cos(t)), int(y0 + ay * std::sin(t)));
        }
        w->path.push_back(std::move(path));
    }
    MakePeers(*w);
    return w;
}

bool OurFlush(World& w, int f, GRect& io)
{
    // A screen where nothing moves sets no positions: its frame is the placement pass alone.
    for (size_t i = 0; w.moving && i < w.SpriteCount(); ++i)
        w.clips[i + 1]->SetPosition(w.path[i][f].first * 256, w.path[i][f].second * 256);
    io = GRect{0, 0, kW - 1, kH - 1};
    return w.container->RedrawDirty(io, 0, 0) != 0;
}

// A frame of one side: the part before the present, and whether there is anything to present.
bool OurFrame(World& w, int f)
{
    GRect io;
    if (!OurFlush(w, f, io))
        return false;
    const uint8_t* pixels = w.screen->Lock();
    g_screen.window->Upload(pixels, kW, kH, w.screen->GetPitch(), io.left, io.top, io.right,
                            io.bottom);
    w.screen->Unlock();
    return true;
}

void OurPresent(World&)
{
    g_screen.window->Flip();
}

// Calls draw(sprite, part of the sprite's rectangle) for what our flush draws of each sprite
// in frame f: the whole rectangle of a sprite that changed, the parts inside the dirty
// rectangles of one that did not; or every sprite whole (a repaint).
template <class Draw>
void ForEachSpritePart(const World& w, int f, bool repaint, Draw draw)
{
    for (size_t i = 0; i < w.SpriteCount(); ++i) {
        const GRect r = w.SpriteRect(i, f);
        if (repaint || w.whole[f][i]) {
            draw(i, r, r);
            continue;
        }
        for (const GRect& d : w.frames[f]) {
            GRect part;
            if (IntersectRects(part, r, d))
                draw(i, r, part);
        }
    }
}

void PixmanSprites(World& w, int f, bool repaint = false)
{
    ForEachSpritePart(w, f, repaint, [&](size_t i, const GRect& r, const GRect& part) {
        pixman_image_composite32(PIXMAN_OP_OVER, w.SpriteOf(i).px.get(), nullptr, w.pxDst.get(),
                                 part.left - r.left, part.top - r.top, 0, 0, part.left, part.top,
                                 part.Width(), part.Height());
    });
}

bool PixmanFrame(World& w, int f)
{
    if (w.frames[f].empty())
        return false;
    for (const GRect& d : w.frames[f])
        pixman_image_composite32(PIXMAN_OP_SRC, w.pxBg.get(), nullptr, w.pxDst.get(), d.left, d.top,
                                 0, 0, d.left, d.top, d.Width(), d.Height());
    PixmanSprites(w, f);
    PeerUpload(w.pixman.texture, w.pixman.frame.get(), w.presented[f]);
    return true;
}

void PixmanPresent(World& w)
{
    PeerFlip(w.pixman.texture);
}

void SdlSprites(World& w, int f, bool repaint = false)
{
    ForEachSpritePart(w, f, repaint, [&](size_t i, const GRect& r, const GRect& part) {
        SDL_Rect src{part.left - r.left, part.top - r.top, part.Width(), part.Height()};
        SDL_Rect dst{part.left, part.top, part.Width(), part.Height()};
        SDL_BlitSurface(w.SpriteOf(i).sdl.get(), &src, w.sdlDst.get(), &dst);
    });
}

bool SdlFrame(World& w, int f)
{
    if (w.frames[f].empty())
        return false;
    for (const GRect& d : w.frames[f]) {
        SDL_Rect src{d.left, d.top, d.Width(), d.Height()}, dst = src;
        SDL_BlitSurface(w.sdlBg.get(), &src, w.sdlDst.get(), &dst);
    }
    SdlSprites(w, f);
    PeerUpload(w.sdl.texture, w.sdl.frame.get(), w.presented[f]);
    return true;
}

void SdlPresent(World& w)
{
    PeerFlip(w.sdl.texture);
}

void CopyArea(World& w, GRect r)
{
    const GRect screen{0, 0, kW - 1, kH - 1};
    if (!IntersectRects(r, r, screen))
        return;
    for (int y = r.top; y <= r.bottom; ++y)
        std::memcpy(&w.memDst[(y * kW + r.left) * 3], &w.memSrc[(y * kW + r.left) * 3],
                    size_t(r.Width()) * 3);
}

bool MemcpyFrame(World& w, int f)
{
    if (w.frames[f].empty())
        return false;
    for (const GRect& d : w.frames[f])
        CopyArea(w, d);
    ForEachSpritePart(w, f, false,
                      [&](size_t, const GRect&, const GRect& part) { CopyArea(w, part); });
    return false; // the floor presents nothing
}

// Two cycles: the second's dirty rectangles are what every later cycle produces.
void Record(World& w)
{
    for (int f = 0; f < 2 * kFrames; ++f) {
        GRect io;
        const bool drawn = OurFlush(w, f % kFrames, io);
        if (f < kFrames)
            continue;
        std::vector<GRect> rects;
        for (int i = 0; i < w.dirty->GetCount(); ++i)
            rects.push_back(w.dirty->GetAt(i));
        w.frames.push_back(rects);
        std::vector<uint8_t> whole;
        for (size_t i = 0; i < w.SpriteCount(); ++i)
            whole.push_back(w.clips[i + 1]->GetDirtyState() != kDirtyNone);
        w.whole.push_back(whole);
        // As the application presents it: cut to the back buffer.
        const GRect screen{0, 0, kW - 1, kH - 1};
        if (!drawn || !IntersectRects(io, io, screen))
            io = GRect{0, 0, -1, -1};
        w.presented.push_back(io);
    }
}

// How many whole cycles make a repetition: one cycle of our whole frames (with the upload
// and the present) timed. Ends on the frame the recording ended on.
void Calibrate(World& w)
{
    const auto start = ThreadClock::now();
    for (int f = 0; f < kFrames; ++f)
        if (OurFrame(w, f))
            OurPresent(w);
    const double cycle = bench::Seconds(ThreadClock::now() - start);
    w.cycles = std::max<int64_t>(1, int64_t(kRepetitionSeconds / std::max(cycle, 1e-6)));
}

// --- Pictures compared ----------------------------------------------------------------------

struct Difference {
    int largest = 0;
    double share = 0; // of the colour bytes
};

Difference Compare(const GDibSurface& ours, const uint32_t* peer)
{
    const uint8_t* p = ours.GetDibPixels();
    Difference d;
    int64_t differing = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            for (int c = 0; c < 3; ++c) {
                const int a = p[y * ours.GetPitch() + x * 3 + c],
                          b = int(peer[y * kW + x] >> (8 * c) & 255);
                d.largest = std::max(d.largest, std::abs(a - b));
                differing += a != b;
            }
    d.share = double(differing) / (double(kW) * kH * 3);
    return d;
}

// Every side's picture of the frame we last drew: first each peer paints it whole, then every
// side replays one cycle of frames by its dirty rectangles and ends on the same frame.
void CompareWorld(const std::string& name, World& w)
{
    const int last = kFrames - 1; // Record ended on it
    pixman_image_composite32(PIXMAN_OP_SRC, w.pxBg.get(), nullptr, w.pxDst.get(), 0, 0, 0, 0, 0, 0,
                             kW, kH);
    PixmanSprites(w, last, true);
    SDL_BlitSurface(w.sdlBg.get(), nullptr, w.sdlDst.get(), nullptr);
    SdlSprites(w, last, true);
    const Difference px = Compare(*w.screen, w.pixman.frame.get()),
                     sdl = Compare(*w.screen, w.sdl.frame.get());
    for (int f = 0; f < kFrames; ++f) {
        OurFrame(w, f);
        PixmanFrame(w, f);
        SdlFrame(w, f);
    }
    const Difference px2 = Compare(*w.screen, w.pixman.frame.get()),
                     sdl2 = Compare(*w.screen, w.sdl.frame.get());
    std::printf("%-13s pixman: largest %3d, %6.3f%% of bytes differ (after a cycle %3d, %6.3f%%); "
                "SDL: largest %3d, %6.3f%% (after a cycle %3d, %6.3f%%)\n",
                name.c_str(), px.largest, 100 * px.share, px2.largest, 100 * px2.share, sdl.largest,
                100 * sdl.share, sdl2.largest, 100 * sdl2.share);
    // Our picture's fingerprint, for comparing builds: a change of the flush or the kernels
    // that keeps every byte keeps it.
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < size_t(w.screen->GetPitch()) * kH; ++i)
        hash = (hash ^ w.screen->GetDibPixels()[i]) * 1099511628211ull;
    std::printf("%-13s our picture after the replayed cycle: FNV-1a %016llx\n", name.c_str(),
                static_cast<unsigned long long>(hash));
}

// --- Registration and the tables ------------------------------------------------------------

std::map<std::string, std::unique_ptr<World>> g_worlds;
std::vector<std::string> g_order; // scenes in the order of the tables

using FrameFn = bool (*)(World&, int);
using PresentFn = void (*)(World&);

// One frame per iteration, whole cycles per repetition; the part before the present and the
// present are timed apart by the same clock.
void Register(const std::string& scene, const std::string& side, FrameFn frame, PresentFn present)
{
    World* w = g_worlds[scene].get();
    auto run = [w, frame, present](benchmark::State& state) {
        std::chrono::nanoseconds body{0}, shown{0};
        for (auto _ : state) {
            const auto t0 = ThreadClock::now();
            const bool drawn = frame(*w, w->frame);
            const auto t1 = ThreadClock::now();
            if (drawn && present)
                present(*w);
            const auto t2 = ThreadClock::now();
            body += t1 - t0;
            shown += t2 - t1;
            w->frame = (w->frame + 1) % kFrames;
        }
        const double n = double(state.iterations());
        state.counters["flush_ns"] = double(body.count()) / n;
        state.counters["present_ns"] = double(shown.count()) / n;
    };
    auto* b = benchmark::RegisterBenchmark((scene + "/" + side).c_str(), run);
    b->Unit(benchmark::kMicrosecond)
        ->Iterations(w->cycles * kFrames)
        ->Repetitions(kRepetitions)
        ->ReportAggregatesOnly(true);
    bench::AddSpreadStatistics(b);
}

// A whole frame widened, against memcpy of the bytes it writes and SDL's converter.
struct Widen {
    std::vector<uint8_t> src = std::vector<uint8_t>(kW * kH * 3),
                         dst = std::vector<uint8_t>(kW * kH * 4),
                         copy = std::vector<uint8_t>(kW * kH * 4);
};
Widen g_widen;

void RegisterWiden(const char* name, void (*run)())
{
    auto* b = benchmark::RegisterBenchmark(name, [run](benchmark::State& state) {
        for (auto _ : state)
            run();
        benchmark::ClobberMemory();
    });
    b->Unit(benchmark::kMicrosecond)
        ->MinTime(kRepetitionSeconds)
        ->Repetitions(kRepetitions)
        ->ReportAggregatesOnly(true);
    bench::AddSpreadStatistics(b);
}

void RegisterWidening()
{
    for (size_t i = 0; i < g_widen.src.size(); ++i)
        g_widen.src[i] = uint8_t(i * 7 + i / 4096);
    RegisterWiden("widen/ours", [] {
        platform::ConvertRows24To32(g_widen.src.data(), kW * 3, g_widen.dst.data(), kW * 4, kW, kH,
                                    platform::PixelOrder32::Bgrx);
    });
    RegisterWiden("widen/memcpy",
                  [] { std::memcpy(g_widen.dst.data(), g_widen.copy.data(), g_widen.dst.size()); });
    RegisterWiden("widen/sdl", [] {
        SDL_ConvertPixels(kW, kH, SDL_PIXELFORMAT_BGR24, g_widen.src.data(), kW * 3,
                          SDL_PIXELFORMAT_XRGB8888, g_widen.dst.data(), kW * 4);
    });
}

void PrintAlignment(World& w)
{
    void* texels[2] = {};
    int pitch = 0;
    Peer* peers[2] = {&w.pixman, &w.sdl};
    for (int i = 0; i < 2; ++i)
        if (SDL_LockTexture(peers[i]->texture, nullptr, &texels[i], &pitch) == 0)
            SDL_UnlockTexture(peers[i]->texture);
    std::printf("offsets within a 4 KiB page: our back buffer %d; pixman frame %d, texture %d; SDL "
                "frame %d, "
                "texture %d; background %d\n",
                PageOffset(w.screen->GetDibPixels()), PageOffset(w.pixman.frame.get()),
                PageOffset(texels[0]), PageOffset(w.sdl.frame.get()), PageOffset(texels[1]),
                PageOffset(w.bg.get()));
}

// Microseconds (median repetition) of one column.
struct Side {
    double flush = 0, present = 0, whole = 0, lo = 0, hi = 0;
};

Side SideOf(const bench::SpreadReporter& r, const std::string& name)
{
    const bench::Measured& m = r.Get(name);
    Side s;
    auto counter = [&](const char* c) {
        auto it = m.counters.find(c);
        return it == m.counters.end() ? 0.0 : it->second.median / 1e3;
    };
    s.flush = counter("flush_ns");
    s.present = counter("present_ns");
    s.whole = m.cpuNs.median / 1e3;
    s.lo = m.cpuNs.min / 1e3;
    s.hi = m.cpuNs.max / 1e3;
    return s;
}

double Ratio(double peer, double ours)
{
    return ours > 0 && peer > 0 ? peer / ours : 0.0;
}

void PrintTable(const bench::SpreadReporter& r)
{
    std::printf("\nMicroseconds per frame, median of %d repetitions (of whole 64-frame cycles); "
                "flush+upload\n"
                "and the present timed apart inside each frame, 'whole' the frame with both "
                "(spread: fastest\n"
                "and slowest repetition). Ratios are peer / ours (> 1: we are faster).\n",
                kRepetitions);
    bench::PrintClockHeader("at the end of the run");
    std::printf("%-6s | %8s %7s %8s %17s | %8s %8s %8s | %8s %8s %8s | %7s %6s %6s %6s\n",
                "sprites", "ours", "per spr", "present", "whole (spread)", "pixman", "present",
                "whole", "SDL", "present", "whole", "memcpy", "vs px", "vs SDL", "faster");
    for (const std::string& scene : g_order) {
        if (scene.rfind("static", 0) == 0)
            continue;
        const Side o = SideOf(r, scene + "/ours"), p = SideOf(r, scene + "/pixman"),
                   s = SideOf(r, scene + "/sdl"), m = SideOf(r, scene + "/memcpy");
        const double n = double(g_worlds[scene]->SpriteCount());
        const double faster = std::min(p.flush, s.flush);
        char spread[32];
        std::snprintf(spread, sizeof spread, "%.0f (%.0f-%.0f)", o.whole, o.lo, o.hi);
        std::printf("%7.0f | %8.1f %7.3f %8.1f %17s | %8.1f %8.1f %8.1f | %8.1f %8.1f %8.1f | "
                    "%7.1f %6.2f %6.2f %6.2f\n",
                    n, o.flush, o.flush / n, o.present, spread, p.flush, p.present, p.whole,
                    s.flush, s.present, s.whole, m.flush, Ratio(p.flush, o.flush),
                    Ratio(s.flush, o.flush), Ratio(faster, o.flush));
    }
    std::printf(
        "Ratios compare flush+upload; with the present added on every side (whole frames):\n");
    for (const std::string& scene : g_order) {
        if (scene.rfind("static", 0) == 0)
            continue;
        const Side o = SideOf(r, scene + "/ours"), p = SideOf(r, scene + "/pixman"),
                   s = SideOf(r, scene + "/sdl");
        std::printf("  %-14s whole frame: pixman / ours %.2f, SDL / ours %.2f\n", scene.c_str(),
                    Ratio(p.whole, o.whole), Ratio(s.whole, o.whole));
    }
    for (const char* count : {"1000", "10000"}) {
        const Side st = SideOf(r, std::string("static ") + count + "/ours");
        const Side mv = SideOf(r, std::string("moving ") + count + "/ours");
        if (st.whole > 0 && mv.flush > 0)
            std::printf("static %s clips (nothing changed): %.1f us, %.2f%% of the moving frame's "
                        "flush+upload "
                        "(%.2f%% of the whole frame), %.1f ns per clip\n",
                        count, st.whole, 100 * st.whole / mv.flush, 100 * st.whole / mv.whole,
                        st.whole * 1e3 / std::atof(count));
    }
    std::printf("Targets: 1,000 sprites at least 1.5x the faster peer, 10 at least 1.2x, 10,000 at "
                "least 1.5x SDL;\n"
                "static under 2%% of the moving frame at 1,000 and 10,000 clips.\n");
    const double ours = r.Get("widen/ours").cpuNs.median, mem = r.Get("widen/memcpy").cpuNs.median,
                 sdl = r.Get("widen/sdl").cpuNs.median;
    if (ours > 0 && mem > 0 && sdl > 0)
        std::printf("\nWidening a whole frame to 32 bits (%s): ours %.1f us, memcpy of the %d "
                    "bytes %.1f us, "
                    "SDL_ConvertPixels %.1f us;\nours / memcpy %.2f (target at most 1.30), SDL / "
                    "ours %.2f\n",
                    platform::BestConvertIsa() == platform::ConvertIsa::Avx2    ? "AVX2"
                    : platform::BestConvertIsa() == platform::ConvertIsa::Ssse3 ? "SSSE3"
                                                                                : "scalar",
                    ours / 1e3, kW * kH * 4, mem / 1e3, sdl / 1e3, ours / mem, sdl / ours);
}

} // namespace

int main(int argc, char** argv)
{
    bench::InitializeInterleaved(argc, argv);
    bench::PrintClockHeader("at the start of the run");
    if (!OpenScreen()) {
        std::fprintf(stderr, "bench_render: no window (%s)\n", SDL_GetError());
        return 1;
    }
    for (int count : {10, 100, 1000, 3000, 10000})
        g_order.push_back("moving " + std::to_string(count));
    g_order.push_back("static 1000");
    g_order.push_back("static 10000");
    for (const std::string& scene : g_order) {
        const bool moving = scene.rfind("moving", 0) == 0;
        const int count = std::atoi(scene.c_str() + scene.find(' ') + 1);
        g_worlds[scene] = MakeWorld(count, moving);
        World& w = *g_worlds[scene];
        Record(w);
        Calibrate(w);
        if (moving)
            CompareWorld(scene, w);
        Register(scene, "ours", OurFrame, OurPresent);
        if (moving) {
            Register(scene, "pixman", PixmanFrame, PixmanPresent);
            Register(scene, "sdl", SdlFrame, SdlPresent);
            Register(scene, "memcpy", MemcpyFrame, nullptr);
        }
    }
    PrintAlignment(*g_worlds[g_order.front()]);
    RegisterWidening();
    bench::SpreadReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintTable(reporter);
    g_worlds.clear();
    g_screen.window.reset();
    benchmark::Shutdown();
    return 0;
}
