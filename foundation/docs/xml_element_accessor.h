#pragma once
// GXmlElementAccessor: reads and writes one XML element of a GXmlDataDoc tree directly, for
// code that walks the XML library's elements itself. It holds one element (Attach); every
// operation also takes an optional element that stands in for the held one for that call.
// Without either, reads give the caller's default (lists: 0 values) and writes return 0.
//
// Attributes read as integers and doubles through the XML library's own queries (the default
// when the query fails), and as narrow text. An element's text is its first child when that
// is a text node; it reads as a decimal integer (optional sign, digits up to the first other
// character), a decimal double (C locale) or narrow text. Lists are cut at any character of
// the separator text (runs count as one) into the caller's array, never past its capacity.
// Lists are written as "%ld%s" / "%f%s" for each value but the last, "%ld" / "%f" for it.
//
// Observes the element, which lives as long as its document. Main thread only.

#include <cstdint>

class GXmlDataDoc;
class TiXmlElement;

class GXmlElementAccessor {
public:
    GXmlElementAccessor() = default;
    explicit GXmlElementAccessor(TiXmlElement* element) : m_element(element) {}

    void Attach(TiXmlElement* element) { m_element = element; }
    // The element a node document stands for (none for a root or an attribute node).
    void Attach(const GXmlDataDoc& node);
    TiXmlElement* GetElement() const { return m_element; }

    int32_t GetAttributeInt(const char* name, int32_t defaultValue,
                            TiXmlElement* element = nullptr) const;
    double GetAttributeDouble(const char* name, double defaultValue,
                              TiXmlElement* element = nullptr) const;
    // The attribute's text as stored (narrow), or the default.
    const char* GetAttributeString(const char* name, const char* defaultValue,
                                   TiXmlElement* element = nullptr) const;
    int32_t GetTextInt(int32_t defaultValue, TiXmlElement* element = nullptr) const;
    double GetTextDouble(double defaultValue, TiXmlElement* element = nullptr) const;
    const char* GetText(const char* defaultValue, TiXmlElement* element = nullptr) const;

    // Values read into out (at most capacity); the number stored.
    int32_t GetAttributeIntList(const char* name, int32_t* out, int32_t capacity,
                                const char* separators, TiXmlElement* element = nullptr) const;
    int32_t GetAttributeDoubleList(const char* name, double* out, int32_t capacity,
                                   const char* separators, TiXmlElement* element = nullptr) const;
    int32_t GetTextIntList(int32_t* out, int32_t capacity, const char* separators,
                           TiXmlElement* element = nullptr) const;
    int32_t GetTextDoubleList(double* out, int32_t capacity, const char* separators,
                              TiXmlElement* element = nullptr) const;

    // 1, or 0 without an element or a name.
    int SetAttributeInt(const char* name, int32_t value, TiXmlElement* element = nullptr) const;
    int SetAttributeDouble(const char* name, double value, TiXmlElement* element = nullptr) const;
    int SetAttributeString(const char* name, const char* value,
                           TiXmlElement* element = nullptr) const;
    int SetTextInt(int32_t value, TiXmlElement* element = nullptr) const;
    int SetTextDouble(double value, TiXmlElement* element = nullptr) const;
    int SetText(const char* value, TiXmlElement* element = nullptr) const;
    int SetAttributeIntList(const char* name, const int32_t* values, int32_t count,
                            const char* separator, TiXmlElement* element = nullptr) const;
    int SetAttributeDoubleList(const char* name, const double* values, int32_t count,
                               const char* separator, TiXmlElement* element = nullptr) const;
    int SetTextIntList(const int32_t* values, int32_t count, const char* separator,
                       TiXmlElement* element = nullptr) const;
    int SetTextDoubleList(const double* values, int32_t count, const char* separator,
                          TiXmlElement* element = nullptr) const;

private:
    TiXmlElement* Pick(TiXmlElement* element) const { return element ? element : m_element; }

    TiXmlElement* m_element = nullptr;
};
