#include "tools/tolvanrise-store/generator.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>

#include "tools/common/drawing.h"
#include "tools/tolvanrise-store/board_pictures.h"
#include "tools/tolvanrise-store/picture.h"

namespace packer {

namespace {

using tools::Mix;
using tools::PutPixel;
using tools::Rgb;

// Coverage of a rounded rectangle filling the picture, 0 to 255, anti-aliased by distance.
int RoundedCoverage(int x, int y, int w, int h, double radius)
{
    const double cx = std::clamp(x + 0.5, radius, w - radius);
    const double cy = std::clamp(y + 0.5, radius, h - radius);
    const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
    return tools::ToByte((radius - d + 0.5) * 255.0);
}

Picture BarBackground()
{
    Picture p;
    p.Resize(200, 24);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const bool frame = x < 2 || y < 2 || x >= p.width - 2 || y >= p.height - 2;
            const Rgb c = frame ? Rgb{150, 110, 40} : Mix({40, 28, 18}, {70, 52, 30}, y / 23.0);
            PutPixel(p, x, y, c);
        }
    return p;
}

// The intro bar's fill: the whole bar with rounded ends, or (width 39, square ends) one of the
// five pieces that meet edge to edge.
Picture BarFill(int width, bool rounded)
{
    Picture p;
    p.Resize(width, 20);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const double t = std::fabs(y - 9.5) / 9.5;
            PutPixel(p, x, y, Mix({255, 220, 110}, {190, 120, 20}, t),
                rounded ? RoundedCoverage(x, y, p.width, p.height, 9.5) : 255);
        }
    return p;
}

Picture Logo()
{
    Picture p;
    p.Resize(160, 60);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            // A sun disc behind a pyramid, soft-edged, on a transparent ground.
            const double sun = 18.0 - std::hypot(x - 118.0, y - 20.0);
            const double pyramid = (y - 6.0) - std::fabs(x - 64.0) * 0.85;
            Rgb c{0, 0, 0};
            double a = 0;
            if (sun > 0) {
                c = Mix({255, 200, 60}, {250, 120, 30}, std::min(1.0, (18.0 - sun) / 18.0));
                a = std::min(1.0, sun);
            }
            if (pyramid > 0) {
                const bool lit = x < 64;
                c = lit ? Mix({230, 190, 120}, {200, 160, 90}, y / 59.0) : Rgb{150, 112, 60};
                a = std::min(1.0, pyramid);
            }
            PutPixel(p, x, y, c, static_cast<int>(a * 255));
        }
    return p;
}

Picture MenuBackground()
{
    Picture p;
    p.Resize(200, 150);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const double dune = 100 + 12 * std::sin(x / 23.0) + 6 * std::sin(x / 7.0 + 1.3);
            Rgb c = Mix({40, 90, 170}, {240, 190, 140}, y / 149.0);
            if (y > dune)
                c = Mix({210, 160, 80}, {160, 110, 50}, (y - dune) / 50.0);
            PutPixel(p, x, y, c);
        }
    return p;
}

Picture Button(bool hover)
{
    Picture p;
    p.Resize(120, 36);
    const Rgb top = hover ? Rgb{120, 200, 255} : Rgb{70, 140, 210};
    const Rgb bottom = hover ? Rgb{40, 110, 200} : Rgb{20, 60, 130};
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            PutPixel(p, x, y, Mix(top, bottom, y / 35.0), RoundedCoverage(x, y, p.width, p.height, 10));
    return p;
}

// The pointer; pressed, its face is a warm gold instead of white. The game puts a cursor
// picture's centre at the mouse plus its hot-spot offsets (-5, 5), so the arrow's tip is drawn
// 5 pixels right of and 5 above the centre: there it lands on the point that clicks.
Picture Cursor(bool pressed)
{
    constexpr int kSide = 48;
    constexpr int kTipFromCentre = 5;
    constexpr int kTipX = kSide / 2 + kTipFromCentre;
    constexpr int kTipY = kSide / 2 - kTipFromCentre;
    Picture p;
    p.Resize(kSide, kSide);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            // An arrow: a wedge from the tip down and to the right, with a short stem.
            const int ax = x - kTipX, ay = y - kTipY;
            const bool wedge = ax >= 0 && ax <= ay && ax + ay / 2 < 16;
            const bool stem = ax >= 6 && ax <= 9 && ay >= 12 && ay < 22 && ax - 6 <= (ay - 12);
            Rgb c{255, 0, 255};
            if (wedge || stem)
                c = (ax == 0 || ax == ay) ? Rgb{0, 0, 0}
                    : pressed             ? Rgb{255, 200, 60}
                                          : Rgb{255, 255, 255};
            PutPixel(p, x, y, c);
        }
    return p;
}

