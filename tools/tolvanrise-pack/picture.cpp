#include "tools/tolvanrise-pack/picture.h"

#include <png.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>

namespace packer {

namespace {

// Pictures larger than this are not what the store is for (its sides stop at 32767).
constexpr int32_t kMaxSide = 32767;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

bool LoadPicture(const std::string& path, Picture& out, std::string& error)
{
    const std::string lower = Lower(path);
    if (EndsWith(lower, ".png"))
        return LoadPng(path, out, error);
    if (EndsWith(lower, ".tga"))
        return LoadTga(path, out, error);
    error = path + ": only .png and .tga pictures are read";
    return false;
}

bool LoadPng(const std::string& path, Picture& out, std::string& error)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        error = path + ": " + image.message;
        return false;
    }
    if (image.width == 0 || image.height == 0 || image.width > kMaxSide ||
        image.height > kMaxSide) {
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
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = path + ": cannot open";
        return false;
    }
    uint8_t header[18];
    if (std::fread(header, 1, sizeof header, file.get()) != sizeof header) {
        error = path + ": too short for a TGA header";
        return false;
    }
    const int idLength = header[0];
    const int colourMapType = header[1];
    const int type = header[2];
    const int width = header[12] | (header[13] << 8);
    const int height = header[14] | (header[15] << 8);
    const int depth = header[16];
    const bool topFirst = (header[17] & 0x20) != 0;
    if (colourMapType != 0 || (type != 2 && type != 3)) {
        error = path + ": only uncompressed true-colour or grey TGA without a colour map";
        return false;
    }
    const int bytes = depth / 8;
    if (!((type == 2 && (depth == 24 || depth == 32)) || (type == 3 && depth == 8))) {
        error = path + ": unsupported TGA depth";
        return false;
    }
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) {
        error = path + ": picture size out of range";
        return false;
    }
    if (std::fseek(file.get(), idLength, SEEK_CUR) != 0) {
        error = path + ": cut short";
        return false;
    }
    std::vector<uint8_t> row(static_cast<size_t>(width) * bytes);
    out.Resize(width, height);
    for (int r = 0; r < height; ++r) {
        if (std::fread(row.data(), 1, row.size(), file.get()) != row.size()) {
            error = path + ": cut short";
            return false;
        }
        const int y = topFirst ? r : height - 1 - r;
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &row[static_cast<size_t>(x) * bytes];
            uint8_t* q = out.At(x, y);
            if (bytes == 1) {
                q[0] = q[1] = q[2] = p[0];
                q[3] = 255;
            } else {
                q[0] = p[2];
                q[1] = p[1];
                q[2] = p[0];
                q[3] = bytes == 4 ? p[3] : 255;
            }
        }
    }
    return true;
}

bool SavePng(const std::string& path, const Picture& picture, std::string& error)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, path.c_str(), 0, picture.rgba.data(), 0, nullptr)) {
        error = path + ": " + image.message;
        return false;
    }
    return true;
}

bool SaveTga(const std::string& path, const Picture& picture, std::string& error)
{
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        error = path + ": cannot create";
        return false;
    }
    uint8_t header[18] = {};
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

} // namespace packer
