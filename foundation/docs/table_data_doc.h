#pragma once
// GTableDataDoc: the read-only data-document back end for semicolon-separated text tables
// (level and sound lists). One line is the header, whose fields name the columns; every other
// line is a row. A row is a node, the next row its sibling, and an attribute is the current
// row's field under the named column. The document itself stands for the current row (there
// are no separate node documents). It owns the rows and the header. Main thread only.
//
// File rules: lines end at carriage return or line feed only (a tab stays inside its field);
// lines are trimmed and empty ones skipped without being counted; a line starting with '#'
// is a comment unless it is the header line, which then loses the '#'; fields are split at
// every ';' and are not trimmed. A UTF-8 byte-order mark at the start is skipped and then
// the text is read as UTF-8.

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/docs/data_doc.h"

class GTableDataDoc final : public GDataDoc {
public:
    GTableDataDoc() = default;
    ~GTableDataDoc() override;

    // LoadSection with header line 0, narrow (Windows-1251) text.
    int Load(const char* fileName, uint8_t key) override;
    // Replaces what the document held, but only once the file has been read: a failed load
    // leaves the document as it was. headerLine counts non-empty lines from 0. 1 on success.
    int LoadSection(const char* fileName, int32_t headerLine, int32_t utf8, uint8_t key);
    // The same over bytes in memory (no terminator needed); for texts already at hand.
    int LoadSectionFromBytes(const uint8_t* bytes, size_t size, int32_t headerLine, int32_t utf8);

    // Row 0 becomes current; the document itself is returned (name ignored).
    GDataDoc* GetChild(const char* name) override;
    // The next row becomes current; the document while it is a row, else null.
    GDataDoc* GetNextSibling(GDataDoc* node, const char* name) override;

    // Nodes carry no value of their own: the value operations keep their defaults.
    GWString GetString(const char* defaultText) const override;
    GWString GetName() const override;

    // Decimal: optional sign, digits up to the first other character ("12abc" is 12).
    int32_t GetAttributeInt(const char* column, int32_t defaultValue) const override;
    float GetAttributeFloat(const char* column, float defaultValue) const override;
    GWString GetAttributeString(const char* column, const char* defaultText) const override;
    // Read-only: no lists, nothing set (the defaults).

    uint32_t GetRowCount() const { return static_cast<uint32_t>(m_rows.size()); }
    uint32_t GetColumnCount() const { return static_cast<uint32_t>(m_header.size()); }
    // -1 before GetChild; equal to the row count after the walk has ended.
    int32_t GetCurrentRow() const { return m_current; }
    // Fields of a row, or of the header; null past the end.
    const std::vector<std::u16string>* GetRowFields(uint32_t row) const;
    const std::vector<std::u16string>& GetHeader() const { return m_header; }

private:
    // The current row's field under the column; null when there is none.
    const std::u16string* Field(const char* column) const;

    std::vector<std::vector<std::u16string>> m_rows;
    std::vector<std::u16string> m_header;
    int32_t m_current = -1;
};
