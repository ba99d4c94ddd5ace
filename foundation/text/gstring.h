#pragma once
// The engine's 8-bit text toolkit: zero-terminated string functions with exactly defined
// edge behaviour, and GString, an owned buffer that holds exactly what it needs.
// Narrow text is Windows-1251; bytes compare unsigned and character classes are ASCII only.

#include <cstdint>

int CharIsSpace(int c);
int CharIsAlpha(int c);
int CharIsAlnum(int c);
int CharToUpper(int c);
int CharToLower(int c);

uint32_t StrLen(const char* s);
const char* StrFindChar(const char* s, int c);
uint32_t StrIndexOfChar(const char* s, int c);
uint32_t StrCountChar(const char* s, int c);
const char* StrFind(const char* s, const char* pattern);
void StrCopy(char* dst, const char* src);
void StrAppend(char* dst, const char* src);
// dst holds at least n + 1 bytes.
void StrCopyN(char* dst, const char* src, uint32_t n);
// Appends until dst holds n characters in all; dst holds at least n + 1 bytes.
void StrAppendN(char* dst, const char* src, uint32_t n);
void StrInsertChar(char* s, char c, uint32_t index);
void StrDeleteChars(char* s, uint32_t index, uint32_t n);
int StrCompare(const char* a, const char* b);
int StrDifferN(const char* a, const char* b, int n);
int BytesDiffer(const void* a, const void* b, int n);
// dst holds at least 12 bytes.
void StrFromInt(char* dst, int32_t value);
int32_t StrToInt(const char* s);
int32_t StrToIntHex(const char* s);
int32_t StrToIntRadix(const char* s, const char** end, int radix);

class GString {
public:
    GString() = default;
    GString(const char* text);
    explicit GString(char c);
    GString(const GString& other);
    GString(GString&& other) noexcept;
    ~GString();

    GString& operator=(const GString& other);
    GString& operator=(GString&& other) noexcept;
    GString& operator=(const char* text);

    void Clear();
    uint32_t GetLength() const { return m_size ? m_size - 1 : 0; }
    uint32_t GetSize() const { return m_size; }
    uint32_t GetCapacity() const { return m_capacity; }
    bool IsEmpty() const { return m_size <= 1; }
    // Never null: a string without text in a buffer reads as "".
    const char* c_str() const { return m_size ? m_data : ""; }
    char* GetData() { return m_data; }
    const char* GetData() const { return m_data; }
    // The terminator; null without a buffer.
    char* GetEnd() { return m_size ? m_data + m_size - 1 : nullptr; }
    void SetEmpty();

    // Exactly n bytes, zero-filled (the old content is not kept); 0 frees the buffer.
    // False when the allocation failed, and then the string is left as it was.
    bool Allocate(uint32_t n);
    // 0 means 256. Keeps min(size, capacity) bytes; text cut short keeps a terminator in
    // its last byte. False (nothing changed) when the allocation failed.
    bool Reserve(uint32_t capacity);
    // n includes the terminator the caller supplies (the last byte is forced to zero).
    // bytes may lie inside this string's own buffer. A failed allocation leaves an empty
    // string without a buffer and returns false.
    bool AssignBytes(const char* bytes, uint32_t n);

    // Appending the string to itself, or text from inside its own buffer, is allowed.
    // False (text unchanged) when the allocation failed.
    bool Append(const GString& other);
    bool Append(const char* text);
    // A space is not appended to an empty string, nor is a zero byte to any.
    bool AppendCharTrimmed(char c);

    GString operator+(const char* text) const;
    GString operator+(const GString& other) const;

    static int Compare(const GString& a, const GString& b);

    void MakeLower();
    void MakeUpper();

private:
    char* m_data = nullptr;
    uint32_t m_size = 0;     // bytes in use including the terminator
    uint32_t m_capacity = 0; // bytes allocated
};
