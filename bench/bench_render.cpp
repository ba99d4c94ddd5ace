// One whole frame, the render-list flush (GClipContainer::RedrawDirty into the 800x600 back
// buffer) and the present of what it changed into the window's texture, against the same
// frame composited by pixman and by SDL2's blitter and uploaded by each, and against memcpy
// of the bytes the flush writes, in one run. Scenes:
//   static    1,000 sprites, nothing moves: the placement pass alone
//   ten       10 moving sprites over a full-screen background
//   thousand  1,000 moving 32x32 to 64x64 sprites, half masked, half colour-keyed
// Every iteration is one frame of a 64-frame cycle. The peers replay our frames: for each dirty
// rectangle of the frame the background part, then every sprite whole, as our flush does. Each
// peer at its best: 32-bit targets; pixman premultiplied ARGB with OVER; SDL with RLE for the
// keyed (colour key) and the masked (per-pixel alpha) sprites; ours with the run tables the
// bitmap store prepares for every image it makes. memcpy copies the same areas
// row by row at 3 bytes per pixel.
// Present: every side uploads the same area, the rectangle our flush returns (the union of
// the frame's dirty rectangles, which the application presents), into a streaming texture of
// the window renderer's own 32-bit format: ours through the window (locked, widened from the
// 24-bit back buffer by the engine), the peers with SDL_UpdateTexture from their 32-bit
// frames. Showing the texture costs every side the same and is left out. Beside the frames,
// the widening of a whole 800x600 frame against memcpy of the 1.92 MB it writes, and against
// SDL_ConvertPixels. Repetitions of all sides are interleaved at random; the table takes each
// side's fastest repetition. Run pinned: taskset -c 2 bench_render (SDL's dummy video driver
// unless SDL_VIDEODRIVER says otherwise).

#include <benchmark/benchmark.h>

#include <SDL.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

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
using Pixman = std::unique_ptr<pixman_image_t, PixmanUnref>;
using Surface = std::unique_ptr<SDL_Surface, SdlFree>;

// The window every side presents into, and the peers' texture in the renderer's format.
struct Screen {
    std::unique_ptr<platform::Window> window;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* peerTexture = nullptr;
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
    Uint32 format = SDL_PIXELFORMAT_XRGB8888;
    for (Uint32 i = 0; i < info.num_texture_formats; ++i)
        if (SDL_BITSPERPIXEL(info.texture_formats[i]) == 32 &&
            SDL_BYTESPERPIXEL(info.texture_formats[i]) == 4) {
            format = info.texture_formats[i];
            break;
        }
    g_screen.peerTexture =
        SDL_CreateTexture(g_screen.renderer, format, SDL_TEXTUREACCESS_STREAMING, kW, kH);
    std::printf("renderer %s, texture format %s\n", info.name, SDL_GetPixelFormatName(format));
    return g_screen.peerTexture != nullptr;
}

void PeerPresent(const uint32_t* bits, const GRect& r)
{
    if (r.right < r.left || r.bottom < r.top)
        return;
    const SDL_Rect rect{r.left, r.top, r.Width(), r.Height()};
    SDL_UpdateTexture(g_screen.peerTexture, &rect, bits + r.top * kW + r.left, kW * 4);
}

struct Sprite {
    int slot;
    std::vector<uint32_t> argb; // premultiplied, for pixman; SDL reads the same words
    Pixman px;
    Surface sdl;
};

