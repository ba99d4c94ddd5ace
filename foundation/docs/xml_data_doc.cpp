#include "foundation/docs/xml_data_doc.h"

#include <tinyxml.h>

#include <charconv>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "foundation/docs/data_doc_text.h"
#include "foundation/files/data_files.h"
#include "foundation/text/wstring.h"
#include "foundation/docs/xml_nesting.h"
#include "foundation/files/xor_scramble.h"
#include "platform/files/file_system.h"

// Every element and attribute that has been asked for has one node document, kept in the
// root's map until the root reloads or dies. Removing an element takes the node documents of
// its whole subtree out of the map and parks them, emptied, in the retired list: callers may
// still hold them, and the library may reuse the freed addresses for new nodes.
struct GXmlDataDoc::Tree {
    std::unique_ptr<TiXmlDocument> document;
    bool byteOrderMark = false;
    GXmlDataDoc* root = nullptr;
    std::unordered_map<const void*, std::unique_ptr<GXmlDataDoc>> views;
    std::vector<std::unique_ptr<GXmlDataDoc>> retired;
};

namespace {

// The library stops at the first zero byte but may step up to three bytes past it inside a
// UTF-8 sequence; the parse buffer carries this many zero bytes after the text.
constexpr size_t kParsePadding = 8;

const char* const kDebugDumpName = "debug.txt";

TiXmlElement* AsElement(void* p)
{
    return static_cast<TiXmlElement*>(p);
}

TiXmlAttribute* AsAttribute(void* p)
{
    return static_cast<TiXmlAttribute*>(p);
}

bool IsXmlSpace(unsigned char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Names the library reads back as they were written: a letter (any byte from 127 up counts
// as one) or '_', then letters, digits, '_', '-', '.', ':'. A leading byte-order-mark
// sequence would be skipped as white space when read back.
bool IsReadableName(const char* name)
{
    if (!name || !*name)
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(name);
    if (p[0] == 0xEF && ((p[1] == 0xBB && p[2] == 0xBF) || (p[1] == 0xBF && (p[2] == 0xBE || p[2] == 0xBF))))
        return false;
    auto letter = [](unsigned char c) { return c >= 127 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!letter(p[0]) && p[0] != '_')
        return false;
    for (; *p; ++p) {
        const unsigned char c = *p;
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '_' && c != '-' && c != '.' && c != ':')
            return false;
    }
    return true;
}

bool HasByteOrderMark(std::string_view text)
{
    return text.substr(0, 3) == "\xEF\xBB\xBF";
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(text[i]) != lower(prefix[i]))
            return false;
    }
    return true;
}

std::string_view SkipXmlSpace(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && IsXmlSpace(static_cast<unsigned char>(text[i])))
        ++i;
    return text.substr(i);
}

// Whether the library, left to detect the encoding as its own file load does, would read the
// text in its legacy 8-bit mode: no byte-order mark, and the first declaration (comments may
// come before it) names an encoding other than "UTF-8" or "UTF8" in any case. Such a text
// parsed in UTF-8 mode would lose the quote or bracket after any byte from 0xC0 up. A text
// with no declaration, or one without an encoding, stays UTF-8, the form this engine writes.
bool DeclaresLegacyEncoding(std::string_view text)
{
    if (HasByteOrderMark(text))
        return false;
    for (;;) {
        text = SkipXmlSpace(text);
        if (!text.starts_with("<!--"))
            break;
        const size_t end = text.find("-->", 4);
        if (end == std::string_view::npos)
            return false;
        text.remove_prefix(end + 3);
    }
    if (!StartsWithNoCase(text, "<?xml") || text.size() < 6 ||
        !(IsXmlSpace(static_cast<unsigned char>(text[5])) || text[5] == '?'))
        return false;
    text = text.substr(0, text.find("?>"));
    for (size_t at = text.find_first_of("eE"); at != std::string_view::npos; at = text.find_first_of("eE", at + 1)) {
        if (!StartsWithNoCase(text.substr(at), "encoding") ||
            !IsXmlSpace(static_cast<unsigned char>(text[at - 1])))
            continue;
        std::string_view rest = SkipXmlSpace(text.substr(at + 8));
        if (rest.empty() || rest[0] != '=')
            continue;
        rest = SkipXmlSpace(rest.substr(1));
        if (rest.empty() || (rest[0] != '"' && rest[0] != '\''))
            continue;
        const size_t close = rest.find(rest[0], 1);
        const std::string_view name = rest.substr(1, close == std::string_view::npos ? rest.npos : close - 1);
        const auto utf8 = [&](std::string_view form) { return name.size() == form.size() && StartsWithNoCase(name, form); };
        return !name.empty() && !utf8("UTF-8") && !utf8("UTF8");
    }
    return false;
}

