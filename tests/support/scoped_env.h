#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace tolvanrise::test {

// Remembers one environment variable and puts it back as it was (set to its old value, or
// unset) when the object goes, whatever the test did to it meanwhile. Main thread only: the
// environment is shared by the whole process.
class ScopedEnvVar {
public:
    explicit ScopedEnvVar(const char* name) : m_name(name)
    {
        if (const char* value = std::getenv(name))
            m_old = value;
    }
    // Remembers the variable, then sets it to value.
    ScopedEnvVar(const char* name, const std::string& value) : ScopedEnvVar(name) { setenv(name, value.c_str(), 1); }
    ~ScopedEnvVar()
    {
        if (m_old)
            setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }
    ScopedEnvVar(const ScopedEnvVar&) = delete;
    ScopedEnvVar& operator=(const ScopedEnvVar&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

} // namespace tolvanrise::test