struct World {
    Table table;
    std::vector<Sprite> sprites; // by image: slot 1 + index
    std::vector<std::unique_ptr<GClip>> clips;
    std::vector<std::vector<std::pair<int, int>>> path; // per clip, per frame
    std::unique_ptr<GClipArray> list = GClipArray::Create(2048);
    std::unique_ptr<GRectArray> dirty = GRectArray::Create(10000);
    std::unique_ptr<GDibSurface> screen{GDibSurface::Create(kW, kH, 24)};
    std::unique_ptr<GClipContainer> container;
    std::vector<std::vector<GRect>> frames; // our dirty rectangles, per frame
    std::vector<GRect> presented;           // what the flush returned, per frame
    std::vector<uint32_t> pxDstBits = std::vector<uint32_t>(kW * kH),
                          bgBits = std::vector<uint32_t>(kW * kH);
    Pixman pxDst, pxBg;
    Surface sdlDst, sdlBg;
    std::vector<uint8_t> memSrc = std::vector<uint8_t>(kW * kH * 3),
                         memDst = std::vector<uint8_t>(kW * kH * 3);
    int frame = 0;

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
    s.argb.resize(size_t(size) * size);
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
            s.argb[size_t(y) * size + x] = uint32_t(cover) << 24 | pre(16) | pre(8) | pre(0);
        }
    s.px.reset(pixman_image_create_bits(PIXMAN_a8r8g8b8, size, size, s.argb.data(), size * 4));
    if (keyed) {
        s.sdl.reset(SDL_CreateRGBSurfaceWithFormat(0, size, size, 32, SDL_PIXELFORMAT_XRGB8888));
        for (int i = 0; i < size * size; ++i)
            static_cast<uint32_t*>(s.sdl->pixels)[i] =
                s.argb[i] >> 24 ? s.argb[i] & 0xFFFFFF : kKey;
        SDL_SetColorKey(s.sdl.get(), SDL_TRUE, kKey);
    } else {
        s.sdl.reset(SDL_CreateRGBSurfaceWithFormatFrom(s.argb.data(), size, size, 32, size * 4,
                                                       SDL_PIXELFORMAT_ARGB8888));
        SDL_SetSurfaceBlendMode(s.sdl.get(), SDL_BLENDMODE_BLEND);
    }
    SDL_SetSurfaceRLE(s.sdl.get(), 1);
    // As the bitmap store prepares every image it makes.
    PrepareBlitRuns(*image);
    s.slot = int(w.table.images.size());
    w.table.images.push_back(std::move(image));
    w.sprites.push_back(std::move(s));
}

std::unique_ptr<World> MakeWorld(int count, bool moving)
{
    std::mt19937 rng(17);
    auto w = std::make_unique<World>();
    std::unique_ptr<GBitmap> bg(GBitmap::Create(kW, kH, 0, 0));
    for (int i = 0; i < kW * kH; ++i) {
        uint8_t* p = bg->GetPixels() + i * 3;
        p[0] = uint8_t(i), p[1] = uint8_t(i / kW), p[2] = uint8_t(i * 7 / kW);
        w->bgBits[i] = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
    std::memcpy(w->memSrc.data(), bg->GetPixels(), w->memSrc.size());
    w->table.images.push_back(std::move(bg));
    for (int i = 0; i < 32; ++i)
        MakeSprite(*w, 32 + i, i % 2 != 0, rng);
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
    w->pxDst.reset(pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, w->pxDstBits.data(), kW * 4));
    w->pxBg.reset(pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, w->bgBits.data(), kW * 4));
    w->sdlDst.reset(SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 32, SDL_PIXELFORMAT_XRGB8888));
    w->sdlBg.reset(SDL_CreateRGBSurfaceWithFormatFrom(w->bgBits.data(), kW, kH, 32, kW * 4,
                                                      SDL_PIXELFORMAT_XRGB8888));
    SDL_SetSurfaceBlendMode(w->sdlBg.get(), SDL_BLENDMODE_NONE);
    return w;
}

bool OurFlush(World& w, int f, GRect& io)
{
    for (size_t i = 0; i + 1 < w.clips.size(); ++i)
        w.clips[i + 1]->SetPosition(w.path[i][f].first * 256, w.path[i][f].second * 256);
    io = GRect{0, 0, kW - 1, kH - 1};
    return w.container->RedrawDirty(io, 0, 0) != 0;
}

// As the application presents: the back buffer locked, the returned rectangle uploaded.
void OurFrame(World& w, int f)
{
    GRect io;
    if (!OurFlush(w, f, io))
        return;
    const uint8_t* pixels = w.screen->Lock();
    g_screen.window->Upload(pixels, kW, kH, w.screen->GetPitch(), io.left, io.top, io.right,
                            io.bottom);
    w.screen->Unlock();
}

