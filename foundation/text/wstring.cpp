#include "foundation/text/wstring.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <utility>

#include "foundation/text/text_functions.h"
#include "foundation/text/wstring_array.h"
#include "platform/text/code_page.h"

// ---------------------------------------------------------------------------------------
// Character classes and case mapping

namespace {

struct Range {
    char16_t first;
    char16_t last;
};

constexpr Range kSpaces[] = {
    {0x09, 0x0D}, {0x20, 0x20}, {0x85, 0x85}, {0xA0, 0xA0}, {0x1680, 0x1680},
    {0x2000, 0x200A}, {0x2028, 0x2029}, {0x202F, 0x202F}, {0x205F, 0x205F}, {0x3000, 0x3000},
};

constexpr Range kLetters[] = {
    {0x41, 0x5A}, {0x61, 0x7A}, {0xAA, 0xAA}, {0xB5, 0xB5}, {0xBA, 0xBA},
    {0xC0, 0xD6}, {0xD8, 0xF6}, {0xF8, 0x2AF},                       // Latin
    {0x370, 0x373}, {0x376, 0x377}, {0x37B, 0x37D}, {0x37F, 0x37F}, {0x386, 0x386},
    {0x388, 0x38A}, {0x38C, 0x38C}, {0x38E, 0x3A1}, {0x3A3, 0x3F5}, // Greek
    {0x3F7, 0x481}, {0x48A, 0x52F},                                  // Cyrillic
    {0x531, 0x556}, {0x561, 0x587},                                  // Armenian
    {0x5D0, 0x5EA}, {0x620, 0x64A},                                  // Hebrew, Arabic
    {0x1E00, 0x1FBC}, {0x1FC2, 0x1FCC}, {0x1FD0, 0x1FDB}, {0x1FE0, 0x1FEC}, {0x1FF2, 0x1FFC},
    {0x3041, 0x3096}, {0x30A1, 0x30FA}, {0x3400, 0x4DBF}, {0x4E00, 0x9FFF}, {0xAC00, 0xD7A3},
    {0xFF21, 0xFF3A}, {0xFF41, 0xFF5A},
};

bool InRanges(int c, const Range* ranges, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        if (c >= ranges[i].first && c <= ranges[i].last)
            return true;
    }
    return false;
}

// Capitals [first, last] whose small letters lie at a fixed distance.
struct OffsetCase {
    char16_t first;
    char16_t last;
    int32_t delta; // small = capital + delta
};

constexpr OffsetCase kOffsetCases[] = {
    {0x41, 0x5A, 0x20},     {0xC0, 0xD6, 0x20},     {0xD8, 0xDE, 0x20},
    {0x178, 0x178, -0x79},  {0x386, 0x386, 0x26},   {0x388, 0x38A, 0x25},
    {0x38C, 0x38C, 0x40},   {0x38E, 0x38F, 0x3F},   {0x391, 0x3A1, 0x20},
    {0x3A3, 0x3AB, 0x20},   {0x400, 0x40F, 0x50},   {0x410, 0x42F, 0x20},
    {0x4C0, 0x4C0, 0x0F},   {0x531, 0x556, 0x30},   {0xFF21, 0xFF3A, 0x20},
};

// Runs where capital and small letter alternate, the capital first.
constexpr Range kPairCases[] = {
    {0x100, 0x12F}, {0x132, 0x137}, {0x139, 0x148}, {0x14A, 0x177}, {0x179, 0x17E},
    {0x460, 0x481}, {0x48A, 0x4BF}, {0x4C1, 0x4CE}, {0x4D0, 0x52F}, {0x1E00, 0x1E95},
    {0x1EA0, 0x1EFF},
};

