#pragma once
// A whole file mapped read-only into memory, named as every engine file is (file_system.h).
// The view stays valid for the object's lifetime; the file's descriptor is closed once it is
// mapped. Any thread may read the view.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

class MappedFile {
public:
    // Null when the file cannot be opened, is not a regular file, is empty or cannot be mapped.
    static std::unique_ptr<MappedFile> Open(const char* name);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const uint8_t* GetData() const { return m_data; }
    size_t GetSize() const { return m_size; }

private:
    MappedFile(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    const uint8_t* m_data;
    size_t m_size;
};

} // namespace platform
