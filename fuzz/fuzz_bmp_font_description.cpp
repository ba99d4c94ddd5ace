// Bitmap-font descriptions: any bytes as cfg text, as XML attributes and as an "Indexes" text.
// Every table built must stay within its cap, and every lookup must give a position inside it
// or the base.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/cfg/cfg_node.h"
#include "foundation/docs/data_doc_text.h"
#include "foundation/docs/xml_data_doc.h"
#include "fuzz/fuzz_support.h"
#include "graphics/fonts/bmp_font.h"

namespace {

void Check(const GBmpFontSymbols& table, const uint8_t* data, size_t size)
{
    if (table.GetCount() < 1 || table.GetCount() > GBmpFontSymbols::kMaxSymbols)
        __builtin_trap();
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < size && i < 64; i += 2) {
        const int16_t at = table.FindCode(uint16_t(data[i] | (data[i + 1] << 8)));
        if (at != table.GetBase() && (at < 0 || at >= table.GetCount()))
            __builtin_trap();
        sum += table.GetIndex(at);
    }
    fuzz::Keep(sum);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 16)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);

    GBmpFontSymbols table;
    GCfgNode node;
    node.ParseText(text.data(), text.data() + text.size());
    GBmpFont::LoadDescription(node, table);
    Check(table, data, size);

    const std::u16string wide = datadoc::DecodeLine(text, true);
    fuzz::Keep(uint32_t(GBmpFont::ParseIndexes(wide).size()));

    GXmlDataDoc doc;
    if (doc.LoadFromText(GWString(std::u16string_view(wide))))
        if (GDataDoc* font = doc.GetChild("Font")) {
            GBmpFont::LoadDescription(*font, table);
            Check(table, data, size);
        }
    return 0;
}
