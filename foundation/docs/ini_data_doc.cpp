#include "foundation/docs/ini_data_doc.h"

#include <string_view>

#include "foundation/docs/data_doc_text.h"
#include "foundation/text/wstring.h"
#include "platform/text/code_page.h"

namespace {

GWString FromDefault(const char* text)
{
    return text ? GWString(text) : GWString();
}

// The non-empty parts of the line between '=' signs: runs of '=' count as one and a leading
// or trailing '=' adds nothing. Only the first two are wanted.
size_t SplitAtEquals(std::u16string_view line, std::u16string_view parts[2])
{
    size_t found = 0;
    size_t start = 0;
    while (found < 2 && start <= line.size()) {
        size_t end = line.find(u'=', start);
        if (end == std::u16string_view::npos)
            end = line.size();
        if (end > start)
            parts[found++] = line.substr(start, end - start);
        start = end + 1;
    }
    return found;
}

} // namespace

GIniDataDoc::~GIniDataDoc() = default;

int GIniDataDoc::Load(const char* fileName, uint8_t key)
{
    return LoadText(fileName, 0, key);
}

int GIniDataDoc::LoadText(const char* fileName, int32_t utf8, uint8_t key)
{
    std::vector<uint8_t> bytes;
    if (!datadoc::ReadFileBytes(fileName, key, bytes))
        return 0;
    return LoadTextFromBytes(bytes.data(), bytes.size(), utf8);
}

int GIniDataDoc::LoadTextFromBytes(const uint8_t* bytes, size_t size, int32_t utf8)
{
    if (!bytes || size == 0)
        return 0;
    const size_t bom = datadoc::Utf8BomLength(bytes, size);
    const bool asUtf8 = utf8 != 0 || bom != 0;

    std::vector<Section> sections(1);
    datadoc::ForEachLine(bytes + bom, size - bom, [&](std::string_view raw) {
        const std::u16string decoded = datadoc::DecodeLine(raw, asUtf8);
        const std::u16string_view line = datadoc::TrimWide(decoded);
        if (line.empty())
            return;
        const char16_t first = line.front();
        if (first == u'#' || first == u';' || first == u'/' || first == u'\\')
            return;
        if (first == u'[' && line.back() == u']') {
            sections.emplace_back();
            sections.back().push_back(Entry{std::u16string(line), std::u16string()});
            return;
        }
        std::u16string_view parts[2];
        const size_t n = SplitAtEquals(line, parts);
        if (n == 0)
            return;
        sections.back().push_back(Entry{std::u16string(parts[0]), n > 1 ? std::u16string(parts[1]) : std::u16string()});
    });

    m_sections = std::move(sections);
    m_current = static_cast<int32_t>(m_sections.size() - 1);
    return 1;
}

GDataDoc* GIniDataDoc::GetChild(const char* /*name*/)
{
    m_current = 0;
    return this;
}

GDataDoc* GIniDataDoc::GetNextSibling(GDataDoc* /*node*/, const char* /*name*/)
{
    if (m_current < static_cast<int64_t>(m_sections.size()))
        ++m_current;
    return m_current >= 0 && static_cast<size_t>(m_current) < m_sections.size() ? this : nullptr;
}

GWString GIniDataDoc::GetString(const char* defaultText) const
{
    return FromDefault(defaultText);
}

GWString GIniDataDoc::GetName() const
{
    return GWString();
}

const GIniDataDoc::Section* GIniDataDoc::GetSection(uint32_t index) const
{
    return index < m_sections.size() ? &m_sections[index] : nullptr;
}

const std::u16string* GIniDataDoc::Value(const char* key) const
{
    if (!key || m_current < 0 || static_cast<size_t>(m_current) >= m_sections.size())
        return nullptr;
    const std::u16string wanted = platform::AnsiToUtf16(key);
    for (const Entry& entry : m_sections[static_cast<size_t>(m_current)]) {
        if (entry.key == wanted)
            return &entry.value;
    }
    return nullptr;
}

int32_t GIniDataDoc::GetAttributeInt(const char* key, int32_t defaultValue) const
{
    int32_t result = defaultValue;
    if (const std::u16string* value = Value(key))
        datadoc::ScanInt(datadoc::AsciiOf(*value), result);
    return result;
}

float GIniDataDoc::GetAttributeFloat(const char* key, float defaultValue) const
{
    float result = defaultValue;
    if (const std::u16string* value = Value(key))
        datadoc::ScanFloat(datadoc::AsciiOf(*value), result);
    return result;
}

GWString GIniDataDoc::GetAttributeString(const char* key, const char* defaultText) const
{
    const std::u16string* value = Value(key);
    return value ? datadoc::MakeWString(*value) : FromDefault(defaultText);
}
