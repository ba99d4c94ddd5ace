// Text against SDL_ttf, in one run: glyphs per second of GTtfFont::RenderText (into an image,
// and into a new pool image) and of GBmpText::SetText plus one flush of its clips (each
// visible clip drawn by the kernel of its draw mode into an 800x600 24-bit surface, as the
// render-list flush draws it), against SDL_ttf's blended rendering of the same string at the
// same size (TTF_RenderUTF8_Blended, a new ARGB surface each time, as its users call it;
// and that surface blitted onto a 32-bit 800x600 surface, SDL's fastest target).
// The font is DejaVu Sans at 16 points, 96 dpi on both sides.
//
// Ours and SDL_ttf's runs are interleaved at random and repeated; the table takes the median
// repetition of each and prints the fastest and slowest beside it, timed by one clock on both
// sides (the CPU time of the thread; the machine may be shared). Pin it to one core:
//   taskset -c 7 bench_text

#include <benchmark/benchmark.h>

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_stats.h"
#include "foundation/image/bitmap.h"
#include "graphics/blit/kernels.h"
#include "graphics/fonts/bmp_font.h"
#include "graphics/fonts/bmp_text.h"
#include "graphics/fonts/ttf_font.h"
#include "graphics/store/bitmap_pool.h"
#include "graphics/store/bitmap_store_reader.h"
#include "graphics/store/graphics_resources.h"

namespace {

const char* const kFacePath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int kPoints = 16;
const char* const kText = "The quick brown fox jumps over the lazy dog, 0123456789!";
constexpr int kRepetitions = 9;

struct Scene {
    std::unique_ptr<GGraphicsResources> store;
    GTtfFont ttf;
    std::unique_ptr<GBitmap> image;  // format 2, RenderText's destination
    std::unique_ptr<GBitmap> screen; // 800x600 24-bit, the bitmap text's flush target
    std::unique_ptr<GBmpFont> fonts[2];
    std::unique_ptr<GBmpText> texts[2];
    TTF_Font* sdlFont = nullptr;
    SDL_Surface* sdlScreen = nullptr;
};
Scene* g_scene = nullptr;
bench::SpreadReporter g_reporter;

// A bitmap-font sheet of the text's characters rendered by our TrueType font: row 1 the
// marker row, the glyphs below; format 2 keeps the colours, format 12 stores 255 - coverage
// as the index byte.
std::unique_ptr<GBmpFont> MakeBitmapFont(Scene& s, uint8_t format)
{
    std::u16string symbols;
    std::vector<const GBitmap*> glyphs;
    std::vector<int16_t> pool;
    for (const char* p = kText; *p; ++p) {
        const char16_t c = char16_t(*p);
        if (c == u' ' || symbols.find(c) != std::u16string::npos)
            continue;
        const int16_t slot = s.ttf.DrawTextW(GWString(std::u16string(1, c).c_str()), nullptr,
                                             kPoints, 0xF0E0C0, 0, 0);
        if (slot < 0)
            continue;
        symbols.push_back(c);
        glyphs.push_back(s.store->GetBitmap(slot));
        pool.push_back(int16_t(slot - s.store->GetLoadedSlots()));
    }
    int width = 0, rows = 0;
    for (const GBitmap* g : glyphs) {
        width += g->GetWidth() + 1;
        rows = std::max<int>(rows, g->GetHeight());
    }
    const int height = rows + 2;
    // Format 12 has no mask of its own kind: the sheet is handed one.
    std::unique_ptr<GBitmap> sheet = GBitmap::CreateOnNewBlocks(
        int16_t(width), int16_t(height), 0, format, nullptr,
        format == 12 ? GPixelBlock::Create(uint32_t(width) * (height + 1) + 1, nullptr) : nullptr);
    const int bpp = format == 12 ? 1 : 3;
    std::memset(sheet->GetPixels(), 1, size_t(width) * height * bpp);
    std::memset(sheet->GetAlpha(), 255, size_t(width) * height);
    int x = 0;
    for (const GBitmap* g : glyphs) {
        for (int y = 0; y < g->GetHeight(); ++y)
            for (int i = 0; i < g->GetWidth(); ++i) {
                const uint8_t m = g->GetAlpha()[y * g->GetWidth() + i];
                sheet->GetAlpha()[(y + 2) * width + x + i] = m;
                uint8_t* d = sheet->GetPixels() + ((y + 2) * width + x + i) * bpp;
                if (format == 12)
                    *d = m;
                else
                    std::memcpy(d, g->GetPixels() + (y * g->GetWidth() + i) * 3, 3);
            }
        x += g->GetWidth();
        if (format == 12)
            sheet->GetAlpha()[width + x] = 0;
        else
            std::memset(sheet->GetPixels() + (width + x) * 3, 0, 3);
        ++x;
    }
    for (int16_t slot : pool)
        s.store->GetPool()->FreeBitmap(slot);
    auto table = std::make_unique<GBmpFontSymbols>();
    std::vector<int32_t> indexes;
    for (size_t i = 0; i < symbols.size(); ++i)
        indexes.push_back(int32_t(i));
    table->Build(indexes, symbols, u"?");
    return GBmpFont::Create(sheet.get(), s.store.get(), std::move(table));
}

// The flush of one text: every visible clip by its draw mode's kernel.
void Flush(GBmpText& text, GBitmap& target, const GGraphicsResources& store)
{
    for (int16_t i = 0; i < text.GetCharCount(); ++i) {
        const GClip& clip = text.GetClip(i);
        GBlitRule rule{};
        if (!clip.IsVisible() || !BlitRuleForDrawMode(clip.GetDrawMode(), rule))
            continue;
        GBlitArgs args;
        args.alpha = clip.GetAlpha();
        args.table = reinterpret_cast<const uint8_t*>(clip.GetPalette());
        GetBlitKernel(rule, 0)(&target, store.GetBitmap(clip.GetSlot()), int16_t(clip.GetX() >> 8),
                               int16_t(clip.GetY() >> 8), args, nullptr);
    }
}

const int64_t kGlyphs = int64_t(std::strlen(kText));

void OursRenderInto(benchmark::State& state)
{
    const GWString text(kText);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            g_scene->ttf.RenderText(text, g_scene->image.get(), {}, kPoints, 0xFFFFFF, 0, 0));
    state.SetItemsProcessed(state.iterations() * kGlyphs);
}

