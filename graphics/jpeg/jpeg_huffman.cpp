#include "graphics/jpeg/jpeg_huffman.h"

bool GJpegCheckHuffmanTable(const GJpegHuffmanTable& table, bool isDc)
{
    // Canonical assignment: the codes of each length follow on from the previous length's
    // next free code shifted left by one. A length whose codes would go past 2^length - 1
    // describes no prefix code (Kraft's inequality fails).
    uint32_t next = 0;
    for (int length = 1; length <= 16; ++length) {
        next = (next << 1) + table.counts[length];
        if (next > (1u << length))
            return false;
    }
    if (isDc) {
        for (int32_t i = 0; i < table.symbolCount; ++i)
            if (table.symbols[i] > 15)
                return false;
    }
    return true;
}

void GJpegExpandHuffmanTable(GJpegHuffmanTable& table, bool isAc)
{
    for (auto& entry : table.fast)
        entry = 0;
    for (auto& entry : table.fastAc)
        entry = 0;

    int32_t code = 0;
    int32_t index = 0;
    for (int length = 1; length <= 16; ++length) {
        const int32_t count = table.counts[length];
        table.valueOffset[length] = index - code;
        for (int32_t i = 0; i < count; ++i, ++code, ++index) {
            if (length > kJpegFastBits)
                continue;
            // Every look-up index that starts with this code.
            const int spare = kJpegFastBits - length;
            const int32_t first = code << spare;
            const uint8_t symbol = table.symbols[index];
            for (int32_t j = 0; j < (1 << spare); ++j) {
                table.fast[first + j] = static_cast<uint16_t>(length << 8 | symbol);
                const int run = symbol >> 4;
                const int size = symbol & 15;
                if (isAc && symbol == 0)
                    table.fastAc[first + j] = kJpegEndOfBlockRun << 8 | length;
                if (!isAc || size == 0 || length + size > kJpegFastBits)
                    continue;
                // The extra bits follow the code inside the look-up index.
                const uint32_t extra =
                    static_cast<uint32_t>(j) >> (spare - size) & ((1u << size) - 1);
                const int32_t value = GJpegExtend(extra, size);
                table.fastAc[first + j] = static_cast<int32_t>(static_cast<uint32_t>(value) << 16) |
                                          run << 8 | (length + size);
            }
        }
        table.maxCode[length] = count > 0 ? code - 1 : -1;
        code <<= 1;
    }
    table.maxCode[17] = 0x7FFFFFFF;
}
