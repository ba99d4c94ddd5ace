// The JPEG decoder against libjpeg-turbo on pictures encoded here, bit for bit against it on
// transposed streams built here, against golden checksums of its own output, and through
// each of its ways of handing out a picture; its IDCT and colour kernels on their own.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/image/bitmap.h"
#include "graphics/jpeg/jpeg_colour.h"
#include "graphics/jpeg/jpeg_idct.h"
#include "graphics/jpeg/jpeg_writer.h"
#include "support/jpeg_test_streams.h"
#include "support/reference_kernels.h"
#include "support/temp_files.h"

using namespace jpeg_test;

namespace {

// Hands out a few bytes per call, as a slow file would; once `good` bytes are out it fails
// (after < 0) or stalls (after == 0) instead.
class SlowSource : public GDataSource {
public:
    SlowSource(const Bytes& data, uint32_t seed, size_t good = SIZE_MAX, int32_t after = 0)
        : m_data(data), m_lcg{seed}, m_good(std::min(good, data.size())), m_after(after) {}
    int32_t Read(uint8_t* buffer, int32_t size, bool* end) override
    {
        *end = m_position == m_data.size();
        if (m_position >= m_good)
            return m_good == m_data.size() ? 0 : m_after;
        int32_t count = static_cast<int32_t>(1 + m_lcg.Next() % 7);
        count = std::min({count, size, static_cast<int32_t>(m_good - m_position)});
        std::memcpy(buffer, m_data.data() + m_position, static_cast<size_t>(count));
        m_position += static_cast<size_t>(count);
        *end = m_position == m_data.size();
        return count;
    }

private:
    const Bytes& m_data;
    Lcg m_lcg;
    size_t m_good;
    int32_t m_after;
    size_t m_position = 0;
};

} // namespace

// --- Data source

TEST(JpegDataSource, MemorySourceCopiesInPiecesAndReportsTheEnd)
{
    const uint8_t data[5] = {1, 2, 3, 4, 5};
    GMemoryDataSource source;
    source.Init(5, data);
    uint8_t buffer[8] = {};
    bool end[4] = {true, false, false, false};
    const int32_t three = source.Read(buffer, 3, &end[0]), two = source.Read(buffer + 3, 8, &end[1]);
    const int32_t none = source.Read(buffer, 8, &end[2]);
    EXPECT_EQ(std::tuple(three, end[0], two, end[1], none, end[2]), std::tuple(3, false, 2, true, 0, true));
    EXPECT_EQ(0, std::memcmp(buffer, data, 5));
    GMemoryDataSource empty;
    empty.Init(100, nullptr);
    EXPECT_EQ(empty.Read(buffer, 8, &end[3]) + source.Read(buffer, -4, &end[2]), 0);
    EXPECT_TRUE(end[3]);
}

// --- Against libjpeg-turbo

TEST(JpegDecoder, MatchesLibjpegOnEverySamplingAndOddSizes)
{
    struct Case {
        const char* name;
        int components, lumaH, lumaV, w, h;
    };
    const Case cases[] = {
        {"444_17x17", 3, 1, 1, 17, 17},   {"422_17x17", 3, 2, 1, 17, 17},
        {"420_17x17", 3, 2, 2, 17, 17},   {"12_17x17", 3, 1, 2, 17, 17},
        {"grey_17x17", 1, 1, 1, 17, 17},  {"420_1x1", 3, 2, 2, 1, 1},
        {"422_33x9", 3, 2, 1, 33, 9},     {"12_9x33", 3, 1, 2, 9, 33},
        {"420_64x64", 3, 2, 2, 64, 64},   {"444_100x75", 3, 1, 1, 100, 75},
        {"420_301x199", 3, 2, 2, 301, 199}, {"grey_130x7", 1, 1, 1, 130, 7},
    };
    for (const Case& c : cases) {
        const EncodeOptions options{.components = c.components, .lumaH = c.lumaH, .lumaV = c.lumaV};
        const Bytes jpeg = EncodeWithLibjpeg(MakePicture(c.w, c.h, 7), c.w, c.h, options);
        ExpectCloseToLibjpeg(jpeg, c.name);
    }
}

TEST(JpegDecoder, MatchesLibjpegWithRestartsQualitiesAndWideTables)
{
    const Bytes rgb = MakePicture(161, 97, 3);
    for (int interval : {1, 3, 7, 50})
        ExpectCloseToLibjpeg(EncodeWithLibjpeg(rgb, 161, 97, {.restartInterval = interval}), "restart" + std::to_string(interval));
    for (int quality : {10, 50, 95, 100})
        ExpectCloseToLibjpeg(EncodeWithLibjpeg(rgb, 161, 97, {.quality = quality}), "quality" + std::to_string(quality));
    // Quality 2 without the baseline limit needs 16-bit quantisation tables (an SOF1 frame).
    const Bytes wide = EncodeWithLibjpeg(rgb, 161, 97, {.quality = 2, .forceBaseline = false});
    bool hasWideTable = false;
    for (size_t i = 0; i + 4 < wide.size(); ++i)
        if (wide[i] == 0xFF && wide[i + 1] == 0xDB && (wide[i + 4] >> 4) == 1)
            hasWideTable = true;
    EXPECT_TRUE(hasWideTable);
    ExpectCloseToLibjpeg(wide, "wide_tables");
}

