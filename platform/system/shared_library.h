#pragma once
// A shared library opened at run time, for the outside services the program uses when they are
// installed and does without when they are not. Closed when the object goes. Any thread may
// open one; symbols stay valid while the object lives.

#include <memory>
#include <string>

namespace platform {

class SharedLibrary {
public:
    // Opens the library by file name (looked up as the system's loader does) or path. Null when
    // it cannot be opened; error, when given, receives the loader's reason.
    static std::unique_ptr<SharedLibrary> Open(const char* name, std::string* error = nullptr);
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // The address of an exported symbol, or null.
    void* FindSymbol(const char* name) const;

    // A function of the library by its name, converted to the type the caller declares; false
    // when the library does not export it.
    template <class Function>
    bool Find(const char* name, Function& function) const
    {
        function = reinterpret_cast<Function>(FindSymbol(name));
        return function != nullptr;
    }

private:
    explicit SharedLibrary(void* handle) : m_handle(handle) {}
    void* m_handle;
};

} // namespace platform
