#include "tools/tolvanrise-store/manifest.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "foundation/image/bitmap.h"
#include "graphics/jpeg/jpeg_writer.h"
#include "tools/tolvanrise-store/picture.h"
#include "tools/tolvanrise-store/store_writer.h"

namespace packer {

namespace {

namespace fs = std::filesystem;

struct Line {
    std::string kind;
    std::string name;
    std::string picture;
    bool hasKey = false;
    uint32_t key = 0;
    std::string mask;
    int quality = -1;
};

bool ParseNumber(const std::string& text, int base, uint64_t max, uint64_t& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, base);
    if (*end != 0 || parsed > max)
        return false;
    value = parsed;
    return true;
}

std::vector<uint8_t> MaskOf(const Picture& picture)
{
    std::vector<uint8_t> mask(static_cast<size_t>(picture.width) * picture.height);
    for (size_t i = 0; i < mask.size(); ++i)
        mask[i] = static_cast<uint8_t>(255 - picture.rgba[i * 4 + 3]);
    return mask;
}

// A baseline JPEG stream of the picture; libjpeg takes the quality as it is (1 to 100).
bool JpegOf(const Picture& picture, int quality, std::vector<uint8_t>& stream)
{
    JpegEncoding encoding;
    encoding.quality = quality;
    return EncodeJpeg(BgrOf(picture).data(), picture.width, picture.height, picture.width * 3,
                      encoding, stream);
}

// Palette in order of first appearance (B, G, R entries); false above 256 colours.
bool PaletteOf(const Picture& picture, std::vector<uint8_t>& palette, std::vector<uint8_t>& indices)
{
    palette.assign(768, 0);
    indices.assign(static_cast<size_t>(picture.width) * picture.height, 0);
    std::map<uint32_t, uint8_t> seen;
    for (size_t i = 0; i < indices.size(); ++i) {
        const uint8_t* p = &picture.rgba[i * 4];
        const uint32_t colour = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
        auto it = seen.find(colour);
        if (it == seen.end()) {
            if (seen.size() == 256)
                return false;
            const auto index = static_cast<uint8_t>(seen.size());
            palette[index * 3] = p[2];
            palette[index * 3 + 1] = p[1];
            palette[index * 3 + 2] = p[0];
            it = seen.emplace(colour, index).first;
        }
        indices[i] = it->second;
    }
    return true;
}

class ManifestReader {
public:
    ManifestReader(const std::string& sourceName, const std::string& pictureFolder,
                   StoreWriter& writer, ManifestSettings& settings)
        : m_sourceName(sourceName), m_folder(pictureFolder), m_writer(writer), m_settings(settings)
    {
    }

    bool Read(const std::string& text, std::string& error);

private:
    bool Fail(const std::string& reason)
    {
        m_error = m_sourceName + ":" + std::to_string(m_lineNumber) + ": " + reason;
        return false;
    }
    bool Directive(const std::vector<std::string>& fields);
    bool Record(const std::vector<std::string>& fields);
    bool AddRecord(const Line& line, const Picture& picture);
    // The mask record for a masked kind: the named one, or a new one made from the alpha.
    int32_t MaskFor(const Line& line, const Picture& picture);
    bool Check(int32_t index)
    {
        return index >= 0 || Fail(m_writer.GetError());
    }

