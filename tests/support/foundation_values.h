#pragma once
// Foundation values as standard ones, so a test compares a whole list or text in one line.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "foundation/core/int_array.h"
#include "foundation/text/string_array.h"
#include "foundation/text/wstring.h"

namespace tolvanrise::test {

inline std::vector<intptr_t> Ints(const GIntArray& a)
{
    return a.GetCount() ? std::vector<intptr_t>(a.GetData(), a.GetData() + a.GetCount()) : std::vector<intptr_t>{};
}

inline std::vector<float> Floats(const GFloatArray& a)
{
    return a.GetCount() ? std::vector<float>(a.GetData(), a.GetData() + a.GetCount()) : std::vector<float>{};
}

inline GIntArray IntArray(std::initializer_list<intptr_t> values)
{
    GIntArray a;
    for (intptr_t v : values)
        a.PushBack(v);
    return a;
}

inline GFloatArray FloatArray(std::initializer_list<float> values)
{
    GFloatArray a;
    for (float v : values)
        a.PushBack(v);
    return a;
}

inline std::vector<std::string> StringList(const GStringArray& a)
{
    std::vector<std::string> out;
    for (uint32_t i = 0; i < a.GetCount(); ++i)
        out.emplace_back(a[i].c_str());
    return out;
}

// The text in the narrow code page, and as UTF-16.
inline std::string Narrow(const GWString& s)
{
    return s.GetNarrow();
}

inline std::u16string Wide(const GWString& s)
{
    return std::u16string(s.View());
}

} // namespace tolvanrise::test
