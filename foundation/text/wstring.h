#pragma once
// UTF-16 text: zero-terminated functions over char16_t units, the character buffer
// GWCharBuffer and GWString, the text type of everything the user sees (captions, dictionary
// entries, level and player names).
//
// GWString owns its buffer and two cached copies: the zero-terminated UTF-16 text handed out
// by GetWide and its Windows-1251 form handed out by GetNarrow. A returned pointer stays
// valid until the text changes or the string is destroyed; the caller never frees it. Not
// thread-safe (the caches are filled on demand, also through a const string); main thread,
// or one owner at a time.
//
// Narrow text is Windows-1251 in and out; UTF-8 in and out through AssignUtf8 and ToUtf8.
// Numbers are written and read in the C locale. Allocation failures leave the text as it was.

#include <cstdint>
#include <memory>
#include <string_view>

#include "foundation/core/array_block.h"

class GWStringArray;

// Character classes and case mapping beyond ASCII: Latin-1, Latin Extended-A and B, Greek,
// Cyrillic and the common Unicode spaces; other units keep their case and count as letters
// only inside the larger alphabetic blocks (Armenian, Hebrew, Arabic, kana, CJK, Hangul).
int WCharIsSpace(int c);
int WCharIsAlpha(int c);
int WCharIsAlnum(int c);
int WCharToUpper(int c);
int WCharToLower(int c);

// The same contracts as the narrow functions of gstring.h, over 16-bit units.
uint32_t WStrLen(const char16_t* s);
const char16_t* WStrFindChar(const char16_t* s, int c);
uint32_t WStrIndexOfChar(const char16_t* s, int c);
uint32_t WStrCountChar(const char16_t* s, int c);
const char16_t* WStrFind(const char16_t* s, const char16_t* pattern);
void WStrCopy(char16_t* dst, const char16_t* src);
void WStrAppend(char16_t* dst, const char16_t* src);
// dst holds at least n + 1 units.
void WStrCopyN(char16_t* dst, const char16_t* src, uint32_t n);
// Appends until dst holds n characters in all; dst holds at least n + 1 units.
void WStrAppendN(char16_t* dst, const char16_t* src, uint32_t n);
// index from 0 to the length; the tail moves one place right.
void WStrInsertChar(char16_t* s, char16_t c, uint32_t index);
// -1, 0 or 1 by the first differing unit (unsigned), or by which string ends first.
int WStrCompare(const char16_t* a, const char16_t* b);
int WStrDifferN(const char16_t* a, const char16_t* b, int n);
// dst holds at least 12 units.
void WStrFromInt(char16_t* dst, int32_t value);
// Leading white space, an optional sign, decimal digits; saturates at the int32 range.
int32_t WStrToInt(const char16_t* s);
// An optional sign, then hexadecimal digits; wraps modulo 2^32.
int32_t WStrToIntHex(const char16_t* s);
// Radix 10 gives WStrToInt, any other radix WStrToIntHex. end is not written.
int32_t WStrToIntRadix(const char16_t* s, const char16_t** end, int radix);

// A growable run of UTF-16 units without terminator. A reserve of 0 means 256 units; an append
// to a full buffer doubles it. Failed growth leaves the buffer as it was and reports false.
class GWCharBuffer : private GArrayStorage<char16_t> {
public:
    GWCharBuffer() = default;
    GWCharBuffer(GWCharBuffer&& other) noexcept = default;
    GWCharBuffer& operator=(GWCharBuffer&& other) noexcept = default;

    // Keeps min(length, capacity) units.
    using GArrayStorage::Reserve;
    // Room for at least length + extra units, doubling from the current capacity (or 256).
    bool Grow(uint32_t extra);
    bool Append(char16_t c);
    bool Append(const char16_t* units, uint32_t n);
    // An index at or past the end appends.
    bool Insert(char16_t c, uint32_t index);
    // Clipped at the end; nothing when index is not inside.
    void Delete(uint32_t index, uint32_t count);
    // First index in [from, to) holding c, or -1.
    int32_t Find(char16_t c, uint32_t from, uint32_t to) const;
    void SetLength(uint32_t length) { m_count = length <= m_capacity ? length : m_capacity; }
    void Free() { Clear(); }

    // Null until the first unit arrives.
    char16_t* GetData() { return m_items; }
    const char16_t* GetData() const { return m_items; }
    uint32_t GetLength() const { return m_count; }
    using GArrayStorage::GetCapacity;
};