// Values read as UTF-8 that are not well-formed UTF-8 (an element text of a document in an
// 8-bit encoding, say) are taken as narrow Windows-1251 text instead of being cut into
// characters that no encoder wrote.
bool IsWellFormedUtf8(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t trail = 0;
        char32_t cp = lead;
        if (lead < 0x80) {
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            trail = 1, cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trail = 2, cp = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trail = 3, cp = lead & 0x07;
        } else {
            return false;
        }
        if (text.size() - i <= trail)
            return false;
        for (size_t k = 1; k <= trail; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        const bool overlong = (trail == 2 && cp < 0x800) || (trail == 3 && cp < 0x10000);
        if (overlong || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            return false;
        i += trail + 1;
    }
    return true;
}

GWString DecodedText(const char* text)
{
    return IsWellFormedUtf8(text) ? GWString::FromUtf8(text) : GWString(text);
}

GWString DefaultText(const char* text)
{
    return text ? GWString(text) : GWString();
}

// The text of an element: its first child when that is a text node.
const char* ElementText(const TiXmlElement* element)
{
    if (!element)
        return nullptr;
    const TiXmlNode* first = element->FirstChild();
    const TiXmlText* text = first ? first->ToText() : nullptr;
    return text ? text->Value() : nullptr;
}

void SetElementText(TiXmlElement* element, const std::string& value)
{
    TiXmlNode* first = element->FirstChild();
    if (TiXmlText* text = first ? first->ToText() : nullptr) {
        text->SetValue(value.c_str());
        // A CDATA section cannot hold its own terminator; such a text is printed escaped.
        if (text->CDATA() && value.find("]]>") != std::string::npos)
            text->SetCDATA(false);
        return;
    }
    TiXmlText text(value.c_str());
    if (first)
        element->InsertBeforeChild(first, text);
    else
        element->InsertEndChild(text);
}

std::string Utf8Of(const GWString& text)
{
    const std::unique_ptr<char[]> utf8 = text.ToUtf8();
    return utf8 ? std::string(utf8.get()) : std::string();
}

// "%x" from 0: an optional "0x", then hexadecimal digits, wrapping at 32 bits.
int32_t ReadHex(const char* text)
{
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text += 2;
    uint32_t value = 0;
    for (;; ++text) {
        const char c = *text;
        uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<uint32_t>(c - 'A' + 10);
        else
            break;
        value = value * 16u + digit;
    }
    return static_cast<int32_t>(value);
}

// Leading white space, then ReadDecimal, as the C library's atoi reads (without its overflow).
int32_t ReadInteger(const char* text)
{
    while (IsXmlSpace(static_cast<unsigned char>(*text)))
        ++text;
    return datadoc::ReadDecimal(text);
}

// The XML library's double format, "%g".
std::string PrintShortFloat(double value)
{
    char text[64];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    return r.ec == std::errc() ? std::string(text, r.ptr) : std::string("0");
}

// Cuts text at any character of separator (runs count as one, no empty tokens).
template <typename OnToken>
void ForEachToken(std::string_view text, const char* separator, OnToken&& onToken)
{
    const std::string_view cuts = separator ? separator : "";
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(cuts, start);
        if (end == std::string_view::npos)
            end = text.size();
        if (end > start)
            onToken(text.substr(start, end - start));
        start = end + 1;
    }
}

