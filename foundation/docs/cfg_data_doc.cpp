#include "foundation/docs/cfg_data_doc.h"

#include <string>
#include <string_view>

#include "foundation/docs/data_doc_text.h"
#include "foundation/text/wstring.h"

namespace {

GWString FromDefault(const char* text)
{
    return text ? GWString(text) : GWString();
}

} // namespace

GCfgDataDoc::GCfgDataDoc(GCfgNode* node, GCfgNodeList* list, int32_t index)
    : m_kind(kNodeDoc), m_node(node), m_list(list), m_index(index)
{
}

GCfgDataDoc::~GCfgDataDoc() = default;

void GCfgDataDoc::Release()
{
    m_docByNode.clear();
    m_nodeDocs.clear();
    m_node = nullptr;
    m_tree.reset();
    m_kind = kEmptyRoot;
    m_index = -1;
}

int GCfgDataDoc::Load(const char* fileName, uint8_t key)
{
    if (m_kind == kNodeDoc)
        return 0;
    Release();
    if (!fileName)
        return 0;
    auto tree = std::make_unique<GCfgNode>();
    const bool loaded = key == 0 ? tree->LoadFile(fileName) == 1 : tree->LoadBinaryFile(fileName, key);
    if (!loaded)
        return 0;
    m_tree = std::move(tree);
    m_node = m_tree.get();
    m_kind = kLoadedRoot;
    m_index = 0;
    return 1;
}

int GCfgDataDoc::Save(const char* fileName, uint8_t key)
{
    // A null name would send the text writer to standard output.
    if (m_kind != kLoadedRoot || !m_tree || !fileName || !*fileName)
        return 0;
    const bool saved = key == 0 ? m_tree->WriteText(fileName, 3, 0) : m_tree->SaveBinaryFile(fileName, key);
    return saved ? 1 : 0;
}

GCfgDataDoc* GCfgDataDoc::NodeDocFor(GCfgNodeList* list, int32_t index)
{
    GCfgNode* node = &(*list)[static_cast<size_t>(index)];
    // A document is a view without state of its own, so one per object is enough however
    // often the walk is repeated.
    auto found = m_docByNode.find(node);
    if (found != m_docByNode.end())
        return found->second;
    std::unique_ptr<GCfgDataDoc> doc(new GCfgDataDoc(node, list, index));
    GCfgDataDoc* view = doc.get();
    m_nodeDocs.push_back(std::move(doc));
    m_docByNode.emplace(node, view);
    return view;
}

GDataDoc* GCfgDataDoc::GetChild(const char* name)
{
    if (!m_node || !name)
        return nullptr;
    GCfgNodeList* list = m_node->FindObjectList(name);
    if (!list || list->empty())
        return nullptr;
    return NodeDocFor(list, 0);
}

GDataDoc* GCfgDataDoc::GetNextSibling(GDataDoc* node, const char* /*name*/)
{
    auto* sibling = dynamic_cast<GCfgDataDoc*>(node);
    if (!sibling || sibling->m_kind != kNodeDoc || !sibling->m_list || sibling->m_index < 0)
        return nullptr;
    const size_t next = static_cast<size_t>(sibling->m_index) + 1;
    if (next >= sibling->m_list->size())
        return nullptr;
    return NodeDocFor(sibling->m_list, static_cast<int32_t>(next));
}

GWString GCfgDataDoc::GetString(const char* defaultText) const
{
    return FromDefault(defaultText);
}

GWString GCfgDataDoc::GetName() const
{
    return GWString();
}

const GCfgValueList* GCfgDataDoc::FirstValues(const char* name) const
{
    if (!m_node || !name)
        return nullptr;
    const GCfgValueList* list = m_node->FindValueList(name);
    return list && !list->empty() ? list : nullptr;
}

GCfgNode* GCfgDataDoc::WritableNode(const char* name) const
{
    // An empty name has no cfg text form that reads back.
    return name && *name ? m_node : nullptr;
}

