#include "platform/text/code_page.h"

namespace platform {

namespace {

// Windows-1251, bytes 0x80..0xFF. Below 0x80 it is ASCII; 0xC0..0xFF are U+0410..U+044F in
// order. 0x98 is undefined in the code page and kept as the C1 control of the same value.
constexpr char16_t kHighHalf[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, // F8
};

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// One code point from UTF-16 at text[i]; advances i. Unpaired surrogates give U+FFFD.
char32_t NextFromUtf16(std::u16string_view text, size_t& i)
{
    char32_t c = text[i++];
    if (IsHighSurrogate(c)) {
        if (i < text.size() && IsLowSurrogate(text[i]))
            return 0x10000 + ((c - 0xD800) << 10) + (text[i++] - 0xDC00);
        return kReplacement;
    }
    return IsLowSurrogate(c) ? kReplacement : c;
}

// One code point from UTF-8 at text[i]; advances i. A malformed sequence gives one U+FFFD for
// its longest valid beginning (at least one byte), the way current decoders count them.
char32_t NextFromUtf8(std::string_view text, size_t& i)
{
    uint8_t lead = static_cast<uint8_t>(text[i++]);
    if (lead < 0x80)
        return lead;
    int more;
    char32_t c;
    uint8_t low = 0x80, high = 0xBF; // allowed range of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        c = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        c = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F; // nothing above U+10FFFF
    } else {
        return kReplacement;
    }
    for (int k = 0; k < more; ++k) {
        if (i >= text.size())
            return kReplacement;
        uint8_t b = static_cast<uint8_t>(text[i]);
        if (b < low || b > high)
            return kReplacement;
        c = (c << 6) | (b & 0x3F);
        ++i;
        low = 0x80;
        high = 0xBF;
    }
    return c;
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t c)
{
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

uint8_t CodePointToCp1251(char32_t c)
{
    return c < 0x10000 ? Utf16ToCp1251(static_cast<char16_t>(c)) : '?';
}

} // namespace

char16_t Cp1251ToUtf16(uint8_t byte)
{
    return byte < 0x80 ? byte : kHighHalf[byte - 0x80];
}

uint8_t Utf16ToCp1251(char16_t unit)
{
    if (unit < 0x80)
        return static_cast<uint8_t>(unit);
    if (unit >= 0x0410 && unit <= 0x044F) // the Cyrillic letters, most of any Russian text
        return static_cast<uint8_t>(unit - 0x0410 + 0xC0);
    for (int k = 0; k < 0x40; ++k)
        if (kHighHalf[k] == unit)
            return static_cast<uint8_t>(0x80 + k);
    return '?';
}

std::u16string AnsiToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (char c : text)
        out += Cp1251ToUtf16(static_cast<uint8_t>(c));
    return out;
}

std::string Utf16ToAnsi(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();)
        out += static_cast<char>(CodePointToCp1251(NextFromUtf16(text, i)));
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();)
        AppendUtf8(out, NextFromUtf16(text, i));
    return out;
}

std::u16string Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();)
        AppendUtf16(out, NextFromUtf8(text, i));
    return out;
}

std::string AnsiToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        AppendUtf8(out, Cp1251ToUtf16(static_cast<uint8_t>(c)));
    return out;
}

std::string Utf8ToAnsi(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();)
        out += static_cast<char>(CodePointToCp1251(NextFromUtf8(text, i)));
    return out;
}

} // namespace platform