int ReadIntList(const char* text, GIntArray& out, const char* separator)
{
    if (!text || !*text)
        return 0;
    bool stored = true;
    ForEachToken(text, separator, [&](std::string_view token) {
        stored = out.PushBack(datadoc::ReadDecimal(token)) && stored;
    });
    return stored ? 1 : 0;
}

int ReadFloatList(const char* text, GFloatArray& out, const char* separator)
{
    if (!text || !*text)
        return 0;
    bool stored = true;
    ForEachToken(text, separator, [&](std::string_view token) {
        stored = out.PushBack(datadoc::NarrowToFloat(datadoc::ReadDouble(token))) && stored;
    });
    return stored ? 1 : 0;
}

std::string JoinInts(const GIntArray& values, const char* separator)
{
    std::string text;
    for (uint32_t i = 0; i < values.GetCount(); ++i) {
        if (i)
            text += separator ? separator : "";
        text += datadoc::PrintInt(values[i]);
    }
    return text;
}

std::string JoinFloats(const GFloatArray& values, const char* separator)
{
    std::string text;
    for (uint32_t i = 0; i < values.GetCount(); ++i) {
        if (i)
            text += separator ? separator : "";
        text += datadoc::PrintFloat(values[i]);
    }
    return text;
}

// Elements from element down to the top level, element included.
uint32_t DepthOf(const TiXmlNode* node)
{
    uint32_t depth = 0;
    for (; node && node->ToElement(); node = node->Parent())
        ++depth;
    return depth;
}

std::string Prefixed(const char* name)
{
    return std::string(DataFolderPrefix) + name;
}

} // namespace

// ---------------------------------------------------------------------------------------

GXmlDataDoc::GXmlDataDoc() = default;

GXmlDataDoc::GXmlDataDoc(Tree* tree, void* element, void* attribute)
    : m_tree(tree), m_element(element), m_attribute(attribute)
{
}

GXmlDataDoc::~GXmlDataDoc() = default;

GXmlDataDoc::Tree* GXmlDataDoc::EnsureTree()
{
    if (!IsRoot())
        return m_tree;
    if (!m_ownTree) {
        m_ownTree.reset(new (std::nothrow) Tree);
        if (!m_ownTree)
            return nullptr;
        m_ownTree->root = this;
        m_tree = m_ownTree.get();
    }
    return m_tree;
}

void GXmlDataDoc::Release()
{
    m_element = nullptr;
    m_attribute = nullptr;
    if (!m_ownTree)
        return;
    // Node documents first: they point into the library's tree.
    m_ownTree->views.clear();
    m_ownTree->retired.clear();
    m_ownTree->document.reset();
    m_ownTree->byteOrderMark = false;
}

bool GXmlDataDoc::IsLoaded() const
{
    return m_tree && m_tree->document;
}

uint32_t GXmlDataDoc::GetNodeDocCount() const
{
    return m_tree ? static_cast<uint32_t>(m_tree->views.size() + m_tree->retired.size()) : 0;
}

int GXmlDataDoc::Parse(const char* bytes, size_t size)
{
    // The text ends at its first zero byte; the padding after it keeps the library's UTF-8
    // stepping inside the buffer.
    size = strnlen(bytes, size);
    std::unique_ptr<char[]> text(new (std::nothrow) char[size + kParsePadding]);
    if (!text)
        return 0;
    std::memcpy(text.get(), bytes, size);
    std::memset(text.get() + size, 0, kParsePadding);
    const bool byteOrderMark = HasByteOrderMark({text.get(), size});
    const bool utf8 = !DeclaresLegacyEncoding({text.get(), size});
    if (XmlNestingDepth(text.get(), size, utf8 ? XmlStepping::kUtf8 : XmlStepping::kBytes) > kXmlMaxNesting)
        return 0;
    Tree* tree = EnsureTree();
    std::unique_ptr<TiXmlDocument> document(new (std::nothrow) TiXmlDocument);
    if (!tree || !document)
        return 0;
    document->Parse(text.get(), nullptr, utf8 ? TIXML_ENCODING_UTF8 : TIXML_ENCODING_LEGACY);
    if (document->Error())
        return 0;
    tree->document = std::move(document);
    tree->byteOrderMark = byteOrderMark;
    return 1;
}

