#pragma once
// Baseline JPEG encoding through libjpeg for the store's JPEG records. libjpeg's error exits
// are caught inside EncodeJpeg; nothing leaves it but a result.

#include <cstdint>
#include <string>
#include <vector>

namespace packer {

// rgb: width * height pixels of R, G, B, top row first. Quality 1 to 100. The stream is
// baseline with 2x2 luma sampling, which the engine's decoder reads.
bool EncodeJpeg(const uint8_t* rgb, int32_t width, int32_t height, int quality,
                std::vector<uint8_t>& out, std::string& error);

} // namespace packer