// libjpeg runs its IDCT column first, ours row first: on a transposed stream libjpeg does
// exactly our arithmetic, so the pictures must agree bit for bit (box upsampling and colour
// conversion are the same too).
TEST(JpegDecoder, BuiltStreamsEqualLibjpegOnTheTransposedStream)
{
    struct Case {
        const char* name;
        BuiltPicture picture;
        uint32_t golden;  // FNV-1a of our B, G, R output
    };
    const Case cases[] = {
        {"built_420", {48, 40, 2, 2, 3, 0, 11, 24}, 0xc920f81au},
        {"built_444_restart", {40, 24, 1, 1, 3, 2, 12, 30}, 0x3e0bf0du},
        {"built_422_odd", {33, 17, 2, 1, 3, 0, 13, 24}, 0x96caa8e8u},
        {"built_12_restart", {17, 33, 1, 2, 3, 5, 14, 40}, 0x2bbda71eu},
        {"built_grey", {23, 19, 1, 1, 1, 3, 15, 50}, 0x374712b7u},
        {"built_420_flat", {64, 48, 2, 2, 3, 4, 16, 2}, 0x47d93b59u},
    };
    for (const Case& c : cases) {
        const Bytes jpeg = BuildStream(c.picture, false);
        const Ours ours = DecodeBgr(jpeg);
        ASSERT_EQ(ours.result, 0) << c.name << " error " << ours.error;
        EXPECT_EQ(Fnv1a(ours.bgr), c.golden) << c.name << std::hex << " 0x" << Fnv1a(ours.bgr);

        Bytes reference;
        int components = 0;
        ASSERT_TRUE(DecodeWithLibjpeg(BuildStream(c.picture, true), reference, components)) << c.name;
        const int w = ours.width, h = ours.height;
        ASSERT_EQ(reference.size(), static_cast<size_t>(w) * h * components);
        int differing = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int ch = 0; ch < 3; ++ch)
                    differing += ours.bgr[(static_cast<size_t>(y) * w + x) * 3 + 2 - ch] !=
                                 reference[(static_cast<size_t>(x) * h + y) * components + (components == 1 ? 0 : ch)];
        EXPECT_EQ(differing, 0) << c.name;
    }
}

// --- The line interface and the ways of delivering a picture

TEST(JpegDecoder, LinesEqualTheBgrPictureForEverySampling)
{
    const int sampling[][2] = {{1, 1}, {2, 1}, {1, 2}, {2, 2}};
    for (const auto& f : sampling) {
        // Every line holds width x 4 bytes (checked inside DecodeLines); then the end, for good.
        BuiltPicture picture{37, 29, f[0], f[1], 3, 3, 21, 30};
        const Bytes jpeg = BuildStream(picture, false);
        const Ours ours = DecodeBgr(jpeg);
        Bytes lines;
        int32_t last = 0;
        auto decoder = GJpegDecoder::Create();
        ASSERT_EQ(DecodeLines(jpeg, lines, last, decoder.get()), 29);
        EXPECT_EQ(std::tuple(decoder->GetBytesPerPixel(), last, decoder->Decode(nullptr, nullptr)),
                  std::tuple(4, 1, 1));
        ASSERT_EQ(lines.size(), size_t{37} * 29 * 4);
        for (size_t i = 0; i < size_t{37} * 29 * 4; ++i) // the fourth byte never written, zero from the start
            ASSERT_EQ(lines[i], i % 4 == 3 ? 0 : ours.bgr[i / 4 * 3 + 2 - i % 4]) << f[0] << "x" << f[1] << " byte " << i;
    }
    // Greyscale lines are one byte a pixel; the BGR picture repeats it in all three.
    const Bytes grey = BuildStream(BuiltPicture{19, 11, 1, 1, 1, 0, 22, 30}, false);
    const Ours ours = DecodeBgr(grey);
    Bytes lines;
    int32_t last = 0;
    ASSERT_EQ(DecodeLines(grey, lines, last), 11);
    ASSERT_EQ(lines.size(), size_t{19} * 11);
    for (size_t i = 0; i < lines.size() * 3; ++i)
        ASSERT_EQ(ours.bgr[i], lines[i / 3]) << i;
}

TEST(JpegDecoder, OneDecoderDecodesPictureAfterPictureAndRecoversFromErrors)
{
    const Bytes a = BuildStream(BuiltPicture{24, 16, 2, 2, 3, 0, 31, 20}, false);
    const Bytes b = BuildStream(BuiltPicture{9, 30, 1, 1, 1, 2, 32, 20}, false);
    // libjpeg's tables differ from the built streams': each picture must use its own.
    const Bytes c = EncodeWithLibjpeg(MakePicture(21, 13, 4), 21, 13, EncodeOptions{});
    Bytes bad = a;
    bad[FindMarker(bad, 0xC0) + 4] = 12;  // precision
    auto decoder = GJpegDecoder::Create();
    const Bytes* sequence[] = {&a, &bad, &b, &c, &a, &bad, &c, &a};
    for (const Bytes* jpeg : sequence) {
        Bytes lines;
        int32_t last = 0;
        const int32_t count = DecodeLines(*jpeg, lines, last, decoder.get());
        if (jpeg == &bad) {
            EXPECT_EQ(std::tuple(last, decoder->GetError(), decoder->Decode(nullptr, nullptr)),
                      std::tuple(-1, kJpegErrPrecision, -1));
            continue;
        }
        Bytes fresh;
        int32_t freshLast = 0;
        EXPECT_EQ(count, DecodeLines(*jpeg, fresh, freshLast));
        EXPECT_TRUE(lines == fresh && decoder->GetError() == 0);
    }
    auto unused = GJpegDecoder::Create();
    EXPECT_EQ(unused->Decode(nullptr, nullptr), -1);
}

