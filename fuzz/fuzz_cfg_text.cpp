// Cfg text reader: any bytes, read from a block of exactly their size. Whatever the reader
// keeps (also after an error) must be written back by the text writer and read again as an
// equal tree, and survive the binary form with and without a key.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/cfg/cfg_node.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GCfgNode node;
    node.Parse(reinterpret_cast<const char*>(data), size);

    // Touch every getter on a few paths; summing the results catches uninitialised reads.
    volatile uint32_t sum = 0;
    for (const char* path : {"a", "a.b", "o.k", "", "."}) {
        sum = sum + static_cast<uint32_t>(node.GetI(path, 1)) + node.Get(path, "")[0];
        sum = sum + static_cast<uint32_t>(node.GetF(path, 0.5f) > 0.0f);
    }
    for (const auto& entry : node.GetValues()) {
        GIntArray ints;
        GFloatArray floats;
        node.GetIList(CfgView(entry.first), ints);
        node.GetFList(CfgView(entry.first), floats);
        sum = sum + ints.GetCount() + floats.GetCount();
    }

    std::string text;
    // A text out of the reader holds at most one kind of quote, so it can always be written.
    if (!node.WriteStream(text, 1, 0))
        std::abort();
    GCfgNode again;
    if (!text.empty() && !again.Parse(text.data(), text.size()))
        std::abort();
    if (!(again == node))
        std::abort();

    for (uint8_t key : {uint8_t(0), uint8_t(0xC3)})
        fuzz::ExpectBinaryRoundTrip(node, key);
    return 0;
}
