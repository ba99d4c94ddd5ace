#pragma once
// GPackDataSource: a GDataSource over one whole pack file "Data%d.dat" held in memory, undoing
// the pack pictures' scrambling as the bytes are read. The key starts as the complement of
// the file's first byte (so that byte reads back as 0xFF, the first byte of every JPEG
// stream) and takes one step per byte (NextKey). Writers scramble with the same schedule
// from a starting key of their choice (Scramble).
//
// Owns its own pack cache and the pack it opened (given back on Close); a source can also
// read bytes the caller keeps (Attach). One thread at a time.

#include <cstdint>
#include <cstddef>
#include <memory>
#include <string>

#include "graphics/store/data_source.h"

class GDataPackCache;

class GPackDataSource : public GDataSource {
public:
    ~GPackDataSource() override;

    // A source whose cache holds up to capacity packs; null when it cannot be allocated.
    static std::unique_ptr<GPackDataSource> Create(uint32_t capacity);
    // Closes what is open and makes a new cache of that capacity; false when that fails.
    bool Init(uint32_t capacity);

    // Closes what is open, then loads pack number (under folder, when not null) through the
    // cache. 1 when the pack was loaded, else 0 (and nothing is open).
    int Open(int32_t number, const char* folder);
    // Closes what is open, then reads size bytes that the caller keeps alive until Close.
    void Attach(const uint8_t* data, uint32_t size);
    // Gives the opened pack back to the cache; the source is then empty.
    void Close();

    // Copies and unscrambles up to size bytes; 0 once none are left (and for size <= 0).
    int32_t Read(uint8_t* buffer, int32_t size, bool* end) override;

    // The bytes of what is open, as stored (still scrambled); null and 0 when nothing is.
    const uint8_t* GetData() const { return m_data; }
    uint32_t GetSize() const { return m_size; }

    // One step of the key: doubled, then plus 1 when the doubled value leaves remainder 1
    // on division by 9, otherwise plus 2, in 8 bits.
    static uint8_t NextKey(uint8_t key)
    {
        const uint32_t doubled = 2u * key;
        return static_cast<uint8_t>(doubled + (doubled % 9 == 1 ? 1 : 2));
    }
    // Scrambles or unscrambles count bytes in place from the key; returns the key that the
    // next byte would use.
    static uint8_t Scramble(uint8_t* bytes, size_t count, uint8_t key);

private:
    GPackDataSource() = default;
    void Start(const uint8_t* data, uint32_t size);

    std::unique_ptr<GDataPackCache> m_cache;
    uint32_t m_capacity = 0;
    const uint8_t* m_data = nullptr;
    uint32_t m_size = 0;
    uint32_t m_position = 0;
    int32_t m_packNumber = -1; // the pack this source holds in its cache, -1 for none
    std::string m_folder;
    bool m_hasFolder = false;
    uint8_t m_key = 0;
};
