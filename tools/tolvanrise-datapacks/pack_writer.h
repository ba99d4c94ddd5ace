#pragma once
// Writers of the single-picture data packs "Data%d.dat" that the engine's image loaders read
// (graphics/store/image_loaders.h, which describes the three layouts): TGA, "JPM" and scrambled
// JPEG. Kept in this header so that the tests write their packs with exactly the code the
// tool runs. Pictures come in as 8-bit R, G, B, A rows, the top row first; a mask byte is
// 255 - A (the engine's masks count transparency).
//
// The TGA files stay valid for other readers too: 24- and 8-bit files are stored top row
// first and say so in the descriptor byte, 32-bit files bottom row first, as the loader
// expects of each depth.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/files/scramble_keys.h"
#include "foundation/files/xor_scramble.h"
#include "graphics/jpeg/jpeg_writer.h"
#include "graphics/store/pack_data_source.h"
#include "platform/files/file_system.h"
#include "tools/common/picture.h"

namespace packtool {

using tools::BgrOf;
using tools::Picture;

enum class PackKind {
    kTga32, // colour and mask                       -> image format 2
    kTga24, // colour                                -> image format 0
    kTga8,  // the grey value of each pixel as a mask -> image format 14
    kJpm,   // JPEG colour, scrambled, and a plain mask -> image format 2
    kJpeg,  // JPEG colour, scrambled for the pack source -> image format 0
};

// "tga32", "tga24", "tga8", "jpm", "jpeg"; false for any other name.
inline bool ParsePackKind(const std::string& name, PackKind& kind)
{
    static const struct {
        const char* name;
        PackKind kind;
    } kNames[] = {{"tga32", PackKind::kTga32}, {"tga24", PackKind::kTga24},
                  {"tga8", PackKind::kTga8},   {"jpm", PackKind::kJpm},
                  {"jpeg", PackKind::kJpeg}};
    for (const auto& entry : kNames)
        if (name == entry.name) {
            kind = entry.kind;
            return true;
        }
    return false;
}

// Sides the engine's images can have (signed 16-bit, at least one pixel), with the pixels
// all there.
inline bool IsPackablePicture(const Picture& picture)
{
    return picture.width >= 1 && picture.height >= 1 && picture.width <= tools::kMaxPictureSide &&
           picture.height <= tools::kMaxPictureSide &&
           picture.rgba.size() ==
               static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * 4;
}

// Luma of a pixel with weights summing to 256, so a grey pixel keeps its value exactly.
inline uint8_t GreyOf(const uint8_t* rgba)
{
    return static_cast<uint8_t>((77 * rgba[0] + 150 * rgba[1] + 29 * rgba[2] + 128) >> 8);
}

inline void PutU16(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

inline void PutU32(std::vector<uint8_t>& out, uint32_t value)
{
    PutU16(out, value & 0xFFFF);
    PutU16(out, value >> 16);
}

inline bool MakeTga(const Picture& picture, PackKind kind, std::vector<uint8_t>& out)
{
    out.clear();
    if (!IsPackablePicture(picture) ||
        (kind != PackKind::kTga32 && kind != PackKind::kTga24 && kind != PackKind::kTga8))
        return false;
    const uint32_t w = static_cast<uint32_t>(picture.width);
    const uint32_t h = static_cast<uint32_t>(picture.height);
    const uint8_t depth = kind == PackKind::kTga32 ? 32 : kind == PackKind::kTga24 ? 24 : 8;
    // Descriptor: bit 5 = top row first; the low nibble counts the alpha bits.
    const uint8_t descriptor = kind == PackKind::kTga32 ? 0x08 : 0x20;

    out.assign(12, 0);
    out[2] = kind == PackKind::kTga8 ? 3 : 2;
    PutU16(out, w);
    PutU16(out, h);
    out.push_back(depth);
    out.push_back(descriptor);
    out.reserve(out.size() + static_cast<size_t>(w) * h * (depth / 8));
    for (uint32_t i = 0; i < h; ++i) {
        const uint32_t row = kind == PackKind::kTga32 ? h - 1 - i : i;
        const uint8_t* in = picture.rgba.data() + static_cast<size_t>(row) * w * 4;
        for (uint32_t x = 0; x < w; ++x) {
            const uint8_t* p = in + x * 4;
            if (kind == PackKind::kTga8) {
                out.push_back(GreyOf(p));
                continue;
            }
            out.push_back(p[2]);
            out.push_back(p[1]);
            out.push_back(p[0]);
            if (kind == PackKind::kTga32)
                out.push_back(p[3]);
        }
    }
    return true;
}

// The colour stream is scrambled with the running XOR from key; the reader passes the same.
inline bool MakeJpm(const Picture& picture, int32_t quality, uint8_t key, std::vector<uint8_t>& out)
{
    out.clear();
    if (!IsPackablePicture(picture))
        return false;
    const std::vector<uint8_t> bgr = BgrOf(picture);
    std::vector<uint8_t> colour;
    if (!EncodeJpeg(bgr.data(), picture.width, picture.height, picture.width * 3, quality,
                    true, colour))
        return false;
    XorScramble(colour.data(), nullptr, static_cast<uint32_t>(colour.size()), key);

    const size_t pixels = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
    const uint32_t colourOffset = 20;
    const uint64_t maskOffset = colourOffset + uint64_t{colour.size()};
    if (maskOffset + pixels > UINT32_MAX)
        return false;
    out = {'J', 'P', 'M', 0};
    PutU32(out, static_cast<uint32_t>(picture.width));
    PutU32(out, static_cast<uint32_t>(picture.height));
    PutU32(out, colourOffset);
    PutU32(out, static_cast<uint32_t>(maskOffset));
    out.insert(out.end(), colour.begin(), colour.end());
    out.reserve(out.size() + pixels);
    for (size_t i = 0; i < pixels; ++i)
        out.push_back(static_cast<uint8_t>(255 - picture.rgba[i * 4 + 3]));
    return true;
}

// A JPEG stream scrambled with the pack source's schedule from startKey (any value reads
// back: the reader takes the key from the first byte).
inline bool MakePackJpeg(const Picture& picture, int32_t quality, uint8_t startKey,
                         std::vector<uint8_t>& out)
{
    out.clear();
    if (!IsPackablePicture(picture))
        return false;
    const std::vector<uint8_t> bgr = BgrOf(picture);
    if (!EncodeJpeg(bgr.data(), picture.width, picture.height, picture.width * 3, quality, true,
                    out))
        return false;
    GPackDataSource::Scramble(out.data(), out.size(), startKey);
    return true;
}

// The bytes of one pack of the given kind; quality counts for the JPEG kinds only.
inline bool MakePack(const Picture& picture, PackKind kind, int32_t quality,
                     std::vector<uint8_t>& out)
{
    switch (kind) {
    case PackKind::kJpm:
        return MakeJpm(picture, quality, kBackgroundJpmKey, out);
    case PackKind::kJpeg:
        return MakePackJpeg(picture, quality, kPackJpegWriteKey, out);
    default:
        return MakeTga(picture, kind, out);
    }
}

// "<folder>/Data<number>.dat", or "Data<number>.dat" for an empty folder.
inline std::string PackFileName(const std::string& folder, int32_t number)
{
    char name[32];
    std::snprintf(name, sizeof name, "Data%d.dat", static_cast<int>(number));
    return folder.empty() ? std::string(name) : folder + "/" + name;
}

// Replaces the pack file as a whole; false when it cannot be written.
inline bool WritePack(const std::string& folder, int32_t number, const std::vector<uint8_t>& bytes)
{
    return platform::ReplaceFile(PackFileName(folder, number).c_str(), bytes.data(),
                                 bytes.size()) == platform::ReplaceResult::kReplaced;
}

} // namespace packtool
