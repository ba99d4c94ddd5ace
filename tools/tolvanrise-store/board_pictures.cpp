#include "tools/tolvanrise-store/board_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "tools/common/drawing.h"

namespace packer {

namespace {

using tools::Mix;
using tools::PutPixel;
using tools::Rgb;

constexpr double kPi = 3.14159265358979323846;
constexpr int kCell = 36;

const Rgb kWhite{255, 255, 255};
const Rgb kBlack{0, 0, 0};
const Rgb kGoldDark{130, 86, 22};
const Rgb kGold{214, 162, 52};
const Rgb kGoldPale{255, 228, 135};
const Rgb kLapisDark{16, 28, 78};
const Rgb kLapis{36, 64, 150};
// The cube colours 0 to 3: red, green, blue, yellow.
const Rgb kCubeColours[4] = {{200, 40, 36}, {44, 160, 64}, {44, 92, 212}, {236, 196, 36}};

Rgb Scale(Rgb c, double s)
{
    return {static_cast<int>(c.r * s), static_cast<int>(c.g * s), static_cast<int>(c.b * s)};
}

// 0 to 1, fixed for each lattice point and seed.
double Hash(int x, int y, int seed)
{
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 static_cast<uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xFFFF) / 65535.0;
}

// Smooth value noise, 0 to 1, one lattice cell per unit.
double Noise(double x, double y, int seed)
{
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const int ix = static_cast<int>(fx);
    const int iy = static_cast<int>(fy);
    double tx = x - fx;
    double ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    return Mix(Mix(Hash(ix, iy, seed), Hash(ix + 1, iy, seed), tx),
               Mix(Hash(ix, iy + 1, seed), Hash(ix + 1, iy + 1, seed), tx), ty);
}

// Sandstone: a fine grain over soft layers, times shade.
Rgb Sand(double x, double y, double shade, int seed = 0)
{
    const double grain = 0.5 * Noise(x / 11, y / 11, 1 + seed) +
                         0.3 * Noise(x / 4, y / 4, 2 + seed) +
                         0.2 * Hash(static_cast<int>(x), static_cast<int>(y), 3 + seed);
    const double layers = 0.5 + 0.5 * std::sin(y / 9.0 + 3 * Noise(x / 60, y / 60, 4 + seed));
    return Scale(Mix(Rgb{186, 148, 94}, Rgb{234, 202, 148}, 0.75 * grain + 0.25 * layers), shade);
}

// Lapis lazuli with its golden flecks.
Rgb Lapis(double x, double y)
{
    const double n = 0.6 * Noise(x / 7, y / 7, 11) + 0.4 * Noise(x / 2.5, y / 2.5, 12);
    if (Hash(static_cast<int>(x), static_cast<int>(y), 13) > 0.9965)
        return kGoldPale;
    return Mix(kLapisDark, kLapis, n);
}

// Coverage of a pixel by a shape from the signed distance of its centre (negative inside).
double Cover(double distance)
{
    return std::clamp(0.5 - distance, 0.0, 1.0);
}

// Signed distance to a rounded rectangle centred on (cx, cy) with half sides hx, hy.
double BoxDistance(double x, double y, double cx, double cy, double hx, double hy, double radius)
{
    const double qx = std::fabs(x - cx) - hx + radius;
    const double qy = std::fabs(y - cy) - hy + radius;
    return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) -
           radius;
}

// Approximate signed distance to an ellipse.
double EllipseDistance(double x, double y, double cx, double cy, double rx, double ry)
{
    return (std::hypot((x - cx) / rx, (y - cy) / ry) - 1) * std::min(rx, ry);
}

// A layer of colour c over the picture's pixel with the given coverage.
void Over(Picture& p, int x, int y, Rgb c, double coverage)
{
    if (coverage <= 0)
        return;
    uint8_t* px = p.At(x, y);
    const Rgb under{px[0], px[1], px[2]};
    const int a = px[3];
    const double out = coverage + a / 255.0 * (1 - coverage);
    const Rgb mixed = a == 0 ? c : Mix(under, c, coverage / out);
    PutPixel(p, x, y, mixed, static_cast<int>(std::lround(out * 255)));
}

// ---------------------------------------------------------------------------------------------
// Cells

