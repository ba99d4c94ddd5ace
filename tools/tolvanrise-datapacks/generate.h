#pragma once
// The small source pictures of assets/packs/, drawn by code so that every byte of them is
// ours: a desert scene (colour), an emblem with a soft-edged mask and a round glow (grey).

#include <string>

namespace packtool {

// Writes "dunes.png", "emblem.png" and "glow.png" into the folder; false when one fails.
bool GenerateSourcePictures(const std::string& folder);

} // namespace packtool
