// Cfg text reader: any bytes, read from a block of exactly their size. Whatever the reader
// keeps (also after an error) must be written back by the text writer and read again as the
// tree less the children that text cannot carry, and survive the binary form with and without
// a key.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/cfg/cfg_node.h"
#include "fuzz/fuzz_support.h"

namespace {

// A child with no values and no children is written as an empty object, which the reader
// stores nothing for; an error inside an object's body can leave such a child behind.
bool WritesEmpty(const GCfgNode& node)
{
    for (const auto& entry : node.GetObjects()) {
        if (!entry.second.empty())
            return false;
    }
    return node.GetValues().empty();
}

// The tree as its text reads back.
GCfgNode TextForm(const GCfgNode& node)
{
    GCfgNode out;
    for (const auto& [name, values] : node.GetValues()) {
        out.GetOrAddValue(CfgView(name));
        out.FindValueList(CfgView(name))->clear();
        for (const GCfgValue& value : values)
            out.AddValue(CfgView(name), value.View());
    }
    for (const auto& [name, children] : node.GetObjects()) {
        for (const GCfgNode& child : children) {
            if (!WritesEmpty(child))
                out.AddObject(CfgView(name), TextForm(child));
        }
    }
    return out;
}

} // namespace

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
    if (!(again == TextForm(node)))
        std::abort();

    for (uint8_t key : {uint8_t(0), uint8_t(0xC3)})
        fuzz::ExpectBinaryRoundTrip(node, key);
    return 0;
}
