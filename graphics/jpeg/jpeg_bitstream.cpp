#include "graphics/jpeg/jpeg_bitstream.h"

#include "graphics/store/data_source.h"

void GJpegInput::Attach(GDataSource* source)
{
    m_source = source;
    m_sourceEnded = source == nullptr;
    m_readFailed = false;
    m_tailPhase = false;
    m_pos = m_buffer;
    m_end = m_buffer;
}

void GJpegInput::Refill(uint32_t n)
{
    // Keep the unread bytes (fewer than n <= 16) at the front of the buffer.
    const uint32_t kept = Available();
    std::memmove(m_buffer, m_pos, kept);
    m_pos = m_buffer;
    uint8_t* end = m_buffer + kept;

    while (!m_sourceEnded && m_source && end - m_buffer < kBufferSize) {
        const int32_t room = static_cast<int32_t>(kBufferSize - (end - m_buffer));
        bool ended = false;
        const int32_t got = m_source->Read(end, room, &ended);
        if (got < 0 || got > room) {
            m_readFailed = true;
            m_sourceEnded = true;
            break;
        }
        end += got;
        // A source that delivers nothing without saying it has ended would stall us for ever.
        if (ended || got == 0)
            m_sourceEnded = true;
    }
    if (!m_source)
        m_sourceEnded = true;

    if (static_cast<uint32_t>(end - m_buffer) < n) {
        for (int32_t i = 0; i < kTailSize; ++i) {
            *end++ = m_tailPhase ? 0xD9 : 0xFF;
            m_tailPhase = !m_tailPhase;
        }
    }
    m_end = end;
}
