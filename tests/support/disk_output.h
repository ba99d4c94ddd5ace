#pragma once
// What SDL's disk audio driver has written (16-bit stereo frames at the mixer's rate: SDL
// converts nothing for a file), and windows of it placed from moments the test knows rather
// than from the time it waited: a sound started now is written after at most the frames the
// driver has mixed and not yet written.

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/sound/sound_device.h"
#include "support/audio_measure.h"
#include "support/temp_files.h"

namespace tolvanrise::test {

constexpr size_t kDiskRate = platform::SoundDevice::kRate;
// More than the device's buffer of mixed sound not yet written (well under a tenth of a second).
constexpr size_t kUnwrittenFrames = kDiskRate / 10;

inline size_t FramesWritten(const std::string& file)
{
    std::error_code error;
    const auto bytes = std::filesystem::file_size(file, error);
    return error ? 0 : static_cast<size_t>(bytes / 4);
}

// The left channel of frames [first, end) of the file.
inline std::vector<double> Written(const std::string& file, size_t first, size_t end)
{
    const std::string bytes = ReadFileBytes(file);
    std::vector<int16_t> pcm(bytes.size() / 2);
    std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
    return Channel(pcm, 2, 0, first, end > first ? end - first : 0);
}

// Calls step (a frame of the game, a short sleep) until the file holds the frames; false when
// a minute (a sanitizer build on a busy machine) went by first.
template <typename Step>
bool StepUntilWritten(const std::string& file, size_t frames, Step step)
{
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
         FramesWritten(file) < frames;) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        step();
    }
    return true;
}

} // namespace tolvanrise::test
