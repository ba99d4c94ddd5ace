#include "foundation/text/dictionary.h"

#include "foundation/docs/data_doc.h"
#include "foundation/text/wstring.h"

GDictionary::~GDictionary() = default;

int GDictionary::SetDataDoc(GDataDoc* doc)
{
    m_entries.clear();
    if (!doc)
        return 1;
    const GWString lineBreakEscape(u"\\n");
    const GWString lineBreak(u"\r\n");
    for (GDataDoc* row = doc->GetChild("Row"); row; row = doc->GetNextSibling(row, "Row")) {
        const GWString key = row->GetAttributeString("Key", "");
        if (m_entries.count(std::u16string(key.View())))
            continue;
        GWString value = row->GetAttributeString("Value", "");
        value.Replace(lineBreakEscape, lineBreak);
        m_entries.emplace(std::u16string(key.View()), std::u16string(value.View()));
    }
    return 1;
}

GWString GDictionary::Translate(const GWString& key) const
{
    const auto found = m_entries.find(std::u16string(key.View()));
    return found == m_entries.end() ? key : GWString(std::u16string_view(found->second));
}
