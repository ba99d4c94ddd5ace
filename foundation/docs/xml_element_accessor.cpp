#include "foundation/docs/xml_element_accessor.h"

#include <tinyxml.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <string_view>

#include "foundation/docs/xml_data_doc.h"
#include "foundation/text/decimal_number.h"

namespace {

// Optional sign, then decimal digits up to the first other character; saturates.
int32_t ReadDecimalInt(std::string_view text, int32_t defaultValue)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    if (i >= text.size() || text[i] < '0' || text[i] > '9')
        return defaultValue;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t(INT32_MAX) + 1);
    value = negative ? -value : value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// Calls take(token) for each token of text cut at any separator character, at most capacity.
template <class Take>
int32_t ForEachToken(const char* text, const char* separators, int32_t capacity, Take take)
{
    if (!text || capacity <= 0)
        return 0;
    const std::string_view all(text);
    const std::string_view cuts(separators ? separators : "");
    int32_t count = 0;
    size_t at = 0;
    while (count < capacity) {
        at = all.find_first_not_of(cuts, at);
        if (at == std::string_view::npos)
            break;
        const size_t end = all.find_first_of(cuts, at);
        take(count++,
             all.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
        if (end == std::string_view::npos)
            break;
        at = end;
    }
    return count;
}

// The value is printed as the format's type: long for "%ld", double for "%f".
template <class Printed, class Value>
std::string JoinList(const Value* values, int32_t count, const char* separator, const char* format)
{
    std::string text;
    char number[512];
    for (int32_t i = 0; values && i < count; ++i) {
        std::snprintf(number, sizeof number, format, static_cast<Printed>(values[i]));
        text += number;
        if (i + 1 < count && separator)
            text += separator;
    }
    return text;
}

int PutText(TiXmlElement* element, const std::string& text)
{
    if (!element)
        return 0;
    if (TiXmlNode* first = element->FirstChild(); first && first->ToText()) {
        first->SetValue(text.c_str());
        return 1;
    }
    TiXmlText node(text.c_str());
    if (TiXmlNode* first = element->FirstChild())
        element->InsertBeforeChild(first, node);
    else
        element->InsertEndChild(node);
    return 1;
}

// The element's attribute read by query, or fallback without an element, a name, or an
// attribute query can read.
template <class T>
T QueryOr(const TiXmlElement* e, const char* name, T fallback,
          int (TiXmlElement::*query)(const char*, T*) const)
{
    T value = 0;
    if (!e || !name || (e->*query)(name, &value) != TIXML_SUCCESS)
        return fallback;
    return value;
}

} // namespace

void GXmlElementAccessor::Attach(const GXmlDataDoc& node)
{
    m_element = node.m_attribute ? nullptr : static_cast<TiXmlElement*>(node.m_element);
}

int32_t GXmlElementAccessor::GetAttributeInt(const char* name, int32_t defaultValue,
                                             TiXmlElement* element) const
{
    return QueryOr<int>(Pick(element), name, defaultValue, &TiXmlElement::QueryIntAttribute);
}

double GXmlElementAccessor::GetAttributeDouble(const char* name, double defaultValue,
                                               TiXmlElement* element) const
{
    return QueryOr<double>(Pick(element), name, defaultValue, &TiXmlElement::QueryDoubleAttribute);
}

const char* GXmlElementAccessor::GetAttributeString(const char* name, const char* defaultValue,
                                                    TiXmlElement* element) const
{
    TiXmlElement* e = Pick(element);
    const char* value = e && name ? e->Attribute(name) : nullptr;
    return value ? value : defaultValue;
}

int32_t GXmlElementAccessor::GetTextInt(int32_t defaultValue, TiXmlElement* element) const
{
    TiXmlElement* e = Pick(element);
    const char* text = e ? e->GetText() : nullptr;
    return text ? ReadDecimalInt(text, defaultValue) : defaultValue;
}

double GXmlElementAccessor::GetTextDouble(double defaultValue, TiXmlElement* element) const
{
    TiXmlElement* e = Pick(element);
    const char* text = e ? e->GetText() : nullptr;
    double value = 0;
    return text && text::ReadDecimalDouble(text, value) ? value : defaultValue;
}