int GXmlDataDoc::Load(const char* fileName, uint8_t key)
{
    if (!IsRoot())
        return 0;
    Release();
    if (!fileName || !*fileName)
        return 0;
    uint32_t length = 0;
    std::unique_ptr<char[]> bytes = ReadWholeFile(fileName, &length);
    if (!bytes)
        return 0;
    if (key != 0)
        XorScramble(bytes.get(), nullptr, length, key);
    return Parse(bytes.get(), length);
}

int GXmlDataDoc::LoadFromText(const GWString& text)
{
    if (!IsRoot())
        return 0;
    Release();
    // A text that declares an 8-bit encoding is parsed from its narrow form, the bytes such a
    // file would hold; any other text from its UTF-8 form.
    const std::string utf8 = Utf8Of(text);
    if (DeclaresLegacyEncoding(utf8)) {
        const char* narrow = text.GetNarrow();
        return narrow ? Parse(narrow, std::strlen(narrow)) : 0;
    }
    return Parse(utf8.c_str(), utf8.size());
}

int GXmlDataDoc::Write(const char* fileName, uint8_t key) const
{
    if (!IsRoot() || !IsLoaded() || !fileName || !*fileName)
        return 0;
    TiXmlPrinter printer;
    if (!m_tree->document->Accept(&printer) || printer.Size() == 0)
        return 0; // a tree without nodes would leave a file that cannot be loaded
    std::string text = m_tree->byteOrderMark ? std::string("\xEF\xBB\xBF") : std::string();
    text.append(printer.CStr(), printer.Size());
    // The library prints bytes as they are, but reads text in UTF-8 steps: a stray lead byte
    // read from a file (say at the end of an unquoted attribute value) can swallow the quote
    // printed after it. Such a text is not written, so no save leaves a file that cannot load.
    GXmlDataDoc check;
    if (!check.Parse(text.data(), text.size()))
        return 0;
    if (key != 0)
        XorScramble(text.data(), nullptr, static_cast<uint32_t>(text.size()), key);
    return platform::ReplaceFile(Prefixed(fileName).c_str(), text.data(), text.size()) ==
                   platform::ReplaceResult::kReplaced
               ? 1
               : 0;
}

int GXmlDataDoc::Save(const char* fileName, uint8_t key)
{
    return Write(fileName, key);
}

int GXmlDataDoc::DumpToDebugFile(const char* fileName, uint8_t key)
{
    Write(kDebugDumpName, 0);
    return Write(fileName, key);
}

// ---------------------------------------------------------------------------------------
// Navigation

namespace {

// The node document of a library node, made on first request.
template <typename Make>
GXmlDataDoc* ViewIn(std::unordered_map<const void*, std::unique_ptr<GXmlDataDoc>>& views, const void* key, Make make)
{
    auto found = views.find(key);
    if (found != views.end())
        return found->second.get();
    std::unique_ptr<GXmlDataDoc> view(make());
    if (!view)
        return nullptr;
    GXmlDataDoc* raw = view.get();
    views.emplace(key, std::move(view));
    return raw;
}

} // namespace

GDataDoc* GXmlDataDoc::GetChild(const char* name)
{
    TiXmlElement* found = nullptr;
    if (IsRoot()) {
        if (!IsLoaded())
            return nullptr;
        TiXmlDocument* document = m_tree->document.get();
        found = name ? document->FirstChildElement(name) : document->FirstChildElement();
        if (found)
            m_element = found;
    } else if (TiXmlElement* element = AsElement(m_element)) {
        found = name ? element->FirstChildElement(name) : element->FirstChildElement();
    }
    if (!found)
        return nullptr;
    Tree* tree = m_tree;
    return ViewIn(tree->views, found, [&] { return new (std::nothrow) GXmlDataDoc(tree, found, nullptr); });
}

