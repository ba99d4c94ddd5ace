#include "platform/system/shared_library.h"

#include <dlfcn.h>

namespace platform {

std::unique_ptr<SharedLibrary> SharedLibrary::Open(const char* name, std::string* error)
{
    if (!name || !*name) {
        if (error)
            *error = "no library name";
        return nullptr;
    }
    // Local: the library's symbols never stand in for the program's own.
    void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (error) {
            const char* reason = dlerror();
            *error = reason ? reason : "cannot open the library";
        }
        return nullptr;
    }
    return std::unique_ptr<SharedLibrary>(new SharedLibrary(handle));
}

SharedLibrary::~SharedLibrary()
{
    dlclose(m_handle);
}

void* SharedLibrary::FindSymbol(const char* name) const
{
    return name ? dlsym(m_handle, name) : nullptr;
}

} // namespace platform