Picture Cube(Rgb face)
{
    Picture p;
    p.Resize(32, 32);
    const Rgb light = Mix(face, {255, 255, 255}, 0.45);
    const Rgb dark = Mix(face, {0, 0, 0}, 0.45);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            Rgb c{255, 0, 255};
            if (x >= 2 && y >= 2 && x < 30 && y < 30) {
                c = face;
                if (x < 5 || y < 5)
                    c = light;
                else if (x >= 27 || y >= 27)
                    c = dark;
            }
            PutPixel(p, x, y, c);
        }
    return p;
}

// Sixteen by three cells of 8 x 16 pixels, each a blocky symbol drawn from its cell number:
// strokes picked by bits of a small hash, so every cell differs and looks letter-like.
Picture GlyphSheet()
{
    Picture p;
    p.Resize(128, 48);
    for (int cell = 0; cell < 48; ++cell) {
        uint32_t h = static_cast<uint32_t>(cell) * 2654435761u + 12345u;
        h ^= h >> 13;
        const int ox = (cell % 16) * 8;
        const int oy = (cell / 16) * 16;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 8; ++x) {
                const bool left = (h & 1) && x == 1 && y >= 3 && y <= 12;
                const bool right = (h & 2) && x == 5 && y >= 3 && y <= 12;
                const bool top = (h & 4) && y == 3 && x >= 1 && x <= 5;
                const bool middle = (h & 8) && y == 7 && x >= 1 && x <= 5;
                const bool bottom = (h & 16) && y == 12 && x >= 1 && x <= 5;
                const bool diagonal = (h & 32) && y >= 3 && y <= 12 && x == 1 + (y - 3) * 4 / 9;
                const bool ink = left || right || top || middle || bottom || diagonal;
                PutPixel(p, ox + x, oy + y, ink ? Rgb{250, 240, 210} : Rgb{0, 0, 0}, ink ? 255 : 0);
            }
    }
    return p;
}

Picture Shadow()
{
    Picture p;
    p.Resize(48, 16);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const double d = std::hypot((x - 23.5) / 24.0, (y - 7.5) / 8.0);
            PutPixel(p, x, y, {0, 0, 0}, static_cast<int>(std::max(0.0, 1.0 - d) * 200));
        }
    return p;
}

Picture Glow()
{
    Picture p;
    p.Resize(32, 32);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const double d = std::hypot(x - 15.5, y - 15.5) / 16.0;
            const double t = std::max(0.0, 1.0 - d);
            const int level = static_cast<int>(t * 255);
            PutPixel(p, x, y, {level, level, level}, static_cast<int>(t * t * 255));
        }
    return p;
}

// Banner-like strips for the five text particles: a band with a number of notches.
Picture TextParticle(int variant)
{
    Picture p;
    p.Resize(64, 16);
    const Rgb colours[] = {{255, 90, 60}, {90, 230, 90}, {240, 70, 200}, {250, 210, 40},
                           {80, 160, 255}};
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const bool notch = (x / 6) % (variant + 2) == 0 && y > 5 && y < 10;
            int a = RoundedCoverage(x, y, p.width, p.height, 6);
            if (notch)
                a /= 4;
            PutPixel(p, x, y, Mix(colours[variant], {255, 255, 255}, y < 4 ? 0.4 : 0.0), a);
        }
    return p;
}

} // namespace

bool GenerateSamplePictures(const std::string& folder, std::string& error)
{
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    struct Item {
        const char* file;
        Picture picture;
    };
    std::vector<Item> items;
    items.push_back({"intro_bar_bg.png", BarBackground()});
    items.push_back({"intro_bar.png", BarFill(196, true)});
    items.push_back({"intro_bar_piece.png", BarFill(39, false)});
    items.push_back({"intro_logo.png", Logo()});
    items.push_back({"menu_bg.png", MenuBackground()});
    items.push_back({"button.png", Button(false)});
    items.push_back({"button_hover.png", Button(true)});
    items.push_back({"cursor.png", Cursor(false)});
    items.push_back({"cursor_pressed.png", Cursor(true)});
    items.push_back({"cube_red.png", Cube({210, 40, 40})});
    items.push_back({"cube_blue.png", Cube({40, 80, 210})});
    items.push_back({"glyphs.png", GlyphSheet()});
    items.push_back({"shadow.png", Shadow()});
    items.push_back({"glow.png", Glow()});
    for (int i = 0; i < 5; ++i)
        items.push_back({nullptr, TextParticle(i)});

    int particle = 0;
    for (Item& item : items) {
        std::string name = item.file ? item.file : "fx_text" + std::to_string(particle++) + ".png";
        if (!SavePng(folder + "/" + name, item.picture, error))
            return false;
    }
    for (const BoardPicture& board : BoardPictures())
        if (!SavePng(folder + "/" + board.file, board.picture, error))
            return false;
    return true;
}

} // namespace packer
