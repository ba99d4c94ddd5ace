// Widening 24-bit rows to 32-bit ones.
//
// The vector paths take four pixels (12 bytes) into each 128-bit lane with one unaligned
// 16-byte load and spread them with one byte shuffle; the four bytes past the pixels are read
// and not used, so a group is taken only while at least 4 more bytes of the row follow it. The
// row's last group is loaded to end exactly at the row's end and shuffled from 4 bytes further
// in; it may overlap pixels already written, which it writes again with the same values.

#include "platform/window/pixel_convert.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TOLVANRISE_CONVERT_X86 1
#endif

namespace platform {
namespace {

using RowFn = void (*)(const uint8_t* s, uint8_t* d, int width, PixelOrder32 order);

void RowScalar(const uint8_t* s, uint8_t* d, int width, PixelOrder32 order)
{
    const int first = order == PixelOrder32::Bgrx ? 0 : 2;
    for (int i = 0; i < width; ++i, s += 3, d += 4) {
        d[0] = s[first];
        d[1] = s[1];
        d[2] = s[2 - first];
        d[3] = 255;
    }
}

#ifdef TOLVANRISE_CONVERT_X86

// Byte k of a lane's four pixels, shifted by `skip` bytes; 0x80 leaves the spare byte 0.
constexpr int8_t Spread(int k, PixelOrder32 order, int skip)
{
    const int pixel = k / 4, byte = k % 4;
    if (byte == 3)
        return int8_t(0x80);
    const int from = order == PixelOrder32::Bgrx ? byte : 2 - byte;
    return int8_t(skip + pixel * 3 + from);
}

struct alignas(16) SpreadTable {
    int8_t bytes[16];
};

constexpr SpreadTable MakeSpread(PixelOrder32 order, int skip)
{
    SpreadTable t{};
    for (int k = 0; k < 16; ++k)
        t.bytes[k] = Spread(k, order, skip);
    return t;
}

// By order, then by skip 0 or 4.
constexpr SpreadTable kSpread[2][2] = {
    {MakeSpread(PixelOrder32::Bgrx, 0), MakeSpread(PixelOrder32::Bgrx, 4)},
    {MakeSpread(PixelOrder32::Rgbx, 0), MakeSpread(PixelOrder32::Rgbx, 4)},
};

[[gnu::target("ssse3")]] inline __m128i SpreadMask(PixelOrder32 order, int skip)
{
    return _mm_load_si128(reinterpret_cast<const __m128i*>(kSpread[int(order)][skip / 4].bytes));
}

[[gnu::target("ssse3")]] void RowSsse3(const uint8_t* s, uint8_t* d, int width, PixelOrder32 order)
{
    if (width < 6) {
        RowScalar(s, d, width, order);
        return;
    }
    const __m128i mask = SpreadMask(order, 0), lastMask = SpreadMask(order, 4);
    const __m128i spare = _mm_set1_epi32(int32_t(0xFF000000u));
    int x = 0;
    for (; x + 6 <= width; x += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x * 3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x * 4),
                         _mm_or_si128(_mm_shuffle_epi8(v, mask), spare));
    }
    if (x < width - 4)
        RowScalar(s + x * 3, d + x * 4, width - 4 - x, order);
    if (x < width) {
        const int last = width - 4;
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + last * 3 - 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + last * 4),
                         _mm_or_si128(_mm_shuffle_epi8(v, lastMask), spare));
    }
}

[[gnu::target("avx2")]] inline __m256i Lanes(const uint8_t* p, int second)
{
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + second)), 1);
}

// Eight pixels from s to d.
[[gnu::target("avx2")]] inline void Group(const uint8_t* s, uint8_t* d, __m256i mask, __m256i spare)
{
    const __m256i v = _mm256_shuffle_epi8(Lanes(s, 12), mask);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), _mm256_or_si256(v, spare));
}

[[gnu::target("avx2")]] void RowAvx2(const uint8_t* s, uint8_t* d, int width, PixelOrder32 order)
{
    if (width < 8) {
        RowSsse3(s, d, width, order);
        return;
    }
    const __m128i m0 = SpreadMask(order, 0), m4 = SpreadMask(order, 4);
    const __m256i mask = _mm256_broadcastsi128_si256(m0);
    const __m256i lastMask = _mm256_inserti128_si256(_mm256_castsi128_si256(m0), m4, 1);
    const __m256i spare = _mm256_set1_epi32(int32_t(0xFF000000u));
    int x = 0;
    for (; x + 34 <= width; x += 32) {
        Group(s + x * 3, d + x * 4, mask, spare);
        Group(s + x * 3 + 24, d + x * 4 + 32, mask, spare);
        Group(s + x * 3 + 48, d + x * 4 + 64, mask, spare);
        Group(s + x * 3 + 72, d + x * 4 + 96, mask, spare);
    }
    for (; x + 10 <= width; x += 8)
        Group(s + x * 3, d + x * 4, mask, spare);
    if (x < width - 8)
        RowScalar(s + x * 3, d + x * 4, width - 8 - x, order);
    if (x < width) {
        // Lane 1 starts 8 bytes in, so the group ends at the row's end.
        const int last = width - 8;
        const __m256i v = _mm256_shuffle_epi8(Lanes(s + last * 3, 8), lastMask);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + last * 4), _mm256_or_si256(v, spare));
    }
}

#endif

ConvertIsa DetectIsa()
{
#ifdef TOLVANRISE_CONVERT_X86
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        return ConvertIsa::Avx2;
    if (__builtin_cpu_supports("ssse3"))
        return ConvertIsa::Ssse3;
#endif
    return ConvertIsa::Scalar;
}

RowFn RowOf(ConvertIsa isa)
{
    const ConvertIsa best = BestConvertIsa();
    if (int(isa) > int(best))
        isa = best;
#ifdef TOLVANRISE_CONVERT_X86
    if (isa == ConvertIsa::Avx2)
        return RowAvx2;
    if (isa == ConvertIsa::Ssse3)
        return RowSsse3;
#endif
    return RowScalar;
}

void ConvertRows(RowFn row, const uint8_t* src, ptrdiff_t srcPitch, uint8_t* dst,
                 ptrdiff_t dstPitch, int width, int height, PixelOrder32 order)
{
    if (width < 1 || height < 1)
        return;
    for (int y = 0; y < height; ++y, src += srcPitch, dst += dstPitch)
        row(src, dst, width, order);
}

} // namespace

ConvertIsa BestConvertIsa()
{
    static const ConvertIsa isa = DetectIsa();
    return isa;
}

void ConvertRows24To32(const uint8_t* src, ptrdiff_t srcPitch, uint8_t* dst, ptrdiff_t dstPitch,
                       int width, int height, PixelOrder32 order)
{
    static const RowFn row = RowOf(BestConvertIsa());
    ConvertRows(row, src, srcPitch, dst, dstPitch, width, height, order);
}

void ConvertRows24To32With(ConvertIsa isa, const uint8_t* src, ptrdiff_t srcPitch, uint8_t* dst,
                           ptrdiff_t dstPitch, int width, int height, PixelOrder32 order)
{
    ConvertRows(RowOf(isa), src, srcPitch, dst, dstPitch, width, height, order);
}

} // namespace platform
