// The decoder's instruction-set paths against its scalar ones: colour conversion with box
// upsampling, the inverse DCT, and whole pictures, each in every set the processor has.

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "graphics/jpeg/jpeg_colour.h"
#include "graphics/jpeg/jpeg_idct.h"
#include "support/jpeg_test_streams.h"
#include "support/reference_kernels.h"

namespace {

using namespace jpeg_test;

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
    }
}

TEST_P(JpegIsa, PicturesDecodeAlikeInEveryPath)
{
    for (const auto& [h, v] : {std::pair{2, 2}, {1, 1}, {2, 1}, {1, 2}}) {
        EncodeOptions options;
        options.lumaH = h;
        options.lumaV = v;
        const Bytes jpeg = EncodeWithLibjpeg(MakePicture(77, 45, 11), 77, 45, options);
        const Ours fast = DecodeBgr(jpeg);
        ASSERT_EQ(fast.result, 0);
        EXPECT_EQ(fast.bgr, Scalar([&] { return DecodeBgr(jpeg); }).bgr) << h << "x" << v;
    }
}

INSTANTIATE_TEST_SUITE_P(Isa, JpegIsa, reference::kAllKernelIsas, reference::KernelIsaName);

} // namespace
