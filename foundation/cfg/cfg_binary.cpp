// The binary cfg form: writer and bounds-checked reader.

#include "foundation/cfg/cfg_binary.h"

#include <cstring>
#include <string>
#include <string_view>

#include "foundation/cfg/cfg_node.h"
#include "foundation/cfg/cfg_parser.h"
#include "foundation/core/random.h"
#include "platform/files/file_system.h"

void CfgScramble(uint8_t* bytes, size_t count, uint32_t& seed)
{
    // GRandom::Next() is bits 16..30 of the new seed; its low byte is bits 16..23.
    GRandom stream(seed);
    for (size_t i = 0; i < count; ++i)
        bytes[i] ^= static_cast<uint8_t>(stream.Next());
    seed = stream.GetSeed();
}

namespace {

class BinaryWriter {
public:
    BinaryWriter(std::vector<uint8_t>& out, bool scramble) : m_out(out), m_scramble(scramble) {}

    bool WriteNode(const GCfgNode& node, uint32_t seed, int depth)
    {
        if (depth > kCfgMaxDepth)
            return false;
        if (!WriteCount(node.GetValues().size()))
            return false;
        for (const GCfgValueEntry& entry : node.GetValues()) {
            if (!WriteText(CfgView(entry.first), seed) || !WriteCount(entry.second.size()))
                return false;
            for (const GCfgValue& value : entry.second) {
                if (!WriteText(value.View(), seed))
                    return false;
            }
        }
        if (!WriteCount(node.GetObjects().size()))
            return false;
        uint32_t childNumber = 0;
        for (const GCfgObjectEntry& entry : node.GetObjects()) {
            if (!WriteText(CfgView(entry.first), seed) || !WriteCount(entry.second.size()))
                return false;
            for (const GCfgNode& child : entry.second) {
                if (!WriteNode(child, CfgChildSeed(seed, childNumber++), depth + 1))
                    return false;
            }
        }
        return true;
    }

private:
    bool WriteCount(size_t n)
    {
        if (n > UINT32_MAX)
            return false;
        const uint32_t v = static_cast<uint32_t>(n);
        const uint8_t bytes[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        m_out.insert(m_out.end(), bytes, bytes + 4);
        return true;
    }

    bool WriteText(std::string_view text, uint32_t& seed)
    {
        if (!WriteCount(text.size()))
            return false;
        const size_t at = m_out.size();
        m_out.insert(m_out.end(), text.begin(), text.end());
        if (m_scramble)
            CfgScramble(m_out.data() + at, text.size(), seed);
        return true;
    }

    std::vector<uint8_t>& m_out;
    bool m_scramble;
};

} // namespace

// Reads nodes from a byte range; every count and length is checked against the bytes left
// before anything is allocated for it.
class GCfgBinaryReader {
public:
    GCfgBinaryReader(const uint8_t* data, size_t size, bool scramble)
        : m_pos(data), m_left(size), m_scramble(scramble)
    {
    }

    bool ReadNode(GCfgNode& node, uint32_t seed, int depth)
    {
        if (depth > kCfgMaxDepth)
            return false;
        if (m_scramble)
            node.m_seed = seed;
        // Every entry takes at least its name length and its list count (8 bytes), every
        // value at least its length (4), every child at least its two entry counts (8).
        uint32_t entries = 0;
        if (!ReadCount(entries, 8))
            return false;
        for (uint32_t i = 0; i < entries; ++i) {
            uint32_t count = 0;
            if (!ReadText(m_name, seed) || !ReadCount(count, 4))
                return false;
            GCfgValueList& list = node.ValueListFor(m_name);
            for (uint32_t k = 0; k < count; ++k) {
                if (!ReadText(m_text, seed))
                    return false;
                list.emplace_back(m_text);
            }
        }
        if (!ReadCount(entries, 8))
            return false;
        uint32_t childNumber = 0;
        for (uint32_t i = 0; i < entries; ++i) {
            uint32_t count = 0;
            if (!ReadText(m_name, seed) || !ReadCount(count, 8))
                return false;
            GCfgNodeList& children = node.ObjectListFor(m_name);
            for (uint32_t k = 0; k < count; ++k) {
                // The list is not touched while the child is read, so the reference holds.
                GCfgNode& child = children.emplace_back();
                if (!ReadNode(child, CfgChildSeed(seed, childNumber++), depth + 1))
                    return false;
            }
        }
        return true;
    }

private:
    bool ReadU32(uint32_t& v)
    {
        if (m_left < 4)
            return false;
        v = uint32_t(m_pos[0]) | uint32_t(m_pos[1]) << 8 | uint32_t(m_pos[2]) << 16 |
            uint32_t(m_pos[3]) << 24;
        m_pos += 4;
        m_left -= 4;
        return true;
    }

    // A count of items that need at least minBytes each.
    bool ReadCount(uint32_t& count, size_t minBytes)
    {
        return ReadU32(count) && count <= m_left / minBytes;
    }

    bool ReadText(std::string& text, uint32_t& seed)
    {
        uint32_t length = 0;
        if (!ReadU32(length) || length > m_left)
            return false;
        text.assign(reinterpret_cast<const char*>(m_pos), length);
        m_pos += length;
        m_left -= length;
        if (m_scramble && length)
            CfgScramble(reinterpret_cast<uint8_t*>(text.data()), length, seed);
        return true;
    }

    const uint8_t* m_pos;
    size_t m_left;
    bool m_scramble;
    std::string m_name; // scratch, reused for every name
    std::string m_text;
};

bool GCfgNode::SaveBinary(std::vector<uint8_t>& out, uint8_t key) const
{
    out.assign(kCfgBinaryMagic, kCfgBinaryMagic + sizeof kCfgBinaryMagic);
    BinaryWriter writer(out, key != 0);
    if (writer.WriteNode(*this, key, 0))
        return true;
    out.clear();
    return false;
}

bool GCfgNode::SaveBinaryFile(const char* fileName, uint8_t key, std::FILE* stream) const
{
    if (!stream && !fileName)
        return false;
    std::vector<uint8_t> bytes;
    if (!SaveBinary(bytes, key))
        return false;
    if (stream)
        return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
    return platform::ReplaceFile(fileName, bytes.data(), bytes.size()) ==
           platform::ReplaceResult::kReplaced;
}

bool GCfgNode::LoadBinary(const uint8_t* data, size_t size, uint8_t key)
{
    if (!data || size < sizeof kCfgBinaryMagic ||
        std::memcmp(data, kCfgBinaryMagic, sizeof kCfgBinaryMagic) != 0)
        return false;
    GCfgBinaryReader reader(data + sizeof kCfgBinaryMagic, size - sizeof kCfgBinaryMagic, key != 0);
    return reader.ReadNode(*this, key, 0);
}

bool GCfgNode::LoadBinaryFile(const char* fileName, uint8_t key)
{
    std::unique_ptr<char[]> data;
    size_t size = 0;
    if (CfgReadWholeFile(fileName, data, size) != kCfgOk)
        return false;
    return LoadBinary(reinterpret_cast<const uint8_t*>(data.get()), size, key);
}

uint8_t* GCfgNode::ScrambleBuffer(uint8_t* bytes, int32_t count)
{
    if (bytes && count > 0)
        CfgScramble(bytes, static_cast<size_t>(count), m_seed);
    return bytes;
}

char* GCfgNode::ScrambleString(char* text)
{
    if (text && *text)
        CfgScramble(reinterpret_cast<uint8_t*>(text), std::strlen(text), m_seed);
    return text;
}