GDataDoc* GXmlDataDoc::GetNextSibling(GDataDoc* node, const char* name)
{
    auto* other = dynamic_cast<GXmlDataDoc*>(node);
    TiXmlElement* element = AsElement(m_element);
    if (!other || other->m_tree != m_tree || !element)
        return nullptr;
    TiXmlElement* current = AsElement(other->m_element);
    if (!current || current == element || element->LastChild() == current)
        return nullptr;
    TiXmlElement* next = current->NextSiblingElement();
    if (!next || (name && std::strcmp(next->Value(), name) != 0))
        return nullptr;
    Tree* tree = m_tree;
    return ViewIn(tree->views, next, [&] { return new (std::nothrow) GXmlDataDoc(tree, next, nullptr); });
}

GDataDoc* GXmlDataDoc::GetFirstAttribute()
{
    TiXmlElement* element = AsElement(m_element);
    TiXmlAttribute* first = element ? element->FirstAttribute() : nullptr;
    if (!first)
        return nullptr;
    Tree* tree = m_tree;
    return ViewIn(tree->views, first, [&] { return new (std::nothrow) GXmlDataDoc(tree, nullptr, first); });
}

GDataDoc* GXmlDataDoc::GetNextAttribute(GDataDoc* attribute)
{
    auto* other = dynamic_cast<GXmlDataDoc*>(attribute);
    if (!other || !m_tree || other->m_tree != m_tree || !other->m_attribute)
        return nullptr;
    TiXmlAttribute* next = AsAttribute(other->m_attribute)->Next();
    if (!next)
        return nullptr;
    Tree* tree = m_tree;
    return ViewIn(tree->views, next, [&] { return new (std::nothrow) GXmlDataDoc(tree, nullptr, next); });
}

GWString GXmlDataDoc::GetName() const
{
    if (m_attribute)
        return GWString(AsAttribute(m_attribute)->Name());
    if (m_element)
        return GWString(AsElement(m_element)->Value());
    return GWString();
}

// ---------------------------------------------------------------------------------------
// Values of the current node

int32_t GXmlDataDoc::GetInt(int32_t defaultValue) const
{
    if (m_attribute)
        return ReadInteger(AsAttribute(m_attribute)->Value());
    const char* text = ElementText(AsElement(m_element));
    return text ? datadoc::ReadDecimal(text) : defaultValue;
}

float GXmlDataDoc::GetFloat(float defaultValue) const
{
    const char* text = m_attribute ? AsAttribute(m_attribute)->Value() : ElementText(AsElement(m_element));
    return text ? datadoc::NarrowToFloat(datadoc::ReadDouble(text)) : defaultValue;
}

GWString GXmlDataDoc::GetString(const char* defaultText) const
{
    if (m_attribute)
        return DecodedText(AsAttribute(m_attribute)->Value());
    const char* text = ElementText(AsElement(m_element));
    if (!text || !*text)
        return DefaultText(defaultText);
    GWString value = DecodedText(text);
    return value.IsEmpty() ? DefaultText(defaultText) : value;
}

int GXmlDataDoc::GetIntList(GIntArray& out, const char* separator) const
{
    const char* text = m_attribute ? AsAttribute(m_attribute)->Value() : ElementText(AsElement(m_element));
    return ReadIntList(text, out, separator);
}

int GXmlDataDoc::GetFloatList(GFloatArray& out, const char* separator) const
{
    const char* text = m_attribute ? AsAttribute(m_attribute)->Value() : ElementText(AsElement(m_element));
    return ReadFloatList(text, out, separator);
}

int GXmlDataDoc::SetInt(int32_t value)
{
    if (!m_element)
        return 0;
    SetElementText(AsElement(m_element), datadoc::PrintInt(value));
    return 1;
}

int GXmlDataDoc::SetFloat(float value)
{
    if (!m_element)
        return 0;
    SetElementText(AsElement(m_element), datadoc::PrintFloat(value));
    return 1;
}