void OursRenderNew(benchmark::State& state)
{
    const GWString text(kText);
    for (auto _ : state) {
        const int16_t slot = g_scene->ttf.RenderText(text, nullptr, {}, kPoints, 0xFFFFFF, 0, 0);
        g_scene->store->GetPool()->FreeBitmap(int16_t(slot - g_scene->store->GetLoadedSlots()));
    }
    state.SetItemsProcessed(state.iterations() * kGlyphs);
}

void OursBitmapText(benchmark::State& state, int which)
{
    const GWString text(kText);
    GBmpText& t = *g_scene->texts[which];
    for (auto _ : state) {
        t.SetText(text);
        Flush(t, *g_scene->screen, *g_scene->store);
    }
    state.SetItemsProcessed(state.iterations() * kGlyphs);
}

void SdlBlended(benchmark::State& state)
{
    const SDL_Color white{255, 255, 255, 255};
    for (auto _ : state)
        SDL_FreeSurface(TTF_RenderUTF8_Blended(g_scene->sdlFont, kText, white));
    state.SetItemsProcessed(state.iterations() * kGlyphs);
}

void SdlBlendedBlit(benchmark::State& state)
{
    const SDL_Color white{255, 255, 255, 255};
    for (auto _ : state) {
        SDL_Surface* s = TTF_RenderUTF8_Blended(g_scene->sdlFont, kText, white);
        SDL_Rect at{20, 100, 0, 0};
        SDL_BlitSurface(s, nullptr, g_scene->sdlScreen, &at);
        SDL_FreeSurface(s);
    }
    state.SetItemsProcessed(state.iterations() * kGlyphs);
}

// Glyphs per second of the median repetition, or of the fastest or slowest.
double Rate(const char* name, double bench::Spread::*which = &bench::Spread::median)
{
    const double ns = g_reporter.Get(name).cpuNs.*which;
    return ns > 0 ? double(kGlyphs) / ns * 1e9 : 0.0;
}

