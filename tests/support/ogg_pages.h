#pragma once
// Ogg files altered page by page, for tests of what a reader makes of claims a file should not
// make: each page found by its capture pattern, a field rewritten, the page's checksum made
// right again so that the container accepts it and only the claim is wrong.

#include <cstdint>
#include <string>
#include <vector>

namespace tolvanrise::test {

// Where each page starts.
inline std::vector<size_t> OggPageStarts(const std::string& file)
{
    std::vector<size_t> starts;
    for (size_t at = 0; at + 27 <= file.size();) {
        if (file.compare(at, 4, "OggS") != 0)
            break;
        starts.push_back(at);
        const size_t segments = static_cast<uint8_t>(file[at + 26]);
        size_t body = 0;
        for (size_t i = 0; i < segments && at + 27 + i < file.size(); ++i)
            body += static_cast<uint8_t>(file[at + 27 + i]);
        at += 27 + segments + body;
    }
    return starts;
}

// Writes value (little-endian, bytes long) at offset from the start of the page at page, then
// the page's CRC-32 (polynomial 0x04C11DB7, not reflected, over the page with the field zero).
inline void RewriteOggPage(std::string& file, size_t page, size_t offset, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        file[page + offset + i] = static_cast<char>(value >> (8 * i));
    const size_t segments = static_cast<uint8_t>(file[page + 26]);
    size_t length = 27 + segments;
    for (size_t i = 0; i < segments; ++i)
        length += static_cast<uint8_t>(file[page + 27 + i]);
    for (int i = 0; i < 4; ++i)
        file[page + 22 + i] = 0;
    uint32_t crc = 0;
    for (size_t i = 0; i < length; ++i) {
        crc ^= uint32_t{static_cast<uint8_t>(file[page + i])} << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    for (int i = 0; i < 4; ++i)
        file[page + 22 + i] = static_cast<char>(crc >> (8 * i));
}

// The sample rate the identification header (alone on the first page) announces.
inline std::string WithOggRate(std::string file, uint32_t rate)
{
    RewriteOggPage(file, 0, 27 + 1 + 12, rate, 4); // header, one lacing value, packet offset 12
    return file;
}

// The length the last page claims, in frames from the stream's start.
inline std::string WithOggLength(std::string file, uint64_t frames)
{
    const auto starts = OggPageStarts(file);
    if (!starts.empty())
        RewriteOggPage(file, starts.back(), 6, frames, 8);
    return file;
}

} // namespace tolvanrise::test