// A floor slab: the grain of the sandstone, lit along the top and left joints, shadowed
// along the right and bottom ones, so that neighbouring cells meet in a fine groove.
Picture Floor(int seed = 0)
{
    Picture p = tools::Blank(kCell, kCell);
    for (int y = 0; y < kCell; ++y)
        for (int x = 0; x < kCell; ++x) {
            double shade = 1.0;
            if (x == kCell - 1 || y == kCell - 1)
                shade = 0.62;
            else if (x == 0 || y == 0)
                shade = 1.12;
            else if (x == kCell - 2 || y == kCell - 2)
                shade = 0.9;
            PutPixel(p, x, y, Sand(x + 0.5, y + 0.5 + 200, shade * 1.02, seed));
        }
    return p;
}

// A raised block of a greyer stone: chamfered sides that catch the light from the top left
// and a weathered face with a few pits.
Picture Wall()
{
    Picture p = tools::Blank(kCell, kCell);
    const double pits[3][3] = {{11.5, 24.0, 1.6}, {24.5, 12.5, 1.3}, {21.0, 25.5, 0.9}};
    for (int y = 0; y < kCell; ++y)
        for (int x = 0; x < kCell; ++x) {
            const double u = x + 0.5;
            const double v = y + 0.5;
            const double weather = Noise(u / 3, v / 3, 31);
            Rgb c = Mix(Sand(u + 300, v, 0.78, 7), Rgb{128, 112, 96}, 0.3);
            c = Scale(c, 0.88 + 0.24 * weather - 0.006 * (u + v - 36));
            const double left = u - 1;
            const double right = kCell - 1 - u;
            const double top = v - 1;
            const double bottom = kCell - 1 - v;
            const double nearest = std::min({left, right, top, bottom});
            if (nearest < 0)
                c = Rgb{58, 40, 24};
            else if (nearest < 4.5)
                c = Scale(c, nearest == top     ? 1.38
                             : nearest == left  ? 1.18
                             : nearest == right ? 0.7
                                                : 0.52);
            else
                for (const auto& pit : pits) {
                    const double d = std::hypot(u - pit[0], v - pit[1]) - pit[2];
                    const double rim = std::hypot(u - pit[0] - 0.8, v - pit[1] - 0.8) - pit[2];
                    c = Mix(c, Scale(c, 1.25), Cover(rim) * (1 - Cover(d)));
                    c = Mix(c, Scale(c, 0.55), Cover(d));
                }
            PutPixel(p, x, y, c);
        }
    return p;
}

// A floor slab with a ring and a diamond of the colour a passing cube takes.
Picture Repaint(int colour)
{
    Picture p = Floor();
    const Rgb base = kCubeColours[colour];
    for (int y = 0; y < kCell; ++y)
        for (int x = 0; x < kCell; ++x) {
            const double u = x + 0.5 - 18;
            const double v = y + 0.5 - 18;
            const double r = std::hypot(u, v);
            const double ring = std::fabs(r - 11.5) - 2.2;
            const double diamond = (std::fabs(u) + std::fabs(v) - 5.0) * 0.7071;
            const double shape = std::min(ring, diamond);
            Over(p, x, y, Rgb{52, 34, 18}, 0.8 * Cover(shape - 1.0));
            const double lit = std::clamp(0.5 - (u + v) / (2.0 * std::max(r, 1.0)) * 0.5, 0.0, 1.0);
            Rgb c = Mix(Mix(base, kBlack, 0.3), Mix(base, kWhite, 0.45), lit);
            if (shape > -0.8)
                c = Mix(base, kBlack, 0.35);
            Over(p, x, y, c, Cover(shape));
        }
    return p;
}

// ---------------------------------------------------------------------------------------------
// The target: a sun of eight rays, long and short, carved into the floor and inlaid with gold.

