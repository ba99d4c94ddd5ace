#pragma once
// Pictures of the asset tools: 8-bit R, G, B, A pixels, the top row first, as read from the
// source pictures in assets/ (PNG through libpng, uncompressed TGA) and as the generators draw
// them. Every tool links this (tolvanrise_tools_common); any thread, nothing is shared.

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgba; // width * height * 4 bytes: R, G, B, A

    uint8_t* At(int32_t x, int32_t y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
    const uint8_t* At(int32_t x, int32_t y) const
    {
        return &rgba[(static_cast<size_t>(y) * width + x) * 4];
    }
    // w x h transparent black pixels.
    void Resize(int32_t w, int32_t h)
    {
        width = w;
        height = h;
        rgba.assign(static_cast<size_t>(w) * h * 4, 0);
    }
};

// Sides a source picture may have: those of the engine's images (signed 16-bit).
constexpr int32_t kMaxPictureSide = 32767;

// Chooses the reader by the extension (".png" or ".tga", any case). Pictures without alpha
// read as opaque. False with "<path>: reason" in error.
bool LoadPicture(const std::string& path, Picture& out, std::string& error);
bool LoadPng(const std::string& path, Picture& out, std::string& error);
// Types 2 (24 or 32 bits) and 3 (8-bit grey), either row order; no colour map, no RLE.
bool LoadTga(const std::string& path, Picture& out, std::string& error);

// The channels a PNG is written with; grey takes the R channel.
enum class PngChannels { kGrey, kRgb, kRgba };
bool SavePng(const std::string& path, const Picture& picture, std::string& error,
             PngChannels channels = PngChannels::kRgba);
// 32-bit TGA, top row first.
bool SaveTga(const std::string& path, const Picture& picture, std::string& error);

// B, G, R rows of the picture, the top row first, width * 3 bytes apart (the pixel order of
// the engine's images and of EncodeJpeg). Inline, like Picture, so that a test may use the
// pack writer's header without linking the tools.
inline std::vector<uint8_t> BgrOf(const Picture& picture)
{
    const size_t pixels = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
    std::vector<uint8_t> bgr(pixels * 3);
    for (size_t i = 0; i < pixels; ++i) {
        bgr[i * 3 + 0] = picture.rgba[i * 4 + 2];
        bgr[i * 3 + 1] = picture.rgba[i * 4 + 1];
        bgr[i * 3 + 2] = picture.rgba[i * 4 + 0];
    }
    return bgr;
}

} // namespace tools
