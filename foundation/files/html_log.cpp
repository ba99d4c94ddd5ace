#include "foundation/files/html_log.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/files/data_files.h"
#include "platform/files/file_system.h"
#include "platform/system/system_info.h"

namespace {

constexpr const char* kSiteName = "Tolvanrise";

// A plain pointer, so that logs destroyed during the exit (static ones) never meet a list that
// is gone already.
GHtmlLog* g_newestAlive = nullptr;

// Messages are text, not markup: a "<" or "&" in them must not open a tag or an entity.
std::string EscapeHtml(const char* text)
{
    std::string out;
    for (const char* p = text; *p; ++p) {
        if (*p == '<')
            out += "&lt;";
        else if (*p == '&')
            out += "&amp;";
        else
            out += *p;
    }
    return out;
}

void WriteTime(std::FILE* file, const char* format)
{
    const platform::LocalTime t = platform::GetLocalTime();
    std::fprintf(file, format, t.year, t.month, t.day, t.hour, t.minute, t.second);
}

// Banners show the first 50 characters of the name padded with asterisks.
void PrintBanner(GHtmlLog& log, const char* name)
{
    const std::string banner = std::string(name) + std::string(50, '*');
    log.Printf("%.50s", banner.c_str());
}

// Millions of bytes, truncated, as a 32-bit count.
int Megabytes(uint64_t bytes)
{
    return static_cast<int>(static_cast<uint32_t>(static_cast<double>(bytes) * 0.000001));
}

} // namespace

GHtmlLog::GHtmlLog(const char* fileName)
{
    m_nextAlive = g_newestAlive;
    if (m_nextAlive)
        m_nextAlive->m_prevAlive = this;
    g_newestAlive = this;
    std::snprintf(m_fileName, sizeof m_fileName, "%s", fileName ? fileName : "");
    m_file = platform::OpenFile(m_fileName, "w");
    if (m_file) {
        // The header and the system report are written in one opening of the file; only the
        // lines after them open and close it each.
        m_keepOpen = 1;
        std::fprintf(m_file, "<HTML>\n<HEAD>  <TITLE> %s Log file  </TITLE>  </HEAD>\n", kSiteName);
        std::fputs("<BODY>\n<FONT  STYLE='FONT-SIZE: 10pt'>\n<PRE>", m_file);
        WriteTime(m_file, "\n<B><FONT color= '0000ff'>Log file opened: %d/%02d/%02d - "
                          "%02d:%02d:%02d </FONT></B>\n\n");
        Printf("****************************************************");
        Printf("%s", platform::GetCommandLine().c_str());
        Printf("****************************************************");
        WriteSystemInfo();
        m_keepOpen = 0;
    }
    Close();
}

GHtmlLog::~GHtmlLog()
{
    WriteClosingLines();
    if (m_prevAlive)
        m_prevAlive->m_nextAlive = m_nextAlive;
    else
        g_newestAlive = m_nextAlive;
    if (m_nextAlive)
        m_nextAlive->m_prevAlive = m_prevAlive;
}

void GHtmlLog::WriteClosingLines()
{
    if (m_closingWritten)
        return;
    m_closingWritten = true;
    Reopen();
    if (m_file) {
        std::fprintf(m_file, "\n<B><FONT color= '0000ff'>Total Errors = %d\n", m_errorCount);
        WriteTime(m_file, "Log file closed: %d/%02d/%02d - %02d:%02d:%02d </FONT></B>\n\n");
    }
    Close();
}

void EndEveryLog(const char* error)
{
    for (GHtmlLog* log = g_newestAlive; log; log = log->m_nextAlive) {
        if (log->m_closingWritten)
            continue;
        if (error && *error)
            log->PrintError("%s", error);
        log->WriteClosingLines();
    }
}

void EndProcessWithAlert(const char* message, int exitCode)
{
    EndEveryLog(message);
    if (message && *message)
        ShowAlert(message);
    std::exit(exitCode);
}

void GHtmlLog::Reopen()
{
    if (!m_file)
        m_file = platform::OpenFile(m_fileName, "a");
}

void GHtmlLog::Close()
{
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}

void GHtmlLog::SetFileName(const char* name)
{
    Close();
    std::snprintf(m_fileName, sizeof m_fileName, "%s", name ? name : "");
    Reopen();
}

