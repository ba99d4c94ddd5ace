#include "source_pictures.h"

#include <png.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace packtool {

namespace {

std::string LowerExtension(const std::string& path)
{
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos)
        return "";
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace

bool ReadSourcePicture(const std::string& path, Picture& picture)
{
    const std::string extension = LowerExtension(path);
    if (extension == ".png")
        return ReadPng(path, picture);
    if (extension == ".tga")
        return ReadTga(path, picture);
    std::fprintf(stderr, "%s: not a PNG or TGA picture\n", path.c_str());
    return false;
}

bool ReadPng(const std::string& path, Picture& picture)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), image.message);
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    if (image.width < 1 || image.height < 1 || image.width > 32767 || image.height > 32767) {
        std::fprintf(stderr, "%s: %ux%u is not a size the engine's images can have\n",
                     path.c_str(), image.width, image.height);
        png_image_free(&image);
        return false;
    }
    picture.width = static_cast<int32_t>(image.width);
    picture.height = static_cast<int32_t>(image.height);
    picture.rgba.assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, picture.rgba.data(), 0, nullptr)) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), image.message);
        png_image_free(&image);
        return false;
    }
    return true;
}

bool ReadTga(const std::string& path, Picture& picture)
{
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(path, bytes) || bytes.size() < 18) {
        std::fprintf(stderr, "%s: missing or shorter than a TGA header\n", path.c_str());
        return false;
    }
    const uint32_t idLength = bytes[0];
    const uint8_t type = bytes[2];
    const uint32_t width = bytes[12] | (bytes[13] << 8);
    const uint32_t height = bytes[14] | (bytes[15] << 8);
    const uint32_t depth = bytes[16];
    const bool topFirst = (bytes[17] & 0x20) != 0;
    const bool supported = bytes[1] == 0 && ((type == 2 && (depth == 24 || depth == 32)) ||
                                             (type == 3 && depth == 8));
    if (!supported || width < 1 || height < 1 || width > 32767 || height > 32767) {
        std::fprintf(stderr, "%s: only uncompressed 24/32-bit colour or 8-bit grey TGA is read\n",
                     path.c_str());
        return false;
    }
    const uint32_t bytesPerPixel = depth / 8;
    const uint64_t start = 18 + uint64_t{idLength};
    if (bytes.size() < start + uint64_t{width} * height * bytesPerPixel) {
        std::fprintf(stderr, "%s: shorter than its header says\n", path.c_str());
        return false;
    }
    picture.width = static_cast<int32_t>(width);
    picture.height = static_cast<int32_t>(height);
    picture.rgba.assign(static_cast<size_t>(width) * height * 4, 0);
    for (uint32_t i = 0; i < height; ++i) {
        const uint32_t row = topFirst ? i : height - 1 - i;
        const uint8_t* in = bytes.data() + start + static_cast<size_t>(i) * width * bytesPerPixel;
        uint8_t* out = picture.rgba.data() + static_cast<size_t>(row) * width * 4;
        for (uint32_t x = 0; x < width; ++x, in += bytesPerPixel, out += 4) {
            if (bytesPerPixel == 1) {
                out[0] = out[1] = out[2] = in[0];
                out[3] = 255;
            } else {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
                out[3] = bytesPerPixel == 4 ? in[3] : 255;
            }
        }
    }
    return true;
}

bool WritePng(const std::string& path, const Picture& picture, PngLayout layout)
{
    if (!IsPackablePicture(picture))
        return false;
    const size_t pixels = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
    const size_t channels = layout == PngLayout::kGrey ? 1 : layout == PngLayout::kRgb ? 3 : 4;
    std::vector<uint8_t> packed(pixels * channels);
    for (size_t i = 0; i < pixels; ++i)
        for (size_t c = 0; c < channels; ++c)
            packed[i * channels + c] = picture.rgba[i * 4 + c];

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = layout == PngLayout::kGrey  ? PNG_FORMAT_GRAY
                   : layout == PngLayout::kRgb ? PNG_FORMAT_RGB
                                               : PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, path.c_str(), 0, packed.data(), 0, nullptr)) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), image.message);
        return false;
    }
    return true;
}

} // namespace packtool
