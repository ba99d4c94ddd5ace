#pragma once
// The two byte-level readers of the JPEG decoder.
//
// GJpegInput buffers a GDataSource 4096 bytes at a time. Past the end of the stream it reads
// as endless 0xFF 0xD9 pairs (end-of-image markers), so every reader above it stops at a marker
// instead of running off the end; nothing is ever read beyond the bytes the source delivered.
// A read error of the source is remembered and the stream is treated as ended from there.
//
// GJpegBitReader reads the entropy-coded segments: bits most significant first out of a 64-bit
// buffer, with the 0xFF 0x00 byte stuffing of T.81 F.1.2.3 removed. At any other 0xFF pair it
// stops without consuming the marker and supplies 1-bits from then on. It counts those made-up
// bits, so the decoder can tell the moment the real data ran out ("starved").
//
// Both belong to one decoder and are used by the thread that runs it.

#include <cstdint>
#include <cstring>

class GDataSource;

class GJpegInput {
public:
    static constexpr int32_t kBufferSize = 4096;
    // Made-up end-of-image bytes appended at once when the stream has ended.
    static constexpr int32_t kTailSize = 128;

    void Attach(GDataSource* source);
    // Further reads see only what is buffered, then the end-of-image tail.
    void Detach() { m_source = nullptr; }
    bool ReadFailed() const { return m_readFailed; }

    uint8_t ReadByte()
    {
        if (m_pos == m_end)
            Ensure(1);
        return *m_pos++;
    }
    uint8_t PeekByte()
    {
        if (m_pos == m_end)
            Ensure(1);
        return *m_pos;
    }
    uint16_t ReadU16()
    {
        const uint16_t high = ReadByte();
        return static_cast<uint16_t>(high << 8 | ReadByte());
    }
    void Skip(uint32_t count)
    {
        while (count > 0) {
            if (m_pos == m_end)
                Ensure(1);
            const uint32_t step = Available() < count ? Available() : count;
            m_pos += step;
            count -= step;
        }
    }

    // Makes at least n (1 to 16) bytes readable from Cursor(), refilling from the source and
    // appending the end-of-image tail once the source is exhausted.
    void Ensure(uint32_t n)
    {
        if (Available() < n)
            Refill(n);
    }
    uint32_t Available() const { return static_cast<uint32_t>(m_end - m_pos); }
    const uint8_t* Cursor() const { return m_pos; }
    void Advance(uint32_t n) { m_pos += n; }

private:
    void Refill(uint32_t n);

    GDataSource* m_source = nullptr;
    bool m_sourceEnded = true;
    bool m_readFailed = false;
    // Phase of the made-up tail: the next made-up byte is 0xD9 when set, else 0xFF.
    bool m_tailPhase = false;
    const uint8_t* m_pos = m_buffer;
    const uint8_t* m_end = m_buffer;
    // Room for a full block from the source plus a tail and the few bytes kept from before.
    uint8_t m_buffer[kBufferSize + kTailSize + 16] = {};
};

class GJpegBitReader {
public:
    void Start(GJpegInput* input)
    {
        m_input = input;
        Reset();
    }
    // Drops every buffered bit and the marker stop; used at the start of a restart interval.
    void Reset()
    {
        m_bits = 0;
        m_count = 0;
        m_padding = 0;
        m_atMarker = false;
    }

    // Tops the buffer up to at least 57 bits (all 64 once stopped at a marker).
    void Fill()
    {
        while (m_count <= 56) {
            if (m_atMarker) {
                PadWithOnes();
                return;
            }
            if (m_input->Available() >= 8 && FillWord())
                continue;
            m_input->Ensure(2);
            const uint8_t* p = m_input->Cursor();
            if (p[0] == 0xFF) {
                if (p[1] != 0x00) {
                    m_atMarker = true;
                    continue;
                }
                m_input->Advance(2);
            } else {
                m_input->Advance(1);
            }
            m_bits |= static_cast<uint64_t>(p[0]) << (56 - m_count);
            m_count += 8;
        }
    }
    // Keeps at least 32 bits ready: one Huffman code (16 bits at most) and its extra bits
    // (15 at most) then need no further check.
    void Prepare()
    {
        if (m_count < 32)
            Fill();
    }
    // The next n bits (1 to 32) without consuming them.
    uint32_t Peek(int n) const { return static_cast<uint32_t>(m_bits >> (64 - n)); }
    void Consume(int n)
    {
        m_bits <<= n;
        m_count -= n;
    }
    uint32_t Take(int n)
    {
        const uint32_t v = Peek(n);
        Consume(n);
        return v;
    }

    // Declares the data ended here: from now on only made-up bits, and Starved() holds.
    void Starve()
    {
        Reset();
        m_atMarker = true;
        m_padding = 1;
    }

    bool AtMarker() const { return m_atMarker; }
    // True once bits past the real data were consumed.
    bool Starved() const { return m_padding > m_count; }

private:
    // Takes whole bytes from the next eight at once when none of them is 0xFF.
    bool FillWord()
    {
        uint64_t word;
        std::memcpy(&word, m_input->Cursor(), 8);
        word = __builtin_bswap64(word);
        const int bytes = (64 - m_count) >> 3;
        if (bytes < 8)
            word &= ~uint64_t{0} << (64 - 8 * bytes);
        // A byte is 0xFF exactly when its complement is zero; the bytes masked off read 0x00.
        const uint64_t inverted = ~word;
        if ((inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull)
            return false;
        m_bits |= word >> m_count;
        m_count += 8 * bytes;
        m_input->Advance(static_cast<uint32_t>(bytes));
        return true;
    }
    void PadWithOnes()
    {
        m_bits |= ~uint64_t{0} >> m_count;
        m_padding += 64 - m_count;
        m_count = 64;
    }

    GJpegInput* m_input = nullptr;
    uint64_t m_bits = 0;  // the next bits, first one at bit 63; bits below m_count are zero
    int m_count = 0;      // valid bits in m_bits
    int m_padding = 0;    // made-up 1-bits at the bottom of the valid ones
    bool m_atMarker = false;
};
