// Semicolon tables: any bytes, narrow or UTF-8, with the header on a line chosen by the input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/docs/table_data_doc.h"
#include "foundation/text/wstring.h"
#include "fuzz/fuzz_support.h"
#include "platform/text/code_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1u << 20))
        return 0;
    // First byte: low bits pick the header line (-1 to 6), bit 7 the UTF-8 flag.
    const int32_t headerLine = static_cast<int32_t>(data[0] & 7) - 1;
    const int32_t utf8 = data[0] >> 7;
    GTableDataDoc doc;
    if (!doc.LoadSectionFromBytes(data + 1, size - 1, headerLine, utf8))
        return 0;

    uint32_t sum = 0;
    uint32_t rows = 0;
    // GetChild stands on row 0 even in a table without rows; its reads then give defaults.
    GDataDoc* first = doc.GetChild(nullptr);
    if (doc.GetRowCount() == 0 && first->GetAttributeInt("x", 7) != 7)
        __builtin_trap();
    for (GDataDoc* row = doc.GetRowCount() ? first : nullptr; row; row = doc.GetNextSibling(row, nullptr)) {
        if (++rows > doc.GetRowCount())
            __builtin_trap();
        for (const std::u16string& column : doc.GetHeader()) {
            const std::string name = platform::Utf16ToAnsi(column);
            sum += static_cast<uint32_t>(row->GetAttributeInt(name.c_str(), 0));
            sum += static_cast<uint32_t>(row->GetAttributeFloat(name.c_str(), 0.0f) != 0.0f);
            const GWString text = row->GetAttributeString(name.c_str(), "");
            for (char16_t unit : text.View())
                sum += unit;
        }
    }
    if (rows != doc.GetRowCount())
        __builtin_trap();
    // Reads past the end give the defaults.
    if (doc.GetAttributeInt("x", 7) != 7)
        __builtin_trap();
    fuzz::Keep(sum);
    return 0;
}
