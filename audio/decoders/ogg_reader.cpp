#include "audio/decoders/ogg_reader.h"

#include <vorbis/vorbisfile.h>

int32_t GOggReader::Open(const char* path)
{
    if (!path)
        return kReaderInvalidArg;
    Close();
    m_file = ogg_file::Open(path, &m_format, 0);
    if (!m_file)
        return kReaderInvalidArg;
    const ogg_int64_t frames = ov_pcm_total(m_file.get(), -1);
    if (frames < 0) {
        Close();
        return kReaderInvalidArg;
    }
    m_dataSize = frames * m_format.blockAlign;
    return kReaderOk;
}

int32_t GOggReader::Read(uint8_t* buffer, int32_t length, int32_t* count)
{
    const int32_t got =
        m_file && buffer && length > 0 ? ogg_file::Read(m_file.get(), buffer, length) : 0;
    if (count)
        *count = got;
    return kReaderOk;
}

int32_t GOggReader::Rewind()
{
    if (m_file)
        ov_time_seek(m_file.get(), 0.0);
    return kReaderOk;
}

int32_t GOggReader::Close()
{
    m_file.reset();
    m_dataSize = 0;
    return kReaderOk;
}