TEST(JpegDecoder, ReaderForwardsAndBitmapsAreFilled)
{
    const Bytes jpeg = BuildStream(BuiltPicture{20, 10, 2, 1, 3, 0, 41, 20}, false);
    const Ours ours = DecodeBgr(jpeg);

    auto reader = GJpegReader::Create();
    ASSERT_TRUE(reader && reader->GetDecoder());
    GMemoryDataSource source(jpeg.data(), static_cast<uint32_t>(jpeg.size()));
    ASSERT_EQ(reader->Begin(&source), 0);
    int32_t lines = 0;
    const uint8_t* line = nullptr;
    int32_t length = 0;
    while (reader->Decode(&line, &length) == 0)
        ++lines;
    EXPECT_EQ(lines, 10);
    reader->Close();
    EXPECT_TRUE(!reader->GetDecoder() && reader->Begin(&source) == -1);

    // Into a larger 24-bit bitmap: the top-left corner, rows at the bitmap's pitch.
    std::unique_ptr<GBitmap> bitmap(GBitmap::Create(23, 12, 0, 0));
    ASSERT_TRUE(bitmap && bitmap->GetPixels());
    auto decoder = GJpegDecoder::Create();
    source.Init(static_cast<uint32_t>(jpeg.size()), jpeg.data());
    ASSERT_EQ(decoder->Begin(&source), 0);
    ASSERT_EQ(decoder->DecodeInto(*bitmap), 0);
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(0, std::memcmp(bitmap->GetPixels() + y * bitmap->GetPitch(), &ours.bgr[y * 60], 60)) << y;

    // Too small, palettised, or called once lines were taken: refused, nothing written.
    std::unique_ptr<GBitmap> small(GBitmap::Create(19, 10, 0, 0));
    std::unique_ptr<GBitmap> palettised(GBitmap::Create(32, 32, 0, 16));
    source.Init(static_cast<uint32_t>(jpeg.size()), jpeg.data());
    ASSERT_EQ(decoder->Begin(&source), 0);
    EXPECT_EQ(decoder->DecodeInto(*small) + decoder->DecodeInto(*palettised), -2);
    Bytes buffer(600, 0x5A);
    EXPECT_EQ(decoder->DecodeBgr(buffer.data(), 59), -1);
    ASSERT_EQ(decoder->Decode(&line, &length), 0);
    EXPECT_EQ(decoder->DecodeBgr(buffer.data(), 60), -1);
    EXPECT_EQ(buffer, Bytes(600, 0x5A));
}

TEST(JpegDecoder, SlowSourcesGiveTheSamePictureAndBrokenOnesAnError)
{
    const Bytes jpeg = EncodeWithLibjpeg(MakePicture(90, 70, 9), 90, 70, {.restartInterval = 2});
    const Ours reference = DecodeBgr(jpeg);
    for (uint32_t seed = 1; seed <= 3; ++seed) {
        SlowSource source(jpeg, seed);
        auto decoder = GJpegDecoder::Create();
        ASSERT_EQ(decoder->Begin(&source), 0);
        Bytes bgr(reference.bgr.size());
        ASSERT_EQ(decoder->DecodeBgr(bgr.data(), 270), 0);
        EXPECT_EQ(bgr, reference.bgr);
    }
    const size_t scan = FindMarker(jpeg, 0xDA);
    for (int32_t after : {-1, 0})
        for (size_t good : {size_t{100}, scan + 200}) {
            SlowSource source(jpeg, 1, good, after);
            auto decoder = GJpegDecoder::Create();
            const int32_t begin = decoder->Begin(&source);
            Bytes bgr(reference.bgr.size());
            const int32_t result = begin == 0 ? decoder->DecodeBgr(bgr.data(), 270) : -1;
            // A read error is reported as such, however far the decoder got; a source that
            // stops delivering is a stream that ended: the picture is whole past the scan.
            if (after < 0)
                EXPECT_EQ(std::tuple(result, decoder->GetError()), std::tuple(-1, kJpegErrRead));
            else
                EXPECT_EQ(good > scan ? result : begin, good > scan ? 0 : -1) << good;
        }
}

// --- The arithmetic kernels on their own

TEST(JpegDecoder, ColourConversionClampsBothWays)
{
    GJpegColourTables tables;
    tables.Build();
    // Cr 126: red = y - 3; Cr 132: red = y + 6.
    const uint8_t y[2] = {0, 254}, cb[2] = {128, 128}, cr[2] = {126, 132};
    uint8_t out[6] = {};
    GJpegConvertRows<GJpegBgrPixel, 1, false>(tables, y, nullptr, cb, cr, out, nullptr, 2);
    EXPECT_EQ(std::tuple(out[2], out[5], tables.crRed[126], tables.crRed[132]), std::tuple(0, 255, -3, 6));
    // Neutral chroma leaves grey alone.
    const uint8_t grey[2] = {77, 200}, neutral[2] = {128, 128};
    GJpegConvertRows<GJpegBgrPixel, 1, false>(tables, grey, nullptr, neutral, neutral, out, nullptr, 2);
    EXPECT_EQ(Bytes(out, out + 6), (Bytes{77, 77, 77, 200, 200, 200}));
}