void GHtmlLog::Printf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteLine(false, format, args);
    va_end(args);
}

void GHtmlLog::PrintError(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteLine(true, format, args);
    va_end(args);
}

void GHtmlLog::WriteLine(bool isError, const char* format, va_list args)
{
    Reopen();
    if (!m_file)
        return;

    // The fixed buffer serves the common case; a longer message is formatted whole on the heap
    // rather than cut.
    va_list again;
    va_copy(again, args);
    const int needed = std::vsnprintf(m_message, sizeof m_message, format, args);
    std::string longMessage;
    const char* message = m_message;
    if (needed >= static_cast<int>(sizeof m_message)) {
        longMessage.resize(static_cast<size_t>(needed) + 1);
        std::vsnprintf(longMessage.data(), longMessage.size(), format, again);
        longMessage.resize(static_cast<size_t>(needed));
        message = longMessage.c_str();
    } else if (needed < 0) {
        m_message[0] = '\0';
    }
    va_end(again);

    const std::string text = EscapeHtml(message);
    const int ms = platform::GetProcessMs();
    if (isError)
        std::fprintf(m_file, "%7d> <B><FONT color= 'ff0000'>Error:</FONT></B> %s\n", ms, text.c_str());
    else
        std::fprintf(m_file, "%7d> %s\n", ms, text.c_str());
    if (!m_keepOpen)
        Close();
    if (isError)
        ++m_errorCount;
}

void GHtmlLog::WriteSystemInfo()
{
    Printf("\n");

    PrintBanner(*this, "System");
    const platform::SystemVersion version = platform::GetSystemVersion();
    // This system is none of the three families the report names, so no family line is written.
    constexpr int kPlatformId = 3;
    Printf("   Version %d.%d.%d %s; Platform ID:%d;", static_cast<int>(version.major),
           static_cast<int>(version.minor), static_cast<int>(version.build), version.name.c_str(), kPlatformId);
    Printf("\n");

    PrintBanner(*this, "Processor");
    const platform::ProcessorInfo processor = platform::GetProcessorInfo();
    Printf("   Number of processors: %d", static_cast<int>(processor.count));
    // The per-processor lines come from the registry, which this system does not have, so
    // the report always takes its fallback lines; for the same reason the video-card section,
    // which names the display adapter's registry key, is never written.
    switch (processor.architecture) {
    case 386: Printf("   ProcessorType: PROCESSOR_INTEL_386"); break;
    case 486: Printf("   ProcessorType: PROCESSOR_INTEL_486"); break;
    case 586: Printf("   ProcessorType: PROCESSOR_INTEL_PENTIUM"); break;
    default: Printf("   ProcessorType: NOT DETECTED = %d", static_cast<int>(processor.architecture)); break;
    }
    Printf("   ProcessorRevision        : 0x%x", processor.revision);
    Printf("   ProcessorLevel           : 0x%x", processor.level);
    Printf("\n");

    PrintBanner(*this, "Screen resolution");
    const platform::DisplayInfo display = platform::GetDisplayInfo();
    Printf("   Screen resolution = (%d,%d)", display.width, display.height);
    Printf("   Screen %d bits per pixel ", display.bitsPerPixel);
    Printf("\n");

    PrintBanner(*this, "Memory status");
    const platform::MemoryInfo memory = platform::GetMemoryInfo();
    Printf("   memory in use:  %d percent", static_cast<int>(memory.loadPercent));
    Printf("   free physical memory: %d of %d Mb", Megabytes(memory.availablePhysical), Megabytes(memory.totalPhysical));
    Printf("   free paging file:     %d of %d Mb", Megabytes(memory.availablePaging), Megabytes(memory.totalPaging));
    Printf("   free virtual memory:  %d of %d Mb", Megabytes(memory.availableVirtual), Megabytes(memory.totalVirtual));
    Printf("\n");

    PrintBanner(*this, "Paths");
    Printf("   Windows folder %s", platform::GetSystemRootFolder().c_str());
    Printf("   System  folder %s", platform::GetSystemLibraryFolder().c_str());
    Printf("   Current folder %s", platform::GetCurrentFolder().c_str());
    Printf("\n");
}

GDefaultLog::GDefaultLog() : GHtmlLog("defaultlog.html") {}

GDefaultLog* GDefaultLog::Get()
{
    static GDefaultLog log;
    return &log;
}
