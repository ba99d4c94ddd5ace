#include "foundation/image/colour_ramp.h"

namespace {

int Channel(uint32_t colour, int shift)
{
    return static_cast<int>((colour >> shift) & 0xff);
}

uint32_t Pack(int r, int g, int b)
{
    return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
}

constexpr int kShifts[3] = {16, 8, 0};

} // namespace

int ColourBrightness(uint32_t colour)
{
    // round(sum / 3) through 8.8 fixed point.
    const int sum = Channel(colour, 16) + Channel(colour, 8) + Channel(colour, 0);
    return (sum * 256 / 3 + 128) >> 8;
}

void BuildColourRampBlackToWhite(uint32_t colour, uint32_t table[256])
{
    int brightness = ColourBrightness(colour);
    if (brightness == 0)
        brightness = 1;

    for (int i = 0; i < 256; ++i)
        table[i] = 0;

    // Each channel walks in 8.8 fixed point from a half (for rounding) in even steps.
    for (int shift : kShifts) {
        const int c = Channel(colour, shift);
        int v = 128;
        const int up = c * 65536 / (brightness * 256);
        for (int i = 0; i < brightness; ++i, v += up)
            table[i] |= static_cast<uint32_t>(v >> 8) << shift;

        if (brightness >= 255)
            continue;
        v = c * 256 + 128;
        const int toWhite = (255 - c) * 65536 / ((255 - brightness) * 256);
        for (int i = brightness; i < 255; ++i, v += toWhite) {
            const int level = v >> 8;
            table[i] |= static_cast<uint32_t>(level > 255 ? 255 : level) << shift;
        }
    }
    table[255] = brightness >= 255 ? colour & 0xffffff : 0xffffff;
}

void BuildColourRampToWhite(uint32_t colour, uint32_t table[256])
{
    for (int i = 0; i < 256; ++i)
        table[i] = 0;
    for (int shift : kShifts) {
        const int c = Channel(colour, shift);
        int v = c * 256 + 128;
        const int step = (255 - c) * 256 / 255;
        for (int i = 0; i < 255; ++i, v += step) {
            const int level = v >> 8;
            table[i] |= static_cast<uint32_t>(level > 255 ? 255 : level) << shift;
        }
    }
    table[255] = 0xffffff;
}

uint32_t ColourAtBrightness(uint32_t colour, int level)
{
    if (level < 0)
        level = 0;
    if (level > 255)
        level = 255;
    const int brightness = ColourBrightness(colour);
    int out[3];
    if (brightness <= level) {
        // Brightness 255 leaves no room towards white (and would divide by zero).
        if (brightness >= 255)
            return colour & 0xffffff;
        // t = (level - B) / (255 - B) in 8.8; 255 - B is at least 1 here.
        const int64_t t = (int64_t{level - brightness} << 16) / (int64_t{255 - brightness} * 256);
        for (int k = 0; k < 3; ++k) {
            const int c = Channel(colour, kShifts[k]);
            out[k] = static_cast<int>((int64_t{c} * 256 + int64_t{255 - c} * t + 128) >> 8);
        }
    } else {
        // B > level >= 0, so B is at least 1.
        const int64_t t = (int64_t{level} << 16) / (int64_t{brightness} * 256);
        for (int k = 0; k < 3; ++k) {
            const int c = Channel(colour, kShifts[k]);
            out[k] = static_cast<int>((int64_t{c} * t + 128) >> 8);
        }
    }
    for (int& v : out)
        v = v < 0 ? 0 : (v > 255 ? 255 : v);
    return Pack(out[0], out[1], out[2]);
}