void PrintTable()
{
    struct Row {
        const char* ours;
        const char* peer;
    };
    // The headline row is like for like: SDL_ttf makes a new surface each call, and so does it.
    const Row rows[] = {{"ttf/RenderText/new image", "sdl_ttf/Blended"},
                        {"ttf/RenderText/into image", "sdl_ttf/Blended"},
                        {"bmp/SetText+flush/format 2", "sdl_ttf/Blended+blit"},
                        {"bmp/SetText+flush/format 12", "sdl_ttf/Blended+blit"}};
    std::printf("\nGlyphs per second (median of %d repetitions) and ratio ours/SDL_ttf (> 1: we "
                "are faster);\n"
                "in brackets the ratio of our slowest repetition to the peer's fastest, and of our "
                "fastest\n"
                "to the peer's slowest.\n",
                kRepetitions);
    bench::PrintClockHeader("at the end of the run");
    std::printf("%-30s %14s %-22s %14s %7s %13s\n", "ours", "glyphs/s", "peer", "glyphs/s", "ratio",
                "(bounds)");
    for (const Row& r : rows) {
        const double o = Rate(r.ours), p = Rate(r.peer);
        const double low = Rate(r.ours, &bench::Spread::max) / Rate(r.peer, &bench::Spread::min);
        const double high = Rate(r.ours, &bench::Spread::min) / Rate(r.peer, &bench::Spread::max);
        std::printf("%-30s %14.0f %-22s %14.0f %7.2f  (%.2f-%.2f)\n", r.ours, o, r.peer, p,
                    p > 0 ? o / p : 0.0, low, high);
    }
    std::printf("Target: the first row (a new image each call on both sides) at least 1.20.\n");
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;

    Scene scene;
    g_scene = &scene;
    scene.store = std::make_unique<GGraphicsResources>();
    GMemorySetSource files;
    files.Add("bmst.bin", {0, 0, 0, 0});
    if (scene.store->TryInit(files, nullptr, 400, 0).Failed() ||
        !scene.ttf.LoadFromFile(kFacePath, 0) || TTF_Init() != 0 ||
        !(scene.sdlFont = TTF_OpenFontDPI(kFacePath, kPoints, 96, 96))) {
        std::fprintf(stderr, "bench_text: cannot set up (%s)\n", kFacePath);
        return 1;
    }
    scene.ttf.SetStore(scene.store.get());
    scene.image = GBitmap::Create(800, 40, 0, 2);
    scene.screen = GBitmap::Create(800, 600, 0, 0);
    scene.sdlScreen = SDL_CreateRGBSurfaceWithFormat(0, 800, 600, 32, SDL_PIXELFORMAT_XRGB8888);
    const uint8_t formats[2] = {2, 12};
    for (int i = 0; i < 2; ++i) {
        scene.fonts[i] = MakeBitmapFont(scene, formats[i]);
        scene.texts[i] = GBmpText::Create(scene.fonts[i].get(), 64);
        scene.texts[i]->SetColor(0xE0C080);
        scene.texts[i]->SetPosition(20 << 8, 100 << 8);
    }

    auto add = [](const char* name, auto fn) {
        bench::AddSpreadStatistics(benchmark::RegisterBenchmark(name, fn)
                                       ->Repetitions(kRepetitions)
                                       ->MinTime(0.1)
                                       ->ReportAggregatesOnly(true));
    };
    add("ttf/RenderText/into image", OursRenderInto);
    add("ttf/RenderText/new image", OursRenderNew);
    add("bmp/SetText+flush/format 2", [](benchmark::State& s) { OursBitmapText(s, 0); });
    add("bmp/SetText+flush/format 12", [](benchmark::State& s) { OursBitmapText(s, 1); });
    add("sdl_ttf/Blended", SdlBlended);
    add("sdl_ttf/Blended+blit", SdlBlendedBlit);

    bench::PrintClockHeader("at the start of the run");
    benchmark::RunSpecifiedBenchmarks(&g_reporter);
    PrintTable();
    for (auto& text : scene.texts)
        text.reset();
    for (auto& font : scene.fonts)
        font.reset();
    SDL_FreeSurface(scene.sdlScreen);
    TTF_CloseFont(scene.sdlFont);
    TTF_Quit();
    benchmark::Shutdown();
    return 0;
}
