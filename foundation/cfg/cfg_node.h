#pragma once
// GCfgNode: one object of a cfg file, the tree that cfg text and the binary "CFG" form are
// read into. A node owns two independent ordered maps: value entries (name -> list of value
// texts) and object entries (name -> list of child nodes held by value). Names order by
// unsigned byte comparison. Children are stored in growable arrays, so a reference to a child
// is invalidated by a later addition under the same name.
//
// Reading: cfg_parser.cpp. Text writers: cfg_writer.cpp. Binary form: cfg_binary.cpp.
// Single-threaded: CfgErrorCode and CfgLineNumber are process-wide and nodes are not shared
// between threads.

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/text/gstring.h"
#include "foundation/core/int_array.h"
#include "foundation/text/string_array.h"

// The library's last error. Set by the readers and by the getters as each documents.
enum CfgError : int32_t {
    kCfgOk = 0,
    kCfgCannotOpen = 1,
    kCfgEmptyFile = 2,
    kCfgNoMemory = 3,
    kCfgCannotRead = 4,
    kCfgNoName = 5,
    kCfgObjectNotClosed = 6,
    kCfgArrayNotClosed = 7,
    kCfgNoValue = 8, // has a text, but nothing reports it
    kCfgWrongName = 9,
    kCfgConversion = 10,
    kCfgWrongFormat = 11,
    kCfgDoubleQuoteNotClosed = 12,
    kCfgSingleQuoteNotClosed = 13,
};

extern int32_t CfgErrorCode;
// Line feeds consumed between tokens since the last LoadFile (which starts it at 1). Line
// feeds inside block comments and quoted texts are not counted; Parse does not reset it.
extern int32_t CfgLineNumber;

// The fixed text of an error code; "" for a code outside 0 to 13.
const char* CfgErrorText(int32_t code);

// One value text: an owned, zero-terminated copy. The bytes may include zeros (a quoted text
// or the binary form can carry them); c_str() then shows only the part before the first one.
class GCfgValue {
public:
    GCfgValue() = default;
    explicit GCfgValue(std::string_view text) { Set(text); }

    // False when the copy cannot be allocated; the value is then empty.
    bool Set(std::string_view text);
    GCfgValue& operator=(std::string_view text)
    {
        Set(text);
        return *this;
    }

    const char* c_str() const { return m_text.c_str(); }
    std::string_view View() const { return {m_text.c_str(), m_text.GetLength()}; }
    uint32_t GetLength() const { return m_text.GetLength(); }
    bool IsEmpty() const { return m_text.GetLength() == 0; }

    // Unsigned byte order, over every byte.
    bool operator==(const GCfgValue& other) const { return View() == other.View(); }
    bool operator<(const GCfgValue& other) const { return View() < other.View(); }

private:
    GString m_text;
};

// A GString copy of arbitrary bytes (zeros included); false when it cannot be allocated.
bool CfgAssignText(GString& target, std::string_view text);
inline std::string_view CfgView(const GString& s) { return {s.c_str(), s.GetLength()}; }

// Orders names by unsigned bytes; a name sorts before every longer name that begins with it.
// Transparent, so entries are looked up by std::string_view without a copy.
struct GCfgNameLess {
    using is_transparent = void;
    bool operator()(const GString& a, const GString& b) const { return CfgView(a) < CfgView(b); }
    bool operator()(const GString& a, std::string_view b) const { return CfgView(a) < b; }
    bool operator()(std::string_view a, const GString& b) const { return a < CfgView(b); }
};

class GCfgNode;
using GCfgValueList = std::vector<GCfgValue>;
using GCfgNodeList = std::vector<GCfgNode>;
using GCfgValueMap = std::map<GString, GCfgValueList, GCfgNameLess>;
using GCfgObjectMap = std::map<GString, GCfgNodeList, GCfgNameLess>;
using GCfgValueEntry = GCfgValueMap::value_type;
using GCfgObjectEntry = GCfgObjectMap::value_type;

class GCfgNode {
public:
    // Empty maps; the scramble seed is the millisecond tick count.
    GCfgNode();
    GCfgNode(const GCfgNode& other) = default;
    GCfgNode(GCfgNode&& other) noexcept = default;
    GCfgNode& operator=(const GCfgNode& other) = default;
    GCfgNode& operator=(GCfgNode&& other) noexcept = default;
    ~GCfgNode() = default;

    // Empties both maps; the seed stays.
    void Clear();

    // Same entries, lists and texts, recursively. The seeds are not compared.
    bool operator==(const GCfgNode& other) const;

    // ---- Reading cfg text (cfg_parser.cpp). Each read adds to what the node holds. ----

    // Parses [begin, end); returns the error code (0 on success) and leaves it in
    // CfgErrorCode. The text is only read, never written, and nothing past end is touched.
    int32_t ParseText(const char* begin, const char* end);
    // 1 on success, 0 on failure (code in CfgErrorCode). A null text or a length of 0
    // changes nothing and returns 0.
    int Parse(const char* text, size_t length);
    // Starts CfgLineNumber at 1, reads the whole file and parses it; 1 on success, else 0
    // with CfgErrorCode 1 (cannot open), 2 (empty), 3 (no memory), 4 (read failed) or the
    // parser's code.
    int LoadFile(const char* fileName);

    // ---- Lookup. A path is names joined by dots: every name before the last is an object
    // entry whose first child the walk continues in. ----

