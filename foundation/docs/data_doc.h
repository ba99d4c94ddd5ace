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

    // key 0 = plain bytes; otherwise the file is XOR-scrambled from that starting key.
    // 1 on success, 0 on any failure.
    virtual int Load(const char* fileName, uint8_t key) = 0;
    virtual int Save(const char* fileName, uint8_t key) = 0;

    // name null = any.
    virtual GDataDoc* GetChild(const char* name) = 0;
    virtual GDataDoc* GetNextSibling(GDataDoc* node, const char* name) = 0;

    // The current node's own value.
    virtual int32_t GetInt(int32_t defaultValue) const = 0;
    virtual float GetFloat(float defaultValue) const = 0;
    virtual GWString GetString(const char* defaultText) const = 0;
    // 1 when a list was read, else 0.
    virtual int GetIntList(GIntArray& out, const char* separator) const = 0;
    virtual int GetFloatList(GFloatArray& out, const char* separator) const = 0;
    // 1 stored, 0 not.
    virtual int SetInt(int32_t value) = 0;
    virtual int SetFloat(float value) = 0;
    virtual int SetString(const GWString& value) = 0;
    virtual int SetIntList(const GIntArray& values, const char* separator) = 0;
    virtual int SetFloatList(const GFloatArray& values, const char* separator) = 0;

    // Attributes as node documents.
    virtual GDataDoc* GetFirstAttribute() = 0;
    virtual GDataDoc* GetNextAttribute(GDataDoc* attribute) = 0;
    // Name of the current node or attribute; empty when the back end has none.
    virtual GWString GetName() const = 0;

    // Named attributes of the current node.
    virtual int32_t GetAttributeInt(const char* name, int32_t defaultValue) const = 0;
    virtual float GetAttributeFloat(const char* name, float defaultValue) const = 0;
    virtual GWString GetAttributeString(const char* name, const char* defaultText) const = 0;
    virtual int GetAttributeIntList(const char* name, GIntArray& out, const char* separator) const = 0;
    virtual int GetAttributeFloatList(const char* name, GFloatArray& out, const char* separator) const = 0;
    virtual int SetAttributeInt(const char* name, int32_t value) = 0;
    virtual int SetAttributeFloat(const char* name, float value) = 0;
    virtual int SetAttributeString(const char* name, const GWString& value) = 0;
    virtual int SetAttributeIntList(const char* name, const GIntArray& values, const char* separator) = 0;
    virtual int SetAttributeFloatList(const char* name, const GFloatArray& values, const char* separator) = 0;
};