const char* GXmlElementAccessor::GetText(const char* defaultValue, TiXmlElement* element) const
{
    TiXmlElement* e = Pick(element);
    const char* text = e ? e->GetText() : nullptr;
    return text ? text : defaultValue;
}

int32_t GXmlElementAccessor::GetAttributeIntList(const char* name, int32_t* out, int32_t capacity,
                                                 const char* separators,
                                                 TiXmlElement* element) const
{
    return ForEachToken(
        GetAttributeString(name, nullptr, element), separators, out ? capacity : 0,
        [&](int32_t i, std::string_view token) { out[i] = ReadDecimalInt(token, 0); });
}

int32_t GXmlElementAccessor::GetAttributeDoubleList(const char* name, double* out, int32_t capacity,
                                                    const char* separators,
                                                    TiXmlElement* element) const
{
    return ForEachToken(
        GetAttributeString(name, nullptr, element), separators, out ? capacity : 0,
        [&](int32_t i, std::string_view token) { out[i] = text::DecimalToDouble(token); });
}

int32_t GXmlElementAccessor::GetTextIntList(int32_t* out, int32_t capacity, const char* separators,
                                            TiXmlElement* element) const
{
    return ForEachToken(
        GetText(nullptr, element), separators, out ? capacity : 0,
        [&](int32_t i, std::string_view token) { out[i] = ReadDecimalInt(token, 0); });
}

int32_t GXmlElementAccessor::GetTextDoubleList(double* out, int32_t capacity,
                                               const char* separators, TiXmlElement* element) const
{
    return ForEachToken(
        GetText(nullptr, element), separators, out ? capacity : 0,
        [&](int32_t i, std::string_view token) { out[i] = text::DecimalToDouble(token); });
}

int GXmlElementAccessor::SetAttributeInt(const char* name, int32_t value,
                                         TiXmlElement* element) const
{
    TiXmlElement* e = Pick(element);
    if (!e || !name)
        return 0;
    e->SetAttribute(name, value);
    return 1;
}

int GXmlElementAccessor::SetAttributeDouble(const char* name, double value,
                                            TiXmlElement* element) const
{
    TiXmlElement* e = Pick(element);
    if (!e || !name)
        return 0;
    e->SetDoubleAttribute(name, value);
    return 1;
}

int GXmlElementAccessor::SetAttributeString(const char* name, const char* value,
                                            TiXmlElement* element) const
{
    TiXmlElement* e = Pick(element);
    if (!e || !name)
        return 0;
    e->SetAttribute(name, value ? value : "");
    return 1;
}

int GXmlElementAccessor::SetTextInt(int32_t value, TiXmlElement* element) const
{
    return PutText(Pick(element), JoinList<long>(&value, 1, nullptr, "%ld"));
}

int GXmlElementAccessor::SetTextDouble(double value, TiXmlElement* element) const
{
    return PutText(Pick(element), JoinList<double>(&value, 1, nullptr, "%f"));
}

int GXmlElementAccessor::SetText(const char* value, TiXmlElement* element) const
{
    return PutText(Pick(element), value ? value : "");
}

int GXmlElementAccessor::SetAttributeIntList(const char* name, const int32_t* values, int32_t count,
                                             const char* separator, TiXmlElement* element) const
{
    return SetAttributeString(name, JoinList<long>(values, count, separator, "%ld").c_str(),
                              element);
}

int GXmlElementAccessor::SetAttributeDoubleList(const char* name, const double* values,
                                                int32_t count, const char* separator,
                                                TiXmlElement* element) const
{
    return SetAttributeString(name, JoinList<double>(values, count, separator, "%f").c_str(),
                              element);
}

int GXmlElementAccessor::SetTextIntList(const int32_t* values, int32_t count, const char* separator,
                                        TiXmlElement* element) const
{
    return PutText(Pick(element), JoinList<long>(values, count, separator, "%ld"));
}

int GXmlElementAccessor::SetTextDoubleList(const double* values, int32_t count,
                                           const char* separator, TiXmlElement* element) const
{
    return PutText(Pick(element), JoinList<double>(values, count, separator, "%f"));
}
