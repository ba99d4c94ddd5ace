// The minidump writer, driven in-process from a context taken with getcontext: the file must
// satisfy the strict reader, and what it says must agree with what the loader and the
// process itself know (modules, build ids, stack bytes, globals, heap).

#include <gtest/gtest.h>

#include <cpuid.h>
#include <elf.h>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <link.h>
#include <sys/prctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/text/code_page.h"
#include "platform/crash/minidump_writer.h"
#include "support/child_process.h"
#include "support/minidump_reader.h"
#include "support/temp_files.h"

namespace {

using minidump_test::Dump;
using minidump_test::Reader;
using tolvanrise::test::TempFolder;

std::string SelfPath()
{
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, size_t(n)) : std::string();
}

// Writes a dump of the calling function's state; returns the parsed dump, or fails the test.
// noinline keeps the marker in this frame, above the captured stack pointer.
__attribute__((noinline)) std::string CaptureAndWrite(platform::MinidumpWriter& writer,
                                                      const std::string& path,
                                                      platform::MinidumpKind kind, Dump& dump,
                                                      const char* marker = "stack marker 7f3a",
                                                      void (*edit)(ucontext_t&) = nullptr)
{
    volatile char onStack[32] = {};
    for (size_t i = 0; marker[i] && i < sizeof onStack - 1; ++i)
        onStack[i] = marker[i];
    ucontext_t context;
    ::getcontext(&context);
    if (edit)
        edit(context);
    platform::CrashInfo info;
    info.signal = 11;
    info.code = 1;
    info.faultAddress = 0x1234;
    info.threadId = static_cast<uint32_t>(::syscall(SYS_gettid));
    writer.Capture(info, &context);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return "cannot open " + path;
    bool written = writer.Write(fd, kind);
    ::close(fd);
    (void)onStack[0];
    if (!written)
        return "Write failed";
    return minidump_test::ParseDumpFile(path, &dump);
}

bool Contains(const std::vector<uint8_t>& haystack, const std::string& needle)
{
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

struct LoadedModule {
    std::string name;
    uint64_t base = 0;
    std::vector<uint8_t> buildId;
};

// What the dynamic loader says is loaded, with each module's build id read from its notes.
std::vector<LoadedModule> LoaderModules()
{
    std::vector<LoadedModule> modules;
    ::dl_iterate_phdr(
        [](struct dl_phdr_info* info, size_t, void* data) {
            auto* out = static_cast<std::vector<LoadedModule>*>(data);
            LoadedModule m;
            m.name = info->dlpi_name ? info->dlpi_name : "";
            uint64_t lowest = UINT64_MAX;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& ph = info->dlpi_phdr[i];
                if (ph.p_type == PT_LOAD && ph.p_vaddr < lowest)
                    lowest = ph.p_vaddr;
                if (ph.p_type != PT_NOTE || !m.buildId.empty())
                    continue;
                const uint8_t* p = reinterpret_cast<const uint8_t*>(info->dlpi_addr + ph.p_vaddr);
                const uint8_t* end = p + ph.p_memsz;
                while (p + sizeof(ElfW(Nhdr)) <= end) {
                    const auto* note = reinterpret_cast<const ElfW(Nhdr)*>(p);
                    const uint8_t* name = p + sizeof *note;
                    const uint8_t* desc = name + ((note->n_namesz + 3) & ~3u);
                    if (note->n_type == NT_GNU_BUILD_ID && note->n_namesz == 4 && std::memcmp(name, "GNU", 4) == 0)
                        m.buildId.assign(desc, desc + note->n_descsz);
                    p = desc + ((note->n_descsz + 3) & ~3u);
                }
            }
            m.base = info->dlpi_addr + (lowest & ~uint64_t(4095));
            out->push_back(m);
            return 0;
        },
        &modules);
    return modules;
}

const minidump_test::Module* ModuleAt(const Dump& dump, uint64_t address)
{
    for (const auto& m : dump.modules)
        if (address >= m.base && address < m.base + m.size)
            return &m;
    return nullptr;
}