    bool HasValue(std::string_view path) const;
    bool HasObject(std::string_view path) const;
    // The entry (name and list) in the node where the path ends, or null.
    const GCfgValueEntry* FindValue(std::string_view path) const;
    GCfgValueEntry* FindValue(std::string_view path);
    const GCfgObjectEntry* FindObject(std::string_view path) const;
    GCfgObjectEntry* FindObject(std::string_view path);
    // A plain name of this node (no path); null when absent.
    const GCfgValueList* FindValueList(std::string_view name) const;
    GCfgValueList* FindValueList(std::string_view name);
    const GCfgNodeList* FindObjectList(std::string_view name) const;
    GCfgNodeList* FindObjectList(std::string_view name);

    // The first value text; on a missing path, entry or value sets CfgErrorCode to 9 and
    // returns the default. Success leaves CfgErrorCode alone. The text lives as long as the
    // value does.
    const char* Get(std::string_view path, const char* defaultText) const;
    // Sets CfgErrorCode to 0, then reads the first value: "0x" + hexadecimal, else an
    // optional sign and decimal digits (a text starting 'o' or 'O' gives 0). An empty or
    // missing text, or one whose first byte is not a digit or one of "+-oO", sets 10 and
    // returns the default.
    int32_t GetI(std::string_view path, int32_t defaultValue) const;
    // As GetI with the first bytes "+-." besides digits and a decimal conversion that always
    // uses '.' as the decimal point (the C locale), narrowed to float.
    float GetF(std::string_view path, float defaultValue) const;
    // Empties the list and fills it with every value text; 0, or 9 for a missing path.
    int32_t GetValueList(std::string_view path, GStringArray& out) const;
    // Empty the list, then append every value converted as GetI / GetF does. A text that
    // fails the first-byte test is appended as its decimal reading (0 without leading
    // digits) and makes the result 10. Result (also left in CfgErrorCode): 0, 9 or 10.
    int32_t GetIList(std::string_view path, GIntArray& out) const;
    int32_t GetFList(std::string_view path, GFloatArray& out) const;

    // ---- Building. Names here are plain names of this node, not paths. ----

    void AddValue(std::string_view name, std::string_view text);
    // The first value of the entry, which is created with one empty value when missing (or
    // given one when its list is empty).
    GCfgValue& GetOrAddValue(std::string_view name);
    // Appends a copy (or the moved node) to the entry's child list; returns the new child.
    GCfgNode& AddObject(std::string_view name, const GCfgNode& node);
    GCfgNode& AddObject(std::string_view name, GCfgNode&& node);
    void RemoveValue(std::string_view name);
    // Sorts every value list of this node (not of the children) in byte order.
    void SortValues();

    const GCfgValueMap& GetValues() const { return m_values; }
    const GCfgObjectMap& GetObjects() const { return m_objects; }

    // ---- Cfg text writers (cfg_writer.cpp). ----
    // Texts are written bare when the reader takes them as one bare token, else between
    // double quotes, or apostrophes when they hold a double quote. A text that holds both
    // quote characters has no cfg text form: the writers then report failure. An object
    // entry with an empty child list has no text form and is left out.

    // Value entries, then object entries, each in name order; indentation is width × level
    // blanks. Target: the open stream when given; else the named file, replaced as a whole
    // only when all of it was written; else standard output. False when a text cannot be
    // written or the output fails (a file that cannot be replaced keeps its old content).
    bool WriteText(const char* fileName, int indentWidth = 3, int level = 0,
                   std::FILE* stream = nullptr) const;
    // The compact form into a string: values as name=value. False when a text cannot be
    // written (the string then holds everything up to it).
    bool WriteStream(std::string& out, int indentWidth = 0, int level = 0) const;
    // The compact form without indentation in a new buffer of exactly the text's length (no
    // terminator). False for a null out pointer, an empty text or a text that cannot be
    // written; the size is set whenever both pointers are given.
    bool SaveToMemory(std::unique_ptr<char[]>* buffer, uint32_t* size) const;

    // ---- Binary form (cfg_binary.cpp; layout and streams in cfg_binary.h). Key 0 = plain. ----

    // The whole file to the open stream when given, else replaces the named file as a
    // whole. The tree is not changed, so saving twice gives the same bytes.
    bool SaveBinaryFile(const char* fileName, uint8_t key, std::FILE* stream = nullptr) const;
    bool SaveBinary(std::vector<uint8_t>& out, uint8_t key) const;
    // True after a complete read. Every count and length is checked against the bytes left
    // and nesting is bounded; on failure what was read before stays in the node.
    bool LoadBinaryFile(const char* fileName, uint8_t key);
    bool LoadBinary(const uint8_t* data, size_t size, uint8_t key);

    // The node's own running stream over bytes in place (the seed advances); a count below
    // 1, or an empty text, does nothing. Return the same pointer.
    uint8_t* ScrambleBuffer(uint8_t* bytes, int32_t count);
    char* ScrambleString(char* text);
    uint32_t GetSeed() const { return m_seed; }
    void SetSeed(uint32_t seed) { m_seed = seed; }

    // Bytes of every entry name and value text here and in all children.
    uint64_t TextLength() const;
    // An estimate of the bytes this node holds (the children by their text length).
    uint64_t MemorySize() const;

private:
    // The node where the path ends and the name it ends with; null when an intermediate
    // object is missing.
    const GCfgNode* WalkPath(std::string_view path, std::string_view& last) const;
    GCfgValueList& ValueListFor(std::string_view name);
    GCfgNodeList& ObjectListFor(std::string_view name);

    friend class GCfgTextReader;
    friend class GCfgBinaryReader;

    GCfgValueMap m_values;
    GCfgObjectMap m_objects;
    uint32_t m_seed;
};
