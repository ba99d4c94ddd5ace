#pragma once
// The fuzz input read as a stream of fields: every read past the end gives zeros, so any input
// makes a complete case.

#include <cstddef>
#include <cstdint>

class FuzzReader {
public:
    FuzzReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint8_t U8() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    int16_t I16() { return int16_t(U8() | U8() << 8); }
    uint32_t U32() { return uint32_t(U8()) | uint32_t(U8()) << 8 | uint32_t(U8()) << 16 | uint32_t(U8()) << 24; }
    int32_t I32() { return int32_t(U32()); }
    // The remaining bytes, cycled, as image content.
    void Fill(uint8_t* p, size_t n)
    {
        const size_t left = m_size - m_pos;
        for (size_t i = 0; i < n; ++i)
            p[i] = left ? m_data[m_pos + i % left] : uint8_t(i * 31);
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};
