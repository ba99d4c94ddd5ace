#include "foundation/gstring.h"

#include <cstring>
#include <new>
#include <utility>

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

uint32_t StrLen(const char* s)
{
    uint32_t n = 0;
    while (s[n])
        ++n;
    return n;
}

const char* StrFindChar(const char* s, int c)
{
    const char wanted = static_cast<char>(c);
    if (wanted == 0)
        return nullptr;
    for (; *s; ++s) {
        if (*s == wanted)
            return s;
    }
    return nullptr;
}

uint32_t StrIndexOfChar(const char* s, int c)
{
    const char wanted = static_cast<char>(c);
    uint32_t i = 0;
    while (s[i] && s[i] != wanted)
        ++i;
    return i;
}

uint32_t StrCountChar(const char* s, int c)
{
    const char wanted = static_cast<char>(c);
    uint32_t n = 0;
    for (; *s; ++s) {
        if (*s == wanted)
            ++n;
    }
    return n;
}

const char* StrFind(const char* s, const char* pattern)
{
    if (!*pattern)
        return s;
    for (; *s; ++s) {
        uint32_t i = 0;
        while (pattern[i] && s[i] == pattern[i])
            ++i;
        if (!pattern[i])
            return s;
    }
    return nullptr;
}

void StrCopy(char* dst, const char* src)
{
    while ((*dst++ = *src++) != 0) {
    }
}

void StrAppend(char* dst, const char* src)
{
    StrCopy(dst + StrLen(dst), src);
}

void StrCopyN(char* dst, const char* src, uint32_t n)
{
    uint32_t i = 0;
    for (; i < n && src[i]; ++i)
        dst[i] = src[i];
    dst[i] = 0;
}

void StrAppendN(char* dst, const char* src, uint32_t n)
{
    uint32_t len = StrLen(dst);
    while (len < n && *src)
        dst[len++] = *src++;
    dst[len] = 0;
}

void StrInsertChar(char* s, char c, uint32_t index)
{
    const uint32_t len = StrLen(s);
    if (index > len)
        return;
    std::memmove(s + index + 1, s + index, len - index + 1);
    s[index] = c;
}

void StrDeleteChars(char* s, uint32_t index, uint32_t n)
{
    const uint32_t len = StrLen(s);
    if (index >= len)
        return;
    if (n > len - index)
        n = len - index;
    std::memmove(s + index, s + index + n, len - index - n + 1);
}

int StrCompare(const char* a, const char* b)
{
    const auto* ua = reinterpret_cast<const unsigned char*>(a);
    const auto* ub = reinterpret_cast<const unsigned char*>(b);
    while (*ua && *ua == *ub) {
        ++ua;
        ++ub;
    }
    if (*ua == *ub)
        return 0;
    return *ua < *ub ? -1 : 1;
}

int StrDifferN(const char* a, const char* b, int n)
{
    for (int i = 0; i < n; ++i) {
        if (!a[i])
            return 0;
        if (a[i] != b[i])
            return 1;
    }
    return 0;
}

int BytesDiffer(const void* a, const void* b, int n)
{
    if (n < 1)
        return 0;
    return std::memcmp(a, b, static_cast<size_t>(n)) != 0 ? 1 : 0;
}

void StrFromInt(char* dst, int32_t value)
{
    // Unsigned magnitude so that INT32_MIN has one too.
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    char* p = dst;
    if (value < 0)
        *p++ = '-';
    char* first = p;
    do {
        *p++ = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    *p = 0;
    for (char* last = p - 1; first < last; ++first, --last)
        std::swap(*first, *last);
}

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Sign, then digits of the radix; arithmetic wraps modulo 2^32 as the engine's parsers do.
int32_t ParseSigned(const char* s, uint32_t radix)
{
    bool negative = false;
    if (*s == '+' || *s == '-') {
        negative = *s == '-';
        ++s;
    }
    uint32_t value = 0;
    for (;; ++s) {
        const int digit = HexDigit(*s);
        if (digit < 0 || static_cast<uint32_t>(digit) >= radix)
            break;
        value = value * radix + static_cast<uint32_t>(digit);
    }
    if (negative)
        value = 0u - value;
    return static_cast<int32_t>(value);
}

} // namespace

int32_t StrToInt(const char* s)
{
    return ParseSigned(s, 10);
}

int32_t StrToIntHex(const char* s)
{
    return ParseSigned(s, 16);
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
