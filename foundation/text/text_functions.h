#pragma once
// The zero-terminated string functions of gstring.h (char) and wstring.h (char16_t), written
// once over the character type. Units compare unsigned; a wanted character given as int is
// first cut to the character type, as the engine's callers expect. Foundation's own sources
// include this; everyone else calls the named functions gstring.h and wstring.h declare.

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

namespace text {

template <typename Char>
uint32_t Length(const Char* s)
{
    uint32_t n = 0;
    while (s[n])
        ++n;
    return n;
}

// Null for the terminator itself.
template <typename Char>
const Char* FindChar(const Char* s, int c)
{
    const auto wanted = static_cast<Char>(c);
    if (wanted == 0)
        return nullptr;
    for (; *s; ++s) {
        if (*s == wanted)
            return s;
    }
    return nullptr;
}

// The length when the character is not there.
template <typename Char>
uint32_t IndexOfChar(const Char* s, int c)
{
    const auto wanted = static_cast<Char>(c);
    uint32_t i = 0;
    while (s[i] && s[i] != wanted)
        ++i;
    return i;
}

template <typename Char>
uint32_t CountChar(const Char* s, int c)
{
    const auto wanted = static_cast<Char>(c);
    uint32_t n = 0;
    for (; *s; ++s) {
        if (*s == wanted)
            ++n;
    }
    return n;
}

// An empty pattern is found at the start.
template <typename Char>
const Char* Find(const Char* s, const Char* pattern)
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

template <typename Char>
void Copy(Char* dst, const Char* src)
{
    while ((*dst++ = *src++) != 0) {
    }
}

template <typename Char>
void Append(Char* dst, const Char* src)
{
    Copy(dst + Length(dst), src);
}

template <typename Char>
void CopyN(Char* dst, const Char* src, uint32_t n)
{
    uint32_t i = 0;
    for (; i < n && src[i]; ++i)
        dst[i] = src[i];
    dst[i] = 0;
}

template <typename Char>
void AppendN(Char* dst, const Char* src, uint32_t n)
{
    uint32_t len = Length(dst);
    while (len < n && *src)
        dst[len++] = *src++;
    dst[len] = 0;
}

// Nothing past the terminator's index.
template <typename Char>
void InsertChar(Char* s, Char c, uint32_t index)
{
    const uint32_t len = Length(s);
    if (index > len)
        return;
    std::memmove(s + index + 1, s + index, (len - index + 1) * sizeof(Char));
    s[index] = c;
}

template <typename Char>
int Compare(const Char* a, const Char* b)
{
    using Unit = std::make_unsigned_t<Char>;
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    const auto ua = static_cast<Unit>(*a);
    const auto ub = static_cast<Unit>(*b);
    if (ua == ub)
        return 0;
    return ua < ub ? -1 : 1;
}

// 1 when the first n units differ, stopping early at the end of a.
template <typename Char>
int DifferN(const Char* a, const Char* b, int n)
{
    for (int i = 0; i < n; ++i) {
        if (!a[i])
            return 0;
        if (a[i] != b[i])
            return 1;
    }
    return 0;
}

// dst holds at least 12 units.
template <typename Char>
void FromInt(Char* dst, int32_t value)
{
    // Unsigned magnitude so that INT32_MIN has one too.
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    Char* p = dst;
    if (value < 0)
        *p++ = '-';
    Char* first = p;
    do {
        *p++ = static_cast<Char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    *p = 0;
    for (Char* last = p - 1; first < last; ++first, --last)
        std::swap(*first, *last);
}

// Value of a digit in radix 16 or below, -1 for any other unit.
template <typename Char>
int HexDigit(Char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// An optional sign, then digits of the radix (at most 16); arithmetic wraps modulo 2^32 as
// the engine's parsers do. No white space is skipped.
template <typename Char>
int32_t ParseWrapping(const Char* s, uint32_t radix)
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

} // namespace text