// The fast IDCT (SSE2 where built for it, with short cuts for sparse blocks) must give
// exactly the bytes of the plain scalar transform on any input, including blocks whose
// intermediate values leave 16 bits; and the transform must be accurate.
TEST(JpegDecoder, InverseDctIsAccurateAndItsFastPathsAreExact)
{
    Lcg lcg{5};
    double worstError = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        alignas(16) int16_t block[64] = {};
        const int last = static_cast<int>(lcg.Next() % 64);
        const int kind = trial % 10;  // 0: full 16-bit range, 1: large, else: ordinary
        for (int k = 0; k <= last; ++k) {
            if (lcg.Next() % 3 == 0 && k != last)
                continue;
            const int range = kind == 0 ? 32768 : kind == 1 ? 4096 : (k == 0 ? 1024 : 300 / (1 + k / 4));
            block[kJpegZigzag[k]] = static_cast<int16_t>(static_cast<int>((lcg.Next() << 15 | lcg.Next()) % (2 * range)) - range);
        }
        if (trial < 64)
            std::fill(block, block + 64, static_cast<int16_t>(trial & 1 ? 32767 : -32768));
        const int coded = trial < 64 ? 63 : last;
        uint8_t fast[8 * 10] = {}, shortCut[8 * 10] = {}, full[8 * 10] = {};
        GJpegInverseDct(block, coded, fast, 10);
        GJpegInverseDctScalar(block, coded, shortCut, 10);
        GJpegInverseDctScalar(block, 63, full, 10);
        for (int r = 0; r < 8; ++r) {
            ASSERT_EQ(0, std::memcmp(fast + r * 10, full + r * 10, 8)) << "trial " << trial << " row " << r;
            ASSERT_EQ(0, std::memcmp(shortCut + r * 10, full + r * 10, 8)) << "trial " << trial << " row " << r;
        }
        if (kind < 2 || trial < 64)
            continue;
        // Against the exact transform in double precision.
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                double sum = 0;
                for (int v = 0; v < 8; ++v)
                    for (int u = 0; u < 8; ++u)
                        sum += (u ? 1.0 : std::sqrt(0.5)) * (v ? 1.0 : std::sqrt(0.5)) * block[v * 8 + u] *
                               std::cos((2 * x + 1) * u * M_PI / 16) * std::cos((2 * y + 1) * v * M_PI / 16);
                const double exact = std::min(255.0, std::max(0.0, sum / 4 + 128));
                worstError = std::max(worstError, std::abs(exact - full[y * 10 + x]));
            }
    }
    EXPECT_LE(worstError, 1.0);
}

// The decoder's instruction-set paths against its scalar ones: colour conversion with box
// upsampling, the inverse DCT, and whole pictures, each in every set the processor has.
namespace {

class JpegIsa : public reference::KernelIsaTest {
protected:
    // What the scalar code makes of the same call.
    template <class Fn>
    auto Scalar(Fn fn)
    {
        const GKernelIsa isa = GetKernelIsa();
        SetKernelIsa(GKernelIsa::Scalar);
        auto result = fn();
        SetKernelIsa(isa);
        return result;
    }
};

template <class Pixel, int H, bool kTwoRows>
Bytes Convert(const GJpegColourTables& t, const Bytes& in, int width)
{
    // Luma rows at 0 and 128, chroma at 256 and 384; outputs keep a guard past the row.
    Bytes out(2 * 300, 0x5A);
    GJpegConvertRows<Pixel, H, kTwoRows>(t, &in[0], &in[128], &in[256], &in[384], &out[0], &out[300], width);
    return out;
}

TEST_P(JpegIsa, ColourConversionMatchesTheTables)
{
    GJpegColourTables tables;
    tables.Build();
    std::mt19937 rng(3);
    Bytes in(512);
    for (int width = 1; width <= 70; ++width) {
        for (auto& b : in) // extremes as often as not, to reach the clamp
            b = uint8_t(rng() % 3 == 0 ? (rng() & 1) * 255 : rng());
        auto check = [&](auto convert) {
            const Bytes fast = convert();
            EXPECT_EQ(fast, Scalar(convert)) << "width " << width;
        };
        check([&] { return Convert<GJpegBgrPixel, 2, true>(tables, in, width); });
        check([&] { return Convert<GJpegBgrPixel, 2, false>(tables, in, width); });
        check([&] { return Convert<GJpegBgrPixel, 1, true>(tables, in, width); });
        check([&] { return Convert<GJpegRgbxPixel, 1, false>(tables, in, width); });
        check([&] { return Convert<GJpegRgbxPixel, 2, true>(tables, in, width); });
    }
}

TEST_P(JpegIsa, InverseDctMatchesTheScalarPasses)
{
    std::mt19937 rng(8);
    for (int trial = 0; trial < 5000; ++trial) {
        alignas(16) int16_t block[64] = {};
        const int last = int(rng() % 64);
        const int range = trial % 7 == 0 ? 32768 : trial % 7 == 1 ? 4096 : 400;
        for (int k = 0; k <= last; ++k)
            block[kJpegZigzag[k]] = int16_t(int(rng() % (2 * range)) - range);
        uint8_t fast[64], slow[64];
        GJpegSelectInverseDct()(block, last, fast, 8);
        GJpegInverseDctScalar(block, 63, slow, 8);
        ASSERT_EQ(0, std::memcmp(fast, slow, 64)) << "trial " << trial;
        // The same block stored column by column, for the transform that reads it so.
        if (const GJpegInverseDctFn transposed = GJpegSelectTransposedInverseDct()) {
            alignas(16) int16_t columns[64] = {};
            for (int k = 0; k <= last; ++k)
                columns[kJpegZigzagTransposed[k]] = block[kJpegZigzag[k]];
            uint8_t fromColumns[64];
            transposed(columns, last, fromColumns, 8);
            ASSERT_EQ(0, std::memcmp(fromColumns, slow, 64)) << "transposed, trial " << trial;
        }
    }
}

TEST_P(JpegIsa, PicturesDecodeAlikeInEveryPath)
{
    for (const auto& [h, v] : {std::pair{2, 2}, {1, 1}, {2, 1}, {1, 2}}) {
        const EncodeOptions options{.lumaH = h, .lumaV = v};
        const Bytes jpeg = EncodeWithLibjpeg(MakePicture(77, 45, 11), 77, 45, options);
        const Ours fast = DecodeBgr(jpeg);
        ASSERT_EQ(fast.result, 0);
        EXPECT_EQ(fast.bgr, Scalar([&] { return DecodeBgr(jpeg); }).bgr) << h << "x" << v;
    }
}

INSTANTIATE_TEST_SUITE_P(Isa, JpegIsa, reference::kAllKernelIsas, reference::KernelIsaName);

} // namespace

// The JPEG decoder on streams it must refuse, with the code of each fault, and on streams
// that are cut short or damaged, which must still give every line without leaving the
// picture's memory.