int MapCase(int c, bool toUpper)
{
    if (c < 0 || c > 0xFFFF)
        return c;
    if (c < 0x80) {
        if (toUpper)
            return c >= 'a' && c <= 'z' ? c - 0x20 : c;
        return c >= 'A' && c <= 'Z' ? c + 0x20 : c;
    }
    for (const OffsetCase& r : kOffsetCases) {
        if (toUpper) {
            if (c >= r.first + r.delta && c <= r.last + r.delta)
                return c - r.delta;
        } else if (c >= r.first && c <= r.last) {
            return c + r.delta;
        }
    }
    for (const Range& r : kPairCases) {
        if (c < r.first || c > r.last)
            continue;
        const bool capital = ((c - r.first) & 1) == 0;
        if (toUpper && !capital)
            return c - 1;
        if (!toUpper && capital && c + 1 <= r.last)
            return c + 1;
        return c;
    }
    if (toUpper && c == 0x3C2) // final sigma
        return 0x3A3;
    return c;
}

} // namespace

int WCharIsSpace(int c)
{
    return InRanges(c, kSpaces, std::size(kSpaces)) ? 1 : 0;
}

int WCharIsAlpha(int c)
{
    return InRanges(c, kLetters, std::size(kLetters)) ? 1 : 0;
}

int WCharIsAlnum(int c)
{
    return (c >= '0' && c <= '9') || (c >= 0xFF10 && c <= 0xFF19) || WCharIsAlpha(c) ? 1 : 0;
}

int WCharToUpper(int c)
{
    return MapCase(c, true);
}

int WCharToLower(int c)
{
    return MapCase(c, false);
}

// ---------------------------------------------------------------------------------------
// Zero-terminated functions

// Written once for char and char16_t in text_functions.h.
uint32_t WStrLen(const char16_t* s) { return text::Length(s); }
const char16_t* WStrFindChar(const char16_t* s, int c) { return text::FindChar(s, c); }
uint32_t WStrIndexOfChar(const char16_t* s, int c) { return text::IndexOfChar(s, c); }
uint32_t WStrCountChar(const char16_t* s, int c) { return text::CountChar(s, c); }
const char16_t* WStrFind(const char16_t* s, const char16_t* pattern) { return text::Find(s, pattern); }
void WStrCopy(char16_t* dst, const char16_t* src) { text::Copy(dst, src); }
void WStrAppend(char16_t* dst, const char16_t* src) { text::Append(dst, src); }
void WStrCopyN(char16_t* dst, const char16_t* src, uint32_t n) { text::CopyN(dst, src, n); }
void WStrAppendN(char16_t* dst, const char16_t* src, uint32_t n) { text::AppendN(dst, src, n); }
void WStrInsertChar(char16_t* s, char16_t c, uint32_t index) { text::InsertChar(s, c, index); }
int WStrCompare(const char16_t* a, const char16_t* b) { return text::Compare(a, b); }
int WStrDifferN(const char16_t* a, const char16_t* b, int n) { return text::DifferN(a, b, n); }
void WStrFromInt(char16_t* dst, int32_t value) { text::FromInt(dst, value); }
int32_t WStrToIntHex(const char16_t* s) { return text::ParseWrapping(s, 16); }

