#include "audio/decoders/ogg_file.h"

#include <vorbis/vorbisfile.h>

#include <cstdio>
#include <new>

#include "platform/files/file_system.h"

namespace ogg_file {
namespace {

// More failures in a row than any sane stream has at a seam: the data is broken for good.
constexpr int kMaxFailuresInARow = 16;

size_t ReadCallback(void* data, size_t size, size_t count, void* file)
{
    return std::fread(data, size, count, static_cast<std::FILE*>(file));
}

int SeekCallback(void* file, ogg_int64_t offset, int whence)
{
    return std::fseek(static_cast<std::FILE*>(file), static_cast<long>(offset), whence);
}

int CloseCallback(void* file)
{
    return std::fclose(static_cast<std::FILE*>(file));
}

long TellCallback(void* file)
{
    return std::ftell(static_cast<std::FILE*>(file));
}

} // namespace

FilePtr Open(const char* path, platform::WaveFormat* format, uint16_t extraSize)
{
    if (!path)
        return nullptr;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(platform::OpenFile(path, "rb"),
                                                           std::fclose);
    if (!stream)
        return nullptr;
    std::unique_ptr<OggVorbis_File> opening(new (std::nothrow) OggVorbis_File);
    const ov_callbacks callbacks{ReadCallback, SeekCallback, CloseCallback, TellCallback};
    // A failed open leaves the stream to us; a successful one hands it to the stream object.
    if (!opening || ov_open_callbacks(stream.get(), opening.get(), nullptr, 0, callbacks) < 0)
        return nullptr;
    stream.release();
    FilePtr file(opening.release());
    const vorbis_info* info = ov_info(file.get(), -1);
    if (!info || info->channels < 1 || info->channels > 2 || info->rate < 1 || info->rate > 1000000)
        return nullptr;
    *format = platform::WaveFormat::Pcm(static_cast<uint16_t>(info->channels),
                                        static_cast<uint32_t>(info->rate), 16, extraSize);
    return file;
}

void Closer::operator()(OggVorbis_File* file) const
{
    ov_clear(file);
    delete file;
}

int32_t Read(OggVorbis_File* file, uint8_t* buffer, int32_t length)
{
    int32_t count = 0;
    int failures = 0;
    while (count < length) {
        int section = 0;
        const long got = ov_read(file, reinterpret_cast<char*>(buffer + count), length - count, 0,
                                 2, 1, &section);
        if (got == 0)
            break;
        if (got < 0) {
            if (++failures >= kMaxFailuresInARow)
                break;
            continue;
        }
        failures = 0;
        count += static_cast<int32_t>(got);
    }
    return count;
}

} // namespace ogg_file