// --- What is refused

TEST(JpegDecoderFaults, ProgressiveArithmeticLosslessAndLateStartsAreRefused)
{
    const Bytes rgb = MakePicture(32, 32, 1);
    const Bytes progressive = EncodeWithLibjpeg(rgb, 32, 32, {.progressive = true});
    auto decoder = GJpegDecoder::Create();
    GMemoryDataSource source(progressive.data(), static_cast<uint32_t>(progressive.size()));
    EXPECT_EQ(decoder->Begin(&source), -1);
    EXPECT_EQ(std::tuple(decoder->IsProgressive(), decoder->GetError(), decoder->Decode(nullptr, nullptr)),
              std::tuple(true, kJpegErrFrameType, -1));
    EXPECT_EQ(ErrorOf(EncodeWithLibjpeg(rgb, 32, 32, {.arithmetic = true})), kJpegErrArithmetic);

    Bytes dac = BuildStream(BuiltPicture{}, false), lossless = dac;
    dac.insert(dac.begin() + 2, {0xFF, 0xCC, 0x00, 0x04, 0x00, 0x11}); // an arithmetic conditioning segment
    EXPECT_EQ(ErrorOf(dac), kJpegErrArithmetic);
    lossless[FindMarker(lossless, 0xC0) + 1] = 0xC3;
    EXPECT_EQ(ErrorOf(lossless), kJpegErrFrameType);

    // The start of the image is searched for over 511 bytes only.
    const Bytes jpeg = BuildStream(BuiltPicture{}, false);
    Bytes late(511, 0x00);
    late[100] = 0xFF;  // an FF that is not followed by D8
    late.insert(late.end(), jpeg.begin(), jpeg.end());
    EXPECT_EQ(DecodeBgr(late).result, 0);
    late.insert(late.begin(), 0x20);
    Bytes noFF = jpeg;
    noFF[2] = 0x00;
    for (const Bytes& refused : {late, Bytes{}, noFF})
        EXPECT_EQ(ErrorOf(refused), kJpegErrNotJpeg) << refused.size();
}

TEST(JpegDecoderFaults, HeaderFaultsAreRefusedWithTheirCodes)
{
    const Bytes good = BuildStream(BuiltPicture{16, 16, 2, 2, 3, 0, 1, 10}, false);
    const size_t sof = FindMarker(good, 0xC0), sos = FindMarker(good, 0xDA);
    const size_t dqt = FindMarker(good, 0xDB), dht = FindMarker(good, 0xC4);
    auto patched = [&](size_t at, std::initializer_list<int> values) {
        Bytes b = good;
        for (int v : values)
            b[at++] = static_cast<uint8_t>(v);
        return b;
    };
    auto inserted = [&](size_t at, Bytes segment) {
        Bytes b = good;
        b.insert(b.begin() + static_cast<ptrdiff_t>(at), segment.begin(), segment.end());
        return b;
    };
    auto dhtSegment = [&](Bytes body) {
        StreamBuilder s;
        s.Segment(0xC4, body);
        return inserted(dht, s.bytes);
    };
    Bytes tooManyCodes{0x01, 0, 0, 0, 0, 0, 0, 0, 128, 128, 0, 0, 0, 0, 0, 0, 0};
    tooManyCodes.resize(17 + 256, 0);
    const std::pair<Bytes, int32_t> cases[] = {
        // Frame header: FF C0, length, precision, height, width, count, then 3 bytes a component.
        {patched(sof + 4, {12}), kJpegErrPrecision},
        {patched(sof + 5, {0, 0}), kJpegErrHeight},
        {patched(sof + 5, {0x20, 0x01}), kJpegErrHeight},
        {patched(sof + 7, {0, 0}), kJpegErrWidth},
        {patched(sof + 9, {5}), kJpegErrComponents},
        {patched(sof + 9, {2}), kJpegErrFrameLength},
        {patched(sof + 2, {0, 14, 8, 0, 16, 0, 16, 2}), kJpegErrComponentCount},
        {patched(sof + 12, {4}), kJpegErrQuantNumber},  // table 4 of 4
        {patched(sof + 14, {0x21}), kJpegErrSampling},  // chroma 2x1
        {patched(sof + 11, {0x31}), kJpegErrSampling},  // luma 3x1
        {patched(sof + 11, {0x02}), kJpegErrSampling},  // luma 0x2
        // Scan header: FF DA, length, count, then id and tables per component.
        {patched(sos + 4, {0}), kJpegErrScanHeader},
        {patched(sos + 2, {0, 10, 2, 1, 0x00, 2, 0x11}), kJpegErrScanHeader},  // Cr missing
        {patched(sos + 5, {9}), kJpegErrScanComponent},
        {patched(sos + 7, {1}), kJpegErrScanComponent},      // Y twice
        {patched(sos + 6, {0x40}), kJpegErrUndefinedHuffman},  // DC table 4
        {patched(sos + 6, {0x02}), kJpegErrUndefinedHuffman},  // AC table 2 unset
        {patched(sof + 12, {3}), kJpegErrUndefinedQuant},
        // Table segments.
        {patched(dqt + 2, {0, 1}), kJpegErrQuantLength},
        {patched(dqt + 4, {4}), kJpegErrQuantNumber},
        {patched(dqt + 2, {0, 66}), kJpegErrQuantTableLength},
        {patched(dht + 4, {0x14}), kJpegErrHuffmanSlot},
        {patched(dht + 2, {0, 30}), kJpegErrHuffmanLength},
        // One byte more than the table it holds.
        {dhtSegment({0x00, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0x00}), kJpegErrHuffmanLength},
        {dhtSegment(tooManyCodes), kJpegErrHuffmanTable},  // 256 codes: more than a table may have
        // Three codes of one bit cannot exist.
        {dhtSegment({0x11, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3}), kJpegErrHuffmanTable},
        // A DC difference of 16 bits or more has no place in 8-bit data.
        {dhtSegment({0x02, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 16}), kJpegErrHuffmanTable},
        // Markers.
        {inserted(2, {0xFF, 0xE1, 0x00, 0x01}), kJpegErrMarkerLength},
        {inserted(2, {0xFF, 0xDD, 0x00, 0x05, 0x00, 0x01, 0x00}), kJpegErrRestartLength},
        {inserted(2, {0xFF, 0xD3}), kJpegErrUnexpectedMarker},
        {inserted(2, {0xFF, 0x01}), kJpegErrUnexpectedMarker},
        {inserted(sos, {0xFF, 0xD9}), kJpegErrUnexpectedMarker},
        {Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(sos)), kJpegErrUnexpectedMarker},
        // Segments the decoder does not know are skipped, fill bytes before markers too.
        {inserted(2, {0xFF, 0xFF, 0xFE, 0x00, 0x04, 0xFF, 0xD8, 0xFF, 0xEF, 0x00, 0x02}), 0},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(ErrorOf(cases[i].first), cases[i].second) << "case " << i;
}

