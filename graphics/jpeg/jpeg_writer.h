#pragma once
// Saving 24-bit images as baseline JPEG through libjpeg (the engine reads JPEG with its own
// decoder, jpeg_decoder.h; libjpeg serves only here). The library's errors never end the
// process: they come back as a failed result, and a file is replaced only once the whole
// picture was encoded. The asset tools use EncodeJpeg for the pictures they pack.
// Any thread; nothing is shared between calls.

#include <cstdint>
#include <vector>

class GBitmap;

// Saves a 24-bit image (B, G, R pixels, rows GetPitch() bytes apart) as a JPEG file of
// 3 components in RGB order. A quality outside 10 to 100 becomes 100; tables are limited
// to baseline values. writeAllTables is handed to the compressor's start (a fresh
// compressor writes every table in any case). 1 written; 0 when the image has no 24-bit
// pixels or no area, the encoder fails, or the file cannot be written (an existing file
// is then left as it was).
int WriteJpegFile(const char* path, const GBitmap* image, int32_t quality, int writeAllTables);

// Encodes width x height B, G, R pixels whose rows lie pitch bytes apart (pitch at least
// width * 3) into out, replacing its contents. quality as above. False (out empty) when a
// size is outside 1 to 32767, the pitch is too small, or libjpeg fails.
bool EncodeJpeg(const uint8_t* bgr, int32_t width, int32_t height, int32_t pitch,
                int32_t quality, bool writeAllTables, std::vector<uint8_t>& out);

// The choices of the form below, for the asset tools and the benchmarks.
struct JpegEncoding {
    // Handed to libjpeg as it is, clamped to 1 to 100 (1 to 9 make its coarsest tables).
    int32_t quality = 100;
    bool writeAllTables = true;
    // Luma sampling factors, 1 to 4 each: 2 x 2 is 4:2:0 (libjpeg's default and what the
    // engine's pictures use), 2 x 1 is 4:2:2, 1 x 1 is 4:4:4.
    int32_t lumaH = 2;
    int32_t lumaV = 2;
};

// EncodeJpeg with the encoding spelt out; the same pixels, limits and results.
bool EncodeJpeg(const uint8_t* bgr, int32_t width, int32_t height, int32_t pitch,
                const JpegEncoding& encoding, std::vector<uint8_t>& out);