// Makes process_vm_readv fail with EPERM from now on, as some container sandboxes do.
bool ForbidProcessVmReadv()
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_process_vm_readv, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{sizeof filter / sizeof filter[0], filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

uint32_t g_dataSegmentValue = 0x5EEDF00D;

class MinidumpWriterTest : public testing::Test {
protected:
    // A normal dump of the calling test's state, written to crash.mdmp and parsed into dump.
    std::string WriteNormal() { return CaptureAndWrite(writer, dir.Path("crash.mdmp"), platform::MinidumpKind::Normal, dump); }
    static std::vector<uint8_t> StackOf(const Dump& d)
    {
        return {d.bytes.begin() + d.threadStack.rva, d.bytes.begin() + d.threadStack.rva + d.threadStack.size};
    }

    TempFolder dir{"minidump_writer_"};
    platform::MinidumpWriter writer;
    Dump dump;
};

// Every record where readers of the format expect it: streams and the thread's context on
// 8 bytes, the modules' names and build-id records on 4, memory contents on 16.
static void ExpectAligned(const Dump& d)
{
    auto u32 = [&](size_t at) {
        return uint32_t(d.bytes[at]) | uint32_t(d.bytes[at + 1]) << 8 | uint32_t(d.bytes[at + 2]) << 16 |
               uint32_t(d.bytes[at + 3]) << 24;
    };
    for (const auto& stream : d.streams) {
        if (stream.size == 0)
            continue;
        EXPECT_EQ(stream.rva % 8, 0u) << "stream " << stream.type;
        if (stream.type != 4) // the module list
            continue;
        for (uint32_t i = 0; i < u32(stream.rva); ++i) {
            const size_t entry = stream.rva + 4 + size_t(i) * 108;
            EXPECT_EQ(u32(entry + 20) % 4, 0u) << "module name " << i;
            EXPECT_EQ(u32(entry + 80) % 4, 0u) << "build id " << i;
        }
    }
    EXPECT_EQ(d.contextRva % 8, 0u);
    for (const auto& m : d.memory)
        EXPECT_EQ(m.rva % 16, 0u) << std::hex << m.start;
}

TEST_F(MinidumpWriterTest, NormalDumpDescribesTheCapturedThread)
{
    ASSERT_TRUE(writer.Prepare());
    ASSERT_EQ(WriteNormal(), "");
    // Flags, AMD64, the platform id, the signal, code and address, one thread: this one.
    EXPECT_EQ(std::tuple(dump.flags, dump.architecture, dump.platformId, dump.exceptionCode, dump.exceptionFlags,
                         dump.exceptionAddress, dump.threadCount, dump.threadId),
              std::tuple(0u, 9, 0x8201u, 11u, 1u, 0x1234u, 1u, static_cast<uint32_t>(::syscall(SYS_gettid))));
    EXPECT_TRUE(dump.processors >= 1 && (dump.contextFlags & 0xF) != 0);
    // A signal is one record of its own, with no chained record and no parameters.
    EXPECT_EQ(std::pair(dump.exceptionNested, dump.exceptionParameters), std::pair(uint64_t{0}, 0u));
    EXPECT_TRUE(platform::Utf16ToUtf8(dump.csdVersion).starts_with("Linux "));
    EXPECT_TRUE(dump.StackCoversStackPointer() && Contains(StackOf(dump), "stack marker 7f3a"));
    // A normal dump carries the stack and nothing else.
    EXPECT_EQ(dump.memory.size(), 1u);
    EXPECT_TRUE(dump.Read(reinterpret_cast<uint64_t>(&g_dataSegmentValue), 4).empty());
    // The instruction pointer lies in this test program, which is listed under its path.
    const auto* self = ModuleAt(dump, dump.rip);
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(platform::Utf16ToUtf8(self->name), SelfPath());

    // The modules agree with the loader.
    int checked = 0;
    for (const LoadedModule& loaded : LoaderModules()) {
        if (loaded.name.empty() && loaded.base == 0)
            continue;
        SCOPED_TRACE(loaded.name);
        const auto* m = ModuleAt(dump, loaded.base);
        ASSERT_NE(m, nullptr);
        EXPECT_TRUE(m->base == loaded.base && m->buildId == loaded.buildId);
        if (loaded.name.size() > 1 && loaded.name[0] == '/') {
            // The loader keeps the name it was asked for; the mappings show the file itself.
            char* real = ::realpath(loaded.name.c_str(), nullptr);
            ASSERT_NE(real, nullptr);
            EXPECT_EQ(platform::Utf16ToUtf8(m->name), real);
            std::free(real);
        }
        ++checked;
    }
    EXPECT_GE(checked, 3); // the program, libc and the dynamic loader at least
}

// Registers of a context edited to distinct values land where the dump format puts them.
TEST_F(MinidumpWriterTest, RegistersAndFloatStateComeFromTheContext)
{
    static const int kIntegers[16] = {REG_RAX, REG_RCX, REG_RDX, REG_RBX, REG_RSP, REG_RBP,
                                      REG_RSI, REG_RDI, REG_R8,  REG_R9,  REG_R10, REG_R11,
                                      REG_R12, REG_R13, REG_R14, REG_R15};
    auto edit = [](ucontext_t& c) {
        for (int i = 0; i < 16; ++i)
            if (kIntegers[i] != REG_RSP) // the stack copy starts there
                c.uc_mcontext.gregs[kIntegers[i]] = greg_t(0x0101010101010101ull * uint64_t(i + 1));
        c.uc_mcontext.gregs[REG_EFL] = 0x10246;
        c.uc_mcontext.gregs[REG_CSGSFS] =
            greg_t(0x33 | 0x11ull << 16 | 0x22ull << 32 | 0x2bull << 48);
        c.uc_mcontext.fpregs->mxcsr = 0x1fa0;
        std::memset(&c.uc_mcontext.fpregs->_xmm[3], 0x5c, 16);
    };
    ASSERT_TRUE(writer.Prepare());
    ASSERT_EQ(CaptureAndWrite(writer, dir.Path("regs.mdmp"), platform::MinidumpKind::Normal, dump,
                              "regs", edit),
              "");
    auto u64 = [&](uint32_t at) {
        uint64_t v;
        std::memcpy(&v, &dump.bytes[dump.contextRva + at], 8);
        return v;
    };
    auto u16 = [&](uint32_t at) { return uint16_t(u64(at)); };
    EXPECT_EQ(std::tuple(dump.contextFlags, uint32_t(u64(0x34)), u16(0x38), u16(0x3e), u16(0x40),
                         u16(0x42), uint32_t(u64(0x44))),
              std::tuple(0x10000Fu, 0x1fa0u, uint16_t(0x33), uint16_t(0x22), uint16_t(0x11),
                         uint16_t(0x2b), 0x10246u));
    for (int i = 0; i < 16; ++i) {
        if (kIntegers[i] != REG_RSP) {
            EXPECT_EQ(u64(0x78 + 8 * i), 0x0101010101010101ull * uint64_t(i + 1)) << i;
        }
    }
    // The float save area is the FXSAVE image: xmm3 sits 160 + 3 * 16 bytes into it.
    EXPECT_EQ(std::vector<uint8_t>(dump.bytes.begin() + dump.contextRva + 0x100 + 160 + 48,
                                   dump.bytes.begin() + dump.contextRva + 0x100 + 160 + 64),
              std::vector<uint8_t>(16, 0x5c));
}

// The system description agrees with the kernel, /proc/cpuinfo and the processor itself.
TEST_F(MinidumpWriterTest, SystemInfoAgreesWithTheSystem)
{
    ASSERT_TRUE(writer.Prepare());
    ASSERT_EQ(WriteNormal(), "");
    const minidump_test::Stream* info = dump.Find(7);
    ASSERT_NE(info, nullptr);
    auto at = [&](uint32_t offset, size_t n) {
        uint32_t v = 0;
        std::memcpy(&v, &dump.bytes[info->rva + offset], n);
        return v;
    };
    utsname names{};
    ASSERT_EQ(::uname(&names), 0);
    unsigned version[3] = {};
    std::sscanf(names.release, "%u.%u.%u", &version[0], &version[1], &version[2]);
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    EXPECT_EQ(
        std::tuple(at(8, 4), at(12, 4), at(16, 4), at(6, 1)),
        std::tuple(version[0], version[1], version[2], uint32_t(online > 255 ? 255 : online)));

    std::map<std::string, std::string> cpu;
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line) && !line.empty();) {
        const size_t colon = line.find(':');
        std::string key = line.substr(0, colon);
        key.erase(key.find_last_not_of(" \t") + 1);
        if (colon != std::string::npos && colon + 2 <= line.size())
            cpu.emplace(key, line.substr(colon + 2));
    }
    unsigned a = 0, b = 0, c = 0, d = 0;
    ASSERT_TRUE(__get_cpuid(1, &a, &b, &c, &d));
    const uint32_t revision = std::stoul(cpu["model"]) << 8 | std::stoul(cpu["stepping"]);
    EXPECT_EQ(std::tuple(at(2, 2), at(4, 2), at(44, 4), at(48, 4)),
              std::tuple(uint32_t(std::stoul(cpu["cpu family"])), revision, a, d));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&dump.bytes[info->rva + 32]), 12),
              cpu["vendor_id"]);
}

