#pragma once
// Files as the engine names them: backslashes become slashes, and a name that does not exist
// as written is matched case-insensitively, component by component.

#include <cstdio>

namespace platform {

// fopen with the engine's name resolution; mode as for fopen. Writes resolve the existing
// folders case-insensitively and create the last component as written.
std::FILE* OpenFile(const char* name, const char* mode);

} // namespace platform
