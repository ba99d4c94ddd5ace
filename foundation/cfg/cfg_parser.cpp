// The cfg text reader. It reads the text through a cursor over [begin, end) and never writes
// into it, so read-only and unterminated buffers are fine. An object's closing brace is found
// by the same tokenizer that reads its body, so braces inside quoted texts and comments do
// not count.

#include "foundation/cfg/cfg_parser.h"

#include <cstring>
#include <new>

#include "foundation/cfg/cfg_node.h"
#include "platform/files/file_system.h"

namespace {

// ReadToken's answer when only blanks and comments are left.
constexpr int32_t kNoTokenAtEnd = -1;

struct Cursor {
    const char* pos;
    const char* end;
};

// Skips blanks, separators and comments. Line feeds between tokens are counted when asked;
// the scan for an object's end passes over text that is counted when its body is read.
void SkipBlanks(Cursor& c, bool countLines)
{
    while (c.pos < c.end) {
        const unsigned char b = static_cast<unsigned char>(*c.pos);
        if (CfgIsBlank(b)) {
            if (b == '\n' && countLines)
                ++CfgLineNumber;
            ++c.pos;
            continue;
        }
        const bool hasNext = c.pos + 1 < c.end;
        if (b == '#' || (b == '/' && hasNext && c.pos[1] == '/')) {
            while (c.pos < c.end && *c.pos != '\r' && *c.pos != '\n')
                ++c.pos;
            while (c.pos < c.end && (*c.pos == '\r' || *c.pos == '\n')) {
                if (*c.pos == '\n' && countLines)
                    ++CfgLineNumber;
                ++c.pos;
            }
            continue;
        }
        if (b == '/' && hasNext && c.pos[1] == '*') {
            // Block comments nest; an unclosed one runs to the end.
            c.pos += 2;
            size_t level = 1;
            while (c.pos < c.end && level > 0) {
                if (c.pos + 1 < c.end && c.pos[0] == '/' && c.pos[1] == '*') {
                    ++level;
                    c.pos += 2;
                } else if (c.pos + 1 < c.end && c.pos[0] == '*' && c.pos[1] == '/') {
                    --level;
                    c.pos += 2;
                } else {
                    ++c.pos;
                }
            }
            continue;
        }
        return;
    }
}

// Skips blanks, reads one token and skips the blanks after it. Returns 0, kNoTokenAtEnd,
// or an error (5, 12, 13) with the cursor on the byte that could not start a token.
int32_t ReadToken(Cursor& c, std::string_view& token, bool countLines)
{
    SkipBlanks(c, countLines);
    if (c.pos == c.end)
        return kNoTokenAtEnd;
    const unsigned char first = static_cast<unsigned char>(*c.pos);
    if (first == '"' || first == '\'') {
        const char* open = c.pos + 1;
        const void* close = std::memchr(open, first, static_cast<size_t>(c.end - open));
        if (!close)
            return first == '"' ? kCfgDoubleQuoteNotClosed : kCfgSingleQuoteNotClosed;
        token = std::string_view(open, static_cast<size_t>(static_cast<const char*>(close) - open));
        c.pos = static_cast<const char*>(close) + 1;
    } else if (CfgIsBareFirst(first)) {
        const char* p = c.pos + 1;
        while (p < c.end && CfgIsBareNext(static_cast<unsigned char>(*p)))
            ++p;
        token = std::string_view(c.pos, static_cast<size_t>(p - c.pos));
        c.pos = p;
    } else {
        return kCfgNoName;
    }
    SkipBlanks(c, countLines);
    return kCfgOk;
}

// From just inside an object's '{', finds its '}' with the tokenizer's rules. 0 with close
// set, 6 when the text ends first, or 12/13 when a quoted text in the body is left open.
int32_t FindObjectEnd(const char* begin, const char* end, const char*& close)
{
    Cursor c{begin, end};
    size_t level = 1;
    for (;;) {
        SkipBlanks(c, false);
        if (c.pos == c.end)
            return kCfgObjectNotClosed;
        const unsigned char b = static_cast<unsigned char>(*c.pos);
        if (b == '{') {
            ++level;
            ++c.pos;
        } else if (b == '}') {
            if (--level == 0) {
                close = c.pos;
                return kCfgOk;
            }
            ++c.pos;
        } else if (b == '"' || b == '\'' || CfgIsBareFirst(b)) {
            std::string_view token;
            const int32_t error = ReadToken(c, token, false);
            if (error != kCfgOk)
                return error;
        } else {
            ++c.pos;
        }
    }
}

bool IsValueEnd(char b) { return b == '=' || b == ':' || b == '{' || b == '['; }

} // namespace

