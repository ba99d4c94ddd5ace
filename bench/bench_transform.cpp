// Rotated and scaled draws: the drawable image (GBitmapClip) against pixman's affine transform
// in one run. The same 256x256 picture, turned and scaled the same way, is drawn into an
// 800x600 target:
//   direct   GBitmapClip::Draw without buffer: bilinear through the inverse mapping, blended
//            with the global alpha into the 24-bit target;
//   cubic    the buffered clip's cubic render into its buffer (an update whose angle changed);
//   pixman   pixman_image_composite32 OVER with a solid mask (the global alpha), the source
//            a8r8g8b8 with PIXMAN_FILTER_BILINEAR and the same inverse mapping, the target
//            x8r8g8b8 (pixman at its best: 32-bit target, its SIMD paths on).
// Megapixels per second of target area covered, fastest of the rounds (ours and pixman's
// alternating) by the CPU time of the thread, then ratios ours/pixman (> 1: we are faster).
// Run pinned:
//   taskset -c 7 build/bench/bench_transform

#include <benchmark/benchmark.h>

#include <pixman.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_stats.h"
#include "foundation/image/bitmap.h"
#include "graphics/animation/bitmap_clip.h"
#include "graphics/store/bitmap_table.h"

namespace {

constexpr int kSrc = 256, kDstW = 800, kDstH = 600;
constexpr uint8_t kAlpha = 200;
constexpr int kRepetitions = 7;

struct Transform {
    int angle;
    int scale;
    const char* name;
};
constexpr Transform kTransforms[] = {{30, 256, "30deg/x1"},
                                     {137, 256, "137deg/x1"},
                                     {30, 384, "30deg/x1.5"},
                                     {300, 170, "300deg/x0.66"}};

class OneImage : public GBitmapTable {
public:
    std::unique_ptr<GBitmap> image;
    GBitmap* GetBitmap(int32_t slot) const override { return slot == 0 ? image.get() : nullptr; }
    int32_t GetSlotCount() const override { return 1; }
};

struct PixmanDeleter {
    void operator()(pixman_image_t* p) const { pixman_image_unref(p); }
};
using PixmanImage = std::unique_ptr<pixman_image_t, PixmanDeleter>;

struct Setup {
    OneImage table;
    std::unique_ptr<GBitmap> target;
    std::vector<uint32_t> argb, xrgb;
    PixmanImage pxSource, pxTarget, pxAlpha;
    std::map<std::string, double> pixels, rates;
};
Setup* g_setup = nullptr;

void MakeSetup(Setup& s)
{
    std::mt19937 rng(7);
    s.table.image = GBitmap::Create(kSrc, kSrc, 0, 2);
    uint8_t* p = s.table.image->GetPixels();
    uint8_t* m = s.table.image->GetAlpha();
    s.argb.resize(kSrc * kSrc);
    for (int i = 0; i < kSrc * kSrc; ++i) {
        p[3 * i] = uint8_t(rng()), p[3 * i + 1] = uint8_t(rng()), p[3 * i + 2] = uint8_t(rng());
        // Opaque inside a soft-edged disc, transparent outside: a typical sprite.
        const int x = i % kSrc - kSrc / 2, y = i / kSrc - kSrc / 2;
        const int r = x * x + y * y;
        m[i] = r < 110 * 110 ? 0 : (r < 120 * 120 ? 128 : 255);
        const uint32_t a = 255 - m[i];
        s.argb[i] = a << 24 | (p[3 * i + 2] * a / 255) << 16 | (p[3 * i + 1] * a / 255) << 8 |
                    (p[3 * i] * a / 255);
    }
    s.target = GBitmap::Create(kDstW, kDstH, 0, 0);
    s.xrgb.assign(size_t(kDstW) * kDstH, 0x00406080);
    for (int i = 0; i < kDstW * kDstH * 3; ++i)
        s.target->GetPixels()[i] = uint8_t(rng());
    s.pxSource.reset(
        pixman_image_create_bits(PIXMAN_a8r8g8b8, kSrc, kSrc, s.argb.data(), kSrc * 4));
    s.pxTarget.reset(
        pixman_image_create_bits(PIXMAN_x8r8g8b8, kDstW, kDstH, s.xrgb.data(), kDstW * 4));
    const pixman_color_t alpha{0, 0, 0, uint16_t(kAlpha * 257)};
    s.pxAlpha.reset(pixman_image_create_solid_fill(&alpha));
    pixman_image_set_filter(s.pxSource.get(), PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(s.pxSource.get(), PIXMAN_REPEAT_NONE);
}

GBitmapClip& ClipFor(const Transform& t)
{
    static GBitmapClip clip;
    clip.SetResources(&g_setup->table);
    clip.SetVisible(true);
    clip.SetAlpha(kAlpha);
    clip.SetPosition((kDstW / 2) << 8, (kDstH / 2) << 8);
    clip.SetBuffered(false);
    clip.SetCubic(false);
    clip.SetAngle(t.angle);
    clip.SetScale(t.scale);
    clip.Update();
    return clip;
}

double Area(const GRect& r)
{
    return double(r.Width()) * r.Height();
}

void Direct(benchmark::State& state, const Transform& t, const std::string& key)
{
    GBitmapClip& clip = ClipFor(t);
    for (auto _ : state)
        clip.Draw(g_setup->target.get(), nullptr);
    g_setup->pixels[key] = Area(clip.GetRect());
}

void Cubic(benchmark::State& state, const Transform& t, const std::string& key)
{
    GBitmapClip& clip = ClipFor(t);
    clip.SetBuffered(true);
    clip.SetCubic(true);
    clip.Update();
    int flip = 0;
    for (auto _ : state) {
        clip.SetAngle(t.angle + (flip ^= 1)); // a new angle: the buffer is rendered again
        clip.Update();
    }
    const GRect& b = clip.GetBounds();
    g_setup->pixels[key] = double(b.right - b.left) * (b.bottom - b.top);
}

void Pixman(benchmark::State& state, const Transform& t, const std::string& key)
{
    GBitmapClip& clip = ClipFor(t);
    const GRect& r = clip.GetRect();
    const GRect& b = clip.GetBounds();
    const int64_t hw = clip.GetHalfWidth(), hh = clip.GetHalfHeight();
    const int64_t a = clip.GetMapA(), bb = clip.GetMapB(), c = clip.GetMapC(), d = clip.GetMapD();
    // Target pixel (i, j) of the rectangle -> the same source position as the clip's walk.
    const int64_t X0 = b.left - hw, Y0 = b.top - hh;
    pixman_transform_t m;
    pixman_transform_init_identity(&m);
    m.matrix[0][0] = pixman_fixed_t(a);
    m.matrix[0][1] = pixman_fixed_t(-c);
    m.matrix[0][2] = pixman_fixed_t(a * X0 - c * Y0 + hw * 65536);
    m.matrix[1][0] = pixman_fixed_t(d);
    m.matrix[1][1] = pixman_fixed_t(bb);
    m.matrix[1][2] = pixman_fixed_t(d * X0 + bb * Y0 + hh * 65536);
    pixman_image_set_transform(g_setup->pxSource.get(), &m);
    for (auto _ : state)
        pixman_image_composite32(PIXMAN_OP_OVER, g_setup->pxSource.get(), g_setup->pxAlpha.get(),
                                 g_setup->pxTarget.get(), 0, 0, 0, 0, r.left, r.top, r.Width(),
                                 r.Height());
    g_setup->pixels[key] = Area(r);
}

class RateReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            const std::string name = run.run_name.function_name;
            const double ns = run.GetAdjustedCPUTime(); // registered in nanoseconds
            if (ns > 0 && g_setup->pixels.count(name))
                g_setup->rates[name] =
                    std::max(g_setup->rates[name], g_setup->pixels[name] / ns * 1e3);
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Setup setup;
    g_setup = &setup;
    MakeSetup(setup);
    // Rounds of every measurement in turn, so that ours and pixman's alternate under the same
    // conditions; the table keeps each one's fastest round.
    for (int round = 0; round < kRepetitions; ++round)
        for (const Transform& t : kTransforms) {
            using Run = void (*)(benchmark::State&, const Transform&, const std::string&);
            const std::pair<const char*, Run> kinds[] = {
                {"direct", Direct}, {"pixman", Pixman}, {"cubic", Cubic}};
            for (auto [kind, fn] : kinds) {
                const std::string key = std::string(t.name) + "/" + kind;
                benchmark::RegisterBenchmark(key.c_str(), [t, key, fn = fn](benchmark::State& st) {
                    fn(st, t, key);
                })->Unit(benchmark::kNanosecond);
            }
        }
    bench::PrintClockHeader("at the start of the run");
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    bench::PrintClockHeader("at the end of the run");
    std::printf(
        "\nMegapixels per second (fastest of %d) and ratios ours/pixman (> 1: we are faster)\n",
        kRepetitions);
    std::printf("%-14s %9s %9s %9s %12s %12s\n", "transform", "direct", "cubic", "pixman",
                "direct/px", "cubic/px");
    for (const Transform& t : kTransforms) {
        const std::string n = t.name;
        const double direct = setup.rates[n + "/direct"], cubic = setup.rates[n + "/cubic"];
        const double px = setup.rates[n + "/pixman"];
        std::printf("%-14s %9.1f %9.1f %9.1f %12.2f %12.2f\n", t.name, direct, cubic, px,
                    px > 0 ? direct / px : 0.0, px > 0 ? cubic / px : 0.0);
    }
    benchmark::Shutdown();
    return 0;
}
