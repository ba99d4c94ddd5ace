#pragma once
// GXmlDataDoc: the data-document back end over XML files (GUI settings, dialogs, fonts,
// start-up options, the dictionary). A node is an XML element, or one of its attributes for
// the node documents of GetFirstAttribute and GetNextAttribute; children and siblings are
// child elements by tag name; attributes are XML attributes.
//
// A root document (default constructed) owns the parsed tree and every node document handed
// out from it or from any of its node documents. There is one node document per element or
// attribute, handed out again whenever it is asked for, so walking a document over and over
// allocates nothing new. Node documents live until the root is reloaded or destroyed; a node
// document whose element is removed (RemoveCurrent on it or on an ancestor) stays valid but
// stands for nothing from then on, and reads give defaults. Main thread only.
//
// Values are UTF-8 in the file; names, separators and defaults are narrow (Windows-1251)
// texts. Numbers are written and read in the C locale. The encoding is detected as the XML
// library does for its own files: a text with a UTF-8 byte-order mark, no declaration, or a
// declared "UTF-8" is parsed in the library's UTF-8 mode; one declaring any other encoding
// ("windows-1251", "koi8-r"...) in its 8-bit mode, byte for byte. A string value that is not
// well-formed UTF-8 reads as Windows-1251 text. A text whose elements nest deeper than
// kXmlMaxNesting is refused, and so is an element added below that depth.

#include <cstdint>
#include <memory>

#include "foundation/docs/data_doc.h"
#include "foundation/core/int_array.h"

class GWString;

class GXmlDataDoc final : public GDataDoc {
public:
    GXmlDataDoc();
    ~GXmlDataDoc() override;

    // Replaces the tree with the file's (prefixed with DataFolderPrefix; key 0 = plain, else
    // XOR-scrambled from that key). Every node document handed out so far is released, also
    // when the load fails, which leaves the document empty. 0 for a node document.
    int Load(const char* fileName, uint8_t key) override;
    // The printed tree replaces the file as a whole or not at all (a failed save keeps the
    // old file). A byte-order mark read with the file is written back. 0 for a node document,
    // an empty document, a printed text that would not load again (only malformed UTF-8 read
    // from a file can cause that), or when the file cannot be written.
    int Save(const char* fileName, uint8_t key) override;
    // Replaces the tree with the UTF-8 form of the text, as Load does.
    int LoadFromText(const GWString& text);
    // A plain copy of the tree in "debug.txt", then the keyed save to fileName; the result is
    // that of the keyed save.
    int DumpToDebugFile(const char* fileName, uint8_t key);

    // Root: the first top-level element (of that name), which also becomes the root's current
    // element. Node document: the first child element of its element.
    GDataDoc* GetChild(const char* name) override;
    // node's next element among the receiver's children: null when node is the receiver's
    // last child or its own element, or when that next element's name differs from name (only
    // the element directly after node is considered; comments and text are passed over).
    GDataDoc* GetNextSibling(GDataDoc* node, const char* name) override;

    // An element reads its text (the first child when that is a text node); an attribute
    // node reads the attribute's value.
    int32_t GetInt(int32_t defaultValue) const override;
    float GetFloat(float defaultValue) const override;
    // Empty text gives the default (for an element).
    GWString GetString(const char* defaultText) const override;
    // Tokens cut at any character of separator, runs counting as one; each read as a number
    // and appended. 0 when there is no text.
    int GetIntList(GIntArray& out, const char* separator) const override;
    int GetFloatList(GFloatArray& out, const char* separator) const override;
    // The element's text becomes "%d", "%f", the UTF-8 text, or the numbers joined with the
    // separator. 0 (nothing changed) without an element.
    int SetInt(int32_t value) override;
    int SetFloat(float value) override;
    int SetString(const GWString& value) override;
    int SetIntList(const GIntArray& values, const char* separator) override;
    int SetFloatList(const GFloatArray& values, const char* separator) override;

    GDataDoc* GetFirstAttribute() override;
    GDataDoc* GetNextAttribute(GDataDoc* attribute) override;
    // Tag or attribute name; empty for a root without element.
    GWString GetName() const override;

    // A value starting with '0' or 'x' is read as hexadecimal after an optional "0x" (so
    // "010" is 16 and "0x1F" is 31), any other as decimal. Missing or empty: the default.
    int32_t GetAttributeInt(const char* name, int32_t defaultValue) const override;
    // Missing: the default.
    float GetAttributeFloat(const char* name, float defaultValue) const override;
    // Missing or empty: the default.
    GWString GetAttributeString(const char* name, const char* defaultText) const override;
    int GetAttributeIntList(const char* name, GIntArray& out, const char* separator) const override;
    int GetAttributeFloatList(const char* name, GFloatArray& out, const char* separator) const override;
    // Decimal; "%g"; UTF-8; joined lists. 0 without an element, or for a name the XML
    // library could not read back.
    int SetAttributeInt(const char* name, int32_t value) override;
    int SetAttributeFloat(const char* name, float value) override;
    int SetAttributeString(const char* name, const GWString& value) override;
    int SetAttributeIntList(const char* name, const GIntArray& values, const char* separator) override;
    int SetAttributeFloatList(const char* name, const GFloatArray& values, const char* separator) override;

    // A new last child element of the element, or of the document for a root without current
    // element (an empty root gets a new, empty tree). Null for a name the XML library could
    // not read back, past kXmlMaxNesting, or for an attribute node.
    GXmlDataDoc* AddChild(const GWString& name);
    // A new element directly before or after node's element, which must be a child of the
    // receiver's element (or of the document). Null otherwise.
    GXmlDataDoc* InsertChildBefore(GDataDoc* node, const GWString& name);
    GXmlDataDoc* InsertChildAfter(GDataDoc* node, const GWString& name);
    // Removes the element, with everything below it, from its parent element; every node
    // document of the removed part stands for nothing afterwards. 0 for a top-level element or
    // without element.
    int RemoveCurrent();
    // 1 when both stand for the same element, the same attribute, or (neither standing for
    // one) the same loaded tree.
    int IsSameNode(const GDataDoc* other) const;

    bool IsRoot() const { return !m_tree || m_ownTree; }
    bool IsLoaded() const;
    // Node documents of the tree that are alive (released by reload and destruction only).
    uint32_t GetNodeDocCount() const;

private:
    friend class GXmlElementAccessor;
    struct Tree;
    GXmlDataDoc(Tree* tree, void* element, void* attribute);

    Tree* EnsureTree();
    void Release();
    int Parse(const char* bytes, size_t size);
    int Write(const char* fileName, uint8_t key) const;
    GXmlDataDoc* Insert(GDataDoc* node, const GWString& name, bool after);

    std::unique_ptr<Tree> m_ownTree; // roots only
    Tree* m_tree = nullptr;
    // The XML library's element and attribute behind this node, kept opaque so that no
    // library type reaches this header.
    void* m_element = nullptr;
    void* m_attribute = nullptr;
};