    std::string m_sourceName;
    std::string m_folder;
    StoreWriter& m_writer;
    ManifestSettings& m_settings;
    int m_lineNumber = 0;
    std::string m_error;
};

bool ManifestReader::Read(const std::string& text, std::string& error)
{
    std::istringstream lines(text);
    std::string raw;
    while (std::getline(lines, raw)) {
        ++m_lineNumber;
        const size_t hash = raw.find('#');
        if (hash != std::string::npos)
            raw.erase(hash);
        std::istringstream words(raw);
        std::vector<std::string> fields;
        for (std::string word; words >> word;)
            fields.push_back(word);
        if (fields.empty())
            continue;
        const bool ok = fields[0] == "max_file_bytes" || fields[0] == "jpeg_quality"
                            ? Directive(fields)
                            : Record(fields);
        if (!ok) {
            error = m_error;
            return false;
        }
    }
    return true;
}

bool ManifestReader::Directive(const std::vector<std::string>& fields)
{
    uint64_t value = 0;
    if (fields.size() != 2)
        return Fail(fields[0] + " takes one number");
    if (fields[0] == "max_file_bytes") {
        if (!ParseNumber(fields[1], 10, UINT32_MAX, value) || value == 0)
            return Fail("max_file_bytes must be a positive number");
        m_settings.maxFileBytes = value;
    } else {
        if (!ParseNumber(fields[1], 10, 100, value) || value == 0)
            return Fail("jpeg_quality runs from 1 to 100");
        m_settings.jpegQuality = static_cast<int>(value);
    }
    return true;
}

bool ManifestReader::Record(const std::vector<std::string>& fields)
{
    static const char* const kKinds[] = {"rgb",     "masked",         "mask",
                                         "alpha",   "palette",        "palette_masked",
                                         "indexed_masked", "jpeg",    "jpeg_masked"};
    bool known = false;
    for (const char* kind : kKinds)
        known = known || fields[0] == kind;
    if (!known)
        return Fail("unknown kind or directive '" + fields[0] + "'");
    if (fields.size() < 3)
        return Fail("a record line is: <kind> <NAME> <picture> [options]");

    Line line;
    line.kind = fields[0];
    line.name = fields[1];
    line.picture = fields[2];
    for (size_t i = 3; i < fields.size(); ++i) {
        const std::string& option = fields[i];
        uint64_t value = 0;
        if (option.rfind("key=", 0) == 0) {
            if (!ParseNumber(option.substr(4), 16, 0xFFFFFF, value))
                return Fail("key= takes a colour RRGGBB in hex");
            line.hasKey = true;
            line.key = static_cast<uint32_t>(value);
        } else if (option.rfind("mask=", 0) == 0) {
            line.mask = option.substr(5);
        } else if (option.rfind("quality=", 0) == 0) {
            if (!ParseNumber(option.substr(8), 10, 100, value) || value == 0)
                return Fail("quality= runs from 1 to 100");
            line.quality = static_cast<int>(value);
        } else {
            return Fail("unknown option '" + option + "'");
        }
    }
    const bool keyed = line.kind == "rgb" || line.kind == "palette";
    const bool masked = line.kind == "masked" || line.kind == "palette_masked" ||
                        line.kind == "indexed_masked" || line.kind == "jpeg_masked";
    if (line.hasKey && !keyed)
        return Fail("key= belongs to rgb and palette records");
    if (!line.mask.empty() && !masked)
        return Fail("mask= belongs to masked records");
    if (line.quality >= 0 && line.kind != "jpeg" && line.kind != "jpeg_masked")
        return Fail("quality= belongs to JPEG records");
    if (m_writer.FindRecord(line.name) >= 0)
        return Fail("the name " + line.name + " is used twice");

    Picture picture;
    std::string error;
    const std::string path = m_folder.empty() ? line.picture : m_folder + "/" + line.picture;
    if (!LoadPicture(path, picture, error))
        return Fail(error);
    return AddRecord(line, picture);
}

int32_t ManifestReader::MaskFor(const Line& line, const Picture& picture)
{
    if (!line.mask.empty()) {
        const int32_t index = m_writer.FindRecord(line.mask);
        if (index < 0)
            Fail("mask " + line.mask + " is not an earlier record");
        return index;
    }
    std::string name = line.name.size() > 17 ? line.name.substr(0, 17) : line.name;
    name += "_A";
    if (m_writer.FindRecord(name) >= 0) {
        Fail("the mask name " + name + " is taken");
        return -1;
    }
    const std::vector<uint8_t> mask = MaskOf(picture);
    const int32_t index = m_writer.AddBytes(name, picture.width, picture.height, mask.data(),
                                            dmStoreMask);
    if (index < 0)
        Fail(m_writer.GetError());
    return index;
}

bool ManifestReader::AddRecord(const Line& line, const Picture& picture)
{
    const int32_t w = picture.width;
    const int32_t h = picture.height;
    const std::string& kind = line.kind;

    if (kind == "rgb")
        return Check(m_writer.AddRgb(line.name, w, h, BgrOf(picture).data(),
                                     line.hasKey ? dmColorKey : dmCopy, line.key));
    if (kind == "mask")
        return Check(m_writer.AddBytes(line.name, w, h, MaskOf(picture).data(), dmStoreMask));
    if (kind == "alpha")
        return Check(m_writer.AddBytes(line.name, w, h, MaskOf(picture).data(), dmDarkenMask));
    if (kind == "palette") {
        std::vector<uint8_t> palette, indices;
        if (!PaletteOf(picture, palette, indices))
            return Fail(line.picture + " has more than 256 colours");
        return Check(m_writer.AddPalettised(line.name, w, h, palette.data(), indices.data(),
                                            line.hasKey ? dmIndexedColorKey : dmIndexed,
                                            line.key));
    }
    const int quality = line.quality > 0 ? line.quality : m_settings.jpegQuality;
    if (kind == "jpeg") {
        std::vector<uint8_t> stream;
        if (!JpegOf(picture, quality, stream))
            return Fail(line.picture + ": the JPEG encoder failed");
        return Check(m_writer.AddJpeg(line.name, w, h, stream, dmStoreJpeg));
    }

    // Masked kinds: the palette is checked before a mask record is added for nothing.
    std::vector<uint8_t> palette, indices, stream;
    if (kind == "palette_masked" && !PaletteOf(picture, palette, indices))
        return Fail(line.picture + " has more than 256 colours");
    if (kind == "jpeg_masked" && !JpegOf(picture, quality, stream))
        return Fail(line.picture + ": the JPEG encoder failed");
    const int32_t mask = MaskFor(line, picture);
    if (mask < 0)
        return false;
    const auto value = static_cast<uint32_t>(mask);
    if (kind == "masked")
        return Check(m_writer.AddRgb(line.name, w, h, BgrOf(picture).data(), dmAlphaMask, value));
    if (kind == "palette_masked")
        return Check(m_writer.AddPalettised(line.name, w, h, palette.data(), indices.data(),
                                            dmIndexedMask, value));
    if (kind == "indexed_masked") {
        std::vector<uint8_t> red(static_cast<size_t>(w) * h);
        for (size_t i = 0; i < red.size(); ++i)
            red[i] = picture.rgba[i * 4];
        return Check(m_writer.AddBytes(line.name, w, h, red.data(), dmPaletteMask, value));
    }
    return Check(m_writer.AddJpeg(line.name, w, h, stream, dmStoreJpegMasked, value));
}

} // namespace

bool ReadManifestText(const std::string& text, const std::string& sourceName,
                      const std::string& pictureFolder, StoreWriter& writer,
                      ManifestSettings& settings, std::string& error)
{
    ManifestReader reader(sourceName, pictureFolder, writer, settings);
    return reader.Read(text, error);
}

bool ReadManifest(const std::string& path, StoreWriter& writer, ManifestSettings& settings,
                  std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    const std::string folder = fs::path(path).parent_path().string();
    return ReadManifestText(text.str(), path, folder, writer, settings, error);
}

int32_t PackManifest(const std::vector<std::string>& manifestPaths, const std::string& outputFolder,
                     std::string& error)
{
    StoreWriter writer;
    ManifestSettings settings;
    for (const std::string& path : manifestPaths)
        if (!ReadManifest(path, writer, settings, error))
            return -1;
    std::error_code ignored;
    fs::create_directories(outputFolder, ignored);
    const int32_t files = writer.Write(outputFolder, settings.maxFileBytes);
    if (files < 0)
        error = writer.GetError();
    return files;
}

} // namespace packer
