// Brace-delimited key/value text: any bytes, with and without stored values.
#include <cstddef>
#include <cstdint>

#include "foundation/docs/parse_status.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    const char* text = reinterpret_cast<const char*>(data);
    const uint32_t length = static_cast<uint32_t>(size);
    uint32_t sum = 0;
    for (int32_t store = 0; store < 2; ++store) {
        GParseStatus table;
        table.SetStoreValues(store);
        table.ParseText(text, length);
        if (table.GetStatus() != 0 && (table.GetPosition() < 0 || static_cast<uint32_t>(table.GetPosition()) > length))
            __builtin_trap();
        // Touch every stored byte so reads of uninitialised memory show.
        for (uint32_t i = 0; i < table.GetCount(); ++i) {
            GStringPair* pair = table.GetAt(i);
            for (const char* p = pair->key.c_str(); *p; ++p)
                sum += static_cast<uint8_t>(*p);
            for (const char* p = pair->value.c_str(); *p; ++p)
                sum += static_cast<uint8_t>(*p);
            if (!store && !pair->value.IsEmpty())
                __builtin_trap();
        }
        GStringArray keys = table.GetKeys();
        if (keys.GetCount() != table.GetCount())
            __builtin_trap();
        sum += table.BuildMessage().GetLength();
    }
    fuzz::Keep(sum);
    return 0;
}
