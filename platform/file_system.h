#pragma once
// Files as the engine names them: backslashes become slashes, and a name that does not exist
// as written is matched case-insensitively, component by component.

#include <cstdio>
#include <string>

namespace platform {

// fopen with the engine's name resolution; mode as for fopen. Writes resolve the existing
// folders case-insensitively and create the last component as written (an existing file
// that differs only in case is the one written).
std::FILE* OpenFile(const char* name, const char* mode);

// The name with slashes, each component that does not exist as written replaced by an entry
// of its folder that matches ignoring ASCII case; components without a match stay as written.
std::string ResolvePath(const char* name);

} // namespace platform