double SunDistance(double x, double y)
{
    const double u = x - 18;
    const double v = y - 18;
    const double r = std::hypot(u, v);
    const double disc = r - 5.5;
    const double angle = std::atan2(v, u) + kPi;
    const double sector = kPi / 4;
    const int ray = static_cast<int>(std::lround(angle / sector)) % 8;
    const double off = angle - std::lround(angle / sector) * sector;
    const double tip = ray % 2 == 0 ? 15.0 : 11.5;
    const double along = r;
    const double across = std::fabs(along * std::sin(off));
    const double halfWidth = 2.4 * std::clamp((tip - along) / (tip - 7.0), 0.0, 1.0);
    double rays = across - halfWidth;
    rays = std::max(rays, along - tip);
    rays = std::max(rays, 7.0 - along);
    const double ring = std::fabs(r - 7.6) - 0.8;
    return std::min({disc, rays, ring});
}

struct TargetLook {
    Rgb inlay;     // the glyph's gold at its brightest point
    Rgb light;     // the colour of the light around it
    double glow;   // strength of that light, 0 to 1
    double radius; // reach of the light in pixels
    double soot;   // darkening of the floor around the glyph, 0 to 1
    bool burned;   // the glyph is charcoal instead of gold
};

Picture Target(const TargetLook& look)
{
    Picture p = Floor();
    for (int y = 0; y < kCell; ++y)
        for (int x = 0; x < kCell; ++x) {
            const double u = x + 0.5;
            const double v = y + 0.5;
            const double r = std::hypot(u - 18, v - 18);
            uint8_t* px = p.At(x, y);
            Rgb floor{px[0], px[1], px[2]};
            floor = Scale(floor, 1 - look.soot * std::exp(-(r * r) / 150.0));
            floor = Mix(floor, look.light,
                        look.glow * std::exp(-(r * r) / (look.radius * look.radius)));
            PutPixel(p, x, y, floor);

            const double d = SunDistance(u, v);
            // The carving: a shadow along the top-left walls and a dark lip around the glyph.
            Over(p, x, y, Rgb{60, 38, 18}, 0.55 * Cover(d - 0.9));
            const bool upperLeftWall = SunDistance(u - 1.1, v - 1.1) > 0;
            const bool lowerRightWall = SunDistance(u + 1.1, v + 1.1) > 0;
            Rgb fill;
            if (look.burned)
                fill = Mix(Rgb{40, 30, 24}, Rgb{92, 58, 34}, std::clamp(r / 15.0, 0.0, 1.0));
            else
                fill = Mix(look.inlay, Mix(look.inlay, kGoldDark, 0.45),
                           std::clamp(r / 16.0, 0.0, 1.0));
            if (upperLeftWall)
                fill = Scale(fill, 0.6);
            else if (lowerRightWall)
                fill = Mix(fill, kWhite, 0.35);
            Over(p, x, y, fill, Cover(d));
        }
    return p;
}

// Frames 0 to 7: one pulse of the glow, dimmest at both ends; 8 to 13: the flare, from
// white-gold through orange to embers; 14: the burned glyph.
Picture TargetFrame(int frame)
{
    if (frame < 8) {
        const double b = std::sin(kPi * (frame + 0.5) / 8);
        return Target(
            {Mix(Rgb{150, 100, 30}, kGoldPale, b), Rgb{255, 214, 110}, 0.7 * b, 13, 0, false});
    }
    if (frame < 14) {
        const int k = frame - 8;
        const double strength[] = {1.0, 0.95, 0.82, 0.64, 0.44, 0.26};
        const double radius[] = {14, 18, 19, 18, 16, 14};
        const Rgb light[] = {{255, 252, 230}, {255, 236, 160}, {255, 196, 80},
                             {246, 140, 40},  {214, 92, 30},   {150, 58, 24}};
        const Rgb inlay[] = {{255, 255, 245}, {255, 248, 200}, {255, 214, 110},
                             {240, 150, 56},  {190, 96, 40},   {110, 60, 36}};
        return Target({inlay[k], light[k], strength[k], radius[k], 0.55 * k / 5.0, false});
    }
    return Target({kBlack, kBlack, 0, 1, 0.55, true});
}

// ---------------------------------------------------------------------------------------------
// Movable pieces

