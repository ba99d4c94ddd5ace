#pragma once
// GCfgDataDoc: the data-document back end over cfg files. A node is a cfg object, the
// children of a node are the objects stored under one entry name, and an attribute is a value
// entry of the object. Without a key files are cfg text; with a key the scrambled binary form.
//
// A root document owns the tree it loaded; a node document is a view into its root's tree.
// Every document owns the node documents it hands out (one per cfg object it was asked about,
// handed out again when asked again); they go when it is reloaded or destroyed. Main thread
// only.

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "foundation/cfg/cfg_node.h"
#include "foundation/docs/data_doc.h"

class GCfgDataDoc final : public GDataDoc {
public:
    enum Kind : uint8_t {
        kLoadedRoot = 0,
        kNodeDoc = 1,
        kEmptyRoot = 255,
    };

    GCfgDataDoc() = default;
    ~GCfgDataDoc() override;

    // Replaces the tree. A failed load leaves the document empty (it cannot then be saved over
    // the file it failed to read). 0 for a node document.
    int Load(const char* fileName, uint8_t key) override;
    // Loaded roots only; the file is replaced as a whole or not at all. 0 when anything of the
    // tree cannot be written (a text holding both quote characters has no cfg text form).
    int Save(const char* fileName, uint8_t key) override;

    // name: a plain entry name (no dotted path).
    GDataDoc* GetChild(const char* name) override;
    // The object after node's object in the same list; name is ignored.
    GDataDoc* GetNextSibling(GDataDoc* node, const char* name) override;

    // Nodes carry no value of their own: the value operations keep their defaults.
    GWString GetString(const char* defaultText) const override;
    GWString GetName() const override;

    // "0x" followed by hexadecimal digits, else decimal (optional sign, digits up to the
    // first other character); so "010" is ten.
    int32_t GetAttributeInt(const char* name, int32_t defaultValue) const override;
    float GetAttributeFloat(const char* name, float defaultValue) const override;
    GWString GetAttributeString(const char* name, const char* defaultText) const override;
    // Empty the array first. 0 (array empty) when a value fails the number test.
    int GetAttributeIntList(const char* name, GIntArray& out, const char* separator) const override;
    int GetAttributeFloatList(const char* name, GFloatArray& out, const char* separator) const override;
    // Replace every value of the entry, creating it when missing. Numbers are printed "%d"
    // and "%f" (C locale).
    int SetAttributeInt(const char* name, int32_t value) override;
    int SetAttributeFloat(const char* name, float value) override;
    int SetAttributeString(const char* name, const GWString& value) override;
    // One value per element; an empty array changes nothing and gives 0.
    int SetAttributeIntList(const char* name, const GIntArray& values, const char* separator) override;
    int SetAttributeFloatList(const char* name, const GFloatArray& values, const char* separator) override;

    Kind GetKind() const { return m_kind; }
    // The object this document stands for; null for an empty root.
    const GCfgNode* GetNode() const { return m_node; }
    // Position of the object in its list (0 for a loaded root, -1 for an empty one).
    int32_t GetIndex() const { return m_index; }

private:
    GCfgDataDoc(GCfgNode* node, GCfgNodeList* list, int32_t index);

    GCfgDataDoc* NodeDocFor(GCfgNodeList* list, int32_t index);
    void Release();
    const GCfgValueList* FirstValues(const char* name) const;
    GCfgNode* WritableNode(const char* name) const;

    Kind m_kind = kEmptyRoot;
    std::unique_ptr<GCfgNode> m_tree; // loaded roots only
    GCfgNode* m_node = nullptr;
    GCfgNodeList* m_list = nullptr; // node documents: the list their object lies in
    int32_t m_index = -1;
    std::vector<std::unique_ptr<GCfgDataDoc>> m_nodeDocs;
    std::unordered_map<const GCfgNode*, GCfgDataDoc*> m_docByNode;
};
