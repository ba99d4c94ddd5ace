#pragma once
// Source pictures of the packer: PNG (through libpng) and uncompressed TGA, read into plain
// 8-bit RGBA, top row first. Pictures without alpha read as opaque.

#include <cstdint>
#include <string>
#include <vector>

namespace packer {

struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgba; // width * height * 4 bytes: R, G, B, A

    uint8_t* At(int32_t x, int32_t y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
    const uint8_t* At(int32_t x, int32_t y) const
    {
        return &rgba[(static_cast<size_t>(y) * width + x) * 4];
    }
    void Resize(int32_t w, int32_t h)
    {
        width = w;
        height = h;
        rgba.assign(static_cast<size_t>(w) * h * 4, 0);
    }
};

// Chooses the reader by the extension (".png" or ".tga", any case). False with a reason.
bool LoadPicture(const std::string& path, Picture& out, std::string& error);
bool LoadPng(const std::string& path, Picture& out, std::string& error);
// Types 2 (24 or 32 bits) and 3 (8-bit grey), either row order; no colour map, no RLE.
bool LoadTga(const std::string& path, Picture& out, std::string& error);

// 32-bit RGBA PNG.
bool SavePng(const std::string& path, const Picture& picture, std::string& error);
// 32-bit TGA, top row first.
bool SaveTga(const std::string& path, const Picture& picture, std::string& error);

} // namespace packer
