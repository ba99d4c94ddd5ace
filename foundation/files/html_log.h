#pragma once
// A diagnostics log in HTML that a player can send to support: a fixed head, the opening time,
// the command line and a report on the machine, then one time-stamped line per message, errors
// in bold red and counted. Each line opens and closes the file, so the log survives a crash up
// to its last line. One thread at a time (the message buffer is shared).

#include <cstdint>
#include <cstdio>

class GHtmlLog {
public:
    explicit GHtmlLog(const char* fileName);
    GHtmlLog(const GHtmlLog&) = delete;
    GHtmlLog& operator=(const GHtmlLog&) = delete;
    virtual ~GHtmlLog();

    void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void PrintError(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Reopen();
    void Close();
    void SetFileName(const char* name);
    void WriteSystemInfo();

    int GetErrorCount() const { return m_errorCount; }
    const char* GetFileName() const { return m_fileName; }
    void SetKeepOpen(bool keepOpen) { m_keepOpen = keepOpen ? 1u : 0u; }

private:
    void WriteLine(bool isError, const char* format, __builtin_va_list args);

    std::FILE* m_file = nullptr;
    char m_message[16384] = {};
    int32_t m_errorCount = 0;
    char m_fileName[1024] = {};
    uint32_t m_keepOpen = 0;
};

// The single log on "defaultlog.html", created at the first call.
class GDefaultLog : public GHtmlLog {
public:
    static GDefaultLog* Get();

private:
    GDefaultLog();
};