// A cube with an anti-aliased rounded edge, chamfered sides lit from the top left and a
// glossy spot on its face.
Picture Cube(int colour)
{
    constexpr int kSide = 32;
    const Rgb face = kCubeColours[colour];
    Picture p = tools::Blank(kSide, kSide);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const double u = x + 0.5;
            const double v = y + 0.5;
            const double d = BoxDistance(u, v, 16, 16, 15, 15, 5);
            if (d > 0.5)
                continue;
            const double left = u - 1;
            const double right = 31 - u;
            const double top = v - 1;
            const double bottom = 31 - v;
            const double nearest = std::min({left, right, top, bottom});
            Rgb c = Mix(Mix(face, kWhite, 0.14), Mix(face, kBlack, 0.14),
                        std::clamp((v - 6) / 20, 0.0, 1.0));
            if (-d < 1.2)
                c = Mix(face, kBlack, 0.62);
            else if (nearest < 5) {
                c = nearest == top     ? Mix(face, kWhite, 0.5)
                    : nearest == left  ? Mix(face, kWhite, 0.26)
                    : nearest == right ? Mix(face, kBlack, 0.3)
                                       : Mix(face, kBlack, 0.48);
            } else {
                const double gloss =
                    std::exp(-std::pow(std::hypot((u - 11.5) / 5.0, (v - 10.5) / 3.0), 2));
                c = Mix(c, kWhite, 0.55 * gloss);
            }
            Over(p, x, y, c, Cover(d));
        }
    return p;
}

