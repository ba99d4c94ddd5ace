#pragma once
// Our own sample pictures for the first bitmap store: gradients, shapes, a blocky glyph
// sheet and soft shadows, drawn from arithmetic alone (nothing is taken from elsewhere).

#include <string>

namespace packer {

// Writes the pictures that assets/800x600/manifest.txt names into the folder (made when
// missing). False with the reason.
bool GenerateSamplePictures(const std::string& folder, std::string& error);

} // namespace packer
