#pragma once
// A TrueType font cut down to the glyphs of a few characters (and the glyphs those glyphs are
// built from): the outlines, metrics, character map and hinting programs FreeType needs to
// load, size, measure and draw them, and nothing else. Small enough to seed a fuzzer with a
// font that loads.

#include <string>

namespace fonttool {

// font: the bytes of a TrueType font with a format-4 Unicode character map. Characters the
// font lacks are left out. False with a message on a font that cannot be read.
bool SubsetTrueType(const std::string& font, const std::u16string& characters, std::string& out,
                    std::string& error);

} // namespace fonttool
