#include "support/scoped_env.h"

#include <cstdlib>

namespace tolvanrise::test {

ScopedEnvVar::ScopedEnvVar(const char* name) : m_name(name)
{
    if (const char* value = std::getenv(name)) {
        m_had = true;
        m_value = value;
    }
}

ScopedEnvVar::ScopedEnvVar(const char* name, const std::string& value) : ScopedEnvVar(name)
{
    setenv(name, value.c_str(), 1);
}

ScopedEnvVar::~ScopedEnvVar()
{
    if (m_had)
        setenv(m_name.c_str(), m_value.c_str(), 1);
    else
        unsetenv(m_name.c_str());
}

} // namespace tolvanrise::test
