#include "tools/tolvanrise-store/store_writer.h"

#include <cstdio>

#include "foundation/image/bitmap.h"
#include "graphics/store/bitmap_store_reader.h"

namespace packer {

namespace {

void PutLe16(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutLe32(std::vector<uint8_t>& out, uint32_t value)
{
    PutLe16(out, value & 0xFFFF);
    PutLe16(out, value >> 16);
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written =
        bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

} // namespace

int32_t StoreWriter::Fail(const std::string& error)
{
    m_error = error;
    return -1;
}

bool StoreWriter::CheckCommon(const std::string& name, int32_t width, int32_t height)
{
    if (name.size() >= kBitmapRecordNameSize) {
        Fail(name + ": names are at most 19 characters");
        return false;
    }
    if (width < 0 || height < 0 || width > kBitmapStoreMaxSide || height > kBitmapStoreMaxSide) {
        Fail(name + ": sides run from 0 to 32767 pixels");
        return false;
    }
    if (GetRecordCount() >= kBitmapStoreMaxSlots) {
        Fail(name + ": a set holds at most 32767 records");
        return false;
    }
    return true;
}

bool StoreWriter::CheckMask(uint32_t mask, int32_t width, int32_t height)
{
    if (mask >= m_records.size()) {
        Fail("mask record " + std::to_string(mask) + " is not added yet");
        return false;
    }
    const Record& record = m_records[mask];
    if (record.width != width || record.height != height) {
        Fail("mask " + record.name + " differs in size from its image");
        return false;
    }
    return true;
}

int32_t StoreWriter::Append(Record record)
{
    m_records.push_back(std::move(record));
    return GetRecordCount() - 1;
}

int32_t StoreWriter::AddRgb(const std::string& name, int32_t width, int32_t height,
                            const uint8_t* bgr, uint8_t format, uint32_t value)
{
    if (PayloadOfFormat(format) != GBitmapPayload::kRgb)
        return Fail(name + ": format " + std::to_string(format) + " is not a 24-bit record");
    if (!CheckCommon(name, width, height))
        return -1;
    if (format == dmAlphaMask && !CheckMask(value, width, height))
        return -1;
    const size_t pixels = static_cast<size_t>(width) * height;
    Record record{name, format, static_cast<uint16_t>(width), static_cast<uint16_t>(height),
                  value, std::vector<uint8_t>(bgr, bgr + pixels * 3), (pixels & 1) != 0};
    return Append(std::move(record));
}

int32_t StoreWriter::AddBytes(const std::string& name, int32_t width, int32_t height,
                              const uint8_t* bytes, uint8_t format, uint32_t value)
{
    if (PayloadOfFormat(format) != GBitmapPayload::kBytes)
        return Fail(name + ": format " + std::to_string(format) + " is not a one-byte record");
    if (!CheckCommon(name, width, height))
        return -1;
    if (format == dmPaletteMask && !CheckMask(value, width, height))
        return -1;
    const size_t pixels = static_cast<size_t>(width) * height;
    Record record{name, format, static_cast<uint16_t>(width), static_cast<uint16_t>(height),
                  value, std::vector<uint8_t>(bytes, bytes + pixels), (pixels & 1) != 0};
    return Append(std::move(record));
}

int32_t StoreWriter::AddPalettised(const std::string& name, int32_t width, int32_t height,
                                   const uint8_t* palette768, const uint8_t* indices,
                                   uint8_t format, uint32_t value)
{
    if (PayloadOfFormat(format) != GBitmapPayload::kPalettised)
        return Fail(name + ": format " + std::to_string(format) + " is not palettised");
    if (!CheckCommon(name, width, height))
        return -1;
    if (format == dmIndexedMask && !CheckMask(value, width, height))
        return -1;
    const size_t pixels = static_cast<size_t>(width) * height;
    std::vector<uint8_t> payload;
    payload.reserve(kBitmapStorePaletteSection + pixels);
    PutLe16(payload, kBitmapStorePaletteSection);
    payload.insert(payload.end(), palette768, palette768 + 768);
    payload.insert(payload.end(), indices, indices + pixels);
    Record record{name, format, static_cast<uint16_t>(width), static_cast<uint16_t>(height),
                  value, std::move(payload), (pixels & 1) != 0};
    return Append(std::move(record));
}

int32_t StoreWriter::AddJpeg(const std::string& name, int32_t width, int32_t height,
                             const std::vector<uint8_t>& stream, uint8_t format, uint32_t value)
{
    if (format != dmStoreJpeg && format != dmStoreJpegMasked)
        return Fail(name + ": JPEG records are of format 22 or 23");
    if (!CheckCommon(name, width, height))
        return -1;
    if (format == dmStoreJpegMasked && !CheckMask(value, width, height))
        return -1;
    if (stream.size() > kBitmapStoreMaxJpegBytes)
        return Fail(name + ": the JPEG stream is larger than 1 MiB");
    std::vector<uint8_t> payload;
    payload.reserve(4 + stream.size());
    PutLe32(payload, static_cast<uint32_t>(stream.size()));
    for (uint8_t byte : stream)
        payload.push_back(byte ^ kBitmapStoreJpegKey);
    Record record{name, format, static_cast<uint16_t>(width), static_cast<uint16_t>(height),
                  value, std::move(payload), (stream.size() & 1) != 0};
    return Append(std::move(record));
}

int32_t StoreWriter::FindRecord(const std::string& name) const
{
    for (size_t i = 0; i < m_records.size(); ++i)
        if (m_records[i].name == name)
            return static_cast<int32_t>(i);
    return -1;
}

std::vector<uint8_t> StoreWriter::EncodeRecord(uint8_t format, uint16_t width, uint16_t height,
                                               uint32_t value, const std::string& name,
                                               const std::vector<uint8_t>& payload, bool pad)
{
    std::vector<uint8_t> out;
    out.reserve(kBitmapRecordHeaderSize + payload.size() + 1);
    PutLe16(out, format);
    PutLe16(out, width);
    PutLe16(out, height);
    PutLe32(out, value);
    for (uint32_t i = 0; i < kBitmapRecordNameSize; ++i)
        out.push_back(i < name.size() ? static_cast<uint8_t>(name[i]) : 0);
    out.insert(out.end(), payload.begin(), payload.end());
    if (pad)
        out.push_back(0);
    return out;
}

int32_t StoreWriter::Write(const std::string& folder, uint64_t maxFileBytes)
{
    const std::string prefix = folder.empty() ? std::string() : folder + "/";
    std::vector<std::vector<uint8_t>> files(1);
    for (const Record& record : m_records) {
        if (!files.back().empty() && files.back().size() >= maxFileBytes)
            files.emplace_back();
        std::vector<uint8_t> bytes = EncodeRecord(record.format, record.width, record.height,
                                                  record.value, record.name, record.payload,
                                                  record.pad);
        files.back().insert(files.back().end(), bytes.begin(), bytes.end());
    }
    if (files.size() > 0xFFFF)
        return Fail("more than 65535 data files");

    for (size_t i = 0; i < files.size(); ++i) {
        const std::string path = prefix + "bmdt" + std::to_string(i) + ".bin";
        if (!WriteFile(path, files[i]))
            return Fail(path + ": cannot write");
    }
    std::vector<uint8_t> index;
    PutLe16(index, static_cast<uint32_t>(files.size()));
    PutLe16(index, static_cast<uint32_t>(m_records.size()));
    const std::string indexPath = prefix + "bmst.bin";
    if (!WriteFile(indexPath, index))
        return Fail(indexPath + ": cannot write");
    return static_cast<int32_t>(files.size());
}

} // namespace packer
