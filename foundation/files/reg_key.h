#pragma once
// A key of the system's settings registry, as the diagnostics report reads it. This system has
// no registry: every open fails, every query reports nothing and sets the error flag, and the
// report takes its fallback lines.

#include <cstdint>

class GRegKey {
public:
    enum Root : uint32_t { LocalMachine = 0x80000002u, CurrentUser = 0x80000001u };

    GRegKey() = default;
    GRegKey(const GRegKey&) = delete;
    GRegKey& operator=(const GRegKey&) = delete;
    ~GRegKey() { Close(); }

    bool Open(Root root, const char* path, bool create, bool readOnly);
    void Close();
    bool IsOpen() const { return m_open; }
    // 0 after a call that succeeded.
    int GetError() const { return m_error; }

    // Byte count read; the buffer is always terminated within size.
    uint32_t QueryString(const char* name, char* buffer, uint32_t size);
    // The variable's value afterwards (unchanged when the value is absent).
    uint32_t QueryDword(const char* name, uint32_t& variable);
    uint32_t QueryBinary(const char* name, void* buffer, uint32_t size);
    bool SetString(const char* name, const char* text);
    bool SetBinary(const char* name, const void* data, uint32_t size);
    bool DeleteValue(const char* name);
    bool DeleteKey();
    bool EnumFirstValue(char* name, uint32_t size);
    bool EnumNextValue(char* name, uint32_t size);

private:
    bool Fail();

    bool m_open = false;
    int m_error = 0;
};
