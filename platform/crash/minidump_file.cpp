#include "platform/crash/minidump_state.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

using namespace minidump;

void MinidumpWriter::State::WriteAll(const uint8_t* data, size_t size)
{
    size_t done = 0;
    while (done < size && !failed) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            failed = true;
        else
            done += static_cast<size_t>(n);
    }
}

void MinidumpWriter::State::Flush()
{
    WriteAll(out, outUsed);
    outUsed = 0;
}

void MinidumpWriter::State::Put(const void* data, size_t size)
{
    const uint8_t* p = static_cast<const uint8_t*>(data);
    position += size;
    while (size > 0) {
        if (outUsed == sizeof out)
            Flush();
        size_t n = sizeof out - outUsed < size ? sizeof out - outUsed : size;
        std::memcpy(out + outUsed, p, n);
        outUsed += n;
        p += n;
        size -= n;
    }
}

void MinidumpWriter::State::PutZeros(uint64_t size)
{
    static const uint8_t zeros[256] = {};
    while (size > 0) {
        size_t n = size < sizeof zeros ? size_t(size) : sizeof zeros;
        Put(zeros, n);
        size -= n;
    }
}

void MinidumpWriter::State::PadTo(uint64_t rva)
{
    if (rva > position)
        PutZeros(rva - position);
}

