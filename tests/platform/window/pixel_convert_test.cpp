// Widening 24-bit rows to 32-bit pixels: every instruction set writes exactly the bytes of the
// plain loop, reads only the rectangle's rows and writes only its pixels.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "platform/window/pixel_convert.h"

using namespace platform;

namespace {

// The meaning of the two orders, written out once.
std::vector<uint8_t> Expected(const std::vector<uint8_t>& src, int width, PixelOrder32 order)
{
    std::vector<uint8_t> out;
    for (int i = 0; i < width; ++i) {
        const uint8_t b = src[i * 3], g = src[i * 3 + 1], r = src[i * 3 + 2];
        if (order == PixelOrder32::Bgrx)
            out.insert(out.end(), {b, g, r, 255});
        else
            out.insert(out.end(), {r, g, b, 255});
    }
    return out;
}

TEST(PixelConvertTest, OneRowInBothOrders)
{
    const std::vector<uint8_t> src = {1, 2, 3, 10, 20, 30, 0xFF, 0, 0x80};
    for (PixelOrder32 order : {PixelOrder32::Bgrx, PixelOrder32::Rgbx})
        for (ConvertIsa isa : {ConvertIsa::Scalar, ConvertIsa::Ssse3, ConvertIsa::Avx2}) {
            std::vector<uint8_t> dst(12, 0x5A);
            ConvertRows24To32With(isa, src.data(), 9, dst.data(), 12, 3, 1, order);
            EXPECT_EQ(dst, Expected(src, 3, order)) << int(isa) << " " << int(order);
        }
}

// Random rectangles of random widths (every width up to 80 and some wide ones) inside images
// whose rows end exactly at the end of their own allocation, so that a read past a row's last
// pixel is caught by the address sanitizer; the destination has a guard band that must stay.
TEST(PixelConvertTest, EveryIsaMatchesThePlainLoopOnRandomRectangles)
{
    std::mt19937 rng(7);
    std::vector<int> widths;
    for (int w = 0; w <= 80; ++w)
        widths.push_back(w);
    for (int w : {127, 128, 129, 255, 799, 800})
        widths.push_back(w);
    const uint8_t kGuard = 0xA5;
    for (int width : widths)
        for (PixelOrder32 order : {PixelOrder32::Bgrx, PixelOrder32::Rgbx}) {
            const int height = 1 + int(rng() % 4);
            const ptrdiff_t srcPitch = ptrdiff_t(width) * 3 + ptrdiff_t(rng() % 5);
            const ptrdiff_t dstPitch = ptrdiff_t(width) * 4 + 8 + ptrdiff_t(rng() % 3) * 4;
            const size_t srcSize = size_t(srcPitch) * (height - 1) + size_t(width) * 3;
            auto src = std::make_unique<uint8_t[]>(srcSize + 1); // +1: never zero-sized
            for (size_t i = 0; i < srcSize; ++i)
                src[i] = uint8_t(rng());
            std::vector<uint8_t> reference(size_t(dstPitch) * height, kGuard);
            ConvertRows24To32With(ConvertIsa::Scalar, src.get(), srcPitch, reference.data(),
                                  dstPitch, width, height, order);
            for (int y = 0; y < height; ++y) {
                std::vector<uint8_t> row(src.get() + y * srcPitch,
                                         src.get() + y * srcPitch + width * 3);
                const uint8_t* got = reference.data() + y * dstPitch;
                ASSERT_EQ(std::vector<uint8_t>(got, got + width * 4), Expected(row, width, order));
                for (ptrdiff_t k = width * 4; k < dstPitch; ++k)
                    ASSERT_EQ(got[k], kGuard) << "written past the row at width " << width;
            }
            for (ConvertIsa isa : {ConvertIsa::Ssse3, ConvertIsa::Avx2}) {
                std::vector<uint8_t> dst(reference.size(), kGuard);
                ConvertRows24To32With(isa, src.get(), srcPitch, dst.data(), dstPitch, width, height,
                                      order);
                ASSERT_EQ(dst, reference) << "isa " << int(isa) << " width " << width;
            }
            std::vector<uint8_t> best(reference.size(), kGuard);
            ConvertRows24To32(src.get(), srcPitch, best.data(), dstPitch, width, height, order);
            ASSERT_EQ(best, reference) << "width " << width;
        }
}

TEST(PixelConvertTest, EmptyRectanglesTouchNothing)
{
    const uint8_t src[3] = {1, 2, 3};
    uint8_t dst[4] = {9, 9, 9, 9};
    for (auto [w, h] : {std::pair{0, 1}, {1, 0}, {-3, 2}, {2, -1}}) {
        ConvertRows24To32(src, 3, dst, 4, w, h, PixelOrder32::Bgrx);
        EXPECT_EQ(std::vector<uint8_t>(dst, dst + 4), (std::vector<uint8_t>{9, 9, 9, 9}));
    }
}

} // namespace
