#include "foundation/app/crash_guard.h"

#include <string>
#include <vector>

#include "platform/text/code_page.h"
#include "platform/crash/crash_handler.h"
#include "platform/files/file_system.h"
#include "platform/window/message_box.h"
#include "platform/files/paths.h"
#include "platform/files/shell.h"

namespace {

constexpr const char* kDumpFileName = "crash.mdmp";
constexpr const char* kApology =
    "Sorry, but program raised improper operation and need to be closed.\n"
    " You can email report about this bug to developers.\n"
    " Do you want to do it?";

void OnCrash(const platform::CrashInfo& info, void* user)
{
    static_cast<GCrashGuard*>(user)->HandleException(info);
}

platform::MinidumpKind KindOf(int dumpKind)
{
    using platform::MinidumpKind;
    const auto kind = static_cast<MinidumpKind>(dumpKind);
    return kind == MinidumpKind::WithFullMemory || kind == MinidumpKind::WithDataSegs
               ? kind
               : MinidumpKind::Normal;
}

// Without a library call: this runs inside the signal handler.
bool CopyName(char* dst, size_t size, const char* src)
{
    size_t i = 0;
    for (; src[i]; ++i) {
        if (i + 1 >= size) {
            dst[0] = 0;
            return false;
        }
        dst[i] = src[i];
    }
    dst[i] = 0;
    return true;
}

} // namespace

void GCrashGuard::Init(const char* reportPageName, const char* productName, const char* versionText)
{
    m_reportPageName = reportPageName;
    m_productName = productName;
    m_versionText = versionText;
    m_dumpKind = kDefaultDumpKind;
    m_supportAddress[0] = 0;
    m_writerBound = false;
    m_dumpFileName[0] = 0;
}

void GCrashGuard::SetSupportAddress(const char* address)
{
    if (!address)
        return;
    size_t length = 0;
    while (address[length] && length < kSupportAddressSize)
        ++length;
    if (length >= kSupportAddressSize)
        return;
    for (size_t i = 0; i <= length; ++i)
        m_supportAddress[i] = address[i];
}

int GCrashGuard::RunGuarded(MainFunction main)
{
    m_writerBound = platform::InstallCrashHandler(&OnCrash, this);
    if (!main) {
        if (m_writerBound)
            platform::UninstallCrashHandler();
        m_writerBound = false;
        return -1;
    }
    int result = main();
    if (m_writerBound)
        platform::UninstallCrashHandler();
    m_writerBound = false;
    return result;
}

int GCrashGuard::HandleException(const platform::CrashInfo& info)
{
    (void)info; // the handler has captured the crash for the writer already
    if (!AskSendReport())
        return 1;
    bool written = WriteDumpFile(kDumpFileName, m_dumpKind);
    // A mail that could not be opened has been reported by SendReport itself; the dump box
    // would tell the user something false then.
    if (!written)
        ShowDumpFailed();
    else
        SendReport();
    return 1;
}

bool GCrashGuard::AskSendReport()
{
    return platform::ShowMessageBox("Fatal error!", kApology, platform::MessageBoxButtons::kYesNo,
                                    platform::MessageBoxIcon::kNone) ==
           platform::MessageBoxAnswer::kYes;
}

bool GCrashGuard::WriteDumpFile(const char* fileName, int dumpKind)
{
    if (!fileName)
        return false;
    int fd = platform::OpenCrashDumpFile(fileName);
    if (fd < 0)
        return false;
    bool written = WriteMiniDump(fd, dumpKind);
    // Data the kernel could not store shows up at close; such a dump is not written.
    written = platform::CloseCrashDumpFile(fd) && written;
    if (written)
        written = CopyName(m_dumpFileName, sizeof m_dumpFileName, fileName);
    return written;
}

bool GCrashGuard::WriteMiniDump(int fd, int dumpKind)
{
    if (!m_writerBound)
        return false;
    return platform::WriteCrashDump(fd, KindOf(dumpKind));
}

bool GCrashGuard::SendReport()
{
    const char* page = m_reportPageName ? m_reportPageName : "";
    // The log is written where the program runs; an installed copy may keep it beside the
    // program instead. A missing log is left out rather than failing the whole mail.
    std::string log = platform::AbsolutePath(page);
    if (!*page || !platform::PathExists(log.c_str())) {
        log = platform::GetProgramFolder() + page;
        if (!*page || !platform::PathExists(log.c_str()))
            log.clear();
    }
    std::string subject = std::string(m_productName ? m_productName : "") + " " +
                          (m_versionText ? m_versionText : "");

    std::vector<std::string> args = {"xdg-email", "--utf8", "--subject", platform::AnsiToUtf8(subject)};
    if (m_dumpFileName[0]) {
        args.push_back("--attach");
        args.push_back(platform::AbsolutePath(m_dumpFileName));
    }
    if (!log.empty()) {
        args.push_back("--attach");
        args.push_back(log);
    }
    if (m_supportAddress[0])
        args.push_back(platform::AnsiToUtf8(m_supportAddress));

    platform::ProgramResult result = platform::RunProgram(args);
    if (result.started && result.exitCode == 0)
        return true;
    platform::ShowMessageBox("Error", "Error sending message!", platform::MessageBoxButtons::kOk,
                             platform::MessageBoxIcon::kNone);
    return false;
}

void GCrashGuard::ShowDumpFailed()
{
    platform::ShowMessageBox("Fatal error!", "Cannot save crash dump file!",
                             platform::MessageBoxButtons::kOk, platform::MessageBoxIcon::kNone);
}
