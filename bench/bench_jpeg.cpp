// Decode speed of our JPEG decoder against libjpeg-turbo, with and without its SIMD code, on
// the same streams, in megapixels per second, with the ratios printed at the end.
//
// Both decoders do the same work: sequential Huffman decoding, the accurate integer IDCT, box
// upsampling (libjpeg: do_fancy_upsampling = FALSE) and YCbCr to 24-bit colour conversion,
// the whole picture into one buffer. libjpeg-turbo is also timed with its fast integer IDCT
// (JDCT_IFAST), which its users pick for speed. Before the timing, each stream is decoded once
// by every side and the pictures compared: the largest difference of a byte against ours and
// the share of bytes that differ are printed (the accurate IDCTs round in different orders, so
// a few bytes differ by a little; a wrong stream or a broken decoder shows as large figures).
//
// One clock for every side: the process's CPU time. The sides alternate: each round decodes
// every stream in a fixed order, and for each stream every side in turn, first once to warm
// its tables and caches, then for a timed batch; the best round counts. So no figure depends
// on what ran before it, and all sides share the disturbances of a shared machine. libjpeg-
// turbo reads JSIMD_FORCENONE once per process, so its scalar code is measured in a child run
// of this program with that variable set, alternating with ours there in the same way; the
// ratio against it is the child's. Run it pinned to one core: taskset -c 3 bench_jpeg.
//
// Streams are encoded here with the engine's libjpeg writer at quality 85 from a generated
// picture with smooth areas, edges and texture, so their entropy-coded data resembles a
// photograph's.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "graphics/store/data_source.h"
#include "graphics/jpeg/jpeg_decoder.h"
#include "graphics/jpeg/jpeg_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Case {
    const char* name;
    int width;
    int height;
    int lumaH;
    int lumaV;
};

const Case kCases[] = {
    {"800x600_420", 800, 600, 2, 2},
    {"800x600_444", 800, 600, 1, 1},
    {"800x600_422", 800, 600, 2, 1},
    {"64x64_420", 64, 64, 2, 2},
};

// B, G, R pixels, rows w * 3 bytes apart.
Bytes MakePicture(int w, int h)
{
    Bytes bgr(static_cast<size_t>(w) * h * 3);
    uint32_t seed = 12345;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            seed = seed * 1103515245u + 12345u;
            const double noise = static_cast<double>((seed >> 16) & 0xFF) / 255.0 - 0.5;
            const double sky = 1.0 - static_cast<double>(y) / h;
            const double hills = std::sin(x * 0.013) * 40 + std::sin(x * 0.047 + y * 0.02) * 15;
            const bool ground = y > h / 2 + hills;
            const double texture = std::sin(x * 0.31) * std::cos(y * 0.23) * 18 + noise * 22;
            double r, g, b;
            if (ground) {
                r = 70 + texture;
                g = 120 + texture * 1.2;
                b = 40 + texture * 0.5;
            } else {
                r = 90 + 100 * sky + noise * 6;
                g = 140 + 80 * sky + noise * 6;
                b = 200 + 50 * sky + noise * 6;
            }
            const double dx = x - w * 0.7;
            const double dy = y - h * 0.25;
            if (dx * dx + dy * dy < (w * w) / 400.0) {
                r = 250;
                g = 240;
                b = 180;
            }
            uint8_t* p = &bgr[(static_cast<size_t>(y) * w + x) * 3];
            p[0] = static_cast<uint8_t>(std::fmin(255, std::fmax(0, b)));
            p[1] = static_cast<uint8_t>(std::fmin(255, std::fmax(0, g)));
            p[2] = static_cast<uint8_t>(std::fmin(255, std::fmax(0, r)));
        }
    }
    return bgr;
}

struct LibjpegError {
    jpeg_error_mgr manager;
    jmp_buf jump;
};

void OnLibjpegError(j_common_ptr info)
{
    longjmp(reinterpret_cast<LibjpegError*>(info->err)->jump, 1);
}

