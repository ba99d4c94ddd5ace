#include "foundation/text/gstring.h"

#include <cstring>
#include <new>
#include <utility>

#include "foundation/text/text_functions.h"

int CharIsSpace(int c)
{
    return (c >= 9 && c <= 13) || c == 32 ? 1 : 0;
}

int CharIsAlpha(int c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ? 1 : 0;
}

int CharIsAlnum(int c)
{
    return CharIsAlpha(c) || (c >= '0' && c <= '9') ? 1 : 0;
}

int CharToUpper(int c)
{
    return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
}

int CharToLower(int c)
{
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

// The shared definitions are in text_functions.h, written once for char and char16_t.
uint32_t StrLen(const char* s) { return text::Length(s); }
const char* StrFindChar(const char* s, int c) { return text::FindChar(s, c); }
uint32_t StrIndexOfChar(const char* s, int c) { return text::IndexOfChar(s, c); }
uint32_t StrCountChar(const char* s, int c) { return text::CountChar(s, c); }
const char* StrFind(const char* s, const char* pattern) { return text::Find(s, pattern); }
void StrCopy(char* dst, const char* src) { text::Copy(dst, src); }
void StrAppend(char* dst, const char* src) { text::Append(dst, src); }
void StrCopyN(char* dst, const char* src, uint32_t n) { text::CopyN(dst, src, n); }
void StrAppendN(char* dst, const char* src, uint32_t n) { text::AppendN(dst, src, n); }
void StrInsertChar(char* s, char c, uint32_t index) { text::InsertChar(s, c, index); }
int StrCompare(const char* a, const char* b) { return text::Compare(a, b); }
int StrDifferN(const char* a, const char* b, int n) { return text::DifferN(a, b, n); }
void StrFromInt(char* dst, int32_t value) { text::FromInt(dst, value); }
int32_t StrToInt(const char* s) { return text::ParseWrapping(s, 10); }
int32_t StrToIntHex(const char* s) { return text::ParseWrapping(s, 16); }

void StrDeleteChars(char* s, uint32_t index, uint32_t n)
{
    const uint32_t len = StrLen(s);
    if (index >= len)
        return;
    if (n > len - index)
        n = len - index;
    std::memmove(s + index, s + index + n, len - index - n + 1);
}

int BytesDiffer(const void* a, const void* b, int n)
{
    if (n < 1)
        return 0;
    return std::memcmp(a, b, static_cast<size_t>(n)) != 0 ? 1 : 0;
}

int32_t StrToIntRadix(const char* s, const char** end, int radix)
{
    (void)end;
    return radix == 10 ? StrToInt(s) : StrToIntHex(s);
}

// ---------------------------------------------------------------------------------------

GString::GString(const char* text)
{
    if (text)
        AssignBytes(text, StrLen(text) + 1);
}

GString::GString(char c)
{
    const char bytes[2] = {c, 0};
    AssignBytes(bytes, 2);
}

GString::GString(const GString& other)
{
    if (other.m_data)
        AssignBytes(other.m_data, other.m_size);
}

GString::GString(GString&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)),
      m_size(std::exchange(other.m_size, 0)),
      m_capacity(std::exchange(other.m_capacity, 0))
{
}

GString::~GString()
{
    delete[] m_data;
}

GString& GString::operator=(const GString& other)
{
    if (this == &other)
        return *this;
    if (other.m_data)
        AssignBytes(other.m_data, other.m_size);
    else
        Clear();
    return *this;
}

GString& GString::operator=(GString&& other) noexcept
{
    if (this != &other) {
        delete[] m_data;
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
    }
    return *this;
}

GString& GString::operator=(const char* text)
{
    if (text && text == m_data)
        return *this;
    if (!text || !*text)
        Clear();
    else
        AssignBytes(text, StrLen(text) + 1);
    return *this;
}

void GString::Clear()
{
    delete[] m_data;
    m_data = nullptr;
    m_size = 0;
    m_capacity = 0;
}

