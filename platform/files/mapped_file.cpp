#include "platform/files/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <string>

#include "platform/files/file_system.h"

namespace platform {

std::unique_ptr<MappedFile> MappedFile::Open(const char* name)
{
    if (!name)
        return nullptr;
    const std::string path = ResolvePath(name);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    void* view = MAP_FAILED;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        view = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (view == MAP_FAILED)
        return nullptr;
    std::unique_ptr<MappedFile> file(new (std::nothrow) MappedFile(static_cast<const uint8_t*>(view),
                                                                   static_cast<size_t>(st.st_size)));
    if (!file)
        ::munmap(view, static_cast<size_t>(st.st_size));
    return file;
}

MappedFile::~MappedFile()
{
    ::munmap(const_cast<uint8_t*>(m_data), m_size);
}

} // namespace platform