// Reads the grammar into nodes. The object at depth d is read from its own range; only the
// top range (depth 0) ends at the end of the text, which an open array may reach.
class GCfgTextReader {
public:
    static int32_t ParseRange(GCfgNode& node, const char* begin, const char* end, int depth)
    {
        Cursor c{begin, end};
        for (;;) {
            std::string_view name;
            int32_t error = ReadToken(c, name, true);
            if (error == kNoTokenAtEnd)
                return kCfgOk;
            if (error != kCfgOk)
                return error;
            if (c.pos < c.end && (*c.pos == '=' || *c.pos == ':')) {
                ++c.pos;
                SkipBlanks(c, true);
            }
            if (c.pos == c.end)
                return kCfgOk; // a last name without a value stores nothing
            if (*c.pos == '{') {
                error = ReadObject(node, name, c, depth);
            } else if (*c.pos == '[') {
                error = ReadArray(node, name, c, depth);
            } else {
                std::string_view value;
                error = ReadToken(c, value, true);
                if (error != kCfgOk)
                    return error;
                // An empty quoted text as a single value stores nothing.
                if (!value.empty() && !value.starts_with("\"\""))
                    node.ValueListFor(name).emplace_back(value);
                if (c.pos < c.end && IsValueEnd(*c.pos))
                    return kCfgWrongFormat;
            }
            if (error != kCfgOk)
                return error;
        }
    }

private:
    static int32_t ReadObject(GCfgNode& node, std::string_view name, Cursor& c, int depth)
    {
        if (depth + 1 > kCfgMaxDepth)
            return kCfgWrongFormat;
        ++c.pos;
        SkipBlanks(c, true);
        if (c.pos < c.end && *c.pos == '}') {
            // An empty object stores nothing, not even its name: existing files rely on
            // "o { }" leaving HasObject("o") false.
            ++c.pos;
            return kCfgOk;
        }
        const char* close = nullptr;
        const int32_t error = FindObjectEnd(c.pos, c.end, close);
        if (error != kCfgOk)
            return error;
        GCfgNodeList& children = node.ObjectListFor(name);
        children.emplace_back();
        // The list is not touched while the child is read, so the reference holds.
        GCfgNode& child = children.back();
        const int32_t bodyError = ParseRange(child, c.pos, close, depth + 1);
        if (bodyError != kCfgOk)
            return bodyError;
        c.pos = close + 1;
        return kCfgOk;
    }

    static int32_t ReadArray(GCfgNode& node, std::string_view name, Cursor& c, int depth)
    {
        ++c.pos;
        // The entry exists even for [], so an empty list written as [] reads back.
        GCfgValueList& list = node.ValueListFor(name);
        for (;;) {
            std::string_view token;
            if (ReadToken(c, token, true) != kCfgOk)
                break;
            list.emplace_back(token);
        }
        if (c.pos == c.end)
            return depth == 0 ? kCfgOk : kCfgArrayNotClosed;
        if (*c.pos != ']')
            return kCfgArrayNotClosed;
        ++c.pos;
        return kCfgOk;
    }
};

int CfgIsBareToken(std::string_view text)
{
    if (text.empty() || !CfgIsBareFirst(static_cast<unsigned char>(text[0])))
        return 0;
    if (text.starts_with("//") || text.starts_with("/*"))
        return 0;
    for (size_t i = 1; i < text.size(); ++i) {
        if (!CfgIsBareNext(static_cast<unsigned char>(text[i])))
            return 0;
    }
    return 1;
}

int32_t CfgReadWholeFile(const char* fileName, std::unique_ptr<char[]>& data, size_t& size)
{
    data.reset();
    size = 0;
    if (!fileName)
        return kCfgCannotOpen;
    std::FILE* file = platform::OpenFile(fileName, "rb");
    if (!file)
        return kCfgCannotOpen;
    int32_t result = kCfgOk;
    const int64_t length = platform::GetFileSize(file);
    if (length < 0) {
        result = kCfgCannotRead;
    } else if (length == 0) {
        result = kCfgEmptyFile;
    } else if (static_cast<uint64_t>(length) > SIZE_MAX - 1) {
        result = kCfgNoMemory;
    } else {
        size = static_cast<size_t>(length);
        data.reset(new (std::nothrow) char[size]);
        if (!data)
            result = kCfgNoMemory;
        else if (std::fread(data.get(), 1, size, file) != size)
            result = kCfgCannotRead;
    }
    std::fclose(file);
    if (result != kCfgOk)
        data.reset();
    return result;
}

int32_t GCfgNode::ParseText(const char* begin, const char* end)
{
    int32_t code = kCfgOk;
    if (begin && end && begin < end)
        code = GCfgTextReader::ParseRange(*this, begin, end, 0);
    CfgErrorCode = code;
    return code;
}

int GCfgNode::Parse(const char* text, size_t length)
{
    if (!text || length == 0)
        return 0;
    return ParseText(text, text + length) == kCfgOk ? 1 : 0;
}

int GCfgNode::LoadFile(const char* fileName)
{
    CfgLineNumber = 1;
    std::unique_ptr<char[]> data;
    size_t size = 0;
    const int32_t readResult = CfgReadWholeFile(fileName, data, size);
    if (readResult != kCfgOk) {
        CfgErrorCode = readResult;
        return 0;
    }
    return ParseText(data.get(), data.get() + size) == kCfgOk ? 1 : 0;
}