// Memory unmapped between the capture and the write is written as zeros, at the place the
// layout gave it, and the file stays whole.
TEST_F(MinidumpWriterTest, MemoryGoneSinceTheCaptureIsWrittenAsZeros)
{
    const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    auto* block = static_cast<char*>(
        ::mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(block, MAP_FAILED);
    std::memset(block, 'm', 3 * page);
    ASSERT_TRUE(writer.Prepare(64 * 1024, 128u << 20));
    ucontext_t context;
    ::getcontext(&context);
    platform::CrashInfo crash;
    crash.threadId = static_cast<uint32_t>(::syscall(SYS_gettid));
    writer.Capture(crash, &context);
    ::munmap(block + page, page); // the middle page goes
    const std::string path = dir.Path("gone.mdmp");
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(writer.Write(fd, platform::MinidumpKind::WithFullMemory));
    ::close(fd);
    ASSERT_EQ(minidump_test::ParseDumpFile(path, &dump), "");
    const uint64_t base = reinterpret_cast<uint64_t>(block);
    EXPECT_EQ(dump.Read(base, page), std::vector<uint8_t>(page, 'm'));
    EXPECT_EQ(dump.Read(base + page, page), std::vector<uint8_t>(page, 0));
    EXPECT_EQ(dump.Read(base + 2 * page, page), std::vector<uint8_t>(page, 'm'));
    ::munmap(block, page);
    ::munmap(block + 2 * page, page);
}

TEST_F(MinidumpWriterTest, DataSegmentsAndFullMemoryCarryMore)
{
    // Sanitizer builds reserve huge shadow mappings; a modest cap leaves them out.
    const uint64_t cap = 128u << 20;
    ASSERT_TRUE(writer.Prepare(64 * 1024, cap));

    Dump data;
    ASSERT_EQ(CaptureAndWrite(writer, dir.Path("data.mdmp"), platform::MinidumpKind::WithDataSegs, data), "");
    EXPECT_EQ(data.flags, 1u);
    const uint8_t* value = reinterpret_cast<const uint8_t*>(&g_dataSegmentValue);
    EXPECT_EQ(data.Read(reinterpret_cast<uint64_t>(value), 4), std::vector<uint8_t>(value, value + 4));

    // A heap block far from any module shows up only in the full dump.
    std::vector<char> heap(1 << 20, 'h');
    std::memcpy(heap.data() + 4096, "heap marker 91c2", 16);
    Dump full;
    ASSERT_EQ(CaptureAndWrite(writer, dir.Path("full.mdmp"), platform::MinidumpKind::WithFullMemory, full), "");
    EXPECT_EQ(full.flags, 2u);
    EXPECT_EQ(full.Read(reinterpret_cast<uint64_t>(heap.data() + 4096), 16),
              std::vector<uint8_t>(heap.begin() + 4096, heap.begin() + 4112));
    EXPECT_GT(full.bytes.size(), data.bytes.size());
    uint64_t extra = 0;
    for (const auto& m : full.memory)
        extra += m.size;
    EXPECT_LE(extra - full.threadStack.size, cap);
    ExpectAligned(data);
    ExpectAligned(full);

    // A cap smaller than the heap block: what fits goes in, never more than the cap in all.
    const uint64_t small = 256u << 10;
    platform::MinidumpWriter capped;
    ASSERT_TRUE(capped.Prepare(64 * 1024, small));
    Dump some;
    ASSERT_EQ(CaptureAndWrite(capped, dir.Path("capped.mdmp"), platform::MinidumpKind::WithFullMemory, some), "");
    extra = 0;
    for (const auto& m : some.memory)
        extra += m.size;
    EXPECT_GT(extra - some.threadStack.size, 0u);
    EXPECT_LE(extra - some.threadStack.size, small);
    EXPECT_TRUE(some.Read(reinterpret_cast<uint64_t>(heap.data() + 4096), 16).empty());

    // With a short stack copy the rest of the stack's mapping (up to the environment strings at
    // its top) comes as further memory around the copy.
    platform::MinidumpWriter shortStack;
    ASSERT_TRUE(shortStack.Prepare(4096, cap));
    Dump around;
    ASSERT_EQ(CaptureAndWrite(shortStack, dir.Path("short.mdmp"),
                              platform::MinidumpKind::WithFullMemory, around),
              "");
    EXPECT_LE(around.threadStack.size, 4096u);
    const char* variable = environ[0];
    ASSERT_NE(variable, nullptr);
    EXPECT_EQ(around.Read(reinterpret_cast<uint64_t>(variable), std::strlen(variable)),
              std::vector<uint8_t>(variable, variable + std::strlen(variable)));
    // The mapping's part below the stack pointer (room the stack has not used yet) comes too.
    EXPECT_EQ(around.Read(around.threadStack.start - 256, 256).size(), 256u);
}

// Where the system refuses to read memory through process_vm_readv, the writer reads it
// itself from the readable mappings: the dump carries the same stack and heap.
TEST_F(MinidumpWriterTest, WithoutProcessVmReadvMemoryIsCopiedFromTheMappings)
{
    std::vector<char> heap(1 << 16, 'h');
    std::memcpy(heap.data() + 4096, "heap marker 5d1e", 16);
    const std::string path = dir.Path("fallback.mdmp");
    const int status = tolvanrise::test::RunInChild([&] {
        if (!ForbidProcessVmReadv())
            return 2;
        platform::MinidumpWriter child;
        Dump seen;
        if (!child.Prepare(64 * 1024, 128u << 20) ||
            !CaptureAndWrite(child, path, platform::MinidumpKind::WithFullMemory, seen,
                             "fallback marker")
                 .empty())
            return 3;
        const bool stack = Contains(StackOf(seen), "fallback marker");
        const bool heapRead = seen.Read(reinterpret_cast<uint64_t>(heap.data() + 4096), 16) ==
                              std::vector<uint8_t>(heap.begin() + 4096, heap.begin() + 4112);
        return stack && heapRead ? 0 : 4;
    });
    if (WIFEXITED(status) && WEXITSTATUS(status) == 2)
        GTEST_SKIP() << "no seccomp filters here";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// A process with more mapped file names than the writer keeps room for (thousands of mappings
// of a long-named file) still gets a whole dump: the names past the room are left out, never
// written beyond it.
TEST_F(MinidumpWriterTest, MoreMappedNamesThanTheirRoomStillGiveAWholeDump)
{
    const std::string path = dir.Path(std::string(200, 'm') + ".bin");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 4096), 0);
    // Each line of the map names the file in full: about a megabyte of names in all.
    std::vector<void*> views;
    for (int i = 0; i < 3000; ++i) {
        void* view = ::mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE, fd, 0);
        ASSERT_NE(view, MAP_FAILED);
        views.push_back(view);
    }
    ::close(fd);
    ASSERT_TRUE(writer.Prepare());
    const std::string written = WriteNormal();
    for (void* view : views)
        ::munmap(view, 4096);
    ASSERT_EQ(written, "");
    EXPECT_TRUE(dump.StackCoversStackPointer() && Contains(StackOf(dump), "stack marker 7f3a"));
    const auto* self = ModuleAt(dump, dump.rip);
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(platform::Utf16ToUtf8(self->name), SelfPath());
}