namespace {

int DigitValue(char16_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

// The C library's strtol over UTF-16, with long taken as 32 bits: white space, sign, an
// optional "0x" for radix 16 or 0, digits; out-of-range values saturate.
int32_t ParseLong(const char16_t* s, size_t n, int radix)
{
    if (radix != 0 && (radix < 2 || radix > 36))
        return 0;
    size_t i = 0;
    while (i < n && WCharIsSpace(s[i]))
        ++i;
    bool negative = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    const bool hexPrefix =
        i + 2 < n && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') && DigitValue(s[i + 2]) < 16;
    if ((radix == 0 || radix == 16) && hexPrefix) {
        i += 2;
        radix = 16;
    } else if (radix == 0) {
        radix = i < n && s[i] == '0' ? 8 : 10;
    }
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    int64_t value = 0;
    bool saturated = false;
    for (; i < n; ++i) {
        const int d = DigitValue(s[i]);
        if (d >= radix)
            break;
        if (!saturated) {
            value = value * radix + d;
            if (value > limit) {
                value = limit;
                saturated = true;
            }
        }
    }
    return static_cast<int32_t>(negative ? -value : value);
}

} // namespace

int32_t WStrToInt(const char16_t* s)
{
    return ParseLong(s, WStrLen(s), 10);
}

int32_t WStrToIntRadix(const char16_t* s, const char16_t** /*end*/, int radix)
{
    return radix == 10 ? WStrToInt(s) : WStrToIntHex(s);
}

// ---------------------------------------------------------------------------------------
// GWString

namespace {

int32_t IndexOrNone(size_t pos)
{
    return pos == std::u16string_view::npos || pos > static_cast<size_t>(INT32_MAX) ? -1 : static_cast<int32_t>(pos);
}

// Narrow text to UTF-16, one unit per byte.
bool AppendAnsi(GWCharBuffer& buffer, const char* text, size_t n)
{
    if (n > UINT32_MAX || !buffer.Grow(static_cast<uint32_t>(n)))
        return false;
    for (size_t i = 0; i < n; ++i)
        buffer.Append(platform::Cp1251ToUtf16(static_cast<uint8_t>(text[i])));
    return true;
}

} // namespace

GWString::GWString(const GWString& other)
{
    m_buffer.Append(other.m_buffer.GetData(), other.GetLength());
}

GWString::GWString(GWString&& other) noexcept
    : m_buffer(std::move(other.m_buffer))
{
    other.DropCaches();
}

GWString::GWString(const char16_t* text)
{
    Append(text);
}

GWString::GWString(const char* text)
{
    Append(text);
}

GWString::GWString(std::u16string_view text)
{
    Append(text);
}

GWString::GWString(char16_t c)
{
    AppendChar(c);
}

GWString::GWString(char c)
{
    Append(c);
}

GWString::GWString(int value, int radix)
{
    if (radix < 2 || radix > 36)
        radix = 10;
    char digits[40];
    std::to_chars_result r;
    if (radix == 10)
        r = std::to_chars(digits, digits + sizeof digits, value);
    else
        r = std::to_chars(digits, digits + sizeof digits, static_cast<uint32_t>(value), radix);
    for (const char* p = digits; p < r.ptr; ++p)
        m_buffer.Append(static_cast<char16_t>(*p));
}

GWString::GWString(double value)
{
    // "%.7f" of the largest double is about 320 characters.
    char text[400];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 7);
    if (r.ec == std::errc())
        AppendAnsi(m_buffer, text, static_cast<size_t>(r.ptr - text));
}

GWString::~GWString() = default;

GWString& GWString::operator=(const GWString& other)
{
    if (this != &other) {
        Clear();
        Append(other);
    }
    return *this;
}

GWString& GWString::operator=(GWString&& other) noexcept
{
    if (this != &other) {
        DropCaches();
        m_buffer = std::move(other.m_buffer);
        other.DropCaches();
    }
    return *this;
}

// Raw texts are converted into a temporary first: they may be this string's own cached
// copies, which any change frees.
GWString& GWString::operator=(const char16_t* text)
{
    return *this = GWString(text);
}

GWString& GWString::operator=(char16_t c)
{
    Clear();
    AppendChar(c);
    return *this;
}

GWString& GWString::operator=(const char* text)
{
    return *this = GWString(text);
}

GWString& GWString::operator=(char c)
{
    Clear();
    Append(c);
    return *this;
}

