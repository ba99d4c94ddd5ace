#include "generate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "pack_writer.h"
#include "tools/common/drawing.h"

namespace packtool {

namespace {

using tools::Blank;
using tools::Mix;
using tools::PutPixel;
using tools::ToByte;

// Evening sky over two rows of dunes, with a low sun: smooth areas and hard edges, which is
// what a JPEG round trip should be tried on. Drawn on a 120 x 80 plan scaled to the size.
Picture Dunes(int32_t width, int32_t height)
{
    Picture picture = Blank(width, height);
    const double scaleX = width / 120.0;
    const double scaleY = height / 80.0;
    for (int32_t py = 0; py < picture.height; ++py) {
        for (int32_t px = 0; px < picture.width; ++px) {
            const double x = px / scaleX;
            const double y = py / scaleY;
            const double t = y / 79.0;
            double r = Mix(40, 250, t), g = Mix(60, 190, t), b = Mix(150, 120, t);
            const double sunDistance = std::hypot(x - 88.0, y - 24.0);
            if (sunDistance < 10.0) {
                r = 255;
                g = 236;
                b = 150;
            }
            const double farDune = 50.0 + 6.0 * std::sin(x * 0.09) + 3.0 * std::sin(x * 0.23 + 1.0);
            const double nearDune = 62.0 + 8.0 * std::sin(x * 0.05 + 2.0);
            if (y >= nearDune) {
                r = Mix(214, 170, (y - nearDune) / 20.0);
                g = Mix(160, 118, (y - nearDune) / 20.0);
                b = 78;
            } else if (y >= farDune) {
                r = 190;
                g = 140;
                b = 84;
            }
            PutPixel(picture, px, py, r, g, b);
        }
    }
    return picture;
}

// A winged disc: an opaque gold body, half-transparent wings and a soft rim, on a fully
// transparent ground, so masks of every kind of value are packed.
Picture Emblem()
{
    Picture picture = Blank(64, 48);
    for (int32_t y = 0; y < picture.height; ++y) {
        for (int32_t x = 0; x < picture.width; ++x) {
            const double dx = x - 31.5, dy = y - 23.5;
            const double body = std::hypot(dx, dy);
            const double wing = std::hypot(dx / 30.0, (dy + 2.0 - std::abs(dx) * 0.15) / 7.0);
            double alpha = 0;
            double r = 0, g = 0, b = 0;
            if (wing < 1.0) {
                alpha = 128;
                r = 40;
                g = Mix(150, 90, std::abs(dx) / 32.0);
                b = 160;
            }
            if (body < 14.0) {
                alpha = body < 13.0 ? 255 : Mix(255, 0, body - 13.0);
                r = Mix(250, 200, body / 14.0);
                g = Mix(210, 140, body / 14.0);
                b = 40;
            }
            PutPixel(picture, x, y, r, g, b, alpha);
        }
    }
    return picture;
}

// A round glow as a mask: 0 (fully shown) in the middle, 255 (nothing) at the edge.
Picture Glow()
{
    Picture picture = Blank(40, 40);
    for (int32_t y = 0; y < picture.height; ++y) {
        for (int32_t x = 0; x < picture.width; ++x) {
            const double d = std::min(1.0, std::hypot(x - 19.5, y - 19.5) / 19.5);
            const uint8_t value = ToByte(255.0 * d * d);
            PutPixel(picture, x, y, value, value, value);
        }
    }
    return picture;
}

} // namespace

bool GenerateSourcePictures(const std::string& folder)
{
    using tools::PngChannels;
    const std::string prefix = folder.empty() ? std::string() : folder + "/";
    std::string error;
    const bool ok = tools::SavePng(prefix + "dunes.png", Dunes(120, 80), error, PngChannels::kRgb) &&
                    tools::SavePng(prefix + "intro.png", Dunes(800, 600), error, PngChannels::kRgb) &&
                    tools::SavePng(prefix + "emblem.png", Emblem(), error, PngChannels::kRgba) &&
                    tools::SavePng(prefix + "glow.png", Glow(), error, PngChannels::kGrey);
    if (!ok)
        std::fprintf(stderr, "%s\n", error.c_str());
    return ok;
}

} // namespace packtool
