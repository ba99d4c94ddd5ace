#pragma once
// What the Ogg decoder and the whole-file Ogg reader share: opening a vorbisfile stream
// through the engine's file names, and the read loop that never lets a failing stream move
// the write position backwards. Internal to audio/decoders (its stream type shows in the
// decoders' headers).

#include <cstdint>
#include <memory>

#include "platform/sound/sound_device.h"

struct OggVorbis_File;

namespace ogg_file {

// Clears the stream (which closes its file) and frees it.
struct Closer {
    void operator()(OggVorbis_File* file) const;
};
using FilePtr = std::unique_ptr<OggVorbis_File, Closer>;

// Null when the file cannot be opened or is no Ogg Vorbis stream of 1 or 2 channels; else
// *format describes its 16-bit PCM (with the extra size given).
FilePtr Open(const char* path, platform::WaveFormat* format, uint16_t extraSize);
// Decodes up to length bytes of 16-bit little-endian signed PCM; returns the bytes written.
// A hole or a bad link (a negative answer) is skipped; a stream that keeps failing ends the
// read, so the loop is bounded even on data that never yields a sample.
int32_t Read(OggVorbis_File* file, uint8_t* buffer, int32_t length);

} // namespace ogg_file
