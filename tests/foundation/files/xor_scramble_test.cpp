#include <gtest/gtest.h>

#include <vector>

#include "foundation/files/xor_scramble.h"

namespace {

TEST(XorScrambleTest, RunningKeyItsOwnInverseInPlaceAndEdges)
{
    std::vector<uint8_t> plain(1000), scrambled(1000), back(1000);
    for (size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<uint8_t>(i * 37 + 11);
    for (int key : {0x5a, 250, 0xfe}) {
        EXPECT_EQ(XorScramble(plain.data(), scrambled.data(), 1000, uint8_t(key)), 1);
        // Byte i is combined with key + i; after 255 comes 0.
        for (size_t i = 0; i < plain.size(); ++i)
            ASSERT_EQ(scrambled[i], plain[i] ^ static_cast<uint8_t>(key + i)) << key << " byte " << i;
        EXPECT_EQ(XorScramble(scrambled.data(), back.data(), 1000, uint8_t(key)), 1);
        EXPECT_EQ(back, plain);
        // An int key uses its low byte.
        XorScrambleInt(plain.data(), back.data(), 1000, key + 0x1200 - (key == 0xfe ? 0x1300 : 0));
        EXPECT_EQ(back, scrambled) << key;
    }

    uint8_t data[3] = {1, 2, 3};
    EXPECT_EQ(XorScramble(data, nullptr, 3, 1), 1);
    EXPECT_EQ(std::vector<uint8_t>(data, data + 3), (std::vector<uint8_t>{0, 0, 0}));
    XorScramble(data, data, 3, 1);
    EXPECT_EQ(data[2], 3);
    EXPECT_EQ(XorScramble(data, nullptr, 0, 77), 1);
    EXPECT_EQ(data[0], 1);
    EXPECT_EQ(XorScramble(nullptr, data, 3, 1), 0);
    EXPECT_EQ(XorScramble(nullptr, nullptr, 0, 1), 0);
}

} // namespace
