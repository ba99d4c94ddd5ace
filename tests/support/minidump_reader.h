#pragma once
// A strict reader of the minidump files the crash handler writes, written from the format's
// definition independently of the writer: every offset and size is checked against the file
// before it is read, and whatever does not hold is reported as an error text.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/temp_files.h"

namespace minidump_test {

struct Stream {
    uint32_t type = 0, size = 0, rva = 0;
};
struct Memory {
    uint64_t start = 0;
    uint32_t size = 0, rva = 0;
};

struct Module {
    uint64_t base = 0;
    uint32_t size = 0;
    std::u16string name;
    std::vector<uint8_t> buildId; // from a "BpEL" record
};

struct Dump {
    uint32_t version = 0;
    uint64_t flags = 0;
    std::vector<Stream> streams;
    // System info.
    uint16_t architecture = 0;
    uint32_t platformId = 0;
    uint8_t processors = 0;
    std::u16string csdVersion;
    uint32_t exceptionThread = 0, exceptionCode = 0, exceptionFlags = 0;
    uint64_t exceptionAddress = 0;
    uint64_t exceptionNested = 0; // the address of a chained record; 0 for none
    uint32_t exceptionParameters = 0;
    // The first thread of the list, and its context.
    uint32_t threadCount = 0, threadId = 0;
    Memory threadStack;
    uint32_t contextFlags = 0, contextRva = 0;
    uint64_t rip = 0, rsp = 0;
    std::vector<Module> modules;
    std::vector<Memory> memory;
    std::vector<uint8_t> bytes;

    // The bytes at a memory address the dump holds, or empty.
    std::vector<uint8_t> Read(uint64_t address, size_t n) const
    {
        for (const Memory& m : memory)
            if (address >= m.start && address + n <= m.start + m.size)
                return {bytes.begin() + m.rva + (address - m.start),
                        bytes.begin() + m.rva + (address - m.start) + n};
        return {};
    }
    // The stack copy starts at most a red zone (128 bytes) below the stack pointer and holds it.
    bool StackCoversStackPointer() const
    {
        return threadStack.start <= rsp && rsp - threadStack.start <= 128 &&
               threadStack.start + threadStack.size > rsp;
    }
    const Stream* Find(uint32_t type) const
    {
        for (const Stream& s : streams)
            if (s.type == type)
                return &s;
        return nullptr;
    }
};

class Reader {
public:
    explicit Reader(std::vector<uint8_t> bytes) { m_dump.bytes = std::move(bytes); }

    // Empty when the file is a valid dump of what the writer promises; else the first error.
    std::string Parse()
    {
        if (m_dump.bytes.size() < 32)
            return "shorter than a header";
        if (U32(0) != 0x504D444D)
            return "bad signature";
        m_dump.version = U32(4);
        if ((m_dump.version & 0xFFFF) != 0xA793)
            return "bad version";
        const uint32_t count = U32(8), directory = U32(12);
        m_dump.flags = U64(24);
        if (!InFile(directory, uint64_t(count) * 12))
            return "directory outside the file";
        for (uint32_t i = 0; i < count; ++i) {
            Stream s{U32(directory + 12 * i), U32(directory + 12 * i + 4), U32(directory + 12 * i + 8)};
            if (!InFile(s.rva, s.size))
                return "stream " + std::to_string(s.type) + " outside the file";
            for (const Stream& other : m_dump.streams)
                if (other.type == s.type)
                    return "stream " + std::to_string(s.type) + " twice";
            m_dump.streams.push_back(s);
        }
        for (uint32_t type : {3u, 4u, 5u, 6u, 7u})
            if (!m_dump.Find(type))
                return "stream " + std::to_string(type) + " missing";
        std::string error;
        if ((error = ParseSystemInfo(*m_dump.Find(7))).empty() && (error = ParseMemoryList(*m_dump.Find(5))).empty() &&
            (error = ParseThreadList(*m_dump.Find(3))).empty() && (error = ParseException(*m_dump.Find(6))).empty())
            error = ParseModuleList(*m_dump.Find(4));
        return error;
    }

    Dump TakeDump() { return std::move(m_dump); }

private:
    bool InFile(uint64_t rva, uint64_t size) const { return rva <= m_dump.bytes.size() && size <= m_dump.bytes.size() - rva; }
    uint16_t U16(uint64_t at) const { uint16_t v; std::memcpy(&v, &m_dump.bytes[at], 2); return v; }
    uint32_t U32(uint64_t at) const { uint32_t v; std::memcpy(&v, &m_dump.bytes[at], 4); return v; }
    uint64_t U64(uint64_t at) const { uint64_t v; std::memcpy(&v, &m_dump.bytes[at], 8); return v; }

    bool String(uint32_t rva, std::u16string& out) const
    {
        if (rva == 0 || !InFile(rva, 4))
            return false;
        uint32_t length = U32(rva);
        if (length % 2 != 0 || !InFile(uint64_t(rva) + 4, uint64_t(length) + 2))
            return false;
        out.clear();
        for (uint32_t i = 0; i < length; i += 2)
            out.push_back(static_cast<char16_t>(U16(uint64_t(rva) + 4 + i)));
        return U16(uint64_t(rva) + 4 + length) == 0;
    }