Bytes Encode(const Case& c)
{
    JpegEncoding encoding;
    encoding.quality = 85;
    encoding.lumaH = c.lumaH;
    encoding.lumaV = c.lumaV;
    Bytes jpeg;
    EncodeJpeg(MakePicture(c.width, c.height).data(), c.width, c.height, c.width * 3, encoding,
               jpeg);
    return jpeg;
}

const Bytes& Stream(const Case& c)
{
    static std::map<std::string, Bytes> streams;
    Bytes& jpeg = streams[c.name];
    if (jpeg.empty())
        jpeg = Encode(c);
    return jpeg;
}

// libjpeg-turbo decoding the whole picture with the same choices as ours; false on error.
class LibjpegDecoder {
public:
    LibjpegDecoder()
    {
        m_method = JDCT_ISLOW;
        m_info.err = jpeg_std_error(&m_error.manager);
        m_error.manager.error_exit = OnLibjpegError;
        jpeg_create_decompress(&m_info);
    }
    ~LibjpegDecoder() { jpeg_destroy_decompress(&m_info); }

    explicit LibjpegDecoder(J_DCT_METHOD method) : LibjpegDecoder() { m_method = method; }

    bool Decode(const Bytes& jpeg, Bytes& rgb)
    {
        if (setjmp(m_error.jump)) {
            jpeg_abort_decompress(&m_info);
            return false;
        }
        jpeg_mem_src(&m_info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
        jpeg_read_header(&m_info, TRUE);
        m_info.out_color_space = JCS_RGB;
        m_info.do_fancy_upsampling = FALSE;
        m_info.dct_method = m_method;
        jpeg_start_decompress(&m_info);
        const size_t stride = static_cast<size_t>(m_info.output_width) * 3;
        rgb.resize(stride * m_info.output_height);
        m_rows.resize(m_info.output_height);
        for (size_t y = 0; y < m_rows.size(); ++y)
            m_rows[y] = &rgb[y * stride];
        while (m_info.output_scanline < m_info.output_height)
            jpeg_read_scanlines(&m_info, &m_rows[m_info.output_scanline],
                                m_info.output_height - m_info.output_scanline);
        jpeg_finish_decompress(&m_info);
        return true;
    }

private:
    jpeg_decompress_struct m_info{};
    LibjpegError m_error;
    J_DCT_METHOD m_method;
    std::vector<JSAMPROW> m_rows;
};

// The decoders as sides of the comparison: each decodes one stream whole; false on error.
class OursSide {
public:
    explicit OursSide(const Case& c) : m_decoder(GJpegDecoder::Create()), m_bgr(size_t(c.width) * c.height * 3) {}
    bool Decode(const Bytes& jpeg, const Case& c)
    {
        m_source.Init(static_cast<uint32_t>(jpeg.size()), jpeg.data());
        return m_decoder && m_decoder->Begin(&m_source) == 0 && m_decoder->DecodeBgr(m_bgr.data(), c.width * 3) == 0;
    }
    const Bytes& Picture() const { return m_bgr; }

private:
    std::unique_ptr<GJpegDecoder> m_decoder;
    Bytes m_bgr;
    GMemoryDataSource m_source;
};

// What a caller of the line interface does: R, G, B, x to B, G, R.
class OursLinesSide {
public:
    explicit OursLinesSide(const Case& c) : m_decoder(GJpegDecoder::Create()), m_bgr(size_t(c.width) * c.height * 3) {}
    bool Decode(const Bytes& jpeg, const Case&)
    {
        m_source.Init(static_cast<uint32_t>(jpeg.size()), jpeg.data());
        if (!m_decoder || m_decoder->Begin(&m_source) != 0)
            return false;
        const uint8_t* line = nullptr;
        int32_t length = 0;
        uint8_t* out = m_bgr.data();
        int32_t result;
        while ((result = m_decoder->Decode(&line, &length)) == 0) {
            for (int32_t x = 0; x < length / 4; ++x, out += 3) {
                out[0] = line[x * 4 + 2];
                out[1] = line[x * 4 + 1];
                out[2] = line[x * 4 + 0];
            }
        }
        return result == 1;
    }

private:
    std::unique_ptr<GJpegDecoder> m_decoder;
    Bytes m_bgr;
    GMemoryDataSource m_source;
};

template <J_DCT_METHOD Method>
class LibjpegSideOf {
public:
    explicit LibjpegSideOf(const Case&) : m_decoder(Method) {}
    bool Decode(const Bytes& jpeg, const Case&) { return m_decoder.Decode(jpeg, m_rgb); }
    const Bytes& Picture() const { return m_rgb; }

private:
    LibjpegDecoder m_decoder;
    Bytes m_rgb;
};
using LibjpegSide = LibjpegSideOf<JDCT_ISLOW>;
using LibjpegFastSide = LibjpegSideOf<JDCT_IFAST>;

// How far a peer's R, G, B picture lies from our B, G, R one: the largest byte difference
// and the share of bytes that differ; a negative largest difference when either failed.
struct Difference {
    int largest = -1;
    double share = 0;
};

template <class Peer>
Difference CompareWithOurs(const Case& c)
{
    OursSide ours(c);
    Peer peer(c);
    const Bytes& jpeg = Stream(c);
    Difference d;
    if (!ours.Decode(jpeg, c) || !peer.Decode(jpeg, c) || ours.Picture().size() != peer.Picture().size())
        return d;
    const Bytes& a = ours.Picture();
    const Bytes& b = peer.Picture();
    size_t differing = 0;
    d.largest = 0;
    for (size_t i = 0; i < a.size(); i += 3)
        for (int k = 0; k < 3; ++k) {
            const int diff = std::abs(int(a[i + k]) - int(b[i + 2 - k]));
            d.largest = std::max(d.largest, diff);
            differing += diff != 0;
        }
    d.share = a.empty() ? 0 : double(differing) / double(a.size());
    return d;
}

std::map<std::string, Difference> g_differences; // by case, then "/fast" for the fast IDCT

void CompareAll()
{
    for (const Case& c : kCases) {
        g_differences[c.name] = CompareWithOurs<LibjpegSide>(c);
        g_differences[std::string(c.name) + "/fast"] = CompareWithOurs<LibjpegFastSide>(c);
    }
}

constexpr int kRounds = 7;
constexpr double kBatchSeconds = 0.05;

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// Seconds per decode of one side: one warming decode, then a batch of at least kBatchSeconds.
template <class Side>
double TimeBatch(Side& side, const Bytes& jpeg, const Case& c)
{
    if (!side.Decode(jpeg, c))
        return 0;
    int count = 0;
    const double start = CpuSeconds();
    double elapsed = 0;
    do {
        if (!side.Decode(jpeg, c))
            return 0;
        ++count;
        elapsed = CpuSeconds() - start;
    } while (elapsed < kBatchSeconds);
    return elapsed / count;
}

// Best seconds per decode, by side name and case name; a side that failed keeps 0.
using Timings = std::map<std::string, double>;

std::string Key(const char* side, const Case& c) { return std::string(side) + "/" + c.name; }

// Rounds over the cases in fixed order, the sides in turn for each.
template <class... Sides>
Timings Measure(const std::vector<const char*>& names)
{
    Timings best;
    for (int round = 0; round < kRounds; ++round) {
        for (const Case& c : kCases) {
            const Bytes& jpeg = Stream(c);
            size_t i = 0;
            auto run = [&](auto side) {
                const double seconds = TimeBatch(side, jpeg, c);
                double& kept = best[Key(names[i++], c)];
                if (seconds > 0 && (kept == 0 || seconds < kept))
                    kept = seconds;
            };
            (run(Sides(c)), ...);
        }
    }
    return best;
}

Timings g_timings;

void SetRate(benchmark::State& state, const Case& c)
{
    state.counters["MP/s"] = benchmark::Counter(static_cast<double>(c.width) * c.height * 1e-6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

// Reports a measured time through the benchmark library's tables.
void BM_Measured(benchmark::State& state, std::string key, const Case& c)
{
    const double seconds = g_timings[key];
    if (seconds <= 0) {
        state.SkipWithError("decode or child run failed");
        return;
    }
    for (auto _ : state)
        state.SetIterationTime(seconds);
    SetRate(state, c);
}

std::string g_self;

// The child's timings (ours and libjpeg-turbo without SIMD, alternating), read back from its
// output of "name seconds" lines.
void MeasureNoSimdInChild()
{
    const std::filesystem::path out =
        std::filesystem::temp_directory_path() / ("bench_jpeg_nosimd_" + std::to_string(std::rand()) + ".txt");
    const std::string command = "JSIMD_FORCENONE=1 '" + g_self + "' --nosimd-child > '" + out.string() + "'";
    if (std::system(command.c_str()) == 0) {
        std::ifstream in(out);
        std::string name;
        double seconds = 0;
        while (in >> name >> seconds)
            g_timings[name] = seconds;
    }
    std::error_code ignored;
    std::filesystem::remove(out, ignored);
}

int RunNoSimdChild()
{
    const Timings timings = Measure<OursSide, LibjpegSide>({"OursNoSimdRun", "LibjpegNoSimd"});
    for (const auto& [name, seconds] : timings)
        std::printf("%s %.9g\n", name.c_str(), seconds);
    return 0;
}

// Collects the rates to print the ratios after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto counter = run.counters.find("MP/s");
            if (counter != run.counters.end() && !run.error_occurred)
                m_rates[run.run_name.function_name] = counter->second.value;
        }
    }
    void PrintRatios() const
    {
        std::printf("\nMP/s (best of %d alternating rounds, CPU time) and ratios (ours / peer; above 1 means\n"
                    "ours is faster). turbo: libjpeg-turbo with SIMD, accurate IDCT; turbo-fast: the same with\n"
                    "its fast IDCT; turbo-C: accurate without SIMD, against our decoder timed in the same child\n"
                    "run. Targets: vs turbo at least 1.05, vs fast at least 1.00 at 800x600.\n",
                    kRounds);
        std::printf("%-12s %7s %8s %7s %7s %7s %8s %8s %8s %11s %11s\n", "stream", "ours", "ourlines", "turbo",
                    "t-fast", "turbo-C", "vs turbo", "vs fast", "vs t-C", "max diff", "fast diff");
        for (const Case& c : kCases) {
            const double ours = Rate("Ours", c);
            const double lines = Rate("OursLines", c);
            const double simd = Rate("Libjpeg", c);
            const double fast = Rate("LibjpegFast", c);
            const double scalar = Rate("LibjpegNoSimd", c);
            const double oursChild = Rate("OursNoSimdRun", c);
            auto diff = [](const std::string& key) {
                const Difference d = g_differences[key];
                char text[32];
                if (d.largest < 0)
                    std::snprintf(text, sizeof text, "failed");
                else
                    std::snprintf(text, sizeof text, "%d (%.1f%%)", d.largest, 100.0 * d.share);
                return std::string(text);
            };
            std::printf("%-12s %7.1f %8.1f %7.1f %7.1f %7.1f %8.2f %8.2f %8.2f %11s %11s\n", c.name, ours, lines,
                        simd, fast, scalar, simd > 0 ? ours / simd : 0.0, fast > 0 ? ours / fast : 0.0,
                        scalar > 0 ? oursChild / scalar : 0.0, diff(c.name).c_str(),
                        diff(std::string(c.name) + "/fast").c_str());
        }
    }

private:
    double Rate(const char* kind, const Case& c) const
    {
        auto found = m_rates.find(Key(kind, c));
        return found == m_rates.end() ? 0 : found->second;
    }
    std::map<std::string, double> m_rates;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "--nosimd-child")
        return RunNoSimdChild();

    std::error_code error;
    g_self = std::filesystem::canonical("/proc/self/exe", error).string();
    if (error)
        g_self = argv[0];

    benchmark::Initialize(&argc, argv);
    CompareAll();
    g_timings = Measure<OursSide, OursLinesSide, LibjpegSide, LibjpegFastSide>(
        {"Ours", "OursLines", "Libjpeg", "LibjpegFast"});
    MeasureNoSimdInChild();
    for (const Case& c : kCases)
        for (const char* side : {"Ours", "OursLines", "Libjpeg", "LibjpegFast", "OursNoSimdRun", "LibjpegNoSimd"})
            benchmark::RegisterBenchmark(Key(side, c).c_str(), BM_Measured, Key(side, c), c)->UseManualTime();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
