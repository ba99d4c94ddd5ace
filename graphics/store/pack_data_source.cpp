#include "graphics/store/pack_data_source.h"

#include <new>

#include "foundation/files/data_files.h"
#include "foundation/core/register_object.h"

GPackDataSource::~GPackDataSource()
{
    Close();
}

std::unique_ptr<GPackDataSource> GPackDataSource::Create(uint32_t capacity)
{
    std::unique_ptr<GPackDataSource> source(new (std::nothrow) GPackDataSource);
    if (!source)
        return nullptr;
    RegisterObject(source.get());
    if (!source->Init(capacity))
        return nullptr;
    return source;
}

bool GPackDataSource::Init(uint32_t capacity)
{
    Close();
    m_cache = GDataPackCache::Create(capacity);
    m_capacity = m_cache ? capacity : 0;
    return m_cache != nullptr;
}

void GPackDataSource::Close()
{
    const char* folder = m_hasFolder ? m_folder.c_str() : nullptr;
    if (m_packNumber >= 0 && m_cache && m_cache->IsCached(m_packNumber, folder))
        m_cache->Unload(m_packNumber, folder);
    m_packNumber = -1;
    m_folder.clear();
    m_hasFolder = false;
    Start(nullptr, 0);
}

void GPackDataSource::Start(const uint8_t* data, uint32_t size)
{
    m_data = data;
    m_size = data ? size : 0;
    m_position = 0;
    // The first byte always reads back as 0xFF.
    m_key = m_size > 0 ? static_cast<uint8_t>(~m_data[0]) : 0;
}

int GPackDataSource::Open(int32_t number, const char* folder)
{
    Close();
    if (!m_cache)
        return 0;
    uint32_t size = 0;
    const uint8_t* data = m_cache->Load(number, &size, folder);
    if (!data)
        return 0;
    m_packNumber = number;
    m_hasFolder = folder != nullptr;
    if (folder)
        m_folder = folder;
    Start(data, size);
    return 1;
}

void GPackDataSource::Attach(const uint8_t* data, uint32_t size)
{
    Close();
    Start(data, size);
}

int32_t GPackDataSource::Read(uint8_t* buffer, int32_t size, bool* end)
{
    uint32_t count = size > 0 && buffer ? static_cast<uint32_t>(size) : 0;
    const uint32_t left = m_size - m_position;
    if (count > left)
        count = left;
    uint8_t key = m_key;
    const uint8_t* in = m_data + m_position;
    for (uint32_t i = 0; i < count; ++i) {
        buffer[i] = in[i] ^ key;
        key = NextKey(key);
    }
    m_key = key;
    m_position += count;
    if (end)
        *end = m_position >= m_size;
    return static_cast<int32_t>(count);
}

uint8_t GPackDataSource::Scramble(uint8_t* bytes, size_t count, uint8_t key)
{
    for (size_t i = 0; i < count; ++i) {
        bytes[i] ^= key;
        key = NextKey(key);
    }
    return key;
}