// Two cycles: the second's dirty rectangles are what every later cycle produces.
void Record(World& w)
{
    for (int f = 0; f < 2 * kFrames; ++f) {
        GRect io;
        const bool drawn = OurFlush(w, f % kFrames, io);
        if (f >= kFrames) {
            std::vector<GRect> rects;
            for (int i = 0; i < w.dirty->GetCount(); ++i)
                rects.push_back(w.dirty->GetAt(i));
            w.frames.push_back(rects);
            // As the application presents it: cut to the back buffer.
            const GRect screen{0, 0, kW - 1, kH - 1};
            if (!drawn || !IntersectRects(io, io, screen))
                io = GRect{0, 0, -1, -1};
            w.presented.push_back(io);
        }
    }
}

void PixmanFrame(World& w, int f)
{
    for (const GRect& d : w.frames[f])
        pixman_image_composite32(PIXMAN_OP_SRC, w.pxBg.get(), nullptr, w.pxDst.get(), d.left, d.top,
                                 0, 0, d.left, d.top, d.Width(), d.Height());
    if (w.frames[f].empty())
        return;
    for (size_t i = 0; i + 1 < w.clips.size(); ++i) {
        const GRect r = w.SpriteRect(i, f);
        pixman_image_composite32(PIXMAN_OP_OVER, w.SpriteOf(i).px.get(), nullptr, w.pxDst.get(), 0,
                                 0, 0, 0, r.left, r.top, r.Width(), r.Height());
    }
    PeerPresent(w.pxDstBits.data(), w.presented[f]);
}

