#include "foundation/docs/table_data_doc.h"

#include <string_view>

#include "foundation/docs/data_doc_text.h"
#include "foundation/text/wstring.h"
#include "platform/text/code_page.h"

namespace {

std::vector<std::u16string> SplitFields(std::u16string_view line)
{
    std::vector<std::u16string> fields;
    size_t start = 0;
    for (;;) {
        const size_t end = line.find(u';', start);
        if (end == std::u16string_view::npos) {
            fields.emplace_back(line.substr(start));
            return fields;
        }
        fields.emplace_back(line.substr(start, end - start));
        start = end + 1;
    }
}

GWString FromDefault(const char* text)
{
    return text ? GWString(text) : GWString();
}

} // namespace

GTableDataDoc::~GTableDataDoc() = default;

int GTableDataDoc::Load(const char* fileName, uint8_t key)
{
    std::vector<uint8_t> bytes;
    if (!datadoc::ReadFileBytes(fileName, key, bytes))
        return 0;
    return LoadSectionFromBytes(bytes.data(), bytes.size(), 0, 0);
}

int GTableDataDoc::LoadSection(const char* fileName, int32_t headerLine, int32_t utf8, uint8_t key)
{
    std::vector<uint8_t> bytes;
    if (!datadoc::ReadFileBytes(fileName, key, bytes))
        return 0;
    return LoadSectionFromBytes(bytes.data(), bytes.size(), headerLine, utf8);
}

int GTableDataDoc::LoadSectionFromBytes(const uint8_t* bytes, size_t size, int32_t headerLine, int32_t utf8)
{
    if (!bytes || size == 0)
        return 0;
    const size_t bom = datadoc::Utf8BomLength(bytes, size);
    const bool asUtf8 = utf8 != 0 || bom != 0;

    std::vector<std::vector<std::u16string>> rows;
    std::vector<std::u16string> header;
    int64_t lineNumber = -1;
    datadoc::ForEachLine(bytes + bom, size - bom, [&](std::string_view raw) {
        const std::u16string decoded = datadoc::DecodeLine(raw, asUtf8);
        std::u16string_view line = datadoc::TrimWide(decoded);
        if (line.empty())
            return;
        ++lineNumber;
        const bool isHeader = lineNumber == headerLine;
        if (line.front() == u'#') {
            if (!isHeader)
                return;
            line.remove_prefix(1);
        }
        if (isHeader)
            header = SplitFields(line);
        else
            rows.push_back(SplitFields(line));
    });

    m_rows = std::move(rows);
    m_header = std::move(header);
    m_current = -1;
    return 1;
}

GDataDoc* GTableDataDoc::GetChild(const char* /*name*/)
{
    m_current = 0;
    return this;
}

GDataDoc* GTableDataDoc::GetNextSibling(GDataDoc* /*node*/, const char* /*name*/)
{
    // Stops one past the last row, so walking on after the end cannot overflow.
    if (m_current < static_cast<int64_t>(m_rows.size()))
        ++m_current;
    return m_current >= 0 && static_cast<size_t>(m_current) < m_rows.size() ? this : nullptr;
}

GWString GTableDataDoc::GetString(const char* defaultText) const
{
    return FromDefault(defaultText);
}

GWString GTableDataDoc::GetName() const
{
    return GWString();
}

const std::vector<std::u16string>* GTableDataDoc::GetRowFields(uint32_t row) const
{
    return row < m_rows.size() ? &m_rows[row] : nullptr;
}

const std::u16string* GTableDataDoc::Field(const char* column) const
{
    if (!column || m_current < 0 || static_cast<size_t>(m_current) >= m_rows.size() || m_header.empty())
        return nullptr;
    const std::u16string wanted = platform::AnsiToUtf16(column);
    for (size_t i = 0; i < m_header.size(); ++i) {
        if (m_header[i] == wanted) {
            const std::vector<std::u16string>& row = m_rows[static_cast<size_t>(m_current)];
            return i < row.size() ? &row[i] : nullptr;
        }
    }
    return nullptr;
}

int32_t GTableDataDoc::GetAttributeInt(const char* column, int32_t defaultValue) const
{
    const std::u16string* field = Field(column);
    return field ? datadoc::ReadDecimal(datadoc::AsciiOf(*field)) : defaultValue;
}

float GTableDataDoc::GetAttributeFloat(const char* column, float defaultValue) const
{
    const std::u16string* field = Field(column);
    return field ? datadoc::NarrowToFloat(datadoc::ReadDouble(datadoc::AsciiOf(*field))) : defaultValue;
}

GWString GTableDataDoc::GetAttributeString(const char* column, const char* defaultText) const
{
    const std::u16string* field = Field(column);
    return field ? datadoc::MakeWString(*field) : FromDefault(defaultText);
}