// The gun, drawn as if on the top side pointing down: a golden scarab whose head carries a
// cannon's barrel. u, v are in that frame; lx, ly the light's direction in it.
bool GunPoint(double u, double v, double lx, double ly, Rgb& c)
{
    const double barrel = BoxDistance(u, v, 18, 28.5, 3.6, 7.5, 1);
    const double muzzle = BoxDistance(u, v, 18, 33.5, 4.6, 2.5, 1);
    const double head = EllipseDistance(u, v, 18, 21.5, 6.5, 4.5);
    const double body = EllipseDistance(u, v, 18, 11.5, 11.5, 10);
    double legs = 1e9;
    for (int side = -1; side <= 1; side += 2)
        for (int i = 0; i < 3; ++i) {
            // Each leg: a short slanted stroke from the body's edge outwards.
            const double y0 = 7.0 + i * 5.5;
            const double x0 = 18 + side * 9.5;
            const double dx = side * 6.5;
            const double dy = (i - 1) * 3.0 + 2.0;
            const double t =
                std::clamp(((u - x0) * dx + (v - y0) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
            legs = std::min(legs, std::hypot(u - x0 - t * dx, v - y0 - t * dy) - 1.0);
        }
    const double all = std::min({barrel, muzzle, head, body, legs});
    if (all > 1.3)
        return false;
    const Rgb outline{58, 36, 10};
    if (all > 0) {
        c = outline;
        return true;
    }
    auto dome = [&](double cx, double cy, double rx, double ry) {
        const double nx = (u - cx) / rx;
        const double ny = (v - cy) / ry;
        const double nz = std::sqrt(std::max(0.0, 1 - nx * nx - ny * ny));
        return std::clamp((nx * lx + ny * ly) * 0.8 + nz * 0.6, 0.0, 1.0);
    };
    auto gold = [](double lit) {
        return lit < 0.5 ? Mix(kGoldDark, kGold, lit * 2) : Mix(kGold, kGoldPale, lit * 2 - 1);
    };
    if (muzzle <= 0 || barrel <= 0) {
        // A cylinder across u: lit on the side the light comes from.
        const double across = (u - 18) / 4.6;
        const double lit =
            std::clamp(0.55 + across * lx * 0.7 + (1 - across * across) * 0.3, 0.0, 1.0);
        c = gold(lit);
        if (muzzle <= 0 && (muzzle > -0.8 || std::fabs(v - 33.5) < 0.5))
            c = Mix(c, outline, 0.5);
        if (barrel <= 0 && muzzle > 0 && std::fabs(v - 25) < 0.6)
            c = Mix(c, outline, 0.6);
        return true;
    }
    if (head <= 0) {
        c = gold(dome(18, 21.5, 6.5, 4.5) * 0.85);
        return true;
    }
    if (body <= 0) {
        c = gold(dome(18, 11.5, 11.5, 10));
        // The wing cases part along the middle; the neck shield is set off by a groove.
        if ((std::fabs(u - 18) < 0.6 && v < 16) ||
            std::fabs(EllipseDistance(u, v, 18, 19.5, 9, 4)) < 0.6)
            c = outline;
        // A lapis inlay on each wing case.
        const double inlay = std::min(EllipseDistance(u, v, 13.2, 8.5, 2.6, 4.0),
                                      EllipseDistance(u, v, 22.8, 8.5, 2.6, 4.0));
        if (inlay < 0)
            c = Mix(kLapis, kWhite,
                    std::clamp(-inlay / 3 * 0.3 + dome(18, 11.5, 11.5, 10) * 0.25, 0.0, 0.5));
        return true;
    }
    c = Mix(kGoldDark, outline, 0.3);
    return true;
}

// side: 0 top, 1 right, 2 bottom, 3 left; the gun points into the board from there.
Picture Gun(int side)
{
    Picture p = tools::Blank(kCell, kCell);
    // The light from the top left, turned into the frame of the drawing.
    const double sx = -0.6;
    const double sy = -0.8;
    for (int y = 0; y < kCell; ++y)
        for (int x = 0; x < kCell; ++x) {
            double r = 0, g = 0, b = 0;
            int hits = 0;
            for (int sub = 0; sub < 16; ++sub) {
                const double px = x + (sub % 4 + 0.5) / 4;
                const double py = y + (sub / 4 + 0.5) / 4;
                double u = px, v = py, lx = sx, ly = sy;
                if (side == 1) {
                    u = py, v = kCell - px, lx = sy, ly = -sx;
                } else if (side == 2) {
                    u = kCell - px, v = kCell - py, lx = -sx, ly = -sy;
                } else if (side == 3) {
                    u = kCell - py, v = px, lx = -sy, ly = sx;
                }
                Rgb c{};
                if (GunPoint(u, v, lx, ly, c)) {
                    r += c.r, g += c.g, b += c.b;
                    ++hits;
                }
            }
            if (hits)
                PutPixel(p, x, y, r / hits, g / hits, b / hits, hits * 255.0 / 16);
        }
    return p;
}

// Soft gold corner brackets and a faint frame round the cell the gun fires into.
Picture AimMark()
{
    Picture p = tools::Blank(kCell, kCell);
    for (int y = 0; y < kCell; ++y)
        for (int x = 0; x < kCell; ++x) {
            const double u = x + 0.5;
            const double v = y + 0.5;
            const double frame = std::fabs(BoxDistance(u, v, 18, 18, 15.5, 15.5, 4)) - 1.0;
            // Brackets: the frame kept only near the corners.
            const double fromCorner = std::min(std::fabs(u - 18), std::fabs(v - 18));
            const double brackets = std::max(frame - 0.6, 7.0 - fromCorner);
            double a = 0.35 * Cover(frame) + 0.25 * std::exp(-std::max(frame, 0.0) * 0.9);
            a = std::max(a, Cover(brackets));
            a = std::max(a, 0.55 * std::exp(-std::max(brackets, 0.0) * 0.8));
            if (a < 0.02)
                continue;
            const Rgb c = Mix(kGold, kGoldPale, Cover(brackets));
            PutPixel(p, x, y, c, a * 255);
        }
    return p;
}

// Signed distance-like measure to a flame's tongue: round at its foot (at base), narrowing
// to a tip height above it that leans by sway and wavers with the phase.
double FlameDistance(double u, double v, double base, double height, double halfWidth, double sway,
                     double phase)
{
    if (v > base)
        return std::hypot(u - 14, (v - base) * 1.4) - halfWidth;
    const double t = (base - v) / height;
    if (t >= 1)
        return std::hypot(u - 14 - sway, v - (base - height));
    const double centre = 14 + sway * t * t + 0.9 * std::sin(t * 7 + phase) * t;
    const double width =
        halfWidth * (t < 0.25 ? std::sqrt(1 - (0.25 - t) * (0.25 - t) / 0.0625 * 0.3)
                              : std::pow((1 - t) / 0.75, 0.85));
    return std::fabs(u - centre) - width;
}

// A small fire of four frames: a tongue that sways and flickers, with a hot core.
Picture BonusFire(int frame)
{
    constexpr int kSide = 28;
    Picture p = tools::Blank(kSide, kSide);
    const double phase = frame * kPi / 2;
    const double sway = 2.4 * std::sin(phase);
    const double height = 20 + 1.5 * std::cos(phase * 2 + 0.4);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const double u = x + 0.5;
            const double v = y + 0.5;
            Over(p, x, y, Rgb{206, 44, 16},
                 Cover(FlameDistance(u, v, 21, height, 7.5, sway, phase)));
            Over(p, x, y, Rgb{250, 146, 30},
                 Cover(FlameDistance(u, v, 22, height * 0.72, 5.2, sway * 0.7, phase + 1)));
            Over(p, x, y, Rgb{255, 238, 160},
                 Cover(FlameDistance(u, v, 22.5, height * 0.42, 3.0, sway * 0.4, phase + 2)));
        }
    // Two sparks above the tongue, placed by the frame.
    for (int i = 0; i < 2; ++i) {
        const double sxp = 8 + 12 * Hash(frame, i, 21);
        const double syp = 2 + 5 * Hash(frame, i, 22);
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
                Over(p, x, y, Rgb{255, 200, 80},
                     Cover(std::hypot(x + 0.5 - sxp, y + 0.5 - syp) - 0.9));
    }
    return p;
}

// ---------------------------------------------------------------------------------------------
// The game screen's background: the ring of gun positions (15 x 15 cells from 30, 30) in a
// lapis channel inside a gold moulding, the board's joint colour inside it, the score panel to the
// right and a frieze along the top and bottom edges.

constexpr int kRingStart = 30;
constexpr int kRingEnd = kRingStart + 15 * kCell;
constexpr int kBoardStart = kRingStart + kCell;
constexpr int kBoardEnd = kRingEnd - kCell;
constexpr int kPanelLeft = 590;
constexpr int kPanelRight = 790;
constexpr int kMould = 12;
// Under the cells: their clips leave the last column and row of each cell undrawn, so this
// shows as the joint between neighbouring cells.
const Rgb kJoint{74, 52, 30};

// A row of lapis and gold triangles between two gold lines, from y0 for 12 pixels.
bool Frieze(double u, double v, double y0, double x0, double x1, Rgb& c)
{
    if (v < y0 || v >= y0 + 12 || u < x0 || u >= x1)
        return false;
    const double t = v - y0;
    if (t < 1.5 || t >= 10.5) {
        c = t < 1 || t >= 11 ? kGoldDark : kGold;
        return true;
    }
    const double cell = std::fmod(u - x0, 12.0);
    const double rise = (t - 1.5) / 9.0;
    const bool up = std::fabs(cell - 6) < 6 * (1 - rise);
    const bool even = static_cast<int>((u - x0) / 12) % 2 == 0;
    c = up ? (even ? Mix(kLapis, kWhite, 0.12) : kGold) : Sand(u, v, 0.72);
    return true;
}

// The moulding round the ring, lit from the top left, with a gold bead along its middle.
Rgb Moulding(double u, double v, Rgb stone)
{
    const double left = u - (kRingStart - kMould);
    const double right = kRingEnd + kMould - u;
    const double top = v - (kRingStart - kMould);
    const double bottom = kRingEnd + kMould - v;
    const double nearest = std::min({left, right, top, bottom});
    const bool outerHalf = nearest < kMould / 2.0;
    double shade = nearest == top ? 1.18 : nearest == left ? 1.08 : nearest == right ? 0.78 : 0.7;
    if (!outerHalf)
        shade = 2.0 - shade; // the inner slope faces the other way
    Rgb c = Scale(Mix(stone, kGold, 0.3), shade);
    if (std::fabs(nearest - kMould / 2.0) < 1.3)
        c = nearest - kMould / 2.0 < 0 ? kGoldPale : kGold;
    if (nearest < 1 || nearest > kMould - 1)
        c = Rgb{70, 48, 22};
    return c;
}

// The ring's lapis channel: darker under the moulding, thin joints between the gun cells and
// a gold rosette in each corner cell, where no gun stands.
Rgb Ring(double u, double v)
{
    Rgb c = Lapis(u, v);
    const double fromOuter = std::min(u - kRingStart, v - kRingStart);
    if (fromOuter < 4)
        c = Scale(c, 0.55 + 0.1 * fromOuter);
    const double cu = std::fmod(u - kRingStart, kCell);
    const double cv = std::fmod(v - kRingStart, kCell);
    const bool rowEdge = v < kBoardStart || v >= kBoardEnd;
    if ((rowEdge && cu < 1) || (!rowEdge && cv < 1))
        c = Scale(c, 0.6);
    const int cellU = static_cast<int>((u - kRingStart) / kCell);
    const int cellV = static_cast<int>((v - kRingStart) / kCell);
    if ((cellU == 0 || cellU == 14) && (cellV == 0 || cellV == 14)) {
        const double du = cu - 18;
        const double dv = cv - 18;
        const double r = std::hypot(du, dv);
        const double petals = 9 + 3.5 * std::cos(8 * std::atan2(dv, du));
        c = Mix(c, Mix(kGoldDark, kGoldPale, std::clamp(1 - r / 12, 0.0, 1.0)), Cover(r - petals));
        c = Mix(c, kLapis, Cover(r - 3));
    }
    return c;
}

Rgb Panel(double u, double v)
{
    const double left = u - kPanelLeft;
    const double right = kPanelRight - u;
    const double top = v - kRingStart;
    const double bottom = kRingEnd - v;
    const double nearest = std::min({left, right, top, bottom});
    Rgb c = Mix(Scale(Sand(u, v, 0.5, 5), 0.9), Rgb{60, 38, 24}, 0.45);
    if (nearest < 4)
        c = Scale(c, nearest == top || nearest == left ? 0.45 : 1.7);
    else if (std::fabs(nearest - 8) < 0.9)
        c = kGold;
    else if (std::fabs(nearest - 10) < 0.6)
        c = kGoldDark;
    return c;
}

Picture GameBackground()
{
    Picture p = tools::Blank(800, 600);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const double u = x + 0.5;
            const double v = y + 0.5;
            Rgb c = Sand(u, v, 0.9);
            const bool inMoulding = u >= kRingStart - kMould && u < kRingEnd + kMould &&
                                    v >= kRingStart - kMould && v < kRingEnd + kMould;
            const bool inRing = u >= kRingStart && u < kRingEnd && v >= kRingStart && v < kRingEnd;
            const bool inBoard =
                u >= kBoardStart && u < kBoardEnd && v >= kBoardStart && v < kBoardEnd;
            Rgb band{};
            if (inBoard)
                c = kJoint;
            else if (inRing)
                c = Ring(u, v);
            else if (inMoulding)
                c = Moulding(u, v, c);
            else if (u >= kPanelLeft && u < kPanelRight && v >= kRingStart && v < kRingEnd)
                c = Panel(u, v);
            else if (Frieze(u, v, 4, 10, 790, band) || Frieze(u, v, 584, 10, 790, band))
                c = band;
            // A gold bead where the ring meets the board.
            const double edge = std::fabs(BoxDistance(u, v, 300, 300, 234, 234, 0));
            if (edge < 2 && (inRing || inBoard))
                c = edge < 1 ? kGoldPale : kGoldDark;
            PutPixel(p, x, y, c);
        }
    return p;
}

} // namespace

std::vector<BoardPicture> BoardPictures()
{
    std::vector<BoardPicture> pictures;
    pictures.push_back({"game_bg.png", GameBackground()});
    pictures.push_back({"cell_floor.png", Floor()});
    pictures.push_back({"cell_wall.png", Wall()});
    for (int i = 0; i < 4; ++i)
        pictures.push_back({"cell_repaint" + std::to_string(i) + ".png", Repaint(i)});
    for (int i = 0; i < 15; ++i)
        pictures.push_back({"target" + std::to_string(i) + ".png", TargetFrame(i)});
    for (int i = 0; i < 4; ++i)
        pictures.push_back({"cube" + std::to_string(i) + ".png", Cube(i)});
    for (int i = 0; i < 4; ++i)
        pictures.push_back({"gun" + std::to_string(i) + ".png", Gun(i)});
    pictures.push_back({"aim_mark.png", AimMark()});
    for (int i = 0; i < 4; ++i)
        pictures.push_back({"bonus_fire" + std::to_string(i) + ".png", BonusFire(i)});
    return pictures;
}

} // namespace packer