int32_t GCfgDataDoc::GetAttributeInt(const char* name, int32_t defaultValue) const
{
    const GCfgValueList* values = FirstValues(name);
    return values ? datadoc::ReadHexOrDecimal(values->front().View()) : defaultValue;
}

float GCfgDataDoc::GetAttributeFloat(const char* name, float defaultValue) const
{
    const GCfgValueList* values = FirstValues(name);
    return values ? datadoc::NarrowToFloat(datadoc::ReadDouble(values->front().c_str())) : defaultValue;
}

GWString GCfgDataDoc::GetAttributeString(const char* name, const char* defaultText) const
{
    const GCfgValueList* values = FirstValues(name);
    return values ? GWString(values->front().c_str()) : FromDefault(defaultText);
}

namespace {

// The cfg library's list getters take a dotted path; an entry whose own name holds a dot is
// read through a scratch node so that the name stays a plain name.
template <typename Array, typename Getter>
int ReadList(const GCfgNode& node, const char* name, Array& out, Getter get)
{
    const std::string_view plain(name);
    if (plain.find('.') == std::string_view::npos)
        return (node.*get)(plain, out) == 0 ? 1 : 0;
    GCfgNode scratch;
    for (const GCfgValue& value : *node.FindValueList(plain))
        scratch.AddValue("v", value.View());
    return (scratch.*get)("v", out) == 0 ? 1 : 0;
}

} // namespace

int GCfgDataDoc::GetAttributeIntList(const char* name, GIntArray& out, const char* /*separator*/) const
{
    if (!m_node || !name || !m_node->FindValueList(name))
        return 0;
    out.Clear();
    GIntArray read;
    if (!ReadList(*m_node, name, read, &GCfgNode::GetIList))
        return 0;
    out = std::move(read);
    return 1;
}

int GCfgDataDoc::GetAttributeFloatList(const char* name, GFloatArray& out, const char* /*separator*/) const
{
    if (!m_node || !name || !m_node->FindValueList(name))
        return 0;
    out.Clear();
    GFloatArray read;
    if (!ReadList(*m_node, name, read, &GCfgNode::GetFList))
        return 0;
    out = std::move(read);
    return 1;
}

namespace {

void ReplaceValues(GCfgNode& node, const char* name, std::string_view text)
{
    node.RemoveValue(name);
    node.AddValue(name, text);
}

} // namespace

int GCfgDataDoc::SetAttributeInt(const char* name, int32_t value)
{
    GCfgNode* node = WritableNode(name);
    if (!node)
        return 0;
    ReplaceValues(*node, name, datadoc::PrintInt(value));
    return 1;
}

int GCfgDataDoc::SetAttributeFloat(const char* name, float value)
{
    GCfgNode* node = WritableNode(name);
    if (!node)
        return 0;
    ReplaceValues(*node, name, datadoc::PrintFloat(value));
    return 1;
}

int GCfgDataDoc::SetAttributeString(const char* name, const GWString& value)
{
    GCfgNode* node = WritableNode(name);
    if (!node)
        return 0;
    ReplaceValues(*node, name, datadoc::NarrowOf(value));
    return 1;
}

int GCfgDataDoc::SetAttributeIntList(const char* name, const GIntArray& values, const char* /*separator*/)
{
    GCfgNode* node = WritableNode(name);
    if (!node || values.GetCount() == 0)
        return 0;
    node->RemoveValue(name);
    for (uint32_t i = 0; i < values.GetCount(); ++i)
        node->AddValue(name, datadoc::PrintInt(values[i]));
    return 1;
}

int GCfgDataDoc::SetAttributeFloatList(const char* name, const GFloatArray& values, const char* /*separator*/)
{
    GCfgNode* node = WritableNode(name);
    if (!node || values.GetCount() == 0)
        return 0;
    node->RemoveValue(name);
    for (uint32_t i = 0; i < values.GetCount(); ++i)
        node->AddValue(name, datadoc::PrintFloat(values[i]));
    return 1;
}