// This codec and ToUtf8's are not platform/code_page's: those replace malformed input with
// U+FFFD for the system's sake, while a string's own UTF-8 form keeps every unit, lone
// surrogates included, so that the text comes back unit for unit.
uint32_t GWString::AssignUtf8(const char* bytes)
{
    Clear();
    if (!bytes)
        return 0;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes);
    GWCharBuffer& buffer = Edit();
    uint32_t i = 0;
    while (p[i]) {
        const uint32_t lead = p[i];
        uint32_t trail = 0;
        if (lead >= 0x80)
            trail = lead >= 0xF0 && lead <= 0xF7 ? 3 : lead >= 0xE0 ? 2 : 1;
        // A sequence cut short by the terminator ends the text there.
        uint32_t k = 1;
        while (k <= trail && p[i + k])
            ++k;
        if (k <= trail) {
            i += k;
            break;
        }
        const uint32_t b1 = trail >= 1 ? p[i + 1] & 0x3Fu : 0;
        const uint32_t b2 = trail >= 2 ? p[i + 2] & 0x3Fu : 0;
        const uint32_t b3 = trail >= 3 ? p[i + 3] & 0x3Fu : 0;
        bool ok = true;
        if (trail == 0) {
            ok = buffer.Append(static_cast<char16_t>(lead));
        } else if (trail == 1) {
            ok = buffer.Append(static_cast<char16_t>(((lead & 0x3F) << 6) | b1));
        } else if (trail == 2) {
            ok = buffer.Append(static_cast<char16_t>(((lead << 12) | (b1 << 6) | b2) & 0xFFFF));
        } else {
            const uint32_t cp = ((lead & 0x07) << 18) | (b1 << 12) | (b2 << 6) | b3;
            if (cp >= 0x10000 && cp <= 0x10FFFF) {
                const char16_t pair[2] = {static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)),
                                          static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF))};
                ok = buffer.Append(pair, 2);
            } else {
                ok = buffer.Append(u'\xFFFD');
            }
        }
        if (!ok)
            break;
        i += trail + 1;
    }
    return i;
}

GWString GWString::FromUtf8(const char* bytes)
{
    GWString s;
    s.AssignUtf8(bytes);
    return s;
}

// The appends read their text before the caches go, since the text may be one of them; the
// buffer's own append copes with units from inside the buffer.
bool GWString::Append(const GWString& other)
{
    const bool ok = m_buffer.Append(other.m_buffer.GetData(), other.GetLength());
    DropCaches();
    return ok;
}

bool GWString::Append(const char16_t* text)
{
    if (!text)
        return true;
    const bool ok = m_buffer.Append(text, WStrLen(text));
    DropCaches();
    return ok;
}

bool GWString::Append(std::u16string_view text)
{
    if (text.size() > UINT32_MAX)
        return false;
    const bool ok = m_buffer.Append(text.data(), static_cast<uint32_t>(text.size()));
    DropCaches();
    return ok;
}

bool GWString::Append(const char* text)
{
    if (!text)
        return true;
    const bool ok = AppendAnsi(m_buffer, text, std::strlen(text));
    DropCaches();
    return ok;
}

bool GWString::Append(char c)
{
    // A single narrow character converts like a one-character text, so 0 adds nothing.
    if (c == 0)
        return true;
    return Edit().Append(platform::Cp1251ToUtf16(static_cast<uint8_t>(c)));
}

bool GWString::AppendChar(char16_t c)
{
    return Edit().Append(c);
}

GWString GWString::operator+(const GWString& other) const
{
    GWString s(*this);
    s.Append(other);
    return s;
}

GWString GWString::operator+(const char16_t* text) const
{
    GWString s(*this);
    s.Append(text);
    return s;
}

GWString GWString::operator+(const char* text) const
{
    GWString s(*this);
    s.Append(text);
    return s;
}

GWString operator+(const char16_t* text, const GWString& s)
{
    GWString out(text);
    out.Append(s);
    return out;
}

GWString operator+(const char* text, const GWString& s)
{
    GWString out(text);
    out.Append(s);
    return out;
}

bool GWString::operator==(const char16_t* text) const
{
    return View() == std::u16string_view(text ? text : u"");
}

bool GWString::operator==(const char* text) const
{
    return *this == GWString(text);
}

bool GWString::operator==(char16_t c) const
{
    return GetLength() == 1 && m_buffer.GetData()[0] == c;
}

bool GWString::operator==(char c) const
{
    return *this == GWString(c);
}

std::u16string_view GWString::View() const
{
    if (!m_buffer.GetData())
        return {};
    return {m_buffer.GetData(), m_buffer.GetLength()};
}