TEST(JpegDecoderFaults, RestartMarkersMustComeInOrder)
{
    const BuiltPicture picture{64, 32, 1, 1, 3, 1, 51, 20};
    const Bytes good = BuildStream(picture, false);
    ASSERT_EQ(DecodeBgr(good).result, 0);
    size_t rst = FindMarker(good, 0xD0);
    for (int n = 1; n < 3; ++n)
        rst = FindMarker(good, static_cast<uint8_t>(0xD0 + n), rst);
    ASSERT_LT(rst, good.size());
    Bytes swapped = good, missing = good;
    swapped[rst + 1] = 0xD5;  // RST5 where RST2 belongs
    missing.erase(missing.begin() + static_cast<ptrdiff_t>(rst), missing.begin() + static_cast<ptrdiff_t>(rst) + 2);
    EXPECT_EQ(std::tuple(ErrorOf(swapped), ErrorOf(missing)), std::tuple(kJpegErrRestart, kJpegErrRestart));
    // Up to 1535 bytes of garbage before the marker are stepped over.
    Bytes padded = good;
    padded.insert(padded.begin() + static_cast<ptrdiff_t>(rst), 1000, 0x42);
    EXPECT_EQ(DecodeBgr(padded).result, 0);
    padded.insert(padded.begin() + static_cast<ptrdiff_t>(rst), 600, 0x42);
    EXPECT_EQ(ErrorOf(padded), kJpegErrRestart);
}

// --- Extreme values, cut-short and damaged streams

TEST(JpegDecoderFaults, ExtremeCoefficientsSaturateAndRunsPastTheBlockAreCorrupt)
{
    // 16-bit factors of 65535 and 15-bit values: every product leaves the 16-bit range.
    StreamBuilder s;
    s.Marker(0xD8);
    s.Dqt(0, 65535 - 16, true);
    s.Dht(0x00, {{0, 0, 0, 14, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}});
    s.Dht(0x10, {{0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0x00, 0x0F, 0xF0}});
    s.Sof(0xC1, 24, 8, {{1, 1, 1, 0}});
    s.Sos({{1, 0x00}});
    for (int value : {32767, -32767, 32767}) {
        s.RawDc(0, value);
        for (int k = 1; k < 64; ++k)
            s.RawAc(0, 0, (k & 1) ? value : -value);
    }
    s.End();
    const Ours ours = DecodeBgr(s.bytes);
    ASSERT_EQ(ours.result, 0) << ours.error;
    // The DC of the first block saturates high, the second brings the prediction back to 0.
    EXPECT_EQ(ours.bgr.size(), size_t{24} * 8 * 3);

    // An AC run past the block is corrupt data.
    StreamBuilder run = GreyHeader();
    run.RawDc(0, 5);
    for (int i = 0; i < 4; ++i)
        run.RawAc(0, 14, 1);  // coefficients 15, 30, 45, 60
    run.RawAc(0, 15, 1);      // 61 + 15
    run.End();
    EXPECT_EQ(ErrorOf(run.bytes), kJpegErrCorruptData);
}

TEST(JpegDecoderFaults, CutShortStreamsStillGiveEveryLine)
{
    for (int interval : {0, 2}) {
        const Bytes jpeg = EncodeWithLibjpeg(MakePicture(40, 36, 17), 40, 36, {.restartInterval = interval});
        const Ours whole = DecodeBgr(jpeg);
        const size_t scan = FindMarker(jpeg, 0xDA) + 14;  // first entropy-coded byte
        for (size_t cut = scan; cut <= jpeg.size(); ++cut) {
            const Bytes part(jpeg.begin(), jpeg.begin() + static_cast<ptrdiff_t>(cut));
            Bytes lines;
            int32_t last = 0;
            ASSERT_EQ(DecodeLines(part, lines, last), 36) << "cut at " << cut << " interval " << interval;
            const Ours ours = DecodeBgr(part);
            ASSERT_TRUE(last == 1 && ours.result == 0) << "cut at " << cut;
            // Without the end-of-image marker nothing is lost.
            EXPECT_TRUE(cut + 2 < jpeg.size() || ours.bgr == whole.bgr);
        }
    }
}

