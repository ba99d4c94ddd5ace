#include "foundation/files/xor_scramble.h"

int XorScramble(const void* input, void* output, uint32_t count, uint8_t key)
{
    if (!input)
        return 0;
    const auto* in = static_cast<const uint8_t*>(input);
    auto* out = static_cast<uint8_t*>(output ? output : const_cast<void*>(input));
    for (uint32_t i = 0; i < count; ++i) {
        out[i] = static_cast<uint8_t>(in[i] ^ key);
        ++key; // wraps modulo 256
    }
    return 1;
}

int XorScrambleInt(const void* input, void* output, uint32_t count, int32_t key)
{
    return XorScramble(input, output, count, static_cast<uint8_t>(key & 0xff));
}
