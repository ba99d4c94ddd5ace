#pragma once
// Text helpers shared by the data-document back ends: whole-file reading with optional
// unscrambling, line walking over bytes that carry no terminator, and the number readings and
// printings the documents use. Numbers always use the C locale. Stateless.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class GWString;

namespace datadoc {

// GWString from UTF-16 units (zero units included), and the Windows-1251 form of a GWString
// (units 1251 cannot express become '?').
GWString MakeWString(std::u16string_view units);
std::string NarrowOf(const GWString& text);

// Windows-1251 or UTF-8 bytes to UTF-16 (malformed UTF-8 becomes U+FFFD).
std::u16string DecodeLine(std::string_view bytes, bool utf8);
// White space at both ends removed, by WCharIsSpace (as GWString::Trim does).
std::u16string_view TrimWide(std::u16string_view text);
// ASCII units kept, every other unit made byte 1, for number readers that only look at
// ASCII.
std::string AsciiOf(std::u16string_view text);

// The whole file, unscrambled from key when key is not 0. False (out emptied) when the file
// cannot be opened or read, or is empty.
bool ReadFileBytes(const char* fileName, uint8_t key, std::vector<uint8_t>& out);

// Length of a UTF-8 byte-order mark at the start of the bytes (3), else 0.
size_t Utf8BomLength(const uint8_t* bytes, size_t size);

// Calls line(std::string_view) for every line of the bytes. Only carriage return and line
// feed end a line (any run of them); every other byte, a tab or a zero included, belongs to
// its line. The last line needs no line end.
template <typename OnLine>
void ForEachLine(const uint8_t* bytes, size_t size, OnLine&& line)
{
    size_t start = 0;
    for (size_t i = 0; i <= size; ++i) {
        if (i == size || bytes[i] == '\r' || bytes[i] == '\n') {
            if (i > start)
                line(std::string_view(reinterpret_cast<const char*>(bytes) + start, i - start));
            start = i + 1;
        }
    }
}

// A double narrowed to float; values beyond the float range become infinities (not
// undefined behaviour).
float NarrowToFloat(double value);

// Decimal reading: optional sign, then digits up to the first other byte; none gives 0.
// Wraps modulo 2^32.
int32_t ReadDecimal(std::string_view text);
// "0x" followed by hexadecimal digits (wrapping modulo 2^32), else ReadDecimal.
int32_t ReadHexOrDecimal(std::string_view text);
// The decimal text-to-double reading of text::DecimalToDouble (no hexadecimal form).
double ReadDouble(std::string_view text);

// A "%d" scan: leading white space, optional sign, at least one digit; else false and value
// unchanged.
bool ScanInt(std::string_view text, int32_t& value);
// A "%f" scan: leading white space, then a decimal number as text::ReadDecimalDouble reads
// it; else false and value unchanged.
bool ScanFloat(std::string_view text, float& value);

// "%d" and "%f" texts.
std::string PrintInt(int64_t value);
std::string PrintFloat(double value);

} // namespace datadoc
