#include "audio/decoders/ogg_decoder.h"

#include <vorbis/vorbisfile.h>

int GOggDecoder::Open(const char* path, int)
{
    if (!path)
        return 0;
    Close();
    m_file = ogg_file::Open(path, &m_format, 18);
    return m_file ? 1 : 0;
}

void GOggDecoder::Close()
{
    m_file.reset();
}

int GOggDecoder::Read(uint8_t* buffer, int32_t length, int32_t* count)
{
    if (!buffer || length < 0)
        return 0;
    const int32_t got = m_file ? ogg_file::Read(m_file.get(), buffer, length) : 0;
    if (count)
        *count = got;
    return 1;
}

int GOggDecoder::Rewind()
{
    return m_file && ov_time_seek(m_file.get(), 0.0) == 0 ? 1 : 0;
}
