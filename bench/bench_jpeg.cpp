// Decode speed of our JPEG decoder against libjpeg-turbo, with and without its SIMD code, on
// the same streams, in megapixels per second, with the ratios printed at the end.
//
// Both decoders do the same work: sequential Huffman decoding, the accurate integer IDCT, box
// upsampling (libjpeg: do_fancy_upsampling = FALSE) and YCbCr to 24-bit colour conversion,
// the whole picture into one buffer. libjpeg-turbo reads JSIMD_FORCENONE once per process, so
// its scalar code is measured in a child run of this program started with that variable set;
// the child prints seconds per decode and the parent reports them as manual times.
//
// Machines running other work make single timings noisy: every measurement is repeated and
// the best repetition is compared (the child does the same).
//
// Streams are encoded here with the engine's libjpeg writer at quality 85 from a generated
// picture with smooth areas, edges and texture, so their entropy-coded data resembles a
// photograph's.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
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
        m_info.err = jpeg_std_error(&m_error.manager);
        m_error.manager.error_exit = OnLibjpegError;
        jpeg_create_decompress(&m_info);
    }
    ~LibjpegDecoder() { jpeg_destroy_decompress(&m_info); }

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
        m_info.dct_method = JDCT_ISLOW;
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
    std::vector<JSAMPROW> m_rows;
};