// MINIDUMP_STRING: byte length, UTF-16 text, a terminating zero unit not counted.
void MinidumpWriter::State::PutUtf16String(const char* s, size_t n)
{
    Put32(static_cast<uint32_t>(Utf16Units(s, n) * 2));
    for (size_t i = 0; i < n;) {
        uint32_t cp = NextCodePoint(s, n, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            Put16(uint16_t(0xD800 + (cp >> 10)));
            Put16(uint16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            Put16(uint16_t(cp));
        }
    }
    Put16(0);
}

// Memory that has gone unreadable since the capture is written as zero pages, so offsets in
// the file stay as laid out.
void MinidumpWriter::State::PutMemory(uint64_t address, uint64_t size)
{
    Flush();
    while (size > 0 && !failed) {
        size_t want = size < sizeof scratch ? size_t(size) : sizeof scratch;
        size_t got = SafeRead(scratch, address, want);
        if (got < want) {
            uint64_t pageEnd = ((address + got) & ~(kPage - 1)) + kPage;
            size_t zeroed = size_t(pageEnd - (address + got));
            if (got + zeroed > want)
                zeroed = want - got;
            std::memset(scratch + got, 0, zeroed);
            got += zeroed;
        }
        WriteAll(scratch, got);
        position += got;
        address += got;
        size -= got;
    }
}

bool MinidumpWriter::State::LayOut(Layout& at)
{
    uint64_t rva = kHeaderSize;
    at.directory = rva;
    rva = AlignUp(rva + kStreamCount * kDirectoryEntrySize, 8);
    at.systemInfo = rva;
    at.csd = rva + kSystemInfoSize;
    rva = AlignUp(at.csd + 4 + 2 * csdUnits + 2, 8);
    at.exception = rva;
    rva = AlignUp(rva + kExceptionStreamSize, 8);
    at.threadList = rva;
    at.threadListSize = 4 + kThreadSize;
    rva = AlignUp(rva + at.threadListSize, 8);
    at.context = rva;
    rva = AlignUp(rva + kContextSize, 8);
    at.moduleList = rva;
    at.moduleListSize = 4 + kModuleSize * moduleCount;
    rva += at.moduleListSize;
    for (size_t i = 0; i < moduleCount; ++i) {
        ModuleEntry& module = modules[i];
        rva = AlignUp(rva, 4);
        module.nameRva = rva;
        rva += 4 + 2 * Utf16Units(PathOf(module.pathOffset), module.pathLength) + 2;
        rva = AlignUp(rva, 4);
        module.cvRva = module.buildIdLength ? rva : 0;
        rva += module.buildIdLength ? 4 + module.buildIdLength : 0;
    }
    rva = AlignUp(rva, 8);
    at.memoryList = rva;
    at.memoryCount = (stackSize ? 1 : 0) + rangeCount;
    at.memoryListSize = 4 + kMemoryDescriptorSize * at.memoryCount;
    rva = AlignUp(rva + at.memoryListSize, 16);
    at.stack = rva;
    rva = AlignUp(rva + stackSize, 16);
    for (size_t i = 0; i < rangeCount; ++i) {
        ranges[i].rva = rva;
        rva = AlignUp(rva + ranges[i].size, 16);
    }
    return rva <= UINT32_MAX;
}

void MinidumpWriter::State::WriteHeader(const Layout& at, MinidumpKind kind)
{
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    Put32(kSignature);
    Put32(kVersion);
    Put32(kStreamCount);
    Put32(static_cast<uint32_t>(at.directory));
    Put32(0); // checksum
    Put32(static_cast<uint32_t>(now.tv_sec));
    Put64(kind == MinidumpKind::WithFullMemory ? kTypeWithFullMemory
          : kind == MinidumpKind::WithDataSegs ? kTypeWithDataSegs
                                               : kTypeNormal);

    const uint64_t streams[kStreamCount][3] = {
        {kSystemInfoStream, kSystemInfoSize, at.systemInfo},
        {kExceptionStream, kExceptionStreamSize, at.exception},
        {kThreadListStream, at.threadListSize, at.threadList},
        {kModuleListStream, at.moduleListSize, at.moduleList},
        {kMemoryListStream, at.memoryListSize, at.memoryList},
    };
    PadTo(at.directory);
    for (const auto& stream : streams) {
        Put32(static_cast<uint32_t>(stream[0]));
        PutLocation(stream[1], stream[2]);
    }
}

// With the kernel's description as the service-pack text.
void MinidumpWriter::State::WriteSystemInfo(const Layout& at)
{
    PadTo(at.systemInfo);
    PutLE32(systemInfo + sysinfo::kCsdVersionRva, static_cast<uint32_t>(at.csd));
    Put(systemInfo, kSystemInfoSize);
    Put32(static_cast<uint32_t>(csdUnits * 2));
    Put(csd, csdUnits * 2);
    Put16(0);
}

// The signal is the code, si_code the flags, si_addr the address.
void MinidumpWriter::State::WriteException(const Layout& at)
{
    PadTo(at.exception);
    Put32(info.threadId);
    Put32(0);
    Put32(static_cast<uint32_t>(info.signal));
    Put32(static_cast<uint32_t>(info.code));
    Put64(0); // no nested record
    Put64(info.faultAddress);
    Put32(0); // no parameters
    Put32(0);
    PutZeros(kExceptionParameters * 8);
    PutLocation(kContextSize, at.context);
}

// The faulting thread alone, followed by its context.
void MinidumpWriter::State::WriteThreadList(const Layout& at)
{
    PadTo(at.threadList);
    Put32(1);
    Put32(info.threadId);
    Put32(0); // suspend count
    Put32(0); // priority class
    Put32(0); // priority
    Put64(0); // thread environment block
    Put64(stackStart);
    PutLocation(stackSize, at.stack);
    PutLocation(kContextSize, at.context);

    PadTo(at.context);
    Put(context, kContextSize);
}

// The records, then each module's name and build id.
void MinidumpWriter::State::WriteModuleList(const Layout& at)
{
    PadTo(at.moduleList);
    Put32(static_cast<uint32_t>(moduleCount));
    for (size_t i = 0; i < moduleCount; ++i) {
        const ModuleEntry& module = modules[i];
        uint64_t size = module.end - module.base;
        Put64(module.base);
        Put32(size > UINT32_MAX ? UINT32_MAX : uint32_t(size));
        Put32(0); // checksum
        Put32(0); // time stamp
        Put32(static_cast<uint32_t>(module.nameRva));
        PutZeros(kVersionInfoSize);
        PutLocation(module.buildIdLength ? 4 + module.buildIdLength : 0, module.cvRva);
        PutLocation(0, 0); // misc record
        Put64(0);
        Put64(0);
    }
    for (size_t i = 0; i < moduleCount; ++i) {
        const ModuleEntry& module = modules[i];
        PadTo(module.nameRva);
        PutUtf16String(PathOf(module.pathOffset), module.pathLength);
        if (module.buildIdLength) {
            PadTo(module.cvRva);
            Put32(kCvSignatureElf);
            Put(module.buildId, module.buildIdLength);
        }
    }
}

// The stack first, then what the kind adds; the descriptors, then the bytes.
void MinidumpWriter::State::WriteMemoryList(const Layout& at)
{
    PadTo(at.memoryList);
    Put32(static_cast<uint32_t>(at.memoryCount));
    if (stackSize) {
        Put64(stackStart);
        PutLocation(stackSize, at.stack);
    }
    for (size_t i = 0; i < rangeCount; ++i) {
        Put64(ranges[i].start);
        PutLocation(ranges[i].size, ranges[i].rva);
    }
    PadTo(at.stack);
    Put(stackCopy, stackSize);
    for (size_t i = 0; i < rangeCount; ++i) {
        PadTo(ranges[i].rva);
        PutMemory(ranges[i].start, ranges[i].size);
    }
}

bool MinidumpWriter::Write(int fd, MinidumpKind kind)
{
    if (!m_state || !m_state->captured || fd < 0)
        return false;
    State& s = *m_state;
    s.fd = fd;
    s.outUsed = 0;
    s.position = 0;
    s.failed = false;
    s.CollectRanges(kind);

    // Lay the file out first; every record then goes out in one forward pass.
    State::Layout at;
    if (!s.LayOut(at))
        return false;
    s.WriteHeader(at, kind);
    s.WriteSystemInfo(at);
    s.WriteException(at);
    s.WriteThreadList(at);
    s.WriteModuleList(at);
    s.WriteMemoryList(at);
    s.Flush();
    return !s.failed;
}

} // namespace platform
