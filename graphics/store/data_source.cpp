#include "graphics/store/data_source.h"

#include <cstring>

void GMemoryDataSource::Init(uint32_t size, const uint8_t* data)
{
    m_data = data;
    m_size = data ? size : 0;
    m_position = 0;
}

int32_t GMemoryDataSource::Read(uint8_t* buffer, int32_t size, bool* end)
{
    const uint32_t left = m_size - m_position;
    uint32_t count = size > 0 ? static_cast<uint32_t>(size) : 0;
    if (count > left)
        count = left;
    if (count > 0 && buffer) {
        std::memcpy(buffer, m_data + m_position, count);
        m_position += count;
    } else {
        count = 0;
    }
    if (end)
        *end = m_position >= m_size;
    return static_cast<int32_t>(count);
}