void SetRate(benchmark::State& state, const Case& c)
{
    state.counters["MP/s"] = benchmark::Counter(static_cast<double>(c.width) * c.height * 1e-6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Ours(benchmark::State& state, const Case& c)
{
    const Bytes& jpeg = Stream(c);
    auto decoder = GJpegDecoder::Create();
    Bytes bgr(static_cast<size_t>(c.width) * c.height * 3);
    GMemoryDataSource source;
    for (auto _ : state) {
        source.Init(static_cast<uint32_t>(jpeg.size()), jpeg.data());
        if (decoder->Begin(&source) != 0 || decoder->DecodeBgr(bgr.data(), c.width * 3) != 0) {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(bgr.data());
        benchmark::ClobberMemory();
    }
    SetRate(state, c);
}

void BM_OursLines(benchmark::State& state, const Case& c)
{
    const Bytes& jpeg = Stream(c);
    auto decoder = GJpegDecoder::Create();
    Bytes bgr(static_cast<size_t>(c.width) * c.height * 3);
    GMemoryDataSource source;
    for (auto _ : state) {
        source.Init(static_cast<uint32_t>(jpeg.size()), jpeg.data());
        decoder->Begin(&source);
        const uint8_t* line = nullptr;
        int32_t length = 0;
        uint8_t* out = bgr.data();
        // What a caller of the line interface does: R, G, B, x to B, G, R.
        while (decoder->Decode(&line, &length) == 0) {
            for (int32_t x = 0; x < length / 4; ++x, out += 3) {
                out[0] = line[x * 4 + 2];
                out[1] = line[x * 4 + 1];
                out[2] = line[x * 4 + 0];
            }
        }
        benchmark::DoNotOptimize(bgr.data());
        benchmark::ClobberMemory();
    }
    SetRate(state, c);
}

void BM_Libjpeg(benchmark::State& state, const Case& c)
{
    const Bytes& jpeg = Stream(c);
    LibjpegDecoder decoder;
    Bytes rgb;
    for (auto _ : state) {
        if (!decoder.Decode(jpeg, rgb)) {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(rgb.data());
        benchmark::ClobberMemory();
    }
    SetRate(state, c);
}

std::string g_self;

// Seconds per decode of libjpeg-turbo's scalar code, measured by a child run; 0 when the
// child could not be run.
double NoSimdSecondsPerDecode(const Case& c)
{
    static std::map<std::string, double> measured;
    auto found = measured.find(c.name);
    if (found != measured.end())
        return found->second;
    const std::filesystem::path out =
        std::filesystem::temp_directory_path() / ("bench_jpeg_nosimd_" + std::to_string(std::rand()) + ".txt");
    const std::string command = "JSIMD_FORCENONE=1 '" + g_self + "' --nosimd-child " + c.name + " > '" +
                                out.string() + "'";
    double seconds = 0;
    if (std::system(command.c_str()) == 0) {
        std::ifstream in(out);
        in >> seconds;
    }
    std::error_code ignored;
    std::filesystem::remove(out, ignored);
    measured[c.name] = seconds;
    return seconds;
}

void BM_LibjpegNoSimd(benchmark::State& state, const Case& c)
{
    const double seconds = NoSimdSecondsPerDecode(c);
    if (seconds <= 0) {
        state.SkipWithError("child run failed");
        return;
    }
    for (auto _ : state)
        state.SetIterationTime(seconds);
    SetRate(state, c);
}

// The child: decode the case for about a second, print the best seconds per decode of a few
// rounds (the least disturbed by other work on the machine).
int RunNoSimdChild(const char* name)
{
    for (const Case& c : kCases) {
        if (std::string(name) != c.name)
            continue;
        const Bytes& jpeg = Stream(c);
        LibjpegDecoder decoder;
        Bytes rgb;
        double best = 1e9;
        for (int round = 0; round < 5; ++round) {
            int count = 0;
            const auto start = std::chrono::steady_clock::now();
            double elapsed = 0;
            do {
                if (!decoder.Decode(jpeg, rgb))
                    return 1;
                ++count;
                elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            } while (elapsed < 0.2);
            best = std::min(best, elapsed / count);
        }
        std::printf("%.9g\n", best);
        return 0;
    }
    return 1;
}

// Collects the rates to print the ratios after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto counter = run.counters.find("MP/s");
            if (counter != run.counters.end() && !run.error_occurred && run.aggregate_name == "best")
                m_rates[run.benchmark_name()] = counter->second.value;
        }
    }
    void PrintRatios() const
    {
        std::printf("\nMP/s and ratios (ours / peer; above 1 means ours is faster)\n");
        std::printf("%-14s %9s %9s %9s %9s %10s %10s\n", "stream", "ours", "ourlines", "turbo", "turbo-C",
                    "vs turbo", "vs turbo-C");
        for (const Case& c : kCases) {
            const double ours = Rate("Ours", c);
            const double lines = Rate("OursLines", c);
            const double simd = Rate("Libjpeg", c);
            const double scalar = Rate("LibjpegNoSimd", c);
            std::printf("%-14s %9.1f %9.1f %9.1f %9.1f %10.2f %10.2f\n", c.name, ours, lines, simd, scalar,
                        simd > 0 ? ours / simd : 0.0, scalar > 0 ? ours / scalar : 0.0);
        }
    }

private:
    double Rate(const char* kind, const Case& c) const
    {
        for (const auto& [name, rate] : m_rates)
            if (name.rfind(std::string(kind) + "/" + c.name, 0) == 0)
                return rate;
        return 0;
    }
    std::map<std::string, double> m_rates;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--nosimd-child")
        return RunNoSimdChild(argv[2]);

    std::error_code error;
    g_self = std::filesystem::canonical("/proc/self/exe", error).string();
    if (error)
        g_self = argv[0];

    // The best repetition: the highest rate for the MP/s counter, the least time otherwise.
    const auto best = [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); };
    for (const Case& c : kCases) {
        const std::string name = c.name;
        for (auto* b : {benchmark::RegisterBenchmark(("Ours/" + name).c_str(), BM_Ours, c),
                        benchmark::RegisterBenchmark(("OursLines/" + name).c_str(), BM_OursLines, c),
                        benchmark::RegisterBenchmark(("Libjpeg/" + name).c_str(), BM_Libjpeg, c),
                        benchmark::RegisterBenchmark(("LibjpegNoSimd/" + name).c_str(), BM_LibjpegNoSimd, c)
                            ->UseManualTime()})
            b->Repetitions(5)->ReportAggregatesOnly(true)->ComputeStatistics("best", best);
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