void SdlFrame(World& w, int f)
{
    for (const GRect& d : w.frames[f]) {
        SDL_Rect src{d.left, d.top, d.Width(), d.Height()}, dst = src;
        SDL_BlitSurface(w.sdlBg.get(), &src, w.sdlDst.get(), &dst);
    }
    if (w.frames[f].empty())
        return;
    for (size_t i = 0; i + 1 < w.clips.size(); ++i) {
        const GRect r = w.SpriteRect(i, f);
        SDL_Rect dst{r.left, r.top, r.Width(), r.Height()};
        SDL_BlitSurface(w.SpriteOf(i).sdl.get(), nullptr, w.sdlDst.get(), &dst);
    }
    PeerPresent(static_cast<const uint32_t*>(w.sdlDst->pixels), w.presented[f]);
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

void MemcpyFrame(World& w, int f)
{
    for (const GRect& d : w.frames[f])
        CopyArea(w, d);
    if (w.frames[f].empty())
        return;
    for (size_t i = 0; i + 1 < w.clips.size(); ++i)
        CopyArea(w, w.SpriteRect(i, f));
}

std::map<std::string, std::unique_ptr<World>> g_worlds;
std::map<std::string, double> g_ns; // fastest ns per frame, by benchmark name

void Register(const std::string& scene, const std::string& side, void (*frame)(World&, int))
{
    World* w = g_worlds[scene].get();
    bench::RegisterRepeated(scene + "/" + side, [w, frame] {
        frame(*w, w->frame);
        w->frame = (w->frame + 1) % kFrames;
    });
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
    bench::RegisterRepeated(name, run);
}

void RegisterWidening()
{
    for (size_t i = 0; i < g_widen.src.size(); ++i)
        g_widen.src[i] = uint8_t(i * 7 + i / 4096);
    RegisterWiden("widen/ours", [] {
        platform::ConvertRows24To32(g_widen.src.data(), kW * 3, g_widen.dst.data(), kW * 4, kW, kH,
                                    platform::PixelOrder32::Bgrx);
    });
    RegisterWiden("widen/memcpy", [] {
        std::memcpy(g_widen.dst.data(), g_widen.copy.data(), g_widen.dst.size());
    });
    RegisterWiden("widen/sdl", [] {
        SDL_ConvertPixels(kW, kH, SDL_PIXELFORMAT_BGR24, g_widen.src.data(), kW * 3,
                          SDL_PIXELFORMAT_XRGB8888, g_widen.dst.data(), kW * 4);
    });
}

void PrintTable()
{
    std::printf("\nMicroseconds per whole frame, flush and present (fastest repetition), and frames per\n"
                "second; ratios are peer time / ours (> 1: we are faster) and ours / memcpy floor (the\n"
                "flush's bytes, no present).\n");
    std::printf("%-9s %9s %9s %9s %9s %9s %11s %9s %9s\n", "scene", "ours us", "fps", "pixman",
                "SDL", "memcpy", "vs faster", "vs floor", "rects");
    for (const char* scene : {"static", "ten", "thousand"}) {
        const std::string s = scene;
        const double ours = g_ns[s + "/ours"] / 1e3, px = g_ns[s + "/pixman"] / 1e3,
                     sdl = g_ns[s + "/sdl"] / 1e3, mem = g_ns[s + "/memcpy"] / 1e3;
        const double faster = px > 0 && sdl > 0 ? std::min(px, sdl) : std::max(px, sdl);
        size_t rects = 0;
        for (const auto& f : g_worlds[s]->frames)
            rects += f.size();
        std::printf("%-9s %9.1f %9.0f %9.1f %9.1f %9.1f %11.2f %9.2f %9.1f\n", scene, ours,
                    ours > 0 ? 1e6 / ours : 0.0, px, sdl, mem,
                    ours > 0 && faster > 0 ? faster / ours : 0.0, mem > 0 ? ours / mem : 0.0,
                    double(rects) / kFrames);
    }
    const double st = g_ns["static/ours"], th = g_ns["thousand/ours"];
    if (st > 0 && th > 0)
        std::printf("static (1,000 clips, nothing changed) costs %.2f%% of thousand\n",
                    100.0 * st / th);
    std::printf("Targets: thousand at least 1.5x the faster peer, ten at least 1.2x; static "
                "under 2%% of thousand.\n");
    const double ours = g_ns["widen/ours"], mem = g_ns["widen/memcpy"], sdl = g_ns["widen/sdl"];
    if (ours > 0 && mem > 0 && sdl > 0)
        std::printf("\nWidening a whole frame to 32 bits (%s): ours %.1f us, memcpy of the %d bytes "
                    "%.1f us, SDL_ConvertPixels %.1f us;\nours / memcpy %.2f (target at most 1.30), "
                    "SDL / ours %.2f\n",
                    platform::BestConvertIsa() == platform::ConvertIsa::Avx2    ? "AVX2"
                    : platform::BestConvertIsa() == platform::ConvertIsa::Ssse3 ? "SSSE3"
                                                                                : "scalar",
                    ours / 1e3, kW * kH * 4, mem / 1e3, sdl / 1e3, ours / mem, sdl / ours);
}

} // namespace

int main(int argc, char** argv)
{
    bench::InitializeInterleaved(argc, argv);
    if (!OpenScreen()) {
        std::fprintf(stderr, "bench_render: no window (%s)\n", SDL_GetError());
        return 1;
    }
    g_worlds["static"] = MakeWorld(1000, false);
    g_worlds["ten"] = MakeWorld(10, true);
    g_worlds["thousand"] = MakeWorld(1000, true);
    for (auto& [name, world] : g_worlds) {
        Record(*world);
        Register(name, "ours", OurFrame);
        if (name != "static") {
            Register(name, "pixman", PixmanFrame);
            Register(name, "sdl", SdlFrame);
            Register(name, "memcpy", MemcpyFrame);
        }
    }
    RegisterWidening();
    bench::FastestReporter reporter([](const std::string& name, double, double realNs) { g_ns[name] = realNs; });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintTable();
    g_worlds.clear();
    SDL_DestroyTexture(g_screen.peerTexture);
    g_screen.window.reset();
    benchmark::Shutdown();
    return 0;
}
