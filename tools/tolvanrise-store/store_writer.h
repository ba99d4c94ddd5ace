#pragma once
// StoreWriter: collects the records of one bitmap set and writes the index "bmst.bin" with
// its data files "bmdt%d.bin" in the layout graphics/store/bitmap_store_reader.h reads. Records are
// numbered in the order they are added; a masked record names its mask by that number, so a
// mask is added before the images that use it. Every Add checks what the engine would refuse
// (long names, sides above 32767, masks of another size, JPEG streams above 1 MiB).

#include <cstdint>
#include <string>
#include <vector>

namespace packer {

class StoreWriter {
public:
    // Each Add returns the new record's entry index, or -1 with GetError() set.

    // 24-bit records (formats 0 to 11 and 13): width * height pixels of B, G, R. value is the
    // key colour 0x00RRGGBB (format 1) or the mask record (format 2).
    int32_t AddRgb(const std::string& name, int32_t width, int32_t height, const uint8_t* bgr,
                   uint8_t format, uint32_t value = 0);
    // One byte per pixel (formats 12, 14, 15, 21 and above 23); value is the mask record of
    // format 12.
    int32_t AddBytes(const std::string& name, int32_t width, int32_t height,
                     const uint8_t* bytes, uint8_t format, uint32_t value = 0);
    // Formats 16 to 20: 256 palette colours of B, G, R and width * height indices; value is
    // the key colour (18) or the mask record (20).
    int32_t AddPalettised(const std::string& name, int32_t width, int32_t height,
                          const uint8_t* palette768, const uint8_t* indices, uint8_t format,
                          uint32_t value = 0);
    // Formats 22 (becomes 0) and 23 (becomes 2, value = mask record): a plain JPEG stream of
    // exactly width x height pixels, scrambled here with the store's key.
    int32_t AddJpeg(const std::string& name, int32_t width, int32_t height,
                    const std::vector<uint8_t>& stream, uint8_t format, uint32_t value = 0);

    int32_t GetRecordCount() const { return static_cast<int32_t>(m_records.size()); }
    // Entry index of the first record of that name, or -1.
    int32_t FindRecord(const std::string& name) const;
    const std::string& GetError() const { return m_error; }

    // Writes bmst.bin and bmdt0.bin... into the folder (which must exist). A data file takes
    // records until it holds at least maxFileBytes; at least one data file is written.
    // Returns the number of data files, or -1 with GetError() set.
    int32_t Write(const std::string& folder, uint64_t maxFileBytes);

    // The bytes one record takes in a data file, pad included.
    static std::vector<uint8_t> EncodeRecord(uint8_t format, uint16_t width, uint16_t height,
                                             uint32_t value, const std::string& name,
                                             const std::vector<uint8_t>& payload, bool pad);

private:
    struct Record {
        std::string name;
        uint8_t format = 0;
        uint16_t width = 0;
        uint16_t height = 0;
        uint32_t value = 0;
        std::vector<uint8_t> payload;
        bool pad = false;
    };

    bool CheckCommon(const std::string& name, int32_t width, int32_t height);
    bool CheckMask(uint32_t mask, int32_t width, int32_t height);
    int32_t Append(Record record);
    int32_t Fail(const std::string& error);

    std::vector<Record> m_records;
    std::string m_error;
};

} // namespace packer
