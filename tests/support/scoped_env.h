#pragma once

#include <string>

namespace tolvanrise::test {

// Remembers one environment variable and puts it back as it was (set to its old value, or
// unset) when the object goes, whatever the test did to it meanwhile. Main thread only: the
// environment is shared by the whole process.
class ScopedEnvVar {
public:
    explicit ScopedEnvVar(const char* name);
    // Remembers the variable, then sets it to value.
    ScopedEnvVar(const char* name, const std::string& value);
    ~ScopedEnvVar();
    ScopedEnvVar(const ScopedEnvVar&) = delete;
    ScopedEnvVar& operator=(const ScopedEnvVar&) = delete;

private:
    std::string m_name;
    bool m_had = false;
    std::string m_value;
};

} // namespace tolvanrise::test
