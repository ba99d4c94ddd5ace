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

#include "platform/crash/minidump_state.h"

namespace platform {

using namespace minidump;

namespace {

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

} // namespace

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
    if (pathUsed + length + 1 > kPathArenaBytes) {
        // Not even room for an empty name: the mapping shares the terminator of the last one.
        m.pathOffset = static_cast<uint32_t>(pathUsed - 1);
        m.pathLength = 0;
    } else {
        m.pathOffset = static_cast<uint32_t>(pathUsed);
        m.pathLength = static_cast<uint16_t>(length);
        std::memcpy(paths + pathUsed, p, length);
        paths[pathUsed + length] = 0;
        pathUsed += length + 1;
    }
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

MinidumpWriter::MinidumpWriter() = default;
MinidumpWriter::~MinidumpWriter() = default;

bool MinidumpWriter::Prepare(size_t maxStackBytes, uint64_t maxExtraMemory)
{
    std::unique_ptr<State> state(new (std::nothrow) State());
    if (!state)
        return false;
    state->maxStack = maxStackBytes ? maxStackBytes : 1;
    state->maxExtraMemory =
        maxExtraMemory < kMaxExtraMemoryLimit ? maxExtraMemory : kMaxExtraMemoryLimit;
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
    si[sysinfo::kProcessorCount] = uint8_t(processors < 1     ? 1
                                           : processors > 255 ? 255
                                                              : processors);
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

bool MinidumpWriter::HasCapture() const
{
    return m_state && m_state->captured;
}

} // namespace platform
