#pragma once
// GDataDoc: the one interface through which the engine reads and writes key/value documents,
// whatever their file format (XML, cfg, INI-like, semicolon tables). A document is a tree of
// nodes; the object stands for its current node, and navigation hands out further node
// documents of the same back end. Node documents returned by GetChild, GetNextSibling,
// GetFirstAttribute and GetNextAttribute are owned by the document they came from and live
// until it is reloaded or destroyed; callers never delete them.
//
// Missing nodes, attributes and values give the caller's default (a string default converted
// to GWString), null or 0; so does every operation a back end does not implement. Nothing
// throws and nothing reports a message. Main thread only.
//
// Names, separators and string defaults are narrow (Windows-1251) zero-terminated texts; text
// values leave as GWString. Number lists are filled by appending unless a back end says
// otherwise; callers own the arrays they pass.

#include <cstdint>

#include "foundation/core/int_array.h"

class GWString;

class GDataDoc {
public:
    GDataDoc() = default;
    GDataDoc(const GDataDoc&) = delete;
    GDataDoc& operator=(const GDataDoc&) = delete;
    virtual ~GDataDoc() = default;

    // Every back end reads, navigates and names; the other operations default to what the
    // interface promises for one it does not implement (the default, 0 or null), so a back end
    // overrides only what its format can do.

    // key 0 = plain bytes; otherwise the file is XOR-scrambled from that starting key.
    // 1 on success, 0 on any failure.
    virtual int Load(const char* fileName, uint8_t key) = 0;
    virtual int Save(const char*, uint8_t) { return 0; }

    // name null = any.
    virtual GDataDoc* GetChild(const char* name) = 0;
    virtual GDataDoc* GetNextSibling(GDataDoc* node, const char* name) = 0;

    // The current node's own value.
    virtual int32_t GetInt(int32_t defaultValue) const { return defaultValue; }
    virtual float GetFloat(float defaultValue) const { return defaultValue; }
    virtual GWString GetString(const char* defaultText) const = 0;
    // 1 when a list was read, else 0.
    virtual int GetIntList(GIntArray&, const char*) const { return 0; }
    virtual int GetFloatList(GFloatArray&, const char*) const { return 0; }
    // 1 stored, 0 not.
    virtual int SetInt(int32_t) { return 0; }
    virtual int SetFloat(float) { return 0; }
    virtual int SetString(const GWString&) { return 0; }
    virtual int SetIntList(const GIntArray&, const char*) { return 0; }
    virtual int SetFloatList(const GFloatArray&, const char*) { return 0; }

    // Attributes as node documents.
    virtual GDataDoc* GetFirstAttribute() { return nullptr; }
    virtual GDataDoc* GetNextAttribute(GDataDoc*) { return nullptr; }
    // Name of the current node or attribute; empty when the back end has none.
    virtual GWString GetName() const = 0;

    // Named attributes of the current node.
    virtual int32_t GetAttributeInt(const char* name, int32_t defaultValue) const = 0;
    virtual float GetAttributeFloat(const char* name, float defaultValue) const = 0;
    virtual GWString GetAttributeString(const char* name, const char* defaultText) const = 0;
    virtual int GetAttributeIntList(const char*, GIntArray&, const char*) const { return 0; }
    virtual int GetAttributeFloatList(const char*, GFloatArray&, const char*) const { return 0; }
    virtual int SetAttributeInt(const char*, int32_t) { return 0; }
    virtual int SetAttributeFloat(const char*, float) { return 0; }
    virtual int SetAttributeString(const char*, const GWString&) { return 0; }
    virtual int SetAttributeIntList(const char*, const GIntArray&, const char*) { return 0; }
    virtual int SetAttributeFloatList(const char*, const GFloatArray&, const char*) { return 0; }
};