TEST(JpegDecoderFaults, DamagedDataNeverEscapesThePicture)
{
    const Bytes jpeg = EncodeWithLibjpeg(MakePicture(48, 40, 23), 48, 40, {.restartInterval = 3});
    const size_t scan = FindMarker(jpeg, 0xDA) + 14;
    Lcg lcg{99};
    for (int trial = 0; trial < 400; ++trial) {
        Bytes bad = jpeg;
        const int flips = 1 + static_cast<int>(lcg.Next() % 4);
        for (int i = 0; i < flips; ++i) {
            // Mostly the entropy-coded data, sometimes the headers.
            const size_t from = lcg.Next() % 4 == 0 ? 0 : scan;
            const size_t at = from + lcg.Next() % (bad.size() - from);
            bad[at] = static_cast<uint8_t>(lcg.Next());
        }
        const Ours ours = DecodeBgr(bad);
        if (ours.begin != 0)
            continue;
        // Every row was written: decoded, or black after an error.
        const Bytes canary(static_cast<size_t>(ours.width) * 3, 0xA5);
        for (int y = 0; y < ours.height; ++y)
            ASSERT_NE(0, std::memcmp(&ours.bgr[static_cast<size_t>(y) * ours.width * 3], canary.data(), canary.size()));
        EXPECT_TRUE(ours.result == 0 || ours.error == kJpegErrCorruptData || ours.error == kJpegErrRestart)
            << ours.error;
        Bytes lines;
        int32_t last = 0;
        EXPECT_TRUE(DecodeLines(bad, lines, last) <= ours.height && last != 0);
    }
}

// ---- writing JPEG files ----
namespace fs = std::filesystem;
using namespace tolvanrise::test;
using Bytes = std::vector<uint8_t>;

namespace {

// An image that keeps its own pixels with rows further apart than the row itself (as a
// surface with aligned rows does), the gap filled with loud bytes that must not show.
class PaddedImage : public GBitmap {
public:
    PaddedImage(int16_t width, int16_t height, int32_t pitch)
        : GBitmap(width, height, 0, 0), m_pitch(pitch), m_memory(static_cast<size_t>(pitch) * height, 0)
    {
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = width * 3; x < pitch; ++x)
                m_memory[static_cast<size_t>(y) * pitch + x] = (x & 1) ? 0xFF : 0x00;
    }
    uint8_t* GetPixels() const override { return const_cast<uint8_t*>(m_memory.data()); }
    uint8_t* GetAlpha() const override { return nullptr; }
    int32_t GetPitch() const override { return m_pitch; }

private:
    int32_t m_pitch;
    Bytes m_memory;
};

// Blue grows to the right, green downwards, red fades to the right.
void FillPicture(const GBitmap& image)
{
    for (int32_t y = 0; y < image.GetHeight(); ++y)
        for (int32_t x = 0; x < image.GetWidth(); ++x) {
            uint8_t* p = image.GetPixels() + y * image.GetPitch() + x * 3;
            p[0] = static_cast<uint8_t>(30 + 200 * x / image.GetWidth());
            p[1] = static_cast<uint8_t>(50 + 150 * y / image.GetHeight());
            p[2] = static_cast<uint8_t>(220 - 100 * x / image.GetWidth());
        }
}

std::unique_ptr<GBitmap> MakeImage(int16_t width, int16_t height)
{
    std::unique_ptr<GBitmap> image(GBitmap::Create(width, height, 0, 0));
    FillPicture(*image);
    return image;
}

// Mean and largest channel difference between a decoded picture and the image's pixels.
void ExpectClose(const jpeg_test::Ours& decoded, const GBitmap& image, double meanLimit, int maxLimit)
{
    ASSERT_EQ(std::tuple(decoded.result, decoded.width, decoded.height),
              std::tuple(0, int32_t(image.GetWidth()), int32_t(image.GetHeight())));
    double sum = 0;
    int worst = 0;
    for (int32_t y = 0; y < decoded.height; ++y)
        for (int32_t x = 0; x < decoded.width * 3; ++x) {
            const int error = std::abs(decoded.bgr[static_cast<size_t>(y) * decoded.width * 3 + x] -
                                       image.GetPixels()[y * image.GetPitch() + x]);
            sum += error;
            worst = std::max(worst, error);
        }
    EXPECT_TRUE(sum / (3.0 * decoded.width * decoded.height) < meanLimit && worst <= maxLimit) << sum << " " << worst;
}

class WriteJpegTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.Created()); }
    std::string PathOf(const char* name) const { return m_folder.Path(name); }
    jpeg_test::Ours DecodeFile(const char* name) const { return jpeg_test::DecodeBgr(ReadFileByteVector(PathOf(name))); }

    TempFolder m_folder{"tolvanrise-jpeg-"};
};

} // namespace

TEST_F(WriteJpegTest, WritesAnRgbJpegThatDecodesCloseWhateverThePitch)
{
    auto image = MakeImage(53, 29);
    ASSERT_EQ(WriteJpegFile(PathOf("out.jpg").c_str(), image.get(), 95, 1), 1);
    const jpeg_test::Ours out = DecodeFile("out.jpg");
    EXPECT_EQ(out.components, 3);
    ExpectClose(out, *image, 2.0, 24);

    // Red stays red: B, G, R in memory are written as R, G, B.
    std::unique_ptr<GBitmap> red(GBitmap::Create(16, 16, 0, 0));
    for (int i = 0; i < 16 * 16 * 3; ++i)
        red->GetPixels()[i] = i % 3 == 2 ? 255 : 0;
    ASSERT_EQ(WriteJpegFile(PathOf("red.jpg").c_str(), red.get(), 90, 0), 1);
    const jpeg_test::Ours decoded = DecodeFile("red.jpg");
    ASSERT_FALSE(decoded.bgr.empty());
    EXPECT_TRUE(decoded.bgr[0] < 8 && decoded.bgr[1] < 8 && decoded.bgr[2] > 247);

    PaddedImage padded(21, 13, 21 * 3 + 17);
    FillPicture(padded);
    auto compact = MakeImage(21, 13);
    ASSERT_EQ(WriteJpegFile(PathOf("padded.jpg").c_str(), &padded, 90, 1), 1);
    ASSERT_EQ(WriteJpegFile(PathOf("compact.jpg").c_str(), compact.get(), 90, 1), 1);
    // Same picture, same encoder settings: the same file, byte for byte.
    EXPECT_EQ(ReadFileByteVector(PathOf("padded.jpg")), ReadFileByteVector(PathOf("compact.jpg")));
    ExpectClose(DecodeFile("padded.jpg"), *compact, 5.0, 32);
}

