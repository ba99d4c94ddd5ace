#pragma once
// The one reading of floating-point text that every settings and document reader shares:
// decimal only, in the C locale whatever the process locale is. Stateless.

#include <cstddef>
#include <string_view>

namespace text {

// Skips leading white space (space, tab to carriage return), then reads an optional sign and
// a decimal number with an optional point and exponent, or "inf", "infinity" or "nan" in any
// case. There is no hexadecimal form: "0x10" reads its "0" and stops at the 'x'. A magnitude
// beyond the double range gives an infinity, one below it 0. Returns the bytes read, white
// space included, or 0 with value 0 when no number begins the text.
size_t ReadDecimalDouble(std::string_view text, double& value);

// The value alone, as atof gives it.
inline double DecimalToDouble(std::string_view text)
{
    double value = 0.0;
    ReadDecimalDouble(text, value);
    return value;
}

} // namespace text
