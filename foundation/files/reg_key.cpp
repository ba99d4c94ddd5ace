#include "foundation/files/reg_key.h"

bool GRegKey::Fail()
{
    m_error = 1;
    return false;
}

bool GRegKey::Open(Root, const char*, bool, bool)
{
    Close();
    return Fail();
}

void GRegKey::Close()
{
    m_open = false;
}

uint32_t GRegKey::QueryString(const char*, char* buffer, uint32_t size)
{
    if (buffer && size > 0)
        buffer[0] = '\0';
    Fail();
    return 0;
}

uint32_t GRegKey::QueryDword(const char*, uint32_t& variable)
{
    Fail();
    return variable;
}

uint32_t GRegKey::QueryBinary(const char*, void*, uint32_t)
{
    Fail();
    return 0;
}

bool GRegKey::SetString(const char*, const char*) { return Fail(); }
bool GRegKey::SetBinary(const char*, const void*, uint32_t) { return Fail(); }
bool GRegKey::DeleteValue(const char*) { return Fail(); }
bool GRegKey::DeleteKey() { return Fail(); }

bool GRegKey::EnumFirstValue(char* name, uint32_t size)
{
    if (name && size > 0)
        name[0] = '\0';
    return Fail();
}

bool GRegKey::EnumNextValue(char* name, uint32_t size)
{
    return EnumFirstValue(name, size);
}
