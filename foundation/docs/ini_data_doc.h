#pragma once
// GIniDataDoc: the read-only data-document back end for INI-like option files: key=value
// lines grouped in sections that open with a bracketed header line. A section is a node, the
// next section in file order its sibling, and an attribute a key of the current section. The
// document itself stands for the current section. It owns the sections. Main thread only.
//
// Section 0 holds the entries before the first header and always exists after a load. A
// header line opens the next section and is stored as its first entry, with the whole
// trimmed line (brackets included) as the key and an empty value, so callers can recognise a
// section by name. Lines end at carriage return or line feed only; lines are trimmed; empty
// lines and lines starting with '#', ';', '/' or '\' are skipped. A line is split at '='
// with empty parts dropped: the first part is the key, the second the value, the rest is
// dropped; key and value are not trimmed. A line of nothing but '=' is skipped. A UTF-8
// byte-order mark at the start is skipped and the text is then read as UTF-8.

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/docs/data_doc.h"

class GIniDataDoc final : public GDataDoc {
public:
    struct Entry {
        std::u16string key;
        std::u16string value;
    };
    using Section = std::vector<Entry>;

    GIniDataDoc() = default;
    ~GIniDataDoc() override;

    // LoadText with narrow (Windows-1251) text.
    int Load(const char* fileName, uint8_t key) override;
    // Replaces what the document held, but only once the file has been read: a failed load
    // leaves the document as it was. 1 on success.
    int LoadText(const char* fileName, int32_t utf8, uint8_t key);
    // The same over bytes in memory (no terminator needed).
    int LoadTextFromBytes(const uint8_t* bytes, size_t size, int32_t utf8);

    // Section 0 becomes current; the document itself is returned (name ignored).
    GDataDoc* GetChild(const char* name) override;
    // The next section becomes current; the document while it is a section, else null.
    GDataDoc* GetNextSibling(GDataDoc* node, const char* name) override;

    // Nodes carry no value of their own: the value operations keep their defaults.
    GWString GetString(const char* defaultText) const override;
    GWString GetName() const override;

    // The value of the first entry of the current section with that key, scanned as "%d" /
    // "%f" (leading blanks skipped); a value that is no number leaves the default.
    int32_t GetAttributeInt(const char* key, int32_t defaultValue) const override;
    float GetAttributeFloat(const char* key, float defaultValue) const override;
    GWString GetAttributeString(const char* key, const char* defaultText) const override;
    // Read-only: no lists, nothing set (the defaults).

    uint32_t GetSectionCount() const { return static_cast<uint32_t>(m_sections.size()); }
    // Null past the end.
    const Section* GetSection(uint32_t index) const;
    // -1 before any load; the last section after a load (the loader walks forward through
    // the sections); equal to the section count after a GetNextSibling walk has ended.
    int32_t GetCurrentSection() const { return m_current; }

private:
    const std::u16string* Value(const char* key) const;

    std::vector<Section> m_sections;
    int32_t m_current = -1;
};
