#pragma once
// Huffman tables of the JPEG decoder and the symbol decoding of T.81 F.2.2.
//
// A table keeps its DHT contents (code counts per length, symbols) and, once expanded, three
// views of the canonical code (T.81 Annex C):
//  - fast: indexed by the next kFastBits bits, gives the symbol and code length of every code
//    of up to kFastBits bits (a prefix that belongs to a longer code, or to none, reads 0);
//  - fastAc (AC tables): where a code and the extra bits of its coefficient both fit in the
//    kFastBits, the run, the extended coefficient value and the bits used, so the common small
//    coefficients cost one look-up; an end-of-block code reads as run kJpegEndOfBlockRun, which
//    takes the position past the block, so the one range check of the loop also ends the block;
//  - maxCode / valueOffset: the code-by-length search of T.81 F.2.2.3 (DECODE) for the rest.
// Ten look-up bits cover nearly every code of ordinary images and, with it, the extra bits of
// most coefficients: eight left ~10% of AC codes to the slow search, and ten decoded an
// 800x600 picture at quality 85 6% faster than nine (eleven was slower again: the tables
// outgrow the first-level cache). The tables are part of the decoder object.

#include <cstdint>

#include "graphics/jpeg/jpeg_bitstream.h"

constexpr int kJpegFastBits = 10;
// The run an end-of-block code has in fastAc: no real run (15 at most) comes near it.
constexpr int kJpegEndOfBlockRun = 0xFF;

struct GJpegHuffmanTable {
    bool defined = false;    // by the current picture's DHT segments
    bool expanded = false;   // the look-up views match counts and symbols
    uint8_t counts[17] = {}; // counts[l]: codes of length l, 1 to 16
    uint8_t symbols[256] = {};
    int32_t symbolCount = 0;

    uint16_t fast[1 << kJpegFastBits] = {};  // (length << 8) | symbol; 0 = not here
    int32_t fastAc[1 << kJpegFastBits] = {}; // value << 16 | run << 8 | bits; 0 = not here
    int32_t maxCode[18] = {};                // largest code of each length, -1 for none
    int32_t valueOffset[17] = {};            // symbols[code + valueOffset[length]]
};

// Checks that the counts describe a code that can exist (no length runs out of codes) and, for
// DC tables, that every symbol is a difference size of at most 15 bits. False when not.
bool GJpegCheckHuffmanTable(const GJpegHuffmanTable& table, bool isDc);
// Builds the look-up views from counts and symbols; the table must pass the check.
void GJpegExpandHuffmanTable(GJpegHuffmanTable& table, bool isAc);

// EXTEND of T.81 F.2.2.1: an n-bit magnitude v read from the stream stands for v when its top
// bit is set, else for v - (2^n - 1).
inline int32_t GJpegExtend(uint32_t v, int n)
{
    const int32_t value = static_cast<int32_t>(v);
    return value < (1 << (n - 1)) ? value - ((1 << n) - 1) : value;
}

// Decodes one symbol; the reader holds at least 16 bits (GJpegBitReader::Prepare). A bit string
// that is no code consumes 16 bits and reads as symbol 0, which ends the block or adds nothing:
// the safest reading of damaged data.
inline int GJpegDecodeSymbol(const GJpegHuffmanTable& table, GJpegBitReader& bits)
{
    const uint16_t hit = table.fast[bits.Peek(kJpegFastBits)];
    if (hit != 0) {
        bits.Consume(hit >> 8);
        return hit & 0xFF;
    }
    const uint32_t code16 = bits.Peek(16);
    for (int length = kJpegFastBits + 1; length <= 16; ++length) {
        const int32_t code = static_cast<int32_t>(code16 >> (16 - length));
        if (code <= table.maxCode[length]) {
            bits.Consume(length);
            return table.symbols[code + table.valueOffset[length]];
        }
    }
    bits.Consume(16);
    return 0;
}
