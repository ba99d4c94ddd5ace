#pragma once
// GParseStatus: a small key/value table read from brace-delimited text ("name = { value }"
// per entry) held in a data pack, with the status of its last read. It owns its entries
// (narrow name/value pairs) and nothing else. Main thread only.

#include <cstdint>
#include <string>

#include "foundation/text/gstring.h"
#include "foundation/text/string_array.h"

class GParseStatus {
public:
    enum Status : int32_t {
        kOk = 0,
        kFileNotFound = 1,
        kSurplusOpenBrace = 2,
        kSurplusCloseBrace = 3,
        kLastEntryOpen = 4,
    };

    GParseStatus() = default;
    GParseStatus(const GParseStatus&) = delete;
    GParseStatus& operator=(const GParseStatus&) = delete;

    // Reads pack "Data<number>.dat" (under folder when given) through a cache of its own,
    // unscrambling it from key when key is not 0. Entries already held are dropped (their
    // storage is reused). storeValues 0 collects the names only. Returns the status.
    int32_t LoadFromPack(int32_t packNumber, const char* folder, uint8_t key, int32_t storeValues);

    // Reads length bytes (no terminator needed; zero bytes count as ordinary bytes) and adds
    // the entries to those already held. Stops at the first error; entries completed before
    // it stay. Returns the status.
    int32_t ParseText(const char* text, uint32_t length);

    // A copy of every entry's name, in entry order.
    GStringArray GetKeys();

    // Records status and position unless a status is recorded already: the first error wins.
    void SetError(int32_t position, int32_t status);

    // The status as one of five fixed Windows-1251 texts, followed by " <position word> n"
    // when the position is 2 or more.
    GString BuildMessage() const;

    int32_t GetStatus() const { return m_status; }
    // Byte index in the text where the error was found.
    int32_t GetPosition() const { return m_position; }
    int32_t GetStoreValues() const { return m_storeValues; }
    void SetStoreValues(int32_t storeValues) { m_storeValues = storeValues; }
    uint32_t GetCount() const { return m_entries.GetCount(); }
    // Null past the end.
    GStringPair* GetAt(uint32_t index) { return m_entries.GetAt(index); }
    // The value of the first entry of that name; null when none.
    GString* FindValue(const GString& name) { return m_entries.FindValue(name); }

private:
    void AppendToValue(std::string& value, char c) const;
    void Reset();

    GStringPairArray m_entries;
    int32_t m_status = kOk;
    int32_t m_position = 0;
    int32_t m_storeValues = 1;
};