int GXmlDataDoc::SetString(const GWString& value)
{
    if (!m_element)
        return 0;
    SetElementText(AsElement(m_element), Utf8Of(value));
    return 1;
}

int GXmlDataDoc::SetIntList(const GIntArray& values, const char* separator)
{
    if (!m_element)
        return 0;
    SetElementText(AsElement(m_element), JoinInts(values, separator));
    return 1;
}

int GXmlDataDoc::SetFloatList(const GFloatArray& values, const char* separator)
{
    if (!m_element)
        return 0;
    SetElementText(AsElement(m_element), JoinFloats(values, separator));
    return 1;
}

// ---------------------------------------------------------------------------------------
// Attributes of the current element

int32_t GXmlDataDoc::GetAttributeInt(const char* name, int32_t defaultValue) const
{
    const char* value = m_element && name ? AsElement(m_element)->Attribute(name) : nullptr;
    if (!value || !*value)
        return defaultValue;
    return value[0] == '0' || value[0] == 'x' ? ReadHex(value) : ReadInteger(value);
}

float GXmlDataDoc::GetAttributeFloat(const char* name, float defaultValue) const
{
    const char* value = m_element && name ? AsElement(m_element)->Attribute(name) : nullptr;
    return value ? datadoc::NarrowToFloat(datadoc::ReadDouble(value)) : defaultValue;
}

GWString GXmlDataDoc::GetAttributeString(const char* name, const char* defaultText) const
{
    const char* value = m_element && name ? AsElement(m_element)->Attribute(name) : nullptr;
    if (!value || !*value)
        return DefaultText(defaultText);
    return DecodedText(value);
}

int GXmlDataDoc::GetAttributeIntList(const char* name, GIntArray& out, const char* separator) const
{
    const char* value = m_element && name ? AsElement(m_element)->Attribute(name) : nullptr;
    return ReadIntList(value, out, separator);
}

int GXmlDataDoc::GetAttributeFloatList(const char* name, GFloatArray& out, const char* separator) const
{
    const char* value = m_element && name ? AsElement(m_element)->Attribute(name) : nullptr;
    return ReadFloatList(value, out, separator);
}

int GXmlDataDoc::SetAttributeInt(const char* name, int32_t value)
{
    if (!m_element || !IsReadableName(name))
        return 0;
    AsElement(m_element)->SetAttribute(name, datadoc::PrintInt(value).c_str());
    return 1;
}

int GXmlDataDoc::SetAttributeFloat(const char* name, float value)
{
    if (!m_element || !IsReadableName(name))
        return 0;
    AsElement(m_element)->SetAttribute(name, PrintShortFloat(value).c_str());
    return 1;
}

int GXmlDataDoc::SetAttributeString(const char* name, const GWString& value)
{
    if (!m_element || !IsReadableName(name))
        return 0;
    AsElement(m_element)->SetAttribute(name, Utf8Of(value).c_str());
    return 1;
}

int GXmlDataDoc::SetAttributeIntList(const char* name, const GIntArray& values, const char* separator)
{
    if (!m_element || !IsReadableName(name))
        return 0;
    AsElement(m_element)->SetAttribute(name, JoinInts(values, separator).c_str());
    return 1;
}

int GXmlDataDoc::SetAttributeFloatList(const char* name, const GFloatArray& values, const char* separator)
{
    if (!m_element || !IsReadableName(name))
        return 0;
    AsElement(m_element)->SetAttribute(name, JoinFloats(values, separator).c_str());
    return 1;
}

// ---------------------------------------------------------------------------------------
// Editing the tree

