// Cfg text writers. The text is built in memory first, so a file is replaced only by a
// complete text and a text that cannot be written leaves every target untouched.

#include "foundation/cfg/cfg_writer.h"

#include <cstring>
#include <new>

#include "foundation/cfg/cfg_node.h"
#include "foundation/cfg/cfg_parser.h"
#include "platform/files/file_system.h"

namespace {

// The reader skips a single value that is empty or starts with two double quotes; such a
// value goes out as a one-element list, which keeps it.
bool StandsAlone(const GCfgValue& value)
{
    return !value.IsEmpty() && !value.View().starts_with("\"\"");
}

// compact: "name=value" (the stream form) instead of "name = value". Trees nested deeper
// than the reader accepts are refused.
bool WriteNode(const GCfgNode& node, std::string& out, int width, int level, bool compact,
               int depth = 0)
{
    if (depth > kCfgMaxDepth)
        return false;
    const size_t indent = width > 0 && level > 0 ? size_t(width) * size_t(level) : 0;
    for (const GCfgValueEntry& entry : node.GetValues()) {
        out.append(indent, ' ');
        if (!CfgAppendText(out, CfgView(entry.first)))
            return false;
        out += compact ? "=" : " = ";
        const GCfgValueList& values = entry.second;
        if (values.size() == 1 && StandsAlone(values.front())) {
            if (!CfgAppendText(out, values.front().View()))
                return false;
        } else {
            // An empty list is written as [] so that the entry itself reads back.
            out += '[';
            for (size_t i = 0; i < values.size(); ++i) {
                if (i)
                    out += ", ";
                if (!CfgAppendText(out, values[i].View()))
                    return false;
            }
            out += ']';
        }
        out += '\n';
    }
    for (const GCfgObjectEntry& entry : node.GetObjects()) {
        for (const GCfgNode& child : entry.second) {
            out.append(indent, ' ');
            if (!CfgAppendText(out, CfgView(entry.first)))
                return false;
            // A child without values or objects goes out as "name = {}" too, but the reader
            // stores nothing for an empty object: such a child does not read back.
            out += " = {\n";
            if (!WriteNode(child, out, width, level + 1, compact, depth + 1))
                return false;
            out.append(indent, ' ');
            out += "}\n";
        }
    }
    return true;
}

bool WriteAll(std::FILE* stream, const std::string& text)
{
    if (text.empty())
        return true;
    return std::fwrite(text.data(), 1, text.size(), stream) == text.size();
}

} // namespace

bool CfgAppendText(std::string& out, std::string_view text)
{
    if (CfgIsBareToken(text)) {
        out += text;
        return true;
    }
    char quote = '"';
    if (text.find('"') != std::string_view::npos) {
        if (text.find('\'') != std::string_view::npos)
            return false;
        quote = '\'';
    }
    out += quote;
    out += text;
    out += quote;
    return true;
}

bool GCfgNode::WriteText(const char* fileName, int indentWidth, int level, std::FILE* stream) const
{
    std::string text;
    if (!WriteNode(*this, text, indentWidth, level, false))
        return false;
    if (stream)
        return WriteAll(stream, text);
    if (fileName)
        return platform::ReplaceFile(fileName, text.data(), text.size()) ==
               platform::ReplaceResult::kReplaced;
    return WriteAll(stdout, text) && std::fflush(stdout) == 0;
}

bool GCfgNode::WriteStream(std::string& out, int indentWidth, int level) const
{
    return WriteNode(*this, out, indentWidth, level, true);
}

bool GCfgNode::SaveToMemory(std::unique_ptr<char[]>* buffer, uint32_t* size) const
{
    if (!buffer || !size)
        return false;
    buffer->reset();
    *size = 0;
    std::string text;
    if (!WriteNode(*this, text, 0, 0, true) || text.empty() || text.size() > UINT32_MAX)
        return false;
    buffer->reset(new (std::nothrow) char[text.size()]);
    if (!*buffer)
        return false;
    std::memcpy(buffer->get(), text.data(), text.size());
    *size = static_cast<uint32_t>(text.size());
    return true;
}
