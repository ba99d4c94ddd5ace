#pragma once
// GDataSource is the byte stream the picture decoders read from: a JPEG record the bitmap store
// holds in memory, or a pack file unscrambled on the fly. It only moves forward; the reader asks
// for blocks of bytes and learns from the end flag when nothing is left. A source is used by one
// thread at a time.

#include <cstdint>

class GDataSource {
public:
    GDataSource() = default;
    GDataSource(const GDataSource&) = delete;
    GDataSource& operator=(const GDataSource&) = delete;
    virtual ~GDataSource() = default;

    // Copies at most size bytes into buffer and returns how many it copied, or -1 on a read
    // error. *end becomes true once no bytes remain after this call.
    virtual int32_t Read(uint8_t* buffer, int32_t size, bool* end) = 0;
};

// Reads a block of memory that it does not own; the block must outlive the reads.
class GMemoryDataSource : public GDataSource {
public:
    GMemoryDataSource() = default;
    GMemoryDataSource(const uint8_t* data, uint32_t size) { Init(size, data); }

    // Starts over at the first byte of the block. Without data the source is empty.
    void Init(uint32_t size, const uint8_t* data);
    int32_t Read(uint8_t* buffer, int32_t size, bool* end) override;

    uint32_t GetPosition() const { return m_position; }

private:
    const uint8_t* m_data = nullptr;
    uint32_t m_size = 0;
    uint32_t m_position = 0;
};
