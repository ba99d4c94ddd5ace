#include "foundation/cfg/cfg_node.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "foundation/text/decimal_number.h"

int32_t CfgErrorCode = 0;
int32_t CfgLineNumber = 0;

namespace {

constexpr const char* kErrorTexts[] = {
    "No errors",
    "Can't open cfg file",
    "Empty cfg file",
    "Not enough memory for reading cfg file",
    "Can't read file",
    "No name of parameter or object",
    "Not close bracket } for object",
    "Not close bracket ] for array",
    "No value after name",
    "Wrong name of parameter or object in Get",
    "Conversion error in GetI or GetF",
    "Wrong format of the cfg file",
    "Not close \" for string \"..\"",
    "Not close ' for string '..'",
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "0x" + hexadecimal (as a "%x" scan reads it, wrapping to 32 bits), else an optional sign
// and decimal digits up to the first other byte.
int32_t TextToInt(const char* text)
{
    if (text[0] == '0' && text[1] == 'x') {
        // A sign after the prefix is not part of a hexadecimal number.
        if (text[2] == '+' || text[2] == '-')
            return 0;
        return StrToIntHex(text + 2);
    }
    return StrToInt(text);
}

bool PassesIntTest(const char* t)
{
    return IsDigit(t[0]) || (t[0] != 0 && std::strchr("+-oO", t[0]) != nullptr);
}

bool PassesFloatTest(const char* t)
{
    return IsDigit(t[0]) || (t[0] != 0 && std::strchr("+-.", t[0]) != nullptr);
}

uint32_t TickCount()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

const char* CfgErrorText(int32_t code)
{
    if (code < 0 || code >= static_cast<int32_t>(std::size(kErrorTexts)))
        return "";
    return kErrorTexts[code];
}

bool CfgAssignText(GString& target, std::string_view text)
{
    if (text.size() >= UINT32_MAX) {
        target.Clear();
        return false;
    }
    const uint32_t n = static_cast<uint32_t>(text.size());
    if (!target.Allocate(n + 1)) {
        target.Clear();
        return false;
    }
    if (n)
        std::memcpy(target.GetData(), text.data(), n);
    return true;
}

bool GCfgValue::Set(std::string_view text) { return CfgAssignText(m_text, text); }

GCfgNode::GCfgNode() : m_seed(TickCount()) {}

void GCfgNode::Clear()
{
    m_values.clear();
    m_objects.clear();
}

bool GCfgNode::operator==(const GCfgNode& other) const
{
    if (m_values.size() != other.m_values.size() || m_objects.size() != other.m_objects.size())
        return false;
    for (auto a = m_values.begin(), b = other.m_values.begin(); a != m_values.end(); ++a, ++b) {
        if (CfgView(a->first) != CfgView(b->first) || a->second != b->second)
            return false;
    }
    for (auto a = m_objects.begin(), b = other.m_objects.begin(); a != m_objects.end(); ++a, ++b) {
        if (CfgView(a->first) != CfgView(b->first) || a->second != b->second)
            return false;
    }
    return true;
}

// ---- Lookup ----

const GCfgNode* GCfgNode::WalkPath(std::string_view path, std::string_view& last) const
{
    const GCfgNode* node = this;
    for (size_t dot = path.find('.'); dot != std::string_view::npos; dot = path.find('.')) {
        const GCfgNodeList* children = node->FindObjectList(path.substr(0, dot));
        if (!children || children->empty())
            return nullptr;
        node = &children->front();
        path.remove_prefix(dot + 1);
    }
    last = path;
    return node;
}

const GCfgValueEntry* GCfgNode::FindValue(std::string_view path) const
{
    std::string_view name;
    const GCfgNode* node = WalkPath(path, name);
    if (!node)
        return nullptr;
    const auto it = node->m_values.find(name);
    return it == node->m_values.end() ? nullptr : &*it;
}

GCfgValueEntry* GCfgNode::FindValue(std::string_view path)
{
    return const_cast<GCfgValueEntry*>(std::as_const(*this).FindValue(path));
}

const GCfgObjectEntry* GCfgNode::FindObject(std::string_view path) const
{
    std::string_view name;
    const GCfgNode* node = WalkPath(path, name);
    if (!node)
        return nullptr;
    const auto it = node->m_objects.find(name);
    return it == node->m_objects.end() ? nullptr : &*it;
}

GCfgObjectEntry* GCfgNode::FindObject(std::string_view path)
{
    return const_cast<GCfgObjectEntry*>(std::as_const(*this).FindObject(path));
}

bool GCfgNode::HasValue(std::string_view path) const { return FindValue(path) != nullptr; }
bool GCfgNode::HasObject(std::string_view path) const { return FindObject(path) != nullptr; }

const GCfgValueList* GCfgNode::FindValueList(std::string_view name) const
{
    const auto it = m_values.find(name);
    return it == m_values.end() ? nullptr : &it->second;
}

GCfgValueList* GCfgNode::FindValueList(std::string_view name)
{
    const auto it = m_values.find(name);
    return it == m_values.end() ? nullptr : &it->second;
}

const GCfgNodeList* GCfgNode::FindObjectList(std::string_view name) const
{
    const auto it = m_objects.find(name);
    return it == m_objects.end() ? nullptr : &it->second;
}

GCfgNodeList* GCfgNode::FindObjectList(std::string_view name)
{
    const auto it = m_objects.find(name);
    return it == m_objects.end() ? nullptr : &it->second;
}

// ---- Typed getters ----

const char* GCfgNode::Get(std::string_view path, const char* defaultText) const
{
    const GCfgValueEntry* entry = FindValue(path);
    if (!entry || entry->second.empty()) {
        CfgErrorCode = kCfgWrongName;
        return defaultText;
    }
    return entry->second.front().c_str();
}

int32_t GCfgNode::GetI(std::string_view path, int32_t defaultValue) const
{
    CfgErrorCode = kCfgOk;
    const char* text = Get(path, "");
    if (!PassesIntTest(text)) {
        CfgErrorCode = kCfgConversion;
        return defaultValue;
    }
    return TextToInt(text);
}

float GCfgNode::GetF(std::string_view path, float defaultValue) const
{
    CfgErrorCode = kCfgOk;
    const char* text = Get(path, "");
    if (!PassesFloatTest(text)) {
        CfgErrorCode = kCfgConversion;
        return defaultValue;
    }
    return static_cast<float>(text::DecimalToDouble(text));
}

int32_t GCfgNode::GetValueList(std::string_view path, GStringArray& out) const
{
    out.Clear();
    const GCfgValueEntry* entry = FindValue(path);
    if (!entry) {
        CfgErrorCode = kCfgWrongName;
        return kCfgWrongName;
    }
    for (const GCfgValue& value : entry->second) {
        GString text;
        CfgAssignText(text, value.View());
        out.Add(text);
    }
    return kCfgOk;
}

namespace {

// The number-list getters: every value converted in order; a value that does not pass its
// test is still converted and marks the result as a conversion error.
template <typename Array, typename Convert>
int32_t ConvertValues(const GCfgValueEntry* entry, Array& out, Convert convert)
{
    out.Clear();
    CfgErrorCode = kCfgOk;
    if (!entry) {
        CfgErrorCode = kCfgWrongName;
        return CfgErrorCode;
    }
    for (const GCfgValue& value : entry->second) {
        bool converted = true;
        out.PushBack(convert(value.c_str(), converted));
        if (!converted)
            CfgErrorCode = kCfgConversion;
    }
    return CfgErrorCode;
}

} // namespace

int32_t GCfgNode::GetIList(std::string_view path, GIntArray& out) const
{
    return ConvertValues(FindValue(path), out, [](const char* text, bool& converted) -> intptr_t {
        converted = PassesIntTest(text);
        return converted ? TextToInt(text) : StrToInt(text);
    });
}

int32_t GCfgNode::GetFList(std::string_view path, GFloatArray& out) const
{
    return ConvertValues(FindValue(path), out, [](const char* text, bool& converted) {
        converted = PassesFloatTest(text);
        return static_cast<float>(text::DecimalToDouble(text));
    });
}

// ---- Building ----

GCfgValueList& GCfgNode::ValueListFor(std::string_view name)
{
    auto it = m_values.lower_bound(name);
    if (it == m_values.end() || CfgView(it->first) != name) {
        GString key;
        CfgAssignText(key, name);
        it = m_values.emplace_hint(it, std::move(key), GCfgValueList());
    }
    return it->second;
}

GCfgNodeList& GCfgNode::ObjectListFor(std::string_view name)
{
    auto it = m_objects.lower_bound(name);
    if (it == m_objects.end() || CfgView(it->first) != name) {
        GString key;
        CfgAssignText(key, name);
        it = m_objects.emplace_hint(it, std::move(key), GCfgNodeList());
    }
    return it->second;
}

void GCfgNode::AddValue(std::string_view name, std::string_view text)
{
    ValueListFor(name).emplace_back(text);
}

GCfgValue& GCfgNode::GetOrAddValue(std::string_view name)
{
    GCfgValueList& list = ValueListFor(name);
    if (list.empty())
        list.emplace_back();
    return list.front();
}

GCfgNode& GCfgNode::AddObject(std::string_view name, const GCfgNode& node)
{
    // Copy first: node may be a child of this very list, which the append can move.
    GCfgNode copy(node);
    return ObjectListFor(name).emplace_back(std::move(copy));
}

GCfgNode& GCfgNode::AddObject(std::string_view name, GCfgNode&& node)
{
    GCfgNode moved(std::move(node));
    return ObjectListFor(name).emplace_back(std::move(moved));
}

void GCfgNode::RemoveValue(std::string_view name)
{
    const auto it = m_values.find(name);
    if (it != m_values.end())
        m_values.erase(it);
}

void GCfgNode::SortValues()
{
    for (auto& entry : m_values)
        std::sort(entry.second.begin(), entry.second.end());
}

// ---- Sizes ----

uint64_t GCfgNode::TextLength() const
{
    uint64_t total = 0;
    for (const auto& entry : m_values) {
        total += entry.first.GetLength();
        for (const GCfgValue& value : entry.second)
            total += value.GetLength();
    }
    for (const auto& entry : m_objects) {
        total += entry.first.GetLength();
        for (const GCfgNode& child : entry.second)
            total += child.TextLength();
    }
    return total;
}

uint64_t GCfgNode::MemorySize() const
{
    uint64_t total = 12;
    for (const auto& entry : m_values) {
        total += 44 + entry.first.GetLength() + 28 * uint64_t(entry.second.capacity());
        for (const GCfgValue& value : entry.second)
            total += value.GetLength();
    }
    total += 12;
    for (const auto& entry : m_objects) {
        total += 44 + entry.first.GetLength() + 28 * uint64_t(entry.second.capacity());
        for (const GCfgNode& child : entry.second)
            total += 28 + child.TextLength();
    }
    return total;
}
