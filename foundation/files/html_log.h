#pragma once
// A diagnostics log in HTML that a player can send to support: a fixed head, the opening time,
// the command line and a report on the machine, then one time-stamped line per message, errors
// in bold red and counted. Each line opens and closes the file, so the log survives a crash up
// to its last line. One thread at a time (the message buffer is shared). Every log alive is on
// one process-wide list, so that a fatal error can still end each of them properly before the
// process goes (EndProcessWithAlert); logs are made and destroyed on the main thread.

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
    // The error total and the closing time, once: the destructor skips them when they were
    // written already.
    void WriteClosingLines();

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
    bool m_closingWritten = false;
    GHtmlLog* m_nextAlive = nullptr; // the list of logs alive, newest first
    GHtmlLog* m_prevAlive = nullptr;

    friend void EndEveryLog(const char* error);
};

// Writes the error (unless null or empty) to every log alive, then their closing lines.
void EndEveryLog(const char* error);

// The way out of a fatal error: the message goes to every log alive, which are then closed
// with their closing lines, then to an "Alert" box (unless empty), and the process ends with
// exitCode. The logs come first, so a player's report holds the cause even when the box is
// never answered.
[[noreturn]] void EndProcessWithAlert(const char* message, int exitCode);

// The single log on "defaultlog.html", created at the first call.
class GDefaultLog : public GHtmlLog {
public:
    static GDefaultLog* Get();

private:
    GDefaultLog();
};
