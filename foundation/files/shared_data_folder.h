#pragma once
// The folder for data every player of this machine's account shares (the player profiles):
// the user's data home, then a vendor folder, then a product folder. Main thread only.

#include <cstdint>

// Largest path GetSharedDataFolder writes, terminator included.
constexpr uint32_t kMaxPathLength = 4096;

// Fills out (outSize bytes) with "<data home>/<vendor>/<product>", creating each missing
// level, and returns 1 when both levels are folders afterwards. Returns 0 without touching out
// when the system's major version is below minimumVersion (a negative minimum asks for
// nothing); returns 0 when the data home is unknown or cannot be made, the path does not fit,
// or a level cannot be created or exists as a file. After a level fails, out holds the path
// up to that level.
int GetSharedDataFolder(char* out, uint32_t outSize, const char* vendor, const char* product,
                        int16_t minimumVersion);