char16_t GWString::GetAt(uint32_t index) const
{
    return index < GetLength() ? m_buffer.GetData()[index] : char16_t(0);
}

int32_t GWString::Find(const GWString& pattern, uint32_t start) const
{
    if (pattern.IsEmpty() || start >= GetLength())
        return -1;
    return IndexOrNone(View().find(pattern.View(), start));
}

int32_t GWString::ReverseFind(const GWString& pattern) const
{
    if (pattern.IsEmpty() || pattern.GetLength() > GetLength())
        return -1;
    return IndexOrNone(View().rfind(pattern.View()));
}

GWString GWString::Mid(uint32_t start, uint32_t count) const
{
    if (start >= GetLength() || static_cast<uint64_t>(start) + count > GetLength())
        return GWString();
    return GWString(View().substr(start, count));
}

int32_t GWString::ToInt(int radix) const
{
    return ParseLong(m_buffer.GetData(), GetLength(), radix);
}

double GWString::ToDouble() const
{
    // Numbers are ASCII; the first other unit ends the text the C library sees.
    std::string ascii;
    for (char16_t c : View()) {
        if (c == 0 || c >= 0x80)
            break;
        ascii.push_back(static_cast<char>(c));
    }
    return std::strtod(ascii.c_str(), nullptr);
}

bool GWString::Insert(const GWString& other, uint32_t index)
{
    if (index >= GetLength() || other.IsEmpty())
        return false;
    if (&other == this) {
        const GWString copy(other);
        return Insert(copy, index);
    }
    const uint32_t n = other.GetLength();
    GWCharBuffer& buffer = Edit();
    if (!buffer.Grow(n))
        return false;
    char16_t* data = buffer.GetData();
    std::memmove(data + index + n, data + index, (buffer.GetLength() - index) * sizeof(char16_t));
    std::memcpy(data + index, other.m_buffer.GetData(), n * sizeof(char16_t));
    buffer.SetLength(buffer.GetLength() + n);
    return true;
}

void GWString::Delete(uint32_t index, uint32_t count)
{
    if (index >= GetLength())
        return;
    Edit().Delete(index, count);
}

int32_t GWString::Replace(const GWString& pattern, const GWString& replacement)
{
    if (pattern.IsEmpty() || pattern.GetLength() > GetLength())
        return 0;
    const std::u16string_view text = View();
    const std::u16string_view from = pattern.View();
    const std::u16string_view to = replacement.View();
    GWCharBuffer out;
    int32_t count = 0;
    size_t done = 0;
    for (size_t at = text.find(from); at != std::u16string_view::npos; at = text.find(from, done)) {
        if (!out.Append(text.data() + done, static_cast<uint32_t>(at - done)) ||
            !out.Append(to.data(), static_cast<uint32_t>(to.size())))
            return 0;
        done = at + from.size();
        ++count;
    }
    if (count == 0)
        return 0;
    if (!out.Append(text.data() + done, static_cast<uint32_t>(text.size() - done)))
        return 0;
    Edit() = std::move(out);
    return count;
}

void GWString::TrimLeft()
{
    uint32_t n = 0;
    while (n < GetLength() && WCharIsSpace(m_buffer.GetData()[n]))
        ++n;
    if (n)
        Edit().Delete(0, n);
}

void GWString::TrimRight()
{
    uint32_t length = GetLength();
    while (length > 0 && WCharIsSpace(m_buffer.GetData()[length - 1]))
        --length;
    if (length != GetLength())
        Edit().SetLength(length);
}

void GWString::Trim()
{
    TrimRight();
    TrimLeft();
}

void GWString::MakeUpper()
{
    GWCharBuffer& buffer = Edit();
    for (uint32_t i = 0; i < buffer.GetLength(); ++i)
        buffer.GetData()[i] = static_cast<char16_t>(WCharToUpper(buffer.GetData()[i]));
}

