#pragma once
// What the log says of an audio file the game names but cannot play: the file (with '/') and
// why, told apart by what the file system shows, since the decoders only say yes or no.

#include <string>

// "<path> cannot be read: not found", "...: it does not open" or "...: it is damaged or not a
// sound the game plays".
std::string AudioFileProblem(const std::string& path);
