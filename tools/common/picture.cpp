#include "tools/common/picture.h"

#include <png.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

#include "platform/files/file_system.h"

namespace tools {

namespace {

constexpr size_t kTgaHeaderBytes = 18;

// tail in lower case.
bool EndsWithNoCase(const std::string& text, const std::string& tail)
{
    if (text.size() < tail.size())
        return false;
    return std::equal(tail.begin(), tail.end(), text.end() - tail.size(), [](char t, char c) {
        return t == std::tolower(static_cast<unsigned char>(c));
    });
}

bool IsPictureSide(uint32_t side)
{
    return side >= 1 && side <= static_cast<uint32_t>(kMaxPictureSide);
}

} // namespace

bool LoadPicture(const std::string& path, Picture& out, std::string& error)
{
    if (EndsWithNoCase(path, ".png"))
        return LoadPng(path, out, error);
    if (EndsWithNoCase(path, ".tga"))
        return LoadTga(path, out, error);
    error = path + ": only .png and .tga pictures are read";
    return false;
}

bool LoadPng(const std::string& path, Picture& out, std::string& error)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        error = path + ": " + image.message;
        return false;
    }
    if (!IsPictureSide(image.width) || !IsPictureSide(image.height)) {
        png_image_free(&image);
        error = path + ": picture size out of range";
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    out.Resize(static_cast<int32_t>(image.width), static_cast<int32_t>(image.height));
    if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) {
        error = path + ": " + image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}

bool LoadTga(const std::string& path, Picture& out, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open";
        return false;
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>()};
    if (in.bad()) {
        error = path + ": cannot be read";
        return false;
    }
    if (bytes.size() < kTgaHeaderBytes) {
        error = path + ": too short for a TGA header";
        return false;
    }
    const uint32_t idLength = bytes[0];
    const uint8_t colourMapType = bytes[1];
    const uint8_t type = bytes[2];
    const uint32_t width = bytes[12] | (bytes[13] << 8);
    const uint32_t height = bytes[14] | (bytes[15] << 8);
    const uint32_t depth = bytes[16];
    const bool topFirst = (bytes[17] & 0x20) != 0;
    if (colourMapType != 0 || (type != 2 && type != 3)) {
        error = path + ": only uncompressed true-colour or grey TGA without a colour map";
        return false;
    }
    if (!((type == 2 && (depth == 24 || depth == 32)) || (type == 3 && depth == 8))) {
        error = path + ": unsupported TGA depth";
        return false;
    }
    if (!IsPictureSide(width) || !IsPictureSide(height)) {
        error = path + ": picture size out of range";
        return false;
    }
    const uint32_t bytesPerPixel = depth / 8;
    const size_t start = kTgaHeaderBytes + idLength;
    const size_t rowBytes = static_cast<size_t>(width) * bytesPerPixel;
    if (bytes.size() < start + rowBytes * height) {
        error = path + ": cut short";
        return false;
    }
    out.Resize(static_cast<int32_t>(width), static_cast<int32_t>(height));
    for (uint32_t r = 0; r < height; ++r) {
        const uint8_t* p = bytes.data() + start + r * rowBytes;
        uint8_t* q = out.At(0, static_cast<int32_t>(topFirst ? r : height - 1 - r));
        for (uint32_t x = 0; x < width; ++x, p += bytesPerPixel, q += 4) {
            if (bytesPerPixel == 1) {
                q[0] = q[1] = q[2] = p[0];
                q[3] = 255;
            } else {
                q[0] = p[2];
                q[1] = p[1];
                q[2] = p[0];
                q[3] = bytesPerPixel == 4 ? p[3] : 255;
            }
        }
    }
    return true;
}

bool SavePng(const std::string& path, const Picture& picture, std::string& error,
             PngChannels channels)
{
    const size_t pixels = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
    if (!IsPictureSide(static_cast<uint32_t>(picture.width)) ||
        !IsPictureSide(static_cast<uint32_t>(picture.height)) || picture.rgba.size() != pixels * 4) {
        error = path + ": the picture has no pixels of a size that can be saved";
        return false;
    }
    const size_t count = channels == PngChannels::kGrey ? 1 : channels == PngChannels::kRgb ? 3 : 4;
    std::vector<uint8_t> packed(pixels * count);
    for (size_t i = 0; i < pixels; ++i)
        for (size_t c = 0; c < count; ++c)
            packed[i * count + c] = picture.rgba[i * 4 + c];

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = channels == PngChannels::kGrey  ? PNG_FORMAT_GRAY
                   : channels == PngChannels::kRgb ? PNG_FORMAT_RGB
                                                   : PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, path.c_str(), 0, packed.data(), 0, nullptr)) {
        error = path + ": " + image.message;
        return false;
    }
    return true;
}

bool SaveTga(const std::string& path, const Picture& picture, std::string& error)
{
    platform::FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        error = path + ": cannot create";
        return false;
    }
    uint8_t header[kTgaHeaderBytes] = {};
    header[2] = 2;
    header[12] = static_cast<uint8_t>(picture.width);
    header[13] = static_cast<uint8_t>(picture.width >> 8);
    header[14] = static_cast<uint8_t>(picture.height);
    header[15] = static_cast<uint8_t>(picture.height >> 8);
    header[16] = 32;
    header[17] = 0x28; // top row first, 8 alpha bits
    std::vector<uint8_t> bytes(header, header + sizeof header);
    for (int32_t y = 0; y < picture.height; ++y)
        for (int32_t x = 0; x < picture.width; ++x) {
            const uint8_t* p = picture.At(x, y);
            bytes.insert(bytes.end(), {p[2], p[1], p[0], p[3]});
        }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    if (std::fclose(file.release()) != 0 || !written) {
        error = path + ": write failed";
        return false;
    }
    return true;
}

} // namespace tools