void GWString::MakeLower()
{
    GWCharBuffer& buffer = Edit();
    for (uint32_t i = 0; i < buffer.GetLength(); ++i)
        buffer.GetData()[i] = static_cast<char16_t>(WCharToLower(buffer.GetData()[i]));
}

void GWString::Reverse()
{
    GWCharBuffer& buffer = Edit();
    char16_t* data = buffer.GetData();
    for (uint32_t i = 0, j = buffer.GetLength(); i + 1 < j; ++i, --j)
        std::swap(data[i], data[j - 1]);
}

void GWString::Clear()
{
    Edit().SetLength(0);
}

const char16_t* GWString::GetWide() const
{
    if (!m_wide) {
        const uint32_t n = GetLength();
        m_wide.reset(new (std::nothrow) char16_t[n + 1]);
        if (!m_wide)
            return u"";
        if (n)
            std::memcpy(m_wide.get(), m_buffer.GetData(), n * sizeof(char16_t));
        m_wide[n] = 0;
    }
    return m_wide.get();
}

const char* GWString::GetNarrow() const
{
    if (!m_narrow) {
        const std::string narrow = platform::Utf16ToAnsi(View());
        m_narrow.reset(new (std::nothrow) char[narrow.size() + 1]);
        if (!m_narrow)
            return "";
        std::memcpy(m_narrow.get(), narrow.c_str(), narrow.size() + 1);
    }
    return m_narrow.get();
}

std::unique_ptr<char[]> GWString::ToUtf8() const
{
    const std::u16string_view text = View();
    if (text.empty())
        return nullptr;
    auto isHigh = [](char16_t u) { return u >= 0xD800 && u <= 0xDBFF; };
    auto isLow = [](char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; };
    size_t bytes = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (isHigh(u) && i + 1 < text.size() && isLow(text[i + 1])) {
            bytes += 4;
            ++i;
        } else {
            bytes += u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
        }
    }
    std::unique_ptr<char[]> out(new (std::nothrow) char[bytes + 1]);
    if (!out)
        return nullptr;
    auto* p = reinterpret_cast<uint8_t*>(out.get());
    for (size_t i = 0; i < text.size(); ++i) {
        const uint32_t u = text[i];
        if (isHigh(text[i]) && i + 1 < text.size() && isLow(text[i + 1])) {
            // A surrogate pair is one code point; a lone half is written by itself below.
            const uint32_t cp = 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            *p++ = static_cast<uint8_t>(0xF0 | (cp >> 18));
            *p++ = static_cast<uint8_t>(0x80 | ((cp >> 12) & 0x3F));
            *p++ = static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F));
            *p++ = static_cast<uint8_t>(0x80 | (cp & 0x3F));
            ++i;
        } else if (u < 0x80) {
            *p++ = static_cast<uint8_t>(u);
        } else if (u < 0x800) {
            *p++ = static_cast<uint8_t>(0xC0 | (u >> 6));
            *p++ = static_cast<uint8_t>(0x80 | (u & 0x3F));
        } else {
            *p++ = static_cast<uint8_t>(0xE0 | (u >> 12));
            *p++ = static_cast<uint8_t>(0x80 | ((u >> 6) & 0x3F));
            *p++ = static_cast<uint8_t>(0x80 | (u & 0x3F));
        }
    }
    *p = 0;
    return out;
}

GWStringArray GWString::Split(const GWString& separator) const
{
    GWStringArray parts;
    const std::u16string_view text = View();
    if (separator.IsEmpty()) {
        if (!text.empty())
            parts.Add(*this);
        return parts;
    }
    const std::u16string_view sep = separator.View();
    size_t start = 0;
    while (start <= text.size()) {
        size_t at = text.find(sep, start);
        if (at == std::u16string_view::npos)
            at = text.size();
        if (at > start)
            parts.Add(GWString(text.substr(start, at - start)));
        start = at + sep.size();
    }
    return parts;
}

void GWString::DropCaches() const
{
    m_narrow.reset();
    m_wide.reset();
}

GWCharBuffer& GWString::Edit()
{
    DropCaches();
    return m_buffer;
}