void GString::SetEmpty()
{
    if (!m_data)
        return;
    m_data[0] = 0;
    m_size = 1;
}

bool GString::Allocate(uint32_t n)
{
    if (n == 0) {
        Clear();
        return true;
    }
    if (m_size == n && m_capacity == n) {
        std::memset(m_data, 0, n);
        return true;
    }
    char* block = new (std::nothrow) char[n]();
    if (!block)
        return false;
    delete[] m_data;
    m_data = block;
    m_size = n;
    m_capacity = n;
    return true;
}

bool GString::Reserve(uint32_t capacity)
{
    if (capacity == 0)
        capacity = 256;
    char* block = new (std::nothrow) char[capacity];
    if (!block)
        return false;
    const uint32_t keep = m_size < capacity ? m_size : capacity;
    if (keep)
        std::memcpy(block, m_data, keep);
    // A cut text ends at the new last byte; a buffer without text still reads as "".
    block[keep ? keep - 1 : 0] = 0;
    delete[] m_data;
    m_data = block;
    m_size = keep;
    m_capacity = capacity;
    return true;
}

bool GString::AssignBytes(const char* bytes, uint32_t n)
{
    if (n == 0) {
        m_size = 0;
        return true;
    }
    if (m_capacity < n) {
        // A source inside the old buffer is read before that buffer goes.
        char* block = new (std::nothrow) char[n];
        if (!block) {
            Clear();
            return false;
        }
        std::memcpy(block, bytes, n);
        delete[] m_data;
        m_data = block;
        m_capacity = n;
    } else {
        std::memmove(m_data, bytes, n);
    }
    m_data[n - 1] = 0;
    m_size = n;
    return true;
}

namespace {

// Text [text, text + len) appended to a buffer of exactly the new size; text may point into
// the old buffer, which is freed only after the copy.
bool AppendBytes(char*& data, uint32_t& size, uint32_t& capacity, const char* text, uint32_t len)
{
    if (len == 0)
        return true;
    const uint32_t oldLength = size ? size - 1 : 0;
    if (len > UINT32_MAX - 1 - oldLength)
        return false;
    const uint32_t newSize = oldLength + len + 1;
    char* block = new (std::nothrow) char[newSize];
    if (!block)
        return false;
    if (oldLength)
        std::memcpy(block, data, oldLength);
    std::memcpy(block + oldLength, text, len);
    block[newSize - 1] = 0;
    delete[] data;
    data = block;
    size = newSize;
    capacity = newSize;
    return true;
}

} // namespace

bool GString::Append(const GString& other)
{
    return AppendBytes(m_data, m_size, m_capacity, other.c_str(), other.GetLength());
}

bool GString::Append(const char* text)
{
    if (!text)
        return true;
    return AppendBytes(m_data, m_size, m_capacity, text, StrLen(text));
}

bool GString::AppendCharTrimmed(char c)
{
    if (c == 0 || (c == ' ' && IsEmpty()))
        return true;
    return AppendBytes(m_data, m_size, m_capacity, &c, 1);
}

GString GString::operator+(const char* text) const
{
    GString result(*this);
    result.Append(text);
    return result;
}

GString GString::operator+(const GString& other) const
{
    GString result(*this);
    result.Append(other);
    return result;
}

int GString::Compare(const GString& a, const GString& b)
{
    if (a.m_data && b.m_data)
        return StrCompare(a.c_str(), b.c_str());
    if (a.m_size == b.m_size)
        return 0;
    return a.m_size < b.m_size ? -1 : 1;
}

void GString::MakeLower()
{
    for (uint32_t i = 0; i + 1 < m_size; ++i)
        m_data[i] = static_cast<char>(CharToLower(static_cast<unsigned char>(m_data[i])));
}

void GString::MakeUpper()
{
    for (uint32_t i = 0; i + 1 < m_size; ++i)
        m_data[i] = static_cast<char>(CharToUpper(static_cast<unsigned char>(m_data[i])));
}
