#pragma once
// GDictionary: the language table. Each "Row" element under the dictionary's node has a "Key"
// (the text the program asks for) and a "Value" (the text shown, in which the two characters
// backslash and n stand for a line break). Translate looks a key up; an unknown key translates
// to itself.
//
// The table is read once, when a document is handed over with SetDataDoc, and lives in the
// dictionary: the dictionary keeps no pointer to the document, which may be reloaded or
// destroyed afterwards. After changing the document, hand it over again to rebuild the table.
// Main thread only.

#include <cstdint>
#include <string>
#include <unordered_map>

class GDataDoc;
class GWString;

class GDictionary {
public:
    GDictionary() = default;
    GDictionary(const GDictionary&) = delete;
    GDictionary& operator=(const GDictionary&) = delete;
    virtual ~GDictionary();

    // Rebuilds the table from the rows of doc's node (the "Dictionary" element); rows are read
    // from the first "Row" child for as long as the next element is another "Row", and the
    // first row of a key wins. Null empties the table. Returns 1.
    int SetDataDoc(GDataDoc* doc);

    // The value of the key's row with each "\n" escape turned into "\r\n"; the key itself when
    // no row holds it.
    GWString Translate(const GWString& key) const;

    uint32_t GetEntryCount() const { return static_cast<uint32_t>(m_entries.size()); }

private:
    std::unordered_map<std::u16string, std::u16string> m_entries;
};
