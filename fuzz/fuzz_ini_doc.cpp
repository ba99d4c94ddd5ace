// INI-like option files: any bytes, narrow or UTF-8 by the first byte of the input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/docs/ini_data_doc.h"
#include "foundation/text/wstring.h"
#include "fuzz/fuzz_support.h"
#include "platform/text/code_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1u << 20))
        return 0;
    GIniDataDoc doc;
    if (!doc.LoadTextFromBytes(data + 1, size - 1, data[0] & 1))
        return 0;
    if (doc.GetSectionCount() == 0)
        __builtin_trap();

    uint32_t sum = 0;
    uint32_t index = 0;
    for (GDataDoc* section = doc.GetChild(nullptr); section; section = doc.GetNextSibling(section, nullptr)) {
        const GIniDataDoc::Section* entries = doc.GetSection(index++);
        if (!entries)
            __builtin_trap();
        for (const GIniDataDoc::Entry& entry : *entries) {
            if (entry.key.empty())
                __builtin_trap();
            const std::string key = platform::Utf16ToAnsi(entry.key);
            sum += static_cast<uint32_t>(section->GetAttributeInt(key.c_str(), 0));
            sum += static_cast<uint32_t>(section->GetAttributeFloat(key.c_str(), 0.0f) != 0.0f);
            const GWString value = section->GetAttributeString(key.c_str(), "");
            for (char16_t unit : value.View())
                sum += unit;
        }
    }
    if (index != doc.GetSectionCount())
        __builtin_trap();
    fuzz::Keep(sum);
    return 0;
}
