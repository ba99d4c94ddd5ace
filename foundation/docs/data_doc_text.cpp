#include "foundation/docs/data_doc_text.h"

#include <cfloat>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>

#include "foundation/text/decimal_number.h"
#include "foundation/text/text_functions.h"
#include "foundation/text/wstring.h"
#include "foundation/files/xor_scramble.h"
#include "platform/text/code_page.h"
#include "platform/files/file_system.h"

namespace datadoc {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

} // namespace

GWString MakeWString(std::u16string_view units)
{
    return GWString(units);
}

std::string NarrowOf(const GWString& text)
{
    return platform::Utf16ToAnsi(text.View());
}

std::u16string DecodeLine(std::string_view bytes, bool utf8)
{
    return utf8 ? platform::Utf8ToUtf16(bytes) : platform::AnsiToUtf16(bytes);
}

std::u16string_view TrimWide(std::u16string_view text)
{
    auto blank = [](char16_t c) { return WCharIsSpace(c) != 0; };
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

std::string AsciiOf(std::u16string_view text)
{
    std::string out(text.size(), '\x01');
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] < 0x80)
            out[i] = static_cast<char>(text[i]);
    }
    return out;
}

bool ReadFileBytes(const char* fileName, uint8_t key, std::vector<uint8_t>& out)
{
    out.clear();
    if (!fileName || !*fileName)
        return false;
    platform::FilePtr file(platform::OpenFile(fileName, "rb"));
    if (!file)
        return false;
    const int64_t size = platform::GetFileSize(file.get());
    // Documents are small; anything past 32-bit sizes is treated as unreadable.
    if (size <= 0 || static_cast<uint64_t>(size) > UINT32_MAX)
        return false;
    out.resize(static_cast<size_t>(size));
    if (std::fread(out.data(), 1, out.size(), file.get()) != out.size()) {
        out.clear();
        return false;
    }
    if (key != 0)
        XorScramble(out.data(), nullptr, static_cast<uint32_t>(out.size()), key);
    return true;
}

size_t Utf8BomLength(const uint8_t* bytes, size_t size)
{
    return size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
}

float NarrowToFloat(double value)
{
    if (std::isnan(value))
        return std::numeric_limits<float>::quiet_NaN();
    if (value > FLT_MAX)
        return std::numeric_limits<float>::infinity();
    if (value < -FLT_MAX)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

int32_t ReadDecimal(std::string_view text)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    return static_cast<int32_t>(negative ? 0u - value : value);
}

int32_t ReadHexOrDecimal(std::string_view text)
{
    if (text.size() < 2 || text[0] != '0' || text[1] != 'x')
        return ReadDecimal(text);
    uint32_t value = 0;
    for (size_t i = 2; i < text.size(); ++i) {
        const int digit = text::HexDigit(text[i]);
        if (digit < 0)
            break;
        value = value * 16u + static_cast<uint32_t>(digit);
    }
    return static_cast<int32_t>(value);
}

double ReadDouble(std::string_view text) { return text::DecimalToDouble(text); }

bool ScanInt(std::string_view text, int32_t& value)
{
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    size_t digits = i;
    if (digits < text.size() && (text[digits] == '+' || text[digits] == '-'))
        ++digits;
    if (digits >= text.size() || text[digits] < '0' || text[digits] > '9')
        return false;
    value = ReadDecimal(text.substr(i));
    return true;
}

bool ScanFloat(std::string_view text, float& value)
{
    double read = 0.0;
    if (text::ReadDecimalDouble(text, read) == 0)
        return false;
    value = NarrowToFloat(read);
    return true;
}

std::string PrintInt(int64_t value)
{
    char text[24];
    std::snprintf(text, sizeof(text), "%" PRId64, value);
    return text;
}

std::string PrintFloat(double value)
{
    // "%f" of the largest double is about 320 characters.
    char text[400];
    std::snprintf(text, sizeof(text), "%f", value);
    return text;
}

} // namespace datadoc
