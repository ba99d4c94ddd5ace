// Binary cfg reader: any bytes, read plain and with a key from a block of exactly their size.
// Whatever it keeps must save and load back as an equal tree.

#include <cstdint>
#include <string>

#include "foundation/cfg/cfg_node.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (uint8_t key : {uint8_t(0), uint8_t(0x5A)}) {
        GCfgNode node;
        node.LoadBinary(data, size, key);

        volatile uint32_t sum = 0;
        sum = sum + static_cast<uint32_t>(node.TextLength()) + static_cast<uint32_t>(node.MemorySize());
        sum = sum + static_cast<uint32_t>(node.GetI("a", 0)) + node.Get("o.a", "")[0];
        std::string text;
        node.WriteStream(text);
        for (char c : text)
            sum = sum + static_cast<uint8_t>(c);

        fuzz::ExpectBinaryRoundTrip(node, key);
    }
    return 0;
}