// A stack pointer that leads into no mapping (a wild jump) leaves the thread without stack
// memory: it says so with an empty range at 0, which strict readers refuse by name.
TEST_F(MinidumpWriterTest, AStackPointerIntoNothingGivesAnEmptyStackAtZero)
{
    ASSERT_TRUE(writer.Prepare());
    const std::string path = dir.Path("nostack.mdmp");
    EXPECT_EQ(CaptureAndWrite(writer, path, platform::MinidumpKind::Normal, dump, "marker",
                              [](ucontext_t& c) { c.uc_mcontext.gregs[REG_RSP] = 0x10000; }),
              "thread without stack memory");
    const std::string bytes = tolvanrise::test::ReadFileBytes(path);
    auto u32 = [&](size_t at) {
        uint32_t v = 0;
        if (at + 4 <= bytes.size())
            std::memcpy(&v, bytes.data() + at, 4);
        return v;
    };
    uint32_t threads = 0;
    for (uint32_t i = 0; i < u32(8); ++i)
        if (u32(u32(12) + 12 * i) == 3) // the thread list
            threads = u32(u32(12) + 12 * i + 8);
    ASSERT_NE(threads, 0u);
    // The one thread's stack: its start (two halves) and its size.
    EXPECT_EQ(std::tuple(u32(threads + 28), u32(threads + 32), u32(threads + 36)),
              std::tuple(0u, 0u, 0u));
}

