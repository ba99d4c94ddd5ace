#include "platform/crash/minidump_writer.h"

#include <elf.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/utsname.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>
#if defined(__x86_64__)
#include <cpuid.h>
#endif

#include <bit>
#include <cerrno>
#include <cstring>
#include <new>

namespace platform {

namespace {

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
constexpr uint64_t kContextSize = 1232; // the x86-64 CONTEXT record
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

void PutLE16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
void PutLE32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
void PutLE64(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }

uint64_t AlignUp(uint64_t v, uint64_t a) { return (v + a - 1) & ~(a - 1); }

// Copies bytes of the process's own memory that the mappings say are readable. Under
// AddressSanitizer those bytes include its poisoned red zones, which its checked memcpy would
// report as a fault of the crash handler itself, so sanitizer builds copy unchecked.
#if defined(__SANITIZE_ADDRESS__)
__attribute__((no_sanitize("address"))) void CopyProcessMemory(void* dst, const void* src, size_t n)
{
    const volatile uint8_t* from = static_cast<const volatile uint8_t*>(src);
    uint8_t* to = static_cast<uint8_t*>(dst);
    for (size_t i = 0; i < n; ++i)
        to[i] = from[i];
}
#else
void CopyProcessMemory(void* dst, const void* src, size_t n) { std::memcpy(dst, src, n); }
#endif

// Decodes one UTF-8 sequence; a malformed byte stands for itself (as Latin-1), so every path
// gives some name. Returns the code point and advances i.
uint32_t NextCodePoint(const char* s, size_t n, size_t& i)
{
    const auto b = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    uint8_t c = b(i);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
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

size_t Utf16Units(const char* s, size_t n)
{
    size_t units = 0;
    for (size_t i = 0; i < n;)
        units += NextCodePoint(s, n, i) >= 0x10000 ? 2 : 1;
    return units;
}

bool ParseHex(const char*& p, const char* end, uint64_t& value)
{
    value = 0;
    const char* start = p;
    for (; p < end; ++p) {
        char c = *p;
        uint64_t d;
        if (c >= '0' && c <= '9')
            d = uint64_t(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = uint64_t(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            d = uint64_t(c - 'A' + 10);
        else
            break;
        value = (value << 4) | d;
    }
    return p != start;
}

bool ParseDec(const char*& p, const char* end, uint64_t& value)
{
    value = 0;
    const char* start = p;
    for (; p < end && *p >= '0' && *p <= '9'; ++p)
        value = value * 10 + uint64_t(*p - '0');
    return p != start;
}

void SkipSpaces(const char*& p, const char* end)
{
    while (p < end && *p == ' ')
        ++p;
}

void SkipField(const char*& p, const char* end)
{
    while (p < end && *p != ' ')
        ++p;
}

} // namespace

struct MinidumpWriter::State {
    // Prepared before any crash.
    uint8_t* stackCopy = nullptr;
    size_t maxStack = 0;
    uint64_t maxExtraMemory = 0;
    uint64_t stackLow = 0;
    uint64_t stackHigh = 0;
    uint8_t systemInfo[kSystemInfoSize] = {};
    char16_t csd[kMaxCsdUnits] = {};
    size_t csdUnits = 0;
    bool vmReadUnavailable = false;

    // Captured by the handler.
    bool captured = false;
    CrashInfo info;
    uint8_t context[kContextSize] = {};
    uint64_t stackStart = 0;
    size_t stackSize = 0;
    MapEntry maps[kMaxMaps];
    size_t mapCount = 0;
    char paths[kPathArenaBytes];
    size_t pathUsed = 0;
    ModuleEntry modules[kMaxModules];
    size_t moduleCount = 0;
    MemoryRange ranges[kMaxRanges];
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

size_t MinidumpWriter::State::SafeRead(void* dst, uint64_t address, size_t size)
{
    if (size == 0)
        return 0;
    if (!vmReadUnavailable) {
        // One remote piece per page: the kernel stops at the first piece it cannot read, so
        // the count returned is exactly the readable prefix.
        constexpr size_t kPieces = 64;
        struct iovec remote[kPieces];
        size_t done = 0;
        while (done < size) {
            size_t pieces = 0;
            size_t batch = 0;
            uint64_t at = address + done;
            while (pieces < kPieces && done + batch < size) {
                uint64_t pageEnd = (at & ~(kPage - 1)) + kPage;
                size_t piece = static_cast<size_t>(pageEnd - at);
                if (piece > size - done - batch)
                    piece = size - done - batch;
                remote[pieces].iov_base = reinterpret_cast<void*>(at);
                remote[pieces].iov_len = piece;
                ++pieces;
                batch += piece;
                at += piece;
            }
            struct iovec local;
            local.iov_base = static_cast<uint8_t*>(dst) + done;
            local.iov_len = batch;
            ssize_t got = ::process_vm_readv(::getpid(), &local, 1, remote, pieces, 0);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                if (errno == EFAULT)
                    return done;
                // Not allowed here (seccomp, old kernel): fall back to the mappings table.
                vmReadUnavailable = true;
                break;
            }
            done += static_cast<size_t>(got);
            if (static_cast<size_t>(got) < batch)
                return done;
        }
        if (!vmReadUnavailable)
            return done;
    }
    size_t done = 0;
    while (done < size) {
        uint64_t at = address + done;
        uint64_t pageEnd = (at & ~(kPage - 1)) + kPage;
        size_t piece = static_cast<size_t>(pageEnd - at);
        if (piece > size - done)
            piece = size - done;
        if (!IsReadable(at, piece))
            break;
        CopyProcessMemory(static_cast<uint8_t*>(dst) + done, reinterpret_cast<const void*>(at),
                          piece);
        done += piece;
    }
    return done;
}

bool MinidumpWriter::State::IsReadable(uint64_t address, size_t size) const
{
    for (size_t i = 0; i < mapCount; ++i) {
        const MapEntry& m = maps[i];
        if (address >= m.start && address + size <= m.end)
            return (m.perms & kRead) != 0;
    }
    return false;
}

void MinidumpWriter::State::ParseMaps()
{
    mapCount = 0;
    pathUsed = 0;
    int fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    size_t used = 0;
    for (;;) {
        ssize_t got = ::read(fd, mapsBuffer + used, sizeof(mapsBuffer) - used);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        used += static_cast<size_t>(got);
        size_t lineStart = 0;
        for (size_t i = 0; i < used; ++i) {
            if (mapsBuffer[i] == '\n') {
                AddMapLine(mapsBuffer + lineStart, mapsBuffer + i);
                lineStart = i + 1;
            }
        }
        if (lineStart == 0 && used == sizeof(mapsBuffer))
            used = 0; // a line longer than the buffer cannot be a valid mapping line
        else {
            std::memmove(mapsBuffer, mapsBuffer + lineStart, used - lineStart);
            used -= lineStart;
        }
    }
    if (used > 0)
        AddMapLine(mapsBuffer, mapsBuffer + used);
    ::close(fd);
}

// "start-end perms offset dev inode [path]"
void MinidumpWriter::State::AddMapLine(const char* p, const char* end)
{
    if (mapCount >= kMaxMaps)
        return;
    MapEntry m{};
    if (!ParseHex(p, end, m.start) || p >= end || *p++ != '-' || !ParseHex(p, end, m.end))
        return;
    SkipSpaces(p, end);
    if (end - p < 4)
        return;
    m.perms = uint8_t((p[0] == 'r' ? kRead : 0) | (p[1] == 'w' ? kWrite : 0) |
                      (p[2] == 'x' ? kExec : 0) | (p[3] == 'p' ? kPrivate : 0));
    SkipField(p, end);
    SkipSpaces(p, end);
    if (!ParseHex(p, end, m.offset))
        return;
    SkipSpaces(p, end);
    SkipField(p, end); // device
    SkipSpaces(p, end);
    if (!ParseDec(p, end, m.inode))
        return;
    SkipSpaces(p, end);
    size_t length = static_cast<size_t>(end - p);
    if (length > 0xFFFF || pathUsed + length + 1 > kPathArenaBytes)
        length = 0;
    m.pathOffset = static_cast<uint32_t>(pathUsed);
    m.pathLength = static_cast<uint16_t>(length);
    std::memcpy(paths + pathUsed, p, length);
    paths[pathUsed + length] = 0;
    pathUsed += length + 1;
    if (m.end > m.start)
        maps[mapCount++] = m;
}

// A module is a file mapped from offset 0 that starts with an ELF header, together with the
// mappings of the same file that follow it; the vdso counts too.
void MinidumpWriter::State::FindModules()
{
    moduleCount = 0;
    for (size_t i = 0; i < mapCount && moduleCount < kMaxModules; ++i) {
        const MapEntry& m = maps[i];
        const char* path = PathOf(m.pathOffset);
        bool file = m.inode != 0 && m.pathLength > 0 && path[0] == '/';
        bool vdso = m.pathLength == 6 && std::memcmp(path, "[vdso]", 6) == 0;
        if (!(m.perms & kRead) || (!file && !vdso) || m.offset != 0)
            continue;
        if (file && m.pathLength >= 5 && std::memcmp(path, "/dev/", 5) == 0)
            continue;
        uint8_t magic[4];
        if (SafeRead(magic, m.start, 4) != 4 || std::memcmp(magic, ELFMAG, 4) != 0)
            continue;
        ModuleEntry& module = modules[moduleCount];
        module = ModuleEntry{};
        module.base = m.start;
        module.end = m.end;
        module.pathOffset = m.pathOffset;
        module.pathLength = m.pathLength;
        for (size_t k = i + 1; file && k < mapCount; ++k) {
            const MapEntry& next = maps[k];
            if (next.inode != m.inode || next.pathLength != m.pathLength ||
                std::memcmp(PathOf(next.pathOffset), path, m.pathLength) != 0)
                break;
            module.end = next.end;
        }
        ReadBuildId(module);
        ++moduleCount;
    }
}

void MinidumpWriter::State::ReadBuildId(ModuleEntry& module)
{
    Elf64_Ehdr header;
    if (SafeRead(&header, module.base, sizeof header) != sizeof header)
        return;
    if (header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_phentsize != sizeof(Elf64_Phdr) ||
        header.e_phnum == 0 || header.e_phnum > kMaxPhdrs)
        return;
    Elf64_Phdr phdrs[kMaxPhdrs];
    size_t bytes = size_t(header.e_phnum) * sizeof(Elf64_Phdr);
    if (SafeRead(phdrs, module.base + header.e_phoff, bytes) != bytes)
        return;
    // The load bias: the segment holding file offset 0 is mapped at the module's base.
    const Elf64_Phdr* first = nullptr;
    for (size_t i = 0; i < header.e_phnum; ++i)
        if (phdrs[i].p_type == PT_LOAD && (!first || phdrs[i].p_offset < first->p_offset))
            first = &phdrs[i];
    if (!first)
        return;
    uint64_t bias = module.base - ((first->p_vaddr - first->p_offset) & ~(kPage - 1));
    for (size_t i = 0; i < header.e_phnum; ++i) {
        if (phdrs[i].p_type != PT_NOTE)
            continue;
        size_t size = phdrs[i].p_memsz < kMaxNoteBytes ? size_t(phdrs[i].p_memsz) : kMaxNoteBytes;
        size = SafeRead(scratch, bias + phdrs[i].p_vaddr, size);
        for (size_t at = 0; at + sizeof(Elf64_Nhdr) <= size;) {
            Elf64_Nhdr note;
            std::memcpy(&note, scratch + at, sizeof note);
            size_t name = at + sizeof note;
            size_t desc = name + AlignUp(note.n_namesz, 4);
            size_t next = desc + AlignUp(note.n_descsz, 4);
            if (note.n_namesz > size || note.n_descsz > size || next > size)
                break;
            if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4 &&
                std::memcmp(scratch + name, "GNU", 4) == 0) {
                size_t length = note.n_descsz < kMaxBuildId ? note.n_descsz : kMaxBuildId;
                std::memcpy(module.buildId, scratch + desc, length);
                module.buildIdLength = static_cast<uint8_t>(length);
                return;
            }
            at = next;
        }
    }
}

void MinidumpWriter::State::CaptureStack(uint64_t sp)
{
    stackStart = 0;
    stackSize = 0;
    uint64_t low = 0;
    uint64_t high = 0;
    for (size_t i = 0; i < mapCount; ++i)
        if (sp >= maps[i].start && sp < maps[i].end) {
            low = maps[i].start;
            high = maps[i].end;
            break;
        }
    if (high == 0) {
        // A stack overflow leaves the stack pointer in the gap below the stack mapping; what
        // is left of the stack is the mapping just above it.
        constexpr uint64_t kGuardGap = 1024 * 1024;
        for (size_t i = 0; i < mapCount; ++i)
            if (maps[i].start > sp && maps[i].start - sp <= kGuardGap &&
                (high == 0 || maps[i].start < low)) {
                low = maps[i].start;
                high = maps[i].end;
            }
        if (high != 0)
            sp = low;
    }
    if (high == 0 && mapCount == 0 && sp >= stackLow && sp < stackHigh) {
        low = stackLow;
        high = stackHigh;
    }
    if (high == 0)
        return;
    // Take the red zone too; when that page is gone start at the stack pointer, then at
    // each following page.
    uint64_t candidates[2] = {sp >= low + kRedZone ? sp - kRedZone : low, sp};
    for (uint64_t start : candidates) {
        for (int page = 0; page < 16 && start < high; ++page) {
            size_t want = high - start < maxStack ? size_t(high - start) : maxStack;
            size_t got = SafeRead(stackCopy, start, want);
            if (got > 0) {
                stackStart = start;
                stackSize = got;
                return;
            }
            start = (start & ~(kPage - 1)) + kPage;
        }
    }
}

void MinidumpWriter::State::FillContext(const void* ucontext)
{
    std::memset(context, 0, sizeof context);
#if defined(__x86_64__)
    if (!ucontext)
        return;
    const auto* uc = static_cast<const ucontext_t*>(ucontext);
    const greg_t* g = uc->uc_mcontext.gregs;
    uint32_t flags = kContextControl | kContextInteger | kContextSegments;
    // cs, gs and fs (and ss on newer kernels) share one register slot, 16 bits each.
    uint64_t segments = static_cast<uint64_t>(g[REG_CSGSFS]);
    PutLE16(context + ctx::kSegCs, uint16_t(segments));
    PutLE16(context + ctx::kSegFs, uint16_t(segments >> 32));
    PutLE16(context + ctx::kSegGs, uint16_t(segments >> 16));
    PutLE16(context + ctx::kSegSs, uint16_t(segments >> 48));
    PutLE32(context + ctx::kEFlags, uint32_t(g[REG_EFL]));
    const int order[16] = {REG_RAX, REG_RCX, REG_RDX, REG_RBX, REG_RSP, REG_RBP, REG_RSI, REG_RDI,
                           REG_R8,  REG_R9,  REG_R10, REG_R11, REG_R12, REG_R13, REG_R14, REG_R15};
    for (int i = 0; i < 16; ++i)
        PutLE64(context + ctx::kIntegerRegisters + 8 * i, uint64_t(g[order[i]]));
    PutLE64(context + ctx::kRip, uint64_t(g[REG_RIP]));
    if (uc->uc_mcontext.fpregs) {
        // The kernel's FXSAVE image has exactly the layout of the context's float save area.
        std::memcpy(context + ctx::kFloatSave, uc->uc_mcontext.fpregs, ctx::kFloatSaveSize);
        PutLE32(context + ctx::kMxCsr, uc->uc_mcontext.fpregs->mxcsr);
        flags |= kContextFloatingPoint;
    }
    PutLE32(context + ctx::kFlags, flags);
#else
    (void)ucontext;
#endif
}

void MinidumpWriter::State::AddRange(uint64_t start, uint64_t end, uint64_t& budget)
{
    // The stack is already in the list; readers refuse overlapping ranges.
    uint64_t stackEnd = stackStart + stackSize;
    if (stackSize && start < stackEnd && end > stackStart) {
        if (start < stackStart)
            AddRange(start, stackStart, budget);
        if (end > stackEnd)
            AddRange(stackEnd, end, budget);
        return;
    }
    uint64_t size = end - start;
    if (size == 0 || size > budget || rangeCount >= kMaxRanges)
        return;
    budget -= size;
    ranges[rangeCount++] = MemoryRange{start, size, 0};
}

void MinidumpWriter::State::CollectRanges(MinidumpKind kind)
{
    rangeCount = 0;
    uint64_t budget = maxExtraMemory;
    if (kind == MinidumpKind::WithDataSegs) {
        for (size_t i = 0; i < moduleCount; ++i) {
            const ModuleEntry& module = modules[i];
            for (size_t k = 0; k < mapCount; ++k) {
                const MapEntry& m = maps[k];
                bool inside = m.start >= module.base && m.end <= module.end;
                // The anonymous mapping right after a module's data is its bss.
                bool bss = m.start == module.end && m.inode == 0 && m.pathLength == 0;
                if ((inside || bss) && (m.perms & kRead) && (m.perms & kWrite))
                    AddRange(m.start, m.end, budget);
            }
        }
    } else if (kind == MinidumpKind::WithFullMemory) {
        for (size_t k = 0; k < mapCount; ++k) {
            const MapEntry& m = maps[k];
            const char* path = PathOf(m.pathOffset);
            if (!(m.perms & kRead))
                continue;
            // Device memory may have side effects when read; the kernel's own pages are
            // not the program's.
            if ((m.pathLength >= 5 && std::memcmp(path, "/dev/", 5) == 0) ||
                (m.pathLength > 0 && path[0] == '[' && std::memcmp(path, "[stack]", 7) != 0 &&
                 std::memcmp(path, "[heap]", 6) != 0))
                continue;
            AddRange(m.start, m.end, budget);
        }
    }
}

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

MinidumpWriter::MinidumpWriter() = default;
MinidumpWriter::~MinidumpWriter() = default;

bool MinidumpWriter::Prepare(size_t maxStackBytes, uint64_t maxExtraMemory)
{
    std::unique_ptr<State> state(new (std::nothrow) State());
    if (!state)
        return false;
    state->maxStack = maxStackBytes ? maxStackBytes : 1;
    state->maxExtraMemory = maxExtraMemory < kMaxExtraMemoryLimit ? maxExtraMemory : kMaxExtraMemoryLimit;
    state->stackCopy = new (std::nothrow) uint8_t[state->maxStack];
    if (!state->stackCopy)
        return false;

    pthread_attr_t attr;
    if (::pthread_getattr_np(::pthread_self(), &attr) == 0) {
        void* address = nullptr;
        size_t size = 0;
        if (::pthread_attr_getstack(&attr, &address, &size) == 0) {
            state->stackLow = reinterpret_cast<uint64_t>(address);
            state->stackHigh = state->stackLow + size;
        }
        ::pthread_attr_destroy(&attr);
    }

    uint8_t* si = state->systemInfo;
    PutLE16(si + sysinfo::kArchitecture, kArchitectureAmd64);
#if defined(__x86_64__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(0, &a, &b, &c, &d)) {
        PutLE32(si + sysinfo::kVendorId, b);
        PutLE32(si + sysinfo::kVendorId + 4, d);
        PutLE32(si + sysinfo::kVendorId + 8, c);
    }
    if (__get_cpuid(1, &a, &b, &c, &d)) {
        unsigned family = (a >> 8) & 0xF;
        unsigned model = (a >> 4) & 0xF;
        if (family == 0xF)
            family += (a >> 20) & 0xFF;
        if (family >= 6)
            model |= ((a >> 16) & 0xF) << 4;
        PutLE16(si + sysinfo::kLevel, uint16_t(family));
        PutLE16(si + sysinfo::kRevision, uint16_t((model << 8) | (a & 0xF)));
        PutLE32(si + sysinfo::kVersionInformation, a);
        PutLE32(si + sysinfo::kFeatureInformation, d);
    }
    if (__get_cpuid(0x80000001, &a, &b, &c, &d))
        PutLE32(si + sysinfo::kAmdExtendedFeatures, d);
#endif
    long processors = ::sysconf(_SC_NPROCESSORS_ONLN);
    si[sysinfo::kProcessorCount] =
        uint8_t(processors < 1 ? 1 : processors > 255 ? 255 : processors);
    si[sysinfo::kProductType] = sysinfo::kWorkstation;
    struct utsname names;
    if (::uname(&names) == 0) {
        uint32_t version[3] = {0, 0, 0};
        const char* p = names.release;
        for (int i = 0; i < 3; ++i) {
            uint64_t v = 0;
            const char* end = p + std::strlen(p);
            ParseDec(p, end, v);
            version[i] = uint32_t(v);
            if (*p != '.')
                break;
            ++p;
        }
        PutLE32(si + sysinfo::kMajorVersion, version[0]);
        PutLE32(si + sysinfo::kMinorVersion, version[1]);
        PutLE32(si + sysinfo::kBuildNumber, version[2]);
        const char* parts[4] = {names.sysname, names.release, names.version, names.machine};
        for (int i = 0; i < 4; ++i) {
            for (const char* q = parts[i]; *q && state->csdUnits + 1 < kMaxCsdUnits; ++q)
                state->csd[state->csdUnits++] = static_cast<unsigned char>(*q);
            if (i < 3 && state->csdUnits + 1 < kMaxCsdUnits)
                state->csd[state->csdUnits++] = u' ';
        }
    }
    PutLE32(si + sysinfo::kPlatformId, kPlatformLinux);
    m_state = std::move(state);
    return true;
}

void MinidumpWriter::Capture(const CrashInfo& info, const void* ucontext)
{
    if (!m_state)
        return;
    State& s = *m_state;
    s.info = info;
    s.FillContext(ucontext);
    s.ParseMaps();
    uint64_t sp = 0;
    std::memcpy(&sp, s.context + ctx::kRsp, 8);
    if (sp)
        s.CaptureStack(sp);
    else
        s.stackStart = s.stackSize = 0;
    s.FindModules();
    s.captured = true;
}

bool MinidumpWriter::HasCapture() const { return m_state && m_state->captured; }

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
    struct timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    Put32(kSignature);
    Put32(kVersion);
    Put32(kStreamCount);
    Put32(static_cast<uint32_t>(at.directory));
    Put32(0); // checksum
    Put32(static_cast<uint32_t>(now.tv_sec));
    Put64(kind == MinidumpKind::WithFullMemory   ? kTypeWithFullMemory
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
