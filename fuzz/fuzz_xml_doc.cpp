// XML data document: any bytes as a file. The nesting scan must never fall below the depth
// the XML library really reaches on the same text (checked against the library itself); a
// document that loads is walked through every getter, edited, saved plain and scrambled, and
// whatever a save wrote must load again.

#include <tinyxml.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "foundation/text/wstring.h"
#include "foundation/docs/xml_data_doc.h"
#include "foundation/docs/xml_nesting.h"
#include "fuzz/fuzz_files.h"

namespace {

const std::string& Folder()
{
    return fuzz::ScratchFolder("xml_doc");
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

// The deepest element nesting of what the library kept (it keeps what it parsed before an
// error), walked without recursion.
uint32_t TreeDepth(const TiXmlNode* root)
{
    uint32_t deepest = 0;
    std::vector<std::pair<const TiXmlNode*, uint32_t>> pending{{root, 0}};
    while (!pending.empty()) {
        auto [node, depth] = pending.back();
        pending.pop_back();
        if (depth > deepest)
            deepest = depth;
        for (const TiXmlElement* child = node->FirstChildElement(); child; child = child->NextSiblingElement())
            pending.emplace_back(child, depth + 1);
    }
    return deepest;
}

void CheckNestingScan(const uint8_t* data, size_t size)
{
    const size_t length = strnlen(reinterpret_cast<const char*>(data), size);
    std::vector<char> text(data, data + length);
    text.resize(length + 8, 0);
    for (const auto& [stepping, encoding] : {std::pair{XmlStepping::kUtf8, TIXML_ENCODING_UTF8},
                                             std::pair{XmlStepping::kBytes, TIXML_ENCODING_LEGACY}}) {
        const uint32_t scanned = XmlNestingDepth(text.data(), length, stepping);
        if (scanned > 4 * kXmlMaxNesting)
            continue; // too deep to hand to the library's recursion here
        TiXmlDocument document;
        document.Parse(text.data(), nullptr, encoding);
        if (TreeDepth(&document) > scanned)
            std::abort();
    }
}

volatile uint32_t g_sink;

uint32_t Touch(GDataDoc* node)
{
    uint32_t sum = static_cast<uint32_t>(node->GetInt(1)) + node->GetName().GetLength();
    sum += node->GetFloat(0.5f) > 0.f;
    sum += node->GetString("d").GetLength();
    GIntArray ints;
    GFloatArray floats;
    sum += static_cast<uint32_t>(node->GetIntList(ints, ", ;") + node->GetFloatList(floats, ","));
    sum += ints.GetCount() + floats.GetCount();
    for (GDataDoc* a = node->GetFirstAttribute(); a; a = node->GetNextAttribute(a)) {
        const GWString name = a->GetName();
        sum += static_cast<uint32_t>(a->GetInt(0)) + a->GetString("").GetLength();
        sum += static_cast<uint32_t>(node->GetAttributeInt(name.GetNarrow(), 2));
        sum += node->GetAttributeString(name.GetNarrow(), "").GetLength();
        sum += node->GetAttributeFloat(name.GetNarrow(), 0.f) > 0.f;
        sum += static_cast<uint32_t>(node->GetAttributeIntList(name.GetNarrow(), ints, ","));
    }
    return sum;
}

// Every element through the interface, without recursion.
uint32_t Walk(GDataDoc* root)
{
    uint32_t sum = 0;
    std::vector<GDataDoc*> pending;
    for (GDataDoc* top = root->GetChild(nullptr); top; top = nullptr)
        pending.push_back(top);
    while (!pending.empty()) {
        GDataDoc* node = pending.back();
        pending.pop_back();
        sum += Touch(node);
        for (GDataDoc* child = node->GetChild(nullptr); child; child = node->GetNextSibling(child, nullptr))
            pending.push_back(child);
    }
    return sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CheckNestingScan(data, size);

    const std::string in = Folder() + "in.xml";
    const std::string plain = Folder() + "plain.xml";
    const std::string keyed = Folder() + "keyed.xml";
    if (!WriteFile(in, data, size))
        return 0;
    GXmlDataDoc doc;
    if (!doc.Load(in.c_str(), 0))
        return 0;
    g_sink = Walk(&doc);

    // Edit: a new child with attributes, then remove the first child of the top element
    // while node documents of it are held, and walk again.
    if (auto* top = static_cast<GXmlDataDoc*>(doc.GetChild(nullptr))) {
        GXmlDataDoc* added = top->AddChild(GWString(u"Added"));
        if (added) {
            added->SetAttributeString("text", GWString(u"\u0416 & <\"'>"));
            added->SetAttributeFloat("f", 0.25f);
            GIntArray values;
            values.PushBack(-1);
            values.PushBack(2);
            added->SetIntList(values, ",");
        }
        if (auto* first = static_cast<GXmlDataDoc*>(top->GetChild(nullptr))) {
            GDataDoc* grandchild = first->GetChild(nullptr);
            first->RemoveCurrent();
            g_sink = g_sink + Touch(first) + (grandchild ? Touch(grandchild) : 0);
        }
        g_sink = g_sink + Walk(&doc);
    }

    // A save may refuse a tree that would not load again (malformed UTF-8 from the input);
    // the scrambled save then refuses it as well. What is saved must load.
    const int saved = doc.Save(plain.c_str(), 0);
    if (doc.Save(keyed.c_str(), 0x3C) != saved)
        std::abort();
    if (!saved)
        return 0;
    GXmlDataDoc again;
    if (again.Load(plain.c_str(), 0) != 1)
        std::abort();
    g_sink = g_sink + Walk(&again);
    GXmlDataDoc unscrambled;
    if (unscrambled.Load(keyed.c_str(), 0x3C) != 1)
        std::abort();
    return 0;
}
