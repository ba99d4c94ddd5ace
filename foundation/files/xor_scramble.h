#pragma once
// The running XOR that scrambles several of the program's data files: byte i is combined with
// (starting key + i) mod 256. It is its own inverse. Any thread may call it.

#include <cstdint>

// output null scrambles input in place (input must then be writable memory); otherwise input
// and output are the same block or do not overlap. Returns 1, or 0 when input is null.
int XorScramble(const void* input, void* output, uint32_t count, uint8_t key);
// The same with the key as an integer, of which the low 8 bits count.
int XorScrambleInt(const void* input, void* output, uint32_t count, int32_t key);