class GWString {
public:
    GWString() = default;
    GWString(const GWString& other);
    GWString(GWString&& other) noexcept;
    GWString(const char16_t* text);
    // Windows-1251.
    GWString(const char* text);
    explicit GWString(std::u16string_view text);
    explicit GWString(char16_t c);
    explicit GWString(char c);
    // Digits in the radix (2 to 36, else 10), lower-case letters; a radix other than 10
    // writes the value's 32 bits unsigned.
    GWString(int value, int radix);
    // "%.7f".
    explicit GWString(double value);
    virtual ~GWString();

    GWString& operator=(const GWString& other);
    GWString& operator=(GWString&& other) noexcept;
    GWString& operator=(const char16_t* text);
    GWString& operator=(char16_t c);
    GWString& operator=(const char* text);
    GWString& operator=(char c);

    // Replaces the text by the decoded bytes, up to the first zero byte; a sequence cut short
    // by that zero is dropped. Four-byte sequences become surrogate pairs; other bytes are
    // taken as they come, without validation. Returns the bytes read, terminator excluded.
    uint32_t AssignUtf8(const char* bytes);
    static GWString FromUtf8(const char* bytes);

    // Appending the string to itself is allowed. False (text unchanged) when out of memory.
    bool Append(const GWString& other);
    bool Append(const char16_t* text);
    bool Append(std::u16string_view text);
    bool Append(const char* text);
    bool Append(char c);
    bool AppendChar(char16_t c);

    GWString operator+(const GWString& other) const;
    GWString operator+(const char16_t* text) const;
    GWString operator+(const char* text) const;
    friend GWString operator+(const char16_t* text, const GWString& s);
    friend GWString operator+(const char* text, const GWString& s);

    // Same length and same units; no folding or normalisation.
    bool operator==(const GWString& other) const { return View() == other.View(); }
    bool operator==(const char16_t* text) const;
    bool operator==(const char* text) const;
    bool operator==(char16_t c) const;
    bool operator==(char c) const;
    bool operator!=(const GWString& other) const { return !(*this == other); }
    bool operator!=(const char16_t* text) const { return !(*this == text); }
    bool operator!=(const char* text) const { return !(*this == text); }
    bool operator!=(char16_t c) const { return !(*this == c); }
    bool operator!=(char c) const { return !(*this == c); }

    uint32_t GetLength() const { return m_buffer.GetLength(); }
    uint32_t GetCapacity() const { return m_buffer.GetCapacity(); }
    bool IsEmpty() const { return m_buffer.GetLength() == 0; }
    // The units without terminator; empty for a string without buffer.
    std::u16string_view View() const;
    // Unit at index; 0 past the end.
    char16_t GetAt(uint32_t index) const;

    // First occurrence at or after start; -1 when none or when the pattern is empty.
    int32_t Find(const GWString& pattern, uint32_t start = 0) const;
    // Last occurrence; -1 when none or when the pattern is empty or longer than the text.
    int32_t ReverseFind(const GWString& pattern) const;
    // count units from start; empty when start is not inside or start + count passes the end.
    GWString Mid(uint32_t start, uint32_t count) const;
    // Leading white space, sign, digits of the radix (0: by prefix, 16 also after "0x");
    // saturates at the int32 range; 0 without digits or for a radix outside 2 to 36.
    int32_t ToInt(int radix = 10) const;
    // The C library's decimal reading in the C locale; 0 without a number.
    double ToDouble() const;

    // Only when index < length; otherwise nothing happens.
    bool Insert(const GWString& other, uint32_t index);
    // Clipped at the end; nothing when index is not inside.
    void Delete(uint32_t index, uint32_t count);
    // Every occurrence of the pattern, left to right, without overlap; the inserted text is
    // never searched again, so the replacement may contain the pattern. An empty pattern
    // changes nothing. Returns the number of replacements (0 also when out of memory).
    int32_t Replace(const GWString& pattern, const GWString& replacement);
    void TrimLeft();
    void TrimRight();
    void Trim();
    void MakeUpper();
    void MakeLower();
    void Reverse();
    // Length 0, the buffer is kept.
    void Clear();

    // Zero-terminated copies, cached until the text changes; never null ("" when empty or
    // out of memory).
    const char16_t* GetWide() const;
    // Windows-1251; a code point it cannot express becomes '?'.
    const char* GetNarrow() const;
    // A new zero-terminated UTF-8 copy; null for an empty string (or out of memory).
    std::unique_ptr<char[]> ToUtf8() const;

    // The parts between occurrences of the whole separator, empty parts dropped. An empty
    // separator gives the whole text as one part (none when the text is empty).
    GWStringArray Split(const GWString& separator) const;

private:
    void DropCaches() const;
    // Discards the caches before a change.
    GWCharBuffer& Edit();

    GWCharBuffer m_buffer;
    mutable std::unique_ptr<char[]> m_narrow;
    mutable std::unique_ptr<char16_t[]> m_wide;
};