TEST_F(WriteJpegTest, UnwritablePathsAndImagesWithoutTrueColourAreRefused)
{
    auto image = MakeImage(8, 8);
    // A folder that is a file, a missing folder, and a folder in the way of the file.
    m_folder.WriteFile("plain.txt", "x");
    fs::create_directory(PathOf("taken.jpg"));
    for (const char* name : {"plain.txt/out.jpg", "missing/out.jpg", "taken.jpg"})
        EXPECT_EQ(WriteJpegFile(PathOf(name).c_str(), image.get(), 90, 1), 0) << name;
    EXPECT_TRUE(fs::is_directory(PathOf("taken.jpg")));
    EXPECT_EQ(WriteJpegFile(nullptr, image.get(), 90, 1), 0);

    const std::string path = PathOf("refused.jpg");
    EXPECT_EQ(WriteJpegFile(path.c_str(), nullptr, 90, 1), 0);
    const std::pair<int16_t, uint8_t> refused[] = {{8, 14}, {8, 16}, {0, 0}}; // mask, palettised, empty
    for (auto [width, format] : refused) {
        std::unique_ptr<GBitmap> other(GBitmap::Create(width, 8, 0, format));
        EXPECT_EQ(WriteJpegFile(path.c_str(), other.get(), 90, 1), 0) << int(format);
    }
    // Nothing half-written is left behind.
    EXPECT_EQ(FolderEntries(m_folder.Path()), (std::set<std::string>{"plain.txt", "taken.jpg"}));

    Bytes out = {1, 2, 3};
    uint8_t pixels[12] = {};
    EXPECT_FALSE(EncodeJpeg(pixels, 4, 1, 11, 90, true, out)) << "pitch below the row";
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(EncodeJpeg(nullptr, 4, 1, 12, 90, true, out) || EncodeJpeg(pixels, 40000, 1, 120000, 90, true, out));
}

// Sampling layouts the compressor takes give pictures the decoder reads back; ones it refuses
// (its error ends the call, not the process) give false and nothing; an image whose size claims
// more rows than its block holds is not written.
TEST_F(WriteJpegTest, SamplingLayoutsAndTheCompressorsOwnRefusals)
{
    auto image = MakeImage(40, 24);
    for (auto [h, v, ok] :
         {std::tuple{1, 1, true}, {2, 1, true}, {1, 2, true}, {0, 2, false}, {2, 5, false}}) {
        JpegEncoding encoding;
        encoding.quality = 95, encoding.lumaH = h, encoding.lumaV = v;
        Bytes out = {7};
        EXPECT_EQ(EncodeJpeg(image->GetPixels(), 40, 24, image->GetPitch(), encoding, out), ok)
            << h << "x" << v;
        EXPECT_EQ(out.empty(), !ok);
        if (ok)
            ExpectClose(jpeg_test::DecodeBgr(out), *image, 3.0, 40);
    }
    auto tall = MakeImage(8, 8);
    tall->SetHeight(10); // the block holds one spare row, not two
    auto wide = MakeImage(8, 8);
    wide->SetWidth(10);
    for (GBitmap* lying : {tall.get(), wide.get()})
        EXPECT_EQ(WriteJpegFile(PathOf("lying.jpg").c_str(), lying, 90, 1), 0);
    EXPECT_EQ(FolderEntries(m_folder.Path()), std::set<std::string>{});
}

TEST_F(WriteJpegTest, QualityOutsideTheRangeMeansBestLargePicturesGrowTheOutputAndReplacingKeepsTheFileWhole)
{
    auto image = MakeImage(24, 24);
    auto encode = [&](int32_t quality) {
        Bytes out;
        EXPECT_TRUE(EncodeJpeg(image->GetPixels(), 24, 24, image->GetPitch(), quality, true, out));
        return out;
    };
    const Bytes best = encode(100);
    for (int32_t outside : {9, 101, 0})
        EXPECT_EQ(encode(outside), best) << outside;
    EXPECT_LT(encode(10).size(), best.size());

    auto large = MakeImage(200, 120);
    ASSERT_EQ(WriteJpegFile(PathOf("replace.jpg").c_str(), large.get(), 95, 1), 1);
    ASSERT_EQ(WriteJpegFile(PathOf("replace.jpg").c_str(), image.get(), 95, 1), 1);
    const jpeg_test::Ours decoded = DecodeFile("replace.jpg");
    EXPECT_EQ(std::make_pair(decoded.width, decoded.height), std::make_pair(24, 24));

    // Noise compresses badly, so the encoder's output has to grow several times.
    std::unique_ptr<GBitmap> noise(GBitmap::Create(300, 200, 0, 0));
    uint32_t seed = 12345;
    for (int32_t i = 0; i < 300 * 200 * 3; ++i) {
        seed = seed * 1103515245u + 12345u;
        noise->GetPixels()[i] = static_cast<uint8_t>(seed >> 16);
    }
    Bytes out;
    ASSERT_TRUE(EncodeJpeg(noise->GetPixels(), 300, 200, noise->GetPitch(), 100, true, out));
    EXPECT_GT(out.size(), 16384u * 4);
    EXPECT_EQ(out[out.size() - 2] << 8 | out[out.size() - 1], 0xFFD9);
    const jpeg_test::Ours noisy = jpeg_test::DecodeBgr(out);
    EXPECT_EQ(std::tuple(noisy.result, noisy.width, noisy.height), std::tuple(0, 300, 200));
}
