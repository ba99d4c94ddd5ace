#pragma once
// Where the program and the user's data live, and the version of the system underneath.
// Any thread may call these.

#include <cstdint>
#include <string>

namespace platform {

// The folder of the running executable (from /proc/self/exe) with a trailing slash; empty
// when it cannot be read.
std::string GetProgramFolder();

// The user's data home: $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share
// (the password database's home when HOME is unset). No trailing slash; empty when no home
// is known. The folder is not created here.
std::string GetDataHome();

// The major number of the running kernel's release (6 for "6.1.0-18-amd64"); 0 when unknown.
uint32_t GetSystemMajorVersion();

} // namespace platform
