#pragma once
// The back buffer's 24-bit pixels (bytes blue, green, red) widened into the 32-bit pixels a
// window texture holds, rectangle by rectangle, so that presenting a frame costs little more
// than writing its bytes. The spare fourth byte is always 255, which reads as opaque in the
// formats that have alpha. The instruction set is chosen once, from what the processor offers;
// every choice writes the same bytes. Stateless; any thread.

#include <cstddef>
#include <cstdint>

namespace platform {

// Order of the first three bytes of a 32-bit pixel in memory; the fourth byte is last.
enum class PixelOrder32 : uint8_t {
    Bgrx, // blue, green, red, spare (XRGB8888 and ARGB8888 on little-endian machines)
    Rgbx, // red, green, blue, spare (XBGR8888 and ABGR8888)
};

enum class ConvertIsa : uint8_t { Scalar, Ssse3, Avx2 };

// Widens height rows of width pixels. Rows start pitch bytes apart on each side; a source row
// is read only within its width * 3 bytes, a destination row written only within its
// width * 4 bytes. Nothing happens for a width or height below 1.
void ConvertRows24To32(const uint8_t* src, ptrdiff_t srcPitch, uint8_t* dst, ptrdiff_t dstPitch,
                       int width, int height, PixelOrder32 order);

// The same with a given instruction set, for tests and benchmarks: a set the processor lacks
// falls back to the best one it has.
void ConvertRows24To32With(ConvertIsa isa, const uint8_t* src, ptrdiff_t srcPitch, uint8_t* dst,
                           ptrdiff_t dstPitch, int width, int height, PixelOrder32 order);

// The set ConvertRows24To32 uses on this processor.
ConvertIsa BestConvertIsa();

} // namespace platform