GXmlDataDoc* GXmlDataDoc::AddChild(const GWString& name)
{
    const char* narrow = name.GetNarrow();
    if (m_attribute || !IsReadableName(narrow))
        return nullptr;
    TiXmlNode* parent = AsElement(m_element);
    if (!parent) {
        if (!IsRoot() || !EnsureTree())
            return nullptr;
        if (!m_tree->document) {
            m_tree->document.reset(new (std::nothrow) TiXmlDocument);
            if (!m_tree->document)
                return nullptr;
        }
        parent = m_tree->document.get();
    }
    if (DepthOf(parent) + 1 > kXmlMaxNesting)
        return nullptr;
    TiXmlNode* added = parent->InsertEndChild(TiXmlElement(narrow));
    TiXmlElement* element = added ? added->ToElement() : nullptr;
    if (!element)
        return nullptr;
    Tree* tree = m_tree;
    return ViewIn(tree->views, element, [&] { return new (std::nothrow) GXmlDataDoc(tree, element, nullptr); });
}

GXmlDataDoc* GXmlDataDoc::Insert(GDataDoc* node, const GWString& name, bool after)
{
    auto* other = dynamic_cast<GXmlDataDoc*>(node);
    const char* narrow = name.GetNarrow();
    if (!other || !m_tree || other->m_tree != m_tree || !other->m_element || !IsReadableName(narrow))
        return nullptr;
    TiXmlNode* parent = AsElement(m_element);
    if (!parent) {
        if (!IsRoot() || !IsLoaded())
            return nullptr;
        parent = m_tree->document.get();
    }
    TiXmlNode* anchor = AsElement(other->m_element);
    if (anchor->Parent() != parent || DepthOf(anchor) > kXmlMaxNesting)
        return nullptr;
    const TiXmlElement added(narrow);
    TiXmlNode* inserted = after ? parent->InsertAfterChild(anchor, added) : parent->InsertBeforeChild(anchor, added);
    TiXmlElement* element = inserted ? inserted->ToElement() : nullptr;
    if (!element)
        return nullptr;
    Tree* tree = m_tree;
    return ViewIn(tree->views, element, [&] { return new (std::nothrow) GXmlDataDoc(tree, element, nullptr); });
}

GXmlDataDoc* GXmlDataDoc::InsertChildBefore(GDataDoc* node, const GWString& name)
{
    return Insert(node, name, false);
}

GXmlDataDoc* GXmlDataDoc::InsertChildAfter(GDataDoc* node, const GWString& name)
{
    return Insert(node, name, true);
}

int GXmlDataDoc::RemoveCurrent()
{
    TiXmlElement* element = AsElement(m_element);
    TiXmlNode* parentNode = element ? element->Parent() : nullptr;
    TiXmlElement* parent = parentNode ? parentNode->ToElement() : nullptr;
    if (!parent)
        return 0;
    Tree* tree = m_tree;
    // Empty and retire the node documents of the whole subtree before the library frees it.
    auto retire = [tree](const void* key) {
        auto found = tree->views.find(key);
        if (found == tree->views.end())
            return;
        found->second->m_element = nullptr;
        found->second->m_attribute = nullptr;
        tree->retired.push_back(std::move(found->second));
        tree->views.erase(found);
    };
    std::vector<TiXmlElement*> pending{element};
    while (!pending.empty()) {
        TiXmlElement* e = pending.back();
        pending.pop_back();
        for (TiXmlAttribute* a = e->FirstAttribute(); a; a = a->Next())
            retire(a);
        retire(e);
        if (tree->root && tree->root->m_element == e)
            tree->root->m_element = nullptr;
        for (TiXmlElement* child = e->FirstChildElement(); child; child = child->NextSiblingElement())
            pending.push_back(child);
    }
    m_element = nullptr; // also when this document is the root, which is in no map
    parent->RemoveChild(element);
    return 1;
}

int GXmlDataDoc::IsSameNode(const GDataDoc* other) const
{
    const auto* xml = dynamic_cast<const GXmlDataDoc*>(other);
    if (!xml)
        return 0;
    if (m_attribute || xml->m_attribute)
        return m_attribute == xml->m_attribute ? 1 : 0;
    if (m_element || xml->m_element)
        return m_element == xml->m_element ? 1 : 0;
    return IsLoaded() && xml->IsLoaded() && m_tree->document == xml->m_tree->document ? 1 : 0;
}
