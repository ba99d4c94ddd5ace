#include "foundation/text/decimal_number.h"

#include <charconv>
#include <cstdint>
#include <limits>

namespace text {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool IsBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// When from_chars reports a value out of range it does not say which way. The position of
// the leading significant digit plus the exponent tells overflow (> 0) from underflow.
bool MagnitudeOverflows(std::string_view number)
{
    size_t i = 0;
    const size_t n = number.size();
    auto isExponent = [&] { return number[i] == 'e' || number[i] == 'E'; };
    while (i < n && number[i] == '0')
        ++i;
    int64_t estimate = 0;
    while (i < n && IsDigit(number[i])) {
        ++estimate;
        ++i;
    }
    if (estimate == 0) {
        if (i < n && number[i] == '.')
            ++i;
        while (i < n && number[i] == '0') {
            --estimate;
            ++i;
        }
    }
    while (i < n && !isExponent())
        ++i;
    if (i < n) {
        ++i;
        bool negative = false;
        if (i < n && (number[i] == '+' || number[i] == '-'))
            negative = number[i++] == '-';
        int64_t exponent = 0;
        for (; i < n && IsDigit(number[i]); ++i) {
            if (exponent < 100000000)
                exponent = exponent * 10 + (number[i] - '0');
        }
        estimate += negative ? -exponent : exponent;
    }
    return estimate > 0;
}

} // namespace

size_t ReadDecimalDouble(std::string_view text, double& value)
{
    value = 0.0;
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // from_chars would take a second sign; the C reading does not.
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        return 0;
    const char* begin = text.data() + i;
    const char* end = text.data() + text.size();
    double read = 0.0;
    const std::from_chars_result r = std::from_chars(begin, end, read, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range)
        read = MagnitudeOverflows(std::string_view(begin, static_cast<size_t>(r.ptr - begin)))
                   ? std::numeric_limits<double>::infinity()
                   : 0.0;
    else if (r.ec != std::errc())
        return 0;
    value = negative ? -read : read;
    return static_cast<size_t>(r.ptr - text.data());
}

} // namespace text
