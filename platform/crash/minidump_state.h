#pragma once
// What the minidump writer keeps between Prepare, Capture and Write, shared by the capture
// (minidump_writer.cpp) and the file it writes (minidump_file.cpp): the format's numbers, the
// tables filled inside the handler, and the writer's state. Internal to platform/crash.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/crash/minidump_writer.h"

namespace platform {

namespace minidump {

static_assert(std::endian::native == std::endian::little,
              "the minidump format is little-endian and the writer copies native integers");

// The minidump format: fixed signature and version, stream numbers and record sizes.
constexpr uint32_t kSignature = 0x504D444D; // "MDMP"
constexpr uint32_t kVersion = 0xA793;
constexpr uint32_t kThreadListStream = 3;
constexpr uint32_t kModuleListStream = 4;
constexpr uint32_t kMemoryListStream = 5;
constexpr uint32_t kExceptionStream = 6;
constexpr uint32_t kSystemInfoStream = 7;
constexpr uint32_t kStreamCount = 5;

constexpr uint64_t kHeaderSize = 32;
constexpr uint64_t kDirectoryEntrySize = 12;
constexpr uint64_t kSystemInfoSize = 56;
constexpr uint64_t kExceptionStreamSize = 168;
constexpr uint64_t kThreadSize = 48;
constexpr uint64_t kModuleSize = 108;
constexpr uint64_t kMemoryDescriptorSize = 16;
constexpr uint64_t kContextSize = 1232;       // the x86-64 CONTEXT record
constexpr uint64_t kExceptionParameters = 15; // slots of the exception record, all unused
constexpr uint64_t kVersionInfoSize = 52;     // a module's fixed version record, left empty

// Field offsets of the system-info stream.
namespace sysinfo {
constexpr size_t kArchitecture = 0;
constexpr size_t kLevel = 2;    // processor family
constexpr size_t kRevision = 4; // model << 8 | stepping
constexpr size_t kProcessorCount = 6;
constexpr size_t kProductType = 7;
constexpr size_t kMajorVersion = 8;
constexpr size_t kMinorVersion = 12;
constexpr size_t kBuildNumber = 16;
constexpr size_t kPlatformId = 20;
constexpr size_t kCsdVersionRva = 24;
constexpr size_t kVendorId = 32; // three words, in the register order that spells the name
constexpr size_t kVersionInformation = 44;
constexpr size_t kFeatureInformation = 48;
constexpr size_t kAmdExtendedFeatures = 52;
constexpr uint8_t kWorkstation = 1;
} // namespace sysinfo

// Field offsets of the x86-64 context record.
namespace ctx {
constexpr size_t kFlags = 0x30;
constexpr size_t kMxCsr = 0x34;
constexpr size_t kSegCs = 0x38;
constexpr size_t kSegFs = 0x3E;
constexpr size_t kSegGs = 0x40;
constexpr size_t kSegSs = 0x42;
constexpr size_t kEFlags = 0x44;
// Rax, Rcx, Rdx, Rbx, Rsp, Rbp, Rsi, Rdi, R8 to R15: 8 bytes each.
constexpr size_t kIntegerRegisters = 0x78;
constexpr size_t kRsp = kIntegerRegisters + 4 * 8;
constexpr size_t kRip = 0xF8;
constexpr size_t kFloatSave = 0x100; // the FXSAVE image
constexpr size_t kFloatSaveSize = 512;
} // namespace ctx

constexpr uint16_t kArchitectureAmd64 = 9;
constexpr uint32_t kPlatformLinux = 0x8201;
constexpr uint32_t kContextAmd64 = 0x00100000;
constexpr uint32_t kContextControl = kContextAmd64 | 0x1;
constexpr uint32_t kContextInteger = kContextAmd64 | 0x2;
constexpr uint32_t kContextSegments = kContextAmd64 | 0x4;
constexpr uint32_t kContextFloatingPoint = kContextAmd64 | 0x8;
constexpr uint32_t kCvSignatureElf = 0x4270454C; // "BpEL", followed by the ELF build id

// Header flags: the dump type each kind corresponds to.
constexpr uint64_t kTypeNormal = 0;
constexpr uint64_t kTypeWithDataSegs = 1;
constexpr uint64_t kTypeWithFullMemory = 2;

// Capacities of the tables filled inside the handler; whatever does not fit is left out.
constexpr size_t kMaxMaps = 8192;
constexpr size_t kMaxModules = 1024;
constexpr size_t kMaxRanges = 2048;
constexpr size_t kPathArenaBytes = 512 * 1024;
constexpr size_t kMaxBuildId = 64;
constexpr size_t kMaxCsdUnits = 256;
constexpr size_t kMaxPhdrs = 64;
constexpr size_t kMaxNoteBytes = 4096;
// Extra memory of the larger kinds stays below this so every offset fits the format's 32 bits.
constexpr uint64_t kMaxExtraMemoryLimit = uint64_t(3) << 30;
constexpr uint64_t kPage = 4096;
// The x86-64 ABI lets leaf functions use 128 bytes below the stack pointer.
constexpr uint64_t kRedZone = 128;

enum : uint8_t { kRead = 1, kWrite = 2, kExec = 4, kPrivate = 8 };

struct MapEntry {
    uint64_t start;
    uint64_t end;
    uint64_t offset;
    uint64_t inode;
    uint32_t pathOffset;
    uint16_t pathLength;
    uint8_t perms;
};

struct ModuleEntry {
    uint64_t base;
    uint64_t end;
    uint32_t pathOffset;
    uint16_t pathLength;
    uint8_t buildIdLength;
    uint8_t buildId[kMaxBuildId];
    uint64_t nameRva;
    uint64_t cvRva;
};

struct MemoryRange {
    uint64_t start;
    uint64_t size;
    uint64_t rva;
};

inline void PutLE16(uint8_t* p, uint16_t v)
{
    std::memcpy(p, &v, 2);
}
inline void PutLE32(uint8_t* p, uint32_t v)
{
    std::memcpy(p, &v, 4);
}
inline void PutLE64(uint8_t* p, uint64_t v)
{
    std::memcpy(p, &v, 8);
}

inline uint64_t AlignUp(uint64_t v, uint64_t a)
{
    return (v + a - 1) & ~(a - 1);
}

// Decodes one UTF-8 sequence; a malformed byte stands for itself (as Latin-1), so every path
// gives some name. Returns the code point and advances i.
inline uint32_t NextCodePoint(const char* s, size_t n, size_t& i)
{
    const auto b = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    uint8_t c = b(i);
    size_t len = c < 0x80           ? 1
                 : (c >> 5) == 0x6  ? 2
                 : (c >> 4) == 0xE  ? 3
                 : (c >> 3) == 0x1E ? 4
                                    : 0;
    if (len > 1 && i + len <= n) {
        uint32_t cp = c & (0x7F >> len);
        bool ok = true;
        for (size_t k = 1; k < len; ++k) {
            if ((b(i + k) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (b(i + k) & 0x3F);
        }
        if (ok && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
            i += len;
            return cp;
        }
    }
    ++i;
    return c;
}

inline size_t Utf16Units(const char* s, size_t n)
{
    size_t units = 0;
    for (size_t i = 0; i < n;)
        units += NextCodePoint(s, n, i) >= 0x10000 ? 2 : 1;
    return units;
}

} // namespace minidump

struct MinidumpWriter::State {
    using MapEntry = minidump::MapEntry;
    using ModuleEntry = minidump::ModuleEntry;
    using MemoryRange = minidump::MemoryRange;

    // Prepared before any crash.
    uint8_t* stackCopy = nullptr;
    size_t maxStack = 0;
    uint64_t maxExtraMemory = 0;
    uint64_t stackLow = 0;
    uint64_t stackHigh = 0;
    uint8_t systemInfo[minidump::kSystemInfoSize] = {};
    char16_t csd[minidump::kMaxCsdUnits] = {};
    size_t csdUnits = 0;
    bool vmReadUnavailable = false;

    // Captured by the handler.
    bool captured = false;
    CrashInfo info;
    uint8_t context[minidump::kContextSize] = {};
    uint64_t stackStart = 0;
    size_t stackSize = 0;
    MapEntry maps[minidump::kMaxMaps];
    size_t mapCount = 0;
    char paths[minidump::kPathArenaBytes];
    size_t pathUsed = 0;
    ModuleEntry modules[minidump::kMaxModules];
    size_t moduleCount = 0;
    MemoryRange ranges[minidump::kMaxRanges];
    size_t rangeCount = 0;

    // Scratch for reading and writing.
    char mapsBuffer[16384];
    uint8_t scratch[64 * 1024];
    uint8_t out[8192];
    size_t outUsed = 0;
    uint64_t position = 0;
    int fd = -1;
    bool failed = false;

    ~State() { delete[] stackCopy; }

    const char* PathOf(uint32_t offset) const { return paths + offset; }

    // Copies what is readable of [address, address + size) into dst, stopping at the first
    // page that cannot be read; returns the bytes copied. Reading through the kernel cannot
    // fault, whatever the address, which is what a crash handler needs.
    size_t SafeRead(void* dst, uint64_t address, size_t size);
    bool IsReadable(uint64_t address, size_t size) const;

    void ParseMaps();
    void AddMapLine(const char* line, const char* end);
    void FindModules();
    void ReadBuildId(ModuleEntry& module);
    void CaptureStack(uint64_t stackPointer);
    void FillContext(const void* ucontext);
    void CollectRanges(MinidumpKind kind);
    void AddRange(uint64_t start, uint64_t end, uint64_t& budget);

    // Where each part of the file goes; LayOut also places the module names and build ids
    // and the extra memory ranges. False when the file would pass the format's 4 GiB.
    struct Layout {
        uint64_t directory = 0;
        uint64_t systemInfo = 0;
        uint64_t csd = 0;
        uint64_t exception = 0;
        uint64_t threadList = 0;
        uint64_t threadListSize = 0;
        uint64_t context = 0;
        uint64_t moduleList = 0;
        uint64_t moduleListSize = 0;
        uint64_t memoryList = 0;
        uint64_t memoryListSize = 0;
        size_t memoryCount = 0;
        uint64_t stack = 0;
    };
    bool LayOut(Layout& at);
    // One forward pass over the file, each part at the place LayOut gave it.
    void WriteHeader(const Layout& at, MinidumpKind kind);
    void WriteSystemInfo(const Layout& at);
    void WriteException(const Layout& at);
    void WriteThreadList(const Layout& at);
    void WriteModuleList(const Layout& at);
    void WriteMemoryList(const Layout& at);

    // Writes the bytes straight to the file, retrying after signals; sets failed on an error.
    void WriteAll(const uint8_t* data, size_t size);
    void Flush();
    void Put(const void* data, size_t size);
    void PutZeros(uint64_t size);
    void PadTo(uint64_t rva);
    void Put16(uint16_t v) { Put(&v, 2); }
    void Put32(uint32_t v) { Put(&v, 4); }
    void Put64(uint64_t v) { Put(&v, 8); }
    void PutLocation(uint64_t size, uint64_t rva)
    {
        Put32(static_cast<uint32_t>(size));
        Put32(static_cast<uint32_t>(size ? rva : 0));
    }
    void PutUtf16String(const char* s, size_t n);
    void PutMemory(uint64_t address, uint64_t size);
};

} // namespace platform
