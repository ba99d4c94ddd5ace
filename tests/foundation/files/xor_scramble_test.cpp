#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "foundation/files/xor_scramble.h"

namespace {

TEST(XorScrambleTest, TwiceGivesTheBytesBack)
{
    std::vector<uint8_t> plain(1000);
    for (size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<uint8_t>(i * 37 + 11);
    std::vector<uint8_t> scrambled(plain.size()), back(plain.size());
    EXPECT_EQ(XorScramble(plain.data(), scrambled.data(), 1000, 0x5a), 1);
    EXPECT_NE(scrambled, plain);
    EXPECT_EQ(XorScramble(scrambled.data(), back.data(), 1000, 0x5a), 1);
    EXPECT_EQ(back, plain);
}

TEST(XorScrambleTest, KeyRunsAndWraps)
{
    std::vector<uint8_t> zeros(300, 0);
    std::vector<uint8_t> out(300);
    XorScramble(zeros.data(), out.data(), 300, 250);
    // On zero bytes the output is the running key itself.
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(out[i], static_cast<uint8_t>(250 + i)) << i;
    EXPECT_EQ(out[5], 255);
    EXPECT_EQ(out[6], 0);

    // Whatever the bytes: byte i is combined with key + i.
    uint8_t data[4] = {0xff, 0x00, 0xa5, 0x5a};
    uint8_t res[4];
    XorScramble(data, res, 4, 0xfe);
    EXPECT_EQ(res[0], 0xff ^ 0xfe);
    EXPECT_EQ(res[1], 0x00 ^ 0xff);
    EXPECT_EQ(res[2], 0xa5 ^ 0x00);
    EXPECT_EQ(res[3], 0x5a ^ 0x01);
}

TEST(XorScrambleTest, InPlaceAndEdges)
{
    uint8_t data[3] = {1, 2, 3};
    EXPECT_EQ(XorScramble(data, nullptr, 3, 1), 1);
    EXPECT_EQ(data[0], 1 ^ 1);
    EXPECT_EQ(data[1], 2 ^ 2);
    EXPECT_EQ(data[2], 3 ^ 3);
    XorScramble(data, data, 3, 1);
    EXPECT_EQ(data[2], 3);

    EXPECT_EQ(XorScramble(data, nullptr, 0, 77), 1);
    EXPECT_EQ(data[0], 1);
    EXPECT_EQ(XorScramble(nullptr, data, 3, 1), 0);
    EXPECT_EQ(XorScramble(nullptr, nullptr, 0, 1), 0);
}

TEST(XorScrambleTest, IntKeyUsesTheLowByte)
{
    uint8_t a[8] = {9, 8, 7, 6, 5, 4, 3, 2};
    uint8_t b[8], c[8];
    XorScrambleInt(a, b, 8, 0x1234);
    XorScramble(a, c, 8, 0x34);
    EXPECT_EQ(0, memcmp(b, c, 8));
    XorScrambleInt(a, b, 8, -1);
    XorScramble(a, c, 8, 0xff);
    EXPECT_EQ(0, memcmp(b, c, 8));
}

} // namespace