    std::string ParseSystemInfo(const Stream& s)
    {
        if (s.size < 56)
            return "system info too small";
        m_dump.architecture = U16(s.rva);
        m_dump.processors = m_dump.bytes[s.rva + 6];
        m_dump.platformId = U32(s.rva + 20);
        if (!String(U32(s.rva + 24), m_dump.csdVersion))
            return "system info: bad version text";
        return {};
    }

    std::string ParseContext(uint32_t size, uint32_t rva)
    {
        if (size != 1232 || !InFile(rva, size))
            return "context: bad location";
        m_dump.contextFlags = U32(rva + 0x30);
        m_dump.contextRva = rva;
        if ((m_dump.contextFlags & 0x00100000) == 0)
            return "context: not an x86-64 context";
        m_dump.rsp = U64(rva + 0x78 + 4 * 8);
        m_dump.rip = U64(rva + 0xF8);
        return {};
    }

    std::string ParseThreadList(const Stream& s)
    {
        if (s.size < 4)
            return "thread list too small";
        m_dump.threadCount = U32(s.rva);
        if (uint64_t(m_dump.threadCount) * 48 + 4 > s.size || m_dump.threadCount == 0)
            return "thread list: bad count";
        uint64_t t = s.rva + 4;
        m_dump.threadId = U32(t);
        m_dump.threadStack = Memory{U64(t + 24), U32(t + 32), U32(t + 36)};
        if (!InFile(m_dump.threadStack.rva, m_dump.threadStack.size))
            return "thread stack outside the file";
        if (std::string error = ParseContext(U32(t + 40), U32(t + 44)); !error.empty())
            return "thread " + error;
        if (m_dump.threadStack.size == 0)
            return "thread without stack memory";
        bool listed = false;
        for (const Memory& m : m_dump.memory)
            listed |= m.start == m_dump.threadStack.start && m.size == m_dump.threadStack.size &&
                      m.rva == m_dump.threadStack.rva;
        if (!listed)
            return "thread stack not in the memory list";
        return {};
    }

    std::string ParseException(const Stream& s)
    {
        if (s.size < 168)
            return "exception stream too small";
        m_dump.exceptionThread = U32(s.rva);
        m_dump.exceptionCode = U32(s.rva + 8);
        m_dump.exceptionFlags = U32(s.rva + 12);
        m_dump.exceptionAddress = U64(s.rva + 24);
        m_dump.exceptionNested = U64(s.rva + 16);
        m_dump.exceptionParameters = U32(s.rva + 32);
        if (U32(s.rva + 32) > 15)
            return "exception: too many parameters";
        const uint64_t savedRip = m_dump.rip;
        if (std::string error = ParseContext(U32(s.rva + 160), U32(s.rva + 164)); !error.empty())
            return "exception " + error;
        if (m_dump.rip != savedRip)
            return "exception and thread contexts differ";
        if (m_dump.exceptionThread != m_dump.threadId)
            return "exception thread is not the listed thread";
        return {};
    }

    std::string ParseModuleList(const Stream& s)
    {
        if (s.size < 4)
            return "module list too small";
        const uint32_t count = U32(s.rva);
        if (uint64_t(count) * 108 + 4 > s.size)
            return "module list: bad count";
        for (uint32_t i = 0; i < count; ++i) {
            uint64_t at = uint64_t(s.rva) + 4 + 108 * uint64_t(i);
            Module m;
            m.base = U64(at);
            m.size = U32(at + 8);
            if (m.size == 0)
                return "module of size 0";
            if (!String(U32(at + 20), m.name))
                return "module name outside the file";
            const uint32_t cvSize = U32(at + 76), cvRva = U32(at + 80);
            if (cvSize && (!InFile(cvRva, cvSize) || cvSize < 4))
                return "module record outside the file";
            if (cvSize && U32(cvRva) == 0x4270454C)
                m.buildId.assign(m_dump.bytes.begin() + cvRva + 4, m_dump.bytes.begin() + cvRva + cvSize);
            for (const Module& other : m_dump.modules)
                if (m.base < other.base + other.size && other.base < m.base + m.size)
                    return "modules overlap";
            m_dump.modules.push_back(std::move(m));
        }
        return {};
    }

    std::string ParseMemoryList(const Stream& s)
    {
        if (s.size < 4)
            return "memory list too small";
        uint32_t count = U32(s.rva);
        if (uint64_t(count) * 16 + 4 > s.size)
            return "memory list: bad count";
        for (uint32_t i = 0; i < count; ++i) {
            uint64_t at = uint64_t(s.rva) + 4 + 16 * uint64_t(i);
            Memory m{U64(at), U32(at + 8), U32(at + 12)};
            if (!InFile(m.rva, m.size))
                return "memory range outside the file";
            for (const Memory& other : m_dump.memory)
                if (m.start < other.start + other.size && other.start < m.start + m.size)
                    return "memory ranges overlap";
            m_dump.memory.push_back(m);
        }
        return {};
    }

    Dump m_dump;
};

// Reads and checks a dump file: "" when it holds, else what is wrong. The parsed dump goes to
// out when given.
inline std::string ParseDumpFile(const std::string& path, Dump* out = nullptr)
{
    Reader reader(tolvanrise::test::ReadFileByteVector(path));
    std::string error = reader.Parse();
    if (out)
        *out = reader.TakeDump();
    return error;
}

} // namespace minidump_test