// A module without a build id says so, also where an earlier capture found one with an id.
TEST_F(MinidumpWriterTest, AModuleWithoutBuildIdCarriesNone)
{
    ASSERT_TRUE(writer.Prepare());
    ASSERT_EQ(WriteNormal(), "");
    ASSERT_FALSE(dump.modules.empty());
    // An ELF header with no program headers, hence no notes, mapped from its start.
    Elf64_Ehdr header = {};
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = ELFCLASS64;
    header.e_ident[EI_DATA] = ELFDATA2LSB;
    header.e_ident[EI_VERSION] = EV_CURRENT;
    header.e_type = ET_DYN;
    header.e_machine = EM_X86_64;
    header.e_version = EV_CURRENT;
    header.e_ehsize = sizeof header;
    header.e_phentsize = sizeof(Elf64_Phdr);
    std::string bytes(4096, '\0');
    std::memcpy(bytes.data(), &header, sizeof header);
    const std::string name = dir.Path("libnoid.so");
    ASSERT_TRUE(tolvanrise::test::WriteFileBytes(name, bytes));
    int fd = ::open(name.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    void* mapping = ::mmap(nullptr, bytes.size(), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    ASSERT_NE(mapping, MAP_FAILED);

    ASSERT_EQ(WriteNormal(), "");
    const auto* m = ModuleAt(dump, reinterpret_cast<uint64_t>(mapping));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->name, platform::Utf8ToUtf16(name));
    EXPECT_TRUE(m->buildId.empty());
    ::munmap(mapping, bytes.size());
}

TEST_F(MinidumpWriterTest, ModuleNamesAreUtf16)
{
    // Any file mapped from its start that begins with an ELF header is a module, so a copy
    // of this program mapped under a name with non-ASCII characters stands in for a library.
    const std::string name = dir.Path("lib\xC3\xBC\xF0\x9D\x84\x9E.so"); // u-umlaut, and a clef beyond the BMP
    ASSERT_EQ(std::system(("cp '" + SelfPath() + "' '" + name + "'").c_str()), 0);
    int fd = ::open(name.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    struct stat st;
    ASSERT_EQ(::fstat(fd, &st), 0);
    void* mapping = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    ASSERT_NE(mapping, MAP_FAILED);

    ASSERT_TRUE(writer.Prepare());
    ASSERT_EQ(WriteNormal(), "");
    const auto* m = ModuleAt(dump, reinterpret_cast<uint64_t>(mapping));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->name, platform::Utf8ToUtf16(name));
    EXPECT_EQ(m->name.size(), platform::Utf8ToUtf16(dir.Path()).size() + 10); // "/lib", 1 unit, 2 units, ".so"
    // The copy carries the program's own build id.
    const auto* self = ModuleAt(dump, dump.rip);
    ASSERT_NE(self, nullptr);
    EXPECT_TRUE(m->buildId == self->buildId && !m->buildId.empty());
    ::munmap(mapping, size_t(st.st_size));
}

TEST_F(MinidumpWriterTest, RefusesWithoutCaptureOrWritableFile)
{
    EXPECT_FALSE(writer.Write(1, platform::MinidumpKind::Normal)); // not prepared
    ASSERT_TRUE(writer.Prepare());
    EXPECT_FALSE(writer.HasCapture());
    std::string path = dir.Path("crash.mdmp");
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(writer.Write(fd, platform::MinidumpKind::Normal));
    ::close(fd);

    ASSERT_EQ(WriteNormal(), "");
    EXPECT_TRUE(writer.HasCapture());
    EXPECT_FALSE(writer.Write(-1, platform::MinidumpKind::Normal));
    // Open for reading only, and a full disk: the write fails and says so.
    for (int bad : {::open(path.c_str(), O_RDONLY), ::open("/dev/full", O_WRONLY)}) {
        if (bad < 0)
            continue;
        EXPECT_FALSE(writer.Write(bad, platform::MinidumpKind::Normal));
        ::close(bad);
    }
    // A file that takes all but the dump's last byte (a size limit) fails the write as well.
    fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_TRUE(fd >= 0 && writer.Write(fd, platform::MinidumpKind::Normal));
    const int64_t size = ::lseek(fd, 0, SEEK_CUR);
    ::close(fd);
    tolvanrise::test::ChildLimits limits;
    limits.maxFileBytes = size - 1;
    const int status = tolvanrise::test::RunInChild(
        [&] {
            int cut = ::open(path.c_str(), O_WRONLY | O_TRUNC);
            return cut >= 0 && !writer.Write(cut, platform::MinidumpKind::Normal) ? 0 : 1;
        },
        limits);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

} // namespace
